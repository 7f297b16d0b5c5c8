#pragma once

#include <cstdint>
#include <string>

#include "app/Progress.h"

// The version number of the firmware this updater carries (1.73).
inline constexpr std::uint32_t kBuiltInFirmwareVersion = 173;

// Path of this build's version document on the version service.
inline constexpr const char* kBuildVersionFinderPath = "/versionfinder/Tallix-C-Firmware.txt";

// Everything the main window knows between start-up and the end of the
// process, free of any toolkit: the update run, the port selection and the
// menu functions read and change it.
struct UpdaterState {
    std::string instrumentName;     // used in every caption and message
    bool firmwareFileMode = false;  // "-factory" or "-rep": firmware files may be opened
    bool factoryMode = false;       // "-factory": factory functions
    bool findAllComms = false;      // probe port numbers the system did not list
    bool verbose = true;            // log threshold 30 rather than 1
    bool replaceSerialNumber = false;
    bool dontEraseData = false;
    bool updateRunning = false;  // a run is active
    bool keepGoing = true;       // answer of the progress callback
    std::string wantedPort;      // port remembered in the settings store; empty for none
    std::string portName;        // the port every update opens; empty when none
    std::string appDataFolder;
    std::string errorFilePath;
    std::string settingsFilePath;  // set at the start of each run
    std::string versionFinderPath;
    ProgressCounters progress;
    std::uint32_t updaterFirmwareVersion = kBuiltInFirmwareVersion;
};
