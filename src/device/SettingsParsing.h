#pragma once

#include <cstdint>

#include "device/DeviceRecords.h"

// Plain helpers of the logger settings commands: how a value is taken out
// of an answer, the ADC calibration checksum, the checks made before a value
// is sent, and what the trait says about the fitted options. None of them
// touches a port.

// The bits of a SettingsMask: one per setting of a data logger.
constexpr SettingsMask kSettingName = 0x1;
constexpr SettingsMask kSettingSerialNumber = 0x2;
constexpr SettingsMask kSettingVersion = 0x4;  // read only
constexpr SettingsMask kSettingTrait = 0x8;
constexpr SettingsMask kSettingInterval = 0x10;
constexpr SettingsMask kSettingPorts = 0x20;
constexpr SettingsMask kSettingPadc = 0x40;
constexpr SettingsMask kSettingDeviceId = 0x80;
constexpr SettingsMask kSettingDataParameter = 0x100;
constexpr SettingsMask kSettingRadioMode = 0x200;
constexpr SettingsMask kSettingRadioChannel = 0x400;     // the same bits as the radio flags
constexpr SettingsMask kSettingRadioSubchannel = 0x800;  // of MSRadioCommand and RadmoConfig
constexpr SettingsMask kSettingRadioVersion = 0x1000;
constexpr SettingsMask kSettingDepths = 0x2000;
constexpr SettingsMask kSettingSite = 0x4000;
constexpr SettingsMask kSettingLatitude = 0x8000;
constexpr SettingsMask kSettingLongitude = 0x10000;
constexpr SettingsMask kSettingTimeZone = 0x20000;
constexpr SettingsMask kSettingApn = 0x40000;
constexpr SettingsMask kSettingApnUser = 0x80000;
constexpr SettingsMask kSettingApnPassword = 0x100000;
constexpr SettingsMask kSettingHost = 0x200000;
constexpr SettingsMask kSettingAuthKey = 0x400000;
constexpr SettingsMask kSettingIpPort = 0x800000;
constexpr SettingsMask kSettingReportMode = 0x1000000;
constexpr SettingsMask kSettingAdc30 = 0x2000000;
constexpr SettingsMask kSettingAdc15 = 0x4000000;
constexpr SettingsMask kSettingBuildInfo = 0x8000000;
constexpr SettingsMask kSettingRadio = kSettingRadioChannel | kSettingRadioSubchannel | kSettingRadioVersion;
// Every setting but the radio version and the build info.
constexpr SettingsMask kSettingsCommonSelection = 0x7FFEFFF;

// Where the value of a setting starts in an answer.
enum class ValueStart {
    AfterFirstReturn,  // A: after the first "\r" (the whole answer when there is none)
    AfterSpace,        // C: after leading white space
    Start,             // D: at the start of the answer
};

// The text at which a value is read under a rule.
const char* SettingValueText(const char* answer, ValueStart rule);

// Reads one decimal number (optional sign) under a rule. False when there is
// none, or it does not fit an int.
bool ReadSettingInt(const char* answer, ValueStart rule, int* value);

// Reads one real number under a rule.
bool ReadSettingDouble(const char* answer, ValueStart rule, double* value);

// Text values: skip leading white space; a prompt ('>') there gives
// kDevEmptyAnswer; otherwise copies up to the first "\r" or the end, at most
// maxChars characters, into out (maxChars + 1 bytes). Nothing copied gives
// kDevBadAnswer; else 1.
int ReadSettingText(const char* answer, char* out, unsigned maxChars);

// The serial number: the text after the first "\r" (or the whole answer) up
// to the next "\r", at most maxChars characters. Returns its length.
unsigned ReadSerialNumberText(const char* answer, char* out, unsigned maxChars);

// The build info: the text after the first "\r" (or the whole answer); one
// that begins with '>' gives kDevEmptyAnswer; otherwise up to the next "\r",
// at most maxChars characters. Nothing copied gives kDevBadAnswer; else 1.
int ReadBuildText(const char* answer, char* out, unsigned maxChars);

// Reads up to five decimal numbers from text. Each value read is stored in
// out; a value above 255 or below 0 is stored as 255. Returns how many were
// read (a value that is not a number ends the reading).
int ReadFiveBytes(const char* text, std::uint8_t out[kLoggerChannels]);

// The ADC calibration checksum: the sum of the given slopes and offsets
// modulo 256.
unsigned AdcChecksum(const std::uint8_t* slopes, const std::uint8_t* offsets, int pairs);

// The outcome of reading an ADC calibration answer.
struct AdcReading {
    int numbers = 0;            // how many numbers the answer held (at most 11 are read)
    unsigned checksum = 0;      // the checksum the device sent
    bool valuesValid = true;    // no slope or offset read was 0 or 255 and above
    bool checksumValid = true;  // the checksum matches the values stored
};

// Reads "s0 o0 s1 o1 ... s4 o4 checksum" (full form, 11 numbers) or
// "s0 o0 checksum" (short form, 3 numbers) from the start of answer. When
// the count is the expected one, the slopes and offsets read are stored
// (0 stays 0, 255 and above become 255; both make the values not valid) and
// the checksum is compared with the one of the values stored. Returns 1 when
// valid, kDevUnsupported when not valid, kDevBadAnswer when the count is
// wrong (nothing is stored then).
int ReadAdcAnswer(const char* answer, bool shortForm, std::uint8_t slopes[kLoggerChannels],
                  std::uint8_t offsets[kLoggerChannels], AdcReading* reading);

// True when the first 32 characters of key are hexadecimal digits (a shorter
// text fails).
bool IsAuthKey(const char* key);

// True when text may be sent as a setting's value: no control character
// (which would end the command line early, or start another one) and no
// DEL.
bool IsSendableText(const char* text);

// What the diagnostic log shows in place of a secret (the APN password and
// the authentication key).
inline constexpr const char* kSecretShown = "********";

// Commands whose argument is a secret; DeviceCommand hides it in its log.
// Returns true and writes the command with its argument replaced by
// kSecretShown when command is one of them.
bool MaskSecretCommand(const char* command, char* out, unsigned capacity);

// The trait of a LoggerSettings record: 0x4000 tells that it is known, the
// low 8 bits are the options (bit 0 a radio, bit 3 a cellular modem). The
// device keeps the complement, 255 minus the options.
constexpr std::int32_t kTraitKnown = 0x4000;
constexpr std::int32_t kTraitRadio = 0x01;
constexpr std::int32_t kTraitCellularModem = 0x08;

// -1 when the trait is not known, else 1 with a radio fitted, else 0.
int TraitHasRadio(std::int32_t trait);
// -1 when the trait is not known, else 1 for a Kelox with a cellular modem,
// else 0.
int TraitHasCellularModem(std::int32_t trait, int loggerKind);

// The time zone in quarter hours for an offset from UTC in seconds, rounded
// toward zero.
int QuarterHoursFromUtcOffset(int utcOffsetSeconds);
