#include "interp/ProfileSeam.h"

#include <utility>

namespace {
struct Handlers {
  ProfileFileHandler load, save;
  ProfileWatchHandler watchLoad, watchSave;
};
Handlers& H()
{
  static Handlers h;
  return h;
}
}  // namespace

void Profile_InstallHandlers(ProfileFileHandler load, ProfileFileHandler save)
{
  H().load = std::move(load);
  H().save = std::move(save);
}

bool Profile_LoadSettingsFile(const std::string& fileName, int parts)
{
  return H().load && H().load(fileName, parts);
}

bool Profile_SaveSettingsFile(const std::string& fileName, int parts)
{
  return H().save && H().save(fileName, parts);
}

void Profile_InstallWatchHandlers(ProfileWatchHandler load, ProfileWatchHandler save)
{
  H().watchLoad = std::move(load);
  H().watchSave = std::move(save);
}

bool Profile_LoadWatchSettings(const std::string& fileName)
{
  if (!H().watchLoad) return false;
  H().watchLoad(fileName);
  return true;
}

bool Profile_SaveWatchSettings(const std::string& fileName)
{
  if (!H().watchSave) return false;
  H().watchSave(fileName);
  return true;
}
