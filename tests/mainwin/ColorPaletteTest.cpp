// Palette files, the built-in ramp, the waterfall look-up table and the contrast colour.
#include <gtest/gtest.h>

#include <cstring>

#include "common/TestUtil.h"
#include "engine/ColorRef.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "mainwin/ColorPalette.h"

namespace {

// A base palette whose entry k holds k, so a look-up table shows the index it took.
TColorPalette IdentityPalette()
{
  TColorPalette p;
  for (int k = 0; k < PALETTE_ENTRIES; ++k) p.entries[k] = static_cast<uint32_t>(k);
  return p;
}

}  // namespace

TEST(ColorPalette, BuiltInRamp)
{
  InitDefaultPalette();
  EXPECT_EQ(g_ColorPalette.palVersion, 768);
  EXPECT_EQ(g_ColorPalette.palNumEntries, 256);
  EXPECT_EQ(g_ColorPalette.entries[0], 0u);
  for (int i = 1; i < 32; ++i) {  // grey: 4i - 1 in each component
    const uint32_t c = static_cast<uint32_t>(4 * i - 1);
    EXPECT_EQ(g_ColorPalette.entries[i], c | c << 8 | c << 16) << i;
  }
  EXPECT_EQ(g_ColorPalette.entries[32], 0x7F8080u);   // first row of the colour part
  EXPECT_EQ(g_ColorPalette.entries[127], 0x0D00ADu);  // last of row 112
  EXPECT_EQ(g_ColorPalette.entries[255], 0xFFFFFFu);
  EXPECT_EQ(0, std::memcmp(&g_ColorPalette, &g_WaterfallPalette, sizeof g_ColorPalette));
}

TEST(ColorPalette, SaveLoadRoundTripKeepsFlags)
{
  vt_test::TempDir dir;
  TColorPalette saved;
  for (int i = 0; i < PALETTE_ENTRIES; ++i)
    saved.entries[i] = 0x01000000u * static_cast<uint32_t>(i % 7) + 0x00010203u * i;
  ASSERT_TRUE(SavePaletteToIniFile(dir.file("x.pal"), saved));
  const std::string text = vt_test::ReadWholeFile(dir.file("x.pal"));
  EXPECT_NE(text.find("palVersion=768"), std::string::npos);
  EXPECT_NE(text.find("Color255=040100FD") , std::string::npos) << text.substr(0, 200);

  TColorPalette loaded;
  loaded.palNumEntries = 0;  // the file's count must win
  LoadPaletteFromIniFile(dir.file("x.pal"), loaded);
  EXPECT_EQ(loaded.palVersion, 768);
  EXPECT_EQ(loaded.palNumEntries, 256);
  for (int i = 0; i < PALETTE_ENTRIES; ++i) EXPECT_EQ(loaded.entries[i], saved.entries[i]) << i;
}

TEST(ColorPalette, LoadUpdatesOnlyWhatTheFileHolds)
{
  vt_test::TempDir dir;
  vt_test::WriteWholeFile(dir.file("p.pal"),
                          "[ColorPaletteHeader]\npalVersion=768\npalNumEntries=16\n[Colors]\n"
                          "Color5=00FF8000\nColor6=zz12\nColor7=123456789\nColor8=\n"
                          "Color20=00FFFFFF\n");
  TColorPalette p = IdentityPalette();
  LoadPaletteFromIniFile(dir.file("p.pal"), p);
  EXPECT_EQ(p.palNumEntries, 16);
  EXPECT_EQ(p.entries[5], 0x00FF8000u);  // red 0, green 128, blue 255, flags 0
  EXPECT_EQ(p.entries[5] & 0xFF, 0u);
  EXPECT_EQ((p.entries[5] >> 8) & 0xFF, 128u);
  EXPECT_EQ((p.entries[5] >> 16) & 0xFF, 255u);
  EXPECT_EQ(p.entries[6], 6u);    // not hex: kept
  EXPECT_EQ(p.entries[7], 7u);    // nine digits: kept
  EXPECT_EQ(p.entries[8], 8u);    // empty: kept
  EXPECT_EQ(p.entries[0], 0u);    // missing key: kept
  EXPECT_EQ(p.entries[20], 20u);  // beyond the count: not read

  TColorPalette q = IdentityPalette();
  LoadPaletteFromIniFile(dir.file("missing.pal"), q);
  for (int i = 0; i < PALETTE_ENTRIES; ++i) EXPECT_EQ(q.entries[i], static_cast<uint32_t>(i));
}

TEST(ColorPalette, WaterfallTableAgainstHandComputedEntries)
{
  struct Case {
    int contrast, brightness, level, expected;
  };
  // Worked by hand from c = max(2, (contrast + 8)^2 / 32),
  // base = (brightness - 128)(c + 255) / 256 - (c - 256) / 2, k = base + i c / 256.
  const Case cases[] = {
      {82, 128, 0, 1},      // c 253, base 1
      {82, 128, 128, 127},  // 1 + 32384 / 256 = 1 + 126
      {82, 128, 255, 253},  // 1 + 252
      {0, 128, 0, 127},     // c 2, base 127
      {0, 128, 127, 127},
      {0, 128, 128, 128},
      {0, 255, 0, 254},     // base 127 * 257 / 256 + 127 = 254
      {0, 255, 255, 255},
      {100, 200, 0, 120},   // c 364, base 72 * 619 / 256 - 54 = 174 - 54
      {100, 200, 10, 134},  // 120 + 3640 / 256
      {100, 200, 100, 255}, // 120 + 142, limited
      {255, 0, 255, 0},     // c 2161, base -2160: every level below 0
      {-8, 128, 200, 128},  // c 0 raised to 2
  };
  const TColorPalette base = IdentityPalette();
  for (const Case& c : cases) {
    TColorPalette out;
    CalcWaterfallPaletteTable(base, c.contrast, c.brightness, out);
    EXPECT_EQ(out.entries[c.level], static_cast<uint32_t>(c.expected))
        << "contrast " << c.contrast << " brightness " << c.brightness << " level " << c.level;
  }
}

TEST(ColorPalette, WaterfallTableIsMonotonicAndSurvivesExtremeSettings)
{
  const TColorPalette base = IdentityPalette();
  for (int contrast : {-100000, 0, 57, 255, 100000}) {
    for (int brightness : {-100000, 0, 88, 255, 100000}) {
      TColorPalette out;
      CalcWaterfallPaletteTable(base, contrast, brightness, out);
      for (int i = 1; i < PALETTE_ENTRIES; ++i) ASSERT_GE(out.entries[i], out.entries[i - 1]);
    }
  }
}

TEST(ColorPalette, ContrastColour)
{
  EXPECT_EQ(GetContrastColor(100 | 100 << 8 | 54 << 16), 0xFFFFFFu);
  EXPECT_EQ(GetContrastColor(100 | 100 << 8 | 55 << 16), 0u);
  EXPECT_EQ(GetContrastColor(0xFF000000u), 0xFFFFFFu);  // flags do not count
}

TEST(ColorPalette, ExtremeSettingsAreClampedAtLoadBeforeThePaletteIsComputed)
{
  // Values no scroll bar can set: without the clamp at load the palette arithmetic overflows
  // an int (UBSan stops the test then).
  vt_test::TempDir dir;
  const std::string file = dir.file("extreme.ini");
  struct Case { const char* contrast; const char* brightness; int wantC, wantB; };
  for (const Case& k : {Case{"2147483647", "-2147483648", 255, 0},
                        Case{"-5", "99999", 0, 255}, Case{"57", "88", 57, 88}}) {
    vt_test::WriteWholeFile(file, std::string("[DISPLAY]\nColorPalContrast=") + k.contrast +
                                      "\nColorPalBrightness=" + k.brightness +
                                      "\nWaterLineWidth=9\nFreqMin=1e999\n");
    SetDefaultSettings();
    SndConfig.FreqMin = 123.0;
    LoadSettingsFromIni(file, SETTINGS_PART_PROCESS);
    EXPECT_EQ(SndConfig.ColorPalContrast, k.wantC) << k.contrast;
    EXPECT_EQ(SndConfig.ColorPalBrightness, k.wantB) << k.brightness;
    EXPECT_EQ(SndConfig.WaterLineWidth, 2);
    EXPECT_EQ(SndConfig.FreqMin, 123.0);  // not a finite number: the value stays
    InitDefaultPalette();
    CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                              SndConfig.ColorPalBrightness, g_WaterfallPalette);
    EXPECT_EQ(g_WaterfallPalette.palNumEntries, 256);
  }
}
