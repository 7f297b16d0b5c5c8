#pragma once

#include <string>
#include <vector>

#include "app/UpdaterState.h"

// The modes the command line asks for. Only "-factory" and "-rep" count,
// compared exactly and with case; every other argument is ignored.
struct CommandLineModes {
    bool factoryMode = false;       // "-factory"
    bool firmwareFileMode = false;  // "-factory" or "-rep"
};

// Reads the arguments that follow the program's own name.
CommandLineModes ReadCommandLine(const std::vector<std::string>& arguments);

// The one timer start-up arms: the data-erase warning (which arms the
// version check after it) or the version check itself.
enum class StartupTimer { EraseWarning, VersionCheck };

// The erase warning is due when the build's kind warns of the data erase
// and neither firmware-file nor factory mode is on.
StartupTimer ChooseStartupTimer(bool kindWarnsErase, const UpdaterState& state);

// The texts of the main window that are built from the instrument's name.
std::string ApplicationTitle(const std::string& name);        // name + " Updater"
std::string AboutItemCaption(const std::string& name);        // "About " + caption
std::string UpdatesFirmwareText(const std::string& name);     // userText1
std::string CommLabelText(const std::string& name);           // commLabel
std::string ConnectInstructionText(const std::string& name);  // lblConnect when idle
