#include "serial/OrvaSerial.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>

#include "log/OrvaLog.h"
#include "serial/Timing.h"

namespace {

constexpr const char* kTag = "OrvaSerial";
constexpr unsigned kReopenPauseMs = 100;

// The error number OSOpen reports for a failed open. Callers (and the
// operator messages above them) know a port held by another program as
// error 5, "access denied"; on Linux that arrives as EBUSY (TIOCEXCL) or
// EWOULDBLOCK (the lock). A device node without a device (ENXIO, ENODEV) is
// as missing as no node at all (ENOENT, 2). Everything else is the errno.
int OpenErrorNumber(int err)
{
    if (err == EBUSY || err == EWOULDBLOCK || err == EAGAIN) return 5;
    if (err == ENXIO || err == ENODEV) return ENOENT;
    return err;
}

}  // namespace

OrvaSerial::OrvaSerial(OrvaLog* log) : log_(log) {}

OrvaSerial::~OrvaSerial()
{
    // Released without a log line; derived classes that want one call
    // OSClose in their own destructor.
    if (port_) {
        port_->SetDtr(false);
        port_->Close();
    }
}

void OrvaSerial::LogLine(unsigned level, const char* tag, const char* format, ...) const
{
    if (!log_) return;
    va_list args;
    va_start(args, format);
    log_->LogMessageV(level, tag, format, args);
    va_end(args);
}

void OrvaSerial::SetReadBuffer(char* buffer)
{
    ownedBuffer_.reset();
    bufferOwned_ = false;
    gReadBuffer_ = buffer;
    ClearCollected();
}

void OrvaSerial::ClearCollected()
{
    collected_ = 0;
    if (gReadBuffer_) gReadBuffer_[0] = '\0';
}

int OrvaSerial::OSOpen(const char* name, int baud)
{
    if (HasHandle()) {
        LogLine(40, kTag, "OSOpen found port \"%d\" already open", port_ ? port_->Handle() : -1);
        OSClose();
        PumpDelay(kReopenPauseMs);
    }
    if (!name || !*name) {
        LogLine(1, kTag, "OSOpen was given no port name");
        return -10;
    }
    std::strncpy(portName_, name, kPortNameSize);
    portName_[kPortNameSize] = '\0';

    // Open, exclusively.
    std::unique_ptr<SerialPort> port = CurrentSerialPortProvider().Create(portName_);
    const std::string path = SerialDevicePath(portName_);
    int result = port ? port->Open(path) : -ENOENT;
    if (result < 0) {
        invalidHandle_ = true;
        const int error = OpenErrorNumber(-result);
        LogLine(1, portName_, "OSOpen failed to open comm port (error %d)", error);
        if (error == EACCES || error == EPERM)
            LogLine(1, portName_,
                    "OSOpen: no permission to open %s. Add your user to the group of the port (usually "
                    "\"dialout\": sudo usermod -a -G dialout $USER), then log out and in again.",
                    path.c_str());
        return -error;
    }
    port_ = std::move(port);
    invalidHandle_ = false;

    // The driver's queue sizes are fixed on Linux (4 KiB in the tty layer);
    // there is nothing to ask for.

    // Line settings: 8N1 raw at the baud rate, DTR and RTS on. A failure
    // leaves the port open; the next OSOpen or OSClose closes it.
    const int effectiveBaud = baud ? baud : kDefaultBaud;
    SerialPort::ConfigureStep step = SerialPort::ConfigureStep::None;
    result = port_->Configure(effectiveBaud, &step);
    if (result < 0) {
        if (step == SerialPort::ConfigureStep::ReadSettings)
            LogLine(1, portName_, "OSOpen failed to retreive DCB on comm port (error %d)", -result);
        else
            LogLine(1, portName_, "OSOpen failed to apply DCB on comm port (error %d)", -result);
        return result;
    }
    baud_ = effectiveBaud;
    // The read time-out (100 ms) is the port's own (SerialPort::Read).
    port_->SetDtr(true);

    if (!gReadBuffer_) {
        ownedBuffer_.reset(new (std::nothrow) char[kReadBufferSize]);
        if (!ownedBuffer_) return -60;
        gReadBuffer_ = ownedBuffer_.get();
        bufferOwned_ = true;
    }
    std::memset(gReadBuffer_, 0, kReadBufferSize);
    collected_ = 0;
    answerComplete_ = false;

    LogLine(30, portName_, "OSOpen successfully opened and configured comm port at %d baud", baud_);
    return 1;
}

int OrvaSerial::OSClose()
{
    if (!port_) {
        invalidHandle_ = false;
        return 0;
    }
    port_->SetDtr(false);
    const int result = port_->Close();
    port_.reset();
    if (bufferOwned_) {
        ownedBuffer_.reset();
        gReadBuffer_ = nullptr;
        bufferOwned_ = false;
        collected_ = 0;
    }
    if (result < 0) {
        LogLine(1, portName_, "OSClose failed to close comm port (error %d)", -result);
        return result;
    }
    LogLine(30, portName_, "OSClose closed comm port");
    return 1;
}

int OrvaSerial::OSWrite(const void* bytes, int count, unsigned* written)
{
    if (written) *written = 0;
    if (!port_) {
        LogLine(1, kTag, "OSWrite tried to write to a closed port");
        return -21;
    }
    if (count < 0 || (!bytes && count > 0)) return -10;
    const int result = port_->Write(bytes, static_cast<unsigned>(count));
    if (result < 0) {
        LogLine(1, portName_, "OSWrite WriteFile failed (error %d)", -result);
        return -21;
    }
    if (written) *written = static_cast<unsigned>(result);
    LogLine(40, portName_, "OSWrite wrote %d bytes", result);
    return result;
}

int OrvaSerial::OSRead(char* buffer, unsigned capacity, unsigned* size)
{
    unsigned ignored = 0;
    unsigned& got = size ? *size : ignored;
    got = 0;
    if (!gReadBuffer_) return -60;
    if (!buffer) capacity = 0;

    if (collected_ > 0) {
        unsigned length = collected_;
        if (capacity < length) {
            // What does not fit is lost; the port is not read either.
            length = capacity;
            answerComplete_ = true;
        }
        if (length > 0) std::memcpy(buffer, gReadBuffer_, length);
        got = length;
        ClearCollected();
        LogLine(40, portName_, "OSRead read %d bytes from gReadBuffer", static_cast<int>(got));
    }
    if (answerComplete_) {
        answerComplete_ = false;
        return static_cast<int>(got);
    }
    if (!port_) {
        LogLine(1, kTag, "OSRead tried to read from a closed port");
        return -21;
    }
    const int result = port_->Read(buffer + got, capacity - got);
    if (result < 0) {
        LogLine(1, portName_, "OSRead ReadFile failed (error %d)", -result);
        return -21;
    }
    got += static_cast<unsigned>(result);
    LogLine(40, portName_, "OSRead read %d btyes", static_cast<int>(got));
    return static_cast<int>(got);
}

// Collects into gReadBuffer from its start until ch arrives. The text is kept
// NUL-terminated, so at most kReadBufferSize - 1 bytes are collected: when
// that many have come without ch, OSWait stops at once and returns 0 like a
// time-out, leaving the rest of the input in the system's queue. The next
// OSRead hands over the full buffer and reads the port for more.
//
// (The wait on a machine without a fine clock, which only slept, does not
// arise here: the monotonic clock always has milliseconds.)
int OrvaSerial::OSWait(unsigned ms, char ch)
{
    if (!port_) {
        LogLine(1, kTag, "OSWait tried to operate on a closed port");
        return -21;
    }
    if (!gReadBuffer_) return -60;

    const std::uint32_t start = MsTick();
    std::uint32_t elapsedAtEmptyRead = 0;
    unsigned emptyReads = 0;
    ClearCollected();
    answerComplete_ = false;
    for (;;) {
        const unsigned room = kReadBufferSize - 1 - collected_;
        if (room == 0) {
            LogLine(30, portName_, "OSWait filled its buffer with %d bytes, but never found '%c' in %d ms",
                    static_cast<int>(collected_), ch, static_cast<int>(MsTick() - start));
            return 0;
        }
        const int result = port_->Read(gReadBuffer_ + collected_, room);
        if (result < 0) {
            LogLine(1, portName_, "OSWait ReadFile failed (error %d)", -result);
            return -21;
        }
        if (result > 0) {
            collected_ += static_cast<unsigned>(result);
            gReadBuffer_[collected_] = '\0';
            if (std::memchr(gReadBuffer_, ch, collected_)) {
                answerComplete_ = true;
                LogLine(40, portName_, "OSWait found '%c' in %d ms", ch, static_cast<int>(elapsedAtEmptyRead));
                return static_cast<int>(static_cast<signed char>(ch));
            }
            continue;
        }
        const std::uint32_t elapsed = MsTick() - start;
        elapsedAtEmptyRead = elapsed;
        if (elapsed > ms) {
            LogLine(40, portName_, "OSWait read %d bytes, but never found '%c' in %d ms", static_cast<int>(collected_),
                    ch, static_cast<int>(elapsed));
            return 0;
        }
        if (++emptyReads >= 6 && ms > 400) PumpDelay(200);
    }
}

int OrvaSerial::OSPurge()
{
    if (port_) port_->PurgeInput();
    ClearCollected();
    return 0;
}

// On a channel that was opened once and is closed now, the port has nothing
// to apply the rate to: that fails with -EBADF (9).
int OrvaSerial::OSHostBaud(int baud)
{
    if (baud == baud_) return 0;
    if (portName_[0] == '\0') return -6;
    const int result = port_ ? port_->SetBaud(baud) : -EBADF;
    if (result < 0) {
        LogLine(1, portName_, "OSHostBaud failed to apply new baud rate \"%d\" (error %d)", baud, -result);
        return result;
    }
    baud_ = baud;
    return 1;
}
