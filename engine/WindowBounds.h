#pragma once
// Window bounds read from a settings file, made safe before any window uses them: a damaged or
// hand-edited "Left", "Top", "Width" or "Height" (near the int limits, negative sizes) must not
// overflow the window system's rectangle arithmetic or leave a window off the desktop or a few
// pixels tall. Pure arithmetic, no window code.

struct TWindowBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

constexpr int kMinWindowWidth = 50;
constexpr int kMinWindowHeight = 30;
// Limits when the desktop is not known: sizes up to this, positions within +/- kMaxWindowCoord.
constexpr int kMaxWindowExtent = 8000;
constexpr int kMaxWindowCoord = 32000;

// Sizes are raised to the minimums and lowered to the desktop's size; the position is then
// moved so that the window lies inside the desktop. A desktop with a width or height of 0 or
// less is not known: sizes are limited to kMaxWindowExtent and positions to
// +/- kMaxWindowCoord, so that the right and bottom edges still fit an int.
TWindowBounds LimitWindowBounds(const TWindowBounds& stored, const TWindowBounds& desktop);
