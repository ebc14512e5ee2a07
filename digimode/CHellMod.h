#pragma once
// Hellschreiber modulator: turns the pixel columns of the engine's Hellschreiber ring into
// transmit audio, one column per column period (1 / symbol_rate seconds), in one of three ways
// chosen by the Modulation code of the parameter block copy (g_DigimodeDllParams):
//   7  Parallel MT: every row sounds at once at its own tone, at the brightness of its pixel,
//      with an optional raised-cosine change from the previous column to the current one;
//   14 Chirped MT: every row at once, each row with its own transition position;
//   any other code: one tone at a time; each lit pixel (or, with pulse_shaping 2, each run of
//      lit pixels, gliding from its lowest to its highest tone) gets a share of the column in
//      proportion to its brightness, lowest tone first.
// Row 0 (the top of a column) is the highest tone, fc_tx + f_shift / 2; N rows are f_shift / N
// apart. The output is on the 16-bit scale: ±32767 × output_level / 100 at most.
//
// Read from DigimodeSettings: fc_tx and f_shift (whenever a tone is computed), symbol_rate (at
// Init). Read from g_DigimodeDllParams: Modulation, pulse_shaping, shape_percent, output_level.
// Each column taken clears SwitchRequest in g_DigimodeDllStatus.
//
// Threads: Init runs on the GUI thread while the engine keeps the audio hooks out;
// GenerateSamples runs on the audio thread. Nothing is allocated, locked (beyond the ring's
// own get) or computed trigonometrically per sample: tones come from a 16384-entry cosine table
// by phase accumulation, transitions from a 1024-entry shape table.
#include <cstdint>

#include "digimode/DigimodeShared.h"

constexpr int kHellCosTableSize = 16384;  // one period
constexpr int kHellShapeTableSize = 1024;
constexpr int kHellMaxSegments = 64;

class CHellMod {
public:
  // Cosine table filled; shape table a hard step (entries 0..511 0.0, 512..1023 1.0); sample
  // rate 11025 Hz, column period 1 s, every other value 0.
  CHellMod();
  virtual ~CHellMod() = default;
  CHellMod(const CHellMod&) = delete;
  CHellMod& operator=(const CHellMod&) = delete;

  // Prepares a transmission at fs samples per second (below 1, or not a number: 11025): column
  // clock 0, column period from symbol_rate (1 s when it is not above 0), both columns dark,
  // tone table to be recomputed at the next column, shape edge from shape_percent.
  void Init(double fs);
  // Rebuilds the shape table: a raised-cosine ramp centred in the table, width 0..1 of the
  // table (clamped; 0 gives the hard step at entry 512, 1 a ramp over the whole table).
  void SetShapeEdge(double width);
  // Phase increment per sample (table steps) of the row's tone for the current tone rows.
  double ToneFrequency(int row) const;
  // All 32 rows: phase 0, step from ToneFrequency.
  void UpdateToneTable();
  // Fills y[0..n-1] by the Modulation code; nothing for n <= 0 or a null y.
  void GenerateSamples(double* y, int n);

  void GenParallelMT(double* y, int n);
  void GenChirpedMT(double* y, int n);
  void GenDefault(double* y, int n);

  // Read-outs for tests and displays.
  double SampleRate() const { return m_SampleRate; }
  double ColumnPeriod() const { return m_ColumnPeriod; }
  int ToneRows() const { return m_ToneRows; }
  double ShapeTable(int k) const { return m_ShapeTable[k]; }
  int SegmentCount() const { return m_SegmentCount; }
  double SegmentEnd(int k) const { return m_SegmentEnd[k]; }
  double SegmentStartStep(int k) const { return m_SegmentStartStep[k]; }
  double SegmentEndStep(int k) const { return m_SegmentEndStep[k]; }
  const HellColumn& CurrentColumn() const { return m_CurColumn; }

private:
  enum class Generator { MultiTone, Sequential };
  // Advances the column clock by one sample and takes the next column when it is due.
  void ColumnStep(Generator g);
  void TakeColumn(Generator g);
  void BuildSegments();
  // One sample of an oscillator: advances the phase by step (both directions, any size) and
  // returns the table value.
  double Oscillator(double& phase, double step) const;

  double m_SampleRate = 11025.0;
  double m_ColumnClock = 0.0;
  double m_ColumnPeriod = 1.0;
  double m_SamplePeriod = 1.0 / 11025.0;
  double m_Amplitude = 0.0;
  HellColumn m_CurColumn{};
  HellColumn m_PrevColumn{};
  int32_t m_ToneRows = 0;
  double m_TonePhase[kHellColumnPixels] = {};
  double m_ToneStep[kHellColumnPixels] = {};
  double m_CosTable[kHellCosTableSize];
  double m_TransitionPos = 0.0;
  double m_ShapeTable[kHellShapeTableSize];
  double m_SegmentStartStep[kHellMaxSegments] = {};
  double m_SegmentEndStep[kHellMaxSegments] = {};
  double m_SegmentEnd[kHellMaxSegments] = {};
  double m_SegmentClock = 0.0;
  int32_t m_SegmentIndex = 0;
  int32_t m_SegmentCount = 0;
  double m_CurrentStep = 0.0;
  double m_StepSlope = 0.0;
  double m_RowTransitionPos[kHellColumnPixels] = {};
};
