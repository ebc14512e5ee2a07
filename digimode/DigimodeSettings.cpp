// Defaults of the digimode settings and the DIGIMODE.INI reader and writer.
#include "digimode/DigimodeSettings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/IniFile.h"
#include "platform/NumText.h"

void DigimodeSettings_SetDefaults(T_DigimodeSettings& s)
{
  s.OperMode = DIGIMODE_OPMODE_CHARS;
  s.Modulation = DIGIMODE_MOD_BPSK;
  s.CodesetNr = 5;
  s.ScopeMode = 3;
  s.fc_rx = 2200.0;
  s.fc_tx = 2200.0;
  s.f_shift = 170.0;
  s.symbol_rate = 50.0;
  s.rev_keying = false;
  s.pulse_shaping = 1;
  s.shape_percent = 100.0;
  s.output_level = 100.0;
  s.squelch_thrsh = 25;
  s.use_afc = true;
  s.narrow_afc = false;
  s.afc_tune_range = 100.0;
  std::memset(s.name, 0, sizeof(s.name));
  std::strcpy(s.name, "DemoDll.dll");
  s.use_it = false;
  s.cut_top = 0;
}

namespace {

void ReadInt(const IniFile& ini, const char* sec, const char* key, AtomicField<int>& field, int lo,
             int hi)
{
  field = std::clamp(ini.ReadInteger(sec, key, field), lo, hi);
}

void ReadFlag(const IniFile& ini, const char* sec, const char* key, AtomicField<bool>& field)
{
  field = ini.ReadInteger(sec, key, field ? 1 : 0) != 0;
}

// Text to number; empty, unconvertible or non-finite text keeps the current value.
void ReadDouble(const IniFile& ini, const char* sec, const char* key, AtomicField<double>& field,
                double lo, double hi)
{
  double v = 0.0;
  if (TryStrToFloat(ini.ReadString(sec, key, ""), v) && std::isfinite(v))
    field = std::clamp(v, lo, hi);
}

}  // namespace

void DigimodeSettings_LoadFromIni(const std::string& fileName, T_DigimodeSettings& s,
                                  T_DigimodeHellFont* font)
{
  const IniFile ini(fileName);
  constexpr double kMaxF = kDigimodeMaxAudioFreq;
  constexpr int kPct = kDigimodeMaxPercent;
  constexpr double kPctF = kDigimodeMaxPercent;
  ReadInt(ini, "MODES", "OperMode", s.OperMode, 0, kDigimodeMaxOperMode);
  ReadInt(ini, "MODES", "Modulation", s.Modulation, 0, kDigimodeMaxModulation);
  ReadInt(ini, "MODES", "CodesetNr", s.CodesetNr, 0, kDigimodeMaxCodeset);
  ReadInt(ini, "MODES", "ScopeMode", s.ScopeMode, 0, kDigimodeMaxScopeMode);
  ReadDouble(ini, "AUDIO_FREQUENCIES", "fc_rx", s.fc_rx, 0.0, kMaxF);
  ReadDouble(ini, "AUDIO_FREQUENCIES", "fc_tx", s.fc_tx, 0.0, kMaxF);
  ReadDouble(ini, "AUDIO_FREQUENCIES", "f_shift", s.f_shift, 0.0, kMaxF);
  ReadDouble(ini, "MODULATION", "symbol_rate", s.symbol_rate, kDigimodeMinSymbolRate,
             kDigimodeMaxSymbolRate);
  ReadFlag(ini, "MODULATION", "rev_keying", s.rev_keying);
  ReadInt(ini, "MODULATION", "pulse_shaping", s.pulse_shaping, 0, kDigimodeMaxPulseShaping);
  ReadDouble(ini, "MODULATION", "shape_percent", s.shape_percent, 0.0, kPctF);
  ReadDouble(ini, "MODULATION", "output_level", s.output_level, 0.0, kPctF);
  ReadInt(ini, "DETECTOR", "squelch_thrsh", s.squelch_thrsh, 0, kPct);
  ReadFlag(ini, "DETECTOR", "use_afc", s.use_afc);
  ReadFlag(ini, "DETECTOR", "narrow_afc", s.narrow_afc);
  ReadDouble(ini, "DETECTOR", "afc_tune_range", s.afc_tune_range, 0.0, kMaxF);
  const std::string name = ini.ReadString("MODE_DLL", "name", "");
  std::memset(s.name, 0, sizeof(s.name));
  std::memcpy(s.name, name.data(), std::min(name.size(), sizeof(s.name) - 1));
  s.use_it = ini.ReadInteger("MODE_DLL", "use_it", 0) != 0;
  if (font) {
    font->name = ini.ReadString("HELL_FONT", "name", font->name);
    font->height = std::clamp(ini.ReadInteger("HELL_FONT", "height", font->height),
                              -kHellFontMaxPixels, kHellFontMaxPixels);
    // Each set bit adds its style, each clear bit removes it: the stored bits replace the style.
    font->style = ini.ReadInteger("HELL_FONT", "style", 0) & 7;
  }
  s.cut_top = std::clamp(ini.ReadInteger("HELL_FONT", "cut_top", 0), -kDigimodeMaxCutTop,
                         kDigimodeMaxCutTop);
}

int HellFontPixelSize(int height)
{
  // Widened before the sign is dropped: the most negative int has no positive counterpart.
  const long long size = height < 0 ? -static_cast<long long>(height) : height;
  return static_cast<int>(std::min<long long>(size, kHellFontMaxPixels));
}

bool DigimodeSettings_SaveToIni(const std::string& fileName, const T_DigimodeSettings& s,
                                const T_DigimodeHellFont* font)
{
  IniFile ini(fileName);
  ini.WriteInteger("MODES", "OperMode", s.OperMode);
  ini.WriteInteger("MODES", "Modulation", s.Modulation);
  ini.WriteInteger("MODES", "CodesetNr", s.CodesetNr);
  ini.WriteInteger("MODES", "ScopeMode", s.ScopeMode);
  ini.WriteFloat("AUDIO_FREQUENCIES", "fc_rx", s.fc_rx);
  ini.WriteFloat("AUDIO_FREQUENCIES", "fc_tx", s.fc_tx);
  ini.WriteFloat("AUDIO_FREQUENCIES", "f_shift", s.f_shift);
  ini.WriteFloat("MODULATION", "symbol_rate", s.symbol_rate);
  ini.WriteBool("MODULATION", "rev_keying", s.rev_keying);
  ini.WriteInteger("MODULATION", "pulse_shaping", s.pulse_shaping);
  ini.WriteFloat("MODULATION", "shape_percent", s.shape_percent);
  ini.WriteFloat("MODULATION", "output_level", s.output_level);
  ini.WriteInteger("DETECTOR", "squelch_thrsh", s.squelch_thrsh);
  ini.WriteBool("DETECTOR", "use_afc", s.use_afc);
  ini.WriteBool("DETECTOR", "narrow_afc", s.narrow_afc);
  ini.WriteFloat("DETECTOR", "afc_tune_range", s.afc_tune_range);
  ini.WriteString("MODE_DLL", "name", std::string(s.name, strnlen(s.name, sizeof(s.name))));
  ini.WriteBool("MODE_DLL", "use_it", s.use_it);
  if (font) {
    ini.WriteString("HELL_FONT", "name", font->name);
    ini.WriteInteger("HELL_FONT", "height", font->height);
    ini.WriteInteger("HELL_FONT", "style", font->style & 7);
  }
  ini.WriteInteger("HELL_FONT", "cut_top", s.cut_top);
  try {
    ini.UpdateFile();
  } catch (const EIniFileError&) {
    return false;
  }
  return true;
}
