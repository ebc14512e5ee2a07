#pragma once
// Parameter and status blocks shared with a mode plug-in (byte layout fixed: 144 and 96 bytes,
// 32-bit little-endian integers, IEEE doubles). The engine keeps the station state (TxState),
// the terminal's request (TxRequest) and the switch request (SwitchRequest) in them, plug-in
// or not. The GUI thread writes the settings copy; TxState, TxRequest and SwitchRequest are
// read by the terminal's timer and the audio thread's coders, so they are atomics.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct DigimodeDllParams {
  int32_t StructSize;       // 144
  int32_t Reserved;
  int32_t OperMode;
  int32_t CodesetNr;
  int32_t Modulation;
  std::atomic<int32_t> TxState;    // 0 off, 1 receive, 2 transmit
  std::atomic<int32_t> TxRequest;  // 0 none, 1 receive wanted, 2 transmit wanted
  int32_t Pad28;
  double InputSampleRate;   // Hz, of the samples the receiver gets
  double OutputSampleRate;  // Hz, of the samples the transmitter makes
  double fc_rx;
  double fc_tx;
  double f_shift;
  double symbol_rate;
  int32_t rev_keying;
  int32_t pulse_shaping;
  double shape_percent;
  double output_level;
  int32_t squelch_thrsh;
  int32_t use_afc;
  int32_t narrow_afc;
  int32_t Pad116;
  double afc_tune_range;
  int32_t Spare[4];
};
static_assert(sizeof(DigimodeDllParams) == 144);
static_assert(offsetof(DigimodeDllParams, OperMode) == 8 && offsetof(DigimodeDllParams, Modulation) == 16);
static_assert(offsetof(DigimodeDllParams, TxState) == 20 && offsetof(DigimodeDllParams, TxRequest) == 24);
static_assert(offsetof(DigimodeDllParams, InputSampleRate) == 32 &&
              offsetof(DigimodeDllParams, OutputSampleRate) == 40);
static_assert(offsetof(DigimodeDllParams, fc_rx) == 48 && offsetof(DigimodeDllParams, symbol_rate) == 72);
static_assert(offsetof(DigimodeDllParams, rev_keying) == 80 && offsetof(DigimodeDllParams, pulse_shaping) == 84);
static_assert(offsetof(DigimodeDllParams, shape_percent) == 88 && offsetof(DigimodeDllParams, output_level) == 96);
static_assert(offsetof(DigimodeDllParams, squelch_thrsh) == 104 && offsetof(DigimodeDllParams, use_afc) == 108 &&
              offsetof(DigimodeDllParams, narrow_afc) == 112);
static_assert(offsetof(DigimodeDllParams, afc_tune_range) == 120 && offsetof(DigimodeDllParams, Spare) == 128);

struct DigimodeDllStatus {
  int32_t StructSize;  // 96
  int32_t Reserved4[3];
  double WantedInputRate;  // the plug-in's wish; without effect
  int32_t Reserved24[14];
  std::atomic<int32_t> SwitchRequest;  // 1 to receive (plug-in only), 2 to transmit
  int32_t Reserved84[3];
};
static_assert(sizeof(DigimodeDllStatus) == 96);
static_assert(offsetof(DigimodeDllStatus, WantedInputRate) == 16 &&
              offsetof(DigimodeDllStatus, SwitchRequest) == 80);

extern DigimodeDllParams g_DigimodeDllParams;
extern DigimodeDllStatus g_DigimodeDllStatus;

struct DigimodeCharRing;

// Entry points of a mode plug-in (a shared library), looked up by name with dlsym; plain C
// functions in the platform's one calling convention. The results of the two audio entries
// are not used.
extern "C" {
using DIGM_GetParamString_t = const char* (*)(int32_t index);
using DIGM_SetMode_t = int32_t (*)(int32_t a, int32_t b, DigimodeDllParams* params,
                                   DigimodeDllStatus* status, DigimodeCharRing* rxRing,
                                   DigimodeCharRing* txRing);
using DIGM_DecodeAudio_t = int32_t (*)(const double* x, int32_t n, double t);
using DIGM_GenerateAudio_t = int32_t (*)(double* y, int32_t n, double t);
}

// True while a mode plug-in is loaded.
extern std::atomic<bool> g_DigimodeDllLoaded;

// Copies OperMode, CodesetNr, Modulation and fc_rx .. afc_tune_range of DigimodeSettings into
// the parameter block (booleans as 0/1, the trailing integers zeroed), then calls the plug-in's
// DIGM_SetMode(a, b, ...) and returns its status; 4 when no plug-in is loaded.
// GUI thread, while the audio hooks are kept out (g_DigimodeLock held).
int Digimode_SetDllMode(int a, int b);

// Releases a loaded plug-in, then loads the named one (null or a name starting with a control
// character: unload only). A name without '/' is tried in the program directory, then in the
// working directory, then on the system's library path. A library that cannot be loaded is
// reported through the message hook ("Couldn't load DLL."; the loader's text goes to
// DebugPrintf); one without DIGM_SetMode is released silently. On success the four shared
// blocks are zeroed (the station state TxState and TxRequest is kept), their sizes written,
// and DIGM_SetMode(0, 0, ...) is called. Returns whether a plug-in is loaded.
// GUI thread. Takes g_DigimodeLock (waits for a running hook to leave) unless the caller
// holds it already; messages are shown after the lock is released.
bool Digimode_LoadModeDll(const char* name);
// The same for a caller that holds g_DigimodeLock; a message is kept until
// Digimode_ShowPendingDllMessage.
bool Digimode_LoadModeDllLocked(const char* name);
void Digimode_ShowPendingDllMessage();

// The plug-in's text for index 0..2 (any index is passed on), "-- no DLL --" without a
// plug-in or without DIGM_GetParamString, "" for a null text. GUI thread.
std::string Digimode_GetDllParamString(int index);

// The audio entries of the loaded plug-in, called by the hooks while they hold g_DigimodeLock.
// False when there is no such entry. GenerateAudio zeroes y first, so samples the plug-in
// leaves unwritten are silence.
bool DigimodeDll_DecodeAudio(const double* x, int n, double t);
bool DigimodeDll_GenerateAudio(double* y, int n, double t);

// Tests a library without keeping it: loaded, DIGM_GetParamString looked up and called with
// 0 (its text into *paramText), released again.
enum class DigimodeDllTest { Ok, LoadFailed, NoParamString };
DigimodeDllTest Digimode_TestModeDll(const std::string& path, std::string* paramText);

// Shows an engine message to the user (the windows install a message box; without a hook the
// text goes to DebugPrintf). Returns the hook it replaced. GUI thread.
using DigimodeMessageHook = std::function<void(const std::string& text)>;
DigimodeMessageHook Digimode_SetMessageHook(DigimodeMessageHook hook);

// True while the engine holds a library handle (for tests: a refused library is released).
bool Digimode_IsDllHandleHeld();
