// DIGIMODE.INI: defaults, round trip and refused values.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "common/TestUtil.h"
#include "digimode/DigimodeSettings.h"

namespace {

T_DigimodeSettings Defaults()
{
  T_DigimodeSettings s;
  s.OperMode = 77;  // proves that SetDefaults writes every field, not the initialisers
  s.fc_rx = -1.0;
  std::strcpy(s.name, "x");
  s.use_afc = false;
  DigimodeSettings_SetDefaults(s);
  return s;
}

void ExpectEqual(const T_DigimodeSettings& a, const T_DigimodeSettings& b)
{
  EXPECT_EQ(a.OperMode, b.OperMode);
  EXPECT_EQ(a.Modulation, b.Modulation);
  EXPECT_EQ(a.CodesetNr, b.CodesetNr);
  EXPECT_EQ(a.ScopeMode, b.ScopeMode);
  EXPECT_EQ(a.fc_rx, b.fc_rx);
  EXPECT_EQ(a.fc_tx, b.fc_tx);
  EXPECT_EQ(a.f_shift, b.f_shift);
  EXPECT_EQ(a.symbol_rate, b.symbol_rate);
  EXPECT_EQ(a.rev_keying, b.rev_keying);
  EXPECT_EQ(a.pulse_shaping, b.pulse_shaping);
  EXPECT_EQ(a.shape_percent, b.shape_percent);
  EXPECT_EQ(a.output_level, b.output_level);
  EXPECT_EQ(a.squelch_thrsh, b.squelch_thrsh);
  EXPECT_EQ(a.use_afc, b.use_afc);
  EXPECT_EQ(a.narrow_afc, b.narrow_afc);
  EXPECT_EQ(a.afc_tune_range, b.afc_tune_range);
  EXPECT_STREQ(a.name, b.name);
  EXPECT_EQ(a.use_it, b.use_it);
  EXPECT_EQ(a.cut_top, b.cut_top);
}

}  // namespace

TEST(DigimodeSettingsTest, DefaultsAndMissingFile)
{
  const T_DigimodeSettings s = Defaults();
  EXPECT_EQ(s.OperMode, 1);
  EXPECT_EQ(s.Modulation, 8);
  EXPECT_EQ(s.CodesetNr, 5);
  EXPECT_EQ(s.ScopeMode, 3);
  EXPECT_EQ(s.fc_rx, 2200.0);
  EXPECT_EQ(s.fc_tx, 2200.0);
  EXPECT_EQ(s.f_shift, 170.0);
  EXPECT_EQ(s.symbol_rate, 50.0);
  EXPECT_FALSE(s.rev_keying);
  EXPECT_EQ(s.pulse_shaping, 1);
  EXPECT_EQ(s.shape_percent, 100.0);
  EXPECT_EQ(s.output_level, 100.0);
  EXPECT_EQ(s.squelch_thrsh, 25);
  EXPECT_TRUE(s.use_afc);
  EXPECT_FALSE(s.narrow_afc);
  EXPECT_EQ(s.afc_tune_range, 100.0);
  EXPECT_STREQ(s.name, "DemoDll.dll");
  EXPECT_FALSE(s.use_it);
  EXPECT_EQ(s.cut_top, 0);

  // Without the file every key is absent: defaults, but no plug-in name and use_it off.
  vt_test::TempDir dir;
  T_DigimodeSettings r = Defaults();
  r.use_it = true;
  T_DigimodeHellFont font{"Courier New", -8, 3};
  DigimodeSettings_LoadFromIni(dir.file("DIGIMODE.INI"), r, &font);
  T_DigimodeSettings expected = Defaults();
  expected.name[0] = '\0';
  ExpectEqual(r, expected);
  EXPECT_EQ(font.name, "Courier New");
  EXPECT_EQ(font.height, -8);
  EXPECT_EQ(font.style, 0);
}

TEST(DigimodeSettingsTest, RoundTripOfEveryField)
{
  vt_test::TempDir dir;
  T_DigimodeSettings s = Defaults();
  s.OperMode = 3;
  s.Modulation = 9;
  s.CodesetNr = 2;
  s.ScopeMode = 4;
  s.fc_rx = 1234.5678901234;
  s.fc_tx = 987.25;
  s.f_shift = 850.0;
  s.symbol_rate = 31.25;
  s.rev_keying = true;
  s.pulse_shaping = 2;
  s.shape_percent = 37.5;
  s.output_level = 12.5;
  s.squelch_thrsh = 60;
  s.use_afc = false;
  s.narrow_afc = true;
  s.afc_tune_range = 42.0;
  std::strcpy(s.name, "Other Mode.so");
  s.use_it = true;
  s.cut_top = -3;
  const T_DigimodeHellFont font{"Helvetica", 14, 6};
  ASSERT_TRUE(DigimodeSettings_SaveToIni(dir.file("DIGIMODE.INI"), s, &font));

  T_DigimodeSettings r = Defaults();
  T_DigimodeHellFont back{"Courier New", -8, 1};
  DigimodeSettings_LoadFromIni(dir.file("DIGIMODE.INI"), r, &back);
  ExpectEqual(r, s);
  EXPECT_EQ(back.name, "Helvetica");
  EXPECT_EQ(back.height, 14);
  EXPECT_EQ(back.style, 6);

  const std::string text = vt_test::ReadWholeFile(dir.file("DIGIMODE.INI"));
  EXPECT_NE(text.find("[MODES]"), std::string::npos);
  EXPECT_NE(text.find("fc_rx=1234.5678901234"), std::string::npos);
  EXPECT_NE(text.find("rev_keying=1"), std::string::npos);
  EXPECT_LT(text.find("[AUDIO_FREQUENCIES]"), text.find("[MODULATION]"));
  EXPECT_LT(text.find("[DETECTOR]"), text.find("[MODE_DLL]"));
  EXPECT_LT(text.find("[MODE_DLL]"), text.find("[HELL_FONT]"));
}

TEST(DigimodeSettingsTest, BadValuesKeepTheCurrentOnes)
{
  vt_test::TempDir dir;
  const std::string file = dir.file("DIGIMODE.INI");
  vt_test::WriteWholeFile(file,
                          "[MODES]\nOperMode=3x\nModulation=99999999999\nCodesetNr=\nScopeMode=0x2\n"
                          "[AUDIO_FREQUENCIES]\nfc_rx=abc\nfc_tx=nan\nf_shift=1e999\n"
                          "[MODULATION]\nsymbol_rate=  62.5  \nrev_keying=5\nshape_percent=12,5\n"
                          "output_level=inf\n"
                          "[DETECTOR]\nuse_afc=0\nnarrow_afc=-1\n"
                          "[MODE_DLL]\nname=" + std::string(300, 'n') + "\nuse_it=yes\n"
                          "[HELL_FONT]\nstyle=5\nheight=big\ncut_top=7\n");
  T_DigimodeSettings s = Defaults();
  s.fc_rx = 1500.0;
  T_DigimodeHellFont font{"Courier New", -8, 2};
  DigimodeSettings_LoadFromIni(file, s, &font);
  EXPECT_EQ(s.OperMode, 1);
  EXPECT_EQ(s.Modulation, 8);
  EXPECT_EQ(s.CodesetNr, 5);
  EXPECT_EQ(s.ScopeMode, 2);       // hex is an integer
  EXPECT_EQ(s.fc_rx, 1500.0);      // not a number: the previous receive frequency stays
  EXPECT_EQ(s.fc_tx, 2200.0);
  EXPECT_EQ(s.f_shift, 170.0);
  EXPECT_EQ(s.symbol_rate, 62.5);
  EXPECT_TRUE(s.rev_keying);       // 5 reads as true ...
  EXPECT_EQ(s.shape_percent, 100.0);
  EXPECT_EQ(s.output_level, 100.0);
  EXPECT_FALSE(s.use_afc);
  EXPECT_TRUE(s.narrow_afc);
  EXPECT_EQ(std::strlen(s.name), 255u);
  EXPECT_FALSE(s.use_it);
  EXPECT_EQ(font.style, 5);        // bold and underlined, not italic
  EXPECT_EQ(font.height, -8);
  EXPECT_EQ(s.cut_top, 7);

  ASSERT_TRUE(DigimodeSettings_SaveToIni(file, s, &font));
  const std::string text = vt_test::ReadWholeFile(file);
  EXPECT_NE(text.find("rev_keying=1"), std::string::npos);  // ... and is written back as 1
  EXPECT_EQ(text.find("rev_keying=5"), std::string::npos);
}

TEST(DigimodeSettingsTest, UnwritableFileIsReported)
{
  vt_test::TempDir dir;
  EXPECT_FALSE(DigimodeSettings_SaveToIni(dir.file("missing/DIGIMODE.INI"), Defaults(), nullptr));
}

// Every value read is clamped to its sane range where it is read, at both ends and at the
// extremes of an int and a double, so that nothing downstream (the font of the Hellschreiber
// image, the coders, the tuning scope) ever sees a value it would overflow on. A value within
// its range is read as it stands.
TEST(DigimodeSettingsTest, EveryValueIsClampedToItsRange)
{
  const struct {
    const char* section;
    const char* key;
    const char* text;
    double expected;
  } cases[] = {
      {"MODES", "OperMode", "-2147483648", 0},        {"MODES", "OperMode", "2147483647", 6},
      {"MODES", "OperMode", "3", 3},                  {"MODES", "Modulation", "-1", 0},
      {"MODES", "Modulation", "16", 15},              {"MODES", "CodesetNr", "-5", 0},
      {"MODES", "CodesetNr", "99", 5},                {"MODES", "ScopeMode", "0x7FFFFFFF", 4},
      {"MODES", "ScopeMode", "-1", 0},                {"AUDIO_FREQUENCIES", "fc_rx", "-1e300", 0},
      {"AUDIO_FREQUENCIES", "fc_rx", "1e300", 100000}, {"AUDIO_FREQUENCIES", "fc_rx", "1500.5", 1500.5},
      {"AUDIO_FREQUENCIES", "fc_tx", "-0.5", 0},      {"AUDIO_FREQUENCIES", "fc_tx", "2e5", 100000},
      {"AUDIO_FREQUENCIES", "f_shift", "-170", 0},    {"AUDIO_FREQUENCIES", "f_shift", "1e308", 100000},
      {"MODULATION", "symbol_rate", "0", 0.1},        {"MODULATION", "symbol_rate", "-31.25", 0.1},
      {"MODULATION", "symbol_rate", "1e9", 10000},    {"MODULATION", "pulse_shaping", "-2147483648", 0},
      {"MODULATION", "pulse_shaping", "3", 2},        {"MODULATION", "shape_percent", "-1", 0},
      {"MODULATION", "shape_percent", "100.5", 100},  {"MODULATION", "output_level", "-1e300", 0},
      {"MODULATION", "output_level", "250", 100},     {"DETECTOR", "squelch_thrsh", "-1", 0},
      {"DETECTOR", "squelch_thrsh", "2147483647", 100}, {"DETECTOR", "afc_tune_range", "-5", 0},
      {"DETECTOR", "afc_tune_range", "1e300", 100000}, {"HELL_FONT", "cut_top", "-2147483648", -32},
      {"HELL_FONT", "cut_top", "2147483647", 32},     {"HELL_FONT", "cut_top", "-3", -3},
      {"HELL_FONT", "height", "-2147483648", -256},   {"HELL_FONT", "height", "2147483647", 256},
      {"HELL_FONT", "height", "-12", -12},
  };
  vt_test::TempDir dir;
  const std::string file = dir.file("DIGIMODE.INI");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.section) + " " + c.key + "=" + c.text);
    vt_test::WriteWholeFile(file, std::string("[") + c.section + "]\r\n" + c.key + "=" + c.text + "\r\n");
    T_DigimodeSettings s = Defaults();
    T_DigimodeHellFont font{"Courier New", -8, 0};
    DigimodeSettings_LoadFromIni(file, s, &font);
    const std::map<std::string, double> read = {
        {"OperMode", s.OperMode},         {"Modulation", s.Modulation},
        {"CodesetNr", s.CodesetNr},       {"ScopeMode", s.ScopeMode},
        {"fc_rx", s.fc_rx},               {"fc_tx", s.fc_tx},
        {"f_shift", s.f_shift},           {"symbol_rate", s.symbol_rate},
        {"pulse_shaping", s.pulse_shaping}, {"shape_percent", s.shape_percent},
        {"output_level", s.output_level}, {"squelch_thrsh", s.squelch_thrsh},
        {"afc_tune_range", s.afc_tune_range}, {"cut_top", s.cut_top},
        {"height", font.height},
    };
    const double got = read.at(c.key);
    EXPECT_EQ(got, c.expected);
  }
  // The font's pixel size follows the height read, whatever its sign, never beyond 256.
  EXPECT_EQ(HellFontPixelSize(-8), 8);
  EXPECT_EQ(HellFontPixelSize(14), 14);
  EXPECT_EQ(HellFontPixelSize(0), 0);
  EXPECT_EQ(HellFontPixelSize(-2147483647 - 1), 256);
  EXPECT_EQ(HellFontPixelSize(2147483647), 256);
}
