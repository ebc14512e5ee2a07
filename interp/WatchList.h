#pragma once
// The watch list record: up to 20 watch channels with their titles, display formats and pens,
// and the plotter's settings. One global instance (g_WatchList) lives on the GUI thread; the
// plot history (PlotData.h) reads titles and scales from it when a plot file is opened, the text
// import reads titles and formats. Plain data without Qt.
#include <cstdint>

constexpr int WATCH_MAX_CHANNELS = 20;
constexpr int WATCH_TITLE_SIZE = 16;   // 15 characters and the terminator
constexpr int WATCH_FORMAT_SIZE = 81;  // 80 characters and the terminator

// One channel's pen: what is drawn and on which scale.
struct T_WatchPen {
  uint32_t PenShowWhat = 0;     // bit 0 step minimum, bit 1 maximum, bit 2 average
  int32_t PenDisplayStyle = 0;  // 0 off, 1 single dots, 2 mixed, 3 all lines
  uint32_t PenColor = 0;        // 0x00BBGGRR
  uint32_t Reserved = 0;
  double ScaleMin = 0.0;        // value at the bottom of the channel's scale
  double ScaleMax = 0.0;        // value at the top
};

struct T_WatchList {
  uint32_t ChannelCount = 0;  // channels recorded in the plot data (1..20)
  char Titles[WATCH_MAX_CHANNELS][WATCH_TITLE_SIZE] = {};
  char Formats[WATCH_MAX_CHANNELS][WATCH_FORMAT_SIZE] = {};
  T_WatchPen Pens[WATCH_MAX_CHANNELS] = {};
};
