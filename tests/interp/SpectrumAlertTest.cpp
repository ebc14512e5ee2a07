// The spectrum alert engine with bins fed directly: the alarm decision at the 100 % line, the
// command once per alarm, acknowledging, the siren read back from a plain file standing in for
// the speaker, smoothing, range limits, the search patterns and the match curve, and the
// settings file.
#include <gtest/gtest.h>
#include <linux/input.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

#include "common/TestUtil.h"
#include "interp/CliCommands.h"
#include "interp/SpectrumAlert.h"
#include "platform/IniFile.h"
#include "platform/Speaker.h"

namespace {

constexpr double kFirstHz = 400.0;
constexpr double kWidthHz = 5.0;
constexpr int kBins = 100;  // 400 .. 895 Hz

class SpectrumAlertTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    vt_test::WriteWholeFile(speaker, "");
    ASSERT_TRUE(Speaker_OpenDevice(speaker.c_str(), SPEAKER_EVENT_DEVICE));
    Alert_SetDefaults();
    Alert_Reset();
    g_AlertSirenHz = 0;
    g_AlertMessage.clear();
    std::memset(g_AlertPatternMatch, 0, sizeof g_AlertPatternMatch);
    std::memset(g_AlertPeakTable, 0, sizeof g_AlertPeakTable);
    Alert_CalcSearchPattern();
  }
  void TearDown() override
  {
    WaitForNoChildren();
    Speaker_Close();
  }

  // One evaluation of the bins on the test's geometry.
  static void Feed(const std::vector<double>& bins, double first = kFirstHz, double width = kWidthHz)
  {
    AlertSpectrum& in = g_AlertInputSpectrum;
    in.NrOfBins = static_cast<int>(bins.size());
    in.BinWidthHz = width;
    in.FirstBinHz = first;
    std::copy(bins.begin(), bins.end(), in.Bins);
    Alert_ProcessSpectrum();
  }
  // Noise at -80 dB with range A's (500..550 Hz: bins 20..30) peak at `peak`: 11 bins, so the
  // noise level is -80 + 3 = -77 dB.
  static std::vector<double> Peaked(double peak)
  {
    std::vector<double> b(kBins, -80.0);
    b[25] = peak;
    return b;
  }
  static void WaitForNoChildren()
  {
    for (int i = 0; i < 1000 && CLI_ReapChildren() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Lines the commands appended, once every child has ended.
  int CommandRuns()
  {
    WaitForNoChildren();
    EXPECT_EQ(CLI_ReapChildren(), 0);
    std::ifstream f(runs);
    int n = 0;
    for (std::string line; std::getline(f, line);) ++n;
    return n;
  }
  void UseCountingCommand()
  {
    AlertSettings.ActionExecOsCommand = 1;
    const std::string cmd = "sh -c 'echo run >> \"" + runs + "\"'";
    std::snprintf(AlertSettings.OsCommandLine, sizeof AlertSettings.OsCommandLine, "%s", cmd.c_str());
  }
  std::vector<int> Tones()
  {
    const std::string bytes = vt_test::ReadWholeFile(speaker);
    std::vector<input_event> ev(bytes.size() / sizeof(input_event));
    if (!ev.empty()) std::memcpy(ev.data(), bytes.data(), ev.size() * sizeof(input_event));
    std::vector<int> hz;
    for (const input_event& e : ev) hz.push_back(e.value);
    return hz;
  }

  vt_test::TempDir dir;
  const std::string speaker = dir.file("speaker");
  const std::string runs = dir.file("runs.txt");
};

TEST_F(SpectrumAlertTest, ExactlyHundredPercentRaisesNothingJustAboveRaisesOnce)
{
  AlertSettings.Averaging = 1.0;  // the smoothed copy is the input
  UseCountingCommand();
  Feed(Peaked(-67.0));  // 10 dB above the noise: exactly 100 %
  EXPECT_DOUBLE_EQ(g_AlertRangeA.Noise, -77.0);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.Peak, -67.0);
  EXPECT_EQ(g_AlertRangeA.PeakIndex, 5);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.PeakFreqHz, 525.0);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.FminHz, 500.0);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.FmaxHz, 550.0);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.Average, (10 * -80.0 - 67.0) / 11);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.Percentage, 100.0);
  EXPECT_EQ(g_AlertActive, 0);
  EXPECT_EQ(CommandRuns(), 0);

  Feed(Peaked(-66.99));
  EXPECT_GT(g_AlertRangeA.Percentage, 100.0);
  EXPECT_EQ(g_AlertActive, 1);
  for (int i = 0; i < 3; ++i) Feed(Peaked(-60.0));  // still above: no further command
  EXPECT_EQ(g_AlertActive, 1);
  EXPECT_EQ(CommandRuns(), 1);
  EXPECT_EQ(g_AlertMessage, "");

  // Range B (645..700 Hz) is evaluated too but never raises anything.
  AlertSettings.ActionExecOsCommand = 0;
  Alert_Reset();
  std::vector<double> b(kBins, -80.0);
  b[55] = -20.0;
  Feed(b);
  EXPECT_DOUBLE_EQ(g_AlertRangeB.Peak, -20.0);
  EXPECT_DOUBLE_EQ(g_AlertRangeB.PeakFreqHz, 675.0);
  EXPECT_GT(g_AlertRangeB.Percentage, 100.0);
  EXPECT_EQ(g_AlertActive, 0);
}

TEST_F(SpectrumAlertTest, AlarmStaysUntilAcknowledgedThenTheBellStepClearsAndSilences)
{
  AlertSettings.Averaging = 1.0;
  AlertSettings.ActionRingBell = 1;
  Feed(Peaked(-50.0));
  ASSERT_EQ(g_AlertActive, 1);
  Feed(Peaked(-80.0));  // the signal has gone: the alarm stands
  EXPECT_EQ(g_AlertActive, 1);
  Alert_RingBellTimer();
  Alert_RingBellTimer();
  EXPECT_EQ(g_AlertSirenHz, 100);
  g_AlertAcknowledged = 1;  // "Reset Alarm"
  Alert_RingBellTimer();
  EXPECT_EQ(g_AlertActive, 0);
  EXPECT_EQ(g_AlertAcknowledged, 0);
  EXPECT_EQ(g_AlertSirenHz, 0);
  EXPECT_EQ(Tones(), (std::vector<int>{50, 100, 0}));
  Alert_RingBellTimer();  // silent stays silent, without writing to the speaker
  EXPECT_EQ(Tones().size(), 3u);
}

TEST_F(SpectrumAlertTest, CommandAgainOnlyAfterAnEvaluationBelowHundredPercent)
{
  AlertSettings.Averaging = 1.0;
  UseCountingCommand();
  const auto acknowledge = [] {
    g_AlertAcknowledged = 1;
    Alert_RingBellTimer();
    ASSERT_EQ(g_AlertActive, 0);
  };
  Feed(Peaked(-50.0));
  EXPECT_EQ(CommandRuns(), 1);
  acknowledge();
  Feed(Peaked(-50.0));  // still there at the next evaluation: raised again, no command
  EXPECT_EQ(g_AlertActive, 1);
  EXPECT_EQ(CommandRuns(), 1);
  acknowledge();
  Feed(Peaked(-80.0));  // one evaluation below 100 %
  EXPECT_EQ(g_AlertActive, 0);
  Feed(Peaked(-50.0));
  EXPECT_EQ(g_AlertActive, 1);
  EXPECT_EQ(CommandRuns(), 2);
  // "Test !" raises the alarm: the next evaluation starts the command, whatever the spectrum.
  acknowledge();
  Feed(Peaked(-80.0));
  g_AlertActive = 1;
  Feed(Peaked(-80.0));
  EXPECT_EQ(CommandRuns(), 3);
}

TEST_F(SpectrumAlertTest, SirenRisesFromFiftyAndWrapsToFiveHundred)
{
  AlertSettings.ActionRingBell = 1;
  g_AlertActive = 1;
  std::vector<int> expected;
  for (int hz = 50; hz <= 1200; hz += 50) expected.push_back(hz);
  for (int hz = 500; hz <= 1200; hz += 50) expected.push_back(hz);
  expected.push_back(500);
  for (size_t i = 0; i < expected.size(); ++i) Alert_RingBellTimer();
  EXPECT_EQ(Tones(), expected);
  // Without the bell action the raised alarm is silent: the tone in progress stops.
  AlertSettings.ActionRingBell = 0;
  Alert_RingBellTimer();
  EXPECT_EQ(Tones().back(), 0);
  EXPECT_EQ(g_AlertSirenHz, 0);
  EXPECT_EQ(g_AlertActive, 1);
  // Program end silences and clears.
  AlertSettings.ActionRingBell = 1;
  Alert_RingBellTimer();
  EXPECT_EQ(Tones().back(), 50);
  Alert_StopAlarm();
  EXPECT_EQ(Tones().back(), 0);
  EXPECT_EQ(g_AlertActive, 0);
  EXPECT_EQ(g_AlertSirenHz, 0);
}

TEST_F(SpectrumAlertTest, CommandFailureAndCommandOff)
{
  AlertSettings.Averaging = 1.0;
  AlertSettings.ActionExecOsCommand = 1;
  std::strcpy(AlertSettings.OsCommandLine, "/no/such/program-xyz --wake");
  Feed(Peaked(-50.0));
  EXPECT_EQ(g_AlertMessage, std::string("CreateProcess: ") + std::strerror(ENOENT));
  EXPECT_EQ(g_AlertActive, 1);  // the alarm stands all the same

  g_AlertMessage.clear();
  Alert_Reset();
  std::strcpy(AlertSettings.OsCommandLine, "   ");
  Feed(Peaked(-50.0));
  EXPECT_EQ(g_AlertMessage, "CreateProcess: empty command line");

  g_AlertMessage.clear();
  Alert_Reset();
  AlertSettings.ActionExecOsCommand = 0;
  UseCountingCommand();
  AlertSettings.ActionExecOsCommand = 0;
  Feed(Peaked(-50.0));
  EXPECT_EQ(g_AlertActive, 1);
  EXPECT_EQ(CommandRuns(), 0);
  EXPECT_EQ(g_AlertMessage, "");
}

TEST_F(SpectrumAlertTest, SmoothingFollowsStepsAndRestartsOnANewGeometry)
{
  ASSERT_EQ(AlertSettings.Averaging, 10.0);
  Feed(std::vector<double>(kBins, 0.0));
  for (int k = 1; k <= 5; ++k) {
    Feed(std::vector<double>(kBins, 10.0));
    EXPECT_NEAR(g_AlertAvgSpectrum.Bins[7], 10.0 * (1.0 - std::pow(0.9, k)), 1e-12) << k;
  }
  const struct {
    int bins;
    double first, width;
  } geometries[] = {{kBins, kFirstHz, 2.5}, {kBins, 405.0, 2.5}, {kBins - 1, 405.0, 2.5}};
  for (const auto& g : geometries) {
    Feed(std::vector<double>(g.bins, 0.0), g.first, g.width);  // the new line as it is
    Feed(std::vector<double>(g.bins, -20.0), g.first, g.width);
    EXPECT_DOUBLE_EQ(g_AlertAvgSpectrum.Bins[3], -2.0);
    EXPECT_EQ(g_AlertAvgSpectrum.NrOfBins, g.bins);
    EXPECT_EQ(g_AlertAvgSpectrum.FirstBinHz, g.first);
    EXPECT_EQ(g_AlertAvgSpectrum.BinWidthHz, g.width);
  }
  // An input without a usable geometry is not evaluated.
  for (double width : std::initializer_list<double>{0.0, -5.0, NAN, INFINITY}) {
    Feed(std::vector<double>(kBins, 50.0), kFirstHz, width);
    EXPECT_EQ(g_AlertAvgSpectrum.BinWidthHz, 2.5);
  }
  Feed(std::vector<double>(3, 50.0));
  EXPECT_EQ(g_AlertAvgSpectrum.NrOfBins, kBins - 1);
}

// The alarm is judged only once the smoothing has taken `Averaging` lines since its restart:
// at the start and after every change of the FFT size or of the ranges' span. Pure noise on a
// floor that varies across the bins then never raises it, at any of seven starts; a steady
// peak 15 dB above the lower quartile of such a floor (but only 5 dB above its median) raises
// it at the tenth line.
TEST_F(SpectrumAlertTest, NoAlarmBeforeTheSmoothingHasSettled)
{
  ASSERT_EQ(AlertSettings.Averaging, 10.0);
  // A floor rippling by 4 dB over the bins; each bin's power fluctuates as noise does (the
  // logarithm of an exponentially distributed power).
  std::mt19937 rng(4711);
  std::exponential_distribution<double> power(1.0);
  auto floorDb = [](int i) { return -80.0 + 4.0 * ((i * 7) % 5) / 4.0; };
  auto noiseLine = [&] {
    std::vector<double> b(kBins);
    for (int i = 0; i < kBins; ++i) b[i] = floorDb(i) + 10.0 * std::log10(power(rng) + 1e-12);
    return b;
  };
  for (int start = 0; start < 7; ++start) {
    SCOPED_TRACE(start);
    Alert_Reset();
    for (int line = 0; line < 60; ++line) {
      Feed(noiseLine());
      ASSERT_EQ(g_AlertActive, 0) << "line " << line;
    }
  }
  // A new FFT size (bin width) and a new span restart the smoothing the same way.
  for (double width : {2.5, 5.0}) {
    for (int line = 0; line < 30; ++line) {
      Feed(noiseLine(), kFirstHz + (width == 5.0 ? 5.0 : 0.0), width);
      ASSERT_EQ(g_AlertActive, 0) << width << " line " << line;
    }
  }

  // Range A is bins 20..30: three at -90 dB, seven at -80 dB, the peak at -72 dB. Noise is the
  // third lowest plus 3 dB (-87 dB): 150 %; the median would give -77 dB and 50 %.
  std::vector<double> steady(kBins, -80.0);
  for (int i : {21, 23, 28}) steady[i] = -90.0;
  steady[25] = -72.0;
  const struct {
    double first, width;
  } geometries[] = {{kFirstHz, kWidthHz}, {kFirstHz + 5.0, kWidthHz}};
  Alert_Reset();
  for (const auto& g : geometries) {
    // The same bins on the new geometry, range A still on bins 20..30.
    const int shift = static_cast<int>((g.first - kFirstHz) / g.width);
    std::vector<double> line(steady.begin() + shift, steady.end());
    for (int k = 1; k <= 10; ++k) {
      Feed(line, g.first, g.width);
      EXPECT_DOUBLE_EQ(g_AlertRangeA.Noise, -87.0);
      EXPECT_DOUBLE_EQ(g_AlertRangeA.Percentage, 150.0);
      EXPECT_EQ(g_AlertActive, k == 10 ? 1 : 0) << "line " << k;
    }
    g_AlertActive = g_AlertPrevious = 0;
  }
}

TEST_F(SpectrumAlertTest, FrequenciesToBinsAndRangeLimits)
{
  Feed(std::vector<double>(kBins, -80.0));
  const struct {
    double hz;
    int bin;
  } table[] = {{-1e300, 0},    {0.0, 0},   {400.0, 0},   {404.99, 0}, {405.0, 1},
               {409.99, 1},    {895.0, 99}, {899.0, 99}, {1e9, 99},   {1e300, 99},
               {INFINITY, 99}, {-INFINITY, 0}, {NAN, 0}};
  for (const auto& c : table) EXPECT_EQ(Alert_FreqToBin(c.hz), c.bin) << c.hz;
  EXPECT_EQ(Alert_BinToFreq(-5), 400.0);
  EXPECT_EQ(Alert_BinToFreq(3), 415.0);
  EXPECT_EQ(Alert_BinToFreq(500), 895.0);

  // Limits below the first bin map to bin 0, above the last bin to the last bin.
  AlertSettings.RangeA_Fmin = 10.0;
  AlertSettings.RangeA_Fmax = 1e12;
  AlertSettings.RangeB_Fmin = -1e300;
  AlertSettings.RangeB_Fmax = 100.0;  // below the spectrum: one bin, too few for statistics
  std::vector<double> b(kBins, -80.0);
  b[0] = -30.0;
  b[99] = -20.0;
  g_AlertRangeB.Peak = 12345.0;
  Feed(b);
  EXPECT_EQ(g_AlertRangeA.FminHz, 400.0);
  EXPECT_EQ(g_AlertRangeA.FmaxHz, 895.0);
  EXPECT_DOUBLE_EQ(g_AlertRangeA.Peak, -74.0);  // bin 99 smoothed: -80 + (-20 + 80) / 10
  EXPECT_EQ(g_AlertRangeA.PeakIndex, 99);
  EXPECT_EQ(g_AlertRangeB.FminHz, 400.0);
  EXPECT_EQ(g_AlertRangeB.FmaxHz, 400.0);
  EXPECT_EQ(g_AlertRangeB.Peak, 12345.0);  // left as it was
}

TEST_F(SpectrumAlertTest, PatternTypes)
{
  const struct {
    int type;
    int point;
    double value;
  } table[] = {
      {0, 44, 0.0},  {0, 45, 1.0},  {0, 54, 1.0},  {0, 55, 0.0},
      {1, 0, std::exp(-25.0)},      {1, 50, std::exp(-100.0 * std::pow(50 / 99.0 - 0.5, 2))},
      {2, 0, std::exp(-5.0)},       {2, 99, std::exp(-5.0)},
      {3, 24, 0.0},  {3, 25, 1.0},  {3, 74, 1.0},  {3, 75, 0.0},
      {4, 9, 0.0},   {4, 10, 1.0},  {4, 89, 1.0},  {4, 90, 0.0},
      {8, 0, 0.0},   {8, 33, 1 / 3.0}, {8, 99, 1.0},  // any other type: x
  };
  for (const auto& c : table) {
    AlertSettings.SearchPatternType = c.type;
    g_AlertScaledPattern.BinWidthHz = 7.0;
    Alert_CalcSearchPattern();
    EXPECT_NEAR(g_AlertSearchPattern[c.point], c.value, 1e-15) << c.type << " " << c.point;
    EXPECT_EQ(g_AlertScaledPattern.BinWidthHz, 0.0);
  }
  // User defined: left as it is (the scaling is still renewed).
  g_AlertSearchPattern[17] = 0.625;
  AlertSettings.SearchPatternType = ALERT_PATTERN_USER;
  g_AlertScaledPattern.BinWidthHz = 7.0;
  Alert_CalcSearchPattern();
  EXPECT_EQ(g_AlertSearchPattern[17], 0.625);
  EXPECT_EQ(g_AlertScaledPattern.BinWidthHz, 0.0);

  // Scaled to the bins: 100 Hz over 5 Hz bins is 20 values, centred on point 50.
  AlertSettings.SearchPatternType = 1;
  AlertSettings.SearchPatternBWidth = 100.0;
  Alert_CalcSearchPattern();
  Feed(std::vector<double>(kBins, -80.0));
  EXPECT_EQ(g_AlertScaledPattern.Count, 20);
  EXPECT_EQ(g_AlertScaledPattern.BinWidthHz, kWidthHz);
  EXPECT_EQ(g_AlertScaledPattern.Values[10], g_AlertSearchPattern[50]);
  EXPECT_EQ(g_AlertScaledPattern.Values[0], g_AlertSearchPattern[0]);
  EXPECT_EQ(g_AlertScaledPattern.Values[19], g_AlertSearchPattern[95]);
}

// A copy of the scaled pattern placed at bin 50 is matched there with the full score; the peak
// table counts the bin up, limited to 200, and others down to -10.
TEST_F(SpectrumAlertTest, MatchPeaksAtAShiftedCopyOfThePattern)
{
  AlertSettings.SearchPatternType = 1;
  AlertSettings.SearchPatternBWidth = 100.0;
  AlertSettings.RangeA_Fmin = 500.0;  // bins 20 .. 80
  AlertSettings.RangeA_Fmax = 800.0;
  Alert_CalcSearchPattern();
  Feed(std::vector<double>(kBins, 1.0));
  const AlertScaledPattern& sp = g_AlertScaledPattern;
  ASSERT_EQ(sp.Count, 20);
  std::vector<double> b(kBins, 10.0 * sp.Values[0]);
  for (int k = 0; k < sp.Count; ++k) b[50 - sp.Count / 2 + k] = 10.0 * sp.Values[k];
  Alert_Reset();  // the smoothing starts from this spectrum
  for (int round = 0; round < 215; ++round) Feed(b);
  int best = 20;
  for (int i = 20; i < 80; ++i)
    if (g_AlertPatternMatch[i] > g_AlertPatternMatch[best]) best = i;
  EXPECT_EQ(best, 50);
  EXPECT_NEAR(g_AlertPatternMatch[50], 100.0, 1e-9);
  EXPECT_LT(g_AlertPatternMatch[47], 99.0);
  EXPECT_LT(g_AlertPatternMatch[53], 99.0);
  EXPECT_EQ(g_AlertPeakTable[50].Counter, 200);
  EXPECT_EQ(g_AlertPeakTable[49].Counter, -10);
  EXPECT_EQ(g_AlertPeakTable[51].Counter, -10);
  EXPECT_EQ(g_AlertPeakTable[85].Counter, 0);  // outside range A
  for (int i = 0; i < kBins; ++i) EXPECT_EQ(g_AlertPeakTable[i].Status, 0);
}

TEST_F(SpectrumAlertTest, BandwidthNotAPositiveNumberGivesAnEmptyPatternAndZeroScores)
{
  AlertSettings.Averaging = 1.0;  // each line judged as it comes
  AlertSettings.RangeA_Fmin = 500.0;
  AlertSettings.RangeA_Fmax = 800.0;
  for (double bw : std::initializer_list<double>{0.0, -20.0, NAN, INFINITY, -INFINITY}) {
    AlertSettings.SearchPatternBWidth = bw;
    Alert_CalcSearchPattern();
    std::fill(std::begin(g_AlertPatternMatch), std::end(g_AlertPatternMatch), 55.0);
    Feed(Peaked(-40.0));
    EXPECT_EQ(g_AlertScaledPattern.Count, 0) << bw;
    for (int i = 20; i < 80; ++i) ASSERT_EQ(g_AlertPatternMatch[i], 0.0) << bw << " " << i;
    EXPECT_EQ(g_AlertActive, 1);  // the alarm does not depend on the pattern
    Alert_Reset();
  }
}

// Bins past the fed count are not read: whatever the arrays hold there, the scores stay.
TEST_F(SpectrumAlertTest, MatchWindowReadsOnlyBinsOfTheSmoothedSpectrum)
{
  AlertSettings.SearchPatternBWidth = 100.0;  // a window of 20 bins
  AlertSettings.RangeA_Fmin = 400.0;
  AlertSettings.RangeA_Fmax = 495.0;  // all 20 bins
  Alert_CalcSearchPattern();
  std::vector<double> b(20);
  for (int i = 0; i < 20; ++i) b[i] = 1.0 + 0.5 * i;
  std::vector<double> scores[2];
  for (int pass = 0; pass < 2; ++pass) {
    Alert_Reset();
    for (int i = 20; i < 40; ++i) g_AlertAvgSpectrum.Bins[i] = g_AlertInputSpectrum.Bins[i] = pass ? 1e6 : -1e6;
    Feed(b);
    scores[pass].assign(g_AlertPatternMatch + 1, g_AlertPatternMatch + 19);
  }
  EXPECT_EQ(scores[0], scores[1]);
  EXPECT_GT(scores[0].back(), 0.0);
}

// Levels in dB: the points beyond the spectrum are 0, not lifted by the normalisation.
TEST_F(SpectrumAlertTest, CapturedPatternIsZeroOutsideTheSpectrum)
{
  std::vector<double> b(kBins);
  for (int i = 0; i < kBins; ++i) b[i] = -20.0 - i;
  Feed(b);
  AlertSettings.SearchPatternBWidth = 100.0;
  g_AlertScaledPattern.BinWidthHz = 5.0;
  Alert_PatternFromSpectrum(410.0);  // bin 2; the window reaches 10 bins below bin 0
  EXPECT_EQ(g_AlertScaledPattern.BinWidthHz, 0.0);
  // Point i reads bin trunc(2 + (i - 50) x 0.2 + 0.5): points 0..32 lie below bin 0. Bins 0..12
  // are inside (-20 .. -32 dB); they scale from the lowest, -32 dB, over 0 - -32 dB.
  for (int i = 0; i <= 32; ++i) EXPECT_EQ(g_AlertSearchPattern[i], 0.0) << i;
  for (int i = 33; i <= 42; ++i) EXPECT_EQ(g_AlertSearchPattern[i], 12.0 / 32) << i;  // bin 0
  EXPECT_EQ(g_AlertSearchPattern[43], 11.0 / 32);                                     // bin 1
  EXPECT_EQ(g_AlertSearchPattern[60], 8.0 / 32);                                      // bin 4
  EXPECT_EQ(g_AlertSearchPattern[99], 0.0);                                           // bin 12
  // Beyond the top of the spectrum alike, and nothing with fewer than 4 smoothed bins.
  Alert_PatternFromSpectrum(890.0);  // bin 98; points from 58 on lie above bin 99
  EXPECT_EQ(g_AlertSearchPattern[99], 0.0);
  EXPECT_GT(g_AlertSearchPattern[50], 0.0);
  EXPECT_GT(g_AlertSearchPattern[35], g_AlertSearchPattern[50]);
  EXPECT_EQ(g_AlertSearchPattern[90], 0.0);
  g_AlertSearchPattern[0] = 0.5;
  g_AlertAvgSpectrum.NrOfBins = 3;
  Alert_PatternFromSpectrum(410.0);
  EXPECT_EQ(g_AlertSearchPattern[0], 0.5);
}

// Every key in its order with its value, read back; the points are read for type 5 only.
TEST_F(SpectrumAlertTest, SettingsFileRoundTrip)
{
  TAlertSettings& s = AlertSettings;
  s.Enable = 1;
  s.Visualize = 0;
  s.PlotOptions = 13;
  s.MethodCompareRanges = 0;
  s.MethodAutoPeak = 1;
  s.MethodAutoNoise = 1;
  s.SearchPatternType = ALERT_PATTERN_USER;
  s.SearchPatternBWidth = 12.345678901234;
  s.RangeA_Fmin = 1000.5;
  s.RangeA_Fmax = 1100.25;
  s.RangeB_Fmin = 1e-7;
  s.RangeB_Fmax = 2e20;
  s.AvrgDiffMin = -3.5;
  s.PeakADiffMin = 6.0;
  s.PeakBDiffMin = 7.0;
  s.MinSecondsToAlert = -42;
  s.ActionRingBell = 1;
  s.ActionStartLoggingWave = 1;
  s.ActionScreenCapture = 1;
  s.ActionExecOsCommand = 1;
  std::strcpy(s.OsCommandLine, "notify-send 'Alarm at 500 Hz'");
  for (int i = 0; i < ALERT_PATTERN_POINTS; ++i) g_AlertSearchPattern[i] = i / 128.0;
  const TAlertSettings saved = s;
  const std::string file = dir.file("SETTINGS.INI");
  vt_test::WriteWholeFile(file, "[Other]\r\nKeep=1\r\n");
  Alert_SaveSettings(file);

  const std::string text = vt_test::ReadWholeFile(file);
  const char* order[] = {"AlertFunctionEnable=1", "AlertFunctionVisualize=0", "AlertPlotOptions=13",
                         "MethodCompareRanges=0", "MethodAutoPeak=1", "MethodAutoNoise=1",
                         "SearchPatternType=5", "SearchPatternBWidth=12.345678901234",
                         "RangeA_Fmin=1000.5", "RangeA_Fmax=1100.25", "RangeB_Fmin=1E-7",
                         "RangeB_Fmax=2E20", "AvrgDiffMin=-3.5", "PeakADiffMin=6",
                         "PeakBDiffMin=7", "MinSecondsToAlert=-42", "ActionRingBell=1",
                         "ActionStartLoggingWave=1", "ActionScreenCapture=1",
                         "ActionExecOsCommand=1", "OsCommandLine=notify-send 'Alarm at 500 Hz'",
                         "[SPECTRUM_ALERT_PATTERN]", "Pat0=0", "Pat1=0.0078125", "Pat99=0.7734375"};
  size_t at = text.find("[SPECTRUM_ALERT]");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.find("[Other]\r\nKeep=1\r\n"), 0u);
  for (const char* line : order) {
    const size_t next = text.find(std::string(line) + "\r\n", at);
    ASSERT_NE(next, std::string::npos) << line;
    at = next;
  }

  Alert_SetDefaults();
  std::fill(std::begin(g_AlertSearchPattern), std::end(g_AlertSearchPattern), 0.0);
  Alert_LoadSettings(file);
  EXPECT_EQ(s.Enable, 1);
  EXPECT_EQ(s.Visualize, 0);
  EXPECT_EQ(s.PlotOptions, 13);
  EXPECT_EQ(s.MethodCompareRanges, 0);
  EXPECT_EQ(s.MethodAutoPeak, 1);
  EXPECT_EQ(s.MethodAutoNoise, 1);
  EXPECT_EQ(s.SearchPatternType, ALERT_PATTERN_USER);
  EXPECT_EQ(s.Averaging, 10.0);  // not stored
  EXPECT_EQ(s.SearchPatternBWidth, saved.SearchPatternBWidth);
  EXPECT_EQ(s.RangeA_Fmin, saved.RangeA_Fmin);
  EXPECT_EQ(s.RangeA_Fmax, saved.RangeA_Fmax);
  EXPECT_EQ(s.RangeB_Fmin, saved.RangeB_Fmin);
  EXPECT_EQ(s.RangeB_Fmax, saved.RangeB_Fmax);
  EXPECT_EQ(s.AvrgDiffMin, saved.AvrgDiffMin);
  EXPECT_EQ(s.PeakADiffMin, saved.PeakADiffMin);
  EXPECT_EQ(s.PeakBDiffMin, saved.PeakBDiffMin);
  EXPECT_EQ(s.MinSecondsToAlert, saved.MinSecondsToAlert);
  EXPECT_STREQ(s.OsCommandLine, saved.OsCommandLine);
  EXPECT_EQ(s.ActionRingBell, 1);
  EXPECT_EQ(s.ActionStartLoggingWave, 1);
  EXPECT_EQ(s.ActionScreenCapture, 1);
  EXPECT_EQ(s.ActionExecOsCommand, 1);
  for (int i = 0; i < ALERT_PATTERN_POINTS; ++i) ASSERT_EQ(g_AlertSearchPattern[i], i / 128.0) << i;

  // Another type computes its pattern and ignores the stored points.
  IniFile ini(file);
  ini.WriteInteger("SPECTRUM_ALERT", "SearchPatternType", 3);
  ini.UpdateFile();
  Alert_LoadSettings(file);
  EXPECT_EQ(g_AlertSearchPattern[1], 0.0);
  EXPECT_EQ(g_AlertSearchPattern[50], 1.0);
}

// Missing keys keep their defaults; texts that are no numbers (or no finite numbers) too; a
// user pattern without points is zero; a long command line is cut to 255 characters.
TEST_F(SpectrumAlertTest, SettingsFileWithBadAndMissingValues)
{
  const std::string file = dir.file("bad.ini");
  vt_test::WriteWholeFile(file,
                          "[SPECTRUM_ALERT]\nAlertFunctionEnable=7\nAlertPlotOptions=x\n"
                          "SearchPatternType=5\nSearchPatternBWidth=inf\nRangeA_Fmin=nan\n"
                          "RangeA_Fmax=1e400\nRangeB_Fmin=abc\nPeakADiffMin=2.5\n"
                          "MinSecondsToAlert=1e3\nOsCommandLine=" + std::string(300, 'w') + "\n"
                          "[SPECTRUM_ALERT_PATTERN]\nPat3=0.5\nPat4=zz\n");
  std::fill(std::begin(g_AlertSearchPattern), std::end(g_AlertSearchPattern), 0.25);
  Alert_LoadSettings(file);
  const TAlertSettings& s = AlertSettings;
  EXPECT_EQ(s.Enable, 1);
  EXPECT_EQ(s.Visualize, 1);
  EXPECT_EQ(s.PlotOptions, 0);
  EXPECT_EQ(s.SearchPatternType, 5);
  EXPECT_EQ(s.SearchPatternBWidth, 20.0);
  EXPECT_EQ(s.RangeA_Fmin, 500.0);
  EXPECT_EQ(s.RangeA_Fmax, 550.0);
  EXPECT_EQ(s.RangeB_Fmin, 645.0);
  EXPECT_EQ(s.PeakADiffMin, 2.5);
  EXPECT_EQ(s.MinSecondsToAlert, 30);
  EXPECT_EQ(std::string(s.OsCommandLine), std::string(255, 'w'));
  for (int i = 0; i < ALERT_PATTERN_POINTS; ++i)
    EXPECT_EQ(g_AlertSearchPattern[i], i == 3 ? 0.5 : 0.0) << i;

  // No file at all: the defaults.
  Alert_LoadSettings(dir.file("none.ini"));
  EXPECT_EQ(s.SearchPatternType, 1);
  EXPECT_STREQ(s.OsCommandLine, "WakeMeUp.EXE");
  // A file that cannot be written is reported.
  EXPECT_THROW(Alert_SaveSettings(dir.file("no/such/dir/x.ini")), EIniFileError);
}

}  // namespace
