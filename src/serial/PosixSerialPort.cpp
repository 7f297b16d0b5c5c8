#include "serial/PosixSerialPort.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kReadTimeoutMs = 100;
// Like the write time-outs of the serial line: 100 ms plus 10 ms per byte.
constexpr int kWriteTimeoutMs = 100;
constexpr int kWriteTimeoutPerByteMs = 10;

struct BaudSpeed {
    int baud;
    speed_t speed;
};

const BaudSpeed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},         {200, B200},
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},   {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int Fail()
{
    return errno ? -errno : -EIO;
}

}  // namespace

unsigned PosixSerialPort::SpeedOf(int baud)
{
    for (const BaudSpeed& entry : kSpeeds)
        if (entry.baud == baud) return entry.speed;
    return 0;
}

int PosixSerialPort::BaudOf(unsigned speed)
{
    for (const BaudSpeed& entry : kSpeeds)
        if (entry.speed == speed) return entry.baud;
    return 0;
}

PosixSerialPort::~PosixSerialPort()
{
    Close();
}

int PosixSerialPort::Open(const std::string& path)
{
    if (fd_ >= 0) Close();
    // Non-blocking, so that the open does not wait for a carrier.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Fail();
    if (!::isatty(fd)) {
        ::close(fd);
        return -ENOTTY;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int result = Fail();
        ::close(fd);
        return result;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int result = Fail();
        ::close(fd);
        return result;
    }
    fd_ = fd;
    return 0;
}

int PosixSerialPort::Configure(int baud, ConfigureStep* failedStep)
{
    ConfigureStep ignored;
    ConfigureStep& step = failedStep ? *failedStep : ignored;
    step = ConfigureStep::None;
    if (fd_ < 0) return -EBADF;
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) {
        step = ConfigureStep::ReadSettings;
        return Fail();
    }
    const speed_t speed = SpeedOf(baud);
    if (speed == 0) {
        step = ConfigureStep::ApplySettings;
        return -EINVAL;
    }
    // Raw: no input translation, no output processing, no echo, no signals,
    // no software flow control, break and parity errors passed as data.
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                               IXOFF | IXANY | INPCK);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // 8N1, receiver on, modem status lines ignored, no hardware flow control.
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
        step = ConfigureStep::ApplySettings;
        return Fail();
    }
    // DTR and RTS held on. A pseudo-terminal has no modem lines (ENOTTY).
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIS, &lines);
    return 0;
}

int PosixSerialPort::SetBaud(int baud)
{
    if (fd_ < 0) return -EBADF;
    const speed_t speed = SpeedOf(baud);
    if (speed == 0) return -EINVAL;
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) return Fail();
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) return Fail();
    return 0;
}

int PosixSerialPort::Read(void* buffer, unsigned capacity)
{
    if (fd_ < 0) return -EBADF;
    if (capacity == 0) return 0;  // no room: nothing to wait for
    pollfd p{fd_, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, kReadTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return Fail();
    if (ready == 0) return 0;
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    if (n < 0) return Fail();
    // Readable but nothing to read: the line hung up (a USB adapter pulled,
    // the other end of a pseudo-terminal closed).
    return -EIO;
}

int PosixSerialPort::Write(const void* bytes, unsigned count)
{
    if (fd_ < 0) return -EBADF;
    const char* data = static_cast<const char*>(bytes);
    const long long deadline = NowMs() + kWriteTimeoutMs + static_cast<long long>(kWriteTimeoutPerByteMs) * count;
    unsigned written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd_, data + written, count - written);
        if (n > 0) {
            written += static_cast<unsigned>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return written > 0 ? static_cast<int>(written) : Fail();
        const long long left = deadline - NowMs();
        if (left <= 0) break;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
    return static_cast<int>(written);
}

int PosixSerialPort::PurgeInput()
{
    if (fd_ < 0) return -EBADF;
    return ::tcflush(fd_, TCIFLUSH) == 0 ? 0 : Fail();
}

int PosixSerialPort::SetDtr(bool on)
{
    if (fd_ < 0) return -EBADF;
    int line = TIOCM_DTR;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : Fail();
}

int PosixSerialPort::Close()
{
    if (fd_ < 0) return 0;
    ::ioctl(fd_, TIOCNXCL);
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : Fail();
}
