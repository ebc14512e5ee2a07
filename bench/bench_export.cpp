// Text export throughput: 100,000 synthetic spectra through the export step (three columns:
// peak frequency, peak level, time of the spectrum) into a file, then the file read back and
// every data line compared with the text expected from the synthetic input.
// Prints: export 100000 lines: <n> lines/s, lost <k>, cut <m>
//   lost: data lines missing from the file; cut: lines unlike the expected text.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/SndConfig.h"
#include "interp/ExportEngine.h"
#include "interp/Interpreter.h"

namespace {

constexpr int kLines = 100000;
constexpr int kBins = 1024;
constexpr double kBinWidth = 10.0;
constexpr double kStartTime = 1000000000.0;  // 2001-09-09 01:46:40 UTC

int PeakBin(int i) { return 10 + (i * 7) % 900; }
int PeakLevel(int i) { return -2000 - (i % 5000); }  // hundredths of a dB
double LineTime(int i) { return kStartTime + i * 0.5; }

void MakeSpectrum(int i)
{
  SpectrumBuffer& sb = g_LatestSpectrum;
  std::fill(sb.bins, sb.bins + kBins, static_cast<int16_t>(-9000));
  sb.bins[PeakBin(i)] = static_cast<int16_t>(PeakLevel(i));
  sb.time = LineTime(i);
}

std::string Expected(int i)
{
  const double t = LineTime(i);
  const long long s = static_cast<long long>(std::floor(t));
  const int tenth = static_cast<int>((t - static_cast<double>(s)) * 10.0);
  const int sod = static_cast<int>(s % 86400);
  char text[128];
  std::snprintf(text, sizeof text, "%.1f\t%.2f\t%02d:%02d:%02d.%d", (PeakBin(i) + 1) * kBinWidth,
                PeakLevel(i) / 100.0, sod / 3600, sod / 60 % 60, sod % 60, tenth);
  return text;
}

}  // namespace

int main()
{
  CLI_Init();
  SndConfig.MsgDisplay = 0;
  SpectrumBuffer& sb = g_LatestSpectrum;
  sb.bin_width_hz = kBinWidth;
  sb.offset_hz = 0.0;
  sb.nr_of_bins = kBins;
  sb.scale_unit = SPECTRUM_UNIT_DB;
  sb.scale_factor = 0.01;

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vt_bench_export";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "export.txt").string();
  std::filesystem::remove(file);

  CExportEngine& e = ExportEngine();
  std::memset(&g_ExportDefinition, 0, sizeof g_ExportDefinition);
  g_ExportColumnCount = 3;
  const char* const exprs[3] = {"peak_f(10,10000)", "peak(10,10000)", "time"};
  const char* const formats[3] = {"0.0", "0.00", "hh:mm:ss.s"};
  for (int c = 0; c < 3; ++c) {
    std::snprintf(g_ExportColumns[c].title, 21, "Col%d", c);
    std::snprintf(g_ExportColumns[c].expression, 81, "%s", exprs[c]);
    std::snprintf(g_ExportColumns[c].format, 22, "%s", formats[c]);
  }
  g_ExportSeparator = 9;
  std::snprintf(g_ExportFileName, 256, "%s", file.c_str());
  g_ExportActive = 1;

  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; ++i) {
    MakeSpectrum(i);
    e.OnSpectrum();
  }
  e.CloseFile();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::getline(in, line);  // the title line
  int found = 0, cut = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (found >= kLines || line != Expected(found)) ++cut;
    ++found;
  }
  const int lost = found < kLines ? kLines - found : 0;
  if (cut) { std::ifstream again(file, std::ios::binary); std::string a, b; std::getline(again, a); std::getline(again, b); std::fprintf(stderr, "first line: [%s] expected [%s]\n", b.c_str(), Expected(0).c_str()); }
  std::filesystem::remove_all(dir);
  std::printf("export %d lines: %.0f lines/s, lost %d, cut %d\n", kLines, kLines / seconds, lost, cut);
  return lost == 0 && cut == 0 ? 0 : 1;
}
