// The tuning scope: pixels drawn from known buffers in each mode and kind, the "no data ?"
// picture, the hand-over of the buffer by its kind code, and buffers that must not hang or
// read out of bounds (tiny symbol pairing steps, entries that are not finite, large counts).
#include <gtest/gtest.h>

#include <QImage>
#include <QPoint>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/forms/TuningScope.h"
#include "engine/SndConfig.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kLime = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);

struct Pt {
  double a;
  double b;
};

// Area in which "no data ?" is written (top left); nothing may appear outside it.
const QRect kTextArea(0, 0, 90, 30);

std::string Where(QPoint p) { return "(" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ")"; }

bool OnlyLimeOnBlack(const QImage& img)
{
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb c = img.pixel(x, y) | 0xFF000000u;
      if (c != kBlack && c != kLime) return false;
    }
  return true;
}

int LitPixels(const QImage& img, const QRect& r)
{
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += (img.pixel(x, y) | 0xFF000000u) != kBlack;
  return n;
}

// "no data ?": something in the text area, nothing elsewhere.
void ExpectNoDataPicture(const QImage& img)
{
  EXPECT_GT(LitPixels(img, kTextArea), 20);
  EXPECT_EQ(LitPixels(img, img.rect()), LitPixels(img, kTextArea));
}

class TuningScopeTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_scopeMode = DigimodeSettings.ScopeMode;
    m_symbolRate = DigimodeSettings.symbol_rate;
    m_sampleRate = SndConfig.SampleRate;
    TuningScope_Reset();
    SndConfig.SampleRate = 11025;
  }
  void TearDown() override
  {
    TuningScope_Reset();
    DigimodeSettings.ScopeMode = m_scopeMode;
    DigimodeSettings.symbol_rate = m_symbolRate;
    SndConfig.SampleRate = m_sampleRate;
  }

  // Fills the buffer as a producer would: entries, count, scope rate, display length, kind.
  static void Load(int kind, const std::vector<Pt>& entries, int displayLength,
                   double scopeRate = 0.0)
  {
    T_TuningScopeBuffer& b = g_TuningScopeBuffer;
    for (size_t i = 0; i < entries.size() && i < size_t(kTuningScopeEntries); ++i) {
      b.Entry[i][0] = entries[i].a;
      b.Entry[i][1] = entries[i].b;
    }
    b.FillCount.store(int32_t(entries.size()));
    b.SampleRate.store(scopeRate);
    b.DisplayLength.store(displayLength);
    b.Flag.store(1);
    b.Kind.store(kind);
  }

  // Draws into a red target of the given size in the given scope mode; expects a drawing.
  static QImage Draw(int scopeMode, int w = 105, int h = 105)
  {
    DigimodeSettings.ScopeMode = scopeMode;
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kRed);
    int updateCount = 0;
    EXPECT_TRUE(DrawTuningScopeImage(img, updateCount));
    EXPECT_EQ(updateCount, 0);
    return img;
  }

private:
  int m_scopeMode = 0;
  double m_symbolRate = 0.0;
  int m_sampleRate = 0;
};

// One known buffer per mode and kind; the 105 x 105 image has its centre at (52, 52) and a
// half-scale of 52 pixels at peak 1.
struct PixelCase {
  const char* name;
  int mode;
  int kind;
  std::vector<Pt> entries;
  double scopeRate;
  double symbolRate;
  int soundRate;
  std::vector<QPoint> lit;
  std::vector<QPoint> dark;
  int displayLength;  // after drawing
};

std::vector<Pt> Repeat(Pt p, int n) { return std::vector<Pt>(size_t(n), p); }

std::vector<Pt> Concat(std::vector<Pt> a, const std::vector<Pt>& b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Pairs one symbol apart: (e0, e1) in phase, (e1, e2) a quarter turn back, (e2, e3) half a turn.
const std::vector<Pt> kSymbols = {{1, 0}, {1, 0}, {0, 1}, {0, -1}};

const std::vector<PixelCase>& PixelCases()
{
  static const std::vector<PixelCase> cases = {
      {"XY joined points", 1, 4, {{0, 0}, {1, 0}, {0, 1}, {-1, -1}}, 0, 50, 11025,
       {{52, 52}, {78, 52}, {104, 52}, {78, 26}, {52, 0}, {26, 52}, {0, 104}},
       {{10, 10}, {90, 90}, {52, 80}}, 256},
      {"XY scaled by the largest value", 1, 4, {{0, 0}, {2, 0}, {0, 1}}, 0, 50, 11025,
       {{52, 52}, {104, 52}, {52, 26}}, {{52, 0}, {52, 10}}, 256},
      {"XY peak ignores negative values", 1, 4, {{0, 0}, {-3, 0}, {0, 1}}, 0, 50, 11025,
       {{0, 52}, {52, 0}}, {{52, 35}}, 256},
      // Step fs / (10 * 104 * rate) = 10 pixels per entry; values below 1 keep peak 1:
      // 0.5 lies a quarter of the half-height above 26 and below 78.
      {"U(t) two traces", 2, 3, Repeat({0.5, -0.5}, 20), 0, 1.0, 10400,
       {{0, 13}, {50, 13}, {100, 13}, {0, 91}, {50, 91}, {100, 91}},
       {{101, 13}, {104, 13}, {101, 91}, {50, 26}, {50, 0}, {50, 52}, {50, 104}}, 256},
      {"U(t) sound rate 0 counts as 11025", 2, 3, Repeat({0.5, -0.5}, 20), 0, 11025.0 / 10400.0,
       0, {{0, 13}, {100, 13}, {100, 91}}, {{101, 13}}, 256},
      {"U(t) sound rate 10 counts as 11025", 2, 3, Repeat({0.5, -0.5}, 20), 0,
       11025.0 / 10400.0, 10, {{0, 13}, {100, 13}}, {{101, 13}}, 256},
      {"U(t) sound rate 11 is used", 2, 3, Repeat({0.5, -0.5}, 20), 0, 11025.0 / 10400.0, 11,
       {{0, 13}}, {{100, 13}, {50, 13}}, 256},
      {"U(t) symbol rate 0 stays at the left edge", 2, 3, Repeat({0.5, -0.5}, 20), 0, 0.0, 11025,
       {{0, 13}}, {{1, 13}, {50, 13}}, 256},
      {"bit phase vectors", 3, 5, {{1, 0}, {0, 1}, {-0.5, 0}}, 0, 50, 11025,
       {{52, 0}, {52, 26}, {104, 52}, {78, 52}, {52, 65}, {52, 78}},
       {{52, 90}, {0, 52}, {26, 52}}, 10},
      {"symbol pair vectors, one symbol = 1 entry", 3, 6, kSymbols, 50, 50, 11025,
       {{52, 0}, {52, 20}, {0, 52}, {20, 52}, {52, 104}, {52, 90}}, {{104, 52}, {80, 52}}, 10},
      // Pairs (e0, e2) and (e2, e4); pairs one entry apart would all point sideways or down.
      {"symbol pair vectors, one symbol = 2 entries", 3, 6,
       {{1, 0}, {-1, 0}, {0, 1}, {1, 0}, {0, -1}}, 100, 50, 11025,
       {{0, 52}, {20, 52}, {52, 104}, {52, 90}}, {{104, 52}, {80, 52}, {52, 0}}, 10},
      // atan2 times 104 / pi below the centre line; (-1, 1) sums to 0 and counts as phase 0.
      {"phase over time", 4, 5, Concat({{1, 0}, {0, 1}, {1, 1}, {0, -1}, {-1, 1}}, Repeat({1, 0}, 105)),
       0, 50, 11025, {{0, 52}, {1, 0}, {2, 26}, {3, 104}, {4, 52}, {50, 52}, {103, 52}},
       {{104, 52}, {4, 0}, {50, 0}}, 103},
      // x = k * 104 / 40; phase 3/2 pi (a quarter turn back) and pi, 10.4 pixels per radian.
      {"symbol pair phase over time", 4, 6, kSymbols, 50, 50, 11025,
       {{0, 104}, {26, 55}, {52, 71}}, {{26, 104}, {80, 71}, {52, 0}, {104, 104}}, 103},
  };
  return cases;
}

}  // namespace

TEST_F(TuningScopeTest, KnownBuffersLandOnTheirPixels)
{
  for (const PixelCase& c : PixelCases()) {
    SCOPED_TRACE(c.name);
    SndConfig.SampleRate = c.soundRate;
    DigimodeSettings.symbol_rate = c.symbolRate;
    Load(c.kind, c.entries, int(c.entries.size()) < 103 ? int(c.entries.size()) : 103,
         c.scopeRate);
    const QImage img = Draw(c.mode);
    EXPECT_TRUE(OnlyLimeOnBlack(img));
    for (QPoint p : c.lit) EXPECT_EQ(img.pixel(p) | 0xFF000000u, kLime) << "lit " << Where(p);
    for (QPoint p : c.dark) EXPECT_EQ(img.pixel(p) | 0xFF000000u, kBlack) << "dark " << Where(p);
    EXPECT_EQ(g_TuningScopeBuffer.DisplayLength.load(), c.displayLength);
  }
}

TEST_F(TuningScopeTest, EveryDrawingHandsTheBufferBack)
{
  for (const PixelCase& c : PixelCases()) {
    SCOPED_TRACE(c.name);
    DigimodeSettings.symbol_rate = c.symbolRate;
    for (int startCount : {0, 3}) {
      Load(c.kind, c.entries, 3, c.scopeRate);
      DigimodeSettings.ScopeMode = c.mode;
      QImage img(105, 105, QImage::Format_RGB32);
      int updateCount = startCount;
      EXPECT_TRUE(DrawTuningScopeImage(img, updateCount));
      EXPECT_EQ(updateCount, startCount);
      EXPECT_EQ(g_TuningScopeBuffer.Kind.load(), 1);
      EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 0);
      EXPECT_EQ(g_TuningScopeBuffer.Flag.load(), 0);
      // Handed back: a producer may collect again.
      EXPECT_TRUE(TuningScope_Append(0.25, 0.5, c.kind));
      EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 1);
    }
  }
}

TEST_F(TuningScopeTest, UnmatchedModeAndKindShowNoData)
{
  struct Case {
    int mode;
    int kind;
  };
  // Mode 2 with FSK data (kind 4), mode 0 (off), and the other pairs no mode accepts.
  const Case cases[] = {{2, 4}, {0, 4}, {0, 3}, {0, 6}, {1, 3}, {1, 6},
                        {3, 4}, {4, 3}, {4, 4}, {5, 5}, {-1, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " kind " + std::to_string(c.kind));
    Load(c.kind, Repeat({0.5, 0.5}, 40), 20, 50);
    const QImage img = Draw(c.mode);
    ExpectNoDataPicture(img);
    EXPECT_EQ(g_TuningScopeBuffer.DisplayLength.load(), 20);  // left as it was
    EXPECT_EQ(g_TuningScopeBuffer.Kind.load(), 1);
    EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 0);
  }
}

TEST_F(TuningScopeTest, NothingHappensUntilAFilledBufferReachesTheDisplayLength)
{
  struct Case {
    int kind;
    int fill;
    int displayLength;
  };
  const Case cases[] = {{1, 300, 256}, {2, 300, 256}, {0, 300, 256}, {-3, 300, 256},
                        {4, 255, 256}, {6, 9, 10},    {5, 102, 103}};
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " fill " + std::to_string(c.fill));
    Load(c.kind, Repeat({1, 0}, c.fill), c.displayLength, 50);
    DigimodeSettings.ScopeMode = 1;
    QImage img(105, 105, QImage::Format_RGB32);
    img.fill(kRed);
    int updateCount = 5;
    EXPECT_FALSE(DrawTuningScopeImage(img, updateCount));
    EXPECT_EQ(updateCount, 5);
    EXPECT_EQ(img.pixel(52, 52), kRed);
    EXPECT_EQ(img.pixel(0, 0), kRed);
    EXPECT_EQ(g_TuningScopeBuffer.Kind.load(), c.kind);
    EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), std::min(c.fill, kTuningScopeEntries));
    EXPECT_EQ(g_TuningScopeBuffer.DisplayLength.load(), c.displayLength);
    EXPECT_EQ(g_TuningScopeBuffer.Flag.load(), 1);
  }
}

TEST_F(TuningScopeTest, DisplayLengthStaysBelow512)
{
  // Mode 4 asks for the image width less 2; a 600-pixel image would ask for 598.
  Load(5, Repeat({1, 0}, 512), 512);
  Draw(4, 600, 105);
  EXPECT_EQ(g_TuningScopeBuffer.DisplayLength.load(), 511);

  // A display length left at 600 by someone else comes back as 511, even in mode 0.
  Load(4, Repeat({1, 0}, 10), 600);
  g_TuningScopeBuffer.FillCount.store(600);
  Draw(0);
  EXPECT_EQ(g_TuningScopeBuffer.DisplayLength.load(), 511);
}

TEST_F(TuningScopeTest, WorkImageHasTheTargetsSizeAndReplacesIt)
{
  // 40 x 30: centre (20, 15); a vector along b reaches the right edge.
  Load(5, {{0, 1}, {-1, 0}}, 2);
  const QImage img = Draw(3, 40, 30);
  ASSERT_EQ(img.size(), QSize(40, 30));
  EXPECT_TRUE(OnlyLimeOnBlack(img));  // no red of the old target left
  EXPECT_EQ(img.pixel(39, 15) | 0xFF000000u, kLime);
  EXPECT_EQ(img.pixel(30, 15) | 0xFF000000u, kLime);
  EXPECT_EQ(img.pixel(20, 29) | 0xFF000000u, kLime);
  EXPECT_EQ(img.pixel(10, 15) | 0xFF000000u, kBlack);
  EXPECT_EQ(g_TuningScopeBuffer.DisplayLength.load(), 10);

  // An image without pixels gets nothing drawn, but the buffer still goes back.
  Load(5, {{0, 1}, {-1, 0}}, 2);
  QImage none;
  int updateCount = 0;
  EXPECT_TRUE(DrawTuningScopeImage(none, updateCount));
  EXPECT_TRUE(none.isNull());
  EXPECT_EQ(updateCount, 0);
  EXPECT_EQ(g_TuningScopeBuffer.Kind.load(), 1);
  EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 0);
}

// A pairing step that truncates to 0 (scope rate far below ten times the symbol rate) or that
// cannot be computed must still finish.
TEST_F(TuningScopeTest, SymbolPairingFinishesForAnyRates)
{
  struct Case {
    double scopeRate;
    double symbolRate;
    bool pairs;  // the step leaves pairs to draw
  };
  const Case cases[] = {{1e-3, 50, true}, {0, 50, true},     {-5, 50, true},  {kNaN, 50, true},
                        {kInf, 50, false}, {1e300, 50, false}, {50, 0, true},  {50, kNaN, true},
                        {50, 1e-3, true}, {50, kInf, true}};
  for (int mode : {3, 4}) {
    for (const Case& c : cases) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " scope rate " + std::to_string(c.scopeRate) +
                   " symbol rate " + std::to_string(c.symbolRate));
      DigimodeSettings.symbol_rate = c.symbolRate;
      Load(6, Repeat({1, 0}, kTuningScopeEntries), 10, c.scopeRate);
      const QImage img = Draw(mode);
      EXPECT_EQ(g_TuningScopeBuffer.Kind.load(), 1);
      if (!c.pairs) {
        ExpectNoDataPicture(img);
        continue;
      }
      EXPECT_TRUE(OnlyLimeOnBlack(img));
      // Every pair is in phase: mode 3 points straight up, mode 4 runs along the bottom row.
      const QPoint p = mode == 3 ? QPoint(52, 0) : QPoint(60, 104);
      EXPECT_EQ(img.pixel(p) | 0xFF000000u, kLime);
    }
  }
}

// Entries past 512 do not exist: a larger count draws exactly what 512 entries draw.
TEST_F(TuningScopeTest, FillCountIsLimitedTo512InEveryMode)
{
  std::vector<Pt> entries;
  for (int i = 0; i < kTuningScopeEntries; ++i)
    entries.push_back({std::cos(i * 0.7) * (1 + i % 3), std::sin(i * 0.7) * (1 + i % 5)});
  for (const PixelCase& c : PixelCases()) {
    SCOPED_TRACE(c.name);
    SndConfig.SampleRate = c.soundRate;
    DigimodeSettings.symbol_rate = c.symbolRate;
    Load(c.kind, entries, 100, c.scopeRate);
    const QImage limited = Draw(c.mode);
    Load(c.kind, entries, 100, c.scopeRate);
    g_TuningScopeBuffer.FillCount.store(100000);
    const QImage large = Draw(c.mode);
    EXPECT_TRUE(large == limited);
    EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 0);
  }
}

TEST_F(TuningScopeTest, EntriesThatAreNotFiniteAreSkipped)
{
  // Only such entries: nothing to draw in any mode.
  const std::vector<Pt> bad = {{kNaN, 0}, {0, kNaN}, {kInf, 1}, {1, -kInf}, {kNaN, kNaN},
                               {-kInf, kInf}, {kNaN, 1}, {1, kNaN}, {kInf, kInf}, {kNaN, 0},
                               {0, kInf}, {kNaN, kNaN}};
  for (const PixelCase& c : PixelCases()) {
    SCOPED_TRACE(c.name);
    SndConfig.SampleRate = c.soundRate;
    DigimodeSettings.symbol_rate = c.symbolRate;
    Load(c.kind, bad, 10, c.scopeRate);
    ExpectNoDataPicture(Draw(c.mode));
  }

  // Mixed in: the picture is the one without them (the scale included).
  struct Case {
    int mode;
    int kind;
  };
  for (const Case& c : {Case{1, 4}, Case{3, 5}}) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    Load(c.kind, {{0, 0}, {0.5, 1}, {1, -0.5}}, 3);
    const QImage clean = Draw(c.mode);
    Load(c.kind, {{0, 0}, {kNaN, 0.5}, {0.5, 1}, {kInf, 5}, {1, -0.5}, {7, -kInf}}, 3);
    const QImage mixed = Draw(c.mode);
    EXPECT_TRUE(mixed == clean);
    EXPECT_GT(LitPixels(clean, QRect(40, 40, 65, 65)), 20);
  }

  // Finite entries whose products overflow to infinities (and their differences to NaN): those
  // pairs are skipped or clamped, the last in-phase pair still lands where it belongs.
  for (int mode : {3, 4}) {
    SCOPED_TRACE("overflow, mode " + std::to_string(mode));
    DigimodeSettings.symbol_rate = 50;
    Load(6, {{1e300, 1e300}, {-1e300, 1e300}, {1e300, -1e300}, {1, 0}, {1, 0}}, 3, 50);
    const QImage img = Draw(mode);
    EXPECT_TRUE(OnlyLimeOnBlack(img));
    // The peak is 1e300. Mode 3: the pair (e2, e3) points to the top left corner. Mode 4: the
    // pair at k = 30 sits at x = 30 * 104 / 50, phase 0 on the bottom row.
    const QPoint p = mode == 3 ? QPoint(0, 0) : QPoint(62, 104);
    EXPECT_EQ(img.pixel(p) | 0xFF000000u, kLime);
  }
}
