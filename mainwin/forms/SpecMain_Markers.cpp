// The three frequency markers over the frequency scale (placing, dragging, their expressions
// and commands), the scale's range drag and its pop-up menu (zoom, markers, digimode
// frequency).
//
// A marker's freq is a signal frequency; the scale maps display frequencies, which contain
// SndConfig.FreqOffset. A drag and the pop-up therefore take the offset off what the scale
// gives before a marker or the digimode receiver gets it.
#include <QAction>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <cmath>
#include <cstring>
#include <string>

#include "control/forms/ConfigDlg.h"
#include "digimode/DigimodeEngine.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CmdWinMsg.h"
#include "interp/FreqMarkerState.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "platform/NumText.h"

namespace {

constexpr int kInterpSourceMarkers = 7;  // interpreter source number of the markers

// A marker text copied out of the settings (at most 80 characters and a terminator), so that a
// command which changes the settings does not change the text under the interpreter.
struct MarkerText {
  char text[81];
  explicit MarkerText(const char* from)
  {
    const size_t n = strnlen(from, 80);
    std::memcpy(text, from, n);
    text[n] = '\0';
  }
};

// Failing marker commands and expressions go to the command window when the message filter
// wants errors or warnings.
void ReportMarkerError(int n, int rc, const char* what)
{
  if (!(SndConfig.MsgDisplay & (MSGDISP_ERRORS | MSGDISP_WARNINGS))) return;
  std::string msg = CLI_ErrorCodeToString(rc);
  msg += " in marker #" + std::to_string(n + 1) + " " + what;  // counted 1..3, as in the menus
  CmdWin_AddTimedMessage(kInterpSourceMarkers, CMDWIN_MSG_ERROR, msg.c_str());
}

QString MenuText(const QString& s)
{
  QString t = s;
  return t.replace("&", "&&");  // a name's '&' is shown, not taken as an accelerator
}

}  // namespace

void TSndMainForm::CreateMarkerControls()
{
  for (int n = 0; n < CLI_NR_FREQ_MARKERS; ++n) {
    const std::string name = "Img_FreqMarker" + std::to_string(n);
    auto* img = new TMarkerImage(name.c_str(), n, Grp_Spectra);
    img->setToolTip("#" + img->Label());
    img->OnMouseDown = [this, n](int x, int y, int button) {
      if (n == 0) Img_FreqMarker0MouseDown(x, y, button);
      else if (n == 1) Img_FreqMarker1MouseDown(x, y, button);
      else Img_FreqMarker2MouseDown(x, y, button);
    };
    img->OnMouseMove = [this, img](int x, int y) { Img_FreqMarkerMouseMove(img, x, y); };
    img->OnMouseUp = [this, img](int x, int y, int button) { Img_FreqMarkerMouseUp(img, x, y, button); };
    img->OnDblClick = [this, n] {
      if (n == 0) Img_FreqMarker0DblClick();
      else if (n == 1) Img_FreqMarker1DblClick();
      else Img_FreqMarker2DblClick();
    };
    img->raise();
    Img_FreqMarker[n] = img;
  }
  PlaceMarkerLabelsHook = [this](bool force) { PlaceMarkerLabels(force); };

  Img_FreqScale1->OnMouseDown = [this](int x, int y, int b) { Img_FreqScale1MouseDown(x, y, b); };
  Img_FreqScale1->OnMouseMove = [this](int x, int y) { Img_FreqScale1MouseMove(x, y); };
  Img_FreqScale1->OnMouseUp = [this](int x, int y, int b) { Img_FreqScale1MouseUp(x, y, b); };
  Img_SpectrumPlot->OnMouseMove = [this](int x, int y) { Img_SpectrumPlotMouseMove(x, y); };
  Img_Waterfall->OnMouseMove = [this](int x, int y) { Img_WaterfallMouseMove(x, y); };
  Img_Waterfall->OnClick = [this] { Img_WaterfallClick(); };

  Popup_FreqScale = new QMenu(this);
  Popup_FreqScale->setObjectName("Popup_FreqScale");
  auto add = [this](QAction** action, const char* name, const char* caption,
                    void (TSndMainForm::*handler)()) {
    QAction* a = Popup_FreqScale->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    *action = a;
  };
  add(&Pop_ZoomIn, "Pop_ZoomIn", "Zoom in", &TSndMainForm::Pop_ZoomInClick);
  add(&Pop_ZoomOut, "Pop_ZoomOut", "Zoom out", &TSndMainForm::Pop_ZoomOutClick);
  Popup_FreqScale->addSeparator();
  add(&Pop_SetMarker1, "Pop_SetMarker1", "Set Marker 1", &TSndMainForm::Pop_SetMarker1Click);
  add(&Pop_SetMarker2, "Pop_SetMarker2", "Set Marker 2", &TSndMainForm::Pop_SetMarker2Click);
  add(&Pop_SetMarker3, "Pop_SetMarker3", "Set Marker 3", &TSndMainForm::Pop_SetMarker3Click);
  Popup_FreqScale->addSeparator();
  add(&Pop_SetDecoderFreq, "Pop_SetDecoderFreq", "Set digimode frequency",
      &TSndMainForm::Pop_SetDecoderFreqClick);
  connect(Popup_FreqScale, &QMenu::aboutToShow, this, &TSndMainForm::Popup_FreqScalePopup);
}

// ---------------------------------------------------------------- placing and setting

void TSndMainForm::PlaceMarkerLabels(bool force)
{
  if (!Img_FreqScale1) return;
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const bool mirror = SndConfig.SpectrumMirror != 0;
  const int w = Img_FreqScale1->width(), h = Img_FreqScale1->height();
  const int axisLen = std::max((rotated ? h : w) - 1, 0);
  for (int n = 0; n < CLI_NR_FREQ_MARKERS; ++n) {
    FreqMarkerState& m = g_FreqMarkers[n];
    TMarkerImage* img = Img_FreqMarker[n];
    if (!img) continue;
    // What the marker should show (its expression's value, the pop-up's or a drag's end) is
    // taken over unless the mouse holds it.
    bool move = force || m.changed;
    if (!m.dragging && m.freqNew != m.freq) {
      m.freq = m.freqNew;
      move = true;
    }
    if (!move) continue;
    const int p = MarkerAxisPixel(m.freq, SndConfig.FreqOffset, SndConfig.FreqMin,
                                  SndConfig.FreqMax, axisLen);
    int x = 0, y = 0;
    MarkerCentre(p, axisLen, rotated ? ORIENT_ROTATED : ORIENT_HORIZONTAL, mirror, w, h, &x, &y);
    img->move(Img_FreqScale1->x() + x - img->width() / 2, Img_FreqScale1->y() + y - img->height() / 2);
    img->raise();
    if (force) {
      const char* name = SndConfig.FreqMarker[n].Name;
      img->setToolTip(MarkerTextEmpty(name) ? "#" + img->Label()
                                            : QString::fromLocal8Bit(name, strnlen(name, 80)));
    }
    m.changed = false;
  }
}

void TSndMainForm::SetFreqMarker(int n, double f)
{
  if (n < 0 || n >= CLI_NR_FREQ_MARKERS) return;
  // A setting of its own (not the end of a drag) reports its own failure again.
  if (DraggedMarker != n) MarkerReports.BeginCommandRun(n);
  const MarkerText cmd(SndConfig.FreqMarker[n].SetProc);
  if (!MarkerTextEmpty(cmd.text)) {
    const int rc = CLI_ExecuteCommandXY(kInterpSourceMarkers, cmd.text, f, n);
    if (rc < 0 && MarkerReports.CommandFailed(n)) ReportMarkerError(n, rc, "command");
  }
  FreqMarkerState& m = g_FreqMarkers[n];
  m.freqNew = f;
  m.changed = true;
  m.dragging = false;
  PlaceMarkerLabels(false);
}

void TSndMainForm::UpdateMarkerExpressions()
{
  // A macro that runs now (one waiting in a dialog of its own) keeps its x and y.
  if (g_CliMacroDepth > 0) return;
  bool anyChanged = false;
  for (int n = 0; n < CLI_NR_FREQ_MARKERS; ++n) {
    FreqMarkerState& m = g_FreqMarkers[n];
    const MarkerText expr(SndConfig.FreqMarker[n].GetFunc);
    if (!MarkerTextEmpty(expr.text) && !m.dragging && DraggedMarker != n) {
      int rc = 0;
      const double v = CLI_CalcExpression2(kInterpSourceMarkers, expr.text, m.freq, n, &rc);
      // "No value" of a function, or no number at all, is a failure that leaves freqNew.
      if (rc >= 0 && (v == CLI_INVALID_VALUE || !std::isfinite(v))) rc = CLI_ERR_FAILED;
      if (rc < 0) {
        if (MarkerReports.ExpressionFailed(n, expr.text)) ReportMarkerError(n, rc, "expression");
      } else {
        MarkerReports.ExpressionSucceeded(n);
        if (v != m.freq) {
          m.freqNew = v;
          m.changed = true;
        }
      }
    }
    anyChanged = anyChanged || m.changed;
  }
  if (anyChanged) PlaceMarkerLabels(false);
}

// ---------------------------------------------------------------- dragging a marker

void TSndMainForm::FreqMarkerMouseDown(QWidget* sender, int n, int x, int y, int button)
{
  if (button != Qt::LeftButton || DraggedMarker >= 0 || !sender) return;
  if (n < 0 || n >= CLI_NR_FREQ_MARKERS) return;
  DraggedMarker = n;
  DragStartFreq = g_FreqMarkers[n].freq;
  DragStartPos = sender->mapToGlobal(QPoint(x, y));
  MarkerReports.BeginCommandRun(n);
}

void TSndMainForm::Img_FreqMarker0MouseDown(int x, int y, int button)
{
  FreqMarkerMouseDown(Img_FreqMarker[0], 0, x, y, button);
}
void TSndMainForm::Img_FreqMarker1MouseDown(int x, int y, int button)
{
  FreqMarkerMouseDown(Img_FreqMarker[1], 1, x, y, button);
}
void TSndMainForm::Img_FreqMarker2MouseDown(int x, int y, int button)
{
  FreqMarkerMouseDown(Img_FreqMarker[2], 2, x, y, button);
}

void TSndMainForm::Img_FreqMarkerMouseMove(QWidget* sender, int x, int y)
{
  const int n = DraggedMarker;
  if (n < 0 || n >= CLI_NR_FREQ_MARKERS || !sender) return;
  const QPoint onScale = Img_FreqScale1->mapFromGlobal(sender->mapToGlobal(QPoint(x, y)));
  const double f = FreqScale_MousePosToFreq(onScale.x(), onScale.y()) - SndConfig.FreqOffset;
  FreqMarkerState& m = g_FreqMarkers[n];
  if (f == m.freq) return;
  m.freq = f;
  m.changed = true;
  m.dragging = true;
  PlaceMarkerLabels(false);
  // The command runs on every pixel of movement.
  const MarkerText cmd(SndConfig.FreqMarker[n].SetProc);
  if (!MarkerTextEmpty(cmd.text)) {
    const int rc = CLI_ExecuteCommandXY(kInterpSourceMarkers, cmd.text, f, n);
    if (rc < 0 && MarkerReports.CommandFailed(n)) ReportMarkerError(n, rc, "command");
  }
}

void TSndMainForm::Img_FreqMarkerMouseUp(QWidget* sender, int x, int y, int button)
{
  (void)sender, (void)x, (void)y, (void)button;
  const int n = DraggedMarker;
  if (n < 0 || n >= CLI_NR_FREQ_MARKERS) return;
  SetFreqMarker(n, g_FreqMarkers[n].freq);
  DraggedMarker = -1;
}

void TSndMainForm::Img_FreqMarker0DblClick() { ShowConfigMarkerPage(0); }
void TSndMainForm::Img_FreqMarker1DblClick() { ShowConfigMarkerPage(1); }
void TSndMainForm::Img_FreqMarker2DblClick() { ShowConfigMarkerPage(2); }

void TSndMainForm::ShowConfigMarkerPage(int n)
{
  if (!ConfigDlg || n < 0 || n >= CLI_NR_FREQ_MARKERS) return;
  ConfigDlg->ShowPage(ConfigDlg->Ts_Markers);
  ConfigDlg->Sg_Markers->setFocus();
  ConfigDlg->Sg_Markers->setCurrentCell(n + 1, 1);
}

// ---------------------------------------------------------------- the scale: drag and pop-up

void TSndMainForm::Img_FreqScale1MouseDown(int x, int y, int button)
{
  if (button != Qt::LeftButton) return;
  if (PC_Controls && TS_Freq) PC_Controls->setCurrentWidget(TS_Freq);
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  Img_FreqScale1->setCursor(rotated ? Qt::SizeVerCursor : Qt::SizeHorCursor);
  ScaleDragging = true;
  ScaleDragPos = QPoint(x, y);
  ScaleDragMin = SndConfig.FreqMin;
  ScaleDragMax = SndConfig.FreqMax;
}

void TSndMainForm::Img_FreqScale1MouseMove(int x, int y)
{
  if (!ScaleDragging) {
    FreqScaleReadout(x, y);
    return;
  }
  const bool rotated = SndConfig.SpectrumOrient == ORIENT_ROTATED;
  const int axisLen = (rotated ? Img_FreqScale1->height() : Img_FreqScale1->width()) - 1;
  const int travel = rotated ? ScaleDragPos.y() - y : x - ScaleDragPos.x();
  double fmin = 0, fmax = 0;
  DragFreqRange(ScaleDragMin, ScaleDragMax, travel, axisLen, SndConfig.SpectrumMirror != 0,
                GetMinDisplayableFreq(0), GetMaxDisplayableFreq(0), &fmin, &fmax);
  if (fmin != SndConfig.FreqMin || fmax != SndConfig.FreqMax) SetFreqRange(fmin, fmax);
}

void TSndMainForm::Img_FreqScale1MouseUp(int x, int y, int button)
{
  if (ScaleDragging) {
    Img_FreqScale1->unsetCursor();
    ScaleDragging = false;
    return;
  }
  if (button != Qt::RightButton) return;
  PopupFreq = FreqScale_MousePosToFreq(x, y);
  Popup_FreqScale->popup(Img_FreqScale1->mapToGlobal(QPoint(x, y)));
}

void TSndMainForm::Popup_FreqScalePopup()
{
  const QString s = QString::fromStdString(FormatFloat("###0.0", PopupFreq)) + " Hz";
  Pop_ZoomIn->setText("Zoom in on " + s);
  Pop_SetDecoderFreq->setText("Set digimode frequency to " + s);
  QAction* const setters[3] = {Pop_SetMarker1, Pop_SetMarker2, Pop_SetMarker3};
  for (int n = 0; n < CLI_NR_FREQ_MARKERS; ++n) {
    const FreqMarkerEntry& e = SndConfig.FreqMarker[n];
    const QString name = QString::fromLocal8Bit(e.Name, strnlen(e.Name, 80));
    setters[n]->setText(MenuText(QString("Set Marker %1 (").arg(n + 1) + name + ") to " + s));
    setters[n]->setEnabled(!MarkerTextEmpty(e.SetProc) && !MarkerTextEmpty(e.Name));
  }
  Pop_ZoomOut->setEnabled(SndConfig.FreqMin > GetMinDisplayableFreq(0) + 0.000001 ||
                          SndConfig.FreqMax < GetMaxDisplayableFreq(0) - 0.000001);
}

void TSndMainForm::Pop_ZoomInClick()
{
  Disp.ZoomOutMin = SndConfig.FreqMin;
  Disp.ZoomOutMax = SndConfig.FreqMax;
  double fmin = 0, fmax = 0;
  ZoomInRange(PopupFreq, SndConfig.FreqMin, SndConfig.FreqMax, GetMinDisplayableFreq(0),
              GetMaxDisplayableFreq(0), &fmin, &fmax);
  SetFreqRange(fmin, fmax);
}

void TSndMainForm::Pop_ZoomOutClick()
{
  ZoomOutRange(PopupFreq, SndConfig.FreqMin, SndConfig.FreqMax, GetMinDisplayableFreq(0),
               GetMaxDisplayableFreq(0), &Disp.ZoomOutMin, &Disp.ZoomOutMax);
  SetFreqRange(Disp.ZoomOutMin, Disp.ZoomOutMax);
}

void TSndMainForm::Pop_SetMarker1Click() { SetFreqMarker(0, PopupFreq - SndConfig.FreqOffset); }
void TSndMainForm::Pop_SetMarker2Click() { SetFreqMarker(1, PopupFreq - SndConfig.FreqOffset); }
void TSndMainForm::Pop_SetMarker3Click() { SetFreqMarker(2, PopupFreq - SndConfig.FreqOffset); }

void TSndMainForm::Pop_SetDecoderFreqClick()
{
  if (ShowDigimodeTerminalHook) ShowDigimodeTerminalHook();
  Digimode_SetDecoderFreq(PopupFreq - SndConfig.FreqOffset);
}
