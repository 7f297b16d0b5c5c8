#include "SimSerialPort.h"

#include <algorithm>
#include <cerrno>

#include "SimInstrument.h"
#include "serial/Timing.h"

namespace {
constexpr std::uint32_t kReadTimeoutMs = 100;
}

SimSerialPort::~SimSerialPort()
{
    Close();
}

int SimSerialPort::Open(const std::string&)
{
    if (open_) Close();
    if (!wiring_->sim) return -ENOENT;
    if (wiring_->heldElsewhere || wiring_->inUse) return -EBUSY;
    wiring_->inUse = true;
    open_ = true;
    wiring_->sim->HostOpened();
    return 0;
}

int SimSerialPort::Configure(int baud, ConfigureStep* failedStep)
{
    if (failedStep) *failedStep = ConfigureStep::None;
    if (!open_) return -EBADF;
    if (baud <= 0) {
        if (failedStep) *failedStep = ConfigureStep::ApplySettings;
        return -EINVAL;
    }
    wiring_->sim->HostBaudChanged(baud);
    return 0;
}

int SimSerialPort::SetBaud(int baud)
{
    if (!open_) return -EBADF;
    if (baud <= 0) return -EINVAL;
    wiring_->sim->HostBaudChanged(baud);
    return 0;
}

int SimSerialPort::Read(void* buffer, unsigned capacity)
{
    if (!open_) return -EBADF;
    SimInstrument& sim = *wiring_->sim;
    if (wiring_->maxBytesPerRead > 0) capacity = std::min(capacity, wiring_->maxBytesPerRead);
    char* out = static_cast<char*>(buffer);
    std::size_t n = sim.Take(out, capacity);
    if (n > 0 || capacity == 0) return static_cast<int>(n);
    // Nothing there: wait for the first byte, at most the read time-out.
    const std::uint32_t now = MsTick();
    std::uint32_t wait = kReadTimeoutMs;
    if (const auto next = sim.NextEventAt()) wait = std::min(wait, *next - now);
    CurrentClock().SleepMs(wait);
    return static_cast<int>(sim.Take(out, capacity));
}

int SimSerialPort::Write(const void* bytes, unsigned count)
{
    if (!open_) return -EBADF;
    wiring_->sim->Feed(std::string_view(static_cast<const char*>(bytes), count));
    return static_cast<int>(count);
}

int SimSerialPort::PurgeInput()
{
    if (!open_) return -EBADF;
    wiring_->sim->DiscardReadyOutput();
    return 0;
}

int SimSerialPort::SetDtr(bool)
{
    return open_ ? 0 : -EBADF;
}

int SimSerialPort::Close()
{
    if (!open_) return 0;
    open_ = false;
    wiring_->inUse = false;
    wiring_->sim->HostClosed();
    return 0;
}

std::shared_ptr<SimSerialPort::Wiring> SimPortProvider::WiringOf(const std::string& portName)
{
    std::shared_ptr<SimSerialPort::Wiring>& wiring = ports_[portName];
    if (!wiring) wiring = std::make_shared<SimSerialPort::Wiring>();
    return wiring;
}

void SimPortProvider::Attach(const std::string& portName, SimInstrument* sim)
{
    WiringOf(portName)->sim = sim;
}

void SimPortProvider::SetHeldElsewhere(const std::string& portName, bool held)
{
    WiringOf(portName)->heldElsewhere = held;
}

void SimPortProvider::SetMaxBytesPerRead(const std::string& portName, unsigned bytes)
{
    WiringOf(portName)->maxBytesPerRead = bytes;
}

std::unique_ptr<SerialPort> SimPortProvider::Create(const std::string& portName)
{
    return std::make_unique<SimSerialPort>(WiringOf(portName));
}
