// Erase and transfer: the frames the loader receives, retries, the progress
// callback, and whole updates of the simulated reader's flash.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "BSLTestSupport.h"
#include "instrument/InstrumentKind.h"
#include "loader/BuiltInImage.h"

namespace {

struct ProgressCall {
    unsigned total;
    unsigned done;
    int phase;
    char event;
    bool operator==(const ProgressCall& o) const
    {
        return std::tie(total, done, phase, event) == std::tie(o.total, o.done, o.phase, o.event);
    }
};

std::ostream& operator<<(std::ostream& out, const ProgressCall& c)
{
    return out << "(" << c.total << ", " << c.done << ", " << c.phase << ", " << c.event << ")";
}

std::uint32_t AddressOf(const std::string& line)
{
    return static_cast<std::uint32_t>(std::stoul(PayloadOf(line), nullptr, 16));
}

class BSLTransferTest : public BSLHostTest {
protected:
    BSLTransferTest()
    {
        host_.SetProgressCallback([this](unsigned total, unsigned done, int phase, char event) {
            calls_.push_back({total, done, phase, event});
            return !stopAt_ || done < stopAt_;
        });
    }
    ~BSLTransferTest() override
    {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    // Loads a TI-Text file of one segment at 0x2600 holding bytes data
    // bytes, and a vector segment.
    void LoadSmallImage(unsigned bytes)
    {
        char pattern[] = "/tmp/orva-bsl-transfer-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::string text = "@2600\n";
        char hex[8];
        for (unsigned i = 0; i < bytes; ++i) {
            std::snprintf(hex, sizeof hex, "%02X%c", (i * 37 + 11) & 0xFF, i % 16 == 15 ? '\n' : ' ');
            text += hex;
        }
        text += "\n@FFE0\n";
        for (unsigned i = 0; i < 32; ++i) {
            std::snprintf(hex, sizeof hex, "%02X ", i % 2 ? 0x26 : i);
            text += hex;
        }
        text += "\nq\n";
        const std::string path = dir_ + "/TX-1-99.txt";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        ASSERT_EQ(host_.BSLLoadTIFile(path.c_str()), 1);
        ASSERT_EQ(host_.ImageLength(), 6u + 2 * bytes);
    }

    // One whole update as the application runs it.
    int Update(bool fiveDigit = true)
    {
        InstrumentInfo info{};
        FillInstrumentInfo(14, 999, &info);
        int r = host_.BSLConnect(kPort, static_cast<int>(info.loaderBaud), true, 3);
        if (r < 0) return r;
        r = host_.BSLEraseINFO(info.infoStart, info.infoSegments, info.infoSegmentSize, fiveDigit);
        if (r >= 0) r = host_.BSLEraseFlash(info.flashStart, info.flashEnd, fiveDigit);
        if (r >= 0) r = host_.BSLSendFirmware(fiveDigit);
        if (r >= 0) r = host_.BSLSendVectors();
        host_.BSLClose();
        return r;
    }

    // Asks the instrument's firmware a command once it has restarted.
    std::string AskFirmware(const std::string& command)
    {
        clock_.Advance(sim_.Config().loader.restartMs);
        sim_.Service();
        sim_.HostOpened();
        sim_.Feed(command);
        std::string answer = sim_.TakeAll();
        sim_.HostClosed();
        return answer;
    }

    std::string Image() const { return std::string(host_.ImageText(), host_.ImageLength()); }

    std::vector<ProgressCall> calls_;
    unsigned stopAt_ = 0;  // the callback answers false from this much done on (0: never)
    std::string dir_;
};

}  // namespace

TEST_F(BSLTransferTest, InfoEraseSendsOneFramePerSegment)
{
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLEraseINFO(0x1000, 3, 0x40, true), 2);
    EXPECT_EQ(LoaderLines(),
              (std::vector<std::string>{FrameLine('X', "01000"), FrameLine('X', "01040"), FrameLine('X', "01080")}));
    EXPECT_TRUE(log_.Has("BSLEraseINFO successful: 3 segments @ 10C0 ("));
    ForgetSent();
    EXPECT_EQ(host_.BSLEraseINFO(0x1000, 0, 0x40, true), 0);
    EXPECT_EQ(LoaderLines(), std::vector<std::string>{});
}

TEST_F(BSLTransferTest, FlashEraseSkipsTheLoaderAndTheVectors)
{
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLEraseFlash(0x2100, 0x1FF00, true), 2);

    std::vector<std::uint32_t> expected;
    for (std::uint32_t a = 0x2100; a <= 0xF900; a += 512)
        expected.push_back(a);
    for (std::uint32_t a = 0x10000; a <= 0x1FE00; a += 512)
        expected.push_back(a);
    std::vector<std::uint32_t> sent;
    for (const std::string& line : LoaderLines()) {
        ASSERT_EQ(line[0], 'X');
        ASSERT_EQ(PayloadOf(line).size(), 5u);
        ASSERT_EQ(line, FrameLine('X', PayloadOf(line)));
        sent.push_back(AddressOf(line));
        EXPECT_FALSE(sent.back() >= 0xFA00 && sent.back() <= 0xFFFF) << std::hex << sent.back();
    }
    EXPECT_EQ(sent, expected);

    // A progress event every ten segments, from the first, then the end.
    const unsigned total = (0x1FF00 - 0x2100) / 512;
    std::vector<ProgressCall> progress;
    for (std::size_t i = 0; i < expected.size(); i += 10)
        progress.push_back({total, (expected[i] - 0x2100) / 512, 1, 'X'});
    progress.push_back({total, total, 2, 'X'});
    EXPECT_EQ(calls_, progress);
    EXPECT_TRUE(log_.Has("BSLEraseFlash successful: segment 2100 to 1FF00 ("));
}

TEST_F(BSLTransferTest, FlashEraseRefusesAStartInsideTheProtectedRange)
{
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLEraseFlash(0xFA00, 0x1FF00, true), -11);
    EXPECT_EQ(host_.BSLEraseFlash(0xFFFF, 0x1FF00, true), -11);
    EXPECT_EQ(LoaderLines(), std::vector<std::string>{});
    EXPECT_EQ(host_.BSLEraseFlash(0x2100, 0x2100, true), 0);  // nothing to do
    EXPECT_EQ(LoaderLines(), std::vector<std::string>{});
}

TEST_F(BSLTransferTest, ARefusedEraseIsTriedAgainAfterAPause)
{
    sim_.Config().loader.refuseLetter = 'X';
    sim_.Config().loader.refuseNth = 2;
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLEraseINFO(0x1000, 3, 0x40, true), 2);
    EXPECT_EQ(LoaderLines(), (std::vector<std::string>{FrameLine('X', "01000"), FrameLine('X', "01040"),
                                                       FrameLine('X', "01040"), FrameLine('X', "01080")}));
}

TEST_F(BSLTransferTest, TheProgressCallbackCanStopTheErase)
{
    stopAt_ = 20;
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLEraseFlash(0x2100, 0x1FF00, true), -40);
    EXPECT_EQ(LoaderLinesOf('X').size(), 20u);
    EXPECT_TRUE(log_.Has("BSLEraseFlash failed with error -40"));
}

TEST_F(BSLTransferTest, AnAddressTravelsAsFourOrFiveDigits)
{
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLSendAddress(0x2600, false), 2);
    EXPECT_EQ(host_.BSLSendAddress(0x2600, true), 2);
    EXPECT_EQ(host_.BSLSendAddress(0x10000, true), 2);
    // Cut to four digits, 0x10000 would become 0x1000, the INFO memory.
    EXPECT_EQ(host_.BSLSendAddress(0x10000, false), -11);
    EXPECT_EQ(LoaderLines(),
              (std::vector<std::string>{FrameLine('@', "2600"), FrameLine('@', "02600"), FrameLine('@', "10000")}));
    EXPECT_TRUE(log_.Has("BSLSendAddress (02600) successful"));
    EXPECT_TRUE(log_.Has("BSLSendAddress (10000) failed with error -11"));
}

TEST_F(BSLTransferTest, ASegmentOf1000CharactersGoesAsOneAddressAndTwoChunks)
{
    LoadSmallImage(500);
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLSendFirmware(true), 2);
    const std::string data = Image().substr(6);
    ASSERT_EQ(data.size(), 1000u);
    EXPECT_EQ(LoaderLines(), (std::vector<std::string>{FrameLine('@', "02600"), FrameLine('W', data.substr(0, 512)),
                                                       FrameLine('W', data.substr(512))}));
    EXPECT_EQ(PayloadOf(LoaderLines()[2]).size(), 488u);
    EXPECT_EQ(calls_, (std::vector<ProgressCall>{{1006, 0, 1, 'W'}, {1006, 512, 1, 'W'}, {1006, 1006, 2, 'W'}}));
    EXPECT_TRUE(log_.Has("BSLSendFirmware successful (0 s)"));
    // The loader wrote it where it belongs.
    const std::vector<std::uint8_t> expected = ProgrammedFlash(Image(), host_.Vectors());
    for (std::uint32_t a = 0x2600; a < 0x2600 + 500; ++a)
        ASSERT_EQ(sim_.Model<SimFlash>().At(a), expected[a]) << std::hex << a;
}

TEST_F(BSLTransferTest, FourDigitModeSendsTheMarkerWithoutItsFirstDigit)
{
    LoadSmallImage(4);
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLSendFirmware(false), 2);
    EXPECT_EQ(LoaderLines(), (std::vector<std::string>{FrameLine('@', "2600"), FrameLine('W', Image().substr(6))}));
}

TEST_F(BSLTransferTest, FourDigitModeStopsAtASegmentItCannotAddress)
{
    // The built-in image has a segment at 0x10000.
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLSendFirmware(false), -11);
    const std::vector<std::string> addresses = LoaderLinesOf('@');
    ASSERT_FALSE(addresses.empty());
    for (const std::string& line : addresses)
        EXPECT_LT(AddressOf(line), 0x10000u) << line;
    EXPECT_TRUE(log_.Has("BSLSendAddress (10000) failed with error -11"));
    EXPECT_TRUE(log_.Has("BSLSendFirmware failed with error -11"));
    for (std::uint32_t a = 0; a < 0x100; ++a)
        ASSERT_EQ(sim_.Model<SimFlash>().At(a), 0xFF);
}

TEST_F(BSLTransferTest, ARefusedChunkIsSentAgainAfterItsAddress)
{
    sim_.Config().loader.refuseLetter = 'W';
    sim_.Config().loader.refuseNth = 2;
    LoadSmallImage(500);
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(host_.BSLSendFirmware(true), 2);
    EXPECT_GE(clock_.NowMs() - start, 175u);
    const std::string data = Image().substr(6);
    // The second chunk starts 256 bytes on, at 0x2700.
    EXPECT_EQ(LoaderLines(), (std::vector<std::string>{FrameLine('@', "02600"), FrameLine('W', data.substr(0, 512)),
                                                       FrameLine('W', data.substr(512)), FrameLine('@', "02700"),
                                                       FrameLine('W', data.substr(512))}));
    const std::vector<std::uint8_t> expected = ProgrammedFlash(Image(), host_.Vectors());
    for (std::uint32_t a = 0x2600; a < 0x2600 + 500; ++a)
        ASSERT_EQ(sim_.Model<SimFlash>().At(a), expected[a]) << std::hex << a;
}

TEST_F(BSLTransferTest, AChunkRefusedEveryTimeFailsTheTransfer)
{
    LoadSmallImage(100);
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    // A loader that refuses every W: each W frame arms the fault for itself.
    // The last refusal stands, even though the address that follows it is
    // acknowledged.
    sim_.Config().loader.refuseLetter = 'W';
    sim_.trace = [this](const std::string& line) {
        if (line.find("host sent \"W") != std::string::npos) {
            SimLoaderModel& loader = sim_.Model<SimLoaderModel>();
            loader.refusalDone = false;
            sim_.Config().loader.refuseNth = loader.framesOfLetter['W'] + 1;
        }
    };
    EXPECT_EQ(host_.BSLSendFirmware(true), -1);
    EXPECT_EQ(LoaderLinesOf('W').size(), 3u);
    EXPECT_EQ(LoaderLinesOf('@').size(), 4u);  // the segment's, and one after each refusal
    EXPECT_TRUE(log_.Has("BSLSendFirmware failed with error -1"));
}

TEST_F(BSLTransferTest, TheProgressCallbackCanStopTheTransfer)
{
    stopAt_ = 512;
    LoadSmallImage(500);
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_EQ(host_.BSLSendFirmware(true), -40);
    EXPECT_EQ(LoaderLines(), (std::vector<std::string>{FrameLine('@', "02600")}));
    EXPECT_EQ(calls_, (std::vector<ProgressCall>{{1006, 0, 1, 'W'}, {1006, 512, 1, 'W'}, {1006, 1006, 2, 'W'}}));
    EXPECT_TRUE(log_.Has("BSLSendFirmware failed with error -40 ("));
}

TEST_F(BSLTransferTest, AnImageMustBeThereAndStartWithAnAddress)
{
    struct Case {
        const char* text;
        int result;
    };
    for (const Case& c : {Case{"", -10}, Case{"29802600", -11}}) {
        const BuiltInImage image{"damaged", 14, 173, {}, c.text, static_cast<std::uint32_t>(std::strlen(c.text))};
        OrvaBSLHost host(log_.get(), image);
        ASSERT_GT(host.BSLConnect(kPort, 57600, false, 3), 0);
        ForgetSent();
        EXPECT_EQ(host.BSLSendFirmware(true), c.result) << c.text;
        EXPECT_EQ(LoaderLines(), std::vector<std::string>{}) << c.text;
        host.BSLClose();
    }
}

TEST_F(BSLTransferTest, TheVectorsAreSixteenFourDigitWords)
{
    ASSERT_GT(Connect(), 0);
    ForgetSent();
    EXPECT_GT(host_.BSLSendVectors(), 0);
    std::string words;
    char word[8];
    for (const std::uint16_t v : host_.Vectors()) {
        std::snprintf(word, sizeof word, "%04X", v);
        words += word;
    }
    EXPECT_EQ(LoaderLines(), std::vector<std::string>{FrameLine('V', words)});
    EXPECT_TRUE(log_.Has("BSLSendVectors successful"));
    EXPECT_FALSE(sim_.Model<SimLoaderModel>().connected);  // the instrument restarts
}

TEST_F(BSLTransferTest, AWholeUpdateProgramsTheImageAndTheFirmwareChecksGood)
{
    EXPECT_GT(Update(), 0);
    EXPECT_EQ(sim_.Model<SimFlash>().Size(), SimFlash::kSize);
    const std::vector<std::uint8_t> expected = ProgrammedFlash(Image(), host_.Vectors());
    const std::uint8_t* flash = sim_.Model<SimFlash>().Data();
    std::size_t differences = 0;
    for (std::size_t a = 0; a < expected.size(); ++a)
        if (flash[a] != expected[a]) ++differences;
    EXPECT_EQ(differences, 0u);
    for (const std::string& line : LoaderLines())
        if (line[0] != 'g') {
            EXPECT_EQ(line, FrameLine(line[0], PayloadOf(line)));
        }
    EXPECT_EQ(AskFirmware("post\r"), "\rCode Good!\r\n>");
    sim_.HostOpened();
    sim_.Feed("get -ver\r");
    EXPECT_EQ(sim_.TakeAll(), "\rTX 1.73\r\n>");
}

TEST_F(BSLTransferTest, APulledCableFailsTheTransferAndASecondRunFinishesIt)
{
    // The connection, the INFO and the flash erase take 241 frames; the
    // cable comes out in the middle of the transfer.
    sim_.Config().loader.pullCableAfter = 300;
    const int first = Update();
    EXPECT_EQ(first, -21);
    EXPECT_TRUE(log_.Has("BSLSendFirmware failed with error -21"));
    EXPECT_FALSE(host_.LinkOpen());
    EXPECT_TRUE(sim_.Model<SimLoaderModel>().connected);
    EXPECT_EQ(sim_.Program(), SimProgram::Loader);

    // The next run finds the loader active, starts again with the erase, and
    // the update is whole.
    EXPECT_EQ(host_.BSLCheck(kPort, 57600), -80);
    host_.BSLClose();
    EXPECT_GT(Update(), 0);
    EXPECT_TRUE(log_.Has("BSLInvocation found the OrvaBSL already active"));
    const std::vector<std::uint8_t> expected = ProgrammedFlash(Image(), host_.Vectors());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sim_.Model<SimFlash>().Data()));
    EXPECT_EQ(AskFirmware("post\r"), "\rCode Good!\r\n>");
}
