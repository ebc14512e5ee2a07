#include "engine/Cfft.h"
#include "engine/CpuVariants.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "engine/VecLog10.h"

// The transform: Stockham (self-sorting) radix-8 stages with one radix-4 or radix-2 stage for
// the remaining factor, on split real/imaginary arrays. Short lengths run them directly over
// the whole array; from 512 points a four-step split runs them on column and row blocks that
// stay in the L1 cache, so the big arrays are swept only twice (see FourStep). Every stage reads
// and writes contiguous runs, so the butterflies are vector operations; the hot loops are
// compiled for AVX-512, AVX2/FMA and the baseline and picked at load time. Real input of N
// samples is transformed as N/2 complex values and separated by the real-FFT split step.


// Tells GCC the loop's arrays do not overlap; other compilers go without the hint.
#if defined(__GNUC__) && !defined(__clang__)
#define VT_IVDEP _Pragma("GCC ivdep")
#else
#define VT_IVDEP
#endif
namespace {


constexpr double kPi = 3.14159265358979323846;

// Whether the processor runs the AVX2/FMA (or wider) variants of the kernels.
bool HasWideVectors() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

// Largest power of two <= v (v >= 1).
int FloorPow2(int v) {
  int p = 1;
  while (p <= v / 2) p *= 2;
  return p;
}

// One radix-4 butterfly at index k: inputs x0..x3 (re/im pointers), twiddles w1..w3; declares
// the four outputs z0r, z0i .. z3r, z3i.
#define VT_RADIX4_BODY                                                                      \
  const double v0r = x0r[k], v0i = x0i[k];                                                  \
  const double u1r = x1r[k], u1i = x1i[k];                                                  \
  const double u2r = x2r[k], u2i = x2i[k];                                                  \
  const double u3r = x3r[k], u3i = x3i[k];                                                  \
  const double v1r = u1r * w1r[k] - u1i * w1i[k], v1i = u1r * w1i[k] + u1i * w1r[k];        \
  const double v2r = u2r * w2r[k] - u2i * w2i[k], v2i = u2r * w2i[k] + u2i * w2r[k];        \
  const double v3r = u3r * w3r[k] - u3i * w3i[k], v3i = u3r * w3i[k] + u3i * w3r[k];        \
  const double a0r = v0r + v2r, a0i = v0i + v2i;                                            \
  const double a1r = v0r - v2r, a1i = v0i - v2i;                                            \
  const double a2r = v1r + v3r, a2i = v1i + v3i;                                            \
  const double a3r = v1i - v3i, a3i = v3r - v1r;                                            \
  const double z0r = a0r + a2r, z0i = a0i + a2i;                                            \
  const double z1r = a1r + a3r, z1i = a1i + a3i;                                            \
  const double z2r = a0r - a2r, z2i = a0i - a2i;                                            \
  const double z3r = a1r - a3r, z3i = a1i - a3i;

// Radix-4 stage of span ns: for block b and k < ns, j = b*ns + k,
// v_r = x[j + r*q] * w^(r k) (w = exp(-2 pi i / (4 ns))), y[b*4ns + k + r*ns] = DFT4(v)_r.
// tw holds w^k, w^2k, w^3k as six arrays of ns entries (re1, im1, re2, im2, re3, im3).
VT_CLONES void Radix4Stage(const double* __restrict xr, const double* __restrict xi,
                           double* __restrict yr, double* __restrict yi,
                           const double* __restrict tw, int m, int ns) {
  const int q = m / 4;
  const double* w1r = tw;
  const double* w1i = tw + ns;
  const double* w2r = tw + 2 * ns;
  const double* w2i = tw + 3 * ns;
  const double* w3r = tw + 4 * ns;
  const double* w3i = tw + 5 * ns;
  const int blocks = q / ns;
  for (int b = 0; b < blocks; ++b) {
    const double* x0r = xr + b * ns;
    const double* x0i = xi + b * ns;
    const double* x1r = x0r + q;
    const double* x1i = x0i + q;
    const double* x2r = x1r + q;
    const double* x2i = x1i + q;
    const double* x3r = x2r + q;
    const double* x3i = x2i + q;
    double* y0r = yr + b * 4 * ns;
    double* y0i = yi + b * 4 * ns;
    double* y1r = y0r + ns;
    double* y1i = y0i + ns;
    double* y2r = y1r + ns;
    double* y2i = y1i + ns;
    double* y3r = y2r + ns;
    double* y3i = y2i + ns;
VT_IVDEP
    for (int k = 0; k < ns; ++k) {
      VT_RADIX4_BODY
      y0r[k] = z0r;
      y0i[k] = z0i;
      y1r[k] = z1r;
      y1i[k] = z1i;
      y2r[k] = z2r;
      y2i[k] = z2i;
      y3r[k] = z3r;
      y3i[k] = z3i;
    }
  }
}

// First radix-8 stage (span 1, no twiddles) fused with the window: the inputs x[j + r*m/8] are
// taken from the caller's interleaved array, windowed, and y[8j + r] = DFT8(x[j + r*m/8])_r.
// Real input: x[n] = data[2n] w[2n] + i data[2n+1] w[2n+1] (N = 2m samples packed as m complex
// values). Complex input: x[n] = (data[2n] - i data[2n+1]) w[n] (conjugated, see Cfft.h).
#define VT_RADIX8_FIRST_BODY \
    const double e0r = v0r + v4r, e0i = v0i + v4i; \
    const double e1r = v0r - v4r, e1i = v0i - v4i; \
    const double e2r = v2r + v6r, e2i = v2i + v6i; \
    const double e3r = v2i - v6i, e3i = v6r - v2r; \
    const double E0r = e0r + e2r, E0i = e0i + e2i; \
    const double E1r = e1r + e3r, E1i = e1i + e3i; \
    const double E2r = e0r - e2r, E2i = e0i - e2i; \
    const double E3r = e1r - e3r, E3i = e1i - e3i; \
    const double o0r = v1r + v5r, o0i = v1i + v5i; \
    const double o1r = v1r - v5r, o1i = v1i - v5i; \
    const double o2r = v3r + v7r, o2i = v3i + v7i; \
    const double o3r = v3i - v7i, o3i = v7r - v3r; \
    const double O0r = o0r + o2r, O0i = o0i + o2i; \
    const double O1r = o1r + o3r, O1i = o1i + o3i; \
    const double O2r = o0r - o2r, O2i = o0i - o2i; \
    const double O3r = o1r - o3r, O3i = o1i - o3i; \
    const double T1r = s * (O1r + O1i), T1i = s * (O1i - O1r); \
    const double T2r = O2i, T2i = -O2r; \
    const double T3r = s * (O3i - O3r), T3i = -s * (O3r + O3i); \
    yr[8 * j + 0] = E0r + O0r; \
    yr[8 * j + 1] = E1r + T1r; \
    yr[8 * j + 2] = E2r + T2r; \
    yr[8 * j + 3] = E3r + T3r; \
    yr[8 * j + 4] = E0r - O0r; \
    yr[8 * j + 5] = E1r - T1r; \
    yr[8 * j + 6] = E2r - T2r; \
    yr[8 * j + 7] = E3r - T3r; \
    yi[8 * j + 0] = E0i + O0i; \
    yi[8 * j + 1] = E1i + T1i; \
    yi[8 * j + 2] = E2i + T2i; \
    yi[8 * j + 3] = E3i + T3i; \
    yi[8 * j + 4] = E0i - O0i; \
    yi[8 * j + 5] = E1i - T1i; \
    yi[8 * j + 6] = E2i - T2i; \
    yi[8 * j + 7] = E3i - T3i; \

VT_CLONES void Radix8FirstReal(const double* __restrict data, const double* __restrict win,
                               double* __restrict yr, double* __restrict yi, int m) {
  const int q = m / 8;
  const double s = 0.70710678118654752440;
  for (int j = 0; j < q; ++j) {
#define VT_LOAD(K)                                                               \
  const double v##K##r = data[2 * (j + K * q)] * win[2 * (j + K * q)];           \
  const double v##K##i = data[2 * (j + K * q) + 1] * win[2 * (j + K * q) + 1];
    VT_LOAD(0) VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
    VT_RADIX8_FIRST_BODY
  }
}

VT_CLONES void Radix8FirstComplex(const double* __restrict data, const double* __restrict win,
                                  double* __restrict yr, double* __restrict yi, int m) {
  const int q = m / 8;
  const double s = 0.70710678118654752440;
  for (int j = 0; j < q; ++j) {
#define VT_LOAD(K)                                                     \
  const double v##K##r = data[2 * (j + K * q)] * win[j + K * q];       \
  const double v##K##i = -(data[2 * (j + K * q) + 1] * win[j + K * q]);
    VT_LOAD(0) VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
    VT_RADIX8_FIRST_BODY
  }
}
// The same first stage on split arrays without a window (the rows of the four-step transform).
VT_CLONES void Radix8FirstSplit(const double* __restrict xr, const double* __restrict xi,
                                double* __restrict yr, double* __restrict yi, int m) {
  const int q = m / 8;
  const double s = 0.70710678118654752440;
  for (int j = 0; j < q; ++j) {
#define VT_LOAD(K)                           \
  const double v##K##r = xr[j + K * q];      \
  const double v##K##i = xi[j + K * q];
    VT_LOAD(0) VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
    VT_RADIX8_FIRST_BODY
  }
}
#undef VT_RADIX8_FIRST_BODY

// Radix-8 stage of span ns >= 1 (like Radix4Stage with eight inputs x[j + r*m/8]); tw holds
// w^(r k), r = 1..7, as 14 arrays of ns entries (re1, im1, .. re7, im7), w = exp(-2 pi i/(8 ns)).
VT_CLONES void Radix8Stage(const double* __restrict xr, const double* __restrict xi,
                           double* __restrict yr, double* __restrict yi,
                           const double* __restrict tw, int m, int ns) {
  const int q = m / 8;
  const double s = 0.70710678118654752440;
  const int blocks = q / ns;
  for (int b = 0; b < blocks; ++b) {
    const double* x0r = xr + b * ns;
    const double* x0i = xi + b * ns;
    double* y0r = yr + b * 8 * ns;
    double* y0i = yi + b * 8 * ns;
VT_IVDEP
    for (int k = 0; k < ns; ++k) {
      double vr[8], vi[8];
      vr[0] = x0r[k];
      vi[0] = x0i[k];
      for (int r = 1; r < 8; ++r) {
        const double ur = x0r[k + r * q], ui = x0i[k + r * q];
        const double wr = tw[(2 * r - 2) * ns + k], wi = tw[(2 * r - 1) * ns + k];
        vr[r] = ur * wr - ui * wi;
        vi[r] = ur * wi + ui * wr;
      }
      // Two DFT4 of the even and the odd inputs.
      const double e0r = vr[0] + vr[4], e0i = vi[0] + vi[4];
      const double e1r = vr[0] - vr[4], e1i = vi[0] - vi[4];
      const double e2r = vr[2] + vr[6], e2i = vi[2] + vi[6];
      const double e3r = vi[2] - vi[6], e3i = vr[6] - vr[2];  // (v2 - v6) * -i
      const double E0r = e0r + e2r, E0i = e0i + e2i;
      const double E1r = e1r + e3r, E1i = e1i + e3i;
      const double E2r = e0r - e2r, E2i = e0i - e2i;
      const double E3r = e1r - e3r, E3i = e1i - e3i;
      const double o0r = vr[1] + vr[5], o0i = vi[1] + vi[5];
      const double o1r = vr[1] - vr[5], o1i = vi[1] - vi[5];
      const double o2r = vr[3] + vr[7], o2i = vi[3] + vi[7];
      const double o3r = vi[3] - vi[7], o3i = vr[7] - vr[3];
      const double O0r = o0r + o2r, O0i = o0i + o2i;
      const double O1r = o1r + o3r, O1i = o1i + o3i;
      const double O2r = o0r - o2r, O2i = o0i - o2i;
      const double O3r = o1r - o3r, O3i = o1i - o3i;
      // Odd half times W8^k: W8 = (s, -s), W8^2 = -i, W8^3 = (-s, -s).
      const double T1r = s * (O1r + O1i), T1i = s * (O1i - O1r);
      const double T2r = O2i, T2i = -O2r;
      const double T3r = s * (O3i - O3r), T3i = -s * (O3r + O3i);
      y0r[k] = E0r + O0r;
      y0i[k] = E0i + O0i;
      y0r[k + ns] = E1r + T1r;
      y0i[k + ns] = E1i + T1i;
      y0r[k + 2 * ns] = E2r + T2r;
      y0i[k + 2 * ns] = E2i + T2i;
      y0r[k + 3 * ns] = E3r + T3r;
      y0i[k + 3 * ns] = E3i + T3i;
      y0r[k + 4 * ns] = E0r - O0r;
      y0i[k + 4 * ns] = E0i - O0i;
      y0r[k + 5 * ns] = E1r - T1r;
      y0i[k + 5 * ns] = E1i - T1i;
      y0r[k + 6 * ns] = E2r - T2r;
      y0i[k + 6 * ns] = E2i - T2i;
      y0r[k + 7 * ns] = E3r - T3r;
      y0i[k + 7 * ns] = E3i - T3i;
    }
  }
}

// Final radix-2 stage of span h = m/2: y[k] = x[k] + w^k x[k+h], y[k+h] = x[k] - w^k x[k+h],
// w = exp(-2 pi i / m); tw holds re and im of w^k as two arrays of h entries.
VT_CLONES void Radix2Last(const double* __restrict xr, const double* __restrict xi,
                          double* __restrict yr, double* __restrict yi,
                          const double* __restrict tw, int m) {
  const int h = m / 2;
  const double* wr = tw;
  const double* wi = tw + h;
  for (int k = 0; k < h; ++k) {
    const double ur = xr[k + h], ui = xi[k + h];
    const double vr = ur * wr[k] - ui * wi[k], vi = ur * wi[k] + ui * wr[k];
    yr[k] = xr[k] + vr;
    yi[k] = xi[k] + vi;
    yr[k + h] = xr[k] - vr;
    yi[k + h] = xi[k] - vi;
  }
}

// The last stages of a complex transform fused with the power: the same butterflies as
// Radix4Stage (span ns = m/4) and Radix2Last, but each output is written as re^2 + im^2 to
// power[], which saves writing the spectrum and reading it back in a separate sweep.
VT_CLONES void Radix4LastPower(const double* __restrict xr, const double* __restrict xi,
                               const double* __restrict tw, double* __restrict power, int m) {
  const int ns = m / 4;
  const double* w1r = tw;
  const double* w1i = tw + ns;
  const double* w2r = tw + 2 * ns;
  const double* w2i = tw + 3 * ns;
  const double* w3r = tw + 4 * ns;
  const double* w3i = tw + 5 * ns;
  double* p0 = power;
  double* p1 = power + ns;
  double* p2 = power + 2 * ns;
  double* p3 = power + 3 * ns;
  const double* x0r = xr;
  const double* x0i = xi;
  const double* x1r = xr + ns;
  const double* x1i = xi + ns;
  const double* x2r = xr + 2 * ns;
  const double* x2i = xi + 2 * ns;
  const double* x3r = xr + 3 * ns;
  const double* x3i = xi + 3 * ns;
  for (int k = 0; k < ns; ++k) {
    VT_RADIX4_BODY
    p0[k] = z0r * z0r + z0i * z0i;
    p1[k] = z1r * z1r + z1i * z1i;
    p2[k] = z2r * z2r + z2i * z2i;
    p3[k] = z3r * z3r + z3i * z3i;
  }
}

VT_CLONES void Radix2LastPower(const double* __restrict xr, const double* __restrict xi,
                               const double* __restrict tw, double* __restrict power, int m) {
  const int h = m / 2;
  const double* wr = tw;
  const double* wi = tw + h;
  for (int k = 0; k < h; ++k) {
    const double ur = xr[k + h], ui = xi[k + h];
    const double vr = ur * wr[k] - ui * wi[k], vi = ur * wi[k] + ui * wr[k];
    const double ar = xr[k] + vr, ai = xi[k] + vi;
    const double br = xr[k] - vr, bi = xi[k] - vi;
    power[k] = ar * ar + ai * ai;
    power[k + h] = br * br + bi * bi;
  }
}

#undef VT_RADIX4_BODY

// Real-FFT split step: from Z = FFT_m(x[2n] + i x[2n+1]) the spectrum of the N = 2m real
// samples is X[k] = E[k] + W^k O[k], E = (Z[k] + conj Z[m-k]) / 2,
// O = -i (Z[k] - conj Z[m-k]) / 2, W = exp(-2 pi i / N). Writes |X[k]|^2 for k = 1 .. m-1.
VT_CLONES void SplitPower(const double* __restrict zr, const double* __restrict zi,
                          const double* __restrict cs, const double* __restrict sn,
                          double* __restrict power, int m) {
  for (int k = 1; k < m; ++k) {
    const double ar = zr[k], ai = zi[k];
    const double br = zr[m - k], bi = zi[m - k];
    const double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
    const double orr = 0.5 * (ai + bi), oi = -0.5 * (ar - br);
    const double c = cs[k], s = sn[k];
    // W^k = c - i s
    const double xr = er + (c * orr + s * oi);
    const double xi = ei + (c * oi - s * orr);
    power[k] = xr * xr + xi * xi;
  }
}

VT_CLONES void PowerOf(const double* __restrict re, const double* __restrict im,
                       double* __restrict power, int m) {
  for (int k = 0; k < m; ++k) power[k] = re[k] * re[k] + im[k] * im[k];
}

// Four-step transform of length m = n1 * n2: input index n = n2 j1 + j2, output index
// k = k1 + n1 k2.
//   1. Column step: for each column j2, the n1-point DFT over j1 of x[n2 j1 + j2], times
//      W_m^(j2 k1), stored as row k1. Columns are taken kVec at a time straight from the
//      caller's array (windowed on the way), so that the column transforms run on vectors of
//      kVec adjacent values in a small buffer.
//   2. Row step: for each row k1, the n2-point DFT over j2 gives X[k1 + n1 k2]. Rows are taken
//      kVec at a time, side by side like the columns, and the step ends with the power of each
//      bin (for real input with the split step, see SplitRowsPower).
// Each step reads and writes the big arrays once; the sub-transforms stay in the L1 cache.
constexpr int kVec = 8;
constexpr std::size_t kStagger = 72;  // doubles between work arrays (576 bytes)
constexpr int kFourStepMin = 512;  // complex length from which the four-step transform is used

// Stages on vectors of kVec adjacent values (kVec transforms side by side, element e of
// transform t at x[e kVec + t]): the same butterflies as Radix8Stage, Radix4Stage and
// Radix2Last, with one twiddle per element broadcast over the vector (tables as there, not
// repeated). The first radix-8 stage (span 1) has no twiddles. Written with the compiler's
// vector type so that each butterfly is one vector operation whatever the unit's width.
typedef double VecD __attribute__((vector_size(kVec * sizeof(double)), aligned(sizeof(double)),
                                   may_alias));
typedef double VecH __attribute__((vector_size(kVec / 2 * sizeof(double)),
                                   aligned(sizeof(double)), may_alias));
#define VT_VLD(p) (*reinterpret_cast<const VecD*>(p))
#define VT_HST(p) (*reinterpret_cast<VecH*>(p))
#define VT_VST(p) (*reinterpret_cast<VecD*>(p))

#define VT_DFT8_BODY                                                      \
  const VecD e0r = v0r + v4r, e0i = v0i + v4i;                            \
  const VecD e1r = v0r - v4r, e1i = v0i - v4i;                            \
  const VecD e2r = v2r + v6r, e2i = v2i + v6i;                            \
  const VecD e3r = v2i - v6i, e3i = v6r - v2r;                            \
  const VecD E0r = e0r + e2r, E0i = e0i + e2i;                            \
  const VecD E1r = e1r + e3r, E1i = e1i + e3i;                            \
  const VecD E2r = e0r - e2r, E2i = e0i - e2i;                            \
  const VecD E3r = e1r - e3r, E3i = e1i - e3i;                            \
  const VecD o0r = v1r + v5r, o0i = v1i + v5i;                            \
  const VecD o1r = v1r - v5r, o1i = v1i - v5i;                            \
  const VecD o2r = v3r + v7r, o2i = v3i + v7i;                            \
  const VecD o3r = v3i - v7i, o3i = v7r - v3r;                            \
  const VecD O0r = o0r + o2r, O0i = o0i + o2i;                            \
  const VecD O1r = o1r + o3r, O1i = o1i + o3i;                            \
  const VecD O2r = o0r - o2r, O2i = o0i - o2i;                            \
  const VecD O3r = o1r - o3r, O3i = o1i - o3i;                            \
  const VecD T1r = s * (O1r + O1i), T1i = s * (O1i - O1r);                \
  const VecD T2r = O2i, T2i = -O2r;                                       \
  const VecD T3r = s * (O3i - O3r), T3i = -s * (O3r + O3i);               \
  VT_VST(Y(0, r)) = E0r + O0r; VT_VST(Y(0, i)) = E0i + O0i;               \
  VT_VST(Y(1, r)) = E1r + T1r; VT_VST(Y(1, i)) = E1i + T1i;               \
  VT_VST(Y(2, r)) = E2r + T2r; VT_VST(Y(2, i)) = E2i + T2i;               \
  VT_VST(Y(3, r)) = E3r + T3r; VT_VST(Y(3, i)) = E3i + T3i;               \
  VT_VST(Y(4, r)) = E0r - O0r; VT_VST(Y(4, i)) = E0i - O0i;               \
  VT_VST(Y(5, r)) = E1r - T1r; VT_VST(Y(5, i)) = E1i - T1i;               \
  VT_VST(Y(6, r)) = E2r - T2r; VT_VST(Y(6, i)) = E2i - T2i;               \
  VT_VST(Y(7, r)) = E3r - T3r; VT_VST(Y(7, i)) = E3i - T3i;

VT_CLONES void Radix8FirstVec(const double* __restrict xr, const double* __restrict xi,
                              double* __restrict yr, double* __restrict yi, int m) {
  const int q = m / 8;
  const double s = 0.70710678118654752440;
  const std::size_t qv = static_cast<std::size_t>(q) * kVec;
  for (int j = 0; j < q; ++j) {
    const double* x0r = xr + static_cast<std::size_t>(j) * kVec;
    const double* x0i = xi + static_cast<std::size_t>(j) * kVec;
    double* y0r = yr + static_cast<std::size_t>(8 * j) * kVec;
    double* y0i = yi + static_cast<std::size_t>(8 * j) * kVec;
#define VT_LOAD(K)                          \
  const VecD v##K##r = VT_VLD(x0r + K * qv); \
  const VecD v##K##i = VT_VLD(x0i + K * qv);
    VT_LOAD(0) VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
#define Y(R, P) (y0##P + (R) * kVec)
    VT_DFT8_BODY
#undef Y
  }
}

VT_CLONES void Radix8StageVec(const double* __restrict xr, const double* __restrict xi,
                              double* __restrict yr, double* __restrict yi,
                              const double* __restrict tw, int m, int ns) {
  const int q = m / 8;
  const double s = 0.70710678118654752440;
  const int blocks = q / ns;
  const std::size_t qv = static_cast<std::size_t>(q) * kVec;
  const std::size_t nsv = static_cast<std::size_t>(ns) * kVec;
  for (int b = 0; b < blocks; ++b) {
    for (int k = 0; k < ns; ++k) {
      const double* x0r = xr + static_cast<std::size_t>(b * ns + k) * kVec;
      const double* x0i = xi + static_cast<std::size_t>(b * ns + k) * kVec;
      double* y0r = yr + static_cast<std::size_t>(b * 8 * ns + k) * kVec;
      double* y0i = yi + static_cast<std::size_t>(b * 8 * ns + k) * kVec;
      const VecD v0r = VT_VLD(x0r), v0i = VT_VLD(x0i);
#define VT_LOAD(K)                                                             \
  const double w##K##r = tw[(2 * K - 2) * ns + k], w##K##i = tw[(2 * K - 1) * ns + k]; \
  const VecD u##K##r = VT_VLD(x0r + K * qv), u##K##i = VT_VLD(x0i + K * qv);   \
  const VecD v##K##r = u##K##r * w##K##r - u##K##i * w##K##i;                  \
  const VecD v##K##i = u##K##r * w##K##i + u##K##i * w##K##r;
      VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
#define Y(R, P) (y0##P + (R) * nsv)
      VT_DFT8_BODY
#undef Y
    }
  }
}

VT_CLONES void Radix4StageVec(const double* __restrict xr, const double* __restrict xi,
                              double* __restrict yr, double* __restrict yi,
                              const double* __restrict tw, int m, int ns) {
  const int q = m / 4;
  const int blocks = q / ns;
  const std::size_t qv = static_cast<std::size_t>(q) * kVec;
  const std::size_t nsv = static_cast<std::size_t>(ns) * kVec;
  for (int b = 0; b < blocks; ++b) {
    for (int k = 0; k < ns; ++k) {
      const double* x0r = xr + static_cast<std::size_t>(b * ns + k) * kVec;
      const double* x0i = xi + static_cast<std::size_t>(b * ns + k) * kVec;
      double* y0r = yr + static_cast<std::size_t>(b * 4 * ns + k) * kVec;
      double* y0i = yi + static_cast<std::size_t>(b * 4 * ns + k) * kVec;
      const double w1r = tw[k], w1i = tw[ns + k];
      const double w2r = tw[2 * ns + k], w2i = tw[3 * ns + k];
      const double w3r = tw[4 * ns + k], w3i = tw[5 * ns + k];
      const VecD v0r = VT_VLD(x0r), v0i = VT_VLD(x0i);
      const VecD u1r = VT_VLD(x0r + qv), u1i = VT_VLD(x0i + qv);
      const VecD u2r = VT_VLD(x0r + 2 * qv), u2i = VT_VLD(x0i + 2 * qv);
      const VecD u3r = VT_VLD(x0r + 3 * qv), u3i = VT_VLD(x0i + 3 * qv);
      const VecD v1r = u1r * w1r - u1i * w1i, v1i = u1r * w1i + u1i * w1r;
      const VecD v2r = u2r * w2r - u2i * w2i, v2i = u2r * w2i + u2i * w2r;
      const VecD v3r = u3r * w3r - u3i * w3i, v3i = u3r * w3i + u3i * w3r;
      const VecD a0r = v0r + v2r, a0i = v0i + v2i;
      const VecD a1r = v0r - v2r, a1i = v0i - v2i;
      const VecD a2r = v1r + v3r, a2i = v1i + v3i;
      const VecD a3r = v1i - v3i, a3i = v3r - v1r;
      VT_VST(y0r) = a0r + a2r;
      VT_VST(y0i) = a0i + a2i;
      VT_VST(y0r + nsv) = a1r + a3r;
      VT_VST(y0i + nsv) = a1i + a3i;
      VT_VST(y0r + 2 * nsv) = a0r - a2r;
      VT_VST(y0i + 2 * nsv) = a0i - a2i;
      VT_VST(y0r + 3 * nsv) = a1r - a3r;
      VT_VST(y0i + 3 * nsv) = a1i - a3i;
    }
  }
}

VT_CLONES void Radix2LastVec(const double* __restrict xr, const double* __restrict xi,
                             double* __restrict yr, double* __restrict yi,
                             const double* __restrict tw, int m) {
  const int h = m / 2;
  const std::size_t hv = static_cast<std::size_t>(h) * kVec;
  for (int k = 0; k < h; ++k) {
    const double wr = tw[k], wi = tw[h + k];
    const double* x0r = xr + static_cast<std::size_t>(k) * kVec;
    const double* x0i = xi + static_cast<std::size_t>(k) * kVec;
    double* y0r = yr + static_cast<std::size_t>(k) * kVec;
    double* y0i = yi + static_cast<std::size_t>(k) * kVec;
    const VecD ur = VT_VLD(x0r + hv), ui = VT_VLD(x0i + hv);
    const VecD vr = ur * wr - ui * wi, vi = ur * wi + ui * wr;
    const VecD ar = VT_VLD(x0r), ai = VT_VLD(x0i);
    VT_VST(y0r) = ar + vr;
    VT_VST(y0i) = ai + vi;
    VT_VST(y0r + hv) = ar - vr;
    VT_VST(y0i + hv) = ai - vi;
  }
}
// The column step's gather fused with the first radix-8 stage of the column transforms: the
// columns j2 = c .. c + kVec - 1 of rows j + r n1/8 (r < 8) are taken from the caller's array,
// windowed and packed as in GatherColumns*, and y[(8 j + r) kVec + t] = DFT8(...)_r.
// Lane shuffles with constant indices (GCC 12 and clang both know __builtin_shufflevector):
// even and odd lanes of the pair (a, b), and the three rounds of the 8 x 8 transpose.
#define VT_EVEN(a, b) __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14)
#define VT_ODD(a, b) __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15)
#define VT_LO1(a, b) __builtin_shufflevector(a, b, 0, 8, 2, 10, 4, 12, 6, 14)
#define VT_HI1(a, b) __builtin_shufflevector(a, b, 1, 9, 3, 11, 5, 13, 7, 15)
#define VT_LO2(a, b) __builtin_shufflevector(a, b, 0, 1, 8, 9, 4, 5, 12, 13)
#define VT_HI2(a, b) __builtin_shufflevector(a, b, 2, 3, 10, 11, 6, 7, 14, 15)
#define VT_LO3(a, b) __builtin_shufflevector(a, b, 0, 1, 2, 3, 8, 9, 10, 11)
#define VT_HI3(a, b) __builtin_shufflevector(a, b, 4, 5, 6, 7, 12, 13, 14, 15)
// Lane u takes lane u + kVec/2 (mod kVec).
#define VT_SWAP_HALVES(a) __builtin_shufflevector(a, a, 4, 5, 6, 7, 0, 1, 2, 3)

VT_CLONES void GatherRadix8Real(const double* __restrict data, const double* __restrict win,
                                double* __restrict yr, double* __restrict yi, int n1, int n2,
                                int c) {
  const int q = n1 / 8;
  const double s = 0.70710678118654752440;
  for (int j = 0; j < q; ++j) {
    double* y0r = yr + static_cast<std::size_t>(8 * j) * kVec;
    double* y0i = yi + static_cast<std::size_t>(8 * j) * kVec;
#define VT_LOAD(K)                                                                      \
  const std::size_t o##K = 2 * (static_cast<std::size_t>(n2) * (j + K * q) + c);         \
  const VecD d##K##a = VT_VLD(data + o##K) * VT_VLD(win + o##K);                        \
  const VecD d##K##b = VT_VLD(data + o##K + kVec) * VT_VLD(win + o##K + kVec);          \
  const VecD v##K##r = VT_EVEN(d##K##a, d##K##b);                       \
  const VecD v##K##i = VT_ODD(d##K##a, d##K##b);
    VT_LOAD(0) VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
#define Y(R, P) (y0##P + (R) * kVec)
    VT_DFT8_BODY
#undef Y
  }
}

VT_CLONES void GatherRadix8Complex(const double* __restrict data, const double* __restrict win,
                                   double* __restrict yr, double* __restrict yi, int n1, int n2,
                                   int c) {
  const int q = n1 / 8;
  const double s = 0.70710678118654752440;
  for (int j = 0; j < q; ++j) {
    double* y0r = yr + static_cast<std::size_t>(8 * j) * kVec;
    double* y0i = yi + static_cast<std::size_t>(8 * j) * kVec;
#define VT_LOAD(K)                                                                      \
  const std::size_t o##K = static_cast<std::size_t>(n2) * (j + K * q) + c;               \
  const VecD d##K##a = VT_VLD(data + 2 * o##K), d##K##b = VT_VLD(data + 2 * o##K + kVec); \
  const VecD w##K = VT_VLD(win + o##K);                                                 \
  const VecD v##K##r = VT_EVEN(d##K##a, d##K##b) * w##K;                \
  const VecD v##K##i = -(VT_ODD(d##K##a, d##K##b) * w##K);
    VT_LOAD(0) VT_LOAD(1) VT_LOAD(2) VT_LOAD(3) VT_LOAD(4) VT_LOAD(5) VT_LOAD(6) VT_LOAD(7)
#undef VT_LOAD
#define Y(R, P) (y0##P + (R) * kVec)
    VT_DFT8_BODY
#undef Y
  }
}
#undef VT_DFT8_BODY

// Column results p[k1 kVec + t] times W_m^((c + t) k1) = W_m^(c k1) W_m^(t k1) into
// Y[b n2 kVec + (c + t) kVec + u] for the row k1 = rows[b kVec + u]: the rows of one block lie
// interleaved, so that the row step transforms them side by side. tw1 holds W_m^(t k1) as
// [k1][re t.., im t..]; cr, ci hold W_m^(c k1). The kVec x kVec transposition is done in
// registers (three rounds of pairwise shuffles, written for kVec = 8).
static_assert(kVec == 8, "TwiddleColumns transposes 8 x 8 blocks");
VT_CLONES void TwiddleColumns(const double* __restrict pr, const double* __restrict pi,
                              const double* __restrict tw1, const double* __restrict cr,
                              const double* __restrict ci, const int* __restrict rows,
                              double* __restrict yr, double* __restrict yi, int n1, int n2,
                              int c) {
  for (int kb = 0; kb < n1; kb += kVec) {
    double* outr = yr + static_cast<std::size_t>(kb) * n2 + static_cast<std::size_t>(c) * kVec;
    double* outi = yi + static_cast<std::size_t>(kb) * n2 + static_cast<std::size_t>(c) * kVec;
    VecD wr[kVec], wi[kVec];  // wr[u][t]: lane t of row u
    for (int u = 0; u < kVec; ++u) {
      const int k1 = rows[kb + u];
      const double br = cr[k1], bi = ci[k1];
      const VecD ar = VT_VLD(tw1 + 2 * kVec * k1), ai = VT_VLD(tw1 + 2 * kVec * k1 + kVec);
      const VecD vr = br * ar - bi * ai, vi = br * ai + bi * ar;
      const VecD xr = VT_VLD(pr + k1 * kVec), xi = VT_VLD(pi + k1 * kVec);
      wr[u] = xr * vr - xi * vi;
      wi[u] = xr * vi + xi * vr;
    }
    // Transpose: after the rounds, w[t] holds lane t of every row u.
    for (VecD* w : {wr, wi}) {
      VecD a[kVec], b[kVec];
      for (int u = 0; u < kVec; u += 2) {
        a[u] = VT_LO1(w[u], w[u + 1]);
        a[u + 1] = VT_HI1(w[u], w[u + 1]);
      }
      for (int u : {0, 1, 4, 5}) {
        b[u] = VT_LO2(a[u], a[u + 2]);
        b[u + 2] = VT_HI2(a[u], a[u + 2]);
      }
      for (int u = 0; u < 4; ++u) {
        w[u] = VT_LO3(b[u], b[u + 4]);
        w[u + 4] = VT_HI3(b[u], b[u + 4]);
      }
    }
    for (int t = 0; t < kVec; ++t) {
      VT_VST(outr + t * kVec) = wr[t];
      VT_VST(outi + t * kVec) = wi[t];
    }
  }
}

// Results of a row block in natural order (res[k2 kVec + u] for the row r + u) to the power
// of the bins r + u + n1 k2.
VT_CLONES void RowsPower(const double* __restrict resr, const double* __restrict resi, int r,
                         double* __restrict power, int n1, int n2) {
  for (int k2 = 0; k2 < n2; ++k2) {
    const VecD a = VT_VLD(resr + k2 * kVec), b = VT_VLD(resi + k2 * kVec);
    VT_VST(power + static_cast<std::size_t>(n1) * k2 + r) = a * a + b * b;
  }
}

// Real input: the split step (as in SplitPower) on a row block whose lane u + kVec/2 holds the
// row n1 - k1 of lane u's row k1, so that Z[m - k] of bin k = k1 + n1 k2 lies in the partner
// lane at k2' = n2 - 1 - k2. tw holds cos and sin of 2 pi k / N per k2 as [k2][cos u.., sin u..].
// Writes the power of the bins k1 + n1 k2 of every lane.
VT_CLONES void SplitRowsPower(const double* __restrict zr, const double* __restrict zi,
                              const double* __restrict tw, const int* __restrict rows,
                              double* __restrict power, int n1, int n2) {
  for (int k2 = 0; k2 < n2; ++k2) {
    const std::size_t kp = static_cast<std::size_t>(n2 - 1 - k2) * kVec;
    const VecD ar = VT_VLD(zr + k2 * kVec), ai = VT_VLD(zi + k2 * kVec);
    const VecD br = VT_SWAP_HALVES(VT_VLD(zr + kp));
    const VecD bi = VT_SWAP_HALVES(VT_VLD(zi + kp));
    const VecD er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
    const VecD orr = 0.5 * (ai + bi), oi = -0.5 * (ar - br);
    const VecD c = VT_VLD(tw + 2 * kVec * k2), sn = VT_VLD(tw + 2 * kVec * k2 + kVec);
    const VecD xr = er + (c * orr + sn * oi);
    const VecD xi = ei + (c * oi - sn * orr);
    const VecD pw = xr * xr + xi * xi;
    // Lanes 0 .. kVec/2 - 1 are rows rows[0] upwards, the others rows[kVec - 1] downwards.
    double* p = power + static_cast<std::size_t>(n1) * k2;
    VecH lo, hi;
    for (int u = 0; u < kVec / 2; ++u) {
      lo[u] = pw[u];
      hi[u] = pw[kVec - 1 - u];
    }
    VT_HST(p + rows[0]) = lo;
    VT_HST(p + rows[kVec - 1]) = hi;
  }
}

// Small element-wise steps of the dB line, compiled for the vector units like the transform.
VT_CLONES void AddConst(const double* __restrict in, double c, double* __restrict out, int n) {
  for (int k = 0; k < n; ++k) out[k] = in[k] + c;
}
// next[k] = v[k] / a + keep * lev[k] (the averaging rule, keep = 1 - 1/a).
VT_CLONES void AverageInto(const double* __restrict v, const double* __restrict lev, double a,
                           double keep, double* __restrict next, int n) {
  for (int k = 0; k < n; ++k) next[k] = v[k] / a + keep * lev[k];
}
// t[k] = (t[k] + offset) * factor.
VT_CLONES void OffsetScale(double* __restrict t, double offset, double factor, int n) {
  for (int k = 0; k < n; ++k) t[k] = (t[k] + offset) * factor;
}
VT_CLONES void LinearAmplitude(const double* __restrict p, int size, double* __restrict v, int n) {
  for (int k = 0; k < n; ++k) v[k] = std::sqrt(p[k]) * 400.0 / 32767.0 / size;
}

// The dB line of real input in one sweep, from lg[k] = log10(power + floor):
// next[k] = lg[k] + offset, averaged (next = next / a + keep * lev[k]) when averaging;
// out[k] = truncation of factor * next[k] as in ScaleTrunc; flags[k] as in MarkNearInteger.
// lev is read only when averaging. Returns whether any flag is set.
VT_CLONES bool DbLine(const double* __restrict lg, const double* __restrict lev, double offset,
                      bool averaging, double a, double keep, double factor, double tol,
                      double* __restrict next, int* __restrict out,
                      unsigned char* __restrict flags, int n) {
  int any = 0;
  for (int k = 0; k < n; ++k) {
    const double v = lg[k] + offset;
    const double nx = averaging ? v / a + keep * lev[k] : v;
    next[k] = nx;
    const double t = factor * nx;
    double c = t == t ? t : 0.0;
    c = c < 2147483647.0 ? c : 2147483647.0;
    c = c > -2147483648.0 ? c : -2147483648.0;
    out[k] = static_cast<int>(c);
    const int f = std::fabs(t - std::nearbyint(t)) <= tol;
    flags[k] = static_cast<unsigned char>(f);
    any |= f;
  }
  return any != 0;
}

// Saturating truncation toward zero into the int range; NaN gives 0.
inline int SatTrunc(double t) {
  if (!(t == t)) return 0;
  if (t >= 2147483647.0) return INT_MAX;
  if (t <= -2147483648.0) return INT_MIN;
  return static_cast<int>(t);
}

// out[k] = SatTrunc(factor * lev[k]).
VT_CLONES void ScaleTrunc(const double* __restrict lev, double factor, int* __restrict out,
                          int n) {
  for (int k = 0; k < n; ++k) {
    double t = factor * lev[k];
    t = t == t ? t : 0.0;
    t = t < 2147483647.0 ? t : 2147483647.0;
    t = t > -2147483648.0 ? t : -2147483648.0;
    out[k] = static_cast<int>(t);
  }
}

// flags[k] = whether factor * lev[k] lies so close to an integer that the last bits of the
// logarithm could decide the truncation (such values are recomputed with std::log10).
// Returns whether any flag is set.
VT_CLONES bool MarkNearInteger(const double* __restrict lev, double factor, double tol,
                               unsigned char* __restrict flags, int n) {
  int any = 0;
  for (int k = 0; k < n; ++k) {
    const double t = factor * lev[k];
    const int f = std::fabs(t - std::nearbyint(t)) <= tol;
    flags[k] = static_cast<unsigned char>(f);
    any |= f;
  }
  return any != 0;
}

}  // namespace

Cfft::Cfft(int size, bool complex, int window) : m_IsComplex(complex) {
  size = std::clamp(size, static_cast<int>(kMinSize), static_cast<int>(kMaxSize));
  Size = FloorPow2(size);
  m_WindowType = (window == kWindowHamming || window == kWindowHann) ? window : kWindowRectangle;
  const int n = Size;
  Window.resize(n);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    double w = 1.0;
    if (m_WindowType == kWindowHamming)
      w = 0.54 - 0.46 * std::cos(2.0 * kPi * i / (n - 1));
    else if (m_WindowType == kWindowHann)
      w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (n - 1));
    Window[i] = w;
    sum += w;
  }
  const double rawOffset = -20.0 * std::log10(0.5 * 32767.0 * sum);
  PowerFloor = std::pow(10.0, 0.1 * (-200.0 - rawOffset));
  DbOffset = 0.1 * rawOffset;
  Levels.assign(n / 2, 0.0);

  m_M = m_IsComplex ? n : n / 2;
  const int m = m_M;
  // From 512 points on, the four-step transform with two nearly square factors (it keeps the
  // sub-transforms in the L1 cache and reads and writes the big arrays twice); shorter ones
  // take a direct Stockham transform. The four-step kernels work on
  // vectors of kVec doubles, which only pay with 256-bit vector units: without AVX2 (the
  // baseline variant of the kernels) the direct transform is faster at every length.
  if (m >= kFourStepMin && HasWideVectors()) {
    int n1 = 1;
    while (n1 * n1 * 2 <= m) n1 *= 2;  // n1 = 2^floor(log2(m) / 2)
    m_N1 = n1;
    m_N2 = m / n1;
    BuildPlan(m_Cols, m_N1, kVec);
    BuildPlan(m_Rows, m_N2, kVec);
    const long double twoPi = 2.0L * 3.14159265358979323846264338327950288L;
    m_StepTw1.resize(2 * kVec * static_cast<std::size_t>(m_N1));
    for (int k1 = 0; k1 < m_N1; ++k1)
      for (int t = 0; t < kVec; ++t) {
        const long double a = -twoPi * (t * k1) / m;
        m_StepTw1[2 * kVec * k1 + t] = static_cast<double>(std::cos(a));
        m_StepTw1[2 * kVec * k1 + kVec + t] = static_cast<double>(std::sin(a));
      }
    const int blocks = m_N2 / kVec;
    m_StepTw2.resize(2 * static_cast<std::size_t>(m_N1) * blocks);
    for (int bl = 0; bl < blocks; ++bl)
      for (int k1 = 0; k1 < m_N1; ++k1) {
        const long double a = -twoPi * ((static_cast<long long>(bl) * kVec * k1) % m) / m;
        m_StepTw2[2 * m_N1 * bl + k1] = static_cast<double>(std::cos(a));
        m_StepTw2[2 * m_N1 * bl + m_N1 + k1] = static_cast<double>(std::sin(a));
      }
    // Rows in the order of the row blocks. Complex input: natural. Real input: each block
    // holds four rows k1 and, kVec/2 lanes further, their partners n1 - k1 (see
    // SplitRowsPower); the last block takes the three pairs left and the rows 0 and n1/2,
    // which are their own partners.
    m_RowOrder.resize(m_N1);
    for (int k1 = 0; k1 < m_N1; ++k1) m_RowOrder[k1] = k1;
    if (!m_IsComplex) {
      const int nb = m_N1 / kVec, h = kVec / 2;
      for (int b = 0; b < nb; ++b) {
        const int a = 1 + h * b;
        for (int i = 0; i < h; ++i) {
          const bool special = b == nb - 1 && i == h - 1;
          m_RowOrder[kVec * b + i] = special ? 0 : a + i;
          m_RowOrder[kVec * b + h + i] = special ? m_N1 / 2 : m_N1 - (a + i);
        }
      }
      // Split twiddles in the order SplitRowsPower reads them.
      m_SplitTw.resize(2 * static_cast<std::size_t>(m));
      for (int b = 0; b < nb; ++b)
        for (int k2 = 0; k2 < m_N2; ++k2)
          for (int u = 0; u < kVec; ++u) {
            const int k = m_RowOrder[kVec * b + u] + m_N1 * k2;
            const long double a = 2.0L * 3.14159265358979323846264338327950288L * k / n;
            double* t = m_SplitTw.data() + (static_cast<std::size_t>(b) * m_N2 + k2) * 2 * kVec;
            t[u] = static_cast<double>(std::cos(a));
            t[kVec + u] = static_cast<double>(std::sin(a));
          }
    }
  } else {
    BuildPlan(m_Main, m, 1);
    if (!m_IsComplex) {
      m_SplitCos.resize(m);
      m_SplitSin.resize(m);
      for (int k = 0; k < m; ++k) {
        const long double a = 2.0L * 3.14159265358979323846264338327950288L * k / n;
        m_SplitCos[k] = static_cast<double>(std::cos(a));
        m_SplitSin[k] = static_cast<double>(std::sin(a));
      }
    }
  }
  // The work arrays in one block, each starting on a cache line and staggered by kStagger
  // against the previous one: arrays whose addresses agree in the low 12 bits make the
  // processor wait on false store-to-load dependencies (and their speed would depend on where
  // the allocator put them).
  const std::size_t sb = m_N1 > 0 ? static_cast<std::size_t>(kVec) * std::max(m_N1, m_N2) : 0;
  const std::size_t sizes[10] = {static_cast<std::size_t>(m), static_cast<std::size_t>(m),
                                 static_cast<std::size_t>(m), static_cast<std::size_t>(m),
                                 static_cast<std::size_t>(m), static_cast<std::size_t>(m),
                                 sb, sb, sb, sb};
  std::size_t total = 8;
  for (std::size_t sz : sizes) total += (sz + 7) / 8 * 8 + kStagger;
  m_Work.assign(total, 0.0);
  const std::uintptr_t addr = reinterpret_cast<std::uintptr_t>(m_Work.data());
  double* at = m_Work.data() + ((64 - addr % 64) % 64) / sizeof(double);
  double* arrays[10];
  for (int i = 0; i < 10; ++i) {
    arrays[i] = at;
    at += (sizes[i] + 7) / 8 * 8 + kStagger;
  }
  m_Re = arrays[0];
  m_Im = arrays[1];
  m_Re2 = arrays[2];
  m_Im2 = arrays[3];
  m_Power = arrays[4];
  m_Tmp = arrays[5];
  for (int i = 0; i < 4; ++i) m_Buf[i] = arrays[6 + i];
  m_Flags.assign(m, 0);
}

Cfft::~Cfft() = default;

void Cfft::BuildPlan(Plan& plan, int len, int vec) {
  plan.len = len;
  plan.vec = vec;
  // Radix-8 stages of span 1, 8, 64, ..; then one radix-4 or radix-2 stage for the remaining
  // factor. Twiddles per stage: w^(r k) for r = 1 .. radix-1, k < span.
  auto addTwiddles = [&](int radix, int ns) {
    const std::size_t base = plan.tw.size();
    plan.tw.resize(base + 2 * (radix - 1) * static_cast<std::size_t>(ns));
    for (int r = 1; r < radix; ++r)
      for (int k = 0; k < ns; ++k) {
        const long double a = -2.0L * 3.14159265358979323846264338327950288L * r * k /
                              (static_cast<long double>(radix) * ns);
        plan.tw[base + (2 * r - 2) * ns + k] = static_cast<double>(std::cos(a));
        plan.tw[base + (2 * r - 1) * ns + k] = static_cast<double>(std::sin(a));
      }
  };
  int ns = 1;
  while (ns * 8 <= len) {
    plan.stages.push_back({8, ns});
    addTwiddles(8, ns);
    ns *= 8;
  }
  if (ns * 4 == len) {
    plan.stages.push_back({4, ns});
    addTwiddles(4, ns);
  } else if (ns * 2 == len) {
    plan.stages.push_back({2, ns});
    addTwiddles(2, ns);
  }
}

void Cfft::RunPlan(const Plan& plan, std::size_t first, const double* inr, const double* ini,
                   double* ar, double* ai, double* br, double* bi, const double** outR,
                   const double** outI) {
  const double* xr = inr;
  const double* xi = ini;
  double* yr = ar;
  double* yi = ai;
  const double* tw = plan.tw.data();
  for (std::size_t i = 0; i < plan.stages.size(); ++i) {
    const Stage& st = plan.stages[i];
    if (i < first) {
      tw += 2 * static_cast<std::size_t>(st.radix - 1) * st.span;
      continue;
    }
    if (plan.vec == 1) {
      if (st.radix == 8 && st.span == 1)
        Radix8FirstSplit(xr, xi, yr, yi, plan.len);
      else if (st.radix == 8)
        Radix8Stage(xr, xi, yr, yi, tw, plan.len, st.span);
      else if (st.radix == 4)
        Radix4Stage(xr, xi, yr, yi, tw, plan.len, st.span);
      else
        Radix2Last(xr, xi, yr, yi, tw, plan.len);
    } else {
      if (st.radix == 8 && st.span == 1)
        Radix8FirstVec(xr, xi, yr, yi, plan.len);
      else if (st.radix == 8)
        Radix8StageVec(xr, xi, yr, yi, tw, plan.len, st.span);
      else if (st.radix == 4)
        Radix4StageVec(xr, xi, yr, yi, tw, plan.len, st.span);
      else
        Radix2LastVec(xr, xi, yr, yi, tw, plan.len);
    }
    tw += 2 * static_cast<std::size_t>(st.radix - 1) * st.span;
    xr = yr;
    xi = yi;
    yr = yr == ar ? br : ar;
    yi = yi == ai ? bi : ai;
  }
  *outR = xr;
  *outI = xi;
}

void Cfft::FourStep(const double* data, double* power) {
  const int n1 = m_N1, n2 = m_N2;
  double* yr = m_Re;
  double* yi = m_Im;
  // Column step.
  {
    double* gr = m_Buf[0];
    double* gi = m_Buf[1];
    double* hr = m_Buf[2];
    double* hi = m_Buf[3];
    for (int c = 0, bl = 0; c < n2; c += kVec, ++bl) {
      // Gather and first stage into h, the other stages between g and h.
      if (m_IsComplex)
        GatherRadix8Complex(data, Window.data(), hr, hi, n1, n2, c);
      else
        GatherRadix8Real(data, Window.data(), hr, hi, n1, n2, c);
      const double* pr;
      const double* pi;
      RunPlan(m_Cols, 1, hr, hi, gr, gi, hr, hi, &pr, &pi);
      const double* cw = m_StepTw2.data() + 2 * static_cast<std::size_t>(n1) * bl;
      TwiddleColumns(pr, pi, m_StepTw1.data(), cw, cw + n1, m_RowOrder.data(), yr, yi, n1, n2,
                     c);
    }
  }
  // Row step: kVec rows side by side.
  double* ar = m_Buf[0];
  double* ai = m_Buf[1];
  double* br = m_Buf[2];
  double* bi = m_Buf[3];
  const int nb = n1 / kVec;
  for (int b = 0; b < nb; ++b) {
    const std::size_t off = static_cast<std::size_t>(b) * kVec * n2;
    const int* rows = m_RowOrder.data() + b * kVec;
    const double* zr;
    const double* zi;
    RunPlan(m_Rows, 0, yr + off, yi + off, ar, ai, br, bi, &zr, &zi);
    if (m_IsComplex) {
      RowsPower(zr, zi, rows[0], power, n1, n2);
    } else if (b + 1 < nb) {
      SplitRowsPower(zr, zi, m_SplitTw.data() + 2 * off, rows, power, n1, n2);
    } else {
      // The last block: lanes 3 and 7 hold rows 0 and n1/2 (their own partners, row 0 at
      // k2' = -k2 mod n2); the others pair as in SplitRowsPower.
      const double* tw = m_SplitTw.data() + 2 * off;
      const int h = kVec / 2;
      for (int k2 = 0; k2 < n2; ++k2)
        for (int u = 0; u < kVec; ++u) {
          int pu = u < h ? u + h : u - h, pk2 = n2 - 1 - k2;
          if (u == h - 1) {
            pu = u;
            pk2 = (n2 - k2) % n2;
          } else if (u == kVec - 1) {
            pu = u;
          }
          const double zar = zr[k2 * kVec + u], zai = zi[k2 * kVec + u];
          const double zbr = zr[pk2 * kVec + pu], zbi = zi[pk2 * kVec + pu];
          const double er = 0.5 * (zar + zbr), ei = 0.5 * (zai - zbi);
          const double orr = 0.5 * (zai + zbi), oi = -0.5 * (zar - zbr);
          const double c = tw[2 * kVec * k2 + u], sn = tw[2 * kVec * k2 + kVec + u];
          const double xr = er + (c * orr + sn * oi);
          const double xi = ei + (c * oi - sn * orr);
          power[rows[u] + static_cast<std::size_t>(n1) * k2] = xr * xr + xi * xi;
        }
    }
  }
}

// Complex FFT of the windowed input (length m); returns the arrays that hold the result.
bool Cfft::Transform(const double* data, const double** outRe, const double** outIm,
                     double* power) {
  const int m = m_M;
  double* xr = m_Re;
  double* xi = m_Im;
  double* yr = m_Re2;
  double* yi = m_Im2;
  const auto& stages = m_Main.stages;
  // The first stage (radix 8, span 1) reads the caller's array and applies the window.
  if (m_IsComplex)
    Radix8FirstComplex(data, Window.data(), xr, xi, m);
  else
    Radix8FirstReal(data, Window.data(), xr, xi, m);
  const double* tw = m_Main.tw.data();
  for (std::size_t i = 1; i < stages.size(); ++i) {
    const Stage& st = stages[i];
    tw += 2 * (stages[i - 1].radix - 1) * stages[i - 1].span;
    if (power && i + 1 == stages.size() && st.radix != 8) {
      // Last stage of span m / radix: butterflies and power in one sweep.
      if (st.radix == 4)
        Radix4LastPower(xr, xi, tw, power, m);
      else
        Radix2LastPower(xr, xi, tw, power, m);
      return true;
    }
    if (st.radix == 8)
      Radix8Stage(xr, xi, yr, yi, tw, m, st.span);
    else if (st.radix == 4)
      Radix4Stage(xr, xi, yr, yi, tw, m, st.span);
    else
      Radix2Last(xr, xi, yr, yi, tw, m);
    std::swap(xr, yr);
    std::swap(xi, yi);
  }
  *outRe = xr;
  *outIm = xi;
  return false;
}

void Cfft::CalcPower(const double* data, double* power) {
  const int m = m_M;
  if (m_N1 > 0) {
    FourStep(data, power);
    if (!m_IsComplex) power[0] = 0.0;
    return;
  }
  const double* zr;
  const double* zi;
  if (m_IsComplex) {
    if (!Transform(data, &zr, &zi, power)) PowerOf(zr, zi, power, m);
    return;
  }
  Transform(data, &zr, &zi, nullptr);
  power[0] = 0.0;
  SplitPower(zr, zi, m_SplitCos.data(), m_SplitSin.data(), power, m);
}

bool Cfft::CalcSpectrum(double* data, double scale, int average, bool logarithmic, int* out) {
  const int n = Size;
  const int half = n / 2;
  Averaging = average > 1;
  AverageCount = average;
  if (logarithmic != LogScale) Levels[0] = logarithmic ? scale * -200.0 : 0.0;
  LogScale = logarithmic;
  const double factor = logarithmic ? 10.0 * scale : scale;
  // Outputs within tol of an integer are recomputed with std::log10 (see NearInteger).
  const double tol = 1e-9 * (std::fabs(factor) + 1.0);
  double* p = m_Power;
  CalcPower(data, p);

  if (!m_IsComplex) {
    double* lev = Levels.data();
    double* v = m_Tmp;
    // The new levels: straight into Levels without averaging, else beside them (the averaging
    // reads the old ones) and copied over at the end. m_Re2 is free once the power is formed.
    double* next = Averaging ? m_Re2 : lev;
    const double a = AverageCount;
    const double keep = 1.0 - 1.0 / a;
    if (logarithmic) {
      AddConst(p + 1, PowerFloor, v + 1, half - 1);
      VecLog10(v + 1, v + 1, half - 1);
      out[0] = SatTrunc(factor * lev[0]);
      if (DbLine(v + 1, Averaging ? lev + 1 : nullptr, DbOffset, Averaging, a, keep, factor, tol,
                 next + 1, out + 1, m_Flags.data(), half - 1)) {
        for (int k = 1; k < half; ++k) {
          if (!m_Flags[k - 1]) continue;
          // Redo this bin with the library logarithm.
          const double exact = std::log10(p[k] + PowerFloor) + DbOffset;
          next[k] = Averaging ? exact / a + keep * lev[k] : exact;
          out[k] = SatTrunc(factor * next[k]);
        }
      }
    } else {
      LinearAmplitude(p + 1, n, v + 1, half - 1);
      if (Averaging) {
        next[0] = lev[0];
        AverageInto(v + 1, lev + 1, a, keep, next + 1, half - 1);
      } else {
        std::copy(v + 1, v + half, next + 1);
      }
      ScaleTrunc(next, factor, out, half);
    }
    if (next != lev) std::copy(next + 1, next + half, lev + 1);
    return true;
  }

  // Complex input: the middle half of the spectrum in ascending frequency, never averaged.
  const int quarter = n / 4;
  double* t = m_Tmp;
  // Gather the bins in output order: k < N/4 from bin 3N/4 + k, the rest from bin k - N/4.
  for (int k = 0; k < quarter; ++k) t[k] = p[3 * quarter + k];
  for (int k = quarter; k < half; ++k) t[k] = p[k - quarter];
  if (logarithmic) {
    double* arg = t + half;  // m_Tmp has N entries
    AddConst(t, PowerFloor, arg, half);
    VecLog10(arg, t, half);
    OffsetScale(t, DbOffset, factor, half);
    ScaleTrunc(t, 1.0, out, half);
    if (MarkNearInteger(t, 1.0, tol, m_Flags.data(), half)) {
      for (int k = 0; k < half; ++k)
        if (m_Flags[k]) out[k] = SatTrunc((std::log10(arg[k]) + DbOffset) * factor);
    }
    for (int k = 0; k < half; ++k)
      if (!(arg[k] > 0.0)) out[k] = 0;  // no logarithm of a power that is not positive
  } else {
    for (int k = 0; k < half; ++k) out[k] = SatTrunc(t[k] * 400.0 / 32767.0 / n);
  }
  return true;
}
