#pragma once
// FFT object for spectrum lines: window, real or complex (I/Q) transform, power in dB or linear
// units, optional exponential averaging, integer output.
//
// Scaling: with the rectangle window a full-scale sine (amplitude 32,767) centred on a bin reads
// 0 dB; the dB output is truncate(factor * (log10(power + PowerFloor) + DbOffset)) with factor =
// 10 * scale, so scale 100 gives hundredths of a dB. Silence reads -200 dB (the floor).
//
// Frequency order: real input gives bins 0 .. N/2 - 1 from 0 Hz upwards. Complex input (I, Q)
// gives the middle half of the spectrum in ascending frequency; output N/4 is the mixing centre.
// The big ring mixes a real signal to I/Q as I = x cos(phi), Q = x sin(phi), which turns a tone
// d Hz above the centre into I + jQ = exp(-j 2 pi d t) (plus an image far away); so that this
// tone appears above the centre, complex input is transformed as X[k] = sum x[n] exp(+j 2 pi k n
// / N). In other words a component exp(-j 2 pi f t) appears f above the centre.
//
// Tables (twiddles, window, work arrays) are built once per object; CalcSpectrum never allocates.
#include <cstddef>
#include <cstdint>
#include <vector>

class Cfft {
public:
  enum { kMinSize = 64, kMaxSize = 65536 };
  enum { kWindowRectangle = 0, kWindowHamming = 1, kWindowHann = 2 };

  // size is clamped to 64 .. 65,536 and rounded down to a power of two (GetSize tells the result).
  // window: 0 rectangle, 1 Hamming, 2 Hann, any other value rectangle.
  Cfft(int size, bool complex, int window);
  virtual ~Cfft();
  Cfft(const Cfft&) = delete;
  Cfft& operator=(const Cfft&) = delete;

  int GetSize() const { return Size; }
  bool IsComplex() const { return m_IsComplex; }
  int GetWindow() const { return m_WindowType; }
  // Full sweeps over the work arrays per CalcPower. Direct transform: its stages, plus the
  // split step for real input (it forms the power as it goes), plus, for complex input whose
  // last stage is radix 8, the power sweep (a last radix-4 or radix-2 stage forms the power).
  // Four-step transform (transform length from 512, i.e. 1,024 real or 512 complex samples,
  // where the processor has AVX2): the column step and the row step (which forms the power,
  // for real input with the split step).
  int GetPassCount() const {
    if (m_N1 > 0) return 2;
    const bool fused = m_Main.stages.size() > 1 && m_Main.stages.back().radix != 8;
    return static_cast<int>(m_Main.stages.size()) + (!m_IsComplex || !fused ? 1 : 0);
  }

  // data: N reals, or N complex values (I, Q interleaved, 2N doubles); callers treat it as
  // scratch (this implementation leaves it unchanged).
  // scale: output factor (dB mode: 10 * scale per log10 unit; linear mode: scale for real input).
  // average: > 1 averages real-input levels exponentially, weighting the new spectrum 1/average.
  // logarithmic: dB output, else linear (real input: amplitude * 400 / 32767 / N * scale;
  // complex input: power * 400 / 32767 / N, no scale).
  // out: N / 2 integers (saturated to the int range; NaN gives 0). For real input out[0] is not
  // computed: it holds the level set when the scale kind changes (factor * scale * -200 after a
  // switch to dB, 0 after a switch to linear). Always returns true.
  bool CalcSpectrum(double* data, double scale, int average, bool logarithmic, int* out);

  // Transform only (for tests and benchmarks): windowed input in data as CalcSpectrum takes it;
  // writes the power re^2 + im^2 of bins 1 .. N/2 - 1 (real) or of all N bins in natural order
  // (complex) to power[]. Window is applied. Does not touch Levels.
  void CalcPower(const double* data, double* power);

  // Public fields as the rest of the program reads them.
  bool Averaging = false;
  bool LogScale = false;
  int32_t AverageCount = 1;
  int32_t Size = 0;
  double DbOffset = 0;     // log10 units: -2 log10(0.5 * 32767 * sum of the window)
  double PowerFloor = 0;   // added to each power before the log: -200 dB

private:
  // Windows data and transforms it (complex length m_M) in the work arrays and tells where the
  // result lies. With power given, a last radix-4 or radix-2 stage writes the power of each bin
  // (natural order) there instead of the spectrum; returns whether it did.
  bool Transform(const double* data, const double** outRe, const double** outIm, double* power);

  bool m_IsComplex = false;
  int m_WindowType = 0;
  int m_M = 0;  // complex transform length (N/2 for real input, N for complex)
  std::vector<double> Window;   // N entries
  std::vector<double> Levels;   // N/2 entries, held between calls for averaging
  struct Stage {
    int radix;  // 8, 4 or 2
    int span;   // outputs of one sub-transform before this stage
  };
  // A Stockham transform of length len whose elements are vectors of vec adjacent doubles
  // (vec is 1 or kVec: that many transforms side by side): its stages in order and their
  // twiddles (per stage, split re/im).
  struct Plan {
    int len = 0;
    int vec = 1;
    std::vector<Stage> stages;
    std::vector<double> tw;
  };
  static void BuildPlan(Plan& plan, int len, int vec);
  // Runs the plan's stages from first on in (left unchanged unless it is b), ping-ponging
  // between a and b (len * vec entries each); returns the array that holds the result (a or
  // b) in *outR, *outI.
  static void RunPlan(const Plan& plan, std::size_t first, const double* inr, const double* ini,
                      double* ar, double* ai, double* br, double* bi, const double** outR,
                      const double** outI);
  // The four-step transform (m_N1 > 0): windowed data to the power of each bin (complex
  // input: all m bins; real input: bins 0 .. m - 1 by the split step fused into the row step).
  void FourStep(const double* data, double* power);

  Plan m_Main;                  // the direct transform of length m (m_N1 == 0)
  int m_N1 = 0, m_N2 = 0;       // four-step factors, m = n1 * n2 (0: direct transform)
  Plan m_Cols, m_Rows;          // four-step column (vectors of kVec) and row transforms
  std::vector<double> m_StepTw1;  // W_m^(t k1), t < kVec, as [k1][re t.., im t..]
  std::vector<double> m_StepTw2;  // W_m^(c k1) per column block c: [block][re k1.., im k1..]
  double* m_Buf[4] = {};          // column and row buffers of the four-step transform
  std::vector<int> m_RowOrder;    // row k1 of each row-block lane (see the constructor)
  std::vector<double> m_SplitTw;  // real input: split twiddles in the row blocks' order
  std::vector<double> m_SplitCos, m_SplitSin;  // direct transform, real input: 2 pi k / N, k < N/2
  std::vector<double> m_Work;   // holds the work arrays below
  double* m_Re = nullptr;       // work buffers (split format), m entries each
  double* m_Im = nullptr;
  double* m_Re2 = nullptr;
  double* m_Im2 = nullptr;
  double* m_Power = nullptr;    // power of each bin
  double* m_Tmp = nullptr;      // log results
  std::vector<unsigned char> m_Flags;  // bins to recompute with the library log10
};
