#pragma once
// The ranges that the configuration dialog allows for settings whose values enter integer
// arithmetic of the displays and the analysis. The dialog enforces them on Apply and the
// settings loader applies them to what it reads, so a hand-edited or damaged file cannot give
// a value the program itself would never store.

// FFT input decimation (the dialog offers products of powers of 2 and 3 from 1 to 6,561).
constexpr int kMinRateDivisor = 1;
constexpr int kMaxRateDivisor = 6561;
// Input sample-rate divisor (the dialog offers 1, 2, 4 and 8).
constexpr int kMinSampleRateDivisor = 1;
constexpr int kMaxSampleRateDivisor = 8;
// Waterfall line interval in milliseconds (no upper limit but the int range).
constexpr int kMinWaterScrollTime = 5;

// Displayed level range in dB.
constexpr double kAmplRangeLimit = 150.0;   // -150 .. +150 dB
constexpr double kMinAmplSpan = 0.1;        // narrower ranges are degenerate
constexpr double kFallbackAmplMin = -90.0;  // taken when the range is unusable
constexpr double kFallbackAmplMax = 10.0;

// Limits a level range: each end is clamped into -150 .. +150 dB (the flags tell which was),
// and a range that is then not at least 0.1 dB wide (also one with a NaN) becomes -90 .. 10 dB.
// Returns whether anything changed.
bool LimitAmplitudeRange(double* amplMin, double* amplMax, bool* minClamped = nullptr,
                         bool* maxClamped = nullptr);
