#include "device/QUORIN_Protocol.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "device/DeviceParse.h"
#include "device/SettingsParsing.h"
#include "log/OrvaLog.h"
#include "serial/Timing.h"

namespace {

constexpr unsigned kVerTimeoutMs = 400;
constexpr unsigned kVerPauseMs = 400;
constexpr unsigned kLoaderPauseMs = 3000;
constexpr unsigned kShowTimeoutMs = 1500;
constexpr unsigned kShowAnswerSize = 180;
constexpr unsigned kShortAnswerSize = 32;
constexpr unsigned kEmptyReadPauseMs = 50;

int ElapsedSince(std::uint32_t start)
{
    return static_cast<int>(MsTick() - start);
}

}  // namespace

QUORIN_Protocol::QUORIN_Protocol(OrvaLog* log) : OrvaSerial(log), log_(log)
{
    receiveBuffer_.reset(new (std::nothrow) char[kReceiveCapacity + 1]);
    if (receiveBuffer_) receiveBuffer_[0] = '\0';
    channelBuffer_.reset(new (std::nothrow) char[kChannelBufferSize]);
    if (channelBuffer_) {
        channelBuffer_[0] = '\0';
        SetReadBuffer(channelBuffer_.get());
    }
}

QUORIN_Protocol::~QUORIN_Protocol()
{
    if (IsConnected()) {
        options_.keepPortOpen = false;
        DisconnectDevice();
    }
    // The channel must not keep using the lent buffer once it is released.
    OSClose();
    SetReadBuffer(nullptr);
}

void QUORIN_Protocol::LogDevice(unsigned level, const char* format, ...)
{
    if (!log_) return;
    va_list args;
    va_start(args, format);
    log_->LogMessageV(level, PortName(), format, args);
    va_end(args);
}

int QUORIN_Protocol::DeviceCommand(const char* command, char waitChar, unsigned timeoutMs, char* answer,
                                   unsigned* answerLength, int* elapsedMs)
{
    const std::uint32_t start = MsTick();
    int result = 1;
    unsigned emptyReads = 0;
    unsigned received = 0;
    char* const buffer = receiveBuffer_.get();
    const std::size_t commandLength = command ? std::strlen(command) : 0;

    if (!buffer) {
        result = kDevNoMemory;
    } else if (!command || commandLength == 0) {
        result = kDevMissingArgument;
    } else {
        for (unsigned attempt = 0; attempt < tries_; ++attempt) {
            OSPurge();
            buffer[0] = '\0';
            received = 0;

            unsigned written = 0;
            const int w = OSWrite(command, static_cast<int>(commandLength), &written);
            if (w < 0) {
                LogDevice(30, "DeviceCommand got unexpected response (%d) from OCommWrite", w);
                result = w;
                break;
            }
            const int waited = OSWait(timeoutMs + options_.extraWaitMs, waitChar);
            if (waited < 0) {
                LogDevice(30, "DeviceCommand got unexpected response (%d) from OCommWait", waited);
                result = waited;
                break;
            }
            unsigned size = 0;
            const int r = OSRead(buffer, kReceiveCapacity, &size);
            if (r < 0) {
                LogDevice(30, "DeviceCommand got unexpected response (%d) from OCommRead", r);
                result = r;
                break;
            }
            if (r == 0) {
                ++emptyReads;
                PumpDelay(kEmptyReadPauseMs);
                result = kDevNoConfirmation;
                continue;
            }
            received = static_cast<unsigned>(r) > kReceiveCapacity ? kReceiveCapacity : static_cast<unsigned>(r);
            buffer[received] = '\0';

            const int kind = ClassifyAnswer(buffer, command);
            if (kind == kDevEcho) {
                LogDevice(1, "DeviceCommand is hearing echoed commands -- device is broken? Relay active?");
                result = kDevEcho;
                break;
            }
            if (kind == kDevRefused) {
                result = kDevRefused;
                continue;
            }
            result = 1;
            break;
        }
        if (emptyReads == tries_) result = kDevNoAnswer;
    }
    if (elapsedMs) *elapsedMs = ElapsedSince(start);

    if (result < 0) {
        if (answer && answerLength && *answerLength > 0) answer[0] = '\0';
        if (answerLength) *answerLength = 0;
        return result;
    }
    if (answer && answerLength && *answerLength > 0) {
        const unsigned copied = CopyBounded(answer, *answerLength, buffer);
        *answerLength = copied;
        if (copied < received) {
            // The password and key commands carry secrets: the log shows them masked.
            char shown[64];
            LogDevice(30, "DeviceCommand got %d more bytes than expected (%s)", static_cast<int>(received - copied),
                      MaskSecretCommand(command, shown, sizeof shown) ? shown : command);
        }
    }
    if (IsEmptyAnswer(buffer)) {
        LogDevice(30, "DeviceCommand: device returned empty answer");
        return kDevEmptyAnswer;
    }
    return static_cast<int>(received);
}

int QUORIN_Protocol::CommOptions(LinkOptions* options, int direction)
{
    if (!options) return kDevMissingArgument;
    if (direction == 0) {
        *options = options_;
        return kDevOk;
    }
    if (options->serialTries > kMaxTries || options->radioTries > kMaxTries) return kDevBadArgument;
    if (options->serialTries == 0) options->serialTries = kDefaultSerialTries;
    if (options->radioTries == 0) options->radioTries = kDefaultRadioTries;
    if (options->echoMode < 0 || options->echoMode > 3) return kDevBadArgument;
    if (options->extraWaitMs > kMaxExtraWaitMs) return kDevBadArgument;
    options_ = *options;
    tries_ = connection_.linkKind == kLinkRadio ? options_.radioTries : options_.serialTries;
    return kDevOk;
}

int QUORIN_Protocol::ConnectDevice(ConnectRecord* record)
{
    if (!record) return kDevMissingArgument;
    if (!receiveBuffer_ || !channelBuffer_) return kDevNoMemory;

    std::memset(&settings_, 0, sizeof settings_);
    resets_ = 0;

    switch (record->linkKind) {
        case kLinkNone:
            return kDevBadArgument;
        case kLinkSerial:
            tries_ = options_.serialTries;
            break;
        case 20:
        case kLinkRadio:  // a radio link has no login procedure in this system
        case 40:
        case 100:
        case 110:
        case 120:
            return kDevNotSupported;
        default:
            return kDevMissingArgument;
    }
    // The port name must be a terminated text within its field; a longer
    // name would open a different port.
    if (!std::memchr(record->portName, '\0', sizeof record->portName)) return kDevBadArgument;
    if (record->portName[0] == '\0') return kDevMissingArgument;
    if (record->baudIndex == 0) record->baudIndex = kBaudIndex9600;

    if (connection_.linkKind == kLinkNone) {
        const int opened = OSOpen(record->portName, 9600);
        if (opened < 0) return opened;
    }
    connection_ = *record;
    PumpDelay(100);

    const int result = DeviceLogin(record);
    if (result < 0 && !options_.keepPortOpen) {
        OSClose();
        connection_.linkKind = kLinkNone;
    }
    return result;
}

int QUORIN_Protocol::DeviceLogin(ConnectRecord* record)
{
    const int result = VerCommand(true);
    if (result > 0) {
        if (record) record->baudIndex = kBaudIndex9600;
        LogDevice(30, "DeviceLogin communicating with a device running %s at %d baud", settings_.versionText, Baud());
        return kDevOk;
    }
    if (result == kDevNoAnswer) {
        LogDevice(30, "DeviceLogin: nothing is listening over the serial port");
        return kDevNothingListening;
    }
    LogDevice(30, "DeviceLogin failed with error %d", result);
    return result;
}

void QUORIN_Protocol::ClearIdentity()
{
    settings_.newFirmware = false;
    settings_.loggerKind = kLoggerUnknown;
    settings_.versionText[0] = '\0';
    settings_.version = 0;
}

int QUORIN_Protocol::VerCommand(bool noShow)
{
    if (settings_.loggerKind == kLoggerKelo && !settings_.newFirmware) return ParseShowCommand(nullptr);

    const std::uint32_t start = MsTick();
    int result = 1;
    int blanks = 0;
    unsigned attempt = 0;
    while (attempt < tries_ + 3) {
        ++attempt;
        char answer[kShortAnswerSize];
        unsigned length = sizeof answer;
        int elapsed = 0;
        const int r = DeviceCommand("get -ver\r", '>', kVerTimeoutMs, answer, &length, &elapsed);

        if (answer[0] != '\0' && answer[1] == '>') {
            result = kDevEcho;
            continue;
        }
        if (std::strcmp(answer, "\r") == 0 || std::strcmp(answer, ">") == 0) {
            result = kDevBadAnswer;
            ++blanks;
            attempt = 0;
            if (blanks > 2) break;
            PumpDelay(kVerPauseMs);
            continue;
        }
        if (r > 0 || r == kDevRefused) {
            if (std::strchr(answer, '.')) {
                VersionLine line{};
                const int parsed = ParseVersionAnswer(answer, &line);
                if (parsed == kVersionIncomplete) {
                    PumpDelay(kVerPauseMs);
                    continue;
                }
                if (parsed == kVersionParsed) {
                    settings_.version = line.version;
                    settings_.newFirmware = true;
                    settings_.loggerKind = LoggerKindFromCode(line.code);
                    CopyBounded(settings_.typeName, sizeof settings_.typeName, LoggerTypeName(settings_.loggerKind));
                    CopyBounded(settings_.versionText, sizeof settings_.versionText, line.text);
                    UpdateCapabilities();
                    LogDevice(30, "VerCommand found \"%s\" ver %d (%d ms)", settings_.versionText, settings_.version,
                              ElapsedSince(start));
                    return kDevOk;
                }
                result = kDevBadAnswer;
                PumpDelay(kVerPauseMs);
                continue;
            }
            if (std::strchr(answer, '+')) {
                if (IsLoaderAcknowledge(answer)) {
                    result = kDevLoaderActive;
                    break;
                }
                continue;
            }
            if (std::strchr(answer, '$')) {
                if (result == kDevLoaderWaiting) break;
                result = kDevLoaderWaiting;
                PumpDelay(kLoaderPauseMs);
                continue;
            }
            if (r == kDevRefused) {
                // One refusal alone proves nothing; a second one means firmware
                // that predates "get -ver".
                if (result == 1) {
                    result = kDevBadAnswer;
                    PumpDelay(kVerPauseMs);
                    continue;
                }
                settings_.newFirmware = false;
                settings_.loggerKind = kLoggerKelo;
                CopyBounded(settings_.typeName, sizeof settings_.typeName, LoggerTypeName(kLoggerKelo));
                LogDevice(30, "VerCommand found Kelo with old firmware (%d ms)", ElapsedSince(start));
                if (!noShow) ParseShowCommand(nullptr);
                UpdateCapabilities();
                return kDevOk;
            }
            result = kDevBadAnswer;
            LogDevice(30, "VerCommand couldn't decipher \"%s\" (%d ms)", answer, ElapsedSince(start));
            continue;
        }
        if (r == kDevNoAnswer) {
            result = kDevNoAnswer;
            break;
        }
        result = r;
    }
    // Every identification returns from inside the loop: leaving it with the
    // initial result means that no answer could be understood.
    if (result > 0) result = kDevBadAnswer;
    LogDevice(1, "VerCommand failed with error %d (%d ms)", result, ElapsedSince(start));
    ClearIdentity();
    return result;
}

int QUORIN_Protocol::ParseShowCommand(char* idOut)
{
    if (idOut) idOut[0] = '\0';
    if (settings_.loggerKind != kLoggerKelo || settings_.newFirmware) {
        LogDevice(1, "ParseShowCommand doesn't work with devices running \"new\" firmware.");
        return kDevBadArgument;
    }
    char answer[kShowAnswerSize];
    unsigned length = sizeof answer;
    int elapsed = 0;
    const int r = DeviceCommand("show\r", '>', kShowTimeoutMs, answer, &length, &elapsed);
    int errors = 0;
    if (r > 0) {
        if (idOut) return ParseShowId(answer, idOut, kDeviceNameSize);
        errors = ParseShowAnswer(answer, &settings_, &resets_);
        if (errors == kDevNotSupported) return kDevNotSupported;
    }
    settings_.serialNumber[0] = '\0';
    if (r < 0 || errors != 0) {
        LogDevice(1, "ParseShowCommand failed with errors %d and %d (%d ms)", r, errors, elapsed);
        settings_.deviceName[0] = '\0';
        settings_.versionText[0] = '\0';
        settings_.version = -1;
        settings_.measurementInterval = -1;
        settings_.radioMode = 0;
        return kDevBadAnswer;
    }
    LogDevice(1, "ParseShowCommand found %s:%s:%d:%d:%d (%d ms)", settings_.deviceName, settings_.versionText,
              static_cast<int>(settings_.radioMode), settings_.measurementInterval, resets_, elapsed);
    return kDevOk;
}

void QUORIN_Protocol::UpdateCapabilities()
{
    settings_.capabilityMask = CapabilitiesFor(settings_.loggerKind, settings_.newFirmware, settings_.version);
}

int QUORIN_Protocol::DisconnectDevice()
{
    if (!IsConnected()) return 0;
    std::memset(&settings_, 0, sizeof settings_);
    resets_ = 0;
    if (!options_.keepPortOpen) OSClose();
    connection_.linkKind = kLinkNone;
    LogDevice(30, "DisconnectDevice successful");
    return 1;
}
