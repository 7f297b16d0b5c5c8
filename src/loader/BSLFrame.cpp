#include "loader/BSLFrame.h"

#include <cstdio>
#include <cstring>

unsigned BSLChecksum(char letter, const char* payload, std::size_t length)
{
    unsigned long sum = static_cast<unsigned char>(letter) + static_cast<unsigned char>(kBSLSeparator);
    for (std::size_t i = 0; payload && i < length; ++i)
        sum += static_cast<unsigned char>(payload[i]);
    return static_cast<unsigned>(sum % kBSLChecksumModulus);
}

int BSLFormatNumbers(const std::uint32_t* numbers, unsigned count, bool fiveDigit, char* out, std::size_t capacity)
{
    if (!out || capacity == 0 || (!numbers && count > 0)) return -10;
    out[0] = '\0';
    if (count > kBSLMaxNumbers) return -11;
    const std::size_t digits = fiveDigit ? 5 : 4;
    const std::uint32_t largest = fiveDigit ? 0xFFFFFu : 0xFFFFu;
    if (count * digits + 1 > capacity) return -11;
    for (unsigned i = 0; i < count; ++i) {
        // A wider number would shift every digit after it: the loader would
        // read other numbers than the ones meant.
        if (numbers[i] > largest) {
            out[0] = '\0';
            return -11;
        }
        std::snprintf(out + i * digits, digits + 1, fiveDigit ? "%05X" : "%04X", static_cast<unsigned>(numbers[i]));
    }
    out[count * digits] = '\0';
    return static_cast<int>(count * digits);
}

int BSLBuildFrame(char letter, const char* payload, std::size_t length, char* out, std::size_t capacity)
{
    if (!out || (!payload && length > 0)) return -10;
    if (length > kBSLMaxText || length + kBSLFrameOverhead > capacity) {
        if (capacity > 0) out[0] = '\0';
        return -11;
    }
    out[0] = letter;
    if (length > 0) std::memcpy(out + 1, payload, length);
    const unsigned checksum = BSLChecksum(letter, payload, length);
    // "%c%04X\r": the separator, the checksum, the end of the frame.
    std::snprintf(out + 1 + length, kBSLFrameOverhead - 1, "%c%04X\r", kBSLSeparator, checksum);
    return static_cast<int>(length + kBSLFrameOverhead - 1);
}

int BSLJudgeAnswer(const char* answer, int length, int failedStep)
{
    if (!answer || length <= 0) return failedStep < 0 ? failedStep : -21;
    if (answer[0] == '+' || (length > 1 && answer[1] == '+')) return length;
    if (answer[0] == '-' || answer[0] == '?') return -1;
    return failedStep < 0 ? failedStep : -1;
}

bool BSLReadLoaderVersion(const char* answer, std::int32_t* version)
{
    if (!answer || !version) return false;
    int number = 0;
    if (std::sscanf(answer, "+%d+", &number) != 1) return false;
    *version = number;
    return true;
}
