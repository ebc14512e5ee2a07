#include "engine/SettingsLimits.h"

bool LimitAmplitudeRange(double* amplMin, double* amplMax, bool* minClamped, bool* maxClamped)
{
  double lo = *amplMin, hi = *amplMax;
  if (minClamped) *minClamped = false;
  if (maxClamped) *maxClamped = false;
  if (hi - lo >= kMinAmplSpan && lo >= -kAmplRangeLimit && hi <= kAmplRangeLimit) return false;
  if (lo < -kAmplRangeLimit) {
    lo = -kAmplRangeLimit;
    if (minClamped) *minClamped = true;
  }
  if (hi > kAmplRangeLimit) {
    hi = kAmplRangeLimit;
    if (maxClamped) *maxClamped = true;
  }
  if (!(hi - lo >= kMinAmplSpan)) {  // also catches a NaN
    lo = kFallbackAmplMin;
    hi = kFallbackAmplMax;
  }
  *amplMin = lo;
  *amplMax = hi;
  return true;
}
