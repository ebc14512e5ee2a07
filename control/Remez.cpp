#include "control/Remez.h"

#include <cmath>
#include <vector>

std::string g_RemezMessage;

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kPi2 = 2.0 * kPi;
constexpr int kGridDensity = 16;
constexpr int kMaxIterations = 40;

enum Symmetry { kPositive, kNegative };

void SetMessage(const std::string& text) { g_RemezMessage = text.substr(0, 255); }

struct RemezWork {
  int r = 0;  // number of cosine terms - 1 (r + 1 extremal frequencies)
  std::vector<double> grid, d, w, e;
  std::vector<int> ext;
  std::vector<double> ad, x, y;
};

// Dense grid: kGridDensity points per extremal frequency, spacing delf.
void CreateDenseGrid(RemezWork& wk, int numtaps, int numbands, double bands[], const double des[],
                     const double weight[], Symmetry symmetry) {
  const int gridsize = static_cast<int>(wk.grid.size());
  const double delf = 0.5 / (kGridDensity * wk.r);
  // With odd symmetry the response is 0 at f = 0: the grid starts at least one step above it
  // (the raised edge is stored back, as the published code does), and the first band gives
  // up the point that the prediction of the grid size took off, so that every band keeps its
  // upper edge.
  const double firstLower = bands[0];
  if (symmetry == kNegative && delf > bands[0]) bands[0] = delf;

  int j = 0;
  for (int band = 0; band < numbands && j < gridsize; ++band) {
    const double nominalLower = band == 0 ? firstLower : bands[2 * band];
    double lowf = bands[2 * band];
    const double highf = bands[2 * band + 1];
    int k = static_cast<int>((highf - nominalLower) / delf + 0.5);
    if (band == 0 && symmetry == kNegative) k--;
    // A band narrower than half a step still contributes its upper edge (only when the grid
    // was raised to one point per band, see Remez_DesignFIR).
    if (k < 1) k = 1;
    const int first = j;
    for (int i = 0; i < k && j < gridsize; ++i) {
      wk.d[j] = des[band];
      wk.w[j] = weight[band];
      wk.grid[j] = lowf;
      lowf += delf;
      ++j;
    }
    // The band's last point sits on its upper edge, unless the grid was full before it.
    if (j - first == k) wk.grid[j - 1] = highf;
  }
  // Points that stayed empty repeat the last one filled (only when bands were narrower than
  // the prediction; never in a normal design).
  for (int i = j; i < gridsize && j > 0; ++i) {
    wk.grid[i] = wk.grid[j - 1];
    wk.d[i] = wk.d[j - 1];
    wk.w[i] = wk.w[j - 1];
  }
  // The symmetry correction divides by cos(pi f) (even symmetry, even length) or sin(2 pi f)
  // (odd symmetry, odd length): both vanish at f = 0.5, where the rounded value of
  // cos(pi/2) or sin(pi) would blow the point's desired value up. Keep the last point below.
  const bool vanishesAtHalf = (symmetry == kPositive) ? (numtaps % 2 == 0) : (numtaps % 2 == 1);
  if (vanishesAtHalf && wk.grid[gridsize - 1] > 0.5 - delf) wk.grid[gridsize - 1] = 0.5 - delf;
}

// Barycentric weights ad, deviation delta and interpolation values y for the extremal set
// (Oppenheim & Schafer, eq. 7.131 to 7.133b).
void CalcParms(RemezWork& wk) {
  const int r = wk.r;
  for (int i = 0; i <= r; ++i) wk.x[i] = std::cos(kPi2 * wk.grid[wk.ext[i]]);
  const int ld = (r - 1) / 15 + 1;  // skips around to keep the products in range
  for (int i = 0; i <= r; ++i) {
    double denom = 1.0;
    const double xi = wk.x[i];
    for (int j = 0; j < ld; ++j) {
      for (int k = j; k <= r; k += ld) {
        if (k != i) denom *= 2.0 * (xi - wk.x[k]);
      }
    }
    if (std::fabs(denom) < 0.00001) denom = 0.00001;
    wk.ad[i] = 1.0 / denom;
  }
  double numer = 0.0;
  double denom = 0.0;
  double sign = 1.0;
  for (int i = 0; i <= r; ++i) {
    numer += wk.ad[i] * wk.d[wk.ext[i]];
    denom += sign * wk.ad[i] / wk.w[wk.ext[i]];
    sign = -sign;
  }
  const double delta = numer / denom;
  sign = 1.0;
  for (int i = 0; i <= r; ++i) {
    wk.y[i] = wk.d[wk.ext[i]] - sign * delta / wk.w[wk.ext[i]];
    sign = -sign;
  }
}

// The response at freq, by barycentric Lagrange interpolation.
double ComputeA(const RemezWork& wk, double freq) {
  double denom = 0.0;
  double numer = 0.0;
  const double xc = std::cos(kPi2 * freq);
  for (int i = 0; i <= wk.r; ++i) {
    double c = xc - wk.x[i];
    if (std::fabs(c) < 1.0e-7) return wk.y[i];
    c = wk.ad[i] / c;
    denom += c;
    numer += c * wk.y[i];
  }
  return numer / denom;
}

void CalcError(RemezWork& wk) {
  const size_t n = wk.grid.size();
  for (size_t i = 0; i < n; ++i) wk.e[i] = wk.w[i] * (wk.d[i] - ComputeA(wk, wk.grid[i]));
}

// Finds the r + 1 extremal frequencies of the error. At most 2r candidates are kept. Returns
// false (Ext unchanged) when fewer than r + 1 were found.
bool Search(RemezWork& wk, std::vector<int>& found) {
  const int r = wk.r;
  const int gridsize = static_cast<int>(wk.grid.size());
  const std::vector<double>& e = wk.e;
  const int maxFound = 2 * r;
  int k = 0;
  if (gridsize < 2) return false;
  if ((e[0] > 0.0 && e[0] > e[1]) || (e[0] < 0.0 && e[0] < e[1])) found[k++] = 0;
  for (int i = 1; i < gridsize - 1 && k < maxFound; ++i) {
    if ((e[i] >= e[i - 1] && e[i] > e[i + 1] && e[i] > 0.0) ||
        (e[i] <= e[i - 1] && e[i] < e[i + 1] && e[i] < 0.0)) {
      found[k++] = i;
    }
  }
  const int last = gridsize - 1;
  if (k < maxFound && ((e[last] > 0.0 && e[last] > e[last - 1]) ||
                       (e[last] < 0.0 && e[last] < e[last - 1]))) {
    found[k++] = last;
  }
  if (k < r + 1) return false;

  // Remove the extra extrema: the smaller of two neighbours that do not alternate, or, when
  // all alternate and one is too many, the smaller of the first and the last.
  int extra = k - (r + 1);
  while (extra > 0) {
    bool up = e[found[0]] > 0.0;
    int l = 0;
    bool alt = true;
    for (int j = 1; j < k; ++j) {
      if (std::fabs(e[found[j]]) < std::fabs(e[found[l]])) l = j;
      if (up && e[found[j]] < 0.0) {
        up = false;
      } else if (!up && e[found[j]] > 0.0) {
        up = true;
      } else {
        alt = false;
        break;
      }
    }
    if (alt && extra == 1) {
      l = (std::fabs(e[found[k - 1]]) < std::fabs(e[found[0]])) ? k - 1 : 0;
    }
    for (int j = l; j < k - 1; ++j) found[j] = found[j + 1];
    --k;
    --extra;
  }
  for (int i = 0; i <= r; ++i) wk.ext[i] = found[i];
  return true;
}

// Converged when the error magnitudes at the extremal frequencies agree within 1e-4.
bool IsDone(const RemezWork& wk) {
  const int gridsize = static_cast<int>(wk.grid.size());
  auto errAt = [&](int idx) {
    return (idx >= 0 && idx < gridsize) ? std::fabs(wk.e[idx]) : 0.0;
  };
  double mn = errAt(wk.ext[0]);
  double mx = mn;
  for (int i = 1; i <= wk.r; ++i) {
    const double c = errAt(wk.ext[i]);
    if (c < mn) mn = c;
    if (c > mx) mx = c;
  }
  if (!(mx > 1e-50)) return false;
  return (mx - mn) / mx < 0.0001;
}

// Taps from the sampled response A[0..N/2] (frequency sampling for the given symmetry).
void FreqSample(int n, const std::vector<double>& a, double h[], Symmetry symmetry) {
  const double m = (n - 1.0) / 2.0;
  for (int i = 0; i < n; ++i) {
    const double x = kPi2 * (i - m) / n;
    double val;
    if (symmetry == kPositive) {
      val = a[0];
      const int kmax = (n % 2) ? static_cast<int>(m) : n / 2 - 1;
      for (int k = 1; k <= kmax; ++k) val += 2.0 * a[k] * std::cos(x * k);
    } else if (n % 2) {
      val = 0.0;
      for (int k = 1; k <= static_cast<int>(m); ++k) val += 2.0 * a[k] * std::sin(x * k);
    } else {
      val = a[n / 2] * std::sin(kPi * (i - m));
      for (int k = 1; k <= n / 2 - 1; ++k) val += 2.0 * a[k] * std::sin(x * k);
    }
    h[i] = val / n;
  }
}

bool Refuse(const char* why) {
  SetMessage(why);
  return false;
}
}  // namespace

bool Remez_DesignFIR(double h[], int numtaps, int numbands, double bands[], const double des[],
                     const double weight[], int type) {
  g_RemezMessage.clear();
  if (numbands < 1) return Refuse("Remez: no band given.");
  if (numbands > kRemezMaxBands) return Refuse("Remez: more than 10 bands.");
  if (numtaps < 1 || numtaps > kRemezMaxTaps) return Refuse("Remez: 1 to 129 taps allowed.");
  if (type != REMEZ_BANDPASS && type != REMEZ_DIFFERENTIATOR && type != REMEZ_HILBERT) {
    return Refuse("Remez: unknown filter type.");
  }
  double prevUpper = 0.0;
  for (int i = 0; i < numbands; ++i) {
    const double lo = bands[2 * i];
    const double hi = bands[2 * i + 1];
    if (!(lo >= prevUpper && hi >= lo && hi <= 0.5)) {
      return Refuse("Remez: band edges must increase within 0..0.5.");
    }
    prevUpper = hi;
    if (!std::isfinite(des[i])) return Refuse("Remez: desired response is no number.");
    if (!(weight[i] > 0.0) || !std::isfinite(weight[i])) {
      return Refuse("Remez: weights must be above 0.");
    }
  }

  const Symmetry symmetry = (type == REMEZ_BANDPASS) ? kPositive : kNegative;
  RemezWork wk;
  wk.r = numtaps / 2;
  if ((numtaps % 2) && symmetry == kPositive) wk.r++;
  if (wk.r < 1) return Refuse("Remez: too few taps for this filter type.");
  const int r = wk.r;

  int gridsize = 0;
  for (int i = 0; i < numbands; ++i) {
    gridsize += static_cast<int>(2 * r * kGridDensity * (bands[2 * i + 1] - bands[2 * i]) + 0.5);
  }
  if (gridsize < numbands) {
    gridsize = numbands;
    SetMessage("Suspiciously small gridsize. Results may be bad.");
  }
  if (symmetry == kNegative) gridsize--;
  if (gridsize < 2) return Refuse("Remez: the bands are too narrow for a design.");

  wk.grid.assign(gridsize, 0.0);
  wk.d.assign(gridsize, 0.0);
  wk.w.assign(gridsize, 0.0);
  wk.e.assign(gridsize, 0.0);
  wk.ext.assign(r + 1, 0);
  wk.ad.assign(r + 1, 0.0);
  wk.x.assign(r + 1, 0.0);
  wk.y.assign(r + 1, 0.0);
  std::vector<int> found(2 * r + 1, 0);

  CreateDenseGrid(wk, numtaps, numbands, bands, des, weight, symmetry);
  for (int i = 0; i <= r; ++i) wk.ext[i] = i * (gridsize - 1) / r;

  // Differentiator: the desired response rises with the frequency (value x f), and the
  // weight falls with it, so that the relative error is what is minimised.
  if (type == REMEZ_DIFFERENTIATOR) {
    for (int i = 0; i < gridsize; ++i) {
      wk.d[i] *= wk.grid[i];
      if (wk.d[i] > 0.0001) wk.w[i] /= wk.grid[i];
    }
  }
  // Symmetry correction (the response is A(f) times c(f)).
  if (symmetry == kPositive ? (numtaps % 2 == 0) : true) {
    for (int i = 0; i < gridsize; ++i) {
      double c;
      if (symmetry == kPositive) {
        c = std::cos(kPi * wk.grid[i]);
      } else if (numtaps % 2) {
        c = std::sin(kPi2 * wk.grid[i]);
      } else {
        c = std::sin(kPi * wk.grid[i]);
      }
      wk.d[i] /= c;
      wk.w[i] *= c;
    }
  }

  bool done = false;
  bool lost = false;
  for (int iter = 0; iter < kMaxIterations && !done && !lost; ++iter) {
    CalcParms(wk);
    CalcError(wk);
    lost = !Search(wk, found);
    done = !lost && IsDone(wk);
  }
  if (lost) {
    // A too small grid has already been reported; that is the cause.
    if (g_RemezMessage.empty()) SetMessage("Too few extremal frequencies found. Results may be bad.");
  } else if (!done) {
    SetMessage("Reached maximum iteration count. Results may be bad.");
  }
  // Parameters of the final extremal set.
  CalcParms(wk);

  std::vector<double> taps(numtaps / 2 + 1, 0.0);
  for (int i = 0; i <= numtaps / 2; ++i) {
    double c;
    if (symmetry == kPositive) {
      c = (numtaps % 2) ? 1.0 : std::cos(kPi * i / numtaps);
    } else {
      c = (numtaps % 2) ? std::sin(kPi2 * i / numtaps) : std::sin(kPi * i / numtaps);
    }
    taps[i] = ComputeA(wk, static_cast<double>(i) / numtaps) * c;
  }
  std::vector<double> out(numtaps);
  FreqSample(numtaps, taps, out.data(), symmetry);
  for (double v : out) {
    if (!std::isfinite(v)) {
      return Refuse("Remez: the design did not give finite coefficients.");
    }
  }
  for (int i = 0; i < numtaps; ++i) h[i] = out[i];
  return true;
}
