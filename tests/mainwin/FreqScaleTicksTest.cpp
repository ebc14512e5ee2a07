// Frequency-scale ticks and labels, and the dB scale strip.
#include <gtest/gtest.h>

#include <cmath>

#include "mainwin/DisplayGeometry.h"
#include "mainwin/FreqScaleTicks.h"

namespace {
int SixPerChar(const std::string& t) { return 6 * static_cast<int>(t.size()); }
}  // namespace

TEST(FreqScaleTicks, StepTableRows)
{
  struct {
    double d, s, l;
  } rows[] = {{5000, 2000, 10000}, {2000, 1000, 5000}, {1500, 1000, 5000}, {43.6, 20, 100},
              {20.5, 20, 100},     {20, 10, 50},       {3, 2, 10},         {1, 0.5, 2},
              {0.3, 0.2, 1},       {0.15, 0.1, 0.5},   {0.06, 0.05, 0.2},  {0.05, 0.02, 0.1},
              {0.001, 0.02, 0.1}};
  for (const auto& r : rows) {
    double s = 0, l = 0;
    FreqTickSteps(r.d, &s, &l);
    EXPECT_DOUBLE_EQ(s, r.s) << r.d;
    EXPECT_DOUBLE_EQ(l, r.l) << r.d;
  }
}

TEST(FreqScaleTicks, ThousandHertzOnA460PixelScale)
{
  std::vector<TFreqTick> ticks;
  double s = 0, l = 0;
  EXPECT_EQ(ComputeFreqTicks(0, 1000, 459, false, ticks, &s, &l), 459);
  EXPECT_DOUBLE_EQ(s, 20);   // d = 43.6
  EXPECT_DOUBLE_EQ(l, 100);
  ASSERT_EQ(ticks.size(), 50u);  // 0 .. 980; 1000 falls on pixel N, which is not drawn
  int labels = 0;
  for (size_t k = 0; k < ticks.size(); ++k) {
    const double f = 20.0 * k;
    EXPECT_NEAR(ticks[k].Freq, f, 1e-9);
    EXPECT_EQ(ticks[k].Pos, static_cast<int>(459 * f / 1000));
    EXPECT_EQ(ticks[k].Label, std::fmod(f, 100.0) == 0.0) << f;
    labels += ticks[k].Label;
  }
  EXPECT_EQ(labels, 10);

  // Mirrored: position trunc(N - N (f - fmin) / span).
  ComputeFreqTicks(0, 1000, 459, true, ticks);
  ASSERT_FALSE(ticks.empty());
  EXPECT_NEAR(ticks[0].Freq, 20, 1e-9);  // f = 0 would stand on pixel N
  EXPECT_EQ(ticks[0].Pos, static_cast<int>(459 - 459 * 20.0 / 1000));
}

TEST(FreqScaleTicks, LabelTicksDespiteFloatingError)
{
  // 0.1 .. 0.5 Hz: tick step 0.02 and label step 0.1 accumulate binary rounding errors.
  std::vector<TFreqTick> ticks;
  ComputeFreqTicks(0.1, 0.5, 400, false, ticks);
  std::vector<std::string> texts;
  for (const TFreqTick& t : ticks)
    if (t.Label) texts.push_back(FreqLabelText(t.Freq, 0.1));
  EXPECT_EQ(texts, (std::vector<std::string>{"0.1", "0.2", "0.3", "0.4"}));
  // A negative frequency (complex FFT) is labelled by its absolute value.
  EXPECT_EQ(FreqLabelText(-500, 100), "500");
  EXPECT_EQ(FreqLabelText(-1.5, 0.5), "1.5");
}

TEST(FreqScaleTicks, HorizontalScaleLinesAndLabels)
{
  TFreqScaleParams p;
  p.Width = 460;
  p.Height = 30;
  p.FreqMin = 0;
  p.FreqMax = 1000;
  p.Labels = true;
  p.TextHeight = 12;
  p.TextWidth = SixPerChar;
  TFreqScaleDrawing d;
  BuildFreqScale(p, d);
  ASSERT_EQ(d.Lines.size(), 50u);
  EXPECT_EQ(d.Lines[0].X0, 0);   // label tick at 0 Hz from the top
  EXPECT_EQ(d.Lines[0].Y0, 0);
  EXPECT_EQ(d.Lines[0].Y1, 17);
  EXPECT_EQ(d.Lines[1].X0, 9);   // 20 Hz: a short tick
  EXPECT_EQ(d.Lines[1].Y0, 8);
  // The 0 Hz label would start left of the strip; the first label gets " Hz" and the next
  // ones follow without overlapping.
  ASSERT_EQ(d.Texts.size(), 9u);
  EXPECT_EQ(d.Texts[0].Text, "100 Hz");
  EXPECT_EQ(d.Texts[0].X, 45 - 10);
  EXPECT_EQ(d.Texts[0].Y, 18);
  EXPECT_EQ(d.Texts[1].Text, "200");
  EXPECT_EQ(d.Texts[1].X, 91 - 10);

  // Mirrored: the first label is the one nearest the right edge, left of width - 30.
  p.Mirror = true;
  BuildFreqScale(p, d);
  ASSERT_FALSE(d.Texts.empty());
  EXPECT_EQ(d.Texts[0].Text, "100 Hz");
  EXPECT_EQ(d.Texts[0].X, 413 - 10);
  EXPECT_LT(d.Texts[0].X + 10, 460 - 30);

  // Overlay grid limited to rows 5..6: label ticks only, no texts.
  p.Mirror = false;
  p.Overlay = true;
  p.Labels = false;
  p.FirstLine = 5;
  p.LastLine = 6;
  BuildFreqScale(p, d);
  ASSERT_EQ(d.Lines.size(), 10u);
  for (const TScaleLine& ln : d.Lines) {
    EXPECT_EQ(ln.Y0, 5);
    EXPECT_EQ(ln.Y1, 6);
  }
  EXPECT_TRUE(d.Texts.empty());
  p.FirstLine = -2;  // labels only: no lines at all
  BuildFreqScale(p, d);
  EXPECT_TRUE(d.Lines.empty());
}

// Whatever the strip's width, every label lies wholly inside it (the last one is not cut at the
// right edge, a mirrored one not at the left) and no two labels overlap.
TEST(FreqScaleTicks, LabelsStayInsideTheStrip)
{
  TFreqScaleParams p;
  p.Height = 30;
  p.FreqMin = 0;
  p.FreqMax = 1005;  // the 1000 Hz label tick a few pixels from the right edge
  p.Labels = true;
  p.TextWidth = SixPerChar;
  bool lastNearEdge = false;
  for (const bool mirror : {false, true}) {
    p.Mirror = mirror;
    for (int width = 120; width <= 1400; width += 7) {
      p.Width = width;
      TFreqScaleDrawing d;
      BuildFreqScale(p, d);
      ASSERT_FALSE(d.Texts.empty()) << width;
      for (size_t i = 0; i < d.Texts.size(); ++i) {
        const TScaleText& t = d.Texts[i];
        const int w = SixPerChar(t.Text);
        EXPECT_GE(t.X, 0) << width << " " << t.Text;
        EXPECT_LE(t.X + w, width) << width << " " << t.Text;
        if (i > 0) {
          const TScaleText& q = d.Texts[i - 1];
          EXPECT_TRUE(t.X >= q.X + SixPerChar(q.Text) || q.X >= t.X + w)
              << width << " " << q.Text << " " << t.Text;
        }
        if (!mirror && t.Text == "1000") lastNearEdge = true;
      }
    }
  }
  EXPECT_TRUE(lastNearEdge);  // moved inside, the label at the edge is shown
}

TEST(FreqScaleTicks, RotatedScale)
{
  TFreqScaleParams p;
  p.Width = 50;
  p.Height = 101;
  p.Orient = ORIENT_ROTATED;
  p.FreqMin = 0;
  p.FreqMax = 1000;
  p.Labels = true;
  p.TextHeight = 12;
  p.TextWidth = SixPerChar;
  TFreqScaleDrawing d;
  BuildFreqScale(p, d);
  EXPECT_DOUBLE_EQ(d.TickStep, 100);
  EXPECT_DOUBLE_EQ(d.LabelStep, 500);
  ASSERT_EQ(d.Lines.size(), 10u);
  EXPECT_EQ(d.Lines[0].Y0, 100);  // 0 Hz at the bottom, a full-width label tick
  EXPECT_EQ(d.Lines[0].X0, 0);
  EXPECT_EQ(d.Lines[0].X1, 49);
  EXPECT_EQ(d.Lines[1].Y0, 90);   // 100 Hz, short
  EXPECT_EQ(d.Lines[1].X0, 4);
  EXPECT_EQ(d.Lines[1].X1, 45);
  ASSERT_EQ(d.Texts.size(), 2u);  // every label tick, no overlap test
  EXPECT_EQ(d.Texts[0].Text, "0");
  EXPECT_EQ(d.Texts[1].Text, "500 Hz");
  EXPECT_EQ(d.Texts[1].X, 2);
  EXPECT_EQ(d.Texts[1].Y, 50 - 6 - 2);
}

TEST(FreqScaleTicks, AmplitudeScaleStrip)
{
  std::vector<TScaleLine> lines;
  std::vector<TScaleText> texts;
  ASSERT_TRUE(BuildAmplitudeScale(321, 30, -100, 0, SixPerChar, lines, texts));
  ASSERT_EQ(lines.size(), 11u);  // -100 .. 0 dB every 32 pixels
  EXPECT_EQ(lines[0].X0, 0);
  EXPECT_EQ(lines[0].Y1, 16);    // no label at x = 0 (not beyond 10): tick to the band
  EXPECT_EQ(lines[1].X0, 32);
  EXPECT_EQ(lines[1].Y1, 19);    // labelled: 3 pixels into the band
  ASSERT_EQ(texts.size(), 10u);
  EXPECT_EQ(texts[0].Text, "-90");
  EXPECT_EQ(texts[0].X, 32 - 9);
  EXPECT_EQ(texts[0].Y, 16);
  EXPECT_EQ(texts.back().Text, "0");
  // Too narrow, or an empty level range: nothing.
  EXPECT_FALSE(BuildAmplitudeScale(20, 30, -100, 0, SixPerChar, lines, texts));
  EXPECT_FALSE(BuildAmplitudeScale(321, 30, 0, 0, SixPerChar, lines, texts));
  EXPECT_TRUE(lines.empty());
}
