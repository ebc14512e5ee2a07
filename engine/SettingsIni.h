#pragma once
// Defaults, quick presets and INI persistence of the settings records MachineConfig and SndConfig.
// GUI thread only.
#include <string>

// Bits of the parts mask of LoadSettingsFromIni / SaveSettingsToIni (other bits are ignored).
inline constexpr int SETTINGS_PART_MACHINE = 1;   // MachineConfig
inline constexpr int SETTINGS_PART_PROCESS = 2;   // SndConfig without the user menu
inline constexpr int SETTINGS_PART_USERMENU = 4;  // SndConfig.UserMenu
// Further bits of a profile's parts and of its "ABOUT" "Includes" key; other modules store these
// parts into the same file (mainwin/SettingsProfile.h).
inline constexpr int SETTINGS_PART_FILTERS = 16;   // edited filters of channels 0 and 1
inline constexpr int SETTINGS_PART_DIGIMODE = 32;  // offered, but no module stores it
inline constexpr int SETTINGS_PART_PALETTE = 64;   // the colour palette g_ColorPalette
inline constexpr int SETTINGS_PART_WATCH = 128;    // the watch list and plotter settings

// Fills both records with their defaults: zeroes them, runs LoadQuickSettings(0) and clears
// g_RedrawRequestMask. The records are zeroed as a whole, so call it only while the audio
// thread is not running (at start-up).
void SetDefaultSettings();

// Applies quick preset 0 (defaults) or 1..6 (the main menu's "Quick Settings"). A number outside
// 0..6 applies only the block common to all presets.
void LoadQuickSettings(int preset);

// Quick preset 6 centres its range on the digimode receive frequency (Hz), a setting of the
// digimode layer, which installs its reader at start-up. Without a reader (nullptr removes it)
// preset 6 takes the range of preset 1.
using QuickSettingsRxFreqFunc = double (*)();
void SetQuickSettingsRxFreqFunc(QuickSettingsRxFreqFunc func);

// Menu text of quick preset 1..6; "" for other numbers.
const char* QuickSettingsMenuText(int preset);

// Reads the parts of the mask from the INI file (relative names are taken from the working
// directory). A missing or unreadable file reads as a file without keys; an absent key or a
// value that does not convert keeps the field's value, except the keys with a fixed value when
// missing (see SndConfig.h / MachineConfig.h). A file that IniFile refuses (not a regular
// file, or too large) is reported on stderr and in the debug window's error history and reads
// as a file without keys; it is never written afterwards. Clears g_RedrawRequestMask at the end.
void LoadSettingsFromIni(const std::string& fileName, int parts);

// Writes the parts of the mask into the INI file, keeping every other section and key of it.
// Throws EIniFileError ("Unable to write to <full path>") when the file cannot be written; the
// file is then left as it was.
void SaveSettingsToIni(const std::string& fileName, int parts);
