#pragma once
// Drawing of the watch plotter's diagram on the caller's QImage: value scales, horizontal grid
// lines, time markers and labels, the legend, and per channel the min/max/average curves of
// each history record. Settings and layout come from T_WatchList (colours 0x00BBGGRR); the
// arithmetic lives in interp/PlotScale.h. GUI thread only.
//
// Rectangles: fills cover left..right-1 x top..bottom-1 (as a Windows rectangle); the plot
// area's right column is the newest column (offset 0), its rows top..bottom hold the curves.
#include <QImage>

#include "interp/PlotData.h"
#include "interp/PlotScale.h"
#include "interp/WatchList.h"

class QPen;

void Plot_SetPenStyle(QPen& pen, int style);
void Plot_FillRect(QImage& bmp, const T_PlotRect& r, uint32_t color);

// One value scale by its record; false (nothing drawn) when the side is neither 0 nor 1.
bool Plot_DrawVertScale(QImage& bmp, const T_PlotScale& scale);
void Plot_DrawValueScale(QImage& bmp, T_WatchList* wl, int index);  // 0 left, 1 right
void Plot_DrawBothScales(QImage& bmp, T_WatchList* wl);
int Plot_CalcScaleWidth(QImage& bmp, T_WatchList* wl, int index);

// xExtent < 0: across the plot area; else only the newest xExtent columns (0: the newest).
void Plot_DrawGridLines(QImage& bmp, T_WatchList* wl, int xExtent, int penStyle);
void Plot_DrawMarkerLine(QImage& bmp, T_WatchList* wl, int xOffset, int style);
void Plot_DrawTimeLabel(QImage& bmp, T_WatchList* wl, int xOffset, double t);
bool Plot_DrawTimeMarkers(QImage& bmp, T_WatchList* wl, int xOffset, double t);

void Plot_CalcLayout(QImage& bmp, T_WatchList* wl);
// With both out pointers: the legend's size; with null pointers: places the legend boxes.
void Plot_CalcLegendLayout(QImage& bmp, T_WatchList* wl, int* width, int* height);
void Plot_DrawLegend(QImage& bmp, T_WatchList* wl);
void Plot_ClearDiagram(QImage& bmp, T_WatchList* wl);
void Plot_ScrollLeft(QImage& bmp, T_WatchList* wl, int pixels);

void Plot_DrawSegment(QImage& bmp, T_WatchList* wl, int x, int y, int channel, int curve);
// One record's points at x offset xOffset; only channels below both the watch list's count and
// recordChannels (the count the record was stored with) are drawn.
void Plot_DrawNewSamples(QImage& bmp, T_WatchList* wl, const T_PlotDataRecord& rec, int xOffset,
                         int recordChannels);
