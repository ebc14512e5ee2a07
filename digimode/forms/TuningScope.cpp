#include "digimode/forms/TuningScope.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <optional>

#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/SndConfig.h"

namespace {

constexpr double kTwoPi = 6.28318530717958647692;
constexpr double kOneOverPi = 0.31831927;  // scale of mode 4 with kind 5: +-pi/2 spans the height
constexpr double kPhaseEpsilon = 1e-10;      // below this |a + b| the phase counts as 0

// Largest step between the two entries of a symbol pair that can still form one pair: ten
// times the number of entries. A longer step ends the pairing at once, like this one does.
constexpr int kMaxPairStep = 10 * kTuningScopeEntries;

// Drawing state of one scope picture (width and height at least 1): size, scale, pen position
// and whether any line was drawn.
class CScopePlot {
public:
  CScopePlot(QPainter& painter, int width, int height, double peak)
      : m_painter(painter), m_w(width), m_h(height), m_peak(peak)
  {
  }

  int W() const { return m_w; }
  int H() const { return m_h; }
  int CX() const { return m_w / 2; }
  int CY() const { return m_h / 2; }
  double Peak() const { return m_peak; }
  bool Drawn() const { return m_drawn; }

  // Pixel coordinate of a computed point, clamped to the image; none when it is not finite.
  static std::optional<int> Pixel(double v, int size)
  {
    if (!std::isfinite(v)) return std::nullopt;
    const double c = std::clamp(v, 0.0, static_cast<double>(size - 1));
    return static_cast<int>(std::lround(c));
  }
  std::optional<QPoint> Point(double x, double y) const
  {
    const std::optional<int> px = Pixel(x, m_w);
    const std::optional<int> py = Pixel(y, m_h);
    if (!px || !py) return std::nullopt;
    return QPoint(*px, *py);
  }

  void MoveTo(QPoint p) { m_pos = p; }
  void LineTo(QPoint p)
  {
    m_painter.drawLine(m_pos, p);
    m_pos = p;
    m_drawn = true;
  }
  // Joins a point to the previous one; the first point of a trace is only a move.
  void TracePoint(QPoint p, bool& first)
  {
    if (first) {
      MoveTo(p);
      first = false;
    } else {
      LineTo(p);
    }
  }
  void LineFromCentre(QPoint p)
  {
    MoveTo(QPoint(CX(), CY()));
    LineTo(p);
  }

private:
  QPainter& m_painter;
  int m_w;
  int m_h;
  double m_peak;
  QPoint m_pos{0, 0};
  bool m_drawn = false;
};

bool EntryFinite(const double* e) { return std::isfinite(e[0]) && std::isfinite(e[1]); }

// Largest of 1.0 and every finite first and second value of the entries in use.
double ScopePeak(const T_TuningScopeBuffer& buf, int count)
{
  double peak = 1.0;
  for (int i = 0; i < count; ++i) {
    const double* e = buf.Entry[i];
    if (!EntryFinite(e)) continue;
    peak = std::max({peak, e[0], e[1]});
  }
  return peak;
}

// Step between the two entries of a symbol pair, in tenths of an entry: ten times the scope
// samples per symbol, truncated, and at least 1 so that the pairing always moves on.
int PairStep(double scopeRate, double symbolRate)
{
  if (!(symbolRate > 0.01)) return 1;
  const double step = std::trunc(10.0 * scopeRate / symbolRate);
  if (!(step >= 1.0)) return 1;  // also NaN
  return step > kMaxPairStep ? kMaxPairStep : static_cast<int>(step);
}

// Calls f(k, dot, cross) for each pair of finite entries one symbol apart; k is ten times the
// index of the earlier entry.
template <typename F>
void ForEachSymbolPair(const T_TuningScopeBuffer& buf, int count, int step, F f)
{
  for (int j = step, k = 0; 10 * count > j; j += step, k += step) {
    const int p = j / 10;
    const int q = k / 10;
    if (p >= count) break;
    const double* ep = buf.Entry[p];
    const double* eq = buf.Entry[q];
    if (!EntryFinite(ep) || !EntryFinite(eq)) continue;
    const double dot = eq[0] * ep[0] + eq[1] * ep[1];
    const double cross = eq[1] * ep[0] - eq[0] * ep[1];
    f(k, dot, cross);
  }
}

// Mode 1: mark filter output against space filter output, joined points.
void DrawXY(CScopePlot& plot, const T_TuningScopeBuffer& buf, int count)
{
  const double sx = (plot.W() - 1) / (2.0 * plot.Peak());
  const double sy = (plot.H() - 1) / (2.0 * plot.Peak());
  bool first = true;
  for (int i = 0; i < count; ++i) {
    const double* e = buf.Entry[i];
    if (!EntryFinite(e)) continue;
    const std::optional<QPoint> p = plot.Point(plot.CX() + e[0] * sx, plot.CY() - e[1] * sy);
    if (p) plot.TracePoint(*p, first);
  }
}

// Mode 2: both value series over time, the first in the upper half, the second in the lower.
void DrawOverTime(CScopePlot& plot, const T_TuningScopeBuffer& buf, int count, double fs,
                  double symbolRate)
{
  const double perPixel = 10.0 * (plot.W() - 1) * symbolRate / fs;
  const double step = perPixel > 0.0 ? 1.0 / perPixel : perPixel;
  const double vs = (plot.H() - 1) / (4.0 * plot.Peak());
  for (int trace = 0; trace < 2; ++trace) {
    const double base = (trace == 0 ? 0.25 : 0.75) * (plot.H() - 1);
    bool first = true;
    for (int i = 0; i < count; ++i) {
      const std::optional<int> x = CScopePlot::Pixel(i * step, plot.W());
      if (!x || *x >= plot.W() - 1) break;  // a step that is not finite gives no time axis
      const double* e = buf.Entry[i];
      if (!EntryFinite(e)) continue;
      const std::optional<QPoint> p = plot.Point(*x, base - e[trace] * vs);
      if (p) plot.TracePoint(*p, first);
    }
  }
}

// Mode 3 with kind 5: one vector from the centre per entry.
void DrawPhaseVectors(CScopePlot& plot, const T_TuningScopeBuffer& buf, int count)
{
  const double sx = (plot.W() - 1) / (2.0 * plot.Peak());
  const double sy = (plot.H() - 1) / (2.0 * plot.Peak());
  for (int i = 0; i < count; ++i) {
    const double* e = buf.Entry[i];
    if (!EntryFinite(e)) continue;
    const std::optional<QPoint> p = plot.Point(plot.CX() + e[1] * sx, plot.CY() - e[0] * sy);
    if (p) plot.LineFromCentre(*p);
  }
}

// Mode 3 with kind 6: one vector per symbol pair, the phase change turned upright.
void DrawPairVectors(CScopePlot& plot, const T_TuningScopeBuffer& buf, int count, int step)
{
  const double sx = (plot.W() - 1) / (2.0 * plot.Peak());
  const double sy = (plot.H() - 1) / (2.0 * plot.Peak());
  ForEachSymbolPair(buf, count, step, [&](int, double dot, double cross) {
    const std::optional<QPoint> p = plot.Point(plot.CX() + cross * sx, plot.CY() - dot * sy);
    if (p) plot.LineFromCentre(*p);
  });
}

// Mode 4 with kind 5: phase of each entry over time, one pixel per entry.
void DrawPhaseOverTime(CScopePlot& plot, const T_TuningScopeBuffer& buf, int count)
{
  const double sy = (plot.H() - 1) * kOneOverPi;
  bool first = true;
  for (int i = 0; i < count && i < plot.W() - 1; ++i) {
    const double* e = buf.Entry[i];
    if (!EntryFinite(e)) continue;
    const double phi = std::fabs(e[0] + e[1]) >= kPhaseEpsilon ? std::atan2(e[1], e[0]) : 0.0;
    const std::optional<QPoint> p = plot.Point(i, plot.CY() - phi * sy);
    if (p) plot.TracePoint(*p, first);
  }
}

// Mode 4 with kind 6: phase change between symbols over time, 0..2pi upward from the bottom.
void DrawPairPhaseOverTime(CScopePlot& plot, const T_TuningScopeBuffer& buf, int count, int step)
{
  const double sx = (plot.W() - 1) / (10.0 * count);
  const double sy = (plot.H() - 1) * 0.1;
  bool first = true;
  bool ended = false;
  ForEachSymbolPair(buf, count, step, [&](int k, double dot, double cross) {
    if (ended) return;
    double phi = std::fabs(dot + cross) >= kPhaseEpsilon ? std::atan2(cross, dot) : 0.0;
    if (phi < 0.0) phi += kTwoPi;
    const std::optional<QPoint> p = plot.Point(k * sx, (plot.H() - 1) - phi * sy);
    if (!p) return;
    if (p->x() >= plot.W() - 1) {
      ended = true;
      return;
    }
    plot.TracePoint(*p, first);
  });
}

}  // namespace

bool DrawTuningScopeImage(QImage& target, int& updateCount)
{
  T_TuningScopeBuffer& buf = g_TuningScopeBuffer;

  // Take the buffer: only a filled one that holds at least the display length.
  int32_t kind = buf.Kind.load(std::memory_order_acquire);
  do {
    if (kind < 3) return false;
    if (buf.FillCount.load(std::memory_order_acquire) < buf.DisplayLength.load()) return false;
  } while (!buf.Kind.compare_exchange_weak(kind, 2, std::memory_order_acq_rel));
  buf.Flag.store(0);
  ++updateCount;

  const int count = std::clamp<int32_t>(buf.FillCount.load(std::memory_order_acquire), 0,
                                        kTuningScopeEntries);
  const int w = target.width();
  const int h = target.height();
  int fs = SndConfig.SampleRate;
  if (fs <= 10) fs = 11025;
  const int scopeMode = DigimodeSettings.ScopeMode;
  const double symbolRate = DigimodeSettings.symbol_rate;

  // The picture is drawn on a work image of the target's size, then copied over the target.
  QImage work(w, h, QImage::Format_RGB32);
  int displayLength = buf.DisplayLength.load();
  if (!work.isNull()) {
    work.fill(Qt::black);
    QPainter painter(&work);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(0, 255, 0), 0));
    CScopePlot plot(painter, w, h, ScopePeak(buf, count));
    if (scopeMode == 1 && kind == 4) {
      DrawXY(plot, buf, count);
      displayLength = 256;
    } else if (scopeMode == 2 && kind == 3) {
      DrawOverTime(plot, buf, count, fs, symbolRate);
      displayLength = 256;
    } else if (scopeMode == 3 && kind == 5) {
      DrawPhaseVectors(plot, buf, count);
      displayLength = 10;
    } else if (scopeMode == 3 && kind == 6) {
      DrawPairVectors(plot, buf, count, PairStep(buf.SampleRate.load(), symbolRate));
      displayLength = 10;
    } else if (scopeMode == 4 && kind == 5) {
      DrawPhaseOverTime(plot, buf, count);
      displayLength = w - 2;
    } else if (scopeMode == 4 && kind == 6) {
      DrawPairPhaseOverTime(plot, buf, count, PairStep(buf.SampleRate.load(), symbolRate));
      displayLength = w - 2;
    }
    // The text takes the pen's colour: on the black image it must not be black.
    if (!plot.Drawn()) painter.drawText(2, 2 + painter.fontMetrics().ascent(), "no data ?");
  }

  // Hand the buffer back to the producers.
  if (displayLength >= kTuningScopeEntries) displayLength = kTuningScopeEntries - 1;
  buf.DisplayLength.store(displayLength);
  buf.FillCount.store(0, std::memory_order_release);
  buf.Kind.store(1, std::memory_order_release);

  if (!work.isNull()) {
    const QImage::Format f = target.format();
    if (f == QImage::Format_Indexed8 || f == QImage::Format_Mono || f == QImage::Format_MonoLSB) {
      target = work;  // no painter draws on these formats
    } else {
      QPainter copy(&target);
      copy.setCompositionMode(QPainter::CompositionMode_Source);
      copy.drawImage(0, 0, work);
    }
  }
  updateCount = std::max(0, updateCount - 1);
  return true;
}
