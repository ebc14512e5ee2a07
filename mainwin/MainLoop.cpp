#include "mainwin/MainLoop.h"
#include "mainwin/WindowWords.h"

#include <cmath>
#include <cstdio>

#include "engine/MiscUtils.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/TimeUtils.h"
#include "interp/CliCommands.h"
#include "interp/ExportSeam.h"
#include "interp/PeriodicActions.h"
#include "interp/SpectrumAlert.h"

std::atomic<uint32_t> g_TimerTick{0};
std::atomic<bool> g_InTimerTick{false};
std::atomic<int64_t> g_TimerPeriod_us{0};

namespace {
constexpr int kSecondsPerDay = 86400;
constexpr int kScheduleGapReset = 31;     // seconds without a look: scheduled times are skipped
constexpr int kScheduleLookAhead = 5939;  // countdowns are shown for entries this close
constexpr int kCountdownMax = 3539;       // longest countdown shown on the progress button

int64_t ModDay(int64_t s) {
  const int64_t t = s % kSecondsPerDay;
  return t < 0 ? t + kSecondsPerDay : t;
}
}  // namespace

CMainLoop::CMainLoop(IMainLoopHost* host, CSpectrumLineProducer* lines)
    : m_Host(host), m_Lines(lines), m_SeenPeriodStarts(PeriSced_StartCount()) {}

void CMainLoop::Tick() {
  const uint32_t tick = g_TimerTick.fetch_add(1) + 1;

  if (StartupTicks > 0 && !Closing) {
    if (--StartupTicks == 0) m_Host->UpdateWaveFileStatus();
    return;
  }
  if (UpdatingControls > 0 || LoopFault != 0 || Closing) return;
  if (g_InTimerTick.exchange(true)) {
    // A tick ran inside another one (a message loop inside a macro): stop the loop for good
    // rather than run the producer and the macros re-entrantly.
    LoopFault = LOOP_FAULT_REENTERED;
    return;
  }

  const int64_t freq = m_Host->PerfFrequency();
  const int64_t counter = m_Host->PerfCounter();
  if (m_HavePrevCounter && freq > 0)
    g_TimerPeriod_us = static_cast<int64_t>(static_cast<double>(counter - m_PrevCounter) * 1e6 /
                                            static_cast<double>(freq));
  m_PrevCounter = counter;
  m_HavePrevCounter = true;
  const int64_t deadline = counter + (TimerInterval_ms < 100 ? freq / 20 : freq / 10);

  m_Host->ProcessRemoteMessages();
  CLI_ReapChildren();  // programs started by exec leave no zombie behind

  char msg[SOUND_THD_MSG_LEN];
  if (GetSoundThdMessage(msg, sizeof msg)) m_Host->Log(20, m_Lines->TimeNow, msg);

  if (m_Host->ThreadExists() && (tick & 1) && tick > static_cast<uint32_t>(kStartupTicks)) {
    if (m_Host->ThreadSuspended()) m_Host->ResumeThread();
    m_Host->SignalBlockEvent();
  }
  // The idle status tells whether the audio thread runs (and whether on the loop-back device in
  // place of a missing sound device): refresh it when that changes.
  const int threadState = !m_Host->ThreadExists()      ? 0
                          : m_Host->ThreadFinished()    ? 1
                          : m_Host->ThreadSuspended()   ? 2
                          : m_Host->OnLoopbackFallback() ? 4
                                                         : 3;
  if (threadState != m_LastThreadState) {
    m_LastThreadState = threadState;
    StatusDirty = true;
  }

  if (tick & 1) {
    m_Host->AlertBellStep();
    int& owner = m_Lines->StatusOwner;
    if (owner == STATUS_NONE && g_AlertActive && !g_AlertAcknowledged) {
      owner = STATUS_ALARM;
      m_Host->SetProgressText("Reset Alarm");
    } else if (owner == STATUS_ALARM && (!g_AlertActive || g_AlertAcknowledged)) {
      owner = STATUS_NONE;
      StatusDirty = true;
    }
  }

  for (int i = 0; i < 3; ++i) {
    if (FreqApplyTicks[i] > 0 && --FreqApplyTicks[i] == 0) {
      ++UpdatingControls;
      m_Host->ApplyFreqEdit(static_cast<FreqEdit>(i));
      --UpdatingControls;
    }
  }

  const double now = m_Host->PreciseUnixTime();
  m_Lines->TimeNow = now;
  const int64_t s = static_cast<int64_t>(std::floor(now));
  if (s != m_PrevSecond) {
    m_PrevSecond = s;
    if (SndConfig.MetronomeOn) {
      m_Host->Beep();
      if (s % 10 == 0) {
        m_Host->Beep();
        m_Host->Beep();
      }
    }
    char text[TIME_OF_DAY_TEXT_SIZE];
    TimeOfDayToString(static_cast<int>(ModDay(s)), text, ':');
    m_Host->ShowTimeOfDay(text);
  }
  if (g_CaptureIndicator.Expire(now)) m_Host->ShowCaptureIndicator("");

  // A macro started outside a tick (command window, a dialog's test button, an export macro of
  // the idle work) may be waiting in a dialog of one of its words: start no other macro and make
  // no line (export macros run per line) until it has ended. Due macros run on the next tick.
  const bool macroRunning = m_Host->MacroDepth() > 0;
  if (!macroRunning) {
    RunMacros(s);
    FeedSpectrum(tick);
  }
  m_Host->RedrawWaterfallFromHistory();

  if ((g_RedrawRequestMask & 2) && UpdatingControls == 0) {
    g_RedrawRequestMask &= ~2;
    // Said once: every brightness or contrast click is a change, and the error list is no
    // place for a line per click.
    if (!m_ConfigChangeLogged) {
      m_ConfigChangeLogged = true;
      m_Host->Log(5, m_Lines->TimeNow, "Configuration has been changed.");
    }
    if (m_Host->ConfigurationChanged()) {
      m_Lines->FftRestart = true;
      m_Lines->WaitFullResolution = true;
      m_Lines->UpdateUserDbOffset(true);
    }
    const int wst = SndConfig.WaterScrollTime;
    if (wst != m_LastWaterScrollTime) {
      m_LastWaterScrollTime = wst;
      m_Lines->LineTime = m_Lines->DisplayTime = m_Lines->TimeNow;
    }
  }
  m_Host->ProcessingRateCheck();

  if (StatusDirty && !(tick & 4)) {
    m_Host->UpdateWaveFileStatus();
    StatusDirty = false;
  }

  if (m_Host->PerfCounter() < deadline || (tick & 15) == 15) {
    m_Host->ToolWindowRefresh(tick);
    if (!macroRunning) m_Host->ExpressionRefresh(tick);
    if (g_ExportDefinitionChanged && g_ExportDefinitionSaveTime + 10.0 < m_Lines->TimeNow)
      Export_SaveSettings(SndConfig.DefinitionFileName);
    char text[64];
    std::snprintf(text, sizeof text, "Water Update Loops = 10,%d", m_Lines->LinesDue);
    m_Host->ShowWaterUpdateLoops(text);
  }

  g_InTimerTick = false;
}

void CMainLoop::FeedSpectrum(uint32_t tick) {
  BigSampleBuffer* ring = m_Lines->Ring();
  const bool analysing = m_Host->IsAnalyzingWaveFile();
  if (!analysing && m_Host->ThreadExists() && !m_Host->ThreadFinished()) {
    if (ring->FeedSource.load() != 1) {
      char text[64];
      std::snprintf(text, sizeof text, "Calling InitBigBufferDecimation(%d)",
                    SndConfig.RateDivisor.load());
      m_Host->Log(5, m_Lines->TimeNow, text);
      m_Host->ReinitRingForThread();
      m_Lines->RingReadIndex = -1;
    }
    ring->FeedSource = 1;
    m_Host->FlushWaveRecordBuffers();
    m_Host->RefreshInputScope((tick & 1) == 0);
    m_Lines->UpdateWaterfallTiming();
    m_Host->FlushWaveRecordBuffers();
    char text[SOUND_THD_MSG_LEN];
    if (TakeFirstSoundError(text, sizeof text) != 0) {
      m_Host->SetProgressText(text);
      m_Lines->StatusOwner = STATUS_AUDIO_ERROR;
    }
  } else if (analysing) {
    // Off-line analysis: the main window feeds ring 0 from the file itself.
    ring->FeedSource = 2;
    if (m_Host->AnalyzeWaveFileStep() == 0)
      m_Host->StopWaveFileAnalysis();
    else
      m_Host->RedrawSpectrumGraph();
    // The audio thread goes on filling an input or output recording meanwhile.
    m_Host->FlushWaveRecordBuffers();
    StatusDirty = true;
  }
}

void CMainLoop::RunMacros(int64_t s) {
  int c = -1;
  char text[300];
  if (SndConfig.TimerActive) {
    c = IsPeriodicActionDue(s);
    if (c == 0) {
      if (SndConfig.MsgDisplay & 16) {
        std::snprintf(text, sizeof text, "Executing periodic macro \"%s\"",
                      SndConfig.PeriodicAction);
        m_Host->CommandWindowMessage(text);
      }
      m_Host->ExecuteMacro(SndConfig.PeriodicAction);
    }
  }
  if (SndConfig.ScheduleActive) {
    int index = -1;
    uint32_t due = 0;
    const int k = CheckScheduledActions(&index, s, &due);
    if (k >= 0 && (k < c || c < 0)) c = k;
    // Entries due at the same time all run, in the order of their numbers.
    for (int i = 0; k == 0 && i < kNrScheduleEntries; ++i) {
      if (!(due & (1u << i))) continue;
      if (SndConfig.MsgDisplay & 16) {
        std::snprintf(text, sizeof text, "Executing schedule macro \"%s\"",
                      SndConfig.Schedule[i].ActionCmd);
        m_Host->CommandWindowMessage(text);
      }
      m_Host->ExecuteMacro(SndConfig.Schedule[i].ActionCmd);
    }
  }
  EventCountdownStep(c);
}

void CMainLoop::EventCountdownStep(int c) {
  if (c < 1 || c > kCountdownMax) {
    if (EventCountdown >= 0) {
      EventCountdown = -1;
      StatusDirty = true;
    }
    return;
  }
  if (c == EventCountdown) return;
  EventCountdown = c;
  m_Lines->StatusOwner = STATUS_EVENT_COUNTDOWN;
  char text[40];
  if (c < 60)
    std::snprintf(text, sizeof text, "Event in %d s", c);
  else
    std::snprintf(text, sizeof text, "Event in %d min", (c + 59) / 60);
  m_Host->SetProgressText(text);
}

bool CMainLoop::IdleWanted() {
  return UpdatingControls == 0 && LoopFault == 0 && !Closing && !m_Host->IsAnalyzingWaveFile() &&
         SndConfig.WaterScrollTime <= 100 && m_Host->ThreadExists() && !m_Host->ThreadFinished();
}

int CMainLoop::IdleStep() {
  if (!IdleWanted()) return -1;
  const int wst = SndConfig.WaterScrollTime;
  // Half a line interval between looks when nothing was due: lines stay on time without
  // keeping a core busy.
  const int pause = wst / 2 < 2 ? 2 : (wst / 2 > 50 ? 50 : wst / 2);
  if (g_InTimerTick) return pause;  // inside a tick's nested message loop: not now
  if (m_Host->MacroDepth() > 0) return pause;  // lines (and their export macros) wait for it
  m_Lines->TimeNow = m_Host->PreciseUnixTime();
  const uint64_t before = m_Lines->LinesMade;
  m_Lines->UpdateWaterfallTiming();
  m_Host->FlushWaveRecordBuffers();
  return m_Lines->LinesMade > before ? 0 : pause;
}

void CMainLoop::ArmFreqEdit(FreqEdit which) {
  if (UpdatingControls > 0) return;
  const int interval = TimerInterval_ms > 0 ? TimerInterval_ms : kMainTimerInterval_ms;
  FreqApplyTicks[static_cast<int>(which)] = DelayedEditTicks(interval);
}

int CMainLoop::IsPeriodicActionDue(int64_t now) {
  // period.start was run since the last look: the interval starts anew, as after the dialog.
  if (PeriSced_StartCount() != m_SeenPeriodStarts) {
    m_SeenPeriodStarts = PeriSced_StartCount();
    NextPeriodicTime = 0;
  }
  const double interval = SndConfig.TimeInterval;
  if (!SndConfig.TimerActive || !(interval >= 1.0) || interval > 1e9) return -1;
  const int64_t whole = static_cast<int64_t>(interval);
  if (NextPeriodicTime <= 0) {
    int64_t rem = now % whole;
    if (rem < 0) rem += whole;
    NextPeriodicTime = static_cast<int64_t>(static_cast<double>(now) + interval -
                                            static_cast<double>(rem));
  }
  const double t = static_cast<double>(ModDay(now));
  const double from = SndConfig.Time_From, to = SndConfig.Time_To;
  const bool inside = from < to ? (t >= from && t <= to) : (t >= from || t <= to);
  if (!inside) return -1;
  if (now >= NextPeriodicTime) {
    NextPeriodicTime = static_cast<int64_t>(static_cast<double>(NextPeriodicTime) + interval);
    // After a long gap the next time is one interval from now; "at" counts as beyond, so an
    // action is never run twice in one second.
    if (now >= NextPeriodicTime)
      NextPeriodicTime = static_cast<int64_t>(static_cast<double>(now) + interval);
    return 0;
  }
  const int64_t left = NextPeriodicTime - now;
  return left > 1000000000 ? 1000000000 : static_cast<int>(left);
}

int CMainLoop::CheckScheduledActions(int* index, int64_t now, uint32_t* due) {
  const int t = static_cast<int>(ModDay(now));
  if (!m_SchedInit) {
    m_SchedInit = true;
    m_SchedLastT = t;
  }
  int d = t - m_SchedLastT;
  if (d < 0) d += kSecondsPerDay;
  if (d >= kScheduleGapReset) m_SchedLastT = t;
  int dummy;
  uint32_t dummyDue;
  if (!index) index = &dummy;
  if (!due) due = &dummyDue;
  *index = -1;
  *due = 0;
  if (!SndConfig.ScheduleActive) return -1;
  if (d != 0) {
    int result = -1;
    uint32_t found = 0;
    for (int i = 0; i < kNrScheduleEntries; ++i) {
      const int time = SndConfig.Schedule[i].Time;
      if (time < 0) continue;
      int a = m_SchedLastT - time, b = t - time;
      if (a < -kSecondsPerDay / 2) a += kSecondsPerDay;
      if (b < -kSecondsPerDay / 2) b += kSecondsPerDay;
      if (a < 0 && b >= 0) {
        // Every entry crossed since the last look is due, not only the last one found.
        result = 0;
        found |= 1u << i;
      } else if (a < 0 && b >= -kScheduleLookAhead && b < 0) {
        if (result < 0 || -b < result) result = -b;
      }
    }
    m_SchedLastT = t;
    m_SchedResult = result;
    m_SchedDue = found;
  } else if (m_SchedResult == 0) {
    m_SchedResult = -1;
    m_SchedDue = 0;
  }
  *due = m_SchedDue;
  for (int i = 0; i < kNrScheduleEntries; ++i)
    if (m_SchedDue & (1u << i)) {
      *index = i;
      break;
    }
  return m_SchedResult;
}
