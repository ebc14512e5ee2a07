// Parks-McClellan design of the largest filter the FIR-2 page allows: 128 taps, 10 bands.
// Prints the time of one design in ms (median of the benchmark's repetitions).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "control/Remez.h"

namespace {
void Design(double* h) {
  double bands[20], des[10], weight[10];
  for (int i = 0; i < 10; ++i) {
    bands[2 * i] = 0.05 * i + (i ? 0.01 : 0.0);
    bands[2 * i + 1] = 0.05 * i + 0.04;
    des[i] = i % 2;
    weight[i] = 1.0 + i;
  }
  bands[19] = 0.5;
  Remez_DesignFIR(h, 128, 10, bands, des, weight, REMEZ_BANDPASS);
}

void BM_Remez128Taps10Bands(benchmark::State& state) {
  double h[129];
  for (auto _ : state) {
    Design(h);
    benchmark::DoNotOptimize(h);
  }
  state.SetLabel(g_RemezMessage.empty() ? "converged" : g_RemezMessage);
}
BENCHMARK(BM_Remez128Taps10Bands)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The figure on one line: median of 21 designs.
  double h[129];
  std::vector<double> ms;
  for (int i = 0; i < 21; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    Design(h);
    const auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("remez 128 taps 10 bands: %.3f ms (%s)\n", ms[ms.size() / 2],
              g_RemezMessage.empty() ? "converged" : g_RemezMessage.c_str());
  return 0;
}
