#pragma once

#include <string>

// Where the program keeps its files, worked out from the running executable
// and the environment once at start-up.
namespace FileLocations {

// Full path of the running executable.
std::string ExecutablePath();

// The executable's file name without folder and without the part from its
// last "." on: "/opt/tools/stowlist" gives "stowlist".
std::string ExecutableName(const std::string& executablePath);

// $XDG_CONFIG_HOME/<name>.INI, or ~/.config/<name>.INI when that is unset.
std::string SettingsFile(const std::string& executableName);

// $XDG_DATA_HOME/stowlist/catalogue.sqlite, or ~/.local/share/stowlist/ when that is unset.
std::string CatalogueFile();

// <name>.qch beside the executable, else in the installed data folder:
// <bin>/../share/stowlist, then the configured one (the first that exists;
// the one beside the executable when none does).
std::string HelpFile(const std::string& executablePath);

// The single-instance lock, named after the application title:
// $XDG_RUNTIME_DIR/<title>.lock, else /tmp/<title>-<uid>.lock.
std::string LockFile(const std::string& title);

} // namespace FileLocations
