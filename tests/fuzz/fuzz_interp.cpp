// The interpreter: arbitrary text run as a macro and evaluated as an expression with two
// arguments. exec starts nothing here (the spawn function only records the call), the speaker
// and the beep are silent, and the process works in a directory of its own, so no file the
// text might name lands elsewhere. The nesting counter must be back at 0 after every call.
#include <cstdint>
#include <string>
#include <vector>

#include <unistd.h>

#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

int NoSpawn(const std::vector<std::string>& args, std::string* errorText)
{
  if (args.empty() && errorText) *errorText = "nothing to start";
  return args.empty() ? -1 : 424242;
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
