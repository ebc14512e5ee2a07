#pragma once
// Decimate-by-two stage with a fixed 45-tap symmetric low-pass FIR; halves the audio thread's
// input rate (up to three stages per channel) and the digimode receiver's input.

// The 45 coefficients (symmetric: c[44 - k] == c[k]); passband up to about 0.2 of the input
// rate, stopband from about 0.3.
extern const double g_Dec2FirCoeffs[45];

class CDec2FIR {
public:
  CDec2FIR();  // delay line cleared, pointer at the first entry
  virtual ~CDec2FIR() = default;

  // Clears the 45 delay entries; the pointer goes to the first entry.
  void Reset();
  // n inputs give n / 2 outputs (n < 2: none); out[i / 2] is formed at each odd input index i.
  // The odd/even phase starts anew with each call. in and out may be the same array.
  void Decimate(const double* in, double* out, int n);

private:
  // The delay line is kept twice (entries k and k + 45 equal) so that the 45 newest values are
  // always contiguous from m_Pos.
  double m_Delay[90];
  int m_Pos;  // index of the newest entry, 0..44
};

// The input sample-rate divisor (SndConfig.SampleRateDivisor) as the halving stages can realise
// it: 1, 2, 4 or 8. A divisor outside 1..64 counts as 1; values that are not a power of two or
// are above 8 are rounded down to the largest realisable power of two (16..64 give 8), so that
// the processing rate and the block length always agree.
int EffectiveInputDivisor(int sampleRateDivisor);
// Number of halving stages for that divisor: 0..3.
int InputHalvingStages(int sampleRateDivisor);
