#pragma once
// The arithmetic of the plot diagram, without Qt: tick steps and values of a value scale, the
// value-to-row mapping, marker intervals, the layout rectangles and the legend boxes. The
// drawing routines (interp/forms/PlotDraw.h) measure text and call these.
#include <cstdint>

#include "interp/WatchList.h"

// A value scale to draw: the caller clears it and fills what it needs.
struct T_PlotScale {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // pixel rectangle of the scale
  int Side = 0;          // 0 axis line on the right edge, labels left of it; 1 the mirror image
  char FontName[84] = {};
  int FontSize = 8;      // points
  uint32_t Color = 0;    // lines and labels, 0x00BBGGRR
  char Title[80] = {};   // drawn turned by 90 degrees when its first character is printable
  int SpanTop = 0, SpanBottom = 0;  // pixel rows of the maximum and the minimum
  double Min = 0.0, Max = 0.0;
  char LabelFormat[81] = {};
};

// Tick step for a value range over a pixel length with at least minPixels per step.
double Plot_CalcScaleStep(double range, int pixels, int minPixels);

// Tick values of min..max over a span of `pixels` rows (20 pixels per step at least), ascending,
// into out (at most maxOut); returns the count. None for pixels <= 0, max not above min,
// non-finite values or a step that no longer moves the value; never more than pixels / 20 + 2.
int Plot_TickValues(double min, double max, int pixels, double* out, int maxOut);

// Row of value v on a scale from min (row bottom) to max (row top), v limited to the scale.
// The watch-list form (Plot_ValueToY) gives 0 for a channel not shown or a scale whose maximum
// is not above its minimum.
int Plot_ScaleY(double v, double min, double max, int top, int bottom);
int Plot_ValueToY(const T_WatchList* wl, int channel, double v);

// A marker interval in whole seconds, 0 (off) when it is not finite, not positive or beyond int.
int Plot_IntervalSeconds(double seconds);
// The second of the day of t (floor(t) mod 86400), -1 when t is not finite or beyond int.
int Plot_SecondOfDay(double t);

// Rectangles of the layout for a bitmap of w x h pixels: legend area (from the legend size),
// axis strips and scales (scaleWidth[i] < 0: axis i + 1 not assigned), plot areas.
void Plot_LayoutRects(T_WatchList* wl, int w, int h, int legendW, int legendH, const int scaleWidth[2]);
// Legend boxes for the legend area already placed: box width bw, text height hq.
void Plot_PlaceLegendBoxes(T_WatchList* wl, int bw, int hq);
// Channels of the legend: below ChannelCount (at most 20) with a display style.
int Plot_VisibleChannels(const T_WatchList* wl);
