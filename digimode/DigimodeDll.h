#pragma once
// Parameter and status blocks shared with a mode plug-in (byte layout fixed: 144 and 96 bytes,
// 32-bit little-endian integers, IEEE doubles). The engine keeps the station state (TxState),
// the terminal's request (TxRequest) and the switch request (SwitchRequest) in them, plug-in
// or not. The GUI thread writes the settings copy; TxState, TxRequest and SwitchRequest are
// read by the terminal's timer and the audio thread's coders, so they are atomics.
#include <atomic>
#include <cstddef>
#include <cstdint>

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

// True while a mode plug-in is loaded (plug-ins come with their own loader; false until then).
extern std::atomic<bool> g_DigimodeDllLoaded;

// Copies OperMode, CodesetNr, Modulation and fc_rx .. afc_tune_range of DigimodeSettings into
// the parameter block (booleans as 0/1, the trailing integers zeroed), then calls the plug-in's
// DIGM_SetMode(a, b, ...) and returns its status; 4 when no plug-in is loaded.
int Digimode_SetDllMode(int a, int b);
