// libFuzzer target: arbitrary text imported into a 20-channel memory history. The first byte
// picks the separator and the time format, the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/DebugU1.h"
#include "tests/interp/fuzz/FuzzTempFile.h"
#include "interp/PlotImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  SetDebugSink([](const std::string&) {});
  FILE* f = std::fopen(FuzzTempFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);

  static const char seps[] = {'\t', ';', ',', ' ', '\0', '|', '=', '\n'};
  static const char* const formats[] = {"YYYY-MM-DD hh:mm:ss", "", "hh:mm:ss.s", "Mmm DD YYYY",
                                        "#.##", "+", "D.M.YY h:m", "s"};
  static T_WatchList wl;
  static bool titled = false;
  if (!titled) {
    for (int i = 0; i < WATCH_MAX_CHANNELS; ++i) std::snprintf(wl.Titles[i], sizeof wl.Titles[i], "Chn%d", i);
    titled = true;
  }
  static T_PlotData pd;
  if (pd.State != PLOT_STATE_MEMORY) {
    pd.Header.Channels = 20;
    PlotData_AllocMemory(&pd, 100);
  }
  PlotImportParams params;
  PlotImport_InitParams(&params, &wl, FuzzTempFile().c_str(), static_cast<unsigned char>(seps[data[0] & 7]),
                        (data[0] >> 6) - 1, formats[(data[0] >> 3) & 7]);
  ImportTextFile(&params, &pd);
  return 0;
}
