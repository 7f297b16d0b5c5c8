#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "log/OrvaLog.h"
#include "support/FileText.h"

namespace fs = std::filesystem;

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("orvalog-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = dir_ / "Tallix Firmware Updater.errors.txt";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    fs::path path_;
};

// 1 March 2019, 9:05:03 local time.
std::time_t FixedMorning()
{
    std::tm t{};
    t.tm_year = 2019 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 1;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace

TEST_F(LogTest, LineFormatIsDateTagMessageCrLf)
{
    OrvaLog log(path_.c_str(), 30);
    log.SetTimeSource(&FixedMorning);
    const int n = log.LogMessage(1, "OrvaBSL", "BSLSendVectors %s", "successful");
    const std::string expected = "1 Mar 2019 9:05:03 - OrvaBSL: BSLSendVectors successful\r\n";
    EXPECT_EQ(ReadFile(path_), expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));
}

TEST_F(LogTest, RealClockLineParsesAsDate)
{
    OrvaLog log(path_.c_str(), 30);
    log.LogMessage(10, "COM4", "value %d", 42);
    const std::string line = ReadFile(path_);
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    char month[4] = {};
    char rest[64] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "%d %3s %d %d:%d:%d - %63[^\r]", &day, month, &year, &hour, &minute, &second,
                          rest),
              7);
    EXPECT_GE(year, 2020);
    EXPECT_STREQ(rest, "COM4: value 42");
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
}

TEST_F(LogTest, DateTextPadsMinutesAndSecondsOnly)
{
    std::tm t{};
    t.tm_year = 2019 - 1900;
    t.tm_mon = 7;
    t.tm_mday = 9;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(OrvaLog::FormatDate(t), "9 Aug 2019 7:05:03");
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 59;
    EXPECT_EQ(OrvaLog::FormatDate(t), "31 Dec 2019 23:59:59");
}

TEST_F(LogTest, ThresholdsFilterByLevel)
{
    struct Case {
        unsigned threshold, level;
        bool written;
    } cases[] = {{1, 30, false}, {30, 30, true}, {40, 30, true}, {0, 1, false}, {1, 1, true}, {10, 40, false}};
    for (const Case& c : cases) {
        fs::remove(path_);
        OrvaLog log(path_.c_str(), c.threshold);
        const int n = log.LogMessage(c.level, "T", "x");
        EXPECT_EQ(n > 0, c.written) << "threshold " << c.threshold << " level " << c.level;
        EXPECT_EQ(fs::exists(path_), c.written) << "threshold " << c.threshold << " level " << c.level;
    }
}

TEST_F(LogTest, InvalidThresholdsStoreOneOrAreRefused)
{
    OrvaLog log(path_.c_str(), 5);
    EXPECT_EQ(log.GetLogLevel(), 1u);
    EXPECT_TRUE(log.SetLogLevel(40));
    EXPECT_EQ(log.GetLogLevel(), 40u);
    EXPECT_FALSE(log.SetLogLevel(5));
    EXPECT_EQ(log.GetLogLevel(), 40u);
    EXPECT_TRUE(log.SetLogLevel(0));
    EXPECT_EQ(log.LogMessage(1, "T", "nothing"), 0);
}

TEST_F(LogTest, ConstructionTouchesNoFileAndLinesAccumulate)
{
    WriteFile(path_, "earlier run\r\n");
    {
        OrvaLog log(path_.c_str(), 30);
        EXPECT_EQ(ReadFile(path_), "earlier run\r\n");
        log.LogMessage(1, "A", "one");
    }
    OrvaLog again(path_.c_str(), 30);
    again.LogMessage(1, "B", "two\nlines");
    const std::string text = ReadFile(path_);
    EXPECT_EQ(text.rfind("earlier run\r\n", 0), 0u);
    EXPECT_NE(text.find("A: one\r\n"), std::string::npos);
    EXPECT_NE(text.find("B: two\nlines\r\n"), std::string::npos);
}

TEST_F(LogTest, NullPathWritesErrorTxtInWorkingDirectory)
{
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    OrvaLog log(nullptr, 30);
    log.LogMessage(1, "T", "here");
    fs::current_path(before);
    EXPECT_NE(ReadFile(dir_ / "error.txt").find("T: here\r\n"), std::string::npos);
}

TEST_F(LogTest, UnwritableFileLosesTheMessageQuietly)
{
    OrvaLog log((dir_ / "missing-folder" / "log.txt").c_str(), 30);
    EXPECT_EQ(log.LogMessage(1, "T", "lost"), 0);
}

TEST_F(LogTest, GetLogSizeOnMissingEmptyAndFilledFiles)
{
    OrvaLog log(path_.c_str(), 30);
    EXPECT_EQ(log.GetLogSize(), -ENOENT);
    WriteFile(path_, "");
    EXPECT_EQ(log.GetLogSize(), 0);
    WriteFile(path_, std::string(1234, 'x'));
    EXPECT_EQ(log.GetLogSize(), 1234);
}

TEST_F(LogTest, TrimLeavesSmallFileAsItIs)
{
    const std::string text = std::string(9998, 'a') + "\r\n";
    WriteFile(path_, text);
    OrvaLog log(path_.c_str(), 30);
    EXPECT_TRUE(log.TrimLog(32768));
    EXPECT_EQ(ReadFile(path_), text);
}

TEST_F(LogTest, TrimKeepsTailStartingAfterALineFeed)
{
    std::string text;
    for (int i = 0; text.size() < 100000; ++i) text += "line " + std::to_string(i) + " of the log\r\n";
    WriteFile(path_, text);
    OrvaLog log(path_.c_str(), 30);
    EXPECT_TRUE(log.TrimLog(32768));
    const std::string kept = ReadFile(path_);
    EXPECT_LE(kept.size(), 32768u);
    EXPECT_GT(kept.size(), 32000u);
    EXPECT_EQ(kept.rfind("line ", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - kept.size()), kept);
    EXPECT_EQ(text[text.size() - kept.size() - 1], '\n');
    EXPECT_FALSE(fs::exists(path_.string() + ".temp"));
}

TEST_F(LogTest, TrimWithoutLineFeedInTailEmptiesTheFile)
{
    WriteFile(path_, "head\n" + std::string(50000, 'z'));
    OrvaLog log(path_.c_str(), 30);
    EXPECT_TRUE(log.TrimLog(32768));
    EXPECT_EQ(fs::file_size(path_), 0u);
}

TEST_F(LogTest, TrimFailureLeavesLogUntouched)
{
    const std::string text = std::string(40000, 'q') + "\nend\r\n";
    WriteFile(path_, text);
    // A folder where the temporary file should go makes it impossible to create.
    fs::create_directory(path_.string() + ".temp");
    OrvaLog log(path_.c_str(), 30);
    EXPECT_FALSE(log.TrimLog(32768));
    EXPECT_EQ(ReadFile(path_), text);
    OrvaLog missing((dir_ / "none.txt").c_str(), 30);
    EXPECT_FALSE(missing.TrimLog(10));
}

TEST_F(LogTest, InterruptedTrimKeepsTheTail)
{
    // A trim that was cut off after the log was removed leaves only the
    // temporary file: the next message must not bury the kept tail.
    const fs::path temp = path_.string() + ".temp";
    WriteFile(temp, "kept tail\r\n");
    OrvaLog log(path_.c_str(), 30);
    log.LogMessage(1, "T", "after");
    const std::string text = ReadFile(path_);
    EXPECT_EQ(text.rfind("kept tail\r\n", 0), 0u);
    EXPECT_NE(text.find("T: after\r\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(LogTest, StaleTemporaryFileIsReplacedByTheNextTrim)
{
    const fs::path temp = path_.string() + ".temp";
    WriteFile(temp, "stale half-written tail");
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "entry " + std::to_string(i) + "\r\n";
    WriteFile(path_, text);
    OrvaLog log(path_.c_str(), 30);
    EXPECT_TRUE(log.TrimLog(1000));
    const std::string kept = ReadFile(path_);
    EXPECT_EQ(text.substr(text.size() - kept.size()), kept);
    EXPECT_EQ(kept.find("stale"), std::string::npos);
    EXPECT_FALSE(fs::exists(temp));
}
