#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "SimLoaderConfig.h"
#include "SimProtocol.h"
#include "SimReply.h"

// Faults that make the instrument misbehave on purpose.
struct SimFaults {
    bool silent = false;             // says nothing at all
    bool echo = false;               // sends every line back before answering it
    bool errorToEverything = false;  // answers every command line with ERROR
    bool dataFlashFail = false;      // the data flash is broken: "yes" answers "DataFlash FAIL"
    bool promptOnly = false;         // answers every command line with a bare prompt ">"
    std::set<std::string> refused;     // commands (their words: "set -t") answered with ERROR
    std::set<std::string> unanswered;  // commands that get no answer at all
};

// Where the instrument is when it starts: in its firmware, or in its
// bootstrap loader, left there by an interrupted update (waiting for a
// connection, or connected already).
enum class SimStart { Firmware, LoaderWaiting, LoaderConnected };

// How the instrument is made; the fields may also be changed while it runs.
struct SimConfig {
    int kind = 14;            // the handheld reader
    std::string versionText;  // empty: SimDefaultVersionText(kind)
    std::string hardwareRevision = "C";
    int batteryPercent = 87;
    SimFaults faults;
    // A logger whose firmware predates "get -ver": it refuses it and tells
    // its identity in the "show" answer.
    bool oldFirmware = false;
    SimStart start = SimStart::Firmware;
    SimLoaderConfig loader;  // the bootstrap loader and its faults
};

// The version text of a healthy instrument of a kind: its short code and
// the version of the firmware this updater carries ("TX 1.73").
std::string SimDefaultVersionText(int kind);

// One simulated instrument: its state, and the line it is connected to.
//
// The host side feeds it the bytes the host writes (Feed) and takes what it
// sends back (Take); the line reports the host opening and closing the port
// and changing its baud rate. Whatever runs it — the in-process SimSerialPort
// of the unit tests or orvasim on a pseudo-terminal — also calls Service, so
// that timed actions happen. Time is MsTick(): the virtual clock of a test,
// the real one in orvasim.
//
// What the instrument says is decided by the protocol of the program that
// runs (SimProtocol, one per program: SimProtocols.cpp).
class SimInstrument {
public:
    explicit SimInstrument(SimConfig config = {});
    ~SimInstrument();
    SimInstrument(const SimInstrument&) = delete;
    SimInstrument& operator=(const SimInstrument&) = delete;

    SimConfig& Config() { return config_; }
    const SimConfig& Config() const { return config_; }
    std::string VersionText() const;

    // --- the line ---
    void Feed(std::string_view bytes);
    // Output whose time has come, at most capacity bytes.
    std::size_t Take(char* out, std::size_t capacity);
    std::string TakeAll();
    // Drops the output whose time has come (the host purged its queue).
    void DiscardReadyOutput();
    // When something happens next on its own: output falls due or a timed
    // action runs. Nothing when all is quiet.
    std::optional<std::uint32_t> NextEventAt() const;
    // Runs the timed actions that are due.
    void Service();

    void HostOpened();
    void HostClosed();
    void HostBaudChanged(int baud);
    bool HostConnected() const { return hostConnected_; }
    int HostBaud() const { return hostBaud_; }

    // --- for the protocols ---
    // Queues bytes for the host, after delayMs; output keeps its order.
    // A silent instrument sends nothing.
    void Send(std::string_view bytes, unsigned delayMs = 0);
    void Reply(const SimReply& reply, unsigned delayMs = 0) { Send(reply.Bytes(), delayMs); }
    // Runs action after delayMs.
    void After(unsigned delayMs, std::function<void(SimInstrument&)> action);
    SimProgram Program() const { return program_; }
    // Starts another program; its protocol hears OnStart.
    void SetProgram(SimProgram program);
    SimProtocol* Protocol(SimProgram program) const;

    // State that a protocol or a feature keeps in the instrument (the flash
    // memory, logger settings, a sensor ...): one object of each type T,
    // default-constructed on first use.
    template <class T>
    T& Model()
    {
        std::shared_ptr<void>& slot = models_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }

    // Called with a line of text for every event worth tracing, when set.
    std::function<void(const std::string&)> trace;
    void Trace(const std::string& text) const
    {
        if (trace) trace(text);
    }

private:
    struct Output {
        std::uint32_t at;
        std::string bytes;
    };
    struct Timed {
        std::uint32_t at;
        std::uint64_t order;
        std::function<void(SimInstrument&)> action;
    };

    SimConfig config_;
    SimProgram program_ = SimProgram::Firmware;
    std::map<SimProgram, std::unique_ptr<SimProtocol>> protocols_;
    std::map<std::type_index, std::shared_ptr<void>> models_;
    std::deque<Output> output_;
    std::vector<Timed> timed_;
    std::uint64_t timedOrder_ = 0;
    bool hostConnected_ = false;
    int hostBaud_ = 0;
};

// Shows bytes of the line readably for a trace: "\r" as \r, and so on.
std::string SimPrintable(std::string_view bytes);
