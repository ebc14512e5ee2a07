// The main loop's tick and idle work with an injected clock and a recording host.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "LinesFixture.h"
#include "common/TestUtil.h"
#include "engine/C_WaveIO.h"
#include "engine/RedrawRequest.h"
#include "engine/WaveLogDecimator.h"
#include "interp/CliCommands.h"
#include "interp/PeriodicActions.h"
#include "mainwin/MainLoop.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/WindowWords.h"
#include "WaveTestUtil.h"

using namespace vt_lines_test;

namespace {

struct LoopHost : IMainLoopHost {
  double clock = kBaseTime;          // precise Unix time
  int64_t counter = 0;               // performance counter, ns
  int64_t counterStepPerCall = 0;    // how far the counter moves each time it is read
  bool threadExists = true, threadSuspended = true, threadFinished = false;
  int resumes = 0, signals = 0, waveStatus = 0, beeps = 0, reinits = 0, toolRefreshes = 0;
  std::vector<std::pair<int, std::string>> logs;
  std::vector<std::string> progress, cmdMessages, macros;
  std::vector<double> macroTimes;
  std::vector<FreqEdit> applied;
  std::function<void()> onMacro;

  double PreciseUnixTime() override { return clock; }
  int64_t PerfCounter() override { return counter += counterStepPerCall; }
  int64_t PerfFrequency() override { return 1000000000; }
  bool ThreadExists() override { return threadExists; }
  bool ThreadFinished() override { return threadFinished; }
  bool ThreadSuspended() override { return threadSuspended; }
  void ResumeThread() override {
    ++resumes;
    threadSuspended = false;
  }
  void SignalBlockEvent() override { ++signals; }
  void Log(int level, double, const char* text) override { logs.emplace_back(level, text); }
  void SetProgressText(const char* text) override { progress.emplace_back(text); }
  void Beep() override { ++beeps; }
  void UpdateWaveFileStatus() override { ++waveStatus; }
  int ExecuteMacro(const char* line) override {
    macros.emplace_back(line);
    macroTimes.push_back(clock);
    if (onMacro) onMacro();
    return 0;
  }
  void CommandWindowMessage(const char* text) override { cmdMessages.emplace_back(text); }
  void ApplyFreqEdit(FreqEdit which) override { applied.push_back(which); }
  void ReinitRingForThread() override { ++reinits; }
  void ToolWindowRefresh(uint32_t) override { ++toolRefreshes; }
  void ExpressionRefresh(uint32_t) override { ++expressionRefreshes; }
  int MacroDepth() override { return g_CliMacroDepth; }
  void ShowCaptureIndicator(const char* text) override { indicator.emplace_back(text); }
  int expressionRefreshes = 0;
  std::vector<std::string> indicator;
};

class MainLoop : public LinesFixture {
protected:
  void SetUp() override {
    LinesFixture::SetUp();
    ResetSoundThdMessageQueue();
    ClearFirstSoundError();
    g_TimerTick = 0;
    g_InTimerTick = false;
    g_RedrawRequestMask = 0;
    Start(8000.0, false, 1024, 300);
    loop = std::make_unique<CMainLoop>(&lh, lines.get());
    loop->UpdatingControls = 0;
  }
  // n ticks, the clock advancing 100 ms before each.
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) {
      lh.clock += 0.1;
      loop->Tick();
    }
  }
  LoopHost lh;
  std::unique_ptr<CMainLoop> loop;
};

// Ticks 1..20 only count down (the 20th shows the wave-file status); from the 21st the audio
// thread is resumed and then woken on every odd tick; one thread message is passed on per tick.
TEST_F(MainLoop, FirstTwentyTicksThenResumeAndWake) {
  ASSERT_TRUE(PutSoundThdMessage("first"));
  ASSERT_TRUE(PutSoundThdMessage("second"));
  Ticks(20);
  EXPECT_EQ(lh.resumes, 0);
  EXPECT_EQ(lh.signals, 0);
  EXPECT_EQ(lh.waveStatus, 1);
  EXPECT_TRUE(lh.logs.empty());
  Ticks(1);  // 21
  EXPECT_EQ(lh.resumes, 1);
  EXPECT_EQ(lh.signals, 1);
  ASSERT_FALSE(lh.logs.empty());
  EXPECT_EQ(lh.logs[0], (std::pair<int, std::string>{20, "first"}));
  Ticks(1);  // 22: even
  EXPECT_EQ(lh.signals, 1);
  Ticks(3);  // 23, 24, 25
  EXPECT_EQ(lh.resumes, 1);
  EXPECT_EQ(lh.signals, 3);
  int thread = 0;
  for (const auto& l : lh.logs) thread += l.first == 20;
  EXPECT_EQ(thread, 2);
  // The ring was not fed by the thread yet: it was set up for it once.
  EXPECT_EQ(lh.reinits, 1);
  EXPECT_EQ(ring->FeedSource.load(), 1);
}

// "Captured #n" stays for ten seconds from the whole second of the capture, by the loop's
// clock, and is cleared by the tick once.
TEST_F(MainLoop, CaptureIndicatorClearedTenSecondsAfterTheCapture) {
  lh.clock = kBaseTime + 0.75;
  g_CaptureIndicator.Set(12, lh.clock);
  EXPECT_EQ(g_CaptureIndicator.Caption, "Captured #12");
  // Ticks of 100 ms up to kBaseTime + 9.95: still shown, nothing cleared.
  while (lh.clock + 0.1 < kBaseTime + 10.0) Ticks(1);
  EXPECT_TRUE(lh.indicator.empty());
  EXPECT_EQ(g_CaptureIndicator.Caption, "Captured #12");
  Ticks(1);
  EXPECT_EQ(lh.indicator, std::vector<std::string>{""});
  EXPECT_EQ(g_CaptureIndicator.Caption, "");
  Ticks(30);
  EXPECT_EQ(lh.indicator.size(), 1u);
}

TEST_F(MainLoop, NothingWhileUpdatingControlsOrClosing) {
  Ticks(20);
  loop->UpdatingControls = 1;
  Ticks(5);
  EXPECT_EQ(lh.resumes, 0);
  loop->UpdatingControls = 0;
  loop->Closing = true;
  Ticks(5);
  EXPECT_EQ(lh.resumes, 0);
  EXPECT_EQ(loop->IdleStep(), -1);
}

// A tick entered again from inside a macro latches 4005: from then on neither the timer nor the
// idle work does anything.
TEST_F(MainLoop, ReenteredTickLatchesTheFault) {
  SndConfig.TimerActive = 1;
  SndConfig.TimeInterval = 1.0;
  SndConfig.Time_From = 0;
  SndConfig.Time_To = 86399;
  std::strcpy(SndConfig.PeriodicAction, "x=1");
  lh.onMacro = [&] { loop->Tick(); };
  Ticks(40);
  EXPECT_EQ(loop->LoopFault, LOOP_FAULT_REENTERED);
  EXPECT_FALSE(g_InTimerTick.load());
  const size_t macros = lh.macros.size();
  const int signals = lh.signals;
  EXPECT_EQ(macros, 1u);
  SndConfig.WaterScrollTime = 50;
  Ticks(40);
  EXPECT_EQ(lh.macros.size(), macros);
  EXPECT_EQ(lh.signals, signals);
  EXPECT_EQ(loop->IdleStep(), -1);
}

// A macro started outside a tick (F2, a test button) whose word lets the timer tick (a dialog's
// message loop): the nested tick starts no macro and makes no line, and latches nothing; the
// due periodic macro and the waiting lines follow on the next tick.
CMainLoop* g_NestedLoop = nullptr;
int TickingWord(int, double*) {
  g_NestedLoop->Tick();
  return 0;
}

TEST_F(MainLoop, TickInsideAMacroRunWaitsForIt) {
  SndConfig.TimerActive = 1;
  SndConfig.TimeInterval = 1.0;
  SndConfig.Time_From = 0;
  SndConfig.Time_To = 86399;
  std::strcpy(SndConfig.PeriodicAction, "capture");
  lh.clock = now;
  Ticks(21);
  Write(3 * 8000, 1000.0, 1000.0);
  lh.clock = now;
  lh.macros.clear();
  const uint64_t linesBefore = lines->LinesMade;
  const int refreshesBefore = lh.expressionRefreshes;
  g_NestedLoop = loop.get();
  ASSERT_TRUE(CLI_RegisterObjectWord("plot", TickingWord));
  EXPECT_EQ(CLI_ExecuteMacro(2, "plot.x"), 0);
  CLI_RegisterObjectWord("plot", nullptr);
  EXPECT_TRUE(lh.macros.empty());
  EXPECT_EQ(lines->LinesMade, linesBefore);
  EXPECT_EQ(lh.expressionRefreshes, refreshesBefore);
  EXPECT_EQ(loop->LoopFault, 0);
  EXPECT_FALSE(g_InTimerTick.load());
  SndConfig.WaterScrollTime = 50;
  g_CliMacroDepth = 1;  // the idle work waits as well
  EXPECT_GT(loop->IdleStep(), 0);
  EXPECT_EQ(lines->LinesMade, linesBefore);
  g_CliMacroDepth = 0;
  SndConfig.WaterScrollTime = 300;

  loop->Tick();
  ASSERT_EQ(lh.macros.size(), 1u);
  EXPECT_EQ(lh.macros[0], "capture");
  EXPECT_GT(lines->LinesMade, linesBefore);
  EXPECT_GT(lh.expressionRefreshes, refreshesBefore);
}

// Interval 60 s started at Unix second 1,000,030: due at 1,000,080, then every 60 s.
TEST_F(MainLoop, PeriodicMacroFiresAtItsTime) {
  SndConfig.TimerActive = 1;
  SndConfig.TimeInterval = 60.0;
  SndConfig.Time_From = 0;
  SndConfig.Time_To = 86399;
  SndConfig.MsgDisplay = 16;
  std::strcpy(SndConfig.PeriodicAction, "capture");
  lh.clock = 1000030.0 - 20 * 0.1;
  Ticks(20);
  Ticks(10 * 140);  // until 1,000,170
  ASSERT_EQ(lh.macroTimes.size(), 2u);
  EXPECT_NEAR(lh.macroTimes[0], 1000080.0, 0.1 + 1e-6);
  EXPECT_GE(lh.macroTimes[0], 1000080.0);
  EXPECT_NEAR(lh.macroTimes[1], 1000140.0, 0.1 + 1e-6);
  EXPECT_EQ(lh.macros[0], "capture");
  ASSERT_FALSE(lh.cmdMessages.empty());
  EXPECT_EQ(lh.cmdMessages[0], "Executing periodic macro \"capture\"");
}

TEST_F(MainLoop, PeriodicWindowAcrossMidnight) {
  SndConfig.TimerActive = 1;
  SndConfig.TimeInterval = 60.0;
  SndConfig.Time_From = 79200;  // 22:00
  SndConfig.Time_To = 7200;     // 02:00
  const int64_t day = 20000 * 86400LL;
  struct Case {
    int64_t t;
    bool inside;
  } cases[] = {{12 * 3600, false}, {21 * 3600 + 3599, false}, {22 * 3600, true},
               {23 * 3600 + 30, true}, {3600, true}, {7200, true}, {7201, false}};
  for (const auto& c : cases) {
    loop->NextPeriodicTime = day + c.t + 30;  // not due yet
    EXPECT_EQ(loop->IsPeriodicActionDue(day + c.t) >= 0, c.inside) << c.t;
  }
  SndConfig.TimeInterval = 0.5;
  EXPECT_EQ(loop->IsPeriodicActionDue(day), -1);
}

// A scheduled time crossed between two looks less than 31 s apart runs once; one crossed while
// the program was busy for longer does not.
TEST_F(MainLoop, ScheduledMacroRunsOnceAndNotAfterALongGap) {
  SndConfig.ScheduleActive = 1;
  for (auto& e : SndConfig.Schedule) e.Time = -1;
  const int64_t day = 20000 * 86400LL;
  SndConfig.Schedule[3].Time = 36000;  // 10:00
  std::strcpy(SndConfig.Schedule[3].ActionCmd, "say");
  int index = 0;
  EXPECT_EQ(loop->CheckScheduledActions(&index, day + 35990), -1);  // first look
  EXPECT_EQ(loop->CheckScheduledActions(&index, day + 35995), 5);   // countdown
  EXPECT_EQ(index, -1);
  EXPECT_EQ(loop->CheckScheduledActions(&index, day + 36010), 0);   // crossed 15 s later
  EXPECT_EQ(index, 3);
  EXPECT_EQ(loop->CheckScheduledActions(&index, day + 36010), -1);  // reported once
  EXPECT_EQ(index, -1);

  CMainLoop busy(&lh, lines.get());
  EXPECT_EQ(busy.CheckScheduledActions(&index, day + 35990), -1);
  EXPECT_EQ(busy.CheckScheduledActions(&index, day + 36025), -1);   // 35 s gap
  EXPECT_EQ(index, -1);

  // Through the ticks: the clock jumps over 10:00 by 40 s inside one busy tick.
  lh.clock = day + 35980.0;
  Ticks(25);
  lh.clock += 40.0;
  Ticks(20);
  EXPECT_TRUE(lh.macros.empty());
  // Next day, ticking normally through 10:00, it runs once.
  lh.clock = day + 86400 + 35980.0;
  Ticks(400);
  ASSERT_EQ(lh.macros.size(), 1u);
  EXPECT_EQ(lh.macros[0], "say");
}

// Entries due at the same time of day all run, in the order of their numbers, whatever order
// the grid lists their times in; an entry crossed in the same look (ten seconds later, after
// a busy tick) runs in that look too.
TEST_F(MainLoop, ScheduledEntriesDueTogetherAllRunInNumberOrder) {
  SndConfig.ScheduleActive = 1;
  SndConfig.MsgDisplay = 16;
  for (auto& e : SndConfig.Schedule) e.Time = -1;
  const struct {
    int entry, time;
    const char* macro;
  } entries[] = {{7, 36000, "seven"}, {2, 36000, "two"}, {11, 36000, "eleven"},
                 {0, 36010, "zero"}, {5, 36005, "five"}, {9, 36300, "later"}};
  for (const auto& e : entries) {
    SndConfig.Schedule[e.entry].Time = e.time;
    std::strcpy(SndConfig.Schedule[e.entry].ActionCmd, e.macro);
  }
  const int64_t day = 20000 * 86400LL;
  lh.clock = day + 35990.05 - 2.0;
  Ticks(20);
  Ticks(10 * 20);  // through 10:00:00 to 10:00:10, second by second
  EXPECT_EQ(lh.macros, (std::vector<std::string>{"two", "seven", "eleven", "five", "zero"}));
  ASSERT_EQ(lh.cmdMessages.size(), 5u);
  EXPECT_EQ(lh.cmdMessages[0], "Executing schedule macro \"two\"");
  EXPECT_EQ(lh.cmdMessages[2], "Executing schedule macro \"eleven\"");

  // The next day a busy tick jumps from 09:59:59 to 10:00:10 at once: every entry crossed
  // since the last look runs in that tick, by number.
  lh.macros.clear();
  lh.clock = day + 86400 + 35998.05;
  Ticks(10);
  lh.clock += 11.0;
  Ticks(5);
  EXPECT_EQ(lh.macros, (std::vector<std::string>{"zero", "two", "five", "seven", "eleven"}));

  int index = -2;
  uint32_t due = 1;
  CMainLoop fresh(&lh, lines.get());
  EXPECT_EQ(fresh.CheckScheduledActions(&index, day + 35999, &due), -1);
  EXPECT_EQ(fresh.CheckScheduledActions(&index, day + 36000, &due), 0);
  EXPECT_EQ(due, (1u << 2) | (1u << 7) | (1u << 11));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(fresh.CheckScheduledActions(&index, day + 36000, &due), -1);  // reported once
  EXPECT_EQ(due, 0u);
}

// After the program was busy past one or more due times the periodic macro runs once at once,
// and then one interval later: never once per missed interval, never twice in the second it
// lands on. A gap inside the next interval keeps the grid.
TEST_F(MainLoop, PeriodicMacroCatchesUpOnceAfterABusyGap) {
  SndConfig.TimerActive = 1;
  SndConfig.TimeInterval = 60.0;
  SndConfig.Time_From = 0;
  SndConfig.Time_To = 86399;
  std::strcpy(SndConfig.PeriodicAction, "capture");
  const struct {
    double landing;  // whole second the busy tick ends in (due times 1,000,080 + k * 60)
    double second;   // when the next run follows
  } cases[] = {
      {1000200.0, 1000260.0},  // lands exactly on a due time, one missed before it
      {1000745.0, 1000805.0},  // ten intervals missed
      {1000150.0, 1000200.0},  // only the due time 1,000,140 missed: the grid stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.landing);
    loop = std::make_unique<CMainLoop>(&lh, lines.get());
    loop->UpdatingControls = 0;
    lh.macros.clear();
    lh.macroTimes.clear();
    lh.clock = 1000030.05 - 2.0;
    Ticks(20);
    Ticks(10 * 55);  // the run at 1,000,080, then on to 1,000,085
    ASSERT_EQ(lh.macroTimes.size(), 1u);
    lh.clock = c.landing + 0.05 - 0.1;  // busy: the next tick comes at landing + 0.05
    Ticks(10 * 70);
    ASSERT_EQ(lh.macroTimes.size(), 3u);
    EXPECT_EQ(std::floor(lh.macroTimes[1]), c.landing);
    EXPECT_EQ(std::floor(lh.macroTimes[2]), c.second);
  }
}

// period.start(n) from a macro sets the next due time from the new interval, as the dialog's
// OK does: after period.start(600) a period.start(2) runs the macro within two seconds, not
// when the ten minutes are over. A start after a stop does not catch up on the stopped time.
TEST_F(MainLoop, PeriodStartSetsTheNextDueTimeAnew) {
  CLI_RegisterObjectWord("period", CLI_ExecPeriodCommand);
  SndConfig.TimerActive = 0;
  SndConfig.Time_From = 0;
  SndConfig.Time_To = 86399;
  std::strcpy(SndConfig.PeriodicAction, "capture");
  lh.clock = 1000000.05 - 2.0;
  Ticks(20);
  ASSERT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(600)"), CLI_OK);
  Ticks(10 * 5);  // due at 1,000,200
  EXPECT_TRUE(lh.macros.empty());
  ASSERT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(2)"), CLI_OK);
  const double started = lh.clock;
  Ticks(10 * 5);
  ASSERT_GE(lh.macroTimes.size(), 2u);
  EXPECT_LE(lh.macroTimes[0] - started, 2.0 + 0.1 + 1e-6);
  EXPECT_NEAR(lh.macroTimes[1] - lh.macroTimes[0], 2.0, 0.1 + 1e-6);

  // Stopped for a minute, then started with an interval of 30 s: the first run comes on the
  // new interval's grid, not at once for the time that passed while stopped.
  ASSERT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.stop"), CLI_OK);
  Ticks(10 * 60);
  lh.macroTimes.clear();
  ASSERT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(30)"), CLI_OK);
  const double restarted = lh.clock;
  Ticks(10 * 35);
  ASSERT_EQ(lh.macroTimes.size(), 1u);
  const double due = std::ceil(restarted / 30.0) * 30.0;
  EXPECT_NEAR(lh.macroTimes[0], due, 0.1 + 1e-6);
  EXPECT_GE(lh.macroTimes[0], due);
  CLI_RegisterObjectWord("period", nullptr);
}

TEST_F(MainLoop, EventCountdownTexts) {
  SndConfig.TimerActive = 1;
  SndConfig.TimeInterval = 86400.0;
  SndConfig.Time_From = 0;
  SndConfig.Time_To = 86399;
  Ticks(20);
  struct Case {
    int due;
    const char* text;  // nullptr: nothing shown
  } cases[] = {{75, "Event in 2 min"}, {59, "Event in 59 s"}, {3540, nullptr}, {3539, "Event in 59 min"}};
  for (const auto& c : cases) {
    lh.progress.clear();
    loop->EventCountdown = -1;
    loop->NextPeriodicTime = static_cast<int64_t>(lh.clock + 0.1) + c.due;
    Ticks(1);
    if (c.text) {
      ASSERT_EQ(lh.progress.size(), 1u) << c.due;
      EXPECT_EQ(lh.progress[0], c.text);
      EXPECT_EQ(lines->StatusOwner, STATUS_EVENT_COUNTDOWN);
    } else {
      EXPECT_TRUE(lh.progress.empty()) << c.due;
    }
  }
}

// An edit is applied 30 ticks after the last keystroke; a keystroke every 10 ticks holds it off.
TEST_F(MainLoop, FrequencyEditAppliedAfterTheTypingPause) {
  Ticks(20);
  loop->ArmFreqEdit(FreqEdit::Min);
  Ticks(29);
  EXPECT_TRUE(lh.applied.empty());
  Ticks(1);
  ASSERT_EQ(lh.applied.size(), 1u);
  EXPECT_EQ(lh.applied[0], FreqEdit::Min);
  for (int i = 0; i < 20; ++i) {
    loop->ArmFreqEdit(FreqEdit::Max);
    Ticks(10);
  }
  EXPECT_EQ(lh.applied.size(), 1u);
  loop->UpdatingControls = 1;  // code filling the edits does not arm them
  loop->ArmFreqEdit(FreqEdit::Offset);
  EXPECT_EQ(loop->FreqApplyTicks[2], 0);
}

// The idle work runs only at 100 ms or less with the thread running; it asks to come back at
// once only while it finds lines to make, otherwise after a pause.
TEST_F(MainLoop, IdleWorkOnlyWhenWanted) {
  Start(8000.0, false, 1024, 50);
  loop = std::make_unique<CMainLoop>(&lh, lines.get());
  loop->UpdatingControls = 0;
  lh.clock = now;
  EXPECT_EQ(loop->IdleStep(), 25);  // nothing in the ring yet
  int immediate = 0, waits = 0;
  for (int step = 0; step < 100; ++step) {
    Write(400, 1000.0, 1000.0);
    lh.clock = now;
    for (int guard = 0; guard < 10; ++guard) {
      const int r = loop->IdleStep();
      ASSERT_GE(r, 0);
      if (r > 0) {
        ++waits;
        break;
      }
      ++immediate;
    }
  }
  EXPECT_GT(lines->LinesMade, 90u);
  EXPECT_EQ(waits, 100);  // every burst ended with a pause: no busy loop
  EXPECT_GT(immediate, 80);

  SndConfig.WaterScrollTime = 101;
  EXPECT_EQ(loop->IdleStep(), -1);
  SndConfig.WaterScrollTime = 100;
  lh.threadExists = false;
  EXPECT_EQ(loop->IdleStep(), -1);
  lh.threadExists = true;
  lh.threadFinished = true;
  EXPECT_EQ(loop->IdleStep(), -1);
}

// The alarm takes the progress button while it stands unacknowledged and gives it back.
TEST_F(MainLoop, AlarmOnTheProgressButton) {
  lines->WaitFullResolution = false;  // no "Acquiring samples.." on the button
  Ticks(20);
  g_AlertActive = 1;
  Ticks(2);
  EXPECT_EQ(lines->StatusOwner, STATUS_ALARM);
  ASSERT_FALSE(lh.progress.empty());
  EXPECT_EQ(lh.progress.back(), "Reset Alarm");
  g_AlertAcknowledged = 1;
  Ticks(2);
  EXPECT_EQ(lines->StatusOwner, STATUS_NONE);
  Alert_StopAlarm();
}

// Bit 2 of the redraw mask is consumed once and logged; a changed scroll time restarts the
// line clock.
TEST_F(MainLoop, ConfigurationChangeIsConsumed) {
  Ticks(25);
  g_RedrawRequestMask = 2 | 16;
  SndConfig.WaterScrollTime = 500;
  Ticks(1);
  EXPECT_EQ(g_RedrawRequestMask.load(), 16);
  int changes = 0;
  for (const auto& l : lh.logs) changes += l.second == "Configuration has been changed.";
  EXPECT_EQ(changes, 1);
  EXPECT_DOUBLE_EQ(lines->LineTime, lh.clock);
  // Further changes (every brightness click is one) are served but not logged again.
  for (int i = 0; i < 5; ++i) {
    g_RedrawRequestMask = 2;
    Ticks(1);
    EXPECT_EQ(g_RedrawRequestMask.load(), 0);
  }
  changes = 0;
  for (const auto& l : lh.logs) changes += l.second == "Configuration has been changed.";
  EXPECT_EQ(changes, 1);
}

// The tick measures its period from the counter; the low-priority duties run within the
// budget, and at least every 16th tick when the budget is always used up.
TEST_F(MainLoop, PeriodAndLowPriorityBudget) {
  Ticks(20);
  lh.counterStepPerCall = 0;
  lh.counter += 100000000;
  Ticks(1);
  lh.counter += 100000000;
  Ticks(1);
  EXPECT_EQ(g_TimerPeriod_us.load(), 100000);
  const int before = lh.toolRefreshes;
  lh.counterStepPerCall = 200000000;  // every counter read jumps 200 ms: over budget
  Ticks(32);
  EXPECT_EQ(lh.toolRefreshes - before, 2);
}

// An input or output recording goes on while a file is analysed off-line: the audio thread
// fills its buffers in real time meanwhile, and the timer writes them as it does without an
// analysis, so the file holds every sample of the ten seconds.
TEST_F(MainLoop, InputAndOutputRecordingsKeepEverySampleDuringAnOffLineAnalysis) {
  struct AnalysingHost : LoopHost {
    CWaveRecorder* recorder = nullptr;
    bool analysing = false;
    int steps = 0;
    bool IsAnalyzingWaveFile() override { return analysing; }
    int AnalyzeWaveFileStep() override { return ++steps, 1; }
    void FlushWaveRecordBuffers() override { recorder->FlushWaveRecordBuffers(); }
  };
  for (const int mode : {WAVE_LOG_INPUT, WAVE_LOG_OUTPUT}) {
    SCOPED_TRACE(mode == WAVE_LOG_INPUT ? "input" : "output");
    vt_test::TempDir dir;
    const std::string path = dir.file("rec.wav");
    SndConfig.WaveSaveDownsampled = 0;
    SndConfig.WaveSaveAntiAlias = 0;
    SndConfig.WaveFileFormat = C_WaveIO::FORMAT_RIFF;
    ResetWaveLogDecimator(&g_WaveLogDecimator[0]);
    g_WaveLogState = 0;
    wave_test::ScriptedHost fileHost;
    CWaveRecorder rec(&fileHost);
    AnalysingHost host;
    host.recorder = &rec;
    CMainLoop ml(&host, lines.get());
    ml.UpdatingControls = 0;
    ml.StartupTicks = 0;
    ASSERT_TRUE(rec.StartWaveRecording(mode, path));
    host.analysing = true;
    // 100 ticks of 100 ms, each after a block of 800 samples (8,000 Hz) from the audio thread:
    // 80,000 samples, more than twice what the two buffers of 16,384 hold.
    double block[800];
    int sent = 0;
    for (int t = 0; t < 100; ++t) {
      for (double& v : block) v = double((sent++ % 2000) - 1000);
      WaveLogDecimate(&g_WaveLogDecimator[0], block, 800);
      host.clock += 0.1;
      ml.Tick();
    }
    EXPECT_EQ(host.steps, 100);
    host.analysing = false;
    rec.StopWaveRecording();
    EXPECT_TRUE(fileHost.logs.empty()) << fileHost.logs.front();

    C_WaveIO back;
    ASSERT_TRUE(back.InOpen(path.c_str()));
    std::vector<int16_t> got(size_t(back.DataSize) / 2);
    const int frames = back.ReadRawBlocks(got.data(), back.DataSize);
    EXPECT_EQ(frames, sent);
    int wrong = 0;
    for (int i = 0; i < frames; ++i) wrong += got[size_t(i)] != (i % 2000) - 1000;
    EXPECT_EQ(wrong, 0);
    back.CloseFile();
    wave_test::CloseRecordAndAnalysisFiles();
  }
  g_WaveLogState = 0;
}

}  // namespace
