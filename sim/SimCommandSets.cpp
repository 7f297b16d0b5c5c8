#include "SimCommands.h"

// Every command set of the simulated firmware. A new set is one more line
// here; a new command is one more line in its set's table.
std::vector<SimCommandSet> SimFirmwareCommandSets()
{
    return {
        SimIdentityCommands(),
        SimClockEraseCommands(),
        SimLoggerCommands(),
        SimLoggerSettingsCommands(),
        SimBootCommands(),
    };
}
