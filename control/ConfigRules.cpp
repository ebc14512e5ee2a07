#include "control/ConfigRules.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "engine/BigSampleBuffer.h"
#include "platform/NumText.h"

TShownInterval TimeGridToControls(int seconds)
{
  if (seconds % 60 == 0) return {seconds / 60, 60};
  return {seconds, 1};
}

TShownInterval ScrollIntervalToControls(int milliseconds)
{
  if (milliseconds % 60000 == 0) return {milliseconds / 60000, 60000};
  if (milliseconds % 1000 == 0) return {milliseconds / 1000, 1000};
  return {milliseconds, 1};
}

bool IntervalFromControls(int value, int unit, int* result)
{
  const int64_t r = static_cast<int64_t>(value) * unit;
  if (r < INT_MIN || r > INT_MAX) return false;
  *result = static_cast<int>(r);
  return true;
}

int LimitFftSize(int size, bool complex, bool* corrected)
{
  const int maxSize = complex ? kConfigFftMaxComplexSize : kConfigFftMaxSize;
  int n = size < kConfigFftMinSize ? kConfigFftMinSize : (size > maxSize ? maxSize : size);
  int p = kConfigFftMinSize;
  while (p * 2 <= n) p *= 2;
  *corrected = p != size;
  return p;
}

TRateInfoTexts CalcRateInfo(const TRateInfoInput& in)
{
  TRateInfoTexts t;
  const double fs = in.sampleRate;
  double d = in.inputDivisor;
  if (d > 0) t.inputInfo = "input rate w/o decimation = " + FormatFloat("####0.#", fs / d) + " Hz";
  // The ratio the sample ring makes of the FFT rate divisor: its stages of 2 and 3, which
  // I/Q pairs and anti-aliased samples run through, make 3 of 5 and 12 of 44.
  d *= in.fftRateDivisor > 0
           ? RealisedDecimationRatio(in.fftRateDivisor, in.complex, in.antiAlias)
           : in.fftRateDivisor;
  double r = in.fftSize > 64 ? fs / in.fftSize : 0.0;
  if (d > 0) r /= d;
  t.resolution = FormatFloat("00.0000", r) + " Hz";
  double b = fs * 0.5;
  if (d > 0) b /= d;
  double lo = 0, hi = b;
  if (in.complex) {
    lo = in.centreFreq - b * 0.5;
    hi = in.centreFreq + b * 0.5;
  }
  t.band = FormatFloat("0000.00", lo) + " Hz .. " + FormatFloat("0000.00", hi) + " Hz";
  return t;
}

double CalibrationRatio(double displayed, double correct, double freqOffset)
{
  if (displayed >= freqOffset) displayed -= freqOffset;
  if (correct >= freqOffset) correct -= freqOffset;
  if (!(displayed > 0) || !(correct > 0)) return 0;
  const double ratio = correct / displayed;
  return (ratio >= 0.9 && ratio <= 1.1) ? ratio : 0;
}

double CheckCalibratedRate(double value, int nominal, bool* corrected)
{
  if (std::isfinite(value) && std::fabs(value - nominal) <= nominal / 10) {
    *corrected = false;
    return value;
  }
  *corrected = true;
  return nominal;
}
