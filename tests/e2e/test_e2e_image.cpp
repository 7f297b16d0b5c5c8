// orvabsl image: the built-in image, a TI-Text file, the dump and a refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "loader/BuiltInImage.h"
#include "support/CommandRun.h"
#include "support/FileText.h"

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

class ImageCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orva_e2e_image_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs orvabsl with its per-user data folder inside the test's folder.
    CliRun Orvabsl(const std::string& args)
    {
        const std::string errPath = dir_ + "/stderr.txt";
        const std::string command =
            "XDG_DATA_HOME='" + dir_ + "/data' '" + ORVABSL_EXE + "' " + args + " 2>'" + errPath + "'";
        const CommandRun shell = RunShell(command);
        return CliRun{shell.status, shell.out, ReadFile(errPath)};
    }

    static std::string VectorsLine()
    {
        std::string line = "vectors:";
        char word[8];
        for (const std::uint16_t vector : kBuiltInImage.vectors) {
            std::snprintf(word, sizeof word, " %04X", vector);
            line += word;
        }
        return line + "\n";
    }

    std::string dir_;
};

}  // namespace

TEST_F(ImageCommand, ShowsTheBuiltInImage)
{
    const CliRun run = Orvabsl("image");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "title: Tallix 1.73 for hardware rev C\n"
              "kind: 14 Tallix\n"
              "version: 173\n"
              "length: 202084\n"
              "sum: 11049050\n" +
                  VectorsLine());
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST_F(ImageCommand, LoadsTheFixtureAndDumpsTheSameImage)
{
    const std::string fixture = std::string(ORVA_FIXTURES_DIR) + "/TX-1-73.txt";
    const std::string log = dir_ + "/log.txt";
    CliRun run = Orvabsl("image --file '" + fixture + "' --dump '" + dir_ + "/file.txt' --log '" + log + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "title: TX-1.73\n"
              "kind: 14 Tallix\n"
              "version: 173\n"
              "length: 202084\n"
              "sum: 11049050\n" +
                  VectorsLine());
    const std::string logText = ReadFile(log);
    EXPECT_NE(logText.find("OrvaBSL: BSLLoadTIFile loaded file " + fixture), std::string::npos) << logText;
    EXPECT_NE(logText.find("OrvaBSL: BSLWriteTIFile wrote file " + dir_ + "/file.txt"), std::string::npos);

    // The file holds the built-in image: both dumps are the same.
    run = Orvabsl("image --dump '" + dir_ + "/builtin.txt' --log '" + log + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string dump = ReadFile(dir_ + "/builtin.txt");
    EXPECT_EQ(dump.rfind("@02600\n", 0), 0u);
    EXPECT_TRUE(dump == ReadFile(dir_ + "/file.txt"));
}

TEST_F(ImageCommand, RefusesABadFile)
{
    std::ofstream(dir_ + "/TX-1-80.txt") << "@2600\n80 29 00 26\nq\n";  // no vectors
    const std::string log = dir_ + "/log.txt";
    const CliRun run = Orvabsl("image --file '" + dir_ + "/TX-1-80.txt' --log '" + log + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_EQ(run.err, "error -100: the file \"TX-1-80.txt\" is not a valid firmware file\n");
    EXPECT_NE(ReadFile(log).find("is not a valid TI-Text file"), std::string::npos);

    const CliRun missing = Orvabsl("image --file '" + dir_ + "/none.txt' --log '" + log + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("error -2: ", 0), 0u) << missing.err;
}
