// The main window's main loop wiring: Timer1, the idle work, the spectrum history through the
// line producer, the frequency edits.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "MainWindowFixture.h"
#include "engine/MachineConfig.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "interp/CliCommands.h"
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
    SetSoundThreadLink(&link);
    Make();
    form->FormShow();
    form->Timer1->stop();
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

}  // namespace
