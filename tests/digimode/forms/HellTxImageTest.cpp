// The Hellschreiber transmit image: font measuring, drawing limits, column hand-over, and the
// way from typed text through the engine's ring and transmit hook to tones.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "digimode/CHellMod.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/forms/HellTxImage.h"
#include "engine/SampleRates.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int LitPixels(const QImage& img, int x0, int x1, int y0, int y1)
{
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += qGray(img.pixel(x, y)) > 127 ? 1 : 0;
  return n;
}

int QueuedColumns()
{
  return (g_HellColumnRing.Head.load() - g_HellColumnRing.Tail.load() + kHellColumnRingSize) %
         kHellColumnRingSize;
}

class HellTxImageTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    g_ProcessingSampleRate = 8000.0;
    Digimode_Init();
    DigimodeSettings.OperMode = DIGIMODE_OPMODE_HELL;
    DigimodeSettings.cut_top = 0;
  }
  void TearDown() override
  {
    Digimode_SwitchRxTx(0);
    Digimode_Exit();
  }
};

}  // namespace

TEST_F(HellTxImageTest, FontHeightIsMeasuredLabelledAndClamped)
{
  THellTxImage img;
  QLabel label;
  img.SetHeightLabel(&label);
  EXPECT_EQ(img.Bitmap().size(), QSize(341, 24));
  for (int pixels : {4, 8, 40}) {
    img.SetHellFont({"DejaVu Sans Mono", -pixels, 0});
    img.Bitmap().setPixel(5, 2, qRgb(255, 255, 255));  // content survives the measuring
    img.PrepareHellFont();
    const QFontMetrics fm(img.HellQFont());
    const int h = fm.height() + std::max(0, fm.height() - pixels);
    EXPECT_EQ(label.text(), QString("h=%1").arg(h)) << pixels;
    EXPECT_EQ(img.HeightText(), label.text());
    const int rows = std::clamp(h, 8, 32);
    EXPECT_EQ(img.Bitmap().height(), rows) << pixels;
    EXPECT_EQ(img.height(), rows);
    EXPECT_EQ(img.Bitmap().width(), 341);
    EXPECT_EQ(img.Bitmap().pixel(5, 2), qRgb(255, 255, 255));
  }
  // A 40-pixel font measures above 32 rows, a 4-pixel one below 8: both are clamped.
  img.SetHellFont({"DejaVu Sans Mono", -40, 0});
  img.PrepareHellFont();
  EXPECT_GT(img.HeightText().mid(2).toInt(), 32);
  EXPECT_EQ(img.Bitmap().height(), 32);
  img.SetHellFont({"DejaVu Sans Mono", -4, 0});
  img.PrepareHellFont();
  EXPECT_LT(img.HeightText().mid(2).toInt(), 8);
  EXPECT_EQ(img.Bitmap().height(), 8);
}

TEST_F(HellTxImageTest, FontRecordRoundTripsNameHeightAndStyleBits)
{
  THellTxImage img;
  T_DigimodeHellFont f = img.HellFont();
  EXPECT_EQ(f.height, -8);
  EXPECT_EQ(f.style, 0);
  EXPECT_EQ(f.name, "Courier New");
  for (int style : {0, 1, 2, 4, 5, 7}) {
    img.SetHellFont({"DejaVu Sans Mono", -12, style});
    f = img.HellFont();
    EXPECT_EQ(f.name, "DejaVu Sans Mono");
    EXPECT_EQ(f.height, -12);
    EXPECT_EQ(f.style, style);
  }
  // style 5: bold and underlined, not italic.
  img.SetHellFont({"DejaVu Sans Mono", -10, 5});
  EXPECT_TRUE(img.HellQFont().bold());
  EXPECT_TRUE(img.HellQFont().underline());
  EXPECT_FALSE(img.HellQFont().italic());
}

TEST_F(HellTxImageTest, FullAndRefuseThresholdsWithEightPixelCharacters)
{
  THellTxImage img;
  ASSERT_EQ(img.Bitmap().width(), 341);
  ASSERT_EQ(QFontMetrics(img.HellQFont()).horizontalAdvance(QString("M")) > 0, true);
  struct Case {
    int pos;
    bool full, drawn;
  };
  for (const Case& c : {Case{0, false, true}, Case{276, false, true}, Case{277, true, true},
                        Case{308, true, true}, Case{309, true, false}, Case{330, true, false}}) {
    img.ClearHellTxImage();
    img.SetWritePosition(c.pos);
    EXPECT_EQ(img.IsTxBufferFull(), c.full) << c.pos;
    const int adv = QFontMetrics(img.HellQFont()).horizontalAdvance(QString("M"));
    EXPECT_EQ(img.PutTxChar('M'), c.drawn) << c.pos;
    EXPECT_EQ(img.WritePosition(), c.drawn ? c.pos + adv : c.pos);
    EXPECT_EQ(LitPixels(img.Bitmap(), 0, img.Bitmap().width(), 0, img.Bitmap().height()) > 0, c.drawn)
        << c.pos;
  }
}

TEST_F(HellTxImageTest, NineColumnsPerCallIntoAnEmptyRingAndThePictureMovesLeft)
{
  THellTxImage img;
  img.PrepareHellFont();
  QImage& b = img.Bitmap();
  const int rows = b.height();
  b.setPixel(0, 0, qRgb(255, 0, 0));        // pure red: brightness 1/3
  b.setPixel(1, rows - 1, qRgb(255, 255, 255));
  b.setPixel(12, 1, qRgb(255, 255, 255));   // a marker that ends up at x = 3
  b.setPixel(b.width() - 1, 2, qRgb(255, 255, 255));
  img.SetWritePosition(20);
  img.SendHellColumns();
  EXPECT_EQ(QueuedColumns(), 9);
  EXPECT_EQ(img.WritePosition(), 11);
  EXPECT_EQ(b.pixel(3, 1), qRgb(255, 255, 255));
  EXPECT_EQ(b.pixel(12, 1), qRgb(0, 0, 0));
  // The rightmost column keeps its content as the picture moves.
  EXPECT_EQ(b.pixel(b.width() - 1, 2), qRgb(255, 255, 255));
  EXPECT_EQ(b.pixel(b.width() - 10, 2), qRgb(255, 255, 255));

  HellColumn c{};
  ASSERT_TRUE(Digimode_GetHellColumn(&c));
  EXPECT_EQ(c.PixelCount, std::min(rows, 32));
  EXPECT_DOUBLE_EQ(c.Pixel[0], 1.0 / 3.0);
  for (int y = 1; y < rows; ++y) EXPECT_EQ(c.Pixel[y], 0.0) << y;
  ASSERT_TRUE(Digimode_GetHellColumn(&c));
  EXPECT_EQ(c.Pixel[rows - 1], 1.0);

  // A ring holding 7 records allows as many attempts, of which 2 find room.
  img.SendHellColumns();
  EXPECT_EQ(QueuedColumns(), 9);
  EXPECT_EQ(img.WritePosition(), 9);
  // Nothing left to send: nothing is put.
  while (Digimode_GetHellColumn(&c)) {
  }
  img.SetWritePosition(0);
  img.SendHellColumns();
  EXPECT_EQ(QueuedColumns(), 0);
}

TEST_F(HellTxImageTest, CutTopMovesTheTextDownAndLeavesTheTopRowsBlack)
{
  THellTxImage plain, cut;
  for (THellTxImage* img : {&plain, &cut}) {
    img->SetHellFont({"DejaVu Sans Mono", -10, 0});
    img->PrepareHellFont();
    img->ClearHellTxImage();
    img->PrepareHellFont();
  }
  for (const char* t = "WMH#"; *t; ++t) plain.PutTxChar(*t);
  DigimodeSettings.cut_top = 3;
  for (const char* t = "WMH#"; *t; ++t) cut.PutTxChar(*t);
  const QImage& p = plain.Bitmap();
  const QImage& c = cut.Bitmap();
  ASSERT_EQ(p.size(), c.size());
  EXPECT_EQ(LitPixels(c, 0, c.width(), 0, 3), 0);
  EXPECT_GT(LitPixels(p, 0, p.width(), 0, p.height()), 20);
  for (int y = 3; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) ASSERT_EQ(c.pixel(x, y), p.pixel(x, y - 3)) << x << "," << y;
  // A negative cut_top moves the text up and cuts rows off its top.
  THellTxImage up;
  up.SetHellFont({"DejaVu Sans Mono", -10, 0});
  up.PrepareHellFont();
  DigimodeSettings.cut_top = -2;
  for (const char* t = "WMH#"; *t; ++t) up.PutTxChar(*t);
  for (int y = 0; y + 2 < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) ASSERT_EQ(up.Bitmap().pixel(x, y), p.pixel(x, y + 2));
}

TEST_F(HellTxImageTest, TypedTextLeavesAsTonesOfItsLitPixels)
{
  constexpr int kColumn = 400;  // 20 columns per second at 8 kHz
  THellTxImage img;
  img.ClearHellTxImage();
  img.PrepareHellFont();
  const int rows = std::min(img.Bitmap().height(), 32);
  DigimodeSettings.Modulation = 7;
  DigimodeSettings.pulse_shaping = 0;
  DigimodeSettings.symbol_rate = 20.0;
  DigimodeSettings.output_level = 100.0;
  DigimodeSettings.f_shift = 100.0 * rows;  // rows 100 Hz apart, row 0 the highest
  DigimodeSettings.fc_tx = 2000.0;
  auto rowFrequency = [&](int row) { return 2000.0 + 50.0 * rows - 100.0 * row; };

  for (const char* t = "VT1"; *t; ++t) ASSERT_TRUE(img.PutTxChar(*t));
  const int columns = img.WritePosition();
  ASSERT_GT(columns, 10);
  std::vector<std::vector<bool>> lit(static_cast<size_t>(columns), std::vector<bool>(static_cast<size_t>(rows)));
  int litCount = 0;
  for (int x = 0; x < columns; ++x)
    for (int y = 0; y < rows; ++y) {
      lit[x][y] = qGray(img.Bitmap().pixel(x, y)) > 127;
      litCount += lit[x][y] ? 1 : 0;
    }
  ASSERT_GT(litCount, 10);

  Digimode_SetMode(DIGIMODE_OPMODE_HELL);
  g_DigimodeDllParams.TxRequest.store(2);
  img.SendHellColumns();
  Digimode_PollDll();
  ASSERT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
  Digimode_SwitchRxTx(2);
  std::vector<double> y;
  std::vector<double> block(kColumn);
  for (int i = 0; i < columns + 2; ++i) {
    img.SendHellColumns();  // the terminal's timer
    ASSERT_TRUE(Digimode_GenerateTxAudio(block.data(), kColumn, 0.0));
    y.insert(y.end(), block.begin(), block.end());
  }
  EXPECT_EQ(img.WritePosition(), 0);
  EXPECT_EQ(LitPixels(img.Bitmap(), 0, img.Bitmap().width(), 0, img.Bitmap().height()), 0);

  const double amp = 32767.0 / rows;
  for (int j = 0; j < columns; ++j) {
    const int from = (j + 1) * kColumn + 40, to = (j + 2) * kColumn - 40;
    for (int row = 0; row < rows; ++row) {
      std::complex<double> acc = 0.0;
      double wsum = 0.0;
      for (int i = from; i < to; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * (i - from) / (to - from));
        acc += w * y[i] * std::polar(1.0, -2.0 * kPi * rowFrequency(row) * i / 8000.0);
        wsum += w;
      }
      const double a = 2.0 * std::abs(acc) / wsum;
      if (lit[j][row])
        EXPECT_NEAR(a, amp, 0.02 * amp) << "column " << j << " row " << row;
      else
        EXPECT_LT(a, 0.02 * amp) << "column " << j << " row " << row;
    }
  }
  // After the last column: silence.
  for (size_t i = static_cast<size_t>(columns + 1) * kColumn + 2; i < y.size(); ++i) ASSERT_EQ(y[i], 0.0);
}
