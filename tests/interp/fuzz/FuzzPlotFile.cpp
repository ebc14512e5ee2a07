// libFuzzer target: arbitrary bytes opened as an existing plot file, then read back and stored
// into. The record count field is kept small so that a valid header does not make every run
// reserve up to 2 GB; every other byte is the fuzzer's.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/DebugU1.h"
#include "interp/PlotData.h"

namespace {

const std::string& FilePath()
{
  // Memory-backed when there is /dev/shm: a file on disk costs milliseconds per run.
  static const std::string path = [] {
    for (const char* dir : {"/dev/shm", "/tmp"}) {
      std::string name = std::string(dir) + "/vt_fuzz_plotXXXXXX";
      const int fd = mkstemp(name.data());
      if (fd < 0) continue;
      close(fd);
      return name;
    }
    return std::string("vt_fuzz_plot.tmp");
  }();
  static const bool removeAtExit = [] { return std::atexit([] { unlink(path.c_str()); }) == 0; }();
  (void)removeAtExit;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  SetDebugSink([](const std::string&) {});
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.size() >= 84) {
    uint32_t maxRecords;
    std::memcpy(&maxRecords, bytes.data() + 80, 4);
    maxRecords %= 1024;
    std::memcpy(bytes.data() + 80, &maxRecords, 4);
  }
  FILE* f = std::fopen(FilePath().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);

  static T_WatchList wl;
  T_PlotData pd;
  const int channels = static_cast<int>(size % 23);
  if (PlotData_OpenFile(&pd, &wl, FilePath().c_str(), 100, channels, 1)) {
    T_PlotDataRecord rec;
    for (int age = 0; age < 300; age += 7) PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, age), &rec);
    for (int i = 0; i < 3; ++i) PlotData_StoreRecord(&pd, &rec);
  }
  PlotData_CloseFile(&pd);
  return 0;
}
