#include "loader/ImageSelfCheck.h"

namespace {

std::uint16_t Word(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Long(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutWord(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLong(std::uint8_t* p, std::uint32_t value)
{
    PutWord(p, static_cast<std::uint16_t>(value));
    PutWord(p + 2, static_cast<std::uint16_t>(value >> 16));
}

constexpr std::uint32_t kRangeTableOffset = 0x08;

}  // namespace

std::uint32_t SelfCheckCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc)
{
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int ReadSelfCheckBlock(const std::uint8_t* memory, std::size_t memorySize, SelfCheckBlock* block)
{
    // The memory must reach up to the vectors.
    if (!memory || !block || memorySize < kResetVectorAddress + 2) return kSelfCheckMissing;
    const std::uint8_t* p = memory + kSelfCheckBlockAddress;
    if (Word(p) != kSelfCheckMagic) return kSelfCheckMissing;

    SelfCheckBlock read{};
    read.version = Word(p + 2);
    read.kind = Word(p + 4);
    read.rangeCount = Word(p + 6);
    read.crc = Long(p + kSelfCheckCrcOffset);
    read.balance = Long(p + kSelfCheckBalanceOffset);
    if (read.rangeCount < 1 || read.rangeCount > kSelfCheckMaxRanges) return kSelfCheckBadTable;
    for (int i = 0; i < read.rangeCount; ++i) {
        const std::uint8_t* entry = p + kRangeTableOffset + 4 * i;
        SelfCheckRange& range = read.ranges[i];
        range.start = static_cast<std::uint32_t>(Word(entry)) << 4;
        range.length = Word(entry + 2);
        const std::uint32_t end = range.start + range.length;
        if (range.length == 0 || end > memorySize) return kSelfCheckBadTable;
        // The block and the vectors are not part of any range.
        if (range.start < 0x10000 && end > kSelfCheckBlockAddress) return kSelfCheckBadTable;
    }
    *block = read;
    return kSelfCheckGood;
}

std::uint32_t ComputeSelfCheckCrc(const std::uint8_t* memory, std::size_t memorySize, const SelfCheckBlock& block)
{
    std::uint32_t crc = 0;
    for (int i = 0; i < block.rangeCount && i < kSelfCheckMaxRanges; ++i) {
        const SelfCheckRange& range = block.ranges[i];
        if (range.start + range.length > memorySize) return ~crc;  // never read outside the memory
        crc = SelfCheckCrc32(memory + range.start, range.length, crc);
    }
    if (memorySize >= kSelfCheckBlockAddress + kSelfCheckCrcOffset)
        crc = SelfCheckCrc32(memory + kSelfCheckBlockAddress, kSelfCheckCrcOffset, crc);
    return crc;
}

void EncodeSelfCheckBlock(const SelfCheckBlock& block, std::uint8_t out[kSelfCheckBlockSize])
{
    PutWord(out, kSelfCheckMagic);
    PutWord(out + 2, block.version);
    PutWord(out + 4, block.kind);
    PutWord(out + 6, block.rangeCount);
    for (int i = 0; i < kSelfCheckMaxRanges; ++i) {
        std::uint8_t* entry = out + kRangeTableOffset + 4 * i;
        if (i < block.rangeCount) {
            PutWord(entry, static_cast<std::uint16_t>(block.ranges[i].start >> 4));
            PutWord(entry + 2, block.ranges[i].length);
        } else {
            PutLong(entry, 0xFFFFFFFFu);
        }
    }
    PutLong(out + kSelfCheckCrcOffset, block.crc);
    PutLong(out + 0x18, 0xFFFFFFFFu);
    PutLong(out + kSelfCheckBalanceOffset, block.balance);
}

int VerifyFlashImage(const std::uint8_t* memory, std::size_t memorySize)
{
    SelfCheckBlock block;
    const int read = ReadSelfCheckBlock(memory, memorySize, &block);
    if (read != kSelfCheckGood) return read;
    if (ComputeSelfCheckCrc(memory, memorySize, block) != block.crc) return kSelfCheckCrcMismatch;
    const std::uint32_t reset = Word(memory + kResetVectorAddress);
    const SelfCheckRange& first = block.ranges[0];
    if (reset < first.start || reset >= first.start + first.length) return kSelfCheckBadReset;
    return kSelfCheckGood;
}
