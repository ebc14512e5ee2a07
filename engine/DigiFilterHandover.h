#pragma once
// Hand-over of an edited filter to the running one (g_DigiFilters) without a torn record.
//
// The GUI thread (ActivateEditedFilter, control/FilterHandover.h) copies a record into
// g_DigiFilters[ch] only while it holds g_DigiFilterHandoverLock[ch]. The audio thread runs the
// running filter of a channel only through DigiFilter_ProcessRunning, which try-locks the same
// lock and never waits: while a copy is in progress it skips the filter for that block (the
// caller then does what it does for a stopped filter: bypass with gain, or silence).
#include <atomic>

class CDigiFilterHandoverLock {
public:
  // Audio thread: takes the lock when free; never waits. True when taken.
  bool TryLock() noexcept { return !m_held.exchange(true, std::memory_order_acquire); }
  // GUI thread: waits (yielding) until the audio thread has left its filter call.
  void Lock() noexcept;
  void Unlock() noexcept { m_held.store(false, std::memory_order_release); }

private:
  std::atomic<bool> m_held{false};
};

// One lock per channel (0 left, 1 right).
extern CDigiFilterHandoverLock g_DigiFilterHandoverLock[2];

// The audio thread's filter call for channel ch (0 or 1): DigiFilter_Process over n samples of
// g_DigiFilters[ch] (out[i] = y[i] * gain); when peakZ is not null it also receives
// DigiFilter_PeakZ of the record after the block (the peak test), read under the same lock.
// Returns false, writing nothing, when a hand-over holds the channel or ch is not 0 or 1.
// Real-time safe: no allocation, no waiting.
bool DigiFilter_ProcessRunning(int ch, const double* in, double* out, double gain, int n,
                               double* peakZ = nullptr);
