// Command dispatch, macros, print, sound and click, the object-word table and CLI_Init.
#include "interp/CliCommands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "interp/CliInternal.h"
#include "interp/CliSpectrum.h"
#include "interp/CmdWinMsg.h"
#include "interp/FreqMarkerState.h"
#include "platform/NumText.h"

FreqMarkerState g_FreqMarkers[CLI_NR_FREQ_MARKERS] = {};
int g_CliMacroDepth = 0;

namespace {

// Counts one running macro or command text for the lifetime of the object.
struct MacroRunGuard {
  MacroRunGuard() { ++g_CliMacroDepth; }
  ~MacroRunGuard() { --g_CliMacroDepth; }
  MacroRunGuard(const MacroRunGuard&) = delete;
  MacroRunGuard& operator=(const MacroRunGuard&) = delete;
};

constexpr int kNrWords = static_cast<int>(CliObjectWordId::Count);
const char* const kObjectWordNames[kNrWords] = {"wave",   "capture", "circuit", "generator",
                                                "export", "plot",    "period",  "digimode"};
CLI_ObjectHandler g_ObjectHandlers[kNrWords] = {};

void NoSpeakerTone(int) {}
void NoBeep() {}
CLI_SpeakerToneFunc g_SpeakerTone = NoSpeakerTone;
CLI_BeepFunc g_Beep = NoBeep;

bool TakeWord(const char* word)
{
  const size_t n = std::strlen(word);
  if (std::strncmp(g_CliParsePtr, word, n) != 0) return false;
  g_CliParsePtr += n;
  return true;
}

// An object word in command context: no result pointer. A word whose window does not serve it
// is unknown; the position goes back to the word, which the error message then names.
int RunObjectCommand(CliObjectWordId id, int source, const char* word)
{
  CLI_ObjectHandler handler = CLI_GetObjectHandler(id);
  if (!handler) {
    g_CliParsePtr = word;
    return CLI_ERR_UNKNOWN_COMMAND;
  }
  return handler(source, nullptr);
}

int RunObjectCommandDirectDot(CliObjectWordId id, int source, const char* word)
{
  if (*g_CliParsePtr == '.') ++g_CliParsePtr;
  return RunObjectCommand(id, source, word);
}

int RunObjectCommandDotAfterBlanks(CliObjectWordId id, int source, const char* word)
{
  CLI_SkipSpaces();
  if (*g_CliParsePtr == '.') ++g_CliParsePtr;
  return RunObjectCommand(id, source, word);
}

// The word (letters, digits, '_') at the text; "" when none starts there.
std::string WordAt(const char* p)
{
  const char* q = p;
  while ((*q >= 'a' && *q <= 'z') || (*q >= 'A' && *q <= 'Z') || (*q >= '0' && *q <= '9') || *q == '_')
    ++q;
  return std::string(p, static_cast<size_t>(q - p));
}

int RunPrint(int source)
{
  char text[256];
  int rc = CLI_EvalPrintArgs(source, text, 255);
  if (rc < 0) return rc;
  CmdWin_AddMessage(source, CMDWIN_MSG_INFO, text);
  return CLI_OK;
}

int RunSound(int source)
{
  double hz = 0.0;
  int rc = CLI_EvalFactor(source, &hz);
  if (rc < 0) return rc;
  int wholeHz = 0;
  if (!CliDoubleToInt(hz, -2147483647, 2147483647, &wholeHz)) return CLI_ERR_ILLEGAL_VALUE;
  g_SpeakerTone(wholeHz);
  return CLI_OK;
}

int DispatchLowercase(int source)
{
  const char* word = g_CliParsePtr;
  switch (*g_CliParsePtr) {
    case 'c':
      if (TakeWord("capture")) return RunObjectCommand(CliObjectWordId::Capture, source, word);
      if (TakeWord("circuit")) return RunObjectCommandDirectDot(CliObjectWordId::Circuit, source, word);
      if (TakeWord("click")) {
        g_Beep();
        return CLI_OK;
      }
      return CLI_ERR_SYNTAX;
    case 'd':
      if (TakeWord("digimode")) return RunObjectCommandDirectDot(CliObjectWordId::Digimode, source, word);
      return CLI_ERR_SYNTAX;
    case 'e':
      if (TakeWord("exec")) return CLI_ExecProgram(source);
      if (TakeWord("export")) return RunObjectCommandDirectDot(CliObjectWordId::Export, source, word);
      return CLI_ERR_SYNTAX;
    case 'g':
      if (TakeWord("generator")) return RunObjectCommandDirectDot(CliObjectWordId::Generator, source, word);
      return CLI_ERR_SYNTAX;
    case 'p':
      if (TakeWord("print")) return RunPrint(source);
      if (TakeWord("period")) return RunObjectCommandDotAfterBlanks(CliObjectWordId::Period, source, word);
      if (TakeWord("plot")) return RunObjectCommandDotAfterBlanks(CliObjectWordId::Plot, source, word);
      return CLI_ERR_SYNTAX;
    case 's':
      if (TakeWord("sound")) return RunSound(source);
      return CLI_ERR_SYNTAX;
    case 'w':
      if (TakeWord("wave")) return RunObjectCommandDirectDot(CliObjectWordId::Wave, source, word);
      return CLI_ERR_SYNTAX;
    default: return CLI_ERR_UNKNOWN_COMMAND;
  }
}

}  // namespace

CLI_ObjectHandler CLI_GetObjectHandler(CliObjectWordId id)
{
  const int i = static_cast<int>(id);
  return (i >= 0 && i < kNrWords) ? g_ObjectHandlers[i] : nullptr;
}

bool CLI_RegisterObjectWord(const char* word, CLI_ObjectHandler handler)
{
  if (!word) return false;
  for (int i = 0; i < kNrWords; ++i) {
    if (std::strcmp(word, kObjectWordNames[i]) == 0) {
      g_ObjectHandlers[i] = handler;
      return true;
    }
  }
  return false;
}

CLI_ObjectHandler CLI_GetObjectWordHandler(const char* word)
{
  if (!word) return nullptr;
  for (int i = 0; i < kNrWords; ++i)
    if (std::strcmp(word, kObjectWordNames[i]) == 0) return g_ObjectHandlers[i];
  return nullptr;
}

void CLI_SetSpeakerToneFunc(CLI_SpeakerToneFunc func) { g_SpeakerTone = func ? func : NoSpeakerTone; }
void CLI_SetBeepFunc(CLI_BeepFunc func) { g_Beep = func ? func : NoBeep; }

void CLI_Init()
{
  CliResetEvaluatorState();
  std::memset(g_FreqMarkers, 0, sizeof g_FreqMarkers);
  CLI_InitSpectrumBuffer(&g_LatestSpectrum);
  CLI_InitSpectrumBuffer(&g_ReferenceSpectrum);
  CLI_InitSpectrumBuffer(&g_DiffSpectrum);
  g_ReferenceSpectrum.bin_width_hz = 0.0;  // no reference until one is loaded or copied in
}

int CLI_ExecuteCommand(int source)
{
  // The first character classifies the command before any blank is skipped.
  const char c = *g_CliParsePtr;
  if (c == '\0') return CLI_OK;
  if (c >= 'A' && c <= 'Z') {
    // Assignment to a user variable: there are none to hold it.
    ++g_CliParsePtr;
    CLI_SkipSpaces();
    if (*g_CliParsePtr != '=') return CLI_ERR_SYNTAX;
    ++g_CliParsePtr;
    return CLI_ERR_OUT_OF_MEMORY;
  }
  if (c >= 'a' && c <= 'z') return DispatchLowercase(source);
  return CLI_ERR_SYNTAX;
}

int CLI_ExecuteCommandXY(int source, const char* command, double x, double y)
{
  const MacroRunGuard running;
  const char* saved = g_CliParsePtr;
  g_CliParsePtr = command ? command : CliEmptyText();
  g_CliArgX = x;
  g_CliArgY = y;
  g_CliArgZ = y;
  const int rc = CLI_ExecuteCommand(source);
  g_CliParsePtr = saved;
  return rc;
}

int CLI_ExecuteMacro(int source, const char* line)
{
  const MacroRunGuard running;
  const char* saved = g_CliParsePtr;
  g_CliParsePtr = line ? line : CliEmptyText();
  g_CliErrorText[0] = '\0';
  int rc = CLI_OK;
  const char* start = g_CliParsePtr;
  for (;;) {
    if (*g_CliParsePtr == ':') ++g_CliParsePtr;
    start = g_CliParsePtr;
    rc = CLI_ExecuteCommand(source);
    if (rc < 0) {
      if (g_CliErrorText[0] == '\0')
        std::snprintf(g_CliErrorText, sizeof g_CliErrorText, "Error near \"%.16s\"", start);
      break;
    }
    if (*g_CliParsePtr != ':' || g_CliParsePtr == start) break;
  }
  // Where the failing command stopped, when that is inside this line (a handler that
  // evaluated a text of its own may have left the position there).
  const char* text = line ? line : CliEmptyText();
  const std::less_equal<const char*> le;
  const char* failed =
      le(text, g_CliParsePtr) && le(g_CliParsePtr, text + std::strlen(text)) ? g_CliParsePtr : start;
  g_CliParsePtr = saved;
  if (rc < 0 && CliMsgErrorsWanted()) {
    std::string msg = CLI_ErrorCodeToString(rc);
    msg += " in macro line";
    if (rc == CLI_ERR_UNKNOWN_COMMAND) {
      // Which word is unknown: the one where the command stopped (a sub-word of an object
      // word), else the command's own first word.
      std::string word = WordAt(failed);
      if (word.empty()) word = WordAt(start);
      if (!word.empty()) msg += ": \"" + word + "\"";
    }
    CmdWin_AddTimedMessage(source, CMDWIN_MSG_ERROR, msg.c_str());
  }
  return rc;
}

int CLI_EvalPrintArgs(int source, char* dest, int maxLen)
{
  int len = 0;
  dest[0] = '\0';
  CLI_SkipSpaces();
  if (*g_CliParsePtr == '(') ++g_CliParsePtr;
  for (;;) {
    CLI_SkipSpaces();
    if (*g_CliParsePtr == '"' || std::strncmp(g_CliParsePtr, "str", 3) == 0) {
      const int rc = CLI_EvalStringExpression(source, dest + len, maxLen - len);
      if (rc < 0) return rc;
      len += rc;
    } else {
      g_CliResultType = CLI_TYPE_NONE;
      double v = 0.0;
      const int rc = CLI_EvalExpression(source, &v);
      if (rc < 0) return rc;
      const std::string item = (g_CliResultType == CLI_TYPE_STRING)
                                   ? std::string(g_CliStringResult, strnlen(g_CliStringResult, 255))
                                   : FormatFloat("####0.###", v);
      const size_t n = std::min(item.size(), static_cast<size_t>(maxLen - len));
      std::memcpy(dest + len, item.data(), n);
      len += static_cast<int>(n);
      dest[len] = '\0';
    }
    CLI_SkipSpaces();
    const char c = *g_CliParsePtr;
    if (c == ',') {
      ++g_CliParsePtr;
      if (maxLen - len >= 2) {
        dest[len++] = ' ';
        dest[len] = '\0';
      }
    } else if (c == ';') {
      ++g_CliParsePtr;
    } else if (c == ':' || c == '\0') {
      break;
    } else if (c == ')') {
      ++g_CliParsePtr;
      break;
    } else {
      return CLI_ERR_SYNTAX;
    }
  }
  return len;
}

int CLI_ExecProgram(int source)
{
  if (*g_CliParsePtr != '(') return CLI_ERR_ARG_MISSING;
  ++g_CliParsePtr;
  char commandLine[256];
  int rc = CLI_EvalStringExpression(source, commandLine, 255);
  if (rc < 0) return rc;
  if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_PARENTHESIS;
  std::string error;
  if (CLI_StartProcess(commandLine, &error) < 0) {
    std::snprintf(g_CliErrorText, sizeof g_CliErrorText, "%s", error.c_str());
    return CLI_ERR_EXEC_FAILED;
  }
  return CLI_OK;
}
