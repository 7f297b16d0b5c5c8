#pragma once

// Firmware images for tests: a TI-Text vector segment to build files with,
// and the flash memory an image makes once programmed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "loader/BuiltInImage.h"

// A TI-Text vector segment of 32 bytes: 80 29 then 01 00 02 00 ... 0F 00.
inline std::string VectorLines()
{
    std::string text = "@FFE0\n80 29";
    for (int i = 1; i < 16; ++i) {
        char word[16];
        std::snprintf(word, sizeof word, " %02X 00", i);
        text += word;
    }
    return text + "\n";
}

// The flash of the given size that a compact image text (as the loader host
// holds it) and its vectors make when programmed into erased memory, the way
// a transfer has the loader write them.
inline std::vector<std::uint8_t> ProgrammedFlash(const std::string& text,
                                                 std::span<const std::uint16_t, kVectorCount> vectors, std::size_t size)
{
    std::vector<std::uint8_t> memory(size, 0xFF);
    std::uint32_t address = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '@') {
            address = static_cast<std::uint32_t>(std::stoul(text.substr(i + 1, 5), nullptr, 16));
            i += 6;
            continue;
        }
        const unsigned word = static_cast<unsigned>(std::stoul(text.substr(i, 4), nullptr, 16));
        memory.at(address) &= static_cast<std::uint8_t>(word & 0xFF);
        memory.at(address + 1) &= static_cast<std::uint8_t>(word >> 8);
        address += 2;
        i += 4;
    }
    for (int v = 0; v < kVectorCount; ++v) {
        memory.at(0xFFE0 + 2 * v) = static_cast<std::uint8_t>(vectors[v] & 0xFF);
        memory.at(0xFFE0 + 2 * v + 1) = static_cast<std::uint8_t>(vectors[v] >> 8);
    }
    return memory;
}
