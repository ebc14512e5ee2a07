// Watch list settings: arbitrary text loaded as the watch window's four sections (over the
// defaults the window starts with), saved, loaded again and saved again. The second save must
// equal the first, the window bounds must be usable for a window rectangle, and the reader must
// leave its busy counter as it found it.
#include <climits>
#include <cstdint>
#include <string>

#include "engine/WindowBounds.h"
#include "interp/WatchDefaults.h"
#include "interp/WatchSettings.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

T_WatchList g_List;  // large: not on the stack

bool BoundsUsable(const T_WatchFormFields& f)
{
  return f.Width >= kMinWindowWidth && f.Height >= kMinWindowHeight &&
         int64_t(f.Left) + f.Width <= INT_MAX && int64_t(f.Top) + f.Height <= INT_MAX &&
         f.Left > INT_MIN / 2 && f.Top > INT_MIN / 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string in = vt_fuzz::WriteInput("watch.ini", data, size);
  const std::string out1 = vt_fuzz::PathOf("save1.ini"), out2 = vt_fuzz::PathOf("save2.ini");
  ::unlink(out1.c_str());
  ::unlink(out2.c_str());

  g_List = T_WatchList{};
  Plot_InitDefaults(&g_List);
  Plot_ApplyCreationAxes(&g_List);
  T_WatchGrid grid;
  T_WatchFormFields fields;
  // The window's fields hold its geometry before a load (its design bounds at start).
  fields.Left = 177;
  fields.Top = 118;
  fields.Width = 503;
  fields.Height = 348;
  WatchSettings_Load(in, &g_List, &grid, &fields);
  VT_FUZZ_CHECK(fields.BusyCount == 0);
  VT_FUZZ_CHECK(BoundsUsable(fields));
  WatchSettings_Save(out1, &g_List, &grid, &fields);

  WatchSettings_Load(out1, &g_List, &grid, &fields);
  VT_FUZZ_CHECK(BoundsUsable(fields));
  WatchSettings_Save(out2, &g_List, &grid, &fields);
  VT_FUZZ_CHECK(vt_fuzz::ReadFile(out1) == vt_fuzz::ReadFile(out2));
  return 0;
}
