#pragma once

#include <cstddef>
#include <cstdint>

// The self-check block of a firmware image: 32 bytes of flash at 0xFFC0, just
// below the interrupt vectors, through which the firmware checks its own code
// after an update ("Code Good!" / "Code Corrupt!"). The stand-in image built
// into the updater carries one (tools/make_standin_image.cpp); an instrument
// simulator answers the code check with VerifyFlashImage.
//
// Layout, all numbers little-endian as the instrument's 16-bit CPU keeps them:
//
//   offset size  field
//   0x00   2     magic 0x4B43 (the bytes 'C', 'K')
//   0x02   2     firmware version, major * 100 + minor * 10 + patch (173)
//   0x04   2     instrument kind (14)
//   0x06   2     number of checked ranges, 1 to 3
//   0x08   12    3 ranges of 4 bytes: start address / 16, length in bytes
//                (unused ranges are 0xFFFF 0xFFFF)
//   0x14   4     CRC-32 (below)
//   0x18   4     reserved, 0xFFFFFFFF
//   0x1C   4     balance: arbitrary, covered by nothing (the generator uses it
//                to give the image text its exact character sum)
//
// The CRC is the common CRC-32 (reflected polynomial 0xEDB88320, start value
// 0xFFFFFFFF, result inverted) over the bytes of the ranges in table order,
// followed by the first 0x14 bytes of the block itself, so that the version,
// kind and range table are covered too.
//
// A flash image is good when the block's magic is there, every range lies
// inside the memory given and outside the block and the vectors, the CRC
// matches, and the reset vector (the word at 0xFFFE) points into the first
// range. Note that the updater's flash erase leaves 0xFA00 to 0xFFFF alone,
// yet the image writes its 0xFE00 segment, this block and the vectors there:
// a simulator lets those writes replace what was there
// rather than AND them into unerased flash.

constexpr std::uint32_t kSelfCheckBlockAddress = 0xFFC0;
constexpr std::uint32_t kSelfCheckBlockSize = 32;
constexpr std::uint16_t kSelfCheckMagic = 0x4B43;
constexpr int kSelfCheckMaxRanges = 3;
constexpr std::uint32_t kSelfCheckCrcOffset = 0x14;
constexpr std::uint32_t kSelfCheckBalanceOffset = 0x1C;
constexpr std::uint32_t kResetVectorAddress = 0xFFFE;
constexpr std::uint32_t kVectorTableAddress = 0xFFE0;

struct SelfCheckRange {
    std::uint32_t start;  // a multiple of 16 below 0x100000
    std::uint16_t length;
};

struct SelfCheckBlock {
    std::uint16_t version;
    std::uint16_t kind;
    std::uint16_t rangeCount;
    SelfCheckRange ranges[kSelfCheckMaxRanges];
    std::uint32_t crc;
    std::uint32_t balance;
};

// Results of reading and verifying.
enum SelfCheckResult : int {
    kSelfCheckGood = 1,
    kSelfCheckMissing = -1,   // memory not reaching 0xFFFF, or no magic at 0xFFC0
    kSelfCheckBadTable = -2,  // range count or a range out of bounds
    kSelfCheckCrcMismatch = -3,
    kSelfCheckBadReset = -4,  // reset vector outside the first range
};

// CRC-32 as used by the block, continued from crc (start with 0).
std::uint32_t SelfCheckCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// Reads the block from a flash memory image in which memory[a] is the byte at
// address a. Returns kSelfCheckGood, kSelfCheckMissing or kSelfCheckBadTable.
int ReadSelfCheckBlock(const std::uint8_t* memory, std::size_t memorySize, SelfCheckBlock* block);

// The CRC of the block's ranges and of the block header (0xFFC0 to 0xFFD3)
// as they stand in this memory; the block's table must be valid (as
// ReadSelfCheckBlock makes sure).
std::uint32_t ComputeSelfCheckCrc(const std::uint8_t* memory, std::size_t memorySize, const SelfCheckBlock& block);

// Encodes a block into its 32 bytes (the CRC field as given).
void EncodeSelfCheckBlock(const SelfCheckBlock& block, std::uint8_t out[kSelfCheckBlockSize]);

// Verifies a whole flash memory image: kSelfCheckGood or a negative result.
int VerifyFlashImage(const std::uint8_t* memory, std::size_t memorySize);
