#include "interp/ProfileInfo.h"

#include <filesystem>

#include <unistd.h>

#include "platform/IniFile.h"

std::string CheckProfileName(const std::string& name)
{
  if (name.empty()) return "Problem:\r\nThe profile name is empty.";
  if (name.find('/') != std::string::npos)
    return "Problem:\r\nThe profile name \"" + name + "\" must not contain a '/'.";
  return std::string();
}

std::string ProfileNameOfFile(const std::string& fileName)
{
  const std::string base = std::filesystem::path(fileName).filename().string();
  const size_t dot = base.find('.');
  return dot != std::string::npos && dot > 0 ? base.substr(0, dot) : base;
}

bool ProfileFileReadable(const std::string& fileName)
{
  // Asked, not opened: the file itself is read by the settings reader, which refuses what is
  // not a regular file of sane size.
  std::error_code ec;
  if (fileName.empty() || !std::filesystem::is_regular_file(fileName, ec)) return false;
  return ::access(fileName.c_str(), R_OK) == 0;
}

bool ReadProfileInfoFile(const std::string& fileName, TProfileInfo* info)
{
  if (!info || !ProfileFileReadable(fileName)) return false;
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(fileName, ec);
  const IniFile ini(ec ? fileName : full.string());
  const TProfileInfo defaults;
  info->MenuText = ini.ReadString("ABOUT", "MenuText", defaults.MenuText);
  info->InfoText = ini.ReadString("ABOUT", "InfoText", defaults.InfoText);
  info->Includes = ini.ReadInteger("ABOUT", "Includes", defaults.Includes);
  return true;
}
