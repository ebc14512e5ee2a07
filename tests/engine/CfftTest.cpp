// Cfft against a direct long-double DFT, the fixed levels of the dB scale, averaging, and the
// vectorised log10 against the library one.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/Cfft.h"
#include "engine/VecLog10.h"

namespace {

using cld = std::complex<long double>;
constexpr long double kPiL = 3.14159265358979323846264338327950288L;

// Window as defined for the analyser, in long double.
std::vector<long double> RefWindow(int n, int type) {
  std::vector<long double> w(n, 1.0L);
  for (int i = 0; i < n; ++i) {
    if (type == 1) w[i] = 0.54L - 0.46L * std::cos(2 * kPiL * i / (n - 1));
    if (type == 2) w[i] = 0.5L - 0.5L * std::cos(2 * kPiL * i / (n - 1));
  }
  return w;
}

// Direct DFT X[k] = sum x[n] exp(sign * j 2 pi k n / N) of the windowed input.
std::vector<cld> DirectDft(const std::vector<cld>& x, int sign) {
  const int n = static_cast<int>(x.size());
  std::vector<cld> e(n);
  for (int i = 0; i < n; ++i) e[i] = std::polar(1.0L, sign * 2 * kPiL * i / n);
  std::vector<cld> out(n);
  for (int k = 0; k < n; ++k) {
    cld s = 0;
    for (int i = 0; i < n; ++i) s += x[i] * e[(static_cast<int64_t>(k) * i) % n];
    out[k] = s;
  }
  return out;
}

std::vector<double> RandomSignal(int count, double amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(-amplitude, amplitude);
  std::vector<double> v(count);
  for (auto& x : v) x = d(rng);
  return v;
}

// Signal-to-error ratio in dB of the magnitudes sqrt(power) against the reference.
double MagnitudeSnrDb(const std::vector<double>& power, const std::vector<long double>& refMag) {
  long double sig = 0, err = 0;
  for (std::size_t k = 0; k < refMag.size(); ++k) {
    const long double d = std::sqrt(static_cast<long double>(power[k])) - refMag[k];
    sig += refMag[k] * refMag[k];
    err += d * d;
  }
  return err == 0 ? 400.0 : static_cast<double>(10 * std::log10(sig / err));
}

TEST(Cfft, PowerMatchesDirectDftForEveryWindowSizeAndKind) {
  for (int n : {64, 128, 1024, 2048}) {
    for (int window : {0, 1, 2}) {
      const auto w = RefWindow(n, window);
      // Real input: N samples, bins 1 .. N/2 - 1.
      {
        const auto x = RandomSignal(n, 30000.0, 17 + n + window);
        std::vector<cld> xw(n);
        for (int i = 0; i < n; ++i) xw[i] = x[i] * w[i];
        const auto ref = DirectDft(xw, -1);
        Cfft fft(n, false, window);
        std::vector<double> power(n / 2, 0.0);
        fft.CalcPower(x.data(), power.data());
        std::vector<long double> refMag(n / 2, 0.0L);
        for (int k = 1; k < n / 2; ++k) refMag[k] = std::abs(ref[k]);
        power[0] = 0;
        EXPECT_GT(MagnitudeSnrDb(power, refMag), 120.0) << "real N=" << n << " window " << window;
      }
      // Complex input: N I/Q pairs, all N bins, transform with exp(+j ...).
      {
        const auto x = RandomSignal(2 * n, 30000.0, 91 + n + window);
        std::vector<cld> xw(n);
        for (int i = 0; i < n; ++i) xw[i] = cld(x[2 * i], x[2 * i + 1]) * w[i];
        const auto ref = DirectDft(xw, +1);
        Cfft fft(n, true, window);
        std::vector<double> power(n, 0.0);
        fft.CalcPower(x.data(), power.data());
        std::vector<long double> refMag(n);
        for (int k = 0; k < n; ++k) refMag[k] = std::abs(ref[k]);
        EXPECT_GT(MagnitudeSnrDb(power, refMag), 120.0) << "complex N=" << n << " window " << window;
      }
    }
  }
}

// The larger sizes (each shape of the split into columns and rows), where a full direct DFT
// would take too long: a direct sum on chosen bins (the edges, around the quarter points,
// random ones) for every window and kind, and Parseval's sum over all bins, which any wrong bin
// upsets.
TEST(Cfft, LargeSizesMatchDirectSumsOnChosenBinsAndKeepTheEnergy) {
  for (int n : {4096, 8192, 16384, 32768, 65536}) {
    for (bool complex : {false, true}) {
      for (int window : {0, 1, 2}) {
        const auto w = RefWindow(n, window);
        const int values = complex ? 2 * n : n;
        const int bins = complex ? n : n / 2;
        const auto x = RandomSignal(values, 30000.0, 7 * n + 3 * window + complex);
        std::vector<cld> xw(n);
        for (int i = 0; i < n; ++i)
          xw[i] = (complex ? cld(x[2 * i], x[2 * i + 1]) : cld(x[i], 0)) * w[i];
        Cfft fft(n, complex, window);
        std::vector<double> power(bins, 0.0);
        fft.CalcPower(x.data(), power.data());
        const int sign = complex ? +1 : -1;
        std::vector<int> ks = {1, 2, 3, n / 4 - 1, n / 4, n / 4 + 1, bins - 1, bins / 2 + 5};
        if (complex) ks.insert(ks.end(), {0, n / 2, n / 2 + 1, 3 * n / 4, n - 2});
        std::mt19937 rng(n + window);
        for (int i = 0; i < 10; ++i) ks.push_back(1 + static_cast<int>(rng() % (bins - 1)));
        for (int k : ks) {
          cld sum = 0;
          for (int i = 0; i < n; ++i)
            sum += xw[i] * std::polar(1.0L, sign * 2 * kPiL * ((static_cast<int64_t>(k) * i) % n) / n);
          const long double ref = std::abs(sum);
          const long double got = std::sqrt(static_cast<long double>(power[k]));
          // Error relative to the typical bin magnitude (sqrt of the mean power).
          const long double typical = std::sqrt(static_cast<long double>(n)) * 30000.0L / 3;
          EXPECT_LT(std::fabs(got - ref) / typical, 1e-9L)
              << "N=" << n << " complex " << complex << " window " << window << " bin " << k;
        }
        // Parseval: sum |X[k]|^2 over all N bins = N * sum |x|^2. For real input the bins above
        // N/2 mirror those below; bin 0 and bin N/2 are the plain and alternating sums.
        long double energy = 0, total = 0;
        for (int i = 0; i < n; ++i) energy += std::norm(xw[i]);
        if (complex) {
          for (int k = 0; k < n; ++k) total += power[k];
        } else {
          long double s0 = 0, sh = 0;
          for (int i = 0; i < n; ++i) {
            s0 += xw[i].real();
            sh += (i % 2 ? -1 : 1) * xw[i].real();
          }
          total = s0 * s0 + sh * sh;
          for (int k = 1; k < n / 2; ++k) total += 2.0L * power[k];
        }
        EXPECT_LT(std::fabs(total / (n * energy) - 1), 1e-12L)
            << "N=" << n << " complex " << complex << " window " << window;
      }
    }
  }
}

TEST(Cfft, SizesAreClampedAndRoundedDownToPowersOfTwo) {
  const struct {
    int asked, got;
  } cases[] = {{32, 64}, {64, 64}, {100, 64}, {1000, 512}, {4096, 4096}, {65536, 65536},
               {100000, 65536}, {-5, 64}};
  for (const auto& c : cases) {
    Cfft fft(c.asked, false, 0);
    EXPECT_EQ(fft.GetSize(), c.got) << c.asked;
    Cfft cfft(c.asked, true, 2);
    EXPECT_EQ(cfft.GetSize(), c.got) << c.asked;
    EXPECT_TRUE(cfft.IsComplex());
  }
}

std::vector<double> Sine(int n, double amplitude, double cyclesPerBlock) {
  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = amplitude * std::cos(2 * M_PI * cyclesPerBlock * i / n);
  return x;
}

TEST(Cfft, FullScaleSineReadsZeroDbAndSilenceTheFloor) {
  const int n = 1024;
  for (int window : {0, 1, 2}) {
    Cfft fft(n, false, window);
    auto x = Sine(n, 32767.0, 100.0);
    std::vector<int> out(n / 2);
    fft.CalcSpectrum(x.data(), 100.0, 1, true, out.data());
    EXPECT_LE(std::abs(out[100]), 1) << "window " << window;  // hundredths of a dB
    // Bin 0 holds only the value set when switching to dB: factor * scale * -200.
    EXPECT_EQ(out[0], static_cast<int>(1000.0 * 100.0 * -200.0));
    std::vector<double> zeros(n, 0.0);
    fft.CalcSpectrum(zeros.data(), 100.0, 1, true, out.data());
    for (int k = 1; k < n / 2; ++k) ASSERT_NEAR(out[k], -20000, 1) << k;
  }
  // Linear scale: amplitude * 400 / 32767 reads 400 / 2 = 200 for a full-scale sine.
  Cfft lin(n, false, 0);
  auto x = Sine(n, 32767.0, 37.0);
  std::vector<int> out(n / 2);
  lin.CalcSpectrum(x.data(), 1.0, 1, false, out.data());
  EXPECT_GE(out[37], 199);
  EXPECT_LE(out[37], 200);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[36], 0);
}

TEST(Cfft, WindowOutsideTheListActsAsRectangle) {
  Cfft a(256, false, 7), b(256, false, 0);
  auto x = RandomSignal(256, 1000.0, 5);
  auto y = x;
  std::vector<int> oa(128), ob(128);
  a.CalcSpectrum(x.data(), 100.0, 1, true, oa.data());
  b.CalcSpectrum(y.data(), 100.0, 1, true, ob.data());
  EXPECT_EQ(oa, ob);
  EXPECT_EQ(a.GetWindow(), 0);
}

// The dB line computed exactly as defined: truncate(factor * (log10(p + floor) + offset)),
// with the library log10 and the averaging rule; the fast path must give the same integers.
TEST(Cfft, DbOutputEqualsTheFormulaWithLibraryLog10IncludingAveraging) {
  for (bool complex : {false, true}) {
    for (int n : {256, 4096, 65536}) {
      Cfft fft(n, complex, 2);
      const int values = complex ? 2 * n : n;
      const int bins = complex ? n : n / 2;
      std::vector<double> levels(n / 2, 0.0);
      bool first = true;
      for (int round = 0; round < 6; ++round) {
        // Levels from near silence to full scale, including exact zeros.
        const double amp = std::pow(10.0, -3.0 + round);
        auto x = RandomSignal(values, amp, 1000 + round + n);
        if (round == 2) std::fill(x.begin(), x.end(), 0.0);
        std::vector<double> power(bins);
        fft.CalcPower(x.data(), power.data());
        const double scale = round % 2 ? 100.0 : 1.0;
        const int average = complex ? 1 : 1 + round % 3 * 2;  // 1, 3, 5
        std::vector<int> out(n / 2);
        fft.CalcSpectrum(x.data(), scale, average, true, out.data());
        const double factor = 10.0 * scale;
        if (first) levels[0] = scale * -200.0;
        first = false;
        for (int k = 0; k < n / 2; ++k) {
          double expected;
          if (complex) {
            const int bin = k < n / 4 ? 3 * n / 4 + k : k - n / 4;
            expected = (std::log10(power[bin] + fft.PowerFloor) + fft.DbOffset) * factor;
          } else {
            if (k > 0) {
              const double v = std::log10(power[k] + fft.PowerFloor) + fft.DbOffset;
              levels[k] = average > 1 ? v / average + (1.0 - 1.0 / average) * levels[k] : v;
            }
            expected = factor * levels[k];
          }
          ASSERT_EQ(out[k], static_cast<int>(expected))
              << "complex " << complex << " n " << n << " round " << round << " k " << k;
        }
      }
    }
  }
}

TEST(Cfft, AveragingWeightsEachNewSpectrumByOneOverCount) {
  const int n = 512;
  Cfft fft(n, false, 0);
  std::vector<int> out(n / 2);
  auto loud = Sine(n, 32767.0, 20.0);
  fft.CalcSpectrum(loud.data(), 100.0, 1, true, out.data());
  EXPECT_LE(std::abs(out[20]), 1);
  // Silence averaged with weight 1/4: 0.75 * 0 dB + 0.25 * -200 dB = -50 dB.
  std::vector<double> zeros(n, 0.0);
  fft.CalcSpectrum(zeros.data(), 100.0, 4, true, out.data());
  EXPECT_TRUE(fft.Averaging);
  EXPECT_NEAR(out[20], -5000, 1);
  // Average 1 switches it off: the level follows the input at once.
  fft.CalcSpectrum(zeros.data(), 100.0, 1, true, out.data());
  EXPECT_FALSE(fft.Averaging);
  EXPECT_NEAR(out[20], -20000, 1);
}

TEST(Cfft, OutputsBeyondTheIntRangeSaturate) {
  Cfft fft(256, false, 0);
  std::vector<double> zeros(256, 0.0);
  std::vector<int> out(128);
  fft.CalcSpectrum(zeros.data(), 1e9, 1, true, out.data());  // -200 dB * 1e10
  EXPECT_EQ(out[5], INT_MIN);
  auto loud = Sine(256, 32767.0, 10.0);
  fft.CalcSpectrum(loud.data(), 1e12, 1, false, out.data());  // 200 * 1e12
  EXPECT_EQ(out[10], INT_MAX);
}

// A tone d Hz above the mixing centre arrives as I + jQ = exp(-j 2 pi d t) from the ring's
// mixer (I = x cos, Q = x sin); it must appear above the centre output N/4.
TEST(Cfft, ComplexToneAboveTheCentreAppearsAboveIt) {
  const int n = 1024;
  Cfft fft(n, true, 0);
  std::vector<double> x(2 * n);
  const double d = 40;  // bins
  for (int i = 0; i < n; ++i) {
    x[2 * i] = 10000.0 * std::cos(2 * M_PI * d * i / n);
    x[2 * i + 1] = -10000.0 * std::sin(2 * M_PI * d * i / n);
  }
  std::vector<int> out(n / 2);
  fft.CalcSpectrum(x.data(), 100.0, 1, true, out.data());
  int peak = 0;
  for (int k = 0; k < n / 2; ++k)
    if (out[k] > out[peak]) peak = k;
  EXPECT_EQ(peak, n / 4 + 40);
  EXPECT_LT(out[n / 4 - 40], out[peak] - 10000);  // the mirror bin is empty (> 100 dB down)
}

// log10 against the library over the whole positive range; ulps measured against long double.
TEST(VecLog10, WithinOneUlpOfExactOverManyValues) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> expo(-307.0, 308.0);
  std::uniform_real_distribution<double> near1(0.5, 2.0);
  std::vector<double> in;
  for (int i = 0; i < 400000; ++i) in.push_back(std::pow(10.0, expo(rng)));
  for (int i = 0; i < 200000; ++i) in.push_back(near1(rng));
  for (int e = -300; e <= 300; ++e) in.push_back(std::pow(10.0, e));
  for (int e = -1020; e <= 1020; ++e) in.push_back(std::ldexp(1.0, e));
  in.push_back(1.0);
  in.push_back(std::sqrt(2.0));
  in.push_back(std::sqrt(0.5));
  std::vector<double> out(in.size());
  VecLog10(in.data(), out.data(), in.size());
  double worst = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const long double exact = std::log10(static_cast<long double>(in[i]));
    const double ulp = std::nextafter(std::fabs(static_cast<double>(exact)), INFINITY) -
                       std::fabs(static_cast<double>(exact));
    const double err = static_cast<double>(std::fabs(out[i] - exact)) / (ulp > 0 ? ulp : 1e-300);
    worst = std::max(worst, exact == 0 ? std::fabs(out[i]) * 1e300 : err);
    ASSERT_EQ(out[i], VecLog10(in[i])) << i;
  }
  EXPECT_LE(worst, 1.0);
  // Exact cases and the fallback outside the normal range.
  EXPECT_EQ(VecLog10(1.0), 0.0);
  EXPECT_EQ(VecLog10(0.0), -INFINITY);
  EXPECT_TRUE(std::isnan(VecLog10(-1.0)));
  EXPECT_EQ(VecLog10(INFINITY), INFINITY);
  EXPECT_EQ(VecLog10(4.9e-324), std::log10(4.9e-324));
}

}  // namespace
