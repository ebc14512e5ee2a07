// Halving FIR response from its 45-tap table, the stage plans, the big sample rings (counts,
// reading, catch-up, complex pairs, re-initialisation while written) and the wave-log buffers.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <complex>
#include <memory>
#include <thread>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/CDec2FIR.h"
#include "engine/Cfft.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/WaveLogDecimator.h"

namespace {

// |H(f)| of a FIR table at f cycles per input sample.
double TableGain(const double* c, int taps, double f) {
  std::complex<double> s = 0;
  for (int k = 0; k < taps; ++k) s += c[k] * std::polar(1.0, -2 * M_PI * f * k);
  return std::abs(s);
}

// Amplitude of the decimator's output for a unit cosine at f (cycles per input sample),
// measured from the RMS after the start-up transient.
double MeasuredGain(double f) {
  CDec2FIR dec;
  const int n = 8192;
  std::vector<double> x(n), y(n / 2);
  for (int i = 0; i < n; ++i) x[i] = std::cos(2 * M_PI * f * i + 0.3);
  for (int i = 0; i < n; i += 512) dec.Decimate(&x[i], &y[i / 2], 512);
  double sum = 0;
  for (int i = 100; i < n / 2; ++i) sum += y[i] * y[i];
  return std::sqrt(2 * sum / (n / 2 - 100));
}

TEST(CDec2FIR, ResponseFollowsTheTableWithFlatPassbandAndDeepStopband) {
  double c0 = 0;
  for (int k = 0; k < 45; ++k) {
    EXPECT_EQ(g_Dec2FirCoeffs[k], g_Dec2FirCoeffs[44 - k]) << k;
    c0 += g_Dec2FirCoeffs[k];
  }
  EXPECT_NEAR(c0, 0.98642504, 1e-7);  // DC gain of the published table
  for (double f = 0.01; f <= 0.18; f += 0.0137) {
    const double g = MeasuredGain(f);
    EXPECT_NEAR(g, TableGain(g_Dec2FirCoeffs, 45, f), 2e-3) << f;
    EXPECT_LT(std::fabs(20 * std::log10(g)), 0.15) << f;  // passband ripple
  }
  for (double f = 0.2513; f < 0.5; f += 0.0191) {
    const double g = MeasuredGain(f);
    EXPECT_LT(20 * std::log10(g), -72.0) << f;  // stopband
  }
}

TEST(CDec2FIR, InPlaceAndSplitBlocksGiveTheSameOutput) {
  std::vector<double> x(1000);
  for (int i = 0; i < 1000; ++i) x[i] = std::sin(i * 0.37) * 1000 + i;
  CDec2FIR a, b;
  std::vector<double> ya(500), inplace = x;
  a.Decimate(x.data(), ya.data(), 1000);
  for (int i = 0; i < 1000; i += 100) b.Decimate(&inplace[i], &inplace[i / 2], 100);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(ya[i], inplace[i]) << i;
}

TEST(CDec2FIR, InputDivisorIsRealisedByHalvingStages) {
  const struct {
    int divisor, stages, effective;
  } cases[] = {{0, 0, 1}, {-3, 0, 1}, {65, 0, 1}, {1, 0, 1}, {2, 1, 2}, {3, 1, 2},
               {4, 2, 4}, {8, 3, 8}, {16, 3, 8}, {64, 3, 8}};
  for (const auto& c : cases) {
    EXPECT_EQ(InputHalvingStages(c.divisor), c.stages) << c.divisor;
    EXPECT_EQ(EffectiveInputDivisor(c.divisor), c.effective) << c.divisor;
  }
}

int Factors(const DecimStage* s, int n, int* out) {
  int p = 1;
  for (int i = 0; i < n; ++i) {
    out[i] = s[i].Factor;
    p *= s[i].Factor;
  }
  return p;
}

TEST(DecimStage, PlansOfEightAndTwoStages) {
  DecimStage st[8];
  int f[8];
  const struct {
    int ratio, product;
  } eight[] = {{6561, 6561}, {5, 3}, {7, 3}, {10, 6}, {12, 12}, {1, 1}, {0, 1}, {2, 2},
               {64, 64}, {256, 256}, {27, 27}};
  for (const auto& c : eight) {
    EXPECT_EQ(PlanDecimationChain(st, 8, c.ratio), c.product) << c.ratio;
    EXPECT_EQ(Factors(st, 8, f), c.product) << c.ratio;
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(st[i].pCoeffs, f[i] == 3 ? g_Dec3StageCoeffs : g_Dec2StageCoeffs);
  }
  PlanDecimationChain(st, 8, 12);
  Factors(st, 8, f);
  EXPECT_EQ(f[0], 3);
  EXPECT_EQ(f[1], 2);
  EXPECT_EQ(f[2], 2);
  const struct {
    int ratio, product;
  } two[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 4}, {6, 6}, {8, 6}, {9, 9}, {20, 9}};
  for (const auto& c : two) EXPECT_EQ(PlanDecimationChain(st, 2, c.ratio), c.product) << c.ratio;
}

TEST(DecimStage, ChainPassesDcAndEmitsOnePerRatio) {
  DecimStage st[8];
  const int ratio = PlanDecimationChain(st, 8, 12);
  int outputs = 0;
  double last = 0;
  for (int i = 0; i < 12 * 500; ++i) {
    double y;
    if (DecimChainStep(st, 8, 1000.0, &y)) {
      ++outputs;
      last = y;
    }
  }
  EXPECT_EQ(outputs, 500);
  // DC gain of a 2-stage and 3-stage table product.
  double g2 = 0, g3 = 0;
  for (int k = 0; k < 25; ++k) {
    g2 += g_Dec2StageCoeffs[k];
    g3 += g_Dec3StageCoeffs[k];
  }
  EXPECT_NEAR(last, 1000.0 * g3 * g2 * g2, 1e-9);
  EXPECT_EQ(ratio, 12);
}

struct BigSampleBufferTest : ::testing::Test {
  void SetUp() override {
    ring = std::make_unique<BigSampleBuffer>();
    SndConfig.FftInputAntiAlias = 0;
    SndConfig.ComplexFFT = 0;
    g_ProcessingSampleRate = 8000.0;
    ClearBigBuffer(ring.get(), 8000.0, 1000.0);
  }
  std::unique_ptr<BigSampleBuffer> ring;
};

TEST_F(BigSampleBufferTest, RatioIsClampedAndPlannedOnlyWithAntiAlias) {
  const struct {
    int asked, antiAlias, ratio;
  } cases[] = {{0, 0, 1}, {7000, 0, 6561}, {5, 1, 3}, {7, 1, 3}, {5, 0, 5}, {7, 0, 7}, {12, 1, 12}};
  for (const auto& c : cases) {
    SndConfig.FftInputAntiAlias = c.antiAlias;
    InitBigBufferDecimation(ring.get(), 8000.0, c.asked, 0.0);
    EXPECT_EQ(ring->DecimationRatio, c.ratio) << c.asked;
    EXPECT_DOUBLE_EQ(ring->OutputRate, 8000.0 / c.ratio);
  }
  SndConfig.FftInputAntiAlias = 1;
  InitBigBufferDecimation(ring.get(), 8000.0, 12, 0.0);
  EXPECT_DOUBLE_EQ(GetDecimatedSampleRate(ring.get()), 8000.0 / 12);
}

TEST_F(BigSampleBufferTest, CountsTimesAndReadsBehindTheNewestSample) {
  InitBigBufferDecimation(ring.get(), 8000.0, 1, 0.0);
  std::vector<double> x(4096);
  for (int block = 0; block < 17; ++block) {  // 69,632 = 17 * 4,096
    for (int i = 0; i < 4096; ++i) x[i] = block * 4096 + i;
    BigBufferWrite(ring.get(), false, false, 100.0 + block, x.data(), 4096);
  }
  uint64_t total = 0;
  double blockTime = 0, newest = 0;
  EXPECT_TRUE(BigBufferGetIndices(ring.get(), &total, &blockTime, &newest));
  EXPECT_EQ(total, 69632u);
  EXPECT_EQ(blockTime, 116.0);
  EXPECT_EQ(ring->LastAdded, 4096);
  EXPECT_TRUE(BigBufferGetIndices(ring.get(), nullptr, nullptr, nullptr));
  std::vector<double> dest(69633);
  EXPECT_EQ(BigBufferRead(ring.get(), 69632, -1, dest.data()), 69631);  // allowed: n == total
  EXPECT_EQ(dest[1], 0.0);            // ring index 0, the oldest sample
  EXPECT_EQ(dest[69631], 69630.0);    // ends one before the newest
  EXPECT_EQ(BigBufferRead(ring.get(), 69633, -1, dest.data()), -1);
  EXPECT_EQ(BigBufferRead(ring.get(), 0, -1, dest.data()), -1);
  // A reader 10,000 behind catches up by (10,000 - 8,192) / 8 = 226.
  const int64_t newestStart = BigBufferRead(ring.get(), 1000, -1, dest.data());
  EXPECT_EQ(BigBufferRead(ring.get(), 1000, newestStart - 10000, dest.data()),
            newestStart - 10000 + 226);
  EXPECT_EQ(BigBufferRead(ring.get(), 1000, newestStart - 8000, dest.data()), newestStart - 8000);
  EXPECT_EQ(BigBufferRead(ring.get(), 1000, newestStart - 20000, dest.data()), newestStart);
  EXPECT_EQ(BigBufferRead(ring.get(), 1000, newestStart + 5, dest.data()), newestStart);
  // A wanted start far beyond the ring is reduced into it instead of reading outside.
  EXPECT_EQ(BigBufferRead(ring.get(), 1000, newestStart - 100 + 3 * 69632, dest.data()),
            newestStart - 100);
}

TEST_F(BigSampleBufferTest, AveragingAndAntiAliasPathsDecimate) {
  InitBigBufferDecimation(ring.get(), 8000.0, 4, 0.0);
  std::vector<double> x(4096, 2.0);
  for (int i = 0; i < 4096; i += 4) x[i] = 6.0;  // mean 3 per group of four
  BigBufferWrite(ring.get(), false, false, 1.0, x.data(), 4096);
  EXPECT_EQ(ring->TotalCount.load(), 1024u);
  EXPECT_EQ(ring->LastAdded, 1024);
  EXPECT_EQ(ring->Ring[1023], 3.0);
  SndConfig.FftInputAntiAlias = 1;
  InitBigBufferDecimation(ring.get(), 8000.0, 6, 0.0);
  BigBufferWrite(ring.get(), false, false, 1.0, x.data(), 4096);
  EXPECT_EQ(ring->TotalCount.load(), 682u);  // 4,096 / 6
  // Oversized blocks are cut to 4,096 inputs.
  std::vector<double> big(10000, 1.0);
  SndConfig.FftInputAntiAlias = 0;
  InitBigBufferDecimation(ring.get(), 8000.0, 1, 0.0);
  BigBufferWrite(ring.get(), false, false, 1.0, big.data(), 10000);
  EXPECT_EQ(ring->TotalCount.load(), 4096u);
}

TEST_F(BigSampleBufferTest, BlockWiseEqualsSampleWise) {
  for (int mode = 0; mode < 3; ++mode) {  // averaging, anti-alias stages, I/Q mixing
    SndConfig.FftInputAntiAlias = mode >= 1;
    SndConfig.ComplexFFT = mode == 2;
    auto other = std::make_unique<BigSampleBuffer>();
    ClearBigBuffer(other.get(), 8000.0, 700.0);
    InitBigBufferDecimation(ring.get(), 8000.0, 6, 700.0);
    InitBigBufferDecimation(other.get(), 8000.0, 6, 700.0);
    std::vector<double> x(4096);
    for (int i = 0; i < 4096; ++i) x[i] = 3000.0 * std::cos(i * 0.3) + i % 7;
    BigBufferWrite(ring.get(), mode == 2, mode == 2, 1.0, x.data(), 4096);
    for (int i = 0; i < 4096; ++i) BigBufferWrite(other.get(), mode == 2, mode == 2, 1.0, &x[i], 1);
    ASSERT_EQ(ring->TotalCount.load(), other->TotalCount.load()) << mode;
    ASSERT_GT(ring->TotalCount.load(), 600u) << mode;
    for (uint64_t i = 0; i < ring->TotalCount.load(); ++i)
      ASSERT_EQ(ring->Ring[i], other->Ring[i]) << mode << " " << i;
  }
}

// The FFT type or the anti-alias option can change between two set-ups of the ring (the audio
// thread writes with the current settings). The ring then decimates another way, and the ratio
// and rate it states follow: the samples it holds are always as many as its stated rate makes
// of the inputs. Set up for 5: averaging makes 5, the stages of 2 and 3 make 3.
TEST_F(BigSampleBufferTest, StatedRatioFollowsAChangeOfTheWayTheRingDecimates) {
  InitBigBufferDecimation(ring.get(), 8000.0, 5, 0.0);
  std::vector<double> x(4096);
  for (int i = 0; i < 4096; ++i) x[i] = 1000.0 * std::sin(i * 0.1);
  const struct {
    bool complex;
    int antiAlias, ratio;
  } steps[] = {
      {false, 0, 5}, {false, 1, 3}, {true, 0, 3}, {true, 1, 3}, {false, 0, 5}, {true, 0, 3},
  };
  for (const auto& c : steps) {
    SCOPED_TRACE(testing::Message() << (c.complex ? "complex" : "real") << ", anti-alias "
                                    << c.antiAlias);
    SndConfig.FftInputAntiAlias = c.antiAlias;
    const uint64_t before = ring->TotalCount.load();
    const bool restarts = ring->DecimationRatio != c.ratio || ring->IsComplex.load() != c.complex;
    for (int block = 0; block < 3; ++block)
      BigBufferWrite(ring.get(), c.complex, c.complex, 1.0, x.data(), 4096);
    EXPECT_EQ(ring->DecimationRatio, c.ratio);
    EXPECT_DOUBLE_EQ(ring->OutputRate, 8000.0 / c.ratio);
    const uint64_t written = ring->TotalCount.load() - (restarts ? 0 : before);
    EXPECT_NEAR(double(written) / (c.complex ? 2 : 1), 3 * 4096.0 / c.ratio, 1.0);
  }
}

TEST_F(BigSampleBufferTest, ComplexPairsStayWholeAndAModeChangeRestarts) {
  SndConfig.ComplexFFT = 1;
  InitBigBufferDecimation(ring.get(), 8000.0, 1, 0.0);
  std::vector<double> iq(4096);
  for (int i = 0; i < 2048; ++i) {
    iq[2 * i] = 1000 + i;   // I
    iq[2 * i + 1] = -1.0;   // Q
  }
  BigBufferWrite(ring.get(), false, true, 1.0, iq.data(), 4095);  // odd count: last value unused
  EXPECT_EQ(ring->TotalCount.load() % 2, 0u);
  std::vector<double> dest(101);
  const int64_t start = BigBufferRead(ring.get(), 101, -1, dest.data());  // odd n
  EXPECT_EQ(start % 2, 0);
  EXPECT_EQ(dest[1], 1.0);  // Q follows I (the ring keeps the conjugate pairs)
  EXPECT_GT(dest[0], 999.0);
  // Back to real mode: the ring restarts at 0.
  BigBufferWrite(ring.get(), false, false, 1.0, iq.data(), 10);
  EXPECT_EQ(ring->TotalCount.load(), 10u);
  EXPECT_FALSE(ring->IsComplex.load());
}

// The ring's I/Q mixing and Cfft together: a tone 500 Hz above the mixer centre appears 500 Hz
// above the centre of the complex spectrum.
TEST_F(BigSampleBufferTest, ToneAboveTheMixerCentreAppearsAboveItInTheSpectrum) {
  SndConfig.ComplexFFT = 1;
  const double rate = 8000.0, centre = 1500.0;
  InitBigBufferDecimation(ring.get(), rate, 1, centre);
  std::vector<double> x(4096);
  for (int block = 0, t = 0; block < 2; ++block) {
    for (int i = 0; i < 4096; ++i, ++t)
      x[i] = 10000.0 * std::cos(2 * M_PI * (centre + 500.0) * t / rate);
    BigBufferWrite(ring.get(), true, true, 1.0, x.data(), 4096);
  }
  const int n = 1024;
  std::vector<double> iq(2 * n);
  ASSERT_GE(BigBufferRead(ring.get(), 2 * n, -1, iq.data()), 0);
  Cfft fft(n, true, 2);
  std::vector<int> out(n / 2);
  fft.CalcSpectrum(iq.data(), 100.0, 1, true, out.data());
  int peak = 0;
  for (int k = 0; k < n / 2; ++k)
    if (out[k] > out[peak]) peak = k;
  const double binHz = rate / n;
  EXPECT_NEAR((peak - n / 4) * binHz, 500.0, binHz);
  EXPECT_LT(out[n / 4 - (peak - n / 4)], out[peak] - 6000);  // no mirror image
}

// Re-initialisation from another thread while the writer averages a constant: with the write
// and the re-initialisation under one lock, every stored average is exactly the constant (a
// sum cleared in the middle of a group would store a smaller value).
TEST_F(BigSampleBufferTest, ReinitialisationWhileWritingNeverInterleavesWithAWrite) {
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::vector<double> x(4096, 1.0);
    while (!stop.load()) BigBufferWrite(ring.get(), false, false, 1.0, x.data(), 4093);
  });
  for (int i = 0; i < 300; ++i) InitBigBufferDecimation(ring.get(), 8000.0, 2 + i % 7, 0.0);
  stop = true;
  writer.join();
  for (int i = 0; i < kBigBufferSize; ++i)
    ASSERT_TRUE(ring->Ring[i] == 0.0 || ring->Ring[i] == 1.0) << i << " " << ring->Ring[i];
}

struct WaveLogDecimatorTest : ::testing::Test {
  void SetUp() override {
    d = std::make_unique<WaveLogDecimator>();
    ResetWaveLogDecimator(d.get());
    SndConfig.SampleRate = 44100;
    g_ProcessingSampleRate = 44100.0;
    SndConfig.WaveSaveSampleRate = 11025;
    SndConfig.WaveSaveDownsampled = 1;
    SndConfig.WaveSaveAntiAlias = 0;
  }
  std::unique_ptr<WaveLogDecimator> d;
};

TEST_F(WaveLogDecimatorTest, RatiosFromTheTargetRate) {
  EXPECT_EQ(InitWaveLogDecimator(d.get()), 11025);
  EXPECT_EQ(d->Ratio, 4);
  const struct {
    int target, antiAlias, ratio;
  } cases[] = {{11025, 1, 4}, {8820, 0, 5}, {8820, 1, 4}, {6300, 1, 6}, {2205, 1, 9},
               {1000, 0, 20}, {0, 0, 20}, {50000, 0, 1}};
  for (const auto& c : cases) {
    SndConfig.WaveSaveSampleRate = c.target;
    SndConfig.WaveSaveAntiAlias = c.antiAlias;
    InitWaveLogDecimator(d.get());
    EXPECT_EQ(d->Ratio, c.ratio) << c.target << " " << c.antiAlias;
  }
  SndConfig.WaveSaveDownsampled = 0;
  EXPECT_EQ(InitWaveLogDecimator(d.get()), 44100);
  // With input decimation the logged blocks run at the processing rate, which the ratio and
  // the returned rate start from.
  g_ProcessingSampleRate = 22050.0;
  EXPECT_EQ(InitWaveLogDecimator(d.get()), 22050.0);
  SndConfig.WaveSaveDownsampled = 1;
  SndConfig.WaveSaveAntiAlias = 0;
  SndConfig.WaveSaveSampleRate = 11025;
  EXPECT_EQ(InitWaveLogDecimator(d.get()), 11025.0);
  EXPECT_EQ(d->Ratio, 2);
}

TEST_F(WaveLogDecimatorTest, PingPongBuffersFillInTurnAndDropWhenBothAreFull) {
  SndConfig.WaveSaveDownsampled = 0;
  InitWaveLogDecimator(d.get());
  std::vector<double> x(4096);
  for (int i = 0; i < 4096; ++i) x[i] = i - 40000.0;  // also clipped to -32767
  for (int k = 0; k < 8; ++k) WaveLogDecimate(d.get(), x.data(), 4096);  // 32,768 = 2 buffers
  EXPECT_EQ(d->StateA.load(), kWaveLogFull);
  EXPECT_EQ(d->StateB.load(), kWaveLogFull);
  EXPECT_EQ(d->BufferA[0], -32767);
  WaveLogDecimate(d.get(), x.data(), 4096);  // dropped
  EXPECT_EQ(d->FillA.load(), 16384);
  // The GUI empties A: the next samples go there from its start.
  d->StateA.store(kWaveLogEmpty);
  WaveLogDecimate(d.get(), x.data(), 10);
  EXPECT_EQ(d->StateA.load(), kWaveLogFilling);
  EXPECT_EQ(d->FillA.load(), 10);
  // The GUI empties both; A (stale fill) starts again at 0 instead of writing past its end.
  d->StateB.store(kWaveLogEmpty);
  d->StateA.store(kWaveLogEmpty);
  WaveLogDecimate(d.get(), x.data(), 3);
  EXPECT_EQ(d->FillA.load(), 3);
}

TEST_F(WaveLogDecimatorTest, PassThroughCapacityHoldsWholePairs) {
  g_ProcessingSampleRate = 11025.0;
  // Pairs at 1,378.125 Hz: 10 s would be 13,781 values.
  InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, 8, 0.0);
  const double rate = InitWaveLogPassThrough(d.get());
  EXPECT_DOUBLE_EQ(rate, 11025.0 / 8);
  EXPECT_EQ(d->Capacity, 13780);
  std::vector<double> pairs(4096);
  for (int i = 0; i < 2048; ++i) {
    pairs[2 * i] = 100;
    pairs[2 * i + 1] = -100;
  }
  for (int k = 0; k < 4; ++k) WaveLogDecimate(d.get(), pairs.data(), 4096);
  ASSERT_EQ(d->StateA.load(), kWaveLogFull);
  EXPECT_EQ(d->BufferA[d->Capacity - 1], -100);  // A ends with a Q value
  EXPECT_EQ(d->BufferB[0], 100);                  // B starts with an I value
  g_ProcessingSampleRate = 44100.0;
  InitBigBufferDecimation(&g_BigBuffers[0], 44100.0, 1, 0.0);
  InitWaveLogPassThrough(d.get());
  EXPECT_EQ(d->Capacity, 16384);
}

}  // namespace
