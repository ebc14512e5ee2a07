#pragma once
// The main loop of the GUI thread: one 100 ms tick of Timer1 and the idle work between ticks.
// It passes the audio thread's messages to the debug sink, resumes and wakes the audio thread,
// applies edited frequency limits after the typing pause, runs the periodic and scheduled
// macros, feeds the spectrum-line producer, and gives the tool windows their refresh turns.
//
// Qt-free: the main window's Qt timers call Tick() and IdleStep(); everything the loop does to
// windows, the audio thread and the interpreter goes through IMainLoopHost, and both clocks it
// reads (the precise Unix time and the performance counter) come from the host too, so tests
// step time instead of sleeping. GUI thread only.
#include <atomic>
#include <cstdint>

#include "mainwin/SpectrumLines.h"

constexpr int kStartupTicks = 20;        // ticks that do nothing after start-up (2 s)
constexpr int LOOP_FAULT_REENTERED = 4005;

// Ticks of Timer1 since start, the re-entry flag and the measured period of the last tick.
extern std::atomic<uint32_t> g_TimerTick;
extern std::atomic<bool> g_InTimerTick;
extern std::atomic<int64_t> g_TimerPeriod_us;

// Which frequency edit a countdown belongs to.
enum class FreqEdit { Min = 0, Max = 1, Offset = 2 };

class IMainLoopHost {
public:
  virtual ~IMainLoopHost() = default;
  // ---- clocks ----
  virtual double PreciseUnixTime() = 0;         // GetPreciseUnixTime(true)
  virtual int64_t PerfCounter() = 0;            // QueryPerformanceCounter
  virtual int64_t PerfFrequency() = 0;          // ticks per second
  // ---- audio thread ----
  virtual bool ThreadExists() { return false; }
  virtual bool ThreadFinished() { return false; }
  virtual bool ThreadSuspended() { return false; }
  virtual bool OnLoopbackFallback() { return false; }  // the wanted sound device is missing
  virtual void ResumeThread() {}
  virtual void SignalBlockEvent() {}
  // ---- diagnostics and status ----
  virtual void Log(int level, double time, const char* text) { (void)level, (void)time, (void)text; }
  virtual void SetProgressText(const char* text) { (void)text; }
  virtual void ShowTimeOfDay(const char* text) { (void)text; }  // Lab_TimeNow
  virtual void ShowCaptureIndicator(const char* text) { (void)text; }  // Lab_Capture
  virtual void Beep() {}                                        // metronome
  virtual void UpdateWaveFileStatus() {}
  virtual void ShowWaterUpdateLoops(const char* text) { (void)text; }  // debug window
  // ---- interpreter (periodic and scheduled macros; messages to the command window) ----
  virtual int ExecuteMacro(const char* line) { (void)line; return 0; }   // CLI_ExecuteMacro(2, ..)
  // Macros running now (g_CliMacroDepth). Above 0 a tick runs no macro, makes no spectrum line
  // and skips the refreshes that evaluate expressions; the idle work waits too.
  virtual int MacroDepth() { return 0; }
  virtual void CommandWindowMessage(const char* text) { (void)text; }    // CmdWin_AddTimedMessage
  // ---- inter-program messages ----
  virtual void ProcessRemoteMessages() {}       // RemoteMsg_ProcessQueue
  // ---- frequency edits: apply the edit's text (UpdatingControls already raised) ----
  virtual void ApplyFreqEdit(FreqEdit which) { (void)which; }
  // ---- spectrum feed ----
  virtual bool IsAnalyzingWaveFile() { return false; }
  virtual void FlushWaveRecordBuffers() {}
  virtual void RefreshInputScope(bool evenTick) { (void)evenTick; }
  virtual void ReinitRingForThread() {}         // ring 0 fed from a wave file before
  virtual int AnalyzeWaveFileStep() { return 0; }
  virtual void StopWaveFileAnalysis() {}
  virtual void RedrawSpectrumGraph() {}
  virtual void RedrawWaterfallFromHistory() {}
  // ---- configuration changes (bit 2 of g_RedrawRequestMask, processing rate) ----
  // Bit 2 was consumed: re-apply the processing settings; true when the sample rate, the
  // divisors or the channel count changed (the loop then restarts the FFT averaging, waits for
  // full resolution again and re-evaluates the dB offset).
  virtual bool ConfigurationChanged() { return false; }
  virtual void ProcessingRateCheck() {}
  // ---- low-priority duties: output scope, marker expressions, configuration dialog
  //      refreshes (bits 16 and 32), watch window ----
  virtual void ToolWindowRefresh(uint32_t tick) { (void)tick; }
  // ---- the refreshes that run interpreter expressions (marker expressions, watch window);
  //      skipped while a macro runs ----
  virtual void ExpressionRefresh(uint32_t tick) { (void)tick; }
  // ---- siren ----
  virtual void AlertBellStep() {}               // Alert_RingBellTimer
};

class CMainLoop {
public:
  CMainLoop(IMainLoopHost* host, CSpectrumLineProducer* lines);

  // One tick of Timer1 (the steps in order; see MainLoop.cpp).
  void Tick();
  // Idle work between ticks: when lines are produced at 100 ms or faster and the audio thread
  // runs, produce the lines that are due. Returns the delay in ms after which the caller should
  // call it again (0: more work is waiting), or -1 when the condition does not hold (the next
  // tick re-arms the idle work). Never asks to be called again at once without having found work.
  int IdleStep();
  // The condition under which the idle work runs.
  bool IdleWanted();

  // A keystroke in a frequency edit: arms its countdown (about 3 s after the last keystroke).
  void ArmFreqEdit(FreqEdit which);

  // Seconds until the periodic action (0 due now, -1 none); now in whole Unix seconds.
  int IsPeriodicActionDue(int64_t now);
  // Seconds until the next scheduled action (0 due, -1 none); *index the first due entry or
  // -1; *due (may be null) has bit i set for every due entry i (several may be due at once).
  int CheckScheduledActions(int* index, int64_t now, uint32_t* due = nullptr);

  // ---- State (members of the main window in the program's terms) ----
  int UpdatingControls = 1;   // > 0 while code fills controls: the loop does nothing
  int StartupTicks = kStartupTicks;
  bool Closing = false;
  int LoopFault = 0;
  bool StatusDirty = false;
  int EventCountdown = -1;
  int FreqApplyTicks[3] = {0, 0, 0};  // Min, Max, Offset
  int64_t NextPeriodicTime = 0;
  int TimerInterval_ms = kMainTimerInterval_ms;

  // Step 13: c = seconds to the next macro event (< 1 or > 3,539: none); shows "Event in .."
  // on the button (owner 1), or marks the status for refresh when a countdown ended.
  void EventCountdownStep(int c);

private:
  void FeedSpectrum(uint32_t tick);
  void RunMacros(int64_t s);

  IMainLoopHost* m_Host;
  CSpectrumLineProducer* m_Lines;
  int64_t m_PrevCounter = 0;
  bool m_HavePrevCounter = false;
  int64_t m_PrevSecond = -1;
  int m_LastThreadState = -1;  // 0 none, 1 finished, 2 suspended, 3 running
  bool m_ConfigChangeLogged = false;
  unsigned m_SeenPeriodStarts = 0;  // PeriSced_StartCount when the due time was last set
  // CheckScheduledActions memory
  int m_LastWaterScrollTime = -1;
  bool m_SchedInit = false;
  int m_SchedLastT = 0;
  int m_SchedResult = -1;
  uint32_t m_SchedDue = 0;
};
