#pragma once
// The main window's side of the main loop and of spectrum-line production: what CMainLoop and
// CSpectrumLineProducer ask of the windows, the audio thread, the interpreter and the
// inter-program queue, answered by TSndMainForm. GUI thread only.
#include "mainwin/MainLoop.h"
#include "mainwin/SpectrumLines.h"

class TSndMainForm;

class TSndMainLoopHost : public IMainLoopHost, public ISpectrumLineHost {
public:
  explicit TSndMainLoopHost(TSndMainForm* form) : m_Form(form) {}

  // ---- both ----
  void Log(int level, double time, const char* text) override;
  void SetProgressText(const char* text) override;

  // ---- IMainLoopHost ----
  double PreciseUnixTime() override;
  int64_t PerfCounter() override;
  int64_t PerfFrequency() override;
  bool ThreadExists() override;
  bool ThreadFinished() override;
  bool ThreadSuspended() override;
  bool OnLoopbackFallback() override;
  void ResumeThread() override;
  void SignalBlockEvent() override;
  void ShowTimeOfDay(const char* text) override;
  void ShowCaptureIndicator(const char* text) override;
  void Beep() override;
  void UpdateWaveFileStatus() override;
  void ShowWaterUpdateLoops(const char* text) override;
  int ExecuteMacro(const char* line) override;
  int MacroDepth() override;
  void CommandWindowMessage(const char* text) override;
  void ProcessRemoteMessages() override;
  void ApplyFreqEdit(FreqEdit which) override;
  void RefreshInputScope(bool evenTick) override;
  void ReinitRingForThread() override;
  bool ConfigurationChanged() override;
  void ProcessingRateCheck() override;
  // Ends a running recording whose samples now come at another rate than its header states.
  void EndRecordingAtNewRate();
  void ToolWindowRefresh(uint32_t tick) override;
  void AlertBellStep() override;
  // Wave files (defined in SpecMain_Wave.cpp).
  bool IsAnalyzingWaveFile() override;
  void FlushWaveRecordBuffers() override;
  int AnalyzeWaveFileStep() override;
  void StopWaveFileAnalysis() override;

  // ---- ISpectrumLineHost ----
  void ShowIdleStatus() override;
  void ShowAvrgCount(int count) override;
  bool IsLiveView() override;
  double DisplayCenterFreq() override;
  void DrawSpectrumGraph(const SpectrumBuffer* line, const SpectrumBuffer* averaged) override;
  void DrawWaterfall(int lines, const SpectrumBuffer* newest) override;
  void RedrawWaterfallFromHistory() override;
  void RedrawSpectrumGraph() override;
  int RingResetCount() override;
  void RingWasReset() override;
  void CheckWaveInput() override;  // SpecMain_Wave.cpp

private:
  TSndMainForm* m_Form;
  // The rates last applied (sample rate, sample-rate divisor, FFT rate divisor, channels) and
  // the processing rate last seen.
  int m_AppliedRate = -1, m_AppliedDivisor = -1, m_AppliedRateDivisor = -1, m_AppliedChannels = -1;
  double m_SeenProcessingRate = -1.0;
};
