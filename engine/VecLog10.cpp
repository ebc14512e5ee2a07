#include "engine/VecLog10.h"

#include <cmath>

void VecLog10(const double* in, double* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = std::log10(in[i]);
}
double VecLog10(double x) { return std::log10(x); }
