// What every instrument answers about itself, and the end of a session.
#include <string>

#include "SimCommands.h"
#include "SimInstrument.h"

namespace {

SimReply GetVersion(SimInstrument& sim, const SimCommandLine&)
{
    if (sim.Config().oldFirmware) return SimReply::Refused();
    return SimReply::Text(sim.VersionText());
}

SimReply GetHardwareRevision(SimInstrument& sim, const SimCommandLine&)
{
    return SimReply::Text(sim.Config().hardwareRevision);
}

SimReply GetBattery(SimInstrument& sim, const SimCommandLine&)
{
    return SimReply::Text(std::to_string(sim.Config().batteryPercent));
}

SimReply Logout(SimInstrument&, const SimCommandLine&)
{
    return SimReply::Ok();
}

const SimCommand kCommands[] = {
    {"get -ver", GetVersion},
    {"get -hver", GetHardwareRevision},
    {"get -batt", GetBattery},
    {"logout", Logout},
};

}  // namespace

SimCommandSet SimIdentityCommands()
{
    return {kCommands};
}
