// The palette editor: the histogram's geometry, mouse edits of the checked channels, the
// read-outs, placement, and the main window's palette commands (edit with OK and Cancel, the
// colour bar's double click, load and save through the file-dialog hook).
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <cstring>

#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/forms/PaletteEditor.h"
#include "mainwin/forms/SpecImage.h"
#include "platform/IniFile.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

uint32_t Rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }

struct PaletteEditorTest : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    editor = new TPaletteEditorForm;
    PaletteEditorForm = editor;
  }
  void TearDown() override
  {
    TDialogHooks::DialogExecHook = nullptr;
    TDialogHooks::FileDialogHook = nullptr;
    delete editor;
    MainWindowTest::TearDown();
  }
  void Show()
  {
    editor->show();
    QApplication::processEvents();
  }
  void OnlyChannels(bool r, bool g, bool b)
  {
    editor->CHK_Red->setChecked(r);
    editor->CHK_Green->setChecked(g);
    editor->CHK_Blue->setChecked(b);
  }
  QRgb Pixel(int x, int y) const { return editor->Img_Histogram->Picture.pixel(x, y); }
  TPaletteEditorForm* editor = nullptr;
};

TEST_F(PaletteEditorTest, NewEditorHoldsTheGreyRampAndDrawsBarsAndStrip)
{
  EXPECT_EQ(editor->windowTitle(), "Color Palette Editor");
  EXPECT_EQ(editor->Palette.palVersion, 768);
  EXPECT_EQ(editor->Palette.palNumEntries, 0);
  EXPECT_EQ(editor->Palette.entries[77], Rgb(77, 77, 77));
  editor->Palette.entries[100] = Rgb(40, 0, 200);
  Show();
  const QImage& pic = editor->Img_Histogram->Picture;
  ASSERT_EQ(pic.width(), 768);
  ASSERT_EQ(pic.height(), 275);
  EXPECT_EQ(editor->BaseLine(), 255);
  // Level 100: a red bar of 40 rows, no green bar, a blue bar of 200 rows, the strip below.
  EXPECT_EQ(Pixel(300, 254), qRgb(255, 0, 0));
  EXPECT_EQ(Pixel(300, 255 - 40), qRgb(255, 0, 0));
  EXPECT_EQ(Pixel(300, 255 - 41), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(301, 254), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(302, 255 - 200), qRgb(0, 0, 255));
  EXPECT_EQ(Pixel(302, 255 - 201), qRgb(0, 0, 0));
  for (int x = 300; x < 303; ++x) EXPECT_EQ(Pixel(x, 270), qRgb(40, 0, 200));
  // Level 255's bars reach row 0.
  EXPECT_EQ(Pixel(767, 0), qRgb(0, 0, 255));
}

TEST_F(PaletteEditorTest, ClickSetsTheCheckedChannelsAndRedrawsOnlyThatLevel)
{
  editor->Palette.entries[255] = Rgb(10, 20, 30);
  Show();
  // Changed behind the editor's back: stays drawn as it was unless its level is redrawn.
  editor->Palette.entries[254] = 0;
  OnlyChannels(true, false, false);
  editor->Img_HistogramMouseDown(767, 0, Qt::LeftButton);
  EXPECT_EQ(editor->Palette.entries[255], Rgb(255, 20, 30));
  EXPECT_EQ(Pixel(765, 0), qRgb(255, 0, 0));
  EXPECT_EQ(Pixel(766, 255 - 20), qRgb(0, 255, 0));
  EXPECT_EQ(Pixel(766, 255 - 21), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(765, 270), qRgb(255, 20, 30));
  EXPECT_EQ(Pixel(762, 255 - 254), qRgb(255, 0, 0));  // level 254 not redrawn
  EXPECT_EQ(Pixel(762, 270), qRgb(254, 254, 254));
}

TEST_F(PaletteEditorTest, MouseEdgeCases)
{
  Show();
  const TColorPalette before = editor->Palette;
  auto same = [&] { return std::memcmp(&before, &editor->Palette, sizeof before) == 0; };

  // Below the image: nothing changes, the value reads 0.
  editor->Img_HistogramMouseMove(30, 300, true);
  EXPECT_TRUE(same());
  EXPECT_EQ(editor->LAB_MouseX->text(), "10");
  EXPECT_EQ(editor->LAB_MouseY->text(), "0");
  // Left of the image: outside, not level 0.
  editor->Img_HistogramMouseDown(-1, 100, Qt::LeftButton);
  editor->Img_HistogramMouseMove(-2, 100, true);
  EXPECT_TRUE(same());
  EXPECT_EQ(editor->LAB_MouseX->text(), "0");
  // No channel checked: only the read-outs follow the mouse.
  OnlyChannels(false, false, false);
  editor->Img_HistogramMouseDown(90, 55, Qt::LeftButton);
  editor->Img_HistogramMouseMove(90, 55, true);
  EXPECT_TRUE(same());
  EXPECT_EQ(editor->LAB_MouseX->text(), "30");
  EXPECT_EQ(editor->LAB_MouseY->text(), "200");
  // Dragging with green and blue edits them; moving without the button does not.
  OnlyChannels(false, true, true);
  editor->Img_HistogramMouseMove(91, 55, false);
  EXPECT_TRUE(same());
  editor->Img_HistogramMouseMove(91, 55, true);
  EXPECT_EQ(editor->Palette.entries[30], Rgb(30, 200, 200));
  // The channel read-outs in percent, truncated.
  editor->Palette.entries[40] = Rgb(255, 128, 0);
  editor->Img_HistogramMouseMove(120, 10, false);
  EXPECT_EQ(editor->LAB_Red->text(), "100%");
  EXPECT_EQ(editor->LAB_Green->text(), "50%");
  EXPECT_EQ(editor->LAB_Blue->text(), "0%");
}

TEST_F(PaletteEditorTest, PlacementSurvivesARoundTrip)
{
  Show();
  editor->resize(900, 420);
  QApplication::processEvents();
  editor->Btn_OK->click();
  IniFile ini(UserSettingsFullPath());
  EXPECT_EQ(ini.ReadInteger("PaletteEditorForm", "Width", 0), 900);
  EXPECT_EQ(ini.ReadInteger("PaletteEditorForm", "Height", 0), 420);
  delete editor;
  editor = new TPaletteEditorForm;
  PaletteEditorForm = editor;
  Show();
  EXPECT_EQ(editor->width(), 900);
  EXPECT_EQ(editor->height(), 420);
}

TEST_F(PaletteEditorTest, MainWindowEditCopiesBackOnOkOnly)
{
  Make();
  int runs = 0;
  bool ok = true;
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    ++runs;
    EXPECT_EQ(d, editor);
    EXPECT_EQ(std::memcmp(&editor->Palette, &g_ColorPalette, sizeof g_ColorPalette), 0);
    editor->show();
    QApplication::processEvents();
    OnlyChannels(true, false, false);
    editor->EditPaletteAt(3 * 200, 255);  // level 200: red 0
    (ok ? editor->Btn_OK : editor->Btn_Cancel)->click();
    return editor->result();
  };

  const TColorPalette before = g_ColorPalette;
  const TColorPalette waterBefore = g_WaterfallPalette;
  ok = false;
  form->findChild<QAction*>("EditColorPalette1")->trigger();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(std::memcmp(&before, &g_ColorPalette, sizeof before), 0);
  EXPECT_EQ(std::memcmp(&waterBefore, &g_WaterfallPalette, sizeof waterBefore), 0);

  ok = true;
  form->Img_ColorLegend->OnDblClick();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(g_ColorPalette.entries[200] & 0xFF, 0u);
  EXPECT_EQ(g_ColorPalette.entries[200] & 0xFFFF00, before.entries[200] & 0xFFFF00);
  TColorPalette expected;
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, expected);
  EXPECT_EQ(std::memcmp(&expected, &g_WaterfallPalette, sizeof expected), 0);
}

TEST_F(PaletteEditorTest, MainWindowLoadsAndSavesPaletteFiles)
{
  Make();
  QString answer;
  QString filterSeen;
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString& filter, QString& name) {
    filterSeen = filter;
    name = answer;
    return true;
  };
  g_ColorPalette.entries[5] = Rgb(1, 2, 3);
  answer = QString::fromStdString(dir.file("mine.pal"));
  form->findChild<QAction*>("SaveColorPalette1")->trigger();
  EXPECT_TRUE(filterSeen.contains("*.pal") && filterSeen.contains("*.PAL"));
  EXPECT_TRUE(messages.isEmpty());

  g_ColorPalette.entries[5] = 0;
  form->findChild<QAction*>("LoadColorPalette1")->trigger();
  EXPECT_EQ(g_ColorPalette.entries[5], Rgb(1, 2, 3));
  TColorPalette expected;
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, expected);
  EXPECT_EQ(std::memcmp(&expected, &g_WaterfallPalette, sizeof expected), 0);

  // A save that fails is reported.
  answer = QString::fromStdString(dir.path().string());  // a directory
  form->findChild<QAction*>("SaveColorPalette1")->trigger();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("Unable to write"));
}

}  // namespace
