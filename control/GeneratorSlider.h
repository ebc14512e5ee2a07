#pragma once
// Linear mapping between an oscillator frequency and the position of a frequency slider of the
// generator window. The slider runs from position 0 (fmin) to maxPos (fmax); with the maximum
// at 10 x fmax one step is 0.1 Hz when fmin is 0. Frequencies in Hz. Qt-free.

// Position of freq: 0 for an empty or inverted range (fmax <= fmin) and for a frequency that is
// not a number; limited to 0 .. maxPos; truncated toward zero.
int FreqToSliderPos(double freq, double fmin, double fmax, int maxPos);

// Frequency of a position: (fmax - fmin) x pos / maxPos + fmin, with maxPos taken as at least 1.
double SliderPosToFreq(int pos, double fmin, double fmax, int maxPos);

// The slider maximum for the range's upper end: 10 x fmax truncated, limited to 0 .. 2^30.
int SliderMaxForRange(double fmax);
