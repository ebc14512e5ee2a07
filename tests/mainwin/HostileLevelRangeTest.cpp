// A level range read from a settings file feeds the integer pixel and colour arithmetic of the
// amplitude scale, the spectrum graph and the waterfall: unusable ranges are replaced on load as
// the configuration dialog replaces them, and the displays then compute within range.
#include <gtest/gtest.h>

#include <vector>

#include "common/TestUtil.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "mainwin/DisplayGeometry.h"
#include "mainwin/FreqScaleTicks.h"
#include "mainwin/SpectrumCurve.h"
#include "mainwin/WaterfallRaster.h"

TEST(HostileLevelRange, UnusableRangesFallBackOnLoadAndTheDisplaysStayInRange)
{
  struct Case {
    const char* min;
    const char* max;
    double wantMin, wantMax;
  };
  const Case cases[] = {
      {"1E-300", "2E-300", -90, 10},    // degenerate: far narrower than a tenth of a dB
      {"1E-300", "0", -90, 10},         // max below min
      {"0", "1E-300", -90, 10},
      {"-1E308", "1E308", -150, 150},   // each end clamped to the dialog's limits
      {"-1E308", "-120", -150, -120},
      {"20", "20", -90, 10},            // empty range
      {"nan", "-10", -100, -10},        // no number: the field keeps its value
      {"-80.5", "-20", -80.5, -20},     // a usable range stays as it is
  };
  vt_test::TempDir dir;
  const std::string path = dir.file("levels.ini");
  constexpr int kWidth = 460, kHeight = 200;
  std::vector<int16_t> bins(1024);
  for (size_t i = 0; i < bins.size(); ++i) bins[i] = i % 2 ? 32767 : -32768;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.min) + " .. " + c.max);
    SndConfig.AmplMin = -100.0;
    SndConfig.AmplMax = 0.0;
    vt_test::WriteWholeFile(path, std::string("[DISPLAY]\nAmplMin=") + c.min + "\nAmplMax=" +
                                      c.max + "\n");
    LoadSettingsFromIni(path, SETTINGS_PART_PROCESS);
    const double lo = SndConfig.AmplMin, hi = SndConfig.AmplMax;
    EXPECT_EQ(lo, c.wantMin);
    EXPECT_EQ(hi, c.wantMax);

    // The dB scale strip: ticks every 10 dB, each inside the strip.
    std::vector<TScaleLine> lines;
    std::vector<TScaleText> texts;
    ASSERT_TRUE(BuildAmplitudeScale(kWidth, 40, lo, hi, nullptr, lines, texts));
    EXPECT_FALSE(lines.empty());
    for (const TScaleLine& l : lines) {
      EXPECT_GE(l.X1, 0);
      EXPECT_LT(l.X1, kWidth);
    }
    // The graph's level axis spans the bitmap.
    TCurveParams p;
    p.Width = kWidth;
    p.Height = kHeight;
    p.Mapping = CalcFreqBinMapping(10.0, 0.0, 0.0, 5000.0, 0.0, kWidth - 1);
    p.Ampl = CalcAmplScaling(kWidth, kHeight, ORIENT_HORIZONTAL, 2, lo * 100.0f, hi * 100.0f);
    std::vector<TCurvePoint> pts;
    ComputeSpectrumCurve(p, bins.data(), nullptr, int(bins.size()), 0.0, pts);
    ASSERT_FALSE(pts.empty());
    // The top of the range at the top row, the bottom at the bottom row.
    double top = 0, bottom = 0;
    ASSERT_TRUE(PixelToAmpl(p.Ampl, 0, &top));
    ASSERT_TRUE(PixelToAmpl(p.Ampl, kHeight - 1, &bottom));
    EXPECT_NEAR(top, hi * 100.0, 1e-6);
    EXPECT_NEAR(bottom, lo * 100.0, 1e-6);
    // The waterfall takes the range for its colour table.
    CWaterfallRaster raster;
    EXPECT_TRUE(raster.SetLevels(lo, hi, 0));
  }
}
