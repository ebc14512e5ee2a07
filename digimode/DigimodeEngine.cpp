// The digital-mode engine: mode rebuilds, receive/transmit switching, the FSK filter pair and
// the "digimode" interpreter word.
#include "digimode/DigimodeEngine.h"

#include <cmath>
#include <cstring>

#include "control/Chebyshev.h"
#include "digimode/CHellMod.h"
#include "digimode/CPSKDet.h"
#include "digimode/CPSKMod.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/CDec2FIR.h"
#include "engine/DebugU1.h"
#include "engine/PortIO.h"
#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SoundThd.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"

std::atomic<int32_t> g_DigimodeRxActive{0};
std::atomic<int32_t> g_DigimodeTxActive{0};
std::unique_ptr<CPSKMod> g_pPSKMod;
std::unique_ptr<CPSKDet> g_pPSKDet;
std::unique_ptr<CDec2FIR> g_pDec2FIR;
std::unique_ptr<CHellMod> g_pHellMod;
DigiFilterBlock g_FskFilterA{};
DigiFilterBlock g_FskFilterB{};
std::atomic<bool> g_FskFiltersValid{false};
std::atomic<int32_t> g_DigimodeTxTailBlocks{0};

namespace {

// A switch to receive waits for the running transmission (GUI thread only).
bool g_RxSwitchPending = false;
std::atomic<bool> g_RxSwitchPendingShown{false};

DigimodeOutputCheck g_OutputCheck;
DigimodeStatusHook g_StatusHook;

// No check installed: the hooks are fed by whoever tests the engine.
bool SoundOutputRuns() { return !g_OutputCheck || g_OutputCheck(); }

// Holds g_DigimodeLock for a scope (GUI thread; waits for a running hook to leave).
class HookExclusion {
public:
  HookExclusion() { g_DigimodeLock.Lock(); }
  ~HookExclusion() { g_DigimodeLock.Unlock(); }
  HookExclusion(const HookExclusion&) = delete;
  HookExclusion& operator=(const HookExclusion&) = delete;
};

void SetRxSwitchPending(bool on)
{
  g_RxSwitchPending = on;
  g_RxSwitchPendingShown.store(on);
}

bool IsPskModulation(int m) { return m == DIGIMODE_MOD_BPSK || m == DIGIMODE_MOD_QPSK; }

void SetTransmitFlags(bool on)
{
  g_DigimodeTxActive.store(on ? 1 : 0);
  g_DigimodeTxEnabled.store(on);
}

void SetReceiveFlags(bool on)
{
  g_DigimodeRxActive.store(on ? 1 : 0);
  g_DigimodeRxEnabled.store(on);
}

void DeletePskCoders()
{
  g_pPSKMod.reset();
  g_pDec2FIR.reset();
  g_pPSKDet.reset();
}

// The receive half of a switch: keying off, input on, transmitter off, receiver on.
void EnterReceive()
{
  ComPort_SetKeyingOutput(false);
  SetSoundInOutWanted(true, false);
  SetTransmitFlags(false);
  SetReceiveFlags(true);
  SetRxSwitchPending(false);
  g_DigimodeDllParams.TxState.store(1);
}

}  // namespace

bool Digimode_IsRxSwitchPending() { return g_RxSwitchPendingShown.load(); }

DigimodeOutputCheck Digimode_SetSoundOutputCheck(DigimodeOutputCheck check)
{
  DigimodeOutputCheck old = std::move(g_OutputCheck);
  g_OutputCheck = std::move(check);
  return old;
}

DigimodeStatusHook Digimode_SetStatusHook(DigimodeStatusHook hook)
{
  DigimodeStatusHook old = std::move(g_StatusHook);
  g_StatusHook = std::move(hook);
  return old;
}

bool Digimode_RefuseTransmitWithoutOutput()
{
  if (SoundOutputRuns()) return false;
  // Keying a transmitter with nothing to carry the signal would put a dead carrier (or
  // nothing) on the air, and the switch back would wait for blocks no one makes.
  DigimodeDllParams& p = g_DigimodeDllParams;
  if (p.TxRequest.load() == 2) p.TxRequest.store(0);
  if (g_DigimodeDllStatus.SwitchRequest.load() == 2) g_DigimodeDllStatus.SwitchRequest.store(0);
  DebugPrintf(20, GetPreciseUnixTime(true),
              "Digimode: no transmit, the sound thread is stopped: no sound output would carry "
              "the signal, so the transmitter is not keyed (Analysis > Start Sound Thread)");
  if (g_StatusHook) g_StatusHook("No transmit: sound thread stopped");
  return true;
}

void Digimode_Init()
{
  Digimode_InstallEngineHooks();
  SetReceiveFlags(false);
  SetTransmitFlags(false);
  SetRxSwitchPending(false);
  g_DigimodeDllParams.TxState.store(0);
  g_DigimodeDllParams.TxRequest.store(0);
  g_DigimodeDllStatus.SwitchRequest.store(0);
  {
    HookExclusion guard;
    g_DigimodeDllParams.StructSize = static_cast<int32_t>(sizeof(DigimodeDllParams));
    g_DigimodeDllStatus.StructSize = static_cast<int32_t>(sizeof(DigimodeDllStatus));
    g_DigimodeDllParams.InputSampleRate = g_ProcessingSampleRate;
    DigimodeSettings_SetDefaults(DigimodeSettings);
    DigiFilter_Reset(&g_FskFilterA, true);
    DigiFilter_Reset(&g_FskFilterB, true);
    g_FskFiltersValid.store(false);
    TuningScope_Reset();
    g_DigimodeRxFreq.store(DigimodeSettings.fc_rx);
    DigimodeRings_Reset();
    g_DigimodeTxUnderrun.store(0);
  }
  Digimode_SetMode(DigimodeSettings.OperMode);
  g_DigimodeReady.store(true, std::memory_order_release);
  CLI_RegisterObjectWord("digimode", Digimode_EvalCommand);
}

void Digimode_Exit()
{
  SetReceiveFlags(false);
  SetTransmitFlags(false);
  SetRxSwitchPending(false);
  // A transmitter must never stay keyed when the engine stops.
  if (g_DigimodeDllParams.TxState.load() == 2) ComPort_SetKeyingOutput(false);
  g_DigimodeDllParams.TxState.store(0);
  {
    HookExclusion guard;
    DeletePskCoders();
    Digimode_LoadModeDllLocked(nullptr);
    g_DigimodeReady.store(false, std::memory_order_release);
  }
}

void Digimode_SetMode(int operMode)
{
  if (!g_DigimodeReady.load(std::memory_order_acquire)) return;
  g_DigimodeReady.store(false, std::memory_order_release);
  {
    // Hooks stay out from here to the end of the rebuild, initialisations included.
    HookExclusion guard;
    if (DigimodeSettings.use_it) {
      g_pDec2FIR.reset();
      Digimode_LoadModeDllLocked(DigimodeSettings.name);
    } else {
      Digimode_LoadModeDllLocked(nullptr);
    }
    DigimodeSettings.OperMode = operMode;
    g_DigimodeDllParams.OperMode = operMode;
    g_DigimodeRxFreq.store(DigimodeSettings.fc_rx);
    const double rate = g_ProcessingSampleRate;
    g_DigimodeDllParams.InputSampleRate = rate;
    g_DigimodeDllParams.OutputSampleRate = rate;
    Digimode_SetDllMode(0, 0);
    if (!g_DigimodeDllLoaded.load() && IsPskModulation(DigimodeSettings.Modulation)) {
      g_pHellMod.reset();
      g_DigimodeDllParams.InputSampleRate = rate * 0.5;
      if (!g_pDec2FIR) g_pDec2FIR = std::make_unique<CDec2FIR>();
      if (!g_pPSKMod) g_pPSKMod = std::make_unique<CPSKMod>();
      if (!g_pPSKDet) g_pPSKDet = std::make_unique<CPSKDet>();
    } else {
      DeletePskCoders();
      if (operMode == DIGIMODE_OPMODE_HELL) {
        if (!g_pHellMod) g_pHellMod = std::make_unique<CHellMod>();
        g_pHellMod->Init(g_DigimodeDllParams.InputSampleRate);
      }
    }
    if (g_pDec2FIR) g_pDec2FIR->Reset();
    if (g_pPSKDet) g_pPSKDet->Init(g_DigimodeDllParams.InputSampleRate);
    if (g_pPSKMod) g_pPSKMod->Init(g_DigimodeDllParams.OutputSampleRate);
  }
  g_DigimodeReady.store(true, std::memory_order_release);
  Digimode_ShowPendingDllMessage();
}

bool Digimode_SwitchRxTx(int mode)
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  int state = mode;
  if (mode == 1) {
    if (p.TxRequest.load() == 2) p.TxRequest.store(0);
    // A second request while the first still waits for the end of the transmission switches
    // at once: the operator wants the keyer off now.
    // Without a sound output nothing plays the rest: the switch is immediate as well.
    const bool forced = g_RxSwitchPending || !SoundOutputRuns();
    bool transmitting = false;
    if (p.TxState.load() == 2 && !g_DigimodeDllLoaded.load() && !forced) {
      HookExclusion guard;
      if (g_pPSKMod && !g_pPSKMod->IsTxFinished()) {
        g_pPSKMod->StopTx();
        transmitting = true;
      }
    } else if (p.TxState.load() != 1) {
      HookExclusion guard;
      if (g_pPSKMod) g_pPSKMod->StopTx();
    }
    if (transmitting) {
      // The queued text and the postamble go out first; Digimode_PollDll completes the switch.
      SetRxSwitchPending(true);
      p.TxRequest.store(1);
      g_DigimodeDllStatus.SwitchRequest.store(0);
      return true;
    }
    EnterReceive();
  } else if (mode == 2) {
    if (Digimode_RefuseTransmitWithoutOutput()) return false;
    if (p.TxRequest.load() == 1) p.TxRequest.store(0);
    SetRxSwitchPending(false);
    ComPort_SetKeyingOutput(true);
    SetSoundInOutWanted(false, true);
    SetReceiveFlags(false);
    {
      HookExclusion guard;
      g_DigimodeTxTailBlocks.store(0);
      if (g_pPSKMod) {
        p.OutputSampleRate = g_ProcessingSampleRate;
        g_pPSKMod->Init(p.OutputSampleRate);
        g_pPSKMod->StartTx();
      }
    }
    // The gate opens only over a transmitter that is ready.
    SetTransmitFlags(true);
  } else {
    state = 0;
    p.TxRequest.store(0);
    ComPort_SetKeyingOutput(false);
    SetReceiveFlags(false);
    SetTransmitFlags(false);
    SetRxSwitchPending(false);
  }
  g_DigimodeDllStatus.SwitchRequest.store(0);
  p.TxState.store(state);
  return true;
}

void Digimode_OutputStopped()
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  if (p.TxState.load() != 2) return;
  // No request may switch back to transmit by itself: the text left in the ring waits for
  // the operator.
  p.TxRequest.store(0);
  g_DigimodeDllStatus.SwitchRequest.store(0);
  {
    HookExclusion guard;
    if (g_pPSKMod) g_pPSKMod->StopTx();
  }
  EnterReceive();
}

void Digimode_FollowSampleRate(double rate)
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  if (!(rate >= 1.0) || !g_DigimodeReady.load(std::memory_order_acquire)) return;
  if (p.OutputSampleRate == rate) return;
  bool fsk = false;
  {
    HookExclusion guard;
    p.OutputSampleRate = rate;
    // The built-in PSK receiver works on the input halved once more (g_pDec2FIR).
    p.InputSampleRate = g_pPSKDet && !g_DigimodeDllLoaded.load() ? rate * 0.5 : rate;
    if (g_pDec2FIR) g_pDec2FIR->Reset();
    if (g_pPSKDet) g_pPSKDet->Init(p.InputSampleRate);
    if (g_pPSKMod) {
      g_pPSKMod->Init(p.OutputSampleRate);
      // A transmission goes on at the new rate with the text still queued.
      if (p.TxState.load() == 2 && g_DigimodeTxActive.load() != 0) g_pPSKMod->StartTx();
    }
    if (g_pHellMod) g_pHellMod->Init(p.InputSampleRate);
    if (g_DigimodeDllLoaded.load()) Digimode_SetDllMode(0, 0);
    fsk = g_FskFiltersValid.load();
  }
  // The FSK filters are designed for g_ProcessingSampleRate, which holds the new rate already.
  if (fsk) Digimode_InitFskFilters(g_DigimodeRxActive.load() != 0);
}

void Digimode_SetDecoderFreq(double f)
{
  DigimodeSettings.fc_rx = f;
  g_DigimodeRxFreq.store(f);
}

void Digimode_InitFskFilters(bool rxGateAfter)
{
  g_DigimodeRxActive.store(0);
  {
    HookExclusion guard;
    const double rate = g_ProcessingSampleRate;
    const double fc = rate > 0.0 ? DigimodeSettings.fc_rx / rate : 0.0;
    bool ok = true;
    for (int highpass = 0; highpass < 2 && ok; ++highpass) {
      const bool aIsHighpass = DigimodeSettings.rev_keying;
      DigiFilterBlock& f = (highpass != 0) == aIsHighpass ? g_FskFilterA : g_FskFilterB;
      ok = DesignChebyshevFilter(10, fc, highpass != 0, 10.0);
      if (!ok) break;
      DigiFilter_Reset(&f, true);
      f.MaxCoeff = 10;
      f.Is_IIR = 1;
      f.Cascaded = 0;
      for (int i = 0; i <= 10; ++i) {
        f.alpha[i] = g_ChebyshevA[i];
        f.beta[i] = -g_ChebyshevB[i];
      }
    }
    g_FskFiltersValid.store(ok);
  }
  g_DigimodeRxActive.store(rxGateAfter ? 1 : 0);
}

void Digimode_PollDll()
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  if (g_RxSwitchPending) {
    bool ended = true;
    // Without a sound output no tail block is counted: nothing is left to wait for.
    const bool outputRuns = SoundOutputRuns();
    {
      HookExclusion guard;
      // Ended when the carrier is off and the card has had time to play the last blocks.
      if (g_pPSKMod && g_DigimodeTxActive.load() != 0 && outputRuns)
        ended = g_pPSKMod->IsTxFinished() && g_DigimodeTxTailBlocks.load() >= kDigimodeTxTailBlocks;
    }
    if (ended) {
      EnterReceive();
      g_DigimodeDllStatus.SwitchRequest.store(0);
    }
  }
  // A loaded plug-in raises the switch request itself; without one (also when loading it
  // failed) the engine watches its rings.
  if (g_DigimodeDllLoaded.load()) return;
  const int mode = DigimodeSettings.OperMode;
  bool haveData = false;
  if (mode == DIGIMODE_OPMODE_CHARS) haveData = Digimode_TxCharCount() > 0;
  else if (mode == DIGIMODE_OPMODE_HELL)
    haveData = g_HellColumnRing.Head.load() != g_HellColumnRing.Tail.load();
  else return;
  if (p.TxRequest.load() == 2 && p.TxState.load() != 2 &&
      g_DigimodeDllStatus.SwitchRequest.load() != 2 && haveData)
    g_DigimodeDllStatus.SwitchRequest.store(2);
}

// digimode.decoder.afc.freq ("decoder" may be "de"; the "." after it is optional).
int Digimode_EvalCommand(int source, double* result)
{
  auto take = [](const char* word) {
    const size_t n = std::strlen(word);
    if (std::strncmp(g_CliParsePtr, word, n) != 0) return false;
    g_CliParsePtr += n;
    return true;
  };
  auto lower = [] { return *g_CliParsePtr >= 'a' && *g_CliParsePtr <= 'z'; };
  if (!lower()) return CLI_ERR_SYNTAX;
  if (*g_CliParsePtr != 'd') return CLI_ERR_UNKNOWN_COMMAND;
  if (!take("decoder") && !take("de")) return CLI_ERR_SYNTAX;
  if (*g_CliParsePtr == '.') ++g_CliParsePtr;
  if (!lower()) return CLI_ERR_SYNTAX;
  if (*g_CliParsePtr != 'a') return CLI_ERR_UNKNOWN_COMMAND;
  if (!take("afc") || *g_CliParsePtr != '.') return CLI_ERR_SYNTAX;
  ++g_CliParsePtr;
  if (!lower()) return CLI_ERR_SYNTAX;
  if (!take("freq")) return CLI_ERR_UNKNOWN_COMMAND;
  CLI_SkipSpaces();
  if (result) {
    *result = g_DigimodeRxFreq.load();
    g_CliResultType = CLI_TYPE_NUMBER;
    return CLI_OK;
  }
  if (*g_CliParsePtr == '=') ++g_CliParsePtr;
  double f = 0.0;
  const int rc = CLI_EvalExpression(source, &f);
  if (rc < 0) return rc;
  if (!std::isfinite(f) || f < 0.0) return CLI_ERR_ILLEGAL_VALUE;
  Digimode_SetDecoderFreq(f);
  return CLI_OK;
}
