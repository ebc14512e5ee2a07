// The spectrum graph: the newest line (and an averaged one), the reference spectrum, the
// alert's curves and range markers, the frequency and amplitude grids.
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "engine/SndConfig.h"
#include "interp/CliSpectrum.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/SpectrumCurve.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/Zub_graf.h"
#include "platform/NumText.h"

namespace {

QPen Pen(uint32_t colour, int width)
{
  QPen p(ColorRefToQColor(colour));
  p.setWidth(width);
  return p;
}

QFont GridFont()
{
  QFont f("Courier New", 8);
  f.setStyleHint(QFont::Monospace);
  return f;
}

}  // namespace

void TSndMainForm::ShowSpectrumGraph(const SpectrumBuffer* newest, const SpectrumBuffer* second)
{
  if (!Img_SpectrumPlot || !Img_SpectrumPlot->isVisible()) return;
  UpdateSpectrumGraph(Img_SpectrumPlot->Picture, newest, second);
  Img_SpectrumPlot->update();
}

void TSndMainForm::UpdateSpectrumGraph(QImage& bitmap, const SpectrumBuffer* newest,
                                       const SpectrumBuffer* second)
{
  if (Disp.GraphBusy || bitmap.isNull()) return;
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const int w = bitmap.width(), h = bitmap.height();
  {
    QPainter c(&bitmap);
    c.fillRect(bitmap.rect(), ColorRefToQColor(SndConfig.SpectrumBgColor));
    // Reference spectrum.
    if (SndConfig.SpectrumRefVisible && g_ReferenceSpectrum.bin_width_hz > 0) {
      c.setPen(Pen(SndConfig.SpectrumRefColor, 1));
      CalcFreqBinMapping(g_ReferenceSpectrum.bin_width_hz, g_ReferenceSpectrum.offset_hz);
      DrawSpectrumCurve(c, bitmap, nullptr, g_ReferenceSpectrum.nr_of_bins,
                        g_ReferenceSpectrum.scale_offset, g_ReferenceSpectrum.bins);
    }
    // The alert's smoothed input (green) and its pattern-match curve (red), over the smoothed
    // spectrum's bins.
    if (AlertSettings.Enable && AlertSettings.Visualize && newest &&
        (AlertSettings.PlotOptions & (4 | 8)) && g_AlertAvgSpectrum.NrOfBins > 0) {
      const int count = std::min(g_AlertAvgSpectrum.NrOfBins, ALERT_MAX_BINS);
      CalcFreqBinMapping(newest->bin_width_hz, g_AlertAvgSpectrum.FirstBinHz);
      if (AlertSettings.PlotOptions & 4) {
        c.setPen(Pen(0x008000, 2));
        DrawSpectrumCurve(c, bitmap, g_AlertAvgSpectrum.Bins, count, g_DbOffsetValue, nullptr);
      }
      if (AlertSettings.PlotOptions & 8) {
        c.setPen(Pen(0x0000FF, 2));
        DrawSpectrumCurve(c, bitmap, g_AlertPatternMatch, count, g_DbOffsetValue, nullptr);
      }
    }
  }
  // Frequency grid: lines at the labelled frequencies only.
  if (SndConfig.FrequencyGrid)
    DrawFrequencyScale(bitmap, true, false, -1, -1, SndConfig.SpectrumGridColor);

  QPainter c(&bitmap);
  if (SndConfig.AmplitudeGrid) {
    c.setPen(Pen(SndConfig.SpectrumGridColor, 1));
    const QFont font = GridFont();
    c.setFont(font);
    const QFontMetrics fm(font);
    CalcAmplScaling(bitmap, SndConfig.AmplMin, SndConfig.AmplMax);
    int prevLabel = -1000;
    for (int level = -160; level <= 160; level += 10) {
      int p = 0;
      if (!AmplToPixel(level, &p)) continue;
      const QString text = QString::number(level);
      if (!rotated) {
        c.drawLine(0, p, w - 1, p);
        const int top = p - fm.height() / 2 - 2;
        const int x = level < -9 ? w - 1 - 24 : w - 1 - 16;
        if (top > 0 && top < h - 1 - fm.height() && std::abs(top - prevLabel) > 9) {
          // Opaque text: the grid line runs through the label's middle (its minus sign).
          c.fillRect(QRect(x, top, fm.horizontalAdvance(text), fm.height()),
                     ColorRefToQColor(SndConfig.SpectrumBgColor));
          c.drawText(x, top + fm.ascent(), text);
          prevLabel = top;
        }
      } else {
        c.drawLine(p, 0, p, h - 1);
        if (std::abs(p - prevLabel) > 9) {
          DrawRotatedText(c, text, p + 1, 90.0, h - 3);
          prevLabel = p;
        }
      }
    }
  }
  // The averaged line, then the newest one on top.
  if (second) {
    c.setPen(Pen(SndConfig.SpectrumPenColor[1], 1));
    CalcFreqBinMapping(second->bin_width_hz, second->offset_hz);
    DrawSpectrumCurve(c, bitmap, nullptr, second->nr_of_bins, second->scale_offset, second->bins);
  }
  if (newest) {
    c.setPen(Pen(SndConfig.SpectrumPenColor[0], 1));
    CalcFreqBinMapping(newest->bin_width_hz, newest->offset_hz);
    DrawSpectrumCurve(c, bitmap, nullptr, newest->nr_of_bins, newest->scale_offset, newest->bins);
  }
  if (AlertSettings.Enable && AlertSettings.Visualize) {
    DrawAlertRange(c, bitmap, g_AlertRangeA, SndConfig.SpectrumPenColor[2]);
    DrawAlertRange(c, bitmap, g_AlertRangeB, SndConfig.SpectrumPenColor[3]);
  }
  if (DrawGraphMarkersHook) DrawGraphMarkersHook(c, bitmap);
}

void TSndMainForm::DrawSpectrumCurve(QPainter& canvas, QImage& bitmap, const double* values,
                                     int count, double levelOffset, const int16_t* bins)
{
  TCurveParams p;
  p.Width = bitmap.width();
  p.Height = bitmap.height();
  p.Orient = SndConfig.SpectrumOrient;
  p.Mirror = SndConfig.SpectrumMirror != 0;
  p.Mapping = Disp.Mapping;
  double offset = levelOffset;
  if (bins) {  // hundredths of a dB
    CalcAmplScaling(bitmap, SndConfig.AmplMin * 100.0f, SndConfig.AmplMax * 100.0f);
    offset = std::trunc(std::clamp(100.0 * levelOffset, -1e9, 1e9));
  } else {
    CalcAmplScaling(bitmap, SndConfig.AmplMin, SndConfig.AmplMax);
  }
  p.Ampl = Disp.Ampl;
  std::vector<TCurvePoint> pts;
  ComputeSpectrumCurve(p, bins, values, count, offset, pts);
  if (pts.empty()) return;
  QPolygon poly(static_cast<int>(pts.size()));
  for (size_t k = 0; k < pts.size(); ++k) poly.setPoint(static_cast<int>(k), pts[k].X, pts[k].Y);
  if (poly.size() == 1) canvas.drawPoint(poly.point(0));
  else canvas.drawPolyline(poly);
}

void TSndMainForm::DrawAlertRange(QPainter& canvas, QImage& bitmap, const AlertRangeResult& r,
                                  uint32_t colour)
{
  if (!(r.FmaxHz > r.FminHz)) return;  // no evaluation yet
  TCurveParams p;
  p.Width = bitmap.width();
  p.Height = bitmap.height();
  p.Orient = SndConfig.SpectrumOrient;
  p.Mirror = SndConfig.SpectrumMirror != 0;
  CalcAmplScaling(bitmap, SndConfig.AmplMin, SndConfig.AmplMax);
  p.Ampl = Disp.Ampl;
  const double fmin = SndConfig.FreqMin, fmax = SndConfig.FreqMax, ofs = SndConfig.FreqOffset;
  canvas.setPen(Pen(colour, 1));
  canvas.setBrush(Qt::NoBrush);
  int x0, y0, x1, y1;
  if (AlertSettings.PlotOptions & 2) {
    FreqLevelToPoint(p, fmin, fmax, r.FminHz + ofs, r.Noise, &x0, &y0);
    FreqLevelToPoint(p, fmin, fmax, r.FmaxHz + ofs, r.Noise, &x1, &y1);
    canvas.drawLine(x0, y0, x1, y1);
  }
  const bool inside = FreqLevelToPoint(p, fmin, fmax, r.PeakFreqHz + ofs, r.Peak, &x0, &y0);
  canvas.drawEllipse(QPoint(x0, y0), 4, 4);
  if ((AlertSettings.PlotOptions & 1) && inside && x0 > 16 && x0 < p.Width - 16 && y0 > 0 &&
      y0 < p.Height - 16) {
    QFont f("Courier New", 8);
    f.setStyleHint(QFont::Monospace);
    canvas.setFont(f);
    const QFontMetrics fm(f);
    const QString t1 = QString::fromStdString(FormatFloat("##0.00", r.PeakFreqHz)) + "Hz";
    const QString t2 = QString::fromStdString(FormatFloat("#0.0", r.Peak - r.Noise)) + "dB";
    const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
    const int tx = rotated ? x0 + 8 : x0;
    const int ty = rotated ? y0 : y0 - 3 * fm.height();
    canvas.drawText(tx, ty + fm.ascent(), t1);
    canvas.drawText(tx, ty + fm.height() + fm.ascent(), t2);
  }
}
