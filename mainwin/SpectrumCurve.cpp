// Spectrum-graph curve points.
#include "mainwin/SpectrumCurve.h"

#include <algorithm>
#include <cmath>

#include "interp/SpectrumBuffer.h"

void ComputeSpectrumCurve(const TCurveParams& p, const int16_t* bins, const double* values,
                          int count, double levelOffset, std::vector<TCurvePoint>& out)
{
  out.clear();
  if (!bins && !values) return;
  count = std::min(count, SPECTRUM_MAX_BINS);
  if (count <= 0) return;
  const bool rotated = p.Orient == ORIENT_ROTATED;
  const int last = (rotated ? p.Height : p.Width) - 1;
  if (last < 0) return;
  out.reserve(last + 1);
  int prev = -1;
  for (int px = 0; px <= last; ++px) {
    const double di = px * p.Mapping.BinsPerPixel + p.Mapping.FirstBin;
    if (!(di > -1.0)) continue;      // i < 0 (also NaN)
    if (di >= count + 1.0) break;    // i > count: the rest lies above the record
    const int i = static_cast<int>(di);
    if (i >= count) continue;
    if (prev < 0) prev = i;
    double peak = -32767.0;
    const int hi = std::max(prev, i - 1);
    for (int b = prev; b <= hi; ++b) {
      const double v = bins ? static_cast<double>(bins[b]) : values[b];
      if (v > peak) peak = v;
    }
    prev = i;
    const double lv = (peak + levelOffset) * p.Ampl.Scale + p.Ampl.Offset;
    const int level = static_cast<int>(std::clamp(lv, -1e6, 1e6));
    TCurvePoint pt;
    if (!rotated) {
      pt.X = p.Mirror ? last - px : px;
      pt.Y = level;
    } else {
      pt.X = level;
      pt.Y = p.Mirror ? px : last - px;
    }
    out.push_back(pt);
  }
}

bool FreqLevelToPoint(const TCurveParams& p, double fmin, double fmax, double f, double level,
                      int* x, int* y)
{
  const bool rotated = p.Orient == ORIENT_ROTATED;
  const int n = (rotated ? p.Height : p.Width) - 1;
  double span = fmax - fmin;
  if (!(span > 0.0)) span = 1.0;
  const double fp = std::clamp(n * (f - fmin) / span + 0.5, -1e6, 1e6);
  int pf = static_cast<int>(fp);
  if (p.Mirror) pf = n - pf;
  const int pl = static_cast<int>(std::clamp(level * p.Ampl.Scale + p.Ampl.Offset + 0.5, -1e6, 1e6));
  int px, py;
  if (!rotated) {
    px = pf;
    py = pl;
  } else {
    px = pl;
    py = n - pf;
  }
  const int cx = std::clamp(px, 0, std::max(p.Width - 1, 0));
  const int cy = std::clamp(py, 0, std::max(p.Height - 1, 0));
  *x = cx;
  *y = cy;
  return cx == px && cy == py;
}
