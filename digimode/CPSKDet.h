#pragma once
// BPSK / QPSK receiver: mixes the input at the receive frequency to complex baseband, decimates
// it in up to three stages, filters it with a wide and a narrow 79-tap low-pass, keeps its level
// (AGC), follows the frequency (AFC) and the symbol timing, measures the signal quality for the
// squelch, decides the bits (16-state Viterbi decoder for QPSK) and decodes the Varicode into
// the engine's receive ring.
//
// Init runs on the GUI thread while the engine keeps the hooks out; ProcessSamples runs on the
// audio thread and never allocates. Outputs beside the returned frequency:
// g_DigimodeSquelchLevel, g_DigimodeSquelchOpen, Digimode_PutRxChar (only while the squelch is
// open) and kind-6 entries of the tuning-scope buffer.
#include <complex>
#include <cstdint>
#include <random>

constexpr int kPskDetTaps = 79;           // output filters
constexpr int kPskDetMaxStageTaps = 45;   // decimation stage tables (factor 2: 45, 3: 27, 4: 35)
constexpr int kPskDetEnergySize = 613;    // timing energy per sample position
constexpr int kPskDetMaxSamplesPerSymbol = 612;

class CPSKDet {
public:
  CPSKDet();
  virtual ~CPSKDet() = default;

  // Restarts all tracking for input rate fs (below 1 taken as 1) and the current settings
  // (Modulation, CodesetNr, symbol_rate, squelch_thrsh, use_afc, narrow_afc). Returns true.
  bool Init(double fs);
  // n samples (16-bit scale) at the receive frequency freq (Hz); returns the AFC-tracked
  // frequency (freq itself without AFC).
  double ProcessSamples(const double* x, int n, double freq);
  // A low-pass of `taps` (at most 79) taps with cut-off c (fraction of the rate) into h.
  static bool DesignFilter(double cutoff, int taps, double* h);

  // For the terminal's debugging info.
  int DecimationFactor(int stage) const { return stage >= 0 && stage < 3 ? m_Stage[stage].factor : 0; }
  int SamplesPerSymbol() const { return m_P; }
  double DecimatedSamplePeriod() const { return m_Td; }
  // The reverse Varicode table: code bits without the final 1 -> character (0 none).
  uint8_t ReverseVaricode(int v) const { return v >= 0 && v < 2048 ? m_Reverse[v] : 0; }

private:
  using cplx = std::complex<double>;
  struct Stage {
    int factor = 1;
    int taps = 0;
    const double* table = nullptr;
    cplx ring[2 * kPskDetMaxStageTaps];  // doubled so the newest `taps` are contiguous
    int pos = 0;
    int fill = 0;
  };

  void ProcessDecimated(cplx z);
  void SymbolDecision(cplx z0);
  int DecideBpskBit() const;
  int CoherentBpskBit(int fallback);
  void QpskBranchMetrics(const cplx z[4], double metric[4]) const;
  int ViterbiStep(const double metric[4]);
  void VaricodeBit(int bit, bool squelchOpen);

  double m_fs = 5512.5;
  double m_Ts = 0.032;
  double m_Td = 0.0;
  int m_P = 0;
  int m_Modulation = 8;
  int m_Codeset = 5;
  bool m_UseAfc = true;
  bool m_NarrowAfc = false;

  // Mixer.
  double m_Phase = 0.0;
  double m_PhaseInc = 0.0;
  double m_AfcOffset = 0.0;
  double m_LastFreq = 1000.0;
  bool m_FirstBlock = true;

  Stage m_Stage[3];
  cplx m_Ring[2 * kPskDetTaps];
  int m_RingPos = 0;
  double m_W[kPskDetTaps];
  double m_N[kPskDetTaps];

  double m_AgcAvg = 1.0;
  double m_AfcF = 0.0;
  double m_AfcE = 0.0;
  cplx m_AfcHist[3];

  double m_Energy[kPskDetEnergySize];
  int m_Pos = 0;
  double m_TimeInSymbol = 0.0;
  int m_Chosen = 0;
  int m_Best = 0;

  cplx m_Sym[4];  // symbol samples, [0] newest
  double m_Quality = 0.4;
  cplx m_Ref;  // BPSK carrier reference, in the orientation of the newest symbol
  cplx m_Rot;  // mean squared phase step per symbol (unit steps averaged)
  int m_ReversalRun = 0;
  int m_SteadyRun = 0;

  double m_PathMetric[16];
  uint32_t m_History[16];
  std::mt19937 m_TieRng;

  uint32_t m_Acc = 0;
  bool m_PrevZero = false;
  uint32_t m_SquelchHist = 0;   // squelch state per symbol, newest in bit 0
  uint8_t m_Reverse[2048];
};
