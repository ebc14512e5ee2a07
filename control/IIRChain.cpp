#include "control/IIRChain.h"

#include <cmath>

#include "control/Chebyshev.h"
#include "engine/DigiFilter.h"

IIR3DesignParams g_IIR3DesignParams[2] = {{650.0, 100.0, 1}, {650.0, 100.0, 1}};

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr int kMaxSections = 42;  // 3k must stay below 126

struct PolePair {
  double re, im;
};
struct Prototype {
  const char* name;
  int pairs;
  PolePair p[5];
};
// Normalised low-pass poles -re +- j im (3 dB at 1 rad/s), as in the classic pole tables
// (A. B. Williams, "Electronic Filter Design Handbook").
const Prototype kPrototypes[kIIR3Responses] = {
    {"Bessel, n=10", 5,
     {{0.5172, 0.5092}, {0.5412, 0.4682}, {0.6, 0.3896}, {0.7326, 0.2792}, {1.151, 0.1437}}},
    {"Butterworth, n=10", 5,
     {{0.9877, 0.1564}, {0.891, 0.454}, {0.7071, 0.7071}, {0.454, 0.891}, {0.1564, 0.9877}}},
    // The two Chebyshev entries hold the 4 pole pairs of an 8-pole prototype.
    {"Chebyshev, 0.1 dB ripple, n=10", 4,
     {{0.3058, 0.1952}, {0.2592, 0.5558}, {0.1732, 0.8319}, {0.06082, 0.9812}}},
    {"Chebyshev, 1 dB ripple, n=10", 4,
     {{0.1737, 0.1956}, {0.1473, 0.5571}, {0.0984, 0.8337}, {0.03456, 0.9836}}},
    {"Linear Phase, 0.5 degrees, n=10", 5,
     {{0.5249, 0.3487}, {0.5193, 1.0429}, {0.5051, 1.7261}, {0.4741, 2.385}, {0.3708, 2.994}}},
    {"Linear Phase, 0.05 degrees, n=10", 5,
     {{0.7592, 0.3413}, {0.7467, 1.0195}, {0.7159, 1.6836}, {0.6475, 2.3198}, {0.4777, 2.9128}}},
    {"Transitional Gaussian to -6dB, n=10", 5,
     {{0.3384, 0.2101}, {0.3164, 0.618}, {0.2677, 0.9852}, {0.1849, 1.2745}, {0.06706, 1.4389}}},
    {"Transitional Gaussian to -12dB, n=10", 5,
     {{0.4535, 0.2794}, {0.4352, 0.8289}, {0.3886, 1.3448}, {0.2908, 1.7837}, {0.1136, 2.0599}}},
};

struct Biquad {
  double a0, a1, a2, b1, b2;
};

void StoreSection(DigiFilterBlock* block, int k, const Biquad& s, double gain) {
  block->alpha[3 * k] = s.a0 * gain;
  block->alpha[3 * k + 1] = s.a1 * gain;
  block->alpha[3 * k + 2] = s.a2 * gain;
  block->beta[3 * k] = 0.0;
  block->beta[3 * k + 1] = -s.b1;
  block->beta[3 * k + 2] = -s.b2;
}
}  // namespace

const char* IIR3ResponseName(int response) {
  if (response < 0 || response >= kIIR3Responses) return "";
  return kPrototypes[response].name;
}

bool CalcNarrowBandSection(double f, double bw, double fs, bool bandReject, double* a0,
                           double* a1, double* a2, double* b1, double* b2) {
  if (!(fs > 0.0) || !std::isfinite(fs)) return false;
  if (!(f > 0.0 && f < fs / 2.0)) return false;
  const double r = 1.0 - 3.0 * bw / fs;
  if (!(r > 0.0 && r < 1.0)) return false;
  const double w = kTwoPi * f / fs;
  const double cw = std::cos(w);
  const double k = (1.0 - 2.0 * r * cw + r * r) / (2.0 - 2.0 * cw);
  if (bandReject) {
    *a0 = k;
    *a1 = -2.0 * k * cw;
    *a2 = k;
  } else {
    *a0 = 1.0 - k;
    *a1 = 2.0 * (k - r) * cw;
    *a2 = r * r - k;
  }
  *b1 = 2.0 * r * cw;
  *b2 = -(r * r);
  return true;
}

bool CalcIIRChainStage(const FilterChainStage* stage, double ripple, double fs,
                       DigiFilterBlock* block, int stageIndex) {
  if (!stage || !block) return false;
  if (stageIndex < 0 || 3 * stageIndex >= 126) return false;
  if (!std::isfinite(stage->gain)) return false;
  Biquad s{0.0, 0.0, 0.0, 0.0, 0.0};
  switch (stage->filter_type) {
    case 0:
      s.a0 = 1.0;
      break;
    case 1:
    case 2: {
      if (!(fs > 0.0)) return false;
      const double fc = stage->f_center / fs;
      if (!ChebyshevCutoffValid(fc)) return false;
      // The stage position is the pole pair of a 4-pole design; positions whose pole the angle
      // formula puts into the right half-plane get its stable mirror (CalcChebyshevPolePair).
      CalcChebyshevPolePair(4, stageIndex, fc, stage->filter_type == 2 ? 1 : 0, ripple, &s.a0,
                            &s.a1, &s.a2, &s.b1, &s.b2);
      break;
    }
    case 3:
    case 4:
      if (!CalcNarrowBandSection(stage->f_center, stage->bandwidth, fs, stage->filter_type == 4,
                                 &s.a0, &s.a1, &s.a2, &s.b1, &s.b2)) {
        return false;
      }
      break;
    default:
      return false;
  }
  StoreSection(block, stageIndex, s, stage->gain);
  return true;
}

int CalculateIIRBandpassChain(double Fcenter, double Bandwidth, double fs, int Response,
                              DigiFilterBlock* block, FilterChainDesign* table) {
  if (!(Bandwidth > 0.0)) return IIR3_ERR_BANDWIDTH;
  const double q = Fcenter / Bandwidth;
  if (!(q > 0.0) || !std::isfinite(q)) return IIR3_ERR_Q;
  if (static_cast<unsigned>(Response) > 7u) return IIR3_ERR_RESPONSE;
  if (!(fs > 0.0) || !std::isfinite(fs)) return IIR3_ERR_SAMPLERATE;
  if (!block) return IIR3_ERR_SECTION;

  const Prototype& proto = kPrototypes[Response];
  const int n = 2 * proto.pairs;
  // Every section is computed first; block and table change only when all are realisable.
  Biquad sec[10];
  FilterChainStage st[10];
  for (int p = 0; p < proto.pairs; ++p) {
    const double re = proto.p[p].re;
    const double im = proto.p[p].im;
    // Band-pass transformation of the pole pair (A. B. Williams, "Electronic Filter Design
    // Handbook", section 5.1: the pole pair becomes two band-pass sections).
    const double c = re * re + im * im;
    const double d = 2.0 * re / q;
    const double e = c / (q * q) + 4.0;
    const double g = e * e - 4.0 * d * d;
    if (g < 0.0) return IIR3_ERR_G;
    const double qs = std::sqrt((e + std::sqrt(g)) / (2.0 * d * d));
    const double m = re * qs / q;
    if (m * m - 1.0 <= 0.0) return IIR3_ERR_M;
    const double w = m + std::sqrt(m * m - 1.0);
    const double fj[2] = {Fcenter / w, w * Fcenter};
    for (int j = 0; j < 2; ++j) {
      const int k = 2 * p + j;
      if (k >= kMaxSections) return IIR3_ERR_Q;
      const double bw = fj[j] / qs;
      const double gain =
          std::sqrt(std::pow(fj[j] * fj[j] - Fcenter * Fcenter, 2.0) + std::pow(Fcenter * bw, 2.0)) /
          (Fcenter * bw);
      st[k] = FilterChainStage{3, fj[j], bw, gain};
      Biquad& s = sec[k];
      if (!std::isfinite(gain) ||
          !CalcNarrowBandSection(fj[j], bw, fs, false, &s.a0, &s.a1, &s.a2, &s.b1, &s.b2)) {
        return IIR3_ERR_SECTION;
      }
    }
  }
  block->MaxCoeff = 3 * n - 1;
  block->Is_IIR = 1;
  block->Cascaded = 3;
  for (int k = 0; k < n; ++k) StoreSection(block, k, sec[k], st[k].gain);
  if (table) {
    table->NrOfStages = n;
    for (int k = 0; k < n; ++k) table->Stage[k] = st[k];
  }
  return IIR3_OK;
}
