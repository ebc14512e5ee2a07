// Drawing routines of the watch plotter.
#include "interp/forms/PlotDraw.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/ColorRef.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/RotatedText.h"
#include "interp/CliEval.h"

namespace {

constexpr int kMaxTicks = 512;
constexpr uint32_t kLegendTestColor = 0x7F3F3F;

QFont FontOf(const char* name, int points)
{
  QFont f(QString::fromLatin1(name));
  f.setPointSize(points > 0 ? points : 8);
  return f;
}

bool HasText(const char* s) { return static_cast<unsigned char>(s[0]) >= 32; }

// A value by a label format; the format text itself when the value cannot be formatted.
QString FormatLabel(const char* format, double v)
{
  char buf[81] = {};
  if (CLI_FormatValue(CLI_SRC_WATCH, format, v, buf, 80) < 0) return QString::fromLatin1(format);
  return QString::fromLatin1(buf);
}

// The row of a tick or grid line: bottom - trunc(height x (v - min) / (max - min)).
int TickY(double v, double min, double max, int top, int bottom)
{
  return bottom - static_cast<int>(std::trunc((bottom - top) * (v - min) / (max - min)));
}

void ScaleOfChannel(const T_WatchList* wl, int assign, double* min, double* max, const char** format)
{
  if (assign >= 1 && assign <= WATCH_MAX_CHANNELS) {
    *min = wl->Pens[assign - 1].ScaleMin;
    *max = wl->Pens[assign - 1].ScaleMax;
    *format = wl->Formats[assign - 1];
  } else {
    *min = 0.0;
    *max = 100.0;
    *format = "##0.# %";
  }
}

int ChannelLimit(const T_WatchList* wl)
{
  return static_cast<int>(std::min<uint32_t>(wl->ChannelCount, WATCH_MAX_CHANNELS));
}

}  // namespace

void Plot_SetPenStyle(QPen& pen, int style)
{
  switch (style) {
    case 1: case 4: pen.setWidth(1); pen.setStyle(Qt::SolidLine); break;
    case 2: case 5: case 6: pen.setWidth(2); pen.setStyle(Qt::SolidLine); break;
    case 3: pen.setWidth(1); pen.setStyle(Qt::DotLine); break;
    default: break;
  }
}

void Plot_FillRect(QImage& bmp, const T_PlotRect& r, uint32_t color)
{
  if (r.right <= r.left || r.bottom <= r.top) return;
  QPainter p(&bmp);
  p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), ColorRefToQColor(color));
}

bool Plot_DrawVertScale(QImage& bmp, const T_PlotScale& s)
{
  if (s.Side != 0 && s.Side != 1) return false;
  QPainter p(&bmp);
  p.setFont(FontOf(s.FontName, s.FontSize));
  const QFontMetrics fm(p.font());
  const int h = fm.height();
  QPen pen(ColorRefToQColor(s.Color));
  Plot_SetPenStyle(pen, 1);
  p.setPen(pen);
  p.setBackgroundMode(Qt::TransparentMode);

  const int axisX = s.Side == 0 ? s.Right : s.Left;
  p.drawLine(axisX, s.Top, axisX, s.Bottom);
  const bool titled = HasText(s.Title);
  if (titled) {
    const QString title = QString::fromLatin1(s.Title);
    const int offset = std::max(0, (s.Bottom - s.Top - fm.horizontalAdvance(title)) / 2);
    DrawRotatedText(p, title, s.Side == 0 ? s.Left : s.Right - h, 90.0, s.Bottom - offset);
  }
  double ticks[kMaxTicks];
  const int n = Plot_TickValues(s.Min, s.Max, s.SpanBottom - s.SpanTop, ticks, kMaxTicks);
  for (int i = 0; i < n; ++i) {
    const int y = TickY(ticks[i], s.Min, s.Max, s.SpanTop, s.SpanBottom);
    if (y < s.SpanTop || y > s.SpanBottom) continue;
    const QString label = FormatLabel(s.LabelFormat, ticks[i]);
    const int w = fm.horizontalAdvance(label);
    if (s.Side == 0) {
      p.drawLine(s.Right - 8, y, s.Right, y);
      const int x = std::max(s.Left, s.Right - 8 - 2 - w);
      p.drawText(QRect(x, y - h / 2, s.Right - 10 - x, h), Qt::AlignRight | Qt::AlignTop, label);
    } else {
      p.drawLine(s.Left, y, s.Left + 8, y);
      const int x = s.Left + 8 + 2;
      const int limit = titled ? s.Right - h : s.Right;
      p.drawText(QRect(x, y - h / 2, std::max(0, limit - x), h), Qt::AlignLeft | Qt::AlignTop, label);
    }
  }
  return true;
}

void Plot_DrawValueScale(QImage& bmp, T_WatchList* wl, int index)
{
  if (index < 0 || index > 1) return;
  T_WatchAxis& a = wl->Axes[index];
  const char* format = "";
  ScaleOfChannel(wl, a.AxisAssign, &a.RangeMin, &a.RangeMax, &format);
  Watch_CopyText(a.LabelFormat, sizeof a.LabelFormat, format, 80);
  a.Side = index;
  a.PlotTop = wl->PlotArea.top;
  a.PlotBottom = wl->PlotArea.bottom;
  T_PlotScale s;
  s.Left = a.Rect.left;
  s.Top = a.Rect.top;
  s.Right = a.Rect.right;
  s.Bottom = a.Rect.bottom;
  s.Side = index;
  Watch_CopyText(s.FontName, sizeof s.FontName, a.FontName, 80);
  s.FontSize = a.FontSize;
  s.Color = wl->GridColor;
  Watch_CopyText(s.Title, sizeof s.Title, a.AxisLabel, 79);
  s.SpanTop = a.PlotTop;
  s.SpanBottom = a.PlotBottom;
  s.Min = a.RangeMin;
  s.Max = a.RangeMax;
  Watch_CopyText(s.LabelFormat, sizeof s.LabelFormat, a.LabelFormat, 80);
  Plot_DrawVertScale(bmp, s);
}

void Plot_DrawBothScales(QImage& bmp, T_WatchList* wl)
{
  for (int i = 0; i < 2; ++i)
    if (wl->Axes[i].AxisAssign >= 0) Plot_DrawValueScale(bmp, wl, i);
}

int Plot_CalcScaleWidth(QImage& /*bmp*/, T_WatchList* wl, int index)
{
  if (index < 0 || index > 1) return 0;
  const T_WatchAxis& a = wl->Axes[index];
  const QFontMetrics fm(FontOf(a.FontName, a.FontSize));
  int w;
  if (a.AxisAssign >= 1 && a.AxisAssign <= WATCH_MAX_CHANNELS) {
    double min, max;
    const char* format;
    ScaleOfChannel(wl, a.AxisAssign, &min, &max, &format);
    w = std::max(fm.horizontalAdvance(FormatLabel(format, min)), fm.horizontalAdvance(FormatLabel(format, max)));
  } else {
    w = fm.horizontalAdvance(QStringLiteral("100 %"));
  }
  w += 10;
  if (HasText(a.AxisLabel)) w += fm.height();
  return w;
}

void Plot_DrawGridLines(QImage& bmp, T_WatchList* wl, int xExtent, int penStyle)
{
  if (penStyle == 3 && xExtent == 0 && (wl->ScrollCount & 4)) return;
  int assign = wl->Axes[0].AxisAssign;
  if (assign == -1) assign = wl->Axes[1].AxisAssign;
  double min, max;
  const char* format;
  ScaleOfChannel(wl, assign, &min, &max, &format);
  const T_PlotRect& a = wl->PlotArea;
  double ticks[kMaxTicks];
  const int n = Plot_TickValues(min, max, a.bottom - a.top, ticks, kMaxTicks);
  if (n == 0) return;
  QPainter p(&bmp);
  QPen pen(ColorRefToQColor(wl->GridColor));
  Plot_SetPenStyle(pen, penStyle);
  p.setPen(pen);
  p.setBackgroundMode(Qt::TransparentMode);
  const int x0 = xExtent < 0 ? a.left : std::max(a.left, a.right - xExtent);
  for (int i = 0; i < n; ++i) {
    const int y = TickY(ticks[i], min, max, a.top, a.bottom);
    if (y < a.top || y > a.bottom) continue;
    if (x0 == a.right)
      p.drawPoint(x0, y);
    else
      p.drawLine(x0, y, a.right, y);
  }
}

void Plot_DrawMarkerLine(QImage& bmp, T_WatchList* wl, int xOffset, int style)
{
  const T_PlotRect& a = wl->PlotArea;
  const int x = a.right - xOffset;
  if (xOffset < 0 || x < 0) return;
  int top;
  switch (style) {
    case 1: case 2: case 3: top = a.top; break;
    case 4: top = a.bottom - 8; break;
    case 5: top = a.bottom - 16; break;
    case 6: top = a.bottom - 32; break;
    default: return;
  }
  top = std::max(top, a.top);
  QPainter p(&bmp);
  QPen pen(ColorRefToQColor(wl->GridColor));
  Plot_SetPenStyle(pen, style);
  pen.setCapStyle(Qt::FlatCap);
  p.setPen(pen);
  p.drawLine(x, a.bottom, x, top);
}

void Plot_DrawTimeLabel(QImage& bmp, T_WatchList* wl, int xOffset, double t)
{
  const char* format = nullptr;
  const bool dateSet = wl->DateLabelFormat[0] != '\0';
  if (dateSet && std::isfinite(t) &&
      std::floor(t / 86400.0) != std::floor(wl->FirstDrawnTime2 / 86400.0))
    format = wl->DateLabelFormat;
  else if (wl->TimeLabelFormat[0])
    format = wl->TimeLabelFormat;
  if (!format) return;
  char buf[81] = {};
  if (CLI_FormatValue(CLI_SRC_WATCH, format, t, buf, 80) < 0) return;
  const T_WatchAxis& ax = wl->Axes[3];
  QPainter p(&bmp);
  p.setFont(FontOf(ax.FontName, ax.FontSize));
  p.setPen(ColorRefToQColor(wl->LabelColor));
  p.setBackgroundMode(Qt::TransparentMode);
  const QFontMetrics fm(p.font());
  const T_PlotRect& a = wl->PlotArea;
  const int x = std::max(a.left, a.right - xOffset - fm.height());
  DrawRotatedText(p, QString::fromLatin1(buf), x, 90.0, a.bottom - 8);
}

bool Plot_DrawTimeMarkers(QImage& bmp, T_WatchList* wl, int xOffset, double t)
{
  const int s = Plot_SecondOfDay(t);
  if (s < 0) return false;
  const int prev = std::max(0, Plot_SecondOfDay(wl->FirstDrawnTime));
  const int large = Plot_IntervalSeconds(wl->LargeIntervalSec);
  if (wl->LargeMarker > 0 && large > 0 && s / large != prev / large) {
    Plot_DrawMarkerLine(bmp, wl, xOffset, wl->LargeMarker);
    Plot_DrawTimeLabel(bmp, wl, xOffset, t);
    wl->FirstDrawnTime = t;
    wl->FirstDrawnTime2 = t;
    return true;
  }
  const int small = Plot_IntervalSeconds(wl->SmallIntervalSec);
  if (wl->SmallMarker > 0 && small > 0 && s / small != prev / small) {
    Plot_DrawMarkerLine(bmp, wl, xOffset, wl->SmallMarker);
    wl->FirstDrawnTime = t;
    return true;
  }
  return false;
}

void Plot_CalcLegendLayout(QImage& bmp, T_WatchList* wl, int* width, int* height)
{
  const QFontMetrics fm(FontOf(wl->LegendFontName, wl->LegendFontSize));
  const int wM = fm.horizontalAdvance(QLatin1Char('M'));
  const int hQ = fm.height();
  const int visible = Plot_VisibleChannels(wl);
  int bw = wM;
  if (wl->LegendDetails == 1 || wl->LegendDetails == 2)
    for (int i = 0; i < ChannelLimit(wl); ++i)
      if (wl->Pens[i].PenDisplayStyle != 0)
        bw = std::max(bw, fm.horizontalAdvance(QString::fromLatin1(wl->Titles[i])));
  bw += wM / 2;
  int bh = hQ + 2;
  int entry = bw;
  if (wl->LegendDetails < 1) entry = 2 * wM;
  if (wl->LegendDetails == 2) {
    entry = bw + 5 * wM;
    bh *= 2;
  }
  if (!width || !height) {
    Plot_PlaceLegendBoxes(wl, bw, hQ);
    return;
  }
  int lw = 0, lh = 0;
  if (wl->LegendPos == WATCH_LEGEND_LEFT || wl->LegendPos == WATCH_LEGEND_RIGHT) {
    lh = visible * bh;
    lw = entry;
  } else if (wl->LegendPos == WATCH_LEGEND_TOP || wl->LegendPos == WATCH_LEGEND_BOTTOM) {
    lw = visible * entry;
    lh = bh;
  }
  *width = std::clamp(lw, 0, bmp.width() / 3);
  *height = std::clamp(lh, 0, bmp.height() / 3);
}

void Plot_CalcLayout(QImage& bmp, T_WatchList* wl)
{
  int lw = 0, lh = 0;
  Plot_CalcLegendLayout(bmp, wl, &lw, &lh);
  int widths[2];
  for (int i = 0; i < 2; ++i) widths[i] = wl->Axes[i].AxisAssign >= 0 ? Plot_CalcScaleWidth(bmp, wl, i) : -1;
  Plot_LayoutRects(wl, bmp.width(), bmp.height(), lw, lh, widths);
  Plot_CalcLegendLayout(bmp, wl, nullptr, nullptr);
}

void Plot_DrawLegend(QImage& bmp, T_WatchList* wl)
{
  const bool test = wl->Axes[3].DebugEnabled != 0;
  const T_PlotRect& a = wl->LegendArea;
  {
    QPainter p(&bmp);
    if (a.right > a.left && a.bottom > a.top)
      p.fillRect(QRect(a.left, a.top, a.right - a.left, a.bottom - a.top),
                 ColorRefToQColor(test ? kLegendTestColor : wl->BkgndColor));
  }
  const T_PlotRect& first = wl->LegendBoxes[0];
  const bool writeText = first.bottom - first.top > 6;
  QPainter p(&bmp);
  if (writeText) p.setFont(FontOf(wl->LegendFontName, wl->LegendFontSize));
  p.setBackgroundMode(Qt::TransparentMode);
  for (int i = 0; i < ChannelLimit(wl); ++i) {
    const T_PlotRect& b = wl->LegendBoxes[i];
    if (b.right <= b.left || b.bottom <= b.top) continue;
    const uint32_t c = wl->Pens[i].PenColor;
    p.fillRect(QRect(b.left, b.top, b.right - b.left, b.bottom - b.top), ColorRefToQColor(c));
    if (!writeText || b.bottom - b.top <= 6) continue;
    p.setPen(ColorRefToQColor(GetContrastColor(c)));
    const QString text = wl->LegendDetails < 1 ? QString::number(i + 1) : QString::fromLatin1(wl->Titles[i]);
    p.setClipRect(QRect(b.left, b.top, b.right - b.left, b.bottom - b.top));
    p.drawText(QPoint(b.left + 1, b.top - 1 + p.fontMetrics().ascent()), text);
    p.setClipping(false);
  }
}

void Plot_ClearDiagram(QImage& bmp, T_WatchList* wl)
{
  bmp.fill(ColorRefToQColor(wl->BkgndColor));
  if (!wl->Axes[3].DebugEnabled) return;
  Plot_FillRect(bmp, wl->LegendArea, kLegendTestColor);
  for (int i = 0; i < ChannelLimit(wl); ++i) Plot_FillRect(bmp, wl->LegendBoxes[i], 50u * static_cast<uint32_t>(i));
  Plot_FillRect(bmp, wl->Axes[2].Rect, 0x007F3F);
  Plot_FillRect(bmp, wl->Axes[3].Rect, 0x7F003F);
  Plot_FillRect(bmp, wl->Axes[0].Rect, 0x7F3F00);
  Plot_FillRect(bmp, wl->Axes[1].Rect, 0x7F0000);
}

void Plot_ScrollLeft(QImage& bmp, T_WatchList* wl, int pixels)
{
  const T_PlotRect& a = wl->ScrollArea;
  const int left = std::max(0, a.left), right = std::min(bmp.width() - 1, a.right);
  const int top = std::max(0, a.top), bottom = std::min(bmp.height() - 1, a.bottom);
  if (pixels <= 0 || right < left || bottom < top) return;
  const int width = right - left + 1;
  const int n = std::min(pixels, width);
  if (bmp.format() != QImage::Format_RGB32 && bmp.format() != QImage::Format_ARGB32 &&
      bmp.format() != QImage::Format_ARGB32_Premultiplied)
    bmp = bmp.convertToFormat(QImage::Format_RGB32);
  const QRgb bg = ColorRefToQColor(wl->BkgndColor).rgb();
  for (int y = top; y <= bottom; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(bmp.scanLine(y));
    std::memmove(row + left, row + left + n, sizeof(QRgb) * static_cast<size_t>(width - n));
    std::fill(row + right - n + 1, row + right + 1, bg);
  }
  wl->ScrollCount += n;
}

void Plot_DrawSegment(QImage& bmp, T_WatchList* wl, int x, int y, int channel, int curve)
{
  int& prevY = wl->PrevY[channel][curve];
  bool& prevValid = wl->PrevValid[channel][curve];
  if (prevValid && x == wl->Axes[3].NewestColumn + 1) {
    QPainter p(&bmp);
    p.setPen(QPen(ColorRefToQColor(wl->Pens[channel].PenColor), 1, Qt::SolidLine));
    p.drawLine(x - 1, prevY, x, y);
  }
  prevY = y;
  prevValid = true;
}

void Plot_DrawNewSamples(QImage& bmp, T_WatchList* wl, const T_PlotDataRecord& rec, int xOffset,
                         int recordChannels)
{
  const T_PlotRect& a = wl->PlotArea;
  const int x = a.right - xOffset;
  if (x < a.left) return;
  const int channels = std::min(ChannelLimit(wl), std::max(recordChannels, 0));
  for (int ch = 0; ch < channels; ++ch) {
    const T_WatchPen& pen = wl->Pens[ch];
    if (pen.PenShowWhat == 0 || pen.PenDisplayStyle == 0) continue;
    const double v[3] = {rec.Channel[ch].Min, rec.Channel[ch].Max, rec.Channel[ch].Average};
    for (int curve = 0; curve < 3; ++curve) {
      if (!(pen.PenShowWhat & (1u << curve))) continue;
      if (!std::isfinite(v[curve])) {
        // No point; the curve starts again after the gap.
        wl->PrevValid[ch][curve] = false;
        continue;
      }
      const int y = Plot_ValueToY(wl, ch, v[curve]);
      const bool line = pen.PenDisplayStyle == 3 || (pen.PenDisplayStyle == 2 && curve == 2);
      const bool dot = pen.PenDisplayStyle == 1 || (pen.PenDisplayStyle == 2 && curve != 2);
      if (line) {
        Plot_DrawSegment(bmp, wl, x, y, ch, curve);
      } else if (dot) {
        if (x >= 0 && x < bmp.width() && y >= 0 && y < bmp.height())
          bmp.setPixel(x, y, ColorRefToQColor(pen.PenColor).rgb());
        wl->PrevY[ch][curve] = y;
        wl->PrevValid[ch][curve] = true;
      }
    }
  }
  wl->Axes[3].NewestColumn = x;
}
