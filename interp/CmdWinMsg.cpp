// Message lines for the command window.
#include "interp/CmdWinMsg.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "interp/CliInternal.h"

namespace {
bool g_CmdWinShown = false;
CmdWin_MessageSink g_Sink;
}  // namespace

void CmdWin_SetShown(bool shown) { g_CmdWinShown = shown; }
bool CmdWin_IsShown() { return g_CmdWinShown; }
void CmdWin_SetMessageSink(CmdWin_MessageSink sink) { g_Sink = std::move(sink); }

void CmdWin_AddMessage(int source, int msgClass, const char* text)
{
  if (!g_CmdWinShown || !g_Sink) return;
  g_Sink(source, msgClass, text ? std::string(text) : std::string());
}

void CmdWin_AddTimedMessage(int source, int msgClass, const char* text)
{
  if (!g_CmdWinShown || !g_Sink) return;
  // UTC time of day of the whole seconds; a clock that is not finite counts as midnight.
  const double t = CliCoarseUnixTime();
  long long secOfDay = 0;
  if (std::isfinite(t)) {
    secOfDay = static_cast<long long>(std::fmod(std::floor(t), 86400.0));
    if (secOfDay < 0) secOfDay += 86400;
  }
  char line[16];
  std::snprintf(line, sizeof line, "%02d:%02d:%02d ", static_cast<int>(secOfDay / 3600),
                static_cast<int>(secOfDay / 60 % 60), static_cast<int>(secOfDay % 60));
  std::string msg = line;
  if (text) msg += text;
  CmdWin_AddMessage(source, msgClass, msg.c_str());
}
