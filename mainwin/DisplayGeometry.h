#pragma once
// Geometry of the main window's displays, without any window code: the displayed frequency
// range and its clamping, the mapping between FFT bins, frequencies and pixels along the
// frequency axis, the mapping between levels and pixels along the amplitude axis, the step of
// the frequency edits' up/down buttons and the arrangement of the three display areas.
//
// Frequencies are display frequencies (they contain SndConfig.FreqOffset) unless said
// otherwise; spectrum records hold signal frequencies. Levels in dB, or in hundredths of a dB
// where the caller passes int16 bins. The spectrum graph, the waterfall, the markers and the
// captures use these mappings and never compute their own.
#include <cstdint>

// Orientation of the frequency axis (SndConfig.SpectrumOrient).
constexpr int ORIENT_HORIZONTAL = 0;  // frequency left to right, waterfall time runs downward
constexpr int ORIENT_ROTATED = 1;     // frequency bottom to top, waterfall time runs to the left

// Bin mapping of one spectrum record onto the frequency axis.
struct TFreqBinMapping {
  double BinWidth = 1.0;      // Hz, at least 0.0001
  double FirstBin = 0.0;      // (fractional) bin index at axis pixel 0
  double BinsPerPixel = 1.0;  // bins per axis pixel
};

// Mapping for a record with bins of binWidth Hz whose bin 0 lies at bin0Freq (a signal
// frequency), shown over fmin..fmax (display frequencies, containing freqOffset) on an axis of
// axisLen + 1 pixels (axisLen = pixels - 1; raised to 1 if below 1). A bin width below 0.0001 Hz
// counts as 0.0001.
TFreqBinMapping CalcFreqBinMapping(double binWidth, double bin0Freq, double fmin, double fmax,
                                   double freqOffset, int axisLen);

// Index of the bin under an axis pixel: trunc(pixel x bins per pixel + first bin), towards 0.
inline int PixelToBinIndex(const TFreqBinMapping& m, int pixel)
{
  return static_cast<int>(pixel * m.BinsPerPixel + m.FirstBin);
}

// Display frequency of the bin under an axis pixel (always the frequency of a bin):
// bin x recordBinWidth + recordBin0 + freqOffset.
double PixelToFrequency(const TFreqBinMapping& m, double recordBinWidth, double recordBin0,
                        double freqOffset, int pixel);

// Frequency under a mouse position on the frequency-scale image of width x height pixels.
// Horizontal: n = width - 1, p = x (n - x mirrored); rotated: n = height - 1, p = n - y
// (y mirrored). Result fmin + p x (fmax - fmin) / n. Positions are not limited to pixel 1023:
// the whole axis of a wide scale maps (n raised to 1 if below 1).
double FreqScaleMousePosToFreq(int x, int y, int width, int height, int orient, bool mirror,
                               double fmin, double fmax);

// Level axis: pixel = level x Scale + Offset, A = pixels - 1 along the level axis.
struct TAmplScaling {
  double A = 0.0;
  double Scale = 0.0;
  double Offset = 0.0;
};

// Scaling for a bitmap of width x height: A = height - 1 (horizontal) or width - 1 (rotated).
// max <= min uses -150 .. +150. Horizontal or style 1: maximum at the top (pixel 0); otherwise
// (rotated, styles 0, 2, 3) the minimum at the left.
TAmplScaling CalcAmplScaling(int width, int height, int orient, int style, double levelMin,
                             double levelMax);

// Level to pixel: p = level x Scale + Offset; p < 0 gives 0 and false; p <= A gives trunc(p)
// and true; p > A gives trunc(p) and false.
bool AmplToPixel(const TAmplScaling& a, double level, int* pixel);

// Pixel to level: false with level 0 when Scale is 0 or the pixel lies outside 0..A; else
// (pixel - Offset) / Scale.
bool PixelToAmpl(const TAmplScaling& a, int pixel, double* level);

// The range the analyser delivers (display frequencies). Real FFT: offset .. offset + rate/2;
// complex FFT: offset + centre -/+ rate/4. rate: effective sample rate of the FFT input.
void DisplayableFreqRange(bool complexFft, double freqOffset, double centre, double rate,
                          double* minFreq, double* maxFreq);

// Range clamping, in this order: fmin <= minimum -> minimum; fmax > maximum -> maximum; then
// fmin >= fmax -> both the full range. True when a value changed.
bool ClampFreqRangeValues(double* fmin, double* fmax, double minFreq, double maxFreq);

// Step of the up/down buttons: the smallest 0.1 x 10^k that is at least a twentieth of
// |fmax - fmin|.
double FreqStepForSpan(double fmin, double fmax);

// New lower edge after a step: edited + step x factor, raised to minFreq, then lowered to
// fmax - 0.5.
double StepLowerEdge(double edited, double step, int factor, double minFreq, double fmax);
// New upper edge after a step: edited + step x factor, raised to fmin + 0.5, then lowered to
// maxFreq.
double StepUpperEdge(double edited, double step, int factor, double fmin, double maxFreq);

// Orders the limits a, b and clamps both values into them.
void ClampPairToRange(int a, int b, int* v1, int* v2);

// ---- Arrangement of the display areas inside the group box Grp_Spectra ----

struct TDisplayRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = false;
};

struct TDisplayLayout {
  bool Valid = false;  // false: the group is smaller than 16 x 16, nothing is arranged
  TDisplayRect Graph, Scale, Waterfall;
};

// Areas for a group of groupW x groupH pixels. style: SndConfig.SpectrumStyleNPos (0 or any
// other value: waterfall only; 1, 2 graph and waterfall; 3 graph only); graphHeight and
// scaleHeight: the stored heights (the graph height is the graph's width when rotated);
// scaleWidth: the rotated scale's width (CalcFreqScaleWidth).
TDisplayLayout ArrangeDisplayRects(int groupW, int groupH, int style, int orient, int graphHeight,
                                   int scaleHeight, int scaleWidth);

// The smallest group, for the same arguments, in which ArrangeDisplayRects places every visible
// area inside the group without overlap, the waterfall (and a graph that fills the rest) at least
// kMinDisplayExtent pixels across and the frequency axis at least kMinDisplayAxis long.
constexpr int kMinDisplayExtent = 32;
constexpr int kMinDisplayAxis = 120;
void MinDisplayGroupSize(int style, int orient, int graphHeight, int scaleHeight, int scaleWidth,
                         int* groupW, int* groupH);
