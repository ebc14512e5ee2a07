#pragma once
// The text export's definition: up to 30 columns (title, expression, format), the separator, the
// file or device, three macros and the write interval, in one record so that the export window
// can copy it whole (its Cancel restores the copy). The g_Export... names refer to its fields.
// GUI thread only.
#include <cstdint>

constexpr int EXPORT_MAX_COLUMNS = 30;
constexpr int EXPORT_MAX_LINE_CHARS = 1020;  // characters of a written line before CR LF

struct ExportColumn {
  char title[21];       // at most 20 characters
  char expression[81];  // numeric expression, at most 80 characters
  char format[22];      // CLI_FormatValue pattern, at most 20 characters
  int32_t flags;        // stored and edited only
};

struct ExportDefinition {
  int32_t ColumnCount;                        // 1..30
  ExportColumn Columns[EXPORT_MAX_COLUMNS];   // the first ColumnCount are used
  int32_t Active;                             // 0 or 1: the export runs
  int32_t Separator;                          // character code (9 TAB, 59 ';'); low 8 bits used
  char FileName[256];                         // file or device ("COM1".."COM4")
  char CmdAfterSpectrum[256];                 // macros around each spectrum and line
  char CmdBeforeWrite[256];
  char CmdAfterWrite[256];
  int32_t UsePreciseInterval;                 // 1: lines on the time grid, 0: every spectrum
  double WriteIntervalSec;                    // seconds between lines on the grid
};

extern ExportDefinition g_ExportDefinition;

extern int32_t& g_ExportColumnCount;
extern ExportColumn (&g_ExportColumns)[EXPORT_MAX_COLUMNS];
extern int32_t& g_ExportActive;
extern int32_t& g_ExportSeparator;
extern char (&g_ExportFileName)[256];
extern char (&g_ExportCmdAfterSpectrum)[256];
extern char (&g_ExportCmdBeforeWrite)[256];
extern char (&g_ExportCmdAfterWrite)[256];
extern int32_t& g_ExportUsePreciseInterval;
extern double& g_ExportWriteIntervalSec;

// Results of the last evaluation and formatting of each column.
extern double g_ExportColumnValues[EXPORT_MAX_COLUMNS];
extern char g_ExportColumnTexts[EXPORT_MAX_COLUMNS][256];

// Definition bookkeeping: changed since the last save, and when that was (Unix seconds, 0 never).
extern int32_t g_ExportDefinitionChanged;
extern double g_ExportDefinitionSaveTime;
