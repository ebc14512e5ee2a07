// Parameter and status blocks of the mode plug-in interface.
#include "digimode/DigimodeDll.h"

#include "digimode/DigimodeSettings.h"

DigimodeDllParams g_DigimodeDllParams{};
DigimodeDllStatus g_DigimodeDllStatus{};
std::atomic<bool> g_DigimodeDllLoaded{false};

int Digimode_SetDllMode(int, int)
{
  const T_DigimodeSettings& s = DigimodeSettings;
  DigimodeDllParams& p = g_DigimodeDllParams;
  p.StructSize = static_cast<int32_t>(sizeof(DigimodeDllParams));
  p.OperMode = s.OperMode;
  p.CodesetNr = s.CodesetNr;
  p.Modulation = s.Modulation;
  p.fc_rx = s.fc_rx;
  p.fc_tx = s.fc_tx;
  p.f_shift = s.f_shift;
  p.symbol_rate = s.symbol_rate;
  p.rev_keying = s.rev_keying ? 1 : 0;
  p.pulse_shaping = s.pulse_shaping;
  p.shape_percent = s.shape_percent;
  p.output_level = s.output_level;
  p.squelch_thrsh = s.squelch_thrsh;
  p.use_afc = s.use_afc ? 1 : 0;
  p.narrow_afc = s.narrow_afc ? 1 : 0;
  p.afc_tune_range = s.afc_tune_range;
  for (int32_t& v : p.Spare) v = 0;
  // No plug-in loader yet: the built-in coders serve every mode.
  return 4;
}
