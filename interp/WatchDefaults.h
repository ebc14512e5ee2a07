#pragma once
// Defaults of the watch list and its pens, and the six default watch channels of the settings
// reader.
#include <cstdint>

#include "interp/WatchList.h"

void Plot_InitDefaults(T_WatchList* wl);
void Plot_InitChannelDisplay(T_WatchPen* pen);
// The changes made when the window is created: axis 1 shows channel 1 ("dB uV / m"), axis 2
// channel 3 ("Frequency [Hz]").
void Plot_ApplyCreationAxes(T_WatchList* wl);

extern const uint32_t g_WatchDefaultPenColors[WATCH_MAX_CHANNELS];

struct T_WatchDefaultChannel {
  const char* Title;
  const char* Expr;
  const char* Form;
  const char* MinV;
  const char* MaxV;
};
extern const T_WatchDefaultChannel g_WatchDefaultChannels[6];
