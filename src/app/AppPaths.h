#pragma once

#include <string>

// Where the updater keeps its files. The per-user data folder is the XDG
// data home followed by "/Corvane/OrvaBSL", created with its parents; when
// that cannot be had, the folder of the executable itself (with its trailing
// "/") is used and no sub-folder is made.
std::string AppDataFolder();

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

// The window caption of this build: the instrument name + " Firmware Updater".
std::string WindowCaption(const std::string& instrumentName);

// The diagnostic log: folder + "/" + caption + ".errors.txt". A folder that
// already ends in "/" gets no second one.
std::string ErrorFilePathFor(const std::string& folder, const std::string& caption);

// Creates a folder and any missing parents. True when it exists afterwards.
bool MakeFolders(const std::string& path);
