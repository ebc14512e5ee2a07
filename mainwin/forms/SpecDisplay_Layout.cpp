// The main window's display geometry: the displayed frequency range with its edits and step
// buttons, the mappings, the frequency and dB scales and the arrangement of the display areas.
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "engine/BigSampleBuffer.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "interp/CliEval.h"
#include "mainwin/FreqScaleTicks.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/Zub_graf.h"
#include "platform/NumText.h"

namespace {

constexpr int kInterpSourceDisplay = 4;  // display expressions (frequency edits)

QFont ScaleFont()
{
  QFont f("Courier New", 8);
  f.setStyleHint(QFont::Monospace);
  return f;
}

// The largest display frequency or offset an edit takes: 1 THz, far above any receiver, with
// 0.1 Hz steps still exact in a double.
constexpr double kMaxDisplayFrequency = 1e12;

// Evaluates an edit's text as one interpreter expression. An empty text, text after the
// expression, an evaluation error or a value that is not finite refuse the text.
bool EvalEditText(const QString& text, double* value)
{
  const std::string s = text.toStdString();
  if (text.trimmed().isEmpty()) return false;  // an emptied edit is no value
  const char* saved = g_CliParsePtr;
  g_CliParsePtr = s.c_str();
  double v = 0;
  int rc = CLI_EvalExpression(kInterpSourceDisplay, &v);
  if (rc >= 0) {
    CLI_SkipSpaces();
    if (*g_CliParsePtr != '\0') rc = CLI_ERR_SYNTAX;
  }
  g_CliParsePtr = saved;
  // Beyond the scale's reach (its labels and grid need a drawable range) the text is refused.
  if (rc < 0 || !std::isfinite(v) || std::fabs(v) > kMaxDisplayFrequency) return false;
  *value = v;
  return true;
}

}  // namespace

void TSndMainForm::CreateDisplayAreas()
{
  // The group of the three display areas fills the display region of the window.
  Grp_Spectra = new TSpecGroup;
  Grp_Spectra->setObjectName("Grp_Spectra");
  Grp_Spectra->setProperty("HelpContext", 180);
  if (QLayout* l = DisplayArea->layout()) {
    while (QLayoutItem* it = l->takeAt(0)) {
      delete it->widget();
      delete it;
    }
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Grp_Spectra);
  }
  Img_SpectrumPlot = new TSpecImage("Img_SpectrumPlot", Grp_Spectra);
  Img_FreqScale1 = new TSpecImage("Img_FreqScale1", Grp_Spectra);
  Img_Waterfall = new TSpecImage("Img_Waterfall", Grp_Spectra);
  Img_SpectrumPlot->setProperty("HelpContext", 210);
  Img_Waterfall->setProperty("HelpContext", 210);
  Grp_Spectra->OnResize = [this] { FormResize(); };

  // Frequency edits with their step buttons, the colour bar and its dB scale.
  auto* freqBox = new QWidget;
  freqBox->setObjectName("TS_Freq");
  freqBox->setProperty("HelpContext", 120);
  TS_Freq = freqBox;
  auto* grid = new QHBoxLayout(freqBox);
  grid->setContentsMargins(2, 2, 2, 2);
  auto makeEdit = [&](const char* name, const char* label) {
    auto* ed = new QLineEdit;
    ed->setObjectName(name);
    ed->setMaximumWidth(80);
    grid->addWidget(new QLabel(label));
    grid->addWidget(ed);
    return ed;
  };
  auto makeButton = [&](const char* name, Qt::ArrowType arrow) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    grid->addWidget(b);
    return b;
  };
  Ed_FreqMin = makeEdit("Ed_FreqMin", "f min");
  Btn_FreqMinDown = makeButton("Btn_FreqMinDown", Qt::DownArrow);
  Btn_FreqMinUp = makeButton("Btn_FreqMinUp", Qt::UpArrow);
  Ed_FreqMax = makeEdit("Ed_FreqMax", "f max");
  Btn_FreqMaxDown = makeButton("Btn_FreqMaxDown", Qt::DownArrow);
  Btn_FreqMaxUp = makeButton("Btn_FreqMaxUp", Qt::UpArrow);
  Ed_FreqOffset = makeEdit("Ed_FreqOffset", "offset");

  auto* legend = new QWidget;
  auto* lv = new QVBoxLayout(legend);
  lv->setContentsMargins(0, 0, 0, 0);
  lv->setSpacing(0);
  Img_ColorLegend = new TSpecImage("Img_ColorLegend");
  Img_ColorLegend->OnDblClick = [this] { Img_ColorLegendDblClick(); };
  Img_ColorLegend->setFixedSize(160, 10);
  Img_ColorLegendScale = new TSpecImage("Img_ColorLegendScale");
  Img_ColorLegendScale->setFixedSize(160, 22);
  lv->addWidget(Img_ColorLegend);
  lv->addWidget(Img_ColorLegendScale);
  Img_ColorLegend->SetPictureSize(160, 10);
  Img_ColorLegendScale->SetPictureSize(160, 22);

  // The frequency page and the history page as tabs, and the cursor read-outs beside them
  // (visible on either page).
  PC_Controls = new QTabWidget;
  PC_Controls->setObjectName("PC_Controls");
  PC_Controls->addTab(freqBox, "Frequency");
  if (TS_Time) PC_Controls->addTab(TS_Time, "Time");
  PC_Controls->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
  Grp_Cursor = new QGroupBox("Cursor");
  Grp_Cursor->setObjectName("Grp_Cursor");
  Grp_Cursor->setProperty("HelpContext", 140);
  auto* cl = new QVBoxLayout(Grp_Cursor);
  cl->setContentsMargins(4, 0, 4, 0);
  cl->setSpacing(0);
  auto makeCursorLabel = [&](const char* name) {
    auto* lab = new QLabel;
    lab->setObjectName(name);
    lab->setMinimumWidth(150);
    cl->addWidget(lab);
    return lab;
  };
  // Until the mouse reads something: nothing known yet.
  Lab_CursorX = makeCursorLabel("Lab_CursorX");
  Lab_CursorY = makeCursorLabel("Lab_CursorY");
  Lab_CursorT = makeCursorLabel("Lab_CursorT");
  Lab_CursorX->setText("<freq unknown>");
  Lab_CursorY->setText("<ampl unknown>");
  Lab_CursorT->setText("<time unknown>");

  // A row of their own below the control group, so the window keeps its narrow minimum.
  auto* row = new QWidget;
  row->setObjectName("Pnl_FreqControls");
  auto* rl = new QHBoxLayout(row);
  rl->setContentsMargins(4, 0, 4, 0);
  rl->addWidget(PC_Controls);
  rl->addWidget(Grp_Cursor);
  rl->addStretch(1);
  rl->addWidget(legend);
  if (auto* v = qobject_cast<QBoxLayout*>(DisplayArea->parentWidget()->layout()))
    v->insertWidget(v->indexOf(DisplayArea) + 1, row);

  connect(Ed_FreqMin, &QLineEdit::textEdited, this, [this] { Ed_FreqChange(0); });
  connect(Ed_FreqMax, &QLineEdit::textEdited, this, [this] { Ed_FreqChange(1); });
  connect(Ed_FreqOffset, &QLineEdit::textEdited, this, [this] { Ed_FreqChange(2); });
  connect(Btn_FreqMinUp, &QToolButton::clicked, this, [this] { StepFreqMin(+1); });
  connect(Btn_FreqMinDown, &QToolButton::clicked, this, [this] { StepFreqMin(-1); });
  connect(Btn_FreqMaxUp, &QToolButton::clicked, this, [this] { StepFreqMax(+1); });
  connect(Btn_FreqMaxDown, &QToolButton::clicked, this, [this] { StepFreqMax(-1); });
  CreateMarkerControls();
}

// ---------------------------------------------------------------- range and mappings

namespace {

// The frequency range a channel can show at the effective sample rate (falling back to the
// configured rate while the audio thread has not reported one).
void ChannelDisplayableRange(int channel, double effectiveRate, double* lo, double* hi)
{
  double rate = effectiveRate;
  if (!(rate > 0)) rate = SndConfig.SampleRate / std::max(1, int(SndConfig.SampleRateDivisor));
  const int ch = channel == 1 ? 1 : 0;
  DisplayableFreqRange(SndConfig.ComplexFFT != 0, SndConfig.FreqOffset,
                       g_BigBuffers[ch].MixerCenterFreq, rate, lo, hi);
}

}  // namespace

double TSndMainForm::GetMinDisplayableFreq(int channel) const
{
  double lo, hi;
  ChannelDisplayableRange(channel, EffectiveSampleRate, &lo, &hi);
  return lo;
}

double TSndMainForm::GetMaxDisplayableFreq(int channel) const
{
  double lo, hi;
  ChannelDisplayableRange(channel, EffectiveSampleRate, &lo, &hi);
  return hi;
}

bool TSndMainForm::ClampFreqRange()
{
  double fmin = SndConfig.FreqMin, fmax = SndConfig.FreqMax;
  const bool changed =
      ClampFreqRangeValues(&fmin, &fmax, GetMinDisplayableFreq(0), GetMaxDisplayableFreq(0));
  if (changed) {
    SndConfig.FreqMin = fmin;
    SndConfig.FreqMax = fmax;
    g_RedrawRequestMask = g_RedrawRequestMask | 16;
    SoundThreadLink().UpdateFreqRangeLimits();
  }
  return changed;
}

void TSndMainForm::SetFreqRange(double fmin, double fmax)
{
  SndConfig.FreqMin = fmin;
  SndConfig.FreqMax = fmax;
  SoundThreadLink().UpdateFreqRangeLimits();
  ClampFreqRange();
  const int w = CalcFreqScaleWidth();
  if (w != Disp.FreqScaleWidth) {
    Disp.FreqScaleWidth = w;
    ArrangeDisplayAreas();
  }
  RedrawFreqScale();
  if (PlaceMarkerLabelsHook) PlaceMarkerLabelsHook(true);
  g_RedrawRequestMask = g_RedrawRequestMask | 16;
  UpdateFreqEdits();
  RestartWaterfallRedraw();
}

void TSndMainForm::CalcFreqBinMapping(double binWidth, double bin0Freq)
{
  Disp.Mapping = ::CalcFreqBinMapping(binWidth, bin0Freq, SndConfig.FreqMin, SndConfig.FreqMax,
                                      SndConfig.FreqOffset, Disp.FreqAxisLen);
}

double TSndMainForm::PixelToFrequency(const SpectrumBuffer* record, int pixel)
{
  if (!record) return 0;
  CalcFreqBinMapping(record->bin_width_hz, record->offset_hz);
  return ::PixelToFrequency(Disp.Mapping, record->bin_width_hz, record->offset_hz,
                            SndConfig.FreqOffset, pixel);
}

double TSndMainForm::FreqScale_MousePosToFreq(int x, int y) const
{
  const QImage& img = Img_FreqScale1->Picture;
  return FreqScaleMousePosToFreq(x, y, img.width(), img.height(), SndConfig.SpectrumOrient,
                                 SndConfig.SpectrumMirror != 0, SndConfig.FreqMin,
                                 SndConfig.FreqMax);
}

void TSndMainForm::CalcAmplScaling(const QImage& bitmap, double levelMin, double levelMax)
{
  Disp.Ampl = ::CalcAmplScaling(bitmap.width(), bitmap.height(), SndConfig.SpectrumOrient,
                                SndConfig.SpectrumStyleNPos, levelMin, levelMax);
}

bool TSndMainForm::AmplToPixel(double level, int* pixel) const
{
  return ::AmplToPixel(Disp.Ampl, level, pixel);
}

bool TSndMainForm::PixelToAmpl(int pixel, double* level) const
{
  return ::PixelToAmpl(Disp.Ampl, pixel, level);
}

// ---------------------------------------------------------------- frequency edits

void TSndMainForm::UpdateFreqEdits()
{
  if (!Ed_FreqMin) return;
  // An edit whose typed text still waits for its countdown keeps that text.
  ++UpdatingControls;
  QLineEdit* const edits[3] = {Ed_FreqMin, Ed_FreqMax, Ed_FreqOffset};
  const double values[3] = {SndConfig.FreqMin, SndConfig.FreqMax, SndConfig.FreqOffset};
  for (int i = 0; i < 3; ++i)
    if (Loop->FreqApplyTicks[i] <= 0)
      edits[i]->setText(QString::fromStdString(FormatFloat("###0.0", values[i])));
  --UpdatingControls;
}

double TSndMainForm::GetFreqStep()
{
  double fmin = SndConfig.FreqMin, fmax = SndConfig.FreqMax;
  EvalEditText(Ed_FreqMin->text(), &fmin);
  EvalEditText(Ed_FreqMax->text(), &fmax);
  return FreqStepForSpan(fmin, fmax);
}

void TSndMainForm::Ed_FreqChange(int which)
{
  // Arms the edit's countdown and shows it aqua (FreqEditChanged of the main loop).
  FreqEditChanged(static_cast<FreqEdit>(which));
}

void TSndMainForm::StepFreqMin(int factor)
{
  if (UpdatingControls > 0) return;
  const double step = GetFreqStep();
  double edited = SndConfig.FreqMin;
  EvalEditText(Ed_FreqMin->text(), &edited);
  const double v = StepLowerEdge(edited, step, factor, GetMinDisplayableFreq(0), SndConfig.FreqMax);
  ++UpdatingControls;
  Ed_FreqMin->setText(QString::fromStdString(FormatFloat("###0.0", v)));
  --UpdatingControls;
  Ed_FreqChange(0);
}

void TSndMainForm::StepFreqMax(int factor)
{
  if (UpdatingControls > 0) return;
  const double step = GetFreqStep();
  double edited = SndConfig.FreqMax;
  EvalEditText(Ed_FreqMax->text(), &edited);
  const double v = StepUpperEdge(edited, step, factor, SndConfig.FreqMin, GetMaxDisplayableFreq(0));
  ++UpdatingControls;
  Ed_FreqMax->setText(QString::fromStdString(FormatFloat("###0.0", v)));
  --UpdatingControls;
  Ed_FreqChange(1);
}

bool TSndMainForm::ApplyFreqEdit(int which)
{
  QLineEdit* ed = which == 0 ? Ed_FreqMin : which == 1 ? Ed_FreqMax : Ed_FreqOffset;
  if (!ed) return false;
  ++UpdatingControls;
  double v = 0;
  const bool ok = EvalEditText(ed->text(), &v);
  if (ok) {
    const double lo = GetMinDisplayableFreq(0);
    if (which == 0) {
      SndConfig.FreqMin = std::max(v, lo);
      if (SndConfig.FreqMin > SndConfig.FreqMax)
        SndConfig.FreqMax = SndConfig.FreqMin + FreqStepForSpan(SndConfig.FreqMin, SndConfig.FreqMax);
    } else if (which == 1) {
      SndConfig.FreqMax = std::min(v, GetMaxDisplayableFreq(0));
      if (SndConfig.FreqMax < SndConfig.FreqMin)
        SndConfig.FreqMin =
            std::max(SndConfig.FreqMax - FreqStepForSpan(SndConfig.FreqMin, SndConfig.FreqMax), lo);
    } else {
      // The shown signal band stays; its display frequencies move with the offset.
      const double shift = v - SndConfig.FreqOffset;
      SndConfig.FreqOffset = v;
      SndConfig.FreqMin = SndConfig.FreqMin + shift;
      SndConfig.FreqMax = SndConfig.FreqMax + shift;
      const int w = CalcFreqScaleWidth();
      if (w != Disp.FreqScaleWidth) {
        Disp.FreqScaleWidth = w;
        ArrangeDisplayAreas();
      }
    }
    ClampFreqRange();
    SoundThreadLink().UpdateFreqRangeLimits();
    g_RedrawRequestMask = REDRAW_ALL;
    RedrawFreqScale();
    if (PlaceMarkerLabelsHook) PlaceMarkerLabelsHook(true);
    RestartWaterfallRedraw();
  }
  UpdateFreqEdits();  // a refused text returns to the value in force
  ed->setStyleSheet("");  // no longer pending
  --UpdatingControls;
  return ok;
}

// ---------------------------------------------------------------- scales

int TSndMainForm::CalcFreqScaleWidth() const
{
  const QFontMetrics fm(ScaleFont());
  const QString text = QString::fromStdString(FormatFloat("###0", SndConfig.FreqMax)) + " Hz";
  return std::max(fm.horizontalAdvance(text), 35);
}

void TSndMainForm::DrawFrequencyScale(QImage& bitmap, bool overlay, bool labels, int firstLine,
                                      int lastLine, uint32_t penColour)
{
  if (bitmap.isNull()) return;
  if (ClampFreqRange()) UpdateFreqEdits();
  const QFont font = ScaleFont();
  const QFontMetrics fm(font);
  TFreqScaleParams p;
  p.Width = bitmap.width();
  p.Height = bitmap.height();
  p.Orient = SndConfig.SpectrumOrient;
  p.Mirror = SndConfig.SpectrumMirror != 0;
  p.FreqMin = SndConfig.FreqMin;
  p.FreqMax = SndConfig.FreqMax;
  p.Overlay = overlay;
  p.Labels = labels;
  p.FirstLine = firstLine;
  p.LastLine = lastLine;
  p.TimeGrid = SndConfig.WaterTimeGrid != 0;
  p.TextHeight = fm.height();
  p.TextWidth = [&fm](const std::string& t) { return fm.horizontalAdvance(QString::fromStdString(t)); };
  TFreqScaleDrawing d;
  BuildFreqScale(p, d);
  if (&bitmap == &Img_FreqScale1->Picture) Disp.FreqAxisLen = d.AxisLen;

  QPainter c(&bitmap);
  if (!overlay) c.fillRect(bitmap.rect(), ColorRefToQColor(SndConfig.FreqscaleBgColor));
  c.setPen(ColorRefToQColor(penColour));
  for (const TScaleLine& l : d.Lines) c.drawLine(l.X0, l.Y0, l.X1, l.Y1);
  if (!d.Texts.empty()) {
    c.setFont(font);
    c.setPen(ColorRefToQColor(overlay ? SndConfig.WaterLabelTextColor : SndConfig.FreqscaleFgColor));
    const bool opaque = overlay && firstLine == -2 && !SndConfig.WaterLabelTransparent;
    for (const TScaleText& t : d.Texts) {
      const QString s = QString::fromStdString(t.Text);
      const QRect r(t.X, t.Y, fm.horizontalAdvance(s), fm.height());
      if (opaque) c.fillRect(r, ColorRefToQColor(SndConfig.WaterGridColor));
      c.drawText(r, Qt::AlignLeft | Qt::AlignTop, s);
    }
  }
}

void TSndMainForm::RedrawFreqScale()
{
  if (!Img_FreqScale1) return;
  DrawFrequencyScale(Img_FreqScale1->Picture, false, true, -1, -1, SndConfig.FreqscaleFgColor);
  Img_FreqScale1->update();
}

void TSndMainForm::DrawAmplitudeScale(QImage& bitmap)
{
  if (bitmap.isNull()) return;
  QFont font("Arial Narrow", 8);
  const QFontMetrics fm(font);
  std::vector<TScaleLine> lines;
  std::vector<TScaleText> texts;
  if (!BuildAmplitudeScale(
          bitmap.width(), bitmap.height(), SndConfig.AmplMin, SndConfig.AmplMax,
          [&fm](const std::string& t) { return fm.horizontalAdvance(QString::fromStdString(t)); },
          lines, texts))
    return;
  QPainter c(&bitmap);
  c.fillRect(bitmap.rect(), palette().color(QPalette::Button));
  c.setPen(palette().color(QPalette::ButtonText));
  c.setFont(font);
  for (const TScaleLine& l : lines) c.drawLine(l.X0, l.Y0, l.X1, l.Y1);
  for (const TScaleText& t : texts)
    c.drawText(QRect(t.X, t.Y, fm.horizontalAdvance(QString::fromStdString(t.Text)), 14),
               Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(t.Text));
}

// ---------------------------------------------------------------- layout

void TSndMainForm::ArrangeDisplayAreas()
{
  if (!Grp_Spectra) return;
  const int orient = SndConfig.SpectrumOrient == ORIENT_ROTATED ? ORIENT_ROTATED : ORIENT_HORIZONTAL;
  // The window cannot shrink below what the areas need: they stay apart and inside the group.
  int minW, minH;
  MinDisplayGroupSize(SndConfig.SpectrumStyleNPos, orient, Disp.GraphHeight, Disp.ScaleHeight,
                      Disp.FreqScaleWidth, &minW, &minH);
  if (Grp_Spectra->minimumSize() != QSize(minW, minH)) Grp_Spectra->setMinimumSize(minW, minH);
  const TDisplayLayout l =
      ArrangeDisplayRects(Grp_Spectra->width(), Grp_Spectra->height(), SndConfig.SpectrumStyleNPos,
                          orient, Disp.GraphHeight, Disp.ScaleHeight, Disp.FreqScaleWidth);
  if (!l.Valid) return;
  Disp.AppliedOrient = SndConfig.SpectrumOrient;
  Disp.AppliedStyle = SndConfig.SpectrumStyleNPos;
  auto place = [](TSpecImage* img, const TDisplayRect& r, uint32_t fill) {
    img->setGeometry(r.Left, r.Top, std::max(r.Width, 1), std::max(r.Height, 1));
    img->setVisible(r.Visible);
    img->SetPictureSize(r.Width, r.Height, fill);
  };
  place(Img_SpectrumPlot, l.Graph, SndConfig.SpectrumBgColor);
  place(Img_FreqScale1, l.Scale, SndConfig.FreqscaleBgColor);
  place(Img_Waterfall, l.Waterfall, 0);
  Disp.FreqAxisLen = std::max(20, (orient == ORIENT_ROTATED ? l.Scale.Height : l.Scale.Width) - 1);
  Disp.GridKeyLen = -1;  // grid columns are recomputed for the new size
}

void TSndMainForm::FormResize()
{
  ++UpdatingControls;
  ArrangeDisplayAreas();
  RedrawFreqScale();
  if (PlaceMarkerLabelsHook) PlaceMarkerLabelsHook(true);
  RestartWaterfallRedraw();
  --UpdatingControls;
}

void TSndMainForm::ReapplyDisplaySettings()
{
  ++UpdatingControls;
  const int w = CalcFreqScaleWidth();
  if (SndConfig.SpectrumOrient != Disp.AppliedOrient ||
      SndConfig.SpectrumStyleNPos != Disp.AppliedStyle || w != Disp.FreqScaleWidth) {
    Disp.FreqScaleWidth = w;
    ArrangeDisplayAreas();
  }
  UpdateFreqEdits();
  RedrawFreqScale();
  if (PlaceMarkerLabelsHook) PlaceMarkerLabelsHook(true);
  DrawAmplitudeScale(Img_ColorLegendScale->Picture);
  Img_ColorLegendScale->update();
  CalcWaterfallPalette();
  RealizePalettes();
  DrawColorBar();
  RestartWaterfallRedraw();
  --UpdatingControls;
}
