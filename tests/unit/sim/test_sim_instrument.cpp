// The simulated instrument on its own: answers, their format, faults, time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "SimFirmwareInterpreter.h"
#include "SimInstrument.h"
#include "instrument/InstrumentKind.h"
#include "serial/Timing.h"

namespace {

class SimTest : public ::testing::Test {
protected:
    std::string Ask(const std::string& bytes)
    {
        sim_.Feed(bytes);
        return sim_.TakeAll();
    }
    VirtualClock clock_{5000};
    ScopedClock useClock_{&clock_};
    SimInstrument sim_;
};

// The host's ways of reading an answer, as its protocols apply them.

// The version line: leading carriage returns skipped, up to the next one.
std::string VersionLine(const std::string& answer)
{
    const std::size_t start = answer.find_first_not_of('\r');
    if (start == std::string::npos) return {};
    const std::size_t end = answer.find('\r', start);
    return end == std::string::npos ? std::string() : answer.substr(start, end - start);
}

// One leading "\r", then one "\n", skipped; up to the next "\r".
std::string FirstLineValue(const std::string& answer)
{
    std::size_t at = 0;
    if (at < answer.size() && answer[at] == '\r') ++at;
    if (at < answer.size() && answer[at] == '\n') ++at;
    return answer.substr(at, answer.find('\r', at) - at);
}

// After the first "\r" (the whole text without one), one "\n" skipped.
bool NumberAfterFirstBreak(const std::string& answer, long* value)
{
    const std::size_t cr = answer.find('\r');
    std::size_t at = cr == std::string::npos ? 0 : cr + 1;
    if (at < answer.size() && answer[at] == '\n') ++at;
    return std::sscanf(answer.c_str() + at, "%ld", value) == 1;
}

// White space skipped, not the prompt, up to the first "\r".
std::string TextAfterWhiteSpace(const std::string& answer)
{
    const std::size_t start = answer.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || answer[start] == '>') return {};
    return answer.substr(start, answer.find('\r', start) - start);
}

bool IsRefusal(const std::string& answer)
{
    return answer.find("ERROR") != std::string::npos || answer.find('?') != std::string::npos ||
           answer.find("Unsupported") != std::string::npos;
}

bool IsEmptyAnswer(const std::string& answer)
{
    return answer.rfind("\r\r>", 0) == 0;
}

}  // namespace

TEST_F(SimTest, AHealthyReaderAnswersWhatItIs)
{
    struct Case {
        const char* command;
        const char* answer;
    };
    const Case cases[] = {
        {"get -ver\r", "\rTX 1.73\r\n>"},
        {"get -hver\r", "\rC\r\n>"},
        {"get -batt\r", "\r87\r\n>"},
        {"logout\r", "\rOK\r\n>"},
        {"get -nothing\r", "\rERROR\r\n>"},
        {"get -verbose\r", "\rERROR\r\n>"},  // whole words only
        {"get\r", "\rERROR\r\n>"},
        {"\r", "\r\r>"},
        {"  get   -ver\r", "\rTX 1.73\r\n>"},
        {"get -ver\r\n", "\rTX 1.73\r\n>"},  // a line feed is ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(Ask(c.command), c.answer);
    }
}

TEST_F(SimTest, CommandsArriveInAnyPieces)
{
    EXPECT_EQ(Ask("get -"), "");
    EXPECT_EQ(Ask("ba"), "");
    EXPECT_EQ(Ask("tt\rget -hver\rlog"), "\r87\r\n>\rC\r\n>");
    EXPECT_EQ(Ask("out\r"), "\rOK\r\n>");
}

TEST_F(SimTest, EveryAnswerReadsCleanlyByTheHostsRules)
{
    // The version line names kind and version.
    const std::string version = Ask("get -ver\r");
    EXPECT_EQ(VersionLine(version), "TX 1.73");
    InstrumentInfo info{};
    ASSERT_EQ(ParseVersionText(VersionLine(version).c_str(), &info), 1);
    EXPECT_EQ(info.kind, TALLIX);
    EXPECT_EQ(info.version, 173u);
    EXPECT_NE(version[1], '>');
    EXPECT_FALSE(IsRefusal(version));
    EXPECT_FALSE(IsEmptyAnswer(version));
    EXPECT_EQ(version.find("get -ver\r"), std::string::npos);  // no echo

    // A value: first line, or after white space; a number from the start or
    // after the first line break.
    const std::string battery = Ask("get -batt\r");
    EXPECT_EQ(FirstLineValue(battery), "87");
    EXPECT_EQ(TextAfterWhiteSpace(battery), "87");
    int fromStart = 0;
    EXPECT_EQ(std::sscanf(battery.c_str(), "%d", &fromStart), 1);
    EXPECT_EQ(fromStart, 87);
    long afterBreak = 0;
    EXPECT_TRUE(NumberAfterFirstBreak(battery, &afterBreak));
    EXPECT_EQ(afterBreak, 87);

    // The hardware revision is the first character that is not white space.
    const std::string revision = Ask("get -hver\r");
    EXPECT_EQ(revision[revision.find_first_not_of(" \t\r\n")], 'C');

    // A confirmation, the empty answer and a refusal are told apart.
    const std::string ok = Ask("logout\r");
    EXPECT_NE(ok.find("OK"), std::string::npos);
    EXPECT_FALSE(IsRefusal(ok));
    EXPECT_FALSE(IsEmptyAnswer(ok));
    const std::string empty = Ask("\r");
    EXPECT_TRUE(IsEmptyAnswer(empty));
    EXPECT_EQ(TextAfterWhiteSpace(empty), "");
    EXPECT_FALSE(IsRefusal(empty));
    const std::string refused = Ask("frobnicate\r");
    EXPECT_TRUE(IsRefusal(refused));
    EXPECT_FALSE(IsEmptyAnswer(refused));
    // Every answer ends with the prompt.
    for (const std::string& answer : {version, battery, revision, ok, empty, refused})
        EXPECT_EQ(answer.back(), '>');
}

TEST_F(SimTest, IsMadeAsConfigured)
{
    SimConfig config;
    config.kind = KELOX;
    config.batteryPercent = 9;
    config.hardwareRevision = "B";
    SimInstrument logger(config);
    logger.Feed("get -ver\rget -batt\rget -hver\r");
    EXPECT_EQ(logger.TakeAll(), "\r" + std::string(KindShortCode(KELOX)) + " 1.73\r\n>\r9\r\n>\rB\r\n>");
    logger.Config().versionText = "TX 1.74";
    logger.Feed("get -ver\r");
    EXPECT_EQ(logger.TakeAll(), "\rTX 1.74\r\n>");
}

TEST_F(SimTest, FaultsChangeWhatItSays)
{
    sim_.Config().faults.echo = true;
    EXPECT_EQ(Ask("get -ver\r"), "get -ver\r\rTX 1.73\r\n>");
    sim_.Config().faults = {};
    sim_.Config().faults.errorToEverything = true;
    EXPECT_EQ(Ask("get -ver\r"), "\rERROR\r\n>");
    sim_.Config().faults = {};
    sim_.Config().faults.silent = true;
    EXPECT_EQ(Ask("get -ver\r"), "");
    sim_.Config().faults.silent = false;
    EXPECT_EQ(Ask("get -ver\r"), "\rTX 1.73\r\n>");
}

TEST_F(SimTest, TimedOutputAndActionsKeepTheirOrder)
{
    EXPECT_FALSE(sim_.NextEventAt().has_value());
    sim_.Send("late", 300);
    sim_.Send("soon", 0);  // never overtakes what was sent before
    std::string order;
    sim_.After(200, [&](SimInstrument&) { order += "b"; });
    sim_.After(100, [&](SimInstrument& sim) {
        order += "a";
        sim.After(0, [&](SimInstrument&) { order += "c"; });
    });
    EXPECT_EQ(sim_.NextEventAt(), 5100u);
    EXPECT_EQ(sim_.TakeAll(), "");
    clock_.Advance(100);
    sim_.Service();
    EXPECT_EQ(order, "ac");
    clock_.Advance(100);
    EXPECT_EQ(sim_.NextEventAt(), 5200u);  // due now
    sim_.Service();
    EXPECT_EQ(order, "acb");
    EXPECT_EQ(sim_.NextEventAt(), 5300u);
    clock_.Advance(100);
    EXPECT_EQ(sim_.TakeAll(), "latesoon");
}

TEST_F(SimTest, ClosingThePortLosesWhatWasUnderWay)
{
    sim_.HostOpened();
    sim_.Feed("get -ver\rget -ba");
    sim_.Send("more", 50);
    sim_.HostClosed();
    EXPECT_FALSE(sim_.HostConnected());
    clock_.Advance(100);
    EXPECT_EQ(sim_.TakeAll(), "");
    sim_.HostOpened();
    EXPECT_EQ(Ask("tt\r"), "\rERROR\r\n>");  // the half line went with the close
}

TEST_F(SimTest, KeepsStateForLaterFeaturesAndTracesTheLine)
{
    struct Counter {
        int value = 0;
    };
    ++sim_.Model<Counter>().value;
    ++sim_.Model<Counter>().value;
    EXPECT_EQ(sim_.Model<Counter>().value, 2);

    std::string trace;
    sim_.trace = [&](const std::string& line) { trace += line + "\n"; };
    sim_.HostOpened();
    sim_.HostBaudChanged(57600);
    sim_.HostBaudChanged(57600);  // no change, no event
    Ask("get -hver\r");
    EXPECT_EQ(sim_.HostBaud(), 57600);
    EXPECT_EQ(trace,
              "host opened the port\nhost baud rate 57600\nhost sent \"get -hver\\r\"\n"
              "instrument sends \"\\rC\\r\\n>\"\n");
}
