// The serial channel under a virtual clock, over scripted ports.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "serial/OrvaSerial.h"
#include "unit/serial/ScriptedSerialPort.h"

namespace {

class ChannelTest : public ::testing::Test {
protected:
    VirtualClock clock_{10000};
    ScopedClock useClock_{&clock_};
    ScriptedProvider provider_;
    ScopedSerialPortProvider useProvider_{&provider_};
    TempLog log_;
    OrvaSerial channel_{log_.get()};

    std::shared_ptr<ScriptedLine> Line(const std::string& name = "ttyUSB3") { return provider_.Line(name); }
    std::string Read(unsigned capacity, int* result = nullptr)
    {
        std::vector<char> buffer(capacity + 1, '\0');
        unsigned size = 12345;
        const int r = channel_.OSRead(buffer.data(), capacity, &size);
        if (result) *result = r;
        EXPECT_EQ(r < 0 ? 0u : static_cast<unsigned>(r), size);
        return std::string(buffer.data(), size);
    }
};

// A channel that supplies its own gReadBuffer, with guard bytes behind it.
class SuppliedBufferChannel : public OrvaSerial {
public:
    explicit SuppliedBufferChannel(OrvaLog* log) : OrvaSerial(log)
    {
        std::memset(storage, 'G', sizeof storage);
        SetReadBuffer(storage);
    }
    const char* Collected() const { return ReadBuffer(); }
    char storage[kReadBufferSize + 16];
};

}  // namespace

TEST_F(ChannelTest, OpensAtDefaultBaudWithDtrOnAndLogsTheRate)
{
    EXPECT_EQ(channel_.OSOpen("ttyUSB3", 0), 1);
    EXPECT_EQ(Line()->openedPath, "/dev/ttyUSB3");
    EXPECT_EQ(Line()->baud, 9600);
    EXPECT_TRUE(Line()->dtr);
    EXPECT_EQ(channel_.Baud(), 9600);
    EXPECT_STREQ(channel_.PortName(), "ttyUSB3");
    EXPECT_TRUE(log_.Has("ttyUSB3: OSOpen successfully opened and configured comm port at 9600 baud\r\n"));
}

TEST_F(ChannelTest, NamesWithASlashArePathsAndLongNamesAreCut)
{
    EXPECT_EQ(channel_.OSOpen("/tmp/orvasim-port", 57600), 1);
    EXPECT_EQ(provider_.Line("/tmp/orvasim-port")->openedPath, "/tmp/orvasim-port");
    EXPECT_EQ(channel_.Baud(), 57600);

    const std::string longName = "/tmp/" + std::string(100, 'p');
    OrvaSerial other(nullptr);
    EXPECT_EQ(other.OSOpen(longName.c_str(), 9600), 1);
    EXPECT_EQ(std::strlen(other.PortName()), OrvaSerial::kPortNameSize);
    EXPECT_EQ(longName.compare(0, OrvaSerial::kPortNameSize, other.PortName()), 0);
}

TEST_F(ChannelTest, OpenFailuresGiveTheNegatedErrorAndTheOperatorHints)
{
    struct Case {
        int systemResult;
        int expected;
        bool dialoutHint;
    };
    const Case cases[] = {
        {-ENOENT, -2, false},       // no such port
        {-ENXIO, -2, false},        // a node without a device
        {-EBUSY, -5, false},        // TIOCEXCL of another holder
        {-EWOULDBLOCK, -5, false},  // the lock of another holder
        {-EACCES, -13, true},       // not in the port's group
        {-ENOTTY, -25, false},      // not a serial device at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.systemResult);
        TempLog log;
        OrvaSerial channel(log.get());
        Line("ttyS4")->openResult = c.systemResult;
        EXPECT_EQ(channel.OSOpen("ttyS4", 9600), c.expected);
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_TRUE(log.Has("ttyS4: OSOpen failed to open comm port (error " + std::to_string(-c.expected) + ")"));
        EXPECT_EQ(log.Has("dialout"), c.dialoutHint);
        if (c.dialoutHint) {
            EXPECT_TRUE(log.Has("/dev/ttyS4"));
        }
    }
}

TEST_F(ChannelTest, AFailedOpenIsClearedByTheNextOpenAfterAPause)
{
    Line()->openResult = -ENOENT;
    EXPECT_EQ(channel_.OSOpen("ttyUSB3", 9600), -2);
    Line()->openResult = 0;
    const std::uint32_t before = clock_.NowMs();
    EXPECT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    EXPECT_EQ(clock_.NowMs() - before, 100u);
    EXPECT_TRUE(log_.Has("OrvaSerial: OSOpen found port \"-1\" already open"));
}

TEST_F(ChannelTest, ASecondOpenOnTheSameObjectClosesTheFirstWaitsAndOpensAgain)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    const std::uint32_t before = clock_.NowMs();
    EXPECT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    EXPECT_EQ(clock_.NowMs() - before, 100u);
    EXPECT_EQ(Line()->opens, 2);
    EXPECT_EQ(Line()->closes, 1);
    EXPECT_TRUE(log_.Has("OrvaSerial: OSOpen found port \"7\" already open"));
    EXPECT_TRUE(log_.Has("ttyUSB3: OSClose closed comm port"));
}

TEST_F(ChannelTest, ALineSettingsFailureLeavesThePortOpenForTheNextClose)
{
    Line()->configureResult = -EIO;
    Line()->configureFailStep = SerialPort::ConfigureStep::ReadSettings;
    EXPECT_EQ(channel_.OSOpen("ttyUSB3", 9600), -EIO);
    EXPECT_TRUE(log_.Has("OSOpen failed to retreive DCB on comm port (error 5)"));
    EXPECT_TRUE(channel_.IsOpen());
    EXPECT_EQ(channel_.OSClose(), 1);
    EXPECT_EQ(Line()->closes, 1);

    Line()->configureResult = -EINVAL;
    Line()->configureFailStep = SerialPort::ConfigureStep::ApplySettings;
    EXPECT_EQ(channel_.OSOpen("ttyUSB3", 12345), -EINVAL);
    EXPECT_TRUE(log_.Has("OSOpen failed to apply DCB on comm port (error 22)"));
}

TEST_F(ChannelTest, CloseReportsWhatItDidAndDropsDtr)
{
    EXPECT_EQ(channel_.OSClose(), 0);
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    EXPECT_EQ(channel_.OSClose(), 1);
    EXPECT_FALSE(Line()->dtr);
    EXPECT_EQ(channel_.OSClose(), 0);
    // The owned buffer went with the port.
    int result = 0;
    Read(20, &result);
    EXPECT_EQ(result, -60);

    Line()->closeResult = -EIO;
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    EXPECT_EQ(channel_.OSClose(), -EIO);
    EXPECT_TRUE(log_.Has("OSClose failed to close comm port (error 5)"));
    EXPECT_FALSE(channel_.IsOpen());
}

TEST_F(ChannelTest, OperationsOnAClosedPortFail)
{
    int result = 0;
    Read(20, &result);
    EXPECT_EQ(result, -60);  // never opened: no buffer yet
    unsigned written = 99;
    EXPECT_EQ(channel_.OSWrite("x", 1, &written), -21);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(channel_.OSWait(100, '>'), -21);
    EXPECT_TRUE(log_.Has("OrvaSerial: OSWrite tried to write to a closed port"));
    EXPECT_TRUE(log_.Has("OrvaSerial: OSWait tried to operate on a closed port"));

    SuppliedBufferChannel supplied(log_.get());
    std::vector<char> buffer(20);
    unsigned size = 0;
    EXPECT_EQ(supplied.OSRead(buffer.data(), 20, &size), -21);
    EXPECT_TRUE(log_.Has("OrvaSerial: OSRead tried to read from a closed port"));
}

TEST_F(ChannelTest, WriteReturnsTheCountTheSystemTook)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    unsigned written = 0;
    EXPECT_EQ(channel_.OSWrite("get -ver\r", 9, &written), 9);
    EXPECT_EQ(written, 9u);
    EXPECT_EQ(Line()->written, "get -ver\r");
    EXPECT_TRUE(log_.Has("ttyUSB3: OSWrite wrote 9 bytes"));

    Line()->writeLimit = 4;  // the write time-out expired part-way
    EXPECT_EQ(channel_.OSWrite("get -ver\r", 9, &written), 4);
    EXPECT_EQ(written, 4u);

    Line()->writeError = EIO;
    EXPECT_EQ(channel_.OSWrite("x", 1, &written), -21);
    EXPECT_TRUE(log_.Has("OSWrite WriteFile failed (error 5)"));
}

TEST_F(ChannelTest, AnAnswerInTwoPiecesIsFoundAndHandedOverWithoutReadingAgain)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    Line()->Arrive("\rO");
    Line()->Arrive("K>", 150);
    EXPECT_EQ(channel_.OSWait(1000, '>'), '>');
    EXPECT_TRUE(log_.Has("OSWait found '>' in 100 ms"));  // measured at the one empty read
    Line()->Arrive("more");
    const int readsBefore = Line()->reads;
    int result = 0;
    EXPECT_EQ(Read(20, &result), "\rOK>");
    EXPECT_EQ(result, 4);
    EXPECT_EQ(Line()->reads, readsBefore);
    EXPECT_TRUE(log_.Has("OSRead read 4 bytes from gReadBuffer"));
    // What came after is read from the port by the next OSRead.
    EXPECT_EQ(Read(20), "more");
    EXPECT_TRUE(log_.Has("OSRead read 4 btyes"));
}

TEST_F(ChannelTest, ATimeOutKeepsWhatArrivedAndTheNextReadAddsToIt)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    Line()->Arrive("ab");
    Line()->Arrive("cd", 3000);
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(channel_.OSWait(1000, '>'), 0);
    // Empty reads of 100 ms each; from the sixth on a 200 ms pause follows.
    EXPECT_EQ(clock_.NowMs() - start, 1200u);
    EXPECT_TRUE(log_.Has("OSWait read 2 bytes, but never found '>' in 1200 ms"));
    clock_.Advance(2000);
    const int readsBefore = Line()->reads;
    EXPECT_EQ(Read(20), "abcd");
    EXPECT_EQ(Line()->reads, readsBefore + 1);
}

TEST_F(ChannelTest, ShortWaitsNeverPause)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(channel_.OSWait(400, '>'), 0);
    EXPECT_EQ(clock_.NowMs() - start, 500u);
}

TEST_F(ChannelTest, AReadIntoASmallBufferKeepsTheFirstBytesAndLosesTheRest)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    const std::string answer = "0123456789abcdefghijklmnopqrs>";
    ASSERT_EQ(answer.size(), 30u);
    Line()->Arrive(answer);
    ASSERT_EQ(channel_.OSWait(1000, '>'), '>');
    EXPECT_EQ(Read(20), answer.substr(0, 20));
    int result = -1;
    EXPECT_EQ(Read(20, &result), "");  // the other 10 are gone
    EXPECT_EQ(result, 0);

    // Cut short after a time-out, the read does not go to the port either.
    Line()->Arrive(answer.substr(0, 29));
    Line()->Arrive("tail", 5000);
    ASSERT_EQ(channel_.OSWait(300, '>'), 0);
    clock_.Advance(5000);
    const int readsBefore = Line()->reads;
    EXPECT_EQ(Read(20), answer.substr(0, 20));
    EXPECT_EQ(Line()->reads, readsBefore);
    EXPECT_EQ(Read(20), "tail");
}

TEST_F(ChannelTest, WaitNeverCollectsPastItsBuffer)
{
    TempLog log;
    SuppliedBufferChannel channel(log.get());
    ASSERT_EQ(channel.OSOpen("ttyUSB3", 9600), 1);
    const std::string flood(3000, 'x');
    Line()->Arrive(flood);
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(channel.OSWait(5000, '>'), 0);
    EXPECT_EQ(clock_.NowMs(), start);  // gave up at once, no time-out wait
    EXPECT_EQ(std::strlen(channel.Collected()), OrvaSerial::kReadBufferSize - 1);
    for (unsigned i = OrvaSerial::kReadBufferSize; i < sizeof channel.storage; ++i)
        ASSERT_EQ(channel.storage[i], 'G') << i;
    EXPECT_TRUE(log.Has("OSWait filled its buffer with 2047 bytes, but never found '>'"));
    // The collected text is handed over and the port read for the rest.
    std::vector<char> buffer(4096);
    unsigned size = 0;
    EXPECT_EQ(channel.OSRead(buffer.data(), 4096, &size), 3000);
    EXPECT_EQ(std::string(buffer.data(), size), flood);
}

TEST_F(ChannelTest, ANulByteDoesNotHideTheRestOfAnAnswer)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    Line()->Arrive(std::string("\0+12>", 5));
    EXPECT_EQ(channel_.OSWait(1000, '>'), '>');
    EXPECT_EQ(Read(20), std::string("\0+12>", 5));
}

TEST_F(ChannelTest, PurgeDiscardsTheQueueAndTheCollectedText)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    Line()->Arrive("stale");
    EXPECT_EQ(channel_.OSWait(200, '>'), 0);
    Line()->Arrive("queued");
    EXPECT_EQ(channel_.OSPurge(), 0);
    EXPECT_EQ(Line()->purges, 1);
    int result = -1;
    EXPECT_EQ(Read(20, &result), "");
    EXPECT_EQ(result, 0);
}

TEST_F(ChannelTest, ReadFailuresAreReported)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 9600), 1);
    Line()->readError = EIO;
    EXPECT_EQ(channel_.OSWait(1000, '>'), -21);
    EXPECT_TRUE(log_.Has("OSWait ReadFile failed (error 5)"));
    int result = 0;
    Read(20, &result);
    EXPECT_EQ(result, -21);
    EXPECT_TRUE(log_.Has("OSRead ReadFile failed (error 5)"));
}

TEST_F(ChannelTest, HostBaudChangesOnlyAnOpenPortAndOnlyWhenDifferent)
{
    EXPECT_EQ(channel_.OSHostBaud(9600), -6);  // never opened
    ASSERT_EQ(channel_.OSOpen("ttyUSB3", 0), 1);
    EXPECT_EQ(channel_.OSHostBaud(9600), 0);
    EXPECT_EQ(channel_.OSHostBaud(57600), 1);
    EXPECT_EQ(Line()->baud, 57600);
    EXPECT_EQ(channel_.Baud(), 57600);
    EXPECT_EQ(channel_.OSHostBaud(-1), -EINVAL);
    EXPECT_TRUE(log_.Has("OSHostBaud failed to apply new baud rate \"-1\" (error 22)"));
    EXPECT_EQ(channel_.Baud(), 57600);
    channel_.OSClose();
    EXPECT_EQ(channel_.OSHostBaud(9600), -EBADF);  // opened once, closed now
}
