// The clock and the data memory of every instrument: "set -sec", "set -t",
// "set -d" and "yes", which erases the stored measurements.
#include <cstdio>
#include <string>

#include "SimCommands.h"
#include "SimInstrument.h"
#include "SimLogger.h"

namespace {

SimReply SetSeconds(SimInstrument& sim, const SimCommandLine& line)
{
    // Firmware that predates "get -ver" knows no clock in seconds.
    if (sim.Config().oldFirmware) return SimReply::Refused();
    unsigned long seconds = 0;
    char rest = 0;
    if (std::sscanf(line.args.c_str(), "%lu%c", &seconds, &rest) != 1 || seconds > 0xFFFFFFFFul)
        return SimReply::Refused();
    SimClockModel& clock = sim.Model<SimClockModel>();
    clock.seconds = static_cast<std::uint32_t>(seconds);
    ++clock.commands;
    return SimReply::Ok();
}

// "H:M:S" and "Y-M-D": three numbers in range, in the given separators.
bool ThreeNumbers(const std::string& text, char separator, int lowA, int highA, int lowB, int highB, int lowC,
                  int highC)
{
    int a = 0, b = 0, c = 0;
    char s1 = 0, s2 = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c%d%c", &a, &s1, &b, &s2, &c, &rest) != 5) return false;
    return s1 == separator && s2 == separator && a >= lowA && a <= highA && b >= lowB && b <= highB && c >= lowC &&
           c <= highC;
}

SimReply SetTime(SimInstrument& sim, const SimCommandLine& line)
{
    if (!ThreeNumbers(line.args, ':', 0, 23, 0, 59, 0, 59)) return SimReply::Refused();
    SimClockModel& clock = sim.Model<SimClockModel>();
    clock.timeOfDay = line.args;
    ++clock.commands;
    return SimConfirm(sim);
}

SimReply SetDate(SimInstrument& sim, const SimCommandLine& line)
{
    if (!ThreeNumbers(line.args, '-', 2000, 2099, 1, 12, 1, 31)) return SimReply::Refused();
    SimClockModel& clock = sim.Model<SimClockModel>();
    clock.date = line.args;
    ++clock.commands;
    return SimConfirm(sim);
}

// Old firmware ends its erase messages with "!", which the host waits for.
SimReply Erase(SimInstrument& sim, const SimCommandLine&)
{
    const bool old = sim.Config().oldFirmware;
    if (sim.Config().faults.dataFlashFail) return SimReply::Text(old ? "DataFlash FAIL!" : "DataFlash FAIL");
    ++sim.Model<SimDataModel>().erases;
    return SimReply::Text(old ? "Data erased OK!" : "OK");
}

const SimCommand kCommands[] = {
    {"set -sec", SetSeconds},
    {"set -t", SetTime},
    {"set -d", SetDate},
    {"yes", Erase},
};

}  // namespace

SimCommandSet SimClockEraseCommands()
{
    return {kCommands};
}
