#pragma once
// The one scratch file of a fuzz target: memory-backed in /dev/shm when there is one (a file on
// disk costs milliseconds per run), else in /tmp; removed when the process ends.
#include <unistd.h>

#include <cstdlib>
#include <string>

inline const std::string& FuzzTempFile()
{
  static const std::string path = [] {
    for (const char* dir : {"/dev/shm", "/tmp"}) {
      std::string name = std::string(dir) + "/vt_fuzzXXXXXX";
      const int fd = mkstemp(name.data());
      if (fd < 0) continue;
      close(fd);
      return name;
    }
    return std::string("vt_fuzz.tmp");
  }();
  static const bool removeAtExit = [] { return std::atexit([] { unlink(path.c_str()); }) == 0; }();
  (void)removeAtExit;
  return path;
}
