#pragma once

#include <string>

#include "app/Operator.h"

// The texts the main window shows outside an update run, and the functions
// that show them through an Operator. "name" is the instrument's name; the
// window caption is WindowCaption(name).

// The data-erase warning shown once after start-up.
inline constexpr const char* kEraseWarningTitle = "Data Erase Warning";
std::string EraseWarningText(const std::string& name);
void ShowEraseWarning(Operator& op, const std::string& name);

// The quit guard's message while a run is active.
inline constexpr const char* kQuitGuardTitle = "Don't Quit Now!";
std::string QuitGuardText(const std::string& name);

// The operating instructions of Help > "&Help". The warning about the data
// erase is included only when the build's kind erases data at an update.
inline constexpr const char* kHelpTitle = "Help";
std::string HelpText(const std::string& name, bool kindWarnsErase);
void ShowHelp(Operator& op, const std::string& name, bool kindWarnsErase);

// The text of Help > "&About...": "OrvaBSL Engine version " and the file
// version ("Unknown" when empty), then a copyright line.
std::string AboutText(const std::string& fileVersion);
std::string AboutTitle(const std::string& name);
void ShowAbout(Operator& op, const std::string& name, const std::string& fileVersion);

// The calibration notice due after an update of kinds 7, 8 and 9. False,
// with title and text left alone, for any other kind.
bool PostUpdateNotice(int kind, std::string* title, std::string* text);

// Shows the notice of a kind as a warning; nothing for kinds without one.
void ShowPostUpdateNotice(Operator& op, int kind);
