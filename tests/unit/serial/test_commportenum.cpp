// The port list: labels, order, busy ports, the probe, the extra ports, and
// the real device source against a made-up sysfs tree.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "serial/OrvaSerial.h"
#include "serial/TtyDeviceSource.h"
#include "unit/serial/PtyPair.h"
#include "unit/serial/ScriptedSerialPort.h"

namespace fs = std::filesystem;

namespace {

class FakeSource : public TtyDeviceSource {
public:
    std::vector<TtyDevice> ListTtyDevices() override { return devices; }
    TtyDevice& Add(const std::string& name, std::map<std::string, std::string> properties = {})
    {
        TtyDevice device;
        device.name = name;
        device.properties = std::move(properties);
        devices.push_back(device);
        return devices.back();
    }
    std::vector<TtyDevice> devices;
};

// Ports open unless they are busy or missing.
class FakePorts : public SerialPortProvider {
public:
    class Port : public SerialPort {
    public:
        explicit Port(int openResult) : openResult_(openResult) {}
        int Open(const std::string&) override { return openResult_; }
        int Configure(int, ConfigureStep*) override { return 0; }
        int SetBaud(int) override { return 0; }
        int Read(void*, unsigned) override { return 0; }
        int Write(const void*, unsigned count) override { return static_cast<int>(count); }
        int PurgeInput() override { return 0; }
        int SetDtr(bool) override { return 0; }
        int Close() override { return 0; }
        int Handle() const override { return 3; }

    private:
        int openResult_;
    };
    std::unique_ptr<SerialPort> Create(const std::string& name) override
    {
        opened.push_back(name);
        const auto it = results.find(name);
        return std::make_unique<Port>(it != results.end() ? it->second : missingByDefault ? -ENOENT : 0);
    }
    std::map<std::string, int> results;
    bool missingByDefault = false;
    std::vector<std::string> opened;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (hadOld_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

class PortListTest : public ::testing::Test {
protected:
    std::vector<CommPortEntry> List(bool force = false, unsigned capacity = 16, int* result = nullptr)
    {
        std::vector<CommPortEntry> entries(capacity);
        unsigned count = capacity;
        const int r = lister_.CommPortEnum(entries.data(), &count, force);
        if (result) *result = r;
        // Entries past the count are left empty.
        for (unsigned i = count; i < capacity; ++i) {
            EXPECT_EQ(entries[i].portName[0], '\0');
            EXPECT_EQ(entries[i].label[0], '\0');
            EXPECT_EQ(entries[i].number, 0);
        }
        entries.resize(count);
        return entries;
    }
    static std::vector<std::string> Names(const std::vector<CommPortEntry>& entries)
    {
        std::vector<std::string> names;
        for (const CommPortEntry& e : entries)
            names.push_back(e.portName);
        return names;
    }

    FakeSource source_;
    ScopedTtyDeviceSource useSource_{&source_};
    FakePorts ports_;
    ScopedSerialPortProvider usePorts_{&ports_};
    ScopedEnv noExtras_{"ORVABSL_EXTRA_PORTS", ""};
    OrvaSerial lister_{nullptr};
};

}  // namespace

TEST_F(PortListTest, LabelsNameTheDevice)
{
    struct Case {
        std::map<std::string, std::string> properties;
        const char* label;
    };
    const Case cases[] = {
        {{}, "ttyUSB0 Communications Port"},
        {{{"ID_VENDOR", "FTDI"}, {"ID_MODEL", "FT232R_USB_UART"}}, "ttyUSB0 FTDI FT232R USB UART"},
        {{{"ID_VENDOR_ENC", "Prolific\\x20Technology"},
          {"ID_MODEL_ENC", "USB-Serial\\x20Controller"},
          {"ID_VENDOR", "Prolific_Technology"}},
         "ttyUSB0 Prolific Technology USB-Serial Controller"},
        {{{"ID_VENDOR", "FTDI"},
          {"ID_MODEL", "FT232R_USB_UART"},
          {"ID_MODEL_FROM_DATABASE", "FT232 Serial (UART) IC"},
          {"ID_VENDOR_FROM_DATABASE", "Future Technology Devices International, Ltd"}},
         "ttyUSB0 FTDI FT232 Serial (UART) IC"},
        {{{"ID_VENDOR_FROM_DATABASE", "QinHeng Electronics"}, {"ID_MODEL_FROM_DATABASE", "CH340 serial converter"}},
         "ttyUSB0 QinHeng Electronics CH340 serial converter"},
        {{{"ID_VENDOR", "Silicon_Labs"}, {"ID_MODEL", "Silicon_Labs_CP2102"}}, "ttyUSB0 Silicon Labs CP2102"},
        // The maker's adapter, by product id and serial, with and without
        // the bracketed part.
        {{{"ID_VENDOR", "Corvane"},
          {"ID_MODEL", "Corvane_UCA"},
          {"ID_VENDOR_ID", "0403"},
          {"ID_MODEL_ID", "7b2e"},
          {"ID_SERIAL_SHORT", "CORVANE_UCA01"}},
         "ttyUSB0 Halvorn USB Adapter"},
        {{{"ID_VENDOR_ID", "0403"}, {"ID_MODEL_ID", "7B2E"}, {"ID_SERIAL", "Corvane_UCA_CORVANE_UCA02[Ch B]"}},
         "ttyUSB0 Halvorn USB Adapter [Ch B]"},
        // Another product id, or another serial: not the adapter.
        {{{"ID_VENDOR", "Corvane"},
          {"ID_MODEL", "Corvane_UCA"},
          {"ID_MODEL_ID", "6001"},
          {"ID_SERIAL_SHORT", "CORVANE_UCA01"}},
         "ttyUSB0 Corvane UCA"},
        {{{"ID_VENDOR", "Corvane"}, {"ID_MODEL", "Corvane_UCA"}, {"ID_MODEL_ID", "7b2e"}, {"ID_SERIAL_SHORT", "A5001"}},
         "ttyUSB0 Corvane UCA"},
        // The radio modem adapter of another maker.
        {{{"ID_VENDOR", "Digi"}, {"ID_MODEL", "PKG-U"}}, "ttyUSB0 Corvane USB Radmo"},
        {{{"ID_VENDOR", "MaxStream"}, {"ID_MODEL", "PKG-U"}}, "ttyUSB0 Corvane USB Radmo"},
    };
    for (const Case& c : cases) {
        source_.devices.clear();
        source_.Add("ttyUSB0", c.properties);
        const auto entries = List();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_STREQ(entries[0].label, c.label);
    }
}

TEST_F(PortListTest, PortsAreOrderedByKindAndNumber)
{
    for (const char* name : {"ttyUSB10", "ttyACM0", "ttyUSB3", "ttyS1", "ttyAMA0", "ttyUSB7", "ttyS0"})
        source_.Add(name);
    int result = 0;
    const auto entries = List(false, 16, &result);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{"ttyS0", "ttyS1", "ttyAMA0", "ttyUSB3", "ttyUSB7", "ttyUSB10", "ttyACM0"}));
    EXPECT_EQ(entries[0].number, 1000);
    EXPECT_EQ(entries[5].number, 3010);
    EXPECT_EQ(entries[6].number, 4000);
}

TEST_F(PortListTest, OnlySerialPortsWithHardwareAreListed)
{
    source_.Add("ttyS0").uartPresent = false;  // no UART answered there
    source_.Add("ttyS2");
    source_.Add("ttyUSB");  // no number
    source_.Add("ttyUSBx1");
    source_.Add("ttyprintk");
    source_.Add("ttyGS0");
    EXPECT_EQ(Names(List()), std::vector<std::string>{"ttyS2"});
}

TEST_F(PortListTest, PortsThatCannotBeOpenedAreBusy)
{
    source_.Add("ttyUSB0");
    source_.Add("ttyUSB1");
    source_.Add("ttyUSB2", {{"ID_VENDOR", "Long_Vendor_Name_Incorporated"},
                            {"ID_MODEL", "Very_Long_Model_Name_That_Fills_The_Whole_Label_Easily"}});
    ports_.results["ttyUSB1"] = -EBUSY;
    ports_.results["ttyUSB2"] = -EWOULDBLOCK;
    const auto entries = List();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_STREQ(entries[0].label, "ttyUSB0 Communications Port");
    EXPECT_STREQ(entries[1].label, "ttyUSB1 Communications Port (busy)");
    const std::string longLabel = entries[2].label;
    EXPECT_EQ(longLabel.size(), kCommPortLabelSize - 1);
    EXPECT_EQ(longLabel.substr(longLabel.size() - 7), " (busy)");
    EXPECT_EQ(longLabel.rfind("ttyUSB2 Long Vendor Name Incorporated Very Long", 0), 0u);
}

TEST_F(PortListTest, TheForcedProbeAppendsSerialPortsTheListMissed)
{
    source_.Add("ttyUSB0");
    source_.Add("ttyS1");
    ports_.missingByDefault = true;
    ports_.results["ttyUSB0"] = 0;
    ports_.results["ttyS1"] = 0;
    ports_.results["ttyS0"] = 0;
    ports_.results["ttyS3"] = -EBUSY;
    ports_.results["ttyS4"] = -EACCES;
    ports_.results["ttyS5"] = -ENXIO;  // node without a device: not there
    int result = 0;
    auto entries = List(false, 16, &result);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"ttyS1", "ttyUSB0"}));
    EXPECT_EQ(result, 2);

    entries = List(true, 16, &result);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(Names(entries), (std::vector<std::string>{"ttyS1", "ttyUSB0", "ttyS0", "ttyS3", "ttyS4"}));
    EXPECT_STREQ(entries[2].label, "ttyS0 Communications Port");
    EXPECT_STREQ(entries[3].label, "ttyS3 Communications Port (busy)");
    EXPECT_STREQ(entries[4].label, "ttyS4 Communications Port (busy)");
    EXPECT_EQ(entries[3].number, 1003);
    // ttyS0 to ttyS15 were tried, the listed ttyS1 not again.
    const std::set<std::string> tried(ports_.opened.begin(), ports_.opened.end());
    EXPECT_TRUE(tried.count("ttyS15"));
    EXPECT_FALSE(tried.count("ttyS16"));
}

TEST_F(PortListTest, AFullListHoldsTheFirstPorts)
{
    for (int n = 19; n >= 0; --n)
        source_.Add("ttyUSB" + std::to_string(n));
    int result = 0;
    const auto entries = List(true, 16, &result);
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(result, 16);
    EXPECT_STREQ(entries[0].portName, "ttyUSB0");
    EXPECT_STREQ(entries[15].portName, "ttyUSB15");
}

TEST_F(PortListTest, ArgumentsAreChecked)
{
    CommPortEntry entries[2];
    std::memset(entries, 'x', sizeof entries);
    unsigned count = 0;
    EXPECT_EQ(lister_.CommPortEnum(entries, &count, false), -11);
    EXPECT_EQ(entries[0].portName[0], 'x');  // untouched
    count = 2;
    EXPECT_EQ(lister_.CommPortEnum(nullptr, &count, false), -10);
    EXPECT_EQ(lister_.CommPortEnum(entries, nullptr, false), -10);
    EXPECT_EQ(lister_.CommPortEnum(entries, &count, false), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(PortListTest, ExtraPortsComeLastInTheirOrder)
{
    const fs::path dir = fs::temp_directory_path() / ("orvaport" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string a = (dir / "a").string(), b = (dir / "b").string();
    std::ofstream(a).put('x');
    std::ofstream(b).put('x');
    const std::string tooLong = "/tmp/" + std::string(30, 'l');
    source_.Add("ttyUSB0");
    ports_.results[a] = -EBUSY;
    {
        ScopedEnv extras("ORVABSL_EXTRA_PORTS",
                         b + "::" + (dir / "missing").string() + ":" + a + ":" + tooLong + ":ttyUSB0");
        TempLog log;
        OrvaSerial lister(log.get());
        CommPortEntry entries[16];
        unsigned count = 16;
        EXPECT_EQ(lister.CommPortEnum(entries, &count, false), 3);
        ASSERT_EQ(count, 3u);
        EXPECT_STREQ(entries[0].portName, "ttyUSB0");
        EXPECT_EQ(entries[1].portName, b);
        EXPECT_EQ(entries[1].label, b + " Communications Port");
        EXPECT_EQ(entries[2].label, a + " Communications Port (busy)");
        EXPECT_TRUE(log.Has("longer than 23 characters; skipped"));
    }
    fs::remove_all(dir);
}

TEST(PortListOnTheSystem, AnExtraPseudoTerminalIsListedAndBusyWhileHeld)
{
    FakeSource none;
    ScopedTtyDeviceSource useSource(&none);
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ScopedEnv extras("ORVABSL_EXTRA_PORTS", pty.SlavePath());
    OrvaSerial lister(nullptr);
    CommPortEntry entries[16];
    unsigned count = 16;
    ASSERT_EQ(lister.CommPortEnum(entries, &count, false), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(entries[0].portName, pty.SlavePath());
    EXPECT_EQ(entries[0].label, pty.SlavePath() + " Communications Port");

    OrvaSerial holder(nullptr);
    ASSERT_EQ(holder.OSOpen(pty.SlavePath().c_str(), 9600), 1);
    count = 16;
    lister.CommPortEnum(entries, &count, false);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(entries[0].label, pty.SlavePath() + " Communications Port (busy)");
}

TEST(SysfsTtyDeviceSource, ReadsSysfsAndTheUdevDatabase)
{
    const fs::path root = fs::temp_directory_path() / ("orvasysfs" + std::to_string(::getpid()));
    fs::remove_all(root);
    auto write = [&](const fs::path& path, const std::string& text) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    };
    auto device = [&](const std::string& name, const std::string& numbers, const std::string& driver,
                      const std::string& subsystem) {
        const fs::path dev = root / "sys/devices" / name;
        fs::create_directories(dev);
        fs::create_directories(root / "sys/bus" / subsystem / "drivers" / driver);
        fs::create_directory_symlink(root / "sys/bus" / subsystem / "drivers" / driver, dev / "driver");
        fs::create_directory_symlink(root / "sys/bus" / subsystem, dev / "subsystem");
        fs::create_directories(root / "sys/class/tty" / name);
        fs::create_directory_symlink(dev, root / "sys/class/tty" / name / "device");
        write("sys/class/tty/" + name + "/dev", numbers + "\n");
    };
    device("ttyUSB0", "188:0", "ftdi_sio", "usb-serial");
    device("ttyS0", "4:64", "port", "serial-base");
    device("ttyS1", "4:65", "port", "serial-base");
    write("sys/class/tty/ttyS0/type", "4\n");
    write("sys/class/tty/ttyS1/type", "0\n");
    fs::create_directories(root / "sys/class/tty/tty5");  // a console: no device
    write("sys/class/tty/tty5/dev", "4:5\n");
    write("run/udev/data/c188:0",
          "I:123\nE:ID_VENDOR=FTDI\nE:ID_MODEL_ID=6001\nE:ID_SERIAL=FTDI_FT232R_USB_UART_A5001=x\nG:systemd\n");

    SysfsTtyDeviceSource source(root.string());
    const std::vector<TtyDevice> devices = source.ListTtyDevices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, "ttyS0");
    EXPECT_TRUE(devices[0].uartPresent);
    EXPECT_EQ(devices[0].subsystem, "serial-base");
    EXPECT_EQ(devices[1].name, "ttyS1");
    EXPECT_FALSE(devices[1].uartPresent);
    EXPECT_EQ(devices[2].name, "ttyUSB0");
    EXPECT_EQ(devices[2].driver, "ftdi_sio");
    EXPECT_EQ(devices[2].subsystem, "usb-serial");
    EXPECT_EQ(devices[2].Property("ID_VENDOR"), "FTDI");
    EXPECT_EQ(devices[2].Property("ID_SERIAL"), "FTDI_FT232R_USB_UART_A5001=x");
    EXPECT_EQ(devices[2].properties.size(), 3u);
    fs::remove_all(root);
}
