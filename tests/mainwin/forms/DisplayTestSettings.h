#pragma once
// Display settings the window tests of the spectrum displays start from: 11,025 Hz without
// offset, a real FFT, -100..0 dB, horizontal and not mirrored, graph and waterfall, lines of one
// pixel scrolling every 300 ms, no grids over the waterfall, no reference and no alert.
#include "engine/SndConfig.h"
#include "interp/SpectrumAlert.h"

inline void SetDisplayTestSettings()
{
  SndConfig.SampleRate = 11025;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.ComplexFFT = 0;
  SndConfig.FreqOffset = 0;
  SndConfig.AmplMin = -100;
  SndConfig.AmplMax = 0;
  SndConfig.SpectrumOrient = 0;
  SndConfig.SpectrumMirror = 0;
  SndConfig.SpectrumStyleNPos = 2;
  SndConfig.WaterLineWidth = 1;
  SndConfig.WaterScrollEnabled = 1;
  SndConfig.WaterScrollTime = 300;
  SndConfig.WaterFreqGrid = 0;
  SndConfig.WaterTimeGrid = 0;
  SndConfig.SpectrumRefVisible = 0;
  SndConfig.SpectrumRefSubtract = 0;
  AlertSettings.Enable = 0;
}
