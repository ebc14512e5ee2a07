// Settings profiles: arbitrary bytes loaded as a profile the way the program loads one (the
// processing and display settings, then the parts its own "Includes" names: filters through the
// filter window's hook, the watch list through the watch window's handlers, the palette), and
// "ABOUT" read as the user-menu dialog reads it. What was loaded is saved with the settings, the
// watch list and the palette, loaded again and saved again: the two saves must be equal (the
// filter files' own round trip is fuzz_filterfiles').
#include <cstdint>
#include <string>

#include "control/FilterFiles.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "interp/ProfileInfo.h"
#include "interp/ProfileSeam.h"
#include "interp/WatchDefaults.h"
#include "interp/WatchSettings.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/SettingsProfile.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

// The watch window's state, as the window keeps it.
T_WatchList g_List;
T_WatchGrid g_Grid;
T_WatchFormFields g_Fields;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool hooked = [] {
    SetFilterControlWindowHook([] {});  // filters load as with the filter window open
    Profile_InstallWatchHandlers(
        [](const std::string& f) { WatchSettings_Load(f, &g_List, &g_Grid, &g_Fields); },
        [](const std::string& f) { WatchSettings_Save(f, &g_List, &g_Grid, &g_Fields); });
    return true;
  }();
  (void)hooked;
  constexpr int kParts = SETTINGS_PART_PROCESS | SETTINGS_PART_PALETTE | SETTINGS_PART_WATCH;
  const std::string in = vt_fuzz::WriteInput("input.usr", data, size);
  const std::string out1 = vt_fuzz::PathOf("save1.usr"), out2 = vt_fuzz::PathOf("save2.usr");
  ::unlink(out1.c_str());
  ::unlink(out2.c_str());

  SetDefaultSettings();
  InitDefaultPalette();
  g_List = T_WatchList{};
  Plot_InitDefaults(&g_List);
  Plot_ApplyCreationAxes(&g_List);
  g_Grid = T_WatchGrid{};
  g_Fields = T_WatchFormFields{};
  // The window's fields hold its geometry before a load (its design bounds at start).
  g_Fields.Left = 177;
  g_Fields.Top = 118;
  g_Fields.Width = 503;
  g_Fields.Height = 348;
  TProfileInfo info;
  VT_FUZZ_CHECK(ReadProfileInfoFile(in, &info));
  std::string error;
  VT_FUZZ_CHECK(Profile_LoadFile(in, &error));
  // A reference spectrum the input names may have been read (its curve never enters the saves
  // below, only its name); the display switch is cleared so no later step reads it again.
  SndConfig.SpectrumRefVisible = 0;
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, g_WaterfallPalette);

  SndConfig.AboutIncludes = kParts;
  VT_FUZZ_CHECK(Profile_SaveFile(out1, kParts, &error));
  VT_FUZZ_CHECK(Profile_LoadFile(out1, &error));
  VT_FUZZ_CHECK(SndConfig.AboutIncludes == kParts);
  VT_FUZZ_CHECK(Profile_SaveFile(out2, kParts, &error));
  VT_FUZZ_CHECK(vt_fuzz::ReadFile(out1) == vt_fuzz::ReadFile(out2));
  return 0;
}
