// Number text: parsing and formatting as tables, run once in the "C" locale and once under a
// German locale (decimal comma) to prove that no conversion follows the user's locale.
//
// Expected texts follow the class library's documented FormatFloat / FloatToStr behaviour
// (the examples of its FormatFloat documentation: "#,##0.00" of 1234.5 is "1,234.50",
// "0.000E+00" of 1234.5 is "1.235E+03", "#.##" of 0.5 is ".5").
#include "platform/NumText.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

struct ParseFloatCase {
  const char* text;
  bool ok;
  double value;
};

const ParseFloatCase kParseFloat[] = {
    {"1.5", true, 1.5},
    {"  -2.25  ", true, -2.25},
    {"+3", true, 3.0},
    {"1e3", true, 1000.0},
    {"1.5E-3", true, 0.0015},
    {"-1.5e+2", true, -150.0},
    {".5", true, 0.5},
    {"7.", true, 7.0},
    {"0", true, 0.0},
    {"1e-400", true, 0.0},  // underflow reads as zero
    {"123456789012345678", true, 123456789012345678.0},
    {"", false, 0},
    {"   ", false, 0},
    {"1,5", false, 0},  // the decimal separator is always "."
    {"1.5x", false, 0},
    {"x1.5", false, 0},
    {"1.5 2", false, 0},
    {"1e", false, 0},
    {"1e+", false, 0},
    {"e5", false, 0},
    {".", false, 0},
    {"-", false, 0},
    {"--1", false, 0},
    {"inf", false, 0},
    {"-INF", false, 0},
    {"infinity", false, 0},
    {"nan", false, 0},
    {"NaN", false, 0},
    {"0x1p3", false, 0},
    {"0x10", false, 0},
    {"1e400", false, 0},  // overflow
    {"1,000.5", false, 0},
};

struct ParseIntCase {
  const char* text;
  bool ok;
  int value;
};

const ParseIntCase kParseInt[] = {
    {"0", true, 0},
    {"42", true, 42},
    {" -17 ", true, -17},
    {"+5", true, 5},
    {"2147483647", true, 2147483647},
    {"-2147483648", true, -2147483647 - 1},
    {"0x1F", true, 31},
    {"0X1f", true, 31},
    {"$1F", true, 31},
    {"$ff00ff", true, 0xFF00FF},
    {"-$10", true, -16},
    {"$FFFFFFFF", true, -1},  // hex is the 32-bit pattern
    {"2147483648", false, 0},
    {"-2147483649", false, 0},
    {"$100000000", false, 0},
    {"99999999999999999999", false, 0},
    {"", false, 0},
    {"1.5", false, 0},
    {"12abc", false, 0},
    {"0x", false, 0},
    {"$", false, 0},
    {"0xG", false, 0},
    {"1 2", false, 0},
    {"- 1", false, 0},
    {"1e3", false, 0},
};

struct FloatToStrCase {
  double value;
  const char* text;
};

const FloatToStrCase kFloatToStr[] = {
    {0.0, "0"},
    {-0.0, "0"},
    {0.1, "0.1"},
    {-3.0, "-3"},
    {1.5, "1.5"},
    {100.0, "100"},
    {1e20, "1E20"},
    {1.5e-10, "1.5E-10"},
    {-2.5e-7, "-2.5E-7"},
    {0.0001, "0.0001"},
    {0.00001, "1E-5"},
    {123456789012345.0, "123456789012345"},
    {1e15, "1E15"},
    {1234567890123456.0, "1.23456789012346E15"},
    {1.0 / 3.0, "0.333333333333333"},
    {2.0 / 3.0, "0.666666666666667"},
    {0.1 + 0.2, "0.3"},
    {48000.0, "48000"},
    {11025.5, "11025.5"},
    {-1e-300, "-1E-300"},
    {std::numeric_limits<double>::infinity(), "INF"},
    {-std::numeric_limits<double>::infinity(), "-INF"},
    {std::numeric_limits<double>::quiet_NaN(), "NAN"},
};

struct FormatCase {
  const char* pattern;
  double value;
  const char* text;
};

const FormatCase kFormat[] = {
    // the program's own patterns
    {"###0.####", 1.0, "1"},
    {"###0.####", 0.5, "0.5"},
    {"###0.####", 1.23456, "1.2346"},
    {"###0.####", -0.25, "-0.25"},
    {"###0.####", 12345.6, "12345.6"},
    {"#0000.00#", 48000.0, "48000.00"},
    {"#0000.00#", 8000.125, "8000.125"},
    {"#0000.00#", 11025.1234, "11025.123"},
    {"#0000.00#", 5.0, "0005.00"},
    {"##0.# %", 50.0, "50 %"},
    {"##0.# %", 12.34, "12.3 %"},
    {"##0.# %", 0.0, "0 %"},
    {"00.0000 Hz", 1.5, "01.5000 Hz"},
    {"00.0000 Hz", 123.456789, "123.4568 Hz"},
    {"###0 Hz", 2999.5, "3000 Hz"},
    {"##0.00Hz", 440.0, "440.00Hz"},
    {"#0.0dB", -3.0, "-3.0dB"},
    {"#0.0 dB", -0.04, "0.0 dB"},  // rounds to zero: no minus sign
    {"###0.0", 0.05, "0.1"},       // half away from zero
    {"###0.0", -0.05, "-0.1"},
    {"0.00", 2.675, "2.68"},       // on the decimal value, not the binary 2.67499999...
    {"0.00", 1.005, "1.01"},
    {"0", 0.5, "1"},
    {"0", 1.5, "2"},
    {"0", 2.5, "3"},
    {"0", -2.5, "-3"},
    {"0.0#", 44100.0, "44100.0"},
    {"0.0###", 0.123456, "0.1235"},
    {"0.000#", 0.5, "0.500"},
    {"##000.0", 8.0, "008.0"},
    {"#####0.0###", 1234.56789, "1234.5679"},
    {"####0.###", 1.23456, "1.235"},
    {"##0.0##", 0.5, "0.5"},
    // thousands separators, optional digits
    {"#,##0.00", 1234.5, "1,234.50"},
    {"#,##0.00", 1234567.891, "1,234,567.89"},
    {"#,##0", 999.0, "999"},
    {"#,##0", -1000.0, "-1,000"},
    {"#.##", 0.5, ".5"},
    {"#.##", 0.0, ""},
    {"#", 0.0, ""},
    {"0", 123456.0, "123456"},
    {"0.0", 1e17, "100000000000000000.0"},
    {"0", 1e20, "1E20"},  // too large for a fixed pattern
    // exponent forms
    {"0.000E+00", 1234.5, "1.235E+03"},
    {"0.000E+00", -1234.5, "-1.235E+03"},
    {"0.000E+00", 0.00012345, "1.235E-04"},
    {"0.000E-00", 1234.5, "1.235E03"},
    {"0.000E-00", 0.00012345, "1.235E-04"},
    {"0.00e+0", 9.999, "1.00e+1"},
    {"00.00E+00", 12345.0, "12.35E+03"},
    {"0.###E+0", 1.5, "1.5E+0"},
    {"0.000E+00", 0.0, "0.000E+00"},
    // sections positive;negative;zero
    {"0.0;(0.0);zero", 1.25, "1.3"},
    {"0.0;(0.0);zero", -1.25, "(1.3)"},
    {"0.0;(0.0);zero", 0.0, "zero"},
    {"0.0;(0.0);zero", 0.01, "zero"},
    {"0.0;;zero", -2.0, "-2.0"},
    {"0.0;neg", -2.0, "neg"},
    {"0.0;neg", 0.0, "0.0"},
    // literal and quoted text
    {"'#'0", 5.0, "#5"},
    {"\"0.0\" 0.0", 5.0, "0.0 5.0"},
    {"'E+'0", 5.0, "E+5"},
    {"f=0.0 kHz", 2.5, "f=2.5 kHz"},
    {"0 'a;b'", 7.0, "7 a;b"},
    // empty pattern and non-finite values
    {"", 0.1, "0.1"},
    {"0.00", std::numeric_limits<double>::infinity(), "INF"},
    {"0.00", std::numeric_limits<double>::quiet_NaN(), "NAN"},
};

class NumTextLocale : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override
  {
    const char* old = std::setlocale(LC_ALL, nullptr);
    m_saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, GetParam()))
      GTEST_SKIP() << "locale " << GetParam() << " is not installed";
    // The switch is real: the C library itself now prints the locale's decimal separator.
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, GetParam()[0] == 'C' ? "1.5" : "1,5");
  }
  void TearDown() override { std::setlocale(LC_ALL, m_saved.c_str()); }

private:
  std::string m_saved;
};

TEST_P(NumTextLocale, ParsesFloats)
{
  for (const auto& c : kParseFloat) {
    double v = -99.0;
    EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, c.value) << '"' << c.text << '"';
    }
    EXPECT_DOUBLE_EQ(StrToFloatDef(c.text, -99.0), c.ok ? c.value : -99.0) << '"' << c.text << '"';
  }
}

TEST_P(NumTextLocale, ParsesIntegers)
{
  for (const auto& c : kParseInt) {
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99) << '"' << c.text << '"';
    int v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << '"' << c.text << '"';
  }
}

TEST_P(NumTextLocale, LeadingIntegerOfAListItem)
{
  // Device list items: "3 USB Audio" is device 3, "-1 (use default...)" is -1, a failed
  // query "#2: ????" and a text without a blank give the default.
  EXPECT_EQ(LeadingStrToIntDef("3 USB Audio", -1), 3);
  EXPECT_EQ(LeadingStrToIntDef("-1 (use default WAVE input)", 7), -1);
  EXPECT_EQ(LeadingStrToIntDef("#2: ????", -1), -1);
  EXPECT_EQ(LeadingStrToIntDef("5", -1), -1);
  EXPECT_EQ(LeadingStrToIntDef("", 9), 9);
  EXPECT_EQ(LeadingStrToIntDef(" 5 x", 9), 9);
}

TEST_P(NumTextLocale, PrintsFloats)
{
  for (const auto& c : kFloatToStr) EXPECT_EQ(FloatToStr(c.value), c.text) << c.value;
}

TEST_P(NumTextLocale, FormatsFloats)
{
  for (const auto& c : kFormat)
    EXPECT_EQ(FormatFloat(c.pattern, c.value), c.text) << '"' << c.pattern << "\" " << c.value;
}

TEST_P(NumTextLocale, OddPatternsGiveShortText)
{
  // Random short patterns of the pattern characters against extreme values: the text stays
  // short (no run of zeros from an exponent) and nothing crashes under the sanitizers.
  const char alphabet[] = "0#.,;Ee+-'\" %x";
  const double values[] = {0.0, -0.0, 0.5, -1.0, 1e-300, 1e300, -9.99e17, 9.99999e18, 5e-5, 999.9999};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int i = 0; i < 20000; ++i) {
    std::string pattern;
    for (uint32_t n = (next() >> 8) % 12; n > 0; --n) pattern += alphabet[(next() >> 8) % (sizeof alphabet - 1)];
    for (double v : values) {
      std::string text = FormatFloat(pattern, v);
      ASSERT_LE(text.size(), 2 * pattern.size() + 40) << '"' << pattern << "\" " << v;
    }
  }
}

TEST_P(NumTextLocale, FloatTextRoundTrips)
{
  // FloatToStr keeps 15 significant digits: reading it back gives the value to that precision.
  const double values[] = {0.1, -123.456, 6.02214076e23, 1.602176634e-19, 48000.0, 1.0 / 7.0};
  for (double v : values) {
    double back = StrToFloatDef(FloatToStr(v), 0.0);
    EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << FloatToStr(v);
  }
}

TEST_P(NumTextLocale, IntegerText)
{
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-1234567890123LL), "-1234567890123");
  EXPECT_EQ(IntToHex(0xFF00FF, 8), "00FF00FF");
  EXPECT_EQ(IntToHex(0xABCDEF123ULL, 2), "ABCDEF123");
}

INSTANTIATE_TEST_SUITE_P(Locales, NumTextLocale, ::testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& info) {
                           return std::string(info.param[0] == 'C' ? "C" : "German");
                         });

}  // namespace
