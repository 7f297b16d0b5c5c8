#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "SimReply.h"

class SimInstrument;

// The data-logger side of the simulated instrument. The logger kinds are
// Kelo, Kelob, Kelox, Pellora, Telvo and Gorvik; a Kelo may run old firmware
// (SimConfig::oldFirmware).
bool SimIsLogger(const SimInstrument& sim);

// A logger's settings and state, kept in the instrument (Model<>).
struct SimLoggerModel {
    // Settings by the option word of their "get -X" / "set -X" commands:
    // "i" is the device name, "w" the measurement interval, "r" the radio
    // mode. A new setting is a new key. Filled with defaults on first use.
    std::map<std::string, std::string> settings;
    // The version that old firmware shows in its "show" answer.
    std::string showVersion = "1.10";
    int resets = 3;
    bool passThrough = false;  // "term": bytes go to the radio module
    std::string passLine;      // the line so far while passing through
};

// The logger's model, with its defaults filled in (the name is the kind's
// code padded with zeros to 8 characters, ending in 1: "KELOX001").
SimLoggerModel& SimLogger(SimInstrument& sim);

// How the firmware confirms a setting: "OK", or, on old firmware, nothing
// but its prompt ("\r>").
SimReply SimConfirm(const SimInstrument& sim);

// The clock and the data memory, kept in the instrument (Model<>).
struct SimClockModel {
    std::optional<std::uint32_t> seconds;  // last "set -sec" (seconds since 2000)
    std::string timeOfDay;                 // last "set -t" as received: "13:5:7"
    std::string date;                      // last "set -d" as received: "2026-3-9"
    int commands = 0;                      // clock commands received
};
struct SimDataModel {
    int erases = 0;  // completed erases
};

// The radio module Radmo behind the logger's "term" pass-through: "+++"
// enters its command mode, then AT commands ending in "\r", answered with
// "OK\r", a value and "\r", or "ERROR\r".
struct SimRadmoModel {
    bool fitted = true;
    bool answersCommandMode = true;  // false: "+++" goes unanswered
    std::set<std::string> failing;   // commands ("ATHP", "ATWR" ...) answered "ERROR"
    int rch = 0x3;                   // the channel in use
    int rsch = 0x1A2B;               // the subchannel in use
    std::string rver = "1084";       // firmware version of the module
    int storedRch = 0x3;             // what ATWR stored
    int storedRsch = 0x1A2B;
    bool commandMode = false;
    int pluses = 0;
    std::string line;
};

// One byte from the host while the logger passes through to the module.
void SimRadmoByte(SimInstrument& sim, char byte);
