#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "control/FilterHandover.h"
#include "engine/DigiFilter.h"
#include "engine/DigiFilterHandover.h"

namespace {
DigiFilterBlock Fir(int maxCoeff, double tap) {
  DigiFilterBlock b{};
  DigiFilter_Reset(&b, true);
  b.MaxCoeff = maxCoeff;
  for (int k = 0; k <= maxCoeff; ++k) b.alpha[k] = tap;
  return b;
}
}  // namespace

TEST(FilterHandover, CopiesClearsAndLimits) {
  g_EditedDigiFilters[1] = Fir(3, 0.5);
  g_EditedDigiFilters[1].Is_IIR = 5;
  for (double& z : g_EditedDigiFilters[1].z) z = 3.0;
  g_EditedDigiFilters[1].pZ = &g_EditedDigiFilters[1].z[2];
  g_EditedDigiFilters[1].alpha[100] = 8.0;
  ASSERT_TRUE(ActivateEditedFilter(1));
  const DigiFilterBlock& run = g_DigiFilters[1];
  EXPECT_EQ(run.MaxCoeff, 3);
  EXPECT_EQ(run.Is_IIR, 1);
  EXPECT_EQ(run.alpha[2], 0.5);
  EXPECT_EQ(run.alpha[100], 8.0);  // the whole record
  for (double z : run.z) ASSERT_EQ(z, 0.0);
  EXPECT_EQ(run.pZ, &run.z[0]);
  EXPECT_EQ(g_EditedDigiFilters[1].z[5], 3.0);  // edited copy untouched

  // Values the executor cannot run reach it limited; the edited copy keeps them.
  struct Case {
    int maxCoeff, cascaded, runMax, runCascaded;
  } cases[] = {{0, 0, 1, 0},  {-7, 0, 1, 0},   {200, 0, 128, 0}, {29, 3, 29, 3},
               {29, 1, 29, 0}, {29, -2, 29, 0}, {5, 7, 5, 0},     {5, 6, 5, 6}};
  for (const Case& c : cases) {
    g_EditedDigiFilters[0] = Fir(1, 1.0);
    g_EditedDigiFilters[0].Is_IIR = 1;
    g_EditedDigiFilters[0].MaxCoeff = c.maxCoeff;
    g_EditedDigiFilters[0].Cascaded = c.cascaded;
    ASSERT_TRUE(ActivateEditedFilter(0));
    EXPECT_EQ(g_DigiFilters[0].MaxCoeff, c.runMax) << c.maxCoeff;
    EXPECT_EQ(g_DigiFilters[0].Cascaded, c.runCascaded) << c.cascaded;
    EXPECT_EQ(g_EditedDigiFilters[0].MaxCoeff, c.maxCoeff);
    EXPECT_EQ(g_EditedDigiFilters[0].Cascaded, c.cascaded);
  }
}

// Channels outside 0..1 and records with non-finite coefficients change nothing.
TEST(FilterHandover, RefusedHandOvers) {
  g_EditedDigiFilters[0] = Fir(4, 0.25);
  ASSERT_TRUE(ActivateEditedFilter(0));
  const DigiFilterBlock before = g_DigiFilters[0];
  EXPECT_FALSE(ActivateEditedFilter(2));
  EXPECT_FALSE(ActivateEditedFilter(-1));
  g_EditedDigiFilters[0] = Fir(4, 0.5);
  g_EditedDigiFilters[0].alpha[3] = NAN;
  EXPECT_FALSE(ActivateEditedFilter(0));
  g_EditedDigiFilters[0].alpha[3] = 0.5;
  g_EditedDigiFilters[0].Is_IIR = 1;
  g_EditedDigiFilters[0].beta[4] = -INFINITY;
  EXPECT_FALSE(ActivateEditedFilter(0));
  EXPECT_EQ(std::memcmp(&g_DigiFilters[0], &before, offsetof(DigiFilterBlock, pZ)), 0);
  // A non-finite value above MaxCoeff is never run and does not block the hand-over.
  g_EditedDigiFilters[0].beta[4] = 0.0;
  g_EditedDigiFilters[0].alpha[90] = NAN;
  EXPECT_TRUE(ActivateEditedFilter(0));
}

// While the audio side runs blocks, a second thread hands two different records over as fast
// as it can. Every block must come entirely from one record (A: 129 taps of 1, B: 65 taps of
// 1000) running from a delay line that was cleared at its hand-over, or be skipped whole.
TEST(FilterHandover, HammeredHandOverNeverTears) {
  const DigiFilterBlock recA = Fir(128, 1.0);
  DigiFilterBlock recB = Fir(64, 1000.0);
  for (int k = 65; k <= 128; ++k) recB.alpha[k] = 3.0;  // present but not part of B
  g_EditedDigiFilters[0] = recA;
  ASSERT_TRUE(ActivateEditedFilter(0));

  constexpr int kHandOvers = 4000;
  std::atomic<bool> done{false};
  std::atomic<long> blocksRun{0};
  std::thread gui([&] {
    for (int i = 0; i < kHandOvers; ++i) {
      g_EditedDigiFilters[0] = (i & 1) ? recA : recB;
      EXPECT_TRUE(ActivateEditedFilter(0));
      // Let at least one block run between two hand-overs, so both records get processed.
      const long seen = blocksRun.load(std::memory_order_acquire);
      while (blocksRun.load(std::memory_order_acquire) == seen) std::this_thread::yield();
    }
    done.store(true, std::memory_order_release);
  });

  constexpr int kN = 200;
  std::vector<double> in(kN, 1.0), out(kN);
  long runA = 0, runB = 0, skipped = 0, bad = 0;
  double lastTap = 0.0;
  long lastCount = 0;
  while (!done.load(std::memory_order_acquire)) {
    for (double& v : out) v = NAN;
    if (!DigiFilter_ProcessRunning(0, in.data(), out.data(), 1.0, kN)) {
      for (double v : out) bad += !std::isnan(v);
      ++skipped;
      continue;
    }
    blocksRun.fetch_add(1, std::memory_order_release);
    // out[i] = tap * (samples in the delay line, capped at the tap count).
    const double tap = out[0] >= 1000.0 ? 1000.0 : 1.0;
    const long cap = tap == 1.0 ? 129 : 65;
    long count = std::lround(out[0] / tap);
    // A block starts fresh (1) or continues the previous block of the same record.
    if (!(count == 1 || (tap == lastTap && count == std::min(lastCount + 1, cap)))) ++bad;
    for (int i = 0; i < kN; ++i) {
      const double expect = tap * static_cast<double>(count);
      if (out[i] != expect) {
        ++bad;
        break;
      }
      count = std::min(count + 1, cap);
    }
    lastTap = tap;
    lastCount = std::lround(out[kN - 1] / tap);
    (tap == 1.0 ? runA : runB)++;
  }
  gui.join();
  EXPECT_EQ(bad, 0);
  EXPECT_GE(runA + runB, kHandOvers);
  EXPECT_GT(runA, kHandOvers / 4);
  EXPECT_GT(runB, kHandOvers / 4);
  RecordProperty("skipped", static_cast<int>(skipped));
}

TEST(FilterHandover, ResetRunningStatesAndPeak) {
  g_EditedDigiFilters[0] = Fir(2, 1.0);
  ASSERT_TRUE(ActivateEditedFilter(0));
  double in[4] = {1, 2, 3, 4}, out[4];
  double peak = -1.0;
  ASSERT_TRUE(DigiFilter_ProcessRunning(0, in, out, 1.0, 4, &peak));
  EXPECT_EQ(out[3], 9.0);  // 4 + 3 + 2
  EXPECT_EQ(peak, DigiFilter_PeakZ(&g_DigiFilters[0]));
  ResetRunningFilterStates();
  for (double z : g_DigiFilters[0].z) ASSERT_EQ(z, 0.0);
  ASSERT_TRUE(DigiFilter_ProcessRunning(0, in, out, 1.0, 1));
  EXPECT_EQ(out[0], 1.0);  // starts from silence again
}

TEST(FilterHandover, ProcessRunningRejectsBadChannel) {
  double in[4] = {1, 1, 1, 1}, out[4] = {5, 5, 5, 5};
  EXPECT_FALSE(DigiFilter_ProcessRunning(2, in, out, 1.0, 4));
  EXPECT_FALSE(DigiFilter_ProcessRunning(-1, in, out, 1.0, 4));
  EXPECT_EQ(out[0], 5.0);
  // While a hand-over holds the channel the filter is skipped.
  g_DigiFilterHandoverLock[1].Lock();
  EXPECT_FALSE(DigiFilter_ProcessRunning(1, in, out, 1.0, 4));
  g_DigiFilterHandoverLock[1].Unlock();
  EXPECT_EQ(out[0], 5.0);
  EXPECT_TRUE(DigiFilter_ProcessRunning(1, in, out, 1.0, 4));
}
