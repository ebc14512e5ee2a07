#pragma once
// The watch list record: up to 20 watch channels with their titles, display formats and pens,
// the plotter's settings and the diagram's layout. One global instance (g_WatchList) lives on
// the GUI thread; the plot history (PlotData.h) reads titles and scales from it when a plot
// file is opened, the text import reads titles and formats, the drawing routines
// (interp/forms/PlotDraw.h) read the settings and keep their layout in it. Plain data, no Qt.
// Colours are 0x00BBGGRR.
#include <cstdint>

constexpr int WATCH_MAX_CHANNELS = 20;
constexpr int WATCH_TITLE_SIZE = 16;   // 15 characters and the terminator
constexpr int WATCH_FORMAT_SIZE = 81;  // 80 characters and the terminator

// A pixel rectangle, edges included.
struct T_PlotRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// One channel's pen: what is drawn and on which scale.
struct T_WatchPen {
  uint32_t PenShowWhat = 0;     // bit 0 step minimum, bit 1 maximum, bit 2 average
  int32_t PenDisplayStyle = 0;  // 0 off, 1 single dots, 2 mixed, 3 all lines
  uint32_t PenColor = 0;        // 0x00BBGGRR
  uint32_t Reserved = 0;
  double ScaleMin = 0.0;        // value at the bottom of the channel's scale
  double ScaleMax = 0.0;        // value at the top
};

// Axes 1, 2: left and right value scales; 3, 4: the time axis strips (top, bottom).
struct T_WatchAxis {
  char FontName[84] = {};
  int32_t FontSize = 0;  // points
  int32_t AxisAssign = 0;  // -1 off, 0 percent, 1..20 the channel with that number
  char AxisLabel[80] = {};
  // Work fields of the drawing routines.
  T_PlotRect Rect;         // the scale's or strip's pixels
  int Side = 0;            // 0 scale left of the diagram, 1 right of it
  int PlotTop = 0, PlotBottom = 0;
  double RangeMin = 0.0, RangeMax = 0.0;
  char LabelFormat[81] = {};
  int DebugEnabled = 0;    // axis 4: the layout test mode, copied at each full redraw
  int NewestColumn = 0;    // axis 4: diagram column of the newest record drawn
};

enum : int { WATCH_LEGEND_OFF = 0, WATCH_LEGEND_LEFT = 1, WATCH_LEGEND_RIGHT = 2,
             WATCH_LEGEND_TOP = 3, WATCH_LEGEND_BOTTOM = 4 };

struct T_WatchList {
  uint32_t ChannelCount = 0;  // channels recorded in the plot data (1..20)
  char Titles[WATCH_MAX_CHANNELS][WATCH_TITLE_SIZE] = {};
  char Formats[WATCH_MAX_CHANNELS][WATCH_FORMAT_SIZE] = {};
  int32_t LegendPos = 0;      // 0 invisible, 1 left, 2 right, 3 top, 4 bottom
  int32_t LegendDetails = 0;  // 0 number, 1 name, 2 name and range
  double SecPerStep = 0.0;
  double StepStartTime = 0.0;
  double FirstDrawnTime = 0.0;   // time of the last time marker drawn
  double FirstDrawnTime2 = 0.0;  // time of the last large (labelled) marker
  double AvgCount = 0.0;
  T_WatchPen Pens[WATCH_MAX_CHANNELS] = {};
  char DateLabelFormat[81] = {};
  char TimeLabelFormat[81] = {};
  int32_t SmallMarker = 0;  // 0 off, 1 thin, 2 bold, 3 dotted line, 4..6 ticks
  char SmallInterval[80] = {};
  double SmallIntervalSec = 0.0;
  int32_t LargeMarker = 0;
  char LargeInterval[84] = {};
  double LargeIntervalSec = 0.0;
  int32_t VertScalePenStyle = 0;  // 0 off, 1 thin, 2 bold, 3 dotted
  uint32_t BkgndColor = 0;
  uint32_t GridColor = 0;
  uint32_t LabelColor = 0;
  char LegendFontName[84] = {};
  int32_t LegendFontSize = 0;
  // Diagram layout and work fields of the drawing routines.
  T_PlotRect PlotArea;        // curves, grid, markers and time labels
  T_PlotRect ScrollArea;      // scrolling and the newest column (same values)
  T_PlotRect LegendArea;
  T_PlotRect LegendBoxes[WATCH_MAX_CHANNELS];
  int PrevY[WATCH_MAX_CHANNELS][3] = {};  // previous row of each curve (min, max, average)
  bool PrevValid[WATCH_MAX_CHANNELS][3] = {};
  int ScrollCount = 0;
  T_WatchAxis Axes[4];
};

// The one watch list and the current value of each channel (GUI thread).
extern T_WatchList g_WatchList;
extern double g_WatchValues[WATCH_MAX_CHANNELS];

// Copies at most maxChars characters of src and a terminator into dest of destSize bytes.
void Watch_CopyText(char* dest, int destSize, const char* src, int maxChars);
