// The monitor scope draws known snapshots: pixel checks on the target picture.
#include <QAction>
#include <QLineEdit>
#include <vector>

#include "mainwin/forms/MonScope.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);

// Rows of column x that are not black.
std::vector<int> LitRows(const QImage& img, int x)
{
  std::vector<int> rows;
  for (int y = 0; y < img.height(); ++y)
    if (img.pixel(x, y) != kBlack) rows.push_back(y);
  return rows;
}

int LastLitColumn(const QImage& img)
{
  for (int x = img.width() - 1; x >= 0; --x)
    if (!LitRows(img, x).empty()) return x;
  return -1;
}

struct ScopeTest : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    scope = std::make_unique<TMonitorScope>("MonitorScope", ScopeChannel::Input);
    target = QImage(256, 100, QImage::Format_RGB32);
  }
  void TearDown() override
  {
    scope.reset();
    MainWindowTest::TearDown();
  }
  std::unique_ptr<TMonitorScope> scope;
  QImage target;
};

// A fake engine that hands out one snapshot and records the acknowledgement.
struct FakeScopeLink : CSoundThreadLink {
  int16_t samples[512] = {};
  bool ready = true;
  int acks = 0;
  const int16_t* ScopeSnapshot(ScopeChannel, int* count) override
  {
    *count = ready ? 512 : 0;
    return ready ? samples : nullptr;
  }
  void AckScopeSnapshot(ScopeChannel) override
  {
    ++acks;
    ready = false;
  }
};

}  // namespace

TEST_F(ScopeTest, ConstantInputIsAFlatLineThroughTheMiddle)
{
  std::vector<int16_t> s(512, 1234);
  for (bool trigger : {false, true}) {
    scope->Menu_Trigger->setChecked(trigger);
    scope->DrawScope(target, s.data(), 512);
    for (int x : {0, 100, 254}) {
      EXPECT_EQ(LitRows(target, x), std::vector<int>{50}) << x;
      EXPECT_EQ(target.pixel(x, 50), kGreen);
    }
    EXPECT_EQ(LastLitColumn(target), 254);  // W - 1 points: x = 0 .. 254
  }
}

TEST_F(ScopeTest, TooFewSamplesDrawNothing)
{
  target.fill(Qt::blue);
  std::vector<int16_t> s(50, 100);
  scope->DrawScope(target, s.data(), 50);
  EXPECT_EQ(target.pixel(10, 10), qRgb(0, 0, 255));
  scope->DrawScope(target, nullptr, 512);
  EXPECT_EQ(target.pixel(10, 10), qRgb(0, 0, 255));
}

TEST_F(ScopeTest, TraceTurnsRedBeyond20000FromTheMean)
{
  scope->Menu_Trigger->setChecked(false);
  for (int peak : {20000, 20001}) {
    std::vector<int16_t> s(512, 0);
    // mean stays 0 with a symmetric pair: +peak at 100 and -peak at 101
    s[100] = static_cast<int16_t>(peak);
    s[101] = static_cast<int16_t>(-peak);
    scope->DrawScope(target, s.data(), 512);
    const bool red = peak > 20000;
    EXPECT_EQ(target.pixel(50, 50), kGreen) << peak;  // before the peak
    EXPECT_EQ(target.pixel(200, 50), red ? kRed : kGreen) << peak;  // after it, to the end
  }
}

TEST_F(ScopeTest, TimebaseAndMagnification)
{
  scope->Menu_Trigger->setChecked(false);
  std::vector<int16_t> s(512, 0);
  for (int i = 0; i < 512; ++i) s[i] = static_cast<int16_t>(i % 2 ? 8192 : -8192);
  scope->Ed_Timebase->setText("10");
  scope->Ed_YAmpl->setText("no number");  // counts as 1
  scope->DrawScope(target, s.data(), 512);
  EXPECT_EQ(LastLitColumn(target), 250);  // 26 points, the last at x = 250
  // d = -8192 at x = 0: y = 50 + 50 * 8192 / 32768 = 62 (truncated toward zero: 62.5 -> 62)
  EXPECT_EQ(target.pixel(0, 62), kGreen);

  // Magnification 100000 with a 100-row picture: 64-bit products, clamped to the picture.
  scope->Ed_Timebase->setText("1");
  scope->Ed_YAmpl->setText("100000");
  scope->DrawScope(target, s.data(), 512);
  // y = 50 +- 1,250,000 before clamping (overflows 32 bits): bottom row, then top row; the
  // pen stays green (8192 is no clip distance).
  EXPECT_EQ(target.pixel(0, 99), kGreen);
  EXPECT_EQ(target.pixel(1, 0), kGreen);
  EXPECT_EQ(target.pixel(2, 99), kGreen);
}

TEST_F(ScopeTest, TriggerStartsAtTheFirstRisingCrossing)
{
  scope->Menu_Trigger->setChecked(true);
  std::vector<int16_t> s(512, 0);
  // -1000 for 40 samples, then +1000: mean is above -1000; the crossing is at 40.
  for (int i = 0; i < 512; ++i) s[i] = static_cast<int16_t>(((i - 40) / 20) % 2 == 0 && i >= 40 ? 1000 : -1000);
  scope->DrawScope(target, s.data(), 512);
  // The trace starts on the high level: first column is above the middle line.
  const std::vector<int> rows = LitRows(target, 0);
  ASSERT_FALSE(rows.empty());
  EXPECT_LT(rows.front(), 50);
  scope->Menu_Trigger->setChecked(false);
  scope->DrawScope(target, s.data(), 512);
  EXPECT_GT(LitRows(target, 0).front(), 50);  // untriggered: starts low
}

TEST_F(ScopeTest, SnapshotIsAcknowledgedEvenWhenHidden)
{
  FakeScopeLink link;
  SetSoundThreadLink(&link);
  link.samples[0] = 1;
  EXPECT_TRUE(scope->FeedFromSoundThread());  // hidden: no drawing, but handed back
  EXPECT_EQ(link.acks, 1);
  EXPECT_FALSE(scope->FeedFromSoundThread());  // nothing new
  EXPECT_EQ(link.acks, 1);
  scope->show();
  link.ready = true;
  EXPECT_TRUE(scope->FeedFromSoundThread());
  EXPECT_EQ(link.acks, 2);
  EXPECT_EQ(scope->Picture.pixel(5, scope->Picture.height() / 2), kGreen);
}

TEST_F(ScopeTest, SettingsAreWrittenAndRead)
{
  scope->Ed_YAmpl->setText("7");
  scope->Ed_Timebase->setText("3");
  scope->Menu_Trigger->setChecked(false);
  scope->close();
  scope = std::make_unique<TMonitorScope>("MonitorScope", ScopeChannel::Input);
  EXPECT_EQ(scope->Ed_YAmpl->text(), "7");
  EXPECT_EQ(scope->Ed_Timebase->text(), "3");
  EXPECT_FALSE(scope->Menu_Trigger->isChecked());
  const std::string ini = Read("SETTINGS.INI");
  EXPECT_NE(ini.find("[MonitorScope]"), std::string::npos);
  EXPECT_EQ(ini.find("Width="), std::string::npos);  // scopes keep only their position
}
