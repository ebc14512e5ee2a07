#pragma once
// A spectrum-line producer over ring 0 with a fake clock and a synthetic writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/PreciseClock.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThdMsgQueue.h"
#include "interp/CliCommands.h"
#include "interp/CliSpectrum.h"
#include "interp/ExportSeam.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/SpectrumLines.h"
#include "platform/PerfCounter.h"

namespace vt_lines_test {

constexpr double kBaseTime = 1700000000.0;

// Records what the producer asks of the main window.
struct RecordingHost : ISpectrumLineHost {
  std::vector<std::string> logs;
  std::vector<std::string> progress;
  int graphDraws = 0;
  int waterfallLines = 0;
  int resets = 0;
  int idleStatusShown = 0;
  void Log(int, double, const char* text) override { logs.emplace_back(text); }
  void SetProgressText(const char* text) override { progress.emplace_back(text); }
  void ShowIdleStatus() override { ++idleStatusShown; }
  void DrawSpectrumGraph(const SpectrumBuffer*, const SpectrumBuffer*) override { ++graphDraws; }
  void DrawWaterfall(int lines, const SpectrumBuffer*) override { waterfallLines += lines; }
  int RingResetCount() override { return resets; }
  void RingWasReset() override { ++resets; }
  bool Logged(const std::string& text) const {
    for (const auto& l : logs)
      if (l == text) return true;
    return false;
  }
};

class LinesFixture : public ::testing::Test {
protected:
  void SetUp() override {
    SetDefaultSettings();
    CLI_Init();
    Alert_SetDefaults();
    Alert_Reset();
    g_ExportActive = 0;
    g_DbOffsetValue = 0.0;
    // The ring's writer stamps NewestTime from the performance counter: make that the fake clock.
    now = kBaseTime;
    SetPerformanceCounterSource([this] { return static_cast<int64_t>(now * 1e9); }, 1000000000);
    g_PerfCounterPeriod = 1e-9;
    g_PerfCounterTimeOffset = 0.0;
    ring = &g_BigBuffers[0];
  }
  void TearDown() override {
    SetPerformanceCounterSource(nullptr, 0);
    ResetPreciseClock();
  }

  // Sets the ring and the producer up: rate in Hz of the FFT input, real or complex (the ring
  // mixes a real input down around `centre`).
  void Start(double rate, bool complex, int fftLength, int scrollMs, int window = 2,
             double centre = 0.0) {
    SndConfig.ComplexFFT = complex ? 1 : 0;
    SndConfig.NrOfSamples = fftLength;
    SndConfig.WaterScrollTime = scrollMs;
    SndConfig.WindowFunc = window;
    SndConfig.Average = 1;
    SndConfig.SampleRateDivisor = 1;
    SndConfig.FftInputAntiAlias = 0;
    ClearBigBuffer(ring, rate, centre);
    InitBigBufferDecimation(ring, rate, 1, centre);
    this->rate = rate;
    this->complex = complex;
    phase = 0.0;
    lines = std::make_unique<CSpectrumLineProducer>(&host, ring);
    lines->EffectiveSampleRate = rate;
    lines->TimeNow = now;
    lines->LineTime = lines->DisplayTime = now;
  }

  // Writes n input samples of a sine (amplitude, Hz) in blocks of at most 4,096, advancing the
  // clock by each block's duration.
  void Write(int n, double amplitude, double freq) {
    std::vector<double> x(4096);
    while (n > 0) {
      const int k = n > 4096 ? 4096 : n;
      for (int i = 0; i < k; ++i) {
        x[i] = amplitude * std::cos(phase);
        phase += 2.0 * M_PI * freq / rate;
      }
      phase = std::fmod(phase, 2.0 * M_PI);
      now += k / rate;  // like the audio thread, stamp a block with the time of its end
      BigBufferWrite(ring, complex, complex, now, x.data(), k);
      n -= k;
    }
  }

  // One call of the producer as the idle handler or the timer makes it.
  void Produce() {
    lines->TimeNow = now;
    lines->UpdateWaterfallTiming();
  }

  // Index of the highest bin of a record.
  static int PeakBin(const SpectrumBuffer& s) {
    int best = 0;
    for (int i = 1; i < s.nr_of_bins; ++i)
      if (s.bins[i] > s.bins[best]) best = i;
    return best;
  }

  double now = kBaseTime;
  double rate = 8000.0;
  bool complex = false;
  double phase = 0.0;
  BigSampleBuffer* ring = nullptr;
  RecordingHost host;
  std::unique_ptr<CSpectrumLineProducer> lines;
};

}  // namespace vt_lines_test
