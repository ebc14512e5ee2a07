// Time-of-day, date and pattern helpers against independent values.
// Reference Unix times come from Python's calendar.timegm / datetime (UTC) and `date -u -d @T`;
// the command is noted at each table.
#include "engine/TimeUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <cmath>
#include <string>

namespace {

TEST(TimeUtils, TimeOfDayToStringWritesTwoDigitFields)
{
  // Reference: date -u -d @T +%H:%M:%S (for the Unix times).
  struct Case {
    int seconds;
    char sep;
    const char* text;
  } cases[] = {
      {45296, ':', "12:34:56"},
      {90000, ':', "01:00:00"},  // hours modulo 24
      {0, '.', "00.00.00"},
      {86399, ':', "23:59:59"},
      {1007726400 + 3723, ':', "13:02:03"},
      {-1, ':', "23:59:59"},           // before midnight, not "00:00:-1"
      {INT_MIN, ':', "20:45:52"},      // date -u -d @-2147483648 -> 20:45:52
      {INT_MAX, ':', "03:14:07"},      // date -u -d @2147483647  -> 03:14:07
  };
  for (const Case& c : cases) {
    char buf[TIME_OF_DAY_TEXT_SIZE + 8];
    std::fill(std::begin(buf), std::end(buf), 'x');
    EXPECT_EQ(TimeOfDayToString(c.seconds, buf, c.sep), 8) << c.seconds;
    EXPECT_STREQ(buf, c.text) << c.seconds;
    EXPECT_EQ(buf[TIME_OF_DAY_TEXT_SIZE], 'x') << "wrote past the documented size";
  }
}

TEST(TimeUtils, DateToStringWritesMonthDayYear)
{
  // Reference: date -u -d @T +%b.%d.%Y, upper-cased.
  struct Case {
    int t;
    char sep;
    const char* text;
  } cases[] = {
      {0, '.', "JAN.01.1970"},
      {951782400, '.', "FEB.29.2000"},
      {1007726400, '-', "DEC-07-2001"},
      {-86400, '.', "DEC.31.1969"},
      {INT_MIN, '.', "DEC.13.1901"},
      {INT_MAX, '/', "JAN/19/2038"},
  };
  for (const Case& c : cases) {
    char buf[DATE_TEXT_SIZE];
    EXPECT_EQ(DateToString(c.t, buf, c.sep), 11) << c.t;
    EXPECT_STREQ(buf, c.text) << c.t;
  }
}

TEST(TimeUtils, CalendarToUnixSecondsMatchesReference)
{
  // Reference: Python calendar.timegm((Y, M, D, h, m, s, 0, 0, 0)) (proleptic Gregorian); Julian
  // dates converted by hand to the Gregorian day first (1582-10-04 J = 1582-10-14 G, 1500-03-01
  // J = 1500-03-11 G, 1000-01-01 J = 1000-01-06 G).
  struct Case {
    int y, mo, d, h, mi;
    double s;
    double expected;
  } cases[] = {
      {1970, 1, 1, 0, 0, 0, 0.0},
      {2000, 3, 1, 0, 0, 0, 951868800.0},
      {2000, 2, 29, 0, 0, 0, 951782400.0},
      {1900, 3, 1, 0, 0, 0, -2203891200.0},
      {2100, 3, 1, 0, 0, 0, 4107542400.0},
      {1600, 2, 29, 0, 0, 0, -11670998400.0},
      {2001, 1, 31, 0, 0, 0, 980899200.0},
      {2001, 2, 28, 0, 0, 0, 983318400.0},
      {2038, 1, 19, 3, 14, 7, 2147483647.0},
      {1969, 12, 31, 23, 59, 59, -1.0},
      {2001, 2, 3, 4, 5, 6.5, 981173106.5},
      {2001, 12, 7, 25, 0, 0, 1007773200.0},   // hour 25 carries into 8 December
      {2001, 12, 8, -23, 0, 0, 1007686800.0},  // and back: 7 December 01:00
      {1582, 10, 15, 0, 0, 0, -12219292800.0},  // first Gregorian day
      {1582, 10, 4, 0, 0, 0, -12219379200.0},   // last Julian day, the day before
      {1500, 3, 1, 0, 0, 0, -14825808000.0},
      {1000, 1, 1, 0, 0, 0, -30609792000.0},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(CalendarToUnixSeconds(c.y, c.mo, c.d, c.h, c.mi, c.s), c.expected)
        << c.y << "-" << c.mo << "-" << c.d;
}

TEST(TimeUtils, CalendarToUnixSecondsCountsEveryDayOnce)
{
  // Property: walking the Gregorian calendar day by day, each day is 86,400 s after the previous.
  auto daysIn = [](int y, int m) {
    static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : len[m - 1];
  };
  double prev = CalendarToUnixSeconds(1582, 10, 15, 0, 0, 0);
  int errors = 0;
  for (int y = 1582; y <= 2400 && errors < 5; ++y)
    for (int m = (y == 1582 ? 10 : 1); m <= 12; ++m)
      for (int d = (y == 1582 && m == 10 ? 16 : 1); d <= daysIn(y, m); ++d) {
        const double t = CalendarToUnixSeconds(y, m, d, 0, 0, 0);
        if (t - prev != 86400.0) {
          ADD_FAILURE() << y << "-" << m << "-" << d;
          ++errors;
        }
        prev = t;
      }
}

TEST(TimeUtils, FormatUnixDateTimeByPattern)
{
  const double t = 1007726400.25;  // 2001-12-07 12:00:00.25 (Python datetime, UTC)
  const double u = 981173106.0;    // 2001-02-03 04:05:06 (date -u -d @981173106)
  struct Case {
    const char* pattern;
    double t;
    const char* text;
  } cases[] = {
      {"YYYY-MM-DD hh:mm:ss.s", t, "2001-12-07 12:00:00.2"},
      {"DD MMm YY", t, "07 Dec 01"},
      {"MMM MmM Mmm MMm", t, "DEC DEC Dec Dec"},
      {"YYY Y Mm", t, "001 1 12"},
      {"M/D/Y h:m:s", u, "2/3/1 4:5:6"},
      {"s.s", u + 0.96, "6.9"},
      {"hh:mm:ss.s", 1007726400.96, "12:00:00.9"},
      {"<hh>xyz", u, "<04>xyz"},                       // other characters are copied
      {"YYYYMMDD", 2147483646.0, "20380119"},
      {"YYYY-MM-DD hh:mm:ss", 2147483647.0, "1970-01-01 03:14:07"},  // reduced to time of day
      {"YYYY-MM-DD hh:mm:ss.s", -1.5, "1970-01-01 23:59:58.5"},      // negative: time of day
      {"hh:mm:ss", 1e300, "17:36:00"},  // Python math.fmod(1e300, 86400) = 63360
      {"hh:mm:ss", NAN, "00:00:00"},
      {"_hh:mm:ss.s", 3723.4, "_01:02:03.4"},
      {"", t, ""},
  };
  for (const Case& c : cases) {
    char buf[64];
    FormatUnixDateTime(c.pattern, c.t, buf, sizeof buf);
    EXPECT_STREQ(buf, c.text) << c.pattern;
    EXPECT_EQ(FormatUnixDateTime(c.pattern, c.t), c.text) << c.pattern;
  }
}

TEST(TimeUtils, FormatUnixDateTimeNeverWritesPastTheBuffer)
{
  char buf[8];
  std::fill(std::begin(buf), std::end(buf), 'x');
  FormatUnixDateTime("YYYY-MM-DD hh:mm:ss", 1007726400.0, buf, 5);
  EXPECT_STREQ(buf, "2001");
  EXPECT_EQ(buf[5], 'x');
  FormatUnixDateTime("hh", 0.0, buf, 0);  // no room at all: nothing written
  EXPECT_EQ(buf[0], '2');
  // A long user pattern through the string form is never cut.
  const std::string pattern(500, 'M');
  EXPECT_EQ(FormatUnixDateTime(pattern.c_str(), 0.0).size(), 500u);  // 166 x "JAN" + "01"
}

TEST(TimeUtils, ParseDateTimeByFormatReadsNamedFields)
{
  const double jan1 = 978307230.0;  // 2001-01-01 00:00:30 (calendar.timegm)
  const double dec17 = 1008547200.0;  // 2001-12-17 00:00:00
  struct Case {
    const char* pattern;
    double base;
    const char* input;
    double expected;
    int consumed;
  } cases[] = {
      {"hh:mm", jan1, "13:45", 978356730.0, 5},  // 2001-01-01 13:45:30, seconds kept
      {"YYYY-MM-DD hh:mm:ss.s", 0.0, "2001-12-07 12:00:00.2", 1007726400.2, 21},
      {"yYYY-MM-DD", 0.0, "2001-12-07", 1007683200.0, 10},
      {"DD Mmm YYYY", 0.0, "07 dec 2001", 1007683200.0, 11},
      {"DD MMM YYYY", 0.0, "07 DEC 2001", 1007683200.0, 11},
      {"YY", dec17, "05", 1134777600.0, 2},      // 2005-12-17
      {"D", dec17, "9", 1008720000.0, 1},        // day 17 -> 19: last digit replaced
      {"M", dec17, "1", 1005955200.0, 1},        // month 12 -> 11
      {"MMM DD", dec17, "xyz 03", 1007337600.0, 6},  // no month matches: 2001-12-03
      {"hh:mm:ss", dec17, "13", 1008594000.0, 2},  // input ends: minutes and seconds kept
      {"ss.s", dec17, "30", 1008547230.0, 2},
      {"hh:mm", dec17, "13:45 rest", 1008596700.0, 5},
  };
  for (const Case& c : cases) {
    double t = c.base;
    const char* pos = c.input;
    EXPECT_TRUE(ParseDateTimeByFormat(c.pattern, &t, &pos)) << c.pattern;
    EXPECT_NEAR(t, c.expected, 1e-6) << c.pattern << " on " << c.input;
    EXPECT_EQ(pos - c.input, c.consumed) << c.pattern << " on " << c.input;
  }
}

TEST(TimeUtils, FormatThenParseGivesTheTimeBack)
{
  const char* pattern = "YYYY-MM-DD hh:mm:ss";
  for (double t : {0.0, 951782400.0, 1007726400.0, 1234567890.0, 2147483646.0}) {
    const std::string text = FormatUnixDateTime(pattern, t);
    double back = 0.0;
    const char* pos = text.c_str();
    ParseDateTimeByFormat(pattern, &back, &pos);
    EXPECT_DOUBLE_EQ(back, t) << text;
  }
}

TEST(TimeUtils, ParseTimeStringReadsTimesAndDates)
{
  const double dec7 = 1007683200.0;  // 2001-12-07 00:00:00 (calendar.timegm)
  struct Case {
    const char* text;
    double base;
    double expected;
    int consumed;
  } cases[] = {
      {"12:30:00", 0.0, 45000.0, 8},
      {"12:30", 0.0, 45000.0, 5},
      {"25:00:00", 0.0, 90000.0, 8},  // linear sum: carries into the next day
      {"7.12.2001 12:30", 0.0, 1007728200.0, 15},
      {"07.12.2001", 0.0, dec7, 10},
      {"2001-12-07 12:30:00", 0.0, 1007728200.0, 19},
      {"2001-12-07", 0.0, dec7, 10},
      {"12:30 7.12.2001", 0.0, 1007728200.0, 15},
      {"7.12 12:30", 0.0, 29421000.0, 10},  // no year: the base's 1970 (1970-12-07 12:30)
      {"12:30:00 rest", 0.0, 45000.0, 9},
      {"12:30", dec7, 1007728200.0, 5},     // the base's date is kept, December stays December
      {"abc", dec7, dec7, 0},
      {"12x", 0.0, 0.0, 0},                 // a number that fits no rule ends the parse there
      {"", 0.0, 0.0, 0},
  };
  for (const Case& c : cases) {
    double result = -1.0;
    const char* end = ParseTimeString(c.text, c.base, &result, '.', ':');
    EXPECT_DOUBLE_EQ(result, c.expected) << c.text;
    EXPECT_EQ(end - c.text, c.consumed) << c.text;
  }
  // Null result: only the position.
  const char* text = "12:30";
  EXPECT_EQ(ParseTimeString(text, 0.0, nullptr, '.', ':'), text + 5);
  // Absurdly long numbers neither overflow nor crash.
  double r = 0.0;
  ParseTimeString("999999999999999999999999:99999999999999999999", 0.0, &r, '.', ':');
  EXPECT_TRUE(std::isfinite(r));
}

TEST(TimeUtils, ParseDigitsAndIsLetter)
{
  const char* p = "12345x";
  EXPECT_EQ(ParseDigits(&p, 3), 123);
  EXPECT_STREQ(p, "45x");
  EXPECT_EQ(ParseDigits(&p, 4), 45);
  EXPECT_STREQ(p, "x");
  EXPECT_EQ(ParseDigits(&p, 2), 0);
  EXPECT_STREQ(p, "x");
  // More than nine digits are never read into an int: the rest stays for the caller.
  const char* longRun = "12345678901234567890";
  EXPECT_EQ(ParseDigits(&longRun, 20), 123456789);
  EXPECT_STREQ(longRun, "01234567890");
  EXPECT_TRUE(IsLetter('a') && IsLetter('Z'));
  EXPECT_FALSE(IsLetter('0') || IsLetter('@') || IsLetter('[') || IsLetter('\xE4'));
}

}  // namespace

namespace {

TEST(TimeUtils, RandomPatternsAndTextsStayInTheirBuffers)
{
  // Random patterns and inputs built from the characters that matter, each in a heap block of
  // exactly its size, so that the address sanitizer sees any read or write past the end.
  const char alphabet[] = "YyMmDhs.:- 0123456789JanDECx\t";
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto randomText = [&](size_t len) {
    std::unique_ptr<char[]> text(new char[len + 1]);
    for (size_t i = 0; i < len; ++i) text[i] = alphabet[next() % (sizeof alphabet - 1)];
    text[len] = '\0';
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    const auto pattern = randomText(next() % 12);
    const auto input = randomText(next() % 12);
    const double t = static_cast<double>(next()) * (next() % 2 ? 1.0 : -1.0) + (next() % 10) * 0.1;

    const size_t outSize = next() % 24;
    std::unique_ptr<char[]> out(new char[outSize ? outSize : 1]);
    FormatUnixDateTime(pattern.get(), t, out.get(), outSize);
    if (outSize) {
      EXPECT_LT(std::strlen(out.get()), outSize);
    }

    double value = t;
    const char* pos = input.get();
    ParseDateTimeByFormat(pattern.get(), &value, &pos);
    EXPECT_TRUE(pos >= input.get() && pos <= input.get() + std::strlen(input.get()));
    EXPECT_TRUE(std::isfinite(value));

    double result = 0.0;
    const char* end = ParseTimeString(input.get(), t, &result, '.', ':');
    EXPECT_TRUE(end >= input.get() && end <= input.get() + std::strlen(input.get()));
    EXPECT_TRUE(std::isfinite(result));
  }
}

}  // namespace
