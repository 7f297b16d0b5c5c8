#pragma once

#include <memory>
#include <string>

// The operating system's side of a serial port, as the serial channel
// (OrvaSerial) uses it. Every call returns 0 or a count on success and the
// negated errno on failure; nothing throws. PosixSerialPort is the real one;
// tests and the in-process simulator supply others through a provider.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device at path for reading and writing, exclusively: a port
    // that somebody else holds fails with -EBUSY or -EWOULDBLOCK.
    virtual int Open(const std::string& path) = 0;

    // Which step of Configure failed, for the caller's message.
    enum class ConfigureStep { None, ReadSettings, ApplySettings };

    // 8 data bits, no parity, one stop bit, raw (no character processing, no
    // flow control, modem lines ignored), at baud; DTR and RTS raised where
    // the device has them (a pseudo-terminal has none: not an error).
    virtual int Configure(int baud, ConfigureStep* failedStep) = 0;

    // Changes only the baud rate of an open port.
    virtual int SetBaud(int baud) = 0;

    // Reads what has arrived, at most capacity bytes. Waits for the first
    // byte when nothing is there, and gives up with 0 after at most 100 ms.
    virtual int Read(void* buffer, unsigned capacity) = 0;

    // Writes count bytes; may write fewer when the port does not take them
    // within 100 ms plus 10 ms per byte. Returns the number written.
    virtual int Write(const void* bytes, unsigned count) = 0;

    // Discards everything received and not yet read.
    virtual int PurgeInput() = 0;

    // Raises or drops DTR.
    virtual int SetDtr(bool on) = 0;

    // Gives the port up (and its exclusivity). Returns 0 or -errno.
    virtual int Close() = 0;

    // A number for the log: the descriptor, -1 when there is none.
    virtual int Handle() const = 0;
};

// Creates the SerialPort for a port name (such as "ttyUSB0" or "/tmp/x").
class SerialPortProvider {
public:
    virtual ~SerialPortProvider() = default;
    virtual std::unique_ptr<SerialPort> Create(const std::string& portName) = 0;
};

// The device path of a port name: a name without "/" lives in /dev.
std::string SerialDevicePath(const std::string& portName);

// The provider in force; by default one that makes PosixSerialPort. Set
// returns the previous provider; null restores the default.
SerialPortProvider* SetSerialPortProvider(SerialPortProvider* provider);
SerialPortProvider& CurrentSerialPortProvider();

// Installs a provider for the lifetime of a scope.
class ScopedSerialPortProvider {
public:
    explicit ScopedSerialPortProvider(SerialPortProvider* provider) : previous_(SetSerialPortProvider(provider)) {}
    ~ScopedSerialPortProvider() { SetSerialPortProvider(previous_); }
    ScopedSerialPortProvider(const ScopedSerialPortProvider&) = delete;
    ScopedSerialPortProvider& operator=(const ScopedSerialPortProvider&) = delete;

private:
    SerialPortProvider* previous_;
};
