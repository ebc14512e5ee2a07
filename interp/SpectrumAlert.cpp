// The spectrum alert engine: smoothing, range statistics, search pattern and its match curve,
// the alarm decision, the command and the siren.
#include "interp/SpectrumAlert.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/PortIO.h"
#include "interp/CliCommands.h"
#include "interp/CliSpectrum.h"

TAlertSettings AlertSettings;
AlertSpectrum g_AlertInputSpectrum;
AlertSpectrum g_AlertAvgSpectrum;
int32_t g_AlertAvgLineCount = 0;
AlertRangeResult g_AlertRangeA;
AlertRangeResult g_AlertRangeB;
double g_AlertSearchPattern[ALERT_PATTERN_POINTS];
AlertScaledPattern g_AlertScaledPattern;
double g_AlertPatternMatch[ALERT_MAX_BINS];
AlertPeakCounter g_AlertPeakTable[ALERT_MAX_BINS];
uint8_t g_AlertActive = 0;
uint8_t g_AlertAcknowledged = 0;
uint8_t g_AlertPrevious = 0;
int32_t g_AlertSirenHz = 0;
std::string g_AlertMessage;

namespace {

// Siren: each step raises the tone by kSirenStepHz; past kSirenTopHz it starts again at
// kSirenWrapHz.
constexpr int kSirenStepHz = 50;
constexpr int kSirenTopHz = 1200;
constexpr int kSirenWrapHz = 500;
constexpr int16_t kCounterMax = 200;
constexpr int16_t kCounterMin = -10;

// v truncated toward zero and limited to lo..hi; a value that is not a number gives lo. The
// limits are applied before the conversion, so no value is out of the integer's range.
int32_t TruncLimited(double v, int32_t lo, int32_t hi)
{
  if (!(v > lo)) return lo;  // also NaN
  if (!(v < hi)) return hi;
  return static_cast<int32_t>(v);
}

// The bin of a range's first frequency: that frequency came from Alert_BinToFreq, so it lies on
// a bin; rounding keeps a last-digit error of the division from moving it to the bin below.
int32_t BinOfRangeStart(double fminHz)
{
  const AlertSpectrum& in = g_AlertInputSpectrum;
  if (!(in.BinWidthHz > 0.0)) return 0;
  return TruncLimited(std::floor((fminHz - in.FirstBinHz) / in.BinWidthHz + 0.5), 0,
                      std::max(in.NrOfBins - 1, 0));
}

void EvaluateRange(double fmin, double fmax, double requiredDiff, AlertRangeResult* r,
                   bool patternMatch)
{
  const int32_t first = Alert_FreqToBin(fmin);
  const int32_t last = Alert_FreqToBin(fmax);
  r->FminHz = Alert_BinToFreq(first);
  r->FmaxHz = Alert_BinToFreq(last);
  r->RequiredDiff = requiredDiff;
  Alert_RangeStatistics(g_AlertAvgSpectrum.Bins + first, last - first + 1, r);
  Alert_CalcPercentage(r);
  if (patternMatch) Alert_PatternMatch(first, last);
}

}  // namespace

void Alert_SetDefaults()
{
  std::memset(&AlertSettings, 0, sizeof(AlertSettings));
  AlertSettings.Enable = 0;
  AlertSettings.Visualize = 1;
  AlertSettings.PlotOptions = 0;
  AlertSettings.MethodCompareRanges = 1;
  AlertSettings.Averaging = 10.0;
  AlertSettings.RangeA_Fmin = 500.0;
  AlertSettings.RangeA_Fmax = 550.0;
  AlertSettings.RangeB_Fmin = 645.0;
  AlertSettings.RangeB_Fmax = 700.0;
  AlertSettings.AvrgDiffMin = 3.0;
  AlertSettings.PeakADiffMin = 10.0;
  AlertSettings.PeakBDiffMin = 10.0;
  AlertSettings.SearchPatternType = 1;
  AlertSettings.SearchPatternBWidth = 20.0;
  AlertSettings.MinSecondsToAlert = 30;
  std::strcpy(AlertSettings.OsCommandLine, "WakeMeUp.EXE");
}

void Alert_Reset()
{
  g_AlertActive = g_AlertAcknowledged = g_AlertPrevious = 0;
  g_AlertAvgSpectrum.NrOfBins = 0;
  g_AlertAvgSpectrum.BinWidthHz = 0.0;
  g_AlertAvgSpectrum.FirstBinHz = 0.0;
  g_AlertAvgLineCount = 0;
  g_AlertScaledPattern.BinWidthHz = 0.0;
  g_AlertScaledPattern.Mean = 0.0;
  g_AlertScaledPattern.Count = 0;
}

int32_t Alert_FreqToBin(double hz)
{
  const AlertSpectrum& in = g_AlertInputSpectrum;
  if (!(hz > in.FirstBinHz) || !(in.BinWidthHz > 0.0)) return 0;
  return TruncLimited(std::floor((hz - in.FirstBinHz) / in.BinWidthHz), 0,
                      std::max(in.NrOfBins - 1, 0));
}

double Alert_BinToFreq(int32_t bin)
{
  const AlertSpectrum& in = g_AlertInputSpectrum;
  bin = std::clamp(bin, 0, std::max(in.NrOfBins - 1, 0));
  return bin * in.BinWidthHz + in.FirstBinHz;
}

void Alert_RangeStatistics(const double* bins, int32_t n, AlertRangeResult* r)
{
  if (n < 4 || n > ALERT_MAX_BINS) return;
  std::vector<TSortItem> items(static_cast<size_t>(n));
  double sum = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    items[i].value = bins[i];
    items[i].index = i;
    sum += bins[i];
  }
  r->Average = sum / n;
  SortByValue(items.data(), n, 0);
  r->Noise = items[n / 4].value + 3.0;
  r->Peak = items[n - 1].value;
  r->PeakIndex = items[n - 1].index;
  r->PeakFreqHz = (r->PeakIndex + BinOfRangeStart(r->FminHz)) * g_AlertInputSpectrum.BinWidthHz +
                  g_AlertInputSpectrum.FirstBinHz;
}

void Alert_CalcPercentage(AlertRangeResult* r)
{
  r->Percentage = r->RequiredDiff > 0.0 ? (r->Peak - r->Noise) * 100.0 / r->RequiredDiff : 0.0;
}

void Alert_CalcSearchPattern()
{
  const int type = AlertSettings.SearchPatternType;
  if (type != ALERT_PATTERN_USER) {
    for (int i = 0; i < ALERT_PATTERN_POINTS; ++i) {
      const double x = i / 99.0;
      double v;
      switch (type) {
        case 0: v = (x > 0.45 && x < 0.55) ? 1.0 : 0.0; break;
        case 1: v = std::exp(-100.0 * (x - 0.5) * (x - 0.5)); break;
        case 2: v = std::exp(-20.0 * (x - 0.5) * (x - 0.5)); break;
        case 3: v = (x > 0.25 && x < 0.75) ? 1.0 : 0.0; break;
        case 4: v = (x > 0.1 && x < 0.9) ? 1.0 : 0.0; break;
        default: v = x; break;
      }
      g_AlertSearchPattern[i] = std::clamp(v, 0.0, 1.0);
    }
  }
  g_AlertScaledPattern.BinWidthHz = 0.0;
  g_AlertScaledPattern.Mean = 0.0;
}

void Alert_ScalePatternToBins()
{
  AlertScaledPattern& sp = g_AlertScaledPattern;
  const double width = g_AlertAvgSpectrum.BinWidthHz;
  const double bandwidth = AlertSettings.SearchPatternBWidth;
  sp.Count = 0;
  sp.Mean = 0.0;
  // Pattern points per bin; a bandwidth that is not a positive number leaves the pattern empty
  // (every score then 0).
  const double s = (bandwidth > 0.0 && std::isfinite(bandwidth)) ? width * 100.0 / bandwidth : NAN;
  if (std::isfinite(s)) {
    for (int i = 0; i < ALERT_PATTERN_POINTS && sp.Count < ALERT_PATTERN_POINTS; ++i) {
      // Pattern point k = trunc(p + 0.5) with p = (i - 50) x s + 50, used when 0 <= k < 100.
      const double v = (i - 50) * s + 50.0 + 0.5;
      if (!(v > -1.0 && v < ALERT_PATTERN_POINTS)) continue;
      const int k = static_cast<int>(v);
      sp.Values[sp.Count++] = g_AlertSearchPattern[k];
      sp.Mean += g_AlertSearchPattern[k];
    }
  }
  sp.BinWidthHz = width;
  if (sp.Count > 0) sp.Mean /= sp.Count;
}

void Alert_PatternMatch(int32_t first, int32_t last)
{
  if (first < 1) first = 1;
  if (first > last) return;
  if (last >= ALERT_MAX_BINS) last = ALERT_MAX_BINS - 1;
  const AlertSpectrum& avg = g_AlertAvgSpectrum;
  AlertScaledPattern& sp = g_AlertScaledPattern;
  if (sp.BinWidthHz != avg.BinWidthHz) Alert_ScalePatternToBins();
  sp.Count = std::clamp(sp.Count, 0, ALERT_PATTERN_POINTS);
  // The window reads only bins of the current smoothed spectrum; the rest counts as outside.
  const int32_t nBins = std::clamp(avg.NrOfBins, 0, ALERT_MAX_BINS);
  const int count = sp.Count;
  for (int32_t i = first; i < last; ++i) {
    const int32_t start = i - count / 2;
    double sum = 0.0;
    int n = 0;
    for (int k = 0; k < count; ++k) {
      const int32_t bin = start + k;
      if (bin < 0 || bin >= nBins) continue;
      sum += avg.Bins[bin];
      ++n;
    }
    double score = 0.0;
    if (n > 0) {
      const double m = sum / n;
      const double g = sp.Mean > 0.0 ? m / sp.Mean : 0.0;
      double q = 0.0;
      for (int k = 0; k < count; ++k) {
        const int32_t bin = start + k;
        if (bin < 0 || bin >= nBins) continue;
        const double d = g * sp.Values[k] - avg.Bins[bin];
        q += d * d;
      }
      q /= n;
      if (m > 0.0) q *= m;
      score = std::min(100.0 / (std::sqrt(q) + 1.0), 100.0);
    }
    g_AlertPatternMatch[i] = score;
  }
  for (int32_t i = std::max(first, 1); i < last; ++i) {
    const double s = g_AlertPatternMatch[i];
    int16_t& counter = g_AlertPeakTable[i].Counter;
    if (s >= g_AlertPatternMatch[i - 1] && s >= g_AlertPatternMatch[i + 1]) {
      if (counter < kCounterMax) ++counter;
    } else {
      if (counter > kCounterMin) --counter;
    }
  }
}

void Alert_PatternFromSpectrum(double fcHz)
{
  const AlertSpectrum& avg = g_AlertAvgSpectrum;
  if (avg.NrOfBins < 4 || avg.NrOfBins > ALERT_MAX_BINS || !(avg.BinWidthHz > 0.0)) return;
  const double width = avg.BinWidthHz;
  const double bandwidth = AlertSettings.SearchPatternBWidth;
  const int32_t lastBin = avg.NrOfBins - 1;
  const double c = (fcHz - avg.FirstBinHz) / width;
  const int32_t lower =
      TruncLimited(((fcHz - bandwidth / 2) - avg.FirstBinHz) / width + 0.5, 0, lastBin);
  const int32_t upper =
      TruncLimited(((fcHz + bandwidth / 2) - avg.FirstBinHz) / width + 0.5, 0, lastBin);
  const double s = bandwidth / (100.0 * width);
  double maxV = 0.0, minV = 100.0;
  bool inside[ALERT_PATTERN_POINTS];
  for (int i = 0; i < ALERT_PATTERN_POINTS; ++i) {
    const double v = c + (i - 50) * s + 0.5;
    // Inside when trunc(v) lies within lower..upper (checked before the conversion; values
    // between -1 and 0 truncate to bin 0).
    inside[i] = (lower == 0 ? v > -1.0 : v >= lower) && v < upper + 1.0;
    if (inside[i]) {
      const double value = avg.Bins[static_cast<int32_t>(v)];
      g_AlertSearchPattern[i] = value;
      maxV = std::max(maxV, value);
      minV = std::min(minV, value);
    } else {
      g_AlertSearchPattern[i] = 0.0;
    }
  }
  // Points outside the spectrum stay 0: shifted by a negative minimum (levels in dB) they
  // would otherwise stand above the captured signal.
  const double k = maxV > minV ? 1.0 / (maxV - minV) : 0.0;
  for (int i = 0; i < ALERT_PATTERN_POINTS; ++i) {
    double& p = g_AlertSearchPattern[i];
    p = inside[i] ? std::clamp((p - minV) * k, 0.0, 1.0) : 0.0;
  }
  g_AlertScaledPattern.BinWidthHz = 0.0;
}

void Alert_ExecOsCommand()
{
  if (!AlertSettings.ActionExecOsCommand) return;
  char line[sizeof AlertSettings.OsCommandLine];
  const size_t n = strnlen(AlertSettings.OsCommandLine, sizeof line - 1);
  std::memcpy(line, AlertSettings.OsCommandLine, n);
  line[n] = '\0';
  std::string error;
  if (CLI_StartProcess(line, &error) < 0) g_AlertMessage = "CreateProcess: " + error;
}

void Alert_ProcessSpectrum()
{
  const AlertSpectrum& in = g_AlertInputSpectrum;
  AlertSpectrum& avg = g_AlertAvgSpectrum;
  if (in.NrOfBins < 4 || in.NrOfBins > ALERT_MAX_BINS) return;
  if (!(in.BinWidthHz > 0.0) || !std::isfinite(in.BinWidthHz) || !std::isfinite(in.FirstBinHz))
    return;
  // 1. Smoothing; a new geometry restarts it from this line.
  const double a = AlertSettings.Averaging;
  if (a > 0.0 && std::isfinite(a) && avg.NrOfBins == in.NrOfBins &&
      avg.BinWidthHz == in.BinWidthHz && avg.FirstBinHz == in.FirstBinHz) {
    const double k = 1.0 / a;
    for (int i = 0; i < in.NrOfBins; ++i) avg.Bins[i] = (1.0 - k) * avg.Bins[i] + k * in.Bins[i];
    if (g_AlertAvgLineCount < INT32_MAX) ++g_AlertAvgLineCount;
  } else {
    g_AlertAvgLineCount = 1;
    avg.NrOfBins = in.NrOfBins;
    avg.BinWidthHz = in.BinWidthHz;
    avg.FirstBinHz = in.FirstBinHz;
    std::memcpy(avg.Bins, in.Bins, sizeof(double) * static_cast<size_t>(in.NrOfBins));
  }
  // 2., 3. Range A (with the pattern match) and range B.
  EvaluateRange(AlertSettings.RangeA_Fmin, AlertSettings.RangeA_Fmax, AlertSettings.PeakADiffMin,
                &g_AlertRangeA, true);
  EvaluateRange(AlertSettings.RangeB_Fmin, AlertSettings.RangeB_Fmax, AlertSettings.PeakBDiffMin,
                &g_AlertRangeB, false);
  // 4.-6. The alarm: raised above 100 % (never cleared here) once the smoothing has settled,
  // i.e. has taken `Averaging` lines since its restart; the command once per rise.
  const bool settled = !(a > 1.0) || !std::isfinite(a) || g_AlertAvgLineCount >= std::ceil(a);
  if (settled && g_AlertRangeA.Percentage > 100.0) g_AlertActive = 1;
  if (g_AlertActive && !g_AlertPrevious) Alert_ExecOsCommand();
  g_AlertPrevious = g_AlertActive;
}

void Alert_RingBellTimer()
{
  if (g_AlertAcknowledged && g_AlertActive) g_AlertAcknowledged = g_AlertActive = 0;
  if (g_AlertActive && AlertSettings.ActionRingBell) {
    g_AlertSirenHz += kSirenStepHz;
    if (g_AlertSirenHz > kSirenTopHz) g_AlertSirenHz = kSirenWrapHz;
    SpeakerTone(g_AlertSirenHz);
  } else if (g_AlertSirenHz > 0) {
    SpeakerTone(0);
    g_AlertSirenHz = 0;
  }
}

void Alert_StopAlarm()
{
  g_AlertActive = 0;
  g_AlertAcknowledged = 0;
  SpeakerTone(0);
  g_AlertSirenHz = 0;
}
