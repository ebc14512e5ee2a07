// Defaults of the watch list.
#include "interp/WatchDefaults.h"

#include <cstdio>
#include <cstring>

T_WatchList g_WatchList;
double g_WatchValues[WATCH_MAX_CHANNELS];

const uint32_t g_WatchDefaultPenColors[WATCH_MAX_CHANNELS] = {
    0x0000FF, 0x00FF00, 0xFF7F7F, 0xFF00FF, 0x00FFFF, 0x3F3FFF, 0x3FFF3F, 0x3F7F7F, 0xFF3FFF, 0x3FFFFF,
    0x7F7FFF, 0x7FFF7F, 0xBF7F7F, 0xFF7FFF, 0x7FFFFF, 0xCFCFFF, 0xCFFFCF, 0xCF7F7F, 0xFFCFFF, 0xCFFFFF};

const T_WatchDefaultChannel g_WatchDefaultChannels[6] = {
    {"Noise", "noise_n(500,1000)", "##0.0", "-100", "0"},
    {"Peak1_Ampl", "peak_a(500,1000)", "##0.0", "-100", "0"},
    {"Peak1_Freq", "peak_f(500,1000)", "###0.0", "200", "2700"},
    {"Peak2_Ampl", "peak_a(1000,1500)", "##0.0", "-100", "0"},
    {"Peak2_Freq", "peak_f(1000,1500)", "###0.0", "200", "2700"},
    {"Peak3_Ampl", "peak_a(1500,2000)", "##0.0", "-100", "0"},
};

void Watch_CopyText(char* dest, int destSize, const char* src, int maxChars)
{
  if (destSize <= 0) return;
  if (!src) src = "";
  int n = static_cast<int>(strnlen(src, static_cast<size_t>(maxChars < 0 ? 0 : maxChars)));
  if (n > destSize - 1) n = destSize - 1;
  std::memcpy(dest, src, static_cast<size_t>(n));
  dest[n] = '\0';
}

void Plot_InitChannelDisplay(T_WatchPen* pen)
{
  *pen = T_WatchPen{};
  pen->PenShowWhat = 7;
  pen->PenDisplayStyle = 2;
  pen->PenColor = 0x7FFFFF;
  pen->ScaleMin = -100.0;
  pen->ScaleMax = 100.0;
}

void Plot_InitDefaults(T_WatchList* wl)
{
  *wl = T_WatchList{};
  wl->ChannelCount = 6;
  for (int i = 0; i < WATCH_MAX_CHANNELS; ++i) {
    std::snprintf(wl->Titles[i], WATCH_TITLE_SIZE, "Chn%d", i);
    Watch_CopyText(wl->Formats[i], WATCH_FORMAT_SIZE, "###0.0##", 80);
    Plot_InitChannelDisplay(&wl->Pens[i]);
  }
  wl->LegendPos = WATCH_LEGEND_BOTTOM;
  wl->LegendDetails = 1;
  wl->SmallMarker = 1;
  Watch_CopyText(wl->SmallInterval, sizeof wl->SmallInterval, "60", 79);
  wl->SmallIntervalSec = 60.0;
  wl->LargeMarker = 3;
  Watch_CopyText(wl->LargeInterval, sizeof wl->LargeInterval, "15*60", 80);
  wl->LargeIntervalSec = 900.0;
  wl->VertScalePenStyle = 3;
  wl->BkgndColor = 0x000000;
  wl->GridColor = 0xAFAFAF;
  wl->LabelColor = 0xCFCFCF;
  Watch_CopyText(wl->LegendFontName, sizeof wl->LegendFontName, "Arial", 80);
  wl->LegendFontSize = 9;
  for (T_WatchAxis& a : wl->Axes) {
    Watch_CopyText(a.FontName, sizeof a.FontName, "Arial", 80);
    a.FontSize = 8;
    a.AxisAssign = -1;
  }
  wl->Axes[0].AxisAssign = 0;
}

void Plot_ApplyCreationAxes(T_WatchList* wl)
{
  wl->Axes[0].AxisAssign = 1;
  Watch_CopyText(wl->Axes[0].AxisLabel, sizeof wl->Axes[0].AxisLabel, "dB uV / m", 79);
  wl->Axes[1].AxisAssign = 3;
  Watch_CopyText(wl->Axes[1].AxisLabel, sizeof wl->Axes[1].AxisLabel, "Frequency [Hz]", 79);
}
