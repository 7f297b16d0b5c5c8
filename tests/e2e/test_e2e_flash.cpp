// orvabsl flash against orvasim on a real pseudo-terminal: the simulated
// flash ends up equal to the image and the new firmware checks good; a
// cable pulled in the middle of the transfer ends with an error, and the
// next flash finds the loader active and finishes the job.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "e2e/OrvasimProcess.h"
#include "loader/BuiltInImage.h"
#include "serial/OrvaSerial.h"
#include "support/FileText.h"
#include "support/FirmwareImage.h"

namespace fs = std::filesystem;

namespace {

// The 1 MiB the built-in image makes of erased flash: its segments and its
// vectors, 0xFF everywhere else.
std::string ExpectedFlash()
{
    const std::vector<std::uint8_t> memory =
        ProgrammedFlash(std::string(kBuiltInImage.text, kBuiltInImage.textStorage), kBuiltInImage.vectors, 0x100000);
    return std::string(memory.begin(), memory.end());
}

// Asks the instrument's firmware one command; it may still be restarting,
// so a silent instrument is asked again for a while.
std::string AskFirmware(const std::string& port, const std::string& command)
{
    OrvaSerial channel(nullptr);
    if (channel.OSOpen(port.c_str(), 9600) != 1) return "(port not opened)";
    std::string answer;
    for (int attempt = 0; attempt < 30 && answer.find('>') == std::string::npos; ++attempt) {
        channel.OSPurge();
        unsigned written = 0;
        channel.OSWrite(command.data(), static_cast<int>(command.size()), &written);
        channel.OSWait(200, '>');
        char buffer[256];
        unsigned size = 0;
        channel.OSRead(buffer, sizeof buffer, &size);
        answer.assign(buffer, size);
    }
    channel.OSClose();
    return answer;
}

class FlashE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        base_ = fs::temp_directory_path() / ("orva-flash-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(base_);
    }
    void TearDown() override { fs::remove_all(base_); }

    struct Flash {
        CommandRun run;
        std::string err;
        double seconds;
    };
    // Runs orvabsl flash; through script(1) when it should see a terminal.
    Flash RunFlash(const std::string& port, bool terminal = false)
    {
        const std::string err = (base_ / "err.txt").string();
        std::string command = std::string(ORVABSL_EXE) + " flash --port " + port + " --log " + Log().string();
        if (terminal) command = "script -qec '" + command + "' /dev/null";
        const auto start = std::chrono::steady_clock::now();
        Flash flash{RunCommand("(" + command + " 2>" + err + ")"), ReadFile(err), 0};
        flash.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ::testing::Test::RecordProperty("flash_seconds", std::to_string(flash.seconds));
        return flash;
    }
    fs::path Log() const { return base_ / "log.txt"; }
    fs::path Dump() const { return base_ / "flash.bin"; }

    fs::path base_;
};

}  // namespace

TEST_F(FlashE2E, TheFlashEqualsTheImageAndTheFirmwareChecksGood)
{
    OrvasimProcess sim(ORVASIM_EXE, {"--dump-flash", Dump().string()});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();

    const Flash flash = RunFlash(sim.Port(), true);
    EXPECT_EQ(flash.run.status, 0) << flash.run.out << flash.err;
    EXPECT_EQ(flash.err, "");
    // A bar redrawn in place, then the result on a line of its own.
    EXPECT_NE(flash.run.out.find("\r[##############################] 100% done"), std::string::npos) << flash.run.out;
    EXPECT_NE(flash.run.out.find("% writing the firmware"), std::string::npos);
    EXPECT_NE(flash.run.out.find("flashed 202084 characters in "), std::string::npos) << flash.run.out;
    std::cout << "[ measured ] orvabsl flash at 57600 baud over a pty: " << flash.seconds << " s\n";

    EXPECT_EQ(AskFirmware(sim.Port(), "post\r"), "\rCode Good!\r\n>");
    EXPECT_EQ(AskFirmware(sim.Port(), "get -ver\r"), "\rTX 1.73\r\n>");
    EXPECT_EQ(sim.Stop(), 0) << sim.Stderr();
    const std::string dump = ReadFile(Dump());
    ASSERT_EQ(dump.size(), 0x100000u);
    EXPECT_TRUE(dump == ExpectedFlash()) << "the simulated flash differs from the image";
    const std::string log = ReadFile(Log());
    EXPECT_NE(log.find("OrvaBSL: BSLSendFirmware successful"), std::string::npos) << log;
}

TEST_F(FlashE2E, APulledCableEndsWithAnErrorAndTheNextFlashFinishesTheJob)
{
    // The connection and the erase take 241 frames: the 300th is in the
    // middle of the transfer.
    OrvasimProcess sim(ORVASIM_EXE, {"--pull-cable", "300", "--dump-flash", Dump().string()});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();

    const Flash first = RunFlash(sim.Port());
    EXPECT_EQ(first.run.status, 1) << first.run.out;
    EXPECT_EQ(first.err,
              "error -21: writing the firmware failed: the loader stopped answering (is the cable still "
              "connected?)\n");
    EXPECT_EQ(first.run.out.find("flashed"), std::string::npos) << first.run.out;
    EXPECT_NE(ReadFile(Log()).find("BSLSendFirmware failed with error -21"), std::string::npos);

    const Flash second = RunFlash(sim.Port());
    EXPECT_EQ(second.run.status, 0) << second.run.out << second.err;
    // Not a terminal: plain lines.
    EXPECT_EQ(second.run.out.find('\r'), std::string::npos);
    EXPECT_EQ(second.run.out.rfind("  0% connecting to the loader\n", 0), 0u) << second.run.out;
    EXPECT_NE(second.run.out.find("\n 50% writing the firmware\n"), std::string::npos) << second.run.out;
    EXPECT_NE(second.run.out.find("\n100% done\nflashed 202084 characters in "), std::string::npos) << second.run.out;
    EXPECT_NE(ReadFile(Log()).find("BSLInvocation found the OrvaBSL already active"), std::string::npos);

    EXPECT_EQ(AskFirmware(sim.Port(), "post\r"), "\rCode Good!\r\n>");
    EXPECT_EQ(sim.Stop(), 0) << sim.Stderr();
    EXPECT_TRUE(ReadFile(Dump()) == ExpectedFlash()) << "the simulated flash differs from the image";
}

TEST_F(FlashE2E, AnInstrumentWithoutALoaderIsReported)
{
    OrvasimProcess sim(ORVASIM_EXE, {"--boot", "missing"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
    const Flash flash = RunFlash(sim.Port());
    EXPECT_EQ(flash.run.status, 1);
    EXPECT_EQ(flash.err, "error -112: the instrument on " + sim.Port() + " has no working firmware loader\n");
    EXPECT_EQ(AskFirmware(sim.Port(), "get -ver\r"), "\rTX 1.73\r\n>");  // still in its firmware
}
