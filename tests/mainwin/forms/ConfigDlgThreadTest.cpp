// The configuration dialog against the real audio thread on the loop-back device: Apply
// re-opens the input at the new rate, the lines follow the new rate and FFT size, and a new
// calibration of the rate in use becomes the processing rate.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "control/forms/ConfigDlg.h"
#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "interp/CliSpectrum.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "platform/WaveAudio.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

class ConfigDlgThreadTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    SetDebugSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_lines.push_back(line);
    });
  }
  void TearDown() override
  {
    if (form) form->close();  // ends the audio thread before anything it uses goes
    form.reset();
    delete ConfigDlg;
    RemoveQtSyncBridge();
    SetDebugSink(nullptr);
    MainWindowTest::TearDown();
  }
  // Runs the event loop (the main window's timers) until done() or 20 s passed.
  bool RunUntil(const std::function<bool()>& done)
  {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > 20000) return false;
      QApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  int CountLines(const std::string& text)
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const std::string& l : m_lines) n += l.find(text) != std::string::npos;
    return n;
  }
  // A full-resolution line of the given bin width whose peak is the tone's bin.
  bool ToneLine(double binWidth, double toneHz)
  {
    const SpectrumBuffer& s = g_LatestSpectrum;
    if (std::fabs(s.bin_width_hz - binWidth) > 1e-9 || s.nr_of_bins < 100) return false;
    const int peak = CLI_FindPeakBin(&s, 0, s.nr_of_bins - 1);
    return std::abs(peak - static_cast<int>(std::lround((toneHz - s.offset_hz) / binWidth))) <= 1;
  }

private:
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

TEST_F(ConfigDlgThreadTest, ApplyReopensTheInputAtTheNewRateAndSizeAndTakesTheCalibration)
{
  InstallQtSyncBridge();
  InstallSoundEngineLink();
  Make();
  ConfigDlg = new TConfigDlg;
  // One generator tone of 1,500 Hz added to the input.
  SndConfig.StartSignalGenerator = 1;
  SndConfig.ConnectGeneratorToInput = 1;
  SndConfig.NoiseOn = 0;
  for (int i = 0; i < kNrSineGens; ++i) {
    SndConfig.Sine[i].Enabled = i == 0;
    SndConfig.Sine[i].SinFreq = 1500.0;
    SndConfig.Sine[i].SinAmpl = 0.3;
    SndConfig.Sine[i].ParamsChanged = true;
  }
  SndConfig.ComplexFFT = 0;
  SndConfig.SampleRate = 11025;
  SndConfig.WaterScrollTime = 100;
  form->show();
  form->StartupTicks = 0;
  ASSERT_NE(g_pSoundThread, nullptr);
  SoundThreadLink().ResumeThread();
  ASSERT_TRUE(RunUntil([&] { return CountLines("Sound input opened, DevID=") >= 1; }))
      << "the audio thread did not open its input";

  // The dialog: the loop-back device, 22,050 Hz, FFT size 4,096.
  ConfigDlg->show();
  auto* devices = ConfigDlg->findChild<QComboBox*>("Combo_SoundInputDevice");
  const int loop = devices->findText(WAVE_LOOPBACK_NAME, Qt::MatchContains);
  ASSERT_GE(loop, 0);
  devices->setCurrentIndex(loop);
  const int devId = devices->currentText().split(' ').first().toInt();
  ConfigDlg->findChild<QComboBox*>("Combo_InputSampleRate")->setEditText("22050");
  ConfigDlg->findChild<QComboBox*>("Combo_InputFftSize")->setEditText("4096");
  const int opened = CountLines("Sound input opened, DevID=" + std::to_string(devId));
  ConfigDlg->findChild<QPushButton*>("Btn_Apply")->click();
  EXPECT_EQ(MachineConfig.AudioInputDevID, devId);
  ASSERT_TRUE(RunUntil([&] {
    return CountLines("Sound input opened, DevID=" + std::to_string(devId)) > opened;
  }));
  ASSERT_TRUE(RunUntil([&] { return ToneLine(22050.0 / 4096, 1500.0); }))
      << "bin width " << g_LatestSpectrum.bin_width_hz;
  EXPECT_EQ(g_ProcessingSampleRate, 22050.0);

  // Calibrate the ADC as the user does: 1,500 Hz shown as 1,499.25 Hz.
  ConfigDlg->findChild<QLineEdit*>("Ed_CorrectFreq")->setText("1500");
  ConfigDlg->findChild<QLineEdit*>("Ed_DisplayedFreq")->setText("1499.25");
  ConfigDlg->findChild<QPushButton*>("Btn_CalibrateADC")->click();
  const QString cell = ConfigDlg->findChild<QTableWidget*>("SG_SampleRateCalib")->item(4, 1)->text();
  EXPECT_EQ(cell, "22061.031");
  ConfigDlg->findChild<QPushButton*>("Btn_Apply")->click();
  EXPECT_DOUBLE_EQ(MachineConfig.CalibADC[3], 22061.031);
  ASSERT_TRUE(RunUntil([&] { return g_ProcessingSampleRate == 22061.031; }))
      << g_ProcessingSampleRate;
  ASSERT_TRUE(RunUntil([&] { return ToneLine(22061.031 / 4096, 1500.0); }))
      << "bin width " << g_LatestSpectrum.bin_width_hz;

  form->close();
  EXPECT_EQ(g_pSoundThread, nullptr);
}

}  // namespace
