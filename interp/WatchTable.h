#pragma once
// What the watch window shows and edits, without Qt: the 21 x 6 grid of texts (row 0 the
// column titles, row n channel n - 1; columns title, expression, result, format, scale min,
// scale max) and the texts and numbers of the window's other fields. The settings reader fills
// both, the writer reads them; the window binds its grid and edits to them.
#include <string>

constexpr int WATCH_GRID_ROWS = 21;
constexpr int WATCH_GRID_COLS = 6;
enum : int { WATCH_COL_TITLE = 0, WATCH_COL_EXPR = 1, WATCH_COL_RESULT = 2, WATCH_COL_FORMAT = 3,
             WATCH_COL_MINV = 4, WATCH_COL_MAXV = 5 };

struct T_WatchGrid {
  std::string Cells[WATCH_GRID_ROWS][WATCH_GRID_COLS];
  int RowCount = WATCH_GRID_ROWS;
  int EditRow = -1, EditCol = -1;  // cell of an open in-place editor, -1 when none
};

struct T_WatchFormFields {
  // Memory, file and import fields (texts as edited).
  std::string PlotMaxSamples = "2000";
  std::string PlotMaxChannels = "6";
  std::string PlotFileName;
  std::string PlotExportName;
  std::string PlotExportTimeColumn = "0";
  std::string PlotExportTimeFormat = "YYYY-MM-DD hh:mm:ss";
  int Running = 0;
  int ColWidths[WATCH_GRID_COLS] = {88, 144, 144, 88, 72, 72};
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Visible = 0;
  // Window flags the settings reader and the grid pass set and clear.
  int BusyCount = 0;
  bool TitlesWritten = false;
  bool TakeOver = false;        // grid texts are to be copied into the watch list
  bool ShowSettings = false;    // controls are to be refilled from the watch list
  bool RedrawRequest = false;
  int SelectedChannel = 0;
  std::string MeasureText;      // result text of the selected channel
};
