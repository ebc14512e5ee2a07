#pragma once
// Window placement in the instance's user settings file, shared by every window that remembers
// where it was: one section per window, "Left", "Top" (and "Width", "Height"), written only
// while the window is in its normal state (not minimised, maximised or full screen), so a
// maximised close keeps the last normal placement. Also the instance suffix of captions and the
// form style numbers of the settings files.
#include <QList>
#include <QMargins>
#include <QRect>
#include <QWidget>
#include <string>

#include "engine/WindowBounds.h"

class IniFile;

// The stored form-style numbers: 0 normal, 3 stay on top.
constexpr int FORM_STYLE_NORMAL = 0;
constexpr int FORM_STYLE_STAY_ON_TOP = 3;

// Reads the bounds from the section; each value defaults to the current one. The values are
// first limited (LimitWindowBounds) so that damaged ones cannot overflow; "Left" and "Top" are
// the frame's corner (title bar included, as the window manager places it); the window is then
// fitted onto the screens (PlaceFrameOnScreens), so a stored place on a monitor that is gone, or
// a first start, never leaves the title bar where it cannot be grabbed.
void ReadFormBounds(QWidget* w, const IniFile& ini, const std::string& section, bool withSize);
// The values stored in the section as they stand (each defaults to the window's current one;
// without withSize the current size): not yet limited, not yet placed.
TWindowBounds ReadStoredFormBounds(const QWidget* w, const IniFile& ini, const std::string& section,
                                   bool withSize);
// Writes them when the window is in its normal state; returns whether it wrote.
bool WriteFormBounds(const QWidget* w, IniFile& ini, const std::string& section, bool withSize);
bool IsNormalWindowState(const QWidget* w);

// Where a window goes: stored.topLeft() is its frame's corner, stored.size() its client size,
// frame the window manager's decoration around the client area, screens the available
// geometry of each screen (task bars excluded), the primary first. A window whose title bar can
// be grabbed (its full height and 100 pixels of its width, or all of a narrower one, on one
// screen) stays where it is; any other is moved (and shrunk when larger than the screen) to lie
// inside the screen it overlaps most, or the primary screen when it overlaps none. Returns the
// frame's corner and the client size in the same form.
QRect PlaceFrameOnScreens(const QRect& stored, const QMargins& frame, const QList<QRect>& screens);
// The available geometry of the application's screens, the primary first.
QList<QRect> AvailableScreenRects();
// The decoration the window manager puts around a top-level window: taken from a shown window
// that has a frame, else a typical title bar and border.
QMargins WindowFrameMargins();
// Moves the window (frame corner at frameTopLeft, client size size) onto the screens; damaged
// values are limited (LimitWindowBounds) first.
void PlaceWindowOnScreens(QWidget* w, QPoint frameTopLeft, QSize size);

// Shows a tool window from its menu item: restores it when minimised, shows it, raises it
// above the others and gives it the focus.
void BringWindowToFront(QWidget* w);

int GetFormStyle(const QWidget* w);
// Sets or clears stay-on-top (keeps the window's visibility).
void SetFormStyle(QWidget* w, int style);
// The "Stay on top" menu command: switches the form style; returns whether it is now on top.
bool ToggleStayOnTop(QWidget* w);

// Appends " [n]" (n = instance index + 1) to the caption when this is not the first instance.
void AppendInstanceSuffix(QWidget* w);
QString InstanceSuffix();
