// orvabsl logger-settings: connects to a data logger, reads a selection of
// its settings and prints them with the keys of the settings file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/CliInstrument.h"
#include "cli/CliSupport.h"
#include "device/DeviceParse.h"
#include "device/QUORIN_Protocol.h"
#include "device/SettingsParsing.h"
#include "log/OrvaLog.h"

namespace {

std::string Explain(int code)
{
    switch (code) {
        case kDevLoaderActive:
        case kDevLoaderWaiting:
            return "the instrument is in its bootstrap loader";
        default:
            return CliExplainDeviceResult(code, "the instrument could not be connected");
    }
}

// Reads "7FFEFFF" or "0x7FFEFFF".
bool ParseMask(const std::string& text, SettingsMask* mask)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8) return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
    if (*end != '\0' || digits[0] == '-' || digits[0] == '+') return false;
    *mask = static_cast<SettingsMask>(value);
    return true;
}

std::string Five(const std::uint8_t* v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u %u %u %u %u", v[0], v[1], v[2], v[3], v[4]);
    return text;
}

std::string Real(double value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%+.5f", value);
    return text;
}

void Line(const char* key, const std::string& value)
{
    std::printf("%s=%s\n", key, value.c_str());
}

// One line per setting read, in the order of the settings file; the
// secrets are never shown.
void PrintSettings(const LoggerSettings& s, SettingsMask read)
{
    auto has = [read](SettingsMask bit) { return (read & bit) != 0; };
    if (has(kSettingVersion)) {
        char versionText[kDeviceVersionTextSize];
        CopyBounded(versionText, sizeof versionText, s.versionText);
        TrimSpace(versionText);
        Line("version", versionText);
    }
    if (has(kSettingDeviceId)) Line("deviceid", s.deviceId);
    if (has(kSettingName)) Line("name", s.deviceName);
    if (has(kSettingSerialNumber)) Line("sn", s.serialNumber);
    if (has(kSettingTrait)) Line("trait", std::to_string(s.trait));
    if (has(kSettingInterval)) Line("wake", std::to_string(s.measurementInterval));
    if (has(kSettingPadc)) Line("padc", std::to_string(s.padcHz));
    if (has(kSettingPorts)) Line("ports", Five(s.ports));
    if (has(kSettingDepths)) Line("depth", Five(s.depths));
    if (has(kSettingAdc15)) {
        Line("ADC15 slopes", Five(s.adc15Slopes));
        Line("ADC15 offsets", Five(s.adc15Offsets));
    }
    if (has(kSettingAdc30)) {
        Line("ADC30 slopes", Five(s.adc30Slopes));
        Line("ADC30 offsets", Five(s.adc30Offsets));
    }
    if (has(kSettingRadioMode)) Line("rmode", std::to_string(s.radioMode));
    if (has(kSettingRadioChannel)) Line("rch", std::to_string(s.radioChannel));
    if (has(kSettingRadioSubchannel)) Line("rsch", std::to_string(s.radioSubchannel));
    if (has(kSettingRadioVersion)) Line("rver", s.radioVersion);
    if (has(kSettingDataParameter)) Line("data", std::to_string(s.dataParameter));
    if (has(kSettingSite)) Line("site", s.siteName);
    if (has(kSettingLatitude)) Line("lat", Real(s.latitude));
    if (has(kSettingLongitude)) Line("lon", Real(s.longitude));
    if (has(kSettingTimeZone)) Line("timezone", std::to_string(s.timeZone));
    if (has(kSettingReportMode)) Line("report", std::to_string(static_cast<unsigned>(s.reportMode)));
    if (has(kSettingApn)) Line("apn", s.apn);
    if (has(kSettingApnUser)) Line("user", s.apnUser);
    if (has(kSettingApnPassword)) Line("passwd", kSecretShown);
    if (has(kSettingHost)) Line("host", s.remoteHost);
    if (has(kSettingAuthKey)) Line("authkey", kSecretShown);
    if (has(kSettingIpPort)) Line("ipport", std::to_string(static_cast<unsigned>(s.ipPort)));
    if (has(kSettingBuildInfo)) Line("OrvaBuild", s.buildInfo);
}

int RunLoggerSettings(int argc, char** argv);

const CliCommand kLoggerSettings = {
    "logger-settings",
    "logger-settings --port PORT [--mask HEX] [--log LOG]",
    "Connect to a data logger and show the settings it holds",
    "  --port PORT   the serial port the logger is on (at most 12 characters)\n"
    "  --mask HEX    the settings to read, a settings mask (default 0x7FFEFFF: all but\n"
    "                the radio version, 0x1000, and the build info, 0x8000000)\n"
    "  --log LOG     the diagnostic log file (default: the updater's error file)\n"
    "Prints \"result: \" and the result of the reading, \"mask: \" and the settings\n"
    "read, then one key=value line per setting read. The APN password and the\n"
    "authentication key are shown as ********.\n",
    RunLoggerSettings,
};

const CliCommandRegistrar kRegistrar(kLoggerSettings);

int RunLoggerSettings(int argc, char** argv)
{
    CliArgs args(argc, argv, {"--port", "--mask", "--log"});
    const int handled = CliHandleArgs(kLoggerSettings, args);
    if (handled >= 0) return handled;
    const std::string port = args.Get("--port");
    if (const int bad = CliCheckPort(port)) return CliFail(bad, Explain(bad));
    SettingsMask selection = kSettingsCommonSelection;
    if (args.Has("--mask") && !ParseMask(args.Get("--mask"), &selection))
        return CliFail(kDevBadArgument, "--mask takes a hexadecimal number of at most eight digits");

    std::unique_ptr<OrvaLog> log = CliOpenLog(args.Get("--log"));
    QUORIN_Protocol device(log.get());

    int result = CliConnectSerial(device, port);
    if (result < 0) return CliFail(result, Explain(result));

    LoggerSettings settings{};
    SettingsMask mask = selection;
    result = device.DeviceSettings(&settings, &mask, 0);
    std::printf("result: %d\n", result);
    // The record is copied out only when the reading got that far.
    if (result == kDevNotSupported) mask = 0;
    std::printf("mask: 0x%08X\n", static_cast<unsigned>(mask));
    PrintSettings(settings, mask);
    std::fflush(stdout);
    device.DisconnectDevice();
    return result > 0 ? 0 : 1;
}

}  // namespace
