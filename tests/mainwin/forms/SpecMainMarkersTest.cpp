// The frequency markers, the frequency scale's drag and pop-up, and the mouse read-outs on the
// real main window, shown offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "control/forms/ConfigDlg.h"
#include "digimode/DigimodeSettings.h"
#include "engine/FreqMixer.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "interp/CmdWinMsg.h"
#include "interp/FreqMarkerState.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/Zub_graf.h"
#include "tests/mainwin/forms/DisplayTestSettings.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

void SetText(char (&dest)[81], const char* text)
{
  std::strncpy(dest, text, 80);
  dest[80] = '\0';
}

class MarkerWindowTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    Make();
    form->Timer1->stop();
    SetDisplayTestSettings();
    SndConfig.MsgDisplay = MSGDISP_ERRORS | MSGDISP_WARNINGS;
    for (auto& m : SndConfig.FreqMarker) {
      SetText(m.Name, "");
      SetText(m.SetProc, "");
      SetText(m.GetFunc, "");
    }
    form->EffectiveSampleRate = 11025;  // displayable: 0 .. 5512.5 Hz
    form->resize(800, 600);
    form->show();
    QApplication::processEvents();
    form->SetFreqRange(0, 1000);
    CmdWin_SetShown(true);
    CmdWin_SetMessageSink([this](int source, int msgClass, const std::string& line) {
      lines.push_back({source, msgClass, line});
    });
  }
  void TearDown() override
  {
    if (form && form->Popup_FreqScale) form->Popup_FreqScale->hide();
    CmdWin_SetMessageSink(nullptr);
    CmdWin_SetShown(false);
    g_FreqMixers[0].Enabled = false;
    g_DebugOptions = 0;
    delete ConfigDlg;
    ConfigDlg = nullptr;
    MainWindowTest::TearDown();
  }

  TSpecImage* Scale() { return form->Img_FreqScale1; }
  int AxisLen()
  {
    return (SndConfig.SpectrumOrient == ORIENT_ROTATED ? Scale()->height() : Scale()->width()) - 1;
  }
  // Centre of marker n's image in the scale's coordinates.
  QPoint MarkerCentre(int n)
  {
    const TMarkerImage* img = form->Img_FreqMarker[n];
    return QPoint(img->x() + img->width() / 2 - Scale()->x(),
                  img->y() + img->height() / 2 - Scale()->y());
  }
  // A point of the scale as a position in marker n's image (for events sent to the image).
  QPoint OnMarker(int n, int scaleX)
  {
    const TMarkerImage* img = form->Img_FreqMarker[n];
    return QPoint(Scale()->x() + scaleX - img->x(), Scale()->y() + Scale()->height() / 2 - img->y());
  }
  // Frequency of a horizontal scale pixel, by the scale's linear mapping.
  double ScaleFreq(int x)
  {
    return SndConfig.FreqMin + x * (SndConfig.FreqMax - SndConfig.FreqMin) / AxisLen();
  }
  void RightClickScale(int x)
  {
    QTest::mouseClick(Scale(), Qt::RightButton, {}, QPoint(x, Scale()->height() / 2));
  }
  // The lines of the markers (source 7) of one class.
  std::vector<std::string> Texts(int msgClass)
  {
    std::vector<std::string> out;
    for (const auto& l : lines)
      if (l.source == 7 && l.msgClass == msgClass) out.push_back(l.text);
    return out;
  }
  // A level text as the read-out shows it: one decimal at most, "dB" after a blank.
  static QString Level(int hundredths)
  {
    QString t = QString::number(hundredths / 100.0, 'f', 1);
    if (t.endsWith(".0")) t.chop(2);
    return t + " dB";
  }
  QString LabX() { return form->Lab_CursorX->text(); }
  QString LabY() { return form->Lab_CursorY->text(); }
  QString LabT() { return form->Lab_CursorT->text(); }

  // A history line of 1 Hz bins from 0 Hz; bin i holds base - 10 i hundredths of a dB (levels
  // with one decimal, so their text is exact).
  static std::unique_ptr<SpectrumBuffer> Line(double time, int base, int bins = 4000)
  {
    auto r = std::make_unique<SpectrumBuffer>();
    std::memset(r.get(), 0, sizeof(SpectrumBuffer));
    r->structSize = SPECTRUM_BUFFER_SIZE;
    r->time = time;
    r->bin_width_hz = 1.0;
    r->nr_of_bins = bins;
    r->scale_unit = SPECTRUM_UNIT_DB;
    r->scale_factor = 0.01;
    for (int i = 0; i < SPECTRUM_MAX_BINS; ++i) r->bins[i] = static_cast<int16_t>(base - 10 * (i % 1000));
    return r;
  }

  struct Line_ {
    int source, msgClass;
    std::string text;
  };
  std::vector<Line_> lines;
};

}  // namespace

TEST_F(MarkerWindowTest, ControlTabsAndCursorGroup)
{
  auto* tabs = form->findChild<QTabWidget*>("PC_Controls");
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->widget(0)->objectName(), "TS_Freq");
  EXPECT_EQ(tabs->widget(1)->objectName(), "TS_Time");
  EXPECT_TRUE(tabs->widget(0)->isAncestorOf(form->Ed_FreqMin));
  EXPECT_TRUE(tabs->widget(1)->isAncestorOf(form->SBR_Time));
  auto* cursor = form->findChild<QWidget*>("Grp_Cursor");
  ASSERT_NE(cursor, nullptr);
  EXPECT_FALSE(tabs->isAncestorOf(cursor));  // shown on both pages
  const struct {
    const char* name;
    int context;
  } areas[] = {{"TS_Freq", 120}, {"TS_Time", 130}, {"Grp_Cursor", 140},
               {"Lab_CursorX", 140}, {"SBR_Time", 130}};
  for (const auto& a : areas)
    EXPECT_EQ(form->HelpContextAt(form->findChild<QWidget*>(a.name)), a.context) << a.name;
  EXPECT_EQ(LabX(), "<freq unknown>");  // nothing read yet
  EXPECT_EQ(LabY(), "<ampl unknown>");
  EXPECT_EQ(LabT(), "<time unknown>");
  for (const char* lab : {"Lab_CursorX", "Lab_CursorY", "Lab_CursorT"}) {
    EXPECT_TRUE(cursor->isAncestorOf(form->findChild<QLabel*>(lab))) << lab;
    tabs->setCurrentIndex(1);
    EXPECT_TRUE(form->findChild<QLabel*>(lab)->isVisible()) << lab;
    tabs->setCurrentIndex(0);
    EXPECT_TRUE(form->findChild<QLabel*>(lab)->isVisible()) << lab;
  }
  for (int n = 0; n < 3; ++n) {
    auto* img = form->findChild<TMarkerImage*>(QString("Img_FreqMarker%1").arg(n));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->size(), QSize(16, 16));
    EXPECT_EQ(img->toolTip(), QString("#%1").arg(n + 1));
  }
}

// An expression places a marker where the scale shows its frequency, in each orientation, and
// the marker follows a new range.
TEST_F(MarkerWindowTest, ExpressionPlacesTheMarker)
{
  const struct {
    int orient;
    bool mirror;
  } cases[] = {{ORIENT_HORIZONTAL, false}, {ORIENT_HORIZONTAL, true}, {ORIENT_ROTATED, false},
               {ORIENT_ROTATED, true}};
  SetText(SndConfig.FreqMarker[1].GetFunc, "200+50");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "orient " << c.orient << " mirror " << c.mirror);
    SndConfig.SpectrumOrient = c.orient;
    SndConfig.SpectrumMirror = c.mirror;
    form->ReapplyDisplaySettings();
    QApplication::processEvents();
    form->SetFreqRange(0, 1000);
    form->LoopHost->ToolWindowRefresh(0);
    EXPECT_DOUBLE_EQ(g_FreqMarkers[1].freq, 250.0);
    for (const double fmax : {1000.0, 500.0}) {
      form->SetFreqRange(0, fmax);
      const int n = AxisLen();
      const int p = static_cast<int>(std::lround(250.0 * n / fmax));
      const int along = c.mirror ? n - p : p;
      const QPoint at = MarkerCentre(1);
      if (c.orient == ORIENT_ROTATED) {
        EXPECT_EQ(at.y(), c.mirror ? p : n - p) << fmax;
        EXPECT_EQ(at.x(), Scale()->width() / 2) << fmax;
      } else {
        EXPECT_EQ(at.x(), along) << fmax;
        EXPECT_EQ(at.y(), Scale()->height() / 2) << fmax;
      }
    }
  }
  // Markers without an expression stay where they were (0 Hz: the scale's start).
  EXPECT_EQ(g_FreqMarkers[0].freq, 0.0);
}

// The main loop: Timer1 evaluates the expression; a drag runs "print x" on every pixel.
TEST_F(MarkerWindowTest, TimerPlacesAndDragPrints)
{
  SetText(SndConfig.FreqMarker[0].GetFunc, "300");
  SetText(SndConfig.FreqMarker[0].SetProc, "print x");
  for (int i = 0; i < 21 + 16; ++i) form->Timer1Timer();  // past the start-up ticks
  EXPECT_EQ(MarkerCentre(0).x(), static_cast<int>(std::lround(300.0 * AxisLen() / 1000)));

  SetText(SndConfig.FreqMarker[0].GetFunc, "");  // the drag's value stays afterwards
  TMarkerImage* img = form->Img_FreqMarker[0];
  QTest::mousePress(img, Qt::LeftButton, {}, QPoint(8, 8));
  const int xs[] = {400, 401, 402, 403, 404, 405};
  for (int x : xs) QTest::mouseMove(img, OnMarker(0, x));
  QTest::mouseMove(img, OnMarker(0, 405));  // no movement: no command
  EXPECT_TRUE(g_FreqMarkers[0].dragging);
  QTest::mouseRelease(img, Qt::LeftButton, {}, OnMarker(0, 405));

  const std::vector<std::string> prints = Texts(CMDWIN_MSG_INFO);
  ASSERT_EQ(prints.size(), std::size(xs) + 1);  // one per pixel, one at the drag's end
  for (size_t i = 0; i < prints.size(); ++i) {
    const double expected = ScaleFreq(xs[std::min(i, std::size(xs) - 1)]);
    EXPECT_NEAR(std::strtod(prints[i].c_str(), nullptr), expected, 0.0006) << prints[i];
  }
  EXPECT_FALSE(g_FreqMarkers[0].dragging);
  EXPECT_EQ(form->DraggedMarker, -1);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[0].freq, ScaleFreq(405));
  EXPECT_EQ(MarkerCentre(0).x(), 405);
  for (int i = 0; i < 16; ++i) form->Timer1Timer();
  EXPECT_EQ(MarkerCentre(0).x(), 405);
  EXPECT_TRUE(Texts(CMDWIN_MSG_ERROR).empty());
}

// While the mouse holds a marker its expression does not move it.
TEST_F(MarkerWindowTest, DraggedMarkerIgnoresItsExpression)
{
  SetText(SndConfig.FreqMarker[2].GetFunc, "100");
  form->UpdateMarkerExpressions();
  TMarkerImage* img = form->Img_FreqMarker[2];
  QTest::mousePress(img, Qt::LeftButton, {}, QPoint(8, 8));
  QTest::mouseMove(img, OnMarker(2, 500));
  form->UpdateMarkerExpressions();
  EXPECT_DOUBLE_EQ(g_FreqMarkers[2].freq, ScaleFreq(500));
  EXPECT_EQ(MarkerCentre(2).x(), 500);
  QTest::mouseRelease(img, Qt::LeftButton, {}, OnMarker(2, 500));
  form->UpdateMarkerExpressions();  // released: the expression holds again
  EXPECT_DOUBLE_EQ(g_FreqMarkers[2].freq, 100.0);
}

// Set from the pop-up: only that marker moves, and without an expression it keeps the value.
TEST_F(MarkerWindowTest, PopupSetsOneMarker)
{
  for (int n = 0; n < 3; ++n) {
    SetText(SndConfig.FreqMarker[n].Name, "M");
    SetText(SndConfig.FreqMarker[n].SetProc, "print x,y");
  }
  form->SetFreqMarker(0, 100);
  form->SetFreqMarker(1, 200);
  const QPoint at0 = MarkerCentre(0), at1 = MarkerCentre(1);
  lines.clear();

  RightClickScale(600);
  ASSERT_TRUE(form->Popup_FreqScale->isVisible());
  EXPECT_DOUBLE_EQ(form->PopupFreq, ScaleFreq(600));
  ASSERT_TRUE(form->Pop_SetMarker3->isEnabled());
  form->Pop_SetMarker3->trigger();

  EXPECT_DOUBLE_EQ(g_FreqMarkers[2].freq, ScaleFreq(600));
  EXPECT_EQ(MarkerCentre(2).x(), 600);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[0].freq, 100.0);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[1].freq, 200.0);
  EXPECT_EQ(MarkerCentre(0), at0);
  EXPECT_EQ(MarkerCentre(1), at1);
  ASSERT_EQ(Texts(CMDWIN_MSG_INFO).size(), 1u);  // marker 2's command, with y = 2
  EXPECT_NE(Texts(CMDWIN_MSG_INFO)[0].find(" 2"), std::string::npos);
  for (int i = 0; i < 3; ++i) form->LoopHost->ToolWindowRefresh(0);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[2].freq, ScaleFreq(600));
  EXPECT_EQ(MarkerCentre(2).x(), 600);
}

TEST_F(MarkerWindowTest, PopupCaptionsAndEnables)
{
  const struct {
    const char* name;
    const char* setProc;
    bool enabled;
    const char* caption;
  } cases[] = {
      {"Beacon", "print x", true, "Set Marker %1 (Beacon) to 1234.5 Hz"},
      {"", "print x", false, "Set Marker %1 () to 1234.5 Hz"},
      {"Beacon", "", false, "Set Marker %1 (Beacon) to 1234.5 Hz"},
      {" Beacon", "print x", false, "Set Marker %1 ( Beacon) to 1234.5 Hz"},
      {"Beacon", " print x", false, "Set Marker %1 (Beacon) to 1234.5 Hz"},
      {"\xc3\x84rger", "print x", true, "Set Marker %1 (\xc3\x84rger) to 1234.5 Hz"},
      {"A&B", "print x", true, "Set Marker %1 (A&&B) to 1234.5 Hz"},
  };
  QAction* const setters[3] = {form->Pop_SetMarker1, form->Pop_SetMarker2, form->Pop_SetMarker3};
  for (const auto& c : cases) {
    for (int n = 0; n < 3; ++n) {
      SCOPED_TRACE(testing::Message() << c.name << " / " << c.setProc << " marker " << n);
      SetText(SndConfig.FreqMarker[n].Name, c.name);
      SetText(SndConfig.FreqMarker[n].SetProc, c.setProc);
      form->PopupFreq = 1234.5;
      form->Popup_FreqScalePopup();
      EXPECT_EQ(setters[n]->isEnabled(), c.enabled);
      EXPECT_EQ(setters[n]->text(), QString::fromUtf8(c.caption).arg(n + 1));
    }
  }
  EXPECT_EQ(form->Pop_ZoomIn->text(), "Zoom in on 1234.5 Hz");
  EXPECT_EQ(form->Pop_SetDecoderFreq->text(), "Set digimode frequency to 1234.5 Hz");

  // Zoom out: enabled while the range is narrower than the displayable one.
  const struct {
    double fmin, fmax;
    bool enabled;
  } zoom[] = {{0, 1000, true}, {100, 5512.5, true}, {0, 5512.5, false}};
  for (const auto& z : zoom) {
    form->SetFreqRange(z.fmin, z.fmax);
    RightClickScale(100);  // the pop-up fills its entries as it opens
    EXPECT_EQ(form->Pop_ZoomOut->isEnabled(), z.enabled) << z.fmin << ".." << z.fmax;
    EXPECT_EQ(form->Pop_ZoomIn->text(),
              QString("Zoom in on %1 Hz").arg(ScaleFreq(100), 0, 'f', 1));
    form->Popup_FreqScale->hide();
  }
}

TEST_F(MarkerWindowTest, ZoomInAndOut)
{
  // Zoom in on 500 Hz: a tenth of the span; out again: the range before; once more: +-20 widths.
  form->SetFreqRange(0, 1000);
  form->PopupFreq = 500;
  form->Pop_ZoomIn->trigger();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 450);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 550);
  form->Pop_ZoomOut->trigger();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 0);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 1000);
  form->Pop_ZoomOut->trigger();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 0);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 5512.5);

  // Zoom in near the lower edge, by a right click on the scale.
  form->SetFreqRange(0, 1000);
  RightClickScale(1);
  const double at = ScaleFreq(1);
  form->Popup_FreqScale->hide();
  form->Pop_ZoomIn->trigger();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 0);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, at + 50);
  // A narrower view than one width on one side: zoom out widens around the click.
  form->SetFreqRange(2000, 2100);
  form->Disp.ZoomOutMin = 1950;
  form->Disp.ZoomOutMax = 5000;
  form->PopupFreq = 2050;
  form->Pop_ZoomOut->trigger();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 50);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 4050);
}

TEST_F(MarkerWindowTest, ScaleDragMovesTheRange)
{
  form->SetFreqRange(1000, 2000);
  const int y = Scale()->height() / 2;
  const int n = AxisLen();
  QTest::mousePress(Scale(), Qt::LeftButton, {}, QPoint(300, y));
  EXPECT_EQ(Scale()->cursor().shape(), Qt::SizeHorCursor);
  QTest::mouseMove(Scale(), QPoint(200, y));  // 100 pixels to the left: higher frequencies
  EXPECT_NEAR(SndConfig.FreqMin, 1000 + 1000.0 * 100 / n, 1e-9);
  EXPECT_NEAR(SndConfig.FreqMax, 2000 + 1000.0 * 100 / n, 1e-9);
  QTest::mouseMove(Scale(), QPoint(350, y));
  EXPECT_NEAR(SndConfig.FreqMin, 1000 - 1000.0 * 50 / n, 1e-9);
  EXPECT_NEAR(SndConfig.FreqMax - SndConfig.FreqMin, 1000, 1e-9);
  QTest::mouseRelease(Scale(), Qt::LeftButton, {}, QPoint(350, y));
  EXPECT_FALSE(form->ScaleDragging);
  EXPECT_EQ(Scale()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_FALSE(form->Popup_FreqScale->isVisible());  // a left click opens no pop-up

  // Against the lower limit the span stays.
  form->SetFreqRange(0, 1000);
  QTest::mousePress(Scale(), Qt::LeftButton, {}, QPoint(300, y));
  QTest::mouseMove(Scale(), QPoint(400, y));
  QTest::mouseRelease(Scale(), Qt::LeftButton, {}, QPoint(400, y));
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 0);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 1000);

  // The frequency page comes to the front.
  form->PC_Controls->setCurrentWidget(form->TS_Time);
  QTest::mousePress(Scale(), Qt::LeftButton, {}, QPoint(300, y));
  QTest::mouseRelease(Scale(), Qt::LeftButton, {}, QPoint(300, y));
  EXPECT_EQ(form->PC_Controls->currentWidget(), form->TS_Freq);

  // Rotated: frequencies run upward; dragging up moves the spectrum up (lower frequencies).
  SndConfig.SpectrumOrient = ORIENT_ROTATED;
  form->ReapplyDisplaySettings();
  QApplication::processEvents();
  form->SetFreqRange(1000, 2000);
  const int x = Scale()->width() / 2, nr = AxisLen();
  ASSERT_GT(nr, 100);
  QTest::mousePress(Scale(), Qt::LeftButton, {}, QPoint(x, 80));
  EXPECT_EQ(Scale()->cursor().shape(), Qt::SizeVerCursor);
  QTest::mouseMove(Scale(), QPoint(x, 30));
  QTest::mouseRelease(Scale(), Qt::LeftButton, {}, QPoint(x, 30));
  EXPECT_NEAR(SndConfig.FreqMin, 1000 - 1000.0 * 50 / nr, 1e-9);
  EXPECT_NEAR(SndConfig.FreqMax, 2000 - 1000.0 * 50 / nr, 1e-9);
}

TEST_F(MarkerWindowTest, DoubleClickOpensTheMarkerPage)
{
  ConfigDlg = new TConfigDlg;
  QTest::mouseDClick(form->Img_FreqMarker[1], Qt::LeftButton, {}, QPoint(8, 8));
  EXPECT_TRUE(ConfigDlg->isVisible());
  EXPECT_EQ(ConfigDlg->PC_Config->currentWidget(), ConfigDlg->Ts_Markers);
  EXPECT_EQ(ConfigDlg->Sg_Markers->currentRow(), 2);
  form->ShowConfigMarkerPage(2);
  EXPECT_EQ(ConfigDlg->Sg_Markers->currentRow(), 3);
}

// The markers are counted 1..3 everywhere the user meets them: the number drawn in the
// diamond, its tool tip, the pop-up entry that moves it ("Set Marker 1" moves the diamond
// labelled 1), the configuration dialog's row that its double-click opens, and the message of
// its failing command.
TEST_F(MarkerWindowTest, OneNumberingForDiamondsMenusDialogAndMessages)
{
  ConfigDlg = new TConfigDlg;
  QAction* const setters[3] = {form->Pop_SetMarker1, form->Pop_SetMarker2, form->Pop_SetMarker3};
  for (int n = 0; n < 3; ++n) {
    SetText(SndConfig.FreqMarker[n].Name, "M");
    SetText(SndConfig.FreqMarker[n].SetProc, "nosuchcommand");
    form->SetFreqMarker(n, 100.0 * (n + 1));
  }
  form->PlaceMarkerLabels(true);
  for (int entry = 0; entry < 3; ++entry) {
    const QString number = QString::number(entry + 1);
    SCOPED_TRACE(number.toStdString());
    // The pop-up entry and the diamond it moves.
    QPoint before[3];
    for (int n = 0; n < 3; ++n) before[n] = MarkerCentre(n);
    lines.clear();
    RightClickScale(300 + 100 * entry);
    ASSERT_TRUE(setters[entry]->isEnabled());
    EXPECT_TRUE(setters[entry]->text().startsWith("Set Marker " + number + " (M)"))
        << setters[entry]->text().toStdString();
    setters[entry]->trigger();
    form->Popup_FreqScale->hide();
    TMarkerImage* moved = nullptr;
    for (int n = 0; n < 3; ++n)
      if (MarkerCentre(n) != before[n]) {
        EXPECT_EQ(moved, nullptr);
        moved = form->Img_FreqMarker[n];
      }
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->Label().toStdString(), number.toStdString());
    // Its failing command.
    const std::vector<std::string> errors = Texts(CMDWIN_MSG_ERROR);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(" in marker #" + number.toStdString() + " command"),
              std::string::npos)
        << errors[0];
    // Its tool tip without a name.
    SetText(SndConfig.FreqMarker[entry].Name, "");
    form->PlaceMarkerLabels(true);
    EXPECT_EQ(moved->toolTip().toStdString(), "#" + number.toStdString());
    SetText(SndConfig.FreqMarker[entry].Name, "M");
    // Its double-click opens the dialog's row numbered the same.
    QTest::mouseDClick(moved, Qt::LeftButton, {}, QPoint(8, 8));
    const QTableWidgetItem* nr = ConfigDlg->Sg_Markers->item(ConfigDlg->Sg_Markers->currentRow(), 0);
    ASSERT_NE(nr, nullptr);
    EXPECT_EQ(nr->text().toStdString(), number.toStdString());
  }
}

// The offset: the scale shows display frequencies, markers and the digimode receiver take
// signal frequencies.
TEST_F(MarkerWindowTest, OffsetIsTakenOff)
{
  SndConfig.FreqOffset = 10000;
  form->SetFreqRange(10000, 11000);
  SetText(SndConfig.FreqMarker[0].Name, "M");
  SetText(SndConfig.FreqMarker[0].SetProc, "print x");

  RightClickScale(460);
  form->Popup_FreqScale->hide();
  EXPECT_DOUBLE_EQ(form->PopupFreq, ScaleFreq(460));
  form->Pop_SetMarker1->trigger();
  EXPECT_NEAR(g_FreqMarkers[0].freq, ScaleFreq(460) - 10000, 1e-9);
  EXPECT_EQ(MarkerCentre(0).x(), 460);  // under the click
  form->Pop_SetDecoderFreq->trigger();
  EXPECT_NEAR(DigimodeSettings.fc_rx, ScaleFreq(460) - 10000, 1e-9);

  TMarkerImage* img = form->Img_FreqMarker[0];
  QTest::mousePress(img, Qt::LeftButton, {}, QPoint(8, 8));
  QTest::mouseMove(img, OnMarker(0, 300));
  QTest::mouseRelease(img, Qt::LeftButton, {}, OnMarker(0, 300));
  EXPECT_NEAR(g_FreqMarkers[0].freq, ScaleFreq(300) - 10000, 1e-9);
  EXPECT_EQ(MarkerCentre(0).x(), 300);  // under the pointer
  const std::vector<std::string> prints = Texts(CMDWIN_MSG_INFO);
  ASSERT_FALSE(prints.empty());
  EXPECT_NEAR(std::strtod(prints.back().c_str(), nullptr), ScaleFreq(300) - 10000, 0.0006);

  // An expression in signal frequencies stands at offset + value on the scale.
  SetText(SndConfig.FreqMarker[1].GetFunc, "500");
  form->UpdateMarkerExpressions();
  EXPECT_EQ(MarkerCentre(1).x(), static_cast<int>(std::lround(500.0 * AxisLen() / 1000)));
}

// A failing expression or command is reported once; a failing expression leaves the marker.
TEST_F(MarkerWindowTest, FailuresReportedOnce)
{
  form->SetFreqMarker(0, 321);
  SetText(SndConfig.FreqMarker[0].GetFunc, "nosuchword");
  for (int i = 0; i < 5; ++i) form->UpdateMarkerExpressions();
  EXPECT_DOUBLE_EQ(g_FreqMarkers[0].freq, 321);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[0].freqNew, 321);
  std::vector<std::string> errors = Texts(CMDWIN_MSG_ERROR);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(" in marker #1 expression"), std::string::npos) << errors[0];
  for (const auto& l : lines) EXPECT_EQ(l.source, 7);

  SetText(SndConfig.FreqMarker[0].GetFunc, "nosuchword+1");  // changed: reported again
  form->UpdateMarkerExpressions();
  form->UpdateMarkerExpressions();
  EXPECT_EQ(Texts(CMDWIN_MSG_ERROR).size(), 2u);
  SetText(SndConfig.FreqMarker[0].GetFunc, "400");  // succeeds, then fails again
  form->UpdateMarkerExpressions();
  EXPECT_DOUBLE_EQ(g_FreqMarkers[0].freq, 400);
  SetText(SndConfig.FreqMarker[0].GetFunc, "nosuchword+1");
  form->UpdateMarkerExpressions();
  EXPECT_EQ(Texts(CMDWIN_MSG_ERROR).size(), 3u);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[0].freq, 400);
  SetText(SndConfig.FreqMarker[0].GetFunc, "");

  // A command failing on every pixel of a drag: one report per drag.
  lines.clear();
  SetText(SndConfig.FreqMarker[1].SetProc, "nosuchcommand");
  TMarkerImage* img = form->Img_FreqMarker[1];
  for (int drag = 0; drag < 2; ++drag) {
    QTest::mousePress(img, Qt::LeftButton, {}, QPoint(8, 8));
    for (int x = 100; x < 110; ++x) QTest::mouseMove(img, OnMarker(1, x + 50 * drag));
    QTest::mouseRelease(img, Qt::LeftButton, {}, OnMarker(1, 109 + 50 * drag));
    errors = Texts(CMDWIN_MSG_ERROR);
    ASSERT_EQ(errors.size(), static_cast<size_t>(drag + 1));
    EXPECT_NE(errors.back().find(" in marker #2 command"), std::string::npos) << errors.back();
  }
  EXPECT_DOUBLE_EQ(g_FreqMarkers[1].freq, ScaleFreq(159));  // the failing command moves nothing back

  // The message filter without errors and warnings: silent.
  lines.clear();
  SndConfig.MsgDisplay = MSGDISP_HINTS;
  form->SetFreqMarker(1, 50);
  SetText(SndConfig.FreqMarker[2].GetFunc, "nosuchword");
  form->UpdateMarkerExpressions();
  EXPECT_TRUE(Texts(CMDWIN_MSG_ERROR).empty());
}

// An expression whose value is not a finite number is a failure that leaves the marker; a named
// marker shows its name as tool tip from the next forced placement on, "#n" (n = 1..3) again
// without one.
TEST_F(MarkerWindowTest, NonFiniteValueAndNamedToolTip)
{
  form->SetFreqMarker(2, 123);
  form->UpdateMarkerExpressions();
  ASSERT_DOUBLE_EQ(g_FreqMarkers[2].freq, 123);
  SetText(SndConfig.FreqMarker[2].GetFunc, "1e308*10");
  form->UpdateMarkerExpressions();
  EXPECT_DOUBLE_EQ(g_FreqMarkers[2].freq, 123);
  EXPECT_DOUBLE_EQ(g_FreqMarkers[2].freqNew, 123);
  EXPECT_EQ(Texts(CMDWIN_MSG_ERROR).size(), 1u);
  SetText(SndConfig.FreqMarker[2].GetFunc, "");

  SetText(SndConfig.FreqMarker[2].Name, "Carrier");
  form->PlaceMarkerLabels(true);
  EXPECT_EQ(form->Img_FreqMarker[2]->toolTip(), "Carrier");
  EXPECT_EQ(form->Img_FreqMarker[1]->toolTip(), "#2");
  SetText(SndConfig.FreqMarker[2].Name, "");
  form->PlaceMarkerLabels(true);
  EXPECT_EQ(form->Img_FreqMarker[2]->toolTip(), "#3");
}

// Read-outs over known history lines: frequency of the bin, its level, the line's time.
TEST_F(MarkerWindowTest, WaterfallReadout)
{
  // Before the first line.
  for (QLabel* l : {form->Lab_CursorX, form->Lab_CursorY, form->Lab_CursorT}) l->setText("-");
  form->WaterfallMouseReadout(100, 0);
  EXPECT_EQ(LabX(), "<freq unknown>");
  EXPECT_EQ(LabY(), "<ampl unknown>");
  EXPECT_EQ(LabT(), "<time unknown>");

  // 1700000000 is 22:13:20 UTC; the newest line is at the top.
  for (int k = 0; k < 3; ++k) form->History.Store(Line(1700000000.0 + 60 * k, -1000 * k).get());
  form->History.Store(Line(1700000000.0 + 180, 0, 300).get());  // the newest has 300 bins only
  const int n = AxisLen();
  const struct {
    int x, y;
    int line;  // -1: unknown
    const char* time;
  } cases[] = {
      {100, 1, 2, "22:15:20"}, {100, 3, 0, "22:13:20"}, {700, 2, 1, "22:14:20"},
      {100, 4, -1, ""},  // no more lines
      {100, 500, -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    form->WaterfallMouseReadout(c.x, c.y);
    if (c.line < 0) {
      EXPECT_EQ(LabX(), "<freq unknown>");
      EXPECT_EQ(LabY(), "<ampl unknown>");
      EXPECT_EQ(LabT(), "<time unknown>");
      EXPECT_EQ(form->ReadoutHistoryIndex, -1);
      continue;
    }
    const int bin = static_cast<int>(c.x * 1000.0 / n);  // the bin under the pixel
    EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", double(bin)));
    EXPECT_EQ(LabY(), Level(-1000 * c.line - 10 * bin));
    EXPECT_EQ(LabT(), c.time);
    EXPECT_EQ(form->ReadoutHistoryIndex, c.line);
  }
  // The newest line lacks the bin under pixel 700: its level is unknown, not read past its end.
  form->WaterfallMouseReadout(700, 0);
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", double(static_cast<int>(700 * 1000.0 / n))));
  EXPECT_EQ(LabY(), "<ampl unknown>");
  EXPECT_EQ(LabT(), "22:16:20");
  // Debugging: the history index instead of the frequency.
  g_DebugOptions = 16;
  form->WaterfallMouseReadout(100, 1);
  EXPECT_EQ(LabX(), "array_i=2");
}

TEST_F(MarkerWindowTest, WaterfallReadoutRotatedAndWide)
{
  form->History.Store(Line(1700000000.0, 0).get());
  form->History.Store(Line(1700000060.0, -1000).get());
  SndConfig.WaterLineWidth = 2;
  form->WaterfallMouseReadout(100, 3);  // lines of two pixels: the second line
  EXPECT_EQ(LabT(), "22:13:20");
  form->WaterfallMouseReadout(100, 1);
  EXPECT_EQ(LabT(), "22:14:20");

  SndConfig.WaterLineWidth = 1;
  SndConfig.SpectrumOrient = ORIENT_ROTATED;
  form->ReapplyDisplaySettings();
  QApplication::processEvents();
  form->SetFreqRange(0, 1000);
  const QImage& img = form->Img_Waterfall->Picture;
  const int n = AxisLen();
  // Rotated: the newest line at the right, frequencies upward.
  form->WaterfallMouseReadout(img.width() - 2, img.height() - 1 - 50);
  EXPECT_EQ(LabT(), "22:13:20");
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", double(static_cast<int>(50 * 1000.0 / n))));

  // A wide window: pixels beyond 1023 read their own frequency.
  SndConfig.SpectrumOrient = ORIENT_HORIZONTAL;
  form->ReapplyDisplaySettings();
  form->resize(2200, 600);
  QApplication::processEvents();
  form->SetFreqRange(0, 1000);
  ASSERT_GT(form->Img_Waterfall->width(), 1600);
  form->WaterfallMouseReadout(1500, 0);
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", double(static_cast<int>(1500 * 1000.0 / AxisLen()))));
}

TEST_F(MarkerWindowTest, GraphAndScaleReadouts)
{
  const QImage& graph = form->Img_SpectrumPlot->Picture;
  const int a = graph.height() - 1;
  // No line built yet: the frequency is unknown, the level follows the pixel.
  form->Img_SpectrumPlotMouseMove(100, 0);
  EXPECT_EQ(LabX(), "<freq unknown>");
  EXPECT_EQ(LabY(), "0.0 dB");
  EXPECT_EQ(LabT(), "");
  form->Img_SpectrumPlotMouseMove(100, a);
  EXPECT_EQ(LabY(), "-100.0 dB");
  form->Img_SpectrumPlotMouseMove(100, a + 1);
  EXPECT_EQ(LabY(), "?? dB");

  // The producer's current line: 2 Hz bins from 10 Hz.
  SpectrumBuffer& cur = form->Lines->CurrentSpectrum;
  cur.bin_width_hz = 2.0;
  cur.offset_hz = 10.0;
  cur.nr_of_bins = 2000;
  const int n = AxisLen();
  form->Img_SpectrumPlotMouseMove(300, a / 2);
  const int bin = static_cast<int>(300 * (1000.0 / n) / 2.0 + (0 - 10.0) / 2.0);
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", bin * 2.0 + 10.0));
  EXPECT_EQ(LabY(), QString::asprintf("%.1f dB", -100.0 * (a / 2) / a));

  // The scale: frequency only, while the mixer does not feed the spectrum.
  SndConfig.FreqOffset = 100;
  form->SetFreqRange(100, 1100);
  g_FreqMixers[0].Enabled = false;
  form->Img_FreqScale1MouseMove(460, 5);
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", ScaleFreq(460)));
  EXPECT_EQ(LabY(), "");
  EXPECT_EQ(LabT(), "");
  g_FreqMixers[0].Enabled = true;
  g_FreqMixers[0].OscFrequency = 700;
  const struct {
    int sideband, toInput;
    const char* y;
    double t;  // sign of (mixer - f)
  } cases[] = {{0, 0, "LSB: f_lo - f_x =", 1}, {1, 0, "LSB: f_lo - f_x =", 1},
               {2, 0, "USB: f_x - f_lo =", -1}, {4, 0, "USB: f_x - f_lo =", -1},
               {0, 1, "", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sideband);
    SndConfig.MixerSideband = c.sideband;
    SndConfig.ConnectSpectrumToInput = c.toInput;
    form->Img_FreqScale1MouseMove(460, 5);
    EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", ScaleFreq(460)));
    EXPECT_EQ(LabY(), c.y);
    const double signal = ScaleFreq(460) - 100;  // the mixer sees signal frequencies
    EXPECT_EQ(LabT(), c.t == 0 ? QString() : QString::asprintf(" %7.3f Hz", c.t * (700 - signal)));
  }

  // A wide window: graph and scale pixels beyond 1023 read their own frequency.
  g_FreqMixers[0].Enabled = false;
  SndConfig.FreqOffset = 0;
  form->resize(2200, 600);
  QApplication::processEvents();
  form->SetFreqRange(0, 1000);
  ASSERT_GT(form->Img_SpectrumPlot->width(), 1600);
  ASSERT_GT(Scale()->width(), 1600);
  form->Img_FreqScale1MouseMove(1500, 5);
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", ScaleFreq(1500)));
  form->Img_SpectrumPlotMouseMove(1500, a / 2);
  const int wideBin = static_cast<int>(1500 * (1000.0 / AxisLen()) / 2.0 + (0 - 10.0) / 2.0);
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", wideBin * 2.0 + 10.0));
}

// On the window: hovering over the waterfall reads the line under the mouse; new lines refresh
// the read-out where the mouse stands; a click shows that line in the graph.
TEST_F(MarkerWindowTest, HoverAndClickOnTheWaterfall)
{
  form->History.Store(Line(1700000000.0, -5000).get());  // -50 dB at 0 Hz, falling
  QTest::mouseMove(form->Img_Waterfall, QPoint(50, 0));
  EXPECT_EQ(LabT(), "22:13:20");
  EXPECT_EQ(LabX(), QString::asprintf("%7.3f Hz", double(static_cast<int>(50 * 1000.0 / AxisLen()))));

  form->History.Store(Line(1700000060.0, -5000).get());
  form->LoopHost->DrawWaterfall(1, nullptr);
  EXPECT_EQ(LabT(), "22:14:20");  // the new line is under the mouse now

  QImage& graph = form->Img_SpectrumPlot->Picture;
  form->UpdateSpectrumGraph(graph, nullptr, nullptr);
  const int a = graph.height() - 1;
  const int bin = static_cast<int>(50 * 1000.0 / AxisLen());
  const double db = (-5000 - 10 * bin) / 100.0;
  const int row = static_cast<int>(-db * a / 100);  // the level's row at x = 50
  auto hasPen = [&] {
    const QRgb pen = ColorRefToQColor(SndConfig.SpectrumPenColor[0]).rgb();
    for (int y = row - 3; y <= row + 3; ++y)
      if (graph.pixel(50, y) == pen) return true;
    return false;
  };
  EXPECT_FALSE(hasPen());
  form->PC_Controls->setCurrentWidget(form->TS_Freq);
  QTest::mouseClick(form->Img_Waterfall, Qt::LeftButton, {}, QPoint(50, 0));
  EXPECT_EQ(form->PC_Controls->currentWidget(), form->TS_Time);
  EXPECT_TRUE(hasPen());
}
