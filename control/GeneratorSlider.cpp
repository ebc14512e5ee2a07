#include "control/GeneratorSlider.h"

#include <cmath>

int FreqToSliderPos(double freq, double fmin, double fmax, int maxPos)
{
  const double range = fmax - fmin;
  if (!(range > 0.0)) return 0;
  const double p = (freq - fmin) * maxPos / range;
  if (!(p > 0.0)) return 0;  // below the range, or not a number
  if (p > maxPos) return maxPos;
  return static_cast<int>(p);
}

double SliderPosToFreq(int pos, double fmin, double fmax, int maxPos)
{
  const double m = maxPos < 1 ? 1.0 : static_cast<double>(maxPos);
  return (fmax - fmin) * pos / m + fmin;
}

int SliderMaxForRange(double fmax)
{
  const double m = 10.0 * fmax;
  if (!(m > 0.0)) return 0;
  if (m > 1073741824.0) return 1073741824;
  return static_cast<int>(m);
}
