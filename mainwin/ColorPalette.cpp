// Colour palettes and palette files.
#include "mainwin/ColorPalette.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/IniFile.h"

TColorPalette g_ColorPalette;
TColorPalette g_WaterfallPalette;

namespace {

// The built-in ramp, 0x00BBGGRR per level: grey up to level 31, then through blue, green,
// yellow, red, magenta and pastel tones to white.
constexpr uint32_t kDefaultPalette[PALETTE_ENTRIES] = {
    0x00000000, 0x00030303, 0x00070707, 0x000B0B0B, 0x000F0F0F, 0x00131313, 0x00171717, 0x001B1B1B,  // 0
    0x001F1F1F, 0x00232323, 0x00272727, 0x002B2B2B, 0x002F2F2F, 0x00333333, 0x00373737, 0x003B3B3B,  // 8
    0x003F3F3F, 0x00434343, 0x00474747, 0x004B4B4B, 0x004F4F4F, 0x00535353, 0x00575757, 0x005B5B5B,  // 16
    0x005F5F5F, 0x00636363, 0x00676767, 0x006B6B6B, 0x006F6F6F, 0x00737373, 0x00777777, 0x007B7B7B,  // 24
    0x007F8080, 0x008F8484, 0x009F8888, 0x00AF8888, 0x00BB8585, 0x00BB8383, 0x00BC8080, 0x00BC7C7C,  // 32
    0x00BD7777, 0x00BD7272, 0x00BD6D6D, 0x00BD6262, 0x00BD5B5B, 0x00BD4B4B, 0x00BD4242, 0x00BF3939,  // 40
    0x00C53232, 0x00CA2C2C, 0x00D12424, 0x00D91010, 0x00E10606, 0x00E70101, 0x00EC0202, 0x00F01200,  // 48
    0x00F62400, 0x00FB3600, 0x00FF4800, 0x00FF5B00, 0x00FF6D00, 0x00FF7F00, 0x00FF8C00, 0x00FF9900,  // 56
    0x00FFA600, 0x00EDB600, 0x00D2C800, 0x00C0D100, 0x0093DB00, 0x009DE300, 0x007FEA00, 0x003FEF00,  // 64
    0x0000F200, 0x0000F609, 0x0008F912, 0x0007F91B, 0x0002F424, 0x0002ED2D, 0x0002E536, 0x0002D83F,  // 72
    0x0002CE48, 0x0002C451, 0x0002B75B, 0x0002AE64, 0x0002A96D, 0x0002AB76, 0x0002B07F, 0x0002B588,  // 80
    0x0002BF91, 0x0002C59A, 0x0003CDA3, 0x0003D6AE, 0x0003DEB6, 0x0002E9BF, 0x0003F5C8, 0x0003FDD1,  // 88
    0x0003FFDA, 0x0003FFE3, 0x0003FEEE, 0x0003F0F8, 0x0003E0FF, 0x0003D7FF, 0x0003CCFF, 0x0003B8FF,  // 96
    0x0003ACFE, 0x0003A2FF, 0x000396FF, 0x00038BFE, 0x00037FFE, 0x000373FF, 0x00036CFF, 0x000260FF,  // 104
    0x000156FF, 0x00034EFF, 0x000043FF, 0x000037FF, 0x00032AFF, 0x00001DFF, 0x000011F1, 0x000004E5,  // 112
    0x000300DF, 0x000300DB, 0x000000D1, 0x000300C7, 0x000000BE, 0x000201B9, 0x000503B3, 0x000D00AD,  // 120
    0x00170AA5, 0x0024189F, 0x003621A1, 0x00422DA8, 0x00563AB5, 0x005E49C4, 0x007155D0, 0x007D64DF,  // 128
    0x00856EE9, 0x008D7AF3, 0x009B84FD, 0x00A48DFF, 0x00AA97FE, 0x00B6A0FE, 0x00BFACFE, 0x00C6B5FE,  // 136
    0x00C3BBFF, 0x00CDBFFF, 0x00D8B4FF, 0x00DFA6FF, 0x00EC92FF, 0x00F779FF, 0x00FE61FF, 0x00FF48FF,  // 144
    0x00FC2CFF, 0x00FE1FFE, 0x00F912F9, 0x00F105F1, 0x00E100E1, 0x00D200D2, 0x00C701C7, 0x00B601B6,  // 152
    0x00A801A8, 0x00A100A1, 0x009A009A, 0x00920092, 0x008A008A, 0x0080007F, 0x0088007A, 0x0094007B,  // 160
    0x00A8007C, 0x00B9007E, 0x00C9007F, 0x00D30082, 0x00E10284, 0x00EC0C85, 0x00F92488, 0x00FF368A,  // 168
    0x00FF498B, 0x00FF538D, 0x00FF5A8E, 0x00FF6E91, 0x00FF7A93, 0x00FF8E96, 0x00FD9997, 0x00FF9D9D,  // 176
    0x00FCA2A3, 0x00F7A5A6, 0x00ECA6A6, 0x00E29F9F, 0x00CF9299, 0x00C5888F, 0x00B97F87, 0x00AE7681,  // 184
    0x00A4697C, 0x009A6375, 0x00995C6F, 0x00985969, 0x00965663, 0x0097545D, 0x009B585A, 0x009F6161,  // 192
    0x00A86969, 0x00AF6969, 0x00B57474, 0x00C37D7D, 0x00D38686, 0x00DE9393, 0x00E69E9E, 0x00EEACAC,  // 200
    0x00F5B6B6, 0x00FDC6B9, 0x00FFD1BE, 0x00FED7C5, 0x00FFDFC5, 0x00FFE5C5, 0x00FDEBC1, 0x00FDF0BD,  // 208
    0x00FDF5A7, 0x00FFFA8A, 0x00FDFD6E, 0x00FFFF58, 0x00FFFF40, 0x00FFFF2E, 0x00FFFF1D, 0x00FFFF0C,  // 216
    0x00FFFE47, 0x00FEFE62, 0x00FFFF7B, 0x00FFFF92, 0x00FFFFA7, 0x00FFFBCC, 0x00E1F8F9, 0x00D9F5F5,  // 224
    0x00CEF2F2, 0x00BDEFEF, 0x00ADEDED, 0x0090EBEB, 0x007FE9E9, 0x0070E6E6, 0x005CE5E5, 0x004EE0E0,  // 232
    0x0037E5E5, 0x0027EBEB, 0x0011F0F0, 0x000BF5F5, 0x000EF9F9, 0x005FFCFC, 0x006AFFFF, 0x0076FFFF,  // 240
    0x0082FFFF, 0x008EFFFF, 0x009FFFFF, 0x00D1FFFF, 0x00E6FFFF, 0x00EFFFFF, 0x00FCFFFF, 0x00FFFFFF,  // 248
};

const char* const kHeaderSection = "ColorPaletteHeader";
const char* const kColorsSection = "Colors";

std::string ColorKey(int i) { return "Color" + std::to_string(i); }

// 1 to 8 hex digits, nothing else (blanks around are trimmed by the INI reader).
bool ParseHexEntry(const std::string& text, uint32_t& value)
{
  if (text.empty() || text.size() > 8) return false;
  uint32_t v = 0;
  for (char ch : text) {
    int d;
    if (ch >= '0' && ch <= '9') d = ch - '0';
    else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
    else return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  value = v;
  return true;
}

}  // namespace

uint32_t DefaultPaletteEntry(int level) { return kDefaultPalette[std::clamp(level, 0, 255)]; }

void InitDefaultPalette()
{
  g_ColorPalette.palVersion = PALETTE_VERSION;
  g_ColorPalette.palNumEntries = PALETTE_ENTRIES;
  std::copy(std::begin(kDefaultPalette), std::end(kDefaultPalette), g_ColorPalette.entries);
  g_WaterfallPalette = g_ColorPalette;
}

bool SavePaletteToIniFile(const std::string& fileName, const TColorPalette& palette)
{
  try {
    IniFile ini(fileName);
    ini.WriteInteger(kHeaderSection, "palVersion", palette.palVersion);
    ini.WriteInteger(kHeaderSection, "palNumEntries", palette.palNumEntries);
    const int n = std::min<int>(palette.palNumEntries, PALETTE_ENTRIES);
    for (int i = 0; i < n; ++i) {
      char text[16];
      std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(palette.entries[i]));
      ini.WriteString(kColorsSection, ColorKey(i), text);
    }
    ini.UpdateFile();
    return true;
  } catch (const EIniFileError&) {
    return false;
  }
}

void LoadPaletteFromIniFile(const std::string& fileName, TColorPalette& palette)
{
  IniFile ini(fileName);
  const int version = ini.ReadInteger(kHeaderSection, "palVersion", PALETTE_VERSION);
  const int count = ini.ReadInteger(kHeaderSection, "palNumEntries", palette.palNumEntries);
  palette.palVersion = static_cast<uint16_t>(version);
  palette.palNumEntries = static_cast<uint16_t>(std::clamp(count, 0, PALETTE_ENTRIES));
  for (int i = 0; i < palette.palNumEntries; ++i) {
    uint32_t value;
    if (ParseHexEntry(ini.ReadString(kColorsSection, ColorKey(i), ""), value))
      palette.entries[i] = value;
  }
}

void CalcWaterfallPaletteTable(const TColorPalette& basePalette, int contrast, int brightness,
                               TColorPalette& out)
{
  // 64-bit: the settings may hold any int, and the products must not overflow.
  const int64_t ct = static_cast<int64_t>(contrast) + 8;
  const int64_t c = std::max<int64_t>(2, ct * ct / 32);
  const int64_t base = (static_cast<int64_t>(brightness) - 128) * (c + 255) / 256 - (c - 256) / 2;
  TColorPalette table;
  for (int i = 0; i < PALETTE_ENTRIES; ++i) {
    const int64_t k = std::clamp<int64_t>(base + i * c / 256, 0, 255);
    table.entries[i] = basePalette.entries[k];
  }
  out = table;
}
