#include "mainwin/SettingsProfile.h"

#include <filesystem>

#include "control/FilterFiles.h"
#include "engine/DigiFilter.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "interp/CliSpectrum.h"
#include "interp/ExportSeam.h"
#include "interp/ProfileInfo.h"
#include "interp/ProfileSeam.h"
#include "mainwin/ColorPalette.h"
#include "platform/IniFile.h"

namespace {

std::string FullPath(const std::string& fileName)
{
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(fileName, ec);
  return ec ? fileName : p.string();
}

}  // namespace

bool Profile_LoadFile(const std::string& fileName, std::string* error)
{
  const std::string path = FullPath(fileName);
  // Checked first: the settings reader takes a missing file as one without keys and would reset
  // the keys that have a fixed value when missing, a silent success.
  if (!ProfileFileReadable(path)) {
    if (error) *error = "Problem:\r\nCannot read the settings profile \"" + path + "\".";
    return false;
  }

  const std::string previousDefinition = SndConfig.DefinitionFileName;
  LoadSettingsFromIni(path, SETTINGS_PART_PROCESS);  // also "ABOUT": SndConfig.AboutIncludes
  g_RedrawRequestMask = REDRAW_ALL;
  // A profile that names another export definition brings that definition along; otherwise
  // the next automatic save would write the running one into the profile's file.
  if (previousDefinition != SndConfig.DefinitionFileName)
    Export_ChangeDefinitionFile(previousDefinition.c_str(), SndConfig.DefinitionFileName);

  const int includes = SndConfig.AboutIncludes;
  if (includes & SETTINGS_PART_FILTERS) {
    for (int ch = 0; ch < 2; ++ch) LoadFilterFileForChannel(ch, path, &g_EditedDigiFilters[ch]);
  }
  if (includes & SETTINGS_PART_WATCH) Profile_LoadWatchSettings(path);
  if (includes & SETTINGS_PART_PALETTE) LoadPaletteFromIniFile(path, g_ColorPalette);

  if (SndConfig.SpectrumRefVisible && ProfileFileReadable(SndConfig.SpectrumRefFileName))
    CLI_LoadSpectrumFile(SndConfig.SpectrumRefFileName, &g_ReferenceSpectrum);
  return true;
}

bool Profile_SaveFile(const std::string& fileName, int parts, std::string* error)
{
  const std::string path = FullPath(fileName);
  const auto fail = [&](const std::string& what) {
    if (error) *error = "Problem:\r\n" + what;
    return false;
  };
  try {
    SaveSettingsToIni(path, parts);
    if (parts & SETTINGS_PART_FILTERS) {
      for (int ch = 0; ch < 2; ++ch) SaveFilterAndDesignParams(ch, path);
    }
  } catch (const EIniFileError& e) {
    return fail(e.what());
  }
  if (SndConfig.AboutIncludes & SETTINGS_PART_WATCH) Profile_SaveWatchSettings(path);
  if ((parts & SETTINGS_PART_PALETTE) && !SavePaletteToIniFile(path, g_ColorPalette))
    return fail("Unable to write the colour palette to " + path);
  return true;
}
