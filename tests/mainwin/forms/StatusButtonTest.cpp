// The status button of the main window: what a click does for each state, and that the idle
// text says whether the audio thread runs after stop, restart and an off-line analysis.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "MainWindowFixture.h"
#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/DebugForm.h"
#include "engine/SoundThreadLink.h"
#include "engine/WaveLogDecimator.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/SpecMainWave.h"

namespace {

// An audio thread that can be stopped and started again.
struct ThreadLink : CSoundThreadLink {
  bool exists = true, suspended = true, fallback = false;
  bool ThreadExists() const override { return exists; }
  bool OnLoopbackFallback() const override { return fallback; }
  bool ThreadSuspended() const override { return suspended; }
  void ResumeThread() override { suspended = false; }
  void CreateThread() override { exists = suspended = true; }
  bool TerminateThread() override {
    exists = false;
    return true;
  }
};

class StatusButton : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetSoundThreadLink(&link);
    Make();
    form->FormShow();
    form->Timer1->stop();
    form->WaitFullResolution = false;  // no samples come from this thread: no "Acquiring"
    Ticks(25);  // past the start-up ticks: the thread runs
  }
  void TearDown() override {
    form->Timer1->stop();
    form->IdleTimer->stop();
    g_AlertActive = 0;
    g_AlertAcknowledged = 0;
    MainWindowTest::TearDown();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) form->Timer1Timer();
  }
  std::string Text() const { return form->ProgressButton->text().toStdString(); }
  ThreadLink link;
};

TEST_F(StatusButton, ClickByOwner) {
  TDebugForm debug;
  DebugForm = &debug;
  struct Case {
    int owner;
    bool alarm;       // alert raised and not acknowledged
    bool recording;   // a recording runs
    int ownerAfter;
    const char* textAfter;
    bool errorPage;   // the debug window shows its error page
  } cases[] = {
      {STATUS_ALARM, true, false, STATUS_NONE, "Running", false},
      {STATUS_AUDIO_ERROR, false, false, STATUS_NONE, "Running", true},
      {STATUS_RESOLUTION, false, false, STATUS_NONE, "Running", false},
      {STATUS_EVENT_COUNTDOWN, false, false, STATUS_NONE, "Running", false},  // ended
      {STATUS_RECORDING, false, true, STATUS_NONE, "Running", false},
      {STATUS_NONE, false, false, STATUS_NONE, "Running", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.owner);
    debug.hide();
    g_AlertActive = c.alarm;
    g_AlertAcknowledged = 0;
    if (c.recording) {
      ASSERT_TRUE(form->StartWaveRecording(WAVE_LOG_INPUT, dir.file("r.wav")));
      EXPECT_EQ(form->StatusOwner, STATUS_RECORDING);
    }
    form->StatusOwner = c.owner;
    form->ProgressButton->setText("before");
    form->ProgressButton->click();
    EXPECT_EQ(form->StatusOwner, c.ownerAfter);
    EXPECT_EQ(Text(), c.textAfter);
    EXPECT_EQ(g_AlertAcknowledged, c.alarm ? 1 : 0);
    EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_OFF);
    EXPECT_EQ(debug.isVisible(), c.errorPage);
    if (c.errorPage) {
      EXPECT_EQ(debug.PageControl1->currentWidget(), debug.TS_ErrorHistory);
    }
  }
  DebugForm = nullptr;
}

// A recording that meets SndConfig.MaxFileSize ends by itself: the button and the debug
// messages say why (no message box), the file stays within the limit with a valid header;
// the note stays through refreshes until the button is clicked.
TEST_F(StatusButton, RecordingEndedAtTheSizeLimitSaysSo) {
  SndConfig.MaxFileSize = 40;
  SndConfig.WaveSaveDownsampled = 0;
  SndConfig.WaveFileFormat = C_WaveIO::FORMAT_RIFF;
  const std::string path = dir.file("limit.wav");
  ASSERT_TRUE(form->StartWaveRecording(WAVE_LOG_INPUT, path));
  std::vector<std::string> debugLines;
  SetDebugSink([&](const std::string& line) { debugLines.push_back(line); });
  std::vector<double> block(4096, 1234.0);
  for (int b = 0; b < 12 && g_WaveLogState.load() != WAVE_LOG_OFF; ++b) {
    WaveLogDecimate(&g_WaveLogDecimator[0], block.data(), 4096);
    Ticks(2);  // the main timer writes the full buffers
  }
  EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_OFF);
  EXPECT_EQ(Text(), "Logging stopped: 40 kB limit");
  EXPECT_EQ(form->StatusOwner, STATUS_NONE);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  SetDebugSink(nullptr);
  const std::string said =
      "Recording to \"" + path + "\" stopped: the file reached its size limit of 40 kB.";
  EXPECT_TRUE(std::any_of(debugLines.begin(), debugLines.end(), [&](const std::string& l) {
    return l.find(said) != std::string::npos;
  })) << (debugLines.empty() ? "no debug lines" : debugLines.back());

  EXPECT_EQ(std::filesystem::file_size(path), 40u * 1024);
  C_WaveIO in;
  ASSERT_EQ(in.InOpen(path.c_str()), 1);
  EXPECT_EQ(in.GetDataSize(), 40 * 1024 - 44);
  in.CloseFile();

  Ticks(8);
  form->UpdateWaveFileStatus();
  EXPECT_EQ(Text(), "Logging stopped: 40 kB limit");
  form->ProgressButton->click();
  EXPECT_EQ(Text(), "Running");
}

// The alarm holds the button until it is reset; a refresh does not take it away.
TEST_F(StatusButton, AlarmStaysUntilReset) {
  g_AlertActive = 1;
  Ticks(2);
  EXPECT_EQ(form->StatusOwner, STATUS_ALARM);
  EXPECT_EQ(Text(), "Reset Alarm");
  form->UpdateWaveFileStatus();
  EXPECT_EQ(Text(), "Reset Alarm");
  form->ProgressButton->click();
  EXPECT_EQ(g_AlertAcknowledged, 1);
  Ticks(8);
  EXPECT_EQ(form->StatusOwner, STATUS_NONE);
  EXPECT_EQ(Text(), "Running");
}

// "Reset Alarm" acknowledges the alarm, which the next bell step clears; a click while a file
// is analysed stops the analysis and leaves a raised alarm as it is.
TEST_F(StatusButton, ResetAlarmAcknowledgesAndAnalysisClickStillStops) {
  g_AlertActive = 1;
  Ticks(2);
  ASSERT_EQ(Text(), "Reset Alarm");
  form->ProgressButton->click();
  EXPECT_EQ(g_AlertAcknowledged, 1);
  EXPECT_EQ(form->StatusOwner, STATUS_NONE);
  EXPECT_EQ(Text(), "Running");
  Ticks(2);
  EXPECT_EQ(g_AlertActive, 0);
  EXPECT_EQ(g_AlertAcknowledged, 0);
  EXPECT_EQ(Text(), "Running");

  const std::string path = dir.file("a.wav");
  WriteWaveFile(path, std::vector<int16_t>(3 * 11025, 1000));
  AnalyzeFromMenu(path);
  ASSERT_TRUE(form->IsAnalyzingWaveFile());
  g_AlertActive = 1;
  ASSERT_EQ(form->StatusOwner, STATUS_WAVE_READ);
  form->ProgressButton->click();
  EXPECT_FALSE(form->WaveFiles->Analysis.IsFileOpen());
  EXPECT_EQ(g_AlertAcknowledged, 0);
  EXPECT_EQ(g_AlertActive, 1);
}

TEST_F(StatusButton, SaysWhetherTheThreadRunsAfterStopAndRestart) {
  EXPECT_EQ(Text(), "Running");
  form->Stop1Click();
  Ticks(8);
  EXPECT_EQ(Text(), "Stopped");
  form->Menu_StartSoundThdClick();
  EXPECT_TRUE(link.exists);
  Ticks(8);
  EXPECT_FALSE(link.suspended);
  EXPECT_EQ(Text(), "Running");
}

// While the thread runs on the loop-back device in place of a missing sound device, the idle
// text says so; it goes when the device is back.
TEST_F(StatusButton, SaysWhileTheLoopbackStandsInForAMissingDevice) {
  link.fallback = true;
  Ticks(8);
  EXPECT_EQ(Text(), "Running on loop-back: no sound device");
  link.fallback = false;
  Ticks(8);
  EXPECT_EQ(Text(), "Running");
}

// The countdown text goes when the countdown ends; a growing FFT gives the button back to the
// idle text when it reaches full size (as after an off-line analysis restarts the FFT).
TEST_F(StatusButton, CountdownAndResolutionTextsEnd) {
  form->Loop->EventCountdownStep(1);
  EXPECT_EQ(Text(), "Event in 1 s");
  form->UpdateWaveFileStatus();  // a refresh while it counts keeps it
  EXPECT_EQ(Text(), "Event in 1 s");
  form->Loop->EventCountdownStep(-1);
  Ticks(8);
  EXPECT_EQ(Text(), "Running");

  SndConfig.NrOfSamples = 4096;
  form->InitFFT(2048);
  EXPECT_EQ(form->StatusOwner, STATUS_RESOLUTION);
  EXPECT_EQ(Text(), "50% Resolution");
  form->InitFFT(4096);
  EXPECT_EQ(Text(), "Running");
  EXPECT_EQ(form->StatusOwner, STATUS_NONE);
  form->UpdateWaveFileStatus();
  EXPECT_EQ(Text(), "Running");
}

// On a machine without a sound card the audio thread runs on the loop-back device from the
// start: once the start-up's FFT has its full size, the button says so (and not only after a
// recording has come and gone). A recording's text is not taken away by it.
TEST_F(StatusButton, SaysLoopbackFromTheStart) {
  SndConfig.SampleRate = 11025;
  SndConfig.NrOfSamples = 4096;
  SndConfig.WaterScrollTime = 100;
  SndConfig.ComplexFFT = 0;
  link.fallback = true;  // as the thread finds it when it opens its devices
  form->WaitFullResolution = true;
  form->FftRestart = true;
  std::vector<double> block(1103);
  double phase = 0;
  std::vector<std::string> shown;
  for (int i = 0; i < 100 && !(form->Lines->FftLength == 4096 && !form->WaitFullResolution);
       ++i) {
    for (double& x : block) x = 3000 * std::sin(phase += 0.4);
    BigBufferWrite(&g_BigBuffers[0], false, false, GetPreciseUnixTime(true), block.data(),
                   int(block.size()));
    Ticks(1);
    if (shown.empty() || shown.back() != Text()) shown.push_back(Text());
  }
  ASSERT_EQ(form->Lines->FftLength, 4096);
  ASSERT_FALSE(form->WaitFullResolution);
  std::string seen;
  for (const std::string& t : shown) seen += t + " | ";
  EXPECT_NE(seen.find("Acquiring samples.."), std::string::npos) << seen;  // it did start
  EXPECT_EQ(Text(), "Running on loop-back: no sound device") << seen;
  Ticks(10);
  EXPECT_EQ(Text(), "Running on loop-back: no sound device");

  // A recording holds the button while a restarted FFT grows again.
  ASSERT_TRUE(form->StartWaveRecording(WAVE_LOG_INPUT, dir.file("r.wav")));
  const std::string logging = Text();
  ASSERT_EQ(logging.rfind("Logging", 0), 0u) << logging;
  form->WaitFullResolution = true;
  form->InitFFT(4096);
  EXPECT_EQ(Text(), logging);
  EXPECT_EQ(form->StatusOwner, STATUS_RECORDING);
  form->StopWaveRecording();
  EXPECT_EQ(Text(), "Running on loop-back: no sound device");
}

// A whole off-line analysis on the main timer, then the card's samples again: the button ends
// neither on the file's "Reading" nor on a partial resolution.
TEST_F(StatusButton, OffLineAnalysisEndsOnATrueText) {
  SndConfig.SampleRate = 11025;
  SndConfig.NrOfSamples = 4096;
  SndConfig.WaterScrollTime = 100;
  SndConfig.ComplexFFT = 0;
  const std::string path = dir.file("a.wav");
  std::vector<int16_t> s(2 * 11025);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(3000 * std::sin(0.4 * double(i)));
  WriteWaveFile(path, s);
  AnalyzeFromMenu(path);
  ASSERT_TRUE(form->IsAnalyzingWaveFile());
  for (int i = 0; i < 400 && form->WaveFiles->Analysis.IsFileOpen(); ++i) Ticks(1);
  ASSERT_FALSE(form->WaveFiles->Analysis.IsFileOpen());

  // The audio thread feeds ring 0 again, a tenth of a second per tick.
  std::vector<double> block(1103);
  double phase = 0;
  const uint64_t fromFile = form->Lines->LinesMade;
  for (int i = 0; i < 100; ++i) {
    for (double& x : block) x = 3000 * std::sin(phase += 0.4);
    BigBufferWrite(&g_BigBuffers[0], false, false, GetPreciseUnixTime(true), block.data(),
                   int(block.size()));
    Ticks(1);
  }
  EXPECT_GT(form->Lines->LinesMade, fromFile + 10);  // the card's lines come again
  EXPECT_EQ(form->Lines->FftLength, 4096);
  EXPECT_EQ(form->StatusOwner, STATUS_NONE);
  EXPECT_EQ(Text(), "Running");
}

}  // namespace
