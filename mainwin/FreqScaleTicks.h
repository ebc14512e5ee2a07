#pragma once
// Ticks, grid lines and labels of the frequency scale and of the amplitude (dB) scale strip,
// computed without drawing: the window code paints the lines and texts these functions return.
// The same frequency ticks serve as the grid of the spectrum graph and of the waterfall.
#include <functional>
#include <string>
#include <vector>

// Tick step and label step (Hz) for d, the frequency covered by 20 pixels: the first row of
// the table 2000, 1000, 500, 200, 100, 50, 20, 10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05 that d exceeds
// gives s = that threshold and L from 10000, 5000, 2000, 1000, 500, 200, 100, 50, 20, 10, 5, 2,
// 1, 0.5, 0.2; below all of them s = 0.02, L = 0.1.
void FreqTickSteps(double d, double* tickStep, double* labelStep);

struct TFreqTick {
  int Pos = 0;        // pixel along the axis (0 .. N - 1), mirrored already
  double Freq = 0.0;  // display frequency, Hz
  bool Label = false; // a label tick: |f/L - floor(f/L + 0.5)| < 0.001
};

// Ticks of fmin..fmax on an axis of N + 1 pixels (N raised to 20 if below): every multiple of
// the tick step from fmin - fmod(fmin, s) while f <= fmax, at trunc(N (f - fmin) / span)
// (trunc(N - N (f - fmin) / span) mirrored), only 0 <= pos < N. span at least 0.1. In ascending
// frequency order. Returns N; *tickStep and *labelStep get the steps when not null.
int ComputeFreqTicks(double fmin, double fmax, int axisLen, bool mirror,
                     std::vector<TFreqTick>& ticks, double* tickStep = nullptr,
                     double* labelStep = nullptr);

// Label text: |f| formatted "###0.0" when the label step is below 1, else "###0".
std::string FreqLabelText(double f, double labelStep);

struct TScaleLine {
  int X0, Y0, X1, Y1;  // inclusive end points of a horizontal or vertical line
};
struct TScaleText {
  int X, Y;  // top left of the text
  std::string Text;
};

struct TFreqScaleParams {
  int Width = 0, Height = 0;  // bitmap size
  int Orient = 0;             // ORIENT_HORIZONTAL or ORIENT_ROTATED
  bool Mirror = false;
  double FreqMin = 0, FreqMax = 0;
  bool Overlay = false;       // grid over another picture: only label ticks, no background
  bool Labels = false;
  int FirstLine = -1;         // >= 0: tick ends clamped into FirstLine..LastLine; -2 no lines
  int LastLine = -1;
  bool TimeGrid = false;      // SndConfig.WaterTimeGrid: overlay labels leave room at the left
  int TextHeight = 12;
  std::function<int(const std::string&)> TextWidth;  // pixels of a text in the scale font
};

struct TFreqScaleDrawing {
  int AxisLen = 20;  // N
  double TickStep = 0, LabelStep = 0;
  std::vector<TFreqTick> Ticks;
  std::vector<TScaleLine> Lines;
  std::vector<TScaleText> Texts;
};

// Everything DrawFrequencyScale paints for the given bitmap and range (the caller clamps the
// range first). Horizontal: with labels, label ticks from y = 0 and others from y = 8 down to
// height - 1 - text height; without labels 0 .. height - 1. Rotated (pos counted from the bottom,
// from the top mirrored): with labels other ticks x = 4 .. width - 5, label ticks 0 .. width - 1;
// without labels 0 .. width - 1. Labels as described at TScaleText placement in the .cpp.
void BuildFreqScale(const TFreqScaleParams& p, TFreqScaleDrawing& out);

// The dB scale strip under the colour bar: nothing (false) when narrower than 21 pixels or
// amplMax <= amplMin. For every level -160..160 in steps of 10 with x = trunc((level - amplMin)
// W / (amplMax - amplMin)), W = width - 1, inside 0..width - 1: a tick from the top to the text
// band (top height - 14); a label (integer, centred on x at the band's top) when x lies beyond
// the end of the previous one (initially 10), which lengthens the tick by 3 into the band; the
// end becomes x + text width + 4.
bool BuildAmplitudeScale(int width, int height, double amplMin, double amplMax,
                         const std::function<int(const std::string&)>& textWidth,
                         std::vector<TScaleLine>& lines, std::vector<TScaleText>& texts);
