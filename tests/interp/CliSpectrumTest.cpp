// Spectrum functions on a hand-made spectrum, checked against values computed here
// independently (plain loops and std::sort), and the reference subtraction.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "CliFixture.h"

namespace {

// 16 bins of 10 Hz in hundredths of a dB; bin i stands for (i + 1) * 10 Hz.
const int16_t kBinsDb[16] = {-5000, -4000, -1000, -2000, -6000, -3000, -7000, -2500,
                             -4500, -3500, -1500, -8000, -500,  -6500, -5500, -9000};

void MakeDbSpectrum(SpectrumBuffer* sb)
{
  CLI_InitSpectrumBuffer(sb);
  sb->bin_width_hz = 10.0;
  sb->nr_of_bins = 16;
  sb->scale_unit = SPECTRUM_UNIT_DB;
  sb->scale_factor = 0.01;
  sb->scale_offset = 123.0;  // used by no spectrum function
  std::copy(std::begin(kBinsDb), std::end(kBinsDb), sb->bins);
}

// Independent reference values.
double PowerAverageDb(int first, int last)
{
  double sum = 0;
  for (int i = first; i <= last; ++i) sum += std::pow(10.0, kBinsDb[i] * 0.01 / 10.0);
  return 10.0 * std::log10(sum / (last - first + 1));
}
double LowerQuartile(int first, int last)
{
  std::vector<int> v(kBinsDb + first, kBinsDb + last + 1);
  std::sort(v.begin(), v.end());
  return v[v.size() / 4];
}

double Eval(const char* text)
{
  g_CliParsePtr = text;
  double v = -1;
  EXPECT_EQ(CLI_EvalExpression(CLI_SRC_DISPLAY, &v), 0) << text;
  return v;
}

}  // namespace

TEST_F(CliTest, SpectrumBufferLayout)
{
  EXPECT_EQ(sizeof(SpectrumBuffer), 65600u);
  EXPECT_EQ(offsetof(SpectrumBuffer, bins), 60u);
  SpectrumBuffer* sb = new SpectrumBuffer;
  std::memset(sb, 0x55, sizeof *sb);
  CLI_InitSpectrumBuffer(sb);
  EXPECT_EQ(sb->structSize, 65600);
  EXPECT_EQ(sb->bin_width_hz, 1.0);
  EXPECT_EQ(sb->time, 0.0);
  EXPECT_EQ(sb->nr_of_bins, 0);
  EXPECT_TRUE(std::all_of(sb->bins, sb->bins + SPECTRUM_MAX_BINS, [](int16_t b) { return b == 0; }));
  delete sb;
}

TEST_F(CliTest, FrequencyToBin)
{
  SpectrumBuffer& sb = g_LatestSpectrum;
  MakeDbSpectrum(&sb);
  const struct {
    double f;
    int bin;
  } table[] = {{25, 1},   {10, 0},    {19.9, 0},  {5, 0},       {0, -1},     {-3, -1},
               {160, 15}, {169.9, 15}, {170, -1}, {1e300, -1},  {-1e300, -1},
               {std::numeric_limits<double>::quiet_NaN(), -1},  {HUGE_VAL, -1}};
  for (const auto& t : table) EXPECT_EQ(CLI_FreqToBin(&sb, t.f), t.bin) << t.f;
  EXPECT_EQ(CLI_FreqToBin(nullptr, 25), -1);
  sb.bin_width_hz = 0;
  EXPECT_EQ(CLI_FreqToBin(&sb, 25), -1);
  sb.bin_width_hz = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(CLI_FreqToBin(&sb, 25), -1);
}

TEST_F(CliTest, SpectrumFunctionsInDb)
{
  MakeDbSpectrum(&g_LatestSpectrum);
  // avrg: power average, not the mean of the dB values.
  EXPECT_NEAR(Eval("avrg(30,40)"), PowerAverageDb(2, 3), 1e-12);
  EXPECT_NEAR(Eval("avrg(30,40)"), -12.59637310505756, 1e-9);  // 10 log10((0.1 + 0.01) / 2)
  EXPECT_NEAR(Eval("avrg(10,160)"), PowerAverageDb(0, 15), 1e-12);
  EXPECT_NEAR(Eval("avrg_n(10,160)"), PowerAverageDb(0, 15) - 10.0, 1e-12);
  EXPECT_NEAR(Eval("avrg 50"), PowerAverageDb(4, 4), 1e-12);  // parentheses optional, one bin
  // noise: lower quartile * scale factor + 3.0.
  EXPECT_NEAR(Eval("noise(50)"), kBinsDb[4] * 0.01 + 3.0, 1e-12);
  EXPECT_NEAR(Eval("noise(10,80)"), LowerQuartile(0, 7) * 0.01 + 3.0, 1e-12);  // element 2 of 8
  EXPECT_NEAR(Eval("noise(10,80)"), -47.0, 1e-12);
  EXPECT_NEAR(Eval("noise(10,160)"), LowerQuartile(0, 15) * 0.01 + 3.0, 1e-12);
  EXPECT_NEAR(Eval("noise_n(10,160)"), LowerQuartile(0, 15) * 0.01 + 3.0 - 10.0, 1e-12);
  // peak: highest bin and its frequency (i + 1) * width.
  EXPECT_NEAR(Eval("peak(10,160)"), -5.0, 1e-12);
  EXPECT_NEAR(Eval("peak_a(10,160)"), -5.0, 1e-12);
  EXPECT_NEAR(Eval("peak_f(10,160)"), 130.0, 1e-12);
  EXPECT_NEAR(Eval("peak_f(10,60)"), 30.0, 1e-12);
  // A composite display expression.
  EXPECT_NEAR(Eval("avrg(30,40)-noise(10,80)"), PowerAverageDb(2, 3) + 47.0, 1e-9);
  g_LatestSpectrum.bins[1] = 100;
  g_LatestSpectrum.bins[3] = 100;  // a tie: the lowest bin wins
  EXPECT_NEAR(Eval("peak_f(10,160)"), 20.0, 1e-12);
}

TEST_F(CliTest, SpectrumFunctionsLinear)
{
  SpectrumBuffer& sb = g_LatestSpectrum;
  CLI_InitSpectrumBuffer(&sb);
  sb.bin_width_hz = 4.0;
  sb.nr_of_bins = 8;
  sb.scale_unit = SPECTRUM_UNIT_LINEAR;
  sb.scale_factor = 1.0 / 32767;
  const int16_t bins[8] = {100, 300, 200, 32767, 0, 50, 400, 10};
  std::copy(bins, bins + 8, sb.bins);
  const double mean = (100 + 300 + 200 + 32767 + 0 + 50 + 400 + 10) / 8.0;
  EXPECT_NEAR(Eval("avrg(4,32)"), mean / 32767, 1e-12);
  EXPECT_NEAR(Eval("avrg_n(4,32)"), mean / 32767 * 2.0, 1e-12);  // times sqrt(4 Hz)
  EXPECT_NEAR(Eval("noise(4,32)"), 50.0 / 32767 + 3.0, 1e-12);
  EXPECT_NEAR(Eval("peak(4,32)"), 1.0, 1e-12);
  // Another scale unit has no average.
  sb.scale_unit = 2;
  EXPECT_EQ(Eval("avrg(4,32)"), 1e300);
}

TEST_F(CliTest, FrequencyRangeErrors)
{
  MakeDbSpectrum(&g_LatestSpectrum);
  for (const char* text : {"avrg(40,30)", "noise(0,30)", "peak(30,1000)", "avrg(5e300)", "peak_f(-1)"}) {
    SCOPED_TRACE(text);
    g_CliErrorText[0] = '\0';
    g_CliParsePtr = text;
    double v = 0;
    EXPECT_EQ(CLI_EvalExpression(CLI_SRC_DISPLAY, &v), CLI_ERR_FREQ_RANGE);
    EXPECT_STREQ(g_CliErrorText, "Error: avrg: illegal freq range");
  }
  g_CliParsePtr = "avrg(1/0)";
  double v = 0;
  EXPECT_EQ(CLI_EvalExpression(CLI_SRC_DISPLAY, &v), CLI_ERR_DIV_BY_ZERO);
  // Direct calls with a bad range answer 1e300 / -1.
  EXPECT_EQ(CLI_CalcAverageLevel(0, false, &g_LatestSpectrum, 5, 4), 1e300);
  EXPECT_EQ(CLI_CalcNoiseLevel(0, false, &g_LatestSpectrum, -1, 4), 1e300);
  EXPECT_EQ(CLI_CalcNoiseLevel(0, false, &g_LatestSpectrum, 0, 32768), 1e300);
  EXPECT_EQ(CLI_FindPeakBin(&g_LatestSpectrum, 3, 2), -1);
}

TEST_F(CliTest, SortByValueSortsAnyInput)
{
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 3, 10, 1000, 32768}) {
    for (int pattern = 0; pattern < 4; ++pattern) {
      std::vector<TSortItem> items(n);
      for (int i = 0; i < n; ++i) {
        double v = 0;
        switch (pattern) {
          case 0: v = static_cast<int>(rng() % 200) - 100; break;  // many duplicates
          case 1: v = i; break;                                    // sorted
          case 2: v = n - i; break;                                // reversed
          case 3: v = 5; break;                                    // all equal
        }
        items[i] = {v, i};
      }
      std::vector<double> expected(n);
      for (int i = 0; i < n; ++i) expected[i] = items[i].value;
      std::sort(expected.begin(), expected.end());
      SortByValue(items.data(), n, 1);
      std::vector<int> seen(n, 0);
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(items[i].value, expected[i]) << n << "/" << pattern << " at " << i;
        ++seen[items[i].index];
      }
      EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int s) { return s == 1; }));
    }
  }
}

TEST_F(CliTest, ReferenceSubtraction)
{
  SpectrumBuffer* src = new SpectrumBuffer;
  SpectrumBuffer* dst = new SpectrumBuffer;
  SpectrumBuffer& ref = g_ReferenceSpectrum;
  CLI_InitSpectrumBuffer(src);
  src->time = 99;
  src->bin_width_hz = 10;
  src->offset_hz = 1000;
  src->nr_of_bins = 20;
  for (int i = 0; i < 20; ++i) src->bins[i] = static_cast<int16_t>(100 * i);
  CLI_InitSpectrumBuffer(&ref);
  ref.bin_width_hz = 10;
  ref.offset_hz = 1000;
  ref.nr_of_bins = 10;
  for (int i = 0; i < 10; ++i) ref.bins[i] = static_cast<int16_t>(i + 1);

  // Same width and offset: bin by bin; bins past the reference's 10 are copied.
  CLI_SubtractRefSpectrum(src, dst);
  EXPECT_EQ(std::memcmp(dst, src, SPECTRUM_HEADER_SIZE), 0);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(dst->bins[i], 100 * i - (i < 10 ? i + 1 : 0)) << i;

  // Reference starting 20 Hz lower: source bin i meets reference bin i + 2.
  ref.offset_hz = 980;
  CLI_SubtractRefSpectrum(src, dst);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(dst->bins[i], 100 * i - (i + 2 < 10 ? i + 3 : 0)) << i;

  // Reference with half the bin width: two reference bins per source bin.
  ref.offset_hz = 1000;
  ref.bin_width_hz = 5;
  CLI_SubtractRefSpectrum(src, dst);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(dst->bins[i], 100 * i - (2 * i < 10 ? 2 * i + 1 : 0)) << i;

  // Reference above the source: nothing overlaps below it.
  ref.bin_width_hz = 10;
  ref.offset_hz = 1100;
  CLI_SubtractRefSpectrum(src, dst);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(dst->bins[i], 100 * i - (i >= 10 ? i - 9 : 0)) << i;

  // Differences beyond 16 bits are clamped instead of wrapping.
  ref.offset_hz = 1000;
  src->bins[0] = 30000;
  ref.bins[0] = -30000;
  src->bins[1] = -30000;
  ref.bins[1] = 30000;
  CLI_SubtractRefSpectrum(src, dst);
  EXPECT_EQ(dst->bins[0], 32767);
  EXPECT_EQ(dst->bins[1], -32768);

  // A negative or oversized bin count in the source does not run past the record.
  src->nr_of_bins = -5;
  CLI_SubtractRefSpectrum(src, dst);
  EXPECT_EQ(dst->nr_of_bins, 0);
  src->nr_of_bins = 1000000;
  ref.nr_of_bins = 1000000;
  CLI_SubtractRefSpectrum(src, dst);  // ASan would catch an overrun
  EXPECT_EQ(dst->nr_of_bins, 1000000);
  delete src;
  delete dst;
}
