// The performance counter and the wall clock: real sources against the C library, and the
// test hooks.
#include "platform/PerfCounter.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(PerfCounter, RealCounterIsMonotonicNanoseconds)
{
  EXPECT_EQ(QueryPerformanceFrequency(), 1000000000);
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  int64_t before = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  int64_t a = QueryPerformanceCounter();
  int64_t b = QueryPerformanceCounter();
  clock_gettime(CLOCK_MONOTONIC, &ts);
  int64_t after = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  EXPECT_LE(before, a);
  EXPECT_LE(a, b);
  EXPECT_LE(b, after);
}

TEST(PerfCounter, SourcesCanBeReplacedAndRestored)
{
  int64_t ticks = 1000;
  SetPerformanceCounterSource([&] { return ticks += 5; }, 48000);
  EXPECT_EQ(QueryPerformanceFrequency(), 48000);
  EXPECT_EQ(QueryPerformanceCounter(), 1005);
  EXPECT_EQ(QueryPerformanceCounter(), 1010);
  SetPerformanceCounterSource(nullptr, 0);
  EXPECT_EQ(QueryPerformanceFrequency(), 1000000000);
  EXPECT_GT(QueryPerformanceCounter(), 1000000);  // the real clock again (uptime in ns)

  SetSystemUnixTimeSource([] { return 1700000000.25; });
  EXPECT_EQ(GetSystemUnixTime(), 1700000000.25);
  SetSystemUnixTimeSource({});
  EXPECT_GT(GetSystemUnixTime(), 1700000000.0);

  LocalDateTime fixed{2024, 2, 29, 23, 59, 58, 999, 4};
  SetLocalDateTimeSource([&] { return fixed; });
  LocalDateTime d = GetLocalDateTime();
  EXPECT_EQ(d.year, 2024);
  EXPECT_EQ(d.day, 29);
  EXPECT_EQ(d.ms, 999);
  SetLocalDateTimeSource({});
  EXPECT_GE(GetLocalDateTime().year, 2024);
}

// The local time is CLOCK_REALTIME through localtime_r: under a fixed POSIX zone its fields
// give back the Unix time shifted by the zone's offset.
TEST(PerfCounter, LocalTimeFollowsTheTimeZone)
{
  const char* oldTz = std::getenv("TZ");
  std::string saved = oldTz ? oldTz : "";
  struct Zone {
    const char* tz;
    long offsetSec;  // local minus UTC
  };
  for (Zone z : {Zone{"UTC0", 0}, Zone{"EST5", -5 * 3600}, Zone{"IST-5:30", 5 * 3600 + 1800}}) {
    setenv("TZ", z.tz, 1);
    tzset();
    double t1 = GetSystemUnixTime();
    LocalDateTime d = GetLocalDateTime();
    double t2 = GetSystemUnixTime();
    tm t{};
    t.tm_year = d.year - 1900;
    t.tm_mon = d.month - 1;
    t.tm_mday = d.day;
    t.tm_hour = d.hour;
    t.tm_min = d.minute;
    t.tm_sec = d.second;
    double local = static_cast<double>(timegm(&t)) + d.ms * 0.001;
    double utc = local - static_cast<double>(z.offsetSec);
    EXPECT_GE(utc, std::floor(t1 * 1000) / 1000 - 0.001) << z.tz;
    EXPECT_LE(utc, t2 + 0.001) << z.tz;
    EXPECT_EQ(d.dayOfWeek, t.tm_wday) << z.tz;  // timegm filled in the weekday
    EXPECT_GE(d.ms, 0);
    EXPECT_LE(d.ms, 999);
  }
  if (oldTz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
