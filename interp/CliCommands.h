#pragma once
// Commands, macros and the object words of the command language. GUI thread only.
#include <string>
#include <vector>

#include "interp/CliEval.h"

// Clears the interpreter state (nesting depth, result type, x/y/z, error text, the frequency
// markers, the three spectrum records; the reference gets bin width 0 = no reference).
// Called once at start-up before anything uses the interpreter. Registered object words
// and the sound hooks are kept.
void CLI_Init();

// One command at g_CliParsePtr; the position is left behind it.
int CLI_ExecuteCommand(int source);
// One command text with x = x, y = z = y; the parse position is saved and restored.
int CLI_ExecuteCommandXY(int source, const char* command, double x, double y);
// Macros and command texts running now: raised by CLI_ExecuteMacro and CLI_ExecuteCommandXY
// for their whole run, dialogs their words open included (g_CliNestingDepth is 0 between the
// commands of a macro). Above 0 the main loop starts no macro and makes no spectrum line, so
// no macro ever starts inside another.
extern int g_CliMacroDepth;

// The ':'-separated commands of a line, stopping at the first error. On an error
// g_CliErrorText holds "Error near \"...\"" (or a more specific text), and when the message
// display filter has bit 1 or 2 set the error goes to the command window as its text followed
// by " in macro line" (for -4 also ": \"word\"", the word that is unknown).
int CLI_ExecuteMacro(int source, const char* line);

// The argument list of print (at the parse position) as text; returns its length or an error.
int CLI_EvalPrintArgs(int source, char* dest, int maxLen);
// The exec command, at the position directly after the word "exec".
int CLI_ExecProgram(int source);

// ---- Object words ----
// Handler convention: int handler(int source, double* result). g_CliParsePtr stands after
// the object word and the '.' the dispatcher consumed. result != nullptr: function context,
// store the value (0 for a string-valued word) and set g_CliResultType to 1. result ==
// nullptr: command context (action or assignment, usually an optional '=' and an expression)
// or string context (a word that yields text copies at most 255 characters into
// g_CliStringResult and sets g_CliResultType to 2). Returns 0 or a negative CLI_ERR_ code:
// -1 first character not a lowercase letter or a known letter whose words all fail,
// -4 unknown first letter, -7 missing parenthesis, -5 missing argument, -6 illegal value,
// -3 failed action.
using CLI_ObjectHandler = int (*)(int source, double* result);

// The object words of the language and where the dispatcher serves them:
//   "wave"      command: "." directly after the word skipped
//   "capture"   command: handler gets the position directly after the word
//   "circuit"   command ("." skipped) and factor ("circuit" or "ci", optional "." after blanks)
//   "generator" command and factor ("." directly after the word skipped)
//   "export"    command and factor ("." directly after the word skipped)
//   "plot"      command and factor (optional "." after blanks)
//   "period"    command and factor (optional "." after blanks)
//   "digimode"  command ("." skipped) and factor ("digimode" or "di", "." skipped)
// A word whose handler is not registered answers -4 "command unknown".
// Registers (or with nullptr removes) the handler of one of these words; false for any
// other word. Subsystems call this from their own init functions.
bool CLI_RegisterObjectWord(const char* word, CLI_ObjectHandler handler);
CLI_ObjectHandler CLI_GetObjectWordHandler(const char* word);

// ---- Sound outputs (filled in by the subsystems that own the hardware) ----
// sound <hz>: the PC-speaker tone, hz <= 0 silences it. Default: does nothing.
using CLI_SpeakerToneFunc = void (*)(int hz);
void CLI_SetSpeakerToneFunc(CLI_SpeakerToneFunc func);  // nullptr restores the default
// click: a short system beep. Default: does nothing.
using CLI_BeepFunc = void (*)();
void CLI_SetBeepFunc(CLI_BeepFunc func);  // nullptr restores the default

// ---- Starting programs (exec, the spectrum alert's command) ----
// Splits a command line into arguments at blanks; '...' and "..." quote (the quotes are
// removed, quoted and unquoted parts next to each other join); nothing is expanded.
// False with a reason in *error for an unterminated quote or an empty line.
bool CLI_SplitCommandLine(const char* line, std::vector<std::string>* args, std::string* error);
// Starts the command line as a new process without a shell (PATH search for the program),
// in its own session, stdin from /dev/null, descriptors above 2 closed; does not wait.
// Returns the process id, or -1 with the system's text (or the split error) in *errorText.
int CLI_StartProcess(const char* commandLine, std::string* errorText);
// Replaces the start of the process (after the split) for programs that must start nothing,
// such as the fuzzing targets: the function gets the arguments and returns a process id, or -1
// with a text. nullptr restores posix_spawn.
using CLI_SpawnFunc = int (*)(const std::vector<std::string>& args, std::string* errorText);
void CLI_SetSpawnFunc(CLI_SpawnFunc func);
// Collects finished children started by CLI_StartProcess without blocking; returns how many
// are still running. Also called by every CLI_StartProcess.
int CLI_ReapChildren();
