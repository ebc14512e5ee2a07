#pragma once
// The window-free part of the frequency markers, the frequency-scale pop-up and the mouse
// read-outs: where a marker stands on the scale, the zoom steps of the pop-up, the range drag,
// the history line under the waterfall's cursor and the once-only reporting of failing marker
// commands and expressions. GUI thread only.
//
// Frequencies: display frequencies contain SndConfig.FreqOffset (the scale, the range, the
// pop-up frequency); a marker's freq and the digimode frequency are signal frequencies.
#include <string>

// A marker text (Name, SetProc, GetFunc) counts as empty when its first byte is a blank or a
// control character (1..32) or the terminator; bytes from 128 up are characters.
bool MarkerTextEmpty(const char* text);

// Pixel along the scale's frequency axis (0 .. axisLen) of a marker at the signal frequency
// freq: p = (freq + freqOffset - fmin) x axisLen / (fmax - fmin), 0 when the span is not
// positive, clamped to 0..axisLen (also for values that are not finite), rounded.
int MarkerAxisPixel(double freq, double freqOffset, double fmin, double fmax, int axisLen);

// Centre of a marker image in the scale image's coordinates (scaleW x scaleH pixels) for an
// axis pixel p. Horizontal: x = p (axisLen - p mirrored), y = scaleH / 2; rotated
// (orient 1): y = axisLen - p (p mirrored), x = scaleW / 2.
void MarkerCentre(int pixel, int axisLen, int orient, bool mirror, int scaleW, int scaleH,
                  int* x, int* y);

// One zoom-in step around the pop-up frequency: a tenth of the span (half width at least
// 0.5 Hz), each edge kept within half a step of the current range and within the
// displayable range minDisp..maxDisp.
void ZoomInRange(double popupFreq, double fmin, double fmax, double minDisp, double maxDisp,
                 double* newMin, double* newMax);

// One zoom-out step. *keptMin / *keptMax hold the range remembered by the last zoom in. When
// it does not reach more than one width w = fmax - fmin beyond both edges, it becomes the pop-up
// frequency +- 20 w limited to minDisp..maxDisp; otherwise it stays. Either way it is the
// range to apply.
void ZoomOutRange(double popupFreq, double fmin, double fmax, double minDisp, double maxDisp,
                  double* keptMin, double* keptMax);

// Range while the scale is dragged: the range at the drag's start moved by the mouse's travel
// (travel pixels of an axis of axisLen + 1 pixels, positive towards higher axis pixels, i.e.
// right or up), so that the spectrum follows the mouse (mirror flips the direction). A range
// that would leave minDisp..maxDisp is stopped at the limit with its span unchanged.
void DragFreqRange(double startMin, double startMax, int travel, int axisLen, bool mirror,
                   double minDisp, double maxDisp, double* newMin, double* newMax);

// History slot under the waterfall's cursor: `back` lines before the newest (live view, the
// newest at writeIndex - 1) or before viewBase (a look back with the time scroll bar).
// -1 when back lies outside the ring (negative, or not less than `lines`) or without a
// history.
int WaterfallHistorySlot(int back, int lines, int writeIndex, bool live, int viewBase);

// Once-only reporting of failing marker commands and expressions: a failing command is
// reported once per drag (or once per pop-up or other single setting); a failing expression
// once, until it succeeds or its text changes.
class CFreqMarkerReports {
public:
  // A drag (or a single setting) of marker n begins: its next command failure is reported.
  void BeginCommandRun(int n);
  // Marker n's command failed: true when this failure is to be reported.
  bool CommandFailed(int n);
  // Marker n's expression failed (text as it stands): true when to be reported.
  bool ExpressionFailed(int n, const char* text);
  // Marker n's expression gave a value: a later failure is reported again.
  void ExpressionSucceeded(int n);

private:
  bool m_CommandReported[3] = {false, false, false};
  bool m_ExpressionReported[3] = {false, false, false};
  std::string m_FailedExpression[3];
};
