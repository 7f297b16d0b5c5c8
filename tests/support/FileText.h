#pragma once

// Whole files as strings, byte for byte, for tests that look at what was
// written (logs, dumps, captured output) or prepare input files.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A file's content; empty when it does not exist or cannot be read.
inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Creates the file or replaces its content.
inline void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}
