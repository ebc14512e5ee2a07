// The alert settings in the settings file: section "SPECTRUM_ALERT" with every key of the
// settings record (in this order), section "SPECTRUM_ALERT_PATTERN" with the 100 pattern points
// "Pat0" .. "Pat99". Booleans and integers as decimal integers, doubles in the general float
// format (15 significant digits), the command line as text. A missing key or a text that is not
// a number keeps the value in force; a number that is not finite is no number.
#include <algorithm>
#include <cstring>
#include <string>

#include "interp/SpectrumAlert.h"
#include "platform/IniFile.h"

namespace {

const char* const kSection = "SPECTRUM_ALERT";
const char* const kPatternSection = "SPECTRUM_ALERT_PATTERN";

enum class Kind { Bool, Int, Double, Text };
struct Key {
  const char* name;
  Kind kind;
  void* field;
};

// The keys in the order they are written.
const Key* Keys(size_t* count)
{
  TAlertSettings& s = AlertSettings;
  static const Key keys[] = {
      {"AlertFunctionEnable", Kind::Bool, &s.Enable},
      {"AlertFunctionVisualize", Kind::Bool, &s.Visualize},
      {"AlertPlotOptions", Kind::Int, &s.PlotOptions},
      {"MethodCompareRanges", Kind::Bool, &s.MethodCompareRanges},
      {"MethodAutoPeak", Kind::Bool, &s.MethodAutoPeak},
      {"MethodAutoNoise", Kind::Bool, &s.MethodAutoNoise},
      {"SearchPatternType", Kind::Int, &s.SearchPatternType},
      {"SearchPatternBWidth", Kind::Double, &s.SearchPatternBWidth},
      {"RangeA_Fmin", Kind::Double, &s.RangeA_Fmin},
      {"RangeA_Fmax", Kind::Double, &s.RangeA_Fmax},
      {"RangeB_Fmin", Kind::Double, &s.RangeB_Fmin},
      {"RangeB_Fmax", Kind::Double, &s.RangeB_Fmax},
      {"AvrgDiffMin", Kind::Double, &s.AvrgDiffMin},
      {"PeakADiffMin", Kind::Double, &s.PeakADiffMin},
      {"PeakBDiffMin", Kind::Double, &s.PeakBDiffMin},
      {"MinSecondsToAlert", Kind::Int, &s.MinSecondsToAlert},
      {"ActionRingBell", Kind::Bool, &s.ActionRingBell},
      {"ActionStartLoggingWave", Kind::Bool, &s.ActionStartLoggingWave},
      {"ActionScreenCapture", Kind::Bool, &s.ActionScreenCapture},
      {"ActionExecOsCommand", Kind::Bool, &s.ActionExecOsCommand},
      {"OsCommandLine", Kind::Text, &s.OsCommandLine},
  };
  *count = sizeof keys / sizeof keys[0];
  return keys;
}

std::string PatternKey(int i) { return "Pat" + std::to_string(i); }

}  // namespace

void Alert_LoadSettings(const std::string& fileName)
{
  Alert_SetDefaults();
  const IniFile ini(fileName);
  size_t n = 0;
  const Key* keys = Keys(&n);
  for (size_t i = 0; i < n; ++i) {
    const Key& k = keys[i];
    switch (k.kind) {
      case Kind::Bool: {
        auto* b = static_cast<uint8_t*>(k.field);
        *b = ini.ReadInteger(kSection, k.name, *b) != 0 ? 1 : 0;
        break;
      }
      case Kind::Int: {
        auto* v = static_cast<int32_t*>(k.field);
        *v = ini.ReadInteger(kSection, k.name, *v);
        break;
      }
      case Kind::Double: {
        auto* d = static_cast<double*>(k.field);
        *d = ini.ReadFloat(kSection, k.name, *d);  // "inf", "nan": not numbers, value kept
        break;
      }
      case Kind::Text: {
        char* t = static_cast<char*>(k.field);
        const std::string text = ini.ReadString(kSection, k.name, t);
        const size_t len = std::min(text.size(), sizeof AlertSettings.OsCommandLine - 1);
        text.copy(t, len);
        t[len] = '\0';
        break;
      }
    }
  }
  Alert_CalcSearchPattern();
  // A user pattern comes from the file; points it lacks are 0.
  if (AlertSettings.SearchPatternType == ALERT_PATTERN_USER) {
    for (int i = 0; i < ALERT_PATTERN_POINTS; ++i)
      g_AlertSearchPattern[i] = ini.ReadFloat(kPatternSection, PatternKey(i), 0.0);
  }
}

void Alert_SaveSettings(const std::string& fileName)
{
  IniFile ini(fileName);
  size_t n = 0;
  const Key* keys = Keys(&n);
  for (size_t i = 0; i < n; ++i) {
    const Key& k = keys[i];
    switch (k.kind) {
      case Kind::Bool:
        ini.WriteInteger(kSection, k.name, *static_cast<const uint8_t*>(k.field) ? 1 : 0);
        break;
      case Kind::Int:
        ini.WriteInteger(kSection, k.name, *static_cast<const int32_t*>(k.field));
        break;
      case Kind::Double:
        ini.WriteFloat(kSection, k.name, *static_cast<const double*>(k.field));
        break;
      case Kind::Text: {
        const char* t = static_cast<const char*>(k.field);
        ini.WriteString(kSection, k.name, std::string(t, strnlen(t, sizeof AlertSettings.OsCommandLine)));
        break;
      }
    }
  }
  for (int i = 0; i < ALERT_PATTERN_POINTS; ++i)
    ini.WriteFloat(kPatternSection, PatternKey(i), g_AlertSearchPattern[i]);
  ini.UpdateFile();
}
