// orvasim's command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "OrvasimArgs.h"
#include "SimOptions.h"

TEST(OrvasimOptions, SetTheInstrumentAndTheServer)
{
    OrvasimOptions options;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--kind", "3", "--version", "KX 2.01", "--hver=B", "--battery", "9", "--fault", "echo",
                              "--fault", "silent", "--link", "/tmp/x", "--baud-pacing", "--trace"},
                             options, error))
        << error;
    EXPECT_EQ(options.config.kind, 3);
    EXPECT_EQ(options.config.versionText, "KX 2.01");
    EXPECT_EQ(options.config.hardwareRevision, "B");
    EXPECT_EQ(options.config.batteryPercent, 9);
    EXPECT_TRUE(options.config.faults.echo);
    EXPECT_TRUE(options.config.faults.silent);
    EXPECT_FALSE(options.config.faults.errorToEverything);
    EXPECT_EQ(options.link, "/tmp/x");
    EXPECT_TRUE(options.baudPacing);
    EXPECT_TRUE(options.trace);
    EXPECT_FALSE(options.help);
}

TEST(OrvasimOptions, RefuseWhatTheyDoNotKnow)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--kind", "0"}, {"--kind", "25"}, {"--kind", "x"}, {"--battery", "101"}, {"--fault", "gremlins"}, {"--link"},
        {"--trace=yes"}, {"--nope"},       {"stray"},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args[0]);
        OrvasimOptions options;
        std::string error;
        EXPECT_FALSE(ParseOptions(args, options, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(OrvasimOptions, HelpNamesEveryOptionAndFault)
{
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    PrintOrvasimHelp(out);
    std::fclose(out);
    const std::string help(text, size);
    free(text);
    for (const OrvasimOption& option : OrvasimOptionTable())
        EXPECT_NE(help.find(option.name), std::string::npos);
    for (const char* fault : {"silent", "echo", "error"})
        EXPECT_NE(help.find(fault), std::string::npos);
}
