// orvasim on a real pseudo-terminal, driven by a terminal program, by the
// serial channel and listed by orvabsl ports.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "e2e/OrvasimProcess.h"
#include "serial/OrvaSerial.h"
#include "serial/Timing.h"

namespace fs = std::filesystem;

namespace {

// Port names are at most 23 characters: keep the links short.
std::string LinkPath()
{
    static int counter = 0;
    return "/tmp/orvae" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

std::string Transact(OrvaSerial& channel, const std::string& command, unsigned ms = 2000)
{
    channel.OSPurge();
    unsigned written = 0;
    channel.OSWrite(command.data(), static_cast<int>(command.size()), &written);
    channel.OSWait(ms, '>');
    std::vector<char> buffer(2048);
    unsigned size = 0;
    channel.OSRead(buffer.data(), 2048, &size);
    return std::string(buffer.data(), size);
}

std::string Quote(const std::string& text)
{
    return "'" + text + "'";
}

}  // namespace

TEST(OrvasimE2E, ATerminalProgramTalksToTheLinkedPort)
{
    if (RunCommand("command -v socat").status != 0) GTEST_SKIP() << "socat is not installed";
    const std::string link = LinkPath();
    OrvasimProcess sim(ORVASIM_EXE, {"--link", link, "--trace"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
    EXPECT_EQ(fs::read_symlink(link).string(), sim.Port());

    const CommandRun run = RunCommand("printf 'get -ver\\rget -batt\\rget -hver\\rlogout\\rbogus\\r' | socat -t1 - " +
                                      Quote(link) + ",raw,echo=0,b9600");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "\rTX 1.73\r\n>\r87\r\n>\rC\r\n>\rOK\r\n>\rERROR\r\n>");

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));  // the link went with it
    const std::string trace = sim.Stderr();
    EXPECT_NE(trace.find("host opened the port"), std::string::npos) << trace;
    EXPECT_NE(trace.find("host closed the port"), std::string::npos) << trace;
}

TEST(OrvasimE2E, TheSerialChannelTalksAndTheInstrumentSeesBaudAndClose)
{
    const std::string link = LinkPath();
    OrvasimProcess sim(ORVASIM_EXE, {"--link", link, "--trace", "--battery", "42", "--version", "TX 1.74"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();

    OrvaSerial channel(nullptr);
    ASSERT_EQ(channel.OSOpen(link.c_str(), 9600), 1);
    EXPECT_EQ(Transact(channel, "get -ver\r"), "\rTX 1.74\r\n>");
    EXPECT_EQ(channel.OSHostBaud(57600), 1);
    EXPECT_EQ(Transact(channel, "get -batt\r"), "\r42\r\n>");
    EXPECT_EQ(channel.OSClose(), 1);
    ::usleep(100 * 1000);  // as the updater pauses after giving a port up
    ASSERT_EQ(channel.OSOpen(link.c_str(), 9600), 1);
    EXPECT_EQ(Transact(channel, "get -hver\r"), "\rC\r\n>");
    channel.OSClose();

    EXPECT_EQ(sim.Stop(), 0);
    const std::string trace = sim.Stderr();
    const std::size_t faster = trace.find("host baud rate 57600");
    const std::size_t closed = trace.find("host closed the port");
    const std::size_t reopened = trace.find("host opened the port", closed);
    ASSERT_NE(faster, std::string::npos) << trace;
    ASSERT_NE(closed, std::string::npos) << trace;
    EXPECT_LT(faster, closed);
    EXPECT_NE(reopened, std::string::npos) << trace;
}

TEST(OrvasimE2E, FaultsFromTheCommandLine)
{
    struct Case {
        const char* fault;
        const char* answer;
    };
    const Case cases[] = {
        {"error", "\rERROR\r\n>"},
        {"echo", "get -ver\r\rTX 1.73\r\n>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        OrvasimProcess sim(ORVASIM_EXE, {"--fault", c.fault});
        ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
        OrvaSerial channel(nullptr);
        ASSERT_EQ(channel.OSOpen(sim.Port().c_str(), 9600), 1);
        EXPECT_EQ(Transact(channel, "get -ver\r"), c.answer);
    }
}

TEST(OrvasimE2E, BaudPacingSendsNoFasterThanTheLine)
{
    OrvasimProcess sim(ORVASIM_EXE, {"--baud-pacing"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
    OrvaSerial channel(nullptr);
    ASSERT_EQ(channel.OSOpen(sim.Port().c_str(), 57600), 1);
    std::string commands;
    for (int i = 0; i < 20; ++i)
        commands += "get -ver\r";
    unsigned written = 0;
    const std::uint32_t start = MsTick();
    ASSERT_EQ(channel.OSWrite(commands.data(), static_cast<int>(commands.size()), &written), 180);
    std::string answers;
    std::vector<char> buffer(2048);
    while (answers.size() < 220 && MsTick() - start < 5000) {
        unsigned size = 0;
        channel.OSRead(buffer.data(), 2048, &size);
        answers.append(buffer.data(), size);
    }
    const std::uint32_t elapsed = MsTick() - start;
    ASSERT_EQ(answers.size(), 220u);
    // 10 bits a byte: after the first byte, 219 byte times at the least.
    EXPECT_GE(elapsed, 219u * 10000u / 57600u);
}

TEST(OrvasimE2E, PortsListsTheSimulatedInstrumentBusyWhileHeld)
{
    const std::string link = LinkPath();
    OrvasimProcess sim(ORVASIM_EXE, {"--link", link});
    ASSERT_FALSE(sim.Port().empty()) << sim.Stderr();
    // An empty device list, so that the machine's own ports stay out of it.
    const fs::path noDevices = fs::temp_directory_path() / ("orva-nodevices-" + std::to_string(::getpid()));
    fs::create_directories(noDevices);
    const std::string log = (noDevices / "log.txt").string();
    const std::string env = "ORVABSL_SYSFS_ROOT=" + Quote(noDevices.string()) + " ";
    const std::string ports = " " + Quote(ORVABSL_EXE) + " ports --log " + Quote(log);

    CommandRun run = RunCommand(env + "ORVABSL_EXTRA_PORTS=" + Quote(link) + ports);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, link + "\t" + link + " Communications Port\n");

    OrvaSerial holder(nullptr);
    ASSERT_EQ(holder.OSOpen(link.c_str(), 9600), 1);
    run = RunCommand(env + "ORVABSL_EXTRA_PORTS=" + Quote(link) + ports);
    EXPECT_EQ(run.out, link + "\t" + link + " Communications Port (busy)\n");
    holder.OSClose();

    run = RunCommand(env + "ORVABSL_EXTRA_PORTS=" + ports);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "No Comm Ports Found\n");
    fs::remove_all(noDevices);
}

TEST(OrvasimE2E, HelpAndBadOptions)
{
    CommandRun run = RunCommand(Quote(ORVASIM_EXE) + " --help");
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--kind", "--version", "--hver", "--battery", "--fault", "--link", "--baud-pacing"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    run = RunCommand(Quote(ORVASIM_EXE) + " --kind 99");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("--kind takes a number from 1 to 24"), std::string::npos);
}
