#pragma once
// Per-channel frequency mixer: shifts the signal by an oscillator frequency, as a plain product
// (double sideband) or as a single-sideband shift by the phasing method (Hilbert transformer of
// configurable length), with an optional DC blocker in front.
//
// Threads: the GUI calls FreqMixer_Init / FreqMixer_SetFrequency while the audio thread may run
// FreqMixer_Process. The GUI builds the oscillator tables and Hilbert coefficients in a spare
// slot and publishes it; the audio thread takes the newest published slot at the start of a
// block (lock-free triple buffer), so it never reads a half-written table.
#include <atomic>
#include <cstdint>

constexpr int kMixerTableSize = 2048;
constexpr int kMixerMaxHilbert = 101;

// What the GUI hands to the audio thread as a whole.
struct FreqMixerSetup {
  double SinTable[kMixerTableSize];  // sin(2 pi OscFrequency i / rate)
  double CosTable[kMixerTableSize];
  int32_t TableLength;               // used entries N, 4..2048 (0: no frequency, idle)
  double OscFrequency;               // Hz actually produced
  int32_t Sideband;                  // 0 product, 1/2 phase then mix, 3/4 mix then phase
  bool DcReject;
  int32_t HilbertLength;             // L: 1, 5, 9, .. 101
  double HilbertCoeffs[kMixerMaxHilbert];
};

struct FreqMixerChain {
  // GUI-side view (written by the GUI, read by both).
  std::atomic<bool> Enabled;
  bool DcReject;
  int32_t Sideband;
  double OscFrequency;
  std::atomic<int32_t> TableLength;
  double TableRate;  // rate the tables were computed for
  // Audio-thread state.
  double DcLevel;
  int32_t TableIndex;
  // Hilbert delay line, kept twice (entries i and i + 101 equal) so that the taps read a
  // contiguous run; HilbertPos is the newest entry, 0 .. L - 1.
  double HilbertDelay[2 * kMixerMaxHilbert];
  int32_t HilbertPos;
  double PathDelay[kMixerMaxHilbert];  // first-in first-out delay of the other path (h values)
  int32_t PathIndex;
  // Triple buffer of set-ups: Slots[Front] is used by the audio thread, the GUI writes
  // Slots[Back]; Middle holds the index of the spare slot plus kMixerNewSetup when it holds a
  // set-up the audio thread has not taken yet.
  FreqMixerSetup Slots[3];
  int32_t Front;
  int32_t Back;
  std::atomic<int32_t> Middle;
  // Reset requests for the audio-thread state, taken together with the newest slot:
  // kMixerRestartOsc (oscillator back to index 0), kMixerClearState (DC level, delay lines).
  std::atomic<uint32_t> ResetRequest;
};

constexpr int32_t kMixerNewSetup = 4;
constexpr uint32_t kMixerRestartOsc = 1;
constexpr uint32_t kMixerClearState = 2;

extern FreqMixerChain g_FreqMixers[2];
// The Hilbert transformer last set up (shared by both channels; the audio thread uses the copy
// in the slot it runs).
extern int32_t g_HilbertLength;
extern double g_HilbertCoeffs[kMixerMaxHilbert];

// Start-up: clears the chain (not enabled, no frequency) and its slots. Not thread-safe: call
// before the audio thread runs.
void FreqMixer_Clear(FreqMixerChain* m);

// Sets frequency, sideband, DC blocker and the Hilbert transformer (length from
// SndConfig.MixerHilbertLength: bit 0 set, bit 1 cleared, at most 101, at least 1), and asks the
// audio thread to clear its state. Enabled is false during the set-up. Returns true.
bool FreqMixer_Init(FreqMixerChain* m, double freq, int sideband, bool dcReject, bool enabled);
// FreqMixer_Init of both chains from their settings (SndConfig's first mixer fields for
// channel 0, SndConfig.SecondMixer for channel 1): whatever changed the settings as a whole
// (the configuration dialog's Apply, a profile load) brings the mixers in line with them.
void FreqMixer_InitBothFromSettings();

// Picks the table length 4..2048 whose whole number of cycles gives the frequency closest to
// freq (first on ties) at the processing rate (CalcEffectiveSampleRates()). The oscillator
// restarts at index 0; delay lines and DC level stay. False when the rate is not above 0.
bool FreqMixer_SetFrequency(FreqMixerChain* m, double freq);
// The same at an explicit rate.
bool FreqMixer_SetFrequencyAtRate(FreqMixerChain* m, double freq, double rate);

// Mixes n samples (in and out may be the same array). With no frequency set (table length
// below 3) out = in.
void FreqMixer_Process(FreqMixerChain* m, const double* in, double* out, int n);

// Hilbert length from the setting: bit 0 set, bit 1 cleared, limited to 1..101.
int FreqMixer_HilbertLength(int setting);
