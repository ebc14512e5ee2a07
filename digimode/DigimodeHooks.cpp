// The audio thread's per-block entries into the digimode engine and the time-signal decoder.
#include "digimode/DigimodeHooks.h"

#include "digimode/CHellMod.h"
#include "digimode/CPSKDet.h"
#include "digimode/CPSKMod.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/CDec2FIR.h"
#include "engine/SettingsIni.h"
#include "engine/SoundThdHooks.h"

std::atomic<bool> g_DigimodeRxEnabled{false};
std::atomic<bool> g_DigimodeTxEnabled{false};

namespace {

constexpr int kMaxBlock = 4096;

// Audio thread only.
double g_FskOutA[kMaxBlock];
double g_FskOutB[kMaxBlock];
double g_PskWork[kMaxBlock];  // decimated input of the PSK receiver

// Holds g_DigimodeLock for one hook call when it is free; never waits.
class HookEntry {
public:
  HookEntry() : m_held(g_DigimodeLock.TryLock()) {}
  ~HookEntry()
  {
    if (m_held) g_DigimodeLock.Unlock();
  }
  HookEntry(const HookEntry&) = delete;
  HookEntry& operator=(const HookEntry&) = delete;
  bool Held() const { return m_held; }

private:
  bool m_held;
};

bool Ready() { return g_DigimodeReady.load(std::memory_order_acquire); }

// FSK: both filters over the block; the scope collects (B, A) pairs in scope modes 1 and 2
// and only counts in the others.
void ProcessFsk(const double* x, int n)
{
  if (!g_FskFiltersValid.load()) return;
  DigiFilter_Process(x, g_FskOutA, 1.0, n, &g_FskFilterA);
  DigiFilter_Process(x, g_FskOutB, 1.0, n, &g_FskFilterB);
  const int scopeMode = DigimodeSettings.ScopeMode;
  const bool store = scopeMode == 1 || scopeMode == 2;
  T_TuningScopeBuffer& b = g_TuningScopeBuffer;
  for (int i = 0; i < n; ++i) {
    if (store) {
      if (!TuningScope_Append(g_FskOutB[i], g_FskOutA[i], 4)) break;
    } else {
      int32_t count = b.FillCount.load(std::memory_order_acquire);
      if (count >= kTuningScopeEntries || b.Kind.load() == 2) break;
      b.FillCount.compare_exchange_strong(count, count + 1, std::memory_order_acq_rel);
    }
  }
  b.SampleRate.store(g_DigimodeDllParams.InputSampleRate);
}

}  // namespace

void Digimode_ProcessRxAudio(const double* samples, int n, double tFirst)
{
  if (!samples || n < 1 || n > kMaxBlock) return;
  HookEntry entry;
  if (!entry.Held() || !Ready() || g_DigimodeRxActive.load() == 0) return;
  if (g_DigimodeDllLoaded.load()) {
    DigimodeDll_DecodeAudio(samples, n, tFirst);
    return;
  }
  if (DigimodeSettings.OperMode != DIGIMODE_OPMODE_CHARS) return;
  const int modulation = DigimodeSettings.Modulation;
  if (modulation == DIGIMODE_MOD_FSK) {
    ProcessFsk(samples, n);
  } else if ((modulation == DIGIMODE_MOD_BPSK || modulation == DIGIMODE_MOD_QPSK) && g_pDec2FIR &&
             g_pPSKDet) {
    g_pDec2FIR->Decimate(samples, g_PskWork, n);
    g_DigimodeRxFreq.store(g_pPSKDet->ProcessSamples(g_PskWork, n / 2, g_DigimodeRxFreq.load()));
  }
}

bool Digimode_GenerateTxAudio(double* out, int n, double t)
{
  if (!out || n < 1 || n > kMaxBlock) return false;
  HookEntry entry;
  if (!entry.Held() || !Ready() || g_DigimodeTxActive.load() == 0) return false;
  if (DigimodeDll_GenerateAudio(out, n, t)) return true;
  const int modulation = DigimodeSettings.Modulation;
  if (DigimodeSettings.OperMode == DIGIMODE_OPMODE_CHARS &&
      (modulation == DIGIMODE_MOD_BPSK || modulation == DIGIMODE_MOD_QPSK) && g_pPSKMod) {
    g_pPSKMod->GenerateAudio(out, n);
    if (g_pPSKMod->IsTxFinished()) g_DigimodeTxTailBlocks.fetch_add(1);
    return true;
  }
  if (DigimodeSettings.OperMode == DIGIMODE_OPMODE_HELL && g_pHellMod) {
    g_pHellMod->GenerateSamples(out, n);
    return true;
  }
  return false;
}

void Digimode_InstallEngineHooks()
{
  static const TSoundThdDigimodeHooks kHooks{
      [] { return g_DigimodeRxEnabled.load(); },
      [] { return g_DigimodeTxEnabled.load(); },
      Digimode_ProcessRxAudio,
      Digimode_GenerateTxAudio,
      Dcf77Dec_ProcessSamples,
      Digimode_OutputStopped,
      Digimode_FollowSampleRate,
  };
  SoundThd_SetDigimodeHooks(&kHooks);
  SetQuickSettingsRxFreqFunc([] { return DigimodeSettings.fc_rx.load(); });
}
