#include "mainwin/SpectrumLines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/SndConfig.h"
#include "interp/CliEval.h"
#include "interp/CliSpectrum.h"
#include "interp/ExportSeam.h"
#include "interp/SpectrumAlert.h"
#include "platform/PerfCounter.h"

double g_DbOffsetValue = 0.0;
std::atomic<int64_t> g_SpectrumCalcTime_us{0};
std::atomic<int64_t> g_SpectrumDisplayTime_us{0};
std::atomic<int64_t> g_AlertProcessTime_us{0};

namespace {

constexpr int64_t kRing = kBigBufferSize;
constexpr int64_t kHalfRing = kBigBufferSize / 2;
// Most doubles one write adds to the ring (4,096 I/Q pairs). A reader keeps at least this far
// from the oldest sample still in the ring, since the writer may add a block while it copies.
constexpr int64_t kMaxWriteValues = 2 * kBigBufferMaxWrite;

// The length Cfft makes of a requested one: clamped to 64..65,536, rounded down to a power of 2.
int CfftSizeFor(int length) {
  int n = std::clamp(length, static_cast<int>(Cfft::kMinSize), static_cast<int>(Cfft::kMaxSize));
  int p = Cfft::kMinSize;
  while (p * 2 <= n) p *= 2;
  return p;
}

int64_t TicksToUs(int64_t ticks) {
  const int64_t f = QueryPerformanceFrequency();
  return f > 0 ? static_cast<int64_t>(static_cast<double>(ticks) * 1e6 / static_cast<double>(f))
               : 0;
}

// A larger value replaces the figure at once; a smaller one is merged as (k x old + new) / (k+1).
void MergeTiming(std::atomic<int64_t>& figure, int64_t value, int k) {
  const int64_t old = figure.load(std::memory_order_relaxed);
  figure.store(value > old ? value : (k * old + value) / (k + 1), std::memory_order_relaxed);
}

struct RingGeometry {
  double outputRate;  // samples (pairs) per second leaving the decimation
  double inputRate;
  int ratio;          // the ratio the ring makes
  int askedRatio;     // the ratio it was set up for
  double centre;
};

RingGeometry ReadGeometry(BigSampleBuffer* ring) {
  std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
  return {ring->OutputRate, ring->InputRate, ring->DecimationRatio, ring->AskedRatio,
          ring->MixerCenterFreq};
}

}  // namespace

CSpectrumLineProducer::CSpectrumLineProducer(ISpectrumLineHost* host, BigSampleBuffer* ring)
    : FftInput(kFftMaxLength, 0.0),
      FftOutput(kFftMaxLength, 0),
      AvrgSums(kFftMaxLength, 0),
      m_Host(host ? host : &m_NoHost),
      m_Ring(ring ? ring : &g_BigBuffers[0]) {
  CLI_InitSpectrumBuffer(&CurrentSpectrum);
  FftWindowInUse = SndConfig.WindowFunc;
}

CSpectrumLineProducer::~CSpectrumLineProducer() = default;

void CSpectrumLineProducer::Log(int level, const char* text) { m_Host->Log(level, TimeNow, text); }

int CSpectrumLineProducer::SamplesPerLine() const {
  const double v = std::trunc(SndConfig.WaterScrollTime * 0.001 * EffectiveSampleRate + 0.5);
  if (!(v >= 32.0)) return 32;  // also NaN
  return v > 1e9 ? 1000000000 : static_cast<int>(v);
}

bool CSpectrumLineProducer::IsFastMode() const {
  const double product = static_cast<double>(SndConfig.NrOfSamples) *
                         std::max(1, SndConfig.SampleRateDivisor.load()) *
                         std::max(1, ReadGeometry(m_Ring).ratio);
  return SndConfig.WaterScrollTime < 200 && product <= 4096.0;
}

void CSpectrumLineProducer::SnapDisplayTime(double interval_s) {
  // Snap to a whole multiple of the line interval; a zero grid (not reachable through the
  // settings, which are raised to 10 ms) takes the time itself.
  DisplayTime = interval_s > 0.0 ? TimeNow - std::fmod(TimeNow, interval_s) : TimeNow;
}

void CSpectrumLineProducer::UpdateWaterfallTiming() {
  int wst = SndConfig.WaterScrollTime;
  if (wst < 5) {
    wst = 5;
    SndConfig.WaterScrollTime = 5;
  }
  if (wst >= 100) {
    LinesDue = 1;
  } else {
    uint64_t total = 0;
    double blockTime = 0, newestTime = 0;
    if (!BigBufferGetIndices(m_Ring, &total, &blockTime, &newestTime)) {
      LinesDue = 50;
    } else if (RingReadIndex < 0 || static_cast<uint64_t>(RingReadIndex) > total) {
      // The reader has no position in the current ring (start, re-initialised ring): one pass
      // of the producer takes up the newest position.
      LinesDue = 1;
    } else {
      // The lag is taken from the 64-bit totals, so a reader a whole ring behind is seen as such.
      const int64_t available = static_cast<int64_t>(total) - RingReadIndex;
      if (available > kHalfRing) {
        LinesDue = 50;
      } else {
        const int vps = SndConfig.ComplexFFT ? 2 : 1;
        const int64_t step = static_cast<int64_t>(SamplesPerLine()) * vps;
        double lag = newestTime - TimeNow;
        if (!(lag > 0.0)) lag = 0.0;
        const double reserveD =
            lag / (wst * 0.001) * static_cast<double>(step) + SndConfig.NrOfSamples * vps;
        const int64_t reserve = reserveD > 1e15 ? int64_t{1000000000000000}
                                                : static_cast<int64_t>(reserveD);
        if (available <= reserve)
          LinesDue = 0;
        else
          LinesDue = static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(
                                                                (available - reserve) / step,
                                                                kHalfRing)));
      }
    }
  }
  if (LinesDue > 0 && ProcessSpectra(LinesDue) && AlertSettings.Enable) {
    const int64_t t0 = QueryPerformanceCounter();
    FeedSpectrumAlert();
    MergeTiming(g_AlertProcessTime_us, TicksToUs(QueryPerformanceCounter() - t0), 15);
  }
}

bool CSpectrumLineProducer::ReadRingFast(int n, int64_t* available, int stepValues,
                                         double blockTime, double ringRate, double* lineTime) {
  if (static_cast<int64_t>(n) + stepValues > *available) return false;
  int pos = static_cast<int>(RingReadIndex % kRing);
  double* dst = FftInput.data();
  for (int i = 0; i < n; ++i) {
    dst[i] = std::atomic_ref<double>(m_Ring->Ring[pos]).load(std::memory_order_relaxed);
    if (++pos >= kRing) pos = 0;
  }
  *lineTime = ringRate > 0.0 ? blockTime - static_cast<double>(*available) / ringRate : blockTime;
  *available -= stepValues;
  RingReadIndex += stepValues;
  return true;
}

void CSpectrumLineProducer::PublishLine() {
  std::memcpy(&g_LatestSpectrum, &CurrentSpectrum, sizeof(SpectrumBuffer));
  StoreSpectrumInHistory(&g_LatestSpectrum);
  UpdateUserDbOffset(false);
  g_LatestSpectrum.scale_offset = g_DbOffsetValue;
  if (g_ExportActive) Export_OnSpectrum();
  ++LinesMade;
}

bool CSpectrumLineProducer::ProcessSpectra(int maxLines) {
  uint64_t total = 0;
  double blockTime = 0, newestTime = 0;
  BigBufferGetIndices(m_Ring, &total, &blockTime, &newestTime);
  if (total == m_LastTotal && blockTime != m_LastBlockTime) {
    m_LastBlockTime = blockTime;
    return false;
  }
  m_LastTotal = total;
  m_LastBlockTime = blockTime;

  int wst = SndConfig.WaterScrollTime;
  if (wst < 10) {
    wst = 10;
    SndConfig.WaterScrollTime = 10;
  }
  const double interval = wst * 0.001;
  const bool complex = SndConfig.ComplexFFT != 0;
  if (complex && SndConfig.NrOfSamples > kFftMaxComplexLength)
    SndConfig.NrOfSamples = kFftMaxComplexLength;
  const int vps = complex ? 2 : 1;  // doubles per sample
  const int stepValues = SamplesPerLine() * vps;
  const bool fast = IsFastMode();
  const RingGeometry geo = ReadGeometry(m_Ring);
  const double ringRate = geo.outputRate * vps;  // doubles per second

  int64_t available = 0;
  bool acquisitionWanted = WaitFullResolution;
  if (fast) {
    // Positions are counts of doubles since the ring's last reset. A position beyond the count
    // (the ring was reset) or so far behind that the writer may already have overwritten what
    // it points at resynchronises the reader to the newest samples.
    const int64_t t = static_cast<int64_t>(total);
    if (RingReadIndex < 0) {
      RingReadIndex = t;
    } else if (RingReadIndex > t || t - RingReadIndex > kRing - kMaxWriteValues) {
      Log(10, "Lost waterfall synchronisation (3).");
      RingReadIndex = t;
    }
    // I/Q pairs start at even positions; an odd one would swap I and Q.
    if (complex) RingReadIndex &= ~int64_t{1};
    available = t - RingReadIndex;
    if (geo.outputRate >= 1.0) {
      LineTime = blockTime - static_cast<double>(available) / ringRate;
      if (DisplayTime < LineTime) DisplayTime = LineTime;
    }
  } else if (SndConfig.NrOfSamples >= 32768) {
    maxLines = 1;
    RingReadIndex = -1;
  }

  if (DisplayTime < TimeNow - wst * 0.002 - 2.0) SnapDisplayTime(interval);

  const bool averaging = SndConfig.WaterfallAveraging && !fast && wst > 2000;
  const int64_t t0 = QueryPerformanceCounter();
  int attempted = 0, lines = 0, ffts = 0;
  bool obtained = true;
  int n = 0;
  double lineStamp = LineTime;
  while (attempted < maxLines && obtained) {
    ++attempted;
    obtained = false;
    FftLength = std::clamp(SndConfig.NrOfSamples.load(), static_cast<int>(Cfft::kMinSize),
                           complex ? kFftMaxComplexLength : kFftMaxLength);
    n = FftLength * vps;
    if (fast) {
      if (ReadRingFast(n, &available, stepValues, blockTime, ringRate, &lineStamp)) {
        obtained = true;
        acquisitionWanted = false;
      }
    } else {
      double d = LineTime - TimeNow;
      if (d > wst * 0.002) {
        Log(10, "Lost waterfall synchronisation (1).");
        LineTime = TimeNow;
        RingReadIndex = -1;
        d = -1.0;
      }
      if (d < 0.0) {
        for (;;) {
          const int64_t r = BigBufferRead(m_Ring, n, RingReadIndex, FftInput.data());
          if (r >= 0) {
            lineStamp = blockTime;
            RingReadIndex = r + stepValues;
            obtained = true;
            break;
          }
          FftLength /= 2;
          n = FftLength * vps;
          maxLines = 0;
          if (FftLength < 512) break;
        }
      }
    }

    m_Host->CheckWaveInput();

    if (obtained) InitFFT(FftLength);
    if (obtained && SndConfig.SpectrumOn && FftObject) {
      FftObject->CalcSpectrum(FftInput.data(), 100.0, FftRestart ? 0 : SndConfig.Average.load(),
                              SndConfig.LogSpectrum != 0, FftOutput.data());
      FftRestart = false;
      ++ffts;
      ++FftsRun;
      if (!averaging) {
        BuildSpectrumLine(lineStamp, EffectiveSampleRate);
        PublishLine();
        ++lines;
        DisplayTime += interval;
        LineTime = DisplayTime;
      } else {
        double rate = geo.outputRate;
        double step = rate > 0.0 ? FftLength / rate : static_cast<double>(FftLength / 11025);
        if (!complex) step *= 0.5;
        step = std::min(std::max(step, 0.2), wst * 0.0005);
        LineTime += step;
        AccumulateSpectrum();
        const double due = DisplayTime - TimeNow;
        if (due < 0.0 || due > wst * 0.002) {
          if (AvrgCount != m_ShownAvrgCount) {
            m_ShownAvrgCount = AvrgCount;
            m_Host->ShowAvrgCount(AvrgCount);
          }
          const int shown = AvrgCount;
          FinishSpectrumAverage();
          BuildSpectrumLine(lineStamp, EffectiveSampleRate);
          CurrentSpectrum.avrg_count = shown;
          PublishLine();
          ++lines;
          DisplayTime += interval;
        }
      }
    }
    if (DisplayTime > TimeNow + interval) {
      DisplayTime = TimeNow + interval;
      Log(10, "Lost waterfall synchronisation (2).");
    }
    if (!fast) {
      if (LineTime < TimeNow) LineTime = TimeNow;
      if (DisplayTime < TimeNow - 2.0) SnapDisplayTime(interval);
      break;  // time-positioned mode makes at most one pass
    }
  }
  const int64_t t1 = QueryPerformanceCounter();
  if (ffts > 0 && SndConfig.SpectrumOn)
    MergeTiming(g_SpectrumCalcTime_us, TicksToUs(t1 - t0) / ffts, 3);

  if (SndConfig.SpectrumOn) {
    if (ffts > 0) {
      const bool live = m_Host->IsLiveView();
      const int style = SndConfig.SpectrumStyleNPos;
      if (live && style != 0 && (lines > 0 || TimeNow >= NextGraphRefresh)) {
        NextGraphRefresh = TimeNow + 1.0;
        if (lines == 0) BuildSpectrumLine(lineStamp, EffectiveSampleRate);
        const SpectrumBuffer* shown = &g_LatestSpectrum;
        if (SndConfig.SpectrumRefSubtract) {
          CLI_SubtractRefSpectrum(&g_LatestSpectrum, &g_DiffSpectrum);
          shown = &g_DiffSpectrum;
        }
        m_Host->DrawSpectrumGraph(shown, averaging ? &CurrentSpectrum : nullptr);
      }
      if (live && lines > 0 && style != 3) m_Host->DrawWaterfall(lines, &CurrentSpectrum);
      if (lines > 0) {
        const int64_t us = TicksToUs(QueryPerformanceCounter() - t1) / lines;
        g_SpectrumDisplayTime_us = (15 * g_SpectrumDisplayTime_us.load() + us) / 16;
      }
    } else if (acquisitionWanted && StatusOwner == STATUS_NONE) {
      StatusOwner = STATUS_RESOLUTION;
      m_Host->SetProgressText("Acquiring samples..");
    }
  }

  if (fast && lines > 0 && SndConfig.SpectrumOn) {
    const int64_t margin = std::clamp<int64_t>((static_cast<int64_t>(n) + stepValues) * 2, 4096,
                                               kHalfRing);
    if (available >= margin) {
      LinesDue = static_cast<int>(
          std::min<int64_t>(100, LinesDue + (available - margin) / 1024 + 1));
    } else {
      const int target = wst <= 1 ? 1 : (kMainTimerInterval_ms + wst / 2) / wst;
      if (LinesDue > target) {
        LinesDue -= (LinesDue - target) / 4;
        if (LinesDue > target) LinesDue -= 1;
      }
      if (LinesDue < 2) LinesDue = 2;
    }
  }
  return lines > 0;
}

void CSpectrumLineProducer::InitFFT(int length) {
  const bool complex = SndConfig.ComplexFFT != 0;
  if (complex) {
    if (SndConfig.NrOfSamples > kFftMaxComplexLength) SndConfig.NrOfSamples = kFftMaxComplexLength;
    if (length > kFftMaxComplexLength) length = kFftMaxComplexLength;
  }
  const int window = SndConfig.WindowFunc;
  const int size = CfftSizeFor(length);
  if (FftObject && (FftObject->GetSize() != size || FftObject->IsComplex() != complex ||
                    FftWindowInUse != window)) {
    if (FftObject->IsComplex() != complex) {
      // The ring must change between real samples and I/Q pairs (and may make another ratio of
      // the one it was set up for).
      const RingGeometry geo = ReadGeometry(m_Ring);
      InitBigBufferDecimation(m_Ring, geo.inputRate, geo.askedRatio, m_Host->DisplayCenterFreq());
      m_Host->RingWasReset();
      FftRestart = true;
      AvrgCount = 0;
      RingReadIndex = -1;
    }
    FftObject.reset();
  }
  if (!FftObject) {
    FftWindowInUse = window;
    FftObject = std::make_unique<Cfft>(length, complex, window);
    FftLength = FftObject->GetSize();
    FftRestart = true;
    AvrgCount = 0;
    const int full = CfftSizeFor(SndConfig.NrOfSamples);
    if (FftLength < full && StatusOwner != STATUS_AUDIO_ERROR) {
      StatusOwner = STATUS_RESOLUTION;
      char text[40];
      std::snprintf(text, sizeof text, "%d%% Resolution",
                    static_cast<int>(static_cast<int64_t>(FftLength) * 100 / full));
      m_Host->SetProgressText(text);
    }
  }
  if (FftLength >= CfftSizeFor(SndConfig.NrOfSamples) &&
      (WaitFullResolution || StatusOwner == STATUS_RESOLUTION)) {
    // The growing FFT has reached its size: the button is free again and says how the audio
    // thread runs ("Running", or on the loop-back device in place of a missing sound device).
    // A text of another owner (a recording, an alarm, an audio error) stays.
    WaitFullResolution = false;
    if (StatusOwner == STATUS_RESOLUTION || StatusOwner == STATUS_NONE) {
      StatusOwner = STATUS_NONE;
      m_Host->ShowIdleStatus();
    }
  }
  SeenRingResets = m_Host->RingResetCount();
}

void CSpectrumLineProducer::BuildSpectrumLine(double time, double rate) {
  if (FftLength < 4) FftLength = 4;
  const int bins = std::min(FftLength / 2 - 1, SPECTRUM_MAX_BINS - 1) + 1;
  const bool complex = FftObject ? FftObject->IsComplex() : SndConfig.ComplexFFT != 0;
  const bool db = SndConfig.LogSpectrum != 0;
  SpectrumBuffer& s = CurrentSpectrum;
  s.structSize = SPECTRUM_BUFFER_SIZE;
  s.time = time;
  s.bin_width_hz = rate / FftLength;
  s.offset_hz = complex ? ReadGeometry(m_Ring).centre - rate * 0.25 : 0.0;
  s.nr_of_bins = bins;
  s.scale_unit = db ? SPECTRUM_UNIT_DB : SPECTRUM_UNIT_LINEAR;
  s.scale_factor = db ? 0.01 : 1.0 / 32767.0;
  s.scale_offset = db ? g_DbOffsetValue : 0.0;
  s.avrg_count = 1;
  const int* in = FftOutput.data();
  for (int i = 0; i < bins; ++i) s.bins[i] = static_cast<int16_t>(std::clamp(in[i], -32768, 32767));
}

void CSpectrumLineProducer::AccumulateSpectrum() {
  const int bins = std::min(FftLength / 2 - 1, SPECTRUM_MAX_BINS - 1) + 1;
  if (AvrgCount <= 0) {
    std::copy(FftOutput.begin(), FftOutput.begin() + bins, AvrgSums.begin());
    AvrgCount = 0;
  } else {
    // Sums of at most a few thousand values of at most 2^31 / 2^16 each cannot overflow in
    // practice; saturate anyway so a pathological count never wraps.
    for (int i = 0; i < bins; ++i) {
      const int64_t v = static_cast<int64_t>(AvrgSums[i]) + FftOutput[i];
      AvrgSums[i] = static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    }
  }
  ++AvrgCount;
}

void CSpectrumLineProducer::FinishSpectrumAverage() {
  const int bins = std::min(FftLength / 2 - 1, SPECTRUM_MAX_BINS - 1) + 1;
  if (AvrgCount > 0)
    for (int i = 0; i < bins; ++i) FftOutput[i] = AvrgSums[i] / AvrgCount;
  AvrgCount = 0;
}

void CSpectrumLineProducer::StoreSpectrumInHistory(const SpectrumBuffer* line) {
  History.Store(line);
}

void CSpectrumLineProducer::UpdateUserDbOffset(bool force) {
  if (!force && TimeNow >= m_LastDbOffsetEval && TimeNow <= m_LastDbOffsetEval + 1.0) return;
  m_LastDbOffsetEval = TimeNow;
  const double v = CLI_CalcExpression(4, SndConfig.UserDbOffset, g_DbOffsetValue);
  g_DbOffsetValue = (v >= -200.0 && v <= 200.0) ? v : 0.0;
}

void CSpectrumLineProducer::FeedSpectrumAlert() {
  const double limits[4] = {AlertSettings.RangeA_Fmin, AlertSettings.RangeA_Fmax,
                            AlertSettings.RangeB_Fmin, AlertSettings.RangeB_Fmax};
  double fmin = limits[0], fmax = limits[0];
  for (double f : limits) {
    fmin = std::min(fmin, f);
    fmax = std::max(fmax, f);
  }
  const bool valid = FftLength > 0 && EffectiveSampleRate > 0.0;
  const SpectrumBuffer& s = g_LatestSpectrum;
  // Bin i of the line stands for offset_hz + i x width (offset_hz is non-zero for a complex
  // FFT). The span fed is clamped to the line's meaningful bins.
  const double offset = valid ? s.offset_hz : 0.0;
  double width = 1.0;
  if (valid) {
    width = EffectiveSampleRate / FftLength;
    const bool complex = FftObject ? FftObject->IsComplex() : SndConfig.ComplexFFT != 0;
    const double top = complex ? offset + EffectiveSampleRate * 0.5 : EffectiveSampleRate * 0.5;
    if (fmax > top) fmax = top;
  }
  if (!std::isfinite(fmin) || !std::isfinite(fmax) || !(width > 0.0)) return;
  const double countD = std::trunc((fmax - fmin) / width + 1.0);
  const double firstD = std::trunc((fmin - offset) / width);
  if (!(countD >= 4.0) || !std::isfinite(firstD)) return;
  int64_t count = static_cast<int64_t>(std::min(countD, 1e9));
  int64_t first = static_cast<int64_t>(std::clamp(firstD, -1e9, 1e9));
  count = std::min<int64_t>({count, FftLength, ALERT_MAX_BINS});
  if (first < 0) {
    count += first;
    first = 0;
  }
  const int64_t binsInLine = std::clamp(s.nr_of_bins, 0, SPECTRUM_MAX_BINS);
  if (first + count > binsInLine) count = binsInLine - first;
  if (count < 4) return;
  AlertSpectrum& in = g_AlertInputSpectrum;
  for (int64_t i = 0; i < count; ++i) in.Bins[i] = s.bins[first + i] * s.scale_factor;
  in.NrOfBins = static_cast<int32_t>(count);
  in.BinWidthHz = width;
  in.FirstBinHz = offset + first * width;
  if (valid) Alert_ProcessSpectrum();
}
