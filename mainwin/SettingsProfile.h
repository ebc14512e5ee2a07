#pragma once
// Loading a settings profile ("*.usr", an INI file) into the running program and saving the
// running settings as one: the file work of TSndMainForm::LoadSettingsFile / SaveSettingsFile,
// free of Qt; the window re-applies the loaded settings afterwards. GUI thread only.
//
// A profile holds the processing and display settings with the section "ABOUT" and, by the
// bits of "ABOUT" "Includes" (SETTINGS_PART_* of engine/SettingsIni.h), the filters of both
// channels (16), the colour palette (64) and the watch list's settings (128, through the watch
// window's handlers of interp/ProfileSeam.h).
#include <string>

// Loads the profile: the processing and display part only (machine settings and user menu stay
// as they are), then the parts its own "Includes" names, then the reference spectrum when it is
// shown and its file exists. Leaves g_RedrawRequestMask at 65,535. A missing or unreadable file
// changes nothing and returns false with the message in *error.
bool Profile_LoadFile(const std::string& fileName, std::string* error);

// Saves the parts (1, 2, 4, 16, 64) of the running settings into the file, keeping its other
// sections; the watch list's sections when SndConfig.AboutIncludes has bit 128 (the caller sets
// it first). False with the message in *error when a part could not be written; the parts
// before it are then in the file.
bool Profile_SaveFile(const std::string& fileName, int parts, std::string* error);
