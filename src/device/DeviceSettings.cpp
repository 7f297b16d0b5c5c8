// Reading and writing a selection of a data logger's settings, one setting
// at a time in a fixed order.
#include "device/QUORIN_Protocol.h"
#include "device/SettingsParsing.h"
#include "log/OrvaLog.h"
#include "serial/Timing.h"

namespace {

// What old firmware tells in its "show" answer: name, interval, radio mode.
constexpr SettingsMask kShowSettings = kSettingName | kSettingInterval | kSettingRadioMode;
// Old firmware has no serial number: identifying it also disposes of that.
constexpr SettingsMask kOldFirmwareSettings = kShowSettings | kSettingSerialNumber | kSettingVersion;
constexpr SettingsMask kShowReads = kShowSettings | kSettingVersion;
constexpr unsigned kFailurePauseMs = 100;

enum class Step {
    Version,
    Show,
    Name,
    DeviceId,
    Report,
    Depths,
    Latitude,
    Longitude,
    TimeZone,
    Site,
    SerialNumber,
    Interval,
    Padc,
    Ports,
    Trait,
    RadioMode,
    Radio,
    DataParameter,
    BuildInfo,
    Adc30,
    Adc15,
    Apn,
    ApnUser,
    ApnPassword,
    AuthKey,
    Host,
    IpPort,
};

struct Row {
    SettingsMask bits;
    Step step;
};

// The order in which the settings are handled. The trait comes before the
// radio, because it tells whether a radio is fitted.
const Row kOrder[] = {
    {kSettingVersion, Step::Version},
    {kShowSettings, Step::Show},
    {kSettingName, Step::Name},
    {kSettingDeviceId, Step::DeviceId},
    {kSettingReportMode, Step::Report},
    {kSettingDepths, Step::Depths},
    {kSettingLatitude, Step::Latitude},
    {kSettingLongitude, Step::Longitude},
    {kSettingTimeZone, Step::TimeZone},
    {kSettingSite, Step::Site},
    {kSettingSerialNumber, Step::SerialNumber},
    {kSettingInterval, Step::Interval},
    {kSettingPadc, Step::Padc},
    {kSettingPorts, Step::Ports},
    {kSettingTrait, Step::Trait},
    {kSettingRadioMode, Step::RadioMode},
    {kSettingRadio, Step::Radio},
    {kSettingDataParameter, Step::DataParameter},
    {kSettingBuildInfo, Step::BuildInfo},
    {kSettingAdc30, Step::Adc30},
    {kSettingAdc15, Step::Adc15},
    {kSettingApn, Step::Apn},
    {kSettingApnUser, Step::ApnUser},
    {kSettingApnPassword, Step::ApnPassword},
    {kSettingAuthKey, Step::AuthKey},
    {kSettingHost, Step::Host},
    {kSettingIpPort, Step::IpPort},
};

}  // namespace

int QUORIN_Protocol::DeviceSettings(LoggerSettings* record, SettingsMask* mask, int direction)
{
    if (!record || !mask) return kDevMissingArgument;
    const SettingsMask selection = *mask;
    SettingsMask work = selection;
    SettingsMask done = 0;
    if (direction == 1) {
        // The record's identity governs the commands, in place of what
        // identification found.
        settings_ = *record;
    } else if (direction == 0) {
        if (settings_.version != 0)
            done |= kSettingVersion;
        else
            work |= kSettingVersion;
        if ((selection & kSettingRadio) && !(settings_.validMask & kSettingTrait)) work |= kSettingTrait;
    } else {
        return kDevBadArgument;
    }

    int result = kDevOk;
    int last = 0;  // the result of the last setting handled
    unsigned retries = 0;
    bool progressed = false;
    SettingsMask previous = 0;
    SettingsMask savedWork = work;
    int savedResult = result;

    for (;;) {
        if (last == kDevEcho || last == kDevEmptyName) {
            result = last;
            break;
        }
        if (last < 0) {
            result = kDevPartial;
            PumpDelay(kFailurePauseMs);
        }
        if (last == kDevNoAnswer) {
            // The device fell silent: log in again and repeat the setting.
            if (retries >= tries_) {
                result = kDevNoAnswer;
                break;
            }
            ++retries;
            const int login = DeviceLogin(&connection_);
            if (login > 0) {
                if (log_) log_->LogMessage(30, "******", "DeviceSettings re-connected to device");
                work = savedWork;
                result = savedResult;
            } else if (login == kDevNothingListening) {
                result = kDevNoAnswer;
                break;
            }
        } else {
            if (work == 0 || (progressed && work == previous)) break;
            progressed = true;
            previous = work;
            savedWork = work;
            savedResult = result;
            retries = 0;
        }

        const bool oldFirmwareRead = direction == 0 && !settings_.newFirmware;
        const Row* row = nullptr;
        for (const Row& candidate : kOrder) {
            if (!(work & candidate.bits)) continue;
            if (candidate.step == Step::Show && !oldFirmwareRead) continue;
            row = &candidate;
            break;
        }
        if (!row) {
            last = 0;  // only bits that name no setting are left
            continue;
        }

        SettingsMask bits = row->bits;
        SettingsMask succeeded = row->bits;
        int r = 0;
        LoggerSettings& s = settings_;
        switch (row->step) {
            case Step::Version:
                if (direction == 1) {
                    succeeded = 0;  // nothing to write
                    break;
                }
                if (s.loggerKind != kLoggerUnknown && s.newFirmware && s.versionText[0] != '\0' && s.version != 0)
                    r = kDevOk;
                else
                    r = VerCommand(false);
                if (r == kDevNotSupported) {
                    if (log_) log_->LogMessage(30, PortName(), "DeviceSettings: old Storvix model 007 not supported");
                    return kDevNotSupported;
                }
                if (!s.newFirmware) {
                    bits = kOldFirmwareSettings;
                    succeeded = kShowReads;
                }
                break;
            case Step::Show:
                r = ParseShowCommand(nullptr);
                if (r == kDevNotSupported) {
                    if (log_) log_->LogMessage(30, PortName(), "DeviceSettings: old Storvix model 007 not supported");
                    return kDevNotSupported;
                }
                bits = kShowSettings | kSettingSerialNumber;
                succeeded = kShowReads;
                break;
            case Step::Name:
                r = NameCommand(s.deviceName, direction);
                break;
            case Step::DeviceId:
                r = DeviceIDCommand(s.deviceId, direction);
                break;
            case Step::Report:
                r = ReportCommand(&s.reportMode, direction);
                break;
            case Step::Depths:
                r = DepthCommand(s.depths, direction);
                break;
            case Step::Latitude:
                r = LatitudeCommand(&s.latitude, direction);
                break;
            case Step::Longitude:
                r = LongitudeCommand(&s.longitude, direction);
                break;
            case Step::TimeZone:
                r = TimeZoneCommand(&s.timeZone, direction);
                break;
            case Step::Site:
                r = SiteCommand(s.siteName, direction);
                break;
            case Step::SerialNumber:
                r = SNCommand(s.serialNumber, direction);
                break;
            case Step::Interval:
                r = WakeCommand(&s.measurementInterval, direction);
                break;
            case Step::Padc:
                r = PADCCommand(&s.padcHz, direction);
                break;
            case Step::Ports:
                r = PortsCommand(s.ports, direction);
                break;
            case Step::Trait:
                r = TraitCommand(&s.trait, direction);
                break;
            case Step::RadioMode:
                r = RmodeCommand(&s.radioMode, direction);
                break;
            case Step::Radio:
                if (direction == 0 && HasRadio() == 0) {
                    r = kDevRadioFailed;  // no radio fitted: nothing to ask
                    succeeded = 0;
                } else {
                    std::uint32_t flags = work;
                    r = MSRadioCommand(&s.radioChannel, &s.radioSubchannel, s.radioVersion, direction, &flags);
                    succeeded = flags & kSettingRadio;
                    done |= succeeded;
                }
                break;
            case Step::DataParameter:
                r = DataParameterCommand(&s.dataParameter, direction);
                break;
            case Step::BuildInfo:
                r = OrvaBuildCommand(s.buildInfo, direction);
                break;
            case Step::Adc30:
                r = ADCcalCommand(1, s.adc30Slopes, s.adc30Offsets, direction);
                break;
            case Step::Adc15:
                r = ADCcalCommand(2, s.adc15Slopes, s.adc15Offsets, direction);
                break;
            case Step::Apn:
                r = APNCommand(s.apn, direction);
                break;
            case Step::ApnUser:
                r = APNUserCommand(s.apnUser, direction);
                break;
            case Step::ApnPassword:
                r = APNPasswdCommand(s.apnPassword, direction);
                break;
            case Step::AuthKey:
                r = AuthKeyCommand(s.authKey, direction);
                break;
            case Step::Host:
                r = HostCommand(s.remoteHost, direction);
                break;
            case Step::IpPort:
                r = IPPortCommand(&s.ipPort, direction);
                break;
        }
        work &= ~bits;
        last = r;
        if (r > 0) done |= succeeded;
        // A position or site that could not be read is not known any more.
        if (r < 0 && (row->step == Step::Latitude || row->step == Step::Longitude || row->step == Step::Site))
            s.validMask &= ~row->bits;
    }

    if (done == 0 && result == kDevOk && selection != 0) result = kDevUnsupported;
    *mask = done;
    if (direction == 0) {
        settings_.validMask |= done;
        *record = settings_;
    }
    return result;
}
