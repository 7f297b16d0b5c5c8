#include "SimLoader.h"

#include <cstdio>
#include <vector>

#include "SimFlash.h"
#include "SimInstrument.h"
#include "instrument/InstrumentKind.h"
#include "loader/ImageSelfCheck.h"

namespace {

constexpr std::uint32_t kLoaderCodeStart = 0xFA00;
constexpr std::uint32_t kVectorSegmentStart = 0xFE00;
constexpr std::uint32_t kVectorSegmentEnd = 0x10000;
constexpr unsigned kVectorWords = 16;

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The value of a run of hex digits; false when one is not a digit.
bool ReadHex(std::string_view text, std::uint32_t* value)
{
    if (text.empty()) return false;
    std::uint32_t number = 0;
    for (const char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return false;
        number = number * 16 + static_cast<std::uint32_t>(digit);
    }
    *value = number;
    return true;
}

// An address as "@" and "X" carry it: four or five hex digits.
bool ReadAddress(std::string_view payload, std::uint32_t* address)
{
    return (payload.size() == 4 || payload.size() == 5) && ReadHex(payload, address);
}

// Words as the frames carry them, four hex digits each, high byte first,
// turned into the bytes of memory in address order.
bool ReadWords(std::string_view payload, std::vector<std::uint8_t>* bytes)
{
    if (payload.empty() || payload.size() % 4 != 0) return false;
    bytes->clear();
    for (std::size_t i = 0; i < payload.size(); i += 4) {
        std::uint32_t word = 0;
        if (!ReadHex(payload.substr(i, 4), &word)) return false;
        bytes->push_back(static_cast<std::uint8_t>(word & 0xFF));
        bytes->push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return true;
}

// The checksum the host puts on a frame: the characters before the digits,
// separator included, summed modulo 0xFFFF.
unsigned FrameChecksum(std::string_view text)
{
    unsigned long sum = 0;
    for (const char c : text)
        sum += static_cast<unsigned char>(c);
    return static_cast<unsigned>(sum % 0xFFFF);
}

bool TouchesLoaderCode(std::uint32_t start, std::size_t count)
{
    return start < kVectorSegmentStart && start + count > kLoaderCodeStart;
}

bool TouchesVectorSegment(std::uint32_t start, std::size_t count)
{
    return start < kVectorSegmentEnd && start + count > kVectorSegmentStart;
}

class LoaderSession {
public:
    LoaderSession(SimInstrument& sim, SimLoaderModel& loader)
        : sim_(sim), loader_(loader), flash_(sim.Model<SimFlash>())
    {
    }

    void Line(const std::string& line)
    {
        SimLoaderFrame entry{line, sim_.HostBaud(), {}};
        entry.answer = Answer(line);
        sim_.Send(entry.answer);
        if (loader_.journal.size() >= SimLoaderModel::kJournalSize) loader_.journal.pop_front();
        loader_.journal.push_back(std::move(entry));
    }

private:
    std::string Version() const { return "+" + std::to_string(loader_.version) + "+\r"; }

    std::string Answer(const std::string& line)
    {
        const std::size_t n = line.size();
        const bool framed = n >= 6 && line[n - 5] == '.';
        std::uint32_t checksum = 0;
        if (!framed || !ReadHex(std::string_view(line).substr(n - 4), &checksum)) {
            // No frame: the version query in any form, or not understood.
            if (!line.empty() && line[0] == 'g') return Version();
            return "?";
        }
        if (FrameChecksum(std::string_view(line).substr(0, n - 4)) != checksum) return "-\r";

        const char letter = line[0];
        const std::string_view payload = std::string_view(line).substr(1, n - 6);
        ++loader_.framesTaken;
        const unsigned ofLetter = ++loader_.framesOfLetter[static_cast<unsigned char>(letter) & 0x7F];
        std::string answer;
        const SimLoaderConfig& config = sim_.Config().loader;
        if (!loader_.refusalDone && config.refuseLetter == letter && config.refuseNth == ofLetter) {
            loader_.refusalDone = true;
            answer = "-\r";
        } else {
            answer = Command(letter, payload);
        }
        if (config.pullCableAfter != 0 && loader_.framesTaken == config.pullCableAfter) {
            loader_.cablePulled = true;
            sim_.Trace("the cable is pulled");
        }
        return answer;
    }

    std::string Command(char letter, std::string_view payload)
    {
        switch (letter) {
            case 'g':
                return Version();
            case '@':
                if (!ReadAddress(payload, &loader_.writeAddress)) return "-\r";
                return "+\r";
            case 'X': {
                std::uint32_t address = 0;
                if (!ReadAddress(payload, &address) || (address >= kLoaderCodeStart && address < kVectorSegmentEnd))
                    return "-\r";
                flash_.EraseSegmentAt(address);
                loader_.vectorSegmentFresh = false;
                return "+\r";
            }
            case 'W': {
                std::vector<std::uint8_t> bytes;
                if (payload.size() > 512 || !ReadWords(payload, &bytes)) return "-\r";
                if (!Program(loader_.writeAddress, bytes)) return "-\r";
                loader_.writeAddress += static_cast<std::uint32_t>(bytes.size());
                return "+\r";
            }
            case 'V': {
                std::vector<std::uint8_t> bytes;
                if (payload.size() != kVectorWords * 4 || !ReadWords(payload, &bytes)) return "-\r";
                Program(kVectorTableAddress, bytes);
                Restart();
                return "+\r";
            }
            default:
                return "?\r";
        }
    }

    bool Program(std::uint32_t address, const std::vector<std::uint8_t>& bytes)
    {
        if (address >= SimFlash::kSize || bytes.size() > SimFlash::kSize - address) return false;
        if (TouchesLoaderCode(address, bytes.size())) return false;
        if (TouchesVectorSegment(address, bytes.size()) && !loader_.vectorSegmentFresh) {
            flash_.EraseSegmentAt(kVectorSegmentStart);
            loader_.vectorSegmentFresh = true;
        }
        return flash_.Write(address, bytes.data(), bytes.size());
    }

    void Restart()
    {
        loader_.restarting = true;
        loader_.connected = false;
        sim_.After(sim_.Config().loader.restartMs, [](SimInstrument& sim) {
            SimLoaderModel& loader = sim.Model<SimLoaderModel>();
            loader.restarting = false;
            // The new firmware tells the version its image carries.
            const SimFlash& flash = sim.Model<SimFlash>();
            SelfCheckBlock block{};
            if (ReadSelfCheckBlock(flash.Data(), flash.Size(), &block) == kSelfCheckGood) {
                const int kind = block.kind >= KELO && block.kind < END ? block.kind : sim.Config().kind;
                char version[16];
                FormatVersion(block.version, version, sizeof version);
                sim.Config().versionText = std::string(KindShortCode(kind)) + " " + version;
            }
            sim.SetProgram(SimProgram::Firmware);
        });
    }

    SimInstrument& sim_;
    SimLoaderModel& loader_;
    SimFlash& flash_;
};

}  // namespace

void SimLoaderProtocol::OnStart(SimInstrument& sim)
{
    SimLoaderModel& loader = sim.Model<SimLoaderModel>();
    // A freshly started loader waits for a connection; one that an
    // interrupted update left behind may still be connected.
    loader.connected = !loader.started && sim.Config().start == SimStart::LoaderConnected;
    loader.started = true;
    loader.line.clear();
    loader.restarting = false;
    loader.absent = false;
}

void SimLoaderProtocol::OnBytes(SimInstrument& sim, std::string_view bytes)
{
    SimLoaderModel& loader = sim.Model<SimLoaderModel>();
    for (const char c : bytes) {
        if (loader.absent || loader.restarting || loader.cablePulled) return;
        if (!loader.connected) {
            if (c == '\r') {
                sim.Send("$");
            } else if (c == 'P') {
                loader.connected = true;
                loader.line.clear();
                sim.Send("#");
            }
            continue;
        }
        if (c != '\r') {
            if (loader.line.size() < kMaxLine) loader.line += c;
            continue;
        }
        const std::string line = loader.line;
        loader.line.clear();
        LoaderSession(sim, loader).Line(line);
    }
}

void SimLoaderProtocol::OnHostClosed(SimInstrument& sim)
{
    SimLoaderModel& loader = sim.Model<SimLoaderModel>();
    // Whatever was half received is lost with the line; the loader itself
    // keeps running (connected or not) until it restarts the instrument.
    loader.line.clear();
    loader.cablePulled = false;
    if (loader.absent && sim.Program() == SimProgram::Loader) {
        // No loader ever came: the instrument comes back in its firmware.
        loader.absent = false;
        sim.SetProgram(SimProgram::Firmware);
    }
}
