// The radio module Radmo, reached through the logger's pass-through.
#include <cstdio>
#include <string>

#include "SimInstrument.h"
#include "SimLogger.h"

namespace {

std::string Hex(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

// Reads the hexadecimal value after a command's four letters.
bool HexValue(const std::string& text, int* value)
{
    if (text.empty() || text.size() > 4) return false;
    unsigned parsed = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%x%c", &parsed, &rest) != 1) return false;
    *value = static_cast<int>(parsed);
    return true;
}

std::string Answer(SimRadmoModel& radio, const std::string& line)
{
    if (line.size() < 4 || line.compare(0, 2, "AT") != 0) return "ERROR\r";
    const std::string command = line.substr(0, 4);
    const std::string value = line.substr(4);
    if (radio.failing.count(command)) return "ERROR\r";
    if (command == "ATHP" || command == "ATDT") {
        int& target = command == "ATHP" ? radio.rch : radio.rsch;
        if (value.empty()) return Hex(target) + "\r";
        int parsed = 0;
        if (!HexValue(value, &parsed) || (command == "ATHP" && parsed > 6)) return "ERROR\r";
        target = parsed;
        return "OK\r";
    }
    if (!value.empty()) return "ERROR\r";
    if (command == "ATVR") return radio.rver + "\r";
    if (command == "ATWR") {
        radio.storedRch = radio.rch;
        radio.storedRsch = radio.rsch;
        return "OK\r";
    }
    if (command == "ATCN") {
        radio.commandMode = false;
        return "OK\r";
    }
    return "ERROR\r";
}

}  // namespace

void SimRadmoByte(SimInstrument& sim, char byte)
{
    SimRadmoModel& radio = sim.Model<SimRadmoModel>();
    if (!radio.commandMode) {
        // Everything else goes out over the air; three pluses in a row ask
        // for the command mode.
        radio.pluses = byte == '+' ? radio.pluses + 1 : 0;
        if (radio.pluses == 3) {
            radio.pluses = 0;
            if (!radio.answersCommandMode) return;
            radio.commandMode = true;
            radio.line.clear();
            sim.Send("OK\r");
        }
        return;
    }
    if (byte == '\n') return;
    if (byte != '\r') {
        if (radio.line.size() < 32) radio.line += byte;
        return;
    }
    const std::string line = radio.line;
    radio.line.clear();
    // The logger's own "term" ends the pass-through; the module ignores it.
    if (line == "term") return;
    sim.Send(Answer(radio, line));
}
