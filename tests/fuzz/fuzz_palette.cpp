// Palette files: arbitrary text loaded over the built-in ramp, saved and loaded again into a
// fresh palette: both palettes must be equal. Then the waterfall table from it.
#include <cstdint>
#include <cstring>
#include <string>

#include "mainwin/ColorPalette.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string in = vt_fuzz::WriteInput("input.pal", data, size);
  const std::string out = vt_fuzz::PathOf("saved.pal");
  ::unlink(out.c_str());
  InitDefaultPalette();
  TColorPalette p = g_ColorPalette;
  LoadPaletteFromIniFile(in, p);
  VT_FUZZ_CHECK(p.palNumEntries >= 0 && p.palNumEntries <= 256);
  TColorPalette table;
  CalcWaterfallPaletteTable(p, 57, 88, table);
  VT_FUZZ_CHECK(SavePaletteToIniFile(out, p));
  TColorPalette again = g_ColorPalette;
  LoadPaletteFromIniFile(out, again);
  VT_FUZZ_CHECK(again.palVersion == p.palVersion && again.palNumEntries == p.palNumEntries);
  VT_FUZZ_CHECK(std::memcmp(again.entries, p.entries, sizeof p.entries) == 0);
  return 0;
}
