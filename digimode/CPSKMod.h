#pragma once
// BPSK / QPSK transmitter: turns the characters of the engine's transmit ring into audio at
// fc_tx with a preamble of phase reversals, a postamble of steady carrier and one of three
// transition shapings (DigimodeSettings.pulse_shaping).
//
// Init and StartTx/StopTx run on the GUI thread while the engine keeps the audio hooks out
// (g_DigimodeLock); GenerateAudio runs on the audio thread. No allocation after construction.
#include <cstdint>

// Symbols: phase steps and carrier control.
enum : int {
  PSK_SYM_HOLD = 0,      // no phase change (bit 1)
  PSK_SYM_PLUS90 = 1,
  PSK_SYM_REVERSAL = 2,  // bit 0, idle
  PSK_SYM_MINUS90 = 3,
  PSK_SYM_OFF = 4,       // carrier ramped off
  PSK_SYM_STEADY = 5,    // steady carrier (postamble)
};

// Transmission states.
enum : int { PSKMOD_IDLE = 0, PSKMOD_PREAMBLE = 1, PSKMOD_RING = 2, PSKMOD_POSTAMBLE = 3 };

// Character source results beside the bytes 0..255.
enum : int { PSKMOD_CHAR_IDLE = -1, PSKMOD_CHAR_END = -2, PSKMOD_CHAR_NODATA = -3 };

constexpr int kPskShapeTableSize = 22201;  // longest transition, samples
constexpr int kPskAmbleLength = 32;        // symbols of preamble and of postamble
constexpr int kPskBpskFlushSymbols = 4;    // idle symbols between the last character and the
constexpr int kPskQpskFlushSymbols = 28;   // postamble when a stop waited for the ring

class CPSKMod {
public:
  CPSKMod();
  virtual ~CPSKMod() = default;

  // Prepares a transmission at fs samples per second (fs below 1 is taken as 1): idle, carrier
  // off, tables for the current settings. A shape_percent outside 0..100 is set to 100 in
  // DigimodeSettings.
  void Init(double fs);
  // Fills n samples (16-bit scale; n < 1: nothing).
  void GenerateAudio(double* y, int n);
  // From idle only: starts the preamble. False otherwise.
  bool StartTx();
  // From the preamble or the ring state: ends the transmission. What the transmit ring holds
  // still goes out, then the postamble (straight to it when the ring is empty). False otherwise.
  bool StopTx();
  // The next character 0..255 or PSKMOD_CHAR_* by the transmission state (sets the engine's
  // underrun flag when the ring is empty).
  int GetNextTxChar();
  // The next symbol (PSK_SYM_*), BPSK and QPSK.
  int GetVaricodeSymbol();
  int GetQpskSymbol();

  // True after the carrier has been ramped off at the end of a transmission (and after Init),
  // until StartTx.
  bool IsTxFinished() const { return m_Finished; }
  int TxState() const { return m_TxState; }
  int TransitionLength() const { return m_N; }
  int PhaseState() const { return m_q; }

private:
  void NextSymbol();

  double m_fs = 11025.0;
  double m_SymbolRate = 31.25;
  double m_SymbolPeriod = 0.032;
  double m_SamplePeriod = 1.0 / 11025.0;
  double m_TimeInSymbol = 0.0;
  double m_Phase = 0.0;
  double m_PhaseInc = 0.0;
  int32_t m_N = 1;  // transition length, samples
  int32_t m_k = 0;  // sample index within the transition
  uint8_t m_q = 4;  // phase state 0..3, 4 carrier off
  const double* m_TableI;
  const double* m_TableQ;
  double m_OldPhaseOffset = 0.0;
  double m_NewPhaseOffset = 0.0;
  int32_t m_Modulation = 8;
  int32_t m_TxState = PSKMOD_IDLE;
  int32_t m_AmblePos = 0;
  int32_t m_Preamble[kPskAmbleLength + 1];
  int32_t m_Postamble[kPskAmbleLength + 1];
  uint16_t m_VaricodeReg = 0;  // BPSK: current code, left-aligned; QPSK: the bit history
  uint16_t m_QpskCharReg = 0;
  bool m_CharFinished = true;
  bool m_StopPending = false;  // a stop waits for the transmit ring to run empty
  int32_t m_FlushLeft = 0;     // idle symbols still to send before the postamble
  bool m_Finished = true;
};
