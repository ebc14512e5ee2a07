// The audio thread's whole processing pass at 48 kHz stereo, without devices or waits: a
// synthetic two-channel input, no halving stages, generator (three oscillators and noise) into
// the input and the output, the frequency mixer (single sideband), a 128-tap FIR on both
// channels, big-ring writes. Prints the multiple of real time the chain runs at on one core
// (VARTUMO_BENCH_STAGES=1 adds the averaged time of each stage):
//   audio chain 48000 Hz stereo: <n>x real time
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "engine/BigSampleBuffer.h"
#include "engine/DigiFilter.h"
#include "engine/FreqMixer.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"

int main()
{
  SetDefaultSettings();
  SndConfig.SampleRate = 48000;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.StereoProcessing = 1;
  SndConfig.StartSignalGenerator = 1;
  SndConfig.ConnectGeneratorToInput = 3;
  SndConfig.GeneratorChannelMask = 3;
  SndConfig.NoiseOn = 1;
  for (int i = 0; i < kNrSineGens; ++i) {
    SndConfig.Sine[i].Enabled = true;
    SndConfig.Sine[i].SinFreq = 700.0 + 450.0 * i;
    SndConfig.Sine[i].ParamsChanged = true;
  }
  // The mixer (channel 0's chain) shifts by 1 kHz as a single sideband (phasing method).
  SndConfig.FreqMixerEnabled = true;
  SndConfig.MixerFrequency = 1000.0;
  SndConfig.MixerSideband = 1;
  SndConfig.StartDigitalFilter = 3;
  SndConfig.DigitalFilterBypass = 0;
  SndConfig.ConnectSpectrumToInput = 1;
  SndConfig.ComplexFFT = 0;
  SndConfig.RateDivisor = 1;
  InitSoundThdGlobals();
  SetSoundInOutWanted(true, false);
  g_NrProcessedChannels = 2;

  // 128-tap low-pass FIR (windowed sinc) on both channels.
  for (DigiFilterBlock& f : g_DigiFilters) {
    DigiFilter_Reset(&f, true);
    f.MaxCoeff = 127;
    f.Is_IIR = 0;
    for (int k = 0; k <= 127; ++k) {
      const double x = k - 63.5;
      const double w = 0.54 - 0.46 * std::cos(2.0 * M_PI * k / 127.0);
      f.alpha[k] = w * 0.25 * (x == 0 ? 1.0 : std::sin(M_PI * 0.25 * x) / (M_PI * 0.25 * x));
    }
  }
  const double centre = (g_BasebandFreqMin + g_BasebandFreqMax) / 2.0;
  InitBigBufferDecimation(&g_BigBuffers[0], g_ProcessingSampleRate, 1, centre);
  g_BigBuffers[0].FeedSource.store(1);

  auto thread = std::make_unique<TSoundThread>(true);  // never started: driven directly
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 3000.0);
  const int kPrepared = 8;
  static double input[kPrepared][2][kSndThdBlockSize];
  for (auto& block : input)
    for (auto& ch : block)
      for (double& v : ch) v = noise(rng);

  auto runBlocks = [&](int blocks) {
    for (int b = 0; b < blocks; ++b) {
      for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < kSndThdBlockSize; ++i) thread->WorkIn[ch][i] = input[b % kPrepared][ch][i];
      thread->ProcessBlock(true, 1.0e9 + b * (kSndThdBlockSize / 48000.0));
    }
  };
  runBlocks(50);  // warm up caches and the generator's tables

  // The thread's own CPU time as well: on a busy machine the wall clock also counts the time
  // the benchmark waited for a core.
  auto cpuSeconds = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
  };
  double best = 0.0, bestCpu = 0.0;
  for (int rep = 0; rep < 5; ++rep) {
    const int blocks = 400;
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = cpuSeconds();
    runBlocks(blocks);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - c0;
    const double audio = blocks * kSndThdBlockSize / 48000.0;
    if (audio / seconds > best) best = audio / seconds;
    if (cpu > 0.0 && audio / cpu > bestCpu) bestCpu = audio / cpu;
  }
  double check = 0.0;
  for (int i = 0; i < kSndThdBlockSize; ++i) check += std::fabs(thread->WorkOut[0][i]);
  if (std::getenv("VARTUMO_BENCH_STAGES")) {
    for (int i = 0; i < kSndThdNrStageTimes; ++i)
      std::printf("stage %2d: %lld ns per block\n", i, static_cast<long long>(g_SndThdStageTicks[i].load()));
  }
  std::printf("output level check: %.1f\n", check / kSndThdBlockSize);
  std::printf("audio chain 48000 Hz stereo, thread CPU time: %.0fx real time\n", bestCpu);
  std::printf("audio chain 48000 Hz stereo: %.0fx real time\n", best);
  return 0;
}
