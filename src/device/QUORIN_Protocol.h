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
