#pragma once
// Helpers of the wave-file analysis and recording tests: settings, test files, sox.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/C_WaveIO.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "mainwin/WaveFileHost.h"
#include "mainwin/WaveRecording.h"

namespace wave_test {

// Writes frames of interleaved 16-bit samples as a RIFF file (or raw when raw is true).
inline bool WriteWave(const std::string& path, double rate, int channels,
                      const std::vector<int16_t>& samples, bool raw = false) {
  C_WaveIO w;
  if (!w.OutOpen(path.c_str(), raw ? C_WaveIO::FORMAT_RAW : C_WaveIO::FORMAT_RIFF, 16, channels,
                 rate))
    return false;
  if (!samples.empty() && w.WriteSamples(samples.data(), int(samples.size() * 2)) < 0) return false;
  return w.CloseFile() == 1;
}

// Sum of sines, `seconds` long, mono.
inline std::vector<int16_t> Tones(double rate, double seconds, std::vector<double> freqs,
                                  double amplitude) {
  std::vector<int16_t> s(size_t(rate * seconds));
  for (size_t i = 0; i < s.size(); ++i) {
    double v = 0;
    for (double f : freqs) v += amplitude * std::sin(2 * M_PI * f * double(i) / rate);
    s[i] = int16_t(std::lround(v));
  }
  return s;
}

// Output of a shell command (stdout), trimmed.
inline std::string Run(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

inline std::string SoxInfo(const std::string& flag, const std::string& path) {
  return Run("sox --i " + flag + " '" + path + "' 2>/dev/null");
}

// Answers the questions of the analysis and records what was asked.
struct ScriptedHost : IWaveFileHost {
  std::string openAnswer, saveAnswer;  // empty: Cancel
  bool propsOk = true;
  AudioFileParams propsAnswer{};
  bool propsEdit = false;  // replace the shown values by propsAnswer
  int yesNo = WAVE_ANSWER_NO;
  double centre = 0.0;  // display centre frequency: the complex mixer's oscillator
  int propsAsked = 0, yesNoAsked = 0, opensAsked = 0, savesAsked = 0, waterfallLines = 0;
  AudioFileParams propsShown{};
  std::string lastTitle, lastQuestion;
  std::vector<std::string> messages, logs;

  bool AskOpenFileName(const char* title, std::string& name) override {
    ++opensAsked;
    lastTitle = title;
    if (openAnswer.empty()) return false;
    name = openAnswer;
    return true;
  }
  bool AskSaveFileName(const char* title, std::string& name) override {
    ++savesAsked;
    lastTitle = title;
    if (saveAnswer.empty()) return false;
    name = saveAnswer;
    return true;
  }
  bool AskAudioFileProperties(AudioFileParams& p) override {
    ++propsAsked;
    propsShown = p;
    if (propsEdit) p = propsAnswer;
    return propsOk;
  }
  int AskYesNo(const char* caption, const char* text) override {
    ++yesNoAsked;
    lastQuestion = std::string(caption) + "|" + text;
    return yesNo;
  }
  void ShowMessage(const char* text) override { messages.push_back(text); }
  void Log(int, const char* text) override { logs.push_back(text); }
  void UpdateWaterfall(int lines) override { waterfallLines += lines; }
  double DisplayCenterFreq() override { return centre; }
};

// Closes and frees the recording and the analysed wave file a test left open.
inline void CloseRecordAndAnalysisFiles() {
  if (g_pRecordWaveFile) {
    g_pRecordWaveFile->CloseFile();
    delete g_pRecordWaveFile;
    g_pRecordWaveFile = nullptr;
  }
  if (C_WaveIO* w = g_pAnalysisWaveFile.load()) {
    w->CloseFile();
    delete w;
    g_pAnalysisWaveFile = nullptr;
  }
}

inline void BaseSettings() {
  SetDefaultSettings();
  SndConfig.SampleRate = 11025;
  SndConfig.RateDivisor = 1;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.NrOfSamples = 1024;
  SndConfig.WaterScrollTime = 100;
  SndConfig.ComplexFFT = 0;
  SndConfig.LogSpectrum = 1;
  SndConfig.Average = 1;
  SndConfig.FftInputAntiAlias = 0;
  SndConfig.MsgDisplay = 0;
}

}  // namespace wave_test
