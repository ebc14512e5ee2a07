#pragma once
// The Qt side of wave-file analysis and recording: the file dialogs (filters matching ".wav"
// and ".WAV"), the audio-file properties dialog and the yes/no question, through the dialog
// seams of engine/forms/DialogHooks.h that tests set to answer them. The display hooks are set by the main window.
#include <QString>
#include <functional>

#include "mainwin/WaveFileHost.h"

class QDialog;
class QWidget;

class CQtWaveFileHost : public IWaveFileHost {
public:
  explicit CQtWaveFileHost(QWidget* parent = nullptr) : m_Parent(parent) {}

  // "Wave files (*.wav *.WAV)".
  static const QString WaveFilter;

  bool AskOpenFileName(const char* title, std::string& name) override;
  bool AskSaveFileName(const char* title, std::string& name) override;
  // Fills Ed_SampleRate and Ed_FreqOffset ("0.0#"), Ed_NrChannels and Ed_BitsPerSample; on
  // OK reads them back (text that does not convert keeps the old value).
  bool AskAudioFileProperties(AudioFileParams& p) override;
  int AskYesNo(const char* caption, const char* text) override;
  void ShowMessage(const char* text) override;
  void Log(int level, const char* text) override;
  void SetLogMenuCaption(const char* text) override;
  double DisplayCenterFreq() override { return CenterFreq ? CenterFreq() : 0.0; }
  void ResetHistoryView() override { if (OnResetHistoryView) OnResetHistoryView(); }
  bool IsLiveView() override { return LiveView ? LiveView() : true; }
  void UpdateWaterfall(int lines) override { if (OnUpdateWaterfall) OnUpdateWaterfall(lines); }
  void ShowStatus() override { if (OnShowStatus) OnShowStatus(); }

  // Display hooks of the main window.
  std::function<double()> CenterFreq;
  std::function<void()> OnResetHistoryView;
  std::function<bool()> LiveView;
  std::function<void(int)> OnUpdateWaterfall;
  std::function<void()> OnShowStatus;
  std::function<void(const QString&)> OnLogMenuCaption;
  std::function<void(const QString&)> OnMessage;  // default: a message box
  std::function<void(int, const QString&)> OnLog;

private:
  bool AskFileName(bool save, const char* title, std::string& name);
  QWidget* m_Parent;
};
