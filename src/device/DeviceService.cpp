// The clock, data-erase and radio-module operations of QUORIN_Protocol.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "device/DeviceParse.h"
#include "device/QUORIN_Protocol.h"
#include "serial/Timing.h"

namespace {

constexpr unsigned kClockTimeoutMs = 1500;
constexpr unsigned kClockAnswerSize = 48;
constexpr unsigned kEraseTimeoutMs = 17000;
constexpr unsigned kShortAnswerSize = 32;
constexpr unsigned kRadioTimeoutMs = 1500;
constexpr unsigned kRadioStoreTimeoutMs = 2000;
constexpr int kCommandModeTries = 2;

bool Contains(const char* text, const char* part)
{
    return std::strstr(text, part) != nullptr;
}

}  // namespace

int QUORIN_Protocol::DeviceTime(int* secondsOut)
{
    const CapabilityMask caps = settings_.capabilityMask;
    if (!(caps & kCapClock)) {
        if (secondsOut) *secondsOut = -1;
        return kDevUnsupported;
    }
    errno = 0;
    const std::time_t now = calendar_(nullptr);
    if (now == static_cast<std::time_t>(-1)) {
        LogDevice(1, "DeviceTime failed to get system time with error %d", errno);
        return kDevBadAnswer;
    }
    const int seconds = static_cast<int>(OrvaSecondsAt(now, UtcOffsetSeconds()));
    if (secondsOut) *secondsOut = seconds;
    std::tm local{};
    localtime_r(&now, &local);
    const int year = local.tm_year + 1900;
    const int month = local.tm_mon + 1;
    const int day = local.tm_mday;

    int result = kDevOk;
    char command[64];
    char answer[kClockAnswerSize];
    unsigned length = 0;
    int elapsed = 0;
    const bool inSeconds = (caps & kCapClockSeconds) != 0;

    if (!inSeconds) {
        std::snprintf(command, sizeof command, "set -t %d:%d:%d\r", local.tm_hour, local.tm_min, local.tm_sec);
        length = sizeof answer;
        const int r = DeviceCommand(command, '>', kClockTimeoutMs, answer, &length, &elapsed);
        if (r < 0) {
            result = r;
        } else if (Contains(answer, settings_.newFirmware ? "OK" : "\r>")) {
            LogDevice(30, "DeviceTime set device time to %d:%02d:%02d (%d ms)", local.tm_hour, local.tm_min,
                      local.tm_sec, elapsed);
        } else {
            result = kDevBadAnswer;
        }
        // The date command follows whatever became of the time of day.
    }

    if (inSeconds)
        std::snprintf(command, sizeof command, "set -sec %lu\r", static_cast<unsigned long>(seconds));
    else
        std::snprintf(command, sizeof command, "set -d %d-%d-%d\r", year, month, day);
    length = sizeof answer;
    const int r = DeviceCommand(command, '>', kClockTimeoutMs, answer, &length, &elapsed);
    if (r < 0) {
        result = r;
    } else if (Contains(answer, "OK") || (!settings_.newFirmware && Contains(answer, ">"))) {
        if (inSeconds)
            LogDevice(30, "DeviceTime set device orvaseconds to %d (%d ms)", seconds, elapsed);
        else
            LogDevice(30, "DeviceTime set device date to %d-%d-%d (%d ms)", year, month, day, elapsed);
        result = kDevOk;
    } else {
        result = kDevBadAnswer;
    }
    if (result < 0) LogDevice(1, "DeviceTime failed with error %d (%d ms)", result, elapsed);
    return result;
}

int QUORIN_Protocol::EraseData()
{
    char name[kDeviceNameSize] = {};
    char waitChar = '>';
    int r;
    if (settings_.newFirmware) {
        r = NameCommand(name, 0);
    } else {
        r = ParseShowCommand(name);
        waitChar = '!';
    }
    if (r < 0) {
        LogDevice(1, "EraseData failed checking the identity of device (error %d)", r);
        return kDevWrongDevice;
    }
    if (std::strncmp(settings_.deviceName, name, kDeviceNameSize - 1) != 0) {
        LogDevice(1, "EraseData: Identity mismatch. Class: %s, Device: %s", settings_.deviceName, name);
        return kDevWrongDevice;
    }

    char answer[kShortAnswerSize];
    unsigned length = sizeof answer;
    int elapsed = 0;
    r = DeviceCommand("yes\r", waitChar, kEraseTimeoutMs, answer, &length, &elapsed);
    int result;
    if (r > 0) {
        if (Contains(answer, "OK")) {
            LogDevice(30, "InitializeDevice erased device data (%d ms)", elapsed);
            result = kDevOk;
        } else if (Contains(answer, "DataFlash FAIL")) {
            result = kDevBrokenFlash;
        } else {
            result = kDevBadAnswer;
        }
    } else if (r == kDevRefused || r == kDevNoConfirmation || r == kDevNoAnswer) {
        // A device that cannot confirm the erase has a data flash that did not
        // finish it.
        result = kDevBrokenFlash;
    } else {
        result = r;
    }
    if (result == kDevBrokenFlash)
        LogDevice(1, "EraseData failed due to a broken DataFlash (%d ms)", elapsed);
    else if (result < 0)
        LogDevice(1, "EraseData failed with error %d (%d ms)", result, elapsed);
    return result;
}

int QUORIN_Protocol::RadmoConfig(int* rch, int* rsch, char* rver, int mode, std::uint32_t* flags)
{
    if (!flags) return kDevMissingArgument;
    const std::uint32_t start = MsTick();
    auto total = [start] { return static_cast<int>(MsTick() - start); };
    char answer[kShortAnswerSize];
    unsigned length = 0;
    int elapsed = 0;

    // Into the module's command mode.
    int r = kDevRadioFailed;
    for (int i = 0; i < kCommandModeTries; ++i) {
        length = sizeof answer;
        r = DeviceCommand("+++", 'K', kRadioTimeoutMs, answer, &length, &elapsed);
        if (r > 0 && Contains(answer, "OK")) break;
        if (r > 0) r = kDevRadioFailed;
    }
    if (r <= 0) {
        LogDevice(1, "RadmoConfig failed to get into AT command mode: %d (%d ms)", r, total());
        *flags = 0;
        return kDevRadioFailed;
    }

    const std::uint32_t asked = *flags;
    int result = kDevOk;
    int errors = 0;
    std::uint32_t done = 0;
    char command[32];

    if (mode == 1) {
        struct Write {
            int* value;
            std::uint32_t flag;
            const char* format;
            int weight;
            const char* message;
        };
        const Write writes[] = {
            {rch, kRadioChannelFlag, "ATHP%X\r", 1, "RadmoConfig set rch to %d (%d ms)"},
            {rsch, kRadioSubchannelFlag, "ATDT%X\r", 2, "RadmoConfig set rsch to %d (%d ms)"},
        };
        for (const Write& w : writes) {
            if (!(asked & w.flag) || !w.value) continue;
            std::snprintf(command, sizeof command, w.format, static_cast<unsigned>(*w.value));
            length = sizeof answer;
            r = DeviceCommand(command, 'K', kRadioTimeoutMs, answer, &length, &elapsed);
            if (r < 0) {
                errors += w.weight;
                result = r;
            } else if (Contains(answer, "OK")) {
                LogDevice(30, w.message, *w.value, elapsed);
                done |= w.flag;
            } else {
                errors += w.weight;
            }
        }
        length = sizeof answer;
        r = DeviceCommand("ATWR\r", 'K', kRadioStoreTimeoutMs, answer, &length, &elapsed);
        if (r < 0) {
            errors += 8;
            result = r;
        } else if (Contains(answer, "OK")) {
            LogDevice(30, "RadmoConfig saved configuration (%d ms)", elapsed);
            result = kDevOk;
        } else {
            errors += 8;
        }
        // A confirmed store does not make a parameter the module did not take
        // a success.
        if (result > 0 && errors > 0 && done == 0) result = kDevRadioFailed;
    } else {
        struct Read {
            int* value;
            std::uint32_t flag;
            const char* command;
            int weight;
            const char* missing;
            const char* found;
        };
        const Read reads[] = {
            {rch, kRadioChannelFlag, "ATHP\r", 1, "RadmoConfig could not find rch (%d ms)",
             "RadmoConfig found rch %d (%d ms)"},
            {rsch, kRadioSubchannelFlag, "ATDT\r", 2, "RadmoConfig could not find rsch (%d ms)",
             "RadmoConfig found rsch %d (%d ms)"},
        };
        for (const Read& rd : reads) {
            if (!(asked & rd.flag) || !rd.value) continue;
            length = sizeof answer;
            r = DeviceCommand(rd.command, '\r', kRadioTimeoutMs, answer, &length, &elapsed);
            unsigned value = 0;
            if (r < 0) {
                errors += rd.weight;
            } else if (std::sscanf(answer, "%x", &value) != 1) {
                LogDevice(30, rd.missing, elapsed);
                errors += rd.weight;
            } else {
                *rd.value = static_cast<int>(value);
                done |= rd.flag;
                LogDevice(30, rd.found, *rd.value, elapsed);
            }
        }
        if ((asked & kRadioVersionFlag) && rver) {
            length = sizeof answer;
            r = DeviceCommand("ATVR\r", '\r', kRadioTimeoutMs, answer, &length, &elapsed);
            if (r < 0) {
                errors += 4;
            } else if (ReadWord(answer, rver, kRadioVersionSize - 1) == 0) {
                LogDevice(30, "RadmoConfig could not find rver (%d ms)", elapsed);
                errors += 4;
            } else {
                LogDevice(30, "RadmoConfig found rver %s (%d ms)", rver, elapsed);
                done |= kRadioVersionFlag;
            }
        }
    }

    // Out of command mode again.
    length = sizeof answer;
    r = DeviceCommand("ATCN\r", 'K', kRadioTimeoutMs, answer, &length, &elapsed);
    if (r > 0 && !Contains(answer, "OK")) r = kDevUnsupported;
    if (r < 0) {
        LogDevice(1, "RadmoConfig failed to get out of AT command mode: %d (%d ms)", r, total());
        return r;
    }

    if (result < 0 || errors > 0) {
        if (done != 0) result = kDevPartial;
        LogDevice(1, "RadmoConfig failed with error %d and %d (%d ms)", result, errors, total());
    }
    *flags = done;
    PumpDelay(100);
    return result;
}
