// The wave-file entries in the real main window: where they sit in the File menu, and a
// recording started from the menu is stopped and finished by closing the window.
#include <QAction>
#include <QDialog>
#include <QTimer>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "engine/forms/DialogHooks.h"
#include "engine/SndConfig.h"
#include "engine/BigSampleBuffer.h"
#include "engine/RedrawRequest.h"
#include "engine/SoundThd.h"

#include "engine/C_WaveIO.h"
#include "engine/WaveLogDecimator.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/forms/SpecMainWave.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

TEST_F(MainWindowTest, WaveEntriesInTheFileMenuAndRecordingStopsAtClose)
{
  TSndMainForm* f = Make();
  ASSERT_NE(f->WaveFiles, nullptr);
  QStringList names;
  for (QAction* a : f->File1->actions())
    if (!a->isSeparator()) names << a->objectName();
  EXPECT_EQ(names, QStringList({"AnalyzeInputFile", "AnalyzeAndPlayWAV", "LogToWavFile",
                                "LogOutputToWAV", "Menu_LogDecimatedIQ", "Menu_LoadReference",
                                "Menu_SaveReference", "MM_WaveFileSettings", "Menu_ColorPalette",
                                "SaveSpectrumAsFile", "SaveWaterfallasFile",
                                "SaveSpectrumAndWaterfall", "Menu_ImageViewer",
                                "Menu_ConvertImage", "Exit1"}));

  const QString path = QString::fromStdString(dir.file("in.wav"));
  TDialogHooks::FileDialogHook = [&](bool save, const QString&, const QString&, QString& n) {
    EXPECT_TRUE(save);
    n = path;
    return true;
  };
  f->findChild<QAction*>("LogToWavFile")->trigger();
  TDialogHooks::FileDialogHook = nullptr;
  ASSERT_EQ(g_WaveLogState.load(), WAVE_LOG_INPUT);
  EXPECT_EQ(f->ProgressButton->text(), "Logging 0 kB");
  std::vector<double> block(4096, -777.0);
  for (int i = 0; i < 4; ++i) WaveLogDecimate(&g_WaveLogDecimator[0], block.data(), 4096);
  f->FlushWaveRecordBuffers();

  f->close();
  EXPECT_EQ(g_WaveLogState.load(), 0);
  C_WaveIO in;
  ASSERT_TRUE(in.InOpen(path.toStdString().c_str()));
  EXPECT_EQ(in.GetDataSize(), 2 * 16384);
  std::vector<double> back(16384);
  ASSERT_EQ(in.ReadSampleBlocks(0, 16384, back.data()), 16384);
  EXPECT_EQ(back.front(), -777.0);
  EXPECT_EQ(back.back(), -777.0);
}

TEST_F(MainWindowTest, OffLineAnalysisRunsOnTheMainTimer)
{
  TSndMainForm* f = Make();
  f->FormShow();
  SndConfig.SampleRate = 11025;
  SndConfig.NrOfSamples = 1024;
  SndConfig.WaterScrollTime = 100;
  SndConfig.ComplexFFT = 0;
  const std::string path = dir.file("two.wav");
  std::vector<int16_t> s(11025 * 2, 0);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(4000 * std::sin(0.5 * double(i)));
  WriteWaveFile(path, s);
  AnalyzeFromMenu(path);
  ASSERT_TRUE(f->IsAnalyzingWaveFile());
  EXPECT_EQ(f->StatusOwner, 2);
  EXPECT_EQ(f->ProgressButton->text(), "Reading 0 kB");

  for (int tick = 0; tick < 300 && f->WaveFiles->Analysis.IsFileOpen(); ++tick) f->Timer1Timer();
  EXPECT_FALSE(f->WaveFiles->Analysis.IsFileOpen());  // the end of the file ended it
  EXPECT_EQ(f->Lines->LinesMade, 22050u / 1103);     // 2 s in whole lines of 1,103 samples
  EXPECT_EQ(f->StatusOwner, 0);
}

// An 8 kHz file analysed off-line with the card set to 48 kHz: the range and the rate shown
// are the file's (0..4 kHz) while it is read, also across a settings change, and the card's
// again afterwards.
TEST_F(MainWindowTest, OffLineAnalysisShowsTheFilesRange)
{
  TSndMainForm* f = Make();
  f->show();
  f->Timer1->stop();
  SndConfig.SampleRate = 48000;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.RateDivisor = 1;
  SndConfig.NrOfSamples = 1024;
  SndConfig.ComplexFFT = 0;
  SndConfig.FreqOffset = 0;
  f->UpdateSampleRateInfo();
  f->SetFreqRange(0, 24000);
  EXPECT_DOUBLE_EQ(f->GetMaxDisplayableFreq(0), 24000);
  const std::string path = dir.file("eight.wav");
  {
    C_WaveIO out;
    ASSERT_TRUE(out.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 1, 8000));
    std::vector<int16_t> s(8000 * 120, 0);
    for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(4000 * std::sin(0.3 * double(i)));
    out.WriteSamples(s.data(), int(s.size() * 2));
    out.CloseFile();
  }
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& n) {
    n = QString::fromStdString(path);
    return true;
  };
  // The properties dialog comes up for every file (a RIFF header is never taken as complete);
  // it shows the file's rate and is confirmed as it stands.
  QString rateShown;
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    if (auto* e = d->findChild<QLineEdit*>("Ed_SampleRate")) rateShown = e->text();
    return 1;
  };
  f->findChild<QAction*>("AnalyzeInputFile")->trigger();
  TDialogHooks::FileDialogHook = nullptr;
  TDialogHooks::DialogExecHook = nullptr;
  EXPECT_EQ(rateShown, "8000.0");
  ASSERT_TRUE(f->IsAnalyzingWaveFile());
  EXPECT_DOUBLE_EQ(f->EffectiveSampleRate, 8000);
  EXPECT_DOUBLE_EQ(f->GetMaxDisplayableFreq(0), 4000);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 4000);
  EXPECT_EQ(f->Ed_FreqMax->text(), "4000.0");

  for (int i = 0; i < 25; ++i) f->Timer1Timer();
  g_RedrawRequestMask = g_RedrawRequestMask | 2;  // a settings change while it reads
  f->Timer1Timer();
  ASSERT_TRUE(f->IsAnalyzingWaveFile());
  EXPECT_DOUBLE_EQ(f->EffectiveSampleRate, 8000);
  EXPECT_DOUBLE_EQ(g_BigBuffers[0].InputRate, 8000);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 4000);
  // A change of the card's decimation re-initialises ring 0: still for the file.
  const int resets = g_BigBufferResetCount.load();
  SndConfig.SampleRateDivisor = 2;
  g_RedrawRequestMask = g_RedrawRequestMask | 2;
  f->Timer1Timer();
  EXPECT_GT(g_BigBufferResetCount.load(), resets);
  ASSERT_TRUE(f->IsAnalyzingWaveFile());
  EXPECT_DOUBLE_EQ(f->EffectiveSampleRate, 8000);
  EXPECT_DOUBLE_EQ(g_BigBuffers[0].InputRate, 8000);
  EXPECT_DOUBLE_EQ(f->GetMaxDisplayableFreq(0), 4000);
  SndConfig.SampleRateDivisor = 1;

  f->StopWaveFileAnalysis();
  f->WaveFiles->Host.ShowStatus();
  EXPECT_DOUBLE_EQ(f->EffectiveSampleRate, 48000);
  EXPECT_DOUBLE_EQ(f->GetMaxDisplayableFreq(0), 24000);
}

// A window destroyed without its close handler while a file is analysed and another recorded:
// the destructor ends both through objects that still exist (the sanitizer would see any that
// do not), and the recording holds every sample taken.
TEST_F(MainWindowTest, DestroyedUnclosedWithFilesOpen)
{
  TSndMainForm* f = Make();
  f->FormShow();
  f->Timer1->stop();
  SndConfig.SampleRate = 11025;
  SndConfig.NrOfSamples = 1024;
  SndConfig.WaterScrollTime = 100;
  SndConfig.ComplexFFT = 0;
  SndConfig.WaveSaveDownsampled = 0;
  const std::string in = dir.file("in.wav");
  std::vector<int16_t> s(11025 * 3);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(4000 * std::sin(0.5 * double(i)));
  WriteWaveFile(in, s);
  AnalyzeFromMenu(in);
  for (int i = 0; i < 25; ++i) f->Timer1Timer();
  ASSERT_TRUE(f->WaveFiles->Analysis.IsFileOpen());

  const std::string out = dir.file("out.wav");
  ASSERT_TRUE(f->StartWaveRecording(WAVE_LOG_INPUT, out));
  std::vector<double> block(4096);
  for (int b = 0; b < 5; ++b) {  // 20,480 samples: one whole buffer and a part
    for (int i = 0; i < 4096; ++i) block[i] = (b * 4096 + i) % 25000 - 12500;
    WaveLogDecimate(&g_WaveLogDecimator[0], block.data(), 4096);
    f->FlushWaveRecordBuffers();
  }
  form.reset();
  EXPECT_EQ(g_WaveLogState.load(), 0);
  EXPECT_FALSE(g_pAnalysisWaveFile && g_pAnalysisWaveFile.load()->IsOpenForRead());
  C_WaveIO back;
  ASSERT_TRUE(back.InOpen(out.c_str()));
  ASSERT_EQ(back.GetDataSize(), 2 * 5 * 4096);
  std::vector<double> got(5 * 4096);
  ASSERT_EQ(back.ReadSampleBlocks(0, 5 * 4096, got.data()), 5 * 4096);
  for (int i = 0; i < 5 * 4096; ++i) ASSERT_EQ(got[i], i % 25000 - 12500) << i;
}
