// Plot diagram arithmetic.
#include "interp/PlotScale.h"

#include <algorithm>
#include <climits>
#include <cmath>

double Plot_CalcScaleStep(double range, int pixels, int minPixels)
{
  if (!(range >= 0.1)) range = 0.1;
  if (pixels <= 0) return 0.0;
  double x = std::fabs(static_cast<double>(minPixels) * range) / pixels;
  double d = 1.0;
  if (!std::isfinite(x)) return 0.0;
  while (x > 1.0) {
    d *= 10.0;
    x *= 0.1;
  }
  while (x < 0.1 && x > 0.0) {
    d *= 0.1;
    x *= 10.0;
  }
  if (x > 0.5) return d;
  if (x > 0.2) return 0.5 * d;
  if (x > 0.1) return 0.2 * d;
  if (x > 0.05) return 0.1 * d;
  return 0.05 * d;
}

int Plot_TickValues(double min, double max, int pixels, double* out, int maxOut)
{
  if (pixels <= 0 || !std::isfinite(min) || !std::isfinite(max) || !(max > min)) return 0;
  const double step = Plot_CalcScaleStep(max - min, pixels, 20);
  if (!(step > 0.0) || !std::isfinite(step)) return 0;
  double v = min - std::fmod(min, step);
  if (!std::isfinite(v) || v + step == v) return 0;
  const int passes = pixels / 20 + 2;
  int n = 0;
  for (int pass = 0; pass < passes && v <= max + 1e-9 && n < maxOut; ++pass, v += step)
    if (v >= min - 1e-9 * std::fabs(step)) out[n++] = v;
  return n;
}

int Plot_ScaleY(double v, double min, double max, int top, int bottom)
{
  if (!(max > min) || !std::isfinite(min) || !std::isfinite(max)) return 0;
  double f = (v - min) / (max - min);
  if (!(f >= 0.0)) f = 0.0;  // also NaN
  if (f > 1.0) f = 1.0;
  return static_cast<int>(std::trunc(bottom - (bottom - top) * f));
}

int Plot_ValueToY(const T_WatchList* wl, int channel, double v)
{
  if (channel < 0 || channel >= WATCH_MAX_CHANNELS || channel >= static_cast<int>(wl->ChannelCount)) return 0;
  const T_WatchPen& p = wl->Pens[channel];
  return Plot_ScaleY(v, p.ScaleMin, p.ScaleMax, wl->PlotArea.top, wl->PlotArea.bottom);
}

int Plot_IntervalSeconds(double seconds)
{
  if (!std::isfinite(seconds) || seconds >= 2147483648.0) return 0;
  const double t = std::trunc(seconds);
  return t > 0.0 ? static_cast<int>(t) : 0;
}

int Plot_SecondOfDay(double t)
{
  if (!std::isfinite(t) || t >= 9.0e15 || t <= -9.0e15) return -1;
  double s = std::fmod(std::floor(t), 86400.0);
  if (s < 0) s += 86400.0;
  return static_cast<int>(s);
}

int Plot_VisibleChannels(const T_WatchList* wl)
{
  const int n = std::min<int>(static_cast<int>(std::min<uint32_t>(wl->ChannelCount, WATCH_MAX_CHANNELS)), WATCH_MAX_CHANNELS);
  int visible = 0;
  for (int i = 0; i < n; ++i)
    if (wl->Pens[i].PenDisplayStyle != 0) ++visible;
  return visible;
}

void Plot_LayoutRects(T_WatchList* wl, int w, int h, int lw, int lh, const int scaleWidth[2])
{
  T_PlotRect& lg = wl->LegendArea;
  switch (wl->LegendPos) {
    case WATCH_LEGEND_LEFT: lg = {0, 0, lw, h - 1}; break;
    case WATCH_LEGEND_RIGHT: lg = {w - lw, 0, w - 1, h - 1}; break;
    case WATCH_LEGEND_TOP: lg = {0, 0, w - 1, lh - 1}; break;
    case WATCH_LEGEND_BOTTOM: lg = {0, h - lh, w - 1, h - 1}; break;
    default: lg = {}; break;
  }
  T_WatchAxis* ax = wl->Axes;
  for (T_WatchAxis& a : wl->Axes) a.Rect = {};
  ax[2].Rect.top = wl->LegendPos == WATCH_LEGEND_TOP ? lg.bottom + 2 : 2;
  ax[2].Rect.bottom = ax[2].Rect.top + 10;
  ax[2].Rect.right = w - 1;
  ax[3].Rect.bottom = wl->LegendPos == WATCH_LEGEND_BOTTOM ? lg.top - 2 : h - 2;
  ax[3].Rect.top = std::clamp(ax[3].Rect.bottom - 10, h / 2, std::max(h / 2, h));
  ax[3].Rect.right = w - 1;

  T_PlotRect& a1 = ax[0].Rect;
  a1.left = wl->LegendPos == WATCH_LEGEND_LEFT ? lg.right + 2 : 0;
  a1.right = scaleWidth[0] >= 0 ? a1.left + scaleWidth[0] : a1.left;
  a1.top = ax[2].Rect.bottom;
  a1.bottom = ax[3].Rect.top;
  T_PlotRect& a2 = ax[1].Rect;
  a2.right = wl->LegendPos == WATCH_LEGEND_RIGHT ? lg.left - 2 : w - 1;
  a2.left = scaleWidth[1] >= 0 ? a2.right - scaleWidth[1] : a2.right;
  a2.left = std::clamp(a2.left, 0, std::max(0, w - 1));
  a2.top = a1.top;
  a2.bottom = a1.bottom;
  if (a2.left < a1.right + 20) {
    a1.right = w / 8;
    a2.left = w - w / 8;
  }
  wl->PlotArea = {a1.right + 1, ax[2].Rect.bottom + 1, a2.left - 1, ax[3].Rect.top - 1};
  wl->ScrollArea = wl->PlotArea;
}

void Plot_PlaceLegendBoxes(T_WatchList* wl, int bw, int hq)
{
  for (T_PlotRect& b : wl->LegendBoxes) b = {};
  const T_PlotRect& a = wl->LegendArea;
  const int visible = Plot_VisibleChannels(wl);
  if (wl->LegendPos < WATCH_LEGEND_LEFT || wl->LegendPos > WATCH_LEGEND_BOTTOM || visible < 1) return;
  const int n = static_cast<int>(std::min<uint32_t>(wl->ChannelCount, WATCH_MAX_CHANNELS));
  const bool side = wl->LegendPos == WATCH_LEGEND_LEFT || wl->LegendPos == WATCH_LEGEND_RIGHT;
  auto inside = [&](T_PlotRect r) {
    r.left = std::clamp(r.left, a.left, a.right);
    r.right = std::clamp(r.right, a.left, a.right);
    r.top = std::clamp(r.top, a.top, a.bottom);
    r.bottom = std::clamp(r.bottom, a.top, a.bottom);
    return r;
  };
  for (int i = 0; i < n; ++i) {
    if (wl->Pens[i].PenDisplayStyle == 0) continue;  // a hidden channel leaves its slot empty
    T_PlotRect r;
    if (side) {
      const int slot = std::max(2, (a.bottom - a.top) / visible);
      r.left = a.left + 2;
      r.right = r.left + bw;
      r.top = a.top + i * slot;
      r.bottom = r.top + std::min(slot, hq + 2);
    } else {
      const int slot = std::max(2, (a.right - a.left) / visible);
      r.left = a.left + i * slot;
      r.right = r.left + std::min(slot, bw);
      r.top = a.top + 2;
      r.bottom = r.top + hq + 2;
    }
    wl->LegendBoxes[i] = inside(r);
  }
}
