#pragma once
// Settings record of the digital-mode engine.
// Holds only the receive centre frequency so far, which the spectrum quick presets read; the
// digital-mode module completes the record with the rest of its fields and DIGIMODE.INI.
#include "engine/AtomicField.h"

struct T_DigimodeSettings {
  AtomicField<double> fc_rx{2200.0};  // receive centre frequency in Hz
};

// The one digimode settings record of the process.
inline T_DigimodeSettings DigimodeSettings;
