#pragma once

#include <map>
#include <memory>
#include <string>

#include "serial/SerialPort.h"

class SimInstrument;

// A serial port wired to an in-process SimInstrument, for tests under a
// VirtualClock: a read that finds nothing lets the clock run to the moment
// the instrument next sends (at most the 100 ms read time-out) instead of
// sleeping. Exclusive like a real port: a second open fails with -EBUSY.
class SimSerialPort : public SerialPort {
public:
    struct Wiring {
        SimInstrument* sim = nullptr;  // null: no such port (-ENOENT)
        bool heldElsewhere = false;    // another program holds the port (-EBUSY)
        unsigned maxBytesPerRead = 0;  // > 0: answers arrive in pieces of this size
        bool inUse = false;
    };

    explicit SimSerialPort(std::shared_ptr<Wiring> wiring) : wiring_(std::move(wiring)) {}
    ~SimSerialPort() override;

    int Open(const std::string& path) override;
    int Configure(int baud, ConfigureStep* failedStep) override;
    int SetBaud(int baud) override;
    int Read(void* buffer, unsigned capacity) override;
    int Write(const void* bytes, unsigned count) override;
    int PurgeInput() override;
    int SetDtr(bool on) override;
    int Close() override;
    int Handle() const override { return open_ ? 3 : -1; }

private:
    std::shared_ptr<Wiring> wiring_;
    bool open_ = false;
};

// Connects port names to simulated instruments. Install it with
// ScopedSerialPortProvider; names that are not attached do not exist.
class SimPortProvider : public SerialPortProvider {
public:
    // Attaches sim under a port name ("ttyUSB0", "/tmp/x").
    void Attach(const std::string& portName, SimInstrument* sim);
    // Marks the port as held by another program, or frees it.
    void SetHeldElsewhere(const std::string& portName, bool held);
    // Lets the port deliver at most bytes per read (0: no limit).
    void SetMaxBytesPerRead(const std::string& portName, unsigned bytes);

    std::unique_ptr<SerialPort> Create(const std::string& portName) override;

private:
    std::shared_ptr<SimSerialPort::Wiring> WiringOf(const std::string& portName);
    std::map<std::string, std::shared_ptr<SimSerialPort::Wiring>> ports_;
};
