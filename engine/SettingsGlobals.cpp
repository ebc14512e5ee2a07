// The settings records and the process-wide values they are built from.
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/MachineConfig.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"

T_MachineConfig MachineConfig;
T_SndConfig SndConfig;
AtomicField<int> g_RedrawRequestMask;
int g_InstanceIndex = 0;

namespace {

std::string& ProgramDirStorage()
{
  static std::string dir;
  return dir;
}

}  // namespace

const std::string& GetProgramDirectory()
{
  std::string& dir = ProgramDirStorage();
  if (dir.empty()) {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    size_t slash = exe.rfind('/');
    dir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
  }
  return dir;
}

void SetProgramDirectory(const std::string& dir)
{
  std::string& stored = ProgramDirStorage();
  stored = dir.empty() ? std::string("./") : dir;
  if (stored.back() != '/') stored += '/';
}

std::string GetWorkDirectory()
{
  std::string dir(4096, '\0');
  while (::getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE || dir.size() > (1u << 20)) return "./";
    dir.resize(dir.size() * 2);
  }
  dir.resize(std::strlen(dir.c_str()));
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

void SettingsCopyText(char* dest, size_t destSize, const char* text, size_t maxChars)
{
  if (destSize == 0) return;
  size_t limit = std::min(maxChars, destSize - 1);
  size_t len = text ? strnlen(text, limit) : 0;
  if (len) std::memcpy(dest, text, len);
  std::memset(dest + len, 0, destSize - len);
}
