#pragma once
// Vectorisable log10 for positive, finite doubles, accurate to about 1 ulp (within 2.5e-16
// relative to std::log10 for arguments >= 1e-300). No errno, no branches in the loop body so that
// the compiler can vectorise an array loop. Out-of-domain inputs (<= 0, subnormal, inf, NaN) are
// handled by falling back to std::log10 for that element.
#include <cstddef>

// out[i] = log10(in[i]) for i < n. in and out may be the same array.
void VecLog10(const double* in, double* out, std::size_t n);

// The same for a single value.
double VecLog10(double x);
