// Stores 1,000,000 records of 20 channels through the one store function into a plot file of
// 10,000 slots (the ring wraps 100 times) and prints the rate and the size checks (fstat) of the
// plot file made meanwhile, which must be none (a store makes no system call):
//   plot file 20 channels: <n> records/s, <k> size checks
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "interp/PlotData.h"

int main()
{
  char dirTemplate[] = "/tmp/vt_bench_plotXXXXXX";
  const char* dir = mkdtemp(dirTemplate);
  if (!dir) return 1;
  const std::string path = std::string(dir) + "/bench.tmp";
  T_WatchList wl;
  T_PlotData pd;
  if (!PlotData_OpenFile(&pd, &wl, path.c_str(), 10000, 20, 1)) return 1;

  constexpr int kRecords = 1000000;
  T_PlotDataRecord rec;
  PlotData_ClearRecord(&rec);
  const long long checks = PlotData_SizeChecks();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRecords; ++i) {
    rec.Time = 1.0e9 + i;
    for (int c = 0; c < PLOT_MAX_CHANNELS; ++c) rec.Channel[c] = {i - 1.0, i + 1.0, i + 0.5 * c};
    PlotData_StoreRecord(&pd, &rec);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long long storeChecks = PlotData_SizeChecks() - checks;
  PlotData_CloseFile(&pd);
  unlink(path.c_str());
  rmdir(dir);
  std::printf("plot file 20 channels: %.0f records/s, %lld size checks\n", kRecords / seconds, storeChecks);
  return 0;
}
