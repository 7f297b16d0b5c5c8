#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The instrument's flash memory as the bootstrap loader sees it: 1 MiB, in
// segments that are erased whole. Erased flash reads 0xFF; writing can only
// clear bits (the new byte is the old one AND the written one), so data
// written over data that was not erased first come out corrupted.
//
// Segments are 512 bytes, except in the INFO memory (0x1000 to 0x10FF),
// which has 64-byte segments.
class SimFlash {
public:
    static constexpr std::uint32_t kSize = 0x100000;
    static constexpr std::uint32_t kMainSegment = 512;
    static constexpr std::uint32_t kInfoStart = 0x1000;
    static constexpr std::uint32_t kInfoEnd = 0x1100;  // first address after the INFO memory
    static constexpr std::uint32_t kInfoSegment = 64;

    SimFlash();

    // The segment that holds address: its first address and its size.
    struct Segment {
        std::uint32_t start;
        std::uint32_t size;
    };
    static Segment SegmentOf(std::uint32_t address);

    // Sets the segment that holds address to 0xFF. False outside the memory.
    bool EraseSegmentAt(std::uint32_t address);
    // Programs bytes from address on. False (and nothing written) when they
    // do not fit the memory.
    bool Write(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);

    std::uint8_t At(std::uint32_t address) const { return address < kSize ? memory_[address] : 0xFF; }
    const std::uint8_t* Data() const { return memory_.data(); }
    std::size_t Size() const { return memory_.size(); }
    // True once anything was erased or written: until then the instrument
    // runs the firmware it came with, which the simulation does not hold.
    bool Touched() const { return touched_; }

    // Writes the whole memory to a file, byte for byte. 0 or -errno.
    int Dump(const char* path) const;

private:
    std::vector<std::uint8_t> memory_;
    bool touched_ = false;
};
