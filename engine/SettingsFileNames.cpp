// Names of the settings files of this instance.
#include "engine/SettingsFileNames.h"

#include <cstring>
#include <filesystem>

char g_MachineSettingsFileName[256] = "SETTINGS.INI";
char g_UserSettingsFileName[256] = "SETTINGS.INI";

void SetSettingsFileName(char (&dest)[256], const std::string& name)
{
  std::memset(dest, 0, sizeof dest);
  std::memcpy(dest, name.data(), std::min(name.size(), sizeof dest - 1));
}

std::string UserSettingsFullPath()
{
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(g_UserSettingsFileName, ec);
  return ec ? std::string(g_UserSettingsFileName) : p.lexically_normal().string();
}
