// BPSK / QPSK transmitter.
#include "digimode/CPSKMod.h"

#include <cmath>
#include <cstring>

#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/PskTables.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The eight shaping tables, one set for the program (only one transmitter runs at a time).
enum { T_ZERO, T_PLUS, T_MINUS, T_FALL, T_RISE, T_HALF_DOWN, T_NEG_HALF_DOWN, T_HALF_UP, T_COUNT };
double g_ShapeTables[T_COUNT][kPskShapeTableSize];

struct PskTransition {
  uint8_t i, q, next;
};

// [symbol][phase state]: I table, Q table, next phase state.
constexpr PskTransition PskTransitionTable[6][5] = {
    // 0 hold
    {{T_PLUS, T_PLUS, 0}, {T_MINUS, T_PLUS, 1}, {T_MINUS, T_MINUS, 2}, {T_PLUS, T_MINUS, 3},
     {T_ZERO, T_ZERO, 4}},
    // 1 +90 degrees
    {{T_FALL, T_PLUS, 1}, {T_MINUS, T_FALL, 2}, {T_RISE, T_MINUS, 3}, {T_PLUS, T_RISE, 0},
     {T_HALF_UP, T_HALF_UP, 0}},
    // 2 reversal
    {{T_FALL, T_FALL, 2}, {T_RISE, T_FALL, 3}, {T_RISE, T_RISE, 0}, {T_FALL, T_RISE, 1},
     {T_HALF_UP, T_HALF_UP, 0}},
    // 3 -90 degrees
    {{T_PLUS, T_FALL, 3}, {T_RISE, T_PLUS, 0}, {T_MINUS, T_RISE, 1}, {T_FALL, T_MINUS, 2},
     {T_HALF_UP, T_HALF_UP, 0}},
    // 4 carrier off
    {{T_HALF_DOWN, T_HALF_DOWN, 4}, {T_NEG_HALF_DOWN, T_HALF_DOWN, 4},
     {T_NEG_HALF_DOWN, T_NEG_HALF_DOWN, 4}, {T_HALF_DOWN, T_NEG_HALF_DOWN, 4}, {T_ZERO, T_ZERO, 4}},
    // 5 steady carrier
    {{T_PLUS, T_PLUS, 0}, {T_RISE, T_PLUS, 0}, {T_RISE, T_RISE, 0}, {T_PLUS, T_RISE, 0},
     {T_HALF_UP, T_HALF_UP, 0}},
};

}  // namespace

CPSKMod::CPSKMod() : m_TableI(g_ShapeTables[T_ZERO]), m_TableQ(g_ShapeTables[T_ZERO])
{
  for (int i = 0; i < kPskAmbleLength; ++i) {
    m_Preamble[i] = PSKMOD_CHAR_NODATA;
    m_Postamble[i] = PSKMOD_CHAR_END;
  }
  m_Preamble[kPskAmbleLength] = 0;
  m_Postamble[kPskAmbleLength] = 0;
}

void CPSKMod::Init(double fs)
{
  if (!(fs >= 1.0)) fs = 1.0;
  m_TxState = PSKMOD_IDLE;
  m_fs = fs;
  m_SymbolRate = DigimodeSettings.symbol_rate;
  if (!(m_SymbolRate >= 0.5)) m_SymbolRate = 0.5;
  m_PhaseInc = 2.0 * kPi * DigimodeSettings.fc_tx / fs;
  if (!std::isfinite(m_PhaseInc)) m_PhaseInc = 0.0;
  m_Modulation = DigimodeSettings.Modulation;
  m_SamplePeriod = 1.0 / fs;
  m_TimeInSymbol = 0.0;
  m_Phase = 0.0;
  m_k = 0;
  m_SymbolPeriod = 1.0 / m_SymbolRate;
  m_q = 4;
  m_CharFinished = true;
  m_VaricodeReg = 0;
  m_QpskCharReg = 0;
  m_OldPhaseOffset = m_NewPhaseOffset = 0.0;
  m_TableI = m_TableQ = g_ShapeTables[T_ZERO];
  m_AmblePos = 0;
  m_StopPending = false;
  m_Finished = true;

  std::memset(g_ShapeTables, 0, sizeof(g_ShapeTables));
  double percent = DigimodeSettings.shape_percent;
  if (!(percent >= 0.0 && percent <= 100.0)) {
    percent = 100.0;
    DigimodeSettings.shape_percent = 100.0;
  }
  const double n = percent * fs / (100.0 * m_SymbolRate) + 1.0;
  m_N = n >= kPskShapeTableSize ? kPskShapeTableSize : static_cast<int32_t>(n);
  for (int i = 0; i < m_N; ++i) {
    const double c = std::cos(kPi * i / m_N);
    g_ShapeTables[T_PLUS][i] = 1.0;
    g_ShapeTables[T_MINUS][i] = -1.0;
    g_ShapeTables[T_FALL][i] = c;
    g_ShapeTables[T_RISE][i] = -c;
    const bool firstHalf = i < m_N / 2;
    g_ShapeTables[T_HALF_DOWN][i] = firstHalf ? c : 0.0;
    g_ShapeTables[T_NEG_HALF_DOWN][i] = firstHalf ? -c : 0.0;
    g_ShapeTables[T_HALF_UP][i] = firstHalf ? 0.0 : -c;
  }
}

bool CPSKMod::StartTx()
{
  if (m_TxState != PSKMOD_IDLE) return false;
  m_TxState = PSKMOD_PREAMBLE;
  m_AmblePos = 0;
  m_StopPending = false;
  m_Finished = false;
  return true;
}

bool CPSKMod::StopTx()
{
  if (m_TxState != PSKMOD_PREAMBLE && m_TxState != PSKMOD_RING) return false;
  if (m_TxState == PSKMOD_PREAMBLE && Digimode_TxCharCount() == 0) {
    m_TxState = PSKMOD_POSTAMBLE;
    m_AmblePos = 0;
  } else {
    m_StopPending = true;
    // Idle symbols after the last character: its separator, and in QPSK the depth of the
    // receiver's Viterbi decoder, so the last character is decoded before the postamble.
    m_FlushLeft = m_Modulation == 9 ? kPskQpskFlushSymbols : kPskBpskFlushSymbols;
  }
  return true;
}

int CPSKMod::GetNextTxChar()
{
  switch (m_TxState) {
    case PSKMOD_RING: {
      const int c = Digimode_GetTxChar();
      if (c != PSKMOD_CHAR_NODATA) return c;
      if (!m_StopPending) {
        g_DigimodeTxUnderrun.store(1);
        return c;
      }
      if (m_FlushLeft > 0) {
        --m_FlushLeft;
        return c;
      }
      // Everything queued has gone out: the postamble follows.
      m_StopPending = false;
      m_TxState = PSKMOD_POSTAMBLE;
      m_AmblePos = 0;
      [[fallthrough]];
    }
    case PSKMOD_POSTAMBLE: {
      const int c = m_Postamble[m_AmblePos];
      if (c == 0) {
        m_TxState = PSKMOD_IDLE;
        return PSKMOD_CHAR_IDLE;
      }
      ++m_AmblePos;
      return c;
    }
    case PSKMOD_PREAMBLE: {
      const int c = m_Preamble[m_AmblePos];
      if (c == 0) {
        m_TxState = PSKMOD_RING;
        m_AmblePos = 0;
        return PSKMOD_CHAR_NODATA;
      }
      ++m_AmblePos;
      return c;
    }
    default:
      return PSKMOD_CHAR_IDLE;
  }
}

int CPSKMod::GetVaricodeSymbol()
{
  if (m_VaricodeReg != 0) {
    const bool one = (m_VaricodeReg & 0x8000) != 0;
    m_VaricodeReg = static_cast<uint16_t>(m_VaricodeReg << 1);
    if (m_VaricodeReg == 0) m_CharFinished = true;
    return one ? PSK_SYM_HOLD : PSK_SYM_REVERSAL;
  }
  if (m_CharFinished) {
    m_CharFinished = false;
    return PSK_SYM_REVERSAL;
  }
  const int c = GetNextTxChar();
  if (c >= 0) {
    m_VaricodeReg = VaricodeTable[c & 0xFF];
    return PSK_SYM_REVERSAL;
  }
  if (c == PSKMOD_CHAR_END) return PSK_SYM_STEADY;
  if (c == PSKMOD_CHAR_IDLE) return PSK_SYM_OFF;
  return PSK_SYM_REVERSAL;
}

int CPSKMod::GetQpskSymbol()
{
  int symbol = QpskCodeTable[m_VaricodeReg & 31];
  m_VaricodeReg = static_cast<uint16_t>(m_VaricodeReg << 1);
  if (m_QpskCharReg != 0) {
    m_VaricodeReg |= (m_QpskCharReg >> 15) & 1;
    m_QpskCharReg = static_cast<uint16_t>(m_QpskCharReg << 1);
    if (m_QpskCharReg == 0) m_CharFinished = true;
  } else if (m_CharFinished) {
    m_CharFinished = false;
  } else {
    const int c = GetNextTxChar();
    if (c >= 0) m_QpskCharReg = VaricodeTable[c & 0xFF];
    else if (c == PSKMOD_CHAR_END) symbol = PSK_SYM_STEADY;
    else if (c == PSKMOD_CHAR_IDLE) symbol = PSK_SYM_OFF;
  }
  return symbol;
}

void CPSKMod::NextSymbol()
{
  const int s = m_Modulation == 9 ? GetQpskSymbol() : GetVaricodeSymbol();
  // The carrier is fully off once an off symbol starts from the off state after the end.
  if (s == PSK_SYM_OFF && m_q == 4 && m_TxState == PSKMOD_IDLE) m_Finished = true;
  const PskTransition& t = PskTransitionTable[s][m_q > 4 ? 4 : m_q];
  m_TableI = g_ShapeTables[t.i];
  m_TableQ = g_ShapeTables[t.q];
  m_q = t.next;
  m_OldPhaseOffset = m_NewPhaseOffset;
  m_NewPhaseOffset = m_q * kPi / 2.0;
}

void CPSKMod::GenerateAudio(double* y, int n)
{
  if (!y || n < 1) return;
  m_Modulation = DigimodeSettings.Modulation;
  const double a = DigimodeSettings.output_level * 230.0;
  const int shaping = DigimodeSettings.pulse_shaping;
  for (int i = 0; i < n; ++i) {
    m_Phase += m_PhaseInc;
    double v = 0.0;
    if (shaping == 0) {
      if (m_q < 4) v = a * std::sin(m_Phase + m_q * kPi / 2.0);
    } else if (shaping == 2) {
      const double x = m_k < m_N ? static_cast<double>(m_k) / m_N : 1.0;
      if (m_k < m_N) ++m_k;
      if (m_q < 4) v = a * std::sin(m_Phase + (1.0 - x) * m_OldPhaseOffset + x * m_NewPhaseOffset);
    } else {
      const int k = m_k < m_N ? m_k : m_N - 1;
      if (m_k < m_N) ++m_k;
      v = a * (std::sin(m_Phase) * m_TableI[k] + std::cos(m_Phase) * m_TableQ[k]);
    }
    y[i] = v;
    m_TimeInSymbol += m_SamplePeriod;
    if (m_TimeInSymbol >= m_SymbolPeriod) {
      m_TimeInSymbol -= m_SymbolPeriod;
      m_k = 0;
      m_Phase = std::fmod(m_Phase, 2.0 * kPi);
      NextSymbol();
    }
  }
}
