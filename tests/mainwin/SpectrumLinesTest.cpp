// Spectrum-line production from a ring fed by a synthetic writer, with a fake clock.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "LinesFixture.h"

using namespace vt_lines_test;

namespace {

class SpectrumLines : public LinesFixture {};

// A sine of -20 dBFS centred on a bin must read -20 dB in that bin with every window (the FFT
// scales a full-scale sine to 0 dB whatever the window), for real input and for the ring's I/Q
// mixing with a complex FFT (bin i stands for offset_hz + i * bin_width_hz).
TEST_F(SpectrumLines, SineAppearsInItsBinWithItsLevel) {
  const double amplitude = 32767.0 * 0.1;  // -20 dB
  for (int complexFft = 0; complexFft < 2; ++complexFft) {
    for (int window = 0; window < 3; ++window) {
      SCOPED_TRACE(testing::Message() << "complex " << complexFft << " window " << window);
      const double centre = complexFft ? 1000.0 : 0.0;
      Start(8000.0, complexFft != 0, 1024, 300, window, centre);
      const double width = 8000.0 / 1024;
      const double freq = complexFft ? 1250.0 : 100 * width;  // 250 Hz above the centre: +32 bins
      Write(4096, amplitude, freq);
      const double blockTime = now;
      Produce();
      ASSERT_EQ(lines->LinesMade, 1u);
      const SpectrumBuffer& s = g_LatestSpectrum;
      EXPECT_EQ(s.structSize, SPECTRUM_BUFFER_SIZE);
      EXPECT_EQ(s.nr_of_bins, 512);
      EXPECT_DOUBLE_EQ(s.bin_width_hz, width);
      EXPECT_DOUBLE_EQ(s.offset_hz, complexFft ? 1000.0 - 2000.0 : 0.0);
      EXPECT_EQ(s.scale_unit, SPECTRUM_UNIT_DB);
      EXPECT_DOUBLE_EQ(s.scale_factor, 0.01);
      EXPECT_EQ(s.avrg_count, 1);
      EXPECT_DOUBLE_EQ(s.time, blockTime);
      const int peak = PeakBin(s);
      EXPECT_DOUBLE_EQ(s.offset_hz + peak * s.bin_width_hz, freq);
      EXPECT_NEAR(s.bins[peak] * s.scale_factor, -20.0, 0.1);
      // Far from the tone the rectangle window leaks nothing for a bin-centred sine and the
      // others fall off steeply.
      const int far = peak > 200 ? peak - 150 : peak + 150;
      EXPECT_LT(s.bins[far] * s.scale_factor, -80.0);
    }
  }
}

TEST_F(SpectrumLines, LinearLinesCarryTheirScale) {
  Start(8000.0, false, 1024, 300, 0);
  SndConfig.LogSpectrum = 0;
  Write(4096, 32767.0, 100 * 8000.0 / 1024);
  Produce();
  ASSERT_EQ(lines->LinesMade, 1u);
  EXPECT_EQ(g_LatestSpectrum.scale_unit, SPECTRUM_UNIT_LINEAR);
  EXPECT_DOUBLE_EQ(g_LatestSpectrum.scale_factor, 1.0 / 32767.0);
  EXPECT_DOUBLE_EQ(g_LatestSpectrum.scale_offset, 0.0);
  EXPECT_EQ(PeakBin(g_LatestSpectrum), 100);
}

// In-order reading: one line per interval of samples, stamped exactly one interval apart, none
// skipped or repeated, in real and in complex mode; the export runs once per line.
TEST_F(SpectrumLines, FastModeMakesOneLinePerIntervalOfSamples) {
  for (int complexFft = 0; complexFft < 2; ++complexFft) {
    SCOPED_TRACE(complexFft);
    Start(8000.0, complexFft != 0, 1024, 50, 2, 1000.0);
    host.waterfallLines = 0;
    ASSERT_TRUE(lines->IsFastMode());
    ASSERT_EQ(lines->SamplesPerLine(), 400);
    lines->History.Allocate(2000);
    int exported = 0;
    Export_InstallHandlers([&] { ++exported; }, {});
    g_ExportActive = 1;
    for (int step = 0; step < 200; ++step) {
      Write(400, 1000.0, 1500.0);
      Produce();
    }
    Export_InstallHandlers({}, {});
    g_ExportActive = 0;
    // The reader trails the writer by the FFT length and one block of lag.
    EXPECT_GE(lines->LinesMade, 190u);
    EXPECT_LE(lines->LinesMade, 200u);
    EXPECT_EQ(static_cast<uint64_t>(exported), lines->LinesMade);
    const int made = static_cast<int>(lines->LinesMade);
    for (int back = 0; back + 1 < made; ++back)
      ASSERT_NEAR(lines->History.Line(back)->time - lines->History.Line(back + 1)->time, 0.05,
                  1e-6)
          << back;
    EXPECT_GT(lines->History.Line(0)->time, now - 0.5);
    EXPECT_EQ(host.waterfallLines, made);
  }
}

// With a complex FFT the reader steps in I/Q pairs even when a line interval holds an odd
// number of pairs (8,100 Hz x 10 ms = 81): an odd position would swap I and Q and show the
// tone mirrored below the centre.
TEST_F(SpectrumLines, ComplexFastModeStepsInPairs) {
  Start(8100.0, true, 1024, 10, 2, 1000.0);
  ASSERT_TRUE(lines->IsFastMode());
  ASSERT_EQ(lines->SamplesPerLine(), 81);
  lines->History.Allocate(2000);
  for (int step = 0; step < 300; ++step) {
    Write(81, 5000.0, 1500.0);
    Produce();
  }
  const int made = static_cast<int>(lines->LinesMade);
  ASSERT_GT(made, 250);
  for (int back = 0; back < made; ++back) {
    const SpectrumBuffer& s = *lines->History.Line(back);
    ASSERT_NEAR(s.offset_hz + PeakBin(s) * s.bin_width_hz, 1500.0, 2 * s.bin_width_hz) << back;
  }
}

// Time-positioned reading: one line per interval of clock time, each stamped with the newest
// block's time.
TEST_F(SpectrumLines, PositionedModeFollowsTheClock) {
  Start(48000.0, false, 16384, 300);
  ASSERT_FALSE(lines->IsFastMode());
  lines->History.Allocate(50);
  const double t0 = now;
  while (now < t0 + 10.0) {
    Write(4096, 1000.0, 1000.0);
    Produce();
  }
  EXPECT_GE(lines->LinesMade, 32u);
  EXPECT_LE(lines->LinesMade, 35u);
  const int made = static_cast<int>(lines->LinesMade);
  for (int back = 0; back + 1 < made && back < 49; ++back) {
    const double d = lines->History.Line(back)->time - lines->History.Line(back + 1)->time;
    ASSERT_GT(d, 0.3 - 4096 / 48000.0 - 1e-9) << back;
    ASSERT_LT(d, 0.3 + 4096 / 48000.0 + 1e-9) << back;
  }
}

// While the ring holds fewer samples than the FFT length, lines come at reduced resolution
// (halved down to 512) and the status button says so until the full length is reached; then
// the button is free again and shows how the audio thread runs.
TEST_F(SpectrumLines, ReducedResolutionUntilTheRingIsFull) {
  Start(48000.0, false, 16384, 300);
  Write(4096, 1000.0, 1000.0);
  Produce();
  ASSERT_EQ(lines->LinesMade, 1u);
  EXPECT_EQ(lines->FftLength, 4096);
  EXPECT_EQ(g_LatestSpectrum.nr_of_bins, 2048);
  EXPECT_EQ(lines->StatusOwner, STATUS_RESOLUTION);
  ASSERT_FALSE(host.progress.empty());
  EXPECT_EQ(host.progress.back(), "25% Resolution");
  while (g_LatestSpectrum.nr_of_bins < 8192 && now < kBaseTime + 5) {
    Write(4096, 1000.0, 1000.0);
    Produce();
  }
  EXPECT_EQ(lines->FftLength, 16384);
  EXPECT_NE(host.progress.back().find("% Resolution"), std::string::npos) << host.progress.back();
  EXPECT_EQ(host.idleStatusShown, 1);
  EXPECT_EQ(lines->StatusOwner, STATUS_NONE);
  EXPECT_FALSE(lines->WaitFullResolution);
}

// Waterfall averaging (time-positioned, interval above 2 s): FFTs every 0.2 s are summed and one
// line per interval carries their mean and count.
TEST_F(SpectrumLines, WaterfallAveragingMakesOneLinePerInterval) {
  Start(8000.0, false, 1024, 3000, 0);
  SndConfig.WaterfallAveraging = 1;
  const double t0 = now;
  while (now < t0 + 30.0) {
    Write(800, 32767.0 * 0.1, 100 * 8000.0 / 1024);
    Produce();
  }
  EXPECT_GE(lines->LinesMade, 9u);
  EXPECT_LE(lines->LinesMade, 11u);
  EXPECT_GE(lines->FftsRun, 140u);
  EXPECT_LE(lines->FftsRun, 155u);
  EXPECT_GE(g_LatestSpectrum.avrg_count, 13);
  EXPECT_LE(g_LatestSpectrum.avrg_count, 16);
  EXPECT_NEAR(g_LatestSpectrum.bins[100] * 0.01, -20.0, 0.1);
}

TEST_F(SpectrumLines, AveragingTakesIntegerMeans) {
  Start(8000.0, false, 1024, 300);
  lines->FftLength = 8;  // 4 bins
  const int outputs[3][4] = {{1, -7, 100, 5}, {2, -7, 0, 5}, {4, -8, 0, 6}};
  for (const auto& o : outputs) {
    std::memcpy(lines->FftOutput.data(), o, sizeof o);
    lines->AccumulateSpectrum();
  }
  EXPECT_EQ(lines->AvrgCount, 3);
  lines->FinishSpectrumAverage();
  EXPECT_EQ(lines->AvrgCount, 0);
  const int expected[4] = {2, -7, 33, 5};  // 7/3, -22/3, 100/3, 16/3 truncated
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines->FftOutput[i], expected[i]) << i;
  // A count of 0 starts the sums afresh.
  lines->AvrgCount = 0;
  std::memcpy(lines->FftOutput.data(), outputs[0], sizeof outputs[0]);
  lines->AccumulateSpectrum();
  lines->FinishSpectrumAverage();
  EXPECT_EQ(lines->FftOutput[2], 100);
}

TEST_F(SpectrumLines, LineHeaderAndClampedBins) {
  Start(8000.0, false, 1024, 300);
  struct Case {
    int fftLength, bins;
  } cases[] = {{65536, 32768}, {1024, 512}, {4, 2}, {2, 2}};
  for (const auto& c : cases) {
    lines->FftLength = c.fftLength;
    lines->FftOutput[0] = -40000;
    lines->FftOutput[1] = 40000;
    lines->BuildSpectrumLine(123.0, 8000.0);
    EXPECT_EQ(lines->CurrentSpectrum.nr_of_bins, c.bins) << c.fftLength;
    EXPECT_EQ(lines->CurrentSpectrum.bins[0], -32768);
    EXPECT_EQ(lines->CurrentSpectrum.bins[1], 32767);
  }
}

TEST_F(SpectrumLines, ScrollTimeIsRaised) {
  Start(8000.0, false, 1024, 3);
  lines->RingReadIndex = 0;  // empty ring: nothing due, the producer is not called
  lines->UpdateWaterfallTiming();
  EXPECT_EQ(SndConfig.WaterScrollTime, 5);
  lines->ProcessSpectra(1);
  EXPECT_EQ(SndConfig.WaterScrollTime, 10);
}

// The user dB offset: an expression within -200..200 dB is taken, others give 0; evaluated at
// most once a second unless forced. The published line carries the new offset, the history
// copy the one the line was built with.
TEST_F(SpectrumLines, UserDbOffsetExpression) {
  Start(8000.0, false, 1024, 300);
  struct Case {
    const char* text;
    double expected;
  } cases[] = {{"250", 0.0}, {"-12.5", -12.5}, {"3*4", 12.0}, {"-200", -200.0}, {"1e300", 0.0}};
  double t = now;
  for (const auto& c : cases) {
    std::strcpy(SndConfig.UserDbOffset, c.text);
    lines->TimeNow = (t += 2.0);
    lines->UpdateUserDbOffset(false);
    EXPECT_DOUBLE_EQ(g_DbOffsetValue, c.expected) << c.text;
  }
  std::strcpy(SndConfig.UserDbOffset, "5");
  lines->TimeNow = (t += 2.0);
  lines->UpdateUserDbOffset(false);
  std::strcpy(SndConfig.UserDbOffset, "7");
  lines->TimeNow = t + 0.5;
  lines->UpdateUserDbOffset(false);
  EXPECT_DOUBLE_EQ(g_DbOffsetValue, 5.0);
  lines->UpdateUserDbOffset(true);
  EXPECT_DOUBLE_EQ(g_DbOffsetValue, 7.0);

  g_DbOffsetValue = 0.0;
  std::strcpy(SndConfig.UserDbOffset, "6");
  lines->History.Allocate(50);
  now += 10.0;
  Write(4096, 1000.0, 1000.0);
  Produce();
  ASSERT_EQ(lines->LinesMade, 1u);
  EXPECT_DOUBLE_EQ(g_LatestSpectrum.scale_offset, 6.0);
  EXPECT_DOUBLE_EQ(lines->History.Line(0)->scale_offset, 0.0);
}

TEST_F(SpectrumLines, HistoryWrapsAndShrinksOnAllocationFailure) {
  CSpectrumHistory h;
  EXPECT_EQ(h.Allocate(10), 50);
  SpectrumBuffer line;
  CLI_InitSpectrumBuffer(&line);
  for (int i = 0; i < 51; ++i) {
    line.time = i;
    h.Store(&line);
  }
  EXPECT_DOUBLE_EQ(h.SpectrumHistory[0].time, 50.0);  // the 51st line overwrote the first slot
  EXPECT_DOUBLE_EQ(h.Line(0)->time, 50.0);
  EXPECT_DOUBLE_EQ(h.Line(49)->time, 1.0);
  EXPECT_EQ(h.Line(50), nullptr);

  std::vector<int> tried;
  auto upTo1000 = [&](size_t bytes) -> void* {
    tried.push_back(static_cast<int>(bytes / sizeof(SpectrumBuffer)));
    return tried.back() <= 1000 ? std::malloc(bytes) : nullptr;
  };
  EXPECT_EQ(h.Allocate(2000, upTo1000), 844);
  EXPECT_EQ(tried, (std::vector<int>{2000, 1500, 1125, 844}));
  EXPECT_EQ(h.SpectrumHistory[843].structSize, SPECTRUM_BUFFER_SIZE);

  // Nothing at all: lines are still accepted and stored nowhere (no division by zero).
  tried.clear();
  EXPECT_EQ(h.Allocate(100, [&](size_t bytes) -> void* {
              tried.push_back(static_cast<int>(bytes / sizeof(SpectrumBuffer)));
              return nullptr;
            }),
            0);
  EXPECT_EQ(tried, (std::vector<int>{100, 75, 57}));
  h.Store(&line);
  EXPECT_EQ(h.Line(0), nullptr);
  EXPECT_EQ(h.HistoryLines, 0);
}

// The alert gets the bins of its ranges' span, clamped to the line's bins and placed by
// offset_hz for a complex FFT; fewer than 4 bins feed nothing.
TEST_F(SpectrumLines, AlertFeedStaysInsideTheLine) {
  struct Case {
    bool complex;
    double fmin, fmax;
    int count;     // 0: nothing fed
    int first;     // first bin fed
  } cases[] = {
      {false, 500, 550, 7, 64},
      {false, 3000, 5000, 128, 384},  // above the last bin: cut at the line's end
      {false, -500, 100, 13, 0},      // below 0 Hz: starts at bin 0
      {false, 500, 510, 0, 0},        // narrower than 4 bins
      {false, std::numeric_limits<double>::quiet_NaN(), 100, 0, 0},
      {true, 1200, 1300, 13, 281},    // bin i at -1,000 Hz + i * 7.8125 Hz
      {true, 2000, 9000, 128, 384},
      {true, -3000, -900, 13, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.complex << " " << c.fmin << ".." << c.fmax);
    SndConfig.ComplexFFT = c.complex ? 1 : 0;
    lines = std::make_unique<CSpectrumLineProducer>(&host, ring);
    lines->FftLength = 1024;
    lines->EffectiveSampleRate = 8000.0;
    CLI_InitSpectrumBuffer(&g_LatestSpectrum);
    g_LatestSpectrum.nr_of_bins = 512;
    g_LatestSpectrum.bin_width_hz = 8000.0 / 1024;
    g_LatestSpectrum.offset_hz = c.complex ? -1000.0 : 0.0;
    g_LatestSpectrum.scale_factor = 0.01;
    for (int i = 0; i < SPECTRUM_MAX_BINS; ++i) g_LatestSpectrum.bins[i] = static_cast<int16_t>(i);
    AlertSettings.RangeA_Fmin = AlertSettings.RangeB_Fmin = c.fmin;
    AlertSettings.RangeA_Fmax = AlertSettings.RangeB_Fmax = c.fmax;
    g_AlertInputSpectrum.NrOfBins = 0;
    Alert_Reset();
    lines->FeedSpectrumAlert();
    if (c.count == 0) {
      EXPECT_EQ(g_AlertInputSpectrum.NrOfBins, 0);
      EXPECT_EQ(g_AlertAvgSpectrum.NrOfBins, 0);
      continue;
    }
    EXPECT_EQ(g_AlertInputSpectrum.NrOfBins, c.count);
    EXPECT_EQ(g_AlertAvgSpectrum.NrOfBins, c.count);  // evaluated
    EXPECT_DOUBLE_EQ(g_AlertInputSpectrum.FirstBinHz,
                     g_LatestSpectrum.offset_hz + c.first * g_LatestSpectrum.bin_width_hz);
    EXPECT_DOUBLE_EQ(g_AlertInputSpectrum.Bins[0], c.first * 0.01);
    EXPECT_DOUBLE_EQ(g_AlertInputSpectrum.Bins[c.count - 1], (c.first + c.count - 1) * 0.01);
  }
}

// A reader that fell more than a ring behind (the GUI was blocked) starts again at the newest
// samples instead of reading what the writer has overwritten meanwhile.
TEST_F(SpectrumLines, LaggingReaderResynchronises) {
  Start(8000.0, false, 1024, 50);
  for (int step = 0; step < 20; ++step) {
    Write(400, 1000.0, 1000.0);
    Produce();
  }
  const uint64_t before = lines->LinesMade;
  ASSERT_GT(before, 10u);
  Write(80000, 1000.0, 1000.0);  // 69,632 + 10,368: the ring positions alone would look close
  const double gapEnd = now;
  Produce();
  EXPECT_TRUE(host.Logged("Lost waterfall synchronisation (3)."));
  EXPECT_EQ(lines->LinesMade, before);
  EXPECT_EQ(static_cast<uint64_t>(lines->RingReadIndex), ring->TotalCount.load());
  for (int step = 0; step < 10; ++step) {
    Write(400, 1000.0, 1000.0);
    Produce();
    if (lines->LinesMade > before) {
      EXPECT_GE(g_LatestSpectrum.time, gapEnd - 1e-6);
    }
  }
  EXPECT_GT(lines->LinesMade, before + 5);
}

}  // namespace
