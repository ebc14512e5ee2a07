// Text import into the plot history.
#include "interp/PlotImport.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/DebugU1.h"
#include "engine/MiscUtils.h"
#include "engine/PreciseClock.h"
#include "engine/TimeUtils.h"
#include "interp/CliEval.h"
#include "interp/CliSpectrum.h"
#include "platform/BoundedFile.h"

char g_PlotImportErrorText[256];

namespace {

constexpr int kTitleMax = 80;
constexpr int kMaxEmptyLines = 10;

// Whether the text at p starts a value a time conversion can read: a number (optional sign,
// then a digit, or a point and a digit, or "$", "#", "%"), or for a date/time pattern a digit,
// or a letter where the pattern starts with a month name.
bool TimeFieldReadable(const char* p, const char* format, int kind)
{
  if (kind == CLI_FMT_DATETIME) {
    const bool monthName = format[0] == 'M' && format[1] && format[2] && (format[1] == 'm' || format[1] == 'M') &&
                           (format[2] == 'm' || format[2] == 'M');
    if (monthName) return IsLetter(*p);
    return *p >= '0' && *p <= '9';
  }
  if (*p == '+' || *p == '-') ++p;
  if (*p == '.') ++p;
  return (*p >= '0' && *p <= '9') || *p == '$' || *p == '#' || *p == '%';
}

// The time stamp of a data column, from T0 for the fields a date/time pattern lacks.
bool ConvertTime(const char* p, const char* format, double t0, double* result)
{
  const int kind = CLI_GetFormatKind(format);
  if (!TimeFieldReadable(p, format, kind)) return false;
  if (kind == CLI_FMT_DATETIME) {
    double t = t0;
    const char* q = p;
    if (!ParseDateTimeByFormat(format, &t, &q)) return false;
    *result = t;
    return true;
  }
  return CLI_ValueFromString(p, format, result) >= 0;
}

// Steps from the current column to the next: over every printable character that is not the
// separator; true at a separator (stepped over), false at the end of the line.
bool NextColumn(const char*& p, char sep)
{
  while (static_cast<unsigned char>(*p) >= 32 && *p != sep) ++p;
  if (*p == sep && *p != '\0') {
    ++p;
    return true;
  }
  return false;
}

bool InColumn(const char* p, char sep)
{
  return static_cast<unsigned char>(*p) > 32 || (*p == sep && *p != '\0');
}

}  // namespace

bool Plot_IsTitleChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

bool Plot_IsDigitChar(char c) { return c >= '0' && c <= '9'; }

void PlotImport_InitParams(PlotImportParams* params, const T_WatchList* wl, const char* fileName,
                           uint32_t separator, int timeColumn, const char* timeFormat)
{
  std::memset(params, 0, sizeof *params);
  Watch_CopyText(params->FileName, sizeof params->FileName, fileName, 255);
  params->Separator = separator;
  for (int i = 0; i < WATCH_MAX_CHANNELS && wl; ++i) {
    Watch_CopyText(params->ChannelTitles[i], WATCH_TITLE_SIZE, wl->Titles[i], 15);
    Watch_CopyText(params->ChannelFormats[i], WATCH_FORMAT_SIZE, wl->Formats[i], 80);
  }
  params->TimeColumn = timeColumn;
  Watch_CopyText(params->TimeFormat, sizeof params->TimeFormat, timeFormat, 80);
}

int ImportTextFile(PlotImportParams* params, T_PlotData* pd)
{
  g_PlotImportErrorText[0] = '\0';
  params->MatchedCount = 0;
  params->UnknownCount = 0;
  std::memset(params->UnknownTitles, 0, sizeof params->UnknownTitles);
  int columnMap[PLOT_IMPORT_MAX_COLUMNS];
  for (int& m : columnMap) m = -1;

  if (params->Separator == 0) return 0;
  // A separator beyond one byte can never occur in the text.
  const char sep = params->Separator < 256 ? static_cast<char>(params->Separator) : '\0';

  CliFileReader reader;
  CLI_FileReaderInit(&reader);
  char fileName[256];
  Watch_CopyText(fileName, sizeof fileName, params->FileName, 255);
  reader.handle = OpenRegularFileForReading(fileName);  // a FIFO or a device is refused at once
  if (reader.handle >= 0 && flock(reader.handle, LOCK_SH | LOCK_NB) != 0) {
    const int err = errno;
    close(reader.handle);
    reader.handle = -1;
    errno = err;
  }
  if (reader.handle < 0) {
    const char* reason = errno == ENXIO ? "not a regular file" : GetWinErrorText(errno);
    Watch_CopyText(g_PlotImportErrorText, sizeof g_PlotImportErrorText, reason, 255);
    DebugPrintf(20, 0.0, "Can't open imported file, Windoze says \"%s\".", g_PlotImportErrorText);
    if (!g_PlotImportErrorText[0])
      Watch_CopyText(g_PlotImportErrorText, sizeof g_PlotImportErrorText, "Unexpected error in ImportTextFile.", 255);
    return 0;
  }

  const double t0 = GetPreciseUnixTime(false);
  T_PlotDataRecord rec;
  PlotData_ClearRecord(&rec);
  rec.Time = t0;

  std::string text;
  char title[kTitleMax + 1];
  bool headerFound = false;
  int emptyLines = 0;

  // Header search.
  bool firstLine = true;
  while (!headerFound && !reader.eof && emptyLines < kMaxEmptyLines) {
    int len = CLI_FileReadWholeLine(&reader, PLOT_IMPORT_MAX_LINE, &text);
    // A UTF-8 byte-order mark (as some editors write) is no part of the first title.
    if (firstLine && len >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      text.erase(0, 3);
      len -= 3;
    }
    firstLine = false;
    const char* const line = text.c_str();
    if (len <= 0) {
      if (reader.eof || len < 0) break;
      ++emptyLines;
      continue;
    }
    emptyLines = 0;
    if (line[0] == ';') continue;
    bool hasSep = sep != '\0' && std::strchr(line, sep) != nullptr;
    bool arraySeen = false;
    const char* p = line;
    for (int c = 0; InColumn(p, sep) && c < PLOT_IMPORT_MAX_COLUMNS && !arraySeen; ++c) {
      if (Plot_IsTitleChar(*p) || hasSep) {
        int n = 0;
        while ((Plot_IsTitleChar(*p) || Plot_IsDigitChar(*p)) && n < kTitleMax) title[n++] = *p++;
        title[n] = '\0';
        bool matched = false;
        // An empty title (a column that starts with no title character) matches nothing.
        for (int k = 0; k < WATCH_MAX_CHANNELS && n > 0; ++k) {
          if (std::strncmp(title, params->ChannelTitles[k], WATCH_TITLE_SIZE) == 0) {
            columnMap[c] = k;
            if (params->MatchedCount < WATCH_MAX_CHANNELS) ++params->MatchedCount;
            hasSep = true;
            matched = true;
            break;
          }
        }
        const bool timeWord = strcasecmp(title, "date") == 0 || strcasecmp(title, "time") == 0 ||
                              strcasecmp(title, "date_time") == 0;
        if (!matched && timeWord) {
          if (params->TimeColumn < 1) {
            if (*p == '=') {
              ++p;
              rec.Time = CLI_ParseNumberAt(&p);
            }
            params->TimeColumn = c + 1;
          }
        } else if (!matched && std::strcmp(title, "array") == 0) {
          if (*p == '=') ++p;
          arraySeen = true;
        } else if (!matched && n > 0 && params->UnknownCount < WATCH_MAX_CHANNELS) {
          Watch_CopyText(params->UnknownTitles[params->UnknownCount++], WATCH_TITLE_SIZE, title, 15);
        }
      }
      if (!NextColumn(p, sep)) break;
    }
    if (hasSep || arraySeen) headerFound = true;
  }

  // Data lines.
  if (headerFound && params->MatchedCount > 0) {
    while (!reader.eof) {
      const int len = CLI_FileReadWholeLine(&reader, PLOT_IMPORT_MAX_LINE, &text);
      if (len <= 0) {
        if (len < 0) break;
        continue;
      }
      const char* p = text.c_str();
      for (int c = 0; InColumn(p, sep) && c < PLOT_IMPORT_MAX_COLUMNS; ++c) {
        if (c + 1 == params->TimeColumn) {
          double t;
          if (ConvertTime(p, params->TimeFormat, t0, &t)) rec.Time = t;
        }
        const int k = columnMap[c];
        if (k >= 0) {
          T_PlotChannelValues& v = rec.Channel[k];
          double last = CLI_ParseNumberAt(&p);
          v.Min = last;
          if (*p == ',') {
            ++p;
            last = CLI_ParseNumberAt(&p);
          }
          v.Max = last;
          if (*p == ',') {
            ++p;
            last = CLI_ParseNumberAt(&p);
          }
          v.Average = last;
        }
        if (!NextColumn(p, sep)) break;
      }
      PlotData_StoreRecord(pd, &rec);
      rec.Time += 1.0;
    }
  }
  close(reader.handle);

  if (params->MatchedCount < 1 && !g_PlotImportErrorText[0])
    Watch_CopyText(g_PlotImportErrorText, sizeof g_PlotImportErrorText, "No column titles recognized.", 255);
  return params->MatchedCount;
}
