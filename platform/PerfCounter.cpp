// Performance counter and wall clock. The real sources read clock_gettime; tests replace
// them through the Set...Source hooks.
#include "platform/PerfCounter.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

struct CounterSource {
  std::function<int64_t()> counter;
  int64_t frequency;
};

// Replaced sources, published with release/acquire so that a reader on another thread sees a
// complete object. The hooks are for tests: set them while no other thread reads the clock
// (the old source is freed on replacement).
std::atomic<CounterSource*> g_counter{nullptr};
std::atomic<std::function<LocalDateTime()>*> g_localTime{nullptr};
std::atomic<std::function<double()>*> g_unixTime{nullptr};
std::atomic<std::function<bool(double, std::string*)>*> g_clockSetter{nullptr};

template <class T>
void Replace(std::atomic<T*>& slot, T* fresh)
{
  delete slot.exchange(fresh, std::memory_order_acq_rel);
}

}  // namespace

int64_t QueryPerformanceCounter()
{
  if (CounterSource* s = g_counter.load(std::memory_order_acquire)) return s->counter();
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t QueryPerformanceFrequency()
{
  if (CounterSource* s = g_counter.load(std::memory_order_acquire)) return s->frequency;
  return 1000000000;
}

LocalDateTime GetLocalDateTime()
{
  if (auto* f = g_localTime.load(std::memory_order_acquire)) return (*f)();
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  LocalDateTime d;
  d.year = t.tm_year + 1900;
  d.month = t.tm_mon + 1;
  d.day = t.tm_mday;
  d.hour = t.tm_hour;
  d.minute = t.tm_min;
  d.second = t.tm_sec > 59 ? 59 : t.tm_sec;  // a leap second shows as :59
  d.ms = static_cast<int>(ts.tv_nsec / 1000000);
  d.dayOfWeek = t.tm_wday;
  return d;
}

double GetSystemUnixTime()
{
  if (auto* f = g_unixTime.load(std::memory_order_acquire)) return (*f)();
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SetPerformanceCounterSource(std::function<int64_t()> counter, int64_t frequency)
{
  Replace(g_counter, counter && frequency > 0 ? new CounterSource{std::move(counter), frequency}
                                             : nullptr);
}

void SetLocalDateTimeSource(std::function<LocalDateTime()> source)
{
  Replace(g_localTime, source ? new std::function<LocalDateTime()>(std::move(source)) : nullptr);
}

void SetSystemUnixTimeSource(std::function<double()> source)
{
  Replace(g_unixTime, source ? new std::function<double()>(std::move(source)) : nullptr);
}

bool SetSystemClock(double unixSeconds, std::string* error)
{
  if (auto* f = g_clockSetter.load(std::memory_order_acquire)) return (*f)(unixSeconds, error);
  // 0 .. year 2100; anything else is not a time to set.
  if (!(unixSeconds >= 0.0 && unixSeconds < 4102444800.0)) {
    if (error) *error = "Invalid time";
    return false;
  }
  timespec ts;
  ts.tv_sec = static_cast<time_t>(std::floor(unixSeconds));
  ts.tv_nsec = static_cast<long>((unixSeconds - std::floor(unixSeconds)) * 1e9);
  if (ts.tv_nsec > 999999999) ts.tv_nsec = 999999999;
  if (clock_settime(CLOCK_REALTIME, &ts) == 0) return true;
  if (error) *error = std::strerror(errno);
  return false;
}

void SetSystemClockSetter(std::function<bool(double, std::string*)> setter)
{
  Replace(g_clockSetter,
          setter ? new std::function<bool(double, std::string*)>(std::move(setter)) : nullptr);
}
