// The filter control window with the real audio thread on the loop-back device: generator noise
// goes into the input, the output stays closed and the spectrum ring is fed after the filter,
// so ring 0 holds what the filter passes.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "control/forms/FilterControlForm.h"
#include "engine/BigSampleBuffer.h"
#include "engine/FreqMixer.h"
#include "engine/MachineConfig.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "platform/WaveAudio.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kSegment = 1024;
constexpr int kSegments = 12;

// Waits (serving the GUI events the thread's Synchronize needs) until ring 0 holds `count`
// samples written after this call. False when the thread delivers nothing for 20 s.
bool WaitForFreshSamples(uint64_t count)
{
  const uint64_t start = g_BigBuffers[0].TotalCount.load();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (g_BigBuffers[0].TotalCount.load() < start + count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Mean power (dB) of the newest ring samples in the DFT bins within +-30 Hz of f, averaged
// over Hann-windowed segments; -400 for silence.
struct Levels {
  double at(double f) const;
  std::vector<double> x;
  double rate;
};

double Levels::at(double f) const
{
  double sum = 0;
  int count = 0;
  const double binHz = rate / kSegment;
  const int lo = static_cast<int>(std::ceil((f - 30) / binHz));
  const int hi = static_cast<int>(std::floor((f + 30) / binHz));
  for (int s = 0; s < kSegments; ++s) {
    const double* seg = x.data() + s * kSegment;
    for (int k = lo; k <= hi; ++k) {
      double re = 0, im = 0;
      for (int i = 0; i < kSegment; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / kSegment);
        re += w * seg[i] * std::cos(2 * kPi * k * i / kSegment);
        im -= w * seg[i] * std::sin(2 * kPi * k * i / kSegment);
      }
      sum += re * re + im * im;
      ++count;
    }
  }
  return sum > 0 ? 10 * std::log10(sum / count) : -400;
}

Levels ReadRing()
{
  Levels l;
  l.x.assign(kSegment * kSegments, 0.0);
  {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    l.rate = g_BigBuffers[0].OutputRate;
  }
  EXPECT_GE(BigBufferRead(&g_BigBuffers[0], static_cast<int>(l.x.size()), -1, l.x.data()), 0);
  return l;
}

}  // namespace

TEST_F(MainWindowTest, BandPassOnTheAudioThreadStartBypassStop)
{
  InstallQtSyncBridge();
  InstallSoundEngineLink();
  Make();
  FilterControlForm = new TFilterControlForm;  // created after the main window, as at start
  TFilterControlForm* f = FilterControlForm;
  ASSERT_NE(g_pSoundThread, nullptr);

  MachineConfig.AudioInputDevID = waveInGetNumDevs() - 1;  // the loop-back device
  g_SoundOutputWanted = false;
  SndConfig.StartSignalGenerator = 1;
  SndConfig.NoiseOn = 1;
  SndConfig.NoiseLevel = -20.0;
  for (auto& s : SndConfig.Sine) s.Enabled = false;
  SndConfig.ConnectGeneratorToInput = 1;
  SndConfig.GeneratorChannelMask = 0;
  SndConfig.ConnectSpectrumToInput = 0;
  SndConfig.ComplexFFT = 0;
  SndConfig.Gain[0] = 1.0;
  SndConfig.StartDigitalFilter = 0;
  SndConfig.DigitalFilterBypass = 0;

  f->findChild<QLineEdit*>("Ed_IIR3_Fcenter")->setText("1000");
  f->findChild<QLineEdit*>("Ed_IIR3_Bandwidth")->setText("100");
  f->findChild<QComboBox*>("Cb_IIR3_ResponseType")->setCurrentIndex(1);  // Butterworth
  f->findChild<QPushButton*>("Btn_IIR3_CalcAndApplyOneChn")->click();
  ASSERT_EQ(g_DigiFilters[0].Cascaded, 3);
  QPushButton* startStop = f->findChild<QPushButton*>("Btn_StartStop");
  QPushButton* bypass = f->findChild<QPushButton*>("Btn_Bypass");
  startStop->click();
  EXPECT_EQ(startStop->text(), "Started");

  SoundThreadLink().ResumeThread();
  const uint64_t fresh = kSegment * kSegments + 2 * kSndThdBlockSize;
  ASSERT_TRUE(WaitForFreshSamples(fresh)) << "the audio thread delivered no samples";
  Levels filtered = ReadRing();
  ASSERT_GT(filtered.rate, 4000.0);  // 2 kHz must lie below half the ring's rate
  const double pass = filtered.at(1000), octave = filtered.at(2000);
  EXPECT_GT(pass - octave, 30.0) << "pass " << pass << " dB, octave " << octave << " dB";

  bypass->click();
  EXPECT_EQ(bypass->text(), "Bypassed");
  ASSERT_TRUE(WaitForFreshSamples(fresh));
  Levels bypassed = ReadRing();
  EXPECT_NEAR(bypassed.at(1000), bypassed.at(2000), 3.0);
  EXPECT_GT(bypassed.at(2000), octave + 20.0);

  bypass->click();     // bypass off
  startStop->click();  // stopped
  EXPECT_EQ(startStop->text(), "Stopped");
  ASSERT_TRUE(WaitForFreshSamples(fresh));
  Levels stopped = ReadRing();
  double peak = 0;
  for (double v : stopped.x) peak = std::max(peak, std::fabs(v));
  EXPECT_EQ(peak, 0.0);

  form->close();  // closes the filter window too: the default files are written
  EXPECT_FALSE(Read("default.flt").empty());
  EXPECT_FALSE(Read("default.flc").empty());
  form.reset();
  delete FilterControlForm;
  RemoveQtSyncBridge();
}

// With the input halved (divisor 2 at 11,025 Hz) the filter runs at 5,512.5 Hz: the IIR-3 band
// pass for 1,000 Hz, designed through the window, must pass the generator's 1,000 Hz tone on
// the running audio thread (within 3 dB of the bypassed level) and take 500 Hz down by 40 dB.
// Designed at the card's rate it would sit at 500 Hz instead.
TEST_F(MainWindowTest, BandPassDesignedWithInputDecimationSitsAtItsFrequency)
{
  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                          "[SOUNDCARD]\nSampleRate=11025\nSampleRateDivisor=2\n"
                          "[SOUND_THREAD]\nStartSoundInput=0\nStartSoundOutput=0\n"
                          "StartSignalGenerator=1\nStartSoundThread=1\n"
                          "[FFT_INPUT]\nRateDivisor=1\n");
  InstallQtSyncBridge();
  InstallSoundEngineLink();
  Make();
  FilterControlForm = new TFilterControlForm;
  TFilterControlForm* f = FilterControlForm;
  ASSERT_NE(g_pSoundThread, nullptr);
  ASSERT_EQ(SndConfig.SampleRateDivisor.load(), 2);
  SndConfig.NoiseOn = 0;
  for (int i = 0; i < kNrSineGens; ++i) {
    SndConfig.Sine[i].Enabled = i < 2;
    SndConfig.Sine[i].SinFreq = i == 0 ? 1000.0 : 500.0;
    SndConfig.Sine[i].SinAmpl = 0.2;
    SndConfig.Sine[i].Wave = 0;
    SndConfig.Sine[i].AmMod = false;
    SndConfig.Sine[i].FmMod = false;
    SndConfig.Sine[i].ParamsChanged = true;
  }
  SndConfig.ConnectGeneratorToInput = 1;
  SndConfig.GeneratorChannelMask = 0;
  SndConfig.ConnectSpectrumToInput = 0;
  SndConfig.ComplexFFT = 0;
  SndConfig.FreqMixerEnabled = false;
  g_FreqMixers[0].Enabled.store(false);
  SndConfig.Gain[0] = 1.0;
  SndConfig.StartDigitalFilter = 1;
  SndConfig.DigitalFilterBypass = 1;  // the reference: the tones as they enter the filter

  SoundThreadLink().ResumeThread();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (g_ProcessingSampleRate != 11025.0 / 2 && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(g_ProcessingSampleRate.load(), 11025.0 / 2);

  f->findChild<QLineEdit*>("Ed_IIR3_Fcenter")->setText("1000");
  f->findChild<QLineEdit*>("Ed_IIR3_Bandwidth")->setText("100");
  f->findChild<QComboBox*>("Cb_IIR3_ResponseType")->setCurrentIndex(1);  // Butterworth
  f->findChild<QPushButton*>("Btn_IIR3_CalcAndApplyOneChn")->click();

  const uint64_t fresh = kSegment * kSegments + 2 * kSndThdBlockSize;
  ASSERT_TRUE(WaitForFreshSamples(fresh)) << "the audio thread delivered no samples";
  const Levels in = ReadRing();
  ASSERT_DOUBLE_EQ(in.rate, 11025.0 / 2);
  ASSERT_NEAR(in.at(1000), in.at(500), 3.0);

  SndConfig.DigitalFilterBypass = 0;  // the band pass runs
  ASSERT_TRUE(WaitForFreshSamples(fresh));
  const Levels out = ReadRing();
  EXPECT_GT(out.at(1000), in.at(1000) - 3.0)
      << "1,000 Hz: " << out.at(1000) << " dB after the filter, " << in.at(1000) << " dB before";
  EXPECT_LT(out.at(500), in.at(500) - 40.0)
      << "500 Hz: " << out.at(500) << " dB after the filter, " << in.at(500) << " dB before";

  form->close();
  form.reset();
  delete FilterControlForm;
  RemoveQtSyncBridge();
}

// Divisor 2 at 11,025 Hz with the audio thread not started (nothing opened, no timer tick):
// the processing rate is 5,512.5 Hz as soon as the main window exists. The filter window
// designs for it, and a recording started before any device opening states 5,512 Hz in its
// header, not the card's 11,025 Hz.
TEST_F(MainWindowTest, ProcessingRateIsRightBeforeTheThreadOpensItsDevices)
{
  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                          "[SOUNDCARD]\nSampleRate=11025\nSampleRateDivisor=2\n"
                          "[SOUND_THREAD]\nStartSoundThread=0\n"
                          "[WAVE_SAVE]\nDownsampled=0\nWaveFileFormat=2\n"
                          "[FFT_INPUT]\nRateDivisor=1\n");
  InstallSoundEngineLink();
  Make();
  FilterControlForm = new TFilterControlForm;
  ASSERT_EQ(g_pSoundThread, nullptr);
  EXPECT_EQ(g_ProcessingSampleRate.load(), 5512.5);
  FilterControlForm->show();
  EXPECT_EQ(FilterControlForm->findChild<QLabel*>("Lab_IIR3_SampleRate")->text().toStdString(),
            "Designed for the sample rate the filter runs at: 5512.5 Hz");
  EXPECT_EQ(FilterControlForm->findChild<QLineEdit*>("Ed_FIR1Des_Fsample")->text().toStdString(),
            "5512.5");

  const std::string path = dir.file("early.wav");
  ASSERT_TRUE(form->StartWaveRecording(WAVE_LOG_INPUT, path));
  form->StopWaveRecording();
  C_WaveIO w;
  ASSERT_EQ(w.InOpen(path.c_str()), 1);
  EXPECT_EQ(w.GetSampleRate(), 5512.0);
  w.CloseFile();

  FilterControlForm->close();
  form.reset();
  delete FilterControlForm;
}

TEST_F(MainWindowTest, ViewMenuShowsTheFilterWindowAndMarksIt)
{
  Make();
  FilterControlForm = new TFilterControlForm;
  QAction* item = form->findChild<QAction*>("FilterControlWindow1");
  ASSERT_NE(item, nullptr);
  form->View1Click();
  EXPECT_FALSE(item->isChecked());
  item->trigger();
  EXPECT_TRUE(FilterControlForm->isVisible());
  form->View1Click();
  EXPECT_TRUE(item->isChecked());
  form->close();  // closes the filter window with it
  EXPECT_FALSE(FilterControlForm->isVisible());
  EXPECT_NE(Read("SETTINGS.INI").find("[FilterControlForm]"), std::string::npos);
  form.reset();
  delete FilterControlForm;
}
