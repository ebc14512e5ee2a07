#pragma once
// What wave-file analysis and recording need of the windows: the file dialogs, the two small
// dialogs, messages and the display. The main window implements it with Qt dialogs; tests
// answer the questions themselves. Every method has a harmless default. GUI thread only.
#include <string>

// Parameters of a file as the audio-file properties dialog shows and edits them.
struct AudioFileParams {
  double SampleRate = 11025.0;  // Hz
  int NrChannels = 1;           // 1 or 2
  int BitsPerSample = 16;       // 8 or 16
  double FreqOffset = 0.0;      // Hz
};

// Results of the yes/no question.
enum { WAVE_ANSWER_CANCEL = 0, WAVE_ANSWER_YES = 6, WAVE_ANSWER_NO = 7 };

class IWaveFileHost {
public:
  virtual ~IWaveFileHost() = default;
  // File dialogs ("Wave files" matching *.wav and *.WAV, default extension "wav"). `name` holds
  // the preset on entry and the chosen file on OK (true); Cancel returns false.
  virtual bool AskOpenFileName(const char* title, std::string& name) { (void)title, (void)name; return false; }
  virtual bool AskSaveFileName(const char* title, std::string& name) { (void)title, (void)name; return false; }
  // The audio-file properties dialog: shows p, returns true on OK with the edited values in p.
  virtual bool AskAudioFileProperties(AudioFileParams& p) { (void)p; return true; }
  // The yes/no question: WAVE_ANSWER_YES, WAVE_ANSWER_NO or WAVE_ANSWER_CANCEL (closed).
  virtual int AskYesNo(const char* caption, const char* text) { (void)caption, (void)text; return WAVE_ANSWER_CANCEL; }
  // A message box ("\r\n" and "\r" separate lines).
  virtual void ShowMessage(const char* text) { (void)text; }
  // Debug-window line at a level (20: diagnostics).
  virtual void Log(int level, const char* text) { (void)level, (void)text; }
  // Caption of the menu item LogToWavFile.
  virtual void SetLogMenuCaption(const char* text) { (void)text; }
  // Display centre frequency for the ring's mixer (Hz).
  virtual double DisplayCenterFreq() { return 0.0; }
  // Resets the history view position and puts the time scroll bar to the live position.
  virtual void ResetHistoryView() {}
  // True while the time scroll bar is at the live position.
  virtual bool IsLiveView() { return true; }
  // Draws the newest `lines` lines of the history into the waterfall.
  virtual void UpdateWaterfall(int lines) { (void)lines; }
  // Shows the status (UpdateWaveFileStatus).
  virtual void ShowStatus() {}
};
