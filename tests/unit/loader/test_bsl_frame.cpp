// Frames, checksums and answers of the loader protocol, without a port.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "loader/BSLFrame.h"

namespace {

std::string Build(char letter, const std::string& payload, std::size_t capacity = kBSLMaxFrame, int* result = nullptr)
{
    std::vector<char> out(capacity + 8, '#');  // the tail shows any write past capacity
    const int n = BSLBuildFrame(letter, payload.data(), payload.size(), out.data(), capacity);
    if (result) *result = n;
    for (std::size_t i = capacity; i < out.size(); ++i)
        EXPECT_EQ(out[i], '#') << "written past the buffer at " << i;
    return n < 0 ? std::string() : std::string(out.data(), static_cast<std::size_t>(n));
}

std::string Numbers(const std::vector<std::uint32_t>& numbers, bool fiveDigit, int* result = nullptr)
{
    char out[kBSLMaxNumbers * 5 + 1];
    const int n = BSLFormatNumbers(numbers.data(), static_cast<unsigned>(numbers.size()), fiveDigit, out, sizeof out);
    if (result) *result = n;
    return n < 0 ? std::string() : std::string(out, static_cast<std::size_t>(n));
}

}  // namespace

TEST(BSLFrame, TheVersionQueryIsGSeparatorAndChecksum0095)
{
    // 103 + 46 = 149 = 0x95
    EXPECT_EQ(BSLChecksum('g', nullptr, 0), 0x95u);
    EXPECT_EQ(Build('g', ""), "g.0095\r");
}

TEST(BSLFrame, AnEraseOf2100InFourDigitsHasChecksum0149)
{
    // 88 + 50 + 49 + 48 + 48 + 46 = 329 = 0x149
    const std::string payload = Numbers({0x2100}, false);
    EXPECT_EQ(payload, "2100");
    EXPECT_EQ(Build('X', payload), "X2100.0149\r");
}

TEST(BSLFrame, TheChecksumIsTakenModulo0xFFFF)
{
    // 'A' + '.' = 111, 256 x 0xFF = 65280, one 0x90 = 144: 65535 in all,
    // which is 0 modulo 0xFFFF (and would be FFFF modulo 0x10000).
    std::string payload(256, '\xFF');
    payload += '\x90';
    EXPECT_EQ(BSLChecksum('A', payload.data(), payload.size()), 0u);
    EXPECT_EQ(Build('A', payload).substr(payload.size() + 1), ".0000\r");
    payload.back() = '\x91';
    EXPECT_EQ(BSLChecksum('A', payload.data(), payload.size()), 1u);
}

TEST(BSLFrame, NumbersAreFourOrFiveDigitsAndMustFit)
{
    struct Case {
        std::vector<std::uint32_t> numbers;
        bool fiveDigit;
        int result;
        const char* text;
    };
    const std::vector<Case> cases = {
        {{0x2100}, false, 4, "2100"},
        {{0x2100}, true, 5, "02100"},
        {{0x1FE00, 0xFFFFF}, true, 10, "1FE00FFFFF"},
        {{0xFFE0, 0x0001}, false, 8, "FFE00001"},
        {{}, false, 0, ""},
        {{0x10000}, false, -11, ""},  // four digits cannot hold it
        {{0x100000}, true, -11, ""},  // nor five
        {{1, 0x12345}, false, -11, ""},
    };
    for (const Case& c : cases) {
        int result = 0;
        EXPECT_EQ(Numbers(c.numbers, c.fiveDigit, &result), c.text);
        EXPECT_EQ(result, c.result);
    }
    int result = 0;
    Numbers(std::vector<std::uint32_t>(kBSLMaxNumbers, 0xFFFF), false, &result);
    EXPECT_EQ(result, 512);
    Numbers(std::vector<std::uint32_t>(kBSLMaxNumbers + 1, 1), false, &result);
    EXPECT_EQ(result, -11);
    char out[8];
    EXPECT_EQ(BSLFormatNumbers(nullptr, 1, false, out, sizeof out), -10);
    const std::uint32_t two[] = {1, 2};
    EXPECT_EQ(BSLFormatNumbers(two, 2, false, out, sizeof out), -11);  // 8 digits and a NUL do not fit 8
}

TEST(BSLFrame, AFrameNeverOutgrowsItsBuffer)
{
    int result = 0;
    const std::string longest(kBSLMaxText, 'A');
    const std::string frame = Build('W', longest, kBSLMaxFrame, &result);
    EXPECT_EQ(result, 519);  // letter, 512, separator, four digits, carriage return
    EXPECT_EQ(frame.substr(0, 513), "W" + longest);
    EXPECT_EQ(frame.back(), '\r');

    Build('W', longest + "A", kBSLMaxFrame + 100, &result);
    EXPECT_EQ(result, -11);
    Build('W', "ABCD", 11, &result);  // needs 12 with its NUL
    EXPECT_EQ(result, -11);
    EXPECT_EQ(Build('W', "ABCD", 12, &result), "WABCD.018F\r");
    char out[16];
    EXPECT_EQ(BSLBuildFrame('W', nullptr, 4, out, sizeof out), -10);
    EXPECT_EQ(BSLBuildFrame('W', "AB", 2, nullptr, 0), -10);
}

TEST(BSLFrame, AnswersAreJudgedByTheirFirstCharacters)
{
    struct Case {
        const char* answer;
        int failedStep;
        int result;
    };
    const Case cases[] = {
        {"+", 0, 1},      {"+\r", 0, 2}, {"+12+\r", 0, 5}, {"\r+", 0, 2},      {"-", 0, -1},
        {"-\r", 0, -1},   {"?", 0, -1},  {"", 0, -21},     {"", -5, -5},       {"#!", 0, -1},
        {"#!", -21, -21}, {"$", 0, -1},  {"+x", -21, 2},   {"ERROR\r", 0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BSLJudgeAnswer(c.answer, static_cast<int>(std::strlen(c.answer)), c.failedStep), c.result)
            << '"' << c.answer << "\" " << c.failedStep;
}

TEST(BSLFrame, TheLoaderVersionIsBetweenPlusSigns)
{
    std::int32_t version = 0;
    EXPECT_TRUE(BSLReadLoaderVersion("+12+\r", &version));
    EXPECT_EQ(version, 12);
    EXPECT_TRUE(BSLReadLoaderVersion("+7", &version));
    EXPECT_EQ(version, 7);
    EXPECT_FALSE(BSLReadLoaderVersion("+\r", &version));
    EXPECT_FALSE(BSLReadLoaderVersion("-12+", &version));
    EXPECT_FALSE(BSLReadLoaderVersion(nullptr, &version));
}

TEST(BSLFrame, TheProtectedRangeIsFA00ToFFFF)
{
    EXPECT_FALSE(BSLIsProtectedAddress(0xF9FF));
    EXPECT_TRUE(BSLIsProtectedAddress(0xFA00));
    EXPECT_TRUE(BSLIsProtectedAddress(0xFFFF));
    EXPECT_FALSE(BSLIsProtectedAddress(0x10000));
}
