#pragma once
// The spectrum alert: watches range A of each spectrum line that the main window passes in and
// raises an alarm when its peak stands far enough above its noise (siren on the PC speaker, the
// user's command started once per alarm, "Reset Alarm" on the main window's status button).
// Holds the settings record, the input block that the main window fills before each
// evaluation, the smoothed copy, the statistics of ranges A and B, the search pattern with its
// match curve and peak table, and the alarm flags. GUI thread only; every array is a fixed
// global, only the range statistics allocate a temporary array per evaluation.
//
// Units: amplitudes as the spectrum lines give them (dB for dB lines), frequencies in Hz.
#include <cstdint>
#include <string>

constexpr int ALERT_MAX_BINS = 16384;      // values of one alert spectrum
constexpr int ALERT_PATTERN_POINTS = 100;  // points of the search pattern
constexpr int ALERT_PATTERN_USER = 5;      // SearchPatternType of a user-defined pattern

struct TAlertSettings {
  uint8_t Enable;               // the main window feeds the engine only while set
  uint8_t Visualize;            // the spectrum graph draws the alert data
  int32_t PlotOptions;          // 1 peak texts, 2 reference level, 4 smoothed input, 8 match curve
  uint8_t MethodCompareRanges;  // edited and stored only
  uint8_t MethodAutoPeak;       // edited and stored only
  uint8_t MethodAutoNoise;      // edited and stored only
  double Averaging;             // smoothing factor of the input (not stored, not edited)
  double RangeA_Fmin, RangeA_Fmax;  // Hz; range A decides the alarm
  double RangeB_Fmin, RangeB_Fmax;  // Hz; range B is shown only
  double AvrgDiffMin;           // dB, edited and stored only
  double PeakADiffMin;          // dB above the noise that makes 100 % in range A
  double PeakBDiffMin;          // dB, the same for range B
  int32_t SearchPatternType;    // 0 ideal peak, 1/2 Gauss narrow/wide, 3/4 rectangular, 5 user
  double SearchPatternBWidth;   // Hz covered by the 100 pattern points
  int32_t MinSecondsToAlert;    // edited and stored only
  uint8_t ActionRingBell;       // siren while the alarm stands
  uint8_t ActionStartLoggingWave;  // edited and stored only
  uint8_t ActionScreenCapture;     // edited and stored only
  uint8_t ActionExecOsCommand;  // start OsCommandLine when an alarm is raised
  char OsCommandLine[256];      // NUL-terminated
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
// Lines the smoothing has taken since its last restart; no alarm is judged before it has
// taken `Averaging` of them, so a single raw line of noise cannot raise one.
extern int32_t g_AlertAvgLineCount;

struct AlertRangeResult {
  double FminHz, FmaxHz;  // frequencies of the first and last bin of the range
  double RequiredDiff;    // PeakADiffMin or PeakBDiffMin
  double Noise;           // lower quartile of the range's bins + 3 dB
  double Average;
  double Peak;
  int32_t PeakIndex;      // counted from the range's first bin
  double PeakFreqHz;
  double Percentage;      // (Peak - Noise) x 100 / RequiredDiff
};
extern AlertRangeResult g_AlertRangeA;
extern AlertRangeResult g_AlertRangeB;

// The search pattern (values 0..1, point 50 its centre, the points span SearchPatternBWidth).
extern double g_AlertSearchPattern[ALERT_PATTERN_POINTS];
// The pattern sampled at the smoothed spectrum's bin spacing.
struct AlertScaledPattern {
  double Values[ALERT_PATTERN_POINTS];
  int32_t Count;      // values in use (0 .. 100)
  double BinWidthHz;  // bin width it was made for; 0 forces a new scaling
  double Mean;        // mean of the used values
};
extern AlertScaledPattern g_AlertScaledPattern;
// Match score 0..100 per bin of the smoothed spectrum.
extern double g_AlertPatternMatch[ALERT_MAX_BINS];
// Per bin: Counter rises while the bin is a local maximum of the match curve, else falls
// (-10 .. 200); Status is shown by the dialog and stays 0. Never cleared.
struct AlertPeakCounter {
  int16_t Counter;
  int16_t Status;
};
extern AlertPeakCounter g_AlertPeakTable[ALERT_MAX_BINS];

// Alarm flags: raised, acknowledged by the user ("Reset Alarm"), value after the previous pass.
extern uint8_t g_AlertActive;
extern uint8_t g_AlertAcknowledged;
extern uint8_t g_AlertPrevious;
extern int32_t g_AlertSirenHz;  // current siren tone, 0 silent
// Set only when starting the command fails ("CreateProcess: " and the system's text); the
// dialog shows and clears it.
extern std::string g_AlertMessage;

// Settings to zeros, then their defaults (ranges A 500..550 Hz, B 645..700 Hz, alert off).
void Alert_SetDefaults();
// Program start: clears the alarm flags, the smoothed spectrum's geometry and the scaling of
// the search pattern.
void Alert_Reset();
// One evaluation of g_AlertInputSpectrum: smoothing, statistics of ranges A and B, pattern
// match over range A, the alarm decision and the command once per alarm. An input with
// NrOfBins outside 4..16,384 or without a positive finite bin width is ignored.
void Alert_ProcessSpectrum();
// One step of the alarm state machine and the siren; the main timer calls it every 200 ms.
void Alert_RingBellTimer();
// Program end: clears the alarm and acknowledged flags and silences the siren.
void Alert_StopAlarm();
// Rebuilds g_AlertSearchPattern from SearchPatternType (type 5 leaves it as it is).
void Alert_CalcSearchPattern();
// Takes a user pattern from the smoothed spectrum around fcHz (SearchPatternBWidth wide).
void Alert_PatternFromSpectrum(double fcHz);

// ---- Inner steps (on the geometry of g_AlertInputSpectrum unless said otherwise) ----
// Bin of a frequency: 0 at or below FirstBinHz (and for a bin width <= 0 or a frequency that
// is not a number), else floor((hz - FirstBinHz) / BinWidthHz), at most NrOfBins - 1.
int32_t Alert_FreqToBin(double hz);
// Frequency of a bin (limited to 0 .. NrOfBins - 1).
double Alert_BinToFreq(int32_t bin);
// Noise, average and peak of n bins (nothing unless 4 <= n <= 16,384).
void Alert_RangeStatistics(const double* bins, int32_t n, AlertRangeResult* r);
void Alert_CalcPercentage(AlertRangeResult* r);
// Samples the pattern at the smoothed bin width; a bandwidth that is not a positive finite
// number gives an empty scaled pattern.
void Alert_ScalePatternToBins();
// Match scores of the smoothed bins first .. last - 1 and the peak table.
void Alert_PatternMatch(int32_t firstBin, int32_t lastBin);
// Starts OsCommandLine when ActionExecOsCommand is set (no shell, no wait).
void Alert_ExecOsCommand();

// ---- Settings file (sections "SPECTRUM_ALERT" and "SPECTRUM_ALERT_PATTERN") ----
// Defaults, the file's values (missing or bad ones keep their defaults), the computed pattern,
// and for a user pattern the 100 stored points. A missing file gives the defaults.
void Alert_LoadSettings(const std::string& fileName);
// Writes every key and the 100 points of the current pattern. Throws EIniFileError
// ("Unable to write to <path>") when the file cannot be written.
void Alert_SaveSettings(const std::string& fileName);
