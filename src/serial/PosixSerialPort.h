#pragma once

#include "serial/SerialPort.h"

// A serial port (or pseudo-terminal) through POSIX termios.
//
// Exclusivity follows the two usual Linux conventions, so that other
// programs that follow them and this one keep out of each other's way:
// - TIOCEXCL: the kernel refuses further opens with EBUSY, except to root;
// - flock(LOCK_EX | LOCK_NB) on the device: refused with EWOULDBLOCK while
//   another open file holds it, root or not (pyserial, picocom and others
//   take it). Since root passes TIOCEXCL, the lock is what stops a second
//   open of a root-run updater; a program that only sets TIOCEXCL is not
//   seen by root.
// Exclusive mode is switched off again before the close: on a
// pseudo-terminal the slave keeps the flag after its last close while the
// master lives, and would refuse everybody but root from then on.
//
// The descriptor is non-blocking; reads wait with poll() (100 ms at most),
// which gives the read time-out without VMIN/VTIME.
class PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    int Open(const std::string& path) override;
    int Configure(int baud, ConfigureStep* failedStep) override;
    int SetBaud(int baud) override;
    int Read(void* buffer, unsigned capacity) override;
    int Write(const void* bytes, unsigned count) override;
    int PurgeInput() override;
    int SetDtr(bool on) override;
    int Close() override;
    int Handle() const override { return fd_; }

    // The termios speed constant of a baud rate; 0 when there is none.
    static unsigned SpeedOf(int baud);
    // The baud rate of a termios speed constant; 0 when unknown.
    static int BaudOf(unsigned speed);

private:
    int fd_ = -1;
};
