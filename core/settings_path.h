// Where the program keeps its settings file "wux.ini", and the program's own folder.
#pragma once

#include <string>

namespace wux::core {

// The name of the settings file.
inline constexpr const char* kSettingsFileName = "wux.ini";
// The folder below the user's application-data folder that holds the settings file when the program
// folder cannot.
inline constexpr const char* kSettingsFolderName = "WUX";

// The folder of the running program as a drive path without a trailing "\" ("" when no drive holds
// it), or the folder set by setProgramFolder.
std::string ProgramFolder();
// Replaces the program folder (a drive path); "" returns to the folder of the running program.
void setProgramFolder(std::string windowsPath);

// The user's application-data folder as a drive path ($XDG_CONFIG_HOME, else ~/.config); "" when none
// is known or no drive holds it.
std::string applicationDataFolder();

// The settings file for a program folder: "wux.ini" in the program folder, created empty when it is
// missing and the folder is writable; when that file can be neither opened exclusively nor created
// because access is denied, "wux.ini" in the "WUX" folder of the application-data folder (the folder
// is created when missing). Any other outcome keeps the file in the program folder.
std::string SettingsFilePath(const std::string& programFolder);

// path with a trailing "\" (nothing added when it already ends with one).
std::string withTrailingBackslash(std::string path);

} // namespace wux::core
