// I/Q recordings and the complex spectra agree on the side of the centre a tone lies on: a tone
// mixed down in the live path, recorded through "Log decimated I/Q", is read back from the file
// in the usual convention (left = I, right = Q, a tone above the centre at a positive frequency)
// and analysed off-line by the program's own complex analysis, where it lies as it did live.
#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "LinesFixture.h"
#include "WaveTestUtil.h"
#include "common/TestUtil.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "mainwin/WaveAnalysis.h"
#include "mainwin/WaveRecording.h"

using namespace vt_lines_test;

namespace {

constexpr double kRate = 11025.0;
constexpr double kCentre = 600.0;

// The off-line analysis mixes around the display's centre frequency.
struct CentredHost : wave_test::ScriptedHost {
  double DisplayCenterFreq() override { return kCentre; }
};

class IqRoundTrip : public LinesFixture {
protected:
  void TearDown() override {
    wave_test::CloseRecordAndAnalysisFiles();
    g_WaveLogState = 0;
    LinesFixture::TearDown();
  }
};

// Level in dB of a complex spectrum line at frequency f: the highest of the bins within one bin
// of f (bin i stands for offset_hz + i x bin_width_hz).
double LevelAt(const SpectrumBuffer& s, double f) {
  const int k = int(std::lround((f - s.offset_hz) / s.bin_width_hz));
  double best = -1e9;
  for (int i = k - 1; i <= k + 1; ++i)
    if (i >= 0 && i < s.nr_of_bins) best = std::max(best, s.bins[i] * s.scale_factor);
  return best;
}

// Stereo 16-bit frames of a wave file as I + jQ with I the left and Q the right channel.
std::vector<std::complex<double>> ReadIq(const std::string& path) {
  std::vector<std::complex<double>> iq;
  C_WaveIO w;
  if (!w.InOpen(path.c_str()) || w.Format.nChannels != 2 || w.Format.wBitsPerSample != 16) return iq;
  std::vector<int16_t> buf(2 * 4096);
  int frames;
  while ((frames = w.ReadRawBlocks(buf.data(), int(buf.size() * 2))) > 0)
    for (int i = 0; i < frames; ++i) iq.emplace_back(buf[2 * i], buf[2 * i + 1]);
  return iq;
}

// |sum of x[n] exp(-j 2 pi f n / rate)| over the samples: a direct DFT at frequency f, with
// which a component exp(+j 2 pi f t) shows at +f.
double Magnitude(const std::vector<std::complex<double>>& x, double f) {
  std::complex<double> sum = 0.0;
  for (size_t n = 0; n < x.size(); ++n)
    sum += x[n] * std::polar(1.0, -2.0 * M_PI * f * double(n) / kRate);
  return std::abs(sum) / double(x.size());
}

}  // namespace

TEST_F(IqRoundTrip, ToneKeepsItsSideOfTheCentreFromLiveToFileToOffLineAnalysis) {
  const struct {
    double tone;  // Hz of the real input
  } cases[] = {{700.0}, {350.0}, {1000.0}};
  for (const auto& c : cases) {
    const double d = c.tone - kCentre;  // where the tone lies relative to the centre
    SCOPED_TRACE(testing::Message() << c.tone << " Hz with the centre at " << kCentre << " Hz");
    vt_test::TempDir dir;
    const std::string path = dir.file("iq.wav");

    // Live: the ring mixes the real input down around the centre; the complex spectrum line.
    Start(kRate, true, 1024, 50, 2, kCentre);
    SndConfig.SampleRate = 11025;
    SndConfig.RateDivisor = 1;
    g_ProcessingSampleRate = kRate;
    ResetWaveLogDecimator(&g_WaveLogDecimator[0]);
    g_WaveLogState = 0;
    CentredHost fileHost;
    CWaveRecorder rec(&fileHost);
    ASSERT_TRUE(rec.StartWaveRecording(WAVE_LOG_IQ, path));
    for (int block = 0; block < 12; ++block) {  // 12 x 4,096 input samples, ~4.5 s
      Write(4096, 9000.0, c.tone);
      Produce();
      rec.FlushWaveRecordBuffers();
    }
    rec.FlushWaveRecordBuffers();
    rec.StopWaveRecording();
    // The mixer's image lies at -(tone + centre), far from both kCentre + d and kCentre - d.
    ASSERT_GT(lines->LinesMade, 0u);
    const double live = LevelAt(g_LatestSpectrum, c.tone);
    const double liveMirror = LevelAt(g_LatestSpectrum, kCentre - d);
    EXPECT_GT(live, -40.0) << "live complex spectrum at the tone";
    EXPECT_GT(live - liveMirror, 40.0) << "live complex spectrum: " << live << " dB at " << c.tone
                                       << " Hz, " << liveMirror << " dB at " << kCentre - d << " Hz";

    // The file, read independently: left = I, right = Q; the tone at +d, nothing at -d.
    const auto iq = ReadIq(path);
    ASSERT_GE(iq.size(), 8192u);
    const double at = Magnitude(iq, d), mirror = Magnitude(iq, -d);
    EXPECT_GT(at, 1000.0) << "|X(" << d << " Hz)|";
    EXPECT_LT(mirror, at / 100.0) << "|X(" << d << " Hz)| = " << at << ", |X(" << -d
                                  << " Hz)| = " << mirror;

    // The program's own off-line analysis, answering Yes to the complex question.
    SndConfig.ComplexFFT = 0;
    CSpectrumLineProducer producer(nullptr, &g_BigBuffers[0]);
    producer.History.Allocate(200);
    CWaveAnalysis analysis(&fileHost, &producer);
    fileHost.openAnswer = path;
    fileHost.yesNo = WAVE_ANSWER_YES;
    analysis.ChooseFileForAnalysis(false);
    ASSERT_TRUE(analysis.IsAnalyzingWaveFile());
    EXPECT_EQ(fileHost.yesNoAsked, 1);
    ASSERT_EQ(SndConfig.ComplexFFT.load(), 1);
    for (int steps = 0; analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines) && steps < 1000; ++steps) {
    }
    analysis.StopWaveFileAnalysis();
    ASSERT_GT(producer.LinesMade, 2u);
    const SpectrumBuffer* line = producer.History.Line(1);  // the line before the last
    ASSERT_NE(line, nullptr);
    EXPECT_NEAR(line->offset_hz, kCentre - kRate / 4, 1e-9);
    const double offLine = LevelAt(*line, c.tone), offLineMirror = LevelAt(*line, kCentre - d);
    EXPECT_NEAR(offLine, live, 3.0) << "off-line complex spectrum at the tone";
    EXPECT_GT(offLine - offLineMirror, 40.0) << "off-line complex spectrum: " << offLine << " dB at "
                                             << c.tone << " Hz, " << offLineMirror << " dB at "
                                             << kCentre - d << " Hz";
  }
}
