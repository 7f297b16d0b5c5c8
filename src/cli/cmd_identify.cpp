// orvabsl identify: connects to an instrument, prints what it is, and
// disconnects again.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/CliSupport.h"
#include "device/DeviceParse.h"
#include "device/QUORIN_Protocol.h"
#include "log/OrvaLog.h"

namespace {

std::string Explain(int code)
{
    switch (code) {
        case kDevNothingListening:
        case kDevNoAnswer:
            return "nothing answered on the port";
        case kDevLoaderActive:
            return "the instrument is in its bootstrap loader, which is already connected";
        case kDevLoaderWaiting:
            return "the instrument is in its bootstrap loader, which waits for a connection";
        case kDevNotSupported:
            return "the instrument's firmware is not supported";
        case kDevBadAnswer:
            return "the instrument's answer could not be understood";
        case kDevEcho:
            return "the line echoes what is sent: a broken device or an active relay";
        case kDevEmptyAnswer:
            return "the instrument gave an empty answer";
        case kDevNoMemory:
            return "out of memory";
        case kDevMissingArgument:
            return "no port was given";
        case kDevBadArgument:
            return "the port name is longer than 12 characters";
        default:
            if (code < 0 && code > -200) {
                const std::string system = std::strerror(-code);
                return "the port could not be used (" + system + ")";
            }
            return "the instrument could not be identified";
    }
}

int RunIdentify(int argc, char** argv);

const CliCommand kIdentify = {
    "identify",
    "identify --port PORT [--log LOG]",
    "Connect to an instrument and show its kind, version and capabilities",
    "  --port PORT   the serial port the instrument is on (at most 12 characters)\n"
    "  --log LOG     the diagnostic log file (default: the updater's error file)\n",
    RunIdentify,
};

const CliCommandRegistrar kRegistrar(kIdentify);

int RunIdentify(int argc, char** argv)
{
    CliArgs args(argc, argv, {"--port", "--log"});
    const int handled = CliHandleArgs(kIdentify, args);
    if (handled >= 0) return handled;
    const std::string port = args.Get("--port");
    if (port.empty()) return CliFail(kDevMissingArgument, Explain(kDevMissingArgument));
    if (port.size() > kConnectPortNameSize - 1) return CliFail(kDevBadArgument, Explain(kDevBadArgument));

    std::unique_ptr<OrvaLog> log = CliOpenLog(args.Get("--log"));
    QUORIN_Protocol device(log.get());

    LinkOptions options{};
    options.serialTries = 3;
    options.radioTries = 0;
    int result = device.CommOptions(&options, 1);
    if (result < 0) return CliFail(result, Explain(result));

    ConnectRecord record{};
    std::memcpy(record.portName, port.c_str(), port.size() + 1);
    record.linkKind = kLinkSerial;
    record.baudIndex = kBaudIndex9600;
    result = device.ConnectDevice(&record);
    if (result < 0) return CliFail(result, Explain(result));

    // Old firmware tells its version only in its "show" answer.
    if (!device.Settings().newFirmware) {
        result = device.VerCommand(false);
        if (result < 0) {
            device.DisconnectDevice();
            return CliFail(result, Explain(result));
        }
        device.UpdateCapabilities();
    }

    const LoggerSettings& s = device.Settings();
    char versionText[kDeviceVersionTextSize];
    CopyBounded(versionText, sizeof versionText, s.versionText);
    TrimSpace(versionText);
    std::printf("version text: %s\n", versionText);
    std::printf("logger kind: %d %s\n", s.loggerKind, s.typeName);
    std::printf("version: %d\n", s.version);
    std::printf("firmware: %s\n", s.newFirmware ? "new" : "old");
    std::printf("capabilities: 0x%08X\n", static_cast<unsigned>(s.capabilityMask));
    device.DisconnectDevice();
    return 0;
}

}  // namespace
