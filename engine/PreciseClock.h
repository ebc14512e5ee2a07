#pragma once
// The system's one clock: UTC as Unix seconds (double), from the PC's local date and time and
// the configured local-minus-UTC hours, optionally refined with the performance counter.
//
// The counter-based time is counter x g_PerfCounterPeriod + g_PerfCounterTimeOffset. Every
// reading pulls the offset towards the value that makes the counter agree with the system
// clock, with the weight 0.1 per second since the previous reading (10 s or more: fully), and
// sets it at once when the two disagree by 1 s or more (first reading, PC clock set).
// The clock never sets the PC's time.
//
// Thread safety: the GUI thread and the audio thread call GetPreciseUnixTime at once. The state
// values are atomics (never torn); the smoothing step runs under a try-flag that is never
// waited for: a caller that finds the other thread inside the step reads the clock without
// advancing it (the other thread is advancing it with practically the same reading).
#include <atomic>

// Seconds per performance-counter tick; 0 when no counter is available. Set by InitPreciseClock.
extern std::atomic<double> g_PerfCounterPeriod;
// Unix time (UTC seconds) that corresponds to counter value 0.
extern std::atomic<double> g_PerfCounterTimeOffset;
// System-clock UTC time of the previous reading.
extern std::atomic<double> g_PreciseClockLastSysTime;
// Local time minus UTC in whole hours: a copy of MachineConfig.LocalMinusUTC that the main
// window sets after loading the machine settings and the configuration dialog sets while the
// user edits it (live preview). A change shifts the time by whole hours (the next reading steps).
extern std::atomic<int> g_LocalMinusUtcHours;

// Once at start, after the settings are loaded: takes g_LocalMinusUtcHours from
// MachineConfig.LocalMinusUTC, reads the counter frequency, takes a first reading and aligns
// the counter offset to it. Callers may ignore the result (always true).
bool InitPreciseClock();

// Current UTC time in Unix seconds. precise false: the system clock's value (millisecond
// resolution); precise true: the counter-based value (the system clock's value when there is
// no counter). Both advance the smoothing state.
double GetPreciseUnixTime(bool precise);

// Counter-based time without advancing the state (for code that holds its own counter reading,
// e.g. the time-signal decoder): ticks x period + offset.
double PerfCounterToUnixTime(long long ticks);

// Back to the zero state of program start (tests).
void ResetPreciseClock();
