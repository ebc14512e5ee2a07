#pragma once
// State the digimode engine, its coders and the terminal window share across the GUI thread
// and the audio thread: the ready gate, the hook guard, the receive frequency, the squelch
// values, the underrun flag, the tuning-scope buffer and the three rings.
//
// Hand-over rules:
// - Each ring has one writer and one reader. Head and Tail are atomics; the writer moves only
//   Head, the reader only Tail, so no ring operation ever waits. The transmit and Hellschreiber
//   rings are written by the GUI thread and read by the audio thread, the receive ring the
//   other way round (a mode plug-in takes the audio side of both character rings).
// - g_DigimodeLock guards the coder objects, not the rings: an audio hook try-enters it and
//   skips its block while the GUI thread holds it to build, delete or re-initialise coders;
//   the GUI side waits for a running hook to leave. It lives for the whole run.
// - The tuning-scope buffer is handed over by its kind code (see T_TuningScopeBuffer).
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/DigiFilterHandover.h"

// Engine started; while false every ring operation and hook does nothing.
extern std::atomic<bool> g_DigimodeReady;

// Hook guard: TryLock from the audio hooks (never waits), Lock from the GUI thread (waits for
// a running hook to leave).
using CDigimodeLock = CDigiFilterHandoverLock;
extern CDigimodeLock g_DigimodeLock;

extern std::atomic<double> g_DigimodeRxFreq;        // AFC-tracked receive frequency, Hz
extern std::atomic<int32_t> g_DigimodeSquelchLevel;  // signal quality 0..100 (PSK receiver)
extern std::atomic<double> g_DigimodeSquelchOpen;    // 1.0 open, 0.0 closed (PSK receiver)
extern std::atomic<int32_t> g_DigimodeTxUnderrun;    // 1 after the transmitter found no data

// ---- Character rings (layout shared with mode plug-ins: 44 bytes) ----
constexpr int kDigimodeCharRingSize = 8;  // indices modulo 8: at most 7 characters held

struct DigimodeCharRing {
  int32_t StructSize;  // 44
  std::atomic<int32_t> Head;  // next write index (writer side)
  std::atomic<int32_t> Tail;  // next read index (reader side)
  int32_t Chars[kDigimodeCharRingSize];
};
static_assert(sizeof(std::atomic<int32_t>) == 4 && std::atomic<int32_t>::is_always_lock_free);
static_assert(sizeof(DigimodeCharRing) == 44, "plug-ins share this layout");
static_assert(offsetof(DigimodeCharRing, Head) == 4 && offsetof(DigimodeCharRing, Tail) == 8 &&
              offsetof(DigimodeCharRing, Chars) == 12);

extern DigimodeCharRing g_DigimodeRxChars;  // receiver -> terminal
extern DigimodeCharRing g_DigimodeTxChars;  // terminal -> transmitter

// ---- Hellschreiber column ring ----
constexpr int kHellColumnPixels = 32;
constexpr int kHellColumnRingSize = 10;  // at most 9 records held

struct HellColumn {
  int32_t PixelCount;               // valid pixels, at most 32
  double Pixel[kHellColumnPixels];  // 0.0 black .. 1.0 white
};

struct T_HellColumnRing {
  HellColumn Columns[kHellColumnRingSize];
  std::atomic<int32_t> Head;  // next write index (GUI thread)
  std::atomic<int32_t> Tail;  // next read index (audio thread)
};
extern T_HellColumnRing g_HellColumnRing;

// ---- Tuning-scope buffer ----
// Kind codes: 1 handed back to the producers (empty), 2 being drawn, 3 and above filled by a
// producer (4 FSK mark/space filter outputs, 6 PSK symbol samples). Producers append only
// while the kind is not 2; the drawing sets 2, reads the entries below the fill count, then
// sets the count to 0 and the kind to 1. Entries are published by the fill count (release).
constexpr int kTuningScopeEntries = 512;

struct T_TuningScopeBuffer {
  double Entry[kTuningScopeEntries][2];  // (x, y)
  std::atomic<int32_t> FillCount;
  std::atomic<double> SampleRate;
  std::atomic<int32_t> Kind;
  std::atomic<int32_t> DisplayLength;
  std::atomic<uint8_t> Flag;  // capture flag of the PSK receiver; the drawing clears it
};
extern T_TuningScopeBuffer g_TuningScopeBuffer;

// Producer side (audio thread): appends (x, y) and sets the kind, unless the buffer is being
// drawn or full. True when stored.
bool TuningScope_Append(double x, double y, int32_t kind);
// Start state: entries and count 0, sample rate 0, display length 256, kind 4, flag 0.
void TuningScope_Reset();

// ---- Ring operations; each first tests the ready gate ----
// Appends to the transmit ring (GUI thread); ignored while not ready or in operating mode 3.
// No room test: callers ask Digimode_IsTxBufferFull first (a put into a full ring is dropped).
// Clears g_DigimodeTxUnderrun.
void Digimode_PutTxChar(int c);
// True when 6 or 7 of the 7 slots are taken, or while a switch to receive waits for the
// transmission to end; false while not ready.
bool Digimode_IsTxBufferFull();
// Oldest transmit character 0..255, -3 when empty or not ready (audio thread).
int Digimode_GetTxChar();
// Number of characters in the transmit ring (either side may ask).
int Digimode_TxCharCount();
// Appends a copy (GUI thread); false when full (9 held), not ready or column is null.
// Clears g_DigimodeTxUnderrun whenever it runs.
bool Digimode_PutHellColumn(const HellColumn* column);
// Takes the oldest record (audio thread); false when empty, not ready or out is null.
bool Digimode_GetHellColumn(HellColumn* out);
// Appends a received character (audio thread); a put into a full ring drops the new character.
void Digimode_PutRxChar(int c);
// Oldest received character, 0 when empty or not ready (GUI thread).
int Digimode_GetRxChar();

// Empties the three rings (engine start, while no hook runs).
void DigimodeRings_Reset();
