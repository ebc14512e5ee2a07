// Loading and saving the settings records MachineConfig and SndConfig as INI files.
//
// Each part is one table of fields (section, key, kind, field); the loader and the saver walk
// the same table, so both always agree on sections, keys and their order.
#include "engine/SettingsIni.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsLimits.h"
#include "engine/SndConfig.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

namespace {

enum class FieldKind {
  Int,           // decimal integer
  NonZeroIsOne,  // int field: any non-zero integer loads as 1
  Bool,          // 0 or 1; any non-zero integer loads as 1
  Double,        // general float text
  Gain,          // float text with the picture "###0.####"
  WholeSeconds,  // double stored as an integer (truncated toward zero)
  Text,          // text cut to textMax characters
  SaveOnlyText,  // written with the fixed text, never read
  MarkChanged,   // no key: bool flag set to 1 by a load
};

struct SettingsField {
  std::string section;
  std::string key;
  FieldKind kind;
  void* field = nullptr;
  size_t textSize = 0;  // Text: size of the char array
  size_t textMax = 0;   // Text: characters taken when loading
  bool hasMissing = false;  // the key has a fixed value when it is absent
  int missingInt = 0;
  const char* missingText = "";
  bool hasRange = false;  // Int: a loaded value is clamped into lo..hi
  int lo = 0, hi = 0;
};

class FieldTable {
public:
  std::vector<SettingsField> fields;

  void Int(const std::string& sec, const std::string& key, AtomicField<int>& f)
  {
    fields.push_back({sec, key, FieldKind::Int, &f});
  }
  void IntOr(const std::string& sec, const std::string& key, AtomicField<int>& f, int missing)
  {
    SettingsField d{sec, key, FieldKind::Int, &f};
    d.hasMissing = true;
    d.missingInt = missing;
    fields.push_back(d);
  }
  // An integer whose control or use allows only lo..hi: a loaded value outside is clamped,
  // so no later arithmetic sees a value the program itself could never have stored.
  void IntIn(const std::string& sec, const std::string& key, AtomicField<int>& f, int lo, int hi)
  {
    SettingsField d{sec, key, FieldKind::Int, &f};
    d.hasRange = true;
    d.lo = lo;
    d.hi = hi;
    fields.push_back(d);
  }
  void NonZeroIsOne(const std::string& sec, const std::string& key, AtomicField<int>& f)
  {
    fields.push_back({sec, key, FieldKind::NonZeroIsOne, &f});
  }
  void Bool(const std::string& sec, const std::string& key, AtomicField<bool>& f)
  {
    fields.push_back({sec, key, FieldKind::Bool, &f});
  }
  void Double(const std::string& sec, const std::string& key, AtomicField<double>& f)
  {
    fields.push_back({sec, key, FieldKind::Double, &f});
  }
  void Gain(const std::string& sec, const std::string& key, AtomicField<double>& f)
  {
    fields.push_back({sec, key, FieldKind::Gain, &f});
  }
  void WholeSeconds(const std::string& sec, const std::string& key, AtomicField<double>& f)
  {
    fields.push_back({sec, key, FieldKind::WholeSeconds, &f});
  }
  template <size_t N>
  void Text(const std::string& sec, const std::string& key, char (&f)[N], size_t maxChars = N - 1)
  {
    SettingsField d{sec, key, FieldKind::Text, f};
    d.textSize = N;
    d.textMax = maxChars;
    fields.push_back(d);
  }
  template <size_t N>
  void TextOr(const std::string& sec, const std::string& key, char (&f)[N], const char* missing)
  {
    Text(sec, key, f);
    fields.back().hasMissing = true;
    fields.back().missingText = missing;
  }
  void SaveOnlyText(const std::string& sec, const std::string& key, const char* text)
  {
    SettingsField d{sec, key, FieldKind::SaveOnlyText};
    d.missingText = text;
    fields.push_back(d);
  }
  void MarkChanged(AtomicField<bool>& f) { fields.push_back({"", "", FieldKind::MarkChanged, &f}); }
};

std::string Indexed(const char* name, int index) { return name + std::to_string(index); }

// "Compilation date " and the build date as "Mmm dd yyyy" (the compiler's __DATE__ has exactly
// that form: English month abbreviation, day padded with a blank, four-digit year).
const char* const kInfo2Text = "Compilation date " __DATE__;

void AddMachineFields(FieldTable& t)
{
  T_MachineConfig& m = MachineConfig;
  t.Int("PTT_CONTROL", "PttPortNumber", m.PttPortNumber);
  t.Int("PTT_CONTROL", "PttLineNr", m.PttLineNr);
  t.Int("PTT_CONTROL", "KeyerLineNr", m.KeyerLineNr);
  t.Int("PTT_CONTROL", "AlertBellLineNr", m.AlertBellLineNr);
  t.Int("MEMORY", "BufferedSpcLines", m.BufferedSpcLines);
  t.Int("SYSTEM", "LocalMinusUTC", m.LocalMinusUTC);
  t.Double("SYSTEM", "DailyRtcError", m.DailyRtcError);
  t.Double("SYSTEM", "DailyRtcReference", m.DailyRtcReference);
  t.IntOr("SOUNDCARD", "AudioInputDevID", m.AudioInputDevID, -1);
  t.IntOr("SOUNDCARD", "AudioOutputDevID", m.AudioOutputDevID, -1);
  for (int i = 0; i < kNrCalibRates; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "Calib%05d", kCalibNominalRates[i]);
    t.Double("SOUNDCARD", key, m.CalibADC[i]);
    std::snprintf(key, sizeof key, "CalibDAC%05d", kCalibNominalRates[i]);
    t.Double("SOUNDCARD", key, m.CalibDAC[i]);
  }
}

void AddProcessFields(FieldTable& t)
{
  T_SndConfig& c = SndConfig;
  t.SaveOnlyText("ABOUT", "Info1", "Configuration file for Vartumo");
  t.SaveOnlyText("ABOUT", "Info2", kInfo2Text);
  t.Text("ABOUT", "MenuText", c.AboutMenuText, 31);
  t.Text("ABOUT", "InfoText", c.AboutInfoText, 254);
  t.IntOr("ABOUT", "Includes", c.AboutIncludes, 2);

  t.Int("SOUNDCARD", "SampleRate", c.SampleRate);
  t.IntIn("SOUNDCARD", "SampleRateDivisor", c.SampleRateDivisor, kMinSampleRateDivisor,
          kMaxSampleRateDivisor);
  t.IntOr("SOUNDCARD", "GetAudioFromServer", c.GetAudioFromServer, 0);
  t.IntOr("SOUNDCARD", "SendAudioToServer", c.SendAudioToServer, 0);
  t.IntOr("SOUNDCARD", "OwnAudioServerEnabled", c.OwnAudioServerEnabled, 0);
  t.IntOr("SOUNDCARD", "RightADChannelForServer", c.RightADChannelForServer, 0);
  t.IntOr("SOUNDCARD", "RightDAChannelForServer", c.RightDAChannelForServer, 0);
  t.TextOr("SOUNDCARD", "RemoteAudioServerName", c.RemoteAudioServerName, "");
  t.TextOr("SOUNDCARD", "OwnAudioServerName", c.OwnAudioServerName, "");

  t.Int("WAVE_ANALYSIS", "PlayInLoops", c.PlayInLoops);
  t.Int("WAVE_ANALYSIS", "PlayUpsampled", c.PlayUpsampled);
  t.Int("WAVE_ANALYSIS", "PlayDownsampled", c.PlayDownsampled);
  t.Int("WAVE_ANALYSIS", "AntiAlias", c.WaveAnalysisAntiAlias);
  t.Int("WAVE_ANALYSIS", "ModifySpeed", c.ModifySpeed);
  t.Int("WAVE_ANALYSIS", "SpeedPercent", c.SpeedPercent);

  t.Int("WAVE_SAVE", "Downsampled", c.WaveSaveDownsampled);
  t.Int("WAVE_SAVE", "SampleRate", c.WaveSaveSampleRate);
  t.Int("WAVE_SAVE", "AntiAlias", c.WaveSaveAntiAlias);
  t.Int("WAVE_SAVE", "WaveFileFormat", c.WaveFileFormat);
  t.Int("WAVE_SAVE", "InfoInHeader", c.InfoInHeader);
  t.Int("WAVE_SAVE", "MaxFileSize", c.MaxFileSize);

  t.Int("SOUND_THREAD", "StartSoundThread", c.StartSoundThread);
  t.Int("SOUND_THREAD", "StereoProcessing", c.StereoProcessing);
  t.Int("SOUND_THREAD", "StartSoundInput", c.StartSoundInput);
  t.Int("SOUND_THREAD", "StartSoundOutput", c.StartSoundOutput);
  t.Int("SOUND_THREAD", "StartSignalGenerator", c.StartSignalGenerator);
  t.Int("SOUND_THREAD", "StartDigitalFilter", c.StartDigitalFilter);
  t.Int("SOUND_THREAD", "DigitalFilterBypass", c.DigitalFilterBypass);

  t.Int("DIGIMODE", "Active", c.DigimodeActive);
  t.Int("DCF77", "Active", c.Dcf77Active);

  t.IntIn("FFT_INPUT", "RateDivisor", c.RateDivisor, kMinRateDivisor, kMaxRateDivisor);
  t.Int("FFT_INPUT", "AntiAlias", c.FftInputAntiAlias);
  t.Int("FFT_INPUT", "NrOfSamples", c.NrOfSamples);
  t.Int("FFT_INPUT", "Average", c.Average);
  t.Int("FFT_INPUT", "WindowFunc", c.WindowFunc);
  t.Int("FFT_INPUT", "ComplexFFT", c.ComplexFFT);

  t.Int("FFT_OUTPUT", "LogSpectrum", c.LogSpectrum);
  t.Text("FFT_OUTPUT", "UserDbOffset", c.UserDbOffset, 80);

  t.Double("DISPLAY", "FreqMin", c.FreqMin);
  t.Double("DISPLAY", "FreqMax", c.FreqMax);
  t.Double("DISPLAY", "FreqOffset", c.FreqOffset);
  t.Double("DISPLAY", "AmplMin", c.AmplMin);
  t.Double("DISPLAY", "AmplMax", c.AmplMax);
  t.Int("DISPLAY", "SpectrumOrient", c.SpectrumOrient);
  t.Int("DISPLAY", "SpectrumMirror", c.SpectrumMirror);
  t.Int("DISPLAY", "SpectrumStyleNPos", c.SpectrumStyleNPos);
  t.Int("DISPLAY", "AmplitudeGrid", c.AmplitudeGrid);
  t.Int("DISPLAY", "FrequencyGrid", c.FrequencyGrid);
  t.Int("DISPLAY", "FreqGridStyle", c.FreqGridStyle);
  t.Int("DISPLAY", "SpectrumBgColor", c.SpectrumBgColor);
  t.Int("DISPLAY", "SpectrumGridColor", c.SpectrumGridColor);
  for (int i = 0; i < kNrSpectrumPens; ++i)
    t.Int("DISPLAY", Indexed("SpectrumPenColor", i), c.SpectrumPenColor[i]);
  t.Int("DISPLAY", "FreqscaleBgColor", c.FreqscaleBgColor);
  t.Int("DISPLAY", "FreqscaleFgColor", c.FreqscaleFgColor);
  t.Int("DISPLAY", "WaterFreqGrid", c.WaterFreqGrid);
  t.Int("DISPLAY", "WaterGridColor", c.WaterGridColor);
  t.Int("DISPLAY", "WaterLabelTextColor", c.WaterLabelTextColor);
  t.Int("DISPLAY", "WaterLabelTransparent", c.WaterLabelTransparent);
  t.Int("DISPLAY", "WaterTimeGrid", c.WaterTimeGrid);
  t.Int("DISPLAY", "WaterTimeLabel", c.WaterTimeLabel);
  t.Int("DISPLAY", "TimeGridStyle", c.TimeGridStyle);
  t.Int("DISPLAY", "TimeGridSeconds", c.TimeGridSeconds);
  t.IntIn("DISPLAY", "WaterScrollTime", c.WaterScrollTime, kMinWaterScrollTime,
          std::numeric_limits<int>::max());
  t.IntIn("DISPLAY", "WaterLineWidth", c.WaterLineWidth, 1, 2);
  t.Int("DISPLAY", "WaterScrollEnabled", c.WaterScrollEnabled);
  t.Int("DISPLAY", "WaterfallAveraging", c.WaterfallAveraging);
  // The contrast and brightness scroll bars run from 0 to 255.
  t.IntIn("DISPLAY", "ColorPalContrast", c.ColorPalContrast, 0, 255);
  t.IntIn("DISPLAY", "ColorPalBrightness", c.ColorPalBrightness, 0, 255);

  for (int i = 0; i < kNrFreqMarkers; ++i) {
    t.Text("FREQ_MARKERS", Indexed("Name", i), c.FreqMarker[i].Name, 80);
    t.Text("FREQ_MARKERS", Indexed("SetProc", i), c.FreqMarker[i].SetProc, 80);
    t.Text("FREQ_MARKERS", Indexed("GetFunc", i), c.FreqMarker[i].GetFunc, 80);
  }

  t.Text("SPECTRUM_REF", "FileName", c.SpectrumRefFileName);
  t.Int("SPECTRUM_REF", "Visible", c.SpectrumRefVisible);
  t.Int("SPECTRUM_REF", "Subtract", c.SpectrumRefSubtract);
  t.Int("SPECTRUM_REF", "Color", c.SpectrumRefColor);

  t.WholeSeconds("CAPTURE", "Time_From", c.Time_From);
  t.WholeSeconds("CAPTURE", "Time_To", c.Time_To);
  t.WholeSeconds("CAPTURE", "TimeInterval", c.TimeInterval);
  t.Bool("CAPTURE", "TimerActive", c.TimerActive);
  t.Text("CAPTURE", "PeriodicAction", c.PeriodicAction);
  t.Bool("CAPTURE", "ScheduleActive", c.ScheduleActive);
  t.Int("CAPTURE", "Options", c.CaptureOptions);
  t.Int("CAPTURE", "SequenceNr", c.SequenceNr);
  t.Text("CAPTURE", "SequenceName", c.SequenceName);
  t.IntOr("CAPTURE", "UseJpegFormat", c.UseJpegFormat, 1);

  for (int i = 0; i < kNrScheduleEntries; ++i) {
    const std::string sec = Indexed("SCHEDULE", i);
    t.Int(sec, "Time", c.Schedule[i].Time);
    t.TextOr(sec, "ActionCmd", c.Schedule[i].ActionCmd, "capture");
  }

  t.Int("CIRCUIT", "ConnectSpectrumToInput", c.ConnectSpectrumToInput);
  t.Int("CIRCUIT", "ConnectGeneratorToInput", c.ConnectGeneratorToInput);
  for (int i = 0; i < kNrGains; ++i) t.Gain("CIRCUIT", Indexed("Gain", i), c.Gain[i]);
  t.Int("CIRCUIT", "ConnectSlider1", c.ConnectSlider1);
  t.Int("CIRCUIT", "MixerHilbertLength", c.MixerHilbertLength);
  t.Bool("CIRCUIT", "FreqMixerEnabled", c.FreqMixerEnabled);
  t.Bool("CIRCUIT", "MixerDcReject", c.MixerDcReject);
  t.Double("CIRCUIT", "MixerFrequency", c.MixerFrequency);
  t.Int("CIRCUIT", "MixerSideband", c.MixerSideband);

  for (int i = 0; i < kNrFilterChannels; ++i) {
    const std::string sec = Indexed("FILTER", i);
    t.TextOr(sec, "CoeffFile", c.CoeffFile[i], "default.flt");
    t.TextOr(sec, "IIR2DesignFile", c.IIR2DesignFile[i], "default.flc");
    t.TextOr(sec, "FIR2DesignFile", c.FIR2DesignFile[i], "default.fir");
  }

  const char* gen = "SIGNAL_GENERATOR";
  t.Double(gen, "NoiseLevel", c.NoiseLevel);
  t.NonZeroIsOne(gen, "NoiseOn", c.NoiseOn);
  t.Double(gen, "AmModFreq", c.AmModFreq);
  t.Double(gen, "AmModFactor", c.AmModFactor);
  t.Double(gen, "AmModCarrier", c.AmModCarrier);
  t.Int(gen, "AmModWave", c.AmModWave);
  t.Double(gen, "FmModFreq", c.FmModFreq);
  t.Double(gen, "FmModDeviation", c.FmModDeviation);
  t.Int(gen, "FmModWave", c.FmModWave);
  for (int i = 0; i < kNrSineGens; ++i) {
    SineGenSettings& s = c.Sine[i];
    t.Bool(gen, Indexed("Enabled", i), s.Enabled);
    t.Bool(gen, Indexed("AmMod", i), s.AmMod);
    t.Bool(gen, Indexed("FmMod", i), s.FmMod);
    t.Int(gen, Indexed("Wave", i), s.Wave);
    t.Double(gen, Indexed("SinFreq", i), s.SinFreq);
    t.Double(gen, Indexed("SinAmpl", i), s.SinAmpl);
    // Set after the entry's fields: the generator takes the flag as "entry complete".
    t.MarkChanged(s.ParamsChanged);
  }

  t.IntOr("INTERPRETER", "MsgDisplay", c.MsgDisplay, 15);
  t.Text("INTERPRETER", "CommandFileName", c.CommandFileName);

  t.Text("EXPORT", "DefinitionFileName", c.DefinitionFileName);
  t.Double("EXPORT", "NextWriteTime", c.NextWriteTime);
}

void LoadField(const IniFile& ini, const SettingsField& d)
{
  switch (d.kind) {
    case FieldKind::Int: {
      auto& f = *static_cast<AtomicField<int>*>(d.field);
      int v = ini.ReadInteger(d.section, d.key, d.hasMissing ? d.missingInt : f.load());
      if (d.hasRange) v = std::clamp(v, d.lo, d.hi);
      f = v;
      break;
    }
    case FieldKind::NonZeroIsOne: {
      auto& f = *static_cast<AtomicField<int>*>(d.field);
      f = ini.ReadInteger(d.section, d.key, f.load()) != 0 ? 1 : 0;
      break;
    }
    case FieldKind::Bool: {
      auto& f = *static_cast<AtomicField<bool>*>(d.field);
      f = ini.ReadInteger(d.section, d.key, f.load() ? 1 : 0) != 0;
      break;
    }
    case FieldKind::Double:
    case FieldKind::Gain: {
      auto& f = *static_cast<AtomicField<double>*>(d.field);
      // A number that does not fit a double (or is no number) keeps the current value.
      const double v = StrToFloatDef(ini.ReadString(d.section, d.key, ""), f.load());
      if (std::isfinite(v)) f = v;
      break;
    }
    case FieldKind::WholeSeconds: {
      auto& f = *static_cast<AtomicField<double>*>(d.field);
      int value;
      if (TryStrToInt(ini.ReadString(d.section, d.key, ""), value)) f = static_cast<double>(value);
      break;
    }
    case FieldKind::Text: {
      char* f = static_cast<char*>(d.field);
      const std::string value = ini.ReadString(d.section, d.key, d.hasMissing ? d.missingText : f);
      SettingsCopyText(f, d.textSize, value.c_str(), d.textMax);
      break;
    }
    case FieldKind::SaveOnlyText:
      break;
    case FieldKind::MarkChanged:
      *static_cast<AtomicField<bool>*>(d.field) = true;
      break;
  }
}

// A double stored as an integer: truncated toward zero and kept within the int range, so that
// a value that does not fit (or is not a number) never makes an undefined conversion.
int WholeSecondsToInt(double v)
{
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(v);  // truncates toward zero
}

void SaveField(IniFile& ini, const SettingsField& d)
{
  switch (d.kind) {
    case FieldKind::Int:
    case FieldKind::NonZeroIsOne:
      ini.WriteInteger(d.section, d.key, *static_cast<AtomicField<int>*>(d.field));
      break;
    case FieldKind::Bool:
      ini.WriteInteger(d.section, d.key, *static_cast<AtomicField<bool>*>(d.field) ? 1 : 0);
      break;
    case FieldKind::Double:
      ini.WriteString(d.section, d.key, FloatToStr(*static_cast<AtomicField<double>*>(d.field)));
      break;
    case FieldKind::Gain:
      ini.WriteString(d.section, d.key,
                      FormatFloat("###0.####", *static_cast<AtomicField<double>*>(d.field)));
      break;
    case FieldKind::WholeSeconds:
      ini.WriteInteger(d.section, d.key,
                       WholeSecondsToInt(*static_cast<AtomicField<double>*>(d.field)));
      break;
    case FieldKind::Text:
      ini.WriteString(d.section, d.key, static_cast<const char*>(d.field));
      break;
    case FieldKind::SaveOnlyText:
      ini.WriteString(d.section, d.key, d.missingText);
      break;
    case FieldKind::MarkChanged:
      break;
  }
}

// A user-menu entry is saved only when both texts begin with a visible character: an empty
// entry, or one that begins with a blank or a control character, leaves its section in the
// file as it was. Bytes of 128 and more (UTF-8 letters) count as visible.
bool UserMenuEntryIsSaved(const UserMenuEntry& e)
{
  return static_cast<unsigned char>(e.MenuText[0]) > 32 &&
         static_cast<unsigned char>(e.ProfileName[0]) > 32;
}

std::string FullPath(const std::string& fileName)
{
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(fileName, ec);
  return ec ? fileName : p.string();
}

}  // namespace

void LoadSettingsFromIni(const std::string& fileName, int parts)
{
  // Number text is read with "." whatever the locale (platform/NumText.h), so there is no
  // process-wide decimal separator to set here.
  const IniFile ini(FullPath(fileName));
  if (ini.Refused()) {
    // Nothing is read from it and nothing is written to it (IniFile never replaces a file it
    // refused), so the user's file survives; the settings keep their values.
    const std::string text = "Settings file not read: " + ini.LoadError() +
                             ". The settings keep their values (the defaults at start-up); "
                             "the file is not written.";
    std::fprintf(stderr, "vartumo: %s\n", text.c_str());
    DebugPrintf(0, 0.0, "%s", text.c_str());
  }
  FieldTable t;
  if (parts & SETTINGS_PART_MACHINE) AddMachineFields(t);
  if (parts & SETTINGS_PART_PROCESS) AddProcessFields(t);
  for (const SettingsField& d : t.fields) LoadField(ini, d);
  if (parts & SETTINGS_PART_PROCESS) {
    // The level range enters integer pixel and colour arithmetic: an unusable pair read from
    // the file is replaced as the configuration dialog replaces it.
    double lo = SndConfig.AmplMin, hi = SndConfig.AmplMax;
    if (LimitAmplitudeRange(&lo, &hi)) {
      SndConfig.AmplMin = lo;
      SndConfig.AmplMax = hi;
    }
  }

  if (parts & SETTINGS_PART_USERMENU) {
    for (int i = 0; i < kNrUserMenuEntries; ++i) {
      UserMenuEntry& e = SndConfig.UserMenu[i];
      const std::string sec = Indexed("USER_MENU", i);
      SettingsCopyText(e.MenuText, ini.ReadString(sec, "MenuText", e.MenuText).c_str(), 32);
      SettingsCopyText(e.ProfileName, ini.ReadString(sec, "ProfileName", e.ProfileName).c_str(),
                       32);
    }
  }
  g_RedrawRequestMask = 0;
}

void SaveSettingsToIni(const std::string& fileName, int parts)
{
  IniFile ini(FullPath(fileName));
  FieldTable t;
  if (parts & SETTINGS_PART_MACHINE) AddMachineFields(t);
  if (parts & SETTINGS_PART_PROCESS) AddProcessFields(t);
  for (const SettingsField& d : t.fields) SaveField(ini, d);

  if (parts & SETTINGS_PART_USERMENU) {
    for (int i = 0; i < kNrUserMenuEntries; ++i) {
      const UserMenuEntry& e = SndConfig.UserMenu[i];
      if (!UserMenuEntryIsSaved(e)) continue;
      const std::string sec = Indexed("USER_MENU", i);
      ini.WriteString(sec, "MenuText", e.MenuText);
      ini.WriteString(sec, "ProfileName", e.ProfileName);
    }
  }
  ini.UpdateFile();  // throws EIniFileError("Unable to write to <path>") on failure
}
