#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "instrument/InstrumentKind.h"
#include "loader/BuiltInImage.h"

// Reading TI-Text firmware files into the compact image text that the loader
// host keeps and sends: "@" and five upper-case hex digits for each segment,
// then the segment's 16-bit words as four hex digits each, high byte first.
// Plain functions, used by OrvaBSLHost::BSLLoadTIFile.

// Images must lie below this address: markers hold five hex digits.
constexpr std::uint32_t kImageAddressLimit = 0x100000;
constexpr std::uint32_t kVectorSegmentFirst = 0xFFE0;
constexpr std::uint32_t kVectorSegmentLast = 0xFFFE;
constexpr std::uint32_t kSkippedSegmentFirst = 0xFA00;
constexpr std::uint32_t kSkippedSegmentLast = 0xFDFE;

using VectorTable = std::array<std::uint16_t, kVectorCount>;

// Why a text was refused (all of them give -100).
enum class TITextFault {
    kNone,
    kNotTIText,         // no leading "@", or no "q" end mark
    kBadAddress,        // an "@" without a readable hexadecimal address
    kNoLineFeed,        // an address line without a line feed after it
    kIncompleteVector,  // one to three digits left over in a vector segment
    kNoVectors,         // no segment at 0xFFE0 to 0xFFFE
    kAddressTooHigh,    // a data segment reaching 0x100000 or beyond
    kTooManyVectors,    // a vector segment running past 0xFFFE
};

// A parsed image: the compact text (zero-terminated, length characters) and
// the vector table (0xFFFF where the file gives no word).
struct TITextImage {
    std::unique_ptr<char[]> text;
    std::uint32_t length = 0;
    VectorTable vectors{};
};

// Parses a TI-Text file's contents: size bytes at data, or up to the first
// zero byte. Returns 1 and fills image, -100 (fault says why) or -60 when
// memory runs out. On failure image is left as it was. A file holding only a
// vector segment gives an empty text.
int ParseTIText(const char* data, std::size_t size, TITextImage* image, TITextFault* fault = nullptr);

// What a firmware file's name says about it.
struct FirmwareFileName {
    char title[kImageTitleMax + 1];
    InstrumentKind kind;
    std::int32_t version;
};

// Derives title, kind and version from a firmware file's path: TX-1-74.txt
// gives the title "TX-1.74", kind 14 (TX) and version 174. The name is what
// follows the last "/" or "\" of the path.
void ParseFirmwareFileName(const char* path, FirmwareFileName* name);
