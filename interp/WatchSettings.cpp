// Reading and writing the watch list's settings sections.
#include "interp/WatchSettings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "engine/ProgramInstance.h"
#include "engine/WindowBounds.h"
#include "interp/WatchDefaults.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

namespace {

const char* const kColKeys[WATCH_GRID_COLS] = {"CwTitle", "CwExpr", "CwRslt", "CwForm", "CwMinV", "CwMaxV"};
const int kColDefaults[WATCH_GRID_COLS] = {88, 144, 144, 88, 72, 72};
// Grid columns of the stored texts per channel (the result column is computed).
const int kStoredCols[5] = {WATCH_COL_TITLE, WATCH_COL_EXPR, WATCH_COL_FORMAT, WATCH_COL_MINV, WATCH_COL_MAXV};
const char* const kStoredKeys[5] = {"Title", "Expr", "Form", "MinV", "MaxV"};

const char* const kWin = "WatchWindow";
const char* const kList = "WatchList";
const char* const kMem = "WatchHistoryMemory";
const char* const kPlot = "WatchHistoryPlotter";

std::string Key(const char* name, int n) { return std::string(name) + std::to_string(n); }

// A whole decimal integer within int, or false.
bool ParseInt(const std::string& text, int* out)
{
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<int>(v);
  return true;
}

void ReadText(const IniFile& ini, const char* sect, const std::string& key, char* dest, int size, int maxChars)
{
  const std::string def(dest);
  Watch_CopyText(dest, size, ini.ReadString(sect, key, def).c_str(), maxChars);
}

}  // namespace

void WatchSettings_Load(const std::string& fileName, T_WatchList* wl, T_WatchGrid* grid,
                        T_WatchFormFields* f)
{
  IniFile ini(fileName);
  ++f->BusyCount;
  f->TitlesWritten = false;

  for (int c = 0; c < WATCH_GRID_COLS; ++c) f->ColWidths[c] = ini.ReadInteger(kWin, kColKeys[c], kColDefaults[c]);

  grid->RowCount = WATCH_GRID_ROWS;
  for (int n = 1; n <= WATCH_MAX_CHANNELS; ++n) {
    const T_WatchDefaultChannel* d = n <= 6 ? &g_WatchDefaultChannels[n - 1] : nullptr;
    const char* defs[5] = {d ? d->Title : "", d ? d->Expr : "", d ? d->Form : "", d ? d->MinV : "",
                           d ? d->MaxV : ""};
    for (int k = 0; k < 5; ++k) grid->Cells[n][kStoredCols[k]] = ini.ReadString(kList, Key(kStoredKeys[k], n), defs[k]);
  }

  f->PlotMaxSamples = ini.ReadString(kMem, "PlotMaxSamples", "2000");
  f->PlotMaxChannels = ini.ReadString(kMem, "PlotMaxChannels", "6");
  int channels;
  if (ParseInt(f->PlotMaxChannels, &channels)) wl->ChannelCount = static_cast<uint32_t>(channels);
  const std::string idx = std::to_string(g_InstanceIndex);
  f->PlotFileName = ini.ReadString(kMem, "PlotFileName", "plotter" + idx + ".tmp");
  f->PlotExportName = ini.ReadString(kMem, "PlotExportName", "pltexpt" + idx + ".txt");
  f->PlotExportTimeColumn = ini.ReadString(kMem, "PlotExportTimeColumn", "0");
  f->PlotExportTimeFormat = ini.ReadString(kMem, "PlotExportTimeFormat", "YYYY-MM-DD hh:mm:ss");

  f->Running = ini.ReadInteger(kPlot, "Running", 0);
  wl->SecPerStep = StrToFloatDef(ini.ReadString(kPlot, "SecPerStep", ""), 1.0);
  wl->SmallMarker = ini.ReadInteger(kPlot, "SmallMarker", 3);
  Watch_CopyText(wl->SmallInterval, sizeof wl->SmallInterval, ini.ReadString(kPlot, "SmallInterval", "30").c_str(), 79);
  wl->LargeMarker = ini.ReadInteger(kPlot, "LargeMarker", 1);
  Watch_CopyText(wl->LargeInterval, sizeof wl->LargeInterval, ini.ReadString(kPlot, "LargeInterval", "2*60").c_str(), 80);
  Watch_CopyText(wl->TimeLabelFormat, sizeof wl->TimeLabelFormat, ini.ReadString(kPlot, "TimeLabelFormat", "hh:mm").c_str(), 80);
  Watch_CopyText(wl->DateLabelFormat, sizeof wl->DateLabelFormat, ini.ReadString(kPlot, "DateLabelFormat", "YY-MM-DD").c_str(), 80);
  wl->VertScalePenStyle = ini.ReadInteger(kPlot, "VertScalePenStyle", 3);
  // The colour panels as laid out: black, light grey, white.
  wl->BkgndColor = static_cast<uint32_t>(ini.ReadInteger(kPlot, "BkgndColor", 0x000000));
  wl->GridColor = static_cast<uint32_t>(ini.ReadInteger(kPlot, "GridColor", 0xCFCFCF));
  wl->LabelColor = static_cast<uint32_t>(ini.ReadInteger(kPlot, "LabelColor", 0xFFFFFF));
  for (int n = 1; n <= WATCH_MAX_CHANNELS; ++n) {
    T_WatchPen& p = wl->Pens[n - 1];
    p.PenColor = static_cast<uint32_t>(ini.ReadInteger(kPlot, Key("PenColor", n), static_cast<int>(g_WatchDefaultPenColors[n - 1])));
    p.PenShowWhat = static_cast<uint32_t>(ini.ReadInteger(kPlot, Key("PenShowWhat", n), 7));
    p.PenDisplayStyle = ini.ReadInteger(kPlot, Key("PenDisplayStyle", n), 2);
  }
  wl->LegendPos = ini.ReadInteger(kPlot, "LegendPos", wl->LegendPos);
  wl->LegendDetails = ini.ReadInteger(kPlot, "LegendDetails", wl->LegendDetails);
  ReadText(ini, kPlot, "LegendFontName", wl->LegendFontName, sizeof wl->LegendFontName, 80);
  wl->LegendFontSize = ini.ReadInteger(kPlot, "LegendFontSize", wl->LegendFontSize);
  T_WatchAxis* ax = wl->Axes;
  ReadText(ini, kPlot, "HorzAxisFontName", ax[3].FontName, sizeof ax[3].FontName, 80);
  Watch_CopyText(ax[2].FontName, sizeof ax[2].FontName, ax[3].FontName, 80);
  ax[3].FontSize = ini.ReadInteger(kPlot, "HorzAxisFontSize", ax[3].FontSize);
  ax[2].FontSize = ax[3].FontSize;
  ReadText(ini, kPlot, "VertAxisFontName", ax[0].FontName, sizeof ax[0].FontName, 80);
  Watch_CopyText(ax[1].FontName, sizeof ax[1].FontName, ax[0].FontName, 80);
  ax[0].FontSize = ini.ReadInteger(kPlot, "VertAxisFontSize", ax[0].FontSize);
  for (int i = 0; i < 4; ++i) {
    ax[i].AxisAssign = ini.ReadInteger(kPlot, Key("AxisAssign", i), ax[i].AxisAssign);
    ReadText(ini, kPlot, Key("AxisLabel", i), ax[i].AxisLabel, sizeof ax[i].AxisLabel, 79);
  }

  f->RedrawRequest = true;
  f->TakeOver = true;
  f->ShowSettings = true;

  // Bounds near the int limits would overflow the window's rectangle: limited here already
  // (the window limits them further to the desktop it finds).
  const TWindowBounds b = LimitWindowBounds(
      {ini.ReadInteger(kWin, "Left", f->Left), ini.ReadInteger(kWin, "Top", f->Top),
       ini.ReadInteger(kWin, "Width", f->Width), ini.ReadInteger(kWin, "Height", f->Height)},
      TWindowBounds{});
  f->Left = b.Left;
  f->Top = b.Top;
  f->Width = b.Width;
  f->Height = b.Height;
  f->Visible = ini.ReadInteger(kWin, "Visible", 0);

  if (f->BusyCount > 0) --f->BusyCount;
}

void WatchSettings_Save(const std::string& fileName, const T_WatchList* wl, const T_WatchGrid* grid,
                        const T_WatchFormFields* f)
{
  IniFile ini(fileName);
  ini.WriteInteger(kWin, "Visible", f->Visible ? 1 : 0);
  ini.WriteInteger(kWin, "Left", f->Left);
  ini.WriteInteger(kWin, "Top", f->Top);
  ini.WriteInteger(kWin, "Width", f->Width);
  ini.WriteInteger(kWin, "Height", f->Height);
  for (int c = 0; c < WATCH_GRID_COLS; ++c) ini.WriteInteger(kWin, kColKeys[c], f->ColWidths[c]);

  for (int n = 1; n <= WATCH_MAX_CHANNELS; ++n)
    for (int k = 0; k < 5; ++k) ini.WriteString(kList, Key(kStoredKeys[k], n), grid->Cells[n][kStoredCols[k]]);

  ini.WriteString(kMem, "PlotMaxSamples", f->PlotMaxSamples);
  ini.WriteString(kMem, "PlotMaxChannels", f->PlotMaxChannels);
  ini.WriteString(kMem, "PlotFileName", f->PlotFileName);
  ini.WriteString(kMem, "PlotExportName", f->PlotExportName);
  ini.WriteString(kMem, "PlotExportTimeColumn", f->PlotExportTimeColumn);
  ini.WriteString(kMem, "PlotExportTimeFormat", f->PlotExportTimeFormat);

  ini.WriteInteger(kPlot, "Running", f->Running);
  ini.WriteString(kPlot, "SecPerStep", FloatToStr(wl->SecPerStep));
  ini.WriteInteger(kPlot, "SmallMarker", wl->SmallMarker);
  ini.WriteString(kPlot, "SmallInterval", wl->SmallInterval);
  ini.WriteInteger(kPlot, "LargeMarker", wl->LargeMarker);
  ini.WriteString(kPlot, "LargeInterval", wl->LargeInterval);
  ini.WriteString(kPlot, "TimeLabelFormat", wl->TimeLabelFormat);
  ini.WriteString(kPlot, "DateLabelFormat", wl->DateLabelFormat);
  ini.WriteInteger(kPlot, "VertScalePenStyle", wl->VertScalePenStyle);
  ini.WriteInteger(kPlot, "BkgndColor", static_cast<int>(wl->BkgndColor));
  ini.WriteInteger(kPlot, "GridColor", static_cast<int>(wl->GridColor));
  ini.WriteInteger(kPlot, "LabelColor", static_cast<int>(wl->LabelColor));
  for (int n = 1; n <= WATCH_MAX_CHANNELS; ++n) {
    const T_WatchPen& p = wl->Pens[n - 1];
    ini.WriteInteger(kPlot, Key("PenColor", n), static_cast<int>(p.PenColor));
    ini.WriteInteger(kPlot, Key("PenShowWhat", n), static_cast<int>(p.PenShowWhat));
    ini.WriteInteger(kPlot, Key("PenDisplayStyle", n), p.PenDisplayStyle);
  }
  ini.WriteInteger(kPlot, "LegendPos", wl->LegendPos);
  ini.WriteInteger(kPlot, "LegendDetails", wl->LegendDetails);
  ini.WriteString(kPlot, "LegendFontName", wl->LegendFontName);
  ini.WriteInteger(kPlot, "LegendFontSize", wl->LegendFontSize);
  ini.WriteString(kPlot, "HorzAxisFontName", wl->Axes[3].FontName);
  ini.WriteInteger(kPlot, "HorzAxisFontSize", wl->Axes[3].FontSize);
  ini.WriteString(kPlot, "VertAxisFontName", wl->Axes[0].FontName);
  ini.WriteInteger(kPlot, "VertAxisFontSize", wl->Axes[0].FontSize);
  for (int i = 0; i < 4; ++i) {
    ini.WriteInteger(kPlot, Key("AxisAssign", i), wl->Axes[i].AxisAssign);
    ini.WriteString(kPlot, Key("AxisLabel", i), wl->Axes[i].AxisLabel);
  }
  try {
    ini.UpdateFile();
  } catch (const EIniFileError&) {
    // Not reported here: the settings writer has no error path.
  }
}
