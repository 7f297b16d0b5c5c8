#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "loader/TITextImage.h"
#include "support/FirmwareImage.h"

namespace {

struct LoadCase {
    const char* name;
    std::string file;
    int result;
    TITextFault fault;
    const char* text;  // expected compact text on success
};

std::string Text(const TITextImage& image)
{
    return std::string(image.text.get(), image.length);
}

class ParseTable : public ::testing::TestWithParam<LoadCase> {};

}  // namespace

TEST_P(ParseTable, GivesCompactTextOrRefuses)
{
    const LoadCase& c = GetParam();
    TITextImage image;
    TITextFault fault = TITextFault::kNone;
    EXPECT_EQ(ParseTIText(c.file.data(), c.file.size(), &image, &fault), c.result);
    EXPECT_EQ(fault, c.fault);
    if (c.result == 1) {
        ASSERT_NE(image.text, nullptr);
        EXPECT_EQ(Text(image), c.text);
        EXPECT_EQ(std::strlen(image.text.get()), image.length);
    } else {
        EXPECT_EQ(image.text, nullptr);  // untouched
        EXPECT_EQ(image.length, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseTable,
    ::testing::Values(
        LoadCase{"WordsSwapped", "@2600\n80 29 00 26\n" + VectorLines() + "q\n", 1, TITextFault::kNone,
                 "@0260029802600"},
        LoadCase{"OddCountEndsWithFF", "@2600\n01 02 03\n" + VectorLines() + "q\n", 1, TITextFault::kNone,
                 "@026000201FF03"},
        LoadCase{"OneDigitLeftOverFilledWithF", "@2600\n01 02 0\n" + VectorLines() + "q\n", 1, TITextFault::kNone,
                 "@026000201FF0F"},
        LoadCase{"SegmentAt10000", "@10000\nAB CD\n" + VectorLines() + "q\n", 1, TITextFault::kNone, "@10000CDAB"},
        LoadCase{"FB00DroppedFE00Kept", "@FB00\n11 22\n@FE00\n33 44\n" + VectorLines() + "q\n", 1, TITextFault::kNone,
                 "@0FE004433"},
        LoadCase{"FA00AndFDFEDroppedF9FEAndFDFFKept",
                 "@F9FE\n01 02\n@FA00\n03 04\n@FDFE\n05 06\n@FDFF\n07 08\n" + VectorLines() + "q\n", 1,
                 TITextFault::kNone, "@0F9FE0201@0FDFF0807"},
        LoadCase{"BlanksTabsAndReturns", "@2600\r\n80\t29  00 \r26\r\n" + VectorLines() + "q\r\n", 1,
                 TITextFault::kNone, "@0260029802600"},
        LoadCase{"LowerCaseKeptAsWritten", "@2600\nab cd ef 01\n" + VectorLines() + "q\n", 1, TITextFault::kNone,
                 "@02600cdab01ef"},
        LoadCase{"SegmentsInFileOrder", "@3000\n01 02\n@2600\n03 04\n" + VectorLines() + "q\n", 1, TITextFault::kNone,
                 "@030000201@026000403"},
        LoadCase{"OnlyVectorsGiveEmptyText", VectorLines() + "q\n", 1, TITextFault::kNone, ""},
        LoadCase{"TextAfterEndMarkIgnored", "@2600\n01 02\n" + VectorLines() + "q\n@3000\nzz\n", 1, TITextFault::kNone,
                 "@026000201"},
        LoadCase{"HighestSegmentFits", "@FFFFE\n01 02\n" + VectorLines() + "q\n", 1, TITextFault::kNone, "@FFFFE0201"},
        LoadCase{"NoEndMark", "@2600\n80 29 00 26\n" + VectorLines(), -100, TITextFault::kNotTIText, ""},
        LoadCase{"NoLeadingAt", "\n@2600\n80 29\n" + VectorLines() + "q\n", -100, TITextFault::kNotTIText, ""},
        LoadCase{"Empty", "", -100, TITextFault::kNotTIText, ""},
        LoadCase{"EndMarkBehindZeroByte", std::string("@2600\n01 02\n") + VectorLines() + '\0' + "q\n", -100,
                 TITextFault::kNotTIText, ""},
        LoadCase{"OneByteVectorAtFFFE", "@2600\n01 02\n@FFFE\n00\nq\n", -100, TITextFault::kIncompleteVector, ""},
        LoadCase{"NoVectorSegment", "@2600\n01 02\nq\n", -100, TITextFault::kNoVectors, ""},
        LoadCase{"UnreadableAddress", "@xyz\n01 02\n" + VectorLines() + "q\n", -100, TITextFault::kBadAddress, ""},
        LoadCase{"NoLineFeedAfterAddress", "@2600 01 02 @FFE0 01 02q", -100, TITextFault::kNoLineFeed, ""},
        LoadCase{"AddressOf100000", "@100000\n01 02\n" + VectorLines() + "q\n", -100, TITextFault::kAddressTooHigh, ""},
        LoadCase{"HugeAddressDoesNotWrap", "@1000000002600\n01 02\n" + VectorLines() + "q\n", -100,
                 TITextFault::kAddressTooHigh, ""},
        LoadCase{"NegativeAddress", "@-1\n01 02\n" + VectorLines() + "q\n", -100, TITextFault::kAddressTooHigh, ""},
        LoadCase{"SegmentRunningPastFFFFF", "@FFFFE\n01 02 03\n" + VectorLines() + "q\n", -100,
                 TITextFault::kAddressTooHigh, ""},
        LoadCase{"SeventeenVectorWords", VectorLines() + "01 02\nq\n", -100, TITextFault::kTooManyVectors, ""},
        LoadCase{"VectorsFromFFF0RunningOver", "@FFF0\n01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12\nq\n",
                 -100, TITextFault::kTooManyVectors, ""}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(ParseTIText, VectorWordsLowByteFirstAndUnsetSlotsFFFF)
{
    TITextImage image;
    const std::string file = "@2600\n01 02\n@FFF0\n34 12 cd ab\n@FFFE\n00 26\nq\n";
    ASSERT_EQ(ParseTIText(file.data(), file.size(), &image), 1);
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(image.vectors[slot], 0xFFFF) << slot;
    EXPECT_EQ(image.vectors[8], 0x1234);
    EXPECT_EQ(image.vectors[9], 0xABCD);
    for (int slot = 10; slot < 15; ++slot)
        EXPECT_EQ(image.vectors[slot], 0xFFFF) << slot;
    EXPECT_EQ(image.vectors[15], 0x2600);

    TITextImage full;
    const std::string vectors = "@2600\n01 02\n" + VectorLines() + "q\n";
    ASSERT_EQ(ParseTIText(vectors.data(), vectors.size(), &full), 1);
    EXPECT_EQ(full.vectors[0], 0x2980);
    for (int slot = 1; slot < 16; ++slot)
        EXPECT_EQ(full.vectors[slot], slot);
}

TEST(ParseTIText, ReadsOnlyTheBytesGiven)
{
    // No terminating zero: the parser must stop at size.
    const std::string file = "@2600\n01 02\n" + VectorLines() + "q";
    std::unique_ptr<char[]> exact(new char[file.size()]);
    std::memcpy(exact.get(), file.data(), file.size());
    TITextImage image;
    EXPECT_EQ(ParseTIText(exact.get(), file.size(), &image), 1);
    EXPECT_EQ(Text(image), "@026000201");
    // Cut before the end mark it is no TI-Text.
    EXPECT_EQ(ParseTIText(exact.get(), file.size() - 1, &image), -100);
    EXPECT_EQ(ParseTIText(nullptr, 10, &image), -100);
}

TEST(ParseTIText, ManyEmptySegmentsStayCompactAndBounded)
{
    // Each "@0" gives a six-character marker: far more text than file.
    std::string file;
    for (int i = 0; i < 5000; ++i)
        file += "@0";
    file += VectorLines() + "q\n";
    TITextImage image;
    ASSERT_EQ(ParseTIText(file.data(), file.size(), &image), 1);
    EXPECT_EQ(image.length, 5000u * 6);
    EXPECT_EQ(std::strncmp(image.text.get(), "@00000@00000", 12), 0);
}

namespace {

struct NameCase {
    const char* path;
    const char* title;
    int kind;
    std::int32_t version;
};

class NameTable : public ::testing::TestWithParam<NameCase> {};

}  // namespace

TEST_P(NameTable, DerivesTitleKindAndVersion)
{
    const NameCase& c = GetParam();
    FirmwareFileName name;
    std::memset(&name, 0x5A, sizeof name);
    ParseFirmwareFileName(c.path, &name);
    EXPECT_STREQ(name.title, c.title);
    EXPECT_EQ(name.kind, c.kind);
    EXPECT_EQ(name.version, c.version);
}

INSTANTIATE_TEST_SUITE_P(Examples, NameTable,
                         ::testing::Values(NameCase{"TX-1-74.txt", "TX-1.74", TALLIX, 174},
                                           NameCase{"/home/op/firmware/TX-1-74.txt", "TX-1.74", TALLIX, 174},
                                           NameCase{"C:\\Firmware\\TX-1-74.txt", "TX-1.74", TALLIX, 174},
                                           NameCase{"FOO-1-00.txt", "FOO-1.00", UNKNOWN, 100},
                                           NameCase{"tx_2-05.txt", "tx_2.05", TALLIX, 5},
                                           NameCase{"Vapra 2.01.txt", "Vapra 2.01", VAPRA, 201},
                                           NameCase{"PL-1-05 beta.TXT", "PL-1.05 beta.TXT", PELLORA, 105},
                                           NameCase{"KELOX-1-03-rc2.txt", "KELOX-1-03-rc2", KELOX, 1032},
                                           NameCase{"TX.txt", "TX", TALLIX, 0}, NameCase{"TX-.txt", "TX-", TALLIX, 0},
                                           NameCase{"-1-2.txt", "-1.2", UNKNOWN, 12},
                                           NameCase{"TX-123456789012345.txt", "TX-123456789012345", TALLIX, INT32_MAX},
                                           NameCase{"TX-1234567890.txt", "TX-1234567890", TALLIX, 1234567890},
                                           NameCase{"END-1-00.txt", "END-1.00", UNKNOWN, 100},
                                           NameCase{"QUORIN-TE-4-06.txt", "QUORIN-TE-4.06", UNKNOWN, 406},
                                           NameCase{"", "", UNKNOWN, 0}));

TEST(ParseFirmwareFileName, TitleKeepsAtMost64Characters)
{
    const std::string longName = "TX-1-74 " + std::string(100, 'x') + ".txt";
    FirmwareFileName name;
    ParseFirmwareFileName(longName.c_str(), &name);
    EXPECT_EQ(std::string(name.title), longName.substr(0, 64).replace(4, 1, "."));
    EXPECT_EQ(name.kind, TALLIX);
    EXPECT_EQ(name.version, 174);

    // ".txt" beyond the 64 characters is not seen.
    const std::string cutName = std::string(62, 'a') + ".txt";
    ParseFirmwareFileName(cutName.c_str(), &name);
    EXPECT_EQ(std::string(name.title), std::string(62, 'a') + ".t");
}
