// The interpreter: arbitrary text run as a macro and evaluated as an expression with two
// arguments, with the object words that work without windows registered as the program
// registers them ("circuit", "generator", "period", "export", "digimode"). exec starts nothing
// here (the spawn function only records the call), the speaker and the beep are silent, and the
// process works in a directory of its own; export file names with a path are refused, so no
// file the text might name lands elsewhere. The nesting counter must be back at 0 after every
// call.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "control/CircuitModel.h"
#include "control/GeneratorWords.h"
#include "digimode/DigimodeHooks.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/ExportEngine.h"
#include "interp/PeriodicActions.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

int NoSpawn(const std::vector<std::string>& args, std::string* errorText)
{
  if (args.empty() && errorText) *errorText = "nothing to start";
  return args.empty() ? -1 : 424242;
}
// "export" as registered, but a text naming a path stays out of the file system.
int ExportHere(int source, double* result)
{
  if (std::strpbrk(g_CliParsePtr, "/\\")) return CLI_ERR_ILLEGAL_VALUE;
  return CLI_ExecExportCommand(source, result);
}

void NoTone(int) {}
void NoBeep() {}

bool Setup()
{
  if (::chdir(vt_fuzz::WorkDir().c_str()) != 0) return false;
  CLI_SetSpawnFunc(NoSpawn);
  CLI_SetSpeakerToneFunc(NoTone);
  CLI_SetBeepFunc(NoBeep);
  CLI_Init();
  Circuit_RegisterWords();
  Generator_RegisterWords();
  CLI_RegisterObjectWord("period", CLI_ExecPeriodCommand);
  CLI_RegisterObjectWord("export", ExportHere);
  Digimode_Init();  // registers "digimode"
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool ready = Setup();
  if (!ready || size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string line = text.substr(0, text.find('\0'));
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, line.c_str());
  VT_FUZZ_CHECK(g_CliNestingDepth == 0);
  (void)CLI_CalcExpression2(CLI_SRC_CMDWIN, line.c_str(), 1.5, -2.5);
  VT_FUZZ_CHECK(g_CliNestingDepth == 0);
  return 0;
}
