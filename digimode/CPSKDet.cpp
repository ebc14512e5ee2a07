// BPSK / QPSK receiver.
#include "digimode/CPSKDet.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "control/Remez.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/PskTables.h"
#include "engine/CDec2FIR.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Blackman-windowed sinc low-pass for decimation by `factor`, cut-off at half the output rate,
// DC gain 1.
template <int Taps>
struct DecimationTable {
  double c[Taps];
  explicit DecimationTable(int factor)
  {
    const double fc = 0.5 / factor;
    double sum = 0.0;
    for (int i = 0; i < Taps; ++i) {
      const double m = i - (Taps - 1) / 2.0;
      const double sinc = m == 0.0 ? 2.0 * fc : std::sin(kTwoPi * fc * m) / (kPi * m);
      const double w = 0.42 - 0.5 * std::cos(kTwoPi * i / (Taps - 1)) + 0.08 * std::cos(2 * kTwoPi * i / (Taps - 1));
      c[i] = sinc * w;
      sum += c[i];
    }
    for (double& v : c) v /= sum;
  }
};

const double* Dec3Table()
{
  static const DecimationTable<27> t(3);
  return t.c;
}

const double* Dec4Table()
{
  static const DecimationTable<35> t(4);
  return t.c;
}

int DecimationTaps(int factor) { return factor == 2 ? 45 : factor == 3 ? 27 : factor == 4 ? 35 : 0; }

const double* DecimationCoeffs(int factor)
{
  return factor == 2 ? g_Dec2FirCoeffs : factor == 3 ? Dec3Table() : factor == 4 ? Dec4Table() : nullptr;
}

// The narrow set: a raised-cosine pulse 1.75 symbols long (samplesPerSymbol decimated samples
// per symbol; at most the 79 taps), DC gain 1. The filter matched to the transmitted two-symbol
// cosine pulse would leave a sixth of each neighbouring symbol in a symbol sample; the shorter
// pulse leaves less at a small cost in noise, which the loop-back benchmark shows as fewer
// errors at low SNR, above all for QPSK. A low-pass whose stop band began at half the symbol
// rate would remove the tones of a run of phase reversals, the very pattern that carries the
// zeros and the timing, and the receiver would decode nothing.
void NarrowPulseFilter(double samplesPerSymbol, double* h)
{
  std::fill(h, h + kPskDetTaps, 0.0);
  double span = 1.75 * samplesPerSymbol;
  if (!(span >= 1.0)) span = 1.0;
  if (span > kPskDetTaps + 1) span = kPskDetTaps + 1;
  const int half = kPskDetTaps / 2;
  double sum = 0.0;
  for (int k = -half; k <= half; ++k) {
    const double t = k / span;  // -0.5..0.5 inside the pulse
    if (std::fabs(t) >= 0.5) continue;
    h[half + k] = 0.5 + 0.5 * std::cos(kTwoPi * t);
    sum += h[half + k];
  }
  if (!(sum > 0.0)) {
    h[half] = 1.0;
    return;
  }
  for (int k = 0; k < kPskDetTaps; ++k) h[k] /= sum;
}

void CentreImpulse(double* h, int taps)
{
  std::fill(h, h + taps, 0.0);
  h[taps / 2] = 1.0;
}

constexpr double kRefKeep = 0.6;  // carrier reference: weight of the past per symbol
constexpr double kRotKeep = 0.9;  // rotation per symbol: weight of the past
constexpr double kIsiShift = 0.1;  // decision threshold along the reference, of its length
constexpr int kViterbiDelay = 20;  // decided bit: bit 20 of the path histories
constexpr double kAfcA = 0.99966666666666667;
constexpr double kAfcB = 0.000083333333333333;

}  // namespace

CPSKDet::CPSKDet() : m_TieRng(0x5053u)
{
  std::memset(m_Reverse, 0, sizeof(m_Reverse));
  CentreImpulse(m_W, kPskDetTaps);
  CentreImpulse(m_N, kPskDetTaps);
  std::fill(std::begin(m_Energy), std::end(m_Energy), 0.0);
  std::fill(std::begin(m_PathMetric), std::end(m_PathMetric), 0.0);
  std::fill(std::begin(m_History), std::end(m_History), 0u);
}

bool CPSKDet::DesignFilter(double cutoff, int taps, double* h)
{
  if (!h || taps < 1 || taps > kPskDetTaps || !(cutoff > 0.0 && cutoff < 0.5)) return false;
  double t = 3.0 / taps;
  if (t > 0.95 * cutoff) t = 0.95 * cutoff;
  double bands[4] = {0.0, cutoff - t, cutoff, 0.5};
  const double desired[2] = {1.0, 0.00005};
  const double weight[2] = {1.0, 20.0};
  return Remez_DesignFIR(h, taps, 2, bands, desired, weight, REMEZ_BANDPASS);
}

bool CPSKDet::Init(double fs)
{
  if (!(fs >= 1.0)) fs = 1.0;
  m_fs = fs;
  const double rate = DigimodeSettings.symbol_rate;
  m_Ts = rate > 0.0 && std::isfinite(rate) ? 1.0 / rate : 0.032;
  m_Modulation = DigimodeSettings.Modulation;
  m_Codeset = DigimodeSettings.CodesetNr;
  m_UseAfc = DigimodeSettings.use_afc;
  m_NarrowAfc = DigimodeSettings.narrow_afc;

  // 1. Rings, energies, symbols.
  for (Stage& s : m_Stage) {
    std::fill(std::begin(s.ring), std::end(s.ring), cplx());
    s.pos = s.fill = 0;
  }
  std::fill(std::begin(m_Ring), std::end(m_Ring), cplx());
  m_RingPos = 0;
  std::fill(std::begin(m_Energy), std::end(m_Energy), 0.0);
  std::fill(std::begin(m_Sym), std::end(m_Sym), cplx());
  std::fill(std::begin(m_AfcHist), std::end(m_AfcHist), cplx());

  // 2. Reverse Varicode: code without trailing zeros and without its final 1 -> character.
  std::memset(m_Reverse, 0, sizeof(m_Reverse));
  for (int c = 0; c < 256; ++c) {
    uint32_t code = VaricodeTable[c];
    if (code == 0) continue;
    while ((code & 1) == 0) code >>= 1;
    code >>= 1;
    if (code < 2048) m_Reverse[code] = static_cast<uint8_t>(c);
  }

  // 3. Decimation factors.
  const double r = rate;
  const int d1 = r >= 70 ? 2 : r >= 5 ? 3 : 4;
  const int d2 = r >= 70 ? 1 : r >= 50 ? 2 : r >= 8 ? 3 : 4;
  int d3 = 1;
  if (!(r >= 30)) {
    const double v = std::round(fs * m_Ts / (20.0 * d1 * d2));
    d3 = v < 1.0 || !std::isfinite(v) ? 1 : v > 4.0 ? 4 : static_cast<int>(v);
  }
  const int factors[3] = {d1, d2, d3};
  for (int i = 0; i < 3; ++i) {
    m_Stage[i].factor = factors[i];
    m_Stage[i].taps = DecimationTaps(factors[i]);
    m_Stage[i].table = DecimationCoeffs(factors[i]);
  }
  m_Td = d1 * d2 * d3 / fs;
  const double p = m_Ts / m_Td;
  m_P = p >= kPskDetMaxSamplesPerSymbol ? kPskDetMaxSamplesPerSymbol : static_cast<int>(p);

  // 4. Output filters: wide at 1.4, narrow at 0.5 times the symbol rate.
  if (!DesignFilter(1.4 * m_Td / m_Ts, kPskDetTaps, m_W)) CentreImpulse(m_W, kPskDetTaps);
  NarrowPulseFilter(m_Ts / m_Td, m_N);

  // 5. Tracking state.
  m_AgcAvg = 1.0;
  m_Quality = 0.4;
  m_ReversalRun = m_SteadyRun = 0;
  m_Ref = m_Rot = cplx();
  m_Phase = 0.0;
  m_PhaseInc = 0.0;
  m_AfcOffset = m_AfcF = m_AfcE = 0.0;
  m_LastFreq = 1000.0;
  m_FirstBlock = true;
  m_Pos = 0;
  m_TimeInSymbol = 0.0;
  m_Chosen = m_Best = 0;
  m_Acc = 0;
  m_PrevZero = false;
  m_SquelchHist = 0;
  m_TieRng.seed(0x5053u);
  std::fill(std::begin(m_PathMetric), std::end(m_PathMetric), 0.0);
  std::fill(std::begin(m_History), std::end(m_History), 0u);
  const cplx steady[4] = {1.0, 1.0, 1.0, 1.0};
  double metric[4];
  QpskBranchMetrics(steady, metric);
  for (int i = 0; i < 613; ++i) ViterbiStep(metric);
  g_TuningScopeBuffer.Flag.store(0);
  return true;
}

double CPSKDet::ProcessSamples(const double* x, int n, double freq)
{
  if (!(m_Td > 0.0) || !x || n < 1) return freq;
  if (!std::isfinite(freq)) freq = m_LastFreq;
  if (m_FirstBlock || freq != m_LastFreq) {
    // The tracked offset folds into the new increment.
    m_AfcOffset += m_PhaseInc;
    m_PhaseInc = kTwoPi * freq / m_fs;
    m_AfcOffset = m_UseAfc && !m_FirstBlock ? m_PhaseInc - m_AfcOffset : 0.0;
    m_LastFreq = freq;
    m_FirstBlock = false;
  }
  for (int i = 0; i < n; ++i) {
    const double v = std::isfinite(x[i]) ? x[i] : 0.0;
    cplx z(v * std::cos(m_Phase), v * std::sin(m_Phase));
    m_Phase += m_PhaseInc + m_AfcOffset;
    if (m_Phase > kTwoPi || m_Phase < -kTwoPi) m_Phase = std::fmod(m_Phase, kTwoPi);
    bool out = true;
    for (Stage& s : m_Stage) {
      if (s.factor <= 1) continue;
      s.pos = s.pos == 0 ? s.taps - 1 : s.pos - 1;
      s.ring[s.pos] = z;
      s.ring[s.pos + s.taps] = z;
      if (++s.fill < s.factor) {
        out = false;
        break;
      }
      s.fill = 0;
      cplx acc;
      const cplx* r = s.ring + s.pos;
      for (int k = 0; k < s.taps; ++k) acc += s.table[k] * r[k];
      z = acc;
    }
    if (out) ProcessDecimated(z);
  }
  // Without AFC the given frequency comes back as it is (no rounding through the increment).
  return m_UseAfc ? (m_PhaseInc + m_AfcOffset) * m_fs / kTwoPi : freq;
}

void CPSKDet::ProcessDecimated(cplx z)
{
  m_RingPos = m_RingPos == 0 ? kPskDetTaps - 1 : m_RingPos - 1;
  m_Ring[m_RingPos] = z;
  m_Ring[m_RingPos + kPskDetTaps] = z;
  cplx a, b;
  const cplx* r = m_Ring + m_RingPos;
  for (int k = 0; k < kPskDetTaps; ++k) {
    a += m_W[k] * r[k];
    b += m_N[k] * r[k];
  }

  // AGC on the wide output.
  const double m = std::abs(a);
  m_AgcAvg = m > m_AgcAvg ? 0.996 * m_AgcAvg + 0.004 * m : 0.999 * m_AgcAvg + 0.001 * m;
  if (m_AgcAvg >= 1.0) {
    a /= m_AgcAvg;
    b /= m_AgcAvg;
  }

  // Tuning scope: narrow output samples.
  T_TuningScopeBuffer& scope = g_TuningScopeBuffer;
  if (scope.Flag.load(std::memory_order_relaxed) != 0) {
    if (TuningScope_Append(b.real(), b.imag(), 6)) scope.SampleRate.store(1.0 / m_Td);
    if (scope.FillCount.load() >= kTuningScopeEntries) scope.Flag.store(0);
  }

  // AFC.
  m_AfcHist[2] = m_AfcHist[1];
  m_AfcHist[1] = m_AfcHist[0];
  m_AfcHist[0] = a;
  if (m_UseAfc) {
    double& f = m_AfcF;
    if (m_NarrowAfc) {
      const double e = std::clamp(m_AfcE, -0.01, 0.01);
      f = kAfcA * f + kAfcB * e;
    } else {
      const cplx& z0 = m_AfcHist[0];
      const cplx& z1 = m_AfcHist[1];
      const cplx& z2 = m_AfcHist[2];
      double d = (z0.real() - z2.real()) * z1.imag() - (z0.imag() - z2.imag()) * z1.real();
      d = std::clamp(d, -0.15, 0.15);
      const double e = m_AfcE;
      if (std::fabs(f) > 0.012) {
        f = kAfcA * f + kAfcB * d;
      } else {
        f = (e > -0.048 && f <= 0.0) ? kAfcA * f + kAfcB * e : kAfcA * f + kAfcB * d;
        f = (e < 0.048 && f >= 0.0) ? kAfcA * f + kAfcB * e : kAfcA * f + kAfcB * d;
      }
    }
    m_AfcOffset = f;
  } else {
    m_AfcOffset = 0.0;
  }

  // Symbol timing on the narrow output.
  if (m_P < 1) return;  // a symbol rate the decimation cannot serve
  double p = std::norm(b);
  // Large values are limited to 4.0. Replacing them by 1.0 instead would, while the AGC is
  // still rising at the start of a signal, count the symbol peaks below the edges between
  // them, and the sampling point would start at the edges and take a hundred symbols to leave.
  if (p > 4.0) p = 4.0;
  m_Energy[m_Pos] = 0.99 * m_Energy[m_Pos] + 0.01 * p;
  if (m_Pos == (m_P / 2 + m_Chosen) % m_P) m_Chosen = m_Best;
  const bool symbolInstant = m_Pos == m_Chosen;
  m_TimeInSymbol += m_Td;
  if (m_TimeInSymbol >= m_Ts) {
    m_TimeInSymbol -= m_Ts;
    m_Pos = 0;
    m_Best = 0;
    for (int i = 1; i < m_P; ++i)
      if (m_Energy[i] > m_Energy[m_Best]) m_Best = i;
  } else if (m_Pos + 1 < kPskDetEnergySize) {
    ++m_Pos;
  }
  if (symbolInstant) SymbolDecision(b);
}

void CPSKDet::SymbolDecision(cplx z0)
{
  m_Sym[3] = m_Sym[2];
  m_Sym[2] = m_Sym[1];
  m_Sym[1] = m_Sym[0];
  m_Sym[0] = z0;
  const cplx z1 = m_Sym[1];
  const double dot = z0.real() * z1.real() + z0.imag() * z1.imag();
  const double cross = z1.real() * z0.imag() - z0.real() * z1.imag();
  const double angle = std::fabs(dot + cross) < 1e-10 ? 0.0 : std::atan2(dot, cross) + kPi;

  // Quality: distance from the nearest of reversal (pi/2) and no change (3 pi/2).
  double error = 0.0;
  bool counted = false;
  if (angle >= kPi / 4 && angle <= 3 * kPi / 4) {
    error = angle - kPi / 2;
    counted = true;
    ++m_ReversalRun;
    m_SteadyRun = 0;
  } else if (angle >= 5 * kPi / 4 && angle <= 7 * kPi / 4) {
    error = angle - 3 * kPi / 2;
    counted = true;
    ++m_SteadyRun;
    m_ReversalRun = 0;
  } else {
    m_ReversalRun = m_SteadyRun = 0;
  }
  if (counted) {
    m_AfcE = 0.08 * error;
    const double q = std::fabs(error);
    m_Quality = q < m_Quality ? 0.98 * m_Quality + 0.02 * q : 0.99 * m_Quality + 0.01 * q;
  }
  if (m_ReversalRun > 21) m_Quality = 0.1;
  if (m_SteadyRun > 21) m_Quality = 0.4;
  const int level = std::clamp(100 - static_cast<int>(250.0 * m_Quality), 0, 100);
  g_DigimodeSquelchLevel.store(level);
  const bool open = level > DigimodeSettings.squelch_thrsh;
  g_DigimodeSquelchOpen.store(open ? 1.0 : 0.0);
  if (g_TuningScopeBuffer.Kind.load() != 2) g_TuningScopeBuffer.Flag.store(1);

  int bit;
  if (m_Modulation == 9) {
    double metric[4];
    QpskBranchMetrics(m_Sym, metric);
    bit = ViterbiStep(metric);
  } else {
    bit = CoherentBpskBit(DecideBpskBit());
  }
  // The squelch state travels with the symbols: a QPSK bit leaves the decoder 20 symbols after
  // its symbol arrived, and it counts as received with the squelch open only when the squelch
  // was open then.
  m_SquelchHist = (m_SquelchHist << 1) | (open ? 1u : 0u);
  const bool bitOpen = ((m_Modulation == 9 ? m_SquelchHist >> kViterbiDelay : m_SquelchHist) & 1u) != 0;
  if (m_Codeset == 5) VaricodeBit(bit, bitOpen);
}

// Decision against a carrier reference averaged over the last symbols instead of the last
// four samples alone: the reference follows the symbol samples with their decided signs taken
// out and is turned by the mean rotation per symbol (estimated from the squared phase steps, so
// a reversal does not disturb it). The narrow filter leaves a little of each neighbouring symbol
// in a symbol sample; the previous symbol's share always points along the reference, so the
// threshold sits that share towards "no change". Until a reference exists the four-sample
// decision counts.
int CPSKDet::CoherentBpskBit(int fallback)
{
  const cplx z0 = m_Sym[0];
  const cplx z1 = m_Sym[1];
  cplx ref = m_Ref;
  const cplx rot = std::sqrt(m_Rot);
  const double rotMag = std::abs(rot);
  if (rotMag > 1e-12) ref *= rot / rotMag;
  int bit = fallback;
  if (std::norm(ref) > 1e-12) bit = (z0 * std::conj(ref)).real() >= kIsiShift * std::norm(ref) ? 1 : 0;
  const double s = bit ? 1.0 : -1.0;
  const cplx d = z0 * std::conj(z1);
  const double dn = std::norm(d);
  if (dn > 1e-20) m_Rot = kRotKeep * m_Rot + (1.0 - kRotKeep) * d * d / dn;
  m_Ref = kRefKeep * s * ref + (1.0 - kRefKeep) * z0;
  return bit;
}

int CPSKDet::DecideBpskBit() const
{
  // Candidates: z3 always +; z2's I and Q signs vary; (z1, z0) equal signs for the first eight
  // (no phase change), opposite for the last eight (reversal).
  static constexpr int kNewest[4][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
  static constexpr int kSecond[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
  const cplx& z0 = m_Sym[0];
  const cplx& z1 = m_Sym[1];
  const cplx& z2 = m_Sym[2];
  const cplx& z3 = m_Sym[3];
  double best = -1.0;
  int winner = 0;
  for (int g = 0; g < 4; ++g)
    for (int s = 0; s < 4; ++s) {
      const double i = z3.real() + kSecond[s][0] * z2.real() + kNewest[g][0] * z1.real() + kNewest[g][1] * z0.real();
      const double q = z3.imag() + kSecond[s][1] * z2.imag() + kNewest[g][0] * z1.imag() + kNewest[g][1] * z0.imag();
      const double e = i * i + q * q;
      if (e > best) {
        best = e;
        winner = g * 4 + s;
      }
    }
  return winner < 8 ? 1 : 0;
}

void CPSKDet::QpskBranchMetrics(const cplx z[4], double metric[4]) const
{
  static const cplx kRot[4] = {cplx(1, 0), cplx(0, 1), cplx(-1, 0), cplx(0, -1)};
  double e[4];
  double emax = 0.0;
  for (int k = 0; k < 4; ++k) {
    e[k] = 0.0;
    const cplx inner = z[1] + kRot[k] * z[0];
    for (const cplx& r2 : kRot)
      for (const cplx& r1 : kRot) e[k] = std::max(e[k], std::norm(z[3] + r2 * z[2] + r1 * inner));
    emax = std::max(emax, e[k]);
  }
  for (int k = 0; k < 4; ++k) metric[k] = emax > 0.0 ? -std::log10(e[k] / emax + 1e-100) : 0.0;
}

int CPSKDet::ViterbiStep(const double metric[4])
{
  double pm[16];
  uint32_t hist[16];
  std::fill(std::begin(pm), std::end(pm), 1e300);
  for (int t = 0; t < 32; ++t) {
    const int from = t >> 1;
    const int to = t & 15;
    const double cand = m_PathMetric[from] + metric[QpskCodeTable[t]];
    if (cand < pm[to]) {
      pm[to] = cand;
      hist[to] = (m_History[from] << 1) | static_cast<uint32_t>(t & 1);
    }
  }
  const double least = *std::min_element(std::begin(pm), std::end(pm));
  int ones = 0;
  for (int s = 0; s < 16; ++s) {
    m_PathMetric[s] = pm[s] - least;
    m_History[s] = hist[s];
    ones += (hist[s] >> kViterbiDelay) & 1;
  }
  if (ones == 8) return static_cast<int>(m_TieRng() & 1);
  return ones > 8 ? 1 : 0;
}

void CPSKDet::VaricodeBit(int bit, bool squelchOpen)
{
  // squelchOpen: the squelch state when the bit's symbol arrived.
  if (bit == 0 && m_PrevZero && m_Acc != 0) {
    const int c = m_Reverse[(m_Acc >> 2) % 2048];
    m_Acc = 0;
    if (c != 0 && squelchOpen) Digimode_PutRxChar(c);
    return;
  }
  m_Acc = (m_Acc << 1) | static_cast<uint32_t>(bit & 1);
  m_PrevZero = bit == 0;
}
