// After the application object switched everything to the user's locale, the program puts
// only the numeric part back to "C".
#include "platform/Locale.h"

#include <clocale>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

TEST(Locale, NumericPartGoesBackToC)
{
  std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2f", 2.5);
  EXPECT_STREQ(buf, "2,50");  // the German locale is really in force

  SetNumericLocaleC();
  std::snprintf(buf, sizeof buf, "%.2f", 2.5);
  EXPECT_STREQ(buf, "2.50");
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  EXPECT_EQ(std::string(std::setlocale(LC_CTYPE, nullptr)), "de_DE.UTF-8");  // the rest stays

  std::setlocale(LC_ALL, saved.c_str());
}
