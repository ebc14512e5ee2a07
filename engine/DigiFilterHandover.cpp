#include "engine/DigiFilterHandover.h"

#include <thread>

#include "engine/DigiFilter.h"

CDigiFilterHandoverLock g_DigiFilterHandoverLock[2];

void CDigiFilterHandoverLock::Lock() noexcept {
  while (!TryLock()) {
    // The audio thread holds the lock for one block's filter call at most.
    std::this_thread::yield();
  }
}

bool DigiFilter_ProcessRunning(int ch, const double* in, double* out, double gain, int n,
                               double* peakZ) {
  if (ch < 0 || ch > 1) return false;
  CDigiFilterHandoverLock& lock = g_DigiFilterHandoverLock[ch];
  if (!lock.TryLock()) return false;
  DigiFilter_Process(in, out, gain, n, &g_DigiFilters[ch]);
  if (peakZ) *peakZ = DigiFilter_PeakZ(&g_DigiFilters[ch]);
  lock.Unlock();
  return true;
}
