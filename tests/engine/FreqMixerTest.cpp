// Frequency mixer: table lengths, Hilbert lengths, exact shifts with the unwanted sideband
// suppressed, DC blocker, and the set-up hand-over while the audio thread mixes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "engine/Cfft.h"
#include "engine/FreqMixer.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"

namespace {

struct FreqMixerTest : ::testing::Test {
  void SetUp() override {
    m = std::make_unique<FreqMixerChain>();
    FreqMixer_Clear(m.get());
    SndConfig.MixerHilbertLength = 101;
    g_ProcessingSampleRate = 8192.0;
  }
  // Level in dB (full scale 0) of each 1 Hz bin of the mixer output for a tone of `tone` Hz.
  std::vector<int> Spectrum(double tone) {
    const int n = 8192;
    std::vector<double> x(3 * n);
    for (int i = 0; i < 3 * n; ++i) x[i] = 16000.0 * std::cos(2 * M_PI * tone * i / 8192.0);
    for (int i = 0; i < 3 * n; i += 4096) FreqMixer_Process(m.get(), &x[i], &x[i], 4096);  // in place
    Cfft fft(n, false, 2);
    std::vector<int> out(n / 2);
    fft.CalcSpectrum(&x[2 * n], 1.0, 1, true, out.data());  // whole dB
    return out;
  }
  std::unique_ptr<FreqMixerChain> m;
};

TEST_F(FreqMixerTest, HilbertLengthFromTheSetting) {
  const struct {
    int setting, length;
  } cases[] = {{31, 29}, {33, 33}, {37, 37}, {200, 101}, {1, 1}, {0, 1}, {-5, 1}, {-200, 1}};
  for (const auto& c : cases) EXPECT_EQ(FreqMixer_HilbertLength(c.setting), c.length) << c.setting;
  SndConfig.MixerHilbertLength = -7;
  FreqMixer_Init(m.get(), 1000.0, 2, false, true);
  EXPECT_EQ(g_HilbertLength, 1);
  for (double c : g_HilbertCoeffs) EXPECT_TRUE(std::isfinite(c));
}

TEST_F(FreqMixerTest, TableHoldsWholeCyclesOfTheNearestFrequency) {
  g_ProcessingSampleRate = 11025.0;
  EXPECT_TRUE(FreqMixer_SetFrequency(m.get(), 1000.0));
  const int n = m->TableLength;
  ASSERT_GE(n, 4);
  const double cycles = m->OscFrequency * n / 11025.0;
  EXPECT_NEAR(cycles, std::round(cycles), 1e-9);
  EXPECT_NEAR(m->OscFrequency, 1000.0, 0.01);
  // No table approximates 0 Hz better than 0: the mixer stays idle and passes the signal.
  EXPECT_TRUE(FreqMixer_SetFrequency(m.get(), 0.0));
  EXPECT_EQ(m->TableLength.load(), 0);
  double x[4] = {1, 2, 3, 4}, y[4];
  FreqMixer_Process(m.get(), x, y, 4);
  EXPECT_EQ(y[3], 4.0);
  g_ProcessingSampleRate = 0.0;
  EXPECT_FALSE(FreqMixer_SetFrequency(m.get(), 1000.0));
  EXPECT_FALSE(FreqMixer_SetFrequency(m.get(), NAN));
}

// Each sideband mode shifts the tone by exactly the oscillator frequency (1,024 Hz) and keeps
// the other product at least 60 dB down; the product mode keeps both.
TEST_F(FreqMixerTest, ShiftsExactlyAndSuppressesTheOtherSideband) {
  const struct {
    int sideband;
    double tone, wanted, unwanted;
  } cases[] = {{2, 700, 1724, 324}, {1, 700, 324, 1724}, {3, 1500, 2524, 476}, {4, 1500, 476, 2524}};
  for (const auto& c : cases) {
    FreqMixer_Init(m.get(), 1024.0, c.sideband, false, true);
    EXPECT_EQ(m->OscFrequency, 1024.0);
    const auto s = Spectrum(c.tone);
    int peak = 1;
    for (int k = 1; k < 4096; ++k)
      if (s[k] > s[peak]) peak = k;
    EXPECT_EQ(peak, c.wanted) << "sideband " << c.sideband;
    EXPECT_LT(s[static_cast<int>(c.unwanted)], s[peak] - 60) << "sideband " << c.sideband;
  }
  FreqMixer_Init(m.get(), 1024.0, 0, false, true);
  const auto s = Spectrum(700);
  EXPECT_NEAR(s[1724], s[324], 1);  // dB
}

TEST_F(FreqMixerTest, BlockWiseEqualsSampleWise) {
  for (int sideband : {0, 1, 2, 3, 4}) {
    auto other = std::make_unique<FreqMixerChain>();
    FreqMixer_Clear(other.get());
    SndConfig.MixerHilbertLength = 37;
    FreqMixer_Init(m.get(), 1000.0, sideband, true, true);
    FreqMixer_Init(other.get(), 1000.0, sideband, true, true);
    std::vector<double> x(3000), a(3000), b(3000);
    for (int i = 0; i < 3000; ++i) x[i] = 5000.0 * std::sin(i * 0.21) + 300.0;
    FreqMixer_Process(m.get(), x.data(), a.data(), 3000);
    for (int i = 0; i < 3000; ++i) FreqMixer_Process(other.get(), &x[i], &b[i], 1);
    EXPECT_EQ(a, b) << "sideband " << sideband;
  }
}

// A plain per-sample form of the mixer: ring delay lines read with modulo indices, the
// oscillator computed with sin/cos. The block code (linear copies, vectorised taps) must
// give the same samples up to rounding, for every phasing mode, several Hilbert lengths and
// blocks that do and do not line up with its internal chunks.
TEST_F(FreqMixerTest, MatchesAPlainPerSampleForm) {
  const double rate = g_ProcessingSampleRate;
  const double pi = 4.0 * std::atan(1.0);
  for (int setting : {1, 5, 37, 101}) {
    for (int sideband : {1, 2, 3, 4}) {
      SndConfig.MixerHilbertLength = setting;
      FreqMixer_Init(m.get(), 1100.0, sideband, true, true);
      const int l = g_HilbertLength, h = (l - 1) / 2, len = m->TableLength.load();
      ASSERT_GT(len, 2);
      std::vector<double> hd(l, 0.0), pd(std::max(h, 1), 0.0);
      int hp = 0, pp = 0, idx = 0;
      double dc = 0.0;
      auto delay = [&](double v) {
        if (h == 0) return v;
        const double d = pd[pp];
        pd[pp] = v;
        pp = (pp + 1) % h;
        return d;
      };
      auto hilbert = [&](double v) {
        hp = (hp + l - 1) % l;
        hd[hp] = v;
        double sum = 0.0;
        for (int j = 0; j < h; ++j) sum += hd[(hp + 2 * j + 1) % l] * g_HilbertCoeffs[2 * j + 1];
        return sum;
      };
      const int total = 2600;
      std::vector<double> x(total), want(total), got(total);
      for (int i = 0; i < total; ++i) x[i] = 9000.0 * std::sin(i * 0.37) + 2000.0 * std::cos(i * 1.9) + 150.0;
      double peak = 0.0;
      for (int i = 0; i < total; ++i) {
        double v = x[i];
        dc = 0.9999 * dc + 0.0001 * v;
        v -= dc;
        if (idx >= len) idx = 0;
        const double a = 2.0 * pi * m->OscFrequency * idx / rate;
        const double sn = std::sin(a), cs = std::cos(a);
        ++idx;
        double y;
        switch (sideband) {
          case 1: y = hilbert(v) * cs - delay(v) * sn; break;
          case 3: y = delay(v * sn) + hilbert(v * cs); break;
          case 4: y = delay(v * cs) + hilbert(v * sn); break;
          default: y = delay(v) * cs - hilbert(v) * sn; break;
        }
        want[i] = y;
        peak = std::max(peak, std::fabs(y));
      }
      for (int i = 0, step = 1; i < total; i += step, step = step * 7 % 601 + 1)
        FreqMixer_Process(m.get(), &x[i], &got[i], std::min(step, total - i));
      for (int i = 0; i < total; ++i)
        ASSERT_NEAR(got[i], want[i], 1e-9 * peak) << "L " << l << " sideband " << sideband << " sample " << i;
    }
  }
}

TEST_F(FreqMixerTest, DcBlockerRemovesAnOffset) {
  FreqMixer_Init(m.get(), 1024.0, 0, true, true);
  std::vector<double> x(4096);
  double first = 0, last = 0;
  for (int block = 0; block < 30; ++block) {
    std::fill(x.begin(), x.end(), 1000.0);
    FreqMixer_Process(m.get(), x.data(), x.data(), 4096);
    double peak = 0;
    for (double v : x) peak = std::max(peak, std::fabs(v));
    if (block == 0) first = peak;
    last = peak;
  }
  EXPECT_GT(first, 900.0);
  EXPECT_LT(last, 0.01 * first);
}

// The GUI changes the frequency while the audio thread mixes a constant 1: every block must
// come from one complete table (sin of 1,024 or 2,048 Hz at 8,192 Hz), never from a mix.
TEST_F(FreqMixerTest, FrequencyChangesWhileMixingNeverTearATable) {
  FreqMixer_Init(m.get(), 1024.0, 0, false, true);
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0}, blocks{0};
  std::thread audio([&] {
    std::vector<double> in(64, 1.0), out(64);
    while (!stop.load()) {
      FreqMixer_Process(m.get(), in.data(), out.data(), 64);
      ++blocks;
      bool ok = false;
      for (int len : {8, 4}) {
        for (int i0 = 0; i0 < len && !ok; ++i0) {
          bool match = true;
          for (int i = 0; i < 64 && match; ++i)
            match = std::fabs(out[i] - std::sin(2 * M_PI * ((i0 + i) % len) / len)) < 1e-12;
          ok = match;
        }
      }
      if (!ok) ++bad;
    }
  });
  for (int i = 0; i < 400; ++i) FreqMixer_SetFrequency(m.get(), i % 2 ? 2048.0 : 1024.0);
  while (blocks.load() < 200) std::this_thread::yield();
  stop = true;
  audio.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
