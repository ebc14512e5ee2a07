// Speed of the waterfall: lines 1,920 pixels wide coloured from 32,768-bin records straight into
// a 32-bit picture (the per-pixel bin ranges and the level table prepared once, as the main
// window keeps them between layout changes), the scroll of a 1,920 x 1,000 picture, and a full
// redraw of that picture from a history of 1,000 records with the frequency grid.
// Prints:
//   waterfall width=1920 <n> lines/s
//   waterfall scroll 1920x1000 <ms> ms per batch
//   waterfall redraw 1920x1000 <ms> ms
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "interp/SpectrumBuffer.h"
#include "mainwin/FreqScaleTicks.h"
#include "mainwin/WaterfallRaster.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b)
{
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main()
{
  constexpr int kWidth = 1920, kHeight = 1000, kRecords = 1000;
  // History of 1,000 records: noise around -90 dB with a few carriers, 44.1 kHz / 65,536 points.
  std::vector<std::unique_ptr<SpectrumBuffer>> history;
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(-9000.0, 600.0);
  for (int r = 0; r < kRecords; ++r) {
    auto sb = std::make_unique<SpectrumBuffer>();
    sb->bin_width_hz = 44100.0 / 65536.0;
    sb->nr_of_bins = SPECTRUM_MAX_BINS;
    for (int i = 0; i < SPECTRUM_MAX_BINS; ++i)
      sb->bins[i] = static_cast<int16_t>(std::clamp(noise(rng), -32768.0, 32767.0));
    for (int c = 1000; c < SPECTRUM_MAX_BINS; c += 3000) sb->bins[c + r % 7] = -2000;
    history.push_back(std::move(sb));
  }
  std::vector<uint32_t> palette(256);
  for (uint32_t k = 0; k < 256; ++k) palette[k] = k | ((k / 2) << 8) | ((255 - k) << 16);

  const int stride = kWidth * 4;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * kHeight, 0);
  TRasterTarget target{pixels.data(), kWidth, kHeight, stride, 32};

  CWaterfallRaster raster;
  const double fmax = 22050.0;
  const TFreqBinMapping m =
      CalcFreqBinMapping(history[0]->bin_width_hz, 0.0, 0.0, fmax, 0.0, kWidth - 1);
  raster.SetColumns(m, kWidth, false);
  raster.SetLevels(-100.0, 0.0, 0);
  raster.SetPalette(palette.data(), 32, 0xFF000000u);

  // Lines per second (each line into its own row, as a batch after one scroll does).
  int lines = 0;
  const auto t0 = Clock::now();
  Clock::time_point t1;
  do {
    for (int k = 0; k < 500; ++k, ++lines)
      raster.DrawLine(target, history[lines % kRecords]->bins, lines % (kHeight - 1), 1,
                      ORIENT_HORIZONTAL);
    t1 = Clock::now();
  } while (Seconds(t0, t1) < 2.0);
  std::printf("waterfall width=%d %.0f lines/s\n", kWidth, lines / Seconds(t0, t1));

  // Scroll of the whole picture (once per batch of new lines).
  int scrolls = 0;
  const auto s0 = Clock::now();
  Clock::time_point s1;
  do {
    CWaterfallRaster::Scroll(target, 1, ORIENT_HORIZONTAL);
    ++scrolls;
    s1 = Clock::now();
  } while (Seconds(s0, s1) < 1.0);
  std::printf("waterfall scroll %dx%d %.3f ms per batch\n", kWidth, kHeight,
              1000.0 * Seconds(s0, s1) / scrolls);

  // Full redraw from the history with the frequency grid over the picture (best of 5).
  std::vector<TFreqTick> ticks;
  ComputeFreqTicks(0.0, fmax, kWidth - 1, false, ticks);
  std::vector<int> grid;
  for (const TFreqTick& t : ticks)
    if (t.Label) grid.push_back(t.Pos);
  double best = 1e9;
  for (int rep = 0; rep < 5; ++rep) {
    const auto r0 = Clock::now();
    for (int d = 0; d < kHeight; ++d)
      raster.DrawLine(target, history[d % kRecords]->bins, d, 1, ORIENT_HORIZONTAL);
    CWaterfallRaster::DrawGridPixels(target, grid, 0, kHeight - 1, ORIENT_HORIZONTAL,
                                     0xFFFFFFFFu);
    best = std::min(best, Seconds(r0, Clock::now()));
  }
  std::printf("waterfall redraw %dx%d %.1f ms\n", kWidth, kHeight, 1000.0 * best);
  return 0;
}
