#pragma once

#include <map>
#include <string>
#include <vector>

// A serial device the system knows, with what the kernel (sysfs) and the
// udev device database say about it.
struct TtyDevice {
    std::string name;       // kernel name: "ttyUSB0"
    std::string subsystem;  // of the device behind the tty: "usb-serial", "usb", "pnp", "serial-base" ...
    std::string driver;     // of the device behind the tty: "ftdi_sio", "cdc_acm", "port" ...
    // For a UART port (ttyS): whether a UART answered there when the kernel
    // probed it (sysfs "type" other than 0, unknown). True for other ports.
    bool uartPresent = true;
    // The udev database's properties: ID_VENDOR, ID_VENDOR_ENC,
    // ID_VENDOR_FROM_DATABASE, ID_MODEL..., ID_VENDOR_ID, ID_MODEL_ID,
    // ID_SERIAL, ID_SERIAL_SHORT ...
    std::map<std::string, std::string> properties;

    std::string Property(const std::string& key) const
    {
        const auto it = properties.find(key);
        return it == properties.end() ? std::string() : it->second;
    }
};

// Where the port list comes from. Replaceable, so that tests can offer any
// set of devices.
class TtyDeviceSource {
public:
    virtual ~TtyDeviceSource() = default;
    // The tty devices that have a device behind them (not virtual consoles
    // or pseudo-terminals).
    virtual std::vector<TtyDevice> ListTtyDevices() = 0;
};

// The real source: /sys/class/tty and the udev database in
// /run/udev/data/c<major>:<minor>. root is prefixed to both (tests point it
// at a made-up tree).
class SysfsTtyDeviceSource : public TtyDeviceSource {
public:
    explicit SysfsTtyDeviceSource(std::string root = "") : root_(std::move(root)) {}
    std::vector<TtyDevice> ListTtyDevices() override;

private:
    std::string root_;
};

// The source in force; by default the real one. Set returns the previous
// source; null restores the default.
TtyDeviceSource* SetTtyDeviceSource(TtyDeviceSource* source);
TtyDeviceSource& CurrentTtyDeviceSource();

class ScopedTtyDeviceSource {
public:
    explicit ScopedTtyDeviceSource(TtyDeviceSource* source) : previous_(SetTtyDeviceSource(source)) {}
    ~ScopedTtyDeviceSource() { SetTtyDeviceSource(previous_); }
    ScopedTtyDeviceSource(const ScopedTtyDeviceSource&) = delete;
    ScopedTtyDeviceSource& operator=(const ScopedTtyDeviceSource&) = delete;

private:
    TtyDeviceSource* previous_;
};
