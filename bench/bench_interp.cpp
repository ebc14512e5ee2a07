// Cost of the interpreter against the same work done by direct C++ calls:
//  - a typical display expression over a 32,768-bin spectrum: avrg(1000,1200)-noise(500,3000)
//  - a plain arithmetic expression: 2*x+sqrt(y)
// Prints Google Benchmark's table, then evaluations per second of both ways and the overhead.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "interp/Interpreter.h"

namespace {

const char* const kSpectrumExpr = "avrg(1000,1200)-noise(500,3000)";
const char* const kArithExpr = "2*x+sqrt(y)";

void FillSpectrum()
{
  CLI_Init();
  SpectrumBuffer& sb = g_LatestSpectrum;
  sb.bin_width_hz = 44100.0 / 65536.0;  // 44.1 kHz, 65,536-point FFT
  sb.nr_of_bins = SPECTRUM_MAX_BINS;
  sb.scale_unit = SPECTRUM_UNIT_DB;
  sb.scale_factor = 0.01;
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(-9000.0, 600.0);
  for (int i = 0; i < SPECTRUM_MAX_BINS; ++i) sb.bins[i] = static_cast<int16_t>(noise(rng));
}

void BM_SpectrumExpr_Interpreter(benchmark::State& state)
{
  FillSpectrum();
  for (auto _ : state) benchmark::DoNotOptimize(CLI_CalcExpression(CLI_SRC_DISPLAY, kSpectrumExpr, 0.0));
  state.SetItemsProcessed(state.iterations());
}

void BM_SpectrumExpr_Direct(benchmark::State& state)
{
  FillSpectrum();
  const SpectrumBuffer* sb = &g_LatestSpectrum;
  for (auto _ : state) {
    // The same steps without the parser: frequencies to bins, then the two level functions.
    const int a0 = CLI_FreqToBin(sb, 1000.0), a1 = CLI_FreqToBin(sb, 1200.0);
    const int n0 = CLI_FreqToBin(sb, 500.0), n1 = CLI_FreqToBin(sb, 3000.0);
    benchmark::DoNotOptimize(CLI_CalcAverageLevel(CLI_SRC_DISPLAY, false, sb, a0, a1) -
                             CLI_CalcNoiseLevel(CLI_SRC_DISPLAY, false, sb, n0, n1));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ArithExpr_Interpreter(benchmark::State& state)
{
  CLI_Init();
  double x = 1.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CLI_CalcExpression2(CLI_SRC_DISPLAY, kArithExpr, x, 2.0));
    x += 1.0;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ArithExpr_Direct(benchmark::State& state)
{
  double x = 1.0, y = 2.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
    benchmark::DoNotOptimize(2 * x + (y < 0 ? 0.0 : std::sqrt(y)));
    x += 1.0;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_SpectrumExpr_Interpreter);
BENCHMARK(BM_SpectrumExpr_Direct);
BENCHMARK(BM_ArithExpr_Interpreter);
BENCHMARK(BM_ArithExpr_Direct);

// Keeps the console table and remembers the seconds per evaluation of each benchmark.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override
  {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      // Plain runs, or the median when repetitions are asked for.
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      secondsPerEval[r.run_name.function_name] = r.GetAdjustedRealTime() / 1e9;
    }
  }
  std::map<std::string, double> secondsPerEval;  // time unit of the runs is ns
};

void PrintPair(const SummaryReporter& rep, const char* title, const std::string& interp, const std::string& direct)
{
  auto i = rep.secondsPerEval.find(interp);
  auto d = rep.secondsPerEval.find(direct);
  if (i == rep.secondsPerEval.end() || d == rep.secondsPerEval.end()) return;
  std::printf("%-34s interpreter %12.0f eval/s   direct %12.0f eval/s   overhead %8.3f us/eval (%.2fx)\n", title,
              1.0 / i->second, 1.0 / d->second, (i->second - d->second) * 1e6, i->second / d->second);
}

}  // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  PrintPair(reporter, kSpectrumExpr, "BM_SpectrumExpr_Interpreter", "BM_SpectrumExpr_Direct");
  PrintPair(reporter, kArithExpr, "BM_ArithExpr_Interpreter", "BM_ArithExpr_Direct");
  benchmark::Shutdown();
  return 0;
}
