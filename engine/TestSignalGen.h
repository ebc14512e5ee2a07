#pragma once
// Test-signal generator: three oscillators (cosine, square, triangle, sawtooth; each optionally
// amplitude- and frequency-modulated), one shared AM and one shared FM modulator, white noise.
// Reads SndConfig.Sine[], NoiseLevel, NoiseOn, AmMod*, FmMod* and g_ProcessingSampleRate.
// Runs on the audio thread; the GUI signals edits through SndConfig.Sine[i].ParamsChanged and
// g_NoiseParamsChanged.
#include <atomic>
#include <cstdint>

constexpr int kCosineTableSize = 32768;

// Entry i = cos(2 pi i / 32768); filled by InitTestSignalGenerator.
extern double g_CosineTable[kCosineTableSize];
// Oscillators read the table (true after start-up) instead of calling cos(); the generator
// window switches it while the audio thread reads it once per block.
extern std::atomic<bool> g_GenUseSineTable;

struct GenSineState {
  double Freq;        // frequency taken over, Hz
  double Phase;       // table units, 0 .. 32768
  double Increment;   // table units per sample
  double Increment2;  // second copy of the increment
  double Amplitude;   // SinAmpl * 32767
};
extern GenSineState g_GenSineStates[3];
extern double g_GenAmPhase;  // table units (cosine) or cycles 0..1 (other shapes)
extern double g_GenFmPhase;

extern bool g_GenNoiseOn;                     // cached SndConfig.NoiseOn
extern std::atomic<bool> g_NoiseParamsChanged;  // set by the GUI after a noise edit
extern double g_GenNoiseAmplitude;            // per seed unit
extern uint32_t g_GenNoiseSeed;               // 1,234,568 after start-up
extern int32_t g_GenLastRate;                 // rate the oscillator states were computed for

// Start-up: fills the cosine table, clears oscillator and modulator state, table use on,
// noise cache cleared, seed 1,234,568.
void InitTestSignalGenerator();

// Writes n samples (nothing when g_ProcessingSampleRate is not above 0 or n < 1).
void GenerateTestSignal(double* out, int n);

// dst[i] += src[i] * gain, limited to -32767 .. 32767; each limited sample adds 1 to *clipCount
// (clipCount may be null).
void AddScaledClipped(const double* src, double* dst, int n, double gain, int* clipCount);
