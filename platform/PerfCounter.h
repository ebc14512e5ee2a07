#pragma once
// The performance counter and the local wall clock, both replaceable for tests.
#include <cstdint>
#include <functional>
#include <string>

// Monotonic counter in ticks (CLOCK_MONOTONIC in nanoseconds by default).
int64_t QueryPerformanceCounter();
// Ticks per second (1e9 by default).
int64_t QueryPerformanceFrequency();

// Broken-down local time with milliseconds, like the platform's SYSTEMTIME.
struct LocalDateTime {
  int year, month, day;           // month 1..12, day 1..31
  int hour, minute, second, ms;   // 0..23, 0..59, 0..59, 0..999
  int dayOfWeek;                  // 0 = Sunday
};
LocalDateTime GetLocalDateTime();
// Wall clock: Unix seconds (UTC) as double, from CLOCK_REALTIME by default.
double GetSystemUnixTime();

// Sets the system clock (CLOCK_REALTIME) to the Unix time (UTC seconds). On failure returns
// false and puts the system's error text into *error (when not null); needs the right to set
// the clock (root or CAP_SYS_TIME).
bool SetSystemClock(double unixSeconds, std::string* error);

// Test hooks: replace the sources (pass nullptr / {} to restore the real ones).
void SetPerformanceCounterSource(std::function<int64_t()> counter, int64_t frequency);
void SetLocalDateTimeSource(std::function<LocalDateTime()> source);
void SetSystemUnixTimeSource(std::function<double()> source);
// Replaces the clock setter; tests never set the real clock.
void SetSystemClockSetter(std::function<bool(double unixSeconds, std::string* error)> setter);
