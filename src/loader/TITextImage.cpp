#include "loader/TITextImage.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsHexDigit(char c)
{
    return HexValue(c) >= 0;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a hexadecimal number the way "%x" does (leading white space, an
// optional sign and "0x" prefix, at least one digit) from text[pos, end).
// Values are saturated at the address limit, so nothing overflows; a negative
// number other than zero counts as out of range like its unsigned value.
bool ReadAddress(const char* text, std::size_t pos, std::size_t end, std::uint32_t* address)
{
    while (pos < end && IsSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    if (pos + 2 < end && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        IsHexDigit(text[pos + 2]))
        pos += 2;
    if (pos >= end || !IsHexDigit(text[pos])) return false;
    std::uint32_t value = 0;
    for (; pos < end && IsHexDigit(text[pos]); ++pos) {
        value = value * 16 + static_cast<std::uint32_t>(HexValue(text[pos]));
        if (value >= kImageAddressLimit) value = kImageAddressLimit;
    }
    if (negative && value != 0) value = kImageAddressLimit;
    *address = value;
    return true;
}

std::size_t Find(const char* text, std::size_t from, std::size_t end, char c)
{
    if (from >= end) return end;
    const void* hit = std::memchr(text + from, c, end - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text) : end;
}

// One data segment found by the first pass.
struct DataSegment {
    std::uint32_t address;
    std::size_t begin, end;  // where its digits lie in the file text
    std::size_t groups;      // four-digit groups it gives, the last one maybe filled with F
};

// Appends to a buffer of fixed capacity and never past it.
class Appender {
public:
    Appender(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void Put(const char* text, std::size_t count)
    {
        if (count > capacity_ - used_) {
            overflow_ = true;
            return;
        }
        std::memcpy(buffer_ + used_, text, count);
        used_ += count;
    }
    std::size_t Used() const { return used_; }
    bool Overflow() const { return overflow_; }

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool overflow_ = false;
};

}  // namespace

int ParseTIText(const char* data, std::size_t size, TITextImage* image, TITextFault* fault)
{
    TITextFault ignored;
    if (!fault) fault = &ignored;
    *fault = TITextFault::kNone;
    if (!image) return -10;

    const std::size_t length = data ? strnlen(data, size) : 0;
    if (length == 0 || data[0] != '@') {
        *fault = TITextFault::kNotTIText;
        return -100;
    }
    const std::size_t endMark = Find(data, 0, length, 'q');
    if (endMark == length) {
        *fault = TITextFault::kNotTIText;
        return -100;
    }

    // First pass: check every segment, fill the vector table and note where
    // the data segments lie.
    VectorTable vectors;
    vectors.fill(0xFFFF);
    bool vectorsSeen = false;
    std::vector<DataSegment> segments;
    std::size_t textLength = 0;
    std::size_t lineFeed = 0;  // the first line feed at or after the current segment
    bool lineFeedKnown = false;
    try {
        for (std::size_t start = 0; start < endMark;) {
            const std::size_t end = Find(data, start + 1, endMark, '@');
            std::uint32_t address = 0;
            if (!ReadAddress(data, start + 1, end, &address)) {
                *fault = TITextFault::kBadAddress;
                return -100;
            }
            // Segments only move forward, so one search serves all segments
            // up to that line feed (a file of many short segments stays linear).
            if (!lineFeedKnown || lineFeed < start) {
                lineFeed = Find(data, start, length, '\n');
                lineFeedKnown = true;
            }
            if (lineFeed == length) {
                *fault = TITextFault::kNoLineFeed;
                return -100;
            }
            // The digits run from the line feed to the next segment; a line
            // feed beyond that leaves the segment without data.
            const std::size_t begin = lineFeed < end ? lineFeed : end;

            if (address >= kVectorSegmentFirst && address <= kVectorSegmentLast) {
                vectorsSeen = true;
                std::size_t slot = (address - kVectorSegmentFirst) / 2;
                char digits[4];
                int count = 0;
                for (std::size_t i = begin; i < end; ++i) {
                    if (!IsHexDigit(data[i])) continue;
                    digits[count++] = data[i];
                    if (count < 4) continue;
                    count = 0;
                    if (slot >= vectors.size()) {
                        *fault = TITextFault::kTooManyVectors;
                        return -100;
                    }
                    // Bytes d0d1 d2d3 in file order are the word d2d3d0d1.
                    vectors[slot++] =
                        static_cast<std::uint16_t>((HexValue(digits[2]) << 12) | (HexValue(digits[3]) << 8) |
                                                   (HexValue(digits[0]) << 4) | HexValue(digits[1]));
                }
                if (count != 0) {
                    *fault = TITextFault::kIncompleteVector;
                    return -100;
                }
            } else if (address >= kSkippedSegmentFirst && address <= kSkippedSegmentLast) {
                // Not programmed: this range belongs to the instrument.
            } else {
                std::size_t digits = 0;
                for (std::size_t i = begin; i < end; ++i)
                    if (IsHexDigit(data[i])) ++digits;
                const std::size_t groups = (digits + 3) / 4;
                if (address + 2 * groups > kImageAddressLimit) {
                    *fault = TITextFault::kAddressTooHigh;
                    return -100;
                }
                segments.push_back({address, begin, end, groups});
                textLength += 6 + 4 * groups;
            }
            start = end;
        }
    } catch (const std::bad_alloc&) {
        return -60;
    }
    if (!vectorsSeen) {
        *fault = TITextFault::kNoVectors;
        return -100;
    }
    // The text is a few times the file's size at most; keep the 32-bit
    // length honest even for a file of gigabytes.
    if (textLength > 0xFFFFFFFEu) {
        *fault = TITextFault::kAddressTooHigh;
        return -100;
    }

    // Second pass: write the compact text into a buffer of exactly its size.
    std::unique_ptr<char[]> text(new (std::nothrow) char[textLength + 1]);
    if (!text) return -60;
    Appender out(text.get(), textLength);
    for (const DataSegment& segment : segments) {
        char marker[8];
        std::snprintf(marker, sizeof marker, "@%05X", static_cast<unsigned>(segment.address));
        out.Put(marker, 6);
        char group[4];
        int count = 0;
        for (std::size_t i = segment.begin; i < segment.end; ++i) {
            if (!IsHexDigit(data[i])) continue;
            group[count++] = data[i];
            if (count < 4) continue;
            const char word[4] = {group[2], group[3], group[0], group[1]};
            out.Put(word, 4);
            count = 0;
        }
        if (count != 0) {
            // An odd byte count: the last word is completed with FF.
            for (int i = count; i < 4; ++i)
                group[i] = 'F';
            const char word[4] = {group[2], group[3], group[0], group[1]};
            out.Put(word, 4);
        }
    }
    if (out.Overflow() || out.Used() != textLength) {
        // Both passes count the same digits; refuse rather than keep a text
        // that does not match its length.
        *fault = TITextFault::kAddressTooHigh;
        return -100;
    }
    text[textLength] = '\0';

    image->text = std::move(text);
    image->length = static_cast<std::uint32_t>(textLength);
    image->vectors = vectors;
    return 1;
}

void ParseFirmwareFileName(const char* path, FirmwareFileName* name)
{
    if (!name) return;
    std::memset(name, 0, sizeof *name);
    if (!path) path = "";

    // The name is what follows the last folder separator of either kind.
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;

    std::snprintf(name->title, sizeof name->title, "%s", base);
    if (char* txt = std::strstr(name->title, ".txt")) *txt = '\0';
    const std::size_t titleLength = std::strlen(name->title);

    // The leading word names the kind.
    char word[kImageTitleMax + 1];
    std::size_t wordLength = std::strcspn(name->title, " -_");
    for (std::size_t i = 0; i < wordLength; ++i) {
        const char c = name->title[i];
        word[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    word[wordLength] = '\0';
    name->kind = FindKindByShortCode(word);

    // The version: the digits from the first blank or "-" on, at most 11.
    name->version = 0;
    const std::size_t from = std::strcspn(name->title, " -");
    std::int64_t version = 0;
    int digits = 0;
    for (std::size_t i = from; i < titleLength && digits < 11; ++i) {
        const char c = name->title[i];
        if (c < '0' || c > '9') continue;
        version = version * 10 + (c - '0');
        ++digits;
    }
    name->version = version > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(version);

    // "TX-1-74" reads "TX-1.74".
    if (char* dash = std::strrchr(name->title, '-')) {
        const std::size_t at = static_cast<std::size_t>(dash - name->title);
        const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
        if (at > 0 && at + 1 < titleLength && isDigit(name->title[at - 1]) && isDigit(name->title[at + 1])) *dash = '.';
    }
}
