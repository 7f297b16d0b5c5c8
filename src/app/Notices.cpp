#include "app/Notices.h"

#include "app/AppPaths.h"
#include "app/Deployment.h"

std::string EraseWarningText(const std::string& name)
{
    return "WARNING: The " + WindowCaption(name) + " will erase all measurement data\n stored in your " + name +
           ".\n\n Please download any data you want to save before continuing.";
}

void ShowEraseWarning(Operator& op, const std::string& name)
{
    op.TellUser(EraseWarningText(name), kEraseWarningTitle, kMessageWarning);
}

std::string QuitGuardText(const std::string& name)
{
    return "The " + WindowCaption(name) + " is updating your " + name +
           "!\nThis process should NOT be interrupted.\n\n"
           "Your " +
           name +
           " may be unusable or have missing settings\n"
           "until you complete the firmware update process.\n\n"
           "Click OK to continue updating your" +
           name + ".\n";
}

std::string HelpText(const std::string& name, bool kindWarnsErase)
{
    std::string text;
    text += "The " + WindowCaption(name) + " replaces the firmware that operates your " + name + ".\n";
    text += "Following the simple steps will help ensure a successful update.\n\n";
    if (kindWarnsErase) {
        text += "WARNING: Updating the firmware in your " + name + " will erase any stored measurement data.\n";
        text += "Please download any measurement data stored in your" + name + " that you want to save.\n\n";
    }
    text += "Before beginning these steps, please make sure your instrument is powered on.\n\n";
    text += "Step 1. Connect your " + name + " to an available USB or serial communication port on your\ncomputer.\n\n";
    text += "Step 2. Select the correct port from the Comm Port control.\n\n";
    text += "Step 3. Click the \"Start\" button. The updater shows progress in the Status area.\n\n";
    text += "WARNING: Do not disconnect your " + name + " from the computer while the updater is running.\n";
    text += "An incomplete firmware update could leave your " + name + " unusable.\n\n";
    text += "WARNING: Do not quit the " + name + " Firmware Updater while the updater is running.\n";
    text += "An incomplete firmware update could leave your " + name + " unusable.\n\n";
    text += "Step 4. Once the update is complete, you can disconnect your " + name + " from the computer.\n";
    text += "Please verify your " + name + " configuration is correct. ";
    text += "Enjoy using the updated firmware version.\n\n";
    text += "If you have trouble with this " + name + " Firmware Updater, Please contact Halvorn or\n";
    text += "an authorized Halvorn Group Distributor for help:\n\n";
    text += MakerContactBlock();
    return text;
}

void ShowHelp(Operator& op, const std::string& name, bool kindWarnsErase)
{
    op.TellUser(HelpText(name, kindWarnsErase), kHelpTitle, kMessagePlain);
}

std::string AboutText(const std::string& fileVersion)
{
    return "OrvaBSL Engine version " + (fileVersion.empty() ? std::string("Unknown") : fileVersion) +
           "\n\nCopyright (C) Corvane Devices, Inc. All rights reserved.";
}

std::string AboutTitle(const std::string& name)
{
    return "About " + WindowCaption(name);
}

void ShowAbout(Operator& op, const std::string& name, const std::string& fileVersion)
{
    op.TellUser(AboutText(fileVersion), AboutTitle(name), kMessageInformation);
}

bool PostUpdateNotice(int kind, std::string* title, std::string* text)
{
    std::string t;
    std::string m;
    switch (kind) {
        case 7:
            t = "Caloret Calibration";
            m = "The calibration of your Caloret is outdated or missing.\n\n"
                "Please contact Corvane or your authorized Corvane representative\n"
                "to have your Caloret calibrated.";
            break;
        case 8:
            t = "Please Calibrate Your LX-9";
            m = "Updating the firmware in your Lumira LX-9 requires you to calibrate\n"
                "the internal sensors using the external sensor as a reference.\n\n"
                "Please see your LX-9 user manual for probe calibration instructions.\n\n"
                "Please also reset the Daylight Savings setting in your Lumira LX-9.";
            break;
        case 9:
            t = "Please Calibrate Your Zadozadaz";
            m = "Updating the firmware in your Stomex requires you to calibrate\n"
                "the the sensor head using the Corvane-supplied calibration plate.\n\n"
                "Please see the Stomex user manual (version 7 or newer) for\n"
                "calibration instructions. The latest user manual is available for download from:\n" +
                SupportLiteratureAddress();
            break;
        default:
            return false;
    }
    if (title) *title = t;
    if (text) *text = m;
    return true;
}

void ShowPostUpdateNotice(Operator& op, int kind)
{
    std::string title;
    std::string text;
    if (PostUpdateNotice(kind, &title, &text)) op.TellUser(text, title, kMessageWarning);
}
