#include "control/FilterHandover.h"

#include <cmath>

#include "engine/DigiFilter.h"
#include "engine/DigiFilterHandover.h"

bool ActivateEditedFilter(int ch) {
  if (ch < 0 || ch > 1) return false;
  // The running image is prepared outside the lock, so the audio thread is held off only for
  // the copy itself.
  DigiFilterBlock next = g_EditedDigiFilters[ch];
  if (next.MaxCoeff < 1) next.MaxCoeff = 1;
  if (next.MaxCoeff > kDigiFilterMaxOrder) next.MaxCoeff = kDigiFilterMaxOrder;
  next.Is_IIR = next.Is_IIR ? 1 : 0;
  if (next.Cascaded == 1 || next.Cascaded < 0 || next.Cascaded > next.MaxCoeff + 1) {
    next.Cascaded = 0;
  }
  for (int k = 0; k <= next.MaxCoeff; ++k) {
    if (!std::isfinite(next.alpha[k]) || !std::isfinite(next.beta[k])) return false;
  }
  for (double& z : next.z) z = 0.0;

  CDigiFilterHandoverLock& lock = g_DigiFilterHandoverLock[ch];
  lock.Lock();
  DigiFilterBlock& running = g_DigiFilters[ch];
  running = next;
  running.pZ = &running.z[0];
  lock.Unlock();
  return true;
}

void ResetRunningFilterStates() {
  for (int ch = 0; ch < 2; ++ch) {
    CDigiFilterHandoverLock& lock = g_DigiFilterHandoverLock[ch];
    lock.Lock();
    DigiFilterBlock& running = g_DigiFilters[ch];
    for (double& z : running.z) z = 0.0;
    running.pZ = &running.z[0];
    lock.Unlock();
  }
}
