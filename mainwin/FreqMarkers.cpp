#include "mainwin/FreqMarkers.h"

#include <algorithm>
#include <cmath>

bool MarkerTextEmpty(const char* text)
{
  return !text || static_cast<unsigned char>(text[0]) <= 32;
}

int MarkerAxisPixel(double freq, double freqOffset, double fmin, double fmax, int axisLen)
{
  const int n = std::max(axisLen, 0);
  const double span = fmax - fmin;
  double p = 0.0;
  if (span > 0) p = (freq + freqOffset - fmin) * n / span;
  if (std::isnan(p)) p = 0.0;
  p = std::clamp(p, 0.0, static_cast<double>(n));
  return static_cast<int>(p + 0.5);
}

void MarkerCentre(int pixel, int axisLen, int orient, bool mirror, int scaleW, int scaleH,
                  int* x, int* y)
{
  if (orient == 1) {
    *y = mirror ? pixel : axisLen - pixel;
    *x = scaleW / 2;
  } else {
    *x = mirror ? axisLen - pixel : pixel;
    *y = scaleH / 2;
  }
}

void ZoomInRange(double popupFreq, double fmin, double fmax, double minDisp, double maxDisp,
                 double* newMin, double* newMax)
{
  const double half = std::max(0.05 * (fmax - fmin), 0.5);
  *newMin = std::max({popupFreq - half, fmin - half, minDisp});
  *newMax = std::min({popupFreq + half, fmax + half, maxDisp});
}

void ZoomOutRange(double popupFreq, double fmin, double fmax, double minDisp, double maxDisp,
                  double* keptMin, double* keptMax)
{
  const double w = fmax - fmin;
  if (fmin - w <= *keptMin || *keptMax <= fmax + w) {
    *keptMin = std::max(popupFreq - 20.0 * w, minDisp);
    *keptMax = std::min(popupFreq + 20.0 * w, maxDisp);
  }
}

void DragFreqRange(double startMin, double startMax, int travel, int axisLen, bool mirror,
                   double minDisp, double maxDisp, double* newMin, double* newMax)
{
  const int n = std::max(axisLen, 1);
  double shift = (startMax - startMin) * travel / n;
  if (mirror) shift = -shift;
  double lo = startMin - shift, hi = startMax - shift;
  if (lo < minDisp) {
    hi += minDisp - lo;
    lo = minDisp;
  }
  if (hi > maxDisp) {
    lo -= hi - maxDisp;
    hi = maxDisp;
  }
  *newMin = lo;
  *newMax = hi;
}

int WaterfallHistorySlot(int back, int lines, int writeIndex, bool live, int viewBase)
{
  if (lines <= 0 || back < 0 || back >= lines) return -1;
  int k = (live ? writeIndex - 1 : viewBase) - back;
  k %= lines;
  if (k < 0) k += lines;
  return k;
}

void CFreqMarkerReports::BeginCommandRun(int n)
{
  if (n >= 0 && n < 3) m_CommandReported[n] = false;
}

bool CFreqMarkerReports::CommandFailed(int n)
{
  if (n < 0 || n >= 3 || m_CommandReported[n]) return false;
  m_CommandReported[n] = true;
  return true;
}

bool CFreqMarkerReports::ExpressionFailed(int n, const char* text)
{
  if (n < 0 || n >= 3) return false;
  const std::string t = text ? text : "";
  if (m_ExpressionReported[n] && m_FailedExpression[n] == t) return false;
  m_ExpressionReported[n] = true;
  m_FailedExpression[n] = t;
  return true;
}

void CFreqMarkerReports::ExpressionSucceeded(int n)
{
  if (n >= 0 && n < 3) m_ExpressionReported[n] = false;
}
