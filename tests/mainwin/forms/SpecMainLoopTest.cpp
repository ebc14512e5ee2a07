// The main window's main loop wiring: Timer1, the idle work, the spectrum history through the
// line producer, the frequency edits.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "MainWindowFixture.h"
#include "engine/BigSampleBuffer.h"
#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/DebugForm.h"
#include "interp/CliCommands.h"
#include "mainwin/MainLoop.h"
#include "mainwin/forms/SpecMain.h"

namespace {

// An audio thread that exists, suspended until resumed.
struct FakeLink : CSoundThreadLink {
  bool exists = true;
  bool suspended = true;
  int resumes = 0, wakes = 0;
  bool ThreadExists() const override { return exists; }
  bool ThreadSuspended() const override { return suspended; }
  void ResumeThread() override {
    ++resumes;
    suspended = false;
  }
  void SignalBlockEvent() override { ++wakes; }
};

class SpecMainLoop : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // The debug lines earlier tests of this process left in the backlog go nowhere.
    SetDebugSink([](const std::string&) {});
    SetDebugSink(nullptr);
    SetSoundThreadLink(&link);
    Make();
    form->FormShow();
    form->Timer1->stop();
    // The tick count is process-wide; ticks of earlier tests' timers must not decide which
    // tick is odd.
    g_TimerTick = 0;
  }
  void TearDown() override {
    form->Timer1->stop();
    form->IdleTimer->stop();
    MainWindowTest::TearDown();
  }
  FakeLink link;
};

TEST_F(SpecMainLoop, TimerIsAPreciseHundredMillisecondTimer) {
  auto* timer = form->findChild<QTimer*>("Timer1");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 100);
  EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
}

TEST_F(SpecMainLoop, ThreadResumedFromTheTwentyFirstTick) {
  form->Timer1->stop();
  for (int i = 0; i < 20; ++i) form->Timer1Timer();
  EXPECT_EQ(link.resumes, 0);
  form->Timer1Timer();
  EXPECT_EQ(link.resumes, 1);
  EXPECT_EQ(link.wakes, 1);
}

// The idle work is armed only while lines come at 100 ms or faster and the thread runs.
TEST_F(SpecMainLoop, IdleWorkArmedOnlyWhenWanted) {
  form->Timer1->stop();
  for (int i = 0; i < 21; ++i) form->Timer1Timer();
  form->IdleTimer->stop();
  SndConfig.WaterScrollTime = 300;
  form->Timer1Timer();
  EXPECT_FALSE(form->IdleTimer->isActive());
  SndConfig.WaterScrollTime = 50;
  form->Timer1Timer();
  EXPECT_TRUE(form->IdleTimer->isActive());
  form->IdleTimer->stop();
  link.exists = false;
  form->Timer1Timer();
  EXPECT_FALSE(form->IdleTimer->isActive());
  form->AppIdle();
  EXPECT_FALSE(form->IdleTimer->isActive());
}

TEST_F(SpecMainLoop, HistoryComesFromTheLineProducer) {
  EXPECT_EQ(&form->History, &form->Lines->History);
  EXPECT_GE(form->History.HistoryLines, 50);
  MachineConfig.BufferedSpcLines = 10;
  form->AllocateSpectrumHistory();
  EXPECT_EQ(form->Lines->History.HistoryLines, 50);
}

// An edit typed into Ed_FreqMin is applied 30 ticks later through the interpreter.
TEST_F(SpecMainLoop, FrequencyEditAppliedAfterThirtyTicks) {
  form->Timer1->stop();
  QLineEdit* ed = form->Ed_FreqMin;
  for (int i = 0; i < 21; ++i) form->Timer1Timer();
  SndConfig.FreqMin = 0.0;
  SndConfig.FreqMax = 1200.0;
  SndConfig.FreqOffset = 0.0;
  SndConfig.ComplexFFT = 0;
  form->EffectiveSampleRate = 11025.0;
  ed->setText("100+50");
  form->Ed_FreqMinChange();
  for (int i = 0; i < 29; ++i) form->Timer1Timer();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin.load(), 0.0);
  form->Timer1Timer();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin.load(), 150.0);
  EXPECT_EQ(ed->text(), "150.0");
}

// A program started by exec that ends is collected by the next ticks: no zombie stays.
TEST_F(SpecMainLoop, ExecutedProgramLeavesNoZombie) {
  for (int i = 0; i < 21; ++i) form->Timer1Timer();  // past the start-up ticks
  std::string error;
  const int pid = CLI_StartProcess("true", &error);
  ASSERT_GT(pid, 0) << error;
  const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
  auto state = [&]() -> char {
    std::ifstream in(stat);
    std::string line;
    if (!std::getline(in, line)) return 0;  // gone: reaped
    const size_t p = line.rfind(')');
    return p != std::string::npos && p + 2 < line.size() ? line[p + 2] : '?';
  };
  // Wait (bounded) until it has ended and waits for its parent.
  for (int i = 0; i < 2000 && state() != 'Z'; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(state(), 'Z');
  form->Timer1Timer();
  EXPECT_EQ(state(), 0);
}

// Brightness and contrast clicks are configuration changes: the debug window's error list
// says so once, not once per click.
TEST_F(SpecMainLoop, ColourClicksLogTheChangeOnce) {
  TDebugForm debug;
  DebugForm = &debug;
  for (int i = 0; i < 21; ++i) form->Timer1Timer();
  for (int i = 0; i < 6; ++i) {
    form->SBR_Brightness->setValue(100 + 10 * i);
    form->SBR_Contrast->setValue(90 + 10 * i);
    form->Timer1Timer();
  }
  EXPECT_EQ(SndConfig.ColorPalBrightness.load(), 150);
  EXPECT_EQ(debug.Memo_ErrorHistory->toPlainText().count("Configuration has been changed."), 1)
      << debug.Memo_ErrorHistory->toPlainText().toStdString();
  DebugForm = nullptr;
}

// Time of day of a Unix time as the labels show it.
std::string DayTime(double t) {
  const long s = static_cast<long>(std::floor(t)) % 86400;
  char text[16];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

// The clock and the newest line's time in the main window, the line producer's timing figures
// and the averaging count in the debug window, from lines the loop makes of ring 0.
TEST_F(SpecMainLoop, ClockLineTimeAndDebugFigures) {
  TDebugForm debug;
  DebugForm = &debug;
  auto* timeNow = form->findChild<QLabel*>("Lab_TimeNow");
  auto* timeView = form->findChild<QLabel*>("Lab_TimeView");
  auto* avrg = debug.findChild<QLabel*>("Lab_WaterAvrgCount");
  ASSERT_TRUE(timeNow && timeView && avrg);
  SndConfig.SampleRate = 11025;
  SndConfig.NrOfSamples = 1024;
  SndConfig.WaterScrollTime = 100;
  SndConfig.ComplexFFT = 0;
  SndConfig.SpectrumOn = 1;
  g_SpectrumCalcTime_us = 0;
  g_SpectrumDisplayTime_us = 0;
  for (int i = 0; i < 21; ++i) form->Timer1Timer();
  form->WaitFullResolution = false;
  std::vector<double> block(1103);
  double phase = 0;
  for (int i = 0; i < 40; ++i) {
    for (double& x : block) x = 3000 * std::sin(phase += 0.4);
    BigBufferWrite(&g_BigBuffers[0], false, false, GetPreciseUnixTime(true), block.data(),
                   int(block.size()));
    form->Timer1Timer();
  }
  ASSERT_GT(form->Lines->LinesMade, 5u);
  const double now = GetPreciseUnixTime(true);
  const std::string clock = timeNow->text().toStdString();
  EXPECT_TRUE(clock == DayTime(now) || clock == DayTime(now - 1)) << clock;
  const CSpectrumHistory& h = form->History;
  const SpectrumBuffer& newest = h.SpectrumHistory[(h.HistoryIndex + h.HistoryLines - 1) % h.HistoryLines];
  EXPECT_EQ(timeView->text().toStdString(), DayTime(newest.time));

  const DebugMainWindowInfo info = form->DebugInfo();
  EXPECT_GT(info.fftCalcTime_us, 0.0);
  EXPECT_GT(info.displayTime_us, 0.0);
  form->LoopHost->ShowAvrgCount(7);
  EXPECT_EQ(avrg->text(), "Water Avrg Count = 7");

  // Scrolled back in the history: the newest line in view gives the time.
  timeView->setText("?");
  form->SBR_Time->setValue(3);
  const SpectrumBuffer& shown = h.SpectrumHistory[(h.HistoryIndex + h.HistoryLines - 4) % h.HistoryLines];
  EXPECT_EQ(timeView->text().toStdString(), DayTime(shown.time));
  DebugForm = nullptr;
}

}  // namespace
