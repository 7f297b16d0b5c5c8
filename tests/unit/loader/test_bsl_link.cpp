// The loader link: one frame and its answer, starting the loader, looking
// for one, connecting and closing; against the simulated instrument.
#include <algorithm>
#include <cstring>
#include <functional>

#include "BSLTestSupport.h"

namespace {

// A port that answers what is written to it through a function, for the
// replies no simulated instrument gives.
class ReactivePort : public SerialPort {
public:
    using Responder = std::function<std::string(const std::string& written)>;
    explicit ReactivePort(Responder respond) : respond_(std::move(respond)) {}
    int Open(const std::string&) override { return 0; }
    int Configure(int, ConfigureStep* step) override
    {
        *step = ConfigureStep::None;
        return 0;
    }
    int SetBaud(int) override { return 0; }
    int Read(void* buffer, unsigned capacity) override
    {
        if (pending_.empty()) {
            CurrentClock().SleepMs(100);
            return 0;
        }
        const unsigned n = std::min<unsigned>(capacity, static_cast<unsigned>(pending_.size()));
        std::memcpy(buffer, pending_.data(), n);
        pending_.erase(0, n);
        return static_cast<int>(n);
    }
    int Write(const void* bytes, unsigned count) override
    {
        pending_ += respond_(std::string(static_cast<const char*>(bytes), count));
        return static_cast<int>(count);
    }
    int PurgeInput() override
    {
        pending_.clear();
        return 0;
    }
    int SetDtr(bool) override { return 0; }
    int Close() override { return 0; }
    int Handle() const override { return 5; }

private:
    Responder respond_;
    std::string pending_;
};

class ReactiveProvider : public SerialPortProvider {
public:
    explicit ReactiveProvider(ReactivePort::Responder respond) : respond_(std::move(respond)) {}
    std::unique_ptr<SerialPort> Create(const std::string&) override
    {
        ++created;
        return std::make_unique<ReactivePort>(respond_);
    }
    int created = 0;

private:
    ReactivePort::Responder respond_;
};

class BSLLinkTest : public BSLHostTest {
protected:
    void OpenAt9600(unsigned tries)
    {
        ASSERT_EQ(host_.OSOpen(kPort, 9600), 1);
        host_.SetLinkOptions(false, tries);
    }
    char answer_[kBSLAnswerSize] = {};
    long elapsed_ = 0;
};

}  // namespace

// --- BSLCommand ---

TEST_F(BSLLinkTest, ACommandNeedsAnOpenLinkAndSoundArguments)
{
    char answer[kBSLAnswerSize];
    const std::uint32_t one = 0x2100;
    EXPECT_EQ(host_.BSLCommand('g', static_cast<const char*>(nullptr), 0, '\r', answer, sizeof answer, &elapsed_), -21);
    EXPECT_EQ(host_.BSLCommand('X', &one, 1, '\r', answer, sizeof answer, &elapsed_, true), -21);
    EXPECT_EQ(hostSent_, "");

    ASSERT_GT(Connect(), 0);
    ForgetSent();
    const std::string tooLong(kBSLMaxText + 1, '0');
    const std::vector<std::uint32_t> numbers(kBSLMaxNumbers + 1, 0);
    struct Case {
        const char* what;
        int result;
        std::function<int()> call;
    };
    const Case cases[] = {
        {"513 characters", -11,
         [&] { return host_.BSLCommand('W', tooLong.data(), 513, '\r', answer, sizeof answer, &elapsed_); }},
        {"no answer buffer", -10, [&] { return host_.BSLCommand('W', "0000", 4, '\r', nullptr, 0, &elapsed_); }},
        {"W without text", -10,
         [&] { return host_.BSLCommand('W', static_cast<const char*>(nullptr), 0, '\r', answer, 21, &elapsed_); }},
        {"129 numbers", -11,
         [&] { return host_.BSLCommand('V', numbers.data(), 129, '+', answer, sizeof answer, &elapsed_, false); }},
        // 128 five-digit numbers would make a frame of 640 characters.
        {"128 five-digit numbers", -11,
         [&] { return host_.BSLCommand('V', numbers.data(), 128, '+', answer, sizeof answer, &elapsed_, true); }},
        {"a number wider than four digits", -11,
         [&] {
             const std::uint32_t wide = 0x10000;
             return host_.BSLCommand('X', &wide, 1, '\r', answer, sizeof answer, &elapsed_, false);
         }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.call(), c.result) << c.what;
    EXPECT_EQ(hostSent_, "") << "nothing may be sent for a refused argument";
}

TEST_F(BSLLinkTest, AnAcknowledgedCommandReturnsTheAnswerLength)
{
    ASSERT_EQ(Connect(), 12);
    ForgetSent();
    EXPECT_EQ(host_.BSLCommand('g', static_cast<const char*>(nullptr), 0, '\r', answer_, sizeof answer_, &elapsed_), 5);
    EXPECT_STREQ(answer_, "+12+\r");
    const std::uint32_t address = 0x2100;
    EXPECT_EQ(host_.BSLCommand('X', &address, 1, '\r', answer_, sizeof answer_, &elapsed_, false), 2);
    EXPECT_STREQ(answer_, "+\r");
    EXPECT_EQ(LoaderLines(), (std::vector<std::string>{"g.0095", "X2100.0149"}));
    EXPECT_EQ(hostSent_, "g.0095\\rX2100.0149\\r");
    EXPECT_EQ(sim_.Model<SimLoaderModel>().journal.back().baud, 57600);
}

TEST_F(BSLLinkTest, ARefusedCommandGivesMinusOne)
{
    sim_.Config().loader.refuseLetter = '@';
    sim_.Config().loader.refuseNth = 1;
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(host_.BSLCommand('@', "02600", 5, '\r', answer_, sizeof answer_, &elapsed_), -1);
    EXPECT_STREQ(answer_, "-\r");
    // A frame the loader cannot read is refused as well.
    EXPECT_EQ(host_.BSLCommand('@', "026", 3, '\r', answer_, sizeof answer_, &elapsed_), -1);
    EXPECT_EQ(host_.BSLCommand('@', "02600", 5, '\r', answer_, sizeof answer_, &elapsed_), 2);
}

TEST_F(BSLLinkTest, SilenceForASecondGivesMinus21)
{
    sim_.Config().loader.pullCableAfter = 1;  // the "g" of the connection
    ASSERT_GT(Connect(), 0);
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(host_.BSLCommand('@', "02600", 5, '\r', answer_, sizeof answer_, &elapsed_), -21);
    EXPECT_STREQ(answer_, "");
    EXPECT_GE(elapsed_, 1000);
    EXPECT_EQ(static_cast<std::uint32_t>(elapsed_), clock_.NowMs() - start);
}

TEST_F(BSLLinkTest, TheAnswerStaysInsideItsBuffer)
{
    ASSERT_GT(Connect(), 0);
    struct {
        char small[4] = {'x', 'x', 'x', 'x'};
        char guard[4] = {'#', '#', '#', '#'};
    } buffers;
    // "+12+\r" does not fit: three characters and the NUL.
    EXPECT_EQ(host_.BSLCommand('g', static_cast<const char*>(nullptr), 0, '\r', buffers.small, 4, &elapsed_), 3);
    EXPECT_STREQ(buffers.small, "+12");
    EXPECT_EQ(std::string(buffers.guard, 4), "####");
}

// --- BSLInvocation ---

TEST_F(BSLLinkTest, InvocationBranchesAgainstTheSimulatedInstrument)
{
    struct Case {
        const char* name;
        std::function<void(SimConfig&)> setup;
        unsigned tries;
        int result;
        int boots;    // "boot KRAB" sent
        int prompts;  // carriage returns sent alone in phase 2
        bool connected;
        const char* logLine;
    };
    const Case cases[] = {
        {"the loader starts", [](SimConfig&) {}, 3, 1, 1, 1, true, "BSLInvocation successful (1 tries)"},
        {"a loader waits already", [](SimConfig& c) { c.start = SimStart::LoaderWaiting; }, 3, 1, 1, 1, true,
         "BSLInvocation successful (1 tries)"},
        {"a loader is connected already", [](SimConfig& c) { c.start = SimStart::LoaderConnected; }, 3, 1, 1, 0, true,
         "BSLInvocation found the OrvaBSL already active"},
        {"no loader in the instrument", [](SimConfig& c) { c.loader.boot = SimLoaderConfig::Boot::Missing; }, 3, -112,
         1, 0, false, "BSLInvocation failed with error -112"},
        {"the firmware refuses", [](SimConfig& c) { c.loader.boot = SimLoaderConfig::Boot::Error; }, 3, -110, 3, 0,
         false, "BSLInvocation failed with error -110"},
        {"nothing answers", [](SimConfig& c) { c.faults.silent = true; }, 2, -112, 2, 0, false,
         "BSLInvocation failed with error -112"},
        {"no prompt from the loader", [](SimConfig& c) { c.loader.boot = SimLoaderConfig::Boot::Dead; }, 3, -112, 1, 3,
         false, "BSLInvocation failed with error -112"},
        {"no tries", [](SimConfig&) {}, 0, -22, 0, 0, false, "BSLInvocation failed with error -22"},
    };
    for (const Case& c : cases) {
        SimConfig config;
        c.setup(config);
        SimInstrument sim(config);
        std::string sent;
        sim.trace = [&sent](const std::string& line) {
            if (line.rfind("host sent \"", 0) == 0) sent += line.substr(11, line.size() - 12) + "|";
        };
        SimPortProvider provider;
        provider.Attach(kPort, &sim);
        ScopedSerialPortProvider use(&provider);
        BSLTempLog log;
        OrvaBSLHost host(log.get());
        ASSERT_EQ(host.OSOpen(kPort, 9600), 1);
        host.SetLinkOptions(false, c.tries);

        EXPECT_EQ(host.BSLInvocation(57600), c.result) << c.name;
        int boots = 0, prompts = 0;
        for (std::size_t at = sent.find("boot KRAB\\r|"); at != std::string::npos; at = sent.find("boot KRAB", at + 1))
            ++boots;
        for (std::size_t at = sent.find("|\\r|"); at != std::string::npos; at = sent.find("|\\r|", at + 1))
            ++prompts;
        if (sent.rfind("\\r|", 0) == 0) ++prompts;
        EXPECT_EQ(boots, c.boots) << c.name << ": " << sent;
        EXPECT_EQ(prompts, c.prompts) << c.name << ": " << sent;
        EXPECT_EQ(sim.Model<SimLoaderModel>().connected, c.connected) << c.name;
        EXPECT_EQ(sent.find("P|") != std::string::npos, c.connected && c.prompts > 0) << c.name << ": " << sent;
        const std::vector<std::string> lines = log.HostLines();
        EXPECT_EQ(lines, std::vector<std::string>{c.logLine}) << c.name;
        // Phase 2 and what follows speak at the loader's rate, including
        // with a loader found connected already.
        if (c.result > 0) {
            EXPECT_EQ(sim.HostBaud(), 57600) << c.name;
        }
    }
}

TEST_F(BSLLinkTest, InvocationBranchesOnlyAPortCanShow)
{
    struct Case {
        const char* name;
        std::function<std::string(const std::string&, int&)> reply;  // the counter counts boot commands
        int result;
        bool phase2;
    };
    const Case cases[] = {
        {"a prompt, but no connection",
         [](const std::string& w, int&) { return w == "boot KRAB\r" ? "OK"
                                                 : w == "\r"        ? "$"
                                                                    : "x"; }, -110, true},
        {"an unknown reply on the first try starts phase 2",
         [](const std::string& w, int&) { return w == "boot KRAB\r" ? "hm"
                                                 : w == "\r"        ? "$"
                                                                    : "#"; }, 1, true},
        {"an unknown reply after a refusal keeps the refusal",
         [](const std::string& w, int& boots) {
             if (w == "boot KRAB\r") return ++boots == 1 ? "ERROR" : "hm";
             return w == "\r" ? "$" : "#";
         },
         -110, false},
        {"the prompt must come first",
         [](const std::string& w, int&) { return w == "boot KRAB\r" ? "OK"
                                                 : w == "\r"        ? "x$"
                                                                    : "#"; }, -112, true},
    };
    for (const Case& c : cases) {
        int boots = 0;
        std::vector<std::string> writes;
        ReactiveProvider provider([&](const std::string& w) {
            writes.push_back(w);
            return c.reply(w, boots);
        });
        ScopedSerialPortProvider use(&provider);
        BSLTempLog log;
        OrvaBSLHost host(log.get());
        ASSERT_EQ(host.OSOpen(kPort, 9600), 1);
        host.SetLinkOptions(false, 3);
        EXPECT_EQ(host.BSLInvocation(57600), c.result) << c.name;
        const bool phase2 = std::find(writes.begin(), writes.end(), "\r") != writes.end();
        EXPECT_EQ(phase2, c.phase2) << c.name;
    }
}

TEST_F(BSLLinkTest, AWriteFailureEndsTheInvocationWithItsCode)
{
    // The channel was opened and closed: its writes fail.
    ASSERT_EQ(host_.OSOpen(kPort, 9600), 1);
    host_.SetLinkOptions(false, 3);
    host_.OSClose();
    EXPECT_EQ(host_.BSLInvocation(57600), -21);
    EXPECT_TRUE(log_.Has("BSLInvocation failed with error -21"));
}

// --- BSLCheck ---

TEST_F(BSLLinkTest, CheckFindsALoaderWaitingOrActiveAndLeavesThePortOpen)
{
    struct Case {
        SimStart start;
        int result;
        const char* logLine;
    };
    for (const Case& c : {Case{SimStart::LoaderWaiting, -81, "BSLCheck found the OrvaBSL waiting for a connection"},
                          Case{SimStart::LoaderConnected, -80, "BSLCheck found the OrvaBSL already active"}}) {
        SimConfig config;
        config.start = c.start;
        SimInstrument sim(config);
        SimPortProvider provider;
        provider.Attach(kPort, &sim);
        ScopedSerialPortProvider use(&provider);
        BSLTempLog log;
        OrvaBSLHost host(log.get());
        EXPECT_EQ(host.BSLCheck(kPort, 57600), c.result);
        EXPECT_TRUE(host.LinkOpen());
        EXPECT_TRUE(sim.HostConnected());
        EXPECT_EQ(sim.HostBaud(), 57600);
        EXPECT_EQ(log.HostLines(), std::vector<std::string>{c.logLine});
        EXPECT_EQ(host.BSLClose(), 1);
        EXPECT_FALSE(sim.HostConnected());
    }
}

TEST_F(BSLLinkTest, CheckWithSilenceGivesMinus21AndLogsOnlyVerbosely)
{
    sim_.Config().faults.silent = true;
    BSLTempLog milestones(10);
    {
        OrvaBSLHost quiet(milestones.get());
        EXPECT_EQ(quiet.BSLCheck(kPort, 57600), -21);
        quiet.BSLClose();
    }
    EXPECT_EQ(milestones.HostLines(), std::vector<std::string>{});
    ForgetSent();
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(host_.BSLCheck(kPort, 57600), -21);
    EXPECT_GE(clock_.NowMs() - start, 1200u);  // the pause after opening and the wait for the prompt
    EXPECT_EQ(log_.HostLines(), std::vector<std::string>{"BSLCheck didn't get a response from the OrvaBSL"});
    EXPECT_EQ(SentCount("\\r"), 1);
}

TEST_F(BSLLinkTest, CheckOnAnOpenLinkChangesTheRateOnly)
{
    SimConfig config;
    config.start = SimStart::LoaderConnected;
    SimInstrument loaderLeft(config);
    provider_.Attach(kPort, &loaderLeft);
    ASSERT_EQ(host_.BSLCheck(kPort, 9600), -80);
    EXPECT_EQ(loaderLeft.HostBaud(), 9600);
    EXPECT_EQ(host_.BSLCheck(kPort, 57600), -80);
    EXPECT_EQ(loaderLeft.HostBaud(), 57600);
    host_.BSLClose();  // before the instrument goes
}

TEST_F(BSLLinkTest, CheckReportsAPortThatCannotBeOpened)
{
    provider_.SetHeldElsewhere(kPort, true);
    EXPECT_EQ(host_.BSLCheck(kPort, 57600), -5);
    EXPECT_FALSE(host_.LinkOpen());
    EXPECT_TRUE(log_.Has("BSLCheck received error while opening serial port (-5)"));
}

// --- BSLConnect and BSLClose ---

TEST_F(BSLLinkTest, ConnectWithoutAPortNameTouchesNoPort)
{
    ReactiveProvider counting([](const std::string&) { return std::string(); });
    ScopedSerialPortProvider use(&counting);
    EXPECT_EQ(host_.BSLConnect("", 57600, true, 3), -10);
    EXPECT_EQ(host_.BSLConnect(nullptr, 57600, true, 3), -10);
    EXPECT_EQ(counting.created, 0);
    EXPECT_FALSE(host_.LinkOpen());
    EXPECT_FALSE(host_.IsOpen());
    EXPECT_EQ(log_.HostLines(), std::vector<std::string>{});
}

TEST_F(BSLLinkTest, ConnectStartsTheLoaderAndReadsItsVersion)
{
    sim_.Model<SimLoaderModel>().version = 31;
    EXPECT_EQ(Connect(), 31);
    EXPECT_EQ(host_.LoaderVersion(), 31);
    EXPECT_TRUE(host_.LinkOpen());
    EXPECT_TRUE(host_.ProgressOn());
    EXPECT_EQ(host_.Tries(), 3u);
    EXPECT_EQ(sim_.HostBaud(), 57600);
    EXPECT_EQ(hostSent_, "boot KRAB\\r\\rPg.0095\\r");
    EXPECT_EQ(log_.HostLines(),
              (std::vector<std::string>{"BSLInvocation successful (1 tries)",
                                        "BSLConnect connected to device running OrvaBSL version 31"}));
    EXPECT_EQ(host_.BSLClose(), 1);
    EXPECT_FALSE(host_.LinkOpen());
    EXPECT_FALSE(sim_.HostConnected());
    EXPECT_EQ(host_.BSLClose(), 0);
}

TEST_F(BSLLinkTest, ConnectFindsALoaderLeftConnectedAndTalksAtItsRate)
{
    SimConfig config;
    config.start = SimStart::LoaderConnected;
    SimInstrument loaderLeft(config);
    provider_.Attach(kPort, &loaderLeft);
    EXPECT_EQ(Connect(), 12);
    const auto& journal = loaderLeft.Model<SimLoaderModel>().journal;
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].line, "boot KRAB");  // heard and answered "?"
    EXPECT_EQ(journal[1].line, "g.0095");
    EXPECT_EQ(journal[1].baud, 57600);
    EXPECT_TRUE(log_.Has("BSLInvocation found the OrvaBSL already active"));
    host_.BSLClose();  // before the instrument goes
}

TEST_F(BSLLinkTest, ConnectFailuresCloseThePort)
{
    struct Case {
        const char* name;
        std::function<void(SimConfig&)> setup;
        int result;
    };
    const Case cases[] = {
        {"no loader", [](SimConfig& c) { c.loader.boot = SimLoaderConfig::Boot::Missing; }, -112},
        {"the firmware refuses", [](SimConfig& c) { c.loader.boot = SimLoaderConfig::Boot::Error; }, -110},
        {"the loader never comes", [](SimConfig& c) { c.loader.boot = SimLoaderConfig::Boot::Dead; }, -112},
        {"silence", [](SimConfig& c) { c.faults.silent = true; }, -112},
    };
    for (const Case& c : cases) {
        SimConfig config;
        c.setup(config);
        SimInstrument sim(config);
        SimPortProvider provider;
        provider.Attach(kPort, &sim);
        ScopedSerialPortProvider use(&provider);
        BSLTempLog log;
        OrvaBSLHost host(log.get());
        EXPECT_EQ(host.BSLConnect(kPort, 57600, false, 3), c.result) << c.name;
        EXPECT_FALSE(host.LinkOpen()) << c.name;
        EXPECT_FALSE(sim.HostConnected()) << c.name;
        EXPECT_TRUE(log.Has("BSLConnect failed to connect to device (error " + std::to_string(c.result) + ")"))
            << c.name;
    }
}

TEST_F(BSLLinkTest, ConnectReportsAPortThatCannotBeOpened)
{
    provider_.SetHeldElsewhere(kPort, true);
    EXPECT_EQ(Connect(), -5);
    EXPECT_FALSE(host_.LinkOpen());
    EXPECT_EQ(log_.HostLines(), std::vector<std::string>{"BSLConnect received error while opening serial port (-5)"});
}

TEST_F(BSLLinkTest, ConnectRetriesAVersionQueryThatIsRefused)
{
    sim_.Config().loader.refuseLetter = 'g';
    sim_.Config().loader.refuseNth = 1;
    EXPECT_EQ(Connect(), 12);
    // The second try finds the loader connected already.
    EXPECT_EQ(LoaderLinesOf('g').size(), 2u);
    EXPECT_TRUE(log_.Has("BSLInvocation found the OrvaBSL already active"));
}
