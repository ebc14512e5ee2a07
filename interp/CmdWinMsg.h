#pragma once
// Message lines for the command window's message list. Callers test their bit of the
// message display filter (SndConfig.MsgDisplay) themselves; these functions filter nothing.
// GUI thread only (the audio thread has its own queue).
#include <functional>
#include <string>

// Bits of the message display filter SndConfig.MsgDisplay.
enum : int {
  MSGDISP_ERRORS = 1,          // "..all errors"
  MSGDISP_WARNINGS = 2,        // "..all warnings" (the interpreter tests 1 and 2 together)
  MSGDISP_HINTS = 4,           // "..debugging hints"
  MSGDISP_FILE_ACTIONS = 8,    // "..file actions"
  MSGDISP_SCHED_ACTIONS = 16,  // "..scheduled actions"
};
// Message classes.
enum : int { CMDWIN_MSG_INFO = 0, CMDWIN_MSG_ERROR = 1 };

// Appends the text as a new line while the command window is shown; otherwise drops it.
void CmdWin_AddMessage(int source, int msgClass, const char* text);
// The same with the UTC time of day "hh:mm:ss" and a blank in front.
void CmdWin_AddTimedMessage(int source, int msgClass, const char* text);

// The command window sets this when it is shown and clears it when it closes.
void CmdWin_SetShown(bool shown);
bool CmdWin_IsShown();
// Where the lines go (the command window's message list; tests install their own).
// Without a sink, lines are dropped.
using CmdWin_MessageSink = std::function<void(int source, int msgClass, const std::string& line)>;
void CmdWin_SetMessageSink(CmdWin_MessageSink sink);
