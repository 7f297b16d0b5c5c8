// orvabsl logger-settings against orvasim on a real pseudo-terminal: a
// Kelox with everything, a chosen selection (the trait is read before the
// radio), and a Kelo with old firmware.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "e2e/OrvasimProcess.h"
#include "support/FileText.h"

namespace fs = std::filesystem;

namespace {

struct LoggerCase {
    const char* name;
    std::vector<std::string> simArgs;
    const char* mask;  // --mask, or empty for the default selection
    int status;
    const char* out;  // stdout, exactly
};

void PrintTo(const LoggerCase& c, std::ostream* os)
{
    *os << c.name;
}

class LoggerSettingsE2E : public ::testing::TestWithParam<LoggerCase> {};

}  // namespace

TEST_P(LoggerSettingsE2E, PrintsTheSettingsRead)
{
    const LoggerCase& c = GetParam();
    OrvasimProcess sim(ORVASIM_EXE, c.simArgs);
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
    ASSERT_LE(sim.Port().size(), 12u) << "port names have at most 12 characters";

    const fs::path base =
        fs::temp_directory_path() / ("orva-logger-settings-" + std::to_string(::getpid()) + "-" + c.name);
    const fs::path log = base.string() + ".log";
    const fs::path err = base.string() + ".err";
    std::string command = std::string(ORVABSL_EXE) + " logger-settings --port " + sim.Port() + " --log " + log.string();
    if (*c.mask) command += std::string(" --mask ") + c.mask;
    const CommandRun run = RunCommand("(" + command + " 2>" + err.string() + ")");
    EXPECT_EQ(run.status, c.status) << run.out << ReadFile(err);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(ReadFile(err), "");

    const std::string logText = ReadFile(log);
    EXPECT_NE(logText.find(sim.Port() + ": "), std::string::npos);
    // The simulated logger's APN password and key never reach the log.
    EXPECT_EQ(logText.find("s3cret-pw"), std::string::npos);
    EXPECT_EQ(logText.find("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(sim.Stop(), 0);
    fs::remove(log);
    fs::remove(err);
}

INSTANTIATE_TEST_SUITE_P(Loggers, LoggerSettingsE2E,
                         ::testing::Values(LoggerCase{"kelox",
                                                      {"--kind", "3", "--version", "KELOX 2.02"},
                                                      "",
                                                      0,
                                                      "result: 1\n"
                                                      "mask: 0x07FFEFFF\n"
                                                      "version=KELOX 2.02\n"
                                                      "deviceid=00A1B2C3\n"
                                                      "name=KELOX001\n"
                                                      "sn=SN-20391\n"
                                                      "trait=16393\n"
                                                      "wake=15\n"
                                                      "padc=60\n"
                                                      "ports=1 2 0 4 0\n"
                                                      "depth=10 20 30 40 50\n"
                                                      "ADC15 slopes=120 121 122 123 124\n"
                                                      "ADC15 offsets=20 21 22 23 24\n"
                                                      "ADC30 slopes=128 129 130 131 132\n"
                                                      "ADC30 offsets=10 11 12 13 14\n"
                                                      "rmode=0\n"
                                                      "rch=3\n"
                                                      "rsch=6699\n"
                                                      "data=3\n"
                                                      "site=North Field Station\n"
                                                      "lat=+46.73120\n"
                                                      "lon=-117.17960\n"
                                                      "timezone=-28\n"
                                                      "report=1\n"
                                                      "apn=internet.example\n"
                                                      "user=orva\n"
                                                      "passwd=********\n"
                                                      "host=data.example.net\n"
                                                      "authkey=********\n"
                                                      "ipport=5020\n"},
                                           // Only the radio channel, its version and the build
                                           // info: the trait is read first to know the radio.
                                           LoggerCase{"selection",
                                                      {"--kind", "3", "--version", "KELOX 2.02"},
                                                      "0x8001400",
                                                      0,
                                                      "result: 1\n"
                                                      "mask: 0x0800140C\n"
                                                      "version=KELOX 2.02\n"
                                                      "trait=16393\n"
                                                      "rch=3\n"
                                                      "rver=1084\n"
                                                      "OrvaBuild=B1234-rel\n"},
                                           LoggerCase{"oldkelo",
                                                      {"--kind", "1", "--old-firmware"},
                                                      "211",
                                                      0,
                                                      "result: 1\n"
                                                      "mask: 0x00000215\n"
                                                      "version=1.10\n"
                                                      "name=KELO0001\n"
                                                      "wake=15\n"
                                                      "rmode=0\n"},
                                           // A Kelox of 1.73 lacks the newer settings: some of
                                           // the selection fails.
                                           LoggerCase{"olderkelox",
                                                      {"--kind", "3", "--version", "KELOX 1.73"},
                                                      "0x2010",
                                                      1,
                                                      "result: -35\n"
                                                      "mask: 0x00000014\n"
                                                      "version=KELOX 1.73\n"
                                                      "wake=15\n"}));

TEST(LoggerSettingsArguments, AreCheckedBeforeAnyPortIsOpened)
{
    const std::string exe = ORVABSL_EXE;
    struct Case {
        const char* args;
        int status;
        const char* part;
    };
    const Case cases[] = {
        {"", 1, "error -10: no port was given"},
        {"--port ttyS0 --mask 12345678Z", 1, "error -11: --mask takes a hexadecimal number"},
        {"--port ttyS0 --mask 0x123456789", 1, "error -11: --mask takes a hexadecimal number"},
        {"--port ttyVERYLONGNAME0", 1, "error -11: the port name is longer than 12 characters"},
        {"--help", 0, "logger-settings --port PORT [--mask HEX] [--log LOG]"},
    };
    for (const Case& c : cases) {
        const CommandRun run = RunCommand(exe + " logger-settings " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.part), std::string::npos) << c.args << "\n" << run.out;
    }
}
