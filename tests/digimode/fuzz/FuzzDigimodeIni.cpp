// libFuzzer target: the DIGIMODE.INI reader on arbitrary file contents, and what the terminal
// window does with what it reads (every value within its range, the Hellschreiber font's pixel
// size from its height). Whatever it reads must be written and read back unchanged (doubles to
// the 15 digits the file holds).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "digimode/DigimodeSettings.h"
#include "tests/interp/fuzz/FuzzTempFile.h"

namespace {

void Check(bool ok, const char* what)
{
  if (!ok) {
    std::fprintf(stderr, "round trip differs: %s\n", what);
    std::abort();
  }
}

bool Near(double a, double b) { return a == b || std::fabs(a - b) <= 1e-13 * std::fabs(a); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string& in = FuzzTempFile();
  const std::string out = in + ".out";
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  T_DigimodeSettings s;
  DigimodeSettings_SetDefaults(s);
  T_DigimodeHellFont font{"Courier New", -8, 0};
  DigimodeSettings_LoadFromIni(in, s, &font);
  Check(std::strlen(s.name) < sizeof(s.name), "name length");
  // What the terminal window does with the values when it loads the file: every value within
  // its range, the font's height turned into the image's pixel size.
  auto in_range = [](double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; };
  Check(in_range(s.OperMode, 0, kDigimodeMaxOperMode) &&
            in_range(s.Modulation, 0, kDigimodeMaxModulation) &&
            in_range(s.CodesetNr, 0, kDigimodeMaxCodeset) &&
            in_range(s.ScopeMode, 0, kDigimodeMaxScopeMode) &&
            in_range(s.pulse_shaping, 0, kDigimodeMaxPulseShaping) &&
            in_range(s.squelch_thrsh, 0, kDigimodeMaxPercent) &&
            in_range(s.cut_top, -kDigimodeMaxCutTop, kDigimodeMaxCutTop),
        "integers in range");
  Check(in_range(s.fc_rx, 0, kDigimodeMaxAudioFreq) && in_range(s.fc_tx, 0, kDigimodeMaxAudioFreq) &&
            in_range(s.f_shift, 0, kDigimodeMaxAudioFreq) &&
            in_range(s.afc_tune_range, 0, kDigimodeMaxAudioFreq) &&
            in_range(s.symbol_rate, kDigimodeMinSymbolRate, kDigimodeMaxSymbolRate) &&
            in_range(s.shape_percent, 0, kDigimodeMaxPercent) &&
            in_range(s.output_level, 0, kDigimodeMaxPercent),
        "doubles in range");
  Check(in_range(font.height, -kHellFontMaxPixels, kHellFontMaxPixels) &&
            font.style == (font.style & 7),
        "font in range");
  const int pixels = HellFontPixelSize(font.height);
  Check(pixels >= 0 && pixels <= kHellFontMaxPixels && (pixels == 0) == (font.height == 0),
        "font pixel size");

  std::remove(out.c_str());
  if (DigimodeSettings_SaveToIni(out, s, &font)) {
    T_DigimodeSettings r;
    DigimodeSettings_SetDefaults(r);
    T_DigimodeHellFont back{"x", 1, 7};
    DigimodeSettings_LoadFromIni(out, r, &back);
    Check(r.OperMode == s.OperMode && r.Modulation == s.Modulation && r.CodesetNr == s.CodesetNr &&
              r.ScopeMode == s.ScopeMode && r.pulse_shaping == s.pulse_shaping &&
              r.squelch_thrsh == s.squelch_thrsh && r.cut_top == s.cut_top,
          "integers");
    Check(r.rev_keying == s.rev_keying && r.use_afc == s.use_afc && r.narrow_afc == s.narrow_afc &&
              r.use_it == s.use_it,
          "flags");
    Check(Near(r.fc_rx, s.fc_rx) && Near(r.fc_tx, s.fc_tx) && Near(r.f_shift, s.f_shift) &&
              Near(r.symbol_rate, s.symbol_rate) && Near(r.shape_percent, s.shape_percent) &&
              Near(r.output_level, s.output_level) && Near(r.afc_tune_range, s.afc_tune_range),
          "doubles");
    Check(back.height == font.height && back.style == font.style, "font");
  }
  std::remove(out.c_str());
  return 0;
}
