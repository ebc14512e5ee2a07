#pragma once
// Window placement in the instance's user settings file, shared by every window that remembers
// where it was: one section per window, "Left", "Top" (and "Width", "Height"), written only
// while the window is in its normal state (not minimised, maximised or full screen), so a
// maximised close keeps the last normal placement. Also the instance suffix of captions and the
// form style numbers of the settings files.
#include <QWidget>
#include <string>

#include "engine/WindowBounds.h"

class IniFile;

// The stored form-style numbers: 0 normal, 3 stay on top.
constexpr int FORM_STYLE_NORMAL = 0;
constexpr int FORM_STYLE_STAY_ON_TOP = 3;

// Reads the bounds from the section; each value defaults to the current one. The values are
// limited (LimitWindowBounds) to the available desktop before they reach the window.
void ReadFormBounds(QWidget* w, const IniFile& ini, const std::string& section, bool withSize);
// Writes them when the window is in its normal state; returns whether it wrote.
bool WriteFormBounds(const QWidget* w, IniFile& ini, const std::string& section, bool withSize);
bool IsNormalWindowState(const QWidget* w);
// The available area of the whole desktop (all screens); empty when there is no screen.
TWindowBounds AvailableDesktopBounds();

int GetFormStyle(const QWidget* w);
// Sets or clears stay-on-top (keeps the window's visibility).
void SetFormStyle(QWidget* w, int style);
// The "Stay on top" menu command: switches the form style; returns whether it is now on top.
bool ToggleStayOnTop(QWidget* w);

// Appends " [n]" (n = instance index + 1) to the caption when this is not the first instance.
void AppendInstanceSuffix(QWidget* w);
QString InstanceSuffix();
