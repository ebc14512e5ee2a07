// The text export engine and the word export.
#include "interp/ExportEngine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CmdWinMsg.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"
#include "platform/SerialLines.h"

ExportDefinition g_ExportDefinition = {};
int32_t& g_ExportColumnCount = g_ExportDefinition.ColumnCount;
ExportColumn (&g_ExportColumns)[EXPORT_MAX_COLUMNS] = g_ExportDefinition.Columns;
int32_t& g_ExportActive = g_ExportDefinition.Active;
int32_t& g_ExportSeparator = g_ExportDefinition.Separator;
char (&g_ExportFileName)[256] = g_ExportDefinition.FileName;
char (&g_ExportCmdAfterSpectrum)[256] = g_ExportDefinition.CmdAfterSpectrum;
char (&g_ExportCmdBeforeWrite)[256] = g_ExportDefinition.CmdBeforeWrite;
char (&g_ExportCmdAfterWrite)[256] = g_ExportDefinition.CmdAfterWrite;
int32_t& g_ExportUsePreciseInterval = g_ExportDefinition.UsePreciseInterval;
double& g_ExportWriteIntervalSec = g_ExportDefinition.WriteIntervalSec;

double g_ExportColumnValues[EXPORT_MAX_COLUMNS] = {};
char g_ExportColumnTexts[EXPORT_MAX_COLUMNS][256] = {};
int32_t g_ExportDefinitionChanged = 0;
double g_ExportDefinitionSaveTime = 0.0;

namespace {

constexpr const char* kFormatSection = "EXPORT_FORMAT";
constexpr const char* kActionsSection = "EXPORT_ACTIONS";
constexpr int kTitleLineLimit = 5;  // files of at most this many bytes get the title line

template <size_t N>
void CopyField(char (&field)[N], const std::string& text, size_t maxChars)
{
  const size_t n = std::min({text.size(), maxChars, N - 1});
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

std::string Quoted(const char* name) { return std::string("\"") + name + "\""; }

void Report(int bits, const std::string& text)
{
  if (SndConfig.MsgDisplay & bits) CmdWin_AddTimedMessage(CLI_SRC_EXPORT, CMDWIN_MSG_INFO, text.c_str());
}

std::string FullPath(const std::string& name)
{
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(name, ec);
  return ec ? name : p.string();
}

int ColumnCount() { return std::clamp(g_ExportColumnCount, 1, EXPORT_MAX_COLUMNS); }

}  // namespace

std::string Export_DeviceOfName(const char* name, bool* refused)
{
  *refused = false;
  if (!name || std::tolower(static_cast<unsigned char>(name[0])) != 'c' ||
      std::tolower(static_cast<unsigned char>(name[1])) != 'o' ||
      std::tolower(static_cast<unsigned char>(name[2])) != 'm')
    return std::string();
  const char* p = name + 3;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return std::string();
  long n = 0;
  while (std::isdigit(static_cast<unsigned char>(*p)) && n < 1000) n = n * 10 + (*p++ - '0');
  if (*p == ':') ++p;
  if (*p != '\0') return std::string();  // "COM1.txt" and the like are plain file names
  if (n < 1 || n > 4) {
    *refused = true;
    return std::string();
  }
  return SerialLines_DeviceName(static_cast<int>(n));
}

CExportEngine::CExportEngine()
{
  std::memset(&g_ExportDefinition, 0, sizeof g_ExportDefinition);
  std::memset(g_ExportColumnValues, 0, sizeof g_ExportColumnValues);
  std::memset(g_ExportColumnTexts, 0, sizeof g_ExportColumnTexts);
  Clock = [] { return GetPreciseUnixTime(false); };
}

CExportEngine::~CExportEngine() { CloseFile(); }

CExportEngine& ExportEngine()
{
  static CExportEngine engine;
  return engine;
}

// ---- Definition file ----

void CExportEngine::LoadSettings(const std::string& fileName)
{
  const std::string previousName = g_ExportFileName;
  // An empty name reads nothing: every key takes its default.
  const IniFile ini(fileName.empty() ? std::string() : FullPath(fileName));
  g_ExportColumnCount = std::clamp(ini.ReadInteger(kFormatSection, "NrOfColumns", 5), 1, EXPORT_MAX_COLUMNS);
  g_ExportActive = ini.ReadInteger(kFormatSection, "Active", 0);
  g_ExportSeparator = ini.ReadInteger(kFormatSection, "SeparatorChr", 9);
  CopyField(g_ExportFileName, ini.ReadString(kFormatSection, "FileName", "test.txt"), 255);
  for (int i = 0; i < g_ExportColumnCount; ++i) {
    ExportColumn& c = g_ExportColumns[i];
    const std::string n = std::to_string(i);
    CopyField(c.title, ini.ReadString(kFormatSection, "Title" + n, "Col" + n), 20);
    CopyField(c.expression, ini.ReadString(kFormatSection, "Exprs" + n, ""), 80);
    CopyField(c.format, ini.ReadString(kFormatSection, "Format" + n, "###0.#"), 20);
    c.flags = ini.ReadInteger(kFormatSection, "Flags" + n, 0);
  }
  CopyField(g_ExportCmdAfterSpectrum, ini.ReadString(kActionsSection, "CmdAfterSpectrum", ""), 255);
  CopyField(g_ExportCmdBeforeWrite, ini.ReadString(kActionsSection, "CmdBeforeWrite", ""), 255);
  CopyField(g_ExportCmdAfterWrite, ini.ReadString(kActionsSection, "CmdAfterWrite", ""), 255);
  g_ExportUsePreciseInterval = ini.ReadInteger(kActionsSection, "UsePreciseInterval", 0);
  g_ExportWriteIntervalSec =
      StrToFloatDef(ini.ReadString(kActionsSection, "WriteIntervalSec", ""), g_ExportWriteIntervalSec);
  g_ExportDefinitionChanged = 0;
  CloseFileUnlessKept(previousName);
}

void CExportEngine::CloseFileUnlessKept(const std::string& previousName)
{
  if (!g_ExportActive || previousName != g_ExportFileName) CloseFile();
}

void CExportEngine::ChangeDefinitionFile(const std::string& previousFile, const std::string& fileName)
{
  // The running definition belongs to the previous file: its unsaved changes are kept there,
  // never written into the new one.
  if (g_ExportDefinitionChanged && !previousFile.empty()) SaveSettings(previousFile);
  LoadSettings(fileName);
  if (RefreshGrid && WindowVisible()) RefreshGrid();
}

bool CExportEngine::SaveSettings(const std::string& fileName)
{
  std::string failure;
  std::string path;
  if (fileName.empty()) {
    failure = "Export settings not saved: no definition file name";
  } else {
    path = FullPath(fileName);
    try {
      IniFile ini(path);
      const int count = ColumnCount();
      ini.WriteInteger(kFormatSection, "NrOfColumns", count);
      ini.WriteInteger(kFormatSection, "Active", g_ExportActive);
      ini.WriteInteger(kFormatSection, "SeparatorChr", g_ExportSeparator);
      ini.WriteString(kFormatSection, "FileName", g_ExportFileName);
      for (int i = 0; i < count; ++i) {
        const ExportColumn& c = g_ExportColumns[i];
        const std::string n = std::to_string(i);
        ini.WriteString(kFormatSection, "Title" + n, c.title);
        ini.WriteString(kFormatSection, "Exprs" + n, c.expression);
        ini.WriteString(kFormatSection, "Format" + n, c.format);
        ini.WriteInteger(kFormatSection, "Flags" + n, c.flags);
      }
      ini.WriteString(kActionsSection, "CmdAfterSpectrum", g_ExportCmdAfterSpectrum);
      ini.WriteString(kActionsSection, "CmdBeforeWrite", g_ExportCmdBeforeWrite);
      ini.WriteString(kActionsSection, "CmdAfterWrite", g_ExportCmdAfterWrite);
      ini.WriteInteger(kActionsSection, "UsePreciseInterval", g_ExportUsePreciseInterval);
      ini.WriteString(kActionsSection, "WriteIntervalSec", FormatFloat("###0.0####", g_ExportWriteIntervalSec));
      ini.UpdateFile();
    } catch (const EIniFileError& e) {
      failure = std::string("Export settings not saved: ") + e.what();
    }
  }
  // Either way the flag is cleared: a failure is reported once, not on every timer tick.
  g_ExportDefinitionChanged = 0;
  g_ExportDefinitionSaveTime = Clock();
  if (!failure.empty()) {
    DebugPrintf(20, 0, "%s", failure.c_str());
    CmdWin_AddTimedMessage(CLI_SRC_EXPORT, CMDWIN_MSG_ERROR, failure.c_str());
    return false;
  }
  Report(MSGDISP_HINTS, "Saved Export Settings as " + Quoted(path.c_str()));
  return true;
}

// ---- The per-spectrum step ----

void CExportEngine::OnSpectrum()
{
  if (g_ExportActive == 0) return;
  CLI_ExecuteMacro(CLI_SRC_EXPORT, g_ExportCmdAfterSpectrum);
  if (g_ExportActive == 0) return;  // the macro stopped the export
  EvalColumns();

  bool due = true;
  if (g_ExportUsePreciseInterval) {
    const double now = Clock();
    const double interval = g_ExportWriteIntervalSec;
    double next = SndConfig.NextWriteTime;
    if (!std::isfinite(next)) next = 0.0;  // unset
    due = std::isfinite(interval) && interval > 0 && now >= next;
    if (due) {
      next += interval;
      if (next < now) next += std::floor((now - next) / interval) * interval;
      SndConfig.NextWriteTime = next;
      if (RefreshFileInfo && WindowVisible()) RefreshFileInfo();
    }
  }
  if (due) {
    CLI_ExecuteMacro(CLI_SRC_EXPORT, g_ExportCmdBeforeWrite);
    if (g_ExportActive == 0) return;
    const std::string line = BuildDataLine();
    WriteLine(line.c_str());
    ResultsPending = 1;
    CLI_ExecuteMacro(CLI_SRC_EXPORT, g_ExportCmdAfterWrite);
  }
  if (ResultsPending && IsResultsPageActive && IsResultsPageActive() && WindowVisible()) {
    if (ShowResults) ShowResults();
    ResultsPending = 0;
  }
}

void CExportEngine::EvalColumns()
{
  const char* saved = g_CliParsePtr;
  const int count = ColumnCount();
  for (int i = 0; i < count; ++i) {
    g_CliParsePtr = g_ExportColumns[i].expression;
    double v = 0.0;
    if (CLI_EvalExpression(CLI_SRC_EXPORT, &v) < 0) v = CLI_INVALID_VALUE;
    g_ExportColumnValues[i] = v;
  }
  g_CliParsePtr = saved;
}

std::string CExportEngine::BuildDataLine()
{
  std::string line;
  const char sep = static_cast<char>(g_ExportSeparator & 0xFF);
  const int count = ColumnCount();
  for (int i = 0; i < count; ++i) {
    char* text = g_ExportColumnTexts[i];
    if (CLI_FormatValue(CLI_SRC_EXPORT, g_ExportColumns[i].format, g_ExportColumnValues[i], text, 255) < 0)
      text[0] = '\0';
    if (i > 0) line += sep;
    line += text;
  }
  return line;
}

std::string CExportEngine::BuildTitleLine()
{
  std::string line;
  const char sep = static_cast<char>(g_ExportSeparator & 0xFF);
  const int count = ColumnCount();
  for (int i = 0; i < count; ++i) {
    if (i > 0) line += sep;
    line += std::string(g_ExportColumns[i].title, strnlen(g_ExportColumns[i].title, sizeof g_ExportColumns[i].title));
  }
  return line;
}

// ---- Output ----

bool CExportEngine::OpenOutput()
{
  const char* name = g_ExportFileName;
  bool refused = false;
  const std::string device = Export_DeviceOfName(name, &refused);
  const std::string path = device.empty() ? std::string(name) : device;
  int fd = -1;
  m_IsRegularFile = false;
  if (!refused && !path.empty()) {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) != 0) {
      ::close(fd);
      fd = -1;
    }
    if (fd >= 0 && S_ISREG(st.st_mode)) {
      // One writer at a time; readers stay free.
      if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
      } else {
        m_IsRegularFile = true;
        const off_t end = lseek(fd, 0, SEEK_END);
        FileSize = end < 0 ? static_cast<int64_t>(st.st_size) : static_cast<int64_t>(end);
        Report(MSGDISP_FILE_ACTIONS, FileSize > 0 ? "Opened export file " + Quoted(name) + ", size=" + std::to_string(FileSize)
                                                  : "Created export file " + Quoted(name));
      }
    } else if (fd >= 0) {
      // A terminal is kept from other users; its line settings stay as they are.
      if (isatty(fd)) ioctl(fd, TIOCEXCL);
      FileSize = 0;
      Report(MSGDISP_FILE_ACTIONS, "Opened Communication Channel for export to " + Quoted(name));
    }
  }
  if (fd < 0) {
    OpenFailed = true;
    Report(MSGDISP_ERRORS | MSGDISP_WARNINGS | MSGDISP_FILE_ACTIONS, "Could not create Export " + Quoted(name));
    return false;
  }
  ExportFileHandle = fd;
  return true;
}

bool CExportEngine::WriteAll(const char* data, size_t len)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DeviceWriteTimeout_ms);
  size_t done = 0;
  while (done < len) {
    const ssize_t n = ::write(ExportFileHandle, data + done, len - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // A regular file that takes less (disk full) has failed; a device may just be busy.
    if (m_IsRegularFile || !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{ExportFileHandle, POLLOUT, 0};
    if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
  }
  return true;
}

bool CExportEngine::WriteLine(const char* text)
{
  if (ExportFileHandle < 0 && !OpenFailed) {
    if (OpenOutput() && FileSize <= kTitleLineLimit) {
      const std::string title = BuildTitleLine();
      WriteLine(title.c_str());
    }
  }
  if (ExportFileHandle < 0) return false;

  std::string line(text ? text : "", text ? strnlen(text, EXPORT_MAX_LINE_CHARS) : 0);
  line += "\r\n";
  if (!WriteAll(line.data(), line.size())) {
    // Nothing half written stays in a file: cut it back to before the line.
    if (m_IsRegularFile && ftruncate(ExportFileHandle, static_cast<off_t>(FileSize)) != 0)
      DebugPrintf(20, 0, "Export file %s could not be cut back: %s", g_ExportFileName, std::strerror(errno));
    ::close(ExportFileHandle);
    ExportFileHandle = -1;
    OpenFailed = true;
    return false;
  }
  FileSize += static_cast<int64_t>(line.size());
  if (RefreshFileInfo && WindowVisible()) RefreshFileInfo();
  return true;
}

void CExportEngine::CloseFile()
{
  if (ExportFileHandle < 0) return;
  ::close(ExportFileHandle);
  ExportFileHandle = -1;
  Report(MSGDISP_FILE_ACTIONS, "Closed export file, size=" + std::to_string(FileSize));
}

// ---- The word export ----

namespace {

// "[" n "]" at the parse position: the column index 0..29 in *index.
int ParseColumnIndex(int source, int* index)
{
  if (!CLI_CheckAndSkipChar('[')) return CLI_ERR_BRACKET;
  double v = 0.0;
  const int rc = CLI_EvalExpression(source, &v);
  if (rc < 0) return rc;
  if (!std::isfinite(v) || v < 1.0 || v >= EXPORT_MAX_COLUMNS + 1.0) return CLI_ERR_BAD_INDEX;
  if (!CLI_CheckAndSkipChar(']')) return CLI_ERR_BAD_INDEX;
  *index = static_cast<int>(v) - 1;
  return CLI_OK;
}

bool TakeWord(const char* word)
{
  const size_t n = std::strlen(word);
  if (std::strncmp(g_CliParsePtr, word, n) != 0) return false;
  g_CliParsePtr += n;
  return true;
}

void RefreshVisibleWindow()
{
  CExportEngine& e = ExportEngine();
  if (e.RefreshGrid && e.IsWindowVisible && e.IsWindowVisible()) e.RefreshGrid();
}

// expression[n], format[n], title[n]: read, or "=" and a string expression.
template <size_t N>
int TextColumnWord(int source, double* result, char (ExportColumn::*field)[N], size_t maxChars)
{
  int index = 0;
  int rc = ParseColumnIndex(source, &index);
  if (rc < 0) return rc;
  char(&text)[N] = g_ExportColumns[index].*field;
  if (CLI_CheckAndSkipChar('=')) {
    char value[256];
    rc = CLI_EvalStringExpression(source, value, 255);
    if (rc < 0) return rc;
    CopyField(text, std::string(value, static_cast<size_t>(rc)), maxChars);
    RefreshVisibleWindow();
  }
  CopyField(g_CliStringResult, std::string(text, strnlen(text, N)), CLI_STRING_RESULT_MAX);
  if (result) *result = 0.0;
  g_CliResultType = CLI_TYPE_STRING;
  return CLI_OK;
}

int Activate(double* result)
{
  if (g_ExportActive == 0) g_ExportDefinitionChanged = 1;
  g_ExportActive = 1;
  RefreshVisibleWindow();
  if (result) *result = 1.0;
  g_CliResultType = CLI_TYPE_NONE;
  return CLI_OK;
}

int StartWord(int source, double* result)
{
  CExportEngine& e = ExportEngine();
  if (!CLI_CheckAndSkipChar('(')) {
    if (g_ExportActive == 0) Report(MSGDISP_FILE_ACTIONS, "Activated export to old name " + Quoted(g_ExportFileName));
    return Activate(result);
  }
  char name[256];
  const int rc = CLI_EvalStringExpression(source, name, 255);
  if (rc < 0) return rc;
  if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_SYNTAX;
  e.CloseFile();
  if (std::strcmp(name, g_ExportFileName) != 0) g_ExportDefinitionChanged = 1;
  CopyField(g_ExportFileName, name, 255);
  Report(MSGDISP_FILE_ACTIONS, "New Export File Name " + Quoted(g_ExportFileName));
  return Activate(result);
}

int StopWord()
{
  if (g_ExportActive != 0) {
    Report(MSGDISP_FILE_ACTIONS, "Export function de-activated by command.");
    g_ExportDefinitionChanged = 1;
  }
  g_ExportActive = 0;
  ExportEngine().CloseFile();
  RefreshVisibleWindow();
  return CLI_OK;
}

}  // namespace

int CLI_ExecExportCommand(int source, double* result)
{
  if (result) *result = 0.0;
  g_CliResultType = CLI_TYPE_NONE;
  const char c = *g_CliParsePtr;
  if (c < 'a' || c > 'z') return CLI_ERR_SYNTAX;
  if (TakeWord("expression")) return TextColumnWord(source, result, &ExportColumn::expression, 80);
  if (TakeWord("format")) return TextColumnWord(source, result, &ExportColumn::format, 20);
  if (TakeWord("title")) return TextColumnWord(source, result, &ExportColumn::title, 20);
  if (TakeWord("value")) {
    int index = 0;
    int rc = ParseColumnIndex(source, &index);
    if (rc < 0) return rc;
    if (CLI_CheckAndSkipChar('=')) {
      double v = 0.0;
      rc = CLI_EvalExpression(source, &v);
      if (rc < 0) return rc;
      g_ExportColumnValues[index] = v;
    }
    if (result) *result = g_ExportColumnValues[index];
    g_CliResultType = CLI_TYPE_NUMBER;
    return CLI_OK;
  }
  if (TakeWord("print")) {
    CLI_SkipSpaces();
    if (*g_CliParsePtr != '(') return CLI_ERR_ARG_MISSING;
    char text[512];
    const int rc = CLI_EvalPrintArgs(source, text, 511);
    if (rc < 0) return rc;
    ExportEngine().WriteLine(text);
    return CLI_OK;
  }
  if (TakeWord("start")) return StartWord(source, result);
  if (TakeWord("stop")) return StopWord();
  return CLI_ERR_UNKNOWN_COMMAND;
}
