#pragma once
// Colour palettes: the base palette that palette files load and save and the palette editor
// edits, the waterfall's 256-entry look-up table derived from it with contrast and brightness,
// and the palette file format "*.pal". GUI thread only.
//
// An entry is a 32-bit value flags x 2^24 + blue x 2^16 + green x 2^8 + red, so an entry with
// flags 0 is a colour value 0x00BBGGRR as used everywhere in the program.
#include <cstdint>
#include <string>

constexpr int PALETTE_ENTRIES = 256;
constexpr uint16_t PALETTE_VERSION = 0x300;  // 768

struct TColorPalette {
  uint16_t palVersion = PALETTE_VERSION;
  uint16_t palNumEntries = PALETTE_ENTRIES;  // entries in use, 0..256
  uint32_t entries[PALETTE_ENTRIES] = {};
};

// The base palette (loaded from and saved to "*.pal", edited by the palette editor).
extern TColorPalette g_ColorPalette;
// The waterfall's colour per level 0..255, derived by CalcWaterfallPalette.
extern TColorPalette g_WaterfallPalette;

// The built-in colour ramp, entry i for level i (flags 0).
uint32_t DefaultPaletteEntry(int level);

// g_ColorPalette = version 768, 256 entries of the built-in ramp; copied into g_WaterfallPalette.
void InitDefaultPalette();

// Writes the palette as an INI file: [ColorPaletteHeader] palVersion, palNumEntries (decimal);
// [Colors] Color0 .. Color<n-1> as 8 upper-case hex digits (flags, blue, green, red). Other
// sections of an existing file are kept. False when the file cannot be written (it is then
// left as it was).
bool SavePaletteToIniFile(const std::string& fileName, const TColorPalette& palette);

// Reads such a file into the palette: the version (default 768), the number of entries (default
// the palette's count, limited to 0..256) and each entry below that count. A missing key or a
// text that is not 1 to 8 hex digits keeps the current entry; a missing file keeps all entries.
void LoadPaletteFromIniFile(const std::string& fileName, TColorPalette& palette);

// Builds the waterfall look-up table (integer arithmetic, divisions truncating toward zero):
// c = max(2, (contrast + 8)^2 / 32); base = (brightness - 128)(c + 255) / 256 - (c - 256) / 2;
// entry i = basePalette entry clamp(base + i c / 256, 0, 255). out gets version 768, 256 entries.
void CalcWaterfallPaletteTable(const TColorPalette& basePalette, int contrast, int brightness,
                               TColorPalette& out);

