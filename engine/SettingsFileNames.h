#pragma once
// Names of the two settings files of this instance. Set by the main window's constructor
// (instance number and command line) before the settings are loaded; fixed for the run.
#include <string>

// Machine part of the settings (parts mask 1). Initially "SETTINGS.INI"; "SETTING2.INI" or
// "SETTING3.INI" for a second or further instance; "m=" on the command line replaces it.
extern char g_MachineSettingsFileName[256];
// Processing, display and user-menu parts (mask 6) and every window's placement section.
// Initially "SETTINGS.INI"; as above with "u=".
extern char g_UserSettingsFileName[256];

// Sets a name (cut to 255 characters).
void SetSettingsFileName(char (&dest)[256], const std::string& name);

// g_UserSettingsFileName expanded to a full path (relative names are taken from the current
// working directory): the file where windows keep their placement.
std::string UserSettingsFullPath();
