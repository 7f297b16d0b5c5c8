// orvabsl identify against orvasim on a real pseudo-terminal: the reader, a
// logger with new firmware, one with old firmware, an instrument in its
// bootstrap loader and one that says nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "e2e/OrvasimProcess.h"
#include "support/FileText.h"

namespace fs = std::filesystem;

namespace {

struct IdentifyCase {
    const char* name;
    std::vector<std::string> simArgs;
    int status;
    const char* out;  // stdout, exactly
    const char* err;  // a part of stderr
};

class IdentifyE2E : public ::testing::TestWithParam<IdentifyCase> {};

}  // namespace

TEST_P(IdentifyE2E, PrintsWhatTheInstrumentIs)
{
    const IdentifyCase& c = GetParam();
    OrvasimProcess sim(ORVASIM_EXE, c.simArgs);
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
    ASSERT_LE(sim.Port().size(), 12u) << "port names have at most 12 characters";

    const fs::path base = fs::temp_directory_path() / ("orva-identify-" + std::to_string(::getpid()) + "-" + c.name);
    const fs::path log = base.string() + ".log";
    const fs::path err = base.string() + ".err";
    const CommandRun run = RunCommand("(" + std::string(ORVABSL_EXE) + " identify --port " + sim.Port() + " --log " +
                                      log.string() + " 2>" + err.string() + ")");
    const std::string errText = ReadFile(err);
    EXPECT_EQ(run.status, c.status) << run.out << errText;
    EXPECT_EQ(run.out, c.out);
    if (*c.err)
        EXPECT_NE(errText.find(c.err), std::string::npos) << errText;
    else
        EXPECT_EQ(errText, "");
    // The device protocol logs with the port's name as its tag.
    EXPECT_NE(ReadFile(log).find(sim.Port() + ": "), std::string::npos);
    EXPECT_EQ(sim.Stop(), 0);
    fs::remove(log);
    fs::remove(err);
}

INSTANTIATE_TEST_SUITE_P(
    Instruments, IdentifyE2E,
    ::testing::Values(IdentifyCase{"reader",
                                   {},
                                   0,
                                   "version text: TX 1.73\nlogger kind: 10 Tallix\nversion: 173\nfirmware: new\n"
                                   "capabilities: 0x001D3083\n",
                                   ""},
                      IdentifyCase{"logger",
                                   {"--kind", "3", "--version", "KELOX 1.19"},
                                   0,
                                   "version text: KELOX 1.19\nlogger kind: 3 Kelox\nversion: 119\nfirmware: new\n"
                                   "capabilities: 0x00E7FFF7\n",
                                   ""},
                      IdentifyCase{"oldlogger",
                                   {"--kind", "1", "--old-firmware"},
                                   0,
                                   "version text: 1.10\nlogger kind: 2 Kelo\nversion: 110\nfirmware: old\n"
                                   "capabilities: 0x0000331C\n",
                                   ""},
                      IdentifyCase{"loaderwaiting", {"--start", "loader-waiting"}, 1, "", "error -81: "},
                      IdentifyCase{"loaderconnected", {"--start", "loader-connected"}, 1, "", "error -80: "},
                      IdentifyCase{"silent", {"--fault", "silent"}, 1, "", "error -20: nothing answered"}),
    [](const auto& info) { return std::string(info.param.name); });
