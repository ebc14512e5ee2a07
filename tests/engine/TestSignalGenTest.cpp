// Test-signal generator: oscillator frequencies and levels, wave shapes, phases for any
// frequency, the noise generator's sequence and level, and the clipping adder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/Cfft.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/TestSignalGen.h"

namespace {

struct TestSignalGenTest : ::testing::Test {
  void SetUp() override {
    InitTestSignalGenerator();
    g_ProcessingSampleRate = 8192.0;
    SndConfig.NoiseOn = 0;
    SndConfig.NoiseLevel = -60.0;
    SndConfig.AmModWave = 0;
    SndConfig.AmModFreq = 10.0;
    SndConfig.AmModFactor = 1.0;
    SndConfig.AmModCarrier = 1.0;
    SndConfig.FmModWave = 0;
    SndConfig.FmModFreq = 10.0;
    SndConfig.FmModDeviation = 100.0;
    for (int k = 0; k < 3; ++k) Set(k, false, 1000.0, 0.1, 0);
  }
  static void Set(int k, bool enabled, double freq, double ampl, int wave) {
    auto& s = SndConfig.Sine[k];
    s.Enabled = enabled;
    s.SinFreq = freq;
    s.SinAmpl = ampl;
    s.Wave = wave;
    s.AmMod = false;
    s.FmMod = false;
    s.ParamsChanged = true;
  }
  static std::vector<double> Generate(int n) {
    std::vector<double> out(n);
    for (int i = 0; i < n; i += 512) GenerateTestSignal(&out[i], std::min(512, n - i));
    return out;
  }
};

TEST_F(TestSignalGenTest, ThreeOscillatorsAppearAtTheirFrequenciesAndLevels) {
  Set(0, true, 500.0, 0.1, 0);
  Set(1, true, 1250.0, 0.2, 0);
  Set(2, true, 2000.0, 0.3, 0);
  const auto x = Generate(8192);
  std::vector<double> data = x;
  Cfft fft(8192, false, 2);  // 1 Hz bins at 8,192 Hz
  std::vector<int> out(4096);
  fft.CalcSpectrum(data.data(), 100.0, 1, true, out.data());
  EXPECT_NEAR(out[500], 2000 * std::log10(0.1), 3);  // hundredths of a dB
  EXPECT_NEAR(out[1250], 2000 * std::log10(0.2), 3);
  EXPECT_NEAR(out[2000], 2000 * std::log10(0.3), 3);
  EXPECT_LT(out[800], -9000);
  // The table-driven cosine: the first sample is one increment after phase 0.
  InitTestSignalGenerator();
  g_ProcessingSampleRate = 8000.0;
  Set(0, true, 1000.0, 0.5, 0);
  Set(1, false, 0, 0, 0);
  Set(2, false, 0, 0, 0);
  const auto y = Generate(16);
  EXPECT_EQ(g_GenSineStates[0].Increment, 4096.0);  // 1,000 Hz at 8,000 Hz
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(y[i], 0.5 * 32767 * std::cos(2 * M_PI * (i + 1) / 8.0), 1e-9) << i;
}

TEST_F(TestSignalGenTest, WaveShapes) {
  const struct {
    int wave;
    double min, max, mean;
  } cases[] = {{1, -1, 1, 0}, {2, -1, 1, 0}, {3, -1, 1, 0}, {7, 0, 0, 0}};
  for (const auto& c : cases) {
    InitTestSignalGenerator();
    Set(0, true, 64.0, 1.0, c.wave);  // 128 samples per cycle at 8,192 Hz
    const auto x = Generate(1280);
    double lo = 1e9, hi = -1e9, sum = 0;
    for (double v : x) {
      lo = std::min(lo, v / 32767);
      hi = std::max(hi, v / 32767);
      sum += v / 32767;
    }
    EXPECT_NEAR(lo, c.min, 0.02) << c.wave;
    EXPECT_NEAR(hi, c.max, 0.02) << c.wave;
    EXPECT_NEAR(sum / x.size(), c.mean, 0.02) << c.wave;
  }
  // Square: -1 for the first half of the cycle, +1 for the second.
  InitTestSignalGenerator();
  Set(0, true, 64.0, 1.0, 1);
  const auto sq = Generate(128);
  EXPECT_EQ(sq[10], -32767.0);
  EXPECT_EQ(sq[100], 32767.0);
}

TEST_F(TestSignalGenTest, AnyFrequencyKeepsThePhaseInTheTable) {
  // A negative frequency gives the same cosine as the positive one.
  Set(0, true, 700.0, 0.5, 0);
  const auto pos = Generate(2048);
  InitTestSignalGenerator();
  Set(0, true, -700.0, 0.5, 0);
  const auto neg = Generate(2048);
  for (int i = 0; i < 2048; ++i) ASSERT_NEAR(pos[i], neg[i], 1e-6) << i;
  // Huge and non-finite values: bounded output, no hang, phases inside the table.
  for (double f : {1e12, -3e15, 1e300, double(NAN), double(INFINITY)}) {
    InitTestSignalGenerator();
    Set(0, true, f, 0.5, 0);
    Set(1, true, 100.0, 0.5, 2);
    SndConfig.Sine[1].FmMod = true;
    SndConfig.FmModFreq = f;
    SndConfig.FmModDeviation = f;
    SndConfig.AmModFreq = f;
    const auto x = Generate(1024);
    for (double v : x) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 32767.0) << f;
    EXPECT_GE(g_GenSineStates[0].Phase, 0.0);
    EXPECT_LT(g_GenSineStates[0].Phase, 32768.0);
  }
}

TEST_F(TestSignalGenTest, BlockWiseEqualsSampleWise) {
  Set(0, true, 733.0, 0.2, 0);
  Set(1, true, 1210.5, 0.3, 2);
  Set(2, true, 97.0, 0.1, 3);
  SndConfig.Sine[1].AmMod = true;
  SndConfig.Sine[2].FmMod = true;
  SndConfig.AmModWave = 1;
  SndConfig.NoiseOn = 1;
  std::vector<double> block(4096);
  GenerateTestSignal(block.data(), 4096);
  InitTestSignalGenerator();
  for (int k = 0; k < 3; ++k) SndConfig.Sine[k].ParamsChanged = true;
  std::vector<double> single(4096);
  for (int i = 0; i < 4096; ++i) GenerateTestSignal(&single[i], 1);
  EXPECT_EQ(block, single);
}

TEST_F(TestSignalGenTest, AmEnvelopeIsNotClippedByTheGenerator) {
  Set(0, true, 1024.0, 1.0, 0);
  SndConfig.Sine[0].AmMod = true;
  SndConfig.AmModFreq = 0.0;  // envelope stays cos(0) * 1 + 1 = 2
  const auto x = Generate(64);
  double peak = 0;
  for (double v : x) peak = std::max(peak, std::fabs(v));
  EXPECT_NEAR(peak, 2 * 32767.0, 1e-6);
}

TEST_F(TestSignalGenTest, ParametersAreTakenOverOnlyWhenFlagged) {
  Set(0, true, 1024.0, 0.5, 0);
  Generate(64);
  SndConfig.Sine[0].SinFreq = 2048.0;  // no flag: ignored
  Generate(64);
  EXPECT_EQ(g_GenSineStates[0].Freq, 1024.0);
  SndConfig.Sine[0].ParamsChanged = true;
  Generate(64);
  EXPECT_EQ(g_GenSineStates[0].Freq, 2048.0);
  // A new rate re-reads every oscillator.
  SndConfig.Sine[0].SinFreq = 100.0;
  g_ProcessingSampleRate = 11025.0;
  Generate(64);
  EXPECT_EQ(g_GenSineStates[0].Freq, 100.0);
  EXPECT_EQ(g_GenLastRate, 11025);
  // No rate: nothing is written.
  g_ProcessingSampleRate = 0.0;
  double out[4] = {5, 5, 5, 5};
  GenerateTestSignal(out, 4);
  EXPECT_EQ(out[0], 5.0);
}

TEST_F(TestSignalGenTest, NoiseSequenceAndLevel) {
  g_ProcessingSampleRate = 11025.0;
  SndConfig.NoiseOn = 1;
  SndConfig.NoiseLevel = -60.0;
  const auto x = Generate(200000);
  const double amp = std::sqrt(11025.0) * 0.001 * 1.41e-5;
  EXPECT_NEAR(g_GenNoiseAmplitude, 1.4805e-6, 1e-9);
  // The first values follow the linear congruential sequence from the seed 1,234,568.
  uint32_t seed = 1234568;
  for (int i = 0; i < 5; ++i) {
    seed = seed * 3141592621u + 1u;
    EXPECT_DOUBLE_EQ(x[i], static_cast<int32_t>(seed) * amp) << i;
  }
  double peak = 0, sum2 = 0;
  for (double v : x) {
    peak = std::max(peak, std::fabs(v));
    sum2 += v * v;
  }
  EXPECT_LE(peak, 2147483648.0 * amp);  // about 3,179
  EXPECT_GT(peak, 0.99 * 2147483648.0 * amp);
  // Uniform over the int32 range: RMS = full range / sqrt(3).
  EXPECT_NEAR(std::sqrt(sum2 / x.size()), 2147483648.0 * amp / std::sqrt(3.0), 0.01 * 1836);
  // Off: silence again.
  SndConfig.NoiseOn = 0;
  const auto quiet = Generate(100);
  EXPECT_EQ(quiet[50], 0.0);
}

TEST(AddScaledClipped, LimitsAndCountsClips) {
  const struct {
    double dst, src, gain, result;
    int clips;
  } cases[] = {{30000, 10000, 1.0, 32767, 1}, {30000, 10000, 0.0, 30000, 0},
               {-30000, 10000, -1.0, -32767, 1}, {100, 200, 0.5, 200, 0},
               {0, NAN, 1.0, 0, 1}, {32767, 0, 1.0, 32767, 0}};
  for (const auto& c : cases) {
    double dst = c.dst;
    int clips = 0;
    AddScaledClipped(&c.src, &dst, 1, c.gain, &clips);
    EXPECT_EQ(dst, c.result) << c.dst << " " << c.src;
    EXPECT_EQ(clips, c.clips) << c.dst << " " << c.src;
  }
  double src[3] = {40000, -40000, 1}, dst[3] = {0, 0, 0};
  int clips = 5;
  AddScaledClipped(src, dst, 3, 1.0, &clips);
  EXPECT_EQ(clips, 7);  // added to the count
  AddScaledClipped(src, dst, 3, 1.0, nullptr);
}

}  // namespace
