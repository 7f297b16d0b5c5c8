// The device name: read and written with "get -i" / "set -i".
#include <cstdio>
#include <cstring>

#include "device/DeviceParse.h"
#include "device/QUORIN_Protocol.h"

namespace {

constexpr unsigned kNameTimeoutMs = 1500;
constexpr unsigned kNameAnswerSize = 32;

// Words of the command language that a device must not be named.
const char* const kReservedWords[] = {"ERROR", "Unsupported", "volt",  "show",   "yes",   "hertz", "time",
                                      "dump",  "erase",       "login", "logout", "query", "help",  "temp",
                                      "scan",  "term",        "ping",  "post",   "get",   "set",   "teltst",
                                      "ack",   "nack",        "OK",    "boot"};

}  // namespace

int QUORIN_Protocol::ValidateDeviceName(const char* name)
{
    if (!name || !*name) return kDevNameEmpty;
    if (std::strlen(name) > kDeviceNameSize - 1) return kDevNameTooLong;
    for (const char* word : kReservedWords)
        if (std::strcmp(name, word) == 0) return kDevNameReserved;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        const unsigned c = *p;
        if (c <= 32 || c == 127 || c == 255) return kDevNameBadCharacter;
        if (std::strchr("?\\\"/<>*|:;,", static_cast<int>(c))) return kDevNameBadSymbol;
        if (c > 127) return kDevNameNotAscii;
    }
    return kDevOk;
}

int QUORIN_Protocol::NameCommand(char* name, int direction)
{
    if (!name) return kDevMissingArgument;
    if (direction != 0 && direction != 1) return kDevBadArgument;
    char answer[kNameAnswerSize];
    unsigned length = sizeof answer;
    int elapsed = 0;
    int result;

    if (direction == 1) {
        const int valid = ValidateDeviceName(name);
        if (valid < 0) {
            LogDevice(1, "NameCommand: \"%s\" is an illegal device name (error %d)", name, valid);
            return valid;
        }
        char command[kNameAnswerSize];
        std::snprintf(command, sizeof command, "set -i %s\r", name);
        result = DeviceCommand(command, '>', kNameTimeoutMs, answer, &length, &elapsed);
        if (result > 0) {
            if (std::strstr(answer, settings_.newFirmware ? "OK" : "\r>")) {
                LogDevice(30, "NameCommand set device name to \"%s\" (%d ms)", name, elapsed);
                return kDevOk;
            }
            result = kDevBadAnswer;
        }
    } else {
        result = DeviceCommand("get -i\r", '>', kNameTimeoutMs, answer, &length, &elapsed);
        if (result == kDevEmptyAnswer) return kDevEmptyName;
        if (result > 0) {
            const char* lineBreak = std::strchr(answer, '\r');
            char word[kDeviceNameSize];
            if (ReadWord(lineBreak ? lineBreak + 1 : answer, word, kDeviceNameSize - 1) > 0) {
                CopyBounded(name, kDeviceNameSize, word);
                LogDevice(30, "NameCommand found device named \"%s\" (%d ms)", name, elapsed);
                return kDevOk;
            }
            LogDevice(30, "NameCommand couldn't find device name (%d ms)", elapsed);
            result = kDevBadAnswer;
        }
    }
    LogDevice(1, "NameCommand failed with error %d (%d ms)", result, elapsed);
    return result;
}
