// The device clock, the data erase with its identity check, the radio
// module's configuration, and the device name.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "DeviceTestSupport.h"
#include "SimLogger.h"
#include "instrument/InstrumentKind.h"
#include "support/ScopedTz.h"

namespace {

std::time_t gCalendarNow = 0;
std::time_t FixedCalendar(std::time_t* out)
{
    if (out) *out = gCalendarNow;
    return gCalendarNow;
}
std::time_t BrokenCalendar(std::time_t*)
{
    errno = EOVERFLOW;
    return static_cast<std::time_t>(-1);
}

// The calendar time of a local wall-clock moment in the zone in force.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class ServiceTest : public DeviceTest {
protected:
    ServiceTest() { device_->SetCalendarSource(FixedCalendar); }
};

class ClockZones : public ServiceTest, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(ClockZones, TheReaderGetsOneSecondsCommandCountedOnTheLocalWallClock)
{
    ScopedTz zone(GetParam());
    gCalendarNow = LocalTime(2000, 1, 2, 0, 0, 0);
    ASSERT_EQ(Connect(), 1);
    ASSERT_EQ(device_->Settings().capabilityMask, 0x001D3083u);
    int seconds = 0;
    EXPECT_EQ(device_->DeviceTime(&seconds), 1);
    EXPECT_EQ(seconds, 86400);
    ASSERT_TRUE(sim_.Model<SimClockModel>().seconds.has_value());
    EXPECT_EQ(*sim_.Model<SimClockModel>().seconds, 86400u);
    EXPECT_EQ(sim_.Model<SimClockModel>().commands, 1);
    EXPECT_EQ(Writes(), (std::vector<std::string>{"get -ver\\r", "set -sec 86400\\r"}));
    EXPECT_TRUE(LoggedByPort("DeviceTime set device orvaseconds to 86400"));
}

INSTANTIATE_TEST_SUITE_P(Zones, ClockZones, ::testing::Values("UTC0", "XST-5", "YST8"));

TEST_F(ServiceTest, ALoggerWithoutSecondsGetsTimeOfDayAndDate)
{
    ScopedTz zone("XST-3");
    gCalendarNow = LocalTime(2026, 3, 9, 13, 5, 7);
    sim_.Config().kind = KELOX;
    sim_.Config().versionText = "KELOX 1.19";
    ASSERT_EQ(Connect(), 1);
    int seconds = 0;
    EXPECT_EQ(device_->DeviceTime(&seconds), 1);
    EXPECT_EQ(sim_.Model<SimClockModel>().timeOfDay, "13:5:7");
    EXPECT_EQ(sim_.Model<SimClockModel>().date, "2026-3-9");
    EXPECT_FALSE(sim_.Model<SimClockModel>().seconds.has_value());
    EXPECT_EQ(seconds, static_cast<int>(gCalendarNow + 3 * 3600 - 946684800));
    EXPECT_TRUE(LoggedByPort("DeviceTime set device time to 13:05:07"));
    EXPECT_TRUE(LoggedByPort("DeviceTime set device date to 2026-3-9"));
}

TEST_F(ServiceTest, AFailedTimeOfDayDoesNotStopTheDate)
{
    ScopedTz zone("UTC0");
    gCalendarNow = LocalTime(2026, 3, 9, 13, 5, 7);
    sim_.Config().kind = KELOX;
    ASSERT_EQ(Connect(), 1);
    sim_.Config().faults.refused = {"set -t"};
    EXPECT_EQ(device_->DeviceTime(nullptr), 1);
    EXPECT_EQ(sim_.Model<SimClockModel>().date, "2026-3-9");
    EXPECT_EQ(Sent("set -t 13:5:7\r"), 3);  // refused on every try

    sim_.Config().faults.refused = {"set -d"};
    EXPECT_EQ(device_->DeviceTime(nullptr), kDevRefused);
    EXPECT_TRUE(LoggedByPort("DeviceTime failed with error -34"));
}

TEST_F(ServiceTest, OldFirmwareConfirmsTheClockWithItsPrompt)
{
    ScopedTz zone("UTC0");
    gCalendarNow = LocalTime(2026, 3, 9, 1, 2, 3);
    sim_.Config().kind = KELO;
    sim_.Config().oldFirmware = true;
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(device_->DeviceTime(nullptr), 1);
    EXPECT_EQ(sim_.Model<SimClockModel>().timeOfDay, "1:2:3");
    EXPECT_EQ(sim_.Model<SimClockModel>().date, "2026-3-9");
}

TEST_F(ServiceTest, NoClockCapabilityOrNoSystemTime)
{
    sim_.Config().kind = PELLORA;
    ASSERT_EQ(Connect(), 1);
    int seconds = 0;
    EXPECT_EQ(device_->DeviceTime(&seconds), kDevUnsupported);
    EXPECT_EQ(seconds, -1);

    sim_.Config().kind = TALLIX;
    sim_.Config().versionText = "TX 1.73";
    ASSERT_EQ(Connect(), 1);
    device_->SetCalendarSource(BrokenCalendar);
    EXPECT_EQ(device_->DeviceTime(&seconds), kDevBadAnswer);
    EXPECT_TRUE(LoggedByPort("DeviceTime failed to get system time with error " + std::to_string(EOVERFLOW)));
    EXPECT_EQ(sim_.Model<SimClockModel>().commands, 0);
}

// --- the data erase ---

TEST_F(ServiceTest, EraseChecksTheFirstEightCharactersOfTheName)
{
    sim_.Config().kind = KELOX;
    ASSERT_EQ(Connect(), 1);
    std::strcpy(device_->MutableSettings().deviceName, "KELOX001");
    EXPECT_EQ(device_->EraseData(), 1);
    EXPECT_EQ(sim_.Model<SimDataModel>().erases, 1);
    EXPECT_TRUE(LoggedByPort("InitializeDevice erased device data"));

    std::strcpy(device_->MutableSettings().deviceName, "KELOX002");
    EXPECT_EQ(device_->EraseData(), kDevWrongDevice);
    EXPECT_EQ(sim_.Model<SimDataModel>().erases, 1);
    EXPECT_EQ(Sent("yes\r"), 1);
    EXPECT_TRUE(LoggedByPort("EraseData: Identity mismatch. Class: KELOX002, Device: KELOX001"));
}

TEST_F(ServiceTest, EraseOnOldFirmwareReadsTheIdFromShowAndWaitsForTheExclamationMark)
{
    sim_.Config().kind = KELO;
    sim_.Config().oldFirmware = true;
    ASSERT_EQ(Connect(), 1);
    std::strcpy(device_->MutableSettings().deviceName, "KELO0001");
    const std::uint32_t start = clock_.NowMs();
    EXPECT_EQ(device_->EraseData(), 1);
    EXPECT_EQ(sim_.Model<SimDataModel>().erases, 1);
    EXPECT_EQ(Sent("show\r"), 1);
    EXPECT_LT(clock_.NowMs() - start, 17000u);  // the answer ended the wait
}

struct EraseFaultCase {
    const char* name;
    bool dataFlashFail;
    bool refuseYes;
    bool silentYes;
    int result;
};

class EraseFaults : public ServiceTest, public ::testing::WithParamInterface<EraseFaultCase> {};

TEST_P(EraseFaults, ABrokenOrSilentDataFlashGives65)
{
    const EraseFaultCase& c = GetParam();
    sim_.Config().kind = KELOX;
    ASSERT_EQ(Connect(), 1);
    std::strcpy(device_->MutableSettings().deviceName, "KELOX001");
    sim_.Config().faults.dataFlashFail = c.dataFlashFail;
    if (c.refuseYes) sim_.Config().faults.refused = {"yes"};
    if (c.silentYes) sim_.Config().faults.unanswered = {"yes"};
    EXPECT_EQ(device_->EraseData(), c.result);
    EXPECT_EQ(sim_.Model<SimDataModel>().erases, 0);
    EXPECT_TRUE(LoggedByPort("EraseData failed due to a broken DataFlash"));
}

INSTANTIATE_TEST_SUITE_P(Faults, EraseFaults,
                         ::testing::Values(EraseFaultCase{"flash", true, false, false, kDevBrokenFlash},
                                           EraseFaultCase{"refused", false, true, false, kDevBrokenFlash},
                                           EraseFaultCase{"silent", false, false, true, kDevBrokenFlash}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, AnUnreadableIdentityErasesNothing)
{
    sim_.Config().kind = KELOX;
    ASSERT_EQ(Connect(), 1);
    SimLogger(sim_).settings["i"] = "";
    EXPECT_EQ(device_->EraseData(), kDevWrongDevice);
    EXPECT_EQ(Sent("yes\r"), 0);
    EXPECT_TRUE(LoggedByPort("EraseData failed checking the identity of device (error -36)"));
}

// --- the radio module behind the pass-through ---

class RadioTest : public ServiceTest {
protected:
    void SetUp() override
    {
        sim_.Config().kind = KELO;
        sim_.Config().oldFirmware = true;
        ASSERT_EQ(Connect(), 1);
        unsigned written = 0;
        ASSERT_EQ(device_->OSWrite("term\r", 5, &written), 5);
        PumpDelay(500);
    }
    // Leaves the pass-through; the logger shows its prompt again.
    void Leave()
    {
        unsigned length = 0;
        int elapsed = 0;
        device_->DeviceCommand("term\r", '>', 1500, nullptr, &length, &elapsed);
        EXPECT_FALSE(SimLogger(sim_).passThrough);
    }
    SimRadmoModel& Radio() { return sim_.Model<SimRadmoModel>(); }
};

TEST_F(RadioTest, ReadingFindsChannelSubchannelAndVersion)
{
    int rch = -1, rsch = -1;
    char rver[9] = "";
    std::uint32_t flags = 0x1C00;
    EXPECT_EQ(device_->RadmoConfig(&rch, &rsch, rver, 0, &flags), 1);
    EXPECT_EQ(flags, 0x1C00u);
    EXPECT_EQ(rch, 0x3);
    EXPECT_EQ(rsch, 0x1A2B);
    EXPECT_STREQ(rver, "1084");
    EXPECT_FALSE(Radio().commandMode);
    Leave();
}

TEST_F(RadioTest, ReadingOnlyWhatIsAskedAndGiven)
{
    int rsch = -1;
    std::uint32_t flags = 0x0C00;  // rch asked but not given
    EXPECT_EQ(device_->RadmoConfig(nullptr, &rsch, nullptr, 0, &flags), 1);
    EXPECT_EQ(flags, 0x800u);
    EXPECT_EQ(rsch, 0x1A2B);
    EXPECT_EQ(Sent("ATHP\r"), 0);
    EXPECT_EQ(Sent("ATVR\r"), 0);
}

TEST_F(RadioTest, WritingSetsAndStores)
{
    int rch = 5, rsch = 0xBEEF;
    std::uint32_t flags = 0xC00;
    EXPECT_EQ(device_->RadmoConfig(&rch, &rsch, nullptr, 1, &flags), 1);
    EXPECT_EQ(flags, 0xC00u);
    EXPECT_EQ(Sent("ATHP5\r"), 1);
    EXPECT_EQ(Sent("ATDTBEEF\r"), 1);
    EXPECT_EQ(Radio().storedRch, 5);
    EXPECT_EQ(Radio().storedRsch, 0xBEEF);
    EXPECT_TRUE(LoggedByPort("RadmoConfig saved configuration"));
    Leave();
}

TEST_F(RadioTest, APartlyFailedWriteGives35WithTheFlagsThatWorked)
{
    Radio().failing = {"ATHP"};
    int rch = 5, rsch = 0x22;
    std::uint32_t flags = 0xC00;
    EXPECT_EQ(device_->RadmoConfig(&rch, &rsch, nullptr, 1, &flags), kDevPartial);
    EXPECT_EQ(flags, 0x800u);
    EXPECT_EQ(Radio().storedRsch, 0x22);
    EXPECT_TRUE(LoggedByPort("RadmoConfig failed with error -35 and 1"));
}

TEST_F(RadioTest, AWriteThatTookNothingIsNoSuccessEvenWhenStored)
{
    Radio().failing = {"ATHP"};
    int rch = 5;
    std::uint32_t flags = 0x400;
    EXPECT_EQ(device_->RadmoConfig(&rch, nullptr, nullptr, 1, &flags), kDevRadioFailed);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(Radio().storedRch, 3);
}

TEST_F(RadioTest, ReadingWhereEveryReadFailsGives1WithNoFlags)
{
    Radio().failing = {"ATHP", "ATDT", "ATVR"};
    int rch = -1, rsch = -1;
    char rver[9] = "";
    std::uint32_t flags = 0x1C00;
    EXPECT_EQ(device_->RadmoConfig(&rch, &rsch, rver, 0, &flags), 1);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(rch, -1);
    EXPECT_TRUE(LoggedByPort("RadmoConfig failed with error 1 and 7"));
}

TEST_F(RadioTest, AModuleThatNeverEntersCommandModeIsTriedTwice)
{
    Radio().answersCommandMode = false;
    int rch = -1;
    std::uint32_t flags = 0x400;
    EXPECT_EQ(device_->RadmoConfig(&rch, nullptr, nullptr, 0, &flags), kDevRadioFailed);
    EXPECT_EQ(flags, 0u);
    // Two transactions of three tries each.
    EXPECT_EQ(Sent("+++"), 6);
    EXPECT_EQ(Sent("ATHP\r"), 0);
    EXPECT_TRUE(LoggedByPort("RadmoConfig failed to get into AT command mode: -21"));
}

TEST_F(RadioTest, FailingToLeaveCommandModeLeavesTheFlags)
{
    Radio().failing = {"ATCN"};
    int rch = -1;
    std::uint32_t flags = 0x400;
    EXPECT_EQ(device_->RadmoConfig(&rch, nullptr, nullptr, 0, &flags), kDevRefused);
    EXPECT_EQ(flags, 0x400u);
    EXPECT_TRUE(LoggedByPort("RadmoConfig failed to get out of AT command mode: -34"));
}

// --- the device name ---

TEST_F(ServiceTest, TheNameIsReadAndWritten)
{
    sim_.Config().kind = GORVIK;
    ASSERT_EQ(Connect(), 1);
    char name[9] = "";
    EXPECT_EQ(device_->NameCommand(name, 0), 1);
    EXPECT_STREQ(name, "GVK00001");
    char newName[9] = "Lake7";
    EXPECT_EQ(device_->NameCommand(newName, 1), 1);
    EXPECT_EQ(SimLogger(sim_).settings["i"], "Lake7");
    char bad[9] = "set";
    EXPECT_EQ(device_->NameCommand(bad, 1), kDevNameReserved);
    EXPECT_EQ(Sent("set -i set\r"), 0);
    EXPECT_TRUE(LoggedByPort("NameCommand: \"set\" is an illegal device name (error -52)"));
}

struct NameCase {
    const char* name;
    int result;
};

class NameTable : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTable, ValidatesDeviceNames)
{
    EXPECT_EQ(QUORIN_Protocol::ValidateDeviceName(GetParam().name), GetParam().result) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, NameTable,
                         ::testing::Values(NameCase{"Abc12345", 1}, NameCase{"Abc123456", kDevNameTooLong},
                                           NameCase{"", kDevNameEmpty}, NameCase{nullptr, kDevNameEmpty},
                                           NameCase{"set", kDevNameReserved}, NameCase{"SET", 1},
                                           NameCase{"OK", kDevNameReserved}, NameCase{"a b", kDevNameBadCharacter},
                                           NameCase{"a\x7f", kDevNameBadCharacter}, NameCase{"a:b", kDevNameBadSymbol},
                                           NameCase{"a,b", kDevNameBadSymbol}, NameCase{"a\xe9", kDevNameNotAscii}));
