#pragma once
// The display redraw request mask: windows and loaders set bits, the main timer consumes them.
// Bit 2 processing settings changed (restart check), 16 refresh the configuration dialog's rate
// information, 32 refresh all its controls; 65535 redraws and re-applies everything.
#include "engine/AtomicField.h"

inline constexpr int REDRAW_ALL = 65535;

extern AtomicField<int> g_RedrawRequestMask;
