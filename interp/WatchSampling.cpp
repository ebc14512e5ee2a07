// The watch list's steps on the main timer.
#include "interp/WatchSampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "interp/CliEval.h"

namespace {

constexpr int kTextMax = 80;
const char* const kGridTitles[WATCH_GRID_COLS] = {"Title", "Expression", "Result (Value)", "Format",
                                                   "Scale Min", "Scale Max"};

// Saves the interpreter's parse position and restores it on leaving the scope.
class ParsePosGuard {
public:
  ParsePosGuard() : m_saved(g_CliParsePtr) {}
  ~ParsePosGuard() { g_CliParsePtr = m_saved; }
  ParsePosGuard(const ParsePosGuard&) = delete;
  ParsePosGuard& operator=(const ParsePosGuard&) = delete;

private:
  const char* m_saved;
};

bool Printable(const std::string& s) { return !s.empty() && static_cast<unsigned char>(s[0]) > 32; }

// A text cell: as it stands, or with a leading "@" the result of the string expression after
// it. Returns 0 or the evaluation's negative code (out keeps the text then).
int CellText(const std::string& cell, std::string* out)
{
  const std::string text = cell.substr(0, kTextMax);
  *out = text;
  if (text.empty() || text[0] != '@') return 0;
  char buf[kTextMax + 1] = {};
  g_CliParsePtr = text.c_str() + 1;
  const int rc = CLI_EvalStringExpression(CLI_SRC_WATCH, buf, kTextMax);
  if (rc >= 0) *out = buf;
  return rc < 0 ? rc : 0;
}

bool EvalNumber(const std::string& text, double* value)
{
  g_CliParsePtr = text.c_str();
  double v = 0.0;
  if (CLI_EvalExpression(CLI_SRC_WATCH, &v) != 0) return false;
  *value = v;
  return true;
}

}  // namespace

bool Watch_StepChange(T_WatchList* wl, double tickTime)
{
  if (!(tickTime >= wl->StepStartTime + wl->SecPerStep || tickTime < wl->StepStartTime)) return false;
  wl->StepStartTime += wl->SecPerStep;
  if (wl->StepStartTime < tickTime || wl->StepStartTime > tickTime + wl->SecPerStep) wl->StepStartTime = tickTime;
  EvalMarkerIntervals(wl);
  return true;
}

bool Watch_GridPassDue(T_WatchSampler* s, const T_WatchFormFields* f, double tickTime)
{
  if (!(tickTime >= s->LastGridSecond + 0.5 || tickTime < s->LastGridSecond || !f->TitlesWritten)) return false;
  const double t = std::trunc(tickTime);
  s->LastGridSecond = (std::isfinite(t) && t >= INT32_MIN && t <= INT32_MAX) ? static_cast<int>(t) : 0;
  return true;
}

void UpdateWatchGrid(T_WatchList* wl, T_WatchGrid* grid, T_WatchFormFields* f, double* values, bool full)
{
  ++f->BusyCount;
  if (full || !f->TitlesWritten) {
    for (int c = 0; c < WATCH_GRID_COLS; ++c) grid->Cells[0][c] = kGridTitles[c];
    f->TitlesWritten = true;
  }
  {
    ParsePosGuard guard;
    const int rows = std::min(grid->RowCount, WATCH_GRID_ROWS);
    for (int i = 1; i <= WATCH_MAX_CHANNELS && i < rows; ++i) {
      std::string* row = grid->Cells[i];
      const int ch = i - 1;
      const std::string& expr = row[WATCH_COL_EXPR];
      if ((grid->EditRow == i && grid->EditCol == 0) || !Printable(expr)) {
        row[WATCH_COL_RESULT].clear();
        continue;
      }
      g_CliParsePtr = expr.c_str();
      double v = 0.0;
      int e = CLI_EvalExpression(CLI_SRC_WATCH, &v);
      std::string result;
      if (e == 0) {
        std::string format;
        const int fe = CellText(row[WATCH_COL_FORMAT], &format);
        if (fe < 0) e = fe;
        char buf[kTextMax + 1] = {};
        const int rc = CLI_FormatValue(CLI_SRC_WATCH, format.c_str(), v, buf, kTextMax);
        if (e >= 0 && rc < 0) e = rc;
        result = buf;
      }
      // Any error shows its text; the channel keeps its previous value.
      if (e != 0)
        result = CLI_ErrorCodeToString(e);
      else
        values[ch] = v;
      row[WATCH_COL_RESULT] = result;
      if (ch == f->SelectedChannel) f->MeasureText = result;

      if (f->TakeOver) {
        std::string text;
        CellText(row[WATCH_COL_TITLE], &text);
        Watch_CopyText(wl->Titles[ch], WATCH_TITLE_SIZE, text.c_str(), WATCH_TITLE_SIZE - 1);
        CellText(row[WATCH_COL_FORMAT], &text);
        Watch_CopyText(wl->Formats[ch], WATCH_FORMAT_SIZE, text.c_str(), kTextMax);
        if (Printable(row[WATCH_COL_MINV])) EvalNumber(row[WATCH_COL_MINV], &wl->Pens[ch].ScaleMin);
        if (Printable(row[WATCH_COL_MAXV])) EvalNumber(row[WATCH_COL_MAXV], &wl->Pens[ch].ScaleMax);
      }
    }
    f->TakeOver = false;
  }
  if (f->BusyCount > 0) --f->BusyCount;
}

void RecordSample(T_WatchSampler* s, T_WatchList* wl, T_PlotData* pd, const T_WatchGrid* grid,
                  const double* values, double tickTime, bool newStep)
{
  const int n = std::min({static_cast<int>(std::min<uint32_t>(pd->Header.Channels, WATCH_MAX_CHANNELS)),
                          grid->RowCount, WATCH_MAX_CHANNELS});
  T_PlotDataRecord& r = s->StepRecord;
  for (int k = 0; k < n; ++k) {
    const double v = values[k];
    T_PlotChannelValues& c = r.Channel[k];
    if (newStep) {
      c.Min = c.Max = c.Average = v;
    } else {
      if (v > c.Max) c.Max = v;
      if (v < c.Min) c.Min = v;
      const double count = wl->AvgCount < 0.0 ? 0.0 : wl->AvgCount;
      c.Average = (c.Average * count + v) / (count + 1.0);
    }
  }
  if (newStep)
    wl->AvgCount = 1.0;
  else
    wl->AvgCount += 1.0;
  r.Time = tickTime;
  PlotData_StoreRecord(pd, &r, newStep);
}

void EvalMarkerIntervals(T_WatchList* wl)
{
  ParsePosGuard guard;
  g_CliParsePtr = wl->LargeInterval;
  CLI_EvalExpression(CLI_SRC_WATCH, &wl->LargeIntervalSec);
  g_CliParsePtr = wl->SmallInterval;
  CLI_EvalExpression(CLI_SRC_WATCH, &wl->SmallIntervalSec);
}
