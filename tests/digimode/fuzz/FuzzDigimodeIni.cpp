// libFuzzer target: the DIGIMODE.INI reader on arbitrary file contents. Whatever it reads must
// be written and read back unchanged (doubles to the 15 digits the file holds).
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
  Check(std::isfinite(s.fc_rx) && std::isfinite(s.symbol_rate) && std::isfinite(s.output_level),
        "finite doubles");

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
