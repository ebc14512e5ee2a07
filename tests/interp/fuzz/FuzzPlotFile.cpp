// libFuzzer target: arbitrary bytes opened as an existing plot file, then read back and stored
// into, and in half of the runs cut short while mapped and used again (found by the size check
// of the caller's tick or by the accesses themselves). The record count field
// is kept small so that a valid header does not make every run reserve up to 2 GB; every other
// byte is the fuzzer's.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/DebugU1.h"
#include "tests/interp/fuzz/FuzzTempFile.h"
#include "interp/PlotData.h"

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
  FILE* f = std::fopen(FuzzTempFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);

  static T_WatchList wl;
  T_PlotData pd;
  const int channels = static_cast<int>(size % 23);
  if (PlotData_OpenFile(&pd, &wl, FuzzTempFile().c_str(), 100, channels, 1)) {
    T_PlotDataRecord rec;
    for (int age = 0; age < 300; age += 7) PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, age), &rec);
    for (int i = 0; i < 3; ++i) PlotData_StoreRecord(&pd, &rec);
    // Half of the runs cut the mapped file short (as another program may): the accesses that
    // follow must go on without touching a page beyond the new end.
    if (size > 0 && (data[size - 1] & 1)) {
      const uint64_t cut = (uint64_t{data[size - 1]} * 0x9E3779B1u) % (uint64_t{pd.MappingSize} + 1);
      if (truncate(FuzzTempFile().c_str(), static_cast<off_t>(cut)) == 0) {
        // Some runs let the caller's tick find it first; the others meet it on the accesses.
        if (data[size - 1] & 2) PlotData_CheckMapping(&pd);
        for (int age = 0; age < 300; age += 7) PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, age), &rec);
        for (int i = 0; i < 3; ++i) PlotData_StoreRecord(&pd, &rec);
      }
    }
  }
  PlotData_CloseFile(&pd);
  PlotData_FreeMemory(&pd);
  return 0;
}
