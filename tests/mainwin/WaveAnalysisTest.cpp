// Off-line analysis of wave files: spectra and time stamps of the lines, decimation of a file
// faster than the processing rate, the questions asked for stereo and headerless files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "engine/CSound.h"
#include "engine/PreciseClock.h"
#include "platform/Threads.h"

#include "common/TestUtil.h"
#include "engine/BigSampleBuffer.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WaveAnalysis.h"
#include "mainwin/WaveRecording.h"
#include "WaveTestUtil.h"

using namespace wave_test;

namespace {

struct Fixture {
  ScriptedHost host;
  CSpectrumLineProducer lines{nullptr, &g_BigBuffers[0]};
  CWaveAnalysis analysis{&host, &lines};
  Fixture() {
    BaseSettings();
    g_ProcessingSampleRate = 11025.0;
    ClearBigBuffer(&g_BigBuffers[0], 11025.0, 0.0);
    lines.History.Allocate(200);
  }
  ~Fixture() { CloseRecordAndAnalysisFiles(); }
  // Runs the timer's steps until one reports nothing more; returns the lines made.
  int RunToEnd() {
    int steps = 0;
    while (analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines) && ++steps < 10000) {
    }
    return int(lines.LinesMade);
  }
  // History line i (0 oldest) of n made.
  const SpectrumBuffer* Line(int i, int n) { return lines.History.Line(n - 1 - i); }
};

// Indexes of the two strongest local maxima.
std::pair<int, int> TwoPeaks(const SpectrumBuffer* s) {
  int best[2] = {-1, -1};
  for (int i = 1; i + 1 < s->nr_of_bins; ++i) {
    if (s->bins[i] < s->bins[i - 1] || s->bins[i] < s->bins[i + 1]) continue;
    if (best[0] < 0 || s->bins[i] > s->bins[best[0]]) {
      best[1] = best[0];
      best[0] = i;
    } else if (best[1] < 0 || s->bins[i] > s->bins[best[1]]) {
      best[1] = i;
    }
  }
  return {std::min(best[0], best[1]), std::max(best[0], best[1])};
}

TEST(WaveAnalysis, TwoTonesInTheirBinsWithTimesInSeconds) {
  vt_test::TempDir dir;
  Fixture f;
  const std::string path = dir.file("two.wav");
  ASSERT_TRUE(WriteWave(path, 11025, 1, Tones(11025, 3.0, {1000.0, 2500.0}, 8000.0)));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);

  f.host.openAnswer = path;
  f.analysis.ChooseFileForAnalysis(false);
  EXPECT_EQ(f.host.lastTitle, "Analyze Input from *.WAV-File");
  EXPECT_EQ(f.analysis.AnalysisFileName, path);
  ASSERT_TRUE(f.analysis.IsAnalyzingWaveFile());
  EXPECT_EQ(f.analysis.Decimation, 1);

  const int n = f.RunToEnd();
  // 3 s in lines of trunc(0.1 * 11025 + 0.5) = 1103 samples.
  EXPECT_EQ(n, 33075 / 1103);
  EXPECT_EQ(f.host.waterfallLines, n);
  const double bw = 11025.0 / 1024;
  for (int i = 0; i < n; ++i) {
    const SpectrumBuffer* s = f.Line(i, n);
    ASSERT_NE(s, nullptr);
    EXPECT_DOUBLE_EQ(s->bin_width_hz, bw);
    auto [lo, hi] = TwoPeaks(s);
    EXPECT_NEAR(lo, 1000.0 / bw, 1.0) << "line " << i;
    EXPECT_NEAR(hi, 2500.0 / bw, 1.0) << "line " << i;
    // Unix seconds: the file's time stamp plus the samples read so far over the rate.
    EXPECT_NEAR(s->time, double(st.st_mtime) + (i + 1) * 1103 / 11025.0, 1e-6) << "line " << i;
  }
  // The end of the file ends the analysis step; the timer then stops it.
  EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(5));
  f.analysis.StopWaveFileAnalysis();
  EXPECT_FALSE(f.analysis.IsFileOpen());
  EXPECT_EQ(g_BigBuffers[0].FeedSource.load(), 1);
}

TEST(WaveAnalysis, FasterFileIsDecimatedToTheProcessingRate) {
  vt_test::TempDir dir;
  Fixture f;
  const std::string path = dir.file("fast.wav");
  ASSERT_TRUE(WriteWave(path, 48000, 1, Tones(48000, 1.0, {3000.0}, 10000.0)));
  const struct {
    int sampleRate, rateDivisor, srDivisor, antiAlias, decimation;
  } cases[] = {
      {11025, 1, 1, 0, 4},   // trunc(48000 / 11025)
      {11025, 1, 1, 1, 4},   // 2 x 2 through the anti-alias stages
      {22050, 2, 1, 0, 4},   // target 11025
      {8000, 1, 1, 0, 6},
      {8000, 1, 1, 1, 6},    // 2 x 3
      {48000, 1, 1, 0, 1},
      {44100, 4, 2, 0, 8},   // target 5512.5 -> 8.7
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sampleRate << "/" << c.rateDivisor << "/" << c.srDivisor
                                    << " anti-alias " << c.antiAlias);
    SndConfig.SampleRate = c.sampleRate;
    SndConfig.RateDivisor = c.rateDivisor;
    SndConfig.SampleRateDivisor = c.srDivisor;
    SndConfig.FftInputAntiAlias = c.antiAlias;
    ASSERT_TRUE(f.analysis.OpenWaveFileForAnalysis(path));
    f.analysis.OffLine = true;
    EXPECT_EQ(f.analysis.Decimation, c.decimation);
    EXPECT_EQ(g_BigBuffers[0].DecimationRatio, c.decimation);
    EXPECT_DOUBLE_EQ(g_BigBuffers[0].OutputRate, 48000.0 / c.decimation);
    const uint64_t before = f.lines.LinesMade;
    ASSERT_TRUE(f.analysis.AnalyzeWaveFileStep(5));
    const int made = int(f.lines.LinesMade - before);
    EXPECT_EQ(made, 5);
    // The tone is where the decimated rate puts it.
    const SpectrumBuffer* s = f.lines.History.Line(0);
    const double bw = 48000.0 / c.decimation / 1024;
    EXPECT_DOUBLE_EQ(s->bin_width_hz, bw);
    const int peak = int(std::max_element(s->bins, s->bins + s->nr_of_bins) - s->bins);
    EXPECT_NEAR(peak, 3000.0 / bw, 1.0);
    f.analysis.StopWaveFileAnalysis();
  }
}

// The ring's stages of 2 and 3 cannot make every ratio (5, 7 and 11 become 3, 44 becomes 12).
// I/Q pairs always run through them, real samples with the anti-alias option, else real samples
// are averaged over the full ratio. Whichever it is, the rate the ring states is the rate its
// samples come at, so a tone shows at its own frequency and the ring holds as many samples as
// that rate makes of the frames read.
TEST(WaveAnalysis, ToneAtItsFrequencyWhateverRatioTheStagesMake) {
  vt_test::TempDir dir;
  const struct {
    int fileRate, nominal, rateDivisor, asked, staged;  // staged: the ratio the stages make
  } rows[] = {
      {44100, 8000, 1, 5, 3},     // target 8,000 Hz: 5.5
      {22050, 22050, 7, 7, 3},    // target 3,150 Hz
      {44100, 8000, 2, 11, 3},    // target 4,000 Hz: 11.0
      {44100, 8000, 8, 44, 12},   // target 1,000 Hz: 44.1; 2 x 2 x 3
      {48000, 8000, 8, 48, 48},   // target 1,000 Hz: 3 x 2^4, made exactly either way
  };
  for (const auto& r : rows) {
    for (int complex = 0; complex < 2; ++complex) {
      // Real FFT: a tone at 300 Hz; complex: 100 Hz above a centre of 3,000 Hz (inside the
      // quarter of the pair rate shown each side of the centre), so that the mirror that the
      // real-to-I/Q mixing makes, 6,100 Hz below the centre, lies outside what is shown.
      const double tone = complex ? 3100.0 : 300.0;
      const std::string path = dir.file("tone" + std::to_string(r.fileRate) + "_" +
                                        std::to_string(complex) + ".wav");
      ASSERT_TRUE(WriteWave(path, r.fileRate, 1, Tones(r.fileRate, 2.0, {tone}, 6000.0)));
      for (int antiAlias = 0; antiAlias < 2; ++antiAlias) {
        SCOPED_TRACE(testing::Message() << r.fileRate << " Hz file, ratio " << r.asked
                                        << (complex ? ", complex" : ", real") << ", anti-alias "
                                        << antiAlias);
        Fixture f;
        f.host.centre = 3000.0;
        SndConfig.SampleRate = r.nominal;
        SndConfig.RateDivisor = r.rateDivisor;
        SndConfig.ComplexFFT = complex;
        SndConfig.FftInputAntiAlias = antiAlias;
        SndConfig.WaterScrollTime = 200;  // every step makes a line, also at 1,002 Hz
        ASSERT_TRUE(f.analysis.OpenWaveFileForAnalysis(path));
        f.analysis.OffLine = true;
        const int made = complex || antiAlias ? r.staged : r.asked;
        EXPECT_EQ(g_BigBuffers[0].DecimationRatio, made);
        const double rate = double(r.fileRate) / made;
        EXPECT_DOUBLE_EQ(g_BigBuffers[0].OutputRate, rate);
        const int n = f.RunToEnd();
        EXPECT_GT(n, 0);
        if (n == 0) continue;
        // Samples (pairs) in the ring: what the stated rate makes of the frames read.
        const double held = double(g_BigBuffers[0].TotalCount.load()) / (complex ? 2 : 1);
        EXPECT_NEAR(held, double(f.analysis.ReadPosition) * rate / r.fileRate, 2.0);
        const SpectrumBuffer* s = f.lines.History.Line(0);
        ASSERT_NE(s, nullptr);
        EXPECT_DOUBLE_EQ(s->bin_width_hz, rate / 1024);
        const int peak = int(std::max_element(s->bins, s->bins + s->nr_of_bins) - s->bins);
        const double shown = s->offset_hz + peak * s->bin_width_hz;
        EXPECT_NEAR(shown, tone, s->bin_width_hz);
        f.analysis.StopWaveFileAnalysis();
      }
    }
  }
}

// An off-line analysis goes on while it reads samples, also through timer steps that make no
// line (the ring does not yet hold what the FFT needs), and ends at the end of the file. One
// that cannot go on before the end says why.
TEST(WaveAnalysis, GoesOnThroughStepsWithoutALineAndSaysWhyItEndsEarly) {
  vt_test::TempDir dir;
  const std::string path = dir.file("slow.wav");
  const int frames = 3 * 44100;
  ASSERT_TRUE(WriteWave(path, 44100, 1, Tones(44100, 3.0, {2700.0}, 6000.0)));
  const struct {
    int nominal, rateDivisor, complex, fftLength, scrollTime, minLines;
  } cases[] = {
      // 11,025 / 8: ratio 32, one step of five 50 ms lines reads 11,025 frames = 344 pairs, the
      // FFT needs at least 512: the first step makes no line, the second does.
      {11025, 8, 1, 1024, 50, 40},
      // The same for real samples and a longer FFT: 344 samples a step, 512 needed.
      {11025, 8, 0, 2048, 50, 40},
      // 8,000 / 16: ratio 88 (the stages make 24), 20 ms lines: 183 pairs a step, three steps
      // to the first line.
      {8000, 16, 1, 512, 20, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nominal << "/" << c.rateDivisor
                                    << (c.complex ? " complex" : " real"));
    Fixture f;
    f.host.centre = 2500.0;
    SndConfig.SampleRate = c.nominal;
    SndConfig.RateDivisor = c.rateDivisor;
    SndConfig.ComplexFFT = c.complex;
    SndConfig.NrOfSamples = c.fftLength;
    SndConfig.WaterScrollTime = c.scrollTime;
    f.host.openAnswer = path;
    f.analysis.ChooseFileForAnalysis(false);
    ASSERT_TRUE(f.analysis.IsAnalyzingWaveFile());
    // The first step reads samples but makes no line; the analysis goes on.
    EXPECT_TRUE(f.analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
    EXPECT_EQ(f.lines.LinesMade, 0u);
    EXPECT_GT(f.analysis.ReadPosition, 0);
    const int n = f.RunToEnd();
    EXPECT_EQ(f.analysis.ReadPosition, frames);  // the whole file was read
    EXPECT_GE(n, c.minLines);
    EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
    EXPECT_TRUE(f.host.messages.empty());  // the end of the file needs no word
  }

  // An FFT of 256 samples (the shortest the configuration offers) is too short for a line of
  // a file: the analysis would read the whole file and show nothing. It stops and says why.
  Fixture f;
  SndConfig.SampleRate = 44100;
  SndConfig.NrOfSamples = 256;
  f.host.openAnswer = path;
  f.analysis.ChooseFileForAnalysis(false);
  ASSERT_TRUE(f.analysis.IsAnalyzingWaveFile());
  EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0], "The analysis of \"" + path +
                                    "\" stopped before the end of the file: its lines need an "
                                    "FFT of at least 512 samples, and the FFT length is 256.");
  EXPECT_EQ(f.analysis.ReadPosition, 0);
}

// Divisors and a line interval from a settings file that no dialog would store: the load clamps
// them to the dialog's ranges, and the analysis computes its target rate and its samples per
// line in 64 bits (65,536 x 65,536 and 2^31 - 1 ms x 48,000 Hz leave the int range).
TEST(WaveAnalysis, HostileDivisorsAndScrollTimeFromTheSettingsFile) {
  vt_test::TempDir dir;
  const std::string ini = dir.file("hostile.ini");
  const struct {
    const char *srDivisor, *rateDivisor, *scrollTime;
    int wantSrDivisor, wantRateDivisor, wantScrollTime;
  } cases[] = {
      {"65536", "65536", "2147483647", 8, 6561, 2147483647},
      {"0", "-3", "0", 1, 1, 5},
      {"-2147483648", "2147483647", "-2147483648", 1, 6561, 5},
      {"4", "27", "300", 4, 27, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srDivisor << "/" << c.rateDivisor << "/" << c.scrollTime);
    BaseSettings();
    vt_test::WriteWholeFile(ini, std::string("[SOUNDCARD]\nSampleRateDivisor=") + c.srDivisor +
                                     "\n[FFT_INPUT]\nRateDivisor=" + c.rateDivisor +
                                     "\n[DISPLAY]\nWaterScrollTime=" + c.scrollTime + "\n");
    LoadSettingsFromIni(ini, SETTINGS_PART_PROCESS);
    EXPECT_EQ(SndConfig.SampleRateDivisor, c.wantSrDivisor);
    EXPECT_EQ(SndConfig.RateDivisor, c.wantRateDivisor);
    EXPECT_EQ(SndConfig.WaterScrollTime, c.wantScrollTime);
  }

  // The first case again, analysing one second of a 48,000 Hz file: the target rate
  // 11,025 / 52,488 is below 1 Hz, so the file is not decimated, and a line would take
  // 2^31 - 1 ms: the step reads to the end of the file and makes no line.
  Fixture f;
  const std::string path = dir.file("fast.wav");
  ASSERT_TRUE(WriteWave(path, 48000, 1, Tones(48000, 1.0, {3000.0}, 10000.0)));
  vt_test::WriteWholeFile(ini, "[SOUNDCARD]\nSampleRateDivisor=65536\n[FFT_INPUT]\n"
                               "RateDivisor=65536\n[DISPLAY]\nWaterScrollTime=2147483647\n");
  LoadSettingsFromIni(ini, SETTINGS_PART_PROCESS);
  ASSERT_TRUE(f.analysis.OpenWaveFileForAnalysis(path));
  f.analysis.OffLine = true;
  EXPECT_EQ(f.analysis.Decimation, 1);
  EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(5));
  EXPECT_EQ(f.lines.LinesMade, 0u);
}

TEST(WaveAnalysis, StereoFileAsksTheIqQuestion) {
  vt_test::TempDir dir;
  const std::string path = dir.file("iq.wav");
  // I = cos, Q = sin of +1,500 Hz.
  std::vector<int16_t> iq;
  for (int i = 0; i < 11025; ++i) {
    iq.push_back(int16_t(std::lround(9000 * std::cos(2 * M_PI * 1500 * i / 11025.0))));
    iq.push_back(int16_t(std::lround(9000 * std::sin(2 * M_PI * 1500 * i / 11025.0))));
  }
  ASSERT_TRUE(WriteWave(path, 11025, 2, iq));
  const struct {
    int answer;
    bool opened;
    int complexAfter;
  } cases[] = {
      {WAVE_ANSWER_YES, true, 1},
      {WAVE_ANSWER_NO, true, 0},
      {WAVE_ANSWER_CANCEL, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Fixture f;
    f.host.yesNo = c.answer;
    f.host.openAnswer = path;
    f.analysis.ChooseFileForAnalysis(false);
    EXPECT_EQ(f.host.yesNoAsked, 1);
    EXPECT_EQ(f.host.lastQuestion,
              "Audio file analysis..|Set the FFT type to 'complex' because the file looks as if "
              "contains I/Q-samples ?");
    EXPECT_EQ(SndConfig.ComplexFFT.load(), c.complexAfter);
    EXPECT_EQ(f.analysis.IsFileOpen(), c.opened);  // Cancel leaves no file open
    EXPECT_EQ(f.analysis.IsAnalyzingWaveFile(), c.opened);
    if (!c.opened) {
      EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(5));
      continue;
    }
    EXPECT_EQ(g_BigBuffers[0].IsComplex.load(), c.complexAfter == 1);
    ASSERT_TRUE(f.analysis.AnalyzeWaveFileStep(5));
    // Yes: I/Q pairs fill the ring; No: the left channel is analysed as a real signal.
    EXPECT_DOUBLE_EQ(f.lines.History.Line(0)->bin_width_hz, 11025.0 / 1024);
    if (c.complexAfter == 0) {
      const SpectrumBuffer* s = f.lines.History.Line(0);
      const int peak = int(std::max_element(s->bins, s->bins + s->nr_of_bins) - s->bins);
      EXPECT_NEAR(peak, 1500 / (11025.0 / 1024), 1.0);
    }
  }
  // A real FFT already set to complex asks nothing.
  Fixture f;
  SndConfig.ComplexFFT = 1;
  EXPECT_TRUE(f.analysis.OpenWaveFileForAnalysis(path));
  EXPECT_EQ(f.host.yesNoAsked, 0);
}

TEST(WaveAnalysis, HeaderlessFileShowsThePropertiesDialog) {
  vt_test::TempDir dir;
  const std::string path = dir.file("raw.pcm");
  ASSERT_TRUE(WriteWave(path, 8000, 1, Tones(8000, 1.0, {1000.0}, 8000.0), /*raw=*/true));
  {
    Fixture f;
    f.host.propsEdit = true;
    f.host.propsAnswer = AudioFileParams{8000.0, 1, 16, 0.0};
    ASSERT_TRUE(f.analysis.OpenWaveFileForAnalysis(path));
    EXPECT_EQ(f.host.propsAsked, 1);
    // The dialog starts from the last values used (its own defaults the first time).
    EXPECT_DOUBLE_EQ(f.host.propsShown.SampleRate, 11025.0);
    EXPECT_EQ(f.host.propsShown.NrChannels, 1);
    EXPECT_EQ(f.host.propsShown.BitsPerSample, 16);
    f.analysis.OffLine = true;
    ASSERT_TRUE(f.analysis.AnalyzeWaveFileStep(5));
    const SpectrumBuffer* s = f.lines.History.Line(0);
    EXPECT_DOUBLE_EQ(s->bin_width_hz, 8000.0 / 1024);
    const int peak = int(std::max_element(s->bins, s->bins + s->nr_of_bins) - s->bins);
    EXPECT_EQ(peak, 128);
  }
  {
    Fixture f;  // Cancel: nothing opened
    f.host.propsOk = false;
    EXPECT_FALSE(f.analysis.OpenWaveFileForAnalysis(path));
    EXPECT_EQ(f.host.propsAsked, 1);
    EXPECT_FALSE(f.analysis.IsFileOpen());
    EXPECT_TRUE(f.host.messages.empty());
  }
  {
    Fixture f;  // values the reader cannot use
    f.host.propsEdit = true;
    f.host.propsAnswer = AudioFileParams{8000.0, 3, 16, 0.0};
    EXPECT_FALSE(f.analysis.OpenWaveFileForAnalysis(path));
    EXPECT_FALSE(f.analysis.IsFileOpen());
    ASSERT_EQ(f.host.messages.size(), 1u);
  }
  {
    Fixture f;  // a RIFF file shows its header's values
    const std::string wav = dir.file("h.wav");
    ASSERT_TRUE(WriteWave(wav, 22050, 1, Tones(22050, 0.2, {100.0}, 100.0)));
    ASSERT_TRUE(f.analysis.OpenWaveFileForAnalysis(wav));
    EXPECT_DOUBLE_EQ(f.host.propsShown.SampleRate, 22050.0);
  }
}

TEST(WaveAnalysis, OpenFailuresAreReported) {
  vt_test::TempDir dir;
  Fixture f;
  std::string bad = std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x03\0", 24);
  bad += std::string("\x11\x2b\0\0\x44\xac\0\0\x02\0\x10\0data\0\0\0\0", 20);
  vt_test::WriteWholeFile(dir.file("bad.wav"), bad);
  const struct {
    std::string file, reason;
  } cases[] = {
      {dir.file("missing.wav"), "(_open failed)"},
      {dir.file("bad.wav"), "(bad NrChannels)"},
  };
  for (const auto& c : cases) {
    f.host.messages.clear();
    EXPECT_FALSE(f.analysis.OpenWaveFileForAnalysis(c.file));
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0], "Problem:\r\nCould not open \"" + c.file +
                                      "\"\r for analysis. Possibly wrong file format ? " + c.reason);
    EXPECT_FALSE(f.analysis.IsFileOpen());
  }
}

// A RIFF PCM header of the given shape over `dataBytes` bytes of a ramp.
std::string RiffPcm(unsigned channels, unsigned bits, unsigned blockAlign, size_t dataBytes) {
  auto le16 = [](unsigned v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; };
  auto le32 = [](uint32_t v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
  };
  std::string data(dataBytes, '\0');
  for (size_t i = 0; i < dataBytes; ++i) data[i] = char(i * 7);
  const std::string fmt = le16(1) + le16(channels) + le32(11025) + le32(11025 * blockAlign) +
                          le16(blockAlign) + le16(bits);
  const std::string body = "WAVEfmt " + le32(16) + fmt + "data" + le32(uint32_t(dataBytes)) + data;
  return "RIFF" + le32(uint32_t(body.size())) + body;
}

// Off-line analysis of a header whose block align does not fit its channels and bits: the file
// is refused with the reader's error before a sample is read (the I/Q conversion used to take
// channel 1 from beyond each short frame and beyond its buffer).
TEST(WaveAnalysis, WrongBlockAlignIsRefusedBeforeAnySampleIsRead) {
  vt_test::TempDir dir;
  const struct {
    unsigned channels, bits, blockAlign;
  } cases[] = {{2, 16, 2}, {2, 16, 3}, {1, 16, 4}, {2, 8, 1}, {1, 8, 2}, {2, 0, 2}, {2, 8, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits, block align "
                                    << c.blockAlign);
    const std::string path = dir.file("align.wav");
    vt_test::WriteWholeFile(path, RiffPcm(c.channels, c.bits, c.blockAlign, 40000));
    Fixture f;
    f.host.yesNo = WAVE_ANSWER_YES;  // "complex": both channels as I/Q pairs
    f.host.openAnswer = path;
    f.analysis.ChooseFileForAnalysis(false);
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"Problem:\r\nCould not open \"" + path +
                                                        "\"\r for analysis. Possibly wrong file "
                                                        "format ? (bad BlockAlign)"});
    EXPECT_FALSE(f.analysis.IsFileOpen());
    EXPECT_FALSE(f.analysis.IsAnalyzingWaveFile());
    // The timer's step, as it runs after an opened file: nothing to read.
    EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
    EXPECT_EQ(f.lines.LinesMade, 0u);
  }
  // The same layout with the right block align is analysed.
  const std::string path = dir.file("good.wav");
  vt_test::WriteWholeFile(path, RiffPcm(2, 16, 4, 40000));
  Fixture f;
  f.host.yesNo = WAVE_ANSWER_YES;
  f.host.openAnswer = path;
  f.analysis.ChooseFileForAnalysis(false);
  EXPECT_TRUE(f.host.messages.empty());
  ASSERT_TRUE(f.analysis.IsAnalyzingWaveFile());
  EXPECT_TRUE(f.analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
}

TEST(WaveAnalysis, MenuDuringAnalysisStopsItAndPlayWithoutThreadRunsOffLine) {
  vt_test::TempDir dir;
  Fixture f;
  const std::string path = dir.file("t.wav");
  ASSERT_TRUE(WriteWave(path, 11025, 1, Tones(11025, 1.0, {500.0}, 5000.0)));
  ASSERT_EQ(g_pSoundThread, nullptr);
  f.host.openAnswer = path;
  f.analysis.ChooseFileForAnalysis(true);
  EXPECT_EQ(f.host.lastTitle, "Analyze and Play  *.WAV-File");
  EXPECT_TRUE(f.analysis.IsAnalyzingWaveFile());  // nothing to play through: off-line
  std::string text;
  EXPECT_EQ(WaveFileStatusText(&f.analysis, nullptr, &text), 2);
  EXPECT_EQ(text, "Reading 0 kB");
  ASSERT_TRUE(f.analysis.AnalyzeWaveFileStep(5));
  EXPECT_EQ(WaveFileStatusText(&f.analysis, nullptr, &text), 2);
  EXPECT_EQ(text, "Reading " + std::to_string(5 * 1103 * 2 / 1024) + " kB");

  f.analysis.ChooseFileForAnalysis(false);
  EXPECT_EQ(f.host.opensAsked, 1);  // no dialog: the menu stopped the analysis
  EXPECT_FALSE(f.analysis.IsFileOpen());
  EXPECT_EQ(WaveFileStatusText(&f.analysis, nullptr, &text), 0);
  EXPECT_EQ(text, "");
}

// A recording of decimated I/Q pairs made during an off-line analysis holds every pair the
// analysis put into ring 0, although the analysis runs faster than real time: the pairs of a
// 30 s file within a few timer steps, and more pairs per step than the recorder's buffers hold.
TEST(WaveAnalysis, IqRecordingDuringOffLineAnalysisHoldsEveryPairAnalysed) {
  const struct {
    const char* what;
    double rate;        // file rate, also the card's rate (decimation 1)
    int channels;       // 1: mixed down to I/Q in the ring, 2: I/Q pairs
    double seconds;
    int scrollTime;     // ms per line
    bool flushPerStep;  // the timer also writes one buffer after each step
  } cases[] = {
      {"mono 11025 Hz, 30 s, no flush during the analysis", 11025, 1, 30.0, 100, false},
      {"stereo 44100 Hz, 10 s, one flush per step", 44100, 2, 10.0, 100, true},
      {"mono 11025 Hz, 1 s lines, one flush per step", 11025, 1, 20.0, 1000, true},
      {"mono 600 Hz, 8.3 s lines: ring writes bigger than a buffer", 600, 1, 50.0, 8333, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vt_test::TempDir dir;
    Fixture f;
    SndConfig.SampleRate = int(c.rate);
    SndConfig.ComplexFFT = 1;
    SndConfig.WaterScrollTime = c.scrollTime;
    SndConfig.WaveFileFormat = C_WaveIO::FORMAT_RIFF;
    SndConfig.MaxFileSize = 0;  // no size limit: the stereo file records 1.7 MB
    g_ProcessingSampleRate = c.rate;
    ClearBigBuffer(&g_BigBuffers[0], c.rate, 0.0);
    ResetWaveLogDecimator(&g_WaveLogDecimator[0]);
    g_WaveLogState = 0;

    const std::string in = dir.file("in.wav"), rec = dir.file("iq.wav");
    std::vector<int16_t> samples = Tones(c.rate, c.seconds, {c.rate / 7}, 9000.0);
    if (c.channels == 2) {
      const auto q = Tones(c.rate, c.seconds, {c.rate / 11}, 7000.0);
      std::vector<int16_t> both;
      for (size_t i = 0; i < samples.size(); ++i) both.insert(both.end(), {samples[i], q[i]});
      samples = both;
    }
    ASSERT_TRUE(WriteWave(in, c.rate, c.channels, samples));

    CWaveRecorder recorder(&f.host);
    f.analysis.Recorder = &recorder;
    ASSERT_TRUE(recorder.StartWaveRecording(WAVE_LOG_IQ, rec));
    f.host.openAnswer = in;
    f.analysis.ChooseFileForAnalysis(false);
    ASSERT_TRUE(f.analysis.IsAnalyzingWaveFile());
    ASSERT_EQ(f.analysis.Decimation, 1);
    int steps = 0;
    while (f.analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines) && ++steps < 10000)
      if (c.flushPerStep) recorder.FlushWaveRecordBuffers();
    EXPECT_EQ(f.analysis.ReadPosition, int64_t(samples.size() / c.channels));
    ASSERT_GT(f.lines.LinesMade, 2u);

    // Every pair in ring 0 since the analysis began; the newest of them as the ring holds them
    // (its Q is the negative of the file's).
    const int64_t pairs = int64_t(g_BigBuffers[0].TotalCount.load() / 2);
    const int tail = int(std::min<int64_t>(pairs - 1, 8192));
    std::vector<double> ring(2 * size_t(tail));
    ASSERT_GE(BigBufferRead(&g_BigBuffers[0], 2 * tail, -1, ring.data()), 0);
    f.analysis.StopWaveFileAnalysis();
    recorder.StopWaveRecording();
    EXPECT_TRUE(f.host.logs.empty()) << f.host.logs.front();

    C_WaveIO back;
    ASSERT_TRUE(back.InOpen(rec.c_str()));
    EXPECT_EQ(back.GetNrChannels(), 2);
    std::vector<int16_t> file(size_t(back.DataSize) / 2);
    const int frames = back.ReadRawBlocks(file.data(), back.DataSize);
    EXPECT_EQ(frames, pairs) << "pairs recorded of the pairs analysed";
    if (frames != pairs || int64_t(file.size()) != 2 * pairs) continue;
    // The read copy ends one pair before the newest.
    const size_t at = size_t(2 * (pairs - 1 - tail));
    int differ = 0;
    for (int i = 0; i < tail; ++i) {
      const auto I = int16_t(std::clamp(ring[2 * i], -32767.0, 32767.0));
      const auto Q = int16_t(std::clamp(-ring[2 * i + 1], -32767.0, 32767.0));
      differ += file[at + 2 * i] != I || file[at + 2 * i + 1] != Q;
    }
    EXPECT_EQ(differ, 0) << "of the last " << tail << " pairs";
    f.analysis.Recorder = nullptr;
  }
  SndConfig.ComplexFFT = 0;
}

}  // namespace

namespace {

// Analyse-and-play: the audio thread reads the file; its end stops the analysis.
TEST(WaveAnalysis, PlayedFileIsReadByTheAudioThreadUntilItsEnd) {
  vt_test::TempDir dir;
  Fixture f;
  const std::string path = dir.file("play.wav");
  ASSERT_TRUE(WriteWave(path, 11025, 1, Tones(11025, 1.0, {700.0}, 6000.0)));
  SndConfig.StartSoundInput = 0;
  SndConfig.StartSoundOutput = 0;
  SndConfig.PlayInLoops = 0;
  SetMainThread();
  InitPreciseClock();
  InitSoundThdGlobals();
  g_pSound.store(new CSound);
  g_pSoundThread = new TSoundThread(true);
  f.host.openAnswer = path;
  f.analysis.ChooseFileForAnalysis(true);
  ASSERT_TRUE(f.analysis.IsFileOpen());
  EXPECT_TRUE(g_pSoundThread->WaveInputActive.load());
  EXPECT_FALSE(g_pSoundThread->WaveInputEnded.load());
  EXPECT_TRUE(g_SoundOutputWanted);
  EXPECT_TRUE(f.analysis.OffLine);
  EXPECT_FALSE(f.analysis.IsAnalyzingWaveFile());  // the thread does the reading
  EXPECT_FALSE(f.analysis.AnalyzeWaveFileStep(5));
  EXPECT_FALSE(f.analysis.CheckThreadInput());

  g_pSoundThread->Resume();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!g_pSoundThread->WaveInputEnded.load() && std::chrono::steady_clock::now() < end) {
    g_pSoundThread->Wake();
    CheckSynchronize(5);
  }
  ASSERT_TRUE(g_pSoundThread->WaveInputEnded.load());
  EXPECT_TRUE(f.analysis.CheckThreadInput());
  EXPECT_FALSE(f.analysis.IsFileOpen());
  EXPECT_FALSE(g_pSoundThread->WaveInputActive.load());
  EXPECT_TRUE(TerminateSoundThread());
  EXPECT_EQ(g_pSoundThread, nullptr);
  CleanupSoundThread();
}

}  // namespace
