#include <gtest/gtest.h>

#include <cstring>

#include "instrument/InstrumentKind.h"

namespace {

struct ParseCase {
    const char* text;
    int result;
    int kind;
    unsigned version;
    bool updatable;
};

class ParseVersionTextTable : public ::testing::TestWithParam<ParseCase> {};

}  // namespace

TEST_P(ParseVersionTextTable, FillsKindVersionAndResult)
{
    const ParseCase& c = GetParam();
    InstrumentInfo info;
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(ParseVersionText(c.text, &info), c.result);
    EXPECT_EQ(info.kind, c.kind);
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(info.updatable != 0, c.updatable);
    EXPECT_EQ(std::strncmp(info.versionText, c.text, kVersionTextSize - 1), 0);
    EXPECT_EQ(info.versionText[kVersionTextSize - 1], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseVersionTextTable,
    ::testing::Values(ParseCase{"TX 1.73", 1, TALLIX, 173, true}, ParseCase{"tx 1.73", 1, TALLIX, 173, true},
                      ParseCase{"TX 1.7", 1, TALLIX, 170, true}, ParseCase{"TX 2.0", 1, TALLIX, 200, true},
                      ParseCase{"TX 1.234", 1, TALLIX, 123, true}, ParseCase{"TX 1", 1, UNKNOWN, 0, false},
                      ParseCase{"XYZ 1.00", -30, UNKNOWN, 100, false},
                      ParseCase{"KELOX 1.02", 1, KELOX, 102, false}, ParseCase{"KELOX 1.03", 1, KELOX, 103, true},
                      ParseCase{"Kelox 1.03", 1, KELOX, 103, true}, ParseCase{"PL 1.04", 1, PELLORA, 104, false},
                      ParseCase{"HLITE 1.18", 1, HLITE, 118, true}, ParseCase{"LX9 1.49", 1, LX9, 149, false},
                      ParseCase{"HQB 3.51", 1, HQB, 351, true}, ParseCase{"KELO 9.99", 1, KELO, 999, false},
                      ParseCase{"QUORIN-TE 4.06", 1, QUORIN_TE, 406, true},
                      ParseCase{"vapra 1.00", 1, VAPRA, 100, true},
                      ParseCase{"UNKNOWN 1.00", -30, UNKNOWN, 100, false},
                      ParseCase{"END 1.00", -30, UNKNOWN, 100, false},
                      ParseCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZ 1.00", -30, UNKNOWN, 100, false}));

TEST(ParseVersionText, RefusedTextsLeaveInfoAsItWas)
{
    InstrumentInfo info;
    FillInstrumentInfo(KELOX, 105, &info);
    const InstrumentInfo before = info;
    EXPECT_EQ(ParseVersionText("TX x.yz", &info), -30);
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    EXPECT_EQ(ParseVersionText("", &info), -10);
    EXPECT_EQ(ParseVersionText(nullptr, &info), -10);
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    EXPECT_EQ(ParseVersionText("TX 1.73", nullptr), -10);
}

TEST(ParseVersionText, LongTextIsCutTo21Characters)
{
    InstrumentInfo info;
    EXPECT_EQ(ParseVersionText("TX 1.73 build 2019-03-01 rev C", &info), 1);
    EXPECT_STREQ(info.versionText, "TX 1.73 build 2019-03");
}

TEST(FillInstrumentInfo, ReaderOverridesLayout)
{
    InstrumentInfo info;
    ASSERT_EQ(ParseVersionText("TX 1.73", &info), 1);
    EXPECT_STREQ(info.name, "Tallix");
    EXPECT_EQ(info.flashStart, 0x2100u);
    EXPECT_EQ(info.flashEnd, 0x1FF00u);
    EXPECT_EQ(info.infoStart, 0x1000u);
    EXPECT_EQ(info.infoSegments, 3u);
    EXPECT_EQ(info.infoSegmentSize, 64u);
    EXPECT_EQ(info.loaderBaud, 57600u);
    EXPECT_EQ(info.extendedAddressing, 1);
    EXPECT_EQ(info.restartWaitMs, 2000u);
    EXPECT_EQ(info.savesSettings, 1);
    EXPECT_EQ(info.erasesData, 1);
    EXPECT_EQ(info.checksBattery, 1);
    EXPECT_EQ(info.needsLogin, 0);
    EXPECT_EQ(info.setsClock, 1);
    EXPECT_EQ(info.postInit, 0);
    EXPECT_EQ(info.versionWindow, 0);

    FillInstrumentInfo(TALLIX, 999, &info);
    EXPECT_EQ(info.version, 999u);
    EXPECT_EQ(info.updatable, 1);
}

TEST(FillInstrumentInfo, VersionWindowsAndLayouts)
{
    struct Case {
        int kind;
        unsigned window, min, max, flashStart, flashEnd, infoStart, infoSegments, infoSize, baud, extended;
    } cases[] = {
        {HY4, 1, 202, 999, 0x2100, 0x1FF00, 0x1000, 3, 64, 57600, 1},
        {HY4TDL, 1, 200, 299, 0x8000, 0x27FFF, 0x1800, 4, 128, 57600, 1},
        {QUORIN_TE, 1, 406, 999, 0x8000, 0xF9FF, 0x1000, 3, 64, 9600, 0},
        {VAPRA, 0, 0, 0, 0x5C00, 0x3BFFF, 0x1800, 3, 128, 57600, 1},
        {PUMPEX, 0, 0, 0, 0x8000, 0xF9FF, 0x1000, 3, 64, 9600, 0},
        {KELOX, 0, 0, 0, 0x1100, 0xF9FF, 0x1000, 2, 128, 9600, 0},
        {VERDEL, 0, 0, 0, 0x2100, 0x1FF00, 0x1000, 3, 64, 57600, 1},
    };
    for (const Case& c : cases) {
        InstrumentInfo info;
        FillInstrumentInfo(c.kind, 201, &info);
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(info.versionWindow, c.window);
        EXPECT_EQ(info.minVersion, c.min);
        EXPECT_EQ(info.maxVersion, c.max);
        EXPECT_EQ(info.flashStart, c.flashStart);
        EXPECT_EQ(info.flashEnd, c.flashEnd);
        EXPECT_EQ(info.infoStart, c.infoStart);
        EXPECT_EQ(info.infoSegments, c.infoSegments);
        EXPECT_EQ(info.infoSegmentSize, c.infoSize);
        EXPECT_EQ(info.loaderBaud, c.baud);
        EXPECT_EQ(info.extendedAddressing, c.extended);
    }
}

TEST(FillInstrumentInfo, KindsOutsideTheListAreUnknown)
{
    for (int kind : {-1, 0, 25, 100}) {
        InstrumentInfo info;
        FillInstrumentInfo(kind, 150, &info);
        EXPECT_EQ(info.kind, UNKNOWN);
        EXPECT_STREQ(info.name, "UNKNOWN");
        EXPECT_EQ(info.updatable, 0);
        EXPECT_EQ(info.restartWaitMs, 7000u);
    }
}

TEST(KindTable, ShortCodesAndNames)
{
    EXPECT_EQ(FindKindByShortCode("tx"), TALLIX);
    EXPECT_EQ(FindKindByShortCode("QUORIN-TE"), QUORIN_TE);
    EXPECT_EQ(FindKindByShortCode("PSYRA"), PSYRA);
    EXPECT_EQ(FindKindByShortCode("UNKNOWN"), UNKNOWN);
    EXPECT_EQ(FindKindByShortCode("END"), UNKNOWN);
    EXPECT_EQ(FindKindByShortCode(nullptr), UNKNOWN);
    EXPECT_STREQ(KindDisplayName(TALLIX), "Tallix");
    EXPECT_STREQ(KindVersionFinderPath(TALLIX), "/versionfinder/Tallix-Firmware.html");
    EXPECT_STREQ(KindVersionFinderPath(END), "");
    EXPECT_EQ(KindRow(TALLIX).warnsErase, 1);
    EXPECT_EQ(KindRow(HLITE).warnsErase, 0);
}

TEST(FormatVersion, TwoDecimals)
{
    char text[16];
    FormatVersion(173, text, sizeof text);
    EXPECT_STREQ(text, "1.73");
    FormatVersion(0, text, sizeof text);
    EXPECT_STREQ(text, "0.00");
    FormatVersion(200, text, sizeof text);
    EXPECT_STREQ(text, "2.00");
}
