#include "SimLoader.h"

#include "SimInstrument.h"

void SimLoaderProtocol::OnStart(SimInstrument& sim)
{
    SimLoaderModel& loader = sim.Model<SimLoaderModel>();
    // A freshly started loader waits for a connection; one that an
    // interrupted update left behind may still be connected.
    loader.connected = !loader.started && sim.Config().start == SimStart::LoaderConnected;
    loader.started = true;
    loader.line.clear();
}

void SimLoaderProtocol::OnBytes(SimInstrument& sim, std::string_view bytes)
{
    SimLoaderModel& loader = sim.Model<SimLoaderModel>();
    for (const char c : bytes) {
        if (!loader.connected) {
            if (c == '\r') {
                sim.Send("$");
            } else if (c == 'P') {
                loader.connected = true;
                sim.Send("#");
            }
            continue;
        }
        if (c != '\r') {
            if (loader.line.size() < 600) loader.line += c;
            continue;
        }
        const std::string line = loader.line;
        loader.line.clear();
        if (!line.empty() && line[0] == 'g')
            sim.Send("+" + std::to_string(loader.version) + "+\r");
        else
            sim.Send("?");
    }
}
