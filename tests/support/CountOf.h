#pragma once

// How often a piece occurs in a text, overlapping occurrences included.

#include <cstddef>
#include <string>

inline std::size_t CountOf(const std::string& text, const std::string& piece)
{
    std::size_t count = 0;
    for (std::size_t pos = text.find(piece); pos != std::string::npos; pos = text.find(piece, pos + 1))
        ++count;
    return count;
}
