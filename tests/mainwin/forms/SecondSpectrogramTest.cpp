// The second spectrogram window repaints its placeholder and intensity scale at its size.
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

#include "mainwin/forms/SecondSpectrogram.h"
#include "mainwin/forms/SpecImage.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

struct SecondSpectrogramTest : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    win = new TSecondSpectrogram;
    SecondSpectrogram = win;
  }
  void TearDown() override
  {
    delete win;
    MainWindowTest::TearDown();
  }
  // Checks the picture against the window's image size and the expected background.
  void CheckPicture(QRgb background)
  {
    const QImage& pic = win->Image1->Picture;
    ASSERT_EQ(pic.size(), win->Image1->size());
    const int w = pic.width(), h = pic.height();
    int scalePixels = 0, textPixels = 0, strayInStrip = 0;
    // The intensity scale's axis: the leftmost column near the right edge drawn from top to
    // bottom; the scale is at least 50 pixels wide and holds its widest label, "100 %".
    int axis = -1;
    for (int x = std::max(0, w - 150); x < w && axis < 0; ++x) {
      int drawn = 0;
      for (int y = 0; y < h; ++y) drawn += pic.pixel(x, y) != background;
      if (drawn > h * 9 / 10) axis = x;
    }
    ASSERT_GE(axis, 0);
    EXPECT_LE(axis, w - 50);
    const QFont scaleFont = win->Pnl_BackgndColor->font();
    const QFontMetrics fm(QFont(scaleFont.family(), scaleFont.pointSize() > 0 ? scaleFont.pointSize() : 8));
    EXPECT_GE(w - axis, 10 + fm.horizontalAdvance("100 %") + fm.height());
    for (int y = 0; y < h; ++y)
      for (int x = axis; x < w; ++x)
        if (pic.pixel(x, y) != background) ++scalePixels;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x)
        if (pic.pixel(x, y) == qRgb(255, 255, 0)) ++textPixels;
    // The frequency scale's strip stays empty: only two scale styles are drawn.
    for (int y = h - 50; y < h; ++y)
      for (int x = 0; x < axis - 1; ++x)
        if (pic.pixel(x, y) != background) ++strayInStrip;
    EXPECT_GT(scalePixels, 50);
    EXPECT_GT(textPixels, 10);
    EXPECT_EQ(strayInStrip, 0);
    EXPECT_EQ(pic.pixel(w / 2, h / 4 * 3 - 40), background);
  }
  TSecondSpectrogram* win = nullptr;
};

TEST_F(SecondSpectrogramTest, ShowAndResizeRepaintAtTheNewSize)
{
  EXPECT_EQ(win->windowTitle(), "Second Spectrogram");
  win->resize(500, 420);
  win->show();
  QApplication::processEvents();
  CheckPicture(qRgb(0, 0, 0));
  const QSize first = win->Image1->Picture.size();

  win->resize(760, 560);
  QApplication::processEvents();
  EXPECT_NE(win->Image1->Picture.size(), first);
  CheckPicture(qRgb(0, 0, 0));
}

TEST_F(SecondSpectrogramTest, BackgroundColourTakesEffectAtTheNextResize)
{
  win->resize(500, 420);
  win->show();
  QApplication::processEvents();
  win->SetBackgndColor(0x00400080);  // red 0x80, blue 0x40
  EXPECT_EQ(win->Image1->Picture.pixel(5, win->Image1->height() - 5), qRgb(0, 0, 0));
  win->resize(520, 430);
  QApplication::processEvents();
  CheckPicture(qRgb(0x80, 0, 0x40));
}

TEST_F(SecondSpectrogramTest, ViewMenuOpensItAndExitCloses)
{
  Make();
  auto* item = form->findChild<QAction*>("Menu_SecondSpectrogram");
  ASSERT_NE(item, nullptr);
  item->trigger();
  EXPECT_TRUE(win->isVisible());
  form->View1Click();
  EXPECT_TRUE(item->isChecked());
  win->Menu_Exit->trigger();
  EXPECT_FALSE(win->isVisible());
}

}  // namespace
