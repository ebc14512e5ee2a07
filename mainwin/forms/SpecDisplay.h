#pragma once
// State of the main window's spectrum displays (frequency scale, spectrum graph, waterfall),
// a member of TSndMainForm. The drawing code is in SpecDisplay_Layout.cpp (range, scales,
// layout), SpecDisplay_Waterfall.cpp and SpecDisplay_Graph.cpp; the mappings themselves are
// the window-free functions of mainwin/DisplayGeometry.h. GUI thread only.
#include <cstdint>
#include <vector>

#include "mainwin/DisplayGeometry.h"
#include "mainwin/WaterfallRaster.h"

class CSpectrumHistory;

struct TSpecDisplayState {
  // The history the waterfall shows; null: the main window's own History.
  const CSpectrumHistory* HistorySource = nullptr;

  // ---- geometry ----
  int FreqAxisLen = 20;        // N: pixels along the frequency scale minus 1, at least 20
  TFreqBinMapping Mapping;     // bin mapping of the record being drawn
  TAmplScaling Ampl;           // level mapping of the bitmap being drawn
  int AppliedOrient = -1;      // SndConfig.SpectrumOrient the arrangement was made for
  int AppliedStyle = -1;       // SndConfig.SpectrumStyleNPos the arrangement was made for
  int GraphHeight = 150;       // stored heights (at least 8 each)
  int ScaleHeight = 30;
  int WaterfallHeight = 200;
  int FreqScaleWidth = 35;     // width of the rotated scale strip (CalcFreqScaleWidth)
  double ZoomOutMin = 0, ZoomOutMax = 0;

  // ---- waterfall ----
  CWaterfallRaster Raster;     // per-pixel bin ranges and level table of the waterfall
  std::vector<int> GridPixels; // axis pixels of the frequency grid (label ticks)
  double GridKeyMin = 0, GridKeyMax = -1;
  int GridKeyLen = -1, GridKeyOrient = -1, GridKeyMirror = -1;
  int WritePos = 0;            // display line of the next line without scrolling
  int LinesSinceLabel = 0;     // lines since the last time label (counted up to 1,000)
  double LastLabelTime = 0;    // record time of the last time label
  int RedrawPos = -1;          // history redraw: display line drawn next, -1 idle
  int ViewBase = 0;            // history index at display line 0 while SBR_Time is not 0
  int LinesPerSlice = 20;      // lines per redraw slice, 2..200
  int PendingLabelLine = -1;   // time label noted during the redraw, -1 none
  double PendingLabelTime = 0;
  uint32_t PaletteCache[256] = {};  // look-up table the raster was packed from
  bool PaletteValid = false;
  bool SavingWaterfall = false;  // the picture is being saved: not told about changes

  // ---- graph ----
  bool GraphBusy = false;      // the graph is being saved: not redrawn
};
