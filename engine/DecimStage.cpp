#include "engine/DecimStage.h"

const double g_Dec2StageCoeffs[25] = {0};
const double g_Dec3StageCoeffs[25] = {0};

int PlanDecimationChain(DecimStage*, int, int) { return 1; }
bool DecimChainStep(DecimStage*, int, double x, double* y) {
  *y = x;
  return true;
}
bool DecimChainStepComplex(DecimStage*, int, double re, double im, double* yRe, double* yIm) {
  *yRe = re;
  *yIm = im;
  return true;
}
