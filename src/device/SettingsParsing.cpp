#include "device/SettingsParsing.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* SkipSpace(const char* text)
{
    while (*text && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    return text;
}

const char* AfterFirstReturn(const char* answer)
{
    const char* lineBreak = std::strchr(answer, '\r');
    return lineBreak ? lineBreak + 1 : answer;
}

// Copies text up to the first "\r" or its end, at most maxChars characters.
unsigned CopyLine(const char* text, char* out, unsigned maxChars)
{
    unsigned n = 0;
    while (n < maxChars && text[n] && text[n] != '\r') {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

const char* SettingValueText(const char* answer, ValueStart rule)
{
    if (!answer) return "";
    switch (rule) {
        case ValueStart::AfterFirstReturn:
            return AfterFirstReturn(answer);
        case ValueStart::AfterSpace:
            return SkipSpace(answer);
        case ValueStart::Start:
            break;
    }
    return answer;
}

bool ReadSettingInt(const char* answer, ValueStart rule, int* value)
{
    const char* text = SettingValueText(answer, rule);
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool ReadSettingDouble(const char* answer, ValueStart rule, double* value)
{
    const char* text = SettingValueText(answer, rule);
    char* end = nullptr;
    const double parsed = std::strtod(text, &end);
    if (end == text || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

int ReadSettingText(const char* answer, char* out, unsigned maxChars)
{
    out[0] = '\0';
    const char* text = SkipSpace(answer ? answer : "");
    if (*text == '>') return kDevEmptyAnswer;
    return CopyLine(text, out, maxChars) > 0 ? kDevOk : kDevBadAnswer;
}

unsigned ReadSerialNumberText(const char* answer, char* out, unsigned maxChars)
{
    return CopyLine(AfterFirstReturn(answer ? answer : ""), out, maxChars);
}

int ReadBuildText(const char* answer, char* out, unsigned maxChars)
{
    out[0] = '\0';
    const char* text = AfterFirstReturn(answer ? answer : "");
    if (*text == '>') return kDevEmptyAnswer;
    return CopyLine(text, out, maxChars) > 0 ? kDevOk : kDevBadAnswer;
}

int ReadFiveBytes(const char* text, std::uint8_t out[kLoggerChannels])
{
    int count = 0;
    const char* p = text ? text : "";
    while (count < kLoggerChannels) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(p, &end, 10);
        if (end == p) break;
        out[count++] = (errno == ERANGE || value < 0 || value > 255) ? 255 : static_cast<std::uint8_t>(value);
        p = end;
    }
    return count;
}

unsigned AdcChecksum(const std::uint8_t* slopes, const std::uint8_t* offsets, int pairs)
{
    unsigned sum = 0;
    for (int i = 0; i < pairs; ++i)
        sum += slopes[i] + offsets[i];
    return sum % 256;
}

int ReadAdcAnswer(const char* answer, bool shortForm, std::uint8_t slopes[kLoggerChannels],
                  std::uint8_t offsets[kLoggerChannels], AdcReading* reading)
{
    constexpr int kMaxNumbers = 2 * kLoggerChannels + 1;
    unsigned long numbers[kMaxNumbers] = {};
    int count = 0;
    const char* p = answer ? answer : "";
    while (count < kMaxNumbers) {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(p, &end, 10);
        if (end == p) break;
        numbers[count++] = errno == ERANGE ? ULONG_MAX : value;
        p = end;
    }
    *reading = AdcReading{};
    reading->numbers = count;
    const int pairs = shortForm ? 1 : kLoggerChannels;
    if (count != 2 * pairs + 1) return kDevBadAnswer;

    for (int i = 0; i < pairs; ++i) {
        for (int part = 0; part < 2; ++part) {
            const unsigned long value = numbers[2 * i + part];
            const std::uint8_t stored = value >= 255 ? 255 : static_cast<std::uint8_t>(value);
            if (stored == 0 || stored == 255) reading->valuesValid = false;
            (part == 0 ? slopes : offsets)[i] = stored;
        }
    }
    const unsigned long sent = numbers[2 * pairs];
    reading->checksum = sent > UINT_MAX ? UINT_MAX : static_cast<unsigned>(sent);
    reading->checksumValid = sent == AdcChecksum(slopes, offsets, pairs);
    return reading->valuesValid && reading->checksumValid ? kDevOk : kDevUnsupported;
}

bool IsAuthKey(const char* key)
{
    if (!key) return false;
    for (int i = 0; i < kAuthKeySize - 1; ++i)
        if (!IsHexDigit(key[i])) return false;
    return true;
}

bool IsSendableText(const char* text)
{
    if (!text) return false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 32 || *p == 127) return false;
    return true;
}

bool MaskSecretCommand(const char* command, char* out, unsigned capacity)
{
    static const char* const kSecretCommands[] = {"set -passwd", "set -authkey"};
    if (!command || !out || capacity == 0) return false;
    for (const char* prefix : kSecretCommands) {
        const std::size_t length = std::strlen(prefix);
        if (std::strncmp(command, prefix, length) == 0) {
            std::snprintf(out, capacity, "%s %s\r", prefix, kSecretShown);
            return true;
        }
    }
    return false;
}

int TraitHasRadio(std::int32_t trait)
{
    if (!(trait & kTraitKnown)) return -1;
    return (trait & kTraitRadio) ? 1 : 0;
}

int TraitHasCellularModem(std::int32_t trait, int loggerKind)
{
    if (!(trait & kTraitKnown)) return -1;
    return (loggerKind == kLoggerKelox && (trait & kTraitCellularModem)) ? 1 : 0;
}

int QuarterHoursFromUtcOffset(int utcOffsetSeconds)
{
    return utcOffsetSeconds / 900;
}
