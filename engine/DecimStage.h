#pragma once
// Decimation stages of factor 2 or 3 (25-tap FIR each) for the big sample rings and the wave log.
#include <cstdint>

struct DecimComplex {
  double re, im;
};

struct DecimStage {
  int32_t Factor;      // 1 (pass through), 2 or 3
  int32_t Counter;     // inputs taken since the last output
  DecimComplex Delay[25];  // circular delay line
  DecimComplex* pDelay;    // newest entry (reset to Delay[0] when it points elsewhere)
  const double* pCoeffs;   // g_Dec2StageCoeffs or g_Dec3StageCoeffs
};

extern const double g_Dec2StageCoeffs[25];
extern const double g_Dec3StageCoeffs[25];

// Resets the stages and splits ratio into factors of 2 and 3 (nStages 1..8; values < 1 do
// nothing and return 1). Returns the product of the planned factors, which can be below ratio
// when ratio has other prime factors (8 stages: 5 -> 3, 10 -> 6, 12 -> 12).
int PlanDecimationChain(DecimStage* stages, int nStages, int ratio);

// Runs one real value through stages[0..nStages-1]. Returns true when a value comes out of the
// last stage (written to *y).
bool DecimChainStep(DecimStage* stages, int nStages, double x, double* y);
// The same for an I/Q pair (both parts filtered with the same coefficients).
bool DecimChainStepComplex(DecimStage* stages, int nStages, double re, double im, double* yRe,
                           double* yIm);
