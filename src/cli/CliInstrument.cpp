#include "cli/CliInstrument.h"

#include <cstring>

#include "cli/CliSupport.h"
#include "device/QUORIN_Protocol.h"
#include "loader/OrvaBSLHost.h"
#include "log/OrvaLog.h"

namespace {

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LoadFailure(int code, const std::string& path, CliFileName refusedFileName)
{
    const std::string name = refusedFileName == CliFileName::BaseName ? BaseName(path) : path;
    if (code == -100) return "the file \"" + name + "\" is not a valid firmware file";
    if (code == -60) return "ran out of memory opening \"" + name + "\"";
    return "could not open \"" + path + "\": " + std::strerror(-code);
}

}  // namespace

int CliCheckPort(const std::string& port)
{
    if (port.empty()) return kDevMissingArgument;
    if (port.size() > kConnectPortNameSize - 1) return kDevBadArgument;
    return 0;
}

int CliConnectSerial(QUORIN_Protocol& device, const std::string& port)
{
    LinkOptions options{};
    options.serialTries = 3;
    options.radioTries = 0;
    const int result = device.CommOptions(&options, 1);
    if (result < 0) return result;

    ConnectRecord record{};
    std::memcpy(record.portName, port.c_str(), port.size() + 1);
    record.linkKind = kLinkSerial;
    record.baudIndex = kBaudIndex9600;
    return device.ConnectDevice(&record);
}

std::string CliExplainDeviceResult(int code, const std::string& otherwise)
{
    switch (code) {
        case kDevNothingListening:
        case kDevNoAnswer:
            return "nothing answered on the port";
        case kDevNotSupported:
            return "the instrument's firmware is not supported";
        case kDevBadAnswer:
            return "the instrument's answer could not be understood";
        case kDevEcho:
            return "the line echoes what is sent: a broken device or an active relay";
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
            return otherwise;
    }
}

int CliPrepareImage(OrvaBSLHost& host, OrvaLog* log, const CliArgs& args, CliFileName refusedFileName)
{
    if (host.Status() < 0) {
        log->LogMessage(1, "orvabsl", "HostBSL class got an constructor error (%d)", host.Status());
        return CliFail(host.Status(), host.Status() == -60 ? "out of memory setting up the firmware image"
                                                           : "the built-in firmware image is damaged");
    }
    if (args.Has("--file")) {
        const std::string path = args.Get("--file");
        const int result = host.BSLLoadTIFile(path.c_str());
        if (result < 0) return CliFail(result, LoadFailure(result, path, refusedFileName));
    }
    return -1;
}
