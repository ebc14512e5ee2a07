// Hellschreiber modulator: parallel, chirped and sequential tone generators.
#include "digimode/CHellMod.h"

#include <cmath>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeSettings.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTableSize = kHellCosTableSize;

// Brightness as the modulator uses it: 0..1; anything else from the ring (a column is data
// from another thread or a plug-in) is clamped, not a number is dark.
double ClampBrightness(double v)
{
  if (!(v > 0.0)) return 0.0;
  return v < 1.0 ? v : 1.0;
}

// Weight of the new column at a transition position 0..1 from the shape table.
double ShapeWeight(const double* table, double position)
{
  const double scaled = static_cast<double>(kHellShapeTableSize) * position;
  if (!(scaled >= 0.0)) return 0.0;
  if (scaled >= kHellShapeTableSize) return 1.0;
  return table[static_cast<int>(scaled)];
}

}  // namespace

CHellMod::CHellMod()
{
  for (int k = 0; k < kHellCosTableSize; ++k) m_CosTable[k] = std::cos(2.0 * kPi * k / kTableSize);
  for (int k = 0; k < kHellShapeTableSize; ++k) m_ShapeTable[k] = k < kHellShapeTableSize / 2 ? 0.0 : 1.0;
}

void CHellMod::Init(double fs)
{
  m_SampleRate = fs >= 1.0 && std::isfinite(fs) ? fs : 11025.0;
  m_ColumnClock = 0.0;
  const double rate = DigimodeSettings.symbol_rate;
  m_ColumnPeriod = rate > 0.0 && std::isfinite(rate) ? 1.0 / rate : 1.0;
  m_SamplePeriod = 1.0 / m_SampleRate;
  m_CurColumn = HellColumn{};
  m_PrevColumn = m_CurColumn;
  m_TransitionPos = 0.0;
  m_ToneRows = 0;
  SetShapeEdge(0.01 * g_DigimodeDllParams.shape_percent);
  m_SegmentIndex = 0;
  m_SegmentCount = 0;
}

void CHellMod::SetShapeEdge(double width)
{
  if (!(width > 0.0)) width = 0.0;
  if (width > 1.0) width = 1.0;
  int i0 = static_cast<int>((0.5 - 0.5 * width) * (kHellShapeTableSize - 1));
  int i1 = static_cast<int>((0.5 + 0.5 * width) * (kHellShapeTableSize - 1));
  if (i0 >= i1 || i0 < 0 || i1 > kHellShapeTableSize) i0 = i1 = kHellShapeTableSize / 2;
  for (int k = 0; k <= i0; ++k) m_ShapeTable[k] = 0.0;
  for (int k = i1; k < kHellShapeTableSize; ++k) m_ShapeTable[k] = 1.0;
  if (i1 > i0) {
    for (int k = i0; k < i1 && k < kHellShapeTableSize; ++k)
      m_ShapeTable[k] = (1.0 - std::cos((k - i0) * kPi / (i1 - i0))) * 0.5;
  }
}

double CHellMod::ToneFrequency(int row) const
{
  const double shift = DigimodeSettings.f_shift;
  const double spacing = m_ToneRows < 1 ? shift * 0.1 : shift / m_ToneRows;
  return (DigimodeSettings.fc_tx + shift / 2.0 - row * spacing) * kTableSize / m_SampleRate;
}

void CHellMod::UpdateToneTable()
{
  for (int row = 0; row < kHellColumnPixels; ++row) {
    m_TonePhase[row] = 0.0;
    m_ToneStep[row] = ToneFrequency(row);
  }
}

double CHellMod::Oscillator(double& phase, double step) const
{
  double p = phase + step;
  // A tone below 0 Hz steps backwards and a step may exceed one period: wrap both ways.
  if (p >= kTableSize || p < 0.0) {
    p -= std::floor(p / kTableSize) * kTableSize;
    if (!(p >= 0.0 && p < kTableSize)) p = 0.0;  // rounding at the edge, or not a number
  }
  phase = p;
  return m_CosTable[static_cast<int>(p)];
}

void CHellMod::ColumnStep(Generator g)
{
  m_ColumnClock += m_SamplePeriod;
  if (!(m_ColumnClock > m_ColumnPeriod)) return;
  m_ColumnClock -= m_ColumnPeriod;
  m_PrevColumn = m_CurColumn;
  m_TransitionPos = 0.0;
  if (Digimode_GetHellColumn(&m_CurColumn)) {
    TakeColumn(g);
    return;
  }
  for (double& p : m_CurColumn.Pixel) p = 0.0;
  if (g == Generator::Sequential) {
    m_CurrentStep = 0.0;
    m_SegmentClock = 0.0;
    m_StepSlope = 0.0;
  }
}

void CHellMod::TakeColumn(Generator g)
{
  g_DigimodeDllStatus.SwitchRequest.store(0);
  for (double& p : m_CurColumn.Pixel) p = ClampBrightness(p);
  int rows = m_CurColumn.PixelCount;
  if (rows < 2) rows = 2;
  if (rows > kHellColumnPixels) rows = kHellColumnPixels;
  m_CurColumn.PixelCount = rows;
  if (g == Generator::MultiTone) {
    const bool changed = rows != m_ToneRows;
    m_ToneRows = rows;
    if (changed) UpdateToneTable();
    m_Amplitude = 327.67 * g_DigimodeDllParams.output_level / m_ToneRows;
    return;
  }
  m_ToneRows = rows;
  BuildSegments();
}

void CHellMod::BuildSegments()
{
  for (int k = 0; k < kHellMaxSegments; ++k)
    m_SegmentStartStep[k] = m_SegmentEndStep[k] = m_SegmentEnd[k] = 0.0;
  double weightSum = 0.0;
  int count = 0;
  const double* px = m_CurColumn.Pixel;
  if (g_DigimodeDllParams.pulse_shaping != 2) {
    // Constant tones: one segment per pixel brighter than 0.1.
    for (int row = m_ToneRows - 1; row >= 0 && count < kHellMaxSegments; --row) {
      if (!(px[row] > 0.1)) continue;
      const double step = ToneFrequency(row);
      m_SegmentStartStep[count] = m_SegmentEndStep[count] = step;
      m_SegmentEnd[count] = px[row];
      weightSum += px[row];
      ++count;
    }
  } else {
    // Sweeps: one segment per run of rows at least 0.1 bright, from its lowest to its top row.
    int row = m_ToneRows - 1;
    while (row >= 0 && count < kHellMaxSegments) {
      if (!(px[row] >= 0.1)) {
        --row;
        continue;
      }
      m_SegmentStartStep[count] = ToneFrequency(row);
      double weight = 0.0;
      int top = row;
      while (row >= 0 && px[row] >= 0.1) {
        weight += px[row];
        top = row;
        --row;
      }
      m_SegmentEndStep[count] = ToneFrequency(top);
      m_SegmentEnd[count] = weight;
      weightSum += weight;
      ++count;
    }
  }
  if (weightSum < 0.1 || count == 0) {
    weightSum = 0.0;
    count = 0;
    m_SegmentStartStep[0] = m_SegmentEndStep[0] = m_SegmentEnd[0] = 0.0;
  } else {
    double cumulative = 0.0;
    for (int k = 0; k < count; ++k) {
      cumulative += m_SegmentEnd[k];
      m_SegmentEnd[k] = k == count - 1 ? 1.0 : cumulative / weightSum;
    }
  }
  m_SegmentCount = count;
  m_SegmentIndex = -1;
  m_CurrentStep = 0.0;
  m_SegmentClock = 0.0;
  m_StepSlope = 0.0;
}

void CHellMod::GenerateSamples(double* y, int n)
{
  if (!y || n <= 0) return;
  switch (g_DigimodeDllParams.Modulation) {
  case 7:
    GenParallelMT(y, n);
    break;
  case 14:
    GenChirpedMT(y, n);
    break;
  default:
    GenDefault(y, n);
    break;
  }
}

void CHellMod::GenParallelMT(double* y, int n)
{
  if (!y) return;
  for (int i = 0; i < n; ++i) {
    ColumnStep(Generator::MultiTone);
    double sum = 0.0;
    if (m_ToneRows >= 1 && m_ToneRows <= kHellColumnPixels) {
      const DigimodeDllParams& p = g_DigimodeDllParams;
      // With shaping on, 0 % (or less) is the shape table's hard step at its middle: the
      // columns change half a column period after the column starts, as with any shaping.
      if (p.pulse_shaping == 0) {
        for (int r = 0; r < m_ToneRows; ++r)
          sum += Oscillator(m_TonePhase[r], m_ToneStep[r]) * m_CurColumn.Pixel[r];
      } else {
        const double w = ShapeWeight(m_ShapeTable, m_TransitionPos);
        for (int r = 0; r < m_ToneRows; ++r)
          sum += Oscillator(m_TonePhase[r], m_ToneStep[r]) *
                 ((1.0 - w) * m_PrevColumn.Pixel[r] + w * m_CurColumn.Pixel[r]);
        m_TransitionPos += 1.0 / (m_ColumnPeriod * m_SampleRate);
        if (m_TransitionPos > 1.0) m_TransitionPos = 1.0;
      }
    }
    y[i] = m_Amplitude * sum;
  }
}

void CHellMod::GenChirpedMT(double* y, int n)
{
  if (!y) return;
  const double advance = 1.0 / (m_ColumnPeriod * m_SampleRate);
  for (int i = 0; i < n; ++i) {
    ColumnStep(Generator::MultiTone);
    double sum = 0.0;
    if (m_ToneRows >= 1 && m_ToneRows <= kHellColumnPixels) {
      for (int r = 0; r < m_ToneRows; ++r) {
        const double w = ShapeWeight(m_ShapeTable, m_RowTransitionPos[r]);
        const double a = (1.0 - w) * m_PrevColumn.Pixel[r] + w * m_CurColumn.Pixel[r];
        // Each row's position runs to 1.0 and stays there: after the first column every row
        // follows the current column directly.
        m_RowTransitionPos[r] += advance;
        if (m_RowTransitionPos[r] > 1.0) m_RowTransitionPos[r] = 1.0;
        sum += Oscillator(m_TonePhase[r], m_ToneStep[r]) * a;
      }
    }
    y[i] = m_Amplitude * sum;
  }
}

void CHellMod::GenDefault(double* y, int n)
{
  if (!y) return;
  m_Amplitude = 327.67 * g_DigimodeDllParams.output_level;
  const double advance = 1.0 / (m_ColumnPeriod * m_SampleRate);
  for (int i = 0; i < n; ++i) {
    ColumnStep(Generator::Sequential);
    double s = 0.0;
    if (m_SegmentIndex < 0 || m_SegmentClock >= m_SegmentEnd[m_SegmentIndex]) {
      ++m_SegmentIndex;
      if (m_SegmentIndex < 0) m_SegmentIndex = 0;
      if (m_SegmentIndex < kHellMaxSegments) {
        const int k = m_SegmentIndex;
        m_CurrentStep = m_SegmentStartStep[k];
        const double remaining = (m_SegmentEnd[k] - m_SegmentClock) * m_ColumnPeriod * m_SampleRate;
        m_StepSlope = remaining > 0.0 ? (m_SegmentEndStep[k] - m_SegmentStartStep[k]) / remaining : 0.0;
      } else {
        m_SegmentIndex = kHellMaxSegments - 1;
      }
    }
    m_SegmentClock += advance;
    m_CurrentStep += m_StepSlope;
    if (m_CurrentStep > 0.0) s = Oscillator(m_TonePhase[0], m_CurrentStep);
    y[i] = m_Amplitude * s;
  }
}
