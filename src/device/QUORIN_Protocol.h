#pragma once

#include <cstdint>
#include <ctime>
#include <memory>

#include "device/DeviceRecords.h"
#include "serial/OrvaSerial.h"

class OrvaLog;

// The host side of the instruments' text command language: one command
// line out, one answer back up to the prompt. Connects to and identifies a
// device, and offers its clock, erase and radio-module operations. Every log
// line carries the port name as its tag.
//
// Use: construct, CommOptions (store), then per connection ConnectDevice,
// operations and DeviceCommand calls, DisconnectDevice.
class QUORIN_Protocol : public OrvaSerial {
public:
    // Receive buffer: 2048 bytes of text and room for the terminating zero.
    static constexpr unsigned kReceiveCapacity = 2048;
    static constexpr unsigned kChannelBufferSize = OrvaSerial::kReadBufferSize;

    explicit QUORIN_Protocol(OrvaLog* log);
    ~QUORIN_Protocol() override;
    QUORIN_Protocol(const QUORIN_Protocol&) = delete;
    QUORIN_Protocol& operator=(const QUORIN_Protocol&) = delete;

    // One transaction: writes command as given, waits for waitChar for
    // timeoutMs plus the extra wait, reads the answer, and tries again after
    // silence or a refusal, up to the current number of tries. On entry
    // *answerLength is the capacity of answer (its zero included); on success
    // it is set to the length copied. *elapsedMs is set on every return.
    // Returns the bytes received in the last try, or a negative code.
    int DeviceCommand(const char* command, char waitChar, unsigned timeoutMs, char* answer, unsigned* answerLength,
                      int* elapsedMs);

    // Direction 0 copies the current options out; any other validates and
    // stores them (a tries value of 0 takes its default, also in *options).
    int CommOptions(LinkOptions* options, int direction);

    // Opens the port if needed, logs in and identifies the device.
    int ConnectDevice(ConnectRecord* record);
    // Identifies the device on the open port.
    int DeviceLogin(ConnectRecord* record);
    // The "get -ver" identification; noShow skips the "show" parse of old
    // firmware.
    int VerCommand(bool noShow);
    // Old firmware only: the "show" answer. idOut (9 bytes or more), when
    // given, receives the device's ID and nothing else is read.
    int ParseShowCommand(char* idOut);
    // Sets the capability mask from the kind, firmware and version.
    void UpdateCapabilities();
    // Closes the link; 0 when not connected.
    int DisconnectDevice();

    // Sets the device clock to the host's local time; *secondsOut receives
    // the seconds since 2000 sent (or -1 without clock capability).
    int DeviceTime(int* secondsOut);
    // Erases the logger's data after checking that the device on the line
    // is the one whose name is held in the settings.
    int EraseData();
    // Reads (mode other than 1) or writes (mode 1) the radio module's
    // channel settings through its AT commands. The caller puts the logger
    // into pass-through first. *flags: parameters asked for on entry, those
    // that succeeded on return.
    int RadmoConfig(int* rch, int* rsch, char* rver, int mode, std::uint32_t* flags);

    // The device name: direction 0 reads it into name (9 bytes or more),
    // direction 1 writes it after ValidateDeviceName.
    int NameCommand(char* name, int direction);
    static int ValidateDeviceName(const char* name);

    // --- Logger settings (DeviceSettings.cpp, SettingsCommands.cpp) ---
    // Reads (direction 0) a selection of settings into *record, or writes
    // (direction 1) them from it, one at a time in a fixed order; logs in
    // again when the device falls silent. *mask: the selection on entry, the
    // settings read or written on return.
    int DeviceSettings(LoggerSettings* record, SettingsMask* mask, int direction);
    // One operation per setting: direction 0 reads the device's value into
    // *value, direction 1 writes *value. Text values hold the field's size.
    int DeviceIDCommand(char* id, int direction);
    int ReportCommand(std::int32_t* mode, int direction);
    int DepthCommand(std::uint8_t* depths, int direction);  // five bytes
    int LatitudeCommand(double* latitude, int direction);
    int LongitudeCommand(double* longitude, int direction);
    int TimeZoneCommand(std::int32_t* quarterHours, int direction);
    int SiteCommand(char* site, int direction);
    int SNCommand(char* serialNumber, int direction);
    int WakeCommand(std::int32_t* interval, int direction);
    int PADCCommand(std::int32_t* hertz, int direction);
    int PortsCommand(std::uint8_t* ports, int direction);  // five bytes
    int TraitCommand(std::int32_t* trait, int direction);
    int RmodeCommand(std::uint32_t* mode, int direction);
    int DataParameterCommand(std::int32_t* value, int direction);
    int OrvaBuildCommand(char* build, int direction);
    // table 1 is "-adc30", 2 "-adc15"; five slopes and five offsets.
    int ADCcalCommand(int table, std::uint8_t* slopes, std::uint8_t* offsets, int direction);
    int APNCommand(char* apn, int direction);
    int APNUserCommand(char* user, int direction);
    int APNPasswdCommand(char* password, int direction);
    int AuthKeyCommand(char* key, int direction);
    int HostCommand(char* host, int direction);
    int IPPortCommand(std::int32_t* port, int direction);
    // The radio channel, subchannel and version (rver: 9 bytes or more).
    // *flags: the parameters asked for on entry (0x400, 0x800, 0x1000), those
    // that succeeded on return.
    int MSRadioCommand(int* rch, int* rsch, char* rver, int direction, std::uint32_t* flags);
    // From the trait: -1 when it is not known, else 1 when fitted, else 0.
    int HasRadio() const;
    int HasCellularModem() const;

    const LoggerSettings& Settings() const { return settings_; }
    LoggerSettings& MutableSettings() { return settings_; }
    bool IsConnected() const { return connection_.linkKind != kLinkNone; }
    const ConnectRecord& Connection() const { return connection_; }
    unsigned CurrentTries() const { return tries_; }
    std::int32_t ResetsCount() const { return resets_; }
    // The raw text of the last answer; empty before the first transaction.
    const char* ReceivedText() const { return receiveBuffer_ ? receiveBuffer_.get() : ""; }

    // The host's calendar clock used for the device clock (tests replace it);
    // null restores std::time.
    using CalendarSource = std::time_t (*)(std::time_t*);
    void SetCalendarSource(CalendarSource source) { calendar_ = source ? source : &std::time; }

private:
    void LogDevice(unsigned level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void ClearIdentity();

    // Helpers of the settings commands (SettingsCommands.cpp).
    struct NumberSetting;
    struct TextSetting;
    int SettingTransaction(const char* command, unsigned timeoutMs, char* answer, unsigned answerSize,
                           int* elapsedMs);
    int NumberSettingCommand(const NumberSetting& setting, std::int32_t* value, int direction);
    int TextSettingCommand(const TextSetting& setting, char* value, int direction);
    int PositionCommand(bool latitude, double* value, int direction);
    int FiveBytesCommand(bool depths, std::uint8_t* values, int direction);
    int RadioParameter(std::uint32_t flag, int* value, char* rver, int direction, int* result,
                       std::uint32_t* done, std::uint32_t* failed);

    LinkOptions options_;
    LoggerSettings settings_{};
    ConnectRecord connection_{};
    unsigned tries_ = kDefaultSerialTries;
    std::int32_t resets_ = 0;
    std::unique_ptr<char[]> receiveBuffer_;
    std::unique_ptr<char[]> channelBuffer_;
    OrvaLog* log_;
    CalendarSource calendar_ = &std::time;
};
