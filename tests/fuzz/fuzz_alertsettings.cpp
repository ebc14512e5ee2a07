// Alert settings: arbitrary text loaded as the settings file, saved, loaded again and saved
// again; the second save must equal the first. The loaded settings then run the engine on a
// fixed spectrum (ranges, bandwidth and pattern as the text gave them), twice so the smoothing
// and the alarm's second pass run too, and a pattern is captured around range A's lower limit.
// The command starts nothing here (the spawn function only answers).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <unistd.h>

#include "interp/CliCommands.h"
#include "interp/SpectrumAlert.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

int NoSpawn(const std::vector<std::string>& args, std::string* errorText)
{
  if (errorText) *errorText = "nothing is started";
  return args.size() > 1 ? -1 : 4242;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool ready = [] {
    CLI_SetSpawnFunc(NoSpawn);
    return true;
  }();
  (void)ready;
  const std::string in = vt_fuzz::WriteInput("alert.ini", data, size);
  const std::string out1 = vt_fuzz::PathOf("alert1.ini"), out2 = vt_fuzz::PathOf("alert2.ini");
  ::unlink(out1.c_str());
  ::unlink(out2.c_str());

  Alert_Reset();
  Alert_LoadSettings(in);
  Alert_SaveSettings(out1);
  Alert_LoadSettings(out1);
  Alert_SaveSettings(out2);
  VT_FUZZ_CHECK(vt_fuzz::ReadFile(out1) == vt_fuzz::ReadFile(out2));

  AlertSpectrum& s = g_AlertInputSpectrum;
  s.NrOfBins = 1024;
  s.BinWidthHz = 11025.0 / 2048;
  s.FirstBinHz = 400 * s.BinWidthHz;
  for (int i = 0; i < s.NrOfBins; ++i) s.Bins[i] = -80.0 + 40.0 * std::exp(-0.01 * (i - 30) * (i - 30));
  Alert_ProcessSpectrum();
  Alert_ProcessSpectrum();
  for (double m : g_AlertPatternMatch) VT_FUZZ_CHECK(m >= 0.0 && m <= 100.0);
  Alert_PatternFromSpectrum(AlertSettings.RangeA_Fmin);
  for (double p : g_AlertSearchPattern) VT_FUZZ_CHECK(p >= 0.0 && p <= 1.0);
  Alert_ProcessSpectrum();
  VT_FUZZ_CHECK(g_AlertScaledPattern.Count >= 0 && g_AlertScaledPattern.Count <= ALERT_PATTERN_POINTS);
  for (double m : g_AlertPatternMatch) VT_FUZZ_CHECK(m >= 0.0 && m <= 100.0);
  g_AlertMessage.clear();
  return 0;
}
