#pragma once

#include <memory>
#include <span>
#include <string_view>

class SimInstrument;

// Which program runs on the simulated instrument.
enum class SimProgram {
    Firmware,  // the command interpreter of the instrument command language
    Loader,    // the bootstrap loader
};

// One protocol the instrument speaks: it gets the bytes the host sends
// while its program runs, and every event of the line. Each protocol lives
// in its own file and keeps its state in the instrument (Model<T>()).
class SimProtocol {
public:
    virtual ~SimProtocol() = default;
    // The bytes the host sent, while this protocol's program runs.
    virtual void OnBytes(SimInstrument& sim, std::string_view bytes) = 0;
    // The instrument switched to this protocol's program.
    virtual void OnStart(SimInstrument&) {}
    // The host opened or closed the port, or changed its baud rate. Every
    // protocol hears these, whichever program runs.
    virtual void OnHostOpened(SimInstrument&) {}
    virtual void OnHostClosed(SimInstrument&) {}
    virtual void OnHostBaudChanged(SimInstrument&, int /*baud*/) {}
};

// The table of protocols, one row per program (SimProtocols.cpp).
struct SimProtocolEntry {
    SimProgram program;
    std::unique_ptr<SimProtocol> (*make)();
};
std::span<const SimProtocolEntry> SimProtocolTable();
