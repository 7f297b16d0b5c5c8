#pragma once

#include <set>
#include <string>

class SimInstrument;

// How a simulated data logger is fitted and how its settings misbehave,
// kept in the instrument (Model<>). The settings themselves are in
// SimLoggerModel::settings, by option word ("devid", "depth", "adc30" ...),
// filled with defaults on first use (SimLoggerSettings).
struct SimLoggerSettingsModel {
    // A Kelox may carry a cellular modem; it answers the network settings
    // (apn, user, passwd, authkey, host, ipport) only then.
    bool cellularModem = true;
    // Firmware that keeps only the first ADC calibration pair: it answers
    // and takes "s0 o0 checksum".
    bool shortAdcForm = false;
    // Added to the ADC calibration checksum the logger sends (a damaged
    // calibration table).
    int adcChecksumError = 0;
    // Settings (option words) whose commands go unanswered until the host
    // sends some other command: the logger falls silent once.
    std::set<std::string> silentOnce;

    std::string line;  // the command line so far, for silentOnce
};

// The logger's settings model, with the defaults of every setting it has
// filled into SimLoggerModel::settings.
SimLoggerSettingsModel& SimLoggerSettings(SimInstrument& sim);
