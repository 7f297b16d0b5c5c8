#pragma once

#include <cstdint>

// Records and constants of the device command protocol: the link options,
// the connection record, what is known about one device (LoggerSettings),
// the device families (LoggerKind) and the capability bits.

// Result codes shared by every operation of the device command protocol.
enum DeviceResult : int {
    kDevOk = 1,
    kDevUnsupported = -1,        // capability bit clear
    kDevMissingArgument = -10,   // a required argument is absent
    kDevBadArgument = -11,       // an argument has an invalid value
    kDevValueRefused = -12,      // the device refused to take the value
    kDevNotSupported = -13,      // the device or its firmware is not supported
    kDevNothingListening = -20,  // nothing is listening on the serial port
    kDevNoAnswer = -21,          // no answer at all
    kDevNoConfirmation = -22,    // no answer on the last try after a refusal
    kDevRadioFailed = -23,       // no radio, or configuring the radio module failed
    kDevBadAnswer = -30,         // the answer lacked the expected form or value
    kDevEmptyAnswer = -31,       // "\r\r>"
    kDevEcho = -32,              // the command came back inside the answer
    kDevRefused = -34,           // "ERROR", "?" or "Unsupported"
    kDevPartial = -35,           // some of several settings or parameters failed
    kDevEmptyName = -36,         // the name query got an empty answer
    kDevWrongDevice = -37,       // identity mismatch or unreadable
    kDevNoRadio = -45,           // the logger reports "No Radio"
    kDevNameBadCharacter = -50,  // space, control character, 127 or 255
    kDevNameBadSymbol = -51,     // ? \ " / < > * | : ; ,
    kDevNameReserved = -52,      // a word of the command language
    kDevNameEmpty = -53,
    kDevNameTooLong = -54,   // more than 8 characters
    kDevNameNotAscii = -56,  // another code above 127
    kDevNoMemory = -60,
    kDevBrokenFlash = -65,    // the data flash is broken
    kDevLoaderActive = -80,   // the bootstrap loader answered, connected
    kDevLoaderWaiting = -81,  // the bootstrap loader answered, waiting for a connection
};

// How the link behaves. Validated and stored by CommOptions.
struct LinkOptions {
    bool keepPortOpen = false;
    std::uint32_t serialTries = 3;  // 1 to 12; 0 means 3
    std::uint32_t radioTries = 5;   // 1 to 12; 0 means 5
    bool progress = false;
    std::int8_t echoMode = 0;       // 0 to 3
    std::uint32_t extraWaitMs = 0;  // 0 to 30000, added to every wait
};

constexpr std::uint32_t kMaxTries = 12;
constexpr std::uint32_t kDefaultSerialTries = 3;
constexpr std::uint32_t kDefaultRadioTries = 5;
constexpr std::uint32_t kMaxExtraWaitMs = 30000;

// Link kinds of a ConnectRecord.
enum LinkKind : std::uint8_t {
    kLinkNone = 0,  // not connected
    kLinkSerial = 10,
    kLinkRadio = 30,
};

// Baud index 2 is 9600 baud, the rate of every connection.
constexpr std::uint8_t kBaudIndex9600 = 2;

constexpr int kConnectPortNameSize = 13;  // 12 characters and the zero
constexpr int kDeviceNameSize = 9;        // 8 characters and the zero

// What to connect to.
struct ConnectRecord {
    char portName[kConnectPortNameSize];
    std::uint8_t linkKind;
    std::uint8_t baudIndex;
    // Room for a radio link: the remote device and the module's channel.
    char deviceName[kDeviceNameSize];
    std::int32_t radioChannel;
    std::int32_t radioSubchannel;
};

// Device families, from the code that starts the version answer.
enum LoggerKind : std::uint8_t {
    kLoggerUnknown = 0,
    kLoggerKelo = 2,
    kLoggerKelox = 3,
    kLoggerPellora = 4,
    kLoggerQuarrow = 5,
    kLoggerKelob = 6,
    kLoggerQcd = 8,
    kLoggerCalibrator = 9,
    kLoggerTallix = 10,
    kLoggerTelvo = 11,
    kLoggerGorvik = 12,
};

// Which commands a device understands, from its kind and version.
using CapabilityMask = std::uint32_t;

constexpr CapabilityMask kCapIntervalPadc = 0x10;
constexpr CapabilityMask kCapPorts = 0x20;
constexpr CapabilityMask kCapReadTrait = 0x40;
constexpr CapabilityMask kCapRadioChannel = 0x100;
constexpr CapabilityMask kCapRadioMode = 0x200;
constexpr CapabilityMask kCapClock = 0x1000;
constexpr CapabilityMask kCapAdcCal = 0x10000;
constexpr CapabilityMask kCapDataParameter = 0x20000;
constexpr CapabilityMask kCapBuildInfo = 0x40000;
constexpr CapabilityMask kCapClockSeconds = 0x80000;
constexpr CapabilityMask kCapShortAdcCal = 0x100000;
constexpr CapabilityMask kCapDeviceId = 0x1000000;
constexpr CapabilityMask kCapPosition = 0x4000000;

// One bit per logger setting; which were read or written successfully.
using SettingsMask = std::uint32_t;

// Radio parameters, in a SettingsMask and in the flags of the radio
// operations.
constexpr std::uint32_t kRadioChannelFlag = 0x400;
constexpr std::uint32_t kRadioSubchannelFlag = 0x800;
constexpr std::uint32_t kRadioVersionFlag = 0x1000;

// Sizes of the text fields of LoggerSettings, terminating zero included.
constexpr int kTypeNameSize = 32;
constexpr int kDeviceIdSize = 9;
constexpr int kSerialNumberSize = 16;
constexpr int kDeviceVersionTextSize = 21;
constexpr int kBuildInfoSize = 17;
constexpr int kSiteNameSize = 26;
constexpr int kRadioVersionSize = 9;
constexpr int kApnSize = 36;
constexpr int kAuthKeySize = 33;
constexpr int kRemoteHostSize = 64;
constexpr int kLoggerChannels = 5;

// The identity and settings of one device. A plain value record, copied and
// cleared whole.
struct LoggerSettings {
    SettingsMask validMask;
    CapabilityMask capabilityMask;
    std::uint8_t loggerKind;
    char typeName[kTypeNameSize];
    bool newFirmware;
    char deviceId[kDeviceIdSize];
    char deviceName[kDeviceNameSize];
    char serialNumber[kSerialNumberSize];
    char versionText[kDeviceVersionTextSize];
    std::int32_t version;  // major * 100 + minor * 10 + patch
    std::int32_t trait;
    char buildInfo[kBuildInfoSize];
    std::int32_t measurementInterval;
    std::uint8_t ports[kLoggerChannels];
    std::uint8_t depths[kLoggerChannels];
    std::int32_t padcHz;
    char siteName[kSiteNameSize];
    double latitude;
    double longitude;
    std::int32_t timeZone;
    std::uint8_t adc30Slopes[kLoggerChannels];
    std::uint8_t adc30Offsets[kLoggerChannels];
    std::uint8_t adc15Slopes[kLoggerChannels];
    std::uint8_t adc15Offsets[kLoggerChannels];
    std::int32_t dataParameter;
    std::int32_t reportMode;
    std::uint32_t radioMode;
    std::int32_t radioChannel;
    std::int32_t radioSubchannel;
    char radioVersion[kRadioVersionSize];
    char apn[kApnSize];
    char apnUser[kApnSize];
    char apnPassword[kApnSize];
    char authKey[kAuthKeySize];
    char remoteHost[kRemoteHostSize];
    std::int32_t ipPort;
};
