// The simulated bootstrap loader and the flash it programs, driven byte by
// byte as the host would, under a virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <unistd.h>
#include <utility>
#include <string>
#include <vector>

#include "SimFlash.h"
#include "SimInstrument.h"
#include "OrvasimArgs.h"
#include "SimLoader.h"
#include "SimOptions.h"
#include "loader/BSLFrame.h"
#include "loader/ImageSelfCheck.h"
#include "serial/Timing.h"

namespace {

std::string Frame(char letter, const std::string& payload)
{
    char frame[kBSLMaxFrame];
    const int n = BSLBuildFrame(letter, payload.data(), payload.size(), frame, sizeof frame);
    return n < 0 ? std::string() : std::string(frame, static_cast<std::size_t>(n));
}

// Words of memory as a frame carries them: four digits, high byte first.
std::string Words(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char word[8];
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::snprintf(word, sizeof word, "%02X%02X", bytes[i + 1], bytes[i]);
        text += word;
    }
    return text;
}

class SimLoaderTest : public ::testing::Test {
protected:
    std::string Ask(const std::string& bytes)
    {
        sim_.Feed(bytes);
        return sim_.TakeAll();
    }
    // Starts the loader from the firmware and connects to it.
    void Connect()
    {
        sim_.HostOpened();
        sim_.HostBaudChanged(9600);
        ASSERT_EQ(Ask("boot KRAB\r"), "\rOK\r\n>");
        ASSERT_EQ(sim_.Program(), SimProgram::Loader);
        sim_.HostBaudChanged(57600);
        ASSERT_EQ(Ask("\r"), "$");
        ASSERT_EQ(Ask("P"), "#");
    }
    SimFlash& Flash() { return sim_.Model<SimFlash>(); }
    SimLoaderModel& Loader() { return sim_.Model<SimLoaderModel>(); }

    VirtualClock clock_{5000};
    ScopedClock useClock_{&clock_};
    SimInstrument sim_;
};

}  // namespace

TEST_F(SimLoaderTest, TheConnectedLoaderChecksEveryFrame)
{
    Connect();
    EXPECT_EQ(Ask("g.0095\r"), "+12+\r");
    EXPECT_EQ(Ask("g.0096\r"), "-\r");  // checksum off by one
    EXPECT_EQ(Ask("X2100.0149\r"), "+\r");
    EXPECT_EQ(Ask("X2100.0148\r"), "-\r");
    EXPECT_EQ(Ask("\r"), "?");               // a connected loader has no prompt
    EXPECT_EQ(Ask("get -ver\r"), "+12+\r");  // the firmware's question finds the loader
    EXPECT_EQ(Ask(Frame('Q', "")), "?\r");   // a frame, but no command of the loader
    EXPECT_EQ(Ask(Frame('@', "123")), "-\r");
    EXPECT_EQ(Ask(Frame('W', "12345")), "-\r");
    EXPECT_EQ(Ask(Frame('W', "12G4")), "-\r");
    ASSERT_FALSE(Loader().journal.empty());
    EXPECT_EQ(Loader().journal.front().line, "g.0095");
    EXPECT_EQ(Loader().journal.front().baud, 57600);
}

TEST_F(SimLoaderTest, FlashIsErasedBySegmentAndWritingOnlyClearsBits)
{
    Connect();
    ASSERT_EQ(Ask(Frame('@', "02600")), "+\r");
    ASSERT_EQ(Ask(Frame('W',
                        "2980"
                        "2600")),
              "+\r");
    EXPECT_EQ(Flash().At(0x2600), 0x80);
    EXPECT_EQ(Flash().At(0x2601), 0x29);
    EXPECT_EQ(Flash().At(0x2602), 0x00);
    EXPECT_EQ(Flash().At(0x2603), 0x26);
    EXPECT_EQ(Loader().writeAddress, 0x2604u);
    // The loader moves on by itself; written again without an erase, the
    // old bits stay cleared.
    ASSERT_EQ(Ask(Frame('@', "02600")), "+\r");
    ASSERT_EQ(Ask(Frame('W', "0F07")), "+\r");
    EXPECT_EQ(Flash().At(0x2600), 0x80 & 0x07);
    EXPECT_EQ(Flash().At(0x2601), 0x29 & 0x0F);
    // An erase sets the whole 512-byte segment that holds the address, and
    // nothing beyond it.
    ASSERT_EQ(Ask(Frame('W', "0000")), "+\r");  // at 0x2602
    Flash().Write(0x2800, std::vector<std::uint8_t>{0x11}.data(), 1);
    ASSERT_EQ(Ask(Frame('X', "027FE")), "+\r");
    for (std::uint32_t a = 0x2600; a < 0x2800; ++a)
        ASSERT_EQ(Flash().At(a), 0xFF) << std::hex << a;
    EXPECT_EQ(Flash().At(0x2800), 0x11);
}

TEST_F(SimLoaderTest, InfoMemoryHas64ByteSegments)
{
    struct Case {
        std::uint32_t address;
        std::uint32_t start;
        std::uint32_t size;
    };
    for (const Case& c : {Case{0x1000, 0x1000, 64}, Case{0x107F, 0x1040, 64}, Case{0x10C0, 0x10C0, 64},
                          Case{0x1100, 0x1000, 512}, Case{0x2100, 0x2000, 512}, Case{0x1FE00, 0x1FE00, 512}}) {
        const SimFlash::Segment segment = SimFlash::SegmentOf(c.address);
        EXPECT_EQ(segment.start, c.start) << std::hex << c.address;
        EXPECT_EQ(segment.size, c.size) << std::hex << c.address;
    }
    Connect();
    std::vector<std::uint8_t> zeros(0x100, 0);
    Flash().Write(0x1000, zeros.data(), zeros.size());
    ASSERT_EQ(Ask(Frame('X', "01040")), "+\r");
    EXPECT_EQ(Flash().At(0x103F), 0x00);
    EXPECT_EQ(Flash().At(0x1040), 0xFF);
    EXPECT_EQ(Flash().At(0x107F), 0xFF);
    EXPECT_EQ(Flash().At(0x1080), 0x00);
}

TEST_F(SimLoaderTest, TheLoaderKeepsItsOwnCodeAndLooksAfterTheVectorSegment)
{
    Connect();
    EXPECT_EQ(Ask(Frame('X', "0FA00")), "-\r");
    EXPECT_EQ(Ask(Frame('X', "0FE00")), "-\r");
    ASSERT_EQ(Ask(Frame('@', "0FDFE")), "+\r");
    EXPECT_EQ(Ask(Frame('W', "1234")), "-\r");
    // Old data in the vector segment: the first write into it after an
    // erase command erases it; the next write does not.
    Flash().Write(0xFE00, std::vector<std::uint8_t>{0x00, 0x00}.data(), 2);
    ASSERT_EQ(Ask(Frame('X', "02100")), "+\r");
    ASSERT_EQ(Ask(Frame('@', "0FFC0")), "+\r");
    ASSERT_EQ(Ask(Frame('W', "1234")), "+\r");
    EXPECT_EQ(Flash().At(0xFE00), 0xFF);
    EXPECT_EQ(Flash().At(0xFFC0), 0x34);
    ASSERT_EQ(Ask(Frame('@', "0FE00")), "+\r");
    ASSERT_EQ(Ask(Frame('W', "5678")), "+\r");
    EXPECT_EQ(Flash().At(0xFE00), 0x78);
    EXPECT_EQ(Flash().At(0xFFC0), 0x34);
}

TEST_F(SimLoaderTest, VectorsRestartTheInstrumentIntoTheProgrammedFirmware)
{
    // A small firmware with a good self-check block: version 1.85.
    std::vector<std::uint8_t> memory(SimFlash::kSize, 0xFF);
    for (std::uint32_t a = 0x2600; a < 0x2700; ++a)
        memory[a] = static_cast<std::uint8_t>(a * 7);
    memory[0xFFFE] = 0x00;
    memory[0xFFFF] = 0x26;
    SelfCheckBlock block{};
    block.version = 185;
    block.kind = 14;
    block.rangeCount = 1;
    block.ranges[0] = {0x2600, 0x100};
    block.ranges[1] = {0xFFFF0, 0xFFFF};
    block.ranges[2] = {0xFFFF0, 0xFFFF};
    block.balance = 0xFFFFFFFF;
    std::uint8_t encoded[kSelfCheckBlockSize];
    EncodeSelfCheckBlock(block, encoded);
    std::copy(encoded, encoded + kSelfCheckBlockSize, memory.begin() + kSelfCheckBlockAddress);
    block.crc = ComputeSelfCheckCrc(memory.data(), memory.size(), block);
    EncodeSelfCheckBlock(block, encoded);
    std::copy(encoded, encoded + kSelfCheckBlockSize, memory.begin() + kSelfCheckBlockAddress);
    ASSERT_EQ(VerifyFlashImage(memory.data(), memory.size()), kSelfCheckGood);

    Connect();
    ASSERT_EQ(Ask(Frame('@', "02600")), "+\r");
    ASSERT_EQ(Ask(Frame('W', Words({memory.begin() + 0x2600, memory.begin() + 0x2700}))), "+\r");
    ASSERT_EQ(Ask(Frame('@', "0FFC0")), "+\r");
    ASSERT_EQ(Ask(Frame('W', Words({memory.begin() + 0xFFC0, memory.begin() + 0xFFE0}))), "+\r");
    ASSERT_EQ(Ask(Frame('V', Words({memory.begin() + 0xFFE0, memory.begin() + 0x10000}))), "+\r");

    // Restarting: nothing answers, then the firmware does.
    EXPECT_EQ(Ask("get -ver\r"), "");
    clock_.Advance(sim_.Config().loader.restartMs);
    sim_.Service();
    EXPECT_EQ(sim_.Program(), SimProgram::Firmware);
    EXPECT_EQ(Ask("get -ver\r"), "\rTX 1.85\r\n>");
    EXPECT_EQ(Ask("post\r"), "\rCode Good!\r\n>");
    EXPECT_EQ(Ask("post -init\r"), "\rCode Good!\r\n>");

    // Bits of the code lost: the firmware finds out.
    ASSERT_NE(Flash().At(0x2650), 0x00);
    Flash().Write(0x2650, std::vector<std::uint8_t>{0x00}.data(), 1);
    EXPECT_EQ(Ask("post\r"), "\rCode Corrupt!\r\n>");
}

TEST_F(SimLoaderTest, TheFirmwareItCameWithIsGoodUntilTheLoaderTouchesTheFlash)
{
    EXPECT_EQ(Ask("post\r"), "\rCode Good!\r\n>");
    Connect();
    ASSERT_EQ(Ask(Frame('X', "02100")), "+\r");
    sim_.SetProgram(SimProgram::Firmware);
    EXPECT_EQ(Ask("post\r"), "\rCode Corrupt!\r\n>");
}

TEST_F(SimLoaderTest, TheBootCommandAnswersAsConfigured)
{
    struct Case {
        SimLoaderConfig::Boot boot;
        const char* answer;
        SimProgram program;
    };
    for (const Case& c : {Case{SimLoaderConfig::Boot::Starts, "\rOK\r\n>", SimProgram::Loader},
                          Case{SimLoaderConfig::Boot::Missing, "\rOrvaBSL MISSING\r\n>", SimProgram::Firmware},
                          Case{SimLoaderConfig::Boot::Error, "\rERROR\r\n>", SimProgram::Firmware},
                          Case{SimLoaderConfig::Boot::Dead, "\rOK\r\n>", SimProgram::Loader}}) {
        SimConfig config;
        config.loader.boot = c.boot;
        SimInstrument sim(config);
        sim.HostOpened();
        sim.Feed("boot KRAB\r");
        EXPECT_EQ(sim.TakeAll(), c.answer);
        EXPECT_EQ(sim.Program(), c.program);
        sim.Feed("\rP");
        const bool alive = c.boot == SimLoaderConfig::Boot::Starts;
        // The firmware answers the empty line; a loader that never came up says nothing.
        EXPECT_EQ(sim.TakeAll(), alive ? "$#" : (c.program == SimProgram::Firmware ? "\r\r>" : ""))
            << static_cast<int>(c.boot);
        if (c.boot == SimLoaderConfig::Boot::Dead) {
            // The instrument comes back in its firmware once the port closes.
            sim.HostClosed();
            EXPECT_EQ(sim.Program(), SimProgram::Firmware);
        }
    }
    // Only the boot word starts the loader.
    EXPECT_EQ(Ask("boot KRAC\r"), "\rERROR\r\n>");
    EXPECT_EQ(sim_.Program(), SimProgram::Firmware);
}

TEST_F(SimLoaderTest, ARefusedFrameIsRefusedOnce)
{
    sim_.Config().loader.refuseLetter = 'W';
    sim_.Config().loader.refuseNth = 2;
    Connect();
    ASSERT_EQ(Ask(Frame('@', "02600")), "+\r");
    EXPECT_EQ(Ask(Frame('W', "1111")), "+\r");
    EXPECT_EQ(Ask(Frame('W', "2222")), "-\r");
    EXPECT_EQ(Loader().writeAddress, 0x2602u);  // nothing written
    EXPECT_EQ(Ask(Frame('W', "2222")), "+\r");
    EXPECT_EQ(Ask(Frame('W', "3333")), "+\r");
    EXPECT_EQ(Flash().At(0x2602), 0x22);
}

TEST_F(SimLoaderTest, APulledCableSilencesTheLineUntilThePortIsOpenedAgain)
{
    sim_.Config().loader.pullCableAfter = 3;
    Connect();
    EXPECT_EQ(Ask(Frame('g', "")), "+12+\r");
    EXPECT_EQ(Ask(Frame('@', "02600")), "+\r");
    EXPECT_EQ(Ask(Frame('W', "1111")), "+\r");  // the third frame still arrives
    EXPECT_EQ(Ask(Frame('W', "2222")), "");
    EXPECT_EQ(Ask("\r"), "");
    EXPECT_EQ(Flash().At(0x2602), 0xFF);
    sim_.HostClosed();
    sim_.HostOpened();
    // The loader is still connected, and says so.
    EXPECT_EQ(Ask("\r"), "?");
    EXPECT_EQ(Ask("boot KRAB\r"), "?");
    EXPECT_EQ(Ask(Frame('W', "2222")), "+\r");
    EXPECT_EQ(Flash().At(0x2602), 0x22);
}

TEST_F(SimLoaderTest, ALoaderLeftBehindWaitsOrIsConnected)
{
    for (const SimStart start : {SimStart::LoaderWaiting, SimStart::LoaderConnected}) {
        SimConfig config;
        config.start = start;
        SimInstrument sim(config);
        sim.HostOpened();
        sim.Feed("\r");
        EXPECT_EQ(sim.TakeAll(), start == SimStart::LoaderWaiting ? "$" : "?");
    }
}

TEST(OrvasimLoaderOptions, SetTheLoaderAndItsFaults)
{
    OrvasimOptions options;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--boot", "dead", "--refuse-frame", "W:3", "--pull-cable=250", "--dump-flash", "/tmp/f"},
                             options, error))
        << error;
    EXPECT_EQ(options.config.loader.boot, SimLoaderConfig::Boot::Dead);
    EXPECT_EQ(options.config.loader.refuseLetter, 'W');
    EXPECT_EQ(options.config.loader.refuseNth, 3u);
    EXPECT_EQ(options.config.loader.pullCableAfter, 250u);
    EXPECT_EQ(options.dumpFlash, "/tmp/f");
    for (const auto& [word, boot] :
         {std::pair{"starts", SimLoaderConfig::Boot::Starts}, std::pair{"missing", SimLoaderConfig::Boot::Missing},
          std::pair{"error", SimLoaderConfig::Boot::Error}}) {
        OrvasimOptions more;
        ASSERT_TRUE(ParseOptions({"--boot", word}, more, error)) << error;
        EXPECT_EQ(more.config.loader.boot, boot);
    }
    const std::vector<std::vector<std::string>> bad = {
        {"--boot", "maybe"},   {"--refuse-frame", "W"}, {"--refuse-frame", "W:0"}, {"--refuse-frame", "WX:1"},
        {"--pull-cable", "0"}, {"--pull-cable", "x"},   {"--dump-flash"},
    };
    for (const auto& args : bad) {
        OrvasimOptions refused;
        EXPECT_FALSE(ParseOptions(args, refused, error)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(error.empty());
    }
}

TEST(SimFlashDump, WritesTheWholeMemory)
{
    SimFlash flash;
    flash.Write(0x2600, std::vector<std::uint8_t>{0x80, 0x29}.data(), 2);
    const std::string path = "/tmp/orva-simflash-" + std::to_string(::getpid()) + ".bin";
    ASSERT_EQ(flash.Dump(path.c_str()), 0);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<std::uint8_t> back(SimFlash::kSize + 1);
    const std::size_t n = std::fread(back.data(), 1, back.size(), file);
    std::fclose(file);
    std::remove(path.c_str());
    ASSERT_EQ(n, SimFlash::kSize);
    back.resize(n);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), flash.Data()));
    EXPECT_EQ(back[0x2601], 0x29);
    EXPECT_EQ(flash.Dump("/nonexistent-dir/flash.bin"), -ENOENT);
}
