#pragma once

#include <string>

// The per-user settings of the updater: QSettings of organisation
// "Corvane Devices, Inc" and application "OrvaBSL" (on Windows the registry
// key "Software\Corvane Devices, Inc\OrvaBSL"). "FindAllComms" and
// "VerboseLog" are 32-bit integers 0 or 1, "CommPort" is text.
inline constexpr const char* kSettingsOrganisation = "Corvane Devices, Inc";
inline constexpr const char* kSettingsApplication = "OrvaBSL";

struct StoredSettings {
    bool findAllComms = false;  // false when missing
    bool hasCommPort = false;   // a "CommPort" value exists
    std::string commPort;
};

// Reads what start-up needs; missing values give the defaults. "VerboseLog"
// is not read: the updater always starts verbose.
StoredSettings ReadStoredSettings();

// Writes the three values at close. Failures of the store are ignored.
void WriteStoredSettings(bool findAllComms, bool verbose, const std::string& commPort);
