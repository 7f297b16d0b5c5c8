#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "app/Progress.h"
#include "loader/ImageSelfCheck.h"
#include "loader/OrvaBSLHost.h"
#include "log/OrvaLog.h"
#include "support/FileText.h"
#include "support/FirmwareImage.h"

// The loader and the application must agree on the built-in image's length.
static_assert(kBuiltInImageLength == kBuiltInImageTextLength);

namespace {

std::string BuiltInText()
{
    return std::string(kBuiltInImage.text, kBuiltInImage.textStorage);
}

VectorTable BuiltInVectors()
{
    VectorTable vectors;
    for (int i = 0; i < kVectorCount; ++i)
        vectors[i] = kBuiltInImage.vectors[i];
    return vectors;
}

class HostImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orva_img_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        logPath_ = dir_ + "/log.txt";
        log_ = std::make_unique<OrvaLog>(logPath_.c_str(), 40);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& content)
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string LogText() { return ReadFile(logPath_); }
    void ClearLog() { std::remove(logPath_.c_str()); }

    std::string dir_;
    std::string logPath_;
    std::unique_ptr<OrvaLog> log_;
};

// Everything a failed load must leave as it was.
struct Snapshot {
    std::string text;
    std::uint32_t length;
    VectorTable vectors;
    std::string title;
    int kind;
    std::int32_t version;
    bool fromFile;

    explicit Snapshot(const OrvaBSLHost& host)
        : text(host.ImageText()),
          length(host.ImageLength()),
          vectors(host.Vectors()),
          title(host.Title()),
          kind(host.Kind()),
          version(host.Version()),
          fromFile(host.LoadedFromFile())
    {
    }
    bool operator==(const Snapshot&) const = default;
};

}  // namespace

TEST_F(HostImage, StartsWithTheBuiltInImage)
{
    OrvaBSLHost host(log_.get());
    EXPECT_EQ(host.Status(), 0);
    EXPECT_STREQ(host.Title(), "Tallix 1.73 for hardware rev C");
    EXPECT_EQ(host.Kind(), TALLIX);
    EXPECT_EQ(host.Version(), 173);
    EXPECT_EQ(host.ImageLength(), 202084u);
    EXPECT_EQ(std::strlen(host.ImageText()), 202084u);
    EXPECT_FALSE(host.LoadedFromFile());

    std::uint64_t sum = 0;
    for (const char c : std::string(host.ImageText()))
        sum += static_cast<unsigned char>(c);
    EXPECT_EQ(sum, 11049050u);

    // Four segments in this order, one of them in lower case.
    const std::string text = host.ImageText();
    std::vector<std::string> markers;
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1))
        markers.push_back(text.substr(at, 6));
    EXPECT_EQ(markers, (std::vector<std::string>{"@02600", "@0FE00", "@10000", "@0FFC0"}));
    EXPECT_NE(text.find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(host.Vectors()[15], 0x2600);  // reset into the program segment
    EXPECT_TRUE(LogText().empty());         // construction logs nothing
}

TEST_F(HostImage, BuiltInImagePassesItsOwnCodeCheck)
{
    OrvaBSLHost host(log_.get());
    std::vector<std::uint8_t> flash = ProgrammedFlash(host.ImageText(), host.Vectors(), 0x20000);
    SelfCheckBlock block;
    ASSERT_EQ(ReadSelfCheckBlock(flash.data(), flash.size(), &block), kSelfCheckGood);
    EXPECT_EQ(block.version, 173);
    EXPECT_EQ(block.kind, 14);
    EXPECT_EQ(block.rangeCount, 3);
    EXPECT_EQ(block.ranges[0].start, 0x2600u);
    EXPECT_EQ(block.ranges[2].start, 0x10000u);
    EXPECT_EQ(VerifyFlashImage(flash.data(), flash.size()), kSelfCheckGood);

    // One bit anywhere in a checked range or the block header is caught.
    for (const std::uint32_t address : {0x2600u, 0x8001u, 0xFE10u, 0x1C985u, 0xFFC2u}) {
        std::vector<std::uint8_t> damaged = flash;
        damaged[address] ^= 0x10;
        EXPECT_NE(VerifyFlashImage(damaged.data(), damaged.size()), kSelfCheckGood) << std::hex << address;
    }
    std::vector<std::uint8_t> damaged = flash;
    damaged[0x1C986] ^= 0x10;  // just past the last range: not covered
    EXPECT_EQ(VerifyFlashImage(damaged.data(), damaged.size()), kSelfCheckGood);

    // Vectors never written (erased flash): the reset vector points nowhere.
    std::vector<std::uint8_t> noVectors = flash;
    std::fill(noVectors.begin() + 0xFFE0, noVectors.begin() + 0x10000, 0xFF);
    EXPECT_EQ(VerifyFlashImage(noVectors.data(), noVectors.size()), kSelfCheckBadReset);
    // Erased flash, or a memory that does not reach the vectors.
    const std::vector<std::uint8_t> erased(0x20000, 0xFF);
    EXPECT_EQ(VerifyFlashImage(erased.data(), erased.size()), kSelfCheckMissing);
    EXPECT_EQ(VerifyFlashImage(flash.data(), 0xFFFF), kSelfCheckMissing);
    // A range table pointing outside the memory is refused, not followed.
    EXPECT_EQ(VerifyFlashImage(flash.data(), 0x18000), kSelfCheckBadTable);
}

TEST_F(HostImage, DamagedBuiltInImageGivesStatus101)
{
    const std::string good = BuiltInText();
    struct Damage {
        const char* what;
        std::string text;
    };
    std::string changed = good;
    changed[5000] = changed[5000] == '0' ? '1' : '0';
    std::string shorter = good.substr(0, good.size() - 4);
    std::string longer = good + "FFFF";
    std::string cut = good;
    cut[100000] = '\0';  // the text ends there, however much storage follows
    for (const Damage& damage :
         {Damage{"changed", changed}, Damage{"shorter", shorter}, Damage{"longer", longer}, Damage{"cut", cut}}) {
        BuiltInImage image = kBuiltInImage;
        image.text = damage.text.c_str();
        image.textStorage = static_cast<std::uint32_t>(damage.text.size());
        OrvaBSLHost host(log_.get(), image);
        EXPECT_EQ(host.Status(), -101) << damage.what;
        // The image stays loaded; status decides.
        EXPECT_EQ(host.ImageLength(), std::strlen(damage.text.c_str())) << damage.what;
        EXPECT_STREQ(host.Title(), "Tallix 1.73 for hardware rev C");
    }

    BuiltInImage copy = kBuiltInImage;
    copy.text = good.c_str();
    OrvaBSLHost host(log_.get(), copy);
    EXPECT_EQ(host.Status(), 0);
}

TEST_F(HostImage, LoadsAFileAndTakesNameAndVectors)
{
    OrvaBSLHost host(log_.get());
    const std::string path = Write("TX-1-74.txt", "@2600\n80 29 00 26\n" + VectorLines() + "q\n");
    EXPECT_EQ(host.BSLLoadTIFile(path.c_str()), 1);
    EXPECT_STREQ(host.ImageText(), "@0260029802600");
    EXPECT_EQ(host.ImageLength(), 14u);
    EXPECT_EQ(host.Vectors()[0], 0x2980);
    EXPECT_EQ(host.Vectors()[15], 0x000F);
    EXPECT_STREQ(host.Title(), "TX-1.74");
    EXPECT_EQ(host.Kind(), TALLIX);
    EXPECT_EQ(host.Version(), 174);
    EXPECT_TRUE(host.LoadedFromFile());
    EXPECT_NE(LogText().find("OrvaBSL: BSLLoadTIFile loaded file " + path + " ("), std::string::npos);

    // The success line is a milestone (level 10).
    log_->SetLogLevel(1);
    ClearLog();
    EXPECT_EQ(host.BSLLoadTIFile(path.c_str()), 1);
    EXPECT_TRUE(LogText().empty());

    const std::string other = Write("FOO-2-00.txt", "@10000\n01 02 03\n" + VectorLines() + "q\n");
    EXPECT_EQ(host.BSLLoadTIFile(other.c_str()), 1);
    EXPECT_STREQ(host.ImageText(), "@100000201FF03");
    EXPECT_EQ(host.Kind(), UNKNOWN);
    EXPECT_EQ(host.Version(), 200);
    EXPECT_STREQ(host.Title(), "FOO-2.00");
}

TEST_F(HostImage, FailedLoadsChangeNothingAndLogByCause)
{
    struct Failure {
        const char* name;
        std::string content;
        bool logged;
    };
    const Failure failures[] = {
        {"no-end-mark.txt", "@2600\n80 29 00 26\n" + VectorLines(), false},
        {"no-at.txt", "2600\n80 29\n" + VectorLines() + "q\n", false},
        {"one-byte-vector.txt", "@2600\n80 29\n@FFFE\n00\nq\n", true},
        {"no-vectors.txt", "@2600\n80 29 00 26\nq\n", true},
        {"bad-address.txt", "@zz\n80 29\n" + VectorLines() + "q\n", true},
        {"too-high.txt", "@100000\n80 29\n" + VectorLines() + "q\n", true},
        {"too-many-vectors.txt", "@FFFC\n01 02 03 04 05 06\nq\n", true},
    };

    OrvaBSLHost host(log_.get());
    const Snapshot builtIn(host);
    const std::string good = Write("TX-1-75.txt", "@2600\n01 02\n" + VectorLines() + "q\n");
    for (const bool afterFile : {false, true}) {
        if (afterFile) {
            ASSERT_EQ(host.BSLLoadTIFile(good.c_str()), 1);
        }
        const Snapshot before(host);
        EXPECT_EQ(before == builtIn, !afterFile);
        for (const Failure& failure : failures) {
            const std::string path = Write(failure.name, failure.content);
            ClearLog();
            EXPECT_EQ(host.BSLLoadTIFile(path.c_str()), -100) << failure.name;
            EXPECT_TRUE(Snapshot(host) == before) << failure.name;
            const std::string log = LogText();
            if (failure.logged) {
                EXPECT_NE(log.find("OrvaBSL: BSLLoadTIFile: file " + path + " is not a valid TI-Text file ("),
                          std::string::npos)
                    << failure.name;
            } else {
                EXPECT_TRUE(log.empty()) << failure.name << ": " << log;
            }
        }
    }

    // The refusal is logged at level 10, not as an error.
    log_->SetLogLevel(1);
    ClearLog();
    EXPECT_EQ(host.BSLLoadTIFile(Write("x.txt", "@2600\n80 29\nq\n").c_str()), -100);
    EXPECT_TRUE(LogText().empty());
}

TEST_F(HostImage, FilesThatCannotBeOpenedGiveTheErrorNumber)
{
    log_->SetLogLevel(1);
    OrvaBSLHost host(log_.get());
    const Snapshot before(host);
    const std::string missing = dir_ + "/missing.txt";
    EXPECT_EQ(host.BSLLoadTIFile(missing.c_str()), -ENOENT);
    EXPECT_NE(LogText().find("OrvaBSL: BSLLoadTIFile got error 2 trying to open datafile " + missing),
              std::string::npos);
    EXPECT_EQ(host.BSLLoadTIFile(dir_.c_str()), -EISDIR);
    EXPECT_EQ(host.BSLLoadTIFile(nullptr), -10);
    EXPECT_TRUE(Snapshot(host) == before);
}

TEST_F(HostImage, FileTooLargeForMemoryGivesMinus60)
{
    // A sparse file of 1 TiB: nothing is read before its buffer is had.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a request of 1 TiB";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer aborts on a request of 1 TiB";
#endif
#endif
    const std::uint64_t size = 1ull << 40;
    {
        std::unique_ptr<char[]> probe(new (std::nothrow) char[size + 1]);
        if (probe) GTEST_SKIP() << "this machine hands out 1 TiB";
    }
    const std::string path = dir_ + "/huge.txt";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const bool sized = ::ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
    std::fclose(file);
    if (!sized) GTEST_SKIP() << "no sparse files here";
    OrvaBSLHost host(log_.get());
    const Snapshot before(host);
    EXPECT_EQ(host.BSLLoadTIFile(path.c_str()), -60);
    EXPECT_TRUE(Snapshot(host) == before);
}

TEST_F(HostImage, ChecksInFixtureIsWhatTheGeneratorMakes)
{
    const std::string fixture = ReadFile(std::string(ORVA_FIXTURES_DIR) + "/TX-1-73.txt");
    const std::string generated = ReadFile(std::string(ORVA_BIN_DIR) + "/generated/loader/TX-1-73.txt");
    ASSERT_FALSE(fixture.empty());
    EXPECT_TRUE(fixture == generated) << "regenerate tests/fixtures/TX-1-73.txt from the build tree";
}

TEST_F(HostImage, FixtureLoadsToTheBuiltInImage)
{
    OrvaBSLHost host(log_.get());
    const std::string path = std::string(ORVA_FIXTURES_DIR) + "/TX-1-73.txt";
    ASSERT_EQ(host.BSLLoadTIFile(path.c_str()), 1);
    EXPECT_EQ(host.ImageLength(), kBuiltInImageTextLength);
    EXPECT_TRUE(std::string(host.ImageText()) == BuiltInText());
    EXPECT_EQ(host.Vectors(), BuiltInVectors());
    EXPECT_STREQ(host.Title(), "TX-1.73");
    EXPECT_EQ(host.Kind(), TALLIX);
    EXPECT_EQ(host.Version(), 173);
}

TEST_F(HostImage, DumpOfTheBuiltInImage)
{
    OrvaBSLHost host(log_.get());
    const std::string path = dir_ + "/dump.txt";
    EXPECT_EQ(host.BSLWriteTIFile(path.c_str()), 1);
    EXPECT_NE(LogText().find("OrvaBSL: BSLWriteTIFile wrote file " + path + " ("), std::string::npos);

    const std::string dump = ReadFile(path);
    ASSERT_EQ(dump.rfind("@02600\n", 0), 0u);
    std::vector<std::string> lines;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1].size(), 32u);
    EXPECT_EQ(lines[lines.size() - 3], "@FFE0");
    char vectorLine[2][40];
    const VectorTable& v = host.Vectors();
    std::snprintf(vectorLine[0], sizeof vectorLine[0], "%04X%04X%04X%04X%04X%04X%04X%04X", v[0], v[1], v[2], v[3], v[4],
                  v[5], v[6], v[7]);
    std::snprintf(vectorLine[1], sizeof vectorLine[1], "%04X%04X%04X%04X%04X%04X%04X%04X", v[8], v[9], v[10], v[11],
                  v[12], v[13], v[14], v[15]);
    EXPECT_EQ(lines[lines.size() - 2], vectorLine[0]);
    EXPECT_EQ(lines[lines.size() - 1], vectorLine[1]);
    EXPECT_EQ(dump.back(), '\n');

    // Data lines hold 32 digits; a segment may end mid-line, directly followed
    // by the next marker; without line feeds the data part is the image text.
    // The last segment ends on a full line, so the line feed before @FFE0
    // leaves an empty line.
    EXPECT_EQ(lines[lines.size() - 4], "");
    std::string rebuilt;
    for (std::size_t i = 0; i + 4 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t marker = line.find('@');
        if (marker == std::string::npos) {
            EXPECT_EQ(line.size(), 32u) << i;
        } else {
            EXPECT_EQ(line.size(), marker + 6) << i;
        }
        rebuilt += line;
    }
    EXPECT_TRUE(rebuilt == host.ImageText());
}

TEST_F(HostImage, DumpLayoutOfASmallImage)
{
    OrvaBSLHost host(log_.get());
    // 18 bytes (36 digits) at 0x2600, then 2 at 0x10000.
    const std::string file =
        "@2600\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n10 11\n@10000\nab cd\n" + VectorLines() + "q\n";
    ASSERT_EQ(host.BSLLoadTIFile(Write("TX-9-99.txt", file).c_str()), 1);
    const std::string path = dir_ + "/small.txt";
    ASSERT_EQ(host.BSLWriteTIFile(path.c_str()), 1);
    EXPECT_EQ(ReadFile(path),
              "@02600\n"
              "010003020504070609080B0A0D0C0F0E\n"
              "1110@10000\n"
              "cdab\n"
              "@FFE0\n"
              "29800001000200030004000500060007\n"
              "00080009000A000B000C000D000E000F\n");
}

TEST_F(HostImage, DumpFailuresGiveTheErrorNumber)
{
    log_->SetLogLevel(1);
    OrvaBSLHost host(log_.get());
    const std::string noFolder = dir_ + "/no/such/folder/dump.txt";
    EXPECT_EQ(host.BSLWriteTIFile(noFolder.c_str()), -ENOENT);
    EXPECT_NE(LogText().find("OrvaBSL: BSLWriteTIFile got error 2 trying to open datafile " + noFolder),
              std::string::npos);
    // A full disk is an error, not a dump.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        EXPECT_EQ(host.BSLWriteTIFile("/dev/full"), -ENOSPC);
    }
    EXPECT_EQ(host.BSLWriteTIFile(nullptr), -10);
}

TEST_F(HostImage, ReloadsReplaceTheBufferAndFailuresKeepIt)
{
    // Memory errors themselves are the business of the sanitizer builds (the
    // fuzz build runs this test too); here: a success installs a new buffer,
    // a failure keeps the one held, and the host can be destroyed after both.
    auto host = std::make_unique<OrvaBSLHost>(log_.get());
    const std::string a = Write("TX-1-01.txt", "@2600\n01 02\n" + VectorLines() + "q\n");
    const std::string b = Write("TX-1-02.txt", "@2600\n03 04 05 06\n" + VectorLines() + "q\n");
    const std::string bad = Write("bad.txt", "@2600\n01\nq\n");
    for (int round = 0; round < 6; ++round) {
        const char* previous = host->ImageText();
        ASSERT_EQ(host->BSLLoadTIFile(round % 2 ? b.c_str() : a.c_str()), 1);
        EXPECT_NE(host->ImageText(), previous);
        const char* loaded = host->ImageText();
        ASSERT_EQ(host->BSLLoadTIFile(bad.c_str()), -100);
        EXPECT_EQ(host->ImageText(), loaded);
        EXPECT_STREQ(host->ImageText(), round % 2 ? "@0260004030605" : "@026000201");
        EXPECT_EQ(host->Version(), round % 2 ? 102 : 101);
    }
    host.reset();
}
