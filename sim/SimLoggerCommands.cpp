// What a data logger answers beyond every instrument's commands: the old
// firmware's "show", the device name, and "term", the pass-through to the
// radio module.
#include <string>

#include "SimCommands.h"
#include "SimInstrument.h"
#include "SimLogger.h"
#include "instrument/InstrumentKind.h"

namespace {

std::string DefaultName(int kind)
{
    std::string name = KindShortCode(kind);
    if (name.size() > 7) name.resize(7);
    while (name.size() < 7)
        name += '0';
    return name + "1";
}

SimReply Show(SimInstrument& sim, const SimCommandLine&)
{
    if (!SimIsLogger(sim)) return SimReply::Refused();
    SimLoggerModel& logger = SimLogger(sim);
    return SimReply::Text("ID: " + logger.settings["i"] + "\r\nVersion: " + logger.showVersion +
                          "\r\nRadio: " + logger.settings["r"] + "\r\nWake: " + logger.settings["w"] +
                          "\r\nResets: " + std::to_string(logger.resets));
}

SimReply GetName(SimInstrument& sim, const SimCommandLine&)
{
    if (!SimIsLogger(sim)) return SimReply::Refused();
    const std::string& name = SimLogger(sim).settings["i"];
    return name.empty() ? SimReply::Empty() : SimReply::Text(name);
}

SimReply SetName(SimInstrument& sim, const SimCommandLine& line)
{
    if (!SimIsLogger(sim) || line.args.empty() || line.args.size() > 8) return SimReply::Refused();
    SimLogger(sim).settings["i"] = line.args;
    return SimConfirm(sim);
}

SimReply Term(SimInstrument& sim, const SimCommandLine&)
{
    if (!SimIsLogger(sim)) return SimReply::Refused();
    if (!sim.Model<SimRadmoModel>().fitted) return SimReply::Text("No Radio");
    SimLoggerModel& logger = SimLogger(sim);
    logger.passThrough = true;
    logger.passLine.clear();
    sim.Trace("logger passes through to its radio module");
    return SimReply::Nothing();
}

// While passing through, every byte goes to the radio module; the line
// "term" ends the pass-through and brings the prompt back.
bool PassThrough(SimInstrument& sim, char byte)
{
    if (!SimIsLogger(sim)) return false;
    SimLoggerModel& logger = SimLogger(sim);
    if (!logger.passThrough) return false;
    if (byte == '\r') {
        const bool leave = logger.passLine == "term";
        logger.passLine.clear();
        if (leave) {
            logger.passThrough = false;
            sim.Trace("logger ends the pass-through");
            sim.Reply(SimConfirm(sim));
            return true;
        }
    } else if (byte != '\n' && logger.passLine.size() < 64) {
        logger.passLine += byte;
    }
    SimRadmoByte(sim, byte);
    return true;
}

const SimCommand kCommands[] = {
    {"show", Show},
    {"get -i", GetName},
    {"set -i", SetName},
    {"term", Term},
};

}  // namespace

bool SimIsLogger(const SimInstrument& sim)
{
    switch (sim.Config().kind) {
        case KELO:
        case KELOB:
        case KELOX:
        case PELLORA:
        case TELVO:
        case GORVIK:
            return true;
        default:
            return false;
    }
}

SimLoggerModel& SimLogger(SimInstrument& sim)
{
    SimLoggerModel& logger = sim.Model<SimLoggerModel>();
    logger.settings.try_emplace("i", DefaultName(sim.Config().kind));
    logger.settings.try_emplace("w", "15");
    logger.settings.try_emplace("r", "0");
    return logger;
}

SimReply SimConfirm(const SimInstrument& sim)
{
    return sim.Config().oldFirmware ? SimReply::Raw("\r>") : SimReply::Ok();
}

SimCommandSet SimLoggerCommands()
{
    return {kCommands, PassThrough};
}
