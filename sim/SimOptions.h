#pragma once

#include <cstdio>
#include <span>
#include <string>

#include "SimInstrument.h"

// What orvasim is told on its command line.
struct OrvasimOptions {
    SimConfig config;
    std::string link;       // --link PATH
    std::string dumpFlash;  // --dump-flash PATH
    bool baudPacing = false;
    bool trace = false;
    bool help = false;
};

// One command-line option. A new option is one more row in the table of
// SimOptions.cpp (and a new fault one more row in its table of faults).
struct OrvasimOption {
    const char* name;   // "--kind"
    const char* value;  // "N"; null for a switch
    const char* help;
    // Applies the option; false with an explanation in error when the value
    // is not acceptable.
    bool (*apply)(OrvasimOptions& options, const std::string& value, std::string& error);
};
std::span<const OrvasimOption> OrvasimOptionTable();

// Parses argv into options. False with an explanation in error.
bool ParseOrvasimOptions(int argc, char** argv, OrvasimOptions& options, std::string& error);

// The --help text: usage, every option and every fault.
void PrintOrvasimHelp(std::FILE* out);
