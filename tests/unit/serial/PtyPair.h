#pragma once

// A pseudo-terminal for tests: the test plays the device on the master, the
// code under test opens the slave like a serial port.

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (name) slave_ = name;
        // Raw from the start, so nothing written before the port is
        // configured is echoed back.
        termios settings{};
        ::tcgetattr(master_, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(master_, TCSANOW, &settings);
    }
    ~PtyPair()
    {
        if (master_ >= 0) ::close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& SlavePath() const { return slave_; }
    int Master() const { return master_; }

    // Plays the device: writes bytes towards the port.
    void Send(const std::string& bytes) const
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else if (n < 0 && errno != EINTR && errno != EAGAIN)
                return;
        }
    }

    // What the port wrote, waiting up to ms for the first byte.
    std::string Receive(int ms = 500) const
    {
        std::string got;
        pollfd p{master_, POLLIN, 0};
        while (::poll(&p, 1, got.empty() ? ms : 20) > 0 && (p.revents & POLLIN)) {
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    // The line settings of the slave, as the port set them.
    termios Settings() const
    {
        termios settings{};
        ::tcgetattr(master_, &settings);
        return settings;
    }

private:
    int master_ = -1;
    std::string slave_;
};
