// The main window's wave-file commands: analysis, playback and recording through its
// TWaveFileControl (SpecMainWave.h).
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "engine/DebugU1.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/MainLoop.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/SpecMainLoop.h"
#include "mainwin/forms/SpecMainWave.h"

void TSndMainForm::CreateWaveFileControl()
{
  if (WaveFiles) return;
  WaveFiles = new TWaveFileControl(this, File1, ProgressButton, Lines.get(), &StatusOwner);
  connect(ProgressButton, &QPushButton::clicked, this, &TSndMainForm::ProgressButtonClick);
  CQtWaveFileHost& host = WaveFiles->Host;
  // A message found inside a timer tick (a recording's write error met while its buffers are
  // flushed) is shown once the tick has returned: a modal box there would run the next ticks
  // inside this one, which stops the main loop for good.
  host.OnMessage = [this](const QString& text) {
    if (g_InTimerTick)
      QTimer::singleShot(0, this, [this, text] { ShowMessage(text); });
    else
      ShowMessage(text);
  };
  // Lost buffers and recordings that ended by themselves go to the debug window's list.
  host.OnLog = [this](int level, const QString& text) {
    DebugPrintf(level, Lines->TimeNow, "%s", text.toUtf8().constData());
  };
  host.CenterFreq = [this] { return LoopHost->DisplayCenterFreq(); };
  host.LiveView = [this] { return LoopHost->IsLiveView(); };
  host.OnUpdateWaterfall = [this](int n) {
    UpdateWaterfall(n);
    ShowViewTime(Lines->CurrentSpectrum.time);
  };
  WaveFiles->IdleStatusText = [] { return SoundThreadStateText(); };
  // An off-line analysis starting or ending changes the rate the lines come at: the range
  // and the scale follow.
  host.OnShowStatus = [this] {
    WaveFiles->UpdateWaveFileStatus();
    const bool offLine = IsAnalyzingWaveFile();
    if (offLine != m_RateFromFile) {
      m_RateFromFile = offLine;
      UpdateSampleRateInfo();
      if (m_shownOnce) SetFreqRange(SndConfig.FreqMin, SndConfig.FreqMax);
    }
  };
  WaveFiles->CountdownRunning = [this] { return EventCountdown >= 0; };
  host.OnResetHistoryView = [this] {
    HistoryViewLine = -1;
    ++UpdatingControls;
    SBR_Time->setValue(0);
    --UpdatingControls;
  };
}

void TSndMainForm::ProgressButtonClick()
{
  if (StatusOwner == STATUS_ALARM) {  // "Reset Alarm": the next bell step clears the alarm
    g_AlertAcknowledged = 1;
    StatusOwner = STATUS_NONE;
    UpdateWaveFileStatus();
    return;
  }
  if (WaveFiles) WaveFiles->ProgressButtonClick();
}

QString SoundThreadStateText()
{
  CSoundThreadLink& link = SoundThreadLink();
  if (!link.ThreadExists() || link.ThreadFinished()) return "Stopped";
  if (link.ThreadSuspended()) return "Starting";
  // Until the wanted device can be opened again (the thread tries every few seconds).
  return link.OnLoopbackFallback() ? "Running on loop-back: no sound device" : "Running";
}

void TSndMainForm::AnalyzeInputFileClick() { WaveFiles->AnalyzeInputFileClick(); }
void TSndMainForm::AnalyzeAndPlayWAVClick() { WaveFiles->AnalyzeAndPlayWAVClick(); }
void TSndMainForm::LogToWavFileClick() { WaveFiles->LogToWavFileClick(); }
void TSndMainForm::LogOutputToWAVClick() { WaveFiles->LogOutputToWAVClick(); }
void TSndMainForm::Menu_LogDecimatedIQClick() { WaveFiles->Menu_LogDecimatedIQClick(); }

bool TSndMainForm::OpenWaveFileForAnalysis(const std::string& fileName)
{
  return WaveFiles->OpenWaveFileForAnalysis(fileName);
}

bool TSndMainForm::AnalyzeWaveFileStep(int maxLines) { return WaveFiles->AnalyzeWaveFileStep(maxLines); }
void TSndMainForm::StopWaveFileAnalysis() { WaveFiles->StopWaveFileAnalysis(); }
bool TSndMainForm::IsAnalyzingWaveFile() const { return WaveFiles && WaveFiles->IsAnalyzingWaveFile(); }
void TSndMainForm::ChooseWaveRecordFile(int mode) { WaveFiles->ChooseWaveRecordFile(mode); }

bool TSndMainForm::StartWaveRecording(int mode, const std::string& fileName)
{
  return WaveFiles->StartWaveRecording(mode, fileName);
}

void TSndMainForm::StopWaveRecording() { WaveFiles->StopWaveRecording(); }

bool TSndMainForm::StartWaveRecordingQuiet(int mode, const std::string& fileName,
                                           std::string* reason)
{
  return WaveFiles->StartWaveRecording(mode, fileName, reason);
}
void TSndMainForm::FlushWaveRecordBuffers() { WaveFiles->FlushWaveRecordBuffers(); }
void TSndMainForm::UpdateWaveFileStatus()
{
  if (WaveFiles) WaveFiles->UpdateWaveFileStatus();
}

// ---- The main loop's and the line producer's view of the wave files ----

bool TSndMainLoopHost::IsAnalyzingWaveFile() { return m_Form->IsAnalyzingWaveFile(); }

void TSndMainLoopHost::FlushWaveRecordBuffers()
{
  if (m_Form->WaveFiles) m_Form->WaveFiles->FlushWaveRecordBuffers();
}

int TSndMainLoopHost::AnalyzeWaveFileStep()
{
  return m_Form->WaveFiles &&
         m_Form->WaveFiles->AnalyzeWaveFileStep(CWaveAnalysis::kStepLines);
}

void TSndMainLoopHost::StopWaveFileAnalysis()
{
  if (m_Form->WaveFiles) m_Form->WaveFiles->StopWaveFileAnalysis();
}

void TSndMainLoopHost::CheckWaveInput()
{
  if (m_Form->WaveFiles) m_Form->WaveFiles->CheckWaveInput();
}
