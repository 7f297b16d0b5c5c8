#include "SimInstrument.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "instrument/InstrumentKind.h"
#include "serial/Timing.h"

namespace {

// Due when its time is now or past, across the counter's wrap.
bool Due(std::uint32_t at, std::uint32_t now)
{
    return static_cast<std::int32_t>(at - now) <= 0;
}

}  // namespace

std::string SimDefaultVersionText(int kind)
{
    return std::string(KindShortCode(kind)) + " 1.73";
}

std::string SimPrintable(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        switch (c) {
            case '\r':
                text += "\\r";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                    text += hex;
                } else {
                    text += c;
                }
        }
    }
    return text;
}

SimInstrument::SimInstrument(SimConfig config) : config_(std::move(config))
{
    for (const SimProtocolEntry& entry : SimProtocolTable())
        protocols_[entry.program] = entry.make();
    if (config_.start != SimStart::Firmware) SetProgram(SimProgram::Loader);
}

SimInstrument::~SimInstrument() = default;

std::string SimInstrument::VersionText() const
{
    return config_.versionText.empty() ? SimDefaultVersionText(config_.kind) : config_.versionText;
}

SimProtocol* SimInstrument::Protocol(SimProgram program) const
{
    const auto it = protocols_.find(program);
    return it == protocols_.end() ? nullptr : it->second.get();
}

void SimInstrument::Feed(std::string_view bytes)
{
    Service();
    if (bytes.empty()) return;
    Trace("host sent \"" + SimPrintable(bytes) + "\"");
    if (SimProtocol* protocol = Protocol(program_)) protocol->OnBytes(*this, bytes);
}

std::size_t SimInstrument::Take(char* out, std::size_t capacity)
{
    Service();
    const std::uint32_t now = MsTick();
    std::size_t n = 0;
    while (n < capacity && !output_.empty() && Due(output_.front().at, now)) {
        std::string& bytes = output_.front().bytes;
        const std::size_t take = std::min(capacity - n, bytes.size());
        std::memcpy(out + n, bytes.data(), take);
        n += take;
        bytes.erase(0, take);
        if (bytes.empty()) output_.pop_front();
    }
    return n;
}

std::string SimInstrument::TakeAll()
{
    Service();
    const std::uint32_t now = MsTick();
    std::string all;
    while (!output_.empty() && Due(output_.front().at, now)) {
        all += output_.front().bytes;
        output_.pop_front();
    }
    return all;
}

void SimInstrument::DiscardReadyOutput()
{
    const std::uint32_t now = MsTick();
    while (!output_.empty() && Due(output_.front().at, now))
        output_.pop_front();
}

std::optional<std::uint32_t> SimInstrument::NextEventAt() const
{
    std::optional<std::uint32_t> next;
    const std::uint32_t now = MsTick();
    auto consider = [&](std::uint32_t at) {
        if (Due(at, now)) at = now;
        if (!next || static_cast<std::int32_t>(at - *next) < 0) next = at;
    };
    if (!output_.empty()) consider(output_.front().at);
    for (const Timed& timed : timed_)
        consider(timed.at);
    return next;
}

void SimInstrument::Service()
{
    // An action may queue further actions; those due at once run too.
    for (;;) {
        const std::uint32_t now = MsTick();
        auto due = timed_.end();
        for (auto it = timed_.begin(); it != timed_.end(); ++it) {
            if (!Due(it->at, now)) continue;
            if (due == timed_.end() || static_cast<std::int32_t>(it->at - due->at) < 0 ||
                (it->at == due->at && it->order < due->order))
                due = it;
        }
        if (due == timed_.end()) return;
        std::function<void(SimInstrument&)> action = std::move(due->action);
        timed_.erase(due);
        action(*this);
    }
}

void SimInstrument::HostOpened()
{
    hostConnected_ = true;
    Trace("host opened the port");
    for (auto& [program, protocol] : protocols_)
        protocol->OnHostOpened(*this);
}

void SimInstrument::HostClosed()
{
    hostConnected_ = false;
    output_.clear();  // whatever was on its way is lost with the connection
    Trace("host closed the port");
    for (auto& [program, protocol] : protocols_)
        protocol->OnHostClosed(*this);
}

void SimInstrument::HostBaudChanged(int baud)
{
    if (baud == hostBaud_) return;
    hostBaud_ = baud;
    Trace("host baud rate " + std::to_string(baud));
    for (auto& [program, protocol] : protocols_)
        protocol->OnHostBaudChanged(*this, baud);
}

void SimInstrument::Send(std::string_view bytes, unsigned delayMs)
{
    if (bytes.empty() || config_.faults.silent) return;
    std::uint32_t at = MsTick() + delayMs;
    // The line keeps the order: nothing overtakes what was sent before.
    if (!output_.empty() && static_cast<std::int32_t>(at - output_.back().at) < 0) at = output_.back().at;
    Trace("instrument sends \"" + SimPrintable(bytes) + "\"");
    if (!output_.empty() && output_.back().at == at)
        output_.back().bytes.append(bytes);
    else
        output_.push_back({at, std::string(bytes)});
}

void SimInstrument::After(unsigned delayMs, std::function<void(SimInstrument&)> action)
{
    timed_.push_back({MsTick() + delayMs, timedOrder_++, std::move(action)});
}

void SimInstrument::SetProgram(SimProgram program)
{
    program_ = program;
    Trace(program == SimProgram::Firmware ? "firmware starts" : "loader starts");
    if (SimProtocol* protocol = Protocol(program)) protocol->OnStart(*this);
}
