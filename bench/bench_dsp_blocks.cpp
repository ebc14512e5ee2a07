// Throughput of the audio thread's per-block DSP stages for blocks of 4,096 samples:
// samples per second and the multiple of real time at 48 kHz stereo (96,000 samples/s).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/CDec2FIR.h"
#include "engine/DigiFilter.h"
#include "engine/FreqMixer.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/TestSignalGen.h"

namespace {

constexpr int kBlock = 4096;
constexpr double kRealTime = 48000.0 * 2;

// Median time of one call over 31 batches of about 20 ms.
double MedianSeconds(const std::function<void()>& op) {
  op();
  const auto t0 = std::chrono::steady_clock::now();
  op();
  const double once = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const int reps = std::max(1, static_cast<int>(0.02 / std::max(once, 1e-9)));
  std::vector<double> t;
  for (int b = 0; b < 31; ++b) {
    const auto s = std::chrono::steady_clock::now();
    for (int r = 0; r < reps; ++r) op();
    t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count() / reps);
  }
  std::nth_element(t.begin(), t.begin() + t.size() / 2, t.end());
  return t[t.size() / 2];
}

void Report(const char* name, int samplesPerCall, const std::function<void()>& op) {
  const double sec = MedianSeconds(op);
  const double rate = samplesPerCall / sec;
  std::printf("%-44s %12.0f samples/s  %8.1f x real time (48 kHz stereo)  %9.0f ns/block\n",
              name, rate, rate / kRealTime, sec * 1e9);
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> d(-10000.0, 10000.0);
  std::vector<double> in(kBlock), out(kBlock);
  for (auto& v : in) v = d(rng);
  g_ProcessingSampleRate = 48000.0;

  // Input halving: three CDec2FIR stages, 4,096 -> 512.
  {
    CDec2FIR s1, s2, s3;
    std::vector<double> work(kBlock);
    Report("decimator chain (3 halving stages)", kBlock, [&] {
      s1.Decimate(in.data(), work.data(), kBlock);
      s2.Decimate(work.data(), work.data(), kBlock / 2);
      s3.Decimate(work.data(), work.data(), kBlock / 4);
    });
  }
  // Big ring: anti-alias stages (ratio 12), and I/Q mixing with ratio 6.
  {
    auto ring = std::make_unique<BigSampleBuffer>();
    ClearBigBuffer(ring.get(), 48000.0, 1000.0);
    SndConfig.FftInputAntiAlias = 1;
    SndConfig.ComplexFFT = 0;
    InitBigBufferDecimation(ring.get(), 48000.0, 12, 1000.0);
    Report("big ring write, real, stages 3x2x2", kBlock,
           [&] { BigBufferWrite(ring.get(), false, false, 0.0, in.data(), kBlock); });
    SndConfig.ComplexFFT = 1;
    InitBigBufferDecimation(ring.get(), 48000.0, 6, 1000.0);
    Report("big ring write, I/Q mixing, stages 3x2", kBlock,
           [&] { BigBufferWrite(ring.get(), true, true, 0.0, in.data(), kBlock); });
  }
  // Frequency mixer, single sideband with the default Hilbert length 37, and the product.
  {
    auto m = std::make_unique<FreqMixerChain>();
    FreqMixer_Clear(m.get());
    SndConfig.MixerHilbertLength = 37;
    FreqMixer_Init(m.get(), 1000.0, 2, true, true);
    Report("frequency mixer (SSB, Hilbert 37, DC block)", kBlock,
           [&] { FreqMixer_Process(m.get(), in.data(), out.data(), kBlock); });
    SndConfig.MixerHilbertLength = 101;
    FreqMixer_Init(m.get(), 1000.0, 2, false, true);
    Report("frequency mixer (SSB, Hilbert 101)", kBlock,
           [&] { FreqMixer_Process(m.get(), in.data(), out.data(), kBlock); });
  }
  // Filters: a 128-tap FIR and eight biquad sections.
  {
    auto f = std::make_unique<DigiFilterBlock>();
    DigiFilter_Reset(f.get(), true);
    f->MaxCoeff = 127;
    for (int k = 0; k < 128; ++k) f->alpha[k] = std::sin(0.1 * (k + 1)) / (k + 1);
    Report("FIR 128 taps", kBlock,
           [&] { DigiFilter_Process(in.data(), out.data(), 1.0, kBlock, f.get()); });
    DigiFilter_Reset(f.get(), true);
    f->Is_IIR = 1;
    f->Cascaded = 3;
    f->MaxCoeff = 23;
    for (int s = 0; s < 8; ++s) {  // stable resonators
      f->alpha[3 * s] = 0.01;
      f->beta[3 * s + 1] = -1.8 * std::cos(0.1 * (s + 1));
      f->beta[3 * s + 2] = 0.81;
    }
    Report("IIR 8 biquad sections", kBlock,
           [&] { DigiFilter_Process(in.data(), out.data(), 1.0, kBlock, f.get()); });
  }
  // Generator: three oscillators (one AM, one FM) and noise.
  {
    InitTestSignalGenerator();
    for (int k = 0; k < 3; ++k) {
      auto& s = SndConfig.Sine[k];
      s.Enabled = true;
      s.SinFreq = 900.0 + 100.0 * k;
      s.SinAmpl = 0.1;
      s.Wave = k;
      s.AmMod = k == 1;
      s.FmMod = k == 2;
      s.ParamsChanged = true;
    }
    SndConfig.NoiseOn = 1;
    SndConfig.NoiseLevel = -50.0;
    Report("generator (3 oscillators, AM, FM, noise)", kBlock,
           [&] { GenerateTestSignal(out.data(), kBlock); });
  }
  return 0;
}
