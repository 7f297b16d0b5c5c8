// DeviceSettings: the handling order, the work mask, the trait before the
// radio, logging in again when the logger falls silent, old firmware, the
// results and what is copied in and out.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "SettingsTestSupport.h"

namespace {

std::vector<std::string> Lines(std::initializer_list<const char*> commands)
{
    std::vector<std::string> lines;
    for (const char* command : commands)
        lines.push_back(SimPrintable(command));
    return lines;
}

std::vector<std::string> Repeat(const char* command, int times)
{
    return std::vector<std::string>(static_cast<std::size_t>(times), SimPrintable(command));
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class DeviceSettingsTest : public SettingsTest {
protected:
    // Connects to the logger as the instrument protocol does, without
    // learning anything beyond the identification.
    void Connected(const SimLoggerKind& logger)
    {
        sim_.Config().kind = logger.kind;
        sim_.Config().versionText = logger.version;
        sim_.Config().oldFirmware = logger.oldFirmware;
        ASSERT_EQ(Connect(), 1);
        trace_.clear();
    }
};

// ---------------------------------------------------------------------------

struct FlowCase {
    const char* what;
    SimLoggerKind logger;
    std::function<void(SimInstrument&)> afterConnect;
    int direction;
    SettingsMask selection;
    int result;
    SettingsMask mask;
    std::vector<std::string> sent;
    const char* logged = nullptr;
};

void PrintTo(const FlowCase& c, std::ostream* os)
{
    *os << c.what;
}

class SettingsFlow : public DeviceSettingsTest, public ::testing::WithParamInterface<FlowCase> {};

TEST_P(SettingsFlow, HandlesTheSelection)
{
    const FlowCase& c = GetParam();
    Connected(c.logger);
    if (c.afterConnect) c.afterConnect(sim_);
    // Writing starts from what identification found.
    LoggerSettings record = c.direction == 1 ? device_->Settings() : LoggerSettings{};
    SettingsMask mask = c.selection;
    EXPECT_EQ(device_->DeviceSettings(&record, &mask, c.direction), c.result);
    EXPECT_EQ(mask, c.mask);
    EXPECT_EQ(Writes(), c.sent);
    if (c.logged) {
        EXPECT_TRUE(Logged(c.logged)) << LogText();
    }
}

constexpr SettingsMask kSiteAndInterval = kSettingSite | kSettingInterval;

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsFlow,
    ::testing::Values(
        // The instrument protocol's check that the device is identified.
        FlowCase{"an empty selection with a known version", kKelox202, nullptr, 0, 0, 1, kSettingVersion, {}},
        FlowCase{"an empty selection on old firmware identifies it", kKeloOld, nullptr, 0, 0, 1, 0x215,
                 Lines({"show\r"})},
        FlowCase{"the radio needs the trait first", kKelox202, nullptr, 0, kSettingRadio, 1,
                 kSettingRadio | kSettingTrait | kSettingVersion,
                 Lines({"get -trait\r", "get -rver\r", "get -rch\r", "get -rsch\r"})},
        FlowCase{"no radio is fitted", kKelox202, [](SimInstrument& sim) { sim.Model<SimRadmoModel>().fitted = false; },
                 0, kSettingRadioChannel, kDevPartial, kSettingTrait | kSettingVersion, Lines({"get -trait\r"})},
        FlowCase{"bits that name no setting", kKelox202, nullptr, 1, 0xF0000000u, kDevUnsupported, 0, {}},
        FlowCase{"the version is not written", kKelox202, nullptr, 1, kSettingVersion, kDevUnsupported, 0, {}},
        FlowCase{"a setting falls silent once", kKelox202,
                 [](SimInstrument& sim) { SimLoggerSettings(sim).silentOnce = {"site"}; }, 0, kSiteAndInterval, 1,
                 kSiteAndInterval | kSettingVersion,
                 Repeat("get -site\r", 3) + Lines({"get -ver\r", "get -site\r", "get -w\r"}),
                 "******: DeviceSettings re-connected to device"},
        // Logging in again is tried as often as a command, then the
        // settings are given up.
        FlowCase{"a setting stays silent", kKelox202,
                 [](SimInstrument& sim) { sim.Config().faults.unanswered = {"get -site"}; }, 0, kSiteAndInterval,
                 kDevNoAnswer, kSettingVersion,
                 Repeat("get -site\r", 3) + Lines({"get -ver\r"}) + Repeat("get -site\r", 3) + Lines({"get -ver\r"}) +
                     Repeat("get -site\r", 3) + Lines({"get -ver\r"}) + Repeat("get -site\r", 3)},
        FlowCase{"nothing listens any more", kKelox202, [](SimInstrument& sim) { sim.Config().faults.silent = true; },
                 0, kSiteAndInterval, kDevNoAnswer, kSettingVersion, Repeat("get -site\r", 3) + Repeat("get -ver\r", 3),
                 "DeviceLogin: nothing is listening over the serial port"},
        FlowCase{"an echo stops at once", kKelox202, [](SimInstrument& sim) { sim.Config().faults.echo = true; }, 0,
                 kSettingName | kSiteAndInterval, kDevEcho, kSettingVersion, Lines({"get -i\r"})},
        FlowCase{"an empty name stops at once", kKelox202,
                 [](SimInstrument& sim) { SimLogger(sim).settings["i"] = ""; }, 0, kSettingName | kSiteAndInterval,
                 kDevEmptyName, kSettingVersion, Lines({"get -i\r"})},
        // Old firmware tells name, interval and radio mode in one "show";
        // it has no serial number.
        FlowCase{"old firmware shows its settings", kKeloOld, nullptr, 0,
                 kSettingName | kSettingSerialNumber | kSettingInterval | kSettingRadioMode, 1, 0x215,
                 Lines({"show\r"})},
        FlowCase{"old firmware writes with its own commands", kKeloOld, nullptr, 1,
                 kSettingInterval | kSettingRadioMode | kSettingSerialNumber, kDevPartial,
                 kSettingInterval | kSettingRadioMode, Lines({"set -w 0\r", "set -r 0\r"})},
        FlowCase{"a refused setting does not stop the others", kKelox202,
                 [](SimInstrument& sim) { sim.Config().faults.refused = {"get -site"}; }, 0, kSiteAndInterval,
                 kDevPartial, kSettingInterval | kSettingVersion, Repeat("get -site\r", 3) + Lines({"get -w\r"})},
        // Every selected setting, in the handling order.
        FlowCase{
            "everything on a Kelox", kKelox202, nullptr, 0, 0xFFFFFFF, 1, 0xFFFFFFF,
            Lines({"get -i\r",       "get -devid\r", "get -report\r", "get -depth\r", "get -lat\r",  "get -long\r",
                   "get -tz\r",      "get -site\r",  "get -sn\r",     "get -w\r",     "get -padc\r", "get -ports\r",
                   "get -trait\r",   "get -r\r",     "get -rver\r",   "get -rch\r",   "get -rsch\r", "get -data\r",
                   "get -build\r",   "get -adc30\r", "get -adc15\r",  "get -apn\r",   "get -user\r", "get -passwd\r",
                   "get -authkey\r", "get -host\r",  "get -ipport\r"})},
        // What an older Kelox lacks is not asked for, and makes the whole
        // a partial success.
        FlowCase{"the common selection on a Kelox 1.73", kKelox173, nullptr, 0, kSettingsCommonSelection, kDevPartial,
                 0x6FC0F7F,
                 Lines({"get -i\r", "get -sn\r", "get -w\r", "get -padc\r", "get -ports\r", "get -trait\r", "get -r\r",
                        "get -rch\r", "get -rsch\r", "get -data\r", "get -adc30\r", "get -adc15\r", "get -apn\r",
                        "get -user\r", "get -passwd\r", "get -authkey\r", "get -host\r", "get -ipport\r"})}));

// ---------------------------------------------------------------------------

TEST_F(DeviceSettingsTest, AReadCopiesTheWholeRecordOut)
{
    Connected(kKelox202);
    LoggerSettings record{};
    std::memset(&record, 0x5A, sizeof record);
    SettingsMask mask = kSettingSite | kSettingDepths;
    ASSERT_EQ(device_->DeviceSettings(&record, &mask, 0), 1);
    EXPECT_EQ(mask, kSettingSite | kSettingDepths | kSettingVersion);
    EXPECT_EQ(record.validMask, mask);
    EXPECT_EQ(record.loggerKind, kLoggerKelox);
    EXPECT_STREQ(record.typeName, "Kelox");
    EXPECT_EQ(record.version, 202);
    EXPECT_TRUE(record.newFirmware);
    EXPECT_STREQ(record.siteName, "North Field Station");
    EXPECT_EQ(ShowFive(record.depths), "10 20 30 40 50");
    // What was not read is what the object held: nothing after connecting.
    EXPECT_STREQ(record.apn, "");
    EXPECT_EQ(record.ipPort, 0);

    // The valid mask collects what was read.
    mask = kSettingInterval;
    ASSERT_EQ(device_->DeviceSettings(&record, &mask, 0), 1);
    EXPECT_EQ(record.validMask, kSettingSite | kSettingDepths | kSettingVersion | kSettingInterval);
}

TEST_F(DeviceSettingsTest, WhatIsWrittenIsReadBack)
{
    Connected(kKelox202);
    constexpr SettingsMask kAll = 0xFFFFFFF;
    LoggerSettings record{};
    SettingsMask mask = kAll;
    ASSERT_EQ(device_->DeviceSettings(&record, &mask, 0), 1);
    ASSERT_EQ(mask, kAll);

    std::snprintf(record.deviceName, sizeof record.deviceName, "FIELD7");
    std::snprintf(record.deviceId, sizeof record.deviceId, "XY12");
    record.reportMode = 2;
    PutFive(record.depths, "5 6 7 8 9");
    record.latitude = -33.5;
    record.longitude = 0.0;
    record.timeZone = 40;
    std::snprintf(record.siteName, sizeof record.siteName, "Ridge 2");
    std::snprintf(record.serialNumber, sizeof record.serialNumber, "SN-777");
    record.measurementInterval = 60;
    record.padcHz = 50;
    PutFive(record.ports, "0 0 3 3 1");
    record.radioMode = 2;
    record.radioChannel = 5;
    record.radioSubchannel = 0x0BEE;
    record.dataParameter = 7;
    std::snprintf(record.buildInfo, sizeof record.buildInfo, "B99");
    PutAdc(record.adc30Slopes, record.adc30Offsets, "100 1 100 1 100 1 100 1 100 1");
    PutAdc(record.adc15Slopes, record.adc15Offsets, "90 9 91 9 92 9 93 9 94 9");
    std::snprintf(record.apn, sizeof record.apn, "m2m.example");
    std::snprintf(record.apnUser, sizeof record.apnUser, "field");
    std::snprintf(record.apnPassword, sizeof record.apnPassword, "n3w-secret");
    std::snprintf(record.authKey, sizeof record.authKey, "FEDCBA9876543210FEDCBA9876543210");
    std::snprintf(record.remoteHost, sizeof record.remoteHost, "collector.example.org");
    record.ipPort = 6001;

    mask = kAll;
    ASSERT_EQ(device_->DeviceSettings(&record, &mask, 1), 1) << LogText();
    // The version and the radio version are read only.
    EXPECT_EQ(mask, kAll & ~kSettingVersion & ~kSettingRadioVersion);

    // A new connection reads it all back.
    device_->DisconnectDevice();
    ASSERT_EQ(Connect(), 1);
    LoggerSettings again{};
    mask = kAll;
    ASSERT_EQ(device_->DeviceSettings(&again, &mask, 0), 1);
    EXPECT_STREQ(again.deviceName, "FIELD7");
    EXPECT_STREQ(again.deviceId, "XY12");
    EXPECT_EQ(again.reportMode, 2);
    EXPECT_EQ(ShowFive(again.depths), "5 6 7 8 9");
    EXPECT_DOUBLE_EQ(again.latitude, -33.5);
    EXPECT_DOUBLE_EQ(again.longitude, 0.0);
    EXPECT_EQ(again.timeZone, 40);
    EXPECT_STREQ(again.siteName, "Ridge 2");
    EXPECT_STREQ(again.serialNumber, "SN-777");
    EXPECT_EQ(again.measurementInterval, 60);
    EXPECT_EQ(again.padcHz, 50);
    EXPECT_EQ(ShowFive(again.ports), "0 0 3 3 1");
    EXPECT_EQ(again.trait, record.trait);
    EXPECT_EQ(again.radioMode, 2u);
    EXPECT_EQ(again.radioChannel, 5);
    EXPECT_EQ(again.radioSubchannel, 0x0BEE);
    EXPECT_STREQ(again.radioVersion, "1084");
    EXPECT_EQ(again.dataParameter, 7);
    EXPECT_STREQ(again.buildInfo, "B99");
    EXPECT_EQ(ShowAdc(again.adc30Slopes, again.adc30Offsets), "100 1 100 1 100 1 100 1 100 1");
    EXPECT_EQ(ShowAdc(again.adc15Slopes, again.adc15Offsets), "90 9 91 9 92 9 93 9 94 9");
    EXPECT_STREQ(again.apn, "m2m.example");
    EXPECT_STREQ(again.apnUser, "field");
    EXPECT_STREQ(again.apnPassword, "n3w-secret");
    EXPECT_STREQ(again.authKey, "FEDCBA9876543210FEDCBA9876543210");
    EXPECT_STREQ(again.remoteHost, "collector.example.org");
    EXPECT_EQ(again.ipPort, 6001);

    const std::string log = LogText();
    for (const char* secret : {"s3cret-pw", "n3w-secret", "0123456789ABCDEF0123", "FEDCBA9876543210FEDC"})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST_F(DeviceSettingsTest, WritingUsesTheIdentityOfTheRecord)
{
    Connected(kKelox202);
    LoggerSettings record = device_->Settings();
    // A record captured from a logger without depths.
    record.capabilityMask &= ~kCapDeviceId;
    PutFive(record.depths, "1 2 3 4 5");
    SettingsMask mask = kSettingDepths | kSettingInterval;
    record.measurementInterval = 30;
    EXPECT_EQ(device_->DeviceSettings(&record, &mask, 1), kDevPartial);
    EXPECT_EQ(mask, kSettingInterval);
    EXPECT_EQ(Writes(), Lines({"set -w 30\r"}));
    EXPECT_EQ(device_->Settings().capabilityMask, record.capabilityMask);
}

TEST_F(DeviceSettingsTest, APositionThatCannotBeReadIsNoLongerValid)
{
    Connected(kKelox202);
    LoggerSettings record{};
    SettingsMask mask = kSettingLatitude | kSettingSite;
    ASSERT_EQ(device_->DeviceSettings(&record, &mask, 0), 1);
    ASSERT_EQ(record.validMask & (kSettingLatitude | kSettingSite), kSettingLatitude | kSettingSite);

    SimSettings()["lat"] = "unset";
    SimSettings()["site"] = "";
    mask = kSettingLatitude | kSettingSite;
    EXPECT_EQ(device_->DeviceSettings(&record, &mask, 0), kDevPartial);
    EXPECT_EQ(mask, kSettingVersion);
    EXPECT_EQ(record.validMask & (kSettingLatitude | kSettingSite), 0u);
}

TEST_F(DeviceSettingsTest, AnOldStorvixEndsEverythingAndCopiesNothing)
{
    SimLogger(sim_).showVersion = "1.09";
    Connected(kKeloOld);
    LoggerSettings record{};
    std::memset(&record, 0x5A, sizeof record);
    const LoggerSettings before = record;
    SettingsMask mask = kSettingName | kSettingInterval;
    EXPECT_EQ(device_->DeviceSettings(&record, &mask, 0), kDevNotSupported);
    EXPECT_EQ(mask, kSettingName | kSettingInterval);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
    EXPECT_EQ(Writes(), Lines({"show\r"}));
    EXPECT_TRUE(LoggedByPort("DeviceSettings: old Storvix model 007 not supported"));
}

TEST_F(DeviceSettingsTest, ArgumentsAreChecked)
{
    Connected(kKelox202);
    LoggerSettings record{};
    SettingsMask mask = kSettingName;
    EXPECT_EQ(device_->DeviceSettings(nullptr, &mask, 0), kDevMissingArgument);
    EXPECT_EQ(device_->DeviceSettings(&record, nullptr, 0), kDevMissingArgument);
    EXPECT_EQ(device_->DeviceSettings(&record, &mask, 2), kDevBadArgument);
    EXPECT_TRUE(Writes().empty());
}

}  // namespace
