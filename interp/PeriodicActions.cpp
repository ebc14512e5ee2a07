#include "interp/PeriodicActions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"

namespace {

PeriodDialogHook& DialogHook()
{
  static PeriodDialogHook hook;
  return hook;
}

// The whole text of up to two characters at text[first..] as a number (an optional sign, then
// digits only); 0 when it is none.
int TwoCharNumber(const char* text, size_t len, size_t first)
{
  if (first >= len) return 0;
  const size_t n = std::min<size_t>(2, len - first);
  const char* p = text + first;
  const char* end = p + n;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (p == end) return 0;
  int v = 0;
  for (; p < end; ++p) {
    if (*p < '0' || *p > '9') return 0;
    v = v * 10 + (*p - '0');
  }
  return negative ? -v : v;
}

unsigned g_StartCount = 0;

void NotifyDialog()
{
  if (auto& hook = DialogHook()) hook(SndConfig.TimerActive, SndConfig.TimeInterval);
}

}  // namespace

const char* PeriSced_SecondsToHHMM(int seconds)
{
  static char text[16];
  if (seconds < 0) {
    text[0] = '\0';
    return text;
  }
  std::snprintf(text, sizeof text, "%02d:%02d", (seconds / 3600) % 60, (seconds / 60) % 60);
  return text;
}

int PeriSced_HHMMToSeconds(const char* text)
{
  if (!text) return 0;
  const size_t len = std::strlen(text);
  return TwoCharNumber(text, len, 0) * 3600 + TwoCharNumber(text, len, 3) * 60;
}

void PeriSced_SetDialogHook(PeriodDialogHook hook) { DialogHook() = std::move(hook); }

unsigned PeriSced_StartCount() { return g_StartCount; }

int CLI_ExecPeriodCommand(int source, double* result)
{
  if (result) {
    *result = 0.0;
    g_CliResultType = CLI_TYPE_NUMBER;
  }
  const char c = *g_CliParsePtr;
  if (c < 'a' || c > 'z') return CLI_ERR_SYNTAX;
  if (c != 's') return CLI_ERR_UNKNOWN_COMMAND;
  if (std::strncmp(g_CliParsePtr, "start", 5) == 0) {
    g_CliParsePtr += 5;
    if (CLI_CheckAndSkipChar('(')) {
      double interval = 0.0;
      const int rc = CLI_EvalExpression(source, &interval);
      if (rc < 0) return rc;
      if (!std::isfinite(interval)) return CLI_ERR_ILLEGAL_VALUE;
      CLI_CheckAndSkipChar(')');
      SndConfig.TimeInterval = interval;
    }
    SndConfig.TimerActive = true;
    ++g_StartCount;
    NotifyDialog();
    return CLI_OK;
  }
  if (std::strncmp(g_CliParsePtr, "stop", 4) == 0) {
    g_CliParsePtr += 4;
    SndConfig.TimerActive = false;
    NotifyDialog();
    return CLI_OK;
  }
  return CLI_ERR_SYNTAX;
}
