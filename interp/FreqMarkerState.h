#pragma once
// State of one of the main window's three frequency markers. The interpreter module holds
// the storage (g_FreqMarkers, cleared by CLI_Init); the main window fills and reads it.

struct FreqMarkerState {
  double freq;     // Hz, the marker's current frequency (signal frequency, without FreqOffset)
  double freqNew;  // Hz, where the marker should move to (expression result, menu, end of drag)
  bool dragging;   // set while the mouse drags the marker; its expression is not evaluated then
  bool changed;    // the marker image must be re-placed
};

constexpr int CLI_NR_FREQ_MARKERS = 3;
extern FreqMarkerState g_FreqMarkers[CLI_NR_FREQ_MARKERS];
