#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "loader/ImageSelfCheck.h"

namespace {

// A flash of 64 KB with a block checking one range of 16 bytes at 0x2600,
// and the reset vector pointing at it.
std::vector<std::uint8_t> SmallFlash(const SelfCheckBlock& block)
{
    std::vector<std::uint8_t> memory(0x10000, 0xFF);
    for (int i = 0; i < 16; ++i)
        memory[0x2600 + i] = static_cast<std::uint8_t>(i * 7);
    memory[0xFFFE] = 0x00;
    memory[0xFFFF] = 0x26;
    SelfCheckBlock placed = block;
    EncodeSelfCheckBlock(placed, memory.data() + kSelfCheckBlockAddress);
    placed.crc = ComputeSelfCheckCrc(memory.data(), memory.size(), placed);
    EncodeSelfCheckBlock(placed, memory.data() + kSelfCheckBlockAddress);
    return memory;
}

SelfCheckBlock OneRange(std::uint32_t start, std::uint16_t length, std::uint16_t count = 1)
{
    SelfCheckBlock block{};
    block.version = 173;
    block.kind = 14;
    block.rangeCount = count;
    block.ranges[0] = {start, length};
    return block;
}

}  // namespace

TEST(ImageSelfCheck, CrcIsTheCommonCrc32)
{
    const char* check = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(check);
    EXPECT_EQ(SelfCheckCrc32(bytes, 9), 0xCBF43926u);
    // It continues over pieces.
    EXPECT_EQ(SelfCheckCrc32(bytes + 4, 5, SelfCheckCrc32(bytes, 4)), 0xCBF43926u);
}

TEST(ImageSelfCheck, BlockEncodesAsDocumented)
{
    SelfCheckBlock block = OneRange(0x10000, 0xC986);
    block.crc = 0x12345678;
    block.balance = 0xA1B2C3D4;
    std::uint8_t bytes[kSelfCheckBlockSize];
    EncodeSelfCheckBlock(block, bytes);
    const std::uint8_t expected[kSelfCheckBlockSize] = {
        0x43, 0x4B, 0xAD, 0x00, 0x0E, 0x00, 0x01, 0x00,  // magic, version, kind, count
        0x00, 0x10, 0x86, 0xC9, 0xFF, 0xFF, 0xFF, 0xFF,  // range 0x10000 / 16, 0xC986; unused
        0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12,  // unused; CRC
        0xFF, 0xFF, 0xFF, 0xFF, 0xD4, 0xC3, 0xB2, 0xA1,  // reserved; balance
    };
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

TEST(ImageSelfCheck, TablesOutOfBoundsAreRefused)
{
    EXPECT_EQ(VerifyFlashImage(SmallFlash(OneRange(0x2600, 16)).data(), 0x10000), kSelfCheckGood);
    struct Case {
        SelfCheckBlock block;
        int result;
    };
    const Case cases[] = {
        {OneRange(0x2600, 16, 0), kSelfCheckBadTable},   // no range
        {OneRange(0x2600, 16, 4), kSelfCheckBadTable},   // more than three
        {OneRange(0x2600, 0), kSelfCheckBadTable},       // empty range
        {OneRange(0xFFB0, 0x20), kSelfCheckBadTable},    // into the block
        {OneRange(0xFF00, 0x200), kSelfCheckBadTable},   // over block and vectors
        {OneRange(0xF000, 0xFFFF), kSelfCheckBadTable},  // beyond the memory
        {OneRange(0x2610, 16), kSelfCheckBadReset},      // reset vector outside the range
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> memory = SmallFlash(c.block);
        EXPECT_EQ(VerifyFlashImage(memory.data(), memory.size()), c.result)
            << std::hex << c.block.ranges[0].start << " " << c.block.ranges[0].length;
    }
}
