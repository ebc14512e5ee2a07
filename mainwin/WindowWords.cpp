// The interpreter words "wave" and "capture" (see WindowWords.h).
#include "mainwin/WindowWords.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CmdWinMsg.h"

CCaptureIndicator g_CaptureIndicator;

namespace {

IWindowWordsHost* g_Host = nullptr;

constexpr int kWaveNameMax = 511;
constexpr int kCaptureNameMax = 255;

bool StartsWith(const char* p, const char* word) { return std::strncmp(p, word, std::strlen(word)) == 0; }

void SetErrorText(const std::string& text)
{
  std::snprintf(g_CliErrorText, sizeof g_CliErrorText, "%s", text.c_str());
}

void FileActionMessage(const std::string& text)
{
  if (SndConfig.MsgDisplay & MSGDISP_FILE_ACTIONS)
    CmdWin_AddTimedMessage(5, CMDWIN_MSG_INFO, text.c_str());
}

// "record" behind its word: none, or ( name [ , mode ] ).
int ExecWaveRecord(int source)
{
  char name[kWaveNameMax + 1] = "";
  int mode = 1;
  if (*g_CliParsePtr == '(') {
    ++g_CliParsePtr;
    const int n = CLI_EvalStringExpression(source, name, kWaveNameMax);
    if (n < 0) return n;
    if (CLI_SkipComma()) {
      double value = 0;
      const int rc = CLI_EvalExpression(source, &value);
      if (rc < 0) return rc;
      // Checked before any conversion: NaN or a huge value has no integer to truncate to.
      if (!std::isfinite(value) || value < 1.0 || value >= 3.0) return CLI_ERR_ILLEGAL_VALUE;
      mode = static_cast<int>(value);
    }
    if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_SYNTAX;
  }
  std::string reason;
  if (!g_Host->StartWaveRecordingQuiet(mode, name, &reason)) {
    if (reason.empty()) reason = std::string("Could not start recording to \"") + name + "\"";
    SetErrorText(reason);
    DebugPrintf(20, GetPreciseUnixTime(true), "Error: %s", reason.c_str());
    return CLI_ERR_FAILED;
  }
  return 0;
}

}  // namespace

void SetWindowWordsHost(IWindowWordsHost* host) { g_Host = host; }
IWindowWordsHost* GetWindowWordsHost() { return g_Host; }

void RegisterWindowWords()
{
  CLI_RegisterObjectWord("wave", CLI_ExecWaveCommand);
  CLI_RegisterObjectWord("capture", CLI_ExecCaptureCommand);
}

int CLI_ExecWaveCommand(int source, double* result)
{
  (void)result;
  if (!g_Host) return CLI_ERR_FAILED;
  const char c = *g_CliParsePtr;
  if (c < 'a' || c > 'z') return CLI_ERR_SYNTAX;
  // Each sub-word is compared over its own length; what stands behind it is the caller's.
  if (StartsWith(g_CliParsePtr, "record")) {
    g_CliParsePtr += 6;
    return ExecWaveRecord(source);
  }
  if (StartsWith(g_CliParsePtr, "stop")) {
    g_CliParsePtr += 4;
    g_Host->StopWaveRecording();
    return 0;
  }
  return CLI_ERR_UNKNOWN_COMMAND;
}

bool BuildSequenceName(const char* base, int number, bool jpeg, std::string* name)
{
  char buf[kCaptureNameMax + 1];
  const int n = std::snprintf(buf, sizeof buf, "%s%02d.%s", base, number, jpeg ? "jpg" : "bmp");
  if (n < 0 || n > kCaptureNameMax) return false;
  *name = buf;
  return true;
}

int CLI_ExecCaptureCommand(int source, double* result)
{
  (void)result;
  if (!g_Host) return CLI_ERR_FAILED;
  std::string name;
  if (CLI_CheckAndSkipChar('(')) {
    char buf[kCaptureNameMax + 1] = "";
    const int n = CLI_EvalStringExpression(source, buf, kCaptureNameMax);
    if (n < 0) return n;
    if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_SYNTAX;
    name = buf;
    FileActionMessage("Capturing to file \"" + name + "\"");
  } else {
    char base[sizeof SndConfig.SequenceName];
    std::snprintf(base, sizeof base, "%s", SndConfig.SequenceName);
    if (!BuildSequenceName(base, SndConfig.SequenceNr, SndConfig.UseJpegFormat != 0, &name)) {
      SetErrorText("Sequence file name too long");
      return CLI_ERR_STRING_TOO_LONG;  // nothing written, the number stays
    }
    SndConfig.SequenceNr = SndConfig.SequenceNr + 1;
    FileActionMessage("Capturing sequence \"" + name + "\"");
  }
  const bool written = g_Host->ComposeCaptureBitmap(name);
  g_CaptureIndicator.Set(SndConfig.SequenceNr, g_Host->CaptureClock());
  g_Host->ShowCaptureIndicator(g_CaptureIndicator.Caption);
  if (!written) {
    SetErrorText("Could not write \"" + name + "\"");
    return CLI_ERR_FAILED;
  }
  return 0;
}

void CCaptureIndicator::Set(int sequenceNr, double now)
{
  Caption = "Captured #" + std::to_string(sequenceNr);
  Until = std::trunc(now) + 10.0;
}

bool CCaptureIndicator::Expire(double now)
{
  if (Caption.empty() || now < Until) return false;
  Caption.clear();
  return true;
}
