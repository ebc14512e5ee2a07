// The precise clock with an injected performance counter and an injected local wall clock.
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "platform/PerfCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <thread>

namespace {

// A simulated PC: the counter runs at 1 MHz from `trueTime`; the wall clock shows
// trueTime + wallError (local time = UTC + localHours) in whole milliseconds.
struct SimulatedPc {
  std::atomic<double> trueTime{1007726400.0};  // 2001-12-07 12:00:00 UTC
  std::atomic<double> wallError{0.0};
  std::atomic<int> localHours{0};
  int64_t frequency = 1000000;
};
SimulatedPc g_pc;

LocalDateTime SimulatedLocalTime()
{
  const double wall = g_pc.trueTime.load() + g_pc.wallError.load() + g_pc.localHours.load() * 3600.0;
  const double ms = std::floor(wall * 1000.0 + 1e-6);  // the wall clock's millisecond steps
  const time_t secs = static_cast<time_t>(std::floor(ms / 1000.0));
  std::tm tm{};
  gmtime_r(&secs, &tm);
  return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                       tm.tm_sec, static_cast<int>(ms - secs * 1000.0), tm.tm_wday};
}

class PreciseClockTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    g_pc.trueTime = 1007726400.0;
    g_pc.wallError = 0.0;
    g_pc.localHours = 0;
    g_pc.frequency = 1000000;
    m_savedHours = MachineConfig.LocalMinusUTC;
    MachineConfig.LocalMinusUTC = 0;
    ResetPreciseClock();
    SetLocalDateTimeSource(SimulatedLocalTime);
    UseCounter(1000000);
  }
  void TearDown() override
  {
    SetPerformanceCounterSource(nullptr, 0);
    SetLocalDateTimeSource({});
    ResetPreciseClock();
    MachineConfig.LocalMinusUTC = m_savedHours;
  }
  static void UseCounter(int64_t frequency)
  {
    g_pc.frequency = frequency;
    // Counter 0 is about 1,000 s before the test's start.
    SetPerformanceCounterSource(
        [] { return static_cast<int64_t>(std::llround((g_pc.trueTime.load() - 1007725400.0) * 1e6)); },
        frequency);
  }
  static void Advance(double seconds) { g_pc.trueTime = g_pc.trueTime.load() + seconds; }

  int m_savedHours = 0;
};

TEST_F(PreciseClockTest, LocalTimeMinusConfiguredHours)
{
  // Local 01:00:00 on 1 January 1970 with local minus UTC = 1 h is Unix time 0.
  g_pc.trueTime = 0.0;
  g_pc.localHours = 1;
  MachineConfig.LocalMinusUTC = 1;
  InitPreciseClock();
  EXPECT_EQ(g_LocalMinusUtcHours.load(), 1);
  EXPECT_DOUBLE_EQ(GetPreciseUnixTime(false), 0.0);
  EXPECT_NEAR(GetPreciseUnixTime(true), 0.0, 1e-6);

  // A change of the hours (the dialog's live preview) steps the next reading at once.
  g_LocalMinusUtcHours = 2;
  EXPECT_DOUBLE_EQ(GetPreciseUnixTime(false), -3600.0);
  EXPECT_NEAR(GetPreciseUnixTime(true), -3600.0, 1e-6);
}

TEST_F(PreciseClockTest, WithoutCounterEveryReadingIsTheSystemClock)
{
  // Linux always has a counter; the state without one is a period of 0.
  InitPreciseClock();
  g_PerfCounterPeriod = 0.0;
  Advance(0.0123);
  EXPECT_DOUBLE_EQ(GetPreciseUnixTime(true), 1007726400.012);  // the wall clock's milliseconds
  EXPECT_DOUBLE_EQ(GetPreciseUnixTime(false), 1007726400.012);
}

TEST_F(PreciseClockTest, PreciseReadingsAreFinerThanTheSystemClock)
{
  InitPreciseClock();
  EXPECT_DOUBLE_EQ(g_PerfCounterPeriod.load(), 1e-6);
  double prevPrecise = GetPreciseUnixTime(true);
  double prevSystem = GetPreciseUnixTime(false);
  for (int i = 0; i < 50; ++i) {
    Advance(0.0002);  // 0.2 ms: the system clock moves by 0 or 1 ms
    const double precise = GetPreciseUnixTime(true);
    const double system = GetPreciseUnixTime(false);
    EXPECT_NEAR(precise - prevPrecise, 0.0002, 2e-6) << i;
    EXPECT_TRUE(std::fabs(system - prevSystem) < 1e-6 || std::fabs(system - prevSystem - 0.001) < 1e-6) << i;
    prevPrecise = precise;
    prevSystem = system;
  }
  // Two readings 1 ms apart differ by about 1 ms.
  const double a = GetPreciseUnixTime(true);
  Advance(0.001);
  EXPECT_NEAR(GetPreciseUnixTime(true) - a, 0.001, 2e-6);
}

TEST_F(PreciseClockTest, FollowsTheSystemClockWithWeightPerSecond)
{
  InitPreciseClock();
  // The PC clock runs 0.5 s ahead from now on (less than the step threshold). Each reading
  // moves the offset by the weight 0.1 per second of system time since the previous reading.
  double lastSys = GetPreciseUnixTime(false);
  double error = 0.0;  // precise reading minus true time
  g_pc.wallError = 0.5;
  for (int i = 1; i <= 5; ++i) {
    Advance(1.0);
    const double sys = g_pc.trueTime.load() + 0.5;
    const double w = std::min(1.0, (sys - lastSys) * 0.1);  // 0.15 first (the 0.5 s jump), then 0.1
    error += (0.5 - error) * w;
    lastSys = sys;
    EXPECT_NEAR(GetPreciseUnixTime(true) - g_pc.trueTime.load(), error, 2e-6) << i;
  }
  EXPECT_NEAR(error, 0.5 - 0.5 * 0.85 * 0.9 * 0.9 * 0.9 * 0.9, 1e-12);
  // A wall clock that goes back (less than a second) gives weight 0: the offset stays.
  g_pc.wallError = 0.0;
  Advance(0.2);
  GetPreciseUnixTime(false);
  g_pc.wallError = -0.3;
  Advance(0.1);
  EXPECT_NEAR(GetPreciseUnixTime(true) - g_pc.trueTime.load(), error, 2e-6);
  // Ten seconds or more after the previous reading: the system clock's offset fully.
  Advance(12.0);
  EXPECT_NEAR(GetPreciseUnixTime(true) - g_pc.trueTime.load(), -0.3, 2e-6);
}

TEST_F(PreciseClockTest, StepsAtOnceWhenThePcClockIsSet)
{
  InitPreciseClock();
  Advance(0.01);
  const double before = GetPreciseUnixTime(true);
  g_pc.wallError = 5.0;  // the PC clock is set forward by 5 s
  Advance(0.001);
  EXPECT_NEAR(GetPreciseUnixTime(true) - before, 5.001, 2e-6);
  g_pc.wallError = -2.0;  // and back
  Advance(0.001);
  EXPECT_NEAR(GetPreciseUnixTime(true) - g_pc.trueTime.load(), -2.0, 2e-6);
}

TEST_F(PreciseClockTest, TwoThreadsReadAtOnce)
{
  InitPreciseClock();
  // One thread advances the simulated time (audio thread), both read. No reading may be torn:
  // every one lies within the simulated time span.
  const double start = g_pc.trueTime.load();
  std::atomic<bool> bad{false};
  auto reader = [&](bool advance) {
    for (int i = 0; i < 20000; ++i) {
      if (advance) Advance(1e-5);
      const double t = GetPreciseUnixTime(i % 2 == 0);
      if (!(t >= start - 0.002 && t <= start + 0.2 + 0.002)) bad = true;
    }
  };
  std::thread audio(reader, true);
  reader(false);
  audio.join();
  EXPECT_FALSE(bad.load());
}

}  // namespace
