// The serial channel on a real pseudo-terminal, through PosixSerialPort.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "serial/OrvaSerial.h"
#include "serial/PosixSerialPort.h"
#include "unit/serial/PtyPair.h"
#include "unit/serial/ScriptedSerialPort.h"

namespace {

std::string ReadAnswer(OrvaSerial& channel, unsigned capacity, int* result = nullptr)
{
    std::vector<char> buffer(capacity + 1, '\0');
    unsigned size = 0;
    const int r = channel.OSRead(buffer.data(), capacity, &size);
    if (result) *result = r;
    return std::string(buffer.data(), size);
}

// Another program that holds the port the way pyserial or picocom do: an
// open file with an exclusive lock. Ends with the object.
class OtherHolder {
public:
    explicit OtherHolder(const std::string& path)
    {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
            if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char ok = 'n';
        if (pid_ > 0 && ::read(ready[0], &ok, 1) == 1) holding_ = ok == 'y';
        ::close(ready[0]);
    }
    ~OtherHolder()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

class PtyChannelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty_.Ok()); }
    PtyPair pty_;
    TempLog log_;
    OrvaSerial channel_{log_.get()};
};

}  // namespace

TEST_F(PtyChannelTest, OpensRawAtTheGivenRateAndTalks)
{
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 0), 1);
    const termios settings = pty_.Settings();
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);

    unsigned written = 0;
    EXPECT_EQ(channel_.OSWrite("get -ver\r", 9, &written), 9);
    EXPECT_EQ(pty_.Receive(), "get -ver\r");  // carriage return untranslated
}

TEST_F(PtyChannelTest, AnAnswerInPiecesEndsTheWaitAndIsHandedOverWhole)
{
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    pty_.Send("\rO");
    std::thread device([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty_.Send("K>");
    });
    EXPECT_EQ(channel_.OSWait(2000, '>'), '>');
    device.join();
    pty_.Send("later");
    int result = 0;
    EXPECT_EQ(ReadAnswer(channel_, 20, &result), "\rOK>");
    EXPECT_EQ(result, 4);
    // The port was not read: what came later is still there.
    EXPECT_EQ(ReadAnswer(channel_, 20), "later");
}

TEST_F(PtyChannelTest, ATimeOutLeavesWhatArrivedForTheNextRead)
{
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    pty_.Send("ab");
    const std::uint32_t start = MsTick();
    EXPECT_EQ(channel_.OSWait(300, '>'), 0);
    EXPECT_GT(MsTick() - start, 300u);
    pty_.Send("cd");
    EXPECT_EQ(ReadAnswer(channel_, 20), "abcd");
    // Nothing more: a read gives up empty.
    int result = -1;
    EXPECT_EQ(ReadAnswer(channel_, 20, &result), "");
    EXPECT_EQ(result, 0);
}

TEST_F(PtyChannelTest, ASmallReadBufferGetsTheFirstBytes)
{
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    pty_.Send("0123456789abcdefghijklmnopqrs>");
    ASSERT_EQ(channel_.OSWait(1000, '>'), '>');
    EXPECT_EQ(ReadAnswer(channel_, 20), "0123456789abcdefghij");
    EXPECT_EQ(ReadAnswer(channel_, 20), "");
}

TEST_F(PtyChannelTest, PurgeDropsWhatWaitsInTheQueue)
{
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    pty_.Send("stale answer>");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(channel_.OSPurge(), 0);
    EXPECT_EQ(channel_.OSWait(200, '>'), 0);
    EXPECT_EQ(ReadAnswer(channel_, 20), "");
}

TEST_F(PtyChannelTest, BaudChangesReachTheLine)
{
    EXPECT_EQ(channel_.OSHostBaud(57600), -6);
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    EXPECT_EQ(channel_.OSHostBaud(9600), 0);
    EXPECT_EQ(channel_.OSHostBaud(57600), 1);
    termios settings = pty_.Settings();
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B57600));
    EXPECT_EQ(channel_.OSHostBaud(9600), 1);
    settings = pty_.Settings();
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
}

TEST_F(PtyChannelTest, ThePortIsExclusiveUntilClosed)
{
    ASSERT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    TempLog otherLog;
    OrvaSerial other(otherLog.get());
    EXPECT_EQ(other.OSOpen(pty_.SlavePath().c_str(), 9600), -5);
    EXPECT_TRUE(otherLog.Has("OSOpen failed to open comm port (error 5)"));

    // A second OSOpen on the same object gives its own port up first.
    EXPECT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), 1);

    EXPECT_EQ(channel_.OSClose(), 1);
    EXPECT_EQ(other.OSOpen(pty_.SlavePath().c_str(), 9600), 1);
    other.OSClose();

    // Exclusive mode was switched off again with the close.
    const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    int exclusive = 1;
    ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(fd);
}

TEST_F(PtyChannelTest, APortHeldByAnotherProgramIsBusy)
{
    OtherHolder holder(pty_.SlavePath());
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(channel_.OSOpen(pty_.SlavePath().c_str(), 9600), -5);
    EXPECT_TRUE(log_.Has("OSOpen failed to open comm port (error 5)"));
}

TEST(PosixSerialPort, MissingPortsAndOtherFilesAreRefused)
{
    TempLog log;
    OrvaSerial channel(log.get());
    EXPECT_EQ(channel.OSOpen("ttyORVA_NO_SUCH_PORT", 9600), -2);
    EXPECT_TRUE(log.Has("ttyORVA_NO_SUCH_PORT: OSOpen failed to open comm port (error 2)"));
    EXPECT_EQ(channel.OSOpen("/dev/null", 9600), -ENOTTY);

    PosixSerialPort port;
    EXPECT_EQ(port.Read(nullptr, 0), -EBADF);
    EXPECT_EQ(PosixSerialPort::BaudOf(PosixSerialPort::SpeedOf(57600)), 57600);
    EXPECT_EQ(PosixSerialPort::SpeedOf(12345), 0u);
}

TEST(PosixSerialPort, AHangUpIsAReadFailure)
{
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->Ok());
    TempLog log;
    OrvaSerial channel(log.get());
    ASSERT_EQ(channel.OSOpen(pty->SlavePath().c_str(), 9600), 1);
    pty.reset();  // the other end goes away, like a pulled adapter
    EXPECT_EQ(channel.OSWait(1000, '>'), -21);
    EXPECT_TRUE(log.Has("OSWait ReadFile failed (error 5)"));
}
