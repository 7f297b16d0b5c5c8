// The single-setting operations of a data logger: one "get" and one "set"
// command each, the capability they need, how the value is taken out of the
// answer and how the device confirms a write.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/DeviceParse.h"
#include "device/QUORIN_Protocol.h"
#include "device/SettingsParsing.h"
#include "serial/Timing.h"

namespace {

constexpr unsigned kSettingTimeoutMs = 1500;
constexpr unsigned kRadioTimeoutMs = 2000;
constexpr unsigned kShortAnswerSize = 32;
constexpr unsigned kNetworkAnswerSize = 64;  // APN, its user and password, the key
constexpr unsigned kHostAnswerSize = 96;
constexpr unsigned kAdcAnswerSize = 128;
constexpr unsigned kPassThroughPauseMs = 500;
constexpr std::int32_t kTelvoRadioMode = 16;
constexpr int kOldPadcVersion = 165;
constexpr unsigned kMaxRadioChannel = 6;
constexpr unsigned kMaxRadioSubchannel = 65535;

constexpr CapabilityMask kCapDeviceIdGroup = kCapDeviceId;  // device ID, report, depths, site, time zone

bool Contains(const char* text, const char* part)
{
    return std::strstr(text, part) != nullptr;
}

// The confirmation of a write: "OK", or, for the settings that old firmware
// knows, its bare prompt when the device runs old firmware.
const char* Confirmation(bool oldFirmwareKnowsIt, bool newFirmware)
{
    return oldFirmwareKnowsIt && !newFirmware ? "\r>" : "OK";
}

// Reads a text value (leading white space skipped, up to the line's end)
// with one transaction. 1, kDevEmptyAnswer for a bare prompt, kDevBadAnswer
// for nothing, or the transaction's code. out holds maxChars + 1 bytes and
// is written only on success.
int ReadTextValue(QUORIN_Protocol& device, const char* command, unsigned maxChars, unsigned answerSize, char* out,
                  int* elapsed)
{
    char answer[kHostAnswerSize];
    unsigned length = answerSize <= sizeof answer ? answerSize : sizeof answer;
    const int r = device.DeviceCommand(command, '>', kSettingTimeoutMs, answer, &length, elapsed);
    if (r < 0) return r;
    char value[kRemoteHostSize];
    if (maxChars > sizeof value - 1) maxChars = sizeof value - 1;
    const int read = ReadSettingText(answer, value, maxChars);
    if (read < 0) return read;
    CopyBounded(out, maxChars + 1, value);
    return kDevOk;
}

// Where a radio parameter's value starts: two characters after the first
// 'K' of the answer (never beyond its end), or at its start.
const char* RadioValueText(const char* answer)
{
    const char* k = std::strchr(answer, 'K');
    if (!k) return answer;
    for (int i = 0; i < 2 && *k; ++i)
        ++k;
    return k;
}

bool IsRadioVersion(const char* word)
{
    if (std::strlen(word) != 4) return false;
    for (int i = 0; i < 4; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(word[i]))) return false;
    return true;
}

}  // namespace

// A setting whose value is one whole number.
struct QUORIN_Protocol::NumberSetting {
    const char* getCommand;
    const char* setFormat;  // one %d
    ValueStart rule;
    bool oldFirmwareKnowsIt;  // old firmware confirms with its prompt
    bool refuseNegative;
    int noNumber;  // the result when the answer holds no number
    const char* setMessage;
    const char* foundMessage;
    const char* missingMessage;  // may be null
    const char* failMessage;
};

// A setting whose value is a text of at most maxChars characters.
struct QUORIN_Protocol::TextSetting {
    const char* getCommand;
    const char* setPrefix;  // the command before the value: "set -site "
    unsigned maxChars;
    unsigned answerSize;
    bool secret;  // the log shows kSecretShown instead of the value
    const char* setMessage;
    const char* foundMessage;
    const char* failMessage;
};

int QUORIN_Protocol::SettingTransaction(const char* command, unsigned timeoutMs, char* answer, unsigned answerSize,
                                        int* elapsedMs)
{
    unsigned length = answerSize;
    return DeviceCommand(command, '>', timeoutMs, answer, &length, elapsedMs);
}

int QUORIN_Protocol::NumberSettingCommand(const NumberSetting& setting, std::int32_t* value, int direction)
{
    if (!value) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kShortAnswerSize] = {};
    int elapsed = 0;
    int result;
    if (direction == 1) {
        if (setting.refuseNegative && *value < 0) {
            result = kDevBadArgument;
        } else {
            char command[48];
            std::snprintf(command, sizeof command, setting.setFormat, *value);
            result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
            if (result > 0) {
                if (Contains(answer, Confirmation(setting.oldFirmwareKnowsIt, settings_.newFirmware))) {
                    LogDevice(30, setting.setMessage, *value, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            }
        }
    } else {
        result = SettingTransaction(setting.getCommand, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            int read = 0;
            if (ReadSettingInt(answer, setting.rule, &read)) {
                *value = read;
                LogDevice(30, setting.foundMessage, *value, elapsed);
                return kDevOk;
            }
            if (setting.missingMessage) LogDevice(30, setting.missingMessage, elapsed);
            result = setting.noNumber;
        }
    }
    LogDevice(1, setting.failMessage, result, elapsed);
    return result;
}

int QUORIN_Protocol::TextSettingCommand(const TextSetting& setting, char* value, int direction)
{
    if (!value) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    int elapsed = 0;
    int result;
    if (direction == 1) {
        if (!IsSendableText(value)) {
            result = kDevBadArgument;
        } else {
            char command[kHostAnswerSize];
            std::snprintf(command, sizeof command, "%s%.*s\r", setting.setPrefix, static_cast<int>(setting.maxChars),
                          value);
            char answer[kHostAnswerSize] = {};
            result = SettingTransaction(command, kSettingTimeoutMs, answer, setting.answerSize, &elapsed);
            if (result > 0) {
                if (Contains(answer, "OK")) {
                    LogDevice(30, setting.setMessage, setting.secret ? kSecretShown : value, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            }
        }
    } else {
        result = ReadTextValue(*this, setting.getCommand, setting.maxChars, setting.answerSize, value, &elapsed);
        if (result > 0) {
            LogDevice(30, setting.foundMessage, setting.secret ? kSecretShown : value, elapsed);
            return kDevOk;
        }
    }
    LogDevice(1, setting.failMessage, result, elapsed);
    return result;
}

// ---------------------------------------------------------------------------
// Identity and place

int QUORIN_Protocol::DeviceIDCommand(char* id, int direction)
{
    static const TextSetting kSetting = {"get -devid\r",
                                         "set -devid ",
                                         kDeviceIdSize - 1,
                                         kShortAnswerSize,
                                         false,
                                         "DeviceIDCommand set DeviceID to \"%s\" (%d ms)",
                                         "DeviceIDCommand found DeviceID \"%s\" (%d ms)",
                                         "DeviceIDCommand failed with error %d (%d ms)"};
    if (!(settings_.capabilityMask & kCapDeviceIdGroup)) return kDevUnsupported;
    return TextSettingCommand(kSetting, id, direction);
}

int QUORIN_Protocol::SiteCommand(char* site, int direction)
{
    static const TextSetting kSetting = {"get -site\r",
                                         "set -site ",
                                         kSiteNameSize - 1,
                                         kShortAnswerSize,
                                         false,
                                         "SiteCommand set site to \"%s\" (%d ms)",
                                         "SiteCommand found site name \"%s\" (%d ms)",
                                         "SiteCommand failed with error %d (%d ms)"};
    if (!(settings_.capabilityMask & kCapDeviceIdGroup)) return kDevUnsupported;
    return TextSettingCommand(kSetting, site, direction);
}

int QUORIN_Protocol::SNCommand(char* serialNumber, int direction)
{
    if (!serialNumber) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kShortAnswerSize] = {};
    int elapsed = 0;
    int result;
    if (direction == 1) {
        // Old firmware has no serial number.
        if (!settings_.newFirmware) return kDevUnsupported;
        if (!IsSendableText(serialNumber)) {
            result = kDevBadArgument;
        } else {
            char command[48];
            std::snprintf(command, sizeof command, "set -sn %.*s\r", kSerialNumberSize - 1, serialNumber);
            result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
            if (result > 0) {
                if (Contains(answer, "OK")) {
                    LogDevice(30, "SNCommand set device serial number to \"%s\" (%d ms)", serialNumber, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            }
        }
    } else {
        // Some firmware answers the first query with an empty line: ask again
        // until a value comes, at most as often as a command is tried.
        result = kDevBadAnswer;
        for (unsigned attempt = 0; attempt < tries_; ++attempt) {
            result = SettingTransaction("get -sn\r", kSettingTimeoutMs, answer, sizeof answer, &elapsed);
            if (result > 0) {
                char value[kSerialNumberSize];
                if (ReadSerialNumberText(answer, value, kSerialNumberSize - 1) > 0) {
                    CopyBounded(serialNumber, kSerialNumberSize, value);
                    LogDevice(30, "SNCommand found device serial number \"%s\" (%d ms)", serialNumber, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            } else if (result == kDevEmptyAnswer) {
                result = kDevBadAnswer;  // an empty value
            } else if (result == kDevEcho || result == kDevNoAnswer) {
                break;  // asking again cannot help
            }
        }
    }
    LogDevice(1, "SNCommand failed with error %d (%d ms)", result, elapsed);
    return result;
}

int QUORIN_Protocol::ReportCommand(std::int32_t* mode, int direction)
{
    static const NumberSetting kSetting = {"get -report\r",
                                           "set -report %d\r",
                                           ValueStart::AfterSpace,
                                           false,
                                           false,
                                           kDevBadAnswer,
                                           "ReportCommand set report mode to %d (%d ms)",
                                           "ReportCommand found device report mode %d (%d ms)",
                                           "ReportCommand could not find device report mode (%d ms)",
                                           "ReportCommand failed with error %d (%d ms)"};
    if (!(settings_.capabilityMask & kCapDeviceIdGroup)) return kDevUnsupported;
    return NumberSettingCommand(kSetting, mode, direction);
}

int QUORIN_Protocol::TimeZoneCommand(std::int32_t* quarterHours, int direction)
{
    static const NumberSetting kSetting = {"get -tz\r",
                                           "set -tz %d\r",
                                           ValueStart::AfterSpace,
                                           false,
                                           false,
                                           kDevBadAnswer,
                                           "TimeZoneCommand set time zone to %d (%d ms)",
                                           "TimeZoneCommand found device time zone %d (%d ms)",
                                           "TimeZoneCommand could not find device time zone (%d ms)",
                                           "TimeZoneCommand failed with error %d (%d ms)"};
    if (!(settings_.capabilityMask & kCapDeviceIdGroup)) return kDevUnsupported;
    // -2 asks for the host's own zone.
    if (direction == 1 && quarterHours && *quarterHours == -2)
        *quarterHours = QuarterHoursFromUtcOffset(UtcOffsetSeconds());
    return NumberSettingCommand(kSetting, quarterHours, direction);
}

int QUORIN_Protocol::PositionCommand(bool latitude, double* value, int direction)
{
    const char* const name = latitude ? "Latitude" : "Longitude";
    const char* const word = latitude ? "latitude" : "longitude";
    const char* const option = latitude ? "lat" : "long";
    if (!(settings_.capabilityMask & kCapPosition)) return kDevUnsupported;
    if (!value) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kShortAnswerSize] = {};
    char command[48];
    int elapsed = 0;
    int result;
    if (direction == 1) {
        if (!std::isfinite(*value)) {
            result = kDevBadArgument;
        } else {
            // A position of exactly 0 is sent without a number: the device
            // takes that as "no position".
            if (*value == 0.0)
                std::snprintf(command, sizeof command, "set -%s \r", option);
            else
                std::snprintf(command, sizeof command, "set -%s %+.5f\r", option, *value);
            result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
            if (result > 0) {
                if (Contains(answer, "OK")) {
                    LogDevice(30, "%sCommand set %s to %+.5f (%d ms)", name, word, *value, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            }
        }
    } else {
        std::snprintf(command, sizeof command, "get -%s\r", option);
        result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            double read = 0.0;
            if (ReadSettingDouble(answer, ValueStart::AfterSpace, &read)) {
                *value = read;
                LogDevice(30, "%sCommand found device %s %+.5f (%d ms)", name, word, *value, elapsed);
                return kDevOk;
            }
            LogDevice(30, "%sCommand could not find device %s (%d ms)", name, word, elapsed);
            result = kDevEmptyAnswer;
        }
    }
    LogDevice(1, "%sCommand failed with error %d (%d ms)", name, result, elapsed);
    return result;
}

int QUORIN_Protocol::LatitudeCommand(double* latitude, int direction)
{
    return PositionCommand(true, latitude, direction);
}

int QUORIN_Protocol::LongitudeCommand(double* longitude, int direction)
{
    return PositionCommand(false, longitude, direction);
}

// ---------------------------------------------------------------------------
// Measurement

int QUORIN_Protocol::WakeCommand(std::int32_t* interval, int direction)
{
    static const NumberSetting kSetting = {"get -w\r",
                                           "set -w %d\r",
                                           ValueStart::AfterFirstReturn,
                                           true,
                                           true,
                                           kDevBadAnswer,
                                           "WakeCommand set device measurement interval to %d (%d ms)",
                                           "WakeCommand found device measurement interval %d (%d ms)",
                                           "WakeCommand could not find device measurement interval (%d ms)",
                                           "WakeCommand failed with error %d (%d ms)"};
    if (!(settings_.capabilityMask & kCapIntervalPadc)) return kDevUnsupported;
    return NumberSettingCommand(kSetting, interval, direction);
}

int QUORIN_Protocol::PADCCommand(std::int32_t* hertz, int direction)
{
    static const NumberSetting kNew = {"get -padc\r",
                                       "set -padc %d\r",
                                       ValueStart::AfterFirstReturn,
                                       true,
                                       true,
                                       kDevBadAnswer,
                                       "PADCCommand set device PADC %d Hz (%d ms)",
                                       "PADCCommand found device PADC %d Hz (%d ms)",
                                       "PADCCommand could not find device PADC value (%d ms)",
                                       "PADCCommand failed with error %d (%d ms)"};
    static const NumberSetting kOld = {"hertz\r",
                                       "set -p %d\r",
                                       ValueStart::AfterFirstReturn,
                                       true,
                                       true,
                                       kDevBadAnswer,
                                       kNew.setMessage,
                                       kNew.foundMessage,
                                       kNew.missingMessage,
                                       kNew.failMessage};
    if (!(settings_.capabilityMask & kCapIntervalPadc)) return kDevUnsupported;
    if (!settings_.newFirmware && settings_.version < kOldPadcVersion) {
        if (hertz) *hertz = -1;
        return kDevUnsupported;
    }
    return NumberSettingCommand(settings_.newFirmware ? kNew : kOld, hertz, direction);
}

int QUORIN_Protocol::FiveBytesCommand(bool depths, std::uint8_t* values, int direction)
{
    const char* const name = depths ? "DepthCommand" : "PortsCommand";
    const char* const option = depths ? "depth" : "ports";
    const CapabilityMask needs = depths ? kCapDeviceId : kCapPorts;
    if (!(settings_.capabilityMask & needs)) {
        // A device without the setting has no depths (255) and no ports (0).
        if (values && direction == 0) std::memset(values, depths ? 255 : 0, kLoggerChannels);
        return kDevUnsupported;
    }
    if (!values) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kShortAnswerSize] = {};
    char command[64];
    int elapsed = 0;
    int result;
    if (direction == 1) {
        std::snprintf(command, sizeof command, "set -%s %d %d %d %d %d\r", option, values[0], values[1], values[2],
                      values[3], values[4]);
        result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            if (Contains(answer, "OK")) {
                LogDevice(30, "%s set %s to %d %d %d %d %d (%d ms)", name, depths ? "depths" : "ports", values[0],
                          values[1], values[2], values[3], values[4], elapsed);
                return kDevOk;
            }
            result = kDevBadAnswer;
        }
    } else {
        std::snprintf(command, sizeof command, "get -%s\r", option);
        result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            std::uint8_t read[kLoggerChannels] = {};
            const int count = ReadFiveBytes(SettingValueText(answer, ValueStart::Start), read);
            if (count == kLoggerChannels) {
                std::memcpy(values, read, sizeof read);
                LogDevice(30, "%s: %s are %d %d %d %d %d (%d ms)", name, depths ? "depths" : "ports", values[0],
                          values[1], values[2], values[3], values[4], elapsed);
                return kDevOk;
            }
            if (depths)
                LogDevice(30, "DepthCommand only found %d of %d port depths (%d ms)", count, kLoggerChannels, elapsed);
            else
                LogDevice(30, "PortsCommand only found %d of %d ports (%d ms)", count, kLoggerChannels, elapsed);
            result = kDevBadAnswer;
        }
    }
    LogDevice(1, "%s failed with error %d (%d ms)", name, result, elapsed);
    return result;
}

int QUORIN_Protocol::DepthCommand(std::uint8_t* depths, int direction)
{
    return FiveBytesCommand(true, depths, direction);
}

int QUORIN_Protocol::PortsCommand(std::uint8_t* ports, int direction)
{
    return FiveBytesCommand(false, ports, direction);
}

int QUORIN_Protocol::DataParameterCommand(std::int32_t* value, int direction)
{
    static const NumberSetting kSetting = {"get -data\r",
                                           "set -data %d\r",
                                           ValueStart::Start,
                                           false,
                                           false,
                                           kDevBadAnswer,
                                           "DataParameterCommand set data parameter to %d (%d ms)",
                                           "DataParameterCommand found data parameter %d (%d ms)",
                                           "DataParameterCommand could not find device data parameter (%d ms)",
                                           "DataParameterCommand failed with error %d (%d ms)"};
    if (!(settings_.capabilityMask & kCapDataParameter)) return kDevUnsupported;
    return NumberSettingCommand(kSetting, value, direction);
}

int QUORIN_Protocol::OrvaBuildCommand(char* build, int direction)
{
    if (!(settings_.capabilityMask & kCapBuildInfo)) return kDevUnsupported;
    if (!build) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kShortAnswerSize] = {};
    int elapsed = 0;
    int result;
    if (direction == 1) {
        if (!IsSendableText(build)) {
            result = kDevBadArgument;
        } else {
            char command[48];
            std::snprintf(command, sizeof command, "set -build %.*s\r", kBuildInfoSize - 1, build);
            result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
            if (result > 0) {
                if (Contains(answer, "OK")) {
                    LogDevice(30, "OrvaBuildCommand set OrvaBuild number to \"%s\" (%d ms)", build, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            }
        }
    } else {
        result = SettingTransaction("get -build\r", kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            char value[kBuildInfoSize];
            result = ReadBuildText(answer, value, kBuildInfoSize - 1);
            if (result > 0) {
                CopyBounded(build, kBuildInfoSize, value);
                LogDevice(30, "OrvaBuildCommand found OrvaBuild info \"%s\" (%d ms)", build, elapsed);
                return kDevOk;
            }
        }
    }
    LogDevice(1, "OrvaBuildCommand failed with error %d (%d ms)", result, elapsed);
    return result;
}

int QUORIN_Protocol::ADCcalCommand(int table, std::uint8_t* slopes, std::uint8_t* offsets, int direction)
{
    if (!(settings_.capabilityMask & kCapAdcCal)) return kDevUnsupported;
    if (table != 1 && table != 2) return kDevBadArgument;
    if (!slopes || !offsets) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    const char* const word = table == 1 ? "-adc30" : "-adc15";
    // Some devices keep only the first pair and take the short form.
    const bool shortForm = (settings_.capabilityMask & kCapShortAdcCal) != 0;
    char answer[kAdcAnswerSize] = {};
    char command[96];
    int elapsed = 0;
    int result;
    const std::uint8_t* s = slopes;
    const std::uint8_t* o = offsets;
    if (direction == 1) {
        unsigned checksum;
        if (shortForm) {
            checksum = AdcChecksum(s, o, 1);
            std::snprintf(command, sizeof command, "set %s %u %u %u\r", word, s[0], o[0], checksum);
        } else {
            checksum = AdcChecksum(s, o, kLoggerChannels);
            std::snprintf(command, sizeof command, "set %s %u %u %u %u %u %u %u %u %u %u %u\r", word, s[0], o[0], s[1],
                          o[1], s[2], o[2], s[3], o[3], s[4], o[4], checksum);
        }
        result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            if (Contains(answer, "OK")) {
                LogDevice(30, "ADCcalCommand set %s %u %u %u %u %u %u %u %u %u %u %u (%d ms)", word, s[0], o[0], s[1],
                          o[1], s[2], o[2], s[3], o[3], s[4], o[4], checksum, elapsed);
                return kDevOk;
            }
            result = kDevBadAnswer;
        }
    } else {
        std::snprintf(command, sizeof command, "get %s\r", word);
        result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            AdcReading reading;
            result = ReadAdcAnswer(answer, shortForm, slopes, offsets, &reading);
            if (result == kDevBadAnswer) {
                LogDevice(30, "ADCcalCommand only found %d of %d cal %s factors (%d ms)", reading.numbers,
                          shortForm ? 3 : 2 * kLoggerChannels + 1, word, elapsed);
            } else {
                LogDevice(30, "ADCcalCommand found (%s) %s %u %u %u %u %u %u %u %u %u %u %u (%d ms)",
                          result > 0 ? "valid" : "not valid", word, s[0], o[0], s[1], o[1], s[2], o[2], s[3], o[3],
                          s[4], o[4], reading.checksum, elapsed);
                if (result > 0) return kDevOk;
            }
        }
    }
    LogDevice(1, "ADCcalCommand (%s) failed with error %d (%d ms)", word, result, elapsed);
    return result;
}

// ---------------------------------------------------------------------------
// Options and radio

int QUORIN_Protocol::HasRadio() const
{
    return TraitHasRadio(settings_.trait);
}

int QUORIN_Protocol::HasCellularModem() const
{
    return TraitHasCellularModem(settings_.trait, settings_.loggerKind);
}

int QUORIN_Protocol::TraitCommand(std::int32_t* trait, int direction)
{
    if (!trait) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kShortAnswerSize] = {};
    int elapsed = 0;
    int result;
    if (direction == 1) {
        if (!(*trait & kTraitKnown)) {
            result = kDevBadArgument;  // an unknown trait is not written
        } else if (!(settings_.capabilityMask & kCapDeviceId)) {
            result = kDevValueRefused;
        } else {
            char command[32];
            std::snprintf(command, sizeof command, "set -trait %d\r", 255 - (*trait & 0xFF));
            result = SettingTransaction(command, kSettingTimeoutMs, answer, sizeof answer, &elapsed);
            if (result > 0) {
                if (Contains(answer, "OK")) {
                    LogDevice(30, "TraitCommand set trait to %d (%d ms)", *trait, elapsed);
                    return kDevOk;
                }
                result = kDevBadAnswer;
            }
        }
        LogDevice(1, "TraitCommand failed with error %d (%d ms)", result, elapsed);
        return result;
    }

    if (settings_.loggerKind == kLoggerPellora) {
        // Every Pellora has a radio.
        *trait = kTraitKnown | kTraitRadio;
        LogDevice(30, "TraitCommand: set trait to %d for Pellora", *trait);
        return kDevOk;
    }
    if (settings_.capabilityMask & kCapReadTrait) {
        result = SettingTransaction("get -trait\r", kSettingTimeoutMs, answer, sizeof answer, &elapsed);
        if (result > 0) {
            int value = 0;
            // The device keeps the complement of the option bits: a byte.
            if (ReadSettingInt(answer, ValueStart::Start, &value) && value >= 0 && value <= 255) {
                *trait = (255 - value) | kTraitKnown;
                LogDevice(30, "TraitCommand: found %d (%d ms)", *trait, elapsed);
                return kDevOk;
            }
            result = kDevBadAnswer;
        }
        LogDevice(1, "TraitCommand failed with error %d (%d ms)", result, elapsed);
        return result;
    }
    if (!(settings_.capabilityMask & kCapRadioChannel)) {
        *trait = kTraitKnown;  // no options
        return kDevOk;
    }
    // Without the command, a radio is there when it tells its version.
    std::uint32_t flags = kRadioVersionFlag;
    const int r = MSRadioCommand(nullptr, nullptr, settings_.radioVersion, 0, &flags);
    *trait = (flags & kRadioVersionFlag) ? (kTraitKnown | kTraitRadio) : kTraitKnown;
    if (r > 0) {
        LogDevice(30, "TraitCommand (emulated): found %d", *trait);
        return kDevOk;
    }
    return 0;
}

int QUORIN_Protocol::RmodeCommand(std::uint32_t* mode, int direction)
{
    static const NumberSetting kSetting = {"get -r\r",
                                           "set -r %d\r",
                                           ValueStart::Start,
                                           true,
                                           false,
                                           kDevBadAnswer,
                                           "RmodeCommand set rmode to %d (%d ms)",
                                           "RmodeCommand found rmode %d (%d ms)",
                                           "RmodeCommand could not find device rmode (%d ms)",
                                           "RmodeCommand failed with error %d (%d ms)"};
    if (settings_.loggerKind == kLoggerTelvo) {
        // A Telvo always works in the same radio mode.
        if (mode && direction == 0) *mode = kTelvoRadioMode;
        LogDevice(30, "RmodeCommand found an Telvo that is always mode %d", kTelvoRadioMode);
        return kDevOk;
    }
    if (!(settings_.capabilityMask & kCapRadioMode)) return kDevUnsupported;
    if (!mode) return kDevMissingArgument;
    if (direction == 1 && *mode > 0x7FFFFFFFu) {
        LogDevice(1, "RmodeCommand failed with error %d (%d ms)", kDevBadArgument, 0);
        return kDevBadArgument;
    }
    std::int32_t value = static_cast<std::int32_t>(*mode);
    const int result = NumberSettingCommand(kSetting, &value, direction);
    if (result > 0 && direction == 0) *mode = static_cast<std::uint32_t>(value);
    return result;
}

int QUORIN_Protocol::RadioParameter(std::uint32_t flag, int* value, char* rver, int direction, int* result,
                                    std::uint32_t* done, std::uint32_t* failed)
{
    const char* const name = flag == kRadioChannelFlag ? "rch" : flag == kRadioSubchannelFlag ? "rsch" : "rver";
    const unsigned limit = flag == kRadioChannelFlag ? kMaxRadioChannel : kMaxRadioSubchannel;
    char command[32];
    if (direction == 1)
        std::snprintf(command, sizeof command, "set -%s %X\r", name, static_cast<unsigned>(*value));
    else
        std::snprintf(command, sizeof command, "get -%s\r", name);
    // A Kelo confirms twice, once for the logger and once for its module.
    const char* const confirmation = settings_.loggerKind == kLoggerKelo ? "OK\r\rOK" : "OK";

    int elapsed = 0;
    for (unsigned attempt = 0; attempt < tries_; ++attempt) {
        char answer[kShortAnswerSize] = {};
        unsigned length = sizeof answer;
        const int r = DeviceCommand(command, '>', kRadioTimeoutMs, answer, &length, &elapsed);
        if (direction != 1 && r == kDevEmptyAnswer) {
            *result = 0;
            if (flag != kRadioVersionFlag) *failed |= flag;
            continue;
        }
        if (r < 0) {
            *failed |= flag;
            *result = r;
            continue;
        }
        if (Contains(answer, "No Radio")) {
            *result = kDevNoRadio;
            *failed |= flag;
            break;
        }
        if (direction == 1) {
            if (Contains(answer, confirmation)) {
                LogDevice(30, "MSRadioCommand set %s to %d (%d ms)", name, *value, elapsed);
                *done |= flag;
                *failed &= ~flag;
                break;
            }
            *failed |= flag;
            continue;
        }
        const char* text = RadioValueText(answer);
        if (flag == kRadioVersionFlag) {
            char word[kRadioVersionSize];
            const unsigned n = ReadWord(text, word, kRadioVersionSize - 1);
            if (n >= 2 && word[0] == '0' && word[1] == '0') {
                // A module that reports version 00.. is not there.
                *result = kDevNoRadio;
                rver[0] = '\0';
                *failed |= flag;
                break;
            }
            if (IsRadioVersion(word)) {
                CopyBounded(rver, kRadioVersionSize, word);
                LogDevice(30, "MSRadioCommand found rver %s (%d ms)", rver, elapsed);
                *done |= flag;
                *failed &= ~flag;
                break;
            }
            *failed |= flag;
            continue;
        }
        char* end = nullptr;
        const unsigned long parsed = std::strtoul(text, &end, 16);
        if (end != text && parsed <= limit) {
            *value = static_cast<int>(parsed);
            LogDevice(30, "MSRadioCommand found %s %d (%d ms)", name, *value, elapsed);
            *done |= flag;
            *failed &= ~flag;
            break;
        }
        *failed |= flag;
    }
    if (direction != 1 && (*failed & flag)) LogDevice(30, "MSRadioCommand could not find %s (%d ms)", name, elapsed);
    return *result;
}

int QUORIN_Protocol::MSRadioCommand(int* rch, int* rsch, char* rver, int direction, std::uint32_t* flags)
{
    if (!flags) return kDevMissingArgument;
    if (!(settings_.capabilityMask & kCapRadioChannel)) {
        *flags = 0;
        return kDevUnsupported;
    }
    if (direction != 0 && direction != 1) return kDevBadArgument;
    const std::uint32_t start = MsTick();

    if (!settings_.newFirmware) {
        // Old firmware passes everything after "term" through to its radio
        // module, until the next "term".
        if (settings_.loggerKind != kLoggerKelo) return kDevNoAnswer;
        unsigned written = 0;
        OSWrite("term\r", 5, &written);
        PumpDelay(kPassThroughPauseMs);
        const int result = RadmoConfig(rch, rsch, rver, direction, flags);
        PumpDelay(kPassThroughPauseMs);
        char answer[kShortAnswerSize];
        unsigned length = sizeof answer;
        int elapsed = 0;
        DeviceCommand("term\r", '>', kSettingTimeoutMs, answer, &length, &elapsed);
        return result;
    }

    const std::uint32_t asked = *flags;
    int result = kDevOk;
    std::uint32_t done = 0;
    std::uint32_t failed = 0;
    if (direction == 1) {
        if ((asked & kRadioChannelFlag) && rch)
            RadioParameter(kRadioChannelFlag, rch, nullptr, 1, &result, &done, &failed);
        if ((asked & kRadioSubchannelFlag) && rsch)
            RadioParameter(kRadioSubchannelFlag, rsch, nullptr, 1, &result, &done, &failed);
    } else {
        if ((asked & kRadioVersionFlag) && rver)
            RadioParameter(kRadioVersionFlag, nullptr, rver, 0, &result, &done, &failed);
        if ((asked & kRadioChannelFlag) && rch && result != kDevNoRadio)
            RadioParameter(kRadioChannelFlag, rch, nullptr, 0, &result, &done, &failed);
        if ((asked & kRadioSubchannelFlag) && rsch && result != kDevNoRadio)
            RadioParameter(kRadioSubchannelFlag, rsch, nullptr, 0, &result, &done, &failed);
    }

    const int elapsed = static_cast<int>(MsTick() - start);
    if ((result == 0 || result == kDevNoRadio) && done == 0) {
        LogDevice(30, "MSRadioCommand couldn't find a radio (%d ms)", elapsed);
    } else if (result < 0 || failed != 0) {
        if (done != 0)
            result = kDevPartial;
        else if (result > 0)
            result = kDevBadAnswer;  // nothing that was asked for succeeded
        LogDevice(1, "MSRadioCommand failed with error %d setting %d (%d ms)", result, static_cast<int>(failed),
                  elapsed);
    }
    *flags = done;
    return result;
}

// ---------------------------------------------------------------------------
// Cellular network

int QUORIN_Protocol::APNCommand(char* apn, int direction)
{
    static const TextSetting kSetting = {"get -apn\r",
                                         "set -apn ",
                                         kApnSize - 1,
                                         kNetworkAnswerSize,
                                         false,
                                         "APNCommand set APN to \"%s\" (%d ms)",
                                         "APNCommand found APN \"%s\" (%d ms)",
                                         "APNCommand failed with error %d (%d ms)"};
    if (HasCellularModem() != 1) return kDevUnsupported;
    return TextSettingCommand(kSetting, apn, direction);
}

int QUORIN_Protocol::APNUserCommand(char* user, int direction)
{
    static const TextSetting kSetting = {"get -user\r",
                                         "set -user ",
                                         kApnSize - 1,
                                         kNetworkAnswerSize,
                                         false,
                                         "APNUserCommand set APN user name to \"%s\" (%d ms)",
                                         "APNUserCommand found APN user name \"%s\" (%d ms)",
                                         "APNUserCommand failed with error %d (%d ms)"};
    if (HasCellularModem() != 1) return kDevUnsupported;
    return TextSettingCommand(kSetting, user, direction);
}

int QUORIN_Protocol::APNPasswdCommand(char* password, int direction)
{
    static const TextSetting kSetting = {"get -passwd\r",
                                         "set -passwd ",
                                         kApnSize - 1,
                                         kNetworkAnswerSize,
                                         true,
                                         "APNPasswdCommand set APN password to \"%s\" (%d ms)",
                                         "APNPasswdCommand found APN password \"%s\" (%d ms)",
                                         "APNPasswdCommand failed with error %d (%d ms)"};
    if (HasCellularModem() != 1) return kDevUnsupported;
    return TextSettingCommand(kSetting, password, direction);
}

int QUORIN_Protocol::AuthKeyCommand(char* key, int direction)
{
    static const TextSetting kSetting = {"get -authkey\r",
                                         "set -authkey ",
                                         kAuthKeySize - 1,
                                         kNetworkAnswerSize,
                                         true,
                                         "AuthKeyCommand set authkey to \"%s\" (%d ms)",
                                         "AuthKeyCommand found authkey \"%s\" (%d ms)",
                                         "AuthKeyCommand failed with error %d (%d ms)"};
    if (HasCellularModem() != 1) return kDevUnsupported;
    if (!key) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    int elapsed = 0;
    if (direction == 1) {
        if (!IsAuthKey(key)) {
            LogDevice(1, kSetting.failMessage, kDevBadArgument, elapsed);
            return kDevBadArgument;
        }
        // Only the first 32 digits are the key.
        char cut[kAuthKeySize];
        std::memcpy(cut, key, kAuthKeySize - 1);
        cut[kAuthKeySize - 1] = '\0';
        return TextSettingCommand(kSetting, cut, 1);
    }
    int result = ReadTextValue(*this, "get -authkey\r", kAuthKeySize - 1, kNetworkAnswerSize, key, &elapsed);
    if (result > 0) {
        LogDevice(30, kSetting.foundMessage, kSecretShown, elapsed);
        return kDevOk;
    }
    if (result == kDevRefused) {
        // Older firmware calls the key "teakey".
        result = ReadTextValue(*this, "get -teakey\r", kAuthKeySize - 1, kNetworkAnswerSize, key, &elapsed);
        if (result > 0) {
            LogDevice(30, "AuthKeyCommand found authkey (as teakey) \"%s\" (%d ms)", kSecretShown, elapsed);
            return kDevOk;
        }
    }
    LogDevice(1, kSetting.failMessage, result, elapsed);
    return result;
}

int QUORIN_Protocol::HostCommand(char* host, int direction)
{
    static const TextSetting kSetting = {"get -host\r",
                                         "set -host ",
                                         kRemoteHostSize - 1,
                                         kHostAnswerSize,
                                         false,
                                         "HostCommand set remote host name to \"%s\" (%d ms)",
                                         "HostCommand found the remote host name \"%s\" (%d ms)",
                                         "HostCommand failed with error %d (%d ms)"};
    if (HasCellularModem() != 1) return kDevUnsupported;
    return TextSettingCommand(kSetting, host, direction);
}

int QUORIN_Protocol::IPPortCommand(std::int32_t* port, int direction)
{
    static const NumberSetting kSetting = {"get -ipport\r",
                                           "set -ipport %d\r",
                                           ValueStart::AfterSpace,
                                           false,
                                           false,
                                           kDevEmptyAnswer,
                                           "IPPortCommand set ipport to %d (%d ms)",
                                           "IPPortCommand found device ipport %d (%d ms)",
                                           "IPPortCommand could not find device ipport (%d ms)",
                                           "IPPortCommand failed with error %d (%d ms)"};
    if (HasCellularModem() != 1) return kDevUnsupported;
    return NumberSettingCommand(kSetting, port, direction);
}
