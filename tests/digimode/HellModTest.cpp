// Hellschreiber modulator: the spectrum and the envelope of the generated audio for the
// parallel, chirped and sequential generators, its edge cases, and the engine's mode-3 path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <vector>

#include "digimode/CHellMod.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/SampleRates.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = 8000.0;
constexpr int kColumn = 400;  // samples per column at 20 columns per second

// Amplitude of the tone f in y[from, to) (periodic Hann window: tones a whole number of
// bins apart do not leak into each other).
double ToneAmplitude(const std::vector<double>& y, int from, int to, double f, double fs = kFs)
{
  std::complex<double> acc = 0.0;
  double wsum = 0.0;
  const int len = to - from;
  for (int i = 0; i < len; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / len);
    acc += w * y[from + i] * std::polar(1.0, -2.0 * kPi * f * (from + i) / fs);
    wsum += w;
  }
  return 2.0 * std::abs(acc) / wsum;
}

// Frequency of the strongest tone in y[from, to) on a grid of 2 Hz.
double PeakFrequency(const std::vector<double>& y, int from, int to, double lo, double hi)
{
  double best = lo, bestA = -1.0;
  for (double f = lo; f <= hi; f += 2.0) {
    const double a = ToneAmplitude(y, from, to, f);
    if (a > bestA) {
      bestA = a;
      best = f;
    }
  }
  return best;
}

double MaxAbs(const std::vector<double>& y, int from, int to)
{
  double m = 0.0;
  for (int i = from; i < to; ++i) m = std::max(m, std::abs(y[i]));
  return m;
}

HellColumn Column(int rows, std::initializer_list<std::pair<int, double>> lit)
{
  HellColumn c{};
  c.PixelCount = rows;
  for (auto [row, v] : lit) c.Pixel[row] = v;
  return c;
}

HellColumn FullColumn(int rows, double v)
{
  HellColumn c{};
  c.PixelCount = rows;
  for (int r = 0; r < rows; ++r) c.Pixel[r] = v;
  return c;
}

class HellModTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    g_ProcessingSampleRate = kFs;
    Digimode_Init();
    DigimodeSettings.OperMode = DIGIMODE_OPMODE_HELL;
    DigimodeSettings.symbol_rate = kFs / kColumn;
    DigimodeSettings.fc_tx = 1500.0;
    DigimodeSettings.f_shift = 800.0;  // 8 rows 100 Hz apart: 1900 Hz (row 0) down to 1200 Hz
    DigimodeSettings.output_level = 50.0;
    DigimodeSettings.pulse_shaping = 0;
    DigimodeSettings.shape_percent = 100.0;
  }
  void TearDown() override { Digimode_Exit(); }

  // Copies the settings into the parameter block (as a mode change does) and starts a
  // modulator at fs.
  void Start(int modulation, double fs = kFs)
  {
    DigimodeSettings.Modulation = modulation;
    Digimode_SetDllMode(0, 0);
    m_mod = std::make_unique<CHellMod>();
    m_mod->Init(fs);
  }

  // Runs the modulator over the columns and `after` further column periods, keeping the ring
  // topped up like the terminal's timer. Column j sounds from about sample (j + 1) × period.
  std::vector<double> Run(const std::vector<HellColumn>& columns, int after, int period = kColumn)
  {
    std::vector<double> y;
    size_t next = 0;
    const size_t total = columns.size() + static_cast<size_t>(after) + 1;
    for (size_t chunk = 0; chunk < total; ++chunk) {
      while (next < columns.size() && Digimode_PutHellColumn(&columns[next])) ++next;
      std::vector<double> block(static_cast<size_t>(period));
      m_mod->GenerateSamples(block.data(), period);
      y.insert(y.end(), block.begin(), block.end());
    }
    return y;
  }

  static double RowFrequency(int row) { return 1900.0 - 100.0 * row; }

  std::unique_ptr<CHellMod> m_mod;
};

}  // namespace

TEST_F(HellModTest, ParallelOneLitRowPerColumnGivesOneToneAtTheRowFrequency)
{
  Start(7);
  std::vector<HellColumn> cols;
  for (int row = 0; row < 8; ++row) cols.push_back(Column(8, {{row, 1.0}}));
  g_DigimodeDllStatus.SwitchRequest.store(2);
  const std::vector<double> y = Run(cols, 0);
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);  // each column taken clears it
  const double expected = 327.67 * 50.0 / 8;  // output_level 50 %, 8 rows
  for (int j = 0; j < 8; ++j) {
    const int from = (j + 1) * kColumn + 40, to = (j + 2) * kColumn - 40;
    for (int row = 0; row < 8; ++row) {
      const double a = ToneAmplitude(y, from, to, RowFrequency(row));
      if (row == j)
        EXPECT_NEAR(a, expected, 0.02 * expected) << "column " << j;
      else
        EXPECT_LT(a, 0.02 * expected) << "column " << j << " row " << row;
    }
  }
  EXPECT_EQ(m_mod->ToneRows(), 8);
}

TEST_F(HellModTest, ParallelTransitionShapes)
{
  // Row 0 lit in the first column, dark in the second: the envelope of the 1900 Hz tone over
  // the second column.
  const double amp = 327.67 * 50.0 / 8;
  auto envelope = [&](const std::vector<double>& y, double pos) {
    const int centre = 2 * kColumn + static_cast<int>(pos * kColumn);
    return ToneAmplitude(y, centre - 20, centre + 20, RowFrequency(0)) / amp;
  };
  const std::vector<HellColumn> cols = {Column(8, {{0, 1.0}}), Column(8, {})};

  DigimodeSettings.pulse_shaping = 1;
  std::vector<double> y;
  // 0 %, a negative value (taken as 0) and any shaping below 0.1 % give the shape table's hard
  // step: the switch comes exactly half a column period after the column starts.
  for (double percent : {0.0, -10.0, 0.05}) {
    DigimodeSettings.shape_percent = percent;
    Start(7);
    y = Run(cols, 1);
    EXPECT_NEAR(MaxAbs(y, 2 * kColumn + 4, 2 * kColumn + kColumn / 2 - 2), amp, 0.02 * amp)
        << percent;
    EXPECT_EQ(MaxAbs(y, 2 * kColumn + kColumn / 2 + 2, 3 * kColumn), 0.0) << percent;
  }

  // 100 %: a raised-cosine ramp over the whole column.
  DigimodeSettings.shape_percent = 100.0;
  Start(7);
  y = Run(cols, 1);
  for (double pos : {0.25, 0.5, 0.75}) {
    const double oldWeight = 1.0 - (1.0 - std::cos(kPi * pos)) * 0.5;
    EXPECT_NEAR(envelope(y, pos), oldWeight, 0.03) << pos;
  }
  EXPECT_EQ(MaxAbs(y, 3 * kColumn + 2, 4 * kColumn), 0.0);

  // pulse_shaping 0: hard keying at the column boundary whatever shape_percent says.
  DigimodeSettings.pulse_shaping = 0;
  Start(7);
  y = Run(cols, 1);
  EXPECT_NEAR(MaxAbs(y, kColumn + 4, 2 * kColumn - 4), amp, 0.02 * amp);
  EXPECT_EQ(MaxAbs(y, 2 * kColumn + 2, 4 * kColumn), 0.0);
}

TEST_F(HellModTest, ThirtyTwoLitRowsSoundAsThirtyTwoTones)
{
  DigimodeSettings.fc_tx = 2000.0;
  DigimodeSettings.f_shift = 1600.0;  // 50 Hz apart: 2800 Hz down to 1250 Hz
  DigimodeSettings.pulse_shaping = 1;
  for (int modulation : {7, 14}) {
    Start(modulation);
    const std::vector<double> y = Run({FullColumn(32, 1.0), FullColumn(32, 1.0), FullColumn(32, 1.0)}, 0);
    const double expected = 327.67 * 50.0 / 32;
    for (int row = 0; row < 32; ++row) {
      const double f = 2800.0 - 50.0 * row;
      EXPECT_NEAR(ToneAmplitude(y, 2 * kColumn + 40, 3 * kColumn - 40, f), expected, 0.02 * expected)
          << "modulation " << modulation << " row " << row;
    }
    // Two bins beyond either end: no further tone.
    for (double f : {1200.0, 2850.0})
      EXPECT_LT(ToneAmplitude(y, 2 * kColumn + 40, 3 * kColumn - 40, f), 0.02 * expected);
  }
}

TEST_F(HellModTest, ChirpedRowsFollowTheCurrentColumnAfterTheFirstColumn)
{
  // Each row's transition position runs to 1.0 and stays there: the first column fades in over
  // its period, later columns switch at their start.
  DigimodeSettings.pulse_shaping = 1;
  Start(14);
  const std::vector<double> y = Run({Column(8, {{0, 1.0}}), Column(8, {}), Column(8, {{0, 1.0}})}, 0);
  const double amp = 327.67 * 50.0 / 8;
  const int c1 = kColumn;
  EXPECT_LT(ToneAmplitude(y, c1, c1 + 40, RowFrequency(0)), 0.2 * amp);
  EXPECT_NEAR(ToneAmplitude(y, c1 + 340, c1 + 400, RowFrequency(0)), amp, 0.05 * amp);
  EXPECT_EQ(MaxAbs(y, 2 * kColumn + 2, 3 * kColumn - 2), 0.0);
  EXPECT_NEAR(MaxAbs(y, 3 * kColumn + 4, 4 * kColumn - 4), amp, 0.02 * amp);
}

TEST_F(HellModTest, SequentialSegmentsShareTheColumnByBrightness)
{
  struct Case {
    int pulseShaping;
    HellColumn column;
    std::vector<int> startRows, endRows;
    std::vector<double> ends;
  };
  const Case cases[] = {
      // Constant tones, bottom pixel first, shares 50 / 25 / 25 %.
      {1, Column(8, {{7, 1.0}, {5, 0.5}, {2, 0.5}}), {7, 5, 2}, {7, 5, 2}, {0.5, 0.75, 1.0}},
      // A pixel of exactly 0.1 gets no segment with constant tones ...
      {1, Column(8, {{6, 0.1}, {3, 1.0}}), {3}, {3}, {1.0}},
      // ... and belongs to a run with sweeps.
      {2, Column(8, {{6, 0.1}, {5, 1.0}, {3, 1.0}}), {6, 3}, {5, 3}, {1.1 / 2.1, 1.0}},
      // A run up to row 0 ends there; brightness above 1 counts as 1.
      {2, Column(8, {{2, 3.0}, {1, 1.0}, {0, 1.0}}), {2}, {0}, {1.0}},
      // Everything at 0.1 or darker: a silent column.
      {1, Column(8, {{7, 0.1}, {4, 0.05}}), {}, {}, {}},
      {2, Column(8, {{7, 0.05}}), {}, {}, {}},
  };
  for (const Case& c : cases) {
    DigimodeSettings.pulse_shaping = c.pulseShaping;
    Start(13);
    Run({c.column}, 0);
    SCOPED_TRACE(testing::Message() << "pulse shaping " << c.pulseShaping << ", segments " << c.ends.size());
    ASSERT_EQ(m_mod->SegmentCount(), static_cast<int>(c.ends.size()));
    for (size_t k = 0; k < c.ends.size(); ++k) {
      const double fs = m_mod->SampleRate();
      EXPECT_NEAR(m_mod->SegmentStartStep(static_cast<int>(k)) * fs / kHellCosTableSize,
                  RowFrequency(c.startRows[k]), 1e-9);
      EXPECT_NEAR(m_mod->SegmentEndStep(static_cast<int>(k)) * fs / kHellCosTableSize,
                  RowFrequency(c.endRows[k]), 1e-9);
      EXPECT_NEAR(m_mod->SegmentEnd(static_cast<int>(k)), c.ends[k], 1e-12);
    }
  }
}

TEST_F(HellModTest, SequentialConstantTonesInTheirTimeShares)
{
  DigimodeSettings.symbol_rate = 2.0;  // 4000 samples per column
  DigimodeSettings.pulse_shaping = 1;
  Start(13);
  const int p = 4000;
  const std::vector<double> y = Run({Column(8, {{7, 1.0}, {5, 0.5}, {2, 0.5}})}, 1, p);
  const double amp = 327.67 * 50.0;
  struct Share {
    double from, to;
    int row;
  };
  for (const Share& s : {Share{0.0, 0.5, 7}, Share{0.5, 0.75, 5}, Share{0.75, 1.0, 2}}) {
    const int from = p + static_cast<int>(s.from * p) + 60, to = p + static_cast<int>(s.to * p) - 60;
    EXPECT_NEAR(ToneAmplitude(y, from, to, RowFrequency(s.row)), amp, 0.02 * amp) << s.row;
    for (int other : {7, 5, 2}) {
      if (other != s.row) {
        EXPECT_LT(ToneAmplitude(y, from, to, RowFrequency(other)), 0.02 * amp);
      }
    }
  }
  // The ring ran empty: exact zeros from the next column on.
  EXPECT_EQ(MaxAbs(y, 2 * p + 2, 3 * p), 0.0);
}

TEST_F(HellModTest, SequentialSweepGlidesToItsTopTone)
{
  DigimodeSettings.symbol_rate = 2.0;
  DigimodeSettings.pulse_shaping = 2;
  Start(5);
  const int p = 4000;
  // One run over rows 6, 5, 4: from 1300 Hz up to 1500 Hz over the whole column.
  const std::vector<double> y = Run({Column(8, {{6, 1.0}, {5, 1.0}, {4, 1.0}})}, 0, p);
  EXPECT_NEAR(PeakFrequency(y, p, p + 400, 1200.0, 1600.0), 1310.0, 8.0);
  EXPECT_NEAR(PeakFrequency(y, p + 1800, p + 2200, 1200.0, 1600.0), 1400.0, 8.0);
  EXPECT_NEAR(PeakFrequency(y, 2 * p - 400, 2 * p, 1200.0, 1600.0), 1490.0, 8.0);
}

TEST_F(HellModTest, SilenceWithExactZerosAfterTheLastColumn)
{
  DigimodeSettings.pulse_shaping = 1;
  for (int modulation : {7, 14, 13}) {
    Start(modulation);
    const std::vector<double> y = Run({FullColumn(8, 1.0), FullColumn(8, 1.0)}, 3);
    EXPECT_GT(MaxAbs(y, 2 * kColumn, 3 * kColumn - 2), 100.0) << modulation;
    // The parallel generator with shaping fades out over the column period that finds the ring
    // empty; the others switch at its start.
    const int from = modulation == 7 ? 4 * kColumn + 2 : 3 * kColumn + 2;
    EXPECT_EQ(MaxAbs(y, from, static_cast<int>(y.size())), 0.0) << modulation;
  }
  // Columns no brighter than 0.1 are silent in the sequential generator.
  Start(13);
  const std::vector<double> y = Run({FullColumn(8, 0.1), FullColumn(8, 0.05)}, 0);
  EXPECT_EQ(MaxAbs(y, 0, static_cast<int>(y.size())), 0.0);
  // Nothing in the ring from the start: silence.
  for (int modulation : {7, 14, 13}) {
    Start(modulation);
    EXPECT_EQ(MaxAbs(Run({}, 3), 0, 4 * kColumn), 0.0) << modulation;
  }
}

TEST_F(HellModTest, InitAndShapeEdgeCases)
{
  // Large objects (the cosine table): on the heap.
  auto mp = std::make_unique<CHellMod>(), ref100p = std::make_unique<CHellMod>(),
       ref0p = std::make_unique<CHellMod>(), halfp = std::make_unique<CHellMod>();
  CHellMod& m = *mp;
  CHellMod& ref100 = *ref100p;
  CHellMod& ref0 = *ref0p;
  CHellMod& half = *halfp;
  EXPECT_EQ(m.SampleRate(), 11025.0);
  EXPECT_EQ(m.ColumnPeriod(), 1.0);
  EXPECT_EQ(m.ShapeTable(511), 0.0);
  EXPECT_EQ(m.ShapeTable(512), 1.0);
  struct Case {
    double symbolRate, fs, shapePercent;
    double period, rate;
  };
  const Case cases[] = {
      {0.0, 8000.0, 100.0, 1.0, 8000.0},
      {-5.0, 0.0, 100.0, 1.0, 11025.0},
      {std::numeric_limits<double>::quiet_NaN(), 0.5, 100.0, 1.0, 11025.0},
      {10.0, 8000.0, 150.0, 0.1, 8000.0},
      {10.0, 8000.0, -10.0, 0.1, 8000.0},
  };
  ref100.SetShapeEdge(1.0);
  ref0.SetShapeEdge(0.0);
  for (const Case& c : cases) {
    DigimodeSettings.symbol_rate = c.symbolRate;
    DigimodeSettings.shape_percent = c.shapePercent;
    Digimode_SetDllMode(0, 0);
    m.Init(c.fs);
    EXPECT_EQ(m.ColumnPeriod(), c.period);
    EXPECT_EQ(m.SampleRate(), c.rate);
    const CHellMod& ref = c.shapePercent >= 100.0 ? ref100 : ref0;
    for (int k = 0; k < kHellShapeTableSize; ++k) ASSERT_EQ(m.ShapeTable(k), ref.ShapeTable(k)) << k;
  }
  // 100 %: a raised cosine over the whole table; 0 %: the hard step at entry 512.
  EXPECT_EQ(ref100.ShapeTable(0), 0.0);
  EXPECT_NEAR(ref100.ShapeTable(511), 0.5, 0.002);
  EXPECT_EQ(ref100.ShapeTable(1023), 1.0);
  EXPECT_EQ(ref0.ShapeTable(511), 0.0);
  EXPECT_EQ(ref0.ShapeTable(512), 1.0);
  // Half width: the ramp from entry 255 to 767.
  half.SetShapeEdge(0.5);
  EXPECT_EQ(half.ShapeTable(255), 0.0);
  EXPECT_NEAR(half.ShapeTable(511), 0.5, 0.004);
  EXPECT_EQ(half.ShapeTable(767), 1.0);
}

TEST_F(HellModTest, TonesBelowZeroAndStepsBeyondOnePeriodStayInTheTable)
{
  // fc_tx 0 with f_shift 200: the rows lie from +100 Hz down to -75 Hz. fc_tx 30 kHz at 8 kHz:
  // steps of more than one table period.
  struct Case {
    double fc, shift;
  };
  for (const Case& c : {Case{0.0, 200.0}, Case{30000.0, 200.0}, Case{-5000.0, 3000.0}}) {
    DigimodeSettings.fc_tx = c.fc;
    DigimodeSettings.f_shift = c.shift;
    DigimodeSettings.pulse_shaping = 1;
    for (int modulation : {7, 14, 13}) {
      Start(modulation);
      const std::vector<double> y = Run({FullColumn(8, 1.0), FullColumn(8, 1.0)}, 0);
      for (double v : y) ASSERT_TRUE(std::isfinite(v));
      EXPECT_LE(MaxAbs(y, 0, static_cast<int>(y.size())), 327.67 * 50.0 + 1e-6);
      // A negative tone sounds like its mirror: row 7 of the first case at -75 Hz.
      if (c.fc == 0.0 && modulation == 7) {
        EXPECT_GT(MaxAbs(y, 2 * kColumn, 3 * kColumn), 0.5 * 327.67 * 50.0 / 8);
      }
    }
  }
  // A single lit row at -75 Hz is a 75 Hz tone of the row's level.
  DigimodeSettings.fc_tx = 0.0;
  DigimodeSettings.f_shift = 200.0;
  DigimodeSettings.pulse_shaping = 0;
  Start(7);
  const std::vector<double> y = Run({Column(8, {{7, 1.0}}), Column(8, {{7, 1.0}})}, 0);
  EXPECT_NEAR(ToneAmplitude(y, kColumn + 20, 3 * kColumn - 20, 75.0), 327.67 * 50.0 / 8, 0.03 * 327.67 * 50.0 / 8);
}

TEST_F(HellModTest, BrightnessAboveOneStaysWithinFullScale)
{
  DigimodeSettings.output_level = 100.0;
  DigimodeSettings.pulse_shaping = 1;
  HellColumn hot = FullColumn(32, 50.0);
  hot.Pixel[3] = std::numeric_limits<double>::quiet_NaN();
  hot.Pixel[4] = std::numeric_limits<double>::infinity();
  hot.Pixel[5] = -7.0;
  DigimodeSettings.f_shift = 0.0;  // every row on one tone: the phases align, the worst case
  for (int modulation : {7, 14, 13}) {
    Start(modulation);
    const std::vector<double> y = Run({hot, hot}, 0);
    for (double v : y) ASSERT_TRUE(std::isfinite(v));
    const double peak = MaxAbs(y, 0, static_cast<int>(y.size()));
    EXPECT_LE(peak, 32767.0 + 1e-6) << modulation;
    EXPECT_GT(peak, 0.8 * 32767.0 * 29 / 32) << modulation;
  }
}

TEST_F(HellModTest, EngineBuildsTheModulatorForModeThreeAndFillsTheTransmitBlock)
{
  DigimodeSettings.Modulation = 7;
  Digimode_SetMode(DIGIMODE_OPMODE_HELL);
  ASSERT_NE(g_pHellMod, nullptr);
  EXPECT_EQ(g_pHellMod->SampleRate(), kFs);
  EXPECT_EQ(g_pPSKMod, nullptr);
  // Transmit wanted and a column queued: the poll asks for the switch.
  g_DigimodeDllParams.TxRequest.store(2);
  Digimode_PollDll();
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
  const HellColumn c = Column(8, {{2, 1.0}});
  ASSERT_TRUE(Digimode_PutHellColumn(&c));
  Digimode_PollDll();
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
  Digimode_SwitchRxTx(2);
  std::vector<double> y(3 * kColumn);
  ASSERT_TRUE(Digimode_GenerateTxAudio(y.data(), kColumn, 0.0));
  ASSERT_TRUE(Digimode_GenerateTxAudio(y.data() + kColumn, 2 * kColumn, 0.0));
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
  EXPECT_NEAR(ToneAmplitude(y, kColumn + 40, 2 * kColumn - 40, RowFrequency(2)), 327.67 * 50.0 / 8, 0.02 * 327.67 * 50.0 / 8);
  // A rebuild for PSK deletes the modulator.
  Digimode_SwitchRxTx(0);
  DigimodeSettings.Modulation = DIGIMODE_MOD_BPSK;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_EQ(g_pHellMod, nullptr);
  EXPECT_NE(g_pPSKMod, nullptr);
}
