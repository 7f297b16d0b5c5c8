#pragma once

// A SerialPort whose input is a script of timed pieces, for tests of the
// serial channel under a VirtualClock. A read that finds nothing advances
// the clock to the next piece, or by the 100 ms read time-out.

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include "log/OrvaLog.h"
#include "serial/SerialPort.h"
#include "serial/Timing.h"
#include "support/TempLogFile.h"

struct ScriptedLine {
    struct Piece {
        std::uint32_t at;
        std::string bytes;
    };
    // What the port does; set by the test.
    int openResult = 0;
    int configureResult = 0;
    SerialPort::ConfigureStep configureFailStep = SerialPort::ConfigureStep::None;
    int readError = 0;    // when set, reads fail with -readError
    int writeError = 0;   // when set, writes fail with -writeError
    int writeLimit = -1;  // when >= 0, at most this many bytes are taken per write
    int closeResult = 0;
    std::deque<Piece> input;  // in time order

    // What the port saw.
    std::string openedPath;
    int opens = 0;
    int closes = 0;
    int reads = 0;
    int purges = 0;
    int baud = 0;
    bool dtr = false;
    std::string written;

    void Arrive(const std::string& bytes, std::uint32_t delayMs = 0) { input.push_back({MsTick() + delayMs, bytes}); }
};

class ScriptedSerialPort : public SerialPort {
public:
    explicit ScriptedSerialPort(std::shared_ptr<ScriptedLine> line, int handle)
        : line_(std::move(line)), handle_(handle)
    {
    }
    int Open(const std::string& path) override
    {
        line_->openedPath = path;
        ++line_->opens;
        return line_->openResult;
    }
    int Configure(int baud, ConfigureStep* failedStep) override
    {
        *failedStep = line_->configureFailStep;
        if (line_->configureResult < 0) return line_->configureResult;
        line_->baud = baud;
        return 0;
    }
    int SetBaud(int baud) override
    {
        if (baud <= 0) return -EINVAL;
        line_->baud = baud;
        return 0;
    }
    int Read(void* buffer, unsigned capacity) override
    {
        ++line_->reads;
        if (line_->readError) return -line_->readError;
        auto& input = line_->input;
        if (input.empty() || input.front().at > MsTick() + 100) {
            CurrentClock().SleepMs(100);
            return 0;
        }
        if (input.front().at > MsTick()) CurrentClock().SleepMs(input.front().at - MsTick());
        unsigned n = 0;
        while (n < capacity && !input.empty() && input.front().at <= MsTick()) {
            std::string& bytes = input.front().bytes;
            const unsigned take = std::min<unsigned>(capacity - n, static_cast<unsigned>(bytes.size()));
            std::memcpy(static_cast<char*>(buffer) + n, bytes.data(), take);
            n += take;
            bytes.erase(0, take);
            if (bytes.empty()) input.pop_front();
        }
        return static_cast<int>(n);
    }
    int Write(const void* bytes, unsigned count) override
    {
        if (line_->writeError) return -line_->writeError;
        if (line_->writeLimit >= 0 && count > static_cast<unsigned>(line_->writeLimit)) count = line_->writeLimit;
        line_->written.append(static_cast<const char*>(bytes), count);
        return static_cast<int>(count);
    }
    int PurgeInput() override
    {
        ++line_->purges;
        while (!line_->input.empty() && line_->input.front().at <= MsTick())
            line_->input.pop_front();
        return 0;
    }
    int SetDtr(bool on) override
    {
        line_->dtr = on;
        return 0;
    }
    int Close() override
    {
        ++line_->closes;
        return line_->closeResult;
    }
    int Handle() const override { return handle_; }

private:
    std::shared_ptr<ScriptedLine> line_;
    int handle_;
};

// Hands out ScriptedSerialPorts; every port of one name shares its line.
class ScriptedProvider : public SerialPortProvider {
public:
    std::shared_ptr<ScriptedLine> Line(const std::string& name)
    {
        auto& line = lines_[name];
        if (!line) line = std::make_shared<ScriptedLine>();
        return line;
    }
    std::unique_ptr<SerialPort> Create(const std::string& portName) override
    {
        return std::make_unique<ScriptedSerialPort>(Line(portName), nextHandle_++);
    }

private:
    std::map<std::string, std::shared_ptr<ScriptedLine>> lines_;
    int nextHandle_ = 7;
};

// A diagnostic log in a temporary file, at the trace level.
class TempLog : public TempLogFile {
public:
    TempLog() : TempLogFile("orva-serial-test-", 40) {}
};
