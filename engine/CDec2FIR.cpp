#include "engine/CDec2FIR.h"

#include <algorithm>
#include <iterator>

const double g_Dec2FirCoeffs[45] = {
    0.00041063658,  0.00040020444,  -0.0014690721, -0.0046244896, -0.0048873265,
    0.00057075169,  0.0064849067,   0.0034999371,  -0.0072838126, -0.010484073,
    0.0032609865,   0.017545124,    0.0073308048,  -0.02042501,   -0.024496589,
    0.013398095,    0.045762697,    0.010940839,   -0.066633815,  -0.069373038,
    0.081944411,    0.30510648,     0.41246774,    0.30510648,    0.081944411,
    -0.069373038,   -0.066633815,   0.010940839,   0.045762697,   0.013398095,
    -0.024496589,   -0.02042501,    0.0073308048,  0.017545124,   0.0032609865,
    -0.010484073,   -0.0072838126,  0.0034999371,  0.0064849067,  0.00057075169,
    -0.0048873265,  -0.0046244896,  -0.0014690721, 0.00040020444, 0.00041063658};

CDec2FIR::CDec2FIR() { Reset(); }

void CDec2FIR::Reset() {
  std::fill(std::begin(m_Delay), std::end(m_Delay), 0.0);
  m_Pos = 0;
}

void CDec2FIR::Decimate(const double* in, double* out, int n) {
  for (int i = 0; i < n; ++i) {
    m_Pos = (m_Pos == 0) ? 44 : m_Pos - 1;
    const double x = in[i];  // read before out[i / 2] may overwrite it (in == out)
    m_Delay[m_Pos] = x;
    m_Delay[m_Pos + 45] = x;
    if (i & 1) {
      // The table is symmetric: fold the line around its centre tap, and keep four partial
      // sums so that the additions do not wait for each other.
      const double* d = m_Delay + m_Pos;
      const double* c = g_Dec2FirCoeffs;
      double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
      for (int k = 0; k < 20; k += 4) {
        a0 += c[k] * (d[k] + d[44 - k]);
        a1 += c[k + 1] * (d[k + 1] + d[43 - k]);
        a2 += c[k + 2] * (d[k + 2] + d[42 - k]);
        a3 += c[k + 3] * (d[k + 3] + d[41 - k]);
      }
      a0 += c[20] * (d[20] + d[24]);
      a1 += c[21] * (d[21] + d[23]);
      a2 += c[22] * d[22];
      out[i / 2] = (a0 + a1) + (a2 + a3);
    }
  }
}

int InputHalvingStages(int sampleRateDivisor) {
  if (sampleRateDivisor < 1 || sampleRateDivisor > 64) return 0;
  if (sampleRateDivisor >= 8) return 3;
  if (sampleRateDivisor >= 4) return 2;
  if (sampleRateDivisor >= 2) return 1;
  return 0;
}

int EffectiveInputDivisor(int sampleRateDivisor) {
  return 1 << InputHalvingStages(sampleRateDivisor);
}
