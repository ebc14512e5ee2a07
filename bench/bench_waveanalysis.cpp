// Off-line analysis of a 10-minute 44.1 kHz mono file with FFT 4,096, next to
// "sox file.wav -n spectrogram" on the same file. Reports the computing time of the analysis
// steps and the time the main timer needs for them (5 lines per 100 ms tick), at two line
// intervals: 100 ms (6,000 lines) and 750 ms (800 lines, the columns of sox's default picture).
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WaveAnalysis.h"

extern char** environ;

namespace {

constexpr int RATE = 44100, SECONDS = 600;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool MakeFile(const std::string& path) {
  C_WaveIO w;
  if (!w.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 1, RATE)) return false;
  std::vector<int16_t> block(RATE);
  for (int s = 0; s < SECONDS; ++s) {
    for (int i = 0; i < RATE; ++i)
      block[i] = int16_t(8000 * std::sin(2 * M_PI * 1000.0 * i / RATE) +
                         3000 * std::sin(2 * M_PI * (2000.0 + s) * i / RATE));
    if (w.WriteSamples(block.data(), RATE * 2) != RATE) return false;
  }
  return w.CloseFile() == 1;
}

struct Result {
  double seconds = -1;
  long lines = 0;
  long ticks = 0;
};

Result Analyse(const std::string& path, int intervalMs) {
  SetDefaultSettings();
  SndConfig.SampleRate = RATE;
  SndConfig.RateDivisor = 1;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.NrOfSamples = 4096;
  SndConfig.WaterScrollTime = intervalMs;
  SndConfig.ComplexFFT = 0;
  g_ProcessingSampleRate = RATE;
  ClearBigBuffer(&g_BigBuffers[0], RATE, 0.0);
  IWaveFileHost host;
  CSpectrumLineProducer lines(nullptr, &g_BigBuffers[0]);
  lines.History.Allocate(500);
  CWaveAnalysis analysis(&host, &lines);
  Result r;
  const double t0 = Now();
  if (!analysis.OpenWaveFileForAnalysis(path)) return r;
  analysis.OffLine = true;
  while (analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines)) ++r.ticks;
  analysis.StopWaveFileAnalysis();
  r.seconds = Now() - t0;
  r.lines = long(lines.LinesMade);
  return r;
}

double Sox(const std::vector<std::string>& args) {
  std::vector<std::string> a = args;
  std::vector<char*> argv;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  const double t0 = Now();
  pid_t pid;
  if (posix_spawnp(&pid, "sox", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Now() - t0;
}

}  // namespace

int main() {
  char templ[] = "/tmp/bench_waveanalysis-XXXXXX";
  if (!mkdtemp(templ)) return 1;
  const std::string dir = templ, wav = dir + "/ten.wav", png = dir + "/s.png";
  if (!MakeFile(wav)) {
    std::printf("could not write the test file\n");
    return 1;
  }
  std::printf("10-minute mono 16-bit file at %d Hz, FFT 4096, best of 3\n", RATE);
  for (int interval : {100, 750}) {
    Result best;
    for (int i = 0; i < 3; ++i) {
      const Result r = Analyse(wav, interval);
      if (best.seconds < 0 || (r.seconds >= 0 && r.seconds < best.seconds)) best = r;
    }
    std::printf("line interval %3d ms: %5ld lines in %6.3f s computing (%7.0fx real time); "
                "%5ld timer ticks = %6.1f s at 5 lines per 100 ms tick\n",
                interval, best.lines, best.seconds, SECONDS / best.seconds, best.ticks,
                best.ticks * 0.1);
  }
  double soxDefault = 1e30, soxWide = 1e30;
  for (int i = 0; i < 3; ++i) {
    soxDefault = std::min(soxDefault, Sox({"sox", wav, "-n", "spectrogram", "-o", png}));
    soxWide = std::min(soxWide, Sox({"sox", wav, "-n", "spectrogram", "-x", "6000", "-y", "1025",
                                     "-o", png}));
  }
  std::printf("sox file.wav -n spectrogram (800 columns):            %6.3f s\n", soxDefault);
  std::printf("sox ... spectrogram -x 6000 -y 1025 (6000 columns, DFT 2048): %6.3f s\n", soxWide);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
