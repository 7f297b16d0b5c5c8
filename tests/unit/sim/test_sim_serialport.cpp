// The serial channel talking to an in-process simulated instrument under a
// virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimInstrument.h"
#include "SimSerialPort.h"
#include "serial/OrvaSerial.h"
#include "serial/Timing.h"

namespace {

class SimPortTest : public ::testing::Test {
protected:
    SimPortTest() { provider_.Attach("ttyUSB0", &sim_); }

    // One transaction as the protocols make it.
    std::string Transact(OrvaSerial& channel, const std::string& command, unsigned ms = 1000, int* waited = nullptr)
    {
        channel.OSPurge();
        unsigned written = 0;
        channel.OSWrite(command.data(), static_cast<int>(command.size()), &written);
        const int w = channel.OSWait(ms, '>');
        if (waited) *waited = w;
        std::vector<char> buffer(2048);
        unsigned size = 0;
        channel.OSRead(buffer.data(), 2048, &size);
        return std::string(buffer.data(), size);
    }

    VirtualClock clock_{1000};
    ScopedClock useClock_{&clock_};
    SimInstrument sim_;
    SimPortProvider provider_;
    ScopedSerialPortProvider useProvider_{&provider_};
    OrvaSerial channel_{nullptr};
};

}  // namespace

TEST_F(SimPortTest, TheChannelTalksToTheInstrumentWithoutWaiting)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB0", 0), 1);
    EXPECT_TRUE(sim_.HostConnected());
    EXPECT_EQ(sim_.HostBaud(), 9600);
    int waited = 0;
    EXPECT_EQ(Transact(channel_, "get -ver\r", 1000, &waited), "\rTX 1.73\r\n>");
    EXPECT_EQ(waited, '>');
    EXPECT_EQ(clock_.NowMs(), 1000u);
    EXPECT_EQ(Transact(channel_, "get -batt\r"), "\r87\r\n>");
    EXPECT_EQ(channel_.OSHostBaud(57600), 1);
    EXPECT_EQ(sim_.HostBaud(), 57600);
    EXPECT_EQ(channel_.OSClose(), 1);
    EXPECT_FALSE(sim_.HostConnected());
}

TEST_F(SimPortTest, ASilentInstrumentCostsTheWaitOnTheVirtualClock)
{
    sim_.Config().faults.silent = true;
    ASSERT_EQ(channel_.OSOpen("ttyUSB0", 9600), 1);
    int waited = -1;
    EXPECT_EQ(Transact(channel_, "get -ver\r", 1000, &waited), "");
    EXPECT_EQ(waited, 0);
    // The wait's reads (100 ms each, with 200 ms pauses from the sixth),
    // then OSRead's own read of the port.
    EXPECT_EQ(clock_.NowMs(), 1000u + 1200u + 100u);
}

TEST_F(SimPortTest, ALateAnswerIsFoundWhenItComes)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB0", 9600), 1);
    sim_.Send("\rlate\r\n>", 250);
    EXPECT_EQ(channel_.OSWait(1000, '>'), '>');
    EXPECT_EQ(clock_.NowMs(), 1250u);
}

TEST_F(SimPortTest, AnswersInPiecesAreCollected)
{
    provider_.SetMaxBytesPerRead("ttyUSB0", 3);
    ASSERT_EQ(channel_.OSOpen("ttyUSB0", 9600), 1);
    EXPECT_EQ(Transact(channel_, "get -ver\r"), "\rTX 1.73\r\n>");
}

TEST_F(SimPortTest, PortsAreExclusiveAndMissingOnesAreMissing)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB0", 9600), 1);
    OrvaSerial other(nullptr);
    EXPECT_EQ(other.OSOpen("ttyUSB0", 9600), -5);
    EXPECT_EQ(other.OSOpen("ttyUSB9", 9600), -2);
    channel_.OSClose();
    provider_.SetHeldElsewhere("ttyUSB0", true);
    EXPECT_EQ(other.OSOpen("ttyUSB0", 9600), -5);
    provider_.SetHeldElsewhere("ttyUSB0", false);
    EXPECT_EQ(other.OSOpen("ttyUSB0", 9600), 1);
}

TEST_F(SimPortTest, PurgeDropsWhatTheInstrumentAlreadySent)
{
    ASSERT_EQ(channel_.OSOpen("ttyUSB0", 9600), 1);
    unsigned written = 0;
    channel_.OSWrite("get -ver\r", 9, &written);
    sim_.Send("\rsecond\r\n>", 500);
    channel_.OSPurge();
    EXPECT_EQ(channel_.OSWait(1000, '>'), '>');
    std::vector<char> buffer(64);
    unsigned size = 0;
    channel_.OSRead(buffer.data(), 64, &size);
    EXPECT_EQ(std::string(buffer.data(), size), "\rsecond\r\n>");
}
