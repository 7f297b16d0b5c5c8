#include "device/DeviceParse.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <strings.h>

namespace {

struct KindCode {
    const char* code;
    LoggerKind kind;
    const char* typeName;
};

const KindCode kKindCodes[] = {
    {"KELO", kLoggerKelo, "Kelo"},
    {"KELOB", kLoggerKelob, "Kelob"},
    {"KELOX", kLoggerKelox, "Kelox"},
    {"PL", kLoggerPellora, "Pellora"},
    {"QW", kLoggerQuarrow, "Quarrow"},
    {"QCD", kLoggerQcd, "QUORIN Comm Dev"},
    {"QUORIN_CAL", kLoggerCalibrator, "QUORIN Calibrator"},
    {"TX", kLoggerTallix, "Tallix"},
    {"TELVO", kLoggerTelvo, "Telvo"},
    {"GVK", kLoggerGorvik, "Gorvik"},
};

// Where a label's value starts: offset characters after the label's start,
// but never beyond the end of the text.
const char* ValueAfter(const char* label, unsigned offset)
{
    const char* p = label;
    for (unsigned i = 0; i < offset && *p; ++i)
        ++p;
    return p;
}

bool ReadInt(const char* text, int* value)
{
    return std::sscanf(text, "%d", value) == 1;
}

}  // namespace

LoggerKind LoggerKindFromCode(const char* code)
{
    if (!code) return kLoggerUnknown;
    for (const KindCode& row : kKindCodes)
        if (strcasecmp(code, row.code) == 0) return row.kind;
    return kLoggerUnknown;
}

const char* LoggerTypeName(int kind)
{
    for (const KindCode& row : kKindCodes)
        if (row.kind == kind) return row.typeName;
    return "Unknown";
}

CapabilityMask CapabilitiesFor(int kind, bool newFirmware, int version)
{
    struct Step {
        int fromVersion;
        CapabilityMask bits;
    };
    auto add = [version](CapabilityMask mask, std::initializer_list<Step> steps) {
        for (const Step& step : steps)
            if (version >= step.fromVersion) mask |= step.bits;
        return mask;
    };
    switch (kind) {
        case kLoggerKelo:
            return newFirmware ? 0x0000371F : 0x0000331C;
        case kLoggerKelox:
            return add(0x00007737, {{105, 0x00000080},
                                    {108, 0x00000040},
                                    {112, 0x00008800},
                                    {114, 0x00070000},
                                    {118, 0x00C00000},
                                    {119, 0x00200000},
                                    {200, 0x01000000},
                                    {202, 0x04000000}});
        case kLoggerPellora:
            return add(0x00004503, {{105, 0x00000080}, {109, 0x00020000}});
        case kLoggerKelob:
            return add(0x000074BE, {{204, 0x00040000}});
        case kLoggerQcd:
            return 0x00003007;
        case kLoggerCalibrator:
            return 0x00010026;
        case kLoggerTallix:
            return 0x001D3083;
        case kLoggerTelvo:
            return 0x05E3FFF7;
        case kLoggerGorvik:
            return 0x07C3F6F7;
        default:
            return 0x00001005;
    }
}

int ClassifyAnswer(const char* received, const char* command)
{
    if (command && *command && std::strstr(received, command)) return kDevEcho;
    if (std::strstr(received, "ERROR") || std::strchr(received, '?') || std::strstr(received, "Unsupported"))
        return kDevRefused;
    return kDevOk;
}

bool IsEmptyAnswer(const char* text)
{
    return std::strncmp(text, "\r\r>", 3) == 0;
}

unsigned CopyBounded(char* dst, unsigned capacity, const char* src)
{
    if (!dst || capacity == 0) return 0;
    unsigned n = 0;
    if (src)
        while (n + 1 < capacity && src[n]) {
            dst[n] = src[n];
            ++n;
        }
    dst[n] = '\0';
    return n;
}

unsigned ReadWord(const char* text, char* out, unsigned maxChars)
{
    unsigned n = 0;
    if (text) {
        while (*text && std::isspace(static_cast<unsigned char>(*text)))
            ++text;
        while (n < maxChars && text[n] && !std::isspace(static_cast<unsigned char>(text[n]))) {
            out[n] = text[n];
            ++n;
        }
    }
    out[n] = '\0';
    return n;
}

void TrimSpace(char* text)
{
    if (!text) return;
    char* start = text;
    while (*start && std::isspace(static_cast<unsigned char>(*start)))
        ++start;
    std::size_t length = std::strlen(start);
    while (length > 0 && std::isspace(static_cast<unsigned char>(start[length - 1])))
        --length;
    std::memmove(text, start, length);
    text[length] = '\0';
}

int ParseVersionAnswer(const char* answer, VersionLine* out)
{
    const char* line = answer;
    while (*line == '\r')
        ++line;
    const char* end = std::strchr(line, '\r');
    if (!end) return kVersionIncomplete;
    std::size_t length = static_cast<std::size_t>(end - line);
    if (length > kDeviceVersionTextSize - 1) length = kDeviceVersionTextSize - 1;
    std::memcpy(out->text, line, length);
    out->text[length] = '\0';

    int major = 0, minor = 0, patch = 0;
    out->code[0] = '\0';
    const int read = std::sscanf(out->text, "%20s %d.%1d%1d", out->code, &major, &minor, &patch);
    if (read < 3) return kVersionUnreadable;
    if (read < 4) patch = 0;
    out->version = major * 100 + minor * 10 + patch;
    return kVersionParsed;
}

bool IsLoaderAcknowledge(const char* answer)
{
    while (*answer == '\r')
        ++answer;
    return answer[0] == '+' && std::strlen(answer) >= 4;
}

int ParseShowId(const char* answer, char* idOut, unsigned idSize)
{
    if (!idOut || idSize == 0) return kDevMissingArgument;
    idOut[0] = '\0';
    const char* label = std::strstr(answer, "ID:");
    if (!label) return kDevBadAnswer;
    const unsigned max = idSize - 1 < kDeviceNameSize - 1 ? idSize - 1 : kDeviceNameSize - 1;
    return ReadWord(ValueAfter(label, 4), idOut, max) > 0 ? kDevOk : kDevBadAnswer;
}

int ParseShowAnswer(const char* answer, LoggerSettings* settings, std::int32_t* resets)
{
    int errors = 0;
    if (const char* label = std::strstr(answer, "ID:")) {
        if (ReadWord(ValueAfter(label, 4), settings->deviceName, kDeviceNameSize - 1) == 0) errors += 1;
    }
    if (const char* label = std::strstr(answer, "Version:")) {
        int a = 0, b = 0, c = 0;
        if (ReadWord(ValueAfter(label, 9), settings->versionText, kDeviceVersionTextSize - 1) == 0 ||
            std::sscanf(settings->versionText, "%d.%1d%1d", &a, &b, &c) < 3)
            errors += 2;
        else
            settings->version = a * 100 + b * 10 + c;
    }
    if (settings->version < 110) return kDevNotSupported;
    int value = 0;
    if (const char* label = std::strstr(answer, "Radio:")) {
        if (ReadInt(ValueAfter(label, 7), &value))
            settings->radioMode = static_cast<std::uint32_t>(value);
        else
            errors += 4;
    }
    if (const char* label = std::strstr(answer, "Wake:")) {
        if (ReadInt(ValueAfter(label, 6), &value))
            settings->measurementInterval = value;
        else
            errors += 8;
    }
    if (const char* label = std::strstr(answer, "Resets:")) {
        if (ReadInt(ValueAfter(label, 8), &value))
            *resets = value;
        else
            errors += 16;
    }
    return errors;
}

std::int64_t OrvaSecondsAt(std::time_t calendarTime, int utcOffsetSeconds)
{
    return static_cast<std::int64_t>(calendarTime) + utcOffsetSeconds - 946684800;
}
