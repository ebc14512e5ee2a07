// Settings files: arbitrary text loaded as every part, saved, loaded again and saved again. The
// second save must equal the first (nothing that was loaded is changed by a round trip). On the
// loaded values the main window's display arithmetic runs as the window runs it: the waterfall
// palette from contrast and brightness, the rates, the displayable range and its clamping, the
// layout, the frequency and amplitude scales, a spectrum curve and a waterfall line, and the
// main window's placement; every position they give must lie where the window can use it.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CDec2FIR.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/WindowBounds.h"
#include "interp/SpectrumBuffer.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/DisplayGeometry.h"
#include "mainwin/FreqScaleTicks.h"
#include "mainwin/SpectrumCurve.h"
#include "mainwin/WaterfallRaster.h"
#include "platform/IniFile.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

constexpr int kGraphW = 160, kGraphH = 120;

// Full-scale bins of every other sign: the extremes of the level arithmetic.
const std::vector<int16_t>& Bins()
{
  static const std::vector<int16_t> bins = [] {
    std::vector<int16_t> b(SPECTRUM_MAX_BINS);
    for (size_t i = 0; i < b.size(); ++i) b[i] = (i % 3) ? 32767 : -32768;
    return b;
  }();
  return bins;
}

void ShowDisplays()
{
  const T_SndConfig& c = SndConfig;
  const int orient = c.SpectrumOrient == ORIENT_ROTATED ? ORIENT_ROTATED : ORIENT_HORIZONTAL;
  const bool mirror = c.SpectrumMirror != 0;

  // Rates as the window derives them from the settings, and the range they allow.
  const double processing = double(c.SampleRate) / EffectiveInputDivisor(c.SampleRateDivisor);
  const double rate = c.RateDivisor >= 1 ? processing / c.RateDivisor : processing;
  double lo = 0, hi = 0;
  DisplayableFreqRange(c.ComplexFFT != 0, c.FreqOffset,
                       0.5 * (c.FreqMin + c.FreqMax) - c.FreqOffset, rate, &lo, &hi);
  double fmin = c.FreqMin, fmax = c.FreqMax;
  ClampFreqRangeValues(&fmin, &fmax, lo, hi);
  (void)FreqStepForSpan(fmin, fmax);

  (void)ArrangeDisplayRects(600, 400, c.SpectrumStyleNPos, orient, 120, 24, 60);

  TFreqScaleParams sp;
  sp.Width = orient == ORIENT_ROTATED ? 60 : 460;
  sp.Height = orient == ORIENT_ROTATED ? 300 : 24;
  sp.Orient = orient;
  sp.Mirror = mirror;
  sp.FreqMin = fmin;
  sp.FreqMax = fmax;
  sp.Labels = true;
  sp.TimeGrid = c.WaterTimeGrid != 0;
  TFreqScaleDrawing scale;
  BuildFreqScale(sp, scale);

  std::vector<TScaleLine> lines;
  std::vector<TScaleText> texts;
  if (BuildAmplitudeScale(200, 30, c.AmplMin, c.AmplMax, nullptr, lines, texts)) {
    for (const TScaleLine& l : lines) VT_FUZZ_CHECK(l.X0 >= 0 && l.X0 < 200);
  }

  // The newest spectrum in the graph, in hundredths of a dB as the window draws int16 bins.
  const int n = std::clamp(c.NrOfSamples.load(), 64, 65536);
  const int axis = (orient == ORIENT_ROTATED ? kGraphH : kGraphW) - 1;
  TCurveParams p;
  p.Width = kGraphW;
  p.Height = kGraphH;
  p.Orient = orient;
  p.Mirror = mirror;
  p.Mapping = CalcFreqBinMapping(rate / n, 0.0, fmin, fmax, c.FreqOffset, axis);
  p.Ampl = CalcAmplScaling(kGraphW, kGraphH, orient, c.SpectrumStyleNPos, c.AmplMin * 100.0f,
                           c.AmplMax * 100.0f);
  std::vector<TCurvePoint> pts;
  ComputeSpectrumCurve(p, Bins().data(), nullptr, n / 2, 0.0, pts);
  int px = 0, py = 0;
  p.Ampl = CalcAmplScaling(kGraphW, kGraphH, orient, c.SpectrumStyleNPos, c.AmplMin, c.AmplMax);
  (void)FreqLevelToPoint(p, fmin, fmax, 0.5 * (fmin + fmax), c.AmplMax, &px, &py);
  for (int level = -160; level <= 160; level += 10) (void)AmplToPixel(p.Ampl, level, &px);

  // One waterfall line.
  static CWaterfallRaster raster;
  static std::vector<uint32_t> pixels(kGraphW * kGraphH);
  uint32_t palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = 0x010101u * uint32_t(i);
  raster.SetPalette(palette, 32);
  raster.SetColumns(p.Mapping, axis + 1, mirror != (orient == ORIENT_ROTATED));
  if (raster.SetLevels(c.AmplMin, c.AmplMax, 0)) {
    const TRasterTarget t{reinterpret_cast<uint8_t*>(pixels.data()), kGraphW, kGraphH,
                          kGraphW * 4, 32};
    raster.DrawLine(t, Bins().data(), 1, c.WaterLineWidth, orient);
  }
}

// The main window's stored placement as the window takes it: on a full-HD desktop its top left
// corner and a usable piece of it lie on the desktop; on an unknown one a rectangle of it cannot
// overflow.
void PlaceMainWindow(const std::string& path)
{
  const IniFile ini(path);
  const TWindowBounds stored{ini.ReadInteger("MAIN_WINDOW", "Left", 0),
                             ini.ReadInteger("MAIN_WINDOW", "Top", 0),
                             ini.ReadInteger("MAIN_WINDOW", "Width", 800),
                             ini.ReadInteger("MAIN_WINDOW", "Height", 560)};
  const TWindowBounds desk{0, 0, 1920, 1080};
  const TWindowBounds b = LimitWindowBounds(stored, desk);
  VT_FUZZ_CHECK(b.Left >= 0 && b.Top >= 0 && b.Left + std::min(b.Width, kMinWindowWidth) <= 1920 &&
                b.Top + std::min(b.Height, kMinWindowHeight) <= 1080);
  VT_FUZZ_CHECK(b.Width >= kMinWindowWidth && b.Height >= kMinWindowHeight);
  const TWindowBounds u = LimitWindowBounds(stored, TWindowBounds{});
  VT_FUZZ_CHECK(int64_t(u.Left) + u.Width < INT_MAX && int64_t(u.Top) + u.Height < INT_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  constexpr int kAll = SETTINGS_PART_MACHINE | SETTINGS_PART_PROCESS | SETTINGS_PART_USERMENU;
  const std::string in = vt_fuzz::WriteInput("settings.ini", data, size);
  const std::string out1 = vt_fuzz::PathOf("save1.ini"), out2 = vt_fuzz::PathOf("save2.ini");
  ::unlink(out1.c_str());
  ::unlink(out2.c_str());

  SetDefaultSettings();
  LoadSettingsFromIni(in, kAll);
  InitDefaultPalette();
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, g_WaterfallPalette);
  ShowDisplays();
  PlaceMainWindow(in);
  SaveSettingsToIni(out1, kAll);

  // Loaded over what the first load left: user-menu entries that the saver skips (blank
  // texts) then stay as they were, as they do in the program.
  LoadSettingsFromIni(out1, kAll);
  SaveSettingsToIni(out2, kAll);
  VT_FUZZ_CHECK(vt_fuzz::ReadFile(out1) == vt_fuzz::ReadFile(out2));
  return 0;
}
