#include "engine/Cfft.h"
#include "engine/CpuVariants.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/VecLog10.h"

// The transform: a radix-4 Stockham (self-sorting) FFT on split real/imaginary arrays, with one
// radix-2 stage at the end when log2 of the length is odd. Every stage reads and writes
// contiguous runs, so the compiler vectorises the butterflies; the hot loops are compiled twice
// (AVX2/FMA and baseline) and picked at load time. Real input of N samples is transformed as
// N/2 complex values and separated by the real-FFT split step.

namespace {


constexpr double kPi = 3.14159265358979323846;

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
#pragma GCC ivdep
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
#pragma GCC ivdep
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

// Small element-wise steps of the dB line, compiled for the vector units like the transform.
VT_CLONES void AddConst(const double* __restrict in, double c, double* __restrict out, int n) {
  for (int k = 0; k < n; ++k) out[k] = in[k] + c;
}
VT_CLONES void AddConstInPlace(double* __restrict v, double c, int n) {
  for (int k = 0; k < n; ++k) v[k] += c;
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
  // Stage plan: radix-8 stages of span 1, 8, 64, ..; then one radix-4 or radix-2 stage for
  // the remaining factor. Twiddles per stage: w^(r k) for r = 1 .. radix-1, k < span.
  auto addTwiddles = [&](int radix, int ns) {
    const std::size_t base = m_Tw.size();
    m_Tw.resize(base + 2 * (radix - 1) * static_cast<std::size_t>(ns));
    for (int r = 1; r < radix; ++r)
      for (int k = 0; k < ns; ++k) {
        const long double a =
            -2.0L * 3.14159265358979323846264338327950288L * r * k / (static_cast<long double>(radix) * ns);
        m_Tw[base + (2 * r - 2) * ns + k] = static_cast<double>(std::cos(a));
        m_Tw[base + (2 * r - 1) * ns + k] = static_cast<double>(std::sin(a));
      }
  };
  int ns = 1;
  while (ns * 8 <= m) {
    m_Stages.push_back({8, ns});
    addTwiddles(8, ns);
    ns *= 8;
  }
  if (ns * 4 == m) {
    m_Stages.push_back({4, ns});
    addTwiddles(4, ns);
  } else if (ns * 2 == m) {
    m_Stages.push_back({2, ns});
    addTwiddles(2, ns);
  }
  if (!m_IsComplex) {
    m_SplitCos.resize(m);
    m_SplitSin.resize(m);
    for (int k = 0; k < m; ++k) {
      const long double a = 2.0L * 3.14159265358979323846264338327950288L * k / n;
      m_SplitCos[k] = static_cast<double>(std::cos(a));
      m_SplitSin[k] = static_cast<double>(std::sin(a));
    }
  }
  m_Re.assign(m, 0.0);
  m_Im.assign(m, 0.0);
  m_Re2.assign(m, 0.0);
  m_Im2.assign(m, 0.0);
  m_Power.assign(m, 0.0);
  m_Tmp.assign(m, 0.0);
  m_Flags.assign(m, 0);
}

Cfft::~Cfft() = default;

// Complex FFT of the windowed input (length m); returns the arrays that hold the result.
bool Cfft::Transform(const double* data, const double** outRe, const double** outIm,
                     double* power) {
  const int m = m_M;
  double* xr = m_Re.data();
  double* xi = m_Im.data();
  double* yr = m_Re2.data();
  double* yi = m_Im2.data();
  // The first stage (radix 8, span 1) reads the caller's array and applies the window.
  if (m_IsComplex)
    Radix8FirstComplex(data, Window.data(), xr, xi, m);
  else
    Radix8FirstReal(data, Window.data(), xr, xi, m);
  const double* tw = m_Tw.data();
  for (std::size_t i = 1; i < m_Stages.size(); ++i) {
    const Stage& st = m_Stages[i];
    tw += 2 * (m_Stages[i - 1].radix - 1) * m_Stages[i - 1].span;
    if (power && i + 1 == m_Stages.size() && st.radix != 8) {
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
  double* p = m_Power.data();
  CalcPower(data, p);

  if (!m_IsComplex) {
    double* lev = Levels.data();
    double* v = m_Tmp.data();
    double* next = m_Re2.data();  // free once the power is formed; m = N/2 entries
    if (logarithmic) {
      AddConst(p + 1, PowerFloor, v + 1, half - 1);
      VecLog10(v + 1, v + 1, half - 1);
      AddConstInPlace(v + 1, DbOffset, half - 1);
    } else {
      LinearAmplitude(p + 1, n, v + 1, half - 1);
    }
    const double a = AverageCount;
    const double keep = 1.0 - 1.0 / a;
    next[0] = lev[0];
    if (Averaging) {
      AverageInto(v + 1, lev + 1, a, keep, next + 1, half - 1);
    } else {
      std::copy(v + 1, v + half, next + 1);
    }
    ScaleTrunc(next, factor, out, half);
    if (logarithmic && MarkNearInteger(next + 1, factor, tol, m_Flags.data(), half - 1)) {
      for (int k = 1; k < half; ++k) {
        if (!m_Flags[k - 1]) continue;
        // Redo this bin with the library logarithm.
        const double exact = std::log10(p[k] + PowerFloor) + DbOffset;
        next[k] = Averaging ? exact / a + keep * lev[k] : exact;
        out[k] = SatTrunc(factor * next[k]);
      }
    }
    std::copy(next + 1, next + half, lev + 1);
    return true;
  }

  // Complex input: the middle half of the spectrum in ascending frequency, never averaged.
  const int quarter = n / 4;
  double* t = m_Tmp.data();
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
