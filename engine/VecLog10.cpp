#include "engine/VecLog10.h"
#include "engine/CpuVariants.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// log10 after the classic argument reduction x = 2^e * m, m in [sqrt(2)/2, sqrt(2)), with
// log(m) = log1p(f), f = m - 1, from the odd series in s = f / (2 + f), and log10 assembled in
// extra precision from hi/lo splits of 1/ln(10) and log10(2). The constants are the well-known
// minimax coefficients of the free libm (fdlibm / FreeBSD msun: e_log10.c, k_log.h); the result
// is within one ulp of the exact value.
//
// Everything in the loop is arithmetic and bit operations on 64-bit lanes (no tables, no
// branches), so the compiler vectorises it. Elements outside the normal positive range are
// recomputed by std::log10 afterwards.

namespace {

constexpr double kLg1 = 6.666666666666735130e-01;
constexpr double kLg2 = 3.999999999940941908e-01;
constexpr double kLg3 = 2.857142874366239149e-01;
constexpr double kLg4 = 2.222219843214978396e-01;
constexpr double kLg5 = 1.818357216161805012e-01;
constexpr double kLg6 = 1.531383769920937332e-01;
constexpr double kLg7 = 1.479819860511658591e-01;
constexpr double kIvln10Hi = 4.34294481878168880939e-01;
constexpr double kIvln10Lo = 2.50829467116452752298e-11;
constexpr double kLog10_2Hi = 3.01029995663611771306e-01;
constexpr double kLog10_2Lo = 3.69423907715893078616e-13;

constexpr uint64_t kMinNormal = 0x0010000000000000ULL;
constexpr uint64_t kInfBits = 0x7FF0000000000000ULL;
constexpr uint64_t kSqrtHalf = 0x3FE6A09E667F3BCDULL;  // bits of sqrt(2)/2

inline uint64_t Bits(double x) {
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}
inline double FromBits(uint64_t u) {
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

inline double Log10Core(double x) {
  const uint64_t ix = Bits(x);
  // Exponent relative to the reduced mantissa range [sqrt(2)/2, sqrt(2)).
  // Logical shifts only (AVX2 has no 64-bit arithmetic shift): eu = e mod 4096.
  const uint64_t eu = (ix - kSqrtHalf) >> 52;
  const double m = FromBits(ix - (eu << 52));
  // e as a double without an int64 conversion instruction: e + 2048 lies in 0 .. 4095.
  const double y = FromBits(0x4330000000000000ULL + ((eu + 2048) & 0xFFF)) -
                   (4503599627370496.0 + 2048.0);
  const double f = m - 1.0;
  const double hfsq = 0.5 * f * f;
  const double s = f / (2.0 + f);
  const double z = s * s;
  const double w = z * z;
  const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
  const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
  const double r = s * (hfsq + (t2 + t1));
  double hi = f - hfsq;
  hi = FromBits(Bits(hi) & 0xFFFFFFFF00000000ULL);
  const double lo = (f - hi) - hfsq + r;
  double valHi = hi * kIvln10Hi;
  const double y2 = y * kLog10_2Hi;
  double valLo = y * kLog10_2Lo + (lo + hi) * kIvln10Lo + lo * kIvln10Hi;
  const double sum = y2 + valHi;
  valLo += (y2 - sum) + valHi;
  valHi = sum;
  return valLo + valHi;
}

inline bool InDomain(double x) {
  const uint64_t u = Bits(x);
  return u >= kMinNormal && u < kInfBits;
}

// Returns whether any input lies outside the normal positive range.
VT_CLONES bool Log10Loop(
    const double* __restrict in, double* __restrict out, std::size_t n) {
  uint64_t bad = 0;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = Log10Core(in[i]);
    bad |= Bits(in[i]) - kMinNormal >= kInfBits - kMinNormal;
  }
  return bad != 0;
}

}  // namespace

void VecLog10(const double* in, double* out, std::size_t n) {
  // Work in chunks through a local buffer so that in == out stays correct while the loop can
  // still assume that its arrays do not overlap.
  constexpr std::size_t kChunk = 256;
  double tmp[kChunk];
  for (std::size_t done = 0; done < n; done += kChunk) {
    const std::size_t c = (n - done < kChunk) ? n - done : kChunk;
    if (!Log10Loop(in + done, tmp, c)) {
      std::memcpy(out + done, tmp, c * sizeof(double));
      continue;
    }
    for (std::size_t i = 0; i < c; ++i) {
      const double x = in[done + i];
      out[done + i] = InDomain(x) ? tmp[i] : std::log10(x);
    }
  }
}

double VecLog10(double x) {
  // Through the same loop as the arrays, so that one value gives the same result either way.
  double r;
  Log10Loop(&x, &r, 1);
  return InDomain(x) ? r : std::log10(x);
}
