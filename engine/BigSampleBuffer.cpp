#include "engine/BigSampleBuffer.h"

#include <atomic>
#include <cmath>
#include <mutex>

#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/WaveLogDecimator.h"
#include "platform/PerfCounter.h"

BigSampleBuffer g_BigBuffers[2];
CCriticalSection g_BigBufferLock;

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Ring elements are shared with readers that copy behind the write position; relaxed atomic
// accesses keep that free of data races (plain moves on x86-64). TotalCount publishes them.
inline void Put(BigSampleBuffer* b, int pos, double v) {
  std::atomic_ref<double>(b->Ring[pos]).store(v, std::memory_order_relaxed);
}
inline double Get(BigSampleBuffer* b, int pos) {
  return std::atomic_ref<double>(b->Ring[pos]).load(std::memory_order_relaxed);
}

}  // namespace

void ClearBigBuffer(BigSampleBuffer* b, double rate, double centreFreq) {
  if (!b) return;
  std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
  for (int i = 0; i < kBigBufferSize; ++i) Put(b, i, 0.0);
  b->LastBlockTime = 0.0;
  b->TotalCount.store(0, std::memory_order_release);
  b->NewestTime = 0.0;
  b->FeedSource.store(0);
  b->LastAdded = kBigBufferMaxWrite;
  b->IsComplex.store(false);
  b->InputRate = rate;
  b->AskedRatio = 1;
  b->ThroughStages = false;
  b->DecimationRatio = 1;
  b->OutputRate = rate;
  b->MixerCenterFreq = centreFreq;
  b->MixerPhase = 0.0;
  b->AvgCounter = 0;
  b->AvgSum = 0.0;
  PlanDecimationChain(b->Stages, 8, 1);
}

namespace {

int ClampRatio(int ratio) {
  return ratio < 1 ? 1 : (ratio > kBigBufferMaxRatio ? kBigBufferMaxRatio : ratio);
}

// Plans the stages for the ring's asked ratio and states the ratio and rate of the samples it
// keeps: I/Q pairs always run through the stages, real samples only with the anti-alias option
// (else they are averaged over the asked ratio). Called under g_BigBufferLock.
void StateRatio(BigSampleBuffer* b, bool complex, bool antiAlias) {
  const int product = PlanDecimationChain(b->Stages, 8, b->AskedRatio);
  b->ThroughStages = complex || antiAlias;
  b->DecimationRatio = b->ThroughStages ? product : b->AskedRatio;
  b->OutputRate = b->InputRate / b->DecimationRatio;
  b->AvgSum = 0.0;
  b->AvgCounter = 0;
}

}  // namespace

int RealisedDecimationRatio(int ratio, bool complex, bool antiAlias) {
  ratio = ClampRatio(ratio);
  if (!complex && !antiAlias) return ratio;
  DecimStage stages[8];
  return PlanDecimationChain(stages, 8, ratio);
}

void InitBigBufferDecimation(BigSampleBuffer* b, double inputRate, int ratio, double centreFreq) {
  if (!b) return;
  // The writer holds the same lock for a whole write, so it never sees a half-set-up ring.
  std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
  const int32_t feed = b->FeedSource.exchange(0);
  b->InputRate = inputRate;
  b->MixerCenterFreq = centreFreq;
  b->AskedRatio = ClampRatio(ratio);
  const bool complex = SndConfig.ComplexFFT != 0;
  StateRatio(b, complex, SndConfig.FftInputAntiAlias != 0);
  b->MixerPhase = 0.0;
  b->LastBlockTime = 0.0;
  b->TotalCount.store(0, std::memory_order_release);
  b->IsComplex.store(complex);
  b->FeedSource.store(feed);
}

double GetDecimatedSampleRate(BigSampleBuffer* b) {
  double rate = g_ProcessingSampleRate;
  if (!b) return rate;
  std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
  for (const auto& s : b->Stages)
    if (s.Factor > 1) rate /= s.Factor;
  return rate;
}

void BigBufferWrite(BigSampleBuffer* b, bool mixToComplex, bool complexMode, double blockTime,
                    const double* x, int n) {
  if (!b || !x) return;
  if (n > kBigBufferMaxWrite) n = kBigBufferMaxWrite;
  if (n < 1) return;
  std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
  const double now = PerfCounterToUnixTime(QueryPerformanceCounter());
  b->NewestTime = b->InputRate > 0 ? now + n / b->InputRate : now;

  uint64_t total = b->TotalCount.load(std::memory_order_relaxed);
  int pos = static_cast<int>(total % kBigBufferSize);
  const bool antiAlias = SndConfig.FftInputAntiAlias != 0;
  if (complexMode != b->IsComplex.load() || (complexMode || antiAlias) != b->ThroughStages) {
    // The samples change their kind or the way they are decimated before the ring is set up
    // anew: the ring restarts with the ratio and rate of what comes now.
    b->IsComplex.store(complexMode);
    StateRatio(b, complexMode, antiAlias);
    pos = 0;
    total = 0;
    b->TotalCount.store(0, std::memory_order_release);
  }
  int added = 0;
  auto publish = [&] { b->TotalCount.store(total, std::memory_order_release); };

  if (complexMode) {
    // The ring keeps each pair as its mixer makes it, I = x cos, Q = x sin: a tone d Hz above the
    // centre becomes I + jQ = exp(-j 2 pi d t), the conjugate of the usual I/Q, which Cfft
    // transforms accordingly. Pairs from a file and pairs for the I/Q recording follow the usual
    // convention (left = I, right = Q, a tone above the centre at +d Hz): their Q changes sign on
    // the way in and on the way out, so a recording analysed again shows what was seen live.
    // A pair always starts at an even position (the ring length is even).
    if (pos & 1) pos &= ~1;
    const double step = b->InputRate > 0 ? kTwoPi / b->InputRate * b->MixerCenterFreq : 0.0;
    WaveLogDecimator* log = &g_WaveLogDecimator[0];
    const bool logPairs = g_WaveLogState.load(std::memory_order_relaxed) == 3 &&
                          log->Active.load(std::memory_order_acquire);
    const int steps = mixToComplex ? n : n / 2;  // an odd last value has no partner
    double phase = b->MixerPhase;
    for (int i = 0; i < steps; ++i) {
      double re, im;
      if (mixToComplex) {
        re = std::cos(phase) * x[i];
        im = std::sin(phase) * x[i];
        phase += step;
        if (phase >= kTwoPi || phase < 0.0) phase -= std::floor(phase / kTwoPi) * kTwoPi;
      } else {
        re = x[2 * i];
        im = -x[2 * i + 1];  // usual I/Q in, the ring's conjugate pairs kept
      }
      double yr, yi;
      if (!DecimChainStepComplex(b->Stages, 8, re, im, &yr, &yi)) continue;
      Put(b, pos, yr);
      Put(b, pos + 1, yi);
      total += 2;
      publish();
      pos += 2;
      if (pos >= kBigBufferSize) pos = 0;
      added += 2;
      if (logPairs) {
        const double pair[2] = {yr, -yi};  // the file gets the usual I/Q
        WaveLogDecimate(log, pair, 2);
      }
    }
    b->MixerPhase = std::isfinite(phase) ? phase : 0.0;
  } else if (b->DecimationRatio <= 1) {
    for (int i = 0; i < n; ++i) {
      Put(b, pos, x[i]);
      if (++pos >= kBigBufferSize) pos = 0;
    }
    total += n;
    publish();
    added = n;
  } else if (!b->ThroughStages) {
    const int ratio = b->DecimationRatio;
    for (int i = 0; i < n; ++i) {
      b->AvgSum += x[i];
      if (++b->AvgCounter < ratio) continue;
      Put(b, pos, b->AvgSum / ratio);
      ++total;
      publish();
      if (++pos >= kBigBufferSize) pos = 0;
      b->AvgCounter = 0;
      b->AvgSum = 0.0;
      ++added;
    }
  } else {
    for (int i = 0; i < n; ++i) {
      double y;
      if (!DecimChainStep(b->Stages, 8, x[i], &y)) continue;
      Put(b, pos, y);
      ++total;
      publish();
      if (++pos >= kBigBufferSize) pos = 0;
      ++added;
    }
  }
  b->LastAdded = added;
  b->LastBlockTime = blockTime;
}

bool BigBufferGetIndices(BigSampleBuffer* b, uint64_t* totalCount, double* lastBlockTime,
                         double* newestTime) {
  if (!b) return false;
  std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
  if (totalCount) *totalCount = b->TotalCount.load(std::memory_order_acquire);
  if (lastBlockTime) *lastBlockTime = b->LastBlockTime;
  if (newestTime) *newestTime = b->NewestTime;
  return true;
}

int64_t BigBufferRead(BigSampleBuffer* b, int n, int64_t wantedStart, double* dest) {
  if (!b || !dest) return -1;
  const uint64_t total = b->TotalCount.load(std::memory_order_acquire);
  if (n < 1 || n > kBigBufferSize || static_cast<uint64_t>(n) > total) return -1;
  const bool complex = b->IsComplex.load();
  constexpr int64_t R = kBigBufferSize;
  int64_t start = static_cast<int64_t>(total % R) - (complex ? 2 : 1) - n;
  start = ((start % R) + R) % R;
  if (wantedStart >= 0) {
    wantedStart %= R;
    int64_t d = start - wantedStart;
    if (d > R / 2) d -= R;
    if (d < -R / 2) d += R;
    if (d >= 0 && d <= 8192)
      start = wantedStart;
    else if (d > 8192 && d <= 12288)
      start = (wantedStart + (d - 8192) / 8) % R;
  }
  // I/Q pairs start at even indices; an odd start would swap I and Q.
  if (complex) start &= ~int64_t{1};
  int pos = static_cast<int>(start);
  for (int i = 0; i < n; ++i) {
    dest[i] = Get(b, pos);
    if (++pos >= kBigBufferSize) pos = 0;
  }
  return start;
}
