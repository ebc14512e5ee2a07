// The configuration dialog's rules without a window: intervals with units, FFT size limits,
// the FFT page's rate texts and the sample-rate calibration.
#include <gtest/gtest.h>

#include <climits>

#include "control/ConfigRules.h"

namespace {

TEST(ConfigRules, IntervalsAreShownInTheLargestUnitThatDividesThemAndReadBackExactly)
{
  struct Case { int seconds; int value; int unit; };
  const Case grid[] = {{0, 0, 60}, {45, 45, 1}, {600, 10, 60}, {301, 301, 1}, {360, 6, 60},
                       {-120, -2, 60}, {90, 90, 1}};
  for (const Case& c : grid) {
    SCOPED_TRACE(c.seconds);
    const TShownInterval s = TimeGridToControls(c.seconds);
    EXPECT_EQ(s.value, c.value);
    EXPECT_EQ(s.unit, c.unit);
    int back = -1;
    ASSERT_TRUE(IntervalFromControls(s.value, s.unit, &back));
    EXPECT_EQ(back, c.seconds);
  }
  const Case scroll[] = {{2, 2, 1},          {90000, 90, 1000}, {120000, 2, 60000},
                         {301000, 301, 1000}, {4500, 4500, 1},  {7500, 7500, 1},
                         {300, 300, 1},      {5000, 5, 1000},   {0, 0, 60000}};
  for (const Case& c : scroll) {
    SCOPED_TRACE(c.seconds);
    const TShownInterval s = ScrollIntervalToControls(c.seconds);
    EXPECT_EQ(s.value, c.value);
    EXPECT_EQ(s.unit, c.unit);
    int back = -1;
    ASSERT_TRUE(IntervalFromControls(s.value, s.unit, &back));
    EXPECT_EQ(back, c.seconds);
  }
  int r = 0;
  EXPECT_FALSE(IntervalFromControls(INT_MAX / 1000 + 1, 60000, &r));
  EXPECT_FALSE(IntervalFromControls(INT_MIN / 60 - 1, 60, &r));
}

TEST(ConfigRules, FftSizeIsLimitedAndRoundedDownToAPowerOfTwo)
{
  struct Case { int size; bool complex; int expected; bool corrected; };
  const Case cases[] = {
      {1024, false, 1024, false},   {256, false, 256, false},    {65536, false, 65536, false},
      {65536, true, 32768, true},   {32768, true, 32768, false}, {1000, false, 512, true},
      {100, false, 256, true},      {-5, true, 256, true},       {100000, false, 65536, true},
      {INT_MAX, false, 65536, true}, {40000, true, 32768, true}, {40000, false, 32768, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size << (c.complex ? " complex" : " real"));
    bool corrected = !c.corrected;
    EXPECT_EQ(LimitFftSize(c.size, c.complex, &corrected), c.expected);
    EXPECT_EQ(corrected, c.corrected);
  }
}

TEST(ConfigRules, RateTextsForRealAndComplexFft)
{
  // fs 11,025, input divisor 1, FFT rate divisor 8: band 689.0625 Hz wide.
  TRateInfoInput in{11025, 1, 8, 1024, false, 1000};
  TRateInfoTexts t = CalcRateInfo(in);
  EXPECT_EQ(t.inputInfo, "input rate w/o decimation = 11025 Hz");
  EXPECT_EQ(t.resolution, "01.3458 Hz");
  EXPECT_EQ(t.band, "0000.00 Hz .. 0689.06 Hz");
  in.complex = true;
  t = CalcRateInfo(in);
  EXPECT_EQ(t.band, "0655.47 Hz .. 1344.53 Hz");
  // An input divisor of 2 halves the input rate; N <= 64 gives no resolution.
  t = CalcRateInfo({48000, 2, 1, 64, false, 0});
  EXPECT_EQ(t.inputInfo, "input rate w/o decimation = 24000 Hz");
  EXPECT_EQ(t.resolution, "00.0000 Hz");
  EXPECT_EQ(t.band, "0000.00 Hz .. 12000.00 Hz");
  // A divisor of 0 (bad settings) leaves the input text empty and divides nothing.
  t = CalcRateInfo({8000, 0, 4, 256, false, 0});
  EXPECT_EQ(t.inputInfo, "");
  EXPECT_EQ(t.resolution, "31.2500 Hz");
  EXPECT_EQ(t.band, "0000.00 Hz .. 4000.00 Hz");
  // The ratio the sample ring makes of the divisor: its stages of 2 and 3, which I/Q pairs
  // and anti-aliased samples run through, make 3 of 5; plain averaging keeps 5.
  const struct {
    bool complex, antiAlias;
    const char *resolution, *band;
  } ratios[] = {
      {false, false, "02.1533 Hz", "0000.00 Hz .. 1102.50 Hz"},  // 11,025 / 5
      {false, true, "03.5889 Hz", "0000.00 Hz .. 1837.50 Hz"},   // 11,025 / 3
      {true, false, "03.5889 Hz", "0081.25 Hz .. 1918.75 Hz"},
      {true, true, "03.5889 Hz", "0081.25 Hz .. 1918.75 Hz"},
  };
  for (const auto& r : ratios) {
    SCOPED_TRACE(testing::Message() << "complex " << r.complex << ", anti-alias " << r.antiAlias);
    TRateInfoInput five{11025, 1, 5, 1024, r.complex, 1000};
    five.antiAlias = r.antiAlias;
    t = CalcRateInfo(five);
    EXPECT_EQ(t.resolution, r.resolution);
    EXPECT_EQ(t.band, r.band);
  }
}

TEST(ConfigRules, CalibrationRatioAndReset)
{
  struct Ratio { double displayed, correct, offset, expected; };
  const Ratio ratios[] = {
      {1001, 1000, 0, 1000.0 / 1001},  {1200, 1000, 0, 0},   {0, 1000, 0, 0},
      {1000, -3, 0, 0},               {11001, 11000, 10000, 1000.0 / 1001},
      {910, 1000, 0, 1000.0 / 910},   {1000, 1101, 0, 0},   {500, 500, 1000, 1},
  };
  for (const Ratio& r : ratios) {
    SCOPED_TRACE(testing::Message() << r.displayed << " " << r.correct << " " << r.offset);
    EXPECT_DOUBLE_EQ(CalibrationRatio(r.displayed, r.correct, r.offset), r.expected);
  }
  struct Check { double value; int nominal; double expected; bool corrected; };
  const Check checks[] = {
      {12200, 11025, 11025, true}, {12100, 11025, 12100, false}, {11013.986, 11025, 11013.986, false},
      {5512 + 551, 5512, 5512 + 551, false}, {5512 + 552, 5512, 5512, true},
      {0.0 / 0.0, 8000, 8000, true}, {-48000, 48000, 48000, true},
  };
  for (const Check& c : checks) {
    SCOPED_TRACE(c.value);
    bool corrected = !c.corrected;
    EXPECT_DOUBLE_EQ(CheckCalibratedRate(c.value, c.nominal, &corrected), c.expected);
    EXPECT_EQ(corrected, c.corrected);
  }
}

}  // namespace
