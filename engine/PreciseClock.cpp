// The precise clock: system time smoothed against the performance counter.
#include "engine/PreciseClock.h"

#include "engine/MachineConfig.h"
#include "engine/TimeUtils.h"
#include "platform/PerfCounter.h"

#include <cmath>

std::atomic<double> g_PerfCounterPeriod{0.0};
std::atomic<double> g_PerfCounterTimeOffset{0.0};
std::atomic<double> g_PreciseClockLastSysTime{0.0};
std::atomic<int> g_LocalMinusUtcHours{0};

namespace {

constexpr double kSmoothingPerSecond = 0.1;  // weight of the new offset per second since the last reading
constexpr double kStepThreshold = 1.0;       // seconds of disagreement that make the offset jump

// Held while one thread runs the smoothing step; never waited for.
std::atomic_flag g_ClockUpdateBusy;

// The system clock's UTC time: local date and time minus the configured hours.
double SystemClockUtc()
{
  const LocalDateTime lt = GetLocalDateTime();
  const double local = CalendarToUnixSeconds(lt.year, lt.month, lt.day, lt.hour, lt.minute,
                                             lt.second + lt.ms * 0.001);
  return local - g_LocalMinusUtcHours.load(std::memory_order_relaxed) * 3600.0;
}

}  // namespace

bool InitPreciseClock()
{
  g_LocalMinusUtcHours.store(MachineConfig.LocalMinusUTC.load());
  const int64_t frequency = QueryPerformanceFrequency();
  g_PerfCounterPeriod.store(frequency > 0 ? 1.0 / static_cast<double>(frequency) : 0.0);
  const double t = GetPreciseUnixTime(false);
  const int64_t c = QueryPerformanceCounter();
  g_PerfCounterTimeOffset.store(t - static_cast<double>(c) * g_PerfCounterPeriod.load());
  return true;
}

double GetPreciseUnixTime(bool precise)
{
  const double t = SystemClockUtc();
  const double period = g_PerfCounterPeriod.load(std::memory_order_relaxed);
  const double c = static_cast<double>(QueryPerformanceCounter());

  if (!g_ClockUpdateBusy.test_and_set(std::memory_order_acquire)) {
    const double offset = g_PerfCounterTimeOffset.load(std::memory_order_relaxed);
    const double candidate = t - c * period;  // the offset that makes the counter agree now
    double w;
    if (std::fabs(candidate - offset) >= kStepThreshold) {
      w = 1.0;  // first reading, or the PC clock was set
    } else {
      w = (t - g_PreciseClockLastSysTime.load(std::memory_order_relaxed)) * kSmoothingPerSecond;
      if (w > 1.0) w = 1.0;
      if (!(w >= 0.0)) w = 0.0;  // negative or not a number
    }
    g_PerfCounterTimeOffset.store(offset + (candidate - offset) * w, std::memory_order_relaxed);
    g_PreciseClockLastSysTime.store(t, std::memory_order_relaxed);
    g_ClockUpdateBusy.clear(std::memory_order_release);
  }

  if (precise && period > 0.0) return c * period + g_PerfCounterTimeOffset.load(std::memory_order_relaxed);
  return t;
}

double PerfCounterToUnixTime(long long ticks)
{
  return static_cast<double>(ticks) * g_PerfCounterPeriod.load(std::memory_order_relaxed) +
         g_PerfCounterTimeOffset.load(std::memory_order_relaxed);
}

void ResetPreciseClock()
{
  g_PerfCounterPeriod.store(0.0);
  g_PerfCounterTimeOffset.store(0.0);
  g_PreciseClockLastSysTime.store(0.0);
  g_LocalMinusUtcHours.store(0);
}
