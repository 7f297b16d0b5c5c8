// The plain helpers of the logger settings commands: reading rules, the ADC
// calibration checksum, checks on values before they are sent, the trait,
// and the device name check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/QUORIN_Protocol.h"
#include "device/SettingsParsing.h"

namespace {

// --- whole numbers under the rules A (after the first CR), C (after white
// space) and D (from the start) ---

struct IntCase {
    const char* answer;
    ValueStart rule;
    bool found;
    int value;
};

class ReadIntRule : public ::testing::TestWithParam<IntCase> {};

TEST_P(ReadIntRule, TakesTheNumberWhereTheRuleSays)
{
    const IntCase& c = GetParam();
    int value = -12345;
    EXPECT_EQ(ReadSettingInt(c.answer, c.rule, &value), c.found) << c.answer;
    EXPECT_EQ(value, c.found ? c.value : -12345);
}

INSTANTIATE_TEST_SUITE_P(Rules, ReadIntRule,
                         ::testing::Values(IntCase{"\r15\r\n>", ValueStart::AfterFirstReturn, true, 15},
                                           // A: the text before the first CR is not looked at.
                                           IntCase{"7\r15\r\n>", ValueStart::AfterFirstReturn, true, 15},
                                           IntCase{"42", ValueStart::AfterFirstReturn, true, 42},
                                           IntCase{"\r\r\n>", ValueStart::AfterFirstReturn, false, 0},
                                           IntCase{"  -28\r\n>", ValueStart::AfterSpace, true, -28},
                                           IntCase{"\r+5020\r\n>", ValueStart::AfterSpace, true, 5020},
                                           IntCase{"\rnone\r\n>", ValueStart::AfterSpace, false, 0},
                                           IntCase{"\r3\r\n>", ValueStart::Start, true, 3},
                                           IntCase{"x3", ValueStart::Start, false, 0},
                                           // A number that does not fit an int is no number.
                                           IntCase{"\r99999999999\r\n>", ValueStart::Start, false, 0}));

TEST(ReadSettingDouble, ReadsARealAfterWhiteSpaceAndRefusesTheRest)
{
    double value = 1.5;
    EXPECT_TRUE(ReadSettingDouble("\r+46.73120\r\n>", ValueStart::AfterSpace, &value));
    EXPECT_DOUBLE_EQ(value, 46.7312);
    EXPECT_TRUE(ReadSettingDouble("\r-117.5\r\n>", ValueStart::AfterSpace, &value));
    EXPECT_DOUBLE_EQ(value, -117.5);
    value = 1.5;
    EXPECT_FALSE(ReadSettingDouble("\r\r\n>", ValueStart::AfterSpace, &value));
    EXPECT_FALSE(ReadSettingDouble("\rnan\r\n>", ValueStart::AfterSpace, &value));
    EXPECT_DOUBLE_EQ(value, 1.5);
}

// --- text values (rule B) ---

struct TextCase {
    const char* answer;
    unsigned maxChars;
    int result;
    const char* text;
};

class ReadTextRule : public ::testing::TestWithParam<TextCase> {};

TEST_P(ReadTextRule, CopiesTheLineAfterWhiteSpace)
{
    const TextCase& c = GetParam();
    char out[64];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ReadSettingText(c.answer, out, c.maxChars), c.result);
    EXPECT_STREQ(out, c.text);
}

INSTANTIATE_TEST_SUITE_P(RuleB, ReadTextRule,
                         ::testing::Values(TextCase{"\rNorth Field\r\n>", 25, 1, "North Field"},
                                           TextCase{"  \r\n internet.example\r\n>", 35, 1, "internet.example"},
                                           // At most N characters.
                                           TextCase{"\r0123456789ABCDEF\r\n>", 8, 1, "01234567"},
                                           TextCase{"\rno line end", 35, 1, "no line end"},
                                           // A prompt where the value should be: empty.
                                           TextCase{"\r\n>", 25, kDevEmptyAnswer, ""},
                                           TextCase{"", 25, kDevBadAnswer, ""}));

TEST(ReadSerialNumberText, TakesTheLineAfterTheFirstReturnAtMost15Characters)
{
    char out[16];
    EXPECT_EQ(ReadSerialNumberText("\rKX-20391\r\n>", out, 15), 8u);
    EXPECT_STREQ(out, "KX-20391");
    EXPECT_EQ(ReadSerialNumberText("\r0123456789ABCDEFGH\r\n>", out, 15), 15u);
    EXPECT_STREQ(out, "0123456789ABCDE");
    EXPECT_EQ(ReadSerialNumberText("\r\r\n>", out, 15), 0u);
    EXPECT_STREQ(out, "");
}

TEST(ReadBuildText, APromptIsEmptyAndTheValueIsCutTo16)
{
    char out[17];
    EXPECT_EQ(ReadBuildText("\rB1234-rel\r\n>", out, 16), 1);
    EXPECT_STREQ(out, "B1234-rel");
    EXPECT_EQ(ReadBuildText("\r>", out, 16), kDevEmptyAnswer);
    EXPECT_EQ(ReadBuildText("\r\r\n>", out, 16), kDevBadAnswer);
    EXPECT_EQ(ReadBuildText("\r0123456789abcdefXYZ\r\n>", out, 16), 1);
    EXPECT_STREQ(out, "0123456789abcdef");
}

// --- five numbers ---

struct FiveCase {
    const char* text;
    int count;
    std::uint8_t values[kLoggerChannels];
};

class ReadFive : public ::testing::TestWithParam<FiveCase> {};

TEST_P(ReadFive, ClampsEachValueTo255)
{
    const FiveCase& c = GetParam();
    std::uint8_t out[kLoggerChannels] = {9, 9, 9, 9, 9};
    EXPECT_EQ(ReadFiveBytes(c.text, out), c.count);
    for (int i = 0; i < kLoggerChannels; ++i)
        EXPECT_EQ(out[i], c.values[i]) << "value " << i;
}

INSTANTIATE_TEST_SUITE_P(Numbers, ReadFive,
                         ::testing::Values(FiveCase{"\r10 20 30 40 50\r\n>", 5, {10, 20, 30, 40, 50}},
                                           FiveCase{"\r300 0 255 256 -4\r\n>", 5, {255, 0, 255, 255, 255}},
                                           FiveCase{"\r1 2 3 4\r\n>", 4, {1, 2, 3, 4, 9}},
                                           FiveCase{"\r1 2 3 4 5 6\r\n>", 5, {1, 2, 3, 4, 5}},
                                           FiveCase{"\r\r\n>", 0, {9, 9, 9, 9, 9}}));

// --- ADC calibration ---

TEST(AdcChecksum, IsTheSumOfSlopesAndOffsetsModulo256)
{
    const std::uint8_t slopes[5] = {128, 129, 130, 131, 132};
    const std::uint8_t offsets[5] = {10, 11, 12, 13, 14};
    EXPECT_EQ(AdcChecksum(slopes, offsets, 5), (650u + 60u) % 256u);
    EXPECT_EQ(AdcChecksum(slopes, offsets, 1), 138u);
}

struct AdcCase {
    const char* answer;
    bool shortForm;
    int result;
    int numbers;
    bool valuesValid;
    bool checksumValid;
};

class ReadAdc : public ::testing::TestWithParam<AdcCase> {};

TEST_P(ReadAdc, StoresTheValuesAndChecksThem)
{
    const AdcCase& c = GetParam();
    std::uint8_t slopes[5] = {7, 7, 7, 7, 7};
    std::uint8_t offsets[5] = {7, 7, 7, 7, 7};
    AdcReading reading;
    EXPECT_EQ(ReadAdcAnswer(c.answer, c.shortForm, slopes, offsets, &reading), c.result) << c.answer;
    EXPECT_EQ(reading.numbers, c.numbers);
    EXPECT_EQ(reading.valuesValid, c.valuesValid);
    EXPECT_EQ(reading.checksumValid, c.checksumValid);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReadAdc,
    ::testing::Values(
        // 128+10+129+11+130+12+131+13+132+14 = 710, 710 % 256 = 198
        AdcCase{"\r128 10 129 11 130 12 131 13 132 14 198\r\n>", false, 1, 11, true, true},
        AdcCase{"\r128 10 129 11 130 12 131 13 132 14 199\r\n>", false, kDevUnsupported, 11, true, false},
        // 0 and 300 are stored as 0 and 255 and make the values not valid;
        // the checksum is that of the stored values: 0+10+255+11+130+12+131+13+132+14 = 708 % 256 = 196
        AdcCase{"\r0 10 300 11 130 12 131 13 132 14 196\r\n>", false, kDevUnsupported, 11, false, true},
        AdcCase{"\r128 10 129 11 130\r\n>", false, kDevBadAnswer, 5, true, true},
        AdcCase{"\r128 10 138\r\n>", true, 1, 3, true, true},
        AdcCase{"\r128 10 139\r\n>", true, kDevUnsupported, 3, true, false},
        AdcCase{"\r128 10 129 11 130 12 131 13 132 14 198\r\n>", true, kDevBadAnswer, 11, true, true}));

TEST(ReadAdc, AWrongCountStoresNothing)
{
    std::uint8_t slopes[5] = {7, 7, 7, 7, 7};
    std::uint8_t offsets[5] = {7, 7, 7, 7, 7};
    AdcReading reading;
    EXPECT_EQ(ReadAdcAnswer("\r1 2 3 4\r\n>", false, slopes, offsets, &reading), kDevBadAnswer);
    EXPECT_EQ(slopes[0], 7);
    EXPECT_EQ(offsets[0], 7);
}

// --- checks before sending ---

TEST(IsAuthKey, NeedsThirtyTwoHexadecimalDigits)
{
    EXPECT_TRUE(IsAuthKey("0123456789ABCDEF0123456789abcdef"));
    EXPECT_TRUE(IsAuthKey("0123456789ABCDEF0123456789abcdef01234567"));  // 40: the first 32 count
    EXPECT_FALSE(IsAuthKey("0123456789ABCDEF0123456789abcde"));          // 31
    EXPECT_FALSE(IsAuthKey("0123456789ABCDEF0123456789abcdeG"));
    EXPECT_FALSE(IsAuthKey(""));
    EXPECT_FALSE(IsAuthKey(nullptr));
}

TEST(IsSendableText, RefusesControlCharactersThatWouldEndTheCommand)
{
    EXPECT_TRUE(IsSendableText("North Field Station"));
    EXPECT_TRUE(IsSendableText(""));
    EXPECT_FALSE(IsSendableText("abc\ryes"));
    EXPECT_FALSE(IsSendableText("abc\n"));
    EXPECT_FALSE(IsSendableText("tab\there"));
    EXPECT_FALSE(IsSendableText("del\x7f"));
    EXPECT_FALSE(IsSendableText(nullptr));
}

TEST(MaskSecretCommand, HidesThePasswordAndTheKeyOnly)
{
    char out[64];
    EXPECT_TRUE(MaskSecretCommand("set -passwd hunter2\r", out, sizeof out));
    EXPECT_STREQ(out, "set -passwd ********\r");
    EXPECT_TRUE(MaskSecretCommand("set -authkey 0123456789ABCDEF0123456789ABCDEF\r", out, sizeof out));
    EXPECT_STREQ(out, "set -authkey ********\r");
    EXPECT_FALSE(MaskSecretCommand("set -apn internet\r", out, sizeof out));
    EXPECT_FALSE(MaskSecretCommand("get -passwd\r", out, sizeof out));
}

// --- the trait ---

TEST(Trait, TellsRadioAndModemOnlyWhenKnown)
{
    EXPECT_EQ(TraitHasRadio(0x0001), -1);
    EXPECT_EQ(TraitHasRadio(0x4000), 0);
    EXPECT_EQ(TraitHasRadio(0x4001), 1);
    EXPECT_EQ(TraitHasRadio(0x4008), 0);
    EXPECT_EQ(TraitHasCellularModem(0x0008, kLoggerKelox), -1);
    EXPECT_EQ(TraitHasCellularModem(0x4009, kLoggerKelox), 1);
    EXPECT_EQ(TraitHasCellularModem(0x4001, kLoggerKelox), 0);
    // Only a Kelox has a cellular modem.
    EXPECT_EQ(TraitHasCellularModem(0x4009, kLoggerTelvo), 0);
}

TEST(QuarterHours, RoundTowardZero)
{
    EXPECT_EQ(QuarterHoursFromUtcOffset(-5 * 3600), -20);
    EXPECT_EQ(QuarterHoursFromUtcOffset(5 * 3600 + 1800), 22);
    EXPECT_EQ(QuarterHoursFromUtcOffset(-899), 0);
    EXPECT_EQ(QuarterHoursFromUtcOffset(-901), -1);
    EXPECT_EQ(QuarterHoursFromUtcOffset(0), 0);
}

// --- the device name ---

struct NameCase {
    const char* name;
    int result;
};

class DeviceNameCheck : public ::testing::TestWithParam<NameCase> {};

TEST_P(DeviceNameCheck, GivesTheCodeOfTheFirstOffence)
{
    EXPECT_EQ(QUORIN_Protocol::ValidateDeviceName(GetParam().name), GetParam().result)
        << (GetParam().name ? GetParam().name : "(null)");
}

INSTANTIATE_TEST_SUITE_P(
    Names, DeviceNameCheck,
    ::testing::Values(NameCase{"KELOX001", 1}, NameCase{"a1", 1}, NameCase{"KELOX0012", kDevNameTooLong},
                      NameCase{"", kDevNameEmpty}, NameCase{nullptr, kDevNameEmpty}, NameCase{"set", kDevNameReserved},
                      NameCase{"SET", 1}, NameCase{"OK", kDevNameReserved}, NameCase{"Unsupported", kDevNameTooLong},
                      NameCase{"ERROR", kDevNameReserved}, NameCase{"boot", kDevNameReserved},
                      NameCase{"my box", kDevNameBadCharacter}, NameCase{"a\tb", kDevNameBadCharacter},
                      NameCase{"a\x7f", kDevNameBadCharacter}, NameCase{"a\xff", kDevNameBadCharacter},
                      NameCase{"st:1", kDevNameBadSymbol}, NameCase{"a?", kDevNameBadSymbol},
                      NameCase{"a,b", kDevNameBadSymbol}, NameCase{"a\"b", kDevNameBadSymbol},
                      NameCase{"caf\xe9", kDevNameNotAscii},
                      // The first offending character decides.
                      NameCase{"\xe9 ", kDevNameNotAscii}, NameCase{" \xe9", kDevNameBadCharacter}));

}  // namespace
