// The main window's main loop (Timer1 and the idle work) and spectrum-line production: the
// Qt side. The loop logic is CMainLoop, line production CSpectrumLineProducer; this file wires
// them to the window, the audio thread, the interpreter and the inter-program queue.
#include "mainwin/forms/SpecMainLoop.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "control/forms/GeneratorForm.h"
#include "control/forms/ConfigDlg.h"
#include "engine/BigSampleBuffer.h"
#include "engine/DebugU1.h"
#include "engine/FreqMixer.h"
#include "engine/PreciseClock.h"
#include "engine/RedrawRequest.h"
#include "engine/RemoteMsg.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThreadLink.h"
#include "engine/TimeUtils.h"
#include "engine/forms/DebugForm.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CliSpectrum.h"
#include "interp/CmdWinMsg.h"
#include "interp/SpectrumAlert.h"
#include "interp/forms/WatchForm.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/SpecMainWave.h"
#include "platform/PerfCounter.h"

// ---------------------------------------------------------------------------------------------
// TSndMainForm: set-up, the two timers, line production and the frequency edits

void TSndMainForm::UpdateWaterfallTiming() { Lines->UpdateWaterfallTiming(); }
bool TSndMainForm::ProcessSpectra(int maxLines) { return Lines->ProcessSpectra(maxLines); }
void TSndMainForm::InitFFT(int length) { Lines->InitFFT(length); }
void TSndMainForm::BuildSpectrumLine(double time, double rate) { Lines->BuildSpectrumLine(time, rate); }
void TSndMainForm::StoreSpectrumInHistory(const SpectrumBuffer* line) { Lines->StoreSpectrumInHistory(line); }
void TSndMainForm::UpdateUserDbOffset(bool force) { Lines->UpdateUserDbOffset(force); }
void TSndMainForm::FeedSpectrumAlert() { Lines->FeedSpectrumAlert(); }
int TSndMainForm::IsPeriodicActionDue(int64_t now) { return Loop->IsPeriodicActionDue(now); }
int TSndMainForm::CheckScheduledActions(int* index, int64_t now)
{
  return Loop->CheckScheduledActions(index, now);
}

double TSndMainForm::GetDisplayCenterFreq()
{
  return (SndConfig.FreqMin + SndConfig.FreqMax) * 0.5 - SndConfig.FreqOffset;
}

namespace {

const char* const kFreqEditNames[3] = {"Ed_FreqMin", "Ed_FreqMax", "Ed_FreqOffset"};

// Aqua (0x00FFFF00 as 0x00BBGGRR) while an edit waits to be applied.
void MarkEdited(QLineEdit* ed, bool pending)
{
  if (ed) ed->setStyleSheet(pending ? "background-color: #00ffff;" : "");
}

}  // namespace

void TSndMainForm::FreqEditChanged(FreqEdit which)
{
  if (Loop->UpdatingControls > 0) return;
  Loop->ArmFreqEdit(which);
  MarkEdited(findChild<QLineEdit*>(kFreqEditNames[static_cast<int>(which)]), true);
}

void TSndMainForm::Ed_FreqMinChange() { FreqEditChanged(FreqEdit::Min); }
void TSndMainForm::Ed_FreqMaxChange() { FreqEditChanged(FreqEdit::Max); }
void TSndMainForm::Ed_FreqOffsetChange() { FreqEditChanged(FreqEdit::Offset); }

// The edited limit through the display code (expression, clamping, scale and redraw).
void TSndMainForm::ApplyFreqEdit(FreqEdit which) { ApplyFreqEdit(static_cast<int>(which)); }

// ---------------------------------------------------------------------------------------------
// TSndMainLoopHost

void TSndMainLoopHost::Log(int level, double time, const char* text)
{
  DebugPrintf(level, time, "%s", text);
}

void TSndMainLoopHost::SetProgressText(const char* text)
{
  if (m_Form->ProgressButton) m_Form->ProgressButton->setText(QString::fromLocal8Bit(text));
}

double TSndMainLoopHost::PreciseUnixTime() { return GetPreciseUnixTime(true); }
int64_t TSndMainLoopHost::PerfCounter() { return QueryPerformanceCounter(); }
int64_t TSndMainLoopHost::PerfFrequency() { return QueryPerformanceFrequency(); }

bool TSndMainLoopHost::ThreadExists() { return SoundThreadLink().ThreadExists(); }
bool TSndMainLoopHost::ThreadFinished() { return SoundThreadLink().ThreadFinished(); }
bool TSndMainLoopHost::ThreadSuspended() { return SoundThreadLink().ThreadSuspended(); }
bool TSndMainLoopHost::OnLoopbackFallback() { return SoundThreadLink().OnLoopbackFallback(); }
void TSndMainLoopHost::ResumeThread() { SoundThreadLink().ResumeThread(); }
void TSndMainLoopHost::SignalBlockEvent() { SoundThreadLink().SignalBlockEvent(); }

void TSndMainLoopHost::ShowTimeOfDay(const char* text)
{
  if (m_Form->Lab_TimeNow) m_Form->Lab_TimeNow->setText(text);
}

void TSndMainLoopHost::ShowCaptureIndicator(const char* text)
{
  if (m_Form->Lab_Capture) m_Form->Lab_Capture->setText(text);
}

void TSndMainLoopHost::Beep() { QApplication::beep(); }

void TSndMainLoopHost::UpdateWaveFileStatus()
{
  m_Form->UpdateWaveFileStatus();
}

void TSndMainLoopHost::ShowIdleStatus() { m_Form->UpdateWaveFileStatus(); }

void TSndMainLoopHost::ShowWaterUpdateLoops(const char* text)
{
  if (DebugForm && DebugForm->isVisible() && DebugForm->Lab_WaterUpdateLoops)
    DebugForm->Lab_WaterUpdateLoops->setText(text);
}

int TSndMainLoopHost::ExecuteMacro(const char* line) { return CLI_ExecuteMacro(2, line); }
int TSndMainLoopHost::MacroDepth() { return g_CliMacroDepth; }

void TSndMainLoopHost::CommandWindowMessage(const char* text)
{
  CmdWin_AddTimedMessage(5, 0, text);
}

void TSndMainLoopHost::ProcessRemoteMessages()
{
  m_Form->CopyDataCount = static_cast<int>(RemoteMsg_FrameCount());
  RemoteMsg_ProcessQueue();
}

void TSndMainLoopHost::ApplyFreqEdit(FreqEdit which) { m_Form->ApplyFreqEdit(which); }

void TSndMainLoopHost::RefreshInputScope(bool evenTick)
{
  if (evenTick && MonitorScope) MonitorScope->FeedFromSoundThread();
}

void TSndMainLoopHost::ReinitRingForThread()
{
  InitBigBufferDecimation(&g_BigBuffers[0], g_ProcessingSampleRate, SndConfig.RateDivisor,
                          m_Form->GetDisplayCenterFreq());
  g_BigBufferResetCount += 1;
  EndRecordingAtNewRate();
}

bool TSndMainLoopHost::ConfigurationChanged()
{
  const int channels = SndConfig.StereoProcessing ? 2 : 1;
  bool changed = false;
  if (SndConfig.SampleRate != m_AppliedRate || SndConfig.SampleRateDivisor != m_AppliedDivisor ||
      SndConfig.RateDivisor != m_AppliedRateDivisor || channels != m_AppliedChannels) {
    m_AppliedRate = SndConfig.SampleRate;
    m_AppliedDivisor = SndConfig.SampleRateDivisor;
    m_AppliedRateDivisor = SndConfig.RateDivisor;
    m_AppliedChannels = channels;
    DebugPrintf(5, m_Form->TimeNow, "Sample rate or decimation will be changed.");
    g_SoundReopenRequest = true;
    g_AudioServerReinitRequest = true;
    // The rates first: the mixers' tables are built for the new processing rate.
    const double rate = SoundThreadLink().CalcEffectiveSampleRates();
    RetuneFreqMixers();
    if (m_Form->IsAnalyzingWaveFile()) {
      // Ring 0 is fed from the file off-line: it keeps the file's rate and decimation.
      const CWaveAnalysis& a = m_Form->WaveFiles->Analysis;
      InitBigBufferDecimation(&g_BigBuffers[0], a.Params.SampleRate, a.Decimation,
                              m_Form->GetDisplayCenterFreq());
    } else {
      InitBigBufferDecimation(&g_BigBuffers[0], rate, SndConfig.RateDivisor,
                              m_Form->GetDisplayCenterFreq());
    }
    g_BigBufferResetCount += 1;
    changed = true;
  }
  m_Form->UpdateSampleRateInfo();
  // With the new rates and ring 0 set up: a recording at another rate ends here.
  if (changed) EndRecordingAtNewRate();
  m_SeenProcessingRate = g_ProcessingSampleRate;
  m_Form->SeenRingResets = g_BigBufferResetCount;
  // Edits, layout (when orientation or areas changed), scales, colours; the displays restart.
  m_Form->ReapplyDisplaySettings();
  if (GeneratorForm && GeneratorForm->isVisible()) GeneratorForm->SettingsToControls();
  return changed;
}

void TSndMainLoopHost::ProcessingRateCheck()
{
  if (g_ProcessingSampleRate != m_SeenProcessingRate) {
    m_Form->UpdateSampleRateInfo();
    m_SeenProcessingRate = g_ProcessingSampleRate;
    RetuneFreqMixers();  // the tables hold whole cycles at the rate they were built for
    m_AppliedRate = SndConfig.SampleRate;
    m_AppliedDivisor = SndConfig.SampleRateDivisor;
    m_AppliedRateDivisor = SndConfig.RateDivisor;
    m_AppliedChannels = SndConfig.StereoProcessing ? 2 : 1;
    EndRecordingAtNewRate();
  }
}

void TSndMainLoopHost::EndRecordingAtNewRate()
{
  if (m_Form->WaveFiles) m_Form->WaveFiles->Recorder.EndRecordingAtNewRate();
}

void TSndMainLoopHost::ToolWindowRefresh(uint32_t tick)
{
  if ((tick & 1) && OutputScope) OutputScope->FeedFromSoundThread();
  // The markers follow their expressions.
  m_Form->UpdateMarkerExpressions();
  // Requests to the configuration dialog: new rate texts (16), all controls afresh (32).
  if (g_RedrawRequestMask & 16) {
    if (ConfigDlg && ConfigDlg->isVisible()) ConfigDlg->UpdateRateInfo();
    g_RedrawRequestMask &= ~16;
  }
  if (g_RedrawRequestMask & 32) {
    if (ConfigDlg && ConfigDlg->isVisible()) ConfigDlg->SettingsToControls();
    g_RedrawRequestMask &= ~32;
  }
  // The watch list and plotter, while shown and full resolution is not awaited; never while a
  // macro runs (its expressions would run inside the macro's dialog).
  if (WatchForm && WatchForm->isVisible() && !m_Form->WaitFullResolution && MacroDepth() == 0)
    WatchForm->PeriodicUpdate();
}

void TSndMainLoopHost::AlertBellStep() { Alert_RingBellTimer(); }

void TSndMainLoopHost::ShowAvrgCount(int count)
{
  if (DebugForm && DebugForm->Lab_WaterAvrgCount)
    DebugForm->Lab_WaterAvrgCount->setText(QString("Water Avrg Count = %1").arg(count));
}

bool TSndMainLoopHost::IsLiveView()
{
  return !m_Form->SBR_Time || m_Form->SBR_Time->value() == 0;
}

double TSndMainLoopHost::DisplayCenterFreq() { return m_Form->GetDisplayCenterFreq(); }

void TSndMainLoopHost::DrawSpectrumGraph(const SpectrumBuffer* line, const SpectrumBuffer* averaged)
{
  const int style = SndConfig.SpectrumStyleNPos;
  if (SndConfig.SpectrumOn && style >= 1 && style <= 3) m_Form->ShowSpectrumGraph(line, averaged);
}

void TSndMainLoopHost::DrawWaterfall(int lines, const SpectrumBuffer* newest)
{
  // The waterfall takes its lines from the history; the newest one's time is shown.
  if (SndConfig.SpectrumStyleNPos != 3) {
    m_Form->UpdateWaterfall(lines);
    if (newest) m_Form->ShowViewTime(newest->time);
    m_Form->RefreshWaterfallReadout();  // new lines moved what lies under the mouse
  }
}

void TSndMainLoopHost::RedrawWaterfallFromHistory() { m_Form->RedrawWaterfallFromHistory(); }

void TSndMainLoopHost::RedrawSpectrumGraph() { m_Form->ShowSpectrumGraph(&g_LatestSpectrum, nullptr); }
int TSndMainLoopHost::RingResetCount() { return g_BigBufferResetCount; }
void TSndMainLoopHost::RingWasReset() { g_BigBufferResetCount += 1; }

DebugMainWindowInfo TSndMainForm::DebugInfo() const
{
  DebugMainWindowInfo info;
  info.fftCalcTime_us = static_cast<double>(g_SpectrumCalcTime_us.load());
  info.displayTime_us = static_cast<double>(g_SpectrumDisplayTime_us.load());
  info.alertTime_us = static_cast<double>(g_AlertProcessTime_us.load());
  info.copyDataCount = CopyDataCount;
  return info;
}

void TSndMainForm::ShowViewTime(double t)
{
  if (!Lab_TimeView || !std::isfinite(t)) return;
  const double day = std::fmod(std::floor(t), 86400.0);
  char text[TIME_OF_DAY_TEXT_SIZE];
  TimeOfDayToString(static_cast<int>(day < 0 ? day + 86400.0 : day), text, ':');
  Lab_TimeView->setText(text);
}
