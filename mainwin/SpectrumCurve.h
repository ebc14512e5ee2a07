#pragma once
// Points of one spectrum-graph curve (peak per pixel), without drawing: the window code joins
// them with its pen. Covers every pixel of the frequency axis, however wide the graph.
#include <cstdint>
#include <vector>

#include "mainwin/DisplayGeometry.h"

struct TCurvePoint {
  int X, Y;
};

struct TCurveParams {
  int Width = 0, Height = 0;  // graph bitmap
  int Orient = ORIENT_HORIZONTAL;
  bool Mirror = false;
  TFreqBinMapping Mapping;    // the curve's bin mapping (CalcFreqBinMapping)
  TAmplScaling Ampl;          // levels of the values (hundredths of a dB for int16 bins)
};

// Exactly one of bins and values is given; count is limited to 32,768. levelOffset is added to
// every value before scaling (for int16 bins: trunc(100 x dB offset), for doubles the dB).
// For every pixel p along the axis (0 .. width - 1, or height - 1 rotated): bin index
// i = trunc(p x bins per pixel + first bin); i < 0 or i >= count skips the pixel, i > count ends
// the curve. The value is the peak of the bins from the previous drawn pixel's index up to i - 1
// (at least the bin at that index; the first drawn pixel takes i itself), starting at -32,767.
// Level pixel = trunc((peak + levelOffset) x scale + offset), not clipped. Horizontal:
// x = p (width - 1 - p mirrored), y = level; rotated: x = level, y = height - 1 - p (p mirrored).
void ComputeSpectrumCurve(const TCurveParams& p, const int16_t* bins, const double* values,
                          int count, double levelOffset, std::vector<TCurvePoint>& out);

// Point of (display frequency, level) for the alert's range markers: x = trunc(N (f - fmin) /
// span + 0.5), span 1 when not above 0, mirrored; y = trunc(level x scale + offset + 0.5);
// rotated the two swap and the frequency counts from the bottom. Clamped into the bitmap; true
// when no clamping was needed.
bool FreqLevelToPoint(const TCurveParams& p, double fmin, double fmax, double f, double level,
                      int* x, int* y);
