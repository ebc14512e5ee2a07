#include "engine/TestSignalGen.h"

#include <cmath>

#include "engine/SampleRates.h"
#include "engine/SndConfig.h"

double g_CosineTable[kCosineTableSize];
bool g_GenUseSineTable = false;
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

// One modulator step: advances the phase (table units for the cosine wave 0, cycles for the
// others) and returns the modulating value. cosineFromSine: the computed (table-less) path of
// wave 0 takes the sine of the phase (the FM modulator).
inline double Modulator(double& phase, int wave, double freq, double rate, bool useTable,
                        bool cosineFromSine) {
  if (wave == 0) {
    phase = Wrap(phase + freq * kTable / rate, kTable);
    if (useTable) return g_CosineTable[static_cast<int>(phase)];
    return cosineFromSine ? std::sin(phase * kTwoPi / kTable) : std::cos(phase * kTwoPi / kTable);
  }
  phase = Wrap(phase + freq / rate, 1.0);
  return Shape(wave, phase);
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

  for (int i = 0; i < n; ++i) {
    const double env = Modulator(amPhase, amWave, amFreq, rate, useTable, false) * amFactor + amCarrier;
    const double fm = Modulator(fmPhase, fmWave, fmFreq, rate, useTable, true) * fmScale;
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
      if (!osc[k].enabled) continue;
      GenSineState& st = g_GenSineStates[k];
      const double p = Wrap(st.Phase + st.Increment + (osc[k].fm ? fm : 0.0), kTable);
      st.Phase = p;
      double w;
      switch (osc[k].wave) {
        case 0:
          w = TableCos(p, useTable);
          break;
        case 1:
          w = p >= kTable / 2 ? 1.0 : -1.0;
          break;
        default:
          w = Shape(osc[k].wave, p / kTable);
          break;
      }
      double v = w * st.Amplitude;
      if (osc[k].am) v *= env;
      sum += v;
    }
    if (g_GenNoiseOn) {
      seed = seed * 3141592621u + 1u;
      sum += static_cast<int32_t>(seed) * noiseAmp;
    }
    out[i] = sum;
  }
  g_GenNoiseSeed = seed;
  g_GenAmPhase = amPhase;
  g_GenFmPhase = fmPhase;
}

void AddScaledClipped(const double* src, double* dst, int n, double gain, int* clipCount) {
  if (!src || !dst) return;
  int clips = 0;
  for (int i = 0; i < n; ++i) {
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
