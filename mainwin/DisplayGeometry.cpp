// Geometry of the displays: frequency and level mappings, range clamping, layout.
#include "mainwin/DisplayGeometry.h"

#include <algorithm>
#include <cmath>

TFreqBinMapping CalcFreqBinMapping(double binWidth, double bin0Freq, double fmin, double fmax,
                                   double freqOffset, int axisLen)
{
  TFreqBinMapping m;
  m.BinWidth = binWidth < 0.0001 || !std::isfinite(binWidth) ? 0.0001 : binWidth;
  m.FirstBin = (fmin - freqOffset - bin0Freq) / m.BinWidth;
  const int n = axisLen < 1 ? 1 : axisLen;
  m.BinsPerPixel = (fmax - fmin) / (n * m.BinWidth);
  return m;
}

double PixelToFrequency(const TFreqBinMapping& m, double recordBinWidth, double recordBin0,
                        double freqOffset, int pixel)
{
  const double bin = std::trunc(pixel * m.BinsPerPixel + m.FirstBin);
  return bin * recordBinWidth + recordBin0 + freqOffset;
}

double FreqScaleMousePosToFreq(int x, int y, int width, int height, int orient, bool mirror,
                               double fmin, double fmax)
{
  int n, p;
  if (orient == ORIENT_ROTATED) {
    n = height - 1;
    p = mirror ? y : n - y;
  } else {
    n = width - 1;
    p = mirror ? n - x : x;
  }
  if (n < 1) n = 1;
  return fmin + p * (fmax - fmin) / n;
}

TAmplScaling CalcAmplScaling(int width, int height, int orient, int style, double levelMin,
                             double levelMax)
{
  TAmplScaling a;
  const bool rotated = orient == ORIENT_ROTATED;
  a.A = rotated ? width - 1 : height - 1;
  if (levelMax <= levelMin) {
    levelMin = -150.0;
    levelMax = 150.0;
  }
  const double range = levelMax - levelMin;
  if (!rotated || style == 1) {
    a.Scale = -a.A / range;
    a.Offset = a.A * levelMin / range + a.A;
  } else {
    a.Scale = a.A / range;
    a.Offset = -a.A * levelMin / range;
  }
  return a;
}

bool AmplToPixel(const TAmplScaling& a, double level, int* pixel)
{
  const double p = level * a.Scale + a.Offset;
  if (!(p >= 0.0)) {  // also NaN
    *pixel = 0;
    return false;
  }
  if (p > 1e9) {
    *pixel = 1000000000;
    return false;
  }
  *pixel = static_cast<int>(p);
  return p <= a.A;
}

bool PixelToAmpl(const TAmplScaling& a, int pixel, double* level)
{
  if (a.Scale == 0.0 || pixel < 0 || pixel > a.A) {
    *level = 0.0;
    return false;
  }
  *level = (pixel - a.Offset) / a.Scale;
  return true;
}

void DisplayableFreqRange(bool complexFft, double freqOffset, double centre, double rate,
                          double* minFreq, double* maxFreq)
{
  if (!complexFft) {
    *minFreq = freqOffset;
    *maxFreq = freqOffset + rate / 2.0;
  } else {
    *minFreq = freqOffset + centre - rate / 4.0;
    *maxFreq = freqOffset + centre + rate / 4.0;
  }
}

bool ClampFreqRangeValues(double* fmin, double* fmax, double minFreq, double maxFreq)
{
  bool changed = false;
  if (*fmin <= minFreq) {
    if (*fmin != minFreq) changed = true;
    *fmin = minFreq;
  }
  if (*fmax > maxFreq) {
    *fmax = maxFreq;
    changed = true;
  }
  if (!(*fmin < *fmax)) {  // also NaN
    if (*fmin != minFreq || *fmax != maxFreq) changed = true;
    *fmin = minFreq;
    *fmax = maxFreq;
  }
  return changed;
}

double FreqStepForSpan(double fmin, double fmax)
{
  const double span = std::fabs(fmax - fmin);
  double step = 0.1;
  if (!std::isfinite(span)) return step;
  while (0.05 * span > step) step *= 10.0;
  return step;
}

double StepLowerEdge(double edited, double step, int factor, double minFreq, double fmax)
{
  double v = step * factor + edited;
  if (v < minFreq) v = minFreq;
  if (v > fmax - 0.5) v = fmax - 0.5;
  return v;
}

double StepUpperEdge(double edited, double step, int factor, double fmin, double maxFreq)
{
  double v = step * factor + edited;
  if (v < fmin + 0.5) v = fmin + 0.5;
  if (v > maxFreq) v = maxFreq;
  return v;
}

void ClampPairToRange(int a, int b, int* v1, int* v2)
{
  if (a > b) std::swap(a, b);
  *v1 = std::clamp(*v1, a, b);
  *v2 = std::clamp(*v2, a, b);
}

TDisplayLayout ArrangeDisplayRects(int groupW, int groupH, int style, int orient, int graphHeight,
                                   int scaleHeight, int scaleWidth)
{
  TDisplayLayout l;
  if (groupW < 16 || groupH < 16) return l;
  l.Valid = true;
  if (style < 0 || style > 3) style = 0;
  const bool graph = style != 0;
  const bool water = style != 3;
  graphHeight = std::max(graphHeight, 8);
  scaleHeight = std::max(scaleHeight, 8);
  l.Graph.Visible = graph;
  l.Waterfall.Visible = water;
  l.Scale.Visible = true;
  if (orient != ORIENT_ROTATED) {
    const int left = 4, width = std::max(groupW - 8, 8);
    const int bottom = groupH - 4;
    l.Graph = {left, 8, width, 0, graph};
    l.Scale = {left, 8, width, scaleHeight, true};
    l.Waterfall = {left, 8, width, 0, water};
    if (style == 3) {
      l.Scale.Top = std::max(bottom - scaleHeight, 16);
      l.Graph.Height = std::max(l.Scale.Top - 8, 8);
    } else {
      int y = 8;
      if (graph) {
        l.Graph.Height = graphHeight;
        y += graphHeight;
      }
      l.Scale.Top = y;
      y += scaleHeight;
      l.Waterfall.Top = y;
      l.Waterfall.Height = std::max(bottom - y, 8);
    }
  } else {
    const int top = 8, height = std::max(groupH - 12, 8);
    const int sw = std::max(scaleWidth, 8);
    const int gw = graphHeight;
    l.Graph = {0, top, gw, height, graph};
    l.Scale = {0, top, sw, height, true};
    l.Waterfall = {0, top, 0, height, water};
    const int right = groupW - 4;
    switch (style) {
    case 1:
      l.Graph.Left = 4;
      l.Scale.Left = 4 + gw + 4;
      l.Waterfall.Left = l.Scale.Left + sw + 4;
      l.Waterfall.Width = std::max(right - l.Waterfall.Left, 8);
      break;
    case 2:
      l.Waterfall.Left = 4;
      l.Waterfall.Width = std::max(right - 4 - gw - 4 - sw - 4, 8);
      l.Scale.Left = l.Waterfall.Left + l.Waterfall.Width + 4;
      l.Graph.Left = l.Scale.Left + sw + 4;
      break;
    case 3:
      l.Scale.Left = 4;
      l.Graph.Left = 4 + sw + 4;
      l.Graph.Width = std::max(right - l.Graph.Left, 8);
      break;
    default:
      l.Waterfall.Left = 4;
      l.Waterfall.Width = std::max(right - 4 - sw - 4, 8);
      l.Scale.Left = l.Waterfall.Left + l.Waterfall.Width + 4;
      break;
    }
  }
  return l;
}

void MinDisplayGroupSize(int style, int orient, int graphHeight, int scaleHeight, int scaleWidth,
                         int* groupW, int* groupH)
{
  if (style < 0 || style > 3) style = 0;
  const bool graph = style != 0;
  const bool water = style != 3;
  graphHeight = std::max(graphHeight, 8);
  scaleHeight = std::max(scaleHeight, 8);
  // Across the frequency axis: the margins, the graph's stored size (or, filling the rest with
  // style 3, the least extent), the scale and the waterfall's least extent.
  int across = 8 + scaleHeight + 4;
  if (style == 3) across += kMinDisplayExtent;
  else if (graph) across += graphHeight;
  if (water) across += kMinDisplayExtent;
  if (orient != ORIENT_ROTATED) {
    *groupW = 8 + kMinDisplayAxis;
    *groupH = across;
  } else {
    int w = 4 + std::max(scaleWidth, 8) + 4;
    if (style == 3) w += kMinDisplayExtent + 4;
    else if (graph) w += graphHeight + 4;
    if (water) w += kMinDisplayExtent + 4;
    *groupW = w;
    *groupH = 12 + kMinDisplayAxis;
  }
}
