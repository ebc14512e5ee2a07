// Display captures and the image viewer on the real main window, offscreen: the File-menu
// captures answered through the dialog hook, the words "capture" and "wave" run as macros, the
// viewer's files shown and converted. Every written file is decoded back.
#include <QAction>
#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/WaveLogDecimator.h"
#include "engine/forms/DialogHooks.h"
#include "imaging/AnyPicDecoder.h"
#include "imaging/WinBmp.h"
#include "imaging/forms/PicViewForm.h"
#include "imaging/forms/SaveImage.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CmdWinMsg.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/WindowWords.h"
#include "mainwin/forms/SpecImage.h"
#include "platform/IniFile.h"
#include "tests/mainwin/WaveTestUtil.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

// A picture whose every pixel differs from its neighbours (seed: one per display).
void FillPattern(QImage& img, int seed)
{
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      img.setPixel(x, y, qRgb((x * 7 + seed) & 255, (y * 13 + 3 * seed) & 255, (x * y + seed) & 255));
}

// The file decoded by the program's own decoder (any format it knows), 32 bits per pixel.
bool Decode(const std::string& path, CWinBmp& bmp)
{
  try {
    CAnyPicDecoder().DecodeFile(path.c_str(), &bmp, 32);
  } catch (...) {
    return false;
  }
  return true;
}

QRgb PixelOf(const CWinBmp& bmp, int x, int y)
{
  const uint8_t* p = bmp.GetLineArray()[y] + 4 * x;
  return qRgb(p[2], p[1], p[0]);
}

// Number of pixels of `rect` in bmp (placed at `at`) that differ from img; -1 when it lies
// outside the decoded picture.
int Mismatches(const CWinBmp& bmp, QPoint at, const QImage& img)
{
  const auto [w, h] = bmp.GetSize();
  if (at.x() + img.width() > w || at.y() + img.height() > h) return -1;
  int bad = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      bad += PixelOf(bmp, at.x() + x, at.y() + y) != (img.pixel(x, y) | 0xFF000000);
  return bad;
}

// Width and height djpeg (libjpeg's own decoder) finds in a JPEG file, "" when it fails.
std::string DjpegSize(const std::string& path)
{
  return wave_test::Run("djpeg -pnm '" + path + "' 2>/dev/null | head -c 40 | sed -n 2p");
}

// The rows in which two pictures of one size differ: first and last (-1, -1 when equal).
std::pair<int, int> DifferingRows(const CWinBmp& a, const QImage& b)
{
  int first = -1, last = -1;
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      if (PixelOf(a, x, y) != (b.pixel(x, y) | 0xFF000000)) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  return {first, last};
}

class CaptureWindowTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    Make();
    form->FormShow();
    form->resize(800, 600);
    form->show();
    QApplication::processEvents();
    form->Timer1->stop();
    form->IdleTimer->stop();
    SndConfig.CaptureOptions = 0;
    SndConfig.WaterFreqGrid = 0;
    SndConfig.UseJpegFormat = 0;
    SndConfig.MsgDisplay = 0;
    FillPattern(form->Img_SpectrumPlot->Picture, 1);
    FillPattern(form->Img_FreqScale1->Picture, 50);
    FillPattern(form->Img_Waterfall->Picture, 100);
  }
  void TearDown() override
  {
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::FileListDialogHook = nullptr;
    delete PicViewFrm;
    PicViewFrm = nullptr;
    MainWindowTest::TearDown();
  }
  // Answers the next save dialogs with `answer` (in the test directory) and notes what was
  // asked; `during` runs while the dialog is open.
  void Answer(const std::string& answer, std::function<void()> during = nullptr)
  {
    TDialogHooks::FileDialogHook = [this, answer, during](bool save, const QString& title,
                                                         const QString& filter, QString& name) {
      asked.push_back({save, title, filter, name, TDialogHooks::FileDialogDefaultSuffix});
      if (during) during();
      if (answer.empty()) return false;
      name = QString::fromStdString(dir.file(answer));
      return true;
    };
  }
  void Trigger(const char* item) { form->findChild<QAction*>(item)->trigger(); }

  struct Asked {
    bool save;
    QString title, filter, proposed, suffix;
  };
  std::vector<Asked> asked;
};

// Each menu capture writes BMP and JPEG files that both decoders read back at the display's
// size; the BMP holds the display's pixels, the composite each display at its offset.
TEST_F(CaptureWindowTest, MenuCapturesWriteFilesThatDecodeBack)
{
  TSndMainForm& f = *form;
  const QPoint graph = f.Img_SpectrumPlot->pos();
  struct Part {
    const QImage* picture;
    QPoint at;
  };
  const struct {
    const char* item;
    const char* what;
    QSize size;
    std::vector<Part> parts;
  } table[] = {
      {"SaveSpectrumAsFile", "Spectrum Plot", f.Img_SpectrumPlot->Picture.size(),
       {{&f.Img_SpectrumPlot->Picture, {0, 0}}}},
      {"SaveWaterfallasFile", "Waterfall", f.Img_Waterfall->Picture.size(),
       {{&f.Img_Waterfall->Picture, {0, 0}}}},
      {"SaveSpectrumAndWaterfall", "Spectrum+Waterfall", f.Grp_Spectra->size(),
       {{&f.Img_SpectrumPlot->Picture, {0, 0}},
        {&f.Img_FreqScale1->Picture, f.Img_FreqScale1->pos() - graph},
        {&f.Img_Waterfall->Picture, f.Img_Waterfall->pos() - graph}}},
  };
  for (const auto& c : table) {
    for (const char* ext : {".bmp", ".jpg"}) {
      SCOPED_TRACE(std::string(c.item) + ext);
      const std::string name = std::string(c.item) + ext;
      bool graphBusy = false, waterBusy = false;
      asked.clear();
      Answer(name, [&] {
        graphBusy = f.Disp.GraphBusy;
        waterBusy = f.Disp.SavingWaterfall;
      });
      Trigger(c.item);
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_TRUE(asked[0].save);
      EXPECT_EQ(asked[0].title, QString("Save %1 as File (BMP or JPG)").arg(c.what));
      EXPECT_TRUE(asked[0].filter.contains("*.jpg *.JPG")) << asked[0].filter.toStdString();
      EXPECT_TRUE(asked[0].filter.contains("*.bmp *.BMP")) << asked[0].filter.toStdString();
      // After a BMP the dialog proposes the name with BMP as its default suffix.
      if (std::strcmp(ext, ".jpg") == 0) {
        EXPECT_EQ(asked[0].suffix, "bmp");
      }
      EXPECT_EQ(graphBusy, std::strcmp(c.item, "SaveSpectrumAsFile") == 0);
      EXPECT_EQ(waterBusy, std::strcmp(c.item, "SaveWaterfallasFile") == 0);
      EXPECT_FALSE(f.Disp.GraphBusy || f.Disp.SavingWaterfall);

      CWinBmp back;
      ASSERT_TRUE(Decode(dir.file(name), back));
      EXPECT_EQ(back.GetSize(), std::make_pair(c.size.width(), c.size.height()));
      if (std::strcmp(ext, ".bmp") == 0) {
        for (const Part& p : c.parts) EXPECT_EQ(Mismatches(back, p.at, *p.picture), 0);
      } else {
        EXPECT_EQ(DjpegSize(dir.file(name)),
                  std::to_string(c.size.width()) + " " + std::to_string(c.size.height()));
      }
    }
    // The next dialog proposes the last name, without its extension.
    asked.clear();
    Answer("");
    Trigger(c.item);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].proposed.toStdString(), dir.file(c.item));
    EXPECT_EQ(asked[0].suffix, "jpg");
  }
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

// A name whose only dot is in a directory has no extension: refused, nothing written, and the
// logged reason shown. A cancelled dialog writes nothing either.
TEST_F(CaptureWindowTest, MenuCaptureRefusedOrCancelledWritesNothing)
{
  std::filesystem::create_directory(dir.file("shots.d"));
  Answer("shots.d/waterfall");
  Trigger("SaveWaterfallasFile");
  EXPECT_FALSE(std::filesystem::exists(dir.file("shots.d/waterfall")));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith("Error: No extension in \"")) << messages[0].toStdString();

  Answer("");
  Trigger("SaveSpectrumAndWaterfall");
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("shots.d")));
  EXPECT_EQ(messages.size(), 1);
}

// With options 0 and the grid off the capture is the plain waterfall; option bit 0 writes one
// text row at the top, bit 1 a second one below it; nothing else changes.
TEST_F(CaptureWindowTest, CaptureOptionsChangeOnlyTheTopTextRows)
{
  QImage& water = form->Img_Waterfall->Picture;
  const QImage plain = water.copy();
  QFont font("Courier New");
  font.setPointSize(8);
  const int line = QFontMetrics(font).height();
  ASSERT_GT(water.height(), 3 * line);

  std::pair<int, int> rows[4];
  for (int options : {0, 1, 2, 3}) {
    SCOPED_TRACE(options);
    water = plain.copy();
    SndConfig.CaptureOptions = options;
    const std::string path = dir.file("opt" + std::to_string(options) + ".bmp");
    ASSERT_EQ(CLI_ExecuteMacro(2, ("capture(\"" + path + "\")").c_str()), 0);
    CWinBmp back;
    ASSERT_TRUE(Decode(path, back));
    ASSERT_EQ(back.GetSize(), std::make_pair(plain.width(), plain.height()));
    rows[options] = DifferingRows(back, plain);
  }
  EXPECT_EQ(rows[0], std::make_pair(-1, -1));
  EXPECT_GE(rows[1].first, 0);
  EXPECT_LT(rows[1].second, line);
  EXPECT_GE(rows[2].first, 0);  // bit 1 alone writes its row too
  EXPECT_LT(rows[2].second, 2 * line);
  EXPECT_GE(rows[3].second, line);  // the second row holds text
  EXPECT_LT(rows[3].second, 2 * line);
}

// "capture:capture" writes two numbered files of the waterfall's size, the indicator shows the
// number after the increment, and the main timer clears it once its time has passed.
TEST_F(CaptureWindowTest, CaptureSequenceWritesNumberedFilesAndShowsTheIndicator)
{
  std::snprintf(SndConfig.SequenceName, sizeof SndConfig.SequenceName, "%s",
                dir.file("cap").c_str());
  SndConfig.SequenceNr = 7;
  const QSize size = form->Img_Waterfall->Picture.size();
  ASSERT_EQ(CLI_ExecuteMacro(2, "capture:capture"), 0);
  for (const char* name : {"cap07.bmp", "cap08.bmp"}) {
    CWinBmp back;
    ASSERT_TRUE(Decode(dir.file(name), back)) << name;
    EXPECT_EQ(back.GetSize(), std::make_pair(size.width(), size.height())) << name;
  }
  EXPECT_EQ(SndConfig.SequenceNr, 9);
  SndConfig.UseJpegFormat = 1;
  ASSERT_EQ(CLI_ExecuteMacro(2, "capture"), 0);
  EXPECT_EQ(DjpegSize(dir.file("cap09.jpg")),
            std::to_string(size.width()) + " " + std::to_string(size.height()));

  // The indicator sits in the control panel.
  auto* lab = form->findChild<QLabel*>("Lab_Capture");
  ASSERT_NE(lab, nullptr);
  EXPECT_EQ(lab->text(), "Captured #10");
  EXPECT_EQ(lab->parentWidget()->objectName(), "Grp_Controls");
  form->StartupTicks = 0;  // past the start-up ticks, which only count down
  const double until = g_CaptureIndicator.Until;
  g_CaptureIndicator.Until = until + 1e6;  // far from expiry: the tick leaves it
  form->Timer1Timer();
  EXPECT_EQ(lab->text(), "Captured #10");
  g_CaptureIndicator.Until = until - 10.0;  // its time has passed
  form->Timer1Timer();
  EXPECT_EQ(lab->text(), "");
  form->IdleTimer->stop();
}

// A capture that writes nothing fails (-3) without a message box; the number stays for a
// name given, and the reason is in the error text.
TEST_F(CaptureWindowTest, FailedCaptureIsAFailureWithoutADialog)
{
  const std::string path = dir.file("no/such/dir/x.bmp");
  EXPECT_EQ(CLI_ExecuteMacro(2, ("capture(\"" + path + "\")").c_str()), CLI_ERR_FAILED);
  EXPECT_NE(std::strstr(g_CliErrorText, path.c_str()), nullptr) << g_CliErrorText;
  EXPECT_EQ(CLI_ExecuteMacro(2, ("capture(\"" + dir.file("x.png") + "\")").c_str()),
            CLI_ERR_FAILED);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

// With file actions shown, "Captured Screen as" is written only for a file that was written: a
// name without extension, an unknown extension or a missing directory give no success line.
TEST_F(CaptureWindowTest, CapturedLineOnlyForAFileWritten)
{
  SndConfig.MsgDisplay = MSGDISP_FILE_ACTIONS;
  CmdWin_SetShown(true);
  std::vector<std::string> lines;
  CmdWin_SetMessageSink(
      [&lines](int, int, const std::string& line) { lines.push_back(line); });
  struct Case {
    std::string name;
    bool written;
  } cases[] = {{"foo", false}, {"x.png", false}, {"no/such/dir/x.bmp", false},
               {"shot.bmp", true}, {"shot.JPEG", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lines.clear();
    const std::string path = dir.file(c.name);
    EXPECT_EQ(CLI_ExecuteMacro(2, ("capture(\"" + path + "\")").c_str()),
              c.written ? 0 : CLI_ERR_FAILED);
    EXPECT_EQ(std::filesystem::exists(path), c.written);
    int captured = 0, capturing = 0;
    for (const std::string& l : lines) {
      captured += l.find("Captured Screen as \"" + path + "\"") != std::string::npos;
      capturing += l.find("Capturing to file \"" + path + "\"") != std::string::npos;
    }
    EXPECT_EQ(captured, c.written ? 1 : 0);
    EXPECT_EQ(capturing, 1);  // the file actions are shown at all
  }
  CmdWin_SetMessageSink(nullptr);
  CmdWin_SetShown(false);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

// wave.record and wave.stop drive the real recorder: the file is a wave file sox reads; one that
// cannot be created fails with the reason and no dialog.
TEST_F(CaptureWindowTest, WaveRecordAndStopWriteAFileSoxReads)
{
  const std::string path = dir.file("x.wav");
  ASSERT_EQ(CLI_ExecuteMacro(2, ("wave.record(\"" + path + "\")").c_str()), 0);
  EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_INPUT);
  std::vector<double> block(4096, 1500.0);
  for (int i = 0; i < 4; ++i) WaveLogDecimate(&g_WaveLogDecimator[0], block.data(), 4096);
  form->FlushWaveRecordBuffers();
  ASSERT_EQ(CLI_ExecuteMacro(2, "wave.stop"), 0);
  EXPECT_EQ(g_WaveLogState.load(), 0);
  EXPECT_EQ(wave_test::SoxInfo("-t", path), "wav");
  EXPECT_EQ(wave_test::SoxInfo("-s", path), "16384");

  ASSERT_EQ(CLI_ExecuteMacro(2, ("wave.record(\"" + dir.file("out.wav") + "\",2)").c_str()), 0);
  EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_OUTPUT);
  ASSERT_EQ(CLI_ExecuteMacro(2, "wave.stop"), 0);

  const std::string bad = dir.file("no/such/dir/y.wav");
  EXPECT_EQ(CLI_ExecuteMacro(2, ("wave.record(\"" + bad + "\")").c_str()), CLI_ERR_FAILED);
  EXPECT_NE(std::strstr(g_CliErrorText, "Could not create"), nullptr) << g_CliErrorText;
  EXPECT_EQ(g_WaveLogState.load(), 0);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

// The image viewer item shows the chosen files, the first in the caption; converting saves the
// shown picture's pixels under the new name, proposed from the shown file.
TEST_F(CaptureWindowTest, ImageViewerShowsFilesAndConvertsThePicture)
{
  PicViewFrm = new TPicViewFrm;
  QImage first(9, 5, QImage::Format_RGB32), second(4, 4, QImage::Format_RGB32);
  FillPattern(first, 7);
  FillPattern(second, 9);
  const std::string a = dir.file("a.bmp"), b = dir.file("b.jpg");
  ASSERT_EQ(SaveBitmapToImageFile(a.c_str(), first), 1);
  ASSERT_EQ(SaveBitmapToImageFile(b.c_str(), second), 1);

  QAction* convert = form->findChild<QAction*>("Menu_ConvertImage");
  EXPECT_FALSE(convert->isEnabled());
  QString title, filter;
  uint32_t help = 0;
  TDialogHooks::FileListDialogHook = [&](const QString& t, const QString& fl, QStringList& n) {
    title = t;
    filter = fl;
    help = TDialogHooks::FileDialogHelpContext;
    n = {QString::fromStdString(a), QString::fromStdString(b)};
    return true;
  };
  Trigger("Menu_ImageViewer");
  EXPECT_EQ(title, "Select image(s) to display, CTRL key for multi-select");
  EXPECT_TRUE(filter.contains("*.jpg *.JPG") && filter.contains("*.bmp *.BMP"));
  EXPECT_EQ(help, 1850u);
  EXPECT_TRUE(PicViewFrm->isVisible());
  EXPECT_EQ(PicViewFrm->windowTitle().toStdString(), a);
  EXPECT_TRUE(convert->isEnabled());

  Answer("converted.bmp");
  Trigger("Menu_ConvertImage");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, "Save loaded image as File (BMP or JPG)");
  EXPECT_EQ(asked[0].proposed.toStdString(), dir.file("a"));
  CWinBmp back;
  ASSERT_TRUE(Decode(dir.file("converted.bmp"), back));
  EXPECT_EQ(back.GetSize(), std::make_pair(9, 5));
  EXPECT_EQ(Mismatches(back, {0, 0}, first), 0);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

// The viewer opens where the last run left it and the main window's close keeps its placement.
TEST_F(CaptureWindowTest, ImageViewerPlacementSurvivesARun)
{
  PicViewFrm = new TPicViewFrm;
  {
    IniFile ini(UserSettingsFullPath());
    ini.WriteInteger(kPicViewSection, "Left", 150);
    ini.WriteInteger(kPicViewSection, "Top", 120);
    ini.WriteInteger(kPicViewSection, "Width", 500);
    ini.WriteInteger(kPicViewSection, "Height", 300);
    ini.UpdateFile();
  }
  QImage picture(4, 4, QImage::Format_RGB32);
  FillPattern(picture, 3);
  const std::string a = dir.file("a.bmp");
  ASSERT_EQ(SaveBitmapToImageFile(a.c_str(), picture), 1);
  TDialogHooks::FileListDialogHook = [&](const QString&, const QString&, QStringList& n) {
    n = {QString::fromStdString(a)};
    return true;
  };
  Trigger("Menu_ImageViewer");
  // Left and Top are the frame's corner, Width and Height the client size.
  EXPECT_EQ(PicViewFrm->pos(), QPoint(150, 120));
  EXPECT_EQ(PicViewFrm->size(), QSize(500, 300));

  PicViewFrm->move(210, 130);
  PicViewFrm->resize(520, 310);
  form->close();
  IniFile ini(UserSettingsFullPath());
  EXPECT_EQ(ini.ReadInteger(kPicViewSection, "Left", 0), 210);
  EXPECT_EQ(ini.ReadInteger(kPicViewSection, "Top", 0), 130);
  EXPECT_EQ(ini.ReadInteger(kPicViewSection, "Width", 0), 520);
  EXPECT_EQ(ini.ReadInteger(kPicViewSection, "Height", 0), 310);
}

// When no file of the list could be decoded there is nothing to convert: no dialog, no file,
// and the user is told.
TEST_F(CaptureWindowTest, ConvertWithoutADecodedPictureSavesNothing)
{
  PicViewFrm = new TPicViewFrm;
  const std::string gif = dir.file("d.gif");
  vt_test::WriteWholeFile(gif, "GIF89a and then some bytes");
  TDialogHooks::FileListDialogHook = [&](const QString&, const QString&, QStringList& n) {
    n = {QString::fromStdString(gif)};
    return true;
  };
  Trigger("Menu_ImageViewer");
  Answer("converted.bmp");
  form->Menu_ConvertImageClick();
  EXPECT_TRUE(asked.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("converted.bmp")));
  EXPECT_EQ(messages, QStringList{"No image loaded: nothing to convert."});
}

}  // namespace
