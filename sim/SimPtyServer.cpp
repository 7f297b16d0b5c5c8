#include "SimPtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "SimInstrument.h"
#include "serial/PosixSerialPort.h"
#include "serial/Timing.h"

namespace {

constexpr int kClosedPollMs = 10;  // how often a closed port is looked at

}  // namespace

SimPtyServer::SimPtyServer(SimInstrument& sim) : sim_(sim) {}

SimPtyServer::~SimPtyServer()
{
    if (!linkPath_.empty()) {
        char target[4096];
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) ::unlink(linkPath_.c_str());
    }
    if (master_ >= 0) ::close(master_);
}

int SimPtyServer::Open()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return -errno;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return -errno;
    const char* name = ::ptsname(master_);
    if (!name) return -errno;
    slavePath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Raw at 9600 until the host says otherwise; nothing is echoed.
    termios settings{};
    ::tcgetattr(master_, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    ::tcsetattr(master_, TCSANOW, &settings);
    baud_ = 9600;
    // The master reports a hang-up only once a slave has been open and
    // closed again: open and close it once, so that "no hang-up" always
    // means the host holds the port.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) ::close(slave);
    return 0;
}

int SimPtyServer::Link(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) return -EEXIST;
        if (::unlink(path.c_str()) != 0) return -errno;
    }
    if (::symlink(slavePath_.c_str(), path.c_str()) != 0) return -errno;
    linkPath_ = path;
    return 0;
}

void SimPtyServer::CheckBaud()
{
    termios settings{};
    if (::tcgetattr(master_, &settings) != 0) return;
    const int baud = PosixSerialPort::BaudOf(static_cast<unsigned>(::cfgetospeed(&settings)));
    if (baud == 0 || baud == baud_) return;
    baud_ = baud;
    if (hostOpen_) sim_.HostBaudChanged(baud);
}

void SimPtyServer::SetHostOpen(bool open)
{
    if (open == hostOpen_) return;
    hostOpen_ = open;
    if (open) {
        sim_.HostOpened();
        sim_.HostBaudChanged(baud_);
    } else {
        pending_.clear();
        sim_.HostClosed();
    }
}

void SimPtyServer::ReadHost()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            SetHostOpen(true);
            // The rate is looked at before the bytes are taken: a host that
            // changed it did so before it sent them.
            CheckBaud();
            sim_.Feed(std::string_view(buffer, static_cast<size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EIO) SetHostOpen(false);  // no slave open
        return;
    }
}

void SimPtyServer::WriteHost()
{
    const std::string fresh = sim_.TakeAll();
    if (!hostOpen_) return;  // nobody listens: it is lost
    const double now = MsTick();
    // Output after a quiet line starts now; output behind other output
    // waits its turn.
    if (pending_.empty() && nextByteAt_ < now) nextByteAt_ = now;
    pending_ += fresh;
    if (pending_.empty()) return;
    std::size_t allowed = pending_.size();
    if (pacing_ && baud_ > 0) {
        const double byteMs = 10000.0 / baud_;
        allowed = now < nextByteAt_ ? 0 : static_cast<std::size_t>((now - nextByteAt_) / byteMs) + 1;
        allowed = std::min(allowed, pending_.size());
    }
    if (allowed == 0) return;
    const ssize_t n = ::write(master_, pending_.data(), allowed);
    if (n > 0) {
        pending_.erase(0, static_cast<size_t>(n));
        if (pacing_ && baud_ > 0) nextByteAt_ += static_cast<double>(n) * 10000.0 / baud_;
    }
}

void SimPtyServer::Step(int maxWaitMs)
{
    int wait = maxWaitMs;
    const std::uint32_t now = MsTick();
    if (const auto next = sim_.NextEventAt()) wait = std::min<int>(wait, static_cast<int>(*next - now));
    if (!pending_.empty()) {
        const int pace = pacing_ ? static_cast<int>(std::ceil(nextByteAt_ - now)) : 0;
        wait = std::min(wait, std::max(pace, 1));
    }
    wait = std::max(wait, 0);

    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, hostOpen_ ? wait : 0) < 0 && errno != EINTR) return;
    if (p.revents & POLLIN) ReadHost();
    if ((p.revents & POLLHUP) && !(p.revents & POLLIN)) {
        SetHostOpen(false);
        // A hang-up is reported at once and for as long as it lasts.
        ::usleep(static_cast<useconds_t>(std::min(wait, kClosedPollMs)) * 1000u);
    } else if (!(p.revents & POLLHUP)) {
        SetHostOpen(true);
    }
    CheckBaud();
    sim_.Service();
    WriteHost();
}

void SimPtyServer::Run(const volatile std::sig_atomic_t& stop)
{
    while (!stop)
        Step(50);
}
