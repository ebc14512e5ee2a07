#pragma once
// Helpers of the libFuzzer targets: the input as a file in a directory of this process, and a
// check that stops the run (so the fuzzer keeps the input) when a reader corrupts what it
// wrote itself.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace vt_fuzz {

// A directory of this process below $TMPDIR (else /tmp), made once.
inline const std::string& WorkDir()
{
  static const std::string dir = [] {
    const char* t = std::getenv("TMPDIR");
    std::string d = std::string(t && *t ? t : "/tmp") + "/vt-fuzz-" + std::to_string(getpid());
    ::mkdir(d.c_str(), 0700);
    return d;
  }();
  return dir;
}

inline std::string PathOf(const char* name) { return WorkDir() + "/" + name; }

// Writes the bytes to the file (replacing it) and returns its path.
inline std::string WriteInput(const char* name, const uint8_t* data, size_t size)
{
  const std::string path = PathOf(name);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

inline std::string ReadFile(const std::string& path)
{
  std::string s;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return s;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

// A self-check failed: report and abort, so libFuzzer saves the input.
#define VT_FUZZ_CHECK(cond)                                                         \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "self-check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

}  // namespace vt_fuzz
