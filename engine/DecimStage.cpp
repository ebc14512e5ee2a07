#include "engine/DecimStage.h"

#include <cstdint>

// Half-band style low-pass for factor 2 and a narrower one for factor 3; 25 symmetric taps
// each (entries 13..24 mirror 11..0).
const double g_Dec2StageCoeffs[25] = {
    -0.001086881568768,  -0.00367797341826391, -0.0047920411648502, 0.00129370756629773,
    0.0145245113499293,  0.0211455982811658,   0.00276341141492466, -0.0369726519862278,
    -0.0567732234406836, -0.0041615169748691,  0.128367871654144,   0.275162804208724,
    0.339561154995869,   0.275162804208724,    0.128367871654144,   -0.0041615169748691,
    -0.0567732234406836, -0.0369726519862278,  0.00276341141492466, 0.0211455982811658,
    0.0145245113499293,  0.00129370756629773,  -0.0047920411648502, -0.00367797341826391,
    -0.001086881568768};

const double g_Dec3StageCoeffs[25] = {
    -0.000286440582680371, -0.00188366938636472, -0.00506620307896015, -0.00974817248307781,
    -0.0139407470519893,   -0.0139210800449785,  -0.00502634467052337, 0.0163468116202039,
    0.0504694707843042,    0.0928642782132562,   0.134771696647059,    0.16568873828291,
    0.177106618781497,     0.16568873828291,     0.134771696647059,    0.0928642782132562,
    0.0504694707843042,    0.0163468116202039,   -0.00502634467052337, -0.0139210800449785,
    -0.0139407470519893,   -0.00974817248307781, -0.00506620307896015, -0.00188366938636472,
    -0.000286440582680371};

namespace {

constexpr int kTaps = 25;

void ResetStage(DecimStage* s, int factor) {
  s->Factor = factor;
  s->Counter = 0;
  for (auto& d : s->Delay) d = {0.0, 0.0};
  s->pDelay = &s->Delay[0];
  s->pCoeffs = factor == 3 ? g_Dec3StageCoeffs : g_Dec2StageCoeffs;
}

// Position of pDelay in the delay line; 0 when it points elsewhere (e.g. after a copy).
int DelayPos(const DecimStage* s) {
  const auto base = reinterpret_cast<std::uintptr_t>(&s->Delay[0]);
  const auto p = reinterpret_cast<std::uintptr_t>(s->pDelay);
  if (p < base || p >= base + sizeof(s->Delay)) return 0;
  const std::uintptr_t off = p - base;
  return off % sizeof(DecimComplex) ? 0 : static_cast<int>(off / sizeof(DecimComplex));
}

// One stage: stores the value; true when the stage emits (the filtered value in re/im).
inline bool StageStep(DecimStage* s, double& re, double& im, bool complex) {
  int pos = DelayPos(s);
  pos = pos == 0 ? kTaps - 1 : pos - 1;
  s->pDelay = &s->Delay[pos];
  s->Delay[pos].re = re;
  s->Delay[pos].im = complex ? im : 0.0;
  if (++s->Counter < s->Factor) return false;
  s->Counter = 0;
  const double* c = s->pCoeffs ? s->pCoeffs : g_Dec2StageCoeffs;
  double sr = 0.0, si = 0.0;
  int k = 0;
  for (int j = pos; j < kTaps; ++j, ++k) {
    sr += s->Delay[j].re * c[k];
    si += s->Delay[j].im * c[k];
  }
  for (int j = 0; j < pos; ++j, ++k) {
    sr += s->Delay[j].re * c[k];
    si += s->Delay[j].im * c[k];
  }
  re = sr;
  im = si;
  return true;
}

inline bool ChainStep(DecimStage* stages, int nStages, double& re, double& im, bool complex) {
  for (int s = 0; s < nStages; ++s) {
    if (stages[s].Factor < 2) continue;
    if (!StageStep(&stages[s], re, im, complex)) return false;
  }
  return true;
}

}  // namespace

int PlanDecimationChain(DecimStage* stages, int nStages, int ratio) {
  if (!stages || nStages < 1) return 1;
  if (nStages > 8) nStages = 8;
  for (int i = 0; i < nStages; ++i) ResetStage(&stages[i], 1);
  if (nStages >= 4) {
    int p = 1;
    for (int i = 0; i < nStages; ++i) {
      const int r = ratio / p;
      int f = 1;
      if (r < 2)
        f = 1;
      else if (r % 3 == 0 || (i == nStages - 1 && r >= 3))
        f = 3;
      else if (r % 2 == 0)
        f = 2;
      stages[i].Factor = f;
      p *= f;
    }
  } else if (nStages == 1) {
    stages[0].Factor = ratio;
  } else {
    int r = ratio;
    if (nStages == 3 && ratio > 9) {
      if ((ratio % 2 == 1 && ratio % 3 == 0) || ratio >= 20) {
        stages[2].Factor = 3;
        r = ratio / 3;
      } else {
        stages[2].Factor = 2;
        r = ratio / 2;
      }
    }
    if (r == 2) {
      stages[0].Factor = 2;
    } else if (r == 3) {
      stages[0].Factor = 3;
    } else if (r == 4 || r == 5) {
      stages[0].Factor = 2;
      stages[1].Factor = 2;
    } else if (r >= 6 && r <= 8) {
      stages[0].Factor = 3;
      stages[1].Factor = 2;
    } else if (r >= 9) {
      stages[0].Factor = 3;
      stages[1].Factor = 3;
    }
  }
  int product = 1;
  for (int i = 0; i < nStages; ++i) {
    const int f = stages[i].Factor;
    ResetStage(&stages[i], (f == 2 || f == 3) ? f : 1);
    product *= stages[i].Factor;
  }
  return product;
}

bool DecimChainStep(DecimStage* stages, int nStages, double x, double* y) {
  double im = 0.0;
  if (!ChainStep(stages, nStages, x, im, false)) return false;
  *y = x;
  return true;
}

bool DecimChainStepComplex(DecimStage* stages, int nStages, double re, double im, double* yRe,
                           double* yIm) {
  if (!ChainStep(stages, nStages, re, im, true)) return false;
  *yRe = re;
  *yIm = im;
  return true;
}
