#pragma once
// The spectrum alert as the main window sees it: the settings record, the input block that the
// main window fills before each evaluation, the evaluation's results that the spectrum graph
// draws, and the alarm flags. GUI thread only.
//
// This module holds the records and the entry points. The evaluation itself (range statistics,
// search pattern, alarm decision, siren and operating-system command) belongs to the alert
// engine; until that is built, Alert_ProcessSpectrum only keeps the smoothed copy of the input
// and never raises an alarm.
#include <cstdint>

constexpr int ALERT_MAX_BINS = 16384;  // values of one alert spectrum

struct TAlertSettings {
  uint8_t Enable;               // the main window feeds the engine only while set
  uint8_t Visualize;            // the spectrum graph draws the alert data
  int32_t PlotOptions;          // 1 peak texts, 2 reference level, 4 smoothed input, 8 match curve
  uint8_t MethodCompareRanges;
  uint8_t MethodAutoPeak;
  uint8_t MethodAutoNoise;
  double Averaging;             // smoothing factor of the input (not stored)
  double RangeA_Fmin, RangeA_Fmax;  // Hz
  double RangeB_Fmin, RangeB_Fmax;  // Hz
  double AvrgDiffMin;           // dB
  double PeakADiffMin;          // dB
  double PeakBDiffMin;          // dB
  int32_t SearchPatternType;    // 0 ideal peak .. 5 user defined
  double SearchPatternBWidth;   // Hz
  int32_t MinSecondsToAlert;
  uint8_t ActionRingBell;
  uint8_t ActionStartLoggingWave;
  uint8_t ActionScreenCapture;
  uint8_t ActionExecOsCommand;
  char OsCommandLine[256];
};
extern TAlertSettings AlertSettings;

// One alert spectrum: amplitudes (bin level x the line's scale factor, dB for dB lines).
struct AlertSpectrum {
  double Bins[ALERT_MAX_BINS];
  int32_t NrOfBins;   // 4 .. 16,384 when fed
  double BinWidthHz;
  double FirstBinHz;  // frequency of Bins[0]
};
// Input (filled by the main window just before Alert_ProcessSpectrum) and smoothed copy.
extern AlertSpectrum g_AlertInputSpectrum;
extern AlertSpectrum g_AlertAvgSpectrum;

struct AlertRangeResult {
  double FminHz, FmaxHz;  // first and last bin of the range
  double RequiredDiff;
  double Noise;
  double Average;
  double Peak;
  int32_t PeakIndex;
  double PeakFreqHz;
  double Percentage;
};
extern AlertRangeResult g_AlertRangeA;
extern AlertRangeResult g_AlertRangeB;

// Alarm flags: raised, acknowledged by the user ("Reset Alarm"), value after the previous pass.
extern uint8_t g_AlertActive;
extern uint8_t g_AlertAcknowledged;
extern uint8_t g_AlertPrevious;
extern int32_t g_AlertSirenHz;  // current siren tone, 0 silent

// Settings to their defaults (ranges A 500..550 Hz, B 645..700 Hz, alert off, smoothing 10).
void Alert_SetDefaults();
// Program start: clears the alarm flags and the smoothed spectrum's geometry.
void Alert_Reset();
// One evaluation of g_AlertInputSpectrum (NrOfBins outside 4..16,384 is ignored).
void Alert_ProcessSpectrum();
// One step of the siren; the main timer calls it every 200 ms.
void Alert_RingBellTimer();
// Program end: clears the alarm and acknowledged flags and silences the siren.
void Alert_StopAlarm();
