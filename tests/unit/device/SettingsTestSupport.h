#pragma once

// The logger settings operations against a simulated data logger: a logger
// of a chosen kind and version, and each operation as a value with its
// record field shown as text, so that tables of cases can run them.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "DeviceTestSupport.h"
#include "SimLogger.h"
#include "SimLoggerSettings.h"
#include "device/SettingsParsing.h"
#include "instrument/InstrumentKind.h"

// One settings operation, working on the object's own record.
struct SettingOp {
    const char* name;
    int (*run)(QUORIN_Protocol& device, int direction);
    std::string (*show)(const LoggerSettings& s);        // the field as text
    void (*put)(LoggerSettings& s, const std::string&);  // the field from text
    const char* blank;                                   // a value that no logger holds
};

inline std::string ShowFive(const std::uint8_t* v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u %u %u %u %u", v[0], v[1], v[2], v[3], v[4]);
    return text;
}
inline void PutFive(std::uint8_t* v, const std::string& text)
{
    unsigned n[5] = {};
    std::sscanf(text.c_str(), "%u %u %u %u %u", &n[0], &n[1], &n[2], &n[3], &n[4]);
    for (int i = 0; i < 5; ++i)
        v[i] = static_cast<std::uint8_t>(n[i]);
}
inline std::string ShowAdc(const std::uint8_t* s, const std::uint8_t* o)
{
    std::string text;
    for (int i = 0; i < 5; ++i)
        text += (i ? " " : "") + std::to_string(s[i]) + " " + std::to_string(o[i]);
    return text;
}
inline void PutAdc(std::uint8_t* s, std::uint8_t* o, const std::string& text)
{
    unsigned n[10] = {};
    std::sscanf(text.c_str(), "%u %u %u %u %u %u %u %u %u %u", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6], &n[7],
                &n[8], &n[9]);
    for (int i = 0; i < 5; ++i) {
        s[i] = static_cast<std::uint8_t>(n[2 * i]);
        o[i] = static_cast<std::uint8_t>(n[2 * i + 1]);
    }
}
inline std::string ShowReal(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.5f", value);
    return text;
}

#define ORVA_TEXT_OP(OP, FIELD)                                                                         \
    SettingOp                                                                                           \
    {                                                                                                   \
#OP, [](QUORIN_Protocol& d, int dir) { return d.OP##Command(d.MutableSettings().FIELD, dir); },       \
            [](const LoggerSettings& s) { return std::string(s.FIELD); },                                     \
            [](LoggerSettings& s, const std::string& v) { std::snprintf(s.FIELD, sizeof s.FIELD, "%s", v.c_str()); }, \
            "" \
    }
#define ORVA_NUMBER_OP(OP, FIELD)                                                                    \
    SettingOp                                                                                        \
    {                                                                                                \
#OP, [](QUORIN_Protocol& d, int dir) { return d.OP##Command(&d.MutableSettings().FIELD, dir); },   \
            [](const LoggerSettings& s) { return std::to_string(s.FIELD); },                               \
            [](LoggerSettings& s, const std::string& v) {                                                  \
                s.FIELD = static_cast<decltype(s.FIELD)>(std::strtol(v.c_str(), nullptr, 10));             \
            },                                                                                             \
            "-777" \
    }
#define ORVA_REAL_OP(OP, FIELD)                                                                       \
    SettingOp                                                                                         \
    {                                                                                                 \
#OP, [](QUORIN_Protocol& d, int dir) { return d.OP##Command(&d.MutableSettings().FIELD, dir); },    \
            [](const LoggerSettings& s) { return ShowReal(s.FIELD); },                                      \
            [](LoggerSettings& s, const std::string& v) { s.FIELD = std::strtod(v.c_str(), nullptr); }, "99" \
    }
#define ORVA_FIVE_OP(OP, FIELD)                                                                     \
    SettingOp                                                                                       \
    {                                                                                               \
#OP, [](QUORIN_Protocol& d, int dir) { return d.OP##Command(d.MutableSettings().FIELD, dir); },   \
            [](const LoggerSettings& s) { return ShowFive(s.FIELD); },                                    \
            [](LoggerSettings& s, const std::string& v) { PutFive(s.FIELD, v); }, "7 7 7 7 7" \
    }
#define ORVA_ADC_OP(TABLE, SLOPES, OFFSETS)                                                                        \
    SettingOp                                                                                                      \
    {                                                                                                              \
        "ADCcal" #TABLE,                                                                                           \
            [](QUORIN_Protocol& d, int dir) {                                                                      \
                return d.ADCcalCommand(TABLE, d.MutableSettings().SLOPES, d.MutableSettings().OFFSETS, dir);       \
            },                                                                                                     \
            [](const LoggerSettings& s) { return ShowAdc(s.SLOPES, s.OFFSETS); },                                  \
            [](LoggerSettings& s, const std::string& v) { PutAdc(s.SLOPES, s.OFFSETS, v); }, "7 7 7 7 7 7 7 7 7 7" \
    }

inline const SettingOp kNameOp = ORVA_TEXT_OP(Name, deviceName);
inline const SettingOp kDeviceIdOp = ORVA_TEXT_OP(DeviceID, deviceId);
inline const SettingOp kReportOp = ORVA_NUMBER_OP(Report, reportMode);
inline const SettingOp kDepthOp = ORVA_FIVE_OP(Depth, depths);
inline const SettingOp kLatitudeOp = ORVA_REAL_OP(Latitude, latitude);
inline const SettingOp kLongitudeOp = ORVA_REAL_OP(Longitude, longitude);
inline const SettingOp kTimeZoneOp = ORVA_NUMBER_OP(TimeZone, timeZone);
inline const SettingOp kSiteOp = ORVA_TEXT_OP(Site, siteName);
inline const SettingOp kSerialNumberOp = ORVA_TEXT_OP(SN, serialNumber);
inline const SettingOp kWakeOp = ORVA_NUMBER_OP(Wake, measurementInterval);
inline const SettingOp kPadcOp = ORVA_NUMBER_OP(PADC, padcHz);
inline const SettingOp kPortsOp = ORVA_FIVE_OP(Ports, ports);
inline const SettingOp kTraitOp = ORVA_NUMBER_OP(Trait, trait);
inline const SettingOp kRmodeOp = ORVA_NUMBER_OP(Rmode, radioMode);
inline const SettingOp kDataOp = ORVA_NUMBER_OP(DataParameter, dataParameter);
inline const SettingOp kBuildOp = ORVA_TEXT_OP(OrvaBuild, buildInfo);
inline const SettingOp kAdc30Op = ORVA_ADC_OP(1, adc30Slopes, adc30Offsets);
inline const SettingOp kAdc15Op = ORVA_ADC_OP(2, adc15Slopes, adc15Offsets);
inline const SettingOp kApnOp = ORVA_TEXT_OP(APN, apn);
inline const SettingOp kApnUserOp = ORVA_TEXT_OP(APNUser, apnUser);
inline const SettingOp kApnPasswdOp = ORVA_TEXT_OP(APNPasswd, apnPassword);
inline const SettingOp kAuthKeyOp = ORVA_TEXT_OP(AuthKey, authKey);
inline const SettingOp kHostOp = ORVA_TEXT_OP(Host, remoteHost);
inline const SettingOp kIpPortOp = ORVA_NUMBER_OP(IPPort, ipPort);

// Which logger is on the line.
struct SimLoggerKind {
    int kind;
    const char* version;  // empty: the simulator's default
    bool oldFirmware = false;
};

inline const SimLoggerKind kKelox202{KELOX, "KELOX 2.02"};
inline const SimLoggerKind kKelox173{KELOX, "KELOX 1.73"};
inline const SimLoggerKind kKeloOld{KELO, "", true};

class SettingsTest : public DeviceTest {
public:
    // Makes the simulated instrument the logger, connects, and learns what
    // the object needs before a setting: the version of old firmware, and
    // the trait of a Kelox (which tells whether it has a cellular modem).
    // The trace starts empty afterwards.
    void Logger(const SimLoggerKind& logger)
    {
        sim_.Config().kind = logger.kind;
        sim_.Config().versionText = logger.version;
        sim_.Config().oldFirmware = logger.oldFirmware;
        ASSERT_EQ(Connect(), 1);
        if (logger.oldFirmware) {
            ASSERT_EQ(device_->ParseShowCommand(nullptr), 1);
        }
        if (logger.kind == KELOX) {
            ASSERT_EQ(device_->TraitCommand(&Record().trait, 0), 1);
        }
        trace_.clear();
    }

    // The logger's settings as it keeps them.
    std::map<std::string, std::string>& SimSettings()
    {
        SimLoggerSettings(sim_);
        return SimLogger(sim_).settings;
    }
    SimLoggerSettingsModel& SimOptions() { return SimLoggerSettings(sim_); }
    LoggerSettings& Record() { return device_->MutableSettings(); }
};
