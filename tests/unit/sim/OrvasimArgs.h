#pragma once

// orvasim's command line for tests of its options.

#include <string>
#include <vector>

#include "SimOptions.h"

// Parses args as orvasim's arguments after its program name.
inline bool ParseOptions(std::vector<std::string> args, OrvasimOptions& options, std::string& error)
{
    args.insert(args.begin(), "orvasim");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    return ParseOrvasimOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}
