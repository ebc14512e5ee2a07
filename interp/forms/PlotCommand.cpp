// The "plot" object word.
#include "interp/forms/PlotCommand.h"

#include <QImage>

#include <cstring>
#include <string>

#include "engine/SndConfig.h"
#include "imaging/forms/SaveImage.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CmdWinMsg.h"

int g_PlotWindowClosed = 1;
QImage* g_PlotCaptureBitmap = nullptr;

int CLI_ExecPlotCommand(int source, double* /*result*/)
{
  if (g_PlotWindowClosed || !g_PlotCaptureBitmap) return CLI_ERR_FAILED;
  const char c = *g_CliParsePtr;
  if (c < 'a' || c > 'z') return CLI_ERR_SYNTAX;
  if (std::strncmp(g_CliParsePtr, "capture", 7) != 0) return CLI_ERR_UNKNOWN_COMMAND;
  g_CliParsePtr += 7;
  if (*g_CliParsePtr != '(') return CLI_ERR_ARG_MISSING;
  ++g_CliParsePtr;
  char name[256] = {};
  const int rc = CLI_EvalStringExpression(source, name, 255);
  if (rc < 0) return rc;
  CLI_SkipSpaces();
  if (*g_CliParsePtr != ')') return CLI_ERR_SYNTAX;
  ++g_CliParsePtr;
  if (SaveBitmapToImageFile(name, *g_PlotCaptureBitmap)) {
    if (SndConfig.MsgDisplay & MSGDISP_FILE_ACTIONS)
      CmdWin_AddTimedMessage(CLI_SRC_WATCH, 0, ("Captured plot diagram as \"" + std::string(name) + "\"").c_str());
    return 0;
  }
  CmdWin_AddTimedMessage(CLI_SRC_WATCH, 0, ("Failed to capture plot diagram as \"" + std::string(name) + "\"").c_str());
  return CLI_ERR_FAILED;
}

void Plot_RegisterCommandWord() { CLI_RegisterObjectWord("plot", CLI_ExecPlotCommand); }
