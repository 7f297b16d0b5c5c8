// The firmware's commands around an update: "boot", which starts the
// bootstrap loader, and "post", the firmware's check of its own code.
#include <string>

#include "SimCommands.h"
#include "SimFlash.h"
#include "SimInstrument.h"
#include "SimLoader.h"
#include "loader/ImageSelfCheck.h"

namespace {

constexpr const char* kBootWord = "KRAB";

SimReply Boot(SimInstrument& sim, const SimCommandLine& line)
{
    if (line.args != kBootWord) return SimReply::Refused();
    switch (sim.Config().loader.boot) {
        case SimLoaderConfig::Boot::Missing:
            return SimReply::Text("OrvaBSL MISSING");
        case SimLoaderConfig::Boot::Error:
            return SimReply::Refused();
        case SimLoaderConfig::Boot::Dead:
            sim.SetProgram(SimProgram::Loader);
            sim.Model<SimLoaderModel>().absent = true;
            return SimReply::Ok();
        case SimLoaderConfig::Boot::Starts:
            break;
    }
    sim.SetProgram(SimProgram::Loader);
    return SimReply::Ok();
}

// The code check answers from the self-check block of what the loader
// programmed. An instrument whose flash the loader never touched runs the
// firmware it came with, which is good.
SimReply Post(SimInstrument& sim, const SimCommandLine&)
{
    const SimFlash& flash = sim.Model<SimFlash>();
    if (!flash.Touched() || VerifyFlashImage(flash.Data(), flash.Size()) == kSelfCheckGood)
        return SimReply::Text("Code Good!");
    return SimReply::Text("Code Corrupt!");
}

const SimCommand kCommands[] = {
    {"boot", Boot},
    {"post", Post},
    {"post -init", Post},
};

}  // namespace

SimCommandSet SimBootCommands()
{
    return {kCommands};
}
