#include "engine/TestSignalGen.h"

#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/SampleRates.h"
#include "engine/SndConfig.h"

double g_CosineTable[kCosineTableSize];
std::atomic<bool> g_GenUseSineTable{false};
GenSineState g_GenSineStates[3];
double g_GenAmPhase = 0.0;
double g_GenFmPhase = 0.0;
bool g_GenNoiseOn = false;
std::atomic<bool> g_NoiseParamsChanged{false};
double g_GenNoiseAmplitude = 0.0;
uint32_t g_GenNoiseSeed = 1234568;
int32_t g_GenLastRate = 0;

namespace {

constexpr double kTable = kCosineTableSize;  // table units per cycle
constexpr double kTwoPi = 6.283185307179586476925286766559;

// p reduced into [0, period); any finite value (negative or huge) in constant time, a
// non-finite one restarts at 0.
inline double Wrap(double p, double period) {
  if (p >= 0.0 && p < period) return p;
  if (!std::isfinite(p)) return 0.0;
  p -= std::floor(p / period) * period;
  return (p >= 0.0 && p < period) ? p : 0.0;
}

// Wrap for a phase that left its period by less than one period (the case of every sample):
// one addition or subtraction, the same result as Wrap.
inline double WrapStep(double p, double period) {
  if (p >= 0.0 && p < period) return p;
  const double q = p >= period ? p - period : p + period;
  if (q >= 0.0 && q < period) return q;
  return Wrap(p, period);
}

inline double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

inline double TableCos(double phase, bool useTable) {
  if (useTable) return g_CosineTable[static_cast<int>(phase)];
  return std::cos(phase * kTwoPi / kTable);
}

// Shapes 1..3 over a phase in cycles 0..1; other values give 0.
inline double Shape(int wave, double t) {
  switch (wave) {
    case 1:
      return t >= 0.5 ? 1.0 : -1.0;
    case 2:
      return t >= 0.5 ? 3.0 - 4.0 * t : 4.0 * t - 1.0;
    case 3:
      return 2.0 * t - 1.0;
    default:
      return 0.0;
  }
}

constexpr int kGenChunk = 256;  // samples per pass of the per-stage loops

// One modulator over n samples: advances the phase (table units for the cosine wave 0, cycles
// for the others) and writes value * scale + offset. cosineFromSine: the computed (table-less)
// path of wave 0 takes the sine of the phase (the FM modulator).
void RunModulator(double& phase, int wave, double freq, double rate, bool useTable,
                  bool cosineFromSine, double scale, double offset, double* out, int n) {
  double ph = phase;
  if (wave == 0) {
    const double inc = freq * kTable / rate;
    if (useTable) {
      for (int i = 0; i < n; ++i) {
        ph = WrapStep(ph + inc, kTable);
        out[i] = g_CosineTable[static_cast<int>(ph)] * scale + offset;
      }
    } else {
      for (int i = 0; i < n; ++i) {
        ph = WrapStep(ph + inc, kTable);
        const double v =
            cosineFromSine ? std::sin(ph * kTwoPi / kTable) : std::cos(ph * kTwoPi / kTable);
        out[i] = v * scale + offset;
      }
    }
  } else {
    const double inc = freq / rate;
    for (int i = 0; i < n; ++i) {
      ph = WrapStep(ph + inc, 1.0);
      out[i] = Shape(wave, ph) * scale + offset;
    }
  }
  phase = ph;
}

// Adds one oscillator's n samples to sum[]: phase + increment (+ fm[i] with Fm), wrapped into
// the table, shaped by Wave (wave 0 from the table with Table), times the amplitude (and env[i]
// with Env). The options are template arguments so that each loop has no per-sample tests.
template <int Wave, bool Table, bool Fm, bool Env>
void RunOscillator(GenSineState& st, const double* fm, const double* env, double* sum, int n) {
  double ph = st.Phase;
  const double inc = st.Increment, amp = st.Amplitude;
  for (int i = 0; i < n; ++i) {
    double p = ph + inc;
    if constexpr (Fm) p += fm[i];
    p = WrapStep(p, kTable);
    ph = p;
    double w;
    if constexpr (Wave == 0) {
      w = TableCos(p, Table);
    } else if constexpr (Wave == 1) {
      w = p >= kTable / 2 ? 1.0 : -1.0;
    } else {
      w = Shape(Wave, p / kTable);
    }
    double v = w * amp;
    if constexpr (Env) v *= env[i];
    sum[i] += v;
  }
  st.Phase = ph;
}

template <int Wave, bool Table>
void RunOscillatorWave(GenSineState& st, const double* fm, const double* env, double* sum, int n) {
  if (fm && env)
    RunOscillator<Wave, Table, true, true>(st, fm, env, sum, n);
  else if (fm)
    RunOscillator<Wave, Table, true, false>(st, fm, env, sum, n);
  else if (env)
    RunOscillator<Wave, Table, false, true>(st, fm, env, sum, n);
  else
    RunOscillator<Wave, Table, false, false>(st, fm, env, sum, n);
}

}  // namespace

void InitTestSignalGenerator() {
  for (int i = 0; i < kCosineTableSize; ++i) g_CosineTable[i] = std::cos(kTwoPi * i / kTable);
  for (auto& s : g_GenSineStates) s = GenSineState{};
  g_GenAmPhase = 0.0;
  g_GenFmPhase = 0.0;
  g_GenUseSineTable = true;
  g_GenNoiseOn = false;
  g_GenNoiseAmplitude = 0.0;
  g_GenNoiseSeed = 1234568;
  g_GenLastRate = 0;
}

void GenerateTestSignal(double* out, int n) {
  const double rate = g_ProcessingSampleRate;
  if (!out || n < 1 || !(rate > 0.0) || !std::isfinite(rate)) return;
  bool rateChanged = false;
  const double rateInt = std::floor(rate);
  if (rateInt != static_cast<double>(g_GenLastRate)) {
    g_GenLastRate = rateInt > 2e9 ? 2000000000 : static_cast<int32_t>(rateInt);
    for (auto& s : SndConfig.Sine) s.ParamsChanged = true;
    rateChanged = true;
  }
  const bool noiseOn = SndConfig.NoiseOn != 0;
  // The noise level per seed unit depends on the rate too, so a rate change recomputes it.
  if (noiseOn != g_GenNoiseOn || g_NoiseParamsChanged.exchange(false) || rateChanged) {
    g_GenNoiseOn = noiseOn;
    g_GenNoiseAmplitude = Finite(std::sqrt(rate) * std::pow(10.0, 0.05 * SndConfig.NoiseLevel) * 1.41e-5);
  }
  struct Osc {
    bool enabled, am, fm;
    int wave;
  } osc[3];
  for (int k = 0; k < 3; ++k) {
    auto& cfg = SndConfig.Sine[k];
    GenSineState& st = g_GenSineStates[k];
    if (cfg.ParamsChanged.exchange(false)) {
      st.Freq = Finite(cfg.SinFreq);
      st.Increment = Finite(kTable * st.Freq / rate);
      st.Increment2 = st.Increment;
      st.Amplitude = Finite(cfg.SinAmpl * 32767.0);
    }
    st.Phase = Wrap(st.Phase, kTable);
    osc[k] = {cfg.Enabled, cfg.AmMod, cfg.FmMod, cfg.Wave};
  }
  const int amWave = SndConfig.AmModWave, fmWave = SndConfig.FmModWave;
  const double amFreq = Finite(SndConfig.AmModFreq), fmFreq = Finite(SndConfig.FmModFreq);
  const double amFactor = Finite(SndConfig.AmModFactor), amCarrier = Finite(SndConfig.AmModCarrier);
  const double fmScale = Finite(SndConfig.FmModDeviation * kTable / rate);
  const bool useTable = g_GenUseSineTable;
  const double noiseAmp = g_GenNoiseOn ? g_GenNoiseAmplitude : 0.0;
  uint32_t seed = g_GenNoiseSeed;
  double amPhase = Wrap(g_GenAmPhase, amWave == 0 ? kTable : 1.0);
  double fmPhase = Wrap(g_GenFmPhase, fmWave == 0 ? kTable : 1.0);
  const bool noise = g_GenNoiseOn;

  // Stage by stage over chunks: both modulators, then each oscillator adds its samples in
  // oscillator order (the same sums, in the same order, as sample by sample), then the noise.
  double env[kGenChunk], fm[kGenChunk];
  for (int done = 0; done < n;) {
    const int c = n - done < kGenChunk ? n - done : kGenChunk;
    double* sum = out + done;
    RunModulator(amPhase, amWave, amFreq, rate, useTable, false, amFactor, amCarrier, env, c);
    RunModulator(fmPhase, fmWave, fmFreq, rate, useTable, true, fmScale, 0.0, fm, c);
    for (int i = 0; i < c; ++i) sum[i] = 0.0;
    for (int k = 0; k < 3; ++k) {
      if (!osc[k].enabled) continue;
      GenSineState& st = g_GenSineStates[k];
      const double* f = osc[k].fm ? fm : nullptr;
      const double* e = osc[k].am ? env : nullptr;
      switch (osc[k].wave) {
        case 0:
          if (useTable)
            RunOscillatorWave<0, true>(st, f, e, sum, c);
          else
            RunOscillatorWave<0, false>(st, f, e, sum, c);
          break;
        case 1:
          RunOscillatorWave<1, true>(st, f, e, sum, c);
          break;
        case 2:
          RunOscillatorWave<2, true>(st, f, e, sum, c);
          break;
        case 3:
          RunOscillatorWave<3, true>(st, f, e, sum, c);
          break;
        default:
          RunOscillatorWave<-1, true>(st, f, e, sum, c);
          break;
      }
    }
    if (noise) {
      for (int i = 0; i < c; ++i) {
        seed = seed * 3141592621u + 1u;
        sum[i] += static_cast<int32_t>(seed) * noiseAmp;
      }
    }
    done += c;
  }
  g_GenNoiseSeed = seed;
  g_GenAmPhase = amPhase;
  g_GenFmPhase = fmPhase;
}

void AddScaledClipped(const double* src, double* dst, int n, double gain, int* clipCount) {
  if (!src || !dst) return;
  int clips = 0;
  int i = 0;
#ifdef __SSE2__
  // Two samples at a time without branches: a sample out of range, or not a number, is
  // replaced and counted once.
  const __m128d g = _mm_set1_pd(gain);
  const __m128d top = _mm_set1_pd(32767.0);
  const __m128d minusTop = _mm_set1_pd(-32767.0);
  __m128i count = _mm_setzero_si128();
  for (; i + 2 <= n; i += 2) {
    const __m128d v = _mm_add_pd(_mm_loadu_pd(dst + i), _mm_mul_pd(_mm_loadu_pd(src + i), g));
    const __m128d hi = _mm_cmpgt_pd(v, top);
    const __m128d lo = _mm_cmplt_pd(v, minusTop);
    const __m128d bad = _mm_or_pd(_mm_or_pd(hi, lo), _mm_cmpunord_pd(v, v));
    count = _mm_sub_epi64(count, _mm_castpd_si128(bad));  // a set lane is -1
    const __m128d r = _mm_or_pd(_mm_andnot_pd(bad, v),
                                _mm_or_pd(_mm_and_pd(hi, top), _mm_and_pd(lo, minusTop)));
    _mm_storeu_pd(dst + i, r);
  }
  alignas(16) long long lanes[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), count);
  clips = static_cast<int>(lanes[0] + lanes[1]);
#endif
  for (; i < n; ++i) {
    double v = dst[i] + src[i] * gain;
    if (v > 32767.0) {
      v = 32767.0;
      ++clips;
    } else if (v < -32767.0) {
      v = -32767.0;
      ++clips;
    } else if (!(v == v)) {
      v = 0.0;
      ++clips;
    }
    dst[i] = v;
  }
  if (clipCount) *clipCount += clips;
}
