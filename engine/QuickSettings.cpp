// Default settings and the main menu's quick presets.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/MachineConfig.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"

namespace {

QuickSettingsRxFreqFunc g_RxFreqFunc = nullptr;  // GUI thread only

// Working directory + name, cut to the 255 characters a file-name field holds: the files these
// fields name are written by the program, so they never default into the program directory.
template <size_t N>
void SetWorkFile(char (&dest)[N], const std::string& name)
{
  std::string path = GetWorkDirectory() + name;
  SettingsCopyText(dest, path.c_str());
}

// What every preset sets (the default values of the settings tables, except the AM and FM
// settings, which preset 0 overrides).
void LoadCommonQuickSettings()
{
  T_SndConfig& c = SndConfig;
  c.SampleRate = 11025;
  c.SampleRateDivisor = 1;
  c.RateDivisor = 1;
  c.InputAntiAlias = 0;
  c.FftInputAntiAlias = 0;
  c.MetronomeOn = 0;
  c.NrOfSamples = 16384;
  c.Average = 1;
  c.WindowFunc = 2;
  c.ComplexFFT = 0;
  c.LogSpectrum = 1;

  c.PlayInLoops = 0;
  c.PlayUpsampled = 1;
  c.PlayDownsampled = 1;
  c.WaveAnalysisAntiAlias = 1;
  c.ModifySpeed = 0;
  c.SpeedPercent = 100;
  c.WaveSaveDownsampled = 0;
  c.WaveSaveSampleRate = 4000;
  c.WaveFileFormat = 2;
  c.InfoInHeader = 1;
  c.MaxFileSize = 1400;

  c.AmplMin = -100.0;
  c.AmplMax = 0.0;
  SettingsCopyText(c.UserDbOffset, "0.0", 80);
  c.SpectrumOn = 1;
  c.SpectrumOrient = 0;
  c.SpectrumMirror = 0;
  c.SpectrumStyleNPos = 2;
  c.WaterLineWidth = 1;
  c.WaterScrollEnabled = 1;
  c.AmplitudeGrid = 1;
  c.FrequencyGrid = 1;
  c.WaterFreqGrid = 1;
  c.FreqGridStyle = 1;
  c.TimeGridSeconds = 30;
  c.TimeGridStyle = 1;
  c.WaterScrollTime = 300;
  c.WaterfallAveraging = 1;
  c.ConnectSpectrumToInput = 1;
  c.ConnectGeneratorToInput = 3;
  c.ColorPalContrast = 57;
  c.ColorPalBrightness = 88;

  c.StartSoundThread = 1;
  c.StartSoundInput = 1;
  c.StartSoundOutput = 0;
  c.StartSignalGenerator = 0;
  c.StartDigitalFilter = 0;
  c.DigitalFilterBypass = 0;
  c.Dcf77Active = 0;

  c.Time_From = 75600.0;
  c.Time_To = 18000.0;
  c.TimeInterval = 900.0;
  c.TimerActive = false;
  SettingsCopyText(c.PeriodicAction, "capture");
  SetWorkFile(c.SequenceName, "capt");
  c.UseJpegFormat = 1;

  c.FreqMixerEnabled = false;
  c.MixerDcReject = false;
  c.MixerFrequency = 700.0;
  c.MixerSideband = 0;
  c.MixerHilbertLength = 37;
  c.ConnectSlider1 = 1;
  for (auto& g : c.Gain) g = 1.0;

  c.NoiseLevel = -50.0;
  c.NoiseOn = 0;
  c.AmModFreq = 1.0;
  c.AmModFactor = 1.0;
  c.AmModCarrier = 1.0;
  c.AmModWave = 0;
  c.FmModFreq = 1.0;
  c.FmModDeviation = 100.0;
  c.FmModWave = 0;
  for (int i = 0; i < kNrSineGens; ++i) {
    SineGenSettings& s = c.Sine[i];
    s.Enabled = true;
    s.AmMod = false;
    s.FmMod = false;
    s.SinFreq = 900.0 + 100.0 * i;
    s.SinAmpl = 0.1;
  }
}

void LoadDefaultOnlySettings()
{
  T_SndConfig& c = SndConfig;
  c.StereoProcessing = 0;
  c.AboutIncludes = 2;
  c.FreqMin = 0.0;
  c.FreqMax = 1200.0;
  c.FreqOffset = 0.0;
  c.AmModFreq = 12.3;
  c.AmModFactor = 1.0;
  c.AmModCarrier = 1.0;
  c.AmModWave = 0;
  c.FmModWave = 0;
  c.FmModFreq = 100.0;
  c.FmModDeviation = 240.5;
  c.DigimodeActive = 0;
  c.Dcf77Active = 0;

  static const int kScheduleTimes[4] = {79200, 0, 14400, 21600};
  for (int i = 0; i < kNrScheduleEntries; ++i) {
    c.Schedule[i].Time = i < 4 ? kScheduleTimes[i] : -1;
    SettingsCopyText(c.Schedule[i].ActionCmd, "capture");
  }
  for (int i = 0; i < kNrUserMenuEntries; ++i) {
    char text[40];
    std::snprintf(text, sizeof text, "My Menu #%d", i + 1);
    SettingsCopyText(c.UserMenu[i].MenuText, text, 32);
    std::snprintf(text, sizeof text, "MyProf%d", i + 1);
    SettingsCopyText(c.UserMenu[i].ProfileName, text, 32);
  }
  static const char* const kMarkers[kNrFreqMarkers][3] = {
      {"decoder", "digimode.decoder.afc.freq=x", "digimode.decoder.afc.freq"},
      {"Rx VFO", "circuit.osc.freq=x-650.0", "circuit.osc.freq+650.0"},
      {"", "", ""},
  };
  for (int i = 0; i < kNrFreqMarkers; ++i) {
    SettingsCopyText(c.FreqMarker[i].Name, kMarkers[i][0], 80);
    SettingsCopyText(c.FreqMarker[i].SetProc, kMarkers[i][1], 80);
    SettingsCopyText(c.FreqMarker[i].GetFunc, kMarkers[i][2], 80);
  }

  c.SpectrumBgColor = 0x000000;
  c.SpectrumGridColor = 0x808080;
  static const int kPens[kNrSpectrumPens] = {0x00FFFF, 0xFF7F7F, 0x00FF00, 0xFFFF00};
  for (int i = 0; i < kNrSpectrumPens; ++i) c.SpectrumPenColor[i] = kPens[i];
  c.FreqscaleBgColor = 0x60C0FF;
  c.FreqscaleFgColor = 0x000000;
  c.WaterGridColor = 0xFFFFFF;
  c.WaterLabelTextColor = 0xFFFFFF;
  c.WaterLabelTransparent = 1;
  c.WaterTimeGrid = 1;
  c.WaterTimeLabel = 3;

  SetWorkFile(c.SpectrumRefFileName, "spectrum.ref");
  c.SpectrumRefColor = 0xFF7F7F;
  c.SpectrumRefVisible = 0;
  c.SpectrumRefSubtract = 0;

  if (g_InstanceIndex == 1 || g_InstanceIndex == 2) {
    SetWorkFile(c.DefinitionFileName, "current" + std::to_string(g_InstanceIndex) + ".edf");
    SetWorkFile(c.CommandFileName, "testcmd" + std::to_string(g_InstanceIndex) + ".txt");
  } else {
    SetWorkFile(c.DefinitionFileName, "current.edf");
    SetWorkFile(c.CommandFileName, "testcmd.txt");
  }
}

// The fields that differ between presets 1 to 6 (index 0 unused).
struct QuickPreset {
  int SpectrumOrient;
  int SpectrumStyleNPos;  // -1: as the common block left it
  int RateDivisor;        // -1: as the common block left it
  int NrOfSamples;
  int Average;         // -1: as the common block left it
  int WaterScrollTime;
  int WaterLineWidth;  // -1: as the common block left it
  int ComplexFFT;
  int FftInputAntiAlias;  // -1: as the common block left it
  int WaterTimeLabel;
  int TimeGridSeconds;
  const char* MenuText;
};

const QuickPreset kQuickPresets[7] = {
    {},
    {1, -1, 2, 16384, -1, 300, -1, 0, -1, 3, 12, "Slow CW, 4 sec/dot"},
    {1, -1, 4, 65536, -1, 2000, -1, 0, 1, 3, 30, "Slow CW, 30 sec/dot"},
    {1, -1, 64, 16384, -1, 6000, -1, 1, 1, 2, 120, "Slow CW, 120 sec/dot"},
    {1, 0, 1, 512, 0, 10, 2, 0, -1, 1, 1, "Fast CW \"Tape\""},
    {0, 3, 256, 32768, 0, 30000, -1, 1, 1, 2, 600, "The LORAN Watcher #1"},
    {1, -1, -1, 16384, -1, 333, -1, 0, -1, 1, 10, "MT HELL, 7sec/letter"},
};

void LoadPresetOwnSettings(int preset)
{
  const QuickPreset& p = kQuickPresets[preset];
  T_SndConfig& c = SndConfig;
  c.SpectrumOrient = p.SpectrumOrient;
  if (p.SpectrumStyleNPos >= 0) c.SpectrumStyleNPos = p.SpectrumStyleNPos;
  c.SampleRateDivisor = 1;
  if (p.RateDivisor >= 0) c.RateDivisor = p.RateDivisor;
  c.NrOfSamples = p.NrOfSamples;
  if (p.Average >= 0) c.Average = p.Average;
  c.WaterScrollTime = p.WaterScrollTime;
  if (p.WaterLineWidth >= 0) c.WaterLineWidth = p.WaterLineWidth;
  c.ComplexFFT = p.ComplexFFT;
  if (p.FftInputAntiAlias >= 0) c.FftInputAntiAlias = p.FftInputAntiAlias;
  c.WaterTimeGrid = 1;
  c.WaterTimeLabel = p.WaterTimeLabel;
  c.TimeGridSeconds = p.TimeGridSeconds;

  const double offset = c.FreqOffset;
  switch (preset) {
    case 1:
      c.FreqMin = offset + 500.0;
      c.FreqMax = offset + 850.0;
      break;
    case 2:
      c.FreqMin = offset + 630.0;
      c.FreqMax = offset + 680.0;
      break;
    case 3:
      c.FreqMin = offset + 645.0;
      c.FreqMax = offset + 655.0;
      break;
    case 4:
      c.FreqMin = offset;
      c.FreqMax = offset + 2000.0;
      break;
    case 5:
      c.FreqOffset = 0.0;
      c.FreqMin = 999.5;
      c.FreqMax = 1000.5;
      break;
    case 6: {
      // Centre a 40 Hz wide range on the digimode receive frequency when it is usable.
      const double fc = g_RxFreqFunc ? g_RxFreqFunc() : 0.0;
      if (c.DigimodeActive != 0 && fc >= 40.0 && fc <= 3000.0) {
        c.FreqMin = offset + fc - 20.0;
        c.FreqMax = offset + fc + 20.0;
      } else {
        c.FreqMin = offset + 500.0;
        c.FreqMax = offset + 850.0;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

void LoadQuickSettings(int preset)
{
  LoadCommonQuickSettings();
  if (preset == 0)
    LoadDefaultOnlySettings();
  else if (preset >= 1 && preset <= 6)
    LoadPresetOwnSettings(preset);
}

void SetQuickSettingsRxFreqFunc(QuickSettingsRxFreqFunc func) { g_RxFreqFunc = func; }

const char* QuickSettingsMenuText(int preset)
{
  return preset >= 1 && preset <= 6 ? kQuickPresets[preset].MenuText : "";
}

void SetDefaultSettings()
{
  // Zero both records as a whole (padding included), so that a record compares byte by byte.
  std::memset(static_cast<void*>(&MachineConfig), 0, sizeof MachineConfig);
  T_MachineConfig& m = MachineConfig;
  m.PttPortNumber = 0;
  m.PttLineNr = 2;
  m.KeyerLineNr = 3;
  m.AlertBellLineNr = 1;
  m.AudioInputDevID = -1;
  m.AudioOutputDevID = -1;
  for (int i = 0; i < kNrCalibRates; ++i) {
    m.CalibADC[i] = kCalibNominalRates[i];
    m.CalibDAC[i] = kCalibNominalRates[i];
  }
  m.BufferedSpcLines = 150;
  m.LocalMinusUTC = 0;
  m.DailyRtcError = 0.0;
  m.DailyRtcReference = 0.0;

  std::memset(static_cast<void*>(&SndConfig), 0, sizeof SndConfig);
  LoadQuickSettings(0);
  g_RedrawRequestMask = 0;
}
