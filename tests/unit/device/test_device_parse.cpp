#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/DeviceParse.h"

namespace {

struct KindCase {
    const char* code;
    int kind;
    const char* typeName;
};

class LoggerKindTable : public ::testing::TestWithParam<KindCase> {};

TEST_P(LoggerKindTable, CodeGivesKindAndTypeName)
{
    const KindCase& c = GetParam();
    EXPECT_EQ(LoggerKindFromCode(c.code), c.kind);
    EXPECT_STREQ(LoggerTypeName(LoggerKindFromCode(c.code)), c.typeName);
}

INSTANTIATE_TEST_SUITE_P(Codes, LoggerKindTable,
                         ::testing::Values(KindCase{"KELO", 2, "Kelo"}, KindCase{"KELOB", 6, "Kelob"},
                                           KindCase{"kelox", 3, "Kelox"}, KindCase{"PL", 4, "Pellora"},
                                           KindCase{"QW", 5, "Quarrow"}, KindCase{"QCD", 8, "QUORIN Comm Dev"},
                                           KindCase{"quorin_cal", 9, "QUORIN Calibrator"}, KindCase{"tx", 10, "Tallix"},
                                           KindCase{"TELVO", 11, "Telvo"}, KindCase{"GVK", 12, "Gorvik"},
                                           KindCase{"TXX", 0, "Unknown"}, KindCase{"", 0, "Unknown"}));

struct CapabilityCase {
    int kind;
    bool newFirmware;
    int version;
    CapabilityMask mask;
};

class CapabilityTable : public ::testing::TestWithParam<CapabilityCase> {};

TEST_P(CapabilityTable, KindAndVersionGiveMask)
{
    const CapabilityCase& c = GetParam();
    EXPECT_EQ(CapabilitiesFor(c.kind, c.newFirmware, c.version), c.mask) << "kind " << c.kind << " v" << c.version;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CapabilityTable,
    ::testing::Values(CapabilityCase{2, false, 110, 0x0000331C}, CapabilityCase{2, true, 110, 0x0000371F},
                      CapabilityCase{3, true, 104, 0x00007737}, CapabilityCase{3, true, 105, 0x000077B7},
                      CapabilityCase{3, true, 108, 0x000077F7}, CapabilityCase{3, true, 112, 0x0000FFF7},
                      CapabilityCase{3, true, 114, 0x0007FFF7}, CapabilityCase{3, true, 118, 0x00C7FFF7},
                      CapabilityCase{3, true, 119, 0x00E7FFF7}, CapabilityCase{3, true, 200, 0x01E7FFF7},
                      CapabilityCase{3, true, 202, 0x05E7FFF7}, CapabilityCase{4, true, 104, 0x00004503},
                      CapabilityCase{4, true, 105, 0x00004583}, CapabilityCase{4, true, 109, 0x00024583},
                      CapabilityCase{6, true, 203, 0x000074BE}, CapabilityCase{6, true, 204, 0x000474BE},
                      CapabilityCase{8, true, 100, 0x00003007}, CapabilityCase{9, true, 100, 0x00010026},
                      CapabilityCase{10, true, 173, 0x001D3083}, CapabilityCase{11, true, 100, 0x05E3FFF7},
                      CapabilityCase{12, true, 100, 0x07C3F6F7}, CapabilityCase{0, true, 100, 0x00001005},
                      CapabilityCase{5, true, 300, 0x00001005}));

struct ClassifyCase {
    const char* received;
    const char* command;
    int result;
};

class ClassifyTable : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTable, Classifies)
{
    const ClassifyCase& c = GetParam();
    EXPECT_EQ(ClassifyAnswer(c.received, c.command), c.result) << c.received;
}

INSTANTIATE_TEST_SUITE_P(Answers, ClassifyTable,
                         ::testing::Values(ClassifyCase{"\rTX 1.73\r\n>", "get -ver\r", kDevOk},
                                           ClassifyCase{"\rERROR\r\n>", "get -ver\r", kDevRefused},
                                           ClassifyCase{"\rUnsupported\r\n>", "get -x\r", kDevRefused},
                                           ClassifyCase{"\rname=a?b\r\n>", "get -i\r", kDevRefused},
                                           ClassifyCase{"get -sn\r\r12345\r\n>", "get -sn\r", kDevEcho},
                                           // An echo wins over a refusal in the same text.
                                           ClassifyCase{"get -sn\r?\r\n>", "get -sn\r", kDevEcho},
                                           // The command without its carriage return is no echo.
                                           ClassifyCase{"\rget -sn 5\r\n>", "get -sn\r", kDevOk}));

TEST(DeviceParse, EmptyAnswerNeedsTwoCarriageReturnsAndPrompt)
{
    EXPECT_TRUE(IsEmptyAnswer("\r\r>"));
    EXPECT_TRUE(IsEmptyAnswer("\r\r>more"));
    EXPECT_FALSE(IsEmptyAnswer("\r\r\n>"));
    EXPECT_FALSE(IsEmptyAnswer("\r>"));
    EXPECT_FALSE(IsEmptyAnswer(""));
}

TEST(DeviceParse, CopyBoundedNeverWritesPastCapacity)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CopyBounded(buffer, 5, "abcdefgh"), 4u);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'x');
    EXPECT_EQ(CopyBounded(buffer, 8, "ab"), 2u);
    EXPECT_STREQ(buffer, "ab");
    buffer[0] = 'q';
    EXPECT_EQ(CopyBounded(buffer, 0, "ab"), 0u);
    EXPECT_EQ(buffer[0], 'q');
}

TEST(DeviceParse, ReadWordIsBoundedAndSkipsLeadingSpace)
{
    char word[9];
    EXPECT_EQ(ReadWord("  KELO0001 rest", word, 8), 8u);
    EXPECT_STREQ(word, "KELO0001");
    EXPECT_EQ(ReadWord("ABCDEFGHIJK", word, 8), 8u);
    EXPECT_STREQ(word, "ABCDEFGH");
    EXPECT_EQ(ReadWord(" \r\n", word, 8), 0u);
    EXPECT_STREQ(word, "");
}

TEST(DeviceParse, TrimSpaceRemovesBothEnds)
{
    char text[] = "\r\n TX 1.73 \r\n";
    TrimSpace(text);
    EXPECT_STREQ(text, "TX 1.73");
    char blank[] = " \t ";
    TrimSpace(blank);
    EXPECT_STREQ(blank, "");
}

struct VersionCase {
    const char* answer;
    int result;
    const char* text;
    const char* code;
    int version;
};

class VersionTable : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTable, ReadsVersionLine)
{
    const VersionCase& c = GetParam();
    VersionLine line{};
    EXPECT_EQ(ParseVersionAnswer(c.answer, &line), c.result);
    if (c.result == kVersionParsed) {
        EXPECT_STREQ(line.text, c.text);
        EXPECT_STREQ(line.code, c.code);
        EXPECT_EQ(line.version, c.version);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, VersionTable,
                         ::testing::Values(VersionCase{"\rTX 1.73\r\n>", kVersionParsed, "TX 1.73", "TX", 173},
                                           VersionCase{"\r\rtx 1.73\r\n>", kVersionParsed, "tx 1.73", "tx", 173},
                                           VersionCase{"\rTX 2.0\r\n>", kVersionParsed, "TX 2.0", "TX", 200},
                                           VersionCase{"\rTX 1.234\r\n>", kVersionParsed, "TX 1.234", "TX", 123},
                                           VersionCase{"\rKELOX 1.19 for hardware rev C\r\n>", kVersionParsed,
                                                       "KELOX 1.19 for hardw", "KELOX", 119},
                                           VersionCase{"\rTX 1.73", kVersionIncomplete, "", "", 0},
                                           VersionCase{"\rTX x.yz\r\n>", kVersionUnreadable, "", "", 0},
                                           VersionCase{"\r.\r\n>", kVersionUnreadable, "", "", 0}));

TEST(DeviceParse, LoaderAcknowledgeNeedsPlusAndFourCharacters)
{
    EXPECT_TRUE(IsLoaderAcknowledge("+12+"));
    EXPECT_TRUE(IsLoaderAcknowledge("\r\r+12+\r"));
    EXPECT_FALSE(IsLoaderAcknowledge("+1+"));
    EXPECT_FALSE(IsLoaderAcknowledge("a+12+"));
}

const char kShow110[] = "\rID: KELO0001\r\nVersion: 1.10\r\nRadio: 2\r\nWake: 15\r\nResets: 7\r\n>";

TEST(DeviceParse, ShowAnswerFillsEveryLabel)
{
    LoggerSettings settings{};
    std::int32_t resets = 0;
    EXPECT_EQ(ParseShowAnswer(kShow110, &settings, &resets), 0);
    EXPECT_STREQ(settings.deviceName, "KELO0001");
    EXPECT_STREQ(settings.versionText, "1.10");
    EXPECT_EQ(settings.version, 110);
    EXPECT_EQ(settings.radioMode, 2u);
    EXPECT_EQ(settings.measurementInterval, 15);
    EXPECT_EQ(resets, 7);
}

TEST(DeviceParse, ShowAnswerBelow110IsNotSupported)
{
    LoggerSettings settings{};
    std::int32_t resets = 0;
    EXPECT_EQ(ParseShowAnswer("\rID: KELO0001\r\nVersion: 1.09\r\nRadio: 2\r\n>", &settings, &resets),
              kDevNotSupported);
    EXPECT_EQ(settings.version, 109);
    EXPECT_EQ(settings.radioMode, 0u);  // not read any more
}

TEST(DeviceParse, ShowAnswerSumsErrorWeightsAndKeepsAbsentFields)
{
    LoggerSettings settings{};
    settings.measurementInterval = 42;
    std::int32_t resets = 3;
    // No name value, radio and resets unreadable, no Wake label at all.
    EXPECT_EQ(ParseShowAnswer("\rVersion: 1.20\r\nRadio: x\r\nResets: -\r\nID:", &settings, &resets), 1 + 4 + 16);
    EXPECT_EQ(settings.version, 120);
    EXPECT_EQ(settings.measurementInterval, 42);
    EXPECT_EQ(resets, 3);
}

TEST(DeviceParse, ShowIdReadsAtMostEightCharacters)
{
    char id[9];
    EXPECT_EQ(ParseShowId("\rID: ABCDEFGHIJ\r\n>", id, sizeof id), kDevOk);
    EXPECT_STREQ(id, "ABCDEFGH");
    EXPECT_EQ(ParseShowId("\rVersion: 1.10\r\n>", id, sizeof id), kDevBadAnswer);
    EXPECT_STREQ(id, "");
    EXPECT_EQ(ParseShowId("\rID:", id, sizeof id), kDevBadAnswer);
}

TEST(DeviceParse, OrvaSecondsCountFromLocal2000)
{
    // 2000-01-02 00:00:00 UTC, seen from a zone five hours east: its local
    // midnight is five hours earlier in UTC.
    const std::time_t utcMidnight = 946684800 + 86400;
    EXPECT_EQ(OrvaSecondsAt(utcMidnight, 0), 86400);
    EXPECT_EQ(OrvaSecondsAt(utcMidnight - 5 * 3600, 5 * 3600), 86400);
    EXPECT_EQ(OrvaSecondsAt(utcMidnight + 8 * 3600, -8 * 3600), 86400);
}

}  // namespace
