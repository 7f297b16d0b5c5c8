#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "orva_version.h"

namespace {

struct CliRun {
    int status;
    std::string out;
};

CliRun RunCli(const std::string& args)
{
    const std::string command = std::string("'") + ORVABSL_EXE + "' " + args + " 2>&1";
    CliRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

TEST(Cli, VersionIsTheFileVersion)
{
    const CliRun run = RunCli("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "orvabsl 1.16.0.79\n");
    EXPECT_STREQ(ORVABSL_FILE_VERSION, "1.16.0.79");
}

TEST(Cli, HelpListsCommandsAndUnknownCommandsFail)
{
    CliRun run = RunCli("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("usage: orvabsl COMMAND"), std::string::npos);
    run = RunCli("no-such-command");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("unknown command 'no-such-command'"), std::string::npos);
}
