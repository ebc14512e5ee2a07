// The Qt side of wave-file analysis: the questions reach the real dialogs through the seams,
// and the dialogs' answers drive the analysis.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <gtest/gtest.h>

#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "common/TestUtil.h"
#include "control/forms/AFilePrp.h"
#include "control/forms/YesNoDlg.h"
#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WaveAnalysis.h"
#include "mainwin/forms/WaveFileDialogs.h"

namespace {

struct Seams {
  ~Seams() {
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
    if (C_WaveIO* w = g_pAnalysisWaveFile.load()) {
      w->CloseFile();
      delete w;
      g_pAnalysisWaveFile = nullptr;
    }
  }
};

bool WriteStereo(const std::string& path) {
  C_WaveIO w;
  if (!w.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 2, 8000)) return false;
  std::vector<int16_t> s(2 * 8000, 100);
  w.WriteSamples(s.data(), int(s.size() * 2));
  return w.CloseFile() == 1;
}

TEST(WaveFileDialogs, FileDialogFilterAndAnswer) {
  Seams seams;
  CQtWaveFileHost host;
  QString seenFilter, seenTitle;
  bool seenSave = false;
  TDialogHooks::FileDialogHook = [&](bool save, const QString& title, const QString& filter,
                                        QString& name) {
    seenSave = save, seenTitle = title, seenFilter = filter;
    EXPECT_EQ(name, "logfile1.wav");
    name = "/tmp/chosen.WAV";
    return true;
  };
  std::string name = "logfile1.wav";
  EXPECT_TRUE(host.AskSaveFileName("Log audio input as Wave-file (11025 samples/sec)", name));
  EXPECT_EQ(name, "/tmp/chosen.WAV");
  EXPECT_TRUE(seenSave);
  EXPECT_EQ(seenTitle, "Log audio input as Wave-file (11025 samples/sec)");
  // The filter matches both spellings of the extension.
  EXPECT_TRUE(seenFilter.contains("*.wav"));
  EXPECT_TRUE(seenFilter.contains("*.WAV"));
  TDialogHooks::FileDialogHook = [](bool, const QString&, const QString&, QString&) {
    return false;
  };
  EXPECT_FALSE(host.AskOpenFileName("x", name));
  EXPECT_EQ(name, "/tmp/chosen.WAV");
}

TEST(WaveFileDialogs, PropertiesDialogShowsAndReadsBack) {
  Seams seams;
  CQtWaveFileHost host;
  TDialogHooks::DialogExecHook = [](QDialog* d) {
    auto* f = qobject_cast<TAudioFilePropFrm*>(d);
    EXPECT_NE(f, nullptr);
    if (!f) return 0;
    EXPECT_EQ(f->Ed_SampleRate->text(), "22050.5");
    EXPECT_EQ(f->Ed_NrChannels->text(), "2");
    EXPECT_EQ(f->Ed_BitsPerSample->text(), "8");
    EXPECT_EQ(f->Ed_FreqOffset->text(), "0.0");
    f->Ed_SampleRate->setText("8000");
    f->Ed_NrChannels->setText("1");
    f->Ed_BitsPerSample->setText("sixteen");  // keeps the old value
    f->Ed_FreqOffset->setText("1500.25");
    return 1;
  };
  AudioFileParams p{22050.5, 2, 8, 0.0};
  ASSERT_TRUE(host.AskAudioFileProperties(p));
  EXPECT_DOUBLE_EQ(p.SampleRate, 8000.0);
  EXPECT_EQ(p.NrChannels, 1);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_DOUBLE_EQ(p.FreqOffset, 1500.25);
  TDialogHooks::DialogExecHook = [](QDialog*) { return 2; };
  AudioFileParams q{};
  EXPECT_FALSE(host.AskAudioFileProperties(q));
}

// A stereo file asks the I/Q question in TYesNoForm; each button does what it says, and
// closing the question (Escape) leaves no analysis behind.
TEST(WaveFileDialogs, StereoFileQuestionThroughTheYesNoForm) {
  vt_test::TempDir dir;
  const std::string path = dir.file("stereo.wav");
  ASSERT_TRUE(WriteStereo(path));
  const struct {
    const char* button;  // nullptr: closed without an answer
    bool open;
    int complex;
  } cases[] = {{"BtnYes", true, 1}, {"BtnNo", true, 0}, {nullptr, false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button ? c.button : "closed");
    Seams seams;
    SetDefaultSettings();
    SndConfig.ComplexFFT = 0;
    SndConfig.SampleRate = 8000;
    CQtWaveFileHost host;
    CSpectrumLineProducer lines{nullptr, &g_BigBuffers[0]};
    lines.History.Allocate(50);
    CWaveAnalysis analysis(&host, &lines);
    TDialogHooks::FileDialogHook = [&](bool save, const QString& title, const QString&,
                                          QString& name) {
      EXPECT_FALSE(save);
      EXPECT_EQ(title, "Analyze Input from *.WAV-File");
      name = QString::fromStdString(path);
      return true;
    };
    QStringList asked;
    TDialogHooks::DialogExecHook = [&](QDialog* d) -> int {
      asked << d->objectName();
      if (qobject_cast<TAudioFilePropFrm*>(d)) return 1;
      auto* yn = qobject_cast<TYesNoForm*>(d);
      EXPECT_NE(yn, nullptr);
      if (!yn) return 0;
      EXPECT_EQ(yn->windowTitle(), "Audio file analysis..");
      EXPECT_EQ(yn->Memo->toPlainText(),
                "Set the FFT type to 'complex' because the file looks as if contains I/Q-samples ?");
      if (!c.button) return 0;
      int result = -1;
      QObject::connect(yn, &QDialog::finished, [&](int r) { result = r; });
      yn->findChild<QPushButton*>(c.button)->click();
      return result;
    };
    analysis.ChooseFileForAnalysis(false);
    EXPECT_EQ(asked, QStringList({"AudioFilePropFrm", "YesNoForm"}));
    EXPECT_EQ(analysis.IsFileOpen(), c.open);
    EXPECT_EQ(analysis.IsAnalyzingWaveFile(), c.open);
    EXPECT_EQ(SndConfig.ComplexFFT.load(), c.complex);
  }
}

}  // namespace

// The dialogs made at start-up are reused: what the user typed into the fields the caller
// does not set (date and time) is there again at the next use, and the Help button and F1
// ask the help hook for the dialog's page.
TEST(WaveFileDialogs, SharedDialogKeepsItsTextsAndShowsItsHelp) {
  Seams seams;
  TAudioFilePropFrm shared;
  AudioFilePropFrm = &shared;
  std::vector<uint32_t> contexts;
  HelpContextHandler old =
      SetHelpContextHandler([&](uint32_t id) { contexts.push_back(id); return true; });
  CQtWaveFileHost host;
  int uses = 0;
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    EXPECT_EQ(d, &shared);
    if (uses++ == 0) {
      shared.Ed_Date->setText("12-10-26");
      shared.Ed_Time->setText("18:40:00");
      shared.BitBtn3->click();
    } else {
      EXPECT_EQ(shared.Ed_Date->text(), "12-10-26");
      EXPECT_EQ(shared.Ed_Time->text(), "18:40:00");
      for (QShortcut* sc : shared.findChildren<QShortcut*>())
        if (sc->key() == QKeySequence(Qt::Key_F1)) emit sc->activated();
    }
    return 2;
  };
  AudioFileParams p{11025, 1, 16, 0};
  EXPECT_FALSE(host.AskAudioFileProperties(p));
  EXPECT_FALSE(host.AskAudioFileProperties(p));
  EXPECT_EQ(uses, 2);
  EXPECT_EQ(contexts, std::vector<uint32_t>({1400, 1400}));
  SetHelpContextHandler(old);
  AudioFilePropFrm = nullptr;
}
