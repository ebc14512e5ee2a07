// Frequency-scale ticks and labels, dB-scale strip.
#include "mainwin/FreqScaleTicks.h"

#include <algorithm>
#include <cmath>

#include "mainwin/DisplayGeometry.h"
#include "platform/NumText.h"

void FreqTickSteps(double d, double* tickStep, double* labelStep)
{
  struct Row {
    double above, s, l;
  };
  static const Row rows[] = {
      {2000, 2000, 10000}, {1000, 1000, 5000}, {500, 500, 2000}, {200, 200, 1000},
      {100, 100, 500},     {50, 50, 200},      {20, 20, 100},    {10, 10, 50},
      {5, 5, 20},          {2, 2, 10},         {1, 1, 5},        {0.5, 0.5, 2},
      {0.2, 0.2, 1},       {0.1, 0.1, 0.5},    {0.05, 0.05, 0.2}};
  for (const Row& r : rows) {
    if (d > r.above) {
      *tickStep = r.s;
      *labelStep = r.l;
      return;
    }
  }
  *tickStep = 0.02;
  *labelStep = 0.1;
}

int ComputeFreqTicks(double fmin, double fmax, int axisLen, bool mirror,
                     std::vector<TFreqTick>& ticks, double* tickStep, double* labelStep)
{
  ticks.clear();
  const int n = axisLen < 20 ? 20 : axisLen;
  double span = fmax - fmin;
  if (!(span >= 0.1)) span = 0.1;
  double s, l;
  FreqTickSteps(span * 20.0 / n, &s, &l);
  if (tickStep) *tickStep = s;
  if (labelStep) *labelStep = l;
  if (!std::isfinite(fmin) || !std::isfinite(fmax)) return n;
  const double start = fmin - std::fmod(fmin, s);
  // A tick count beyond the axis length cannot occur (a tick step covers at least 1 pixel);
  // the limit only guards against absurd input.
  for (int k = 0; k < 4 * n + 100; ++k) {
    const double f = start + k * s;
    if (f > fmax) break;
    const double rel = n * (f - fmin) / span;
    const double pd = mirror ? n - rel : rel;
    if (!(pd > -1.0 && pd < n)) continue;  // trunc into 0..n-1
    const int pos = static_cast<int>(pd);
    if (pos < 0 || pos >= n) continue;
    TFreqTick t;
    t.Pos = pos;
    t.Freq = f;
    t.Label = std::fabs(f / l - std::floor(f / l + 0.5)) < 0.001;
    ticks.push_back(t);
  }
  return n;
}

std::string FreqLabelText(double f, double labelStep)
{
  return FormatFloat(labelStep < 1.0 ? "###0.0" : "###0", std::fabs(f));
}

void BuildFreqScale(const TFreqScaleParams& p, TFreqScaleDrawing& out)
{
  out.Lines.clear();
  out.Texts.clear();
  const bool rotated = p.Orient == ORIENT_ROTATED;
  const int axis = (rotated ? p.Height : p.Width) - 1;
  out.AxisLen = ComputeFreqTicks(p.FreqMin, p.FreqMax, axis, p.Mirror, out.Ticks, &out.TickStep,
                                 &out.LabelStep);
  const int th = p.TextHeight;
  auto width = [&](const std::string& t) { return p.TextWidth ? p.TextWidth(t) : 6 * int(t.size()); };

  // Grid lines.
  if (p.FirstLine != -2) {
    for (const TFreqTick& t : out.Ticks) {
      if (p.Overlay && !t.Label) continue;
      int a0, a1;  // extent across the axis
      if (!rotated) {
        if (p.Labels) {
          a0 = t.Label ? 0 : 8;
          a1 = p.Height - 1 - th;
        } else {
          a0 = 0;
          a1 = p.Height - 1;
        }
      } else {
        if (p.Labels) {
          a0 = t.Label ? 0 : 4;
          a1 = t.Label ? p.Width - 1 : p.Width - 5;
        } else {
          a0 = 0;
          a1 = p.Width - 1;
        }
      }
      if (p.FirstLine >= 0) ClampPairToRange(p.FirstLine, p.LastLine, &a0, &a1);
      if (!rotated) {
        out.Lines.push_back({t.Pos, a0, t.Pos, a1});
      } else {
        const int y = p.Mirror ? t.Pos : p.Height - 1 - t.Pos;
        out.Lines.push_back({a0, y, a1, y});
      }
    }
  }

  if (!p.Labels) return;
  bool hzDone = false;
  if (!rotated) {
    // Skip a label that would overlap the previous one; " Hz" after the first drawn label
    // that stands well inside the strip.
    int limit = p.Mirror ? p.Width - 30 : (p.Overlay && p.TimeGrid ? 70 : 10);
    int prevLeft = 0, prevRight = 0;  // the label drawn last (none yet: empty)
    for (const TFreqTick& t : out.Ticks) {
      if (!t.Label) continue;
      if (p.Mirror ? !(t.Pos < limit) : !(t.Pos > limit)) continue;
      std::string text = FreqLabelText(t.Freq, out.LabelStep);
      const bool hz = !hzDone && t.Pos > 9 && t.Pos < p.Width - 20;
      if (hz) text += " Hz";
      const int w = width(text);
      // A label at an edge is moved inside the strip instead of being cut; one that would then
      // overlap the label before it is left out.
      const int x = std::max(0, std::min(t.Pos - 10, p.Width - w));
      if (x < prevRight && x + w > prevLeft) continue;
      hzDone = hzDone || hz;
      out.Texts.push_back({x, p.Height - th, text});
      prevLeft = x;
      prevRight = x + w;
      limit = p.Mirror ? t.Pos - w : t.Pos + w;
    }
  } else {
    for (const TFreqTick& t : out.Ticks) {
      if (!t.Label) continue;
      const int y = p.Mirror ? t.Pos : p.Height - 1 - t.Pos;
      std::string text = FreqLabelText(t.Freq, out.LabelStep);
      if (!hzDone && y >= th && y < p.Height - th) {
        text += " Hz";
        hzDone = true;
      }
      out.Texts.push_back({2, y - th / 2 - 2, text});
    }
  }
}

bool BuildAmplitudeScale(int width, int height, double amplMin, double amplMax,
                         const std::function<int(const std::string&)>& textWidth,
                         std::vector<TScaleLine>& lines, std::vector<TScaleText>& texts)
{
  lines.clear();
  texts.clear();
  if (width < 21 || !(amplMax > amplMin)) return false;
  const int band = height - 14;
  const int w1 = width - 1;
  int end = 10;
  for (int level = -160; level <= 160; level += 10) {
    const int x = static_cast<int>((level - amplMin) * w1 / (amplMax - amplMin));
    if (x < 0 || x >= width) continue;
    int y1 = band;
    if (x > end) {
      const std::string text = IntToStr(level);
      const int tw = textWidth ? textWidth(text) : 6 * int(text.size());
      texts.push_back({x - tw / 2, band, text});
      y1 += 3;
      end = x + tw + 4;
    }
    lines.push_back({x, 0, x, y1});
  }
  return true;
}
