#pragma once

// The loader host talking to an in-process simulated instrument under a
// virtual clock, and what the tests of the link and the transfer share.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "SimFlash.h"
#include "SimInstrument.h"
#include "SimLoader.h"
#include "SimSerialPort.h"
#include "loader/BSLFrame.h"
#include "loader/OrvaBSLHost.h"
#include "log/OrvaLog.h"
#include "serial/Timing.h"
#include "support/CountOf.h"
#include "support/FirmwareImage.h"
#include "support/TempLogFile.h"

// A diagnostic log in a temporary file.
class BSLTempLog : public TempLogFile {
public:
    explicit BSLTempLog(unsigned threshold = 30) : TempLogFile("orva-bsl-test-", threshold) {}
    // Lines with the loader host's tag, without the date.
    std::vector<std::string> HostLines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(Text());
        std::string line;
        const std::string tag = " - OrvaBSL: ";
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::size_t at = line.find(tag);
            if (at != std::string::npos) lines.push_back(line.substr(at + tag.size()));
        }
        return lines;
    }
};

// A frame as the loader receives it, without its carriage return.
inline std::string FrameLine(char letter, const std::string& payload)
{
    char frame[kBSLMaxFrame];
    const int n = BSLBuildFrame(letter, payload.data(), payload.size(), frame, sizeof frame);
    return n <= 0 ? std::string() : std::string(frame, static_cast<std::size_t>(n) - 1);
}

// The payload of a frame line: between the letter and the separator.
inline std::string PayloadOf(const std::string& line)
{
    return line.size() < 6 ? std::string() : line.substr(1, line.size() - 6);
}

// The flash a compact image text and its vectors make when programmed into
// the simulated instrument's erased memory.
inline std::vector<std::uint8_t> ProgrammedFlash(const std::string& text, const VectorTable& vectors)
{
    return ProgrammedFlash(text, vectors, SimFlash::kSize);
}

// The host, the simulated reader on "ttyUSB0", a virtual clock and a log.
class BSLHostTest : public ::testing::Test {
protected:
    BSLHostTest()
    {
        provider_.Attach(kPort, &sim_);
        sim_.trace = [this](const std::string& line) {
            const std::string sent = "host sent \"";
            if (line.rfind(sent, 0) == 0) hostSent_ += line.substr(sent.size(), line.size() - sent.size() - 1);
        };
    }

    // The lines the connected loader received, in order.
    std::vector<std::string> LoaderLines() const
    {
        std::vector<std::string> lines;
        for (const SimLoaderFrame& frame : const_cast<SimInstrument&>(sim_).Model<SimLoaderModel>().journal)
            lines.push_back(frame.line);
        return lines;
    }
    std::vector<std::string> LoaderLinesOf(char letter) const
    {
        std::vector<std::string> lines;
        for (const std::string& line : LoaderLines())
            if (!line.empty() && line[0] == letter) lines.push_back(line);
        return lines;
    }
    // How often the host sent a piece (as the trace shows it: "\\r" for a
    // carriage return).
    int SentCount(const std::string& piece) const { return static_cast<int>(CountOf(hostSent_, piece)); }
    void ForgetSent()
    {
        hostSent_.clear();
        sim_.Model<SimLoaderModel>().journal.clear();
    }
    int Connect(unsigned tries = 3) { return host_.BSLConnect(kPort, 57600, true, tries); }

    static constexpr const char* kPort = "ttyUSB0";
    VirtualClock clock_{1000};
    ScopedClock useClock_{&clock_};
    SimInstrument sim_;
    SimPortProvider provider_;
    ScopedSerialPortProvider useProvider_{&provider_};
    BSLTempLog log_;
    OrvaBSLHost host_{log_.get()};
    std::string hostSent_;
};
