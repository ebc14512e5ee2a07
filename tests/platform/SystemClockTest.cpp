// The clock setter: invalid times are refused before the system is asked; the test hook
// replaces the system call (no test sets the real clock).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/PerfCounter.h"

TEST(SystemClock, RefusesTimesThatAreNotTimes)
{
  for (double t : {-1.0, std::nan(""), std::numeric_limits<double>::infinity(), 5e9}) {
    std::string error;
    EXPECT_FALSE(SetSystemClock(t, &error)) << t;
    EXPECT_EQ(error, "Invalid time");
  }
}

TEST(SystemClock, TheHookReplacesTheSystemCall)
{
  double seen = 0;
  SetSystemClockSetter([&](double t, std::string* error) {
    seen = t;
    *error = "refused";
    return false;
  });
  std::string error;
  EXPECT_FALSE(SetSystemClock(1.8e9, &error));
  EXPECT_EQ(seen, 1.8e9);
  EXPECT_EQ(error, "refused");
  SetSystemClockSetter({});
}
