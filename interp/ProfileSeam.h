#pragma once
// What the user-menu dialog and the main window need of each other and of the watch window for
// settings profiles ("*.usr"): loading and saving a whole profile is the main window's work
// (TSndMainForm::LoadSettingsFile / SaveSettingsFile), the watch list's part of a profile is the
// watch window's. Each side installs its handlers while it exists; without them the calls do
// nothing and report so. GUI thread only.
#include <functional>
#include <string>

// Loads or saves a profile file; parts as the main window's operations take them
// (engine/SettingsIni.h SETTINGS_PART_*). True on success; a failure has been shown to the user.
using ProfileFileHandler = std::function<bool(const std::string& fileName, int parts)>;
// Reads or writes the watch list's sections of the file.
using ProfileWatchHandler = std::function<void(const std::string& fileName)>;

// Installed by the main window; empty functions remove them.
void Profile_InstallHandlers(ProfileFileHandler load, ProfileFileHandler save);
// False when no handler is installed or it failed.
bool Profile_LoadSettingsFile(const std::string& fileName, int parts);
bool Profile_SaveSettingsFile(const std::string& fileName, int parts);

// Installed by the watch window; empty functions remove them.
void Profile_InstallWatchHandlers(ProfileWatchHandler load, ProfileWatchHandler save);
// True when a handler ran.
bool Profile_LoadWatchSettings(const std::string& fileName);
bool Profile_SaveWatchSettings(const std::string& fileName);
