// The wave-file entries of the File menu, driven offscreen through the dialog seams: an
// analysis started from the menu runs on timer steps and is stopped by ProgressButton; the
// recording entries write files and toggle.
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cmath>

#include "engine/forms/DialogHooks.h"
#include "common/TestUtil.h"
#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/forms/SpecMainWave.h"
#include "tests/mainwin/WaveTestUtil.h"

namespace {

struct Window {
  QMainWindow main;
  QMenu* file = main.menuBar()->addMenu("&File");
  QPushButton* progress = new QPushButton(&main);
  CSpectrumLineProducer lines{nullptr, &g_BigBuffers[0]};
  TWaveFileControl* control;
  QString chosen;
  Window() {
    SetDefaultSettings();
    SndConfig.SampleRate = 11025;
    SndConfig.NrOfSamples = 1024;
    SndConfig.WaterScrollTime = 100;
    SndConfig.WaveSaveDownsampled = 0;
    g_ProcessingSampleRate = 11025.0;
    ClearBigBuffer(&g_BigBuffers[0], 11025.0, 0.0);
    ResetWaveLogDecimator(&g_WaveLogDecimator[0]);
    lines.History.Allocate(100);
    progress->setObjectName("ProgressButton");
    control = new TWaveFileControl(&main, file, progress, &lines);
    TDialogHooks::FileDialogHook = [this](bool, const QString&, const QString&, QString& n) {
      if (chosen.isEmpty()) return false;
      n = chosen;
      return true;
    };
    TDialogHooks::DialogExecHook = [](QDialog*) { return 1; };  // properties: OK
  }
  ~Window() {
    delete control;
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
    delete g_pAnalysisWaveFile.load();
    g_pAnalysisWaveFile = nullptr;
    delete g_pRecordWaveFile;
    g_pRecordWaveFile = nullptr;
  }
  QAction* Item(const char* name) { return main.findChild<QAction*>(name); }
};

// Writes a mono 16-bit wave file at 11,025 Hz holding an 800 Hz tone for the given seconds.
void WriteToneFile(const std::string& path, double seconds) {
  ASSERT_TRUE(wave_test::WriteWave(path, 11025, 1, wave_test::Tones(11025, seconds, {800.0}, 5000.0)));
}

TEST(SpecMainWave, AnalysisFromTheMenuStoppedByTheProgressButton) {
  vt_test::TempDir dir;
  Window w;
  const std::string path = dir.file("tone.WAV");
  ASSERT_NO_FATAL_FAILURE(WriteToneFile(path, 3));
  for (const char* n : {"AnalyzeInputFile", "AnalyzeAndPlayWAV", "LogToWavFile", "LogOutputToWAV",
                        "Menu_LogDecimatedIQ"})
    ASSERT_NE(w.Item(n), nullptr) << n;
  w.chosen = QString::fromStdString(path);
  w.Item("AnalyzeInputFile")->trigger();
  ASSERT_TRUE(w.control->IsAnalyzingWaveFile());
  EXPECT_EQ(w.progress->text(), "Reading 0 kB");
  EXPECT_EQ(w.control->StatusOwner, 2);
  emit w.file->aboutToShow();
  EXPECT_EQ(w.Item("AnalyzeInputFile")->text(), "Close input \"" + w.chosen + "\"");

  EXPECT_TRUE(w.control->TimerStep());
  EXPECT_EQ(w.lines.LinesMade, 5u);
  EXPECT_EQ(w.progress->text(), QString("Reading %1 kB").arg(5 * 1103 * 2 / 1024));

  w.progress->click();
  EXPECT_FALSE(w.control->Analysis.IsFileOpen());
  EXPECT_EQ(w.progress->text(), "");
  EXPECT_EQ(w.control->StatusOwner, 0);
  emit w.file->aboutToShow();
  EXPECT_EQ(w.Item("AnalyzeInputFile")->text(), "Analyze input from *.WAV-file");

  // Run to the end: the step that finds no more data ends the analysis.
  w.Item("AnalyzeInputFile")->trigger();
  int steps = 0;
  while (w.control->TimerStep()) ++steps;
  EXPECT_EQ(steps, 6);  // 30 lines of 1,103 samples in 3 s
  EXPECT_FALSE(w.control->Analysis.IsFileOpen());
}

TEST(SpecMainWave, RecordingEntriesToggleAndWrite) {
  vt_test::TempDir dir;
  Window w;
  w.chosen = QString::fromStdString(dir.file("out.wav"));
  w.Item("LogOutputToWAV")->trigger();
  ASSERT_EQ(g_WaveLogState.load(), 2);
  EXPECT_EQ(w.Item("LogToWavFile")->text(), "Stop logging to \"" + w.chosen + "\"");
  EXPECT_EQ(w.progress->text(), "Logging 0 kB");
  emit w.file->aboutToShow();
  EXPECT_TRUE(w.Item("LogOutputToWAV")->isChecked());
  EXPECT_FALSE(w.Item("LogToWavFile")->isChecked());

  std::vector<double> block(4096, 1234.0);
  for (int i = 0; i < 4; ++i) WaveLogDecimate(&g_WaveLogDecimator[0], block.data(), 4096);
  w.control->FlushWaveRecordBuffers();
  EXPECT_EQ(w.progress->text(), "Logging 32 kB");  // 44 + 32,768 bytes

  w.Item("LogToWavFile")->trigger();  // any recording entry stops a running recording
  EXPECT_EQ(g_WaveLogState.load(), 0);
  EXPECT_EQ(w.Item("LogToWavFile")->text(), "Log input as *.WAV-file");
  EXPECT_EQ(w.progress->text(), "");
  C_WaveIO in;
  ASSERT_TRUE(in.InOpen(w.chosen.toStdString().c_str()));
  EXPECT_EQ(in.GetDataSize(), 16384 * 2);
}

// The I/Q entry is offered only with the complex FFT, and while an I/Q recording runs (to stop it).
TEST(SpecMainWave, DecimatedIqEntryOnlyWithTheComplexFft) {
  vt_test::TempDir dir;
  Window w;
  SndConfig.ComplexFFT = 0;
  emit w.file->aboutToShow();
  EXPECT_FALSE(w.Item("Menu_LogDecimatedIQ")->isEnabled());
  SndConfig.ComplexFFT = 1;
  emit w.file->aboutToShow();
  EXPECT_TRUE(w.Item("Menu_LogDecimatedIQ")->isEnabled());
  w.chosen = QString::fromStdString(dir.file("iq.wav"));
  w.Item("Menu_LogDecimatedIQ")->trigger();
  ASSERT_EQ(g_WaveLogState.load(), 3);
  SndConfig.ComplexFFT = 0;
  emit w.file->aboutToShow();
  EXPECT_TRUE(w.Item("Menu_LogDecimatedIQ")->isEnabled());
  EXPECT_TRUE(w.Item("Menu_LogDecimatedIQ")->isChecked());
  w.Item("Menu_LogDecimatedIQ")->trigger();
  EXPECT_EQ(g_WaveLogState.load(), 0);
}

// The menu's I/Q recording during the menu's off-line analysis of a 20 s file: every pair the
// analysis put into ring 0 is in the recording, although the timer's steps run far faster than
// real time and no flush of the idle handler comes in between.
TEST(SpecMainWave, IqRecordingFromTheMenuKeepsUpWithTheOffLineAnalysis) {
  vt_test::TempDir dir;
  Window w;
  SndConfig.ComplexFFT = 1;
  const std::string path = dir.file("tone.wav");
  ASSERT_NO_FATAL_FAILURE(WriteToneFile(path, 20));
  const QString iq = QString::fromStdString(dir.file("iq.wav"));
  w.chosen = iq;
  w.Item("Menu_LogDecimatedIQ")->trigger();
  ASSERT_EQ(g_WaveLogState.load(), 3);
  w.chosen = QString::fromStdString(path);
  w.Item("AnalyzeInputFile")->trigger();
  ASSERT_TRUE(w.control->IsAnalyzingWaveFile());
  uint64_t pairs = 0;
  while (w.control->TimerStep()) pairs = g_BigBuffers[0].TotalCount.load() / 2;
  EXPECT_FALSE(w.control->Analysis.IsFileOpen());
  EXPECT_EQ(pairs, 11025u * 20);  // the partial line at the end went into the ring too
  w.Item("Menu_LogDecimatedIQ")->trigger();
  ASSERT_EQ(g_WaveLogState.load(), 0);
  C_WaveIO in;
  ASSERT_TRUE(in.InOpen(iq.toStdString().c_str()));
  EXPECT_EQ(in.GetNrChannels(), 2);
  EXPECT_EQ(in.GetDataSize(), int64_t(pairs) * 4);
  SndConfig.ComplexFFT = 0;
}

}  // namespace
