// A live wave recording while the configuration is applied (the path of the configuration
// dialog's Apply, of a quick preset and of a settings profile): at another input divisor or
// nominal rate the recording ends with a message and its header states the rate of the samples
// it holds; applied without a change of rate it goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "mainwin/SoundEngineLink.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/forms/SpecMainLoop.h"
#include "mainwin/forms/SpecMainWave.h"
#include "tests/mainwin/WaveTestUtil.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

class RecordRateTest : public MainWindowTest {
protected:
  void TearDown() override
  {
    if (form) form->WaveFiles->Recorder.StopWaveRecording();
    if (form) form->close();
    form.reset();
    SndConfig.ComplexFFT = 0;
    MainWindowTest::TearDown();
  }
};

// `seconds` of a 500 Hz tone at `rate` handed on as the audio thread does: to the wave-log
// decimator for an input recording, into ring 0 (which passes its pairs on) for I/Q.
void Feed(int mode, double rate, double seconds, CWaveRecorder& rec)
{
  const int total = static_cast<int>(rate * seconds);
  double block[4096];
  for (int at = 0; at < total; at += 4096) {
    const int n = std::min(4096, total - at);
    for (int i = 0; i < n; ++i) block[i] = 9000.0 * std::sin(2 * M_PI * 500.0 * (at + i) / rate);
    rec.WriteFullBuffers();
    if (mode == WAVE_LOG_IQ)
      BigBufferWrite(&g_BigBuffers[0], true, true, 0.0, block, n);
    else if (g_WaveLogState.load() != 0)
      WaveLogDecimate(&g_WaveLogDecimator[0], block, n);
  }
  rec.WriteFullBuffers();
}

TEST_F(RecordRateTest, ApplyAtAnotherRateEndsTheRecordingAndAtTheSameRateItGoesOn)
{
  const struct {
    const char* what;
    int mode;
    int nominal, divisor, rateDivisor;  // applied while the recording runs
    const char* newRate;  // in the message; nullptr: the recording goes on
  } cases[] = {
      {"input, divisor 1 -> 2", WAVE_LOG_INPUT, 11025, 2, 1, "5512"},
      {"input, 11025 -> 22050 Hz", WAVE_LOG_INPUT, 22050, 1, 1, "22050"},
      {"input, applied without a change", WAVE_LOG_INPUT, 11025, 1, 1, nullptr},
      {"input, ring 0's decimation 1 -> 2: the input rate stays", WAVE_LOG_INPUT, 11025, 1, 2,
       nullptr},
      {"I/Q, divisor 1 -> 2", WAVE_LOG_IQ, 11025, 2, 1, "5512"},
      {"I/Q, ring 0's decimation 1 -> 2", WAVE_LOG_IQ, 11025, 1, 2, "5512"},
      {"I/Q, applied without a change", WAVE_LOG_IQ, 11025, 1, 1, nullptr},
  };
  InstallSoundEngineLink();
  Make();
  CWaveRecorder& rec = form->WaveFiles->Recorder;
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    messages.clear();
    SndConfig.SampleRate = 11025;
    SndConfig.SampleRateDivisor = 1;
    SndConfig.RateDivisor = 1;
    SndConfig.ComplexFFT = c.mode == WAVE_LOG_IQ;
    SndConfig.FreqMin = 0;
    SndConfig.FreqMax = 0;
    SndConfig.FreqOffset = 0;
    SndConfig.WaveSaveDownsampled = 0;
    SndConfig.WaveFileFormat = C_WaveIO::FORMAT_RIFF;
    SndConfig.MaxFileSize = 0;
    form->LoopHost->ConfigurationChanged();
    ASSERT_EQ(g_ProcessingSampleRate.load(), 11025.0);
    // Mixed at 0 Hz: I carries the tone.
    InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, 1, 0.0);

    const std::string path = dir.file("rec" + std::to_string(++number) + ".wav");
    ASSERT_TRUE(rec.StartWaveRecording(c.mode, path));
    Feed(c.mode, 11025.0, 2.0, rec);
    const int64_t fed = 22050;

    // Apply: the dialog has written the settings; the main loop takes them in.
    SndConfig.SampleRate = c.nominal;
    SndConfig.SampleRateDivisor = c.divisor;
    SndConfig.RateDivisor = c.rateDivisor;
    form->LoopHost->ConfigurationChanged();
    if (c.newRate) {
      EXPECT_FALSE(rec.IsRecording());
      ASSERT_EQ(messages.size(), 1);
      const std::string msg = messages[0].toStdString();
      EXPECT_NE(msg.find("\"" + path + "\" stopped"), std::string::npos) << msg;
      EXPECT_NE(msg.find(std::string("from 11025 to ") + c.newRate + " samples/sec"),
                std::string::npos)
          << msg;
      EXPECT_EQ(rec.EndNote, c.mode == WAVE_LOG_IQ ? "Logging stopped: I/Q rate changed"
                                                   : "Logging stopped: sample rate changed");
      EXPECT_EQ(wave_test::SoxInfo("-s", path), std::to_string(fed));
    } else {
      EXPECT_TRUE(rec.IsRecording());
      EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
      Feed(c.mode, 11025.0, 1.0, rec);
      rec.StopWaveRecording();
      EXPECT_EQ(wave_test::SoxInfo("-s", path), std::to_string(fed + 11025));
    }
    EXPECT_EQ(wave_test::SoxInfo("-r", path), "11025");
    EXPECT_EQ(wave_test::SoxInfo("-c", path), c.mode == WAVE_LOG_IQ ? "2" : "1");
  }
}

}  // namespace
