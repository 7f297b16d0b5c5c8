// DeviceCommand: one command/answer transaction against the simulated
// instrument.
#include <cstring>
#include <string>

#include "DeviceTestSupport.h"
#include "SimLogger.h"

namespace {

class DeviceCommandTest : public DeviceTest {
protected:
    struct Outcome {
        int result;
        std::string answer;
        unsigned length;
        int elapsed;
    };
    Outcome Run(const char* command, unsigned capacity = 32, unsigned timeoutMs = 400)
    {
        std::vector<char> answer(capacity + 1, 'Z');
        unsigned length = capacity;
        int elapsed = -1;
        const int result = device_->DeviceCommand(command, '>', timeoutMs, answer.data(), &length, &elapsed);
        EXPECT_EQ(answer[capacity], 'Z') << "written past the answer buffer";
        return {result, std::string(answer.data(), capacity > 0 ? std::strlen(answer.data()) : 0), length, elapsed};
    }
};

}  // namespace

TEST_F(DeviceCommandTest, AGoodAnswerIsCopiedWithItsLength)
{
    Open();
    const Outcome out = Run("get -ver\r");
    EXPECT_EQ(out.result, 11);
    EXPECT_EQ(out.answer, "\rTX 1.73\r\n>");
    EXPECT_EQ(out.length, 11u);
    EXPECT_EQ(out.elapsed, 0);
    EXPECT_EQ(Sent("get -ver\r"), 1);
    EXPECT_STREQ(device_->ReceivedText(), "\rTX 1.73\r\n>");
}

TEST_F(DeviceCommandTest, ASilentDeviceGetsTheCommandOncePerTryAndGives21)
{
    LinkOptions options{};
    options.serialTries = 3;
    options.extraWaitMs = 1000;
    ASSERT_EQ(device_->CommOptions(&options, 1), 1);
    Open();
    sim_.Config().faults.silent = true;
    const Outcome out = Run("get -sn\r", 32, 400);
    EXPECT_EQ(out.result, kDevNoAnswer);
    EXPECT_EQ(out.answer, "");
    EXPECT_EQ(out.length, 0u);
    EXPECT_EQ(Sent("get -sn\r"), 3);
    // Every try waits the time-out plus the extra wait, then pauses 50 ms.
    EXPECT_GE(out.elapsed, 3 * (400 + 1000 + 50));
}

TEST_F(DeviceCommandTest, ARefusalOnEveryTryGives34AndAnEmptyAnswer)
{
    Open();
    sim_.Config().faults.errorToEverything = true;
    const Outcome out = Run("get -ver\r");
    EXPECT_EQ(out.result, kDevRefused);
    EXPECT_EQ(out.answer, "");
    EXPECT_EQ(out.length, 0u);
    EXPECT_EQ(Sent("get -ver\r"), 3);
}

TEST_F(DeviceCommandTest, ARefusalThenSilenceGives22)
{
    LinkOptions options{};
    options.serialTries = 2;
    ASSERT_EQ(device_->CommOptions(&options, 1), 1);
    Open();
    sim_.Config().faults.refused = {"get -ver"};
    // After its first answer the instrument falls silent.
    sim_.trace = [this](const std::string& line) {
        trace_.push_back(line);
        if (line.rfind("instrument sends", 0) == 0) sim_.Config().faults.silent = true;
    };
    const Outcome out = Run("get -ver\r");
    EXPECT_EQ(out.result, kDevNoConfirmation);
    EXPECT_EQ(Sent("get -ver\r"), 2);
}

TEST_F(DeviceCommandTest, AQuestionMarkInsideAValueIsARefusal)
{
    Open();
    sim_.Config().versionText = "TX 1.7?";
    EXPECT_EQ(Run("get -ver\r").result, kDevRefused);
    sim_.Config().kind = 3;
    SimLogger(sim_).settings["i"] = "AB?CD";
    EXPECT_EQ(Run("get -i\r").result, kDevRefused);
}

TEST_F(DeviceCommandTest, AnEchoedCommandEndsTheTransactionAtOnce)
{
    Open();
    sim_.Config().faults.echo = true;
    const Outcome out = Run("get -sn\r");
    EXPECT_EQ(out.result, kDevEcho);
    EXPECT_EQ(out.answer, "");
    EXPECT_EQ(out.length, 0u);
    EXPECT_EQ(Sent("get -sn\r"), 1);
    EXPECT_TRUE(LoggedByPort("DeviceCommand is hearing echoed commands -- device is broken? Relay active?"));
}

TEST_F(DeviceCommandTest, ALongAnswerIsCutToTheCallersBuffer)
{
    Open();
    // "\r" + 96 characters + "\r\n>" make 100 bytes.
    sim_.Config().versionText = "TX 1.73 " + std::string(88, 'x');
    const Outcome out = Run("get -ver\r", 32);
    EXPECT_EQ(out.result, 100);
    EXPECT_EQ(out.length, 31u);
    EXPECT_EQ(out.answer, ("\rTX 1.73 " + std::string(88, 'x')).substr(0, 31));
    EXPECT_TRUE(LoggedByPort("DeviceCommand got 69 more bytes than expected (get -ver\r)"));
}

TEST_F(DeviceCommandTest, TwoCarriageReturnsAndThePromptAreAnEmptyAnswer)
{
    Open();
    sim_.Config().kind = 3;
    SimLogger(sim_).settings["i"] = "";
    Outcome out = Run("get -i\r", 32);
    EXPECT_EQ(out.result, kDevEmptyAnswer);
    EXPECT_EQ(out.answer, "\r\r>");
    EXPECT_EQ(out.length, 3u);
    EXPECT_TRUE(LoggedByPort("DeviceCommand: device returned empty answer"));
    // With less room, as much as fits.
    out = Run("get -i\r", 2);
    EXPECT_EQ(out.result, kDevEmptyAnswer);
    EXPECT_EQ(out.answer, "\r");
}

TEST_F(DeviceCommandTest, AFullReadIsTerminatedAfter2048Bytes)
{
    Open();
    sim_.Config().versionText = "TX 1.73 " + std::string(3000, 'y');
    const Outcome out = Run("get -ver\r", 32);
    EXPECT_EQ(out.result, 2048);
    EXPECT_EQ(std::strlen(device_->ReceivedText()), 2048u);
    EXPECT_EQ(out.length, 31u);
}

TEST_F(DeviceCommandTest, WithoutAnAnswerBufferNothingIsCopied)
{
    Open();
    unsigned length = 99;
    int elapsed = -1;
    EXPECT_EQ(device_->DeviceCommand("get -ver\r", '>', 400, nullptr, &length, &elapsed), 11);
    EXPECT_EQ(length, 99u);
    EXPECT_EQ(elapsed, 0);
    sim_.Config().faults.silent = true;
    EXPECT_EQ(device_->DeviceCommand("get -ver\r", '>', 400, nullptr, &length, &elapsed), kDevNoAnswer);
    EXPECT_EQ(length, 0u);
    EXPECT_GT(elapsed, 0);
}

TEST_F(DeviceCommandTest, AClosedPortEndsTheTransactionWithTheChannelsCode)
{
    Open();
    ASSERT_EQ(device_->OSClose(), 1);
    const Outcome out = Run("get -ver\r");
    EXPECT_EQ(out.result, -21);
    EXPECT_EQ(out.length, 0u);
    EXPECT_GE(out.elapsed, 0);
    EXPECT_TRUE(LoggedByPort("DeviceCommand got unexpected response (-21) from OCommWrite"));
}
