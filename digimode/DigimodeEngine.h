#pragma once
// The digital-mode engine: builds and tears down the coders for the current mode, switches the
// station between receive, transmit and off (serial keying line and the sound card's wanted
// directions) and serves the "digimode" interpreter word. The audio hooks are declared in
// digimode/DigimodeHooks.h, the shared rings and values in digimode/DigimodeShared.h.
//
// Threads: everything here runs on the GUI thread. Coders are created, deleted and
// re-initialised only while g_DigimodeLock is held, which waits for a running hook to leave;
// hooks try-enter the lock and skip their block meanwhile.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "digimode/DigimodeHooks.h"
#include "engine/DigiFilter.h"

class CPSKMod;
class CPSKDet;
class CDec2FIR;
class CHellMod;

// The engine's own gates, tested by the hooks (besides the audio thread's enable flags).
extern std::atomic<int32_t> g_DigimodeRxActive;
extern std::atomic<int32_t> g_DigimodeTxActive;

// Current coders, null when absent. Touched only under g_DigimodeLock.
extern std::unique_ptr<CPSKMod> g_pPSKMod;
extern std::unique_ptr<CPSKDet> g_pPSKDet;
extern std::unique_ptr<CDec2FIR> g_pDec2FIR;
// Hellschreiber modulator: created by a rebuild for operating mode 3, deleted by one for PSK.
extern std::unique_ptr<CHellMod> g_pHellMod;

// FSK mark/space filter pair of the tuning scope (A low-pass, B high-pass, swapped with
// rev_keying). Used by the receive hook while the receive gate is on.
extern DigiFilterBlock g_FskFilterA;
extern DigiFilterBlock g_FskFilterB;
extern std::atomic<bool> g_FskFiltersValid;  // false when the last design was refused

// Digimode_Init (declared in digimode/DigimodeHooks.h) starts or restarts the engine: switches
// and gates off, settings to their defaults, rings, scope and FSK filters cleared, the mode
// rebuilt (not on the very first start), ready set; it registers the "digimode" word.
// Stops the engine: switches and gates off, keying off, coders deleted (after a running hook
// has left), ready cleared. The lock itself lives on.
void Digimode_Exit();
// Rebuilds the coders for operMode and the current settings; nothing while not ready.
void Digimode_SetMode(int operMode);
// 1 receive, 2 transmit, other values off; returns true unless a switch to transmit is
// refused (below). A switch to receive while a PSK
// transmission runs lets the transmit ring and the postamble go out first: transmit stays on
// and Digimode_IsTxBufferFull answers true until Digimode_PollDll sees the end and completes
// the switch; a second switch to receive meanwhile completes it at once (and so does any
// switch to receive while no sound output runs). Off is immediate.
// A switch to transmit while no sound output runs (Digimode_SetSoundOutputCheck) is refused
// as Digimode_RefuseTransmitWithoutOutput says: the keyer stays off, the station as it was,
// and the result is false.
bool Digimode_SwitchRxTx(int mode);

// Whether a sound output runs, or opens when transmit wants it, to carry a transmission: the
// main window installs the audio thread's answer. Without a check (engine tests that feed the
// hooks themselves) every switch to transmit goes ahead. Returns the check it replaced.
using DigimodeOutputCheck = std::function<bool()>;
DigimodeOutputCheck Digimode_SetSoundOutputCheck(DigimodeOutputCheck check);
// The main window's status line, for engine texts the operator must see at once; without a
// hook they go to the Errors page only. Returns the hook it replaced.
using DigimodeStatusHook = std::function<void(const std::string& text)>;
DigimodeStatusHook Digimode_SetStatusHook(DigimodeStatusHook hook);
// When no sound output runs: cancels the transmit request (TxRequest 2 and SwitchRequest 2),
// says why on the status line and the Errors page, and returns true; the keyer is not
// touched. Otherwise false and nothing changes. The terminal asks it on a click that wants
// transmit, so the click answers at once.
bool Digimode_RefuseTransmitWithoutOutput();
// fc_rx and g_DigimodeRxFreq := f (Hz).
void Digimode_SetDecoderFreq(double f);
// Designs the FSK filter pair at fc_rx (10-pole Chebyshev, 10 % ripple); the receive gate is
// off meanwhile and rxGateAfter afterwards. A refused design leaves the FSK path off.
void Digimode_InitFskFilters(bool rxGateAfter);
// The terminal's 200 ms poll: raises SwitchRequest 2 when transmit is wanted and there is
// something to send; completes a pending switch to receive once the transmission has ended.
void Digimode_PollDll();
// True while a switch to receive waits for the transmission to end.
bool Digimode_IsRxSwitchPending();
// Interpreter handler of "digimode.": decoder.afc.freq (read or assign).
int Digimode_EvalCommand(int source, double* result);

// Blocks the transmit hook has produced after the transmitter ramped its carrier off (reset on
// each switch to transmit). A pending switch to receive completes once the sound card's output
// buffers have played the end: after kDigimodeTxTailBlocks such blocks.
extern std::atomic<int32_t> g_DigimodeTxTailBlocks;
constexpr int kDigimodeTxTailBlocks = 3;
