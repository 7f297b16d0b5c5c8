#pragma once

#include <cstdint>
#include <memory>

#include "serial/SerialPort.h"

class OrvaLog;

// One entry of the port list that CommPortEnum fills.
constexpr unsigned kCommPortNameSize = 24;   // terminating NUL included
constexpr unsigned kCommPortLabelSize = 64;  // terminating NUL included
struct CommPortEntry {
    char portName[kCommPortNameSize];  // what to give OSOpen: "ttyUSB0", or a path
    char label[kCommPortLabelSize];    // what the port list shows
    std::int32_t number;               // the sort key (see CommPortEnum.cpp)
};

// The serial channel: a port opened exclusively, 8N1 raw with DTR and RTS
// held on, read with 100 ms time-outs. Every protocol is written as: purge,
// write a command, OSWait for its end character, OSRead the answer.
//
// The device protocol and the loader host derive from it. Only one thread
// uses a channel. All waiting goes through the timing helpers (MsTick,
// PumpDelay), so a VirtualClock drives it in tests; the port itself comes
// from the SerialPortProvider in force.
//
// Results: positive or zero for success, negative for failure:
//   -6   OSHostBaud on a channel that was never opened
//   -21  the port is not open, or a read or write failed
//   -60  no gReadBuffer
//   -errno  OSOpen, OSClose or OSHostBaud failed in that system call. A port
//        that another program (or another channel) holds gives -5, as the
//        callers know it ("access denied"), whether the system said EBUSY
//        (TIOCEXCL) or EWOULDBLOCK (the lock); a missing port gives -2.
class OrvaSerial {
public:
    static constexpr unsigned kReadBufferSize = 2048;  // gReadBuffer, terminating NUL included
    static constexpr unsigned kPortNameSize = 64;      // characters kept of the port name
    static constexpr int kDefaultBaud = 9600;

    // The log may be null: then nothing is logged.
    explicit OrvaSerial(OrvaLog* log);
    virtual ~OrvaSerial();
    OrvaSerial(const OrvaSerial&) = delete;
    OrvaSerial& operator=(const OrvaSerial&) = delete;

    // Opens name ("ttyUSB0" means /dev/ttyUSB0; a name with "/" is a path) at
    // baud (0 means 9600). Returns 1, or a negative code.
    int OSOpen(const char* name, int baud);
    // Returns 1 when closed, 0 when nothing was open, negative on failure.
    int OSClose();
    // Writes count bytes at once; returns the number written (also in
    // *written), or -21.
    int OSWrite(const void* bytes, int count, unsigned* written);
    // Hands over the text collected by OSWait and, unless OSWait found its
    // character, reads the port once more. Returns the bytes placed in
    // buffer (also in *size); adds no terminating NUL.
    int OSRead(char* buffer, unsigned capacity, unsigned* size);
    // Collects input until ch arrives: returns ch's code, 0 when ms passed
    // without it (or the buffer filled up), negative on failure.
    int OSWait(unsigned ms, char ch);
    // Discards the system's receive queue and the collected text. Returns 0.
    int OSPurge();
    // Changes the open port's baud rate: 1 changed, 0 already at that rate.
    int OSHostBaud(int baud);

    // Fills entries (capacity in *count on entry, the number filled on
    // return) with the serial ports of this machine; see CommPortEnum.cpp.
    int CommPortEnum(CommPortEntry* entries, unsigned* count, bool forceProbe);

    bool IsOpen() const { return port_ != nullptr; }
    int Baud() const { return baud_; }
    const char* PortName() const { return portName_; }

protected:
    OrvaLog* Log() const { return log_; }

    // Supplies gReadBuffer: kReadBufferSize bytes that stay the caller's.
    // Call it before the first OSOpen; the channel then never allocates or
    // releases its own. Null goes back to a buffer of the channel's own.
    void SetReadBuffer(char* buffer);
    const char* ReadBuffer() const { return gReadBuffer_; }

private:
    bool HasHandle() const { return port_ != nullptr || invalidHandle_; }
    void LogLine(unsigned level, const char* tag, const char* format, ...) const __attribute__((format(printf, 4, 5)));
    void ClearCollected();

    OrvaLog* log_;
    std::unique_ptr<SerialPort> port_;
    bool invalidHandle_ = false;  // a failed OSOpen left it, until OSOpen or OSClose
    int baud_ = 0;
    char portName_[kPortNameSize + 1] = {};
    char* gReadBuffer_ = nullptr;
    std::unique_ptr<char[]> ownedBuffer_;
    bool bufferOwned_ = false;
    bool answerComplete_ = false;
    // Length of the collected text. It is counted rather than measured with
    // strlen, so that a NUL byte on the line (a break reads as one) does not
    // hide what follows it; the text is still kept NUL-terminated.
    unsigned collected_ = 0;
};
