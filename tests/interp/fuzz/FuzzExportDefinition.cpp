// libFuzzer target: arbitrary bytes loaded as an export definition file (".edf"), then the
// columns evaluated and the title and data lines built. Nothing is written and no macro runs.
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/DebugU1.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/ExportEngine.h"
#include "tests/interp/fuzz/FuzzTempFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool once = [] {
    SetDebugSink([](const std::string&) {});
    SndConfig.MsgDisplay = 0;
    CLI_Init();
    return true;
  }();
  (void)once;
  FILE* f = std::fopen(FuzzTempFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  CExportEngine& e = ExportEngine();
  e.LoadSettings(FuzzTempFile());
  e.EvalColumns();
  const std::string title = e.BuildTitleLine();
  const std::string line = e.BuildDataLine();
  if (title.size() > 30 * 21 || line.size() > 30 * 256) __builtin_trap();
  return 0;
}
