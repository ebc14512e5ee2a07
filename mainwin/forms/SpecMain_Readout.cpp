// The mouse read-outs of the main window: what lies under the mouse on the spectrum graph,
// the frequency scale and the waterfall, shown in Lab_CursorX, Lab_CursorY and Lab_CursorT.
// Every position goes through the displays' own mappings, over the whole axis however wide.
#include <QCursor>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/FreqMixer.h"
#include "engine/MiscUtils.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/TimeUtils.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "platform/NumText.h"

namespace {

QString HzText(const char* format, double f)
{
  char buf[64];
  std::snprintf(buf, sizeof buf, format, f);
  return QString::fromLatin1(buf);
}

void SetTexts(QLabel* x, QLabel* y, QLabel* t, const QString& tx, const QString& ty,
              const QString& tt)
{
  if (x) x->setText(tx);
  if (y) y->setText(ty);
  if (t) t->setText(tt);
}

// The time separator of the user's locale (the character after the hours in its short time
// format), ':' when it has none.
char LocaleTimeSeparator()
{
  const QString f = QLocale().timeFormat(QLocale::ShortFormat);
  int i = 0;
  while (i < f.size() && (f[i] == 'h' || f[i] == 'H' || f[i] == ' ')) ++i;
  if (i > 0 && i < f.size() && f[i].unicode() > 32 && f[i].unicode() < 127 && !f[i].isLetter())
    return static_cast<char>(f[i].unicode());
  return ':';
}

// Axis pixel under (x, y) of an image of w x h pixels in the displays' orientation: the axis
// counts from the left (from the right mirrored) or, rotated, from the bottom (the top mirrored).
int FrequencyAxisPixel(int x, int y, int w, int h)
{
  const bool mirror = SndConfig.SpectrumMirror != 0;
  if (SndConfig.SpectrumOrient == ORIENT_ROTATED) return mirror ? y : h - 1 - y;
  return mirror ? w - 1 - x : x;
}

}  // namespace

void TSndMainForm::FreqScaleReadout(int x, int y)
{
  const double f = FreqScale_MousePosToFreq(x, y);
  // The sideband offset matters only where the spectrum shows the mixer's output: the mixer
  // of the first channel runs and the spectrum is taken after the processing.
  const FreqMixerChain& mixer = g_FreqMixers[0];
  if (mixer.Enabled.load() && SndConfig.ConnectSpectrumToInput == 0) {
    const double fs = f - SndConfig.FreqOffset;  // the mixer works on signal frequencies
    if (SndConfig.MixerSideband < 2)
      SetTexts(Lab_CursorX, Lab_CursorY, Lab_CursorT, HzText("%7.3f Hz", f), "LSB: f_lo - f_x =",
               HzText(" %7.3f Hz", mixer.OscFrequency - fs));
    else
      SetTexts(Lab_CursorX, Lab_CursorY, Lab_CursorT, HzText("%7.3f Hz", f), "USB: f_x - f_lo =",
               HzText(" %7.3f Hz", fs - mixer.OscFrequency));
  } else {
    SetTexts(Lab_CursorX, Lab_CursorY, Lab_CursorT, HzText("%7.3f Hz", f), QString(), QString());
  }
}

void TSndMainForm::Img_SpectrumPlotMouseMove(int x, int y)
{
  const QImage& bitmap = Img_SpectrumPlot->Picture;
  if (bitmap.isNull()) return;
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const int pixel = FrequencyAxisPixel(x, y, bitmap.width(), bitmap.height());
  // The line the producer built last; none yet before the first line.
  const SpectrumBuffer& current = Lines->CurrentSpectrum;
  const QString fx = current.nr_of_bins > 0 && current.bin_width_hz > 0
                         ? HzText("%7.3f Hz", PixelToFrequency(&current, pixel))
                         : QString("<freq unknown>");
  CalcAmplScaling(bitmap, SndConfig.AmplMin, SndConfig.AmplMax);
  double level = 0;  // (+ 0.0 below: the top pixel reads 0.0, not -0.0)
  const QString fy = PixelToAmpl(rotated ? x : y, &level)
                         ? QString::fromStdString(FormatFloat("#0.0", level + 0.0)) + " dB"
                         : QString("?? dB");
  SetTexts(Lab_CursorX, Lab_CursorY, Lab_CursorT, fx, fy, QString());
}

void TSndMainForm::Img_WaterfallMouseMove(int x, int y) { WaterfallMouseReadout(x, y); }

void TSndMainForm::WaterfallMouseReadout(int x, int y)
{
  const int lw = SndConfig.WaterLineWidth;
  if (lw < 1 || !Img_Waterfall) return;
  ReadoutHistoryIndex = -1;
  const QImage& img = Img_Waterfall->Picture;
  const int w = img.width(), h = img.height();
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  // Lines back from the newest: down the picture, or leftward in the rotated layout.
  const int dx = w - 1 - x;
  const int back = rotated ? (dx < 0 ? -1 : dx / lw) : (y < 0 ? -1 : y / lw);
  const int pixel = FrequencyAxisPixel(x, y, w, h);
  const CSpectrumHistory& hist = WaterfallHistory();
  const bool live = !SBR_Time || SBR_Time->value() == 0;
  const int slot = WaterfallHistorySlot(back, hist.SpectrumHistory ? hist.HistoryLines : 0,
                                        hist.HistoryIndex, live, Disp.ViewBase);
  const SpectrumBuffer* rec = slot >= 0 ? WaterfallRecord(slot) : nullptr;
  // A slot that never received a line (the history is not full yet) holds no bins.
  if (!rec || rec->nr_of_bins <= 0 || !(rec->bin_width_hz > 0)) {
    SetTexts(Lab_CursorX, Lab_CursorY, Lab_CursorT, "<freq unknown>", "<ampl unknown>",
             "<time unknown>");
    return;
  }
  ReadoutHistoryIndex = slot;
  const double f = PixelToFrequency(rec, pixel);  // also sets the record's bin mapping
  const QString fx = (g_DebugOptions.load() & 16) ? QString("array_i=%1").arg(slot)
                                                   : HzText("%7.3f Hz", f);
  QString ft = "<time unknown>";
  if (std::isfinite(rec->time)) {
    char tod[TIME_OF_DAY_TEXT_SIZE];
    const double secOfDay = std::fmod(std::trunc(rec->time), 86400.0);
    TimeOfDayToString(static_cast<int>(secOfDay), tod, LocaleTimeSeparator());
    ft = QString::fromLatin1(tod);
  }
  // The level of the bin under the pixel, when the record holds that bin.
  QString fy = "<ampl unknown>";
  const double bin = std::trunc(pixel * Disp.Mapping.BinsPerPixel + Disp.Mapping.FirstBin);
  if (bin >= 0 && bin < std::min(rec->nr_of_bins, SPECTRUM_MAX_BINS)) {
    const double value = rec->bins[static_cast<int>(bin)] * rec->scale_factor;
    fy = QString::fromStdString(FormatFloat("##0.#", value)) + " " +
         QString::fromUtf8(UnitSymbolToString(rec->scale_unit));
  }
  SetTexts(Lab_CursorX, Lab_CursorY, Lab_CursorT, fx, fy, ft);
}

void TSndMainForm::RefreshWaterfallReadout()
{
  if (!Img_Waterfall || !Img_Waterfall->isVisible()) return;
  const QPoint p = Img_Waterfall->mapFromGlobal(QCursor::pos());
  if (Img_Waterfall->rect().contains(p)) WaterfallMouseReadout(p.x(), p.y());
}

void TSndMainForm::Img_WaterfallClick()
{
  if (PC_Controls && TS_Time) PC_Controls->setCurrentWidget(TS_Time);
  if (ReadoutHistoryIndex < 0) return;
  // The spectrum of the clicked line alone.
  const SpectrumBuffer* rec = WaterfallRecord(ReadoutHistoryIndex);
  if (rec && rec->nr_of_bins > 0) ShowSpectrumGraph(rec, nullptr);
}
