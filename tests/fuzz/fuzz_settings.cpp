// Settings files: arbitrary text loaded as every part, saved, loaded again and saved again. The
// second save must equal the first (nothing that was loaded is changed by a round trip), and
// the waterfall palette computed from the loaded contrast and brightness, as the start-up does.
#include <cstdint>
#include <string>

#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "mainwin/ColorPalette.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  constexpr int kAll = SETTINGS_PART_MACHINE | SETTINGS_PART_PROCESS | SETTINGS_PART_USERMENU;
  const std::string in = vt_fuzz::WriteInput("settings.ini", data, size);
  const std::string out1 = vt_fuzz::PathOf("save1.ini"), out2 = vt_fuzz::PathOf("save2.ini");
  ::unlink(out1.c_str());
  ::unlink(out2.c_str());

  SetDefaultSettings();
  LoadSettingsFromIni(in, kAll);
  InitDefaultPalette();
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, g_WaterfallPalette);
  SaveSettingsToIni(out1, kAll);

  // Loaded over what the first load left: user-menu entries that the saver skips (blank
  // texts) then stay as they were, as they do in the program.
  LoadSettingsFromIni(out1, kAll);
  SaveSettingsToIni(out2, kAll);
  VT_FUZZ_CHECK(vt_fuzz::ReadFile(out1) == vt_fuzz::ReadFile(out2));
  return 0;
}
