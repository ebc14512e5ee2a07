// Defaults and quick presets of the settings model.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "common/TestUtil.h"

#include "engine/MachineConfig.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"

namespace {

// Runs in a temporary working directory, which the default file names point into; the
// program directory is elsewhere and must not appear in them.
class QuickSettingsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    work = std::filesystem::current_path().string() + "/";
    SetProgramDirectory("/opt/vt/");
    g_InstanceIndex = 0;
    SetDefaultSettings();
  }
  void TearDown() override
  {
    SetQuickSettingsRxFreqFunc(nullptr);
    std::filesystem::current_path(m_oldCwd);
  }

  vt_test::TempDir m_dir;
  std::string work;

private:
  std::filesystem::path m_oldCwd;
};

TEST_F(QuickSettingsTest, DefaultsFollowTheSettingsTables)
{
  const T_MachineConfig& m = MachineConfig;
  EXPECT_EQ(m.PttLineNr, 2);
  EXPECT_EQ(m.KeyerLineNr, 3);
  EXPECT_EQ(m.AlertBellLineNr, 1);
  EXPECT_EQ(m.AudioInputDevID, -1);
  EXPECT_EQ(m.AudioOutputDevID, -1);
  EXPECT_EQ(m.CalibADC[0], 5512.0);
  EXPECT_EQ(m.CalibDAC[5], 48000.0);
  EXPECT_EQ(m.BufferedSpcLines, 150);

  const T_SndConfig& c = SndConfig;
  // Set by the common block of every preset.
  EXPECT_EQ(c.SampleRate, 11025);
  EXPECT_EQ(c.NrOfSamples, 16384);
  EXPECT_EQ(c.WindowFunc, 2);
  EXPECT_EQ(c.LogSpectrum, 1);
  EXPECT_STREQ(c.UserDbOffset, "0.0");
  EXPECT_EQ(c.SpectrumOn, 1);
  EXPECT_EQ(c.WaveSaveSampleRate, 4000);
  EXPECT_EQ(c.MaxFileSize, 1400);
  EXPECT_EQ(c.MixerHilbertLength, 37);
  EXPECT_EQ(c.MixerFrequency, 700.0);
  EXPECT_EQ(c.Gain[7], 1.0);
  EXPECT_EQ(c.NoiseLevel, -50.0);
  EXPECT_EQ(c.Time_From, 75600.0);
  EXPECT_STREQ(c.PeriodicAction, "capture");
  EXPECT_EQ(std::string(c.SequenceName), work + "capt");
  EXPECT_EQ(c.UseJpegFormat, 1);
  EXPECT_EQ(c.Sine[2].SinFreq, 1100.0);
  EXPECT_EQ(c.Sine[1].SinAmpl, 0.1);
  EXPECT_TRUE(c.Sine[0].Enabled);
  // Set only by preset 0.
  EXPECT_EQ(c.FreqMax, 1200.0);
  EXPECT_EQ(c.AmModFreq, 12.3);
  EXPECT_EQ(c.FmModFreq, 100.0);
  EXPECT_EQ(c.FmModDeviation, 240.5);
  EXPECT_EQ(c.AboutIncludes, 2);
  EXPECT_EQ(c.SpectrumRefColor, 0xFF7F7F);
  EXPECT_EQ(c.SpectrumPenColor[3], 0xFFFF00);
  EXPECT_EQ(c.FreqscaleBgColor, 0x60C0FF);
  EXPECT_EQ(c.WaterTimeLabel, 3);
  EXPECT_EQ(std::string(c.SpectrumRefFileName), work + "spectrum.ref");
  EXPECT_EQ(std::string(c.DefinitionFileName), work + "current.edf");
  EXPECT_EQ(std::string(c.CommandFileName), work + "testcmd.txt");
  EXPECT_EQ(c.Schedule[0].Time, 79200);
  EXPECT_EQ(c.Schedule[3].Time, 21600);
  EXPECT_EQ(c.Schedule[4].Time, -1);
  EXPECT_STREQ(c.Schedule[11].ActionCmd, "capture");
  EXPECT_STREQ(c.UserMenu[0].MenuText, "My Menu #1");
  EXPECT_STREQ(c.UserMenu[9].ProfileName, "MyProf10");
  EXPECT_STREQ(c.FreqMarker[0].SetProc, "digimode.decoder.afc.freq=x");
  EXPECT_STREQ(c.FreqMarker[1].GetFunc, "circuit.osc.freq+650.0");
  EXPECT_STREQ(c.FreqMarker[2].Name, "");
  // Nothing sets these: they stay zero.
  EXPECT_EQ(c.MsgDisplay, 0);
  EXPECT_STREQ(c.CoeffFile[1], "");
  EXPECT_STREQ(c.RemoteAudioServerName, "");
  EXPECT_FALSE(c.Sine[0].ParamsChanged);
  EXPECT_EQ(g_RedrawRequestMask, 0);
}

TEST_F(QuickSettingsTest, FurtherInstancesGetTheirOwnExportAndCommandFiles)
{
  for (int instance : {1, 2}) {
    g_InstanceIndex = instance;
    SetDefaultSettings();
    const std::string n = std::to_string(instance);
    EXPECT_EQ(std::string(SndConfig.DefinitionFileName), work + "current" + n + ".edf");
    EXPECT_EQ(std::string(SndConfig.CommandFileName), work + "testcmd" + n + ".txt");
  }
}

TEST_F(QuickSettingsTest, LongWorkingDirectoryIsCutToTheFieldWidth)
{
  const std::filesystem::path deep =
      m_dir.path() / std::string(100, 'd') / std::string(100, 'e') / std::string(100, 'f');
  std::filesystem::create_directories(deep);
  std::filesystem::current_path(deep);
  SetDefaultSettings();
  EXPECT_EQ(std::strlen(SndConfig.SequenceName), 255u);
  EXPECT_EQ(std::strlen(SndConfig.CommandFileName), 255u);
}

// -1 in a column: the common block's value (the preset does not set the field).
struct PresetCase {
  int preset;
  int orient, styleNPos, rateDivisor, nrOfSamples, average, scrollTime, lineWidth, complexFft,
      fftAntiAlias, timeLabel, gridSeconds;
  double freqMin, freqMax, freqOffset;  // with a current FreqOffset of 10
  const char* menuText;
};

const PresetCase kPresets[] = {
    {1, 1, 2, 2, 16384, 1, 300, 1, 0, 0, 3, 12, 510, 860, 10, "Slow CW, 4 sec/dot"},
    {2, 1, 2, 4, 65536, 1, 2000, 1, 0, 1, 3, 30, 640, 690, 10, "Slow CW, 30 sec/dot"},
    {3, 1, 2, 64, 16384, 1, 6000, 1, 1, 1, 2, 120, 655, 665, 10, "Slow CW, 120 sec/dot"},
    {4, 1, 0, 1, 512, 0, 10, 2, 0, 0, 1, 1, 10, 2010, 10, "Fast CW \"Tape\""},
    {5, 0, 3, 256, 32768, 0, 30000, 1, 1, 1, 2, 600, 999.5, 1000.5, 0, "The LORAN Watcher #1"},
    {6, 1, 2, 1, 16384, 1, 333, 1, 0, 0, 1, 10, 510, 860, 10, "MT HELL, 7sec/letter"},
};

TEST_F(QuickSettingsTest, PresetsSetTheirTableAndResetTheCommonBlock)
{
  for (const PresetCase& p : kPresets) {
    SCOPED_TRACE("preset " + std::to_string(p.preset));
    SetDefaultSettings();
    T_SndConfig& c = SndConfig;
    // Values the preset or the common block must replace.
    c.FreqOffset = 10.0;
    c.SpectrumOrient = 7;
    c.SpectrumStyleNPos = 1;
    c.RateDivisor = 9;
    c.Average = 5;
    c.WaterLineWidth = 3;
    c.FftInputAntiAlias = 1;
    c.WaterTimeGrid = 0;
    c.SampleRateDivisor = 4;
    c.SampleRate = 48000;
    c.AmModFreq = 55.0;
    c.FmModDeviation = 7.0;
    c.Sine[1].SinFreq = 3.0;
    c.Sine[1].Enabled = false;
    c.Gain[3] = 0.25;
    c.FreqMixerEnabled = true;
    c.MixerFrequency = 1234.0;
    c.StartSoundOutput = 1;
    c.StartDigitalFilter = 3;
    c.Dcf77Active = 1;
    c.Time_From = 5.0;
    // Values no preset 1..6 touches.
    c.StereoProcessing = 1;
    c.AboutIncludes = 16;
    c.WaveSaveAntiAlias = 1;
    c.WaterLabelTransparent = 0;
    c.SpectrumBgColor = 0x123456;
    c.Sine[1].Wave = 2;
    c.Sine[2].ParamsChanged = true;
    c.MsgDisplay = 9;
    std::strcpy(c.FreqMarker[2].Name, "mine");
    std::strcpy(c.UserMenu[0].MenuText, "menu");

    LoadQuickSettings(p.preset);

    EXPECT_EQ(c.SpectrumOrient, p.orient);
    EXPECT_EQ(c.SpectrumStyleNPos, p.styleNPos);
    EXPECT_EQ(c.SampleRateDivisor, 1);
    EXPECT_EQ(c.RateDivisor, p.rateDivisor);
    EXPECT_EQ(c.NrOfSamples, p.nrOfSamples);
    EXPECT_EQ(c.Average, p.average);
    EXPECT_EQ(c.WaterScrollTime, p.scrollTime);
    EXPECT_EQ(c.WaterLineWidth, p.lineWidth);
    EXPECT_EQ(c.ComplexFFT, p.complexFft);
    EXPECT_EQ(c.FftInputAntiAlias, p.fftAntiAlias);
    EXPECT_EQ(c.FreqOffset, p.freqOffset);
    EXPECT_EQ(c.FreqMin, p.freqMin);
    EXPECT_EQ(c.FreqMax, p.freqMax);
    EXPECT_EQ(c.WaterTimeGrid, 1);
    EXPECT_EQ(c.WaterTimeLabel, p.timeLabel);
    EXPECT_EQ(c.TimeGridSeconds, p.gridSeconds);
    EXPECT_STREQ(QuickSettingsMenuText(p.preset), p.menuText);

    // The common block: rates, generator (with its own AM/FM values), gains, mixer, switches.
    EXPECT_EQ(c.SampleRate, 11025);
    EXPECT_EQ(c.AmModFreq, 1.0);
    EXPECT_EQ(c.FmModFreq, 1.0);
    EXPECT_EQ(c.FmModDeviation, 100.0);
    EXPECT_EQ(c.Sine[1].SinFreq, 1000.0);
    EXPECT_TRUE(c.Sine[1].Enabled);
    EXPECT_EQ(c.Gain[3], 1.0);
    EXPECT_FALSE(c.FreqMixerEnabled);
    EXPECT_EQ(c.MixerFrequency, 700.0);
    EXPECT_EQ(c.StartSoundOutput, 0);
    EXPECT_EQ(c.StartDigitalFilter, 0);
    EXPECT_EQ(c.Dcf77Active, 0);
    EXPECT_EQ(c.Time_From, 75600.0);

    // Kept.
    EXPECT_EQ(c.StereoProcessing, 1);
    EXPECT_EQ(c.AboutIncludes, 16);
    EXPECT_EQ(c.WaveSaveAntiAlias, 1);
    EXPECT_EQ(c.WaterLabelTransparent, 0);
    EXPECT_EQ(c.SpectrumBgColor, 0x123456);
    EXPECT_EQ(c.Sine[1].Wave, 2);
    EXPECT_TRUE(c.Sine[2].ParamsChanged);
    EXPECT_EQ(c.MsgDisplay, 9);
    EXPECT_STREQ(c.FreqMarker[2].Name, "mine");
    EXPECT_STREQ(c.UserMenu[0].MenuText, "menu");
  }
}

// The receive frequency comes from the reader the digimode layer installs.
double g_TestRxFreq = 0.0;

TEST_F(QuickSettingsTest, PresetSixCentresOnTheDigimodeReceiveFrequency)
{
  struct Case {
    int digimodeActive;
    double fcRx;
    double freqMin, freqMax;  // with FreqOffset 100
    bool reader = true;
  };
  const Case cases[] = {
      {1, 1000.0, 600.0, 950.0, false},  // no reader installed: the range of preset 1
      {1, 3000.0, 3080.0, 3120.0},  // upper limit is inclusive
      {1, 3000.1, 600.0, 950.0},    // above: the range of preset 1
      {1, 40.0, 120.0, 160.0},      // lower limit is inclusive
      {1, 39.9, 600.0, 950.0},
      {2, 1000.0, 1080.0, 1120.0},  // any non-zero DigimodeActive
      {0, 1000.0, 600.0, 950.0},    // digimode off
  };
  for (const Case& k : cases) {
    SCOPED_TRACE("fc_rx " + std::to_string(k.fcRx) + " active " + std::to_string(k.digimodeActive));
    SetDefaultSettings();
    SndConfig.FreqOffset = 100.0;
    SndConfig.DigimodeActive = k.digimodeActive;
    g_TestRxFreq = k.fcRx;
    SetQuickSettingsRxFreqFunc(
        k.reader ? static_cast<QuickSettingsRxFreqFunc>([] { return g_TestRxFreq; }) : nullptr);
    LoadQuickSettings(6);
    EXPECT_DOUBLE_EQ(SndConfig.FreqMin, k.freqMin);
    EXPECT_DOUBLE_EQ(SndConfig.FreqMax, k.freqMax);
    EXPECT_EQ(SndConfig.DigimodeActive, k.digimodeActive);
  }
}

TEST_F(QuickSettingsTest, PresetOutsideTheRangeRunsOnlyTheCommonBlock)
{
  for (int preset : {-1, 7}) {
    SetDefaultSettings();
    SndConfig.FreqMin = 42.0;
    SndConfig.SpectrumOrient = 1;
    SndConfig.NrOfSamples = 512;
    SndConfig.StereoProcessing = 1;
    LoadQuickSettings(preset);
    EXPECT_EQ(SndConfig.FreqMin, 42.0);
    EXPECT_EQ(SndConfig.StereoProcessing, 1);
    EXPECT_EQ(SndConfig.SpectrumOrient, 0);
    EXPECT_EQ(SndConfig.NrOfSamples, 16384);
    EXPECT_STREQ(QuickSettingsMenuText(preset), "");
  }
}

}  // namespace
