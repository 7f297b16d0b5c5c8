// orvabsl identify: connects to an instrument, prints what it is, and
// disconnects again.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/CliInstrument.h"
#include "cli/CliSupport.h"
#include "device/DeviceParse.h"
#include "device/QUORIN_Protocol.h"
#include "log/OrvaLog.h"

namespace {

std::string Explain(int code)
{
    switch (code) {
        case kDevLoaderActive:
            return "the instrument is in its bootstrap loader, which is already connected";
        case kDevLoaderWaiting:
            return "the instrument is in its bootstrap loader, which waits for a connection";
        case kDevEmptyAnswer:
            return "the instrument gave an empty answer";
        default:
            return CliExplainDeviceResult(code, "the instrument could not be identified");
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
    if (const int bad = CliCheckPort(port)) return CliFail(bad, Explain(bad));

    std::unique_ptr<OrvaLog> log = CliOpenLog(args.Get("--log"));
    QUORIN_Protocol device(log.get());

    int result = CliConnectSerial(device, port);
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
