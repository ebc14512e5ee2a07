// Settings files: round trip of every field, missing keys, parts mask, written number text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <cctype>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "platform/IniFile.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The records as bytes. SetDefaultSettings zeroes them as a whole and every writer keeps text
// fields zero-filled, so two records with equal fields have equal bytes.
template <class T>
Bytes Snapshot(const T& record)
{
  const auto* p = reinterpret_cast<const unsigned char*>(&record);
  return Bytes(p, p + sizeof record);
}

// Offset of the first differing byte, or -1.
long FirstDifference(const Bytes& a, const Bytes& b)
{
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i]) return static_cast<long>(i);
  return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

// Text of `len` characters starting with `tag`, so that each field's value differs.
std::string Text(const std::string& tag, size_t len)
{
  std::string s = tag;
  while (s.size() < len) s += static_cast<char>('a' + s.size() % 26);
  return s.substr(0, len);
}

// Sets every field of both records to a value other than its default. Doubles are exact in
// binary and short in decimal, so that their text converts back to the same bits. Texts use
// each field's full loadable length.
void SetEveryFieldNonDefault()
{
  int k = 100;
  auto nextInt = [&] { return k++; };
  auto nextDouble = [&] { return 1000.25 + k++; };

  T_MachineConfig& m = MachineConfig;
  m.PttPortNumber = nextInt();
  m.PttLineNr = nextInt();
  m.KeyerLineNr = nextInt();
  m.AlertBellLineNr = nextInt();
  m.AudioInputDevID = nextInt();
  m.AudioOutputDevID = nextInt();
  for (int i = 0; i < kNrCalibRates; ++i) {
    m.CalibADC[i] = kCalibNominalRates[i] + 0.125 * (i + 1);
    m.CalibDAC[i] = kCalibNominalRates[i] - 0.375 * (i + 1);
  }
  m.BufferedSpcLines = nextInt();
  m.LocalMinusUTC = -5;
  m.DailyRtcError = 1.5e-7;
  m.DailyRtcReference = 1765400000.25;

  T_SndConfig& c = SndConfig;
  c.SampleRate = nextInt();
  c.SampleRateDivisor = 4;  // ranged fields: a value inside their range
  c.GetAudioFromServer = 1;
  c.SendAudioToServer = 1;
  c.OwnAudioServerEnabled = 1;
  c.RightADChannelForServer = 1;
  c.RightDAChannelForServer = 1;
  SettingsCopyText(c.RemoteAudioServerName, Text("remote", 255).c_str());
  SettingsCopyText(c.OwnAudioServerName, Text("own", 255).c_str());
  c.StereoProcessing = 1;
  c.NrOfSamples = nextInt();
  c.Average = nextInt();
  c.WindowFunc = nextInt();
  c.ComplexFFT = nextInt();
  c.LogSpectrum = nextInt();
  c.FreqMin = nextDouble();
  c.FreqMax = nextDouble();
  c.FreqOffset = -nextDouble();
  c.AmplMin = -120.25;  // the level range stays within -150 .. +150 dB
  c.AmplMax = 20.5;
  SettingsCopyText(c.UserDbOffset, Text("db", 80).c_str());
  c.RateDivisor = 243;
  c.FftInputAntiAlias = nextInt();
  c.SpectrumOrient = nextInt();
  c.SpectrumMirror = nextInt();
  c.SpectrumStyleNPos = nextInt();
  c.AmplitudeGrid = nextInt();
  c.FrequencyGrid = nextInt();
  c.FreqGridStyle = nextInt();
  SettingsCopyText(c.SpectrumRefFileName, Text("ref", 255).c_str());
  c.SpectrumRefVisible = nextInt();
  c.SpectrumRefSubtract = nextInt();
  c.SpectrumRefColor = nextInt();
  c.SpectrumBgColor = nextInt();
  c.SpectrumGridColor = nextInt();
  for (auto& pen : c.SpectrumPenColor) pen = nextInt();
  c.FreqscaleBgColor = nextInt();
  c.FreqscaleFgColor = nextInt();
  c.WaterFreqGrid = nextInt();
  c.WaterGridColor = nextInt();
  c.WaterLabelTextColor = nextInt();
  c.WaterLabelTransparent = nextInt();
  c.WaterTimeGrid = nextInt();
  c.WaterTimeLabel = nextInt();
  c.TimeGridStyle = nextInt();
  c.TimeGridSeconds = nextInt();
  c.WaterScrollTime = nextInt();
  c.WaterLineWidth = 2;  // ranged fields: a value inside their range

  c.WaterScrollEnabled = nextInt();
  c.WaterfallAveraging = nextInt();
  c.ColorPalContrast = 201;
  c.ColorPalBrightness = 13;
  c.PlayInLoops = nextInt();
  c.PlayUpsampled = nextInt();
  c.PlayDownsampled = nextInt();
  c.WaveAnalysisAntiAlias = nextInt();
  c.ModifySpeed = nextInt();
  c.SpeedPercent = nextInt();
  c.WaveSaveDownsampled = nextInt();
  c.WaveSaveSampleRate = nextInt();
  c.WaveSaveAntiAlias = nextInt();
  c.WaveFileFormat = nextInt();
  c.InfoInHeader = nextInt();
  c.MaxFileSize = nextInt();
  c.DigimodeActive = nextInt();
  c.Dcf77Active = nextInt();
  c.ConnectSpectrumToInput = nextInt();
  c.ConnectGeneratorToInput = nextInt();
  for (int i = 0; i < kNrGains; ++i) c.Gain[i] = i + 0.0625;  // "###0.####" keeps 4 decimals
  c.ConnectSlider1 = nextInt();
  c.NoiseLevel = -nextDouble();
  c.NoiseOn = 1;
  c.AmModFreq = nextDouble();
  c.AmModFactor = nextDouble();
  c.AmModCarrier = nextDouble();
  c.AmModWave = nextInt();
  c.FmModFreq = nextDouble();
  c.FmModDeviation = nextDouble();
  c.FmModWave = nextInt();
  for (SineGenSettings& s : c.Sine) {
    s.SinFreq = nextDouble();
    s.SinAmpl = nextDouble();
    s.Enabled = false;
    s.AmMod = true;
    s.FmMod = true;
    s.Wave = nextInt();
    s.ParamsChanged = true;  // what a load sets
  }
  c.MixerHilbertLength = nextInt();
  c.FreqMixerEnabled = true;
  c.MixerDcReject = true;
  c.MixerFrequency = nextDouble();
  c.MixerSideband = nextInt();
  c.StartSoundThread = 0;
  c.StartSoundInput = 0;
  c.StartSoundOutput = nextInt();
  c.StartSignalGenerator = nextInt();
  c.StartDigitalFilter = nextInt();
  c.DigitalFilterBypass = nextInt();
  for (int i = 0; i < kNrFilterChannels; ++i) {
    SettingsCopyText(c.CoeffFile[i], Text("coeff" + std::to_string(i), 255).c_str());
    SettingsCopyText(c.IIR2DesignFile[i], Text("iir" + std::to_string(i), 255).c_str());
    SettingsCopyText(c.FIR2DesignFile[i], Text("fir" + std::to_string(i), 255).c_str());
  }
  c.Time_From = 3600.0 + nextInt();
  c.Time_To = 7200.0 + nextInt();
  c.TimeInterval = -60.0;
  c.TimerActive = true;
  SettingsCopyText(c.PeriodicAction, Text("periodic", 255).c_str());
  c.ScheduleActive = true;
  for (int i = 0; i < kNrScheduleEntries; ++i) {
    c.Schedule[i].Time = nextInt();
    SettingsCopyText(c.Schedule[i].ActionCmd, Text("act" + std::to_string(i), 255).c_str());
  }
  c.CaptureOptions = nextInt();
  c.SequenceNr = nextInt();
  SettingsCopyText(c.SequenceName, Text("seq", 255).c_str());
  c.UseJpegFormat = 0;
  SettingsCopyText(c.DefinitionFileName, Text("edf", 255).c_str());
  c.NextWriteTime = 1765400000.5;
  c.MsgDisplay = nextInt();
  SettingsCopyText(c.CommandFileName, Text("cmd", 255).c_str());
  SettingsCopyText(c.AboutMenuText, Text("menu", 31).c_str());
  SettingsCopyText(c.AboutInfoText, Text("info", 254).c_str());
  c.AboutIncludes = nextInt();
  for (int i = 0; i < kNrUserMenuEntries; ++i) {
    SettingsCopyText(c.UserMenu[i].MenuText, Text("um" + std::to_string(i), 32).c_str());
    SettingsCopyText(c.UserMenu[i].ProfileName, Text("up" + std::to_string(i), 32).c_str());
  }
  for (int i = 0; i < kNrFreqMarkers; ++i) {
    SettingsCopyText(c.FreqMarker[i].Name, Text("name" + std::to_string(i), 80).c_str());
    SettingsCopyText(c.FreqMarker[i].SetProc, Text("set" + std::to_string(i), 80).c_str());
    SettingsCopyText(c.FreqMarker[i].GetFunc, Text("get" + std::to_string(i), 80).c_str());
  }
}

// Fields without a key: set to other values, and back to their defaults.
void SetKeylessFields(bool nonDefault)
{
  T_SndConfig& c = SndConfig;
  c.InputAntiAlias = nonDefault ? 1 : 0;
  c.SpectrumOn = nonDefault ? 0 : 1;
  SettingsCopyText(c.TxIdText, nonDefault ? "DL0ID" : "");
  c.MetronomeOn = nonDefault ? 1 : 0;
  c.GeneratorChannelMask = nonDefault ? 2 : 0;
  c.SecondMixer.FreqMixerEnabled = nonDefault;
  c.SecondMixer.MixerDcReject = nonDefault;
  c.SecondMixer.MixerFrequency = nonDefault ? 850.5 : 0.0;
  c.SecondMixer.MixerSideband = nonDefault ? 1 : 0;
}

class SettingsIniTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetProgramDirectory("/opt/vt/");
    g_InstanceIndex = 0;
    SetDefaultSettings();
    defaultMachine = Snapshot(MachineConfig);
    defaultSnd = Snapshot(SndConfig);
  }

  std::string Read(const std::string& section, const std::string& key)
  {
    return IniFile(file).ReadString(section, key, "<missing>");
  }

  vt_test::TempDir dir;
  std::string file = dir.file("settings.ini");
  Bytes defaultMachine, defaultSnd;
};

TEST_F(SettingsIniTest, EveryFieldSurvivesSaveAndLoad)
{
  SetEveryFieldNonDefault();
  SetKeylessFields(true);
  SaveSettingsToIni(file, 7);

  SetKeylessFields(false);  // never stored: a load into defaults leaves them at defaults
  const Bytes machine = Snapshot(MachineConfig);
  const Bytes snd = Snapshot(SndConfig);
  ASSERT_NE(machine, defaultMachine);

  SetDefaultSettings();
  g_RedrawRequestMask = REDRAW_ALL;
  LoadSettingsFromIni(file, 7);
  EXPECT_EQ(FirstDifference(Snapshot(MachineConfig), machine), -1) << "MachineConfig byte offset";
  EXPECT_EQ(FirstDifference(Snapshot(SndConfig), snd), -1) << "SndConfig byte offset";
  EXPECT_EQ(g_RedrawRequestMask, 0);

  // The key layout of the file, spot-checked by name.
  EXPECT_EQ(Read("SOUNDCARD", "Calib05512"), "5512.125");
  EXPECT_EQ(Read("SOUNDCARD", "CalibDAC48000"), "47997.75");
  EXPECT_EQ(Read("FFT_INPUT", "AntiAlias"), std::to_string(SndConfig.FftInputAntiAlias.load()));
  EXPECT_EQ(Read("FREQ_MARKERS", "GetFunc2"), std::string(SndConfig.FreqMarker[2].GetFunc));
  EXPECT_EQ(Read("SIGNAL_GENERATOR", "Enabled1"), "0");
  EXPECT_EQ(Read("FILTER1", "IIR2DesignFile"), std::string(SndConfig.IIR2DesignFile[1]));
  EXPECT_EQ(Read("USER_MENU9", "ProfileName"), std::string(SndConfig.UserMenu[9].ProfileName));
  EXPECT_EQ(Read("SOUNDCARD", "InputAntiAlias"), "<missing>");
  EXPECT_EQ(Read("DISPLAY", "SpectrumOn"), "<missing>");
}

TEST_F(SettingsIniTest, LoadSetsEveryOscillatorChangedFlag)
{
  vt_test::WriteWholeFile(file, "");
  LoadSettingsFromIni(file, 2);
  for (const SineGenSettings& s : SndConfig.Sine) EXPECT_TRUE(s.ParamsChanged);
}

TEST_F(SettingsIniTest, MissingKeysKeepValuesExceptTheFixedOnes)
{
  SetEveryFieldNonDefault();
  const Bytes before = Snapshot(SndConfig);
  const int ptt = MachineConfig.PttLineNr;
  vt_test::WriteWholeFile(file, "[OTHER]\nx=1\n");
  LoadSettingsFromIni(file, 7);

  const T_MachineConfig& m = MachineConfig;
  const T_SndConfig& c = SndConfig;
  EXPECT_EQ(m.AudioInputDevID, -1);
  EXPECT_EQ(m.AudioOutputDevID, -1);
  EXPECT_EQ(c.GetAudioFromServer, 0);
  EXPECT_EQ(c.SendAudioToServer, 0);
  EXPECT_EQ(c.OwnAudioServerEnabled, 0);
  EXPECT_EQ(c.RightADChannelForServer, 0);
  EXPECT_EQ(c.RightDAChannelForServer, 0);
  EXPECT_STREQ(c.RemoteAudioServerName, "");
  EXPECT_STREQ(c.OwnAudioServerName, "");
  EXPECT_EQ(c.UseJpegFormat, 1);
  EXPECT_EQ(c.MsgDisplay, 15);
  EXPECT_EQ(c.AboutIncludes, 2);
  for (const ScheduleEntry& e : c.Schedule) EXPECT_STREQ(e.ActionCmd, "capture");
  for (int i = 0; i < kNrFilterChannels; ++i) {
    EXPECT_STREQ(c.CoeffFile[i], "default.flt");
    EXPECT_STREQ(c.IIR2DesignFile[i], "default.flc");
    EXPECT_STREQ(c.FIR2DesignFile[i], "default.fir");
  }

  // Everything else kept its value: put the fixed ones back and compare the whole record.
  EXPECT_EQ(m.PttLineNr, ptt);
  SetEveryFieldNonDefault();
  EXPECT_EQ(FirstDifference(Snapshot(SndConfig), before), -1);
}

TEST_F(SettingsIniTest, MsgDisplayIsZeroByDefaultButFifteenWhenMissing)
{
  EXPECT_EQ(SndConfig.MsgDisplay, 0);
  LoadSettingsFromIni(dir.file("no-such-file.ini"), 2);
  EXPECT_EQ(SndConfig.MsgDisplay, 15);
}

TEST_F(SettingsIniTest, ValuesThatDoNotConvertCountAsMissing)
{
  struct Case {
    const char* section;
    const char* key;
    const char* text;
    double expected;  // after loading over the defaults
  };
  const Case cases[] = {
      {"DISPLAY", "FreqMax", "1200", 1200.0},
      {"DISPLAY", "FreqMax", "1.2E3", 1200.0},
      {"DISPLAY", "FreqMax", "1,2", 1200.0},  // kept
      {"DISPLAY", "FreqMin", "1,2", 0.0},     // kept
      {"DISPLAY", "FreqMin", "-7.5e-1", -0.75},
      {"DISPLAY", "FreqMin", "inf", 0.0},
      {"DISPLAY", "FreqMin", "", 0.0},
      {"DISPLAY", "AmplMin", "  -80.5  ", -80.5},
      {"CIRCUIT", "Gain3", "0.5", 0.5},
      {"CIRCUIT", "Gain3", "x", 1.0},
      {"FFT_INPUT", "NrOfSamples", "0x400", 1024},
      {"FFT_INPUT", "NrOfSamples", "$800", 2048},
      {"FFT_INPUT", "NrOfSamples", "512abc", 16384},
      {"FFT_INPUT", "NrOfSamples", "99999999999", 16384},
      {"INTERPRETER", "MsgDisplay", "abc", 15},  // fixed missing value
      {"INTERPRETER", "MsgDisplay", "3", 3},
      {"CAPTURE", "TimeInterval", "600", 600.0},
      {"CAPTURE", "TimeInterval", "600.5", 900.0},  // stored as an integer: kept
      {"CAPTURE", "TimerActive", "5", 1.0},         // bool: non-zero loads as 1
      {"SIGNAL_GENERATOR", "NoiseOn", "-3", 1.0},
      {"SIGNAL_GENERATOR", "Enabled0", "0", 0.0},
      {"SIGNAL_GENERATOR", "Wave2", "3", 3.0},
  };
  auto value = [](const std::string& key) -> double {
    const T_SndConfig& c = SndConfig;
    if (key == "FreqMax") return c.FreqMax;
    if (key == "FreqMin") return c.FreqMin;
    if (key == "AmplMin") return c.AmplMin;
    if (key == "Gain3") return c.Gain[3];
    if (key == "NrOfSamples") return c.NrOfSamples;
    if (key == "MsgDisplay") return c.MsgDisplay;
    if (key == "TimeInterval") return c.TimeInterval;
    if (key == "TimerActive") return c.TimerActive;
    if (key == "NoiseOn") return c.NoiseOn;
    if (key == "Enabled0") return c.Sine[0].Enabled;
    if (key == "Wave2") return c.Sine[2].Wave;
    return std::nan("");
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.key) + "=" + k.text);
    SetDefaultSettings();
    vt_test::WriteWholeFile(file, std::string("[") + k.section + "]\n" + k.key + "=" + k.text + "\n");
    LoadSettingsFromIni(file, 2);
    EXPECT_EQ(value(k.key), k.expected);
  }
}

TEST_F(SettingsIniTest, LongTextsAreCutToTheirFieldLimits)
{
  const std::string longText(400, 'q');
  vt_test::WriteWholeFile(file,
                          "[ABOUT]\nMenuText=" + longText + "\nInfoText=" + longText +
                              "\n[FFT_OUTPUT]\nUserDbOffset=" + longText +
                              "\n[FREQ_MARKERS]\nSetProc1=" + longText +
                              "\n[CAPTURE]\nSequenceName=" + longText +
                              "\n[USER_MENU3]\nMenuText=" + longText + "\nProfileName=" + longText +
                              "\n");
  LoadSettingsFromIni(file, 6);
  const T_SndConfig& c = SndConfig;
  EXPECT_EQ(std::strlen(c.AboutMenuText), 31u);
  EXPECT_EQ(std::strlen(c.AboutInfoText), 254u);
  EXPECT_EQ(std::strlen(c.UserDbOffset), 80u);
  EXPECT_EQ(std::strlen(c.FreqMarker[1].SetProc), 80u);
  EXPECT_EQ(std::strlen(c.SequenceName), 255u);
  EXPECT_EQ(std::strlen(c.UserMenu[3].MenuText), 32u);
  EXPECT_EQ(std::strlen(c.UserMenu[3].ProfileName), 32u);
}

TEST_F(SettingsIniTest, PartsNotInTheMaskAreNeitherWrittenNorRead)
{
  SetEveryFieldNonDefault();
  const Bytes allMachine = Snapshot(MachineConfig);
  const Bytes allSnd = Snapshot(SndConfig);
  SaveSettingsToIni(file, 7);

  // Writing: which sections and keys each part puts into an empty file.
  struct WriteCase {
    int parts;
    const char* section;
    const char* key;
    bool present;
  };
  const WriteCase writes[] = {
      {1, "PTT_CONTROL", "PttLineNr", true},     {1, "SOUNDCARD", "Calib44100", true},
      {1, "SOUNDCARD", "SampleRate", false},     {1, "ABOUT", "Info1", false},
      {1, "USER_MENU0", "MenuText", false},      {2, "SOUNDCARD", "SampleRate", true},
      {2, "SOUNDCARD", "AudioInputDevID", false}, {2, "MEMORY", "BufferedSpcLines", false},
      {2, "EXPORT", "NextWriteTime", true},      {2, "USER_MENU0", "MenuText", false},
      {4, "USER_MENU0", "MenuText", true},       {4, "DISPLAY", "FreqMin", false},
      {4, "SYSTEM", "LocalMinusUTC", false},     {8, "DISPLAY", "FreqMin", false},
  };
  for (const WriteCase& w : writes) {
    SCOPED_TRACE("parts " + std::to_string(w.parts) + " " + w.section + "." + w.key);
    const std::string one = dir.file("part" + std::to_string(w.parts) + ".ini");
    SaveSettingsToIni(one, w.parts);
    EXPECT_EQ(IniFile(one).ValueExists(w.section, w.key), w.present);
  }

  // Reading: each part alone from the full file.
  UserMenuEntry allMenu[kNrUserMenuEntries];
  std::memcpy(allMenu, SndConfig.UserMenu, sizeof allMenu);
  SetDefaultSettings();
  UserMenuEntry defaultMenu[kNrUserMenuEntries];
  std::memcpy(defaultMenu, SndConfig.UserMenu, sizeof defaultMenu);
  auto menuIs = [](const UserMenuEntry* expected) {
    return std::memcmp(SndConfig.UserMenu, expected, sizeof SndConfig.UserMenu) == 0;
  };

  SetDefaultSettings();
  LoadSettingsFromIni(file, 1);
  EXPECT_EQ(Snapshot(MachineConfig), allMachine);
  EXPECT_EQ(Snapshot(SndConfig), defaultSnd);

  SetDefaultSettings();
  LoadSettingsFromIni(file, 2);
  EXPECT_EQ(Snapshot(MachineConfig), defaultMachine);
  EXPECT_TRUE(menuIs(defaultMenu));
  std::memcpy(SndConfig.UserMenu, allMenu, sizeof allMenu);
  EXPECT_EQ(FirstDifference(Snapshot(SndConfig), allSnd), -1);

  SetDefaultSettings();
  LoadSettingsFromIni(file, 4);
  EXPECT_EQ(Snapshot(MachineConfig), defaultMachine);
  EXPECT_TRUE(menuIs(allMenu));
  std::memcpy(SndConfig.UserMenu, defaultMenu, sizeof defaultMenu);
  EXPECT_EQ(Snapshot(SndConfig), defaultSnd);

  // Parts 0 changes nothing but the redraw request mask.
  SetDefaultSettings();
  g_RedrawRequestMask = REDRAW_ALL;
  LoadSettingsFromIni(file, 0);
  EXPECT_EQ(Snapshot(MachineConfig), defaultMachine);
  EXPECT_EQ(Snapshot(SndConfig), defaultSnd);
  EXPECT_EQ(g_RedrawRequestMask, 0);
}

TEST_F(SettingsIniTest, AboutBeginsWithTheInfoTexts)
{
  SaveSettingsToIni(file, 2);
  IniFile ini(file);
  const std::vector<std::string> keys = ini.ReadSection("ABOUT");
  ASSERT_GE(keys.size(), 2u);
  EXPECT_EQ(keys[0], "Info1");
  EXPECT_EQ(keys[1], "Info2");
  EXPECT_EQ(ini.ReadString("ABOUT", "Info1", ""), "Configuration file for Vartumo");
  // Build date as Mmm dd yyyy: English month, day padded with a blank to two characters.
  const std::string info2 = ini.ReadString("ABOUT", "Info2", "");
  const std::string prefix = "Compilation date ";
  ASSERT_EQ(info2.size(), prefix.size() + 11) << info2;
  EXPECT_EQ(info2.substr(0, prefix.size()), prefix);
  const std::string date = info2.substr(prefix.size());
  const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const size_t month = months.find(date.substr(0, 3));
  EXPECT_TRUE(month != std::string::npos && month % 3 == 0) << date;
  const int day = (date[4] == ' ' ? 0 : (date[4] - '0') * 10) + (date[5] - '0');
  EXPECT_TRUE(date[3] == ' ' && date[6] == ' ') << date;
  EXPECT_TRUE(day >= 1 && day <= 31 && (date[4] == ' ' || date[4] != '0')) << date;
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(date[5])) &&
              date.find_first_not_of("0123456789", 7) == std::string::npos) << date;

  // The loader does not read them back into any text.
  vt_test::WriteWholeFile(file, "[ABOUT]\nInfo1=x\nInfo2=y\n");
  LoadSettingsFromIni(file, 2);
  EXPECT_STREQ(SndConfig.AboutMenuText, "");
  EXPECT_STREQ(SndConfig.AboutInfoText, "");
}

TEST_F(SettingsIniTest, NumbersAreWrittenInTheirFormats)
{
  struct Case {
    void (*set)();
    const char* section;
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {[] { SndConfig.FreqMax = 1200.0; }, "DISPLAY", "FreqMax", "1200"},
      {[] { SndConfig.FreqMax = 12.3; }, "DISPLAY", "FreqMax", "12.3"},
      {[] { SndConfig.FreqMax = 1.0 / 3.0; }, "DISPLAY", "FreqMax", "0.333333333333333"},
      {[] { SndConfig.AmplMin = -100.0; }, "DISPLAY", "AmplMin", "-100"},
      {[] { MachineConfig.CalibADC[4] = 44100.5; }, "SOUNDCARD", "Calib44100", "44100.5"},
      {[] { SndConfig.Gain[0] = 0.123456; }, "CIRCUIT", "Gain0", "0.1235"},
      {[] { SndConfig.Gain[0] = 2.0; }, "CIRCUIT", "Gain0", "2"},
      {[] { SndConfig.Gain[0] = 0.00004; }, "CIRCUIT", "Gain0", "0"},
      {[] { SndConfig.Gain[0] = 12345.5; }, "CIRCUIT", "Gain0", "12345.5"},
      {[] { SndConfig.Gain[0] = -0.5; }, "CIRCUIT", "Gain0", "-0.5"},
      {[] { SndConfig.TimeInterval = 900.7; }, "CAPTURE", "TimeInterval", "900"},
      {[] { SndConfig.TimeInterval = -3.9; }, "CAPTURE", "TimeInterval", "-3"},
      {[] { SndConfig.Time_From = 1e12; }, "CAPTURE", "Time_From", "2147483647"},
      {[] { SndConfig.Time_To = std::nan(""); }, "CAPTURE", "Time_To", "0"},
      {[] { SndConfig.Sine[1].AmMod = true; }, "SIGNAL_GENERATOR", "AmMod1", "1"},
      {[] { SndConfig.SpectrumRefColor = 0xFF7F7F; }, "SPECTRUM_REF", "Color", "16744319"},
      {[] { MachineConfig.LocalMinusUTC = -11; }, "SYSTEM", "LocalMinusUTC", "-11"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.section) + "." + k.key);
    SetDefaultSettings();
    k.set();
    SaveSettingsToIni(file, 3);
    EXPECT_EQ(Read(k.section, k.key), k.text);
  }
}

TEST_F(SettingsIniTest, SaveKeepsForeignSectionsAndSkipsBlankUserMenuEntries)
{
  vt_test::WriteWholeFile(file,
                          "[MAIN_WINDOW]\nLeft=5\n[DISPLAY]\nMyKey=7\n"
                          "[USER_MENU1]\nMenuText=Old\nProfileName=old.usr\n"
                          "[USER_MENU2]\nMenuText=Old2\nProfileName=old2.usr\n");
  SettingsCopyText(SndConfig.UserMenu[1].MenuText, "");
  SettingsCopyText(SndConfig.UserMenu[2].MenuText, " blank first");
  SettingsCopyText(SndConfig.UserMenu[3].MenuText, "\xC3\x9C" "bertragung");  // UTF-8 letter
  SettingsCopyText(SndConfig.UserMenu[4].ProfileName, "\tprofile");
  SaveSettingsToIni(file, 6);

  EXPECT_EQ(Read("MAIN_WINDOW", "Left"), "5");
  EXPECT_EQ(Read("DISPLAY", "MyKey"), "7");
  EXPECT_EQ(Read("USER_MENU1", "MenuText"), "Old");
  EXPECT_EQ(Read("USER_MENU2", "MenuText"), "Old2");
  EXPECT_EQ(Read("USER_MENU3", "MenuText"), "\xC3\x9C" "bertragung");
  EXPECT_EQ(Read("USER_MENU4", "MenuText"), "<missing>");
  EXPECT_EQ(Read("USER_MENU5", "ProfileName"), "MyProf6");
}

TEST_F(SettingsIniTest, SaveFailureNamesTheFullPath)
{
  const std::string bad = dir.file("missing-dir/settings.ini");
  try {
    SaveSettingsToIni(bad, 7);
    FAIL() << "no exception";
  } catch (const EIniFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + bad);
  }
}

// A settings file that is no regular file of sane size is not read: the settings start from
// their defaults, the refusal is reported, and a later save leaves the file as it is.
TEST_F(SettingsIniTest, FileThatIsNoRegularFileOfSaneSizeIsNotReadNorWritten)
{
  // What a load from no file at all gives (the keys with a fixed value when missing included).
  LoadSettingsFromIni(dir.file("none.ini"), 7);
  const Bytes noFileMachine = Snapshot(MachineConfig), noFileSnd = Snapshot(SndConfig);

  std::vector<std::string> debugLines;
  SetDebugSink([&](const std::string& line) { debugLines.push_back(line); });
  const struct {
    const char* what;
    bool link;           // a link to /dev/zero, else a settings file made larger than the limit
    const char* reason;  // after the full path
  } cases[] = {
      {"larger than the limit", false, " is larger than 16 MB"},
      {"link to /dev/zero", true, " is not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file(c.link ? "link.ini" : "large.ini");
    std::uintmax_t size = 0;
    std::string head;
    if (c.link) {
      std::filesystem::create_symlink("/dev/zero", path);
    } else {
      SetEveryFieldNonDefault();
      SaveSettingsToIni(path, 7);
      ASSERT_EQ(::truncate(path.c_str(), IniFile::kMaxFileSize + 1), 0);
      size = std::filesystem::file_size(path);
      head = vt_test::ReadWholeFile(path).substr(0, 4096);
    }
    SetDefaultSettings();
    debugLines.clear();
    LoadSettingsFromIni(path, 7);
    ASSERT_EQ(FirstDifference(Snapshot(MachineConfig), noFileMachine), -1);
    ASSERT_EQ(FirstDifference(Snapshot(SndConfig), noFileSnd), -1);
    ASSERT_EQ(debugLines.size(), 1u);
    EXPECT_EQ(debugLines[0], "Settings file not read: " + path + c.reason +
                                 ". The settings keep their values (the defaults at start-up); "
                                 "the file is not written.");
    try {
      SaveSettingsToIni(path, 7);
      ADD_FAILURE() << "the save should fail";
    } catch (const EIniFileError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    if (c.link) {
      EXPECT_TRUE(std::filesystem::is_symlink(path));
      EXPECT_EQ(std::filesystem::read_symlink(path), "/dev/zero");
    } else {
      EXPECT_EQ(std::filesystem::file_size(path), size);
      EXPECT_EQ(vt_test::ReadWholeFile(path).substr(0, 4096), head);
    }
  }
  SetDebugSink(nullptr);
}

TEST_F(SettingsIniTest, RelativeNamesAreTakenFromTheWorkingDirectory)
{
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  SndConfig.SampleRate = 8000;
  SaveSettingsToIni("rel.ini", 2);
  SndConfig.SampleRate = 1;
  LoadSettingsFromIni("rel.ini", 2);
  std::filesystem::current_path(old);
  EXPECT_EQ(SndConfig.SampleRate, 8000);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "rel.ini"));
}

}  // namespace
