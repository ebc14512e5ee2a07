#include "engine/forms/FormPlacement.h"

#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <algorithm>

#include "engine/ProgramInstance.h"
#include "platform/IniFile.h"

namespace {

// Far beyond any desktop, yet small enough that frame arithmetic cannot overflow.
constexpr int kCoordinateLimit = 1000000;
// Pixels of the title bar that must lie on a screen for the user to drag the window.
constexpr int kTitleBarGrip = 100;

long long OverlapArea(const QRect& a, const QRect& b)
{
  const QRect i = a.intersected(b);
  return i.isEmpty() ? 0 : static_cast<long long>(i.width()) * i.height();
}

}  // namespace

QRect PlaceFrameOnScreens(const QRect& stored, const QMargins& frame, const QList<QRect>& screens)
{
  const int x = std::clamp(stored.x(), -kCoordinateLimit, kCoordinateLimit);
  const int y = std::clamp(stored.y(), -kCoordinateLimit, kCoordinateLimit);
  // Sizes and margins are sensible here (the callers keep them so); the corner may not be.
  const int frameW = frame.left() + frame.right(), frameH = frame.top() + frame.bottom();
  QRect outer(x, y, std::clamp(stored.width(), 1, kCoordinateLimit) + frameW,
              std::clamp(stored.height(), 1, kCoordinateLimit) + frameH);
  if (screens.isEmpty()) return QRect(outer.topLeft(), outer.size().shrunkBy(frame));
  // The place stands while the title bar can be grabbed: its whole height and a good piece of
  // its width (all of it when narrow) on one screen.
  const QRect titleBar(outer.x(), outer.y(), outer.width(), std::max(frame.top(), 1));
  const int grip = std::min(kTitleBarGrip, titleBar.width());
  for (const QRect& s : screens) {
    const QRect onScreen = titleBar.intersected(s);
    if (onScreen.height() == titleBar.height() && onScreen.width() >= grip)
      return QRect(outer.topLeft(), outer.size().shrunkBy(frame));
  }
  QRect target = screens.first();
  long long best = 0;
  for (const QRect& s : screens) {
    const long long area = OverlapArea(outer, s);
    if (area > best) {
      best = area;
      target = s;
    }
  }
  outer.setSize(outer.size().boundedTo(target.size()));
  outer.moveLeft(std::clamp(outer.x(), target.x(), target.x() + target.width() - outer.width()));
  outer.moveTop(std::clamp(outer.y(), target.y(), target.y() + target.height() - outer.height()));
  return QRect(outer.topLeft(), outer.size().shrunkBy(frame));
}

QList<QRect> AvailableScreenRects()
{
  QList<QRect> rects;
  if (QScreen* primary = QGuiApplication::primaryScreen()) rects << primary->availableGeometry();
  for (QScreen* s : QGuiApplication::screens())
    if (s != QGuiApplication::primaryScreen()) rects << s->availableGeometry();
  return rects;
}

QMargins WindowFrameMargins()
{
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    const QRect outer = w->frameGeometry(), inner = w->geometry();
    if (outer != inner && outer.contains(inner))
      return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                      outer.right() - inner.right(), outer.bottom() - inner.bottom());
  }
  // Nothing shown yet (the first window of the run): a common title bar and border.
  return QMargins(4, 28, 4, 4);
}

void PlaceWindowOnScreens(QWidget* w, QPoint frameTopLeft, QSize size)
{
  // Limited first: a QRect of a corner near the integer limits could not hold its far edge.
  const TWindowBounds b = LimitWindowBounds(
      {frameTopLeft.x(), frameTopLeft.y(), size.width(), size.height()}, TWindowBounds{});
  // Never below what the window's layout needs when it is shown. A window that grows after its
  // native window exists, before the window manager has framed it, is placed by its client area
  // on X11: one border left and one title bar up, at every start. So the minimum is taken as the
  // show will find it: with the style's sizes (a window is polished when first shown) and with
  // every inner layout brought up to date, innermost first (a hidden widget's layout defers
  // that to its show, so a minimum raised inside it would not yet have reached the window's).
  w->ensurePolished();
  const QList<QWidget*> inner = w->findChildren<QWidget*>();  // parents before their children
  for (auto it = inner.crbegin(); it != inner.crend(); ++it)
    if (!(*it)->isWindow() && (*it)->layout()) (*it)->layout()->activate();
  if (QLayout* layout = w->layout()) layout->activate();
  const QSize wanted =
      QSize(b.Width, b.Height).expandedTo(w->minimumSizeHint()).expandedTo(w->minimumSize());
  const QRect placed = PlaceFrameOnScreens(QRect(QPoint(b.Left, b.Top), wanted),
                                           WindowFrameMargins(), AvailableScreenRects());
  w->resize(placed.size());
  // A top-level window's move() places its frame, not its client area.
  w->move(placed.topLeft());
}

TWindowBounds ReadStoredFormBounds(const QWidget* w, const IniFile& ini, const std::string& section,
                                   bool withSize)
{
  const QPoint at = w->pos();
  TWindowBounds b{ini.ReadInteger(section, "Left", at.x()), ini.ReadInteger(section, "Top", at.y()),
                  w->width(), w->height()};
  if (withSize) {
    b.Width = ini.ReadInteger(section, "Width", b.Width);
    b.Height = ini.ReadInteger(section, "Height", b.Height);
  }
  return b;
}

void ReadFormBounds(QWidget* w, const IniFile& ini, const std::string& section, bool withSize)
{
  // A damaged file must not make the window vanish, explode or overflow: the placement limits
  // the values before it fits the window onto the screens.
  const TWindowBounds b = ReadStoredFormBounds(w, ini, section, withSize);
  PlaceWindowOnScreens(w, QPoint(b.Left, b.Top), QSize(b.Width, b.Height));
}

void BringWindowToFront(QWidget* w)
{
  if (!w) return;
  if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  w->show();
  w->raise();
  w->activateWindow();
}

bool IsNormalWindowState(const QWidget* w)
{
  return (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) ==
         0;
}

bool WriteFormBounds(const QWidget* w, IniFile& ini, const std::string& section, bool withSize)
{
  if (!IsNormalWindowState(w)) return false;
  // The frame's corner, as ReadFormBounds places it.
  const QPoint at = w->pos();
  ini.WriteInteger(section, "Left", at.x());
  ini.WriteInteger(section, "Top", at.y());
  if (withSize) {
    ini.WriteInteger(section, "Width", w->width());
    ini.WriteInteger(section, "Height", w->height());
  }
  return true;
}

int GetFormStyle(const QWidget* w)
{
  return (w->windowFlags() & Qt::WindowStaysOnTopHint) ? FORM_STYLE_STAY_ON_TOP
                                                       : FORM_STYLE_NORMAL;
}

void SetFormStyle(QWidget* w, int style)
{
  const bool onTop = style == FORM_STYLE_STAY_ON_TOP;
  if (onTop == (GetFormStyle(w) == FORM_STYLE_STAY_ON_TOP)) return;
  const bool visible = w->isVisible();
  const QPoint at = w->pos();  // the frame's corner; new flags would lose it
  w->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides the window
  w->move(at);
  if (visible) w->show();
}

bool ToggleStayOnTop(QWidget* w)
{
  const bool onTop = GetFormStyle(w) != FORM_STYLE_STAY_ON_TOP;
  SetFormStyle(w, onTop ? FORM_STYLE_STAY_ON_TOP : FORM_STYLE_NORMAL);
  return onTop;
}

QString InstanceSuffix()
{
  return g_InstanceIndex != 0 ? QString(" [%1]").arg(g_InstanceIndex + 1) : QString();
}

void AppendInstanceSuffix(QWidget* w) { w->setWindowTitle(w->windowTitle() + InstanceSuffix()); }
