// The waterfall: new lines from the spectrum history, scrolling, the frequency and time grid,
// time labels, the sliced redraw from the history and the colour bar.
//
// The picture is the 32-bit image of Img_Waterfall. Lines are written straight into its scan
// lines by CWaterfallRaster (bin ranges per pixel and the level table prepared once per layout,
// range or palette change); a batch of new lines scrolls the picture by one block move of its
// rows, and the picture is shown by the widget's next paint. Only the time labels use a painter.
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/SndConfig.h"
#include "engine/TimeUtils.h"
#include "interp/CliSpectrum.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/FreqScaleTicks.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/Zub_graf.h"
#include "platform/PerfCounter.h"

namespace {

QFont WaterfallTimeLabelFont() { return QFont("Arial Narrow", 8); }

// Pixels a time label takes across the lines, with a pixel of air on each side.
int WaterfallTimeLabelHeight() { return QFontMetrics(WaterfallTimeLabelFont()).height() + 2; }

}  // namespace

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;  // alpha of Qt's RGB32 pixels

int LineWidth()
{
  int lw = SndConfig.WaterLineWidth;
  if (lw < 1 || lw > 2) {  // written back in the form it is used
    lw = std::clamp(lw, 1, 2);
    SndConfig.WaterLineWidth = lw;
  }
  return lw;
}

TRasterTarget TargetOf(QImage& img)
{
  return {img.bits(), img.width(), img.height(), static_cast<ptrdiff_t>(img.bytesPerLine()), 32};
}

int Wrap(int index, int count) { return ((index % count) + count) % count; }

// A history slot that never received a line (records start zeroed, without bins).
bool IsStored(const SpectrumBuffer* r) { return r && r->nr_of_bins > 0; }

}  // namespace

const CSpectrumHistory& TSndMainForm::WaterfallHistory() const
{
  return Disp.HistorySource ? *Disp.HistorySource : History;
}

const SpectrumBuffer* TSndMainForm::WaterfallRecord(int k) const
{
  const CSpectrumHistory& hist = WaterfallHistory();
  if (hist.HistoryLines <= 0 || !hist.SpectrumHistory) return nullptr;
  return &hist.SpectrumHistory[Wrap(k, hist.HistoryLines)];
}

void TSndMainForm::UpdateWaterfall(int n)
{
  const CSpectrumHistory& hist = WaterfallHistory();
  if (!Img_Waterfall || n <= 0) return;
  QImage& img = Img_Waterfall->Picture;
  if (img.isNull()) return;
  const int lw = LineWidth();
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const int L = (rotated ? img.width() : img.height()) / lw - 1;
  const bool scroll = SndConfig.WaterScrollEnabled != 0;
  const int lines = hist.SpectrumHistory ? hist.HistoryLines : 0;
  n = lines > 0 ? std::min(n, lines) : 1;  // without a history only the newest line exists
  if (scroll) ScrollWaterfall(n);
  for (int k = n - 1; k >= 0; --k) {
    const int h = lines > 0 ? Wrap(hist.HistoryIndex - 1 - k, lines) : 0;
    const SpectrumBuffer* rec = lines > 0 ? &hist.SpectrumHistory[h] : &g_LatestSpectrum;
    int d = k;
    if (!scroll) {
      if (Disp.WritePos < 0 || Disp.WritePos > L) Disp.WritePos = 0;
      d = Disp.WritePos;
      if (--Disp.WritePos < 0) Disp.WritePos = L;  // from the top upward, wrapping: a curtain
    }
    const SpectrumBuffer* draw = rec;
    if (SndConfig.SpectrumRefSubtract) {
      CLI_SubtractRefSpectrum(rec, &g_DiffSpectrum);
      draw = &g_DiffSpectrum;
    }
    DrawWaterfallLine(img, draw, d);
    DrawWaterfallGridLine(img, d, h);
    // Time grid: a mark at each crossing of a multiple of TimeGridSeconds, at least 9 lines
    // apart and never closer than a label is high (fast lines would stack the labels).
    if (Disp.LinesSinceLabel < 1000) ++Disp.LinesSinceLabel;
    const int tgs = SndConfig.TimeGridSeconds;
    const int labelLines = std::max(9, (WaterfallTimeLabelHeight() + LineWidth() - 1) / LineWidth());
    if (SndConfig.WaterTimeGrid > 0 && tgs > 0 && Disp.LinesSinceLabel >= labelLines &&
        std::trunc(Disp.LastLabelTime / tgs) != std::trunc(rec->time / tgs)) {
      Disp.LastLabelTime = rec->time;
      DrawWaterfallTimeLabel(img, d, rec->time);
      Disp.LinesSinceLabel = 0;
    }
  }
  if (!Disp.SavingWaterfall) Img_Waterfall->update();
}

void TSndMainForm::ScrollWaterfall(int n)
{
  QImage& img = Img_Waterfall->Picture;
  if (img.isNull() || n <= 0) return;
  CWaterfallRaster::Scroll(TargetOf(img), n * LineWidth(), SndConfig.SpectrumOrient);
}

void TSndMainForm::DrawWaterfallLine(QImage& bitmap, const SpectrumBuffer* record, int d)
{
  const int lw = LineWidth();
  if (bitmap.isNull() || !record || !(SndConfig.AmplMax > SndConfig.AmplMin)) return;
  const int orient = SndConfig.SpectrumOrient;
  if (orient != ORIENT_HORIZONTAL && orient != ORIENT_ROTATED) return;
  if (bitmap.format() != QImage::Format_RGB32) bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
  CalcFreqBinMapping(record->bin_width_hz, record->offset_hz);
  const double ofs = std::clamp(100.0 * record->scale_offset, -1e9, 1e9);
  if (!Disp.Raster.SetLevels(SndConfig.AmplMin, SndConfig.AmplMax, static_cast<int>(ofs))) return;
  const bool rotated = orient == ORIENT_ROTATED;
  const bool mirror = SndConfig.SpectrumMirror != 0;
  Disp.Raster.SetColumns(Disp.Mapping, rotated ? bitmap.height() : bitmap.width(),
                         rotated ? !mirror : mirror);
  if (!Disp.PaletteValid ||
      std::memcmp(Disp.PaletteCache, g_WaterfallPalette.entries, sizeof Disp.PaletteCache) != 0) {
    std::memcpy(Disp.PaletteCache, g_WaterfallPalette.entries, sizeof Disp.PaletteCache);
    Disp.Raster.SetPalette(Disp.PaletteCache, 32, kOpaque);
    Disp.PaletteValid = true;
  }
  Disp.Raster.DrawLine(TargetOf(bitmap), record->bins, d, lw, orient);
}

void TSndMainForm::DrawWaterfallGridLine(QImage& bitmap, int d, int historyIndex)
{
  if (!SndConfig.WaterFreqGrid || bitmap.isNull()) return;
  const int lw = LineWidth();
  if ((SndConfig.FreqGridStyle & 1) && !((historyIndex * lw) & 4)) return;  // dashed: 4 on, 4 off
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const bool mirror = SndConfig.SpectrumMirror != 0;
  const int axis = (rotated ? bitmap.height() : bitmap.width()) - 1;
  if (Disp.GridKeyLen != axis || Disp.GridKeyMin != SndConfig.FreqMin ||
      Disp.GridKeyMax != SndConfig.FreqMax || Disp.GridKeyOrient != int(rotated) ||
      Disp.GridKeyMirror != int(mirror)) {
    // The grid columns (label ticks of the frequency scale) once per layout or range change.
    std::vector<TFreqTick> ticks;
    ComputeFreqTicks(SndConfig.FreqMin, SndConfig.FreqMax, axis, mirror, ticks);
    Disp.GridPixels.clear();
    for (const TFreqTick& t : ticks)
      if (t.Label) Disp.GridPixels.push_back(rotated && !mirror ? bitmap.height() - 1 - t.Pos : t.Pos);
    Disp.GridKeyLen = axis;
    Disp.GridKeyMin = SndConfig.FreqMin;
    Disp.GridKeyMax = SndConfig.FreqMax;
    Disp.GridKeyOrient = rotated;
    Disp.GridKeyMirror = mirror;
  }
  const uint32_t colour = PackPixel32(static_cast<uint32_t>(SndConfig.WaterGridColor)) | kOpaque;
  if (!rotated) {
    const int y = lw * d;
    if (y < 0 || y >= bitmap.height() - 1) return;
    CWaterfallRaster::DrawGridPixels(TargetOf(bitmap), Disp.GridPixels, y, y + lw - 1,
                                     ORIENT_HORIZONTAL, colour);
  } else {
    const int x = (bitmap.width() - 1) - lw * d - (lw - 1);
    if (x < 0 || x > bitmap.width() - 1) return;
    CWaterfallRaster::DrawGridPixels(TargetOf(bitmap), Disp.GridPixels, x, x + lw - 1,
                                     ORIENT_ROTATED, colour);
  }
}

void TSndMainForm::SetWaterfallMarkerPen(QPainter& canvas, int style)
{
  QPen pen(ColorRefToQColor(SndConfig.WaterGridColor));
  pen.setWidth(1);
  pen.setStyle((style & 1) ? Qt::DotLine : Qt::SolidLine);
  canvas.setPen(pen);
  if (style & 1) canvas.setBrush(Qt::NoBrush);
}

QString TSndMainForm::WaterfallTimeText(double time) const
{
  const int t = static_cast<int>(std::clamp(std::trunc(time), -2147483648.0, 2147483647.0));
  char buf[64];
  switch (SndConfig.WaterTimeLabel) {
  case 1: std::snprintf(buf, sizeof buf, "%02d", ((t % 60) + 60) % 60); break;
  case 2: std::snprintf(buf, sizeof buf, "%02d:%02d", ((t / 3600) % 24 + 24) % 24, ((t / 60) % 60 + 60) % 60); break;
  case 3: TimeOfDayToString(t, buf, ':'); break;
  case 4: {
    char date[DATE_TEXT_SIZE], tod[TIME_OF_DAY_TEXT_SIZE];
    DateToString(t, date, '-');
    TimeOfDayToString(t, tod, ':');
    std::snprintf(buf, sizeof buf, "%s %s", date, tod);
    break;
  }
  default: return QString();
  }
  return QString::fromLatin1(buf);
}

void TSndMainForm::DrawWaterfallTimeLabel(QImage& bitmap, int d, double time)
{
  if (bitmap.isNull()) return;
  const int lw = LineWidth();
  QPainter c(&bitmap);
  SetWaterfallMarkerPen(c, SndConfig.TimeGridStyle);
  const QString text = WaterfallTimeText(time);
  const QFont font = WaterfallTimeLabelFont();
  c.setFont(font);
  const QFontMetrics fm(font);
  const bool opaque = !SndConfig.WaterLabelTransparent;
  const int w = bitmap.width(), h = bitmap.height();
  if (SndConfig.SpectrumOrient != ORIENT_ROTATED) {
    const int y = lw * d;
    if (y < 0 || y >= h - 1 || h - 1 <= 1) return;
    c.drawLine(0, y, w - 1, y);
    if (!text.isEmpty()) {
      const QRect r(2, y - 1, fm.horizontalAdvance(text), fm.height());
      if (opaque) c.fillRect(r, ColorRefToQColor(SndConfig.WaterGridColor));
      c.setPen(ColorRefToQColor(SndConfig.WaterLabelTextColor));
      c.drawText(r, Qt::AlignLeft | Qt::AlignTop, text);
    }
  } else {
    const int x = (w - 1) - lw * d - 1;
    if (x < 0 || x >= w - 1 || w - 1 <= 1) return;
    c.drawLine(x, 0, x, h - 1);
    if (!text.isEmpty()) {
      // Newer lines enter at the right, so the text goes on the older side, left of the mark,
      // over lines already drawn (the newest mark lies at the right edge; a text to its right
      // would fall outside the picture). Rotated by 90 degrees it reads upwards from the bottom.
      const int left = x - fm.height();
      const int advance = fm.horizontalAdvance(text);
      if (opaque)
        c.fillRect(QRect(left, h - 3 - advance, fm.height(), advance),
                   ColorRefToQColor(SndConfig.WaterGridColor));
      c.setPen(ColorRefToQColor(SndConfig.WaterLabelTextColor));
      DrawRotatedText(c, text, left, 90.0, h - 3);
    }
  }
}

void TSndMainForm::RestartWaterfallRedraw()
{
  Disp.RedrawPos = 0;
  Disp.PendingLabelLine = -1;
}

void TSndMainForm::RedrawWaterfallFromHistory()
{
  const CSpectrumHistory& hist = WaterfallHistory();
  if (Disp.RedrawPos < 0 || !Img_Waterfall) return;
  const int lines = hist.SpectrumHistory ? hist.HistoryLines : 0;
  if (lines <= 0 || Disp.RedrawPos >= lines) return;
  const bool live = !SBR_Time || SBR_Time->value() == 0;
  if (SndConfig.WaterScrollTime <= 100 && live) return;  // fast live lines refill it anyway
  QImage& img = Img_Waterfall->Picture;
  if (img.isNull()) return;
  const int64_t freq = std::max<int64_t>(QueryPerformanceFrequency(), 1);
  const int64_t deadline = QueryPerformanceCounter() + freq / 10;  // 100 ms
  const int lw = LineWidth();
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const int extent = rotated ? img.width() : img.height();
  const int tgs = SndConfig.TimeGridSeconds;
  const bool timeGrid = SndConfig.WaterTimeGrid > 0 && tgs > 0;
  int count = 0;
  bool late = false;
  // Lines between the newest stored and the one at the top: the picture goes down to the
  // oldest line and stops there (one step further would be the newest again).
  const int age = live ? 0 : Wrap(hist.HistoryIndex - 1 - Disp.ViewBase, lines);
  for (;;) {
    const int pos = Disp.RedrawPos;
    const int h = Wrap(live ? hist.HistoryIndex - 1 - pos : Disp.ViewBase - pos, lines);
    const SpectrumBuffer* rec = &hist.SpectrumHistory[h];
    if (pos * lw < extent && age + pos < lines && IsStored(rec)) {
      const SpectrumBuffer* draw = rec;
      if (SndConfig.SpectrumRefSubtract) {
        CLI_SubtractRefSpectrum(rec, &g_DiffSpectrum);
        draw = &g_DiffSpectrum;
      }
      DrawWaterfallLine(img, draw, pos);
      DrawWaterfallGridLine(img, pos, h);
      // Labels wait until the lines under their text are drawn.
      if (Disp.PendingLabelLine >= 0 &&
          pos * lw >= Disp.PendingLabelLine * lw + std::max(16, WaterfallTimeLabelHeight())) {
        DrawWaterfallTimeLabel(img, Disp.PendingLabelLine, Disp.PendingLabelTime);
        Disp.PendingLabelLine = -1;
      }
      const SpectrumBuffer* before = &hist.SpectrumHistory[Wrap(h - 1, lines)];
      // A label still pending lies closer than a label is high: the crossing gets no label
      // of its own, so fast lines (an analysed file) do not stack labels on each other.
      if (timeGrid && age + pos + 1 < lines && IsStored(before) &&
          std::trunc(rec->time / tgs) != std::trunc(before->time / tgs) &&
          Disp.PendingLabelLine < 0) {
        Disp.PendingLabelLine = pos;
        Disp.PendingLabelTime = rec->time;
      }
      ++Disp.RedrawPos;
    } else {
      // Finished: the rest of the picture holds no history line.
      if (Disp.PendingLabelLine >= 0)
        DrawWaterfallTimeLabel(img, Disp.PendingLabelLine, Disp.PendingLabelTime);
      Disp.PendingLabelLine = -1;
      const int from = std::min(pos * lw, extent);
      if (!rotated) {
        for (int y = from; y < img.height(); ++y)
          std::fill_n(reinterpret_cast<uint32_t*>(img.scanLine(y)), img.width(), kOpaque);
      } else {
        for (int y = 0; y < img.height(); ++y)
          std::fill_n(reinterpret_cast<uint32_t*>(img.scanLine(y)), std::max(img.width() - from, 0), kOpaque);
      }
      Disp.RedrawPos = -1;
      break;
    }
    ++count;
    if (QueryPerformanceCounter() >= deadline) {
      late = true;
      break;
    }
    if (count >= Disp.LinesPerSlice) break;
  }
  if (!Disp.SavingWaterfall) Img_Waterfall->update();
  Disp.LinesPerSlice = late ? Disp.LinesPerSlice - Disp.LinesPerSlice / 4
                            : Disp.LinesPerSlice + Disp.LinesPerSlice / 4 + 2;
  Disp.LinesPerSlice = std::clamp(Disp.LinesPerSlice, 2, 200);
}

void TSndMainForm::SBR_TimeChange()
{
  const CSpectrumHistory& hist = WaterfallHistory();
  if (UpdatingControls > 0) return;
  const int lines = hist.SpectrumHistory ? hist.HistoryLines : 0;
  if (lines <= 0) return;
  Disp.ViewBase = Wrap(hist.HistoryIndex - 1 - SBR_Time->value(), lines);
  RestartWaterfallRedraw();
  Disp.WritePos = 0;
  // The time label follows the newest line in view (the newest stored when live again).
  const SpectrumBuffer* top = &hist.SpectrumHistory[Disp.ViewBase];
  if (IsStored(top)) ShowViewTime(top->time);
}

void TSndMainForm::RealizePalettes()
{
  // The screen image is 32-bit: no logical palette to realise. A changed look-up table reaches
  // the waterfall through DrawWaterfallLine, which re-packs it when it differs.
  Disp.PaletteValid = false;
}

void TSndMainForm::DrawColorBar()
{
  if (!Img_ColorLegend) return;
  QImage& img = Img_ColorLegend->Picture;
  if (img.isNull()) return;
  const int w = img.width();
  for (int y = 0; y < img.height(); ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
    for (int x = 0; x < w; ++x)
      row[x] = PackPixel32(g_WaterfallPalette.entries[std::min(x * 255 / w, 255)]) | kOpaque;
  }
  Img_ColorLegend->update();
}
