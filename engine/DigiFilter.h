#pragma once
// Programmable per-channel filter: a FIR of up to 129 taps, one IIR section of order up to 128
// (transposed direct form II), or a cascade of equal-order IIR sections (biquads etc.).
// Real-time safe: DigiFilter_Process never allocates, locks or throws.
#include <atomic>
#include <cstdint>

constexpr int kDigiFilterMaxOrder = 128;                    // highest coefficient index
constexpr int kDigiFilterCoeffs = kDigiFilterMaxOrder + 1;  // 129 entries per array

struct DigiFilterBlock {
  // Highest coefficient index (the order), 0..128. A larger value is stored back as 128
  // when the filter runs; a negative one is treated as 0.
  int32_t MaxCoeff;
  // IIR when non-zero, FIR when 0.
  uint8_t Is_IIR;
  // IIR only. 0: one section over coefficients 0..MaxCoeff. 2 or more: (MaxCoeff + 1) / Cascaded
  // sections of Cascaded coefficients each (3 = biquads), section k starting at k * Cascaded.
  // 1 or negative: the filter produces no output (out is left untouched).
  int32_t Cascaded;
  // FIR taps (alpha[k] weights the sample k steps back), or the IIR feed-forward coefficients.
  double alpha[kDigiFilterCoeffs];
  // IIR feedback coefficients, subtracted; the first beta of each section is unused (taken as 1).
  double beta[kDigiFilterCoeffs];
  // IIR state, or the FIR delay ring.
  double z[kDigiFilterCoeffs];
  // FIR: newest sample in z. A pointer outside z[0]..z[MaxCoeff] (for instance after the record
  // was copied from another one) is set back to z[0] by DigiFilter_Process.
  double* pZ;
};

// Running records of channels 0 and 1 (executed by the audio thread) and the edited ones
// (written by the filter designers, handed over by copying into g_DigiFilters).
extern DigiFilterBlock g_DigiFilters[2];
extern DigiFilterBlock g_EditedDigiFilters[2];

// IIR clamp limits of every section output y (1e20 / -1e20 after start-up; the filter window
// may set +-32767).
extern std::atomic<double> g_DigiFilterClipMax;
extern std::atomic<double> g_DigiFilterClipMin;
// Number of clamps applied to IIR section outputs.
extern std::atomic<int32_t> g_DigiFilterOverflows;
// Number of IIR samples whose computation produced a non-finite value (NaN/inf in the state or
// the input). Such a section's state is cleared so that the filter recovers.
extern std::atomic<int32_t> g_DigiFilterExceptions;
// Peak test of the delay elements (done by the audio thread after each block of channel 0).
extern std::atomic<bool> g_DigiFilterTestPeakZ;
extern std::atomic<double> g_DigiFilterPeakZ;

// Start-up state of the globals above: clamps +-1e20, counters 0, peak test off, peak 0.
void DigiFilter_ResetGlobals();

// Nothing for a null f. With clearCoeffs: MaxCoeff, Is_IIR, Cascaded, alpha[], beta[] = 0.
// Always: z[] = 0 and pZ = &z[0].
void DigiFilter_Reset(DigiFilterBlock* f, bool clearCoeffs);

// Filters n samples (n < 1: nothing): out[i] = y[i] * gain. in and out must not overlap.
// A null f does nothing.
void DigiFilter_Process(const double* in, double* out, double gain, int n, DigiFilterBlock* f);

// Largest delay-element value z[0]..z[MaxCoeff - 1] of f (0 when MaxCoeff < 1); the audio
// thread raises g_DigiFilterPeakZ to it while the peak test is on.
double DigiFilter_PeakZ(const DigiFilterBlock* f);
