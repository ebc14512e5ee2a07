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
// Sizes are kept within kMinWindow* .. kMaxWindowExtent and positions on the desktop (or within
// +/- kMaxWindowCoord when it is not known), so that the right and bottom edges fit an int.
constexpr int kMaxWindowExtent = 8000;
constexpr int kMaxWindowCoord = 32000;

// Sizes are raised to the minimums and lowered to kMaxWindowExtent. On a known desktop the
// window is then moved, along each axis, wholly inside the desktop when it fits, else so that
// its left (top) edge lies on the desktop with at least the minimum size of it visible. A
// desktop with a width or height of 0 or less is not known: positions are only limited to
// +/- kMaxWindowCoord.
TWindowBounds LimitWindowBounds(const TWindowBounds& stored, const TWindowBounds& desktop);
