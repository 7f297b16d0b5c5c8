// The list of serial ports the operator picks from.
//
// Ports come from the system's device list (TtyDeviceSource: sysfs and the
// udev database) and from ORVABSL_EXTRA_PORTS, a colon-separated list of
// paths (a simulated instrument's pseudo-terminal, for example). Listed
// are ttyUSB and ttyACM (USB adapters), ttyAMA (on-chip UARTs) and ttyS
// where a UART answered.
//
// Order. Each entry's number is its sort key: the kind of port times 1000
// plus the number at the end of its name (at most 999):
//   1000 + n  ttySn     the on-board ports first, as the first COM ports are
//   2000 + n  ttyAMAn
//   3000 + n  ttyUSBn   then the USB adapters
//   4000 + n  ttyACMn
//   5000 + i  the i-th path of ORVABSL_EXTRA_PORTS (from 0), in their order
// so ttyUSB2 comes before ttyUSB10, and every ttyS before every ttyUSB.
//
// Label: the port name, a blank and the device's friendly name, or the port
// name and " Communications Port" when the device has none. The friendly
// name is the vendor and the model: the model from the device database
// (ID_MODEL_FROM_DATABASE), else the one the device reports (ID_MODEL_ENC,
// ID_MODEL); the vendor as the device reports it (ID_VENDOR_ENC,
// ID_VENDOR), else from the database; the vendor is left out when the model
// already starts with it. A port that cannot be opened exclusively now gets
// " (busy)": when the label is too long for both, it is cut to make room,
// so that a busy port always says so.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "log/OrvaLog.h"
#include "serial/OrvaSerial.h"
#include "serial/TtyDeviceSource.h"

namespace {

constexpr const char* kTag = "OrvaSerial";
constexpr const char* kExtraPortsVariable = "ORVABSL_EXTRA_PORTS";
constexpr const char* kBusy = " (busy)";
constexpr const char* kAdapterName = "Halvorn USB Adapter";
constexpr const char* kAdapterProductMark = "PID_7B2E\\";
constexpr const char* kAdapterSerialMark = "CORVANE_UCA";
constexpr const char* kRadioLabel = "Corvane USB Radmo";
constexpr unsigned kProbeCount = 16;  // ttyS0 to ttyS15
constexpr int kExtraRank = 5;

struct PortKind {
    const char* prefix;
    int rank;
};
// Longer prefixes first: "ttyS" must not take "ttySAC0" and the like.
const PortKind kPortKinds[] = {{"ttyUSB", 3}, {"ttyACM", 4}, {"ttyAMA", 2}, {"ttyS", 1}};

int SortNumber(int rank, long n)
{
    return rank * 1000 + static_cast<int>(std::min(n, 999L));
}

// The sort number of a device name; -1 when it is not a port we list.
int NumberOfName(const std::string& name)
{
    for (const PortKind& kind : kPortKinds) {
        const std::size_t length = std::strlen(kind.prefix);
        if (name.compare(0, length, kind.prefix) != 0 || name.size() == length) continue;
        const std::string digits = name.substr(length);
        if (!std::all_of(digits.begin(), digits.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            return -1;
        return SortNumber(kind.rank, std::strtol(digits.c_str(), nullptr, 10));
    }
    return -1;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// udev's encoded strings: "\x20" for a blank and so on.
std::string DecodeUdev(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Trim(const std::string& text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

std::string Underscores(std::string text)
{
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::string FriendlyName(const TtyDevice& device)
{
    std::string model = device.Property("ID_MODEL_FROM_DATABASE");
    if (model.empty()) model = DecodeUdev(device.Property("ID_MODEL_ENC"));
    if (model.empty()) model = Underscores(device.Property("ID_MODEL"));
    std::string vendor = DecodeUdev(device.Property("ID_VENDOR_ENC"));
    if (vendor.empty()) vendor = Underscores(device.Property("ID_VENDOR"));
    if (vendor.empty()) vendor = device.Property("ID_VENDOR_FROM_DATABASE");
    model = Trim(model);
    vendor = Trim(vendor);
    if (model.empty()) return vendor;
    if (vendor.empty() || Upper(model).rfind(Upper(vendor), 0) == 0) return model;
    return vendor + " " + model;
}

void SetText(char* field, std::size_t size, const std::string& text)
{
    std::snprintf(field, size, "%s", text.c_str());
}

// The maker's USB adapter: product id 7B2E, and "CORVANE_UCA" in the
// serial text behind it. Its label names the adapter, with the serial's
// part from "[" on (the adapter's channel) when there is one. Returns false
// for any other device.
bool AdapterLabel(const TtyDevice& device, const std::string& portName, std::string* label)
{
    std::string serial = device.Property("ID_SERIAL_SHORT");
    if (serial.empty()) serial = device.Property("ID_SERIAL");
    const std::string instance = "USB\\VID_" + Upper(device.Property("ID_VENDOR_ID")) + "&PID_" +
                                 Upper(device.Property("ID_MODEL_ID")) + "\\" + serial;
    const std::size_t mark = Upper(instance).find(kAdapterProductMark);
    if (mark == std::string::npos) return false;
    const std::string rest = instance.substr(mark + std::strlen(kAdapterProductMark));
    if (Upper(rest).find(kAdapterSerialMark) == std::string::npos) return false;
    const std::size_t bracket = rest.find('[');
    *label = portName + " " + kAdapterName;
    if (bracket != std::string::npos) *label += " " + rest.substr(bracket);
    // On Windows the adapter's name is also written into the system's device
    // list. Linux keeps no system-wide friendly name for a device (udev's
    // names come from the device itself), so there is nothing to rewrite.
    return true;
}

std::string Label(const TtyDevice& device)
{
    std::string label;
    if (AdapterLabel(device, device.name, &label)) return label;
    const std::string friendly = FriendlyName(device);
    return friendly.empty() ? device.name + " Communications Port" : device.name + " " + friendly;
}

void MarkBusy(CommPortEntry& entry)
{
    const std::size_t room = kCommPortLabelSize - 1 - std::strlen(kBusy);
    if (std::strlen(entry.label) > room) entry.label[room] = '\0';
    std::strcat(entry.label, kBusy);
}

// Whether the port can be opened exclusively now.
bool CanOpen(const std::string& portName, int* error)
{
    std::unique_ptr<SerialPort> port = CurrentSerialPortProvider().Create(portName);
    const int result = port ? port->Open(SerialDevicePath(portName)) : -ENOENT;
    if (error) *error = -result;
    if (result < 0) return false;
    port->Close();
    return true;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

int OrvaSerial::CommPortEnum(CommPortEntry* entries, unsigned* count, bool forceProbe)
{
    if (!entries || !count) return -10;
    const unsigned capacity = *count;
    if (capacity == 0) return -11;
    std::unique_ptr<CommPortEntry[]> work(new (std::nothrow) CommPortEntry[capacity]);
    if (!work) return -60;
    std::memset(entries, 0, sizeof(CommPortEntry) * capacity);
    std::memset(work.get(), 0, sizeof(CommPortEntry) * capacity);

    // The candidates: the system's ports, then the extra paths. They are put
    // in order before the list is cut at the capacity, so that a full list
    // holds the first ports rather than whichever came up first.
    struct Candidate {
        int number;
        std::string name;
        std::string label;
    };
    std::vector<Candidate> candidates;
    for (const TtyDevice& device : CurrentTtyDeviceSource().ListTtyDevices()) {
        const int number = NumberOfName(device.name);
        if (number < 0 || !device.uartPresent || device.name.size() >= kCommPortNameSize) continue;
        candidates.push_back({number, device.name, Label(device)});
    }
    if (const char* extra = std::getenv(kExtraPortsVariable)) {
        std::string list = extra;
        int index = 0;
        for (std::size_t start = 0; start <= list.size();) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            const std::string path = list.substr(start, end - start);
            start = end + 1;
            if (path.empty()) continue;
            if (path.size() >= kCommPortNameSize) {
                if (log_)
                    log_->LogMessage(1, kTag, "CommPortEnum: %s names \"%s\", longer than %u characters; skipped",
                                     kExtraPortsVariable, path.c_str(), kCommPortNameSize - 1);
                continue;
            }
            const bool known =
                std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& c) { return c.name == path; });
            if (known || !Exists(SerialDevicePath(path))) continue;
            candidates.push_back({SortNumber(kExtraRank, index++), path, path + " Communications Port"});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.number < b.number; });
    unsigned found = 0;
    for (const Candidate& candidate : candidates) {
        if (found == capacity) break;
        CommPortEntry& entry = work[found++];
        SetText(entry.portName, sizeof entry.portName, candidate.name);
        SetText(entry.label, sizeof entry.label, candidate.label);
        entry.number = candidate.number;
    }
    std::memcpy(entries, work.get(), sizeof(CommPortEntry) * found);
    int result = static_cast<int>(found);

    // Busy test: a port that cannot be opened exclusively now.
    for (unsigned i = 0; i < found; ++i)
        if (!CanOpen(entries[i].portName, nullptr)) MarkBusy(entries[i]);

    // Probe, when forced: ttyS0 to ttyS15 that are not listed yet, appended
    // after the sorted ports. A port is there when it opens, or when it
    // exists but cannot be had now: held by somebody (EBUSY, EWOULDBLOCK),
    // not ours to open (EACCES), or not working (EIO); those are busy.
    unsigned total = found;
    for (unsigned n = 0; forceProbe && n < kProbeCount && total < capacity; ++n) {
        const std::string name = "ttyS" + std::to_string(n);
        const bool listed =
            std::any_of(entries, entries + total, [&](const CommPortEntry& e) { return name == e.portName; });
        if (listed) continue;
        int error = 0;
        const bool free = CanOpen(name, &error);
        const bool busy =
            !free && (error == EBUSY || error == EWOULDBLOCK || error == EAGAIN || error == EACCES || error == EIO);
        if (!free && !busy) continue;
        CommPortEntry& entry = entries[total++];
        SetText(entry.portName, sizeof entry.portName, name);
        SetText(entry.label, sizeof entry.label,
                name + (busy ? " Communications Port (busy)" : " Communications Port"));
        entry.number = SortNumber(1, n);
        result = 1;
    }

    // An outside maker's radio modem adapter gets the label it is known by.
    for (unsigned i = 0; i < total; ++i) {
        const std::string label = entries[i].label;
        if (label.find("Corvane UCA") != std::string::npos || label.find(kAdapterName) != std::string::npos) continue;
        if (label.find("MaxStream PKG-U") == std::string::npos && label.find("Digi PKG-U") == std::string::npos)
            continue;
        SetText(entries[i].label, sizeof entries[i].label, std::string(entries[i].portName) + " " + kRadioLabel);
    }

    *count = total;
    if (log_) log_->LogMessage(30, kTag, "CommPortEnum found %u comm ports", total);
    return result;
}
