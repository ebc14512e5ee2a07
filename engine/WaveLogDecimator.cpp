#include "engine/WaveLogDecimator.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/BigSampleBuffer.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"

WaveLogDecimator g_WaveLogDecimator[2];
std::atomic<int32_t> g_WaveLogState{0};

namespace {

void ClearBuffers(WaveLogDecimator* d) {
  d->StateA.store(kWaveLogEmpty);
  d->StateB.store(kWaveLogEmpty);
  d->FillA.store(0);
  d->FillB.store(0);
}

// Stores y into buffer `own` (the other one is `other`); a buffer that was empty starts at 0.
// When it reaches the capacity it becomes full and, if the other one is empty, that one starts.
void Put(WaveLogDecimator* d, std::atomic<int32_t>& state, std::atomic<int32_t>& fill,
         int16_t* buffer, std::atomic<int32_t>& otherState, std::atomic<int32_t>& otherFill,
         int16_t y) {
  int f = state.load(std::memory_order_relaxed) == kWaveLogEmpty ? 0 : fill.load();
  if (f < 0) f = 0;
  if (f < kWaveLogBufferSize) buffer[f++] = y;
  fill.store(f);
  if (f >= d->Capacity) {
    state.store(kWaveLogFull, std::memory_order_release);
    if (otherState.load(std::memory_order_acquire) == kWaveLogEmpty) {
      otherFill.store(0);
      otherState.store(kWaveLogFilling, std::memory_order_release);
    }
  } else {
    state.store(kWaveLogFilling, std::memory_order_release);
  }
}

}  // namespace

void ResetWaveLogDecimator(WaveLogDecimator* d) {
  if (!d) return;
  d->Active.store(false);
  d->BlockRate.store(0.0);
  d->AvgSum = 0.0;
  d->AvgCounter = 0;
  d->Ratio = 1;
  d->Capacity = kWaveLogBufferSize;
  ClearBuffers(d);
  PlanDecimationChain(d->Stages, 2, 1);
}

double InitWaveLogDecimator(WaveLogDecimator* d) {
  // The rate of the blocks handed to WaveLogDecimate, not the card's nominal rate: with input
  // decimation they run at a half, a quarter or an eighth of it.
  double sampleRate = g_ProcessingSampleRate;
  if (!(sampleRate > 0.0)) sampleRate = SndConfig.SampleRate;
  if (!d) return sampleRate;
  const bool active = d->Active.exchange(false);
  int ratio = 1;
  if (SndConfig.WaveSaveDownsampled) {
    const double q = sampleRate / std::max(1, SndConfig.WaveSaveSampleRate.load()) + 0.2;
    ratio = q >= 20.0 ? 20 : static_cast<int>(q);  // also keeps huge quotients in range
  }
  ratio = std::clamp(ratio, 1, 20);
  const int product = PlanDecimationChain(d->Stages, 2, ratio);
  if (SndConfig.WaveSaveAntiAlias) ratio = product;
  d->Ratio = ratio;
  d->AvgSum = 0.0;
  d->AvgCounter = 0;
  d->Capacity = kWaveLogBufferSize;
  ClearBuffers(d);
  d->BlockRate.store(sampleRate);
  d->Active.store(active);
  return sampleRate / ratio;
}

double InitWaveLogPassThrough(WaveLogDecimator* d) {
  // The pairs come at the rate ring 0 was last set up for: the card's processing rate live,
  // the file's rate during an off-line analysis, each divided by the ring's decimation.
  double rate;
  double blockRate;
  {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    rate = g_BigBuffers[0].OutputRate;
    blockRate = g_BigBuffers[0].InputRate;
  }
  if (!std::isfinite(rate) || rate <= 0.0) rate = g_ProcessingSampleRate;
  if (!d) return rate;
  const bool active = d->Active.exchange(false);
  d->Ratio = 1;
  PlanDecimationChain(d->Stages, 2, 1);
  d->AvgSum = 0.0;
  d->AvgCounter = 0;
  const double cap = 10.0 * rate;
  int capacity = cap >= kWaveLogBufferSize ? kWaveLogBufferSize : (cap > 0 ? int(cap) : 0);
  capacity = std::clamp(capacity, 512, kWaveLogBufferSize);
  d->Capacity = capacity & ~1;  // whole I/Q pairs per buffer
  ClearBuffers(d);
  d->BlockRate.store(std::isfinite(blockRate) && blockRate > 0.0 ? blockRate : 0.0);
  d->Active.store(active);
  return rate;
}

void WaveLogDecimate(WaveLogDecimator* d, const double* x, int n) {
  if (!d || !x) return;
  if (n > 4096) n = 4096;
  if (n < 1) return;
  if (d->FillA.load() > kWaveLogBufferSize) d->StateA.store(kWaveLogFull);
  if (d->FillB.load() > kWaveLogBufferSize) d->StateB.store(kWaveLogFull);
  if (d->FillA.load() < 0) d->FillA.store(0);
  if (d->FillB.load() < 0) d->FillB.store(0);
  if (d->Ratio < 1) d->Ratio = 1;
  d->Capacity = std::clamp<int32_t>(d->Capacity, 1, kWaveLogBufferSize);
  const bool antiAlias = SndConfig.WaveSaveAntiAlias != 0;
  for (int i = 0; i < n; ++i) {
    double y;
    if (antiAlias) {
      if (!DecimChainStep(d->Stages, 2, x[i], &y)) continue;
    } else {
      d->AvgSum += x[i];
      if (++d->AvgCounter < d->Ratio) continue;
      y = d->AvgSum / d->Ratio;
      d->AvgSum = 0.0;
      d->AvgCounter = 0;
    }
    y = std::clamp(y, -32767.0, 32767.0);
    if (!(y == y)) y = 0.0;
    const auto v = static_cast<int16_t>(y);
    const int a = d->StateA.load(std::memory_order_acquire);
    const int b = d->StateB.load(std::memory_order_acquire);
    if (b != kWaveLogFilling && (a == kWaveLogEmpty || a == kWaveLogFilling))
      Put(d, d->StateA, d->FillA, d->BufferA, d->StateB, d->FillB, v);
    else if (b == kWaveLogEmpty || b == kWaveLogFilling)
      Put(d, d->StateB, d->FillB, d->BufferB, d->StateA, d->FillA, v);
    // else both are full: the sample is dropped until the GUI empties one
  }
}
