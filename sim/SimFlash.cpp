#include "SimFlash.h"

#include <cerrno>
#include <cstdio>

SimFlash::SimFlash() : memory_(kSize, 0xFF) {}

SimFlash::Segment SimFlash::SegmentOf(std::uint32_t address)
{
    if (address >= kInfoStart && address < kInfoEnd) return {address - address % kInfoSegment, kInfoSegment};
    return {address - address % kMainSegment, kMainSegment};
}

bool SimFlash::EraseSegmentAt(std::uint32_t address)
{
    if (address >= kSize) return false;
    const Segment segment = SegmentOf(address);
    for (std::uint32_t a = segment.start; a < segment.start + segment.size; ++a)
        memory_[a] = 0xFF;
    touched_ = true;
    return true;
}

bool SimFlash::Write(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    if (address > kSize || count > kSize - address) return false;
    for (std::size_t i = 0; i < count; ++i)
        memory_[address + i] &= bytes[i];
    touched_ = true;
    return true;
}

int SimFlash::Dump(const char* path) const
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return -errno;
    const std::size_t written = std::fwrite(memory_.data(), 1, memory_.size(), file);
    int result = written == memory_.size() ? 0 : -EIO;
    if (std::fclose(file) != 0 && result == 0) result = -errno;
    return result;
}
