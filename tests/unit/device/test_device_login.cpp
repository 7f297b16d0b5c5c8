// Link options, connecting, identification, the old firmware's "show" and
// disconnecting.
#include <cstring>
#include <string>

#include "DeviceTestSupport.h"
#include "SimLoader.h"
#include "SimLogger.h"
#include "instrument/InstrumentKind.h"

namespace {

class LoginTest : public DeviceTest {};

struct IdentityCase {
    int simKind;
    const char* versionText;
    int loggerKind;
    const char* typeName;
    int version;
    CapabilityMask mask;
};

class IdentityTable : public DeviceTest, public ::testing::WithParamInterface<IdentityCase> {};

}  // namespace

TEST_P(IdentityTable, TheVersionLineNamesKindVersionAndCapabilities)
{
    const IdentityCase& c = GetParam();
    sim_.Config().kind = c.simKind;
    sim_.Config().versionText = c.versionText;
    ConnectRecord record{};
    std::strcpy(record.portName, kPort);
    record.linkKind = kLinkSerial;
    record.baudIndex = 0;
    ASSERT_EQ(device_->ConnectDevice(&record), 1);
    const LoggerSettings& s = device_->Settings();
    EXPECT_EQ(s.loggerKind, c.loggerKind);
    EXPECT_STREQ(s.typeName, c.typeName);
    EXPECT_EQ(s.version, c.version);
    EXPECT_TRUE(s.newFirmware);
    EXPECT_STREQ(s.versionText, c.versionText);
    EXPECT_EQ(s.capabilityMask, c.mask);
    EXPECT_EQ(record.baudIndex, kBaudIndex9600);
    EXPECT_TRUE(device_->IsConnected());
    EXPECT_EQ(Sent("get -ver\r"), 1);
    EXPECT_TRUE(LoggedByPort("DeviceLogin communicating with a device running " + std::string(c.versionText) +
                             " at 9600 baud"));
}

INSTANTIATE_TEST_SUITE_P(Devices, IdentityTable,
                         ::testing::Values(IdentityCase{TALLIX, "TX 1.73", 10, "Tallix", 173, 0x001D3083},
                                           IdentityCase{TALLIX, "tx 1.73", 10, "Tallix", 173, 0x001D3083},
                                           IdentityCase{TALLIX, "TX 2.0", 10, "Tallix", 200, 0x001D3083},
                                           IdentityCase{TALLIX, "TX 1.234", 10, "Tallix", 123, 0x001D3083},
                                           IdentityCase{KELOX, "KELOX 1.19", 3, "Kelox", 119, 0x00E7FFF7},
                                           IdentityCase{PELLORA, "PL 1.09", 4, "Pellora", 109, 0x00024583},
                                           IdentityCase{TELVO, "TELVO 1.02", 11, "Telvo", 102, 0x05E3FFF7},
                                           IdentityCase{GORVIK, "GVK 1.00", 12, "Gorvik", 100, 0x07C3F6F7},
                                           IdentityCase{TALLIX, "XYZ 3.10", 0, "Unknown", 310, 0x00001005}));

TEST_F(LoginTest, OldFirmwareIsKnownByTwoRefusedTransactions)
{
    sim_.Config().kind = KELO;
    sim_.Config().oldFirmware = true;
    ASSERT_EQ(Connect(), 1);
    const LoggerSettings& s = device_->Settings();
    EXPECT_FALSE(s.newFirmware);
    EXPECT_EQ(s.loggerKind, kLoggerKelo);
    EXPECT_STREQ(s.typeName, "Kelo");
    EXPECT_EQ(s.capabilityMask, 0x0000331Cu);
    // Two transactions of three refused tries each; no "show" from the login.
    EXPECT_EQ(Sent("get -ver\r"), 6);
    EXPECT_EQ(Sent("show\r"), 0);
    EXPECT_TRUE(LoggedByPort("VerCommand found Kelo with old firmware"));

    // Asked again, the identification reads the "show" answer.
    EXPECT_EQ(device_->VerCommand(false), 1);
    EXPECT_EQ(Sent("get -ver\r"), 6);
    EXPECT_EQ(Sent("show\r"), 1);
    EXPECT_EQ(s.version, 110);
    EXPECT_STREQ(s.versionText, "1.10");
    EXPECT_STREQ(s.deviceName, "KELO0001");
}

TEST_F(LoginTest, ThreeLonePromptsEndIdentificationWith30)
{
    Open();
    sim_.Config().faults.promptOnly = true;
    EXPECT_EQ(device_->VerCommand(true), kDevBadAnswer);
    // Each lone prompt starts the count of attempts again, so only the
    // third one ends it.
    EXPECT_EQ(Sent("get -ver\r"), 3);
    EXPECT_EQ(device_->Settings().loggerKind, kLoggerUnknown);
    EXPECT_TRUE(LoggedByPort("VerCommand failed with error -30"));
}

TEST_F(LoginTest, ALoaderThatIsConnectedAnswersWithPlusAndGives80AtOnce)
{
    sim_.SetProgram(SimProgram::Loader);
    sim_.Model<SimLoaderModel>().connected = true;
    EXPECT_EQ(Connect(), kDevLoaderActive);
    EXPECT_EQ(Sent("get -ver\r"), 1);
    EXPECT_FALSE(device_->IsConnected());
    EXPECT_FALSE(sim_.HostConnected());
    EXPECT_TRUE(LoggedByPort("DeviceLogin failed with error -80"));
}

TEST_F(LoginTest, AWaitingLoaderAnswersDollarTwiceAndGives81)
{
    sim_.SetProgram(SimProgram::Loader);
    Open();
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(device_->VerCommand(true), kDevLoaderWaiting);
    EXPECT_EQ(Sent("get -ver\r"), 2);
    EXPECT_GE(clock_.NowMs() - start, 3000u);
    EXPECT_EQ(device_->Settings().version, 0);
}

TEST_F(LoginTest, NothingListeningGives20AndClosesThePort)
{
    sim_.Config().faults.silent = true;
    EXPECT_EQ(Connect(), kDevNothingListening);
    EXPECT_EQ(Sent("get -ver\r"), 3);
    EXPECT_FALSE(device_->IsConnected());
    EXPECT_FALSE(sim_.HostConnected());
    EXPECT_TRUE(LoggedByPort("DeviceLogin: nothing is listening over the serial port"));
}

TEST_F(LoginTest, AnUnreadableVersionLineIsNeverASuccess)
{
    // A '.' without a line end, on every attempt.
    Open();
    sim_.Config().faults.unanswered = {"get -ver"};
    sim_.trace = [this](const std::string& line) {
        trace_.push_back(line);
        if (line == "host sent \"get -ver\\r\"") sim_.Send("TX 1.73");
    };
    EXPECT_EQ(device_->VerCommand(true), kDevBadAnswer);
    EXPECT_EQ(Sent("get -ver\r"), 6);  // tries + 3 attempts
    EXPECT_EQ(device_->Settings().version, 0);
}

struct ShowCase {
    const char* version;
    int result;
    int versionNumber;
};

class ShowTable : public DeviceTest, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(ShowTable, OldFirmwareShowsItsIdentity)
{
    const ShowCase& c = GetParam();
    sim_.Config().kind = KELO;
    sim_.Config().oldFirmware = true;
    ASSERT_EQ(Connect(), 1);
    SimLogger(sim_).showVersion = c.version;
    SimLogger(sim_).settings["r"] = "2";
    SimLogger(sim_).settings["w"] = "30";
    SimLogger(sim_).resets = 9;
    EXPECT_EQ(device_->ParseShowCommand(nullptr), c.result);
    const LoggerSettings& s = device_->Settings();
    EXPECT_EQ(s.version, c.versionNumber);
    if (c.result == 1) {
        EXPECT_STREQ(s.deviceName, "KELO0001");
        EXPECT_EQ(s.radioMode, 2u);
        EXPECT_EQ(s.measurementInterval, 30);
        EXPECT_EQ(device_->ResetsCount(), 9);
        EXPECT_TRUE(LoggedByPort("ParseShowCommand found KELO0001:" + std::string(c.version) + ":2:30:9"));
    } else {
        EXPECT_FALSE(Logged("ParseShowCommand"));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, ShowTable,
                         ::testing::Values(ShowCase{"1.09", kDevNotSupported, 109}, ShowCase{"1.10", 1, 110},
                                           ShowCase{"2.41", 1, 241}));

TEST_F(LoginTest, ShowWithAnIdBufferReadsOnlyTheId)
{
    sim_.Config().kind = KELO;
    sim_.Config().oldFirmware = true;
    ASSERT_EQ(Connect(), 1);
    char id[9] = "xxxxxxxx";
    EXPECT_EQ(device_->ParseShowCommand(id), 1);
    EXPECT_STREQ(id, "KELO0001");
    EXPECT_EQ(device_->Settings().version, 0);  // nothing else read
}

TEST_F(LoginTest, AnUnreadableShowAnswerClearsTheIdentity)
{
    sim_.Config().kind = KELO;
    sim_.Config().oldFirmware = true;
    ASSERT_EQ(Connect(), 1);
    SimLogger(sim_).settings["w"] = "never";
    EXPECT_EQ(device_->ParseShowCommand(nullptr), kDevBadAnswer);
    const LoggerSettings& s = device_->Settings();
    EXPECT_STREQ(s.deviceName, "");
    EXPECT_STREQ(s.versionText, "");
    EXPECT_EQ(s.version, -1);
    EXPECT_EQ(s.measurementInterval, -1);
    EXPECT_EQ(s.radioMode, 0u);
    // The transaction's byte count, and the weight of the interval.
    const std::string answer = "\rID: KELO0001\r\nVersion: 1.10\r\nRadio: 0\r\nWake: never\r\nResets: 3\r\n>";
    EXPECT_STREQ(device_->ReceivedText(), answer.c_str());
    EXPECT_TRUE(LoggedByPort("ParseShowCommand failed with errors " + std::to_string(answer.size()) + " and 8"));
}

TEST_F(LoginTest, ShowIsOnlyForOldFirmware)
{
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(device_->ParseShowCommand(nullptr), kDevBadArgument);
    EXPECT_EQ(Sent("show\r"), 0);
    EXPECT_TRUE(LoggedByPort("ParseShowCommand doesn't work with devices running \"new\" firmware."));
}

TEST_F(LoginTest, CommOptionsValidatesAndStores)
{
    LinkOptions options{};
    options.serialTries = 5;
    ASSERT_EQ(device_->CommOptions(&options, 1), 1);
    EXPECT_EQ(options.radioTries, 5u);  // 0 takes its default, also here
    EXPECT_EQ(device_->CurrentTries(), 5u);

    struct Case {
        std::uint32_t serialTries, radioTries;
        std::int8_t echoMode;
        std::uint32_t extraWaitMs;
    };
    for (const Case& bad :
         {Case{13, 0, 0, 0}, Case{0, 13, 0, 0}, Case{3, 3, 4, 0}, Case{3, 3, -1, 0}, Case{3, 3, 0, 30001}}) {
        LinkOptions wrong{};
        wrong.serialTries = bad.serialTries;
        wrong.radioTries = bad.radioTries;
        wrong.echoMode = bad.echoMode;
        wrong.extraWaitMs = bad.extraWaitMs;
        EXPECT_EQ(device_->CommOptions(&wrong, 1), kDevBadArgument);
    }
    LinkOptions stored{};
    ASSERT_EQ(device_->CommOptions(&stored, 0), 1);
    EXPECT_EQ(stored.serialTries, 5u);
    EXPECT_EQ(device_->CurrentTries(), 5u);

    LinkOptions defaults{};
    defaults.serialTries = 0;
    defaults.radioTries = 0;
    defaults.extraWaitMs = 30000;
    ASSERT_EQ(device_->CommOptions(&defaults, 1), 1);
    EXPECT_EQ(defaults.serialTries, 3u);
    EXPECT_EQ(defaults.radioTries, 5u);
    EXPECT_EQ(device_->CurrentTries(), 3u);
    EXPECT_EQ(device_->CommOptions(nullptr, 1), kDevMissingArgument);
}

TEST_F(LoginTest, TheTriesOfTheOptionsGovernEveryTransaction)
{
    ASSERT_EQ(Connect(5), 1);
    sim_.Config().faults.silent = true;
    unsigned length = 0;
    int elapsed = 0;
    EXPECT_EQ(device_->DeviceCommand("get -batt\r", '>', 400, nullptr, &length, &elapsed), kDevNoAnswer);
    EXPECT_EQ(Sent("get -batt\r"), 5);
}

TEST_F(LoginTest, ConnectRefusesBadRecordsWithoutOpeningThePort)
{
    EXPECT_EQ(device_->ConnectDevice(nullptr), kDevMissingArgument);
    struct Case {
        std::uint8_t linkKind;
        int result;
    };
    for (const Case& c : {Case{0, kDevBadArgument}, Case{20, kDevNotSupported}, Case{30, kDevNotSupported},
                          Case{110, kDevNotSupported}, Case{7, kDevMissingArgument}}) {
        ConnectRecord record{};
        std::strcpy(record.portName, kPort);
        record.linkKind = c.linkKind;
        EXPECT_EQ(device_->ConnectDevice(&record), c.result) << int(c.linkKind);
    }
    ConnectRecord unterminated{};
    std::memset(unterminated.portName, 'A', sizeof unterminated.portName);
    unterminated.linkKind = kLinkSerial;
    EXPECT_EQ(device_->ConnectDevice(&unterminated), kDevBadArgument);
    EXPECT_FALSE(sim_.HostConnected());
    EXPECT_TRUE(Writes().empty());
}

TEST_F(LoginTest, AMissingPortGivesTheSystemError)
{
    ConnectRecord record{};
    std::strcpy(record.portName, "ttyS9");
    record.linkKind = kLinkSerial;
    EXPECT_EQ(device_->ConnectDevice(&record), -2);
    EXPECT_FALSE(device_->IsConnected());
}

TEST_F(LoginTest, ConnectingAgainDoesNotReopenThePort)
{
    ASSERT_EQ(Connect(), 1);
    const auto opened = [this] {
        int n = 0;
        for (const std::string& line : trace_)
            if (line == "host opened the port") ++n;
        return n;
    };
    EXPECT_EQ(opened(), 1);
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(opened(), 1);
    EXPECT_EQ(Sent("get -ver\r"), 2);
}

TEST_F(LoginTest, DisconnectClosesOnceAndClearsTheRecord)
{
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(device_->DisconnectDevice(), 1);
    EXPECT_FALSE(sim_.HostConnected());
    EXPECT_EQ(device_->Settings().version, 0);
    EXPECT_STREQ(device_->Settings().versionText, "");
    EXPECT_TRUE(LoggedByPort("DisconnectDevice successful"));
    EXPECT_EQ(device_->DisconnectDevice(), 0);
}

TEST_F(LoginTest, DestroyingAConnectedObjectReleasesThePort)
{
    ASSERT_EQ(Connect(), 1);
    ASSERT_TRUE(sim_.HostConnected());
    device_.reset();
    EXPECT_FALSE(sim_.HostConnected());
    EXPECT_TRUE(LoggedByPort("DisconnectDevice successful"));
}
