// Level conversions, unit symbols and system error texts.
#include "engine/MiscUtils.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(MiscUtils, AmplitudeToDbAndBack)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double x, db;
  } cases[] = {
      {1.0, 0.0}, {10.0, 20.0}, {0.1, -20.0}, {32768.0, 90.308998699194}, // 20*log10(32768)
      {0.0, -100.0}, {-1.0, -100.0}, {nan, -100.0}, {1e-10, -200.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(AmplitudeToDb(c.x), c.db, 1e-9) << c.x;

  EXPECT_NEAR(DbToLinear(-20.0), 0.1, 1e-15);
  EXPECT_NEAR(DbToLinear(0.0), 1.0, 1e-15);
  EXPECT_NEAR(DbToLinear(6.020599913279624), 2.0, 1e-12);  // 20*log10(2)
  for (double x : {1e-6, 0.37, 1.0, 42.0, 3e4}) EXPECT_NEAR(DbToLinear(AmplitudeToDb(x)) / x, 1.0, 1e-12);
}

TEST(MiscUtils, UnitSymbols)
{
  struct Case {
    int unit;
    const char* text;
  } cases[] = {{1, "V"}, {2, "W"}, {3, "\xC2\xB0"}, {4, "dB"}, {5, "?"}, {0, "?"}, {-1, "?"}};
  for (const Case& c : cases) EXPECT_STREQ(UnitSymbolToString(c.unit), c.text) << c.unit;
}

TEST(MiscUtils, SystemErrorTexts)
{
  // The same text as the C library gives in the current locale, cut to 99 characters.
  for (int code : {ENOENT, EACCES, ENOSPC}) {
    const char* text = GetWinErrorText(code);
    ASSERT_NE(text, nullptr);
    EXPECT_GT(std::strlen(text), 0u);
    EXPECT_LE(std::strlen(text), 99u);
    EXPECT_EQ(std::strncmp(text, std::strerror(code), 99), 0) << code;
  }
  EXPECT_STREQ(GetWinErrorText(99999), "");  // a code without a text
  EXPECT_STREQ(GetWinErrorText(-3), "");
}

}  // namespace
