#include "serial/TtyDeviceSource.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string ReadFirstLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The last part of what a sysfs link points at ("../../bus/usb-serial" →
// "usb-serial"); empty when there is no link.
std::string LinkName(const fs::path& link)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

// The "E:KEY=VALUE" lines of a udev database entry.
std::map<std::string, std::string> ReadUdevProperties(const fs::path& path)
{
    std::map<std::string, std::string> properties;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 3 || line.compare(0, 2, "E:") != 0) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        properties[line.substr(2, equals - 2)] = line.substr(equals + 1);
    }
    return properties;
}

// ORVABSL_SYSFS_ROOT puts the system's device list somewhere else: the
// end-to-end tests point it at an empty folder, so that they list only the
// ports they make and never touch the machine's own.
TtyDeviceSource* DefaultSource()
{
    static SysfsTtyDeviceSource source(std::getenv("ORVABSL_SYSFS_ROOT") ? std::getenv("ORVABSL_SYSFS_ROOT") : "");
    return &source;
}

TtyDeviceSource* gSource = nullptr;

}  // namespace

std::vector<TtyDevice> SysfsTtyDeviceSource::ListTtyDevices()
{
    std::vector<TtyDevice> devices;
    const fs::path classDir = fs::path(root_ + "/sys/class/tty");
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(classDir, error)) {
        const fs::path dir = entry.path();
        std::error_code linkError;
        if (!fs::exists(dir / "device", linkError)) continue;  // virtual console, pseudo-terminal
        TtyDevice device;
        device.name = dir.filename().string();
        device.subsystem = LinkName(dir / "device" / "subsystem");
        device.driver = LinkName(dir / "device" / "driver");
        if (device.name.rfind("ttyS", 0) == 0) {
            // 0 is PORT_UNKNOWN: the kernel found no UART there. Without the
            // attribute there is no telling, and a port nobody can vouch for
            // is not listed (the forced probe still finds it).
            const std::string type = ReadFirstLine(dir / "type");
            device.uartPresent = !type.empty() && type != "0";
        }
        const std::string numbers = ReadFirstLine(dir / "dev");  // "188:0"
        if (!numbers.empty()) device.properties = ReadUdevProperties(fs::path(root_ + "/run/udev/data/c" + numbers));
        devices.push_back(std::move(device));
    }
    std::sort(devices.begin(), devices.end(), [](const TtyDevice& a, const TtyDevice& b) { return a.name < b.name; });
    return devices;
}

TtyDeviceSource* SetTtyDeviceSource(TtyDeviceSource* source)
{
    TtyDeviceSource* previous = gSource ? gSource : DefaultSource();
    gSource = source;
    return previous;
}

TtyDeviceSource& CurrentTtyDeviceSource()
{
    return gSource ? *gSource : *DefaultSource();
}
