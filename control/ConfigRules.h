#pragma once
// The rules of the configuration dialog that need no window: how intervals are shown with a
// unit and read back, the FFT size limits, the three rate texts of the FFT page and the
// sample-rate calibration. GUI thread only (pure functions, no state).
#include <string>

// --- Intervals shown with a unit ---
// A waterfall time-grid interval in seconds is shown in minutes when it is a whole number of
// minutes (0 included), else in seconds; so the shown value times its unit is always the
// interval itself, and reading an untouched control back gives the same interval.
struct TShownInterval {
  int value;  // the number in the edit
  int unit;   // multiplier of the checked unit button (1, 60 / 1, 1,000, 60,000)
};
TShownInterval TimeGridToControls(int seconds);
// The waterfall scroll interval in milliseconds: minutes when a whole number of minutes, else
// seconds when a whole number of seconds, else milliseconds.
TShownInterval ScrollIntervalToControls(int milliseconds);
// value x unit, or false when the product leaves the int range.
bool IntervalFromControls(int value, int unit, int* result);

// --- FFT size ---
constexpr int kConfigFftMinSize = 256;
constexpr int kConfigFftMaxSize = 65536;         // real FFT
constexpr int kConfigFftMaxComplexSize = 32768;  // complex FFT
// The size limited to 256 .. 65,536 (32,768 for a complex FFT) and rounded down to a power
// of two; corrected tells whether it changed.
int LimitFftSize(int size, bool complex, bool* corrected);

// --- Rate information of the FFT page ---
struct TRateInfoInput {
  double sampleRate;     // nominal input rate (Hz)
  int inputDivisor;      // input sample-rate divisor
  int fftRateDivisor;    // FFT rate divisor
  int fftSize;           // N
  bool complex;          // complex FFT
  double centreFreq;     // ring 0's mixer centre + the display offset (Hz), complex FFT only
  bool antiAlias = false;  // the FFT input's anti-alias stages (SndConfig.FftInputAntiAlias)
};
struct TRateInfoTexts {
  std::string inputInfo;   // "input rate w/o decimation = ... Hz", empty when the divisor <= 0
  std::string resolution;  // bin width, "00.0000 Hz"
  std::string band;        // "low Hz .. high Hz", each "0000.00 Hz"
};
TRateInfoTexts CalcRateInfo(const TRateInfoInput& in);

// --- Sample-rate calibration ---
// The correction ratio correct / displayed from a measured and a known frequency (Hz, both
// with the display offset, which is taken off when the value is at least the offset); 0 when
// either is not above 0 or the ratio is outside 0.9 .. 1.1.
double CalibrationRatio(double displayed, double correct, double freqOffset);
// A calibrated rate for the nominal rate: kept when within nominal / 10 (integer division) of
// it, else the nominal rate with corrected set.
double CheckCalibratedRate(double value, int nominal, bool* corrected);
