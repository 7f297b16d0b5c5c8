#pragma once

// A QUORIN_Protocol talking to an in-process simulated instrument on port
// "ttyS0" under a virtual clock, with its log in a file of its own.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "SimInstrument.h"
#include "SimSerialPort.h"
#include "device/QUORIN_Protocol.h"
#include "log/OrvaLog.h"
#include "serial/Timing.h"
#include "support/TempLogFile.h"

class DeviceTest : public ::testing::Test {
protected:
    static constexpr const char* kPort = "ttyS0";

    DeviceTest()
    {
        provider_.Attach(kPort, &sim_);
        sim_.trace = [this](const std::string& line) { trace_.push_back(line); };
        device_ = std::make_unique<QUORIN_Protocol>(log_.get());
    }

    // Opens the port without identifying anything.
    void Open() { ASSERT_EQ(device_->OSOpen(kPort, 9600), 1); }

    // Connects over the serial line with the given tries.
    int Connect(unsigned tries = 3)
    {
        LinkOptions options{};
        options.serialTries = tries;
        EXPECT_EQ(device_->CommOptions(&options, 1), 1);
        ConnectRecord record{};
        std::snprintf(record.portName, sizeof record.portName, "%s", kPort);
        record.linkKind = kLinkSerial;
        return device_->ConnectDevice(&record);
    }

    // How many times the host wrote exactly these bytes.
    int Sent(const std::string& bytes) const
    {
        const std::string wanted = "host sent \"" + SimPrintable(bytes) + "\"";
        int n = 0;
        for (const std::string& line : trace_)
            if (line == wanted) ++n;
        return n;
    }
    // Everything the host wrote, in order.
    std::vector<std::string> Writes() const
    {
        std::vector<std::string> writes;
        for (const std::string& line : trace_)
            if (line.rfind("host sent \"", 0) == 0) writes.push_back(line.substr(11, line.size() - 12));
        return writes;
    }

    std::string LogText() const { return log_.Text(); }
    bool Logged(const std::string& part) const { return log_.Has(part); }
    // A log line with the port's tag.
    bool LoggedByPort(const std::string& message) const
    {
        return LogText().find(std::string(kPort) + ": " + message) != std::string::npos;
    }

    VirtualClock clock_{10000};
    ScopedClock useClock_{&clock_};
    SimInstrument sim_;
    SimPortProvider provider_;
    ScopedSerialPortProvider useProvider_{&provider_};
    TempLogFile log_{"orva-device-test-", 30};
    std::vector<std::string> trace_;
    std::unique_ptr<QUORIN_Protocol> device_;
};
