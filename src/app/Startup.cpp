#include "app/Startup.h"

#include "app/AppPaths.h"

CommandLineModes ReadCommandLine(const std::vector<std::string>& arguments)
{
    CommandLineModes modes;
    for (const std::string& argument : arguments) {
        if (argument == "-factory") {
            modes.factoryMode = true;
            modes.firmwareFileMode = true;
        } else if (argument == "-rep") {
            modes.firmwareFileMode = true;
        }
    }
    return modes;
}

StartupTimer ChooseStartupTimer(bool kindWarnsErase, const UpdaterState& state)
{
    if (kindWarnsErase && !state.firmwareFileMode && !state.factoryMode) return StartupTimer::EraseWarning;
    return StartupTimer::VersionCheck;
}

std::string ApplicationTitle(const std::string& name)
{
    return name + " Updater";
}

std::string AboutItemCaption(const std::string& name)
{
    return "About " + WindowCaption(name);
}

std::string UpdatesFirmwareText(const std::string& name)
{
    return "This utility updates " + name + " firmware to";
}

std::string CommLabelText(const std::string& name)
{
    return "Connect to " + name + " with Comm Port";
}

std::string ConnectInstructionText(const std::string& name)
{
    return "Connect " + name + " to computer comm port.";
}
