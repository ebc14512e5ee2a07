// Spectrum lines from a filled ring into a 2,000-line history: dB output, averaging 1, Hann
// window, real input at 48 kHz, one line per call as the timer asks for it (time-positioned
// reading). Prints, per FFT length,
//   N=<n> <lines> lines/s
// and the time per line split into ring copy (BigBufferRead), FFT (window and transform),
// dB (the rest of Cfft::CalcSpectrum), record (line header and bins, copy to the latest
// spectrum) and history store. Split figures are medians of timed batches.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/Cfft.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliSpectrum.h"
#include "mainwin/SpectrumLines.h"

namespace {

using Clock = std::chrono::steady_clock;

double MedianUs(const std::function<void()>& op, int reps) {
  op();
  std::vector<double> t;
  for (int b = 0; b < 15; ++b) {
    const auto t0 = Clock::now();
    for (int r = 0; r < reps; ++r) op();
    t.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / reps);
  }
  std::nth_element(t.begin(), t.begin() + t.size() / 2, t.end());
  return t[t.size() / 2];
}

void Run(int n, int lineCount) {
  const double rate = 48000.0;
  SetDefaultSettings();
  SndConfig.NrOfSamples = n;
  SndConfig.WaterScrollTime = 300;
  SndConfig.LogSpectrum = 1;
  SndConfig.Average = 1;
  SndConfig.WindowFunc = 2;
  SndConfig.ComplexFFT = 0;
  SndConfig.WaterfallAveraging = 0;
  SndConfig.SpectrumStyleNPos = 0;  // no graph drawing: there are no windows here
  BigSampleBuffer* ring = &g_BigBuffers[0];
  ClearBigBuffer(ring, rate, 0.0);
  InitBigBufferDecimation(ring, rate, 1, 0.0);
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0.0, 300.0);
  std::vector<double> block(kBigBufferMaxWrite);
  double phase = 0.0, t = 1.7e9;
  for (int w = 0; w < kBigBufferSize / kBigBufferMaxWrite; ++w) {
    for (auto& x : block) {
      x = 8000.0 * std::sin(phase) + noise(rng);
      phase += 2.0 * M_PI * 1234.5 / rate;
    }
    t += block.size() / rate;
    BigBufferWrite(ring, false, false, t, block.data(), static_cast<int>(block.size()));
  }

  auto lines = std::make_unique<CSpectrumLineProducer>(nullptr, ring);
  lines->EffectiveSampleRate = rate;
  if (lines->History.Allocate(2000) != 2000) std::printf("history smaller than 2,000 lines\n");
  lines->WaitFullResolution = false;
  lines->TimeNow = t;
  lines->LineTime = lines->DisplayTime = t - 1.0;
  lines->UpdateWaterfallTiming();  // makes the FFT object

  const auto t0 = Clock::now();
  const uint64_t before = lines->LinesMade;
  for (int i = 0; i < lineCount; ++i) {
    lines->TimeNow += 0.3;
    lines->UpdateWaterfallTiming();
  }
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  const uint64_t made = lines->LinesMade - before;
  std::printf("N=%d %.0f lines/s\n", n, made / s);
  if (made != static_cast<uint64_t>(lineCount)) std::printf("  (%llu lines made, %d asked)\n",
                                                            static_cast<unsigned long long>(made),
                                                            lineCount);

  // The split, piece by piece on the same data.
  const int reps = std::max(4, 2000000 / (n * 8));
  std::vector<double> input(n), work(n), power(n);
  std::vector<int> out(n / 2);
  const double copyUs = MedianUs([&] { BigBufferRead(ring, n, -1, input.data()); }, reps);
  Cfft fft(n, false, 2);
  const double fftUs = MedianUs([&] { fft.CalcPower(input.data(), power.data()); }, reps);
  const double lineUs = MedianUs(
      [&] {
        std::memcpy(work.data(), input.data(), n * sizeof(double));
        fft.CalcSpectrum(work.data(), 100.0, 1, true, out.data());
      },
      reps);
  const double moveUs =
      MedianUs([&] { std::memcpy(work.data(), input.data(), n * sizeof(double)); }, reps);
  const double recordUs = MedianUs(
      [&] {
        lines->BuildSpectrumLine(t, rate);
        std::memcpy(&g_LatestSpectrum, &lines->CurrentSpectrum, sizeof(SpectrumBuffer));
      },
      reps);
  const double storeUs =
      MedianUs([&] { lines->StoreSpectrumInHistory(&g_LatestSpectrum); }, reps);
  const double dbUs = std::max(0.0, lineUs - moveUs - fftUs);
  std::printf("  per line: ring copy %.1f us, FFT %.1f us, dB %.1f us, record %.1f us, "
              "history store %.1f us\n",
              copyUs, fftUs, dbUs, recordUs, storeUs);
}

}  // namespace

int main() {
  CLI_Init();
  Run(1024, 20000);
  Run(16384, 3000);
  Run(65536, 1000);
  return 0;
}
