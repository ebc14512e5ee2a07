#pragma once
// Level conversions, unit symbols and the operating system's error texts.

// 20 x log10(x) for x > 0; -100 for 0, negative values and values that are not numbers.
double AmplitudeToDb(double x);

// 10 ^ (0.05 x dB): 20 dB per decade of amplitude.
double DbToLinear(double db);
// Ticks of a timer with the given interval (ms, >= 1) after which a typed value is applied:
// about 3 s after the last keystroke, rounded (6 ticks at 500 ms, 30 at 100 ms).
int DelayedEditTicks(int timerIntervalMs);

// 1 "V", 2 "W", 3 the degree sign (UTF-8), 4 "dB", any other number "?".
const char* UnitSymbolToString(int unit);

// The system's text for an errno value in the user's language, at most 99 characters, in a
// buffer of the calling thread that its next call overwrites; "" for a code without a text.
const char* GetWinErrorText(int code);
