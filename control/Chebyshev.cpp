#include "control/Chebyshev.h"

#include <cmath>
#include <cstring>

double g_ChebyshevA[kChebyshevCoeffs];
double g_ChebyshevB[kChebyshevCoeffs];

namespace {
constexpr double kPi = 3.14159265358979;  // the value the algorithm's source uses

double LimitRipple(double ripplePercent) {
  if (!(ripplePercent > 0.0)) return 0.0;  // also NaN
  return ripplePercent > 29.0 ? 29.0 : ripplePercent;
}
}  // namespace

void CalcChebyshevPolePair(int poles, int pair, double fc, int highpass, double ripplePercent,
                           double* a0, double* a1, double* a2, double* b1, double* b2) {
  const double np = poles;
  const double pr = LimitRipple(ripplePercent);
  // Pole position on the unit circle.
  double rp = -std::cos(kPi / (np * 2.0) + (pair - 1) * kPi / np);
  double ip = std::sin(kPi / (np * 2.0) + (pair - 1) * kPi / np);
  // Pair numbers outside 1..poles/2 (the IIR-2 stage routine passes the stage position) can put
  // the pole into the right half-plane; its mirror has the same magnitude response and is stable.
  if (rp > 0.0) rp = -rp;
  // Warp the circle into an ellipse for the ripple.
  if (pr != 0.0) {
    const double es = std::sqrt(std::pow(100.0 / (100.0 - pr), 2.0) - 1.0);
    const double vx = (1.0 / np) * std::log((1.0 / es) + std::sqrt(1.0 / (es * es) + 1.0));
    double kx = (1.0 / np) * std::log((1.0 / es) + std::sqrt(1.0 / (es * es) - 1.0));
    kx = (std::exp(kx) + std::exp(-kx)) / 2.0;
    rp = rp * ((std::exp(vx) - std::exp(-vx)) / 2.0) / kx;
    ip = ip * ((std::exp(vx) + std::exp(-vx)) / 2.0) / kx;
  }
  // s-domain to z-domain (bilinear transform, prototype cut-off 1 rad/sample).
  const double t = 2.0 * std::tan(0.5);
  const double w = 2.0 * kPi * fc;
  const double m = rp * rp + ip * ip;
  double d = 4.0 - 4.0 * rp * t + m * t * t;
  const double x0 = t * t / d;
  const double x1 = 2.0 * t * t / d;
  const double x2 = t * t / d;
  const double y1 = (8.0 - 2.0 * m * t * t) / d;
  const double y2 = (-4.0 - 4.0 * rp * t - m * t * t) / d;
  // Prototype (cut-off 1 rad/sample) to the wanted low or high pass.
  const double k = highpass ? -std::cos(w / 2.0 + 0.5) / std::cos(w / 2.0 - 0.5)
                            : std::sin(0.5 - w / 2.0) / std::sin(0.5 + w / 2.0);
  d = 1.0 + y1 * k - y2 * k * k;
  *a0 = (x0 - x1 * k + x2 * k * k) / d;
  *a1 = (-2.0 * x0 * k + x1 + x1 * k * k - 2.0 * x2 * k) / d;
  *a2 = (x0 * k * k - x1 * k + x2) / d;
  *b1 = (2.0 * k + y1 + y1 * k * k - 2.0 * y2 * k) / d;
  *b2 = (-(k * k) - y1 * k + y2) / d;
  if (highpass) {
    *a1 = -*a1;
    *b1 = -*b1;
  }
}

bool ChebyshevCutoffValid(double fc) { return fc > 0.0 && fc < 0.5; }

bool DesignChebyshevFilter(int poles, double fc, int highpass, double ripplePercent) {
  if (!ChebyshevCutoffValid(fc) || poles > kChebyshevMaxPoles) return false;
  const double ripple = LimitRipple(ripplePercent);
  if (poles < 2) poles = 2;

  double a[kChebyshevCoeffs] = {};
  double b[kChebyshevCoeffs] = {};
  double ta[kChebyshevCoeffs];
  double tb[kChebyshevCoeffs];
  a[2] = 1.0;
  b[2] = 1.0;
  for (int p = 1; p <= poles / 2; ++p) {
    double a0, a1, a2, b1, b2;
    CalcChebyshevPolePair(poles, p, fc, highpass, ripple, &a0, &a1, &a2, &b1, &b2);
    std::memcpy(ta, a, sizeof(a));
    std::memcpy(tb, b, sizeof(b));
    for (int i = 2; i < kChebyshevCoeffs; ++i) {
      a[i] = a0 * ta[i] + a1 * ta[i - 1] + a2 * ta[i - 2];
      b[i] = tb[i] - b1 * tb[i - 1] - b2 * tb[i - 2];
    }
  }
  b[2] = 0.0;
  for (int i = 0; i <= 20; ++i) {
    a[i] = a[i + 2];
    b[i] = -b[i + 2];
  }
  // Unit gain at 0 Hz (low pass) or at half the sample rate (high pass).
  double sa = 0.0;
  double sb = 0.0;
  for (int i = 0; i <= 20; ++i) {
    const double sign = (highpass && (i & 1)) ? -1.0 : 1.0;
    sa += a[i] * sign;
    sb += b[i] * sign;
  }
  const double gain = sa / (1.0 - sb);
  if (gain != 0.0) {
    for (int i = 0; i <= 20; ++i) a[i] /= gain;
  }
  std::memcpy(g_ChebyshevA, a, sizeof(a));
  std::memcpy(g_ChebyshevB, b, sizeof(b));
  return true;
}

bool ChebyshevRecursionStable(const double* B, int order) {
  if (order < 1) return true;
  if (order > kChebyshevCoeffs - 1) return false;
  // Denominator a[0..order] = 1, -B[1], ..., -B[order]; step it down (Schur-Cohn): every
  // reflection coefficient must lie inside -1..1.
  long double a[kChebyshevCoeffs];
  long double next[kChebyshevCoeffs];
  a[0] = 1.0L;
  for (int i = 1; i <= order; ++i) {
    if (!std::isfinite(B[i])) return false;
    a[i] = -static_cast<long double>(B[i]);
  }
  for (int m = order; m >= 1; --m) {
    const long double k = a[m] / a[0];
    if (!(std::fabs(k) < 1.0L)) return false;
    const long double den = 1.0L - k * k;
    for (int i = 0; i < m; ++i) next[i] = (a[i] - k * a[m - i]) / den;
    for (int i = 0; i < m; ++i) a[i] = next[i];
  }
  return true;
}
