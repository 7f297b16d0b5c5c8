#pragma once

#include <span>
#include <string>
#include <vector>

#include "SimReply.h"

class SimInstrument;

// One command line as the firmware received it, without its "\r".
struct SimCommandLine {
    std::string text;  // the whole line
    std::string args;  // what follows the command's words, leading blanks removed
};

// One command of the firmware's command interpreter: the words that start
// the line ("get -ver", "set -i", "logout") and what it does. The line that
// starts with the most words of a command is that command's.
struct SimCommand {
    const char* words;
    SimReply (*run)(SimInstrument& sim, const SimCommandLine& line);
};

// A set of commands that belongs together, in its own file, with an
// optional filter that sees every byte before the interpreter assembles
// lines (for exchanges that are not carriage-return lines); it returns true
// when it took the byte.
struct SimCommandSet {
    std::span<const SimCommand> commands;
    bool (*byteFilter)(SimInstrument& sim, char byte) = nullptr;
};

// The command sets of the firmware (SimCommandSets.cpp lists them).
std::vector<SimCommandSet> SimFirmwareCommandSets();

// The sets, one function each, in their own files.
SimCommandSet SimIdentityCommands();  // get -ver, get -hver, get -batt, logout
SimCommandSet SimClockEraseCommands();  // set -sec, set -t, set -d, yes
SimCommandSet SimLoggerCommands();      // show, get -i, set -i, term (pass-through to the radio)
SimCommandSet SimLoggerSettingsCommands();  // get and set of every other logger setting
SimCommandSet SimBootCommands();        // boot (starts the bootstrap loader), post, post -init
