#include "engine/forms/FormPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include "engine/ProgramInstance.h"
#include "platform/IniFile.h"

void ReadFormBounds(QWidget* w, const IniFile& ini, const std::string& section, bool withSize)
{
  QRect g = w->geometry();
  const int left = ini.ReadInteger(section, "Left", g.x());
  const int top = ini.ReadInteger(section, "Top", g.y());
  int width = g.width(), height = g.height();
  if (withSize) {
    width = ini.ReadInteger(section, "Width", width);
    height = ini.ReadInteger(section, "Height", height);
  }
  // A damaged file must not make the window vanish, explode or overflow: sane sizes, on the
  // available desktop.
  const TWindowBounds b = LimitWindowBounds({left, top, width, height}, AvailableDesktopBounds());
  w->setGeometry(b.Left, b.Top, b.Width, b.Height);
}

TWindowBounds AvailableDesktopBounds()
{
  const QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return {};
  const QRect r = s->availableVirtualGeometry();
  return {r.x(), r.y(), r.width(), r.height()};
}

bool IsNormalWindowState(const QWidget* w)
{
  return (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) ==
         0;
}

bool WriteFormBounds(const QWidget* w, IniFile& ini, const std::string& section, bool withSize)
{
  if (!IsNormalWindowState(w)) return false;
  const QRect g = w->geometry();
  ini.WriteInteger(section, "Left", g.x());
  ini.WriteInteger(section, "Top", g.y());
  if (withSize) {
    ini.WriteInteger(section, "Width", g.width());
    ini.WriteInteger(section, "Height", g.height());
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
  w->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides the window
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
