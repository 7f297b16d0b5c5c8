// Every logger settings operation against the simulated data loggers: the
// read and write paths, unsupported settings, refusals, the edges of the
// reading rules and write formats, the trait, the radio mode and the radio
// parameters, and what the log shows of the secrets.
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SettingsTestSupport.h"
#include "support/ScopedTz.h"

namespace {

std::vector<std::string> Lines(std::initializer_list<const char*> commands)
{
    std::vector<std::string> lines;
    for (const char* command : commands)
        lines.push_back(SimPrintable(command));
    return lines;
}

// The words of a command as the simulator's fault lists name it: "get -w",
// "set -adc30", "hertz".
std::string Words(const std::string& command)
{
    std::string line = command.substr(0, command.find('\r'));
    const std::size_t first = line.find(' ');
    if (first == std::string::npos) return line;
    const std::size_t second = line.find(' ', first + 1);
    return line.substr(0, second);
}

// ---------------------------------------------------------------------------
// Read, write, read again: one row per operation (and per firmware where the
// commands differ).

struct RoundTrip {
    SettingOp op;
    SimLoggerKind logger;
    const char* word;        // where the logger keeps the setting
    const char* getCommand;  // what the host sends to read
    const char* read;        // the record's field after reading the logger's value
    const char* write;       // the value written
    const char* setCommand;  // what the host sends to write it
    const char* stored;      // what the logger keeps then
    const char* readBack;    // the field after reading again
    void (*setup)(SimInstrument&) = nullptr;
};

void PrintTo(const RoundTrip& c, std::ostream* os)
{
    *os << c.op.name << " on " << KindShortCode(c.logger.kind) << (c.logger.oldFirmware ? " (old)" : "");
}

class SettingRoundTrip : public SettingsTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(SettingRoundTrip, ReadsWritesAndReadsBackTheSameValue)
{
    const RoundTrip& c = GetParam();
    if (c.setup) c.setup(sim_);
    Logger(c.logger);
    LoggerSettings& s = Record();

    c.op.put(s, c.op.blank);
    ASSERT_EQ(c.op.run(*device_, 0), 1);
    EXPECT_EQ(c.op.show(s), c.read);
    EXPECT_EQ(Writes(), Lines({c.getCommand}));

    trace_.clear();
    c.op.put(s, c.write);
    ASSERT_EQ(c.op.run(*device_, 1), 1);
    EXPECT_EQ(Writes(), Lines({c.setCommand}));
    EXPECT_EQ(SimSettings()[c.word], c.stored);

    c.op.put(s, c.op.blank);
    ASSERT_EQ(c.op.run(*device_, 0), 1);
    EXPECT_EQ(c.op.show(s), c.readBack);
}

TEST_P(SettingRoundTrip, ARefusedReadOrWriteGives34AndChangesNothing)
{
    const RoundTrip& c = GetParam();
    if (c.setup) c.setup(sim_);
    Logger(c.logger);
    sim_.Config().faults.refused = {Words(c.getCommand), Words(c.setCommand), "get -teakey"};
    LoggerSettings& s = Record();

    c.op.put(s, c.op.blank);
    const std::string blank = c.op.show(s);
    EXPECT_EQ(c.op.run(*device_, 0), kDevRefused);
    EXPECT_EQ(c.op.show(s), blank);

    const std::string kept = SimSettings()[c.word];
    c.op.put(s, c.write);
    EXPECT_EQ(c.op.run(*device_, 1), kDevRefused);
    EXPECT_EQ(SimSettings()[c.word], kept);
    EXPECT_TRUE(Logged("failed with error -34"));
}

void Padc165(SimInstrument& sim)
{
    SimLogger(sim).showVersion = "1.65";
}

INSTANTIATE_TEST_SUITE_P(
    Operations, SettingRoundTrip,
    ::testing::Values(
        RoundTrip{kNameOp, kKelox202, "i", "get -i\r", "KELOX001", "FIELD7", "set -i FIELD7\r", "FIELD7", "FIELD7"},
        RoundTrip{kNameOp, kKeloOld, "i", "get -i\r", "KELO0001", "FIELD7", "set -i FIELD7\r", "FIELD7", "FIELD7"},
        RoundTrip{kDeviceIdOp, kKelox202, "devid", "get -devid\r", "00A1B2C3", "XY12", "set -devid XY12\r", "XY12",
                  "XY12"},
        RoundTrip{kReportOp, kKelox202, "report", "get -report\r", "1", "2", "set -report 2\r", "2", "2"},
        RoundTrip{kDepthOp, kKelox202, "depth", "get -depth\r", "10 20 30 40 50", "1 2 3 4 255",
                  "set -depth 1 2 3 4 255\r", "1 2 3 4 255", "1 2 3 4 255"},
        RoundTrip{kDepthOp,
                  {TELVO, "TELVO 1.00"},
                  "depth",
                  "get -depth\r",
                  "10 20 30 40 50",
                  "0 0 9 9 9",
                  "set -depth 0 0 9 9 9\r",
                  "0 0 9 9 9",
                  "0 0 9 9 9"},
        RoundTrip{kLatitudeOp, kKelox202, "lat", "get -lat\r", "+46.73120", "-12.5", "set -lat -12.50000\r",
                  "-12.50000", "-12.50000"},
        RoundTrip{kLongitudeOp, kKelox202, "long", "get -long\r", "-117.17960", "8.25", "set -long +8.25000\r",
                  "+8.25000", "+8.25000"},
        RoundTrip{kTimeZoneOp, kKelox202, "tz", "get -tz\r", "-28", "8", "set -tz 8\r", "8", "8"},
        RoundTrip{kSiteOp, kKelox202, "site", "get -site\r", "North Field Station", "Ridge 2", "set -site Ridge 2\r",
                  "Ridge 2", "Ridge 2"},
        RoundTrip{kSerialNumberOp, kKelox202, "sn", "get -sn\r", "SN-20391", "SN-777", "set -sn SN-777\r", "SN-777",
                  "SN-777"},
        RoundTrip{kWakeOp, kKelox202, "w", "get -w\r", "15", "60", "set -w 60\r", "60", "60"},
        RoundTrip{kWakeOp, kKeloOld, "w", "get -w\r", "15", "300", "set -w 300\r", "300", "300"},
        RoundTrip{kWakeOp, {GORVIK, "GVK 1.00"}, "w", "get -w\r", "15", "5", "set -w 5\r", "5", "5"},
        RoundTrip{kPadcOp, kKelox202, "padc", "get -padc\r", "60", "50", "set -padc 50\r", "50", "50"},
        RoundTrip{kPadcOp, kKeloOld, "padc", "hertz\r", "60", "50", "set -p 50\r", "50", "50", Padc165},
        RoundTrip{kPortsOp, kKelox202, "ports", "get -ports\r", "1 2 0 4 0", "0 0 3 3 1", "set -ports 0 0 3 3 1\r",
                  "0 0 3 3 1", "0 0 3 3 1"},
        // The logger keeps 255 minus the options; the record the options and
        // the "known" flag: 246 is a radio and a modem (0x4009).
        RoundTrip{kTraitOp, kKelox202, "trait", "get -trait\r", "16393", "16385", "set -trait 254\r", "254", "16385"},
        RoundTrip{kRmodeOp, kKelox202, "r", "get -r\r", "0", "2", "set -r 2\r", "2", "2"},
        RoundTrip{kRmodeOp, kKeloOld, "r", "get -r\r", "0", "3", "set -r 3\r", "3", "3"},
        RoundTrip{kDataOp, kKelox202, "data", "get -data\r", "3", "7", "set -data 7\r", "7", "7"},
        RoundTrip{kBuildOp, kKelox202, "build", "get -build\r", "B1234-rel", "B99", "set -build B99\r", "B99", "B99"},
        // 5 x 100 + 5 x 1 = 505; 505 % 256 = 249
        RoundTrip{kAdc30Op, kKelox202, "adc30", "get -adc30\r", "128 10 129 11 130 12 131 13 132 14",
                  "100 1 100 1 100 1 100 1 100 1", "set -adc30 100 1 100 1 100 1 100 1 100 1 249\r",
                  "100 1 100 1 100 1 100 1 100 1", "100 1 100 1 100 1 100 1 100 1"},
        RoundTrip{kAdc15Op, kKelox202, "adc15", "get -adc15\r", "120 20 121 21 122 22 123 23 124 24",
                  "90 9 91 9 92 9 93 9 94 9", "set -adc15 90 9 91 9 92 9 93 9 94 9 249\r", "90 9 91 9 92 9 93 9 94 9",
                  "90 9 91 9 92 9 93 9 94 9"},
        RoundTrip{kApnOp, kKelox202, "apn", "get -apn\r", "internet.example", "m2m.example", "set -apn m2m.example\r",
                  "m2m.example", "m2m.example"},
        RoundTrip{kApnUserOp, kKelox202, "user", "get -user\r", "orva", "field", "set -user field\r", "field", "field"},
        RoundTrip{kApnPasswdOp, kKelox202, "passwd", "get -passwd\r", "s3cret-pw", "n3w-pw", "set -passwd n3w-pw\r",
                  "n3w-pw", "n3w-pw"},
        RoundTrip{kAuthKeyOp, kKelox202, "authkey", "get -authkey\r", "0123456789ABCDEF0123456789ABCDEF",
                  "FEDCBA9876543210FEDCBA9876543210", "set -authkey FEDCBA9876543210FEDCBA9876543210\r",
                  "FEDCBA9876543210FEDCBA9876543210", "FEDCBA9876543210FEDCBA9876543210"},
        RoundTrip{kHostOp, kKelox202, "host", "get -host\r", "data.example.net", "collector.example.org",
                  "set -host collector.example.org\r", "collector.example.org", "collector.example.org"},
        RoundTrip{kIpPortOp, kKelox202, "ipport", "get -ipport\r", "5020", "6001", "set -ipport 6001\r", "6001",
                  "6001"}));

// ---------------------------------------------------------------------------
// A setting the logger does not have is not asked for.

struct Unsupported {
    SettingOp op;
    SimLoggerKind logger;
    int direction;
    int result;
    const char* field;  // the field afterwards; null: as it was
    bool withoutModem = false;
    const char* value = nullptr;  // the field before; null: the blank
};

void PrintTo(const Unsupported& c, std::ostream* os)
{
    *os << c.op.name << " on " << c.logger.version << (c.logger.oldFirmware ? "old" : "") << " dir " << c.direction;
}

class UnsupportedSetting : public SettingsTest, public ::testing::WithParamInterface<Unsupported> {};

TEST_P(UnsupportedSetting, SendsNothing)
{
    const Unsupported& c = GetParam();
    if (c.withoutModem) sim_.Model<SimLoggerSettingsModel>().cellularModem = false;
    Logger(c.logger);
    LoggerSettings& s = Record();
    c.op.put(s, c.value ? c.value : c.op.blank);
    const std::string before = c.op.show(s);
    EXPECT_EQ(c.op.run(*device_, c.direction), c.result);
    EXPECT_EQ(c.op.show(s), c.field ? c.field : before);
    EXPECT_TRUE(Writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Capabilities, UnsupportedSetting,
    ::testing::Values(Unsupported{kDepthOp, kKelox173, 0, kDevUnsupported, "255 255 255 255 255"},
                      Unsupported{kPortsOp, {PELLORA, "PL 1.09"}, 0, kDevUnsupported, "0 0 0 0 0"},
                      Unsupported{kDeviceIdOp, kKelox173, 0, kDevUnsupported, nullptr},
                      Unsupported{kReportOp, kKelox173, 1, kDevUnsupported, nullptr},
                      Unsupported{kLatitudeOp, {KELOX, "KELOX 2.01"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kLongitudeOp, {KELOX, "KELOX 2.01"}, 1, kDevUnsupported, nullptr},
                      Unsupported{kTimeZoneOp, {KELOX, "KELOX 1.99"}, 1, kDevUnsupported, nullptr},
                      Unsupported{kSiteOp, {KELOB, "KELOB 2.04"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kSerialNumberOp, kKeloOld, 1, kDevUnsupported, nullptr},
                      Unsupported{kWakeOp, {PELLORA, "PL 1.09"}, 0, kDevUnsupported, nullptr},
                      // Old firmware before 1.65 has no PADC: the value becomes -1.
                      Unsupported{kPadcOp, kKeloOld, 0, kDevUnsupported, "-1"},
                      Unsupported{kTraitOp, kKelox173, 1, kDevValueRefused, nullptr, false, "16393"},
                      Unsupported{kRmodeOp, {PELLORA, "PL 1.09"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kDataOp, {PELLORA, "PL 1.08"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kBuildOp, {KELOX, "KELOX 1.13"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kAdc30Op, {KELOB, "KELOB 2.04"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kAdc15Op, kKeloOld, 1, kDevUnsupported, nullptr},
                      Unsupported{kApnOp, {TELVO, "TELVO 1.00"}, 0, kDevUnsupported, nullptr},
                      Unsupported{kApnUserOp, kKelox202, 0, kDevUnsupported, nullptr, true},
                      Unsupported{kApnPasswdOp, {GORVIK, "GVK 1.00"}, 1, kDevUnsupported, nullptr},
                      Unsupported{kAuthKeyOp, kKelox202, 0, kDevUnsupported, nullptr, true},
                      Unsupported{kHostOp, kKelox202, 1, kDevUnsupported, nullptr, true},
                      Unsupported{kIpPortOp, {TELVO, "TELVO 1.00"}, 0, kDevUnsupported, nullptr}));

// ---------------------------------------------------------------------------
// Reading: what the rules make of the answers.

struct ReadEdge {
    const char* what;
    SettingOp op;
    std::function<void(SettingsTest&, SimInstrument&)> setup;
    int result;
    const char* field;  // null: as it was
    std::vector<std::string> sent;
    const char* logged = nullptr;
};

void PrintTo(const ReadEdge& c, std::ostream* os)
{
    *os << c.what;
}

class SettingReadEdge : public SettingsTest, public ::testing::WithParamInterface<ReadEdge> {};

TEST_P(SettingReadEdge, GivesTheRuleResult)
{
    const ReadEdge& c = GetParam();
    Logger(kKelox202);
    c.setup(*this, sim_);
    LoggerSettings& s = Record();
    c.op.put(s, c.op.blank);
    const std::string before = c.op.show(s);
    EXPECT_EQ(c.op.run(*device_, 0), c.result);
    EXPECT_EQ(c.op.show(s), c.field ? c.field : before);
    EXPECT_EQ(Writes(), c.sent);
    if (c.logged) {
        EXPECT_TRUE(LoggedByPort(c.logged)) << LogText();
    }
}

void Value(SettingsTest& t, const char* word, const char* value)
{
    t.SimSettings()[word] = value;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SettingReadEdge,
    ::testing::Values(
        ReadEdge{"depth 300 is stored as 255", kDepthOp,
                 [](SettingsTest& t, SimInstrument&) { Value(t, "depth", "300 20 30 40 50"); }, 1, "255 20 30 40 50",
                 Lines({"get -depth\r"}), "DepthCommand: depths are 255 20 30 40 50"},
        ReadEdge{"four depths", kDepthOp, [](SettingsTest& t, SimInstrument&) { Value(t, "depth", "10 20 30 40"); },
                 kDevBadAnswer, nullptr, Lines({"get -depth\r"}), "DepthCommand only found 4 of 5 port depths"},
        ReadEdge{"three ports", kPortsOp, [](SettingsTest& t, SimInstrument&) { Value(t, "ports", "1 2 3"); },
                 kDevBadAnswer, nullptr, Lines({"get -ports\r"}), "PortsCommand only found 3 of 5 ports"},
        ReadEdge{"latitude without a number", kLatitudeOp,
                 [](SettingsTest& t, SimInstrument&) { Value(t, "lat", "unset"); }, kDevEmptyAnswer, nullptr,
                 Lines({"get -lat\r"}), "LatitudeCommand could not find device latitude"},
        ReadEdge{"an empty longitude", kLongitudeOp, [](SettingsTest& t, SimInstrument&) { Value(t, "long", ""); },
                 kDevEmptyAnswer, nullptr, Lines({"get -long\r"}), "LongitudeCommand failed with error -31"},
        // A question mark anywhere in an answer is a refusal, asked again on every try.
        ReadEdge{"a value with a question mark", kSiteOp,
                 [](SettingsTest& t, SimInstrument&) { Value(t, "site", "Why?"); }, kDevRefused, nullptr,
                 Lines({"get -site\r", "get -site\r", "get -site\r"})},
        ReadEdge{"ipport without a number", kIpPortOp,
                 [](SettingsTest& t, SimInstrument&) { Value(t, "ipport", "none"); }, kDevEmptyAnswer, nullptr,
                 Lines({"get -ipport\r"}), "IPPortCommand could not find device ipport"},
        ReadEdge{"report without a number", kReportOp, [](SettingsTest& t, SimInstrument&) { Value(t, "report", "x"); },
                 kDevBadAnswer, nullptr, Lines({"get -report\r"}), "ReportCommand could not find device report mode"},
        ReadEdge{"interval without a number", kWakeOp, [](SettingsTest& t, SimInstrument&) { Value(t, "w", "abc"); },
                 kDevBadAnswer, nullptr, Lines({"get -w\r"}), "WakeCommand could not find device measurement interval"},
        ReadEdge{"trait beyond a byte", kTraitOp, [](SettingsTest& t, SimInstrument&) { Value(t, "trait", "300"); },
                 kDevBadAnswer, nullptr, Lines({"get -trait\r"}), "TraitCommand failed with error -30"},
        ReadEdge{"empty site", kSiteOp, [](SettingsTest& t, SimInstrument&) { Value(t, "site", ""); }, kDevEmptyAnswer,
                 nullptr, Lines({"get -site\r"}), "SiteCommand failed with error -31"},
        ReadEdge{"site longer than 25", kSiteOp,
                 [](SettingsTest& t, SimInstrument&) { Value(t, "site", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"); }, 1,
                 "ABCDEFGHIJKLMNOPQRSTUVWXY", Lines({"get -site\r"})},
        ReadEdge{"empty build", kBuildOp, [](SettingsTest& t, SimInstrument&) { Value(t, "build", ""); },
                 kDevEmptyAnswer, nullptr, Lines({"get -build\r"})},
        // An empty serial number is asked for once per try.
        ReadEdge{"empty serial number", kSerialNumberOp, [](SettingsTest& t, SimInstrument&) { Value(t, "sn", ""); },
                 kDevBadAnswer, nullptr, Lines({"get -sn\r", "get -sn\r", "get -sn\r"}),
                 "SNCommand failed with error -30"},
        ReadEdge{"empty name", kNameOp, [](SettingsTest& t, SimInstrument&) { Value(t, "i", ""); }, kDevEmptyName,
                 nullptr, Lines({"get -i\r"})},
        ReadEdge{"ADC checksum mismatch", kAdc30Op,
                 [](SettingsTest&, SimInstrument& sim) { sim.Model<SimLoggerSettingsModel>().adcChecksumError = 1; },
                 kDevUnsupported, "128 10 129 11 130 12 131 13 132 14", Lines({"get -adc30\r"}),
                 "ADCcalCommand found (not valid) -adc30 128 10 129 11 130 12 131 13 132 14 199"},
        ReadEdge{"ADC slope 0", kAdc15Op,
                 [](SettingsTest& t, SimInstrument&) { Value(t, "adc15", "0 20 121 21 122 22 123 23 124 24"); },
                 kDevUnsupported, "0 20 121 21 122 22 123 23 124 24", Lines({"get -adc15\r"}),
                 "ADCcalCommand found (not valid) -adc15 0 20"},
        ReadEdge{"ADC read valid", kAdc15Op, [](SettingsTest&, SimInstrument&) {}, 1,
                 "120 20 121 21 122 22 123 23 124 24", Lines({"get -adc15\r"}),
                 "ADCcalCommand found (valid) -adc15 120 20 121 21 122 22 123 23 124 24 "},
        ReadEdge{"authkey under its older name", kAuthKeyOp,
                 [](SettingsTest&, SimInstrument& sim) { sim.Config().faults.refused = {"get -authkey"}; }, 1,
                 "0123456789ABCDEF0123456789ABCDEF",
                 Lines({"get -authkey\r", "get -authkey\r", "get -authkey\r", "get -teakey\r"}),
                 "AuthKeyCommand found authkey (as teakey) \"********\""}));

// ---------------------------------------------------------------------------
// Writing: formats, limits and checks before anything is sent.

struct WriteEdge {
    const char* what;
    SimLoggerKind logger;
    std::function<int(QUORIN_Protocol&)> run;
    int result;
    std::vector<std::string> sent;
    const char* tz = nullptr;
    std::function<void(SettingsTest&, SimInstrument&)> setup = nullptr;
    std::function<void(const LoggerSettings&, SimInstrument&)> check = nullptr;
};

void PrintTo(const WriteEdge& c, std::ostream* os)
{
    *os << c.what;
}

class SettingWriteEdge : public SettingsTest, public ::testing::WithParamInterface<WriteEdge> {};

TEST_P(SettingWriteEdge, SendsWhatTheFormatSays)
{
    const WriteEdge& c = GetParam();
    std::unique_ptr<ScopedTz> zone;
    if (c.tz) zone = std::make_unique<ScopedTz>(c.tz);
    Logger(c.logger);
    if (c.setup) c.setup(*this, sim_);
    EXPECT_EQ(c.run(*device_), c.result);
    EXPECT_EQ(Writes(), c.sent);
    if (c.check) c.check(device_->Settings(), sim_);
}

int WriteLatitude(QUORIN_Protocol& d, double value)
{
    d.MutableSettings().latitude = value;
    return d.LatitudeCommand(&d.MutableSettings().latitude, 1);
}

const char kKey40[] = "0123456789abcdef0123456789ABCDEF00112233";

INSTANTIATE_TEST_SUITE_P(
    Formats, SettingWriteEdge,
    ::testing::Values(
        WriteEdge{"latitude 0 is sent without a number", kKelox202, [](QUORIN_Protocol& d) { return WriteLatitude(d, 0.0); },
                  1, Lines({"set -lat \r"}), nullptr, nullptr,
                  [](const LoggerSettings&, SimInstrument& sim) {
                      EXPECT_EQ(SimLogger(sim).settings["lat"], "+0.00000");
                  }},
        WriteEdge{"latitude with sign and five decimals", kKelox202,
                  [](QUORIN_Protocol& d) { return WriteLatitude(d, 46.7312); }, 1, Lines({"set -lat +46.73120\r"})},
        WriteEdge{"longitude 0", kKelox202,
                  [](QUORIN_Protocol& d) {
                      d.MutableSettings().longitude = 0.0;
                      return d.LongitudeCommand(&d.MutableSettings().longitude, 1);
                  },
                  1, Lines({"set -long \r"})},
        WriteEdge{"a position that is no number", kKelox202,
                  [](QUORIN_Protocol& d) { return WriteLatitude(d, std::nan("")); }, kDevBadArgument, {}},
        WriteEdge{"time zone -2 takes the host's zone", kKelox202,
                  [](QUORIN_Protocol& d) {
                      d.MutableSettings().timeZone = -2;
                      return d.TimeZoneCommand(&d.MutableSettings().timeZone, 1);
                  },
                  1, Lines({"set -tz -20\r"}), "EST5", nullptr,
                  [](const LoggerSettings& s, SimInstrument& sim) {
                      EXPECT_EQ(s.timeZone, -20);
                      EXPECT_EQ(SimLogger(sim).settings["tz"], "-20");
                  }},
        WriteEdge{"a 31-character key", kKelox202,
                  [](QUORIN_Protocol& d) {
                      char key[] = "0123456789ABCDEF0123456789ABCDE";
                      return d.AuthKeyCommand(key, 1);
                  },
                  kDevBadArgument, {}},
        WriteEdge{"a 40-character key sends its first 32", kKelox202,
                  [](QUORIN_Protocol& d) {
                      char key[sizeof kKey40];
                      std::memcpy(key, kKey40, sizeof key);
                      return d.AuthKeyCommand(key, 1);
                  },
                  1, Lines({"set -authkey 0123456789abcdef0123456789ABCDEF\r"})},
        WriteEdge{"a negative interval", kKelox202,
                  [](QUORIN_Protocol& d) {
                      d.MutableSettings().measurementInterval = -5;
                      return d.WakeCommand(&d.MutableSettings().measurementInterval, 1);
                  },
                  kDevBadArgument, {}},
        WriteEdge{"a negative PADC", kKelox202,
                  [](QUORIN_Protocol& d) {
                      d.MutableSettings().padcHz = -1;
                      return d.PADCCommand(&d.MutableSettings().padcHz, 1);
                  },
                  kDevBadArgument, {}},
        // A carriage return in a value would end the command and start
        // another one ("yes" erases the data): such a value is not sent.
        WriteEdge{"a site with a carriage return", kKelox202,
                  [](QUORIN_Protocol& d) {
                      char site[] = "A\ryes";
                      return d.SiteCommand(site, 1);
                  },
                  kDevBadArgument, {}},
        WriteEdge{"an APN with a line feed", kKelox202,
                  [](QUORIN_Protocol& d) {
                      char apn[] = "internet\n";
                      return d.APNCommand(apn, 1);
                  },
                  kDevBadArgument, {}},
        WriteEdge{"an illegal name", kKelox202,
                  [](QUORIN_Protocol& d) {
                      char name[] = "my box";
                      return d.NameCommand(name, 1);
                  },
                  kDevNameBadCharacter, {}},
        WriteEdge{"a trait that is not known", kKelox202,
                  [](QUORIN_Protocol& d) {
                      std::int32_t trait = 0x0001;
                      return d.TraitCommand(&trait, 1);
                  },
                  kDevBadArgument, {}},
        WriteEdge{"a depth the logger refuses", kKelox202,
                  [](QUORIN_Protocol& d) {
                      std::uint8_t depths[5] = {1, 2, 3, 4, 5};
                      return d.DepthCommand(depths, 1);
                  },
                  kDevRefused, Lines({"set -depth 1 2 3 4 5\r", "set -depth 1 2 3 4 5\r", "set -depth 1 2 3 4 5\r"}),
                  nullptr, [](SettingsTest&, SimInstrument& sim) { sim.Config().faults.refused = {"set -depth"}; }},
        WriteEdge{"a write without confirmation", kKelox202,
                  [](QUORIN_Protocol& d) {
                      std::int32_t data = 4;
                      return d.DataParameterCommand(&data, 1);
                  },
                  kDevBadAnswer, Lines({"set -data 4\r"}), nullptr,
                  [](SettingsTest&, SimInstrument& sim) { sim.Config().faults.promptOnly = true; }},
        // The short form of the ADC calibration: the first pair and its sum.
        WriteEdge{"ADC short form write", kKelox202,
                  [](QUORIN_Protocol& d) {
                      d.MutableSettings().capabilityMask |= kCapShortAdcCal;
                      std::uint8_t slopes[5] = {100, 1, 1, 1, 1};
                      std::uint8_t offsets[5] = {5, 1, 1, 1, 1};
                      return d.ADCcalCommand(1, slopes, offsets, 1);
                  },
                  1, Lines({"set -adc30 100 5 105\r"}), nullptr,
                  [](SettingsTest&, SimInstrument& sim) { sim.Model<SimLoggerSettingsModel>().shortAdcForm = true; },
                  [](const LoggerSettings&, SimInstrument& sim) {
                      EXPECT_EQ(SimLogger(sim).settings["adc30"], "100 5 129 11 130 12 131 13 132 14");
                  }},
        WriteEdge{"ADC short form read", kKelox202,
                  [](QUORIN_Protocol& d) {
                      d.MutableSettings().capabilityMask |= kCapShortAdcCal;
                      LoggerSettings& s = d.MutableSettings();
                      return d.ADCcalCommand(2, s.adc15Slopes, s.adc15Offsets, 0);
                  },
                  1, Lines({"get -adc15\r"}), nullptr,
                  [](SettingsTest&, SimInstrument& sim) { sim.Model<SimLoggerSettingsModel>().shortAdcForm = true; },
                  [](const LoggerSettings& s, SimInstrument&) {
                      EXPECT_EQ(s.adc15Slopes[0], 120);
                      EXPECT_EQ(s.adc15Offsets[0], 20);
                      EXPECT_EQ(s.adc15Slopes[1], 0);
                  }},
        WriteEdge{"ADC table other than 1 and 2", kKelox202,
                  [](QUORIN_Protocol& d) {
                      LoggerSettings& s = d.MutableSettings();
                      return d.ADCcalCommand(3, s.adc15Slopes, s.adc15Offsets, 0);
                  },
                  kDevBadArgument, {}}));

// ---------------------------------------------------------------------------
// The trait: read, emulated from the radio, or fixed by the kind.

struct TraitCase {
    const char* what;
    SimLoggerKind logger;
    void (*setup)(SimInstrument&);
    int result;
    std::int32_t trait;
    std::vector<std::string> sent;
    const char* logged;
};

void PrintTo(const TraitCase& c, std::ostream* os)
{
    *os << c.what;
}

class TraitRead : public SettingsTest, public ::testing::WithParamInterface<TraitCase> {};

TEST_P(TraitRead, FindsTheOptions)
{
    const TraitCase& c = GetParam();
    if (c.setup) c.setup(sim_);
    sim_.Config().kind = c.logger.kind;
    sim_.Config().versionText = c.logger.version;
    sim_.Config().oldFirmware = c.logger.oldFirmware;
    ASSERT_EQ(Connect(), 1);
    trace_.clear();
    std::int32_t trait = 0;
    EXPECT_EQ(device_->TraitCommand(&trait, 0), c.result);
    EXPECT_EQ(trait, c.trait);
    EXPECT_EQ(Writes(), c.sent);
    if (c.logged) {
        EXPECT_TRUE(LoggedByPort(c.logged)) << LogText();
    }
}

void NoRadio(SimInstrument& sim)
{
    sim.Model<SimRadmoModel>().rver = "0012";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TraitRead,
    ::testing::Values(
        TraitCase{
            "Pellora", {PELLORA, "PL 1.09"}, nullptr, 1, 0x4001, {}, "TraitCommand: set trait to 16385 for Pellora"},
        TraitCase{"Kelox reads it", kKelox202, nullptr, 1, 0x4009, Lines({"get -trait\r"}),
                  "TraitCommand: found 16393"},
        TraitCase{"Telvo reads it", {TELVO, "TELVO 1.00"}, nullptr, 1, 0x4001, Lines({"get -trait\r"}), nullptr},
        TraitCase{"Kelob has neither", {KELOB, "KELOB 2.04"}, nullptr, 1, 0x4000, {}, nullptr},
        TraitCase{"Kelo asks its radio",
                  {KELO, "KELO 1.50"},
                  nullptr,
                  1,
                  0x4001,
                  Lines({"get -rver\r"}),
                  "TraitCommand (emulated): found 16385"},
        TraitCase{"Kelo whose radio version is 00..",
                  {KELO, "KELO 1.50"},
                  NoRadio,
                  0,
                  0x4000,
                  Lines({"get -rver\r"}),
                  "MSRadioCommand couldn't find a radio"},
        TraitCase{"old Kelo asks its module", kKeloOld, nullptr, 1, 0x4001,
                  Lines({"term\r", "+++", "ATVR\r", "ATCN\r", "term\r"}), "RadmoConfig found rver 1084"}));

TEST_F(SettingsTest, ATelvoIsAlwaysInRadioModeSixteen)
{
    Logger({TELVO, "TELVO 1.00"});
    std::uint32_t mode = 3;
    EXPECT_EQ(device_->RmodeCommand(&mode, 0), 1);
    EXPECT_EQ(mode, 16u);
    mode = 2;
    EXPECT_EQ(device_->RmodeCommand(&mode, 1), 1);
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(LoggedByPort("RmodeCommand found an Telvo that is always mode 16"));
}

// ---------------------------------------------------------------------------
// The radio parameters.

struct RadioCase {
    const char* what;
    SimLoggerKind logger;
    void (*setup)(SimInstrument&);
    int direction;
    std::uint32_t asked;
    int rchIn;
    int rschIn;
    int result;
    std::uint32_t flags;
    int rch;
    int rsch;
    const char* rver;
    std::vector<std::string> sent;
};

void PrintTo(const RadioCase& c, std::ostream* os)
{
    *os << c.what;
}

class RadioParameters : public SettingsTest, public ::testing::WithParamInterface<RadioCase> {};

TEST_P(RadioParameters, ReadOrWriteWhatWasAskedFor)
{
    const RadioCase& c = GetParam();
    if (c.setup) c.setup(sim_);
    Logger(c.logger);
    int rch = c.rchIn;
    int rsch = c.rschIn;
    char rver[kRadioVersionSize] = "none";
    std::uint32_t flags = c.asked;
    EXPECT_EQ(device_->MSRadioCommand(&rch, &rsch, rver, c.direction, &flags), c.result);
    EXPECT_EQ(flags, c.flags);
    EXPECT_EQ(rch, c.rch);
    EXPECT_EQ(rsch, c.rsch);
    EXPECT_STREQ(rver, c.rver);
    EXPECT_EQ(Writes(), c.sent);
}

void NotFitted(SimInstrument& sim)
{
    sim.Model<SimRadmoModel>().fitted = false;
}
void ChannelNine(SimInstrument& sim)
{
    sim.Model<SimRadmoModel>().rch = 9;
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, RadioParameters,
    ::testing::Values(RadioCase{"read all", kKelox202, nullptr, 0, 0x1C00, -1, -1, 1, 0x1C00, 3, 0x1A2B, "1084",
                                Lines({"get -rver\r", "get -rch\r", "get -rsch\r"})},
                      RadioCase{"write both", kKelox202, nullptr, 1, 0x1C00, 5, 0xBEE, 1, 0xC00, 5, 0xBEE, "none",
                                Lines({"set -rch 5\r", "set -rsch BEE\r"})},
                      RadioCase{"a Kelo confirms twice",
                                {KELO, "KELO 1.50"},
                                nullptr,
                                1,
                                0x400,
                                2,
                                0,
                                1,
                                0x400,
                                2,
                                0,
                                "none",
                                Lines({"set -rch 2\r"})},
                      RadioCase{"no radio fitted", kKelox202, NotFitted, 0, 0x1C00, -1, -1, kDevNoRadio, 0, -1, -1,
                                "none", Lines({"get -rver\r"})},
                      RadioCase{"version 00.. means no radio", kKelox202, NoRadio, 0, 0x1C00, -1, -1, kDevNoRadio, 0,
                                -1, -1, "", Lines({"get -rver\r"})},
                      // A channel above 6 is asked for again on every try; nothing that
                      // was asked for was found.
                      RadioCase{"a channel out of range", kKelox202, ChannelNine, 0, 0x400, -1, -1, kDevBadAnswer, 0,
                                -1, -1, "none", Lines({"get -rch\r", "get -rch\r", "get -rch\r"})},
                      RadioCase{"one of two found", kKelox202, ChannelNine, 0, 0xC00, -1, -1, kDevPartial, 0x800, -1,
                                0x1A2B, "none", Lines({"get -rch\r", "get -rch\r", "get -rch\r", "get -rsch\r"})},
                      RadioCase{"a logger without radio channels",
                                {KELOB, "KELOB 2.04"},
                                nullptr,
                                0,
                                0x1C00,
                                -1,
                                -1,
                                kDevUnsupported,
                                0,
                                -1,
                                -1,
                                "none",
                                {}},
                      RadioCase{"old firmware reads through its module", kKeloOld, nullptr, 0, 0x1C00, -1, -1, 1,
                                0x1C00, 3, 0x1A2B, "1084",
                                Lines({"term\r", "+++", "ATHP\r", "ATDT\r", "ATVR\r", "ATCN\r", "term\r"})},
                      RadioCase{"old firmware writes through its module", kKeloOld, nullptr, 1, 0x400, 4, -1, 1, 0x400,
                                4, -1, "none", Lines({"term\r", "+++", "ATHP4\r", "ATWR\r", "ATCN\r", "term\r"})}));

// ---------------------------------------------------------------------------
// The APN password and the authentication key never reach the log.

TEST_F(SettingsTest, TheLogShowsNeitherThePasswordNorTheKey)
{
    Logger(kKelox202);
    LoggerSettings& s = Record();
    ASSERT_EQ(device_->APNPasswdCommand(s.apnPassword, 0), 1);
    ASSERT_EQ(device_->AuthKeyCommand(s.authKey, 0), 1);
    EXPECT_STREQ(s.apnPassword, "s3cret-pw");
    EXPECT_STREQ(s.authKey, "0123456789ABCDEF0123456789ABCDEF");
    std::snprintf(s.apnPassword, sizeof s.apnPassword, "%s", "n3w-secret");
    std::snprintf(s.authKey, sizeof s.authKey, "%s", "FEDCBA9876543210FEDCBA9876543210");
    ASSERT_EQ(device_->APNPasswdCommand(s.apnPassword, 1), 1);
    ASSERT_EQ(device_->AuthKeyCommand(s.authKey, 1), 1);
    sim_.Config().faults.refused = {"get -authkey"};
    ASSERT_EQ(device_->AuthKeyCommand(s.authKey, 0), 1);

    EXPECT_TRUE(LoggedByPort("APNPasswdCommand found APN password \"********\""));
    EXPECT_TRUE(LoggedByPort("APNPasswdCommand set APN password to \"********\""));
    EXPECT_TRUE(LoggedByPort("AuthKeyCommand found authkey \"********\""));
    EXPECT_TRUE(LoggedByPort("AuthKeyCommand set authkey to \"********\""));
    EXPECT_TRUE(LoggedByPort("AuthKeyCommand found authkey (as teakey) \"********\""));
    const std::string log = LogText();
    for (const char* secret : {"s3cret", "n3w-secret", "0123456789ABCDEF", "FEDCBA9876543210"})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    // The other network settings are shown as they are.
    ASSERT_EQ(device_->APNCommand(s.apn, 0), 1);
    EXPECT_TRUE(LoggedByPort("APNCommand found APN \"internet.example\""));
}

}  // namespace
