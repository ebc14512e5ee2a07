#pragma once
// Text import into the plot history: a line of column titles, then one line per sample. Columns
// are matched to the watch channels by title (case-sensitive); a column titled "date", "time" or
// "date_time" (any case) carries the time stamp; a column may hold "min,max,avg" numbers. Each
// data line becomes one record stored at the next ring position (PlotData_StoreRecord).
// Lines are read whole (up to 65,535 characters are looked at; the rest of a longer line is
// dropped, never taken as another line), at most 40 columns; CR, LF and CR LF end lines. A UTF-8
// byte-order mark at the start of the file is skipped. GUI thread only.
#include <cstddef>
#include <cstdint>

#include "interp/PlotData.h"
#include "interp/WatchList.h"

constexpr int PLOT_IMPORT_MAX_COLUMNS = 40;
constexpr size_t PLOT_IMPORT_MAX_LINE = 65535;

struct PlotImportParams {
  char FileName[256];
  uint32_t Separator;  // character code of the column separator; 0 imports nothing
  char ChannelTitles[WATCH_MAX_CHANNELS][WATCH_TITLE_SIZE];
  char ChannelFormats[WATCH_MAX_CHANNELS][WATCH_FORMAT_SIZE];
  int TimeColumn;  // 1-based; below 1: found by its title
  char TimeFormat[81];
  char UnknownTitles[WATCH_MAX_CHANNELS][WATCH_TITLE_SIZE];
  int MatchedCount;
  int UnknownCount;
};

// Empty after a good import, else the reason of the failure.
extern char g_PlotImportErrorText[256];

void PlotImport_InitParams(PlotImportParams* params, const T_WatchList* wl, const char* fileName,
                           uint32_t separator, int timeColumn, const char* timeFormat);
// Returns the number of matched columns (0 on any failure).
int ImportTextFile(PlotImportParams* params, T_PlotData* pd);

bool Plot_IsTitleChar(char c);  // a-z, A-Z, '_'
bool Plot_IsDigitChar(char c);  // 0-9
