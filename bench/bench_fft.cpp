// Cfft against FFTW in one process, real and complex input, N = 1,024 .. 65,536.
//   fft_ratio:  Cfft::CalcPower (window, transform, power of every bin) against FFTW doing the
//               same (window into its input array, fftw_execute, power of every bin)
//   line_ratio: Cfft::CalcSpectrum (a whole dB spectrum line, integer output) against FFTW's
//               transform followed by the same dB formula with the C library's log10
// Medians of 51 interleaved timed batches, in ns per call. FFTW plans with FFTW_MEASURE.
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/Cfft.h"

namespace {

// Times the operations in interleaved batches (so that a change of machine load hits all of
// them alike) and returns the median ns per call of each.
std::vector<double> MedianNs(const std::vector<std::function<void()>>& ops, int n) {
  const int reps = std::max(1, static_cast<int>(1e6 / (n * 8.0)));
  for (const auto& op : ops) op();
  std::vector<std::vector<double>> t(ops.size());
  for (int b = 0; b < 51; ++b) {
    for (std::size_t o = 0; o < ops.size(); ++o) {
      const auto t0 = std::chrono::steady_clock::now();
      for (int r = 0; r < reps; ++r) ops[o]();
      const auto t1 = std::chrono::steady_clock::now();
      t[o].push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() / reps);
    }
  }
  std::vector<double> med;
  for (auto& v : t) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    med.push_back(v[v.size() / 2]);
  }
  return med;
}

volatile int g_sink;

// Pass count and transform time per point of each run, printed under the ratio lines.
std::vector<std::string> g_passLines;

void Run(int n, bool complex) {
  const int values = complex ? 2 * n : n;
  std::mt19937 rng(n);
  std::uniform_real_distribution<double> d(-3000.0, 3000.0);
  std::vector<double> input(values);
  for (auto& v : input) v = d(rng);

  Cfft fft(n, complex, 2);
  std::vector<double> data(values), power(n);
  std::vector<int> out(n / 2);
  const std::vector<double> win = [&] {
    std::vector<double> w(n);
    for (int i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (n - 1));
    return w;
  }();
  const double floor = fft.PowerFloor, offset = fft.DbOffset, factor = 10.0 * 100.0;

  // FFTW set-up.
  double* rin = fftw_alloc_real(n);
  fftw_complex* cin = fftw_alloc_complex(n);
  fftw_complex* cout = fftw_alloc_complex(n);
  fftw_plan plan = complex ? fftw_plan_dft_1d(n, cin, cout, FFTW_BACKWARD, FFTW_MEASURE)
                           : fftw_plan_dft_r2c_1d(n, rin, cout, FFTW_MEASURE);
  std::vector<double> fpow(n);
  auto fftwTransform = [&] {
    if (complex) {
      for (int i = 0; i < n; ++i) {
        cin[i][0] = input[2 * i] * win[i];
        cin[i][1] = input[2 * i + 1] * win[i];
      }
    } else {
      for (int i = 0; i < n; ++i) rin[i] = input[i] * win[i];
    }
    fftw_execute(plan);
    const int bins = complex ? n : n / 2;
    for (int k = 0; k < bins; ++k) fpow[k] = cout[k][0] * cout[k][0] + cout[k][1] * cout[k][1];
  };
  auto fftwLine = [&] {
    fftwTransform();
    if (complex) {
      const int q = n / 4;
      for (int k = 0; k < n / 2; ++k) {
        const double p = fpow[k < q ? 3 * q + k : k - q];
        out[k] = static_cast<int>((std::log10(p + floor) + offset) * factor);
      }
    } else {
      for (int k = 1; k < n / 2; ++k)
        out[k] = static_cast<int>(factor * (std::log10(fpow[k] + floor) + offset));
    }
    g_sink = out[n / 8];
  };
  auto cfftTransform = [&] {
    fft.CalcPower(input.data(), power.data());
    g_sink = static_cast<int>(power[n / 8]);
  };
  auto cfftLine = [&] {
    std::copy(input.begin(), input.end(), data.begin());
    fft.CalcSpectrum(data.data(), 100.0, 1, true, out.data());
    g_sink = out[n / 8];
  };
  auto fftwExecOnly = [&] { fftw_execute(plan); };

  const auto med = MedianNs({fftwTransform, cfftTransform, fftwLine, cfftLine, fftwExecOnly}, n);
  const double tf = med[0], tc = med[1], lf = med[2], lc = med[3], xf = med[4];
  std::printf("N=%d %s fft_ratio=%.3f line_ratio=%.3f  cfft_fft_ns=%.0f fftw_fft_ns=%.0f "
              "cfft_line_ns=%.0f fftw_line_ns=%.0f fftw_execute_only_ns=%.0f\n",
              n, complex ? "complex" : "real", tc / tf, lc / lf, tc, tf, lc, lf, xf);
  std::fflush(stdout);
  char pass[128];
  std::snprintf(pass, sizeof pass, "N=%d %s passes=%d cfft_ns_per_point=%.3f", n,
                complex ? "complex" : "real", fft.GetPassCount(), tc / n);
  g_passLines.push_back(pass);
  fftw_destroy_plan(plan);
  fftw_free(rin);
  fftw_free(cin);
  fftw_free(cout);
}

}  // namespace

int main() {
  for (int n : {1024, 4096, 16384, 65536}) {
    Run(n, false);
    Run(n, true);
  }
  for (const auto& line : g_passLines) std::printf("%s\n", line.c_str());
  return 0;
}
