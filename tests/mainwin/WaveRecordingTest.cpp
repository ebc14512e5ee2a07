// Recording to wave files: input, output and I/Q files read by sox with the expected rate,
// channels and length and the recorded samples; a recording cut off by a killed process or a
// full disk leaves a file sox reads.
#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/TestUtil.h"
#include "engine/BigSampleBuffer.h"
#include "engine/CSound.h"
#include "engine/FakeWaveBackend.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdHooks.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/WaveLogDecimator.h"
#include "platform/Threads.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WaveAnalysis.h"
#include "mainwin/WaveRecording.h"
#include "WaveTestUtil.h"

using namespace wave_test;

namespace {

struct Fixture {
  ScriptedHost host;
  CWaveRecorder rec{&host};
  Fixture() {
    BaseSettings();
    SndConfig.WaveSaveDownsampled = 0;
    SndConfig.WaveSaveAntiAlias = 0;
    SndConfig.WaveFileFormat = C_WaveIO::FORMAT_RIFF;
    g_ProcessingSampleRate = 11025.0;
    ClearBigBuffer(&g_BigBuffers[0], 11025.0, 0.0);
    ResetWaveLogDecimator(&g_WaveLogDecimator[0]);
    g_WaveLogState = 0;
  }
  ~Fixture() {
    wave_test::CloseRecordAndAnalysisFiles();
  }
};

// What the audio thread does for modes 1 and 2: hands blocks of the logged signal to decimator 0.
void FeedReal(const std::vector<int16_t>& s, CWaveRecorder& rec) {
  double block[4096];
  for (size_t at = 0; at < s.size(); at += 4096) {
    const int n = int(std::min<size_t>(4096, s.size() - at));
    for (int i = 0; i < n; ++i) block[i] = s[at + i];
    if (g_WaveLogState.load() != 0) WaveLogDecimate(&g_WaveLogDecimator[0], block, n);
    rec.FlushWaveRecordBuffers();
  }
}

std::vector<int16_t> ReadBack(const std::string& path, int channels) {
  C_WaveIO w;
  std::vector<int16_t> out;
  if (!w.InOpen(path.c_str())) return out;
  std::vector<int16_t> buf(4096 * channels);
  int frames;
  while ((frames = w.ReadRawBlocks(buf.data(), int(buf.size() * 2))) > 0)
    out.insert(out.end(), buf.begin(), buf.begin() + frames * channels);
  return out;
}

TEST(WaveRecording, InputAndOutputFilesAsSoxReadsThem) {
  const struct {
    int mode;
    int downsampled;  // WaveSaveDownsampled with WaveSaveSampleRate 5512
    const char* title;
    int rate;
  } cases[] = {
      {WAVE_LOG_INPUT, 0, "Log audio input as Wave-file (11025 samples/sec)", 11025},
      {WAVE_LOG_OUTPUT, 0, "Log audio output as Wave-file (11025 samples/sec)", 11025},
      {WAVE_LOG_INPUT, 1, "Log audio input as Wave-file (5512 samples/sec)", 5512},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    vt_test::TempDir dir;
    Fixture f;
    SndConfig.WaveSaveDownsampled = c.downsampled;
    SndConfig.WaveSaveSampleRate = 5512;
    const std::string path = dir.file("rec.wav");
    f.host.saveAnswer = path;
    f.rec.ChooseWaveRecordFile(c.mode);
    EXPECT_EQ(f.host.lastTitle, c.title);
    ASSERT_TRUE(f.rec.IsRecording());
    EXPECT_EQ(g_WaveLogState.load(), c.mode);
    std::string text;
    EXPECT_EQ(WaveFileStatusText(nullptr, &f.rec, &text), 3);
    EXPECT_EQ(text, "Logging 0 kB");

    const auto tone = Tones(11025, 5.0, {440.0}, 12000.0);  // 55,125 samples
    FeedReal(tone, f.rec);
    f.rec.ChooseWaveRecordFile(c.mode);  // the menu item again stops the recording
    EXPECT_FALSE(f.rec.IsRecording());
    EXPECT_EQ(f.host.savesAsked, 1);

    // Every sample reaches the file: the whole buffers of 16,384 samples while recording,
    // the one being filled when the recording stops.
    const int produced = c.downsampled ? int(tone.size()) / 2 : int(tone.size());
    const int expected = produced;
    EXPECT_EQ(SoxInfo("-r", path), std::to_string(c.rate));
    EXPECT_EQ(SoxInfo("-c", path), "1");
    EXPECT_EQ(SoxInfo("-s", path), std::to_string(expected));
    const auto back = ReadBack(path, 1);
    ASSERT_EQ(int(back.size()), expected);
    if (!c.downsampled) {
      EXPECT_TRUE(std::equal(back.begin(), back.end(), tone.begin()));
    } else {
      // Pairs averaged and truncated toward zero.
      for (int i = 0; i < expected; ++i)
        ASSERT_EQ(back[i], int16_t((tone[2 * i] + tone[2 * i + 1]) / 2.0)) << i;
    }
  }
}

TEST(WaveRecording, DecimatedIqPairsFromTheRing) {
  vt_test::TempDir dir;
  Fixture f;
  SndConfig.ComplexFFT = 1;
  InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, 1, 0.0);
  const std::string path = dir.file("iq.wav");
  ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_IQ, path));
  // Pairs at 11,025 per second: buffers hold 10 s, so 16,384 values = 8,192 pairs each.
  std::vector<int16_t> sent;
  double block[4096];
  for (int b = 0; b < 12; ++b) {
    for (int i = 0; i < 2048; ++i) {
      const int k = b * 2048 + i;
      block[2 * i] = std::lround(9000 * std::cos(2 * M_PI * 700 * k / 11025.0));
      block[2 * i + 1] = std::lround(9000 * std::sin(2 * M_PI * 700 * k / 11025.0));
      sent.push_back(int16_t(block[2 * i]));
      sent.push_back(int16_t(block[2 * i + 1]));
    }
    BigBufferWrite(&g_BigBuffers[0], false, true, 0.0, block, 4096);
    f.rec.FlushWaveRecordBuffers();
  }
  f.rec.StopWaveRecording();
  const int pairs = 12 * 2048 / 8192 * 8192;
  EXPECT_EQ(SoxInfo("-r", path), "11025");
  EXPECT_EQ(SoxInfo("-c", path), "2");
  EXPECT_EQ(SoxInfo("-s", path), std::to_string(pairs));
  const auto back = ReadBack(path, 2);
  ASSERT_EQ(int(back.size()), 2 * pairs);
  EXPECT_TRUE(std::equal(back.begin(), back.end(), sent.begin()));
}

// Ring 0 holds I/Q pairs only with the complex FFT: with a real one an I/Q recording is refused
// (from the menu before the file dialog, from the interpreter with the reason) and no file is
// made; one running when the FFT turns real ends and keeps the pairs it took.
TEST(WaveRecording, DecimatedIqOnlyWithTheComplexFft) {
  vt_test::TempDir dir;
  Fixture f;
  SndConfig.ComplexFFT = 0;
  const std::string path = dir.file("iq.wav");
  f.host.saveAnswer = path;
  f.rec.ChooseWaveRecordFile(WAVE_LOG_IQ);
  EXPECT_EQ(f.host.savesAsked, 0);
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_NE(f.host.messages[0].find("complex FFT"), std::string::npos) << f.host.messages[0];
  EXPECT_FALSE(f.rec.IsRecording());
  std::string reason;
  EXPECT_FALSE(f.rec.StartWaveRecording(WAVE_LOG_IQ, path, &reason));
  EXPECT_NE(reason.find("complex FFT"), std::string::npos) << reason;
  EXPECT_FALSE(std::filesystem::exists(path));

  // A refused I/Q request leaves a running recording alone.
  ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, dir.file("in.wav")));
  EXPECT_FALSE(f.rec.StartWaveRecording(WAVE_LOG_IQ, path, &reason));
  EXPECT_TRUE(f.rec.IsRecording());
  EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_INPUT);
  f.rec.StopWaveRecording();
  EXPECT_FALSE(std::filesystem::exists(path));

  SndConfig.ComplexFFT = 1;
  InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, 1, 0.0);
  ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_IQ, path));
  std::vector<int16_t> sent;
  double block[4096];
  for (int i = 0; i < 4096; ++i) {
    block[i] = (i * 7) % 20000 - 10000;
    sent.push_back(int16_t(block[i]));
  }
  BigBufferWrite(&g_BigBuffers[0], false, true, 0.0, block, 4096);
  SndConfig.ComplexFFT = 0;
  f.rec.FlushWaveRecordBuffers();
  EXPECT_FALSE(f.rec.IsRecording());
  EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_OFF);
  ASSERT_EQ(f.host.logs.size(), 1u);
  EXPECT_EQ(f.host.logs[0], "I/Q recording stopped: the FFT is no longer complex.");
  EXPECT_EQ(ReadBack(path, 2), sent);
}

TEST(WaveRecording, FailuresAndLostBuffers) {
  vt_test::TempDir dir;
  Fixture f;
  // A file that cannot be created.
  EXPECT_FALSE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, dir.file("no/such/dir.wav")));
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(g_WaveLogState.load(), 0);
  EXPECT_FALSE(f.rec.StartWaveRecording(7, dir.file("x.wav")));
  // Cancel in the save dialog records nothing.
  f.rec.ChooseWaveRecordFile(WAVE_LOG_INPUT);
  EXPECT_FALSE(f.rec.IsRecording());

  // Both buffers full when the GUI comes: the older is written first, nothing is reported.
  ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, dir.file("r.wav")));
  std::vector<double> ramp(4096);
  for (int b = 0; b < 8; ++b) {  // 32,768 samples: A then B full
    for (int i = 0; i < 4096; ++i) ramp[i] = (b * 4096 + i) % 30000;
    WaveLogDecimate(&g_WaveLogDecimator[0], ramp.data(), 4096);
  }
  f.rec.FlushWaveRecordBuffers();
  f.rec.FlushWaveRecordBuffers();
  f.rec.StopWaveRecording();
  const auto back = ReadBack(dir.file("r.wav"), 1);
  ASSERT_EQ(back.size(), 32768u);
  for (int i = 0; i < 32768; ++i) ASSERT_EQ(back[i], i % 30000) << i;
  EXPECT_TRUE(f.host.logs.empty());
}

// SndConfig.MaxFileSize ("stop saving if file exceeds ... kB"): the recording writes what
// still fits, stops by itself and leaves a file of at most the limit with its header stating
// what it holds; the debug messages and the idle progress button say why, no message box.
// Buffers hold 16,384 values (32,768 bytes). 0 means no limit.
TEST(WaveRecording, RecordingStopsAtTheFileSizeLimit) {
  const struct {
    const char* name;
    int mode;
    int format;
    int limitKb;
    int feedValues;     // values handed to the recorder
    bool stopFromMenu;  // the rest is written by the stop (the buffer being filled)
    int64_t size;       // file length expected
  } cases[] = {
      // 44 + 32,768 after the first buffer; 18,388 bytes of the second still fit.
      {"input, RIFF", WAVE_LOG_INPUT, C_WaveIO::FORMAT_RIFF, 50, 5 * 16384, false, 51200},
      {"output, raw", WAVE_LOG_OUTPUT, C_WaveIO::FORMAT_RAW, 50, 5 * 16384, false, 51200},
      {"I/Q pairs, RIFF", WAVE_LOG_IQ, C_WaveIO::FORMAT_RIFF, 41, 5 * 16384, false, 41984},
      // One buffer written, 3,616 values waiting when the menu stops it: 4,052 bytes fit.
      {"input, limit met by the stop", WAVE_LOG_INPUT, C_WaveIO::FORMAT_RIFF, 36, 20000, true,
       36864},
      {"input, limit just right", WAVE_LOG_INPUT, C_WaveIO::FORMAT_RIFF, 40, 20000, true,
       44 + 2 * 20000},
      {"no limit", WAVE_LOG_INPUT, C_WaveIO::FORMAT_RIFF, 0, 5 * 16384, false,
       44 + 5 * 2 * 16384},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    vt_test::TempDir dir;
    Fixture f;
    SndConfig.WaveFileFormat = c.format;
    SndConfig.MaxFileSize = c.limitKb;
    SndConfig.ComplexFFT = c.mode == WAVE_LOG_IQ;
    InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, 1, 0.0);
    const std::string path = dir.file("limited.wav");
    ASSERT_TRUE(f.rec.StartWaveRecording(c.mode, path));
    std::vector<int16_t> sent;
    double block[4096];
    for (int at = 0; at < c.feedValues; at += 4096) {
      const int n = std::min(4096, c.feedValues - at);
      for (int i = 0; i < n; ++i) {
        block[i] = ((at + i) * 13) % 20000 - 10000;
        sent.push_back(int16_t(block[i]));
      }
      if (c.mode == WAVE_LOG_IQ)
        BigBufferWrite(&g_BigBuffers[0], false, true, 0.0, block, n);
      else if (g_WaveLogState.load() != WAVE_LOG_OFF)
        WaveLogDecimate(&g_WaveLogDecimator[0], block, n);
      f.rec.FlushWaveRecordBuffers();
    }
    const bool limited = c.size < 44 + 2 * int64_t{c.feedValues};
    EXPECT_EQ(f.rec.IsRecording(), c.stopFromMenu || !limited);
    if (f.rec.IsRecording()) f.rec.StopWaveRecording();
    EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_OFF);
    EXPECT_FALSE(g_pRecordWaveFile->IsOpenForWrite());

    const int64_t size = int64_t(std::filesystem::file_size(path));
    EXPECT_EQ(size, c.size);
    if (c.limitKb > 0) {
      EXPECT_LE(size, c.limitKb * 1024);
    }
    const int channels = c.mode == WAVE_LOG_IQ ? 2 : 1;
    const int64_t header = c.format == C_WaveIO::FORMAT_RIFF ? 44 : 0;
    const size_t values = size_t((size - header) / 2);
    if (c.format == C_WaveIO::FORMAT_RIFF) {
      // The header states what the file holds: sox and the program's own reader agree.
      EXPECT_EQ(SoxInfo("-t", path), "wav");
      EXPECT_EQ(SoxInfo("-s", path), std::to_string(values / channels));
      const auto back = ReadBack(path, channels);
      ASSERT_EQ(back.size(), values);
      EXPECT_TRUE(std::equal(back.begin(), back.end(), sent.begin()));
    }
    EXPECT_TRUE(f.host.messages.empty()) << f.host.messages[0];
    std::string text;
    EXPECT_EQ(WaveFileStatusText(nullptr, &f.rec, &text), 0);
    if (limited) {
      ASSERT_EQ(f.host.logs.size(), 1u);
      EXPECT_EQ(f.host.logs[0], "Recording to \"" + path +
                                    "\" stopped: the file reached its size limit of " +
                                    std::to_string(c.limitKb) + " kB.");
      EXPECT_EQ(text, "Logging stopped: " + std::to_string(c.limitKb) + " kB limit");
      // The next recording starts afresh.
      ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, dir.file("next.wav")));
      EXPECT_EQ(WaveFileStatusText(nullptr, &f.rec, &text), 3);
      EXPECT_EQ(text, "Logging 0 kB");
      f.rec.StopWaveRecording();
      EXPECT_EQ(WaveFileStatusText(nullptr, &f.rec, &text), 0);
      EXPECT_EQ(text, "");
    } else {
      EXPECT_TRUE(f.host.logs.empty());
      EXPECT_EQ(text, "");
    }
  }
}

// Records in a child process that is killed (or runs into a full disk) part-way.
TEST(WaveRecording, CutOffRecordingLeavesAReadableFile) {
  vt_test::TempDir dir;
  const std::string path = dir.file("killed.wav");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(fds[0]);
    Fixture f;
    if (!f.rec.StartWaveRecording(WAVE_LOG_INPUT, path)) _exit(2);
    const auto tone = Tones(11025, 1.0, {440.0}, 12000.0);
    double block[4096];
    for (int b = 0;; ++b) {
      for (int i = 0; i < 4096; ++i) block[i] = tone[(b * 4096 + i) % tone.size()];
      WaveLogDecimate(&g_WaveLogDecimator[0], block, 4096);
      f.rec.FlushWaveRecordBuffers();
      if (b == 20) {  // 81,920 samples given, 5 buffers written, then wait to be killed
        const char c = 'x';
        if (write(fds[1], &c, 1) != 1) _exit(3);
        pause();
      }
    }
  }
  close(fds[1]);
  char c = 0;
  ASSERT_EQ(read(fds[0], &c, 1), 1);
  close(fds[0]);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(SoxInfo("-r", path), "11025");
  EXPECT_EQ(SoxInfo("-s", path), std::to_string(5 * 16384));
  EXPECT_EQ(wave_test::Run("sox '" + path + "' -n stat 2>&1 | grep -c 'Samples read'"), "1");
  EXPECT_EQ(ReadBack(path, 1).size(), 5u * 16384);
}

TEST(WaveRecording, FullDiskStopsTheRecordingWithAMessage) {
  vt_test::TempDir dir;
  const std::string path = dir.file("full.wav");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The file may not grow past 100,000 bytes: room for the header and three buffers.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim {100000, 100000};
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(2);
    Fixture f;
    if (!f.rec.StartWaveRecording(WAVE_LOG_INPUT, path)) _exit(3);
    std::vector<double> block(4096, 1000.0);
    for (int b = 0; b < 40 && f.rec.IsRecording(); ++b) {
      WaveLogDecimate(&g_WaveLogDecimator[0], block.data(), 4096);
      f.rec.FlushWaveRecordBuffers();
    }
    if (f.rec.IsRecording()) _exit(4);             // wrote on
    if (f.host.messages.size() != 1) _exit(5);     // no message
    if (f.host.messages[0].find("full.wav") == std::string::npos) _exit(6);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(SoxInfo("-s", path), std::to_string(3 * 16384));
  const auto back = ReadBack(path, 1);
  ASSERT_EQ(back.size(), 3u * 16384);
  EXPECT_EQ(back.back(), 1000);
}


// Frequency of the tone in channel 1 of a wave file as sox reads it: sox prints each frame with
// its time, taken from the header's rate; the rising zero crossings (interpolated) over the
// time between the first and the last give the frequency. 0 without two crossings.
double SoxToneFrequency(const std::string& path) {
  const std::string text = Run("sox '" + path + "' -t dat - 2>/dev/null");
  std::istringstream lines(text);
  std::string line;
  double prevT = 0, prevV = 0, first = -1, last = -1;
  int crossings = 0;
  bool havePrev = false;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == ';') continue;
    std::istringstream row(line);
    double t, v;
    if (!(row >> t >> v)) continue;
    if (havePrev && prevV < 0 && v >= 0) {
      const double at = prevT + (t - prevT) * (-prevV) / (v - prevV);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
    prevT = t, prevV = v, havePrev = true;
  }
  return crossings >= 2 && last > first ? (crossings - 1) / (last - first) : 0.0;
}

// Settings for the audio thread with no device: the generator puts a 500 Hz tone into the
// input, halved (divisor 2 at 11,025 Hz: the chain runs at 5,512.5 Hz), with no filter and no
// mixer in the way.
void HalvedToneInputSettings() {
  SetMainThread();
  ResetSoundThdMessageQueue();
  SndConfig.SampleRate = 11025;
  SndConfig.SampleRateDivisor = 2;
  SndConfig.StartSoundInput = 0;
  SndConfig.StartSoundOutput = 0;
  SndConfig.StartSignalGenerator = 1;
  SndConfig.NoiseOn = 0;
  vt_test::SetSingleGeneratorTone(500.0, 0.3);
  SndConfig.ConnectGeneratorToInput = 1;
  SndConfig.GeneratorChannelMask = 0;
  SndConfig.StartDigitalFilter = 0;
  SndConfig.DigitalFilterBypass = 3;
  SndConfig.FreqMixerEnabled = false;
}

// An 11,025 Hz card with the complex FFT (anti-aliased input) and ring 0 decimated by the
// divisor, recordings without a size limit: the set-up of the off-line I/Q recording tests.
void IqAnalysisSettings(int rateDivisor) {
  SndConfig.SampleRate = 11025;
  SndConfig.RateDivisor = rateDivisor;
  SndConfig.ComplexFFT = 1;
  SndConfig.FftInputAntiAlias = 1;
  SndConfig.MaxFileSize = 0;
}

// The spectrum on the input at full gain, from 0 Hz with no offset (ring 0 mixed at 0 Hz, so
// an I/Q recording's I carries the tone).
void SpectrumOfTheInputSettings() {
  SndConfig.Gain[0] = 1.0;
  SndConfig.ConnectSpectrumToInput = 1;
  SndConfig.FreqMin = 0;
  SndConfig.FreqMax = 0;
  SndConfig.FreqOffset = 0;
}

// The audio thread's globals as at start-up (no thread, no device opened); Start() starts the
// thread. Declared after the recorder's fixture, so the thread ends before the recorder goes.
struct SoundThreadRun {
  CWaveRecorder& rec;
  explicit SoundThreadRun(CWaveRecorder& r) : rec(r) {
    InitPreciseClock();
    InitSoundThdGlobals();
    g_pSound.store(new CSound);
  }
  ~SoundThreadRun() {
    TerminateSoundThread();
    CleanupSoundThread();
  }
  void Start() {  // "Start Sound Thread"
    g_pSoundThread = new TSoundThread(true);
    g_pSoundThread->Resume();
  }
  // Lets the thread run the given number of passes, the main thread synchronising and
  // flushing the recording meanwhile. False when they did not come within 20 s.
  bool RunPasses(uint32_t passes) {
    const uint32_t start = g_SndThdLoopCount;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_SndThdLoopCount - start < passes) {
      if (std::chrono::steady_clock::now() > end) return false;
      CheckSynchronize(5);
      rec.FlushWaveRecordBuffers();
    }
    return true;
  }
};

// The audio thread records with the input halved (divisor 2 at 11,025 Hz: the chain runs at
// 5,512.5 Hz) while the generator puts a 500 Hz tone into the input: the input, the output and
// the I/Q recording (ring 0 mixed at 0 Hz, so I carries the tone) each state the rate of their
// samples, 5,512 Hz as the header holds it, and read as 500 Hz in sox.
TEST(WaveRecording, RecordingsWithInputDecimationStateTheRateOfTheirSamples) {
  vt_test::TempDir dir;
  Fixture f;
  HalvedToneInputSettings();
  SpectrumOfTheInputSettings();
  SndConfig.ComplexFFT = 1;
  SoundThreadRun thread(f.rec);
  thread.Start();
  ASSERT_TRUE(thread.RunPasses(1));
  ASSERT_EQ(g_ProcessingSampleRate.load(), 5512.5);

  for (int mode : {WAVE_LOG_INPUT, WAVE_LOG_OUTPUT, WAVE_LOG_IQ}) {
    SCOPED_TRACE(mode);
    const std::string path = dir.file("rec" + std::to_string(mode) + ".wav");
    ASSERT_TRUE(f.rec.StartWaveRecording(mode, path));
    ASSERT_TRUE(thread.RunPasses(4));  // 4 x 2,048 samples
    f.rec.StopWaveRecording();
    EXPECT_EQ(SoxInfo("-r", path), "5512");
    EXPECT_EQ(SoxInfo("-c", path), mode == WAVE_LOG_IQ ? "2" : "1");
    EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
  }
}

// A recording started before the audio thread exists (the thread not started at start-up,
// divisor 2 at 11,025 Hz): its header states the processing rate, 5,512 Hz, and once the
// thread is started it records the thread's samples (a 500 Hz tone reads 500 Hz) rather than
// staying empty.
TEST(WaveRecording, RecordingStartedBeforeTheThreadGetsItsSamplesAtItsRate) {
  vt_test::TempDir dir;
  Fixture f;
  HalvedToneInputSettings();
  SndConfig.ComplexFFT = 0;
  SoundThreadRun thread(f.rec);  // the start-up: no thread, no device opened
  const std::string path = dir.file("early.wav");
  ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, path));
  thread.Start();
  ASSERT_TRUE(thread.RunPasses(4));
  f.rec.StopWaveRecording();
  EXPECT_EQ(SoxInfo("-r", path), "5512");
  EXPECT_GE(std::atoi(SoxInfo("-s", path).c_str()), 3 * 2048);
  EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
}

// Pairs of a live input (a real tone mixed at 0 Hz: I carries it) written into ring 0 as the
// audio thread does, the recorder emptying its buffers before each block.
void FeedLivePairs(const std::vector<int16_t>& s, CWaveRecorder& rec) {
  double block[4096];
  for (size_t at = 0; at < s.size(); at += 4096) {
    const int n = int(std::min<size_t>(4096, s.size() - at));
    for (int i = 0; i < n; ++i) block[i] = s[at + i];
    rec.WriteFullBuffers();
    BigBufferWrite(&g_BigBuffers[0], true, true, 0.0, block, n);
  }
}

// Runs the off-line analysis of `in` to its end (the recorder keeps up with its pairs).
void AnalyseToEnd(CWaveAnalysis& analysis, CWaveRecorder& rec) {
  int steps = 0;
  while (analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines) && ++steps < 10000)
    rec.FlushWaveRecordBuffers();
}

// An I/Q recording started during the off-line analysis of a file whose rate differs from the
// card's holds the file's pairs (the file's rate over the analysis' decimation): its header
// states that rate and a 500 Hz tone of the file reads as 500 Hz in sox. Stopped by the user
// during the analysis it ends quietly; when the analysis ends first and the live pairs come at
// another rate, the recording ends there with a message.
TEST(WaveRecording, IqRecordingStartedDuringAnAnalysisStatesTheRateOfItsPairs) {
  const struct {
    const char* what;
    double fileRate;
    int rateDivisor;       // ring 0's decimation at the card's 11,025 Hz
    const char* header;    // the rate sox reads
    bool analysisEndsIt;   // the analysis ends while the recording runs
    bool endsWithMessage;  // ... at another pair rate than the file's
  } cases[] = {
      {"44100 Hz file, decimation 4, stopped by the user", 44100, 1, "11025", false, false},
      {"44100 Hz file, decimation 4, analysis ends: live pairs at the same rate", 44100, 1,
       "11025", true, false},
      {"44100 Hz file, ring decimation 2: file decimated by 8", 44100, 2, "5512", false, false},
      {"8000 Hz file, no decimation, analysis ends: live pairs at 11025 Hz", 8000, 1, "8000",
       true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vt_test::TempDir dir;
    Fixture f;
    IqAnalysisSettings(c.rateDivisor);
    CSpectrumLineProducer lines(nullptr, &g_BigBuffers[0]);
    lines.History.Allocate(200);
    CWaveAnalysis analysis(&f.host, &lines);
    analysis.Recorder = &f.rec;
    InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, c.rateDivisor, 0.0);

    const std::string in = dir.file("in.wav"), path = dir.file("iq.wav");
    ASSERT_TRUE(WriteWave(in, c.fileRate, 1, Tones(c.fileRate, 6.0, {500.0}, 9000.0)));
    f.host.openAnswer = in;
    analysis.ChooseFileForAnalysis(false);
    ASSERT_TRUE(analysis.IsAnalyzingWaveFile());
    ASSERT_TRUE(analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
    ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_IQ, path));
    if (c.analysisEndsIt) {
      AnalyseToEnd(analysis, f.rec);
      analysis.StopWaveFileAnalysis();
      EXPECT_EQ(f.rec.IsRecording(), !c.endsWithMessage);
      f.rec.StopWaveRecording();
    } else {
      for (int i = 0; i < 5; ++i) {  // 2.5 s of the file's 6 s
        ASSERT_TRUE(analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines));
        f.rec.FlushWaveRecordBuffers();
      }
      f.rec.StopWaveRecording();
      analysis.StopWaveFileAnalysis();
    }
    analysis.Recorder = nullptr;
    EXPECT_EQ(SoxInfo("-r", path), c.header);
    EXPECT_EQ(SoxInfo("-c", path), "2");
    EXPECT_GE(std::atof(SoxInfo("-D", path).c_str()), 1.0);
    EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
    if (c.endsWithMessage) {
      ASSERT_EQ(f.host.messages.size(), 1u);
      EXPECT_NE(f.host.messages[0].find("from 8000 to 11025 samples/sec"), std::string::npos)
          << f.host.messages[0];
      EXPECT_EQ(f.rec.EndNote, "Logging stopped: I/Q rate changed");
    } else {
      EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
    }
  }
  SndConfig.ComplexFFT = 0;
}

// An I/Q recording of live pairs (11,025 Hz, a 500 Hz tone) running when an off-line analysis
// starts: at the same pair rate it goes on with the file's pairs; at another rate it ends with
// the live pairs and a message, so its header never misstates what it holds.
TEST(WaveRecording, IqRecordingRunningWhenAnAnalysisStartsKeepsOneRate) {
  const struct {
    const char* what;
    double fileRate;
    bool continues;
  } cases[] = {
      {"44100 Hz file decimated by 4: pairs at 11025 Hz as live", 44100, true},
      {"8000 Hz file: pairs at 8000 Hz", 8000, false},
      {"33075 Hz file decimated by 3: pairs at 11025 Hz as live", 33075, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vt_test::TempDir dir;
    Fixture f;
    IqAnalysisSettings(1);
    CSpectrumLineProducer lines(nullptr, &g_BigBuffers[0]);
    lines.History.Allocate(200);
    CWaveAnalysis analysis(&f.host, &lines);
    analysis.Recorder = &f.rec;
    InitBigBufferDecimation(&g_BigBuffers[0], 11025.0, 1, 0.0);

    const std::string in = dir.file("in.wav"), path = dir.file("iq.wav");
    ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_IQ, path));
    const auto live = Tones(11025.0, 3.0, {500.0}, 9000.0);
    FeedLivePairs(live, f.rec);
    const int64_t livePairs = int64_t(g_BigBuffers[0].TotalCount.load() / 2);
    ASSERT_EQ(livePairs, int64_t(live.size()));

    ASSERT_TRUE(WriteWave(in, c.fileRate, 1, Tones(c.fileRate, 3.0, {500.0}, 9000.0)));
    f.host.openAnswer = in;
    analysis.ChooseFileForAnalysis(false);
    ASSERT_TRUE(analysis.IsAnalyzingWaveFile());
    AnalyseToEnd(analysis, f.rec);
    const int64_t filePairs = int64_t(g_BigBuffers[0].TotalCount.load() / 2);
    ASSERT_GT(filePairs, 0);
    EXPECT_EQ(f.rec.IsRecording(), c.continues);
    analysis.StopWaveFileAnalysis();
    f.rec.StopWaveRecording();
    analysis.Recorder = nullptr;

    EXPECT_EQ(SoxInfo("-r", path), "11025");
    EXPECT_EQ(std::atoll(SoxInfo("-s", path).c_str()), livePairs + (c.continues ? filePairs : 0));
    EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
    if (c.continues) {
      EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
    } else {
      ASSERT_EQ(f.host.messages.size(), 1u);
      EXPECT_NE(f.host.messages[0].find("I/Q recording to \"" + path + "\" stopped"),
                std::string::npos)
          << f.host.messages[0];
      EXPECT_NE(f.host.messages[0].find("from 11025 to"), std::string::npos)
          << f.host.messages[0];
    }
  }
  SndConfig.ComplexFFT = 0;
}

// The values a recording holds so far: in its file and in the decimator's two buffers.
int64_t LoggedValues(const CWaveRecorder& rec) {
  const WaveLogDecimator& d = g_WaveLogDecimator[0];
  return (rec.FileOffset() - 44) / 2 + d.FillA.load() + d.FillB.load();
}

// A live recording while the input divisor goes from 1 to 2 (11,025 Hz to 5,512.5 Hz), as
// Apply in the configuration dialog writes it: the audio thread runs at the new rate for some
// passes before the main window takes the change in (new processing rate, ring 0 set up anew)
// and asks the recorder. The audio thread adds none of its blocks at the new rate meanwhile;
// the recording then ends with a message, its header stating the rate of what it holds.
TEST(WaveRecording, LiveRecordingEndsWhenTheInputDivisorChanges) {
  for (int mode : {WAVE_LOG_INPUT, WAVE_LOG_IQ}) {
    SCOPED_TRACE(mode);
    vt_test::TempDir dir;
    Fixture f;
    HalvedToneInputSettings();
    SndConfig.SampleRateDivisor = 1;
    SndConfig.RateDivisor = 1;
    SpectrumOfTheInputSettings();
    SndConfig.ComplexFFT = mode == WAVE_LOG_IQ;
    SndConfig.MaxFileSize = 0;
    SoundThreadRun thread(f.rec);
    thread.Start();
    ASSERT_TRUE(thread.RunPasses(1));
    ASSERT_EQ(g_ProcessingSampleRate.load(), 11025.0);

    const std::string path = dir.file("rec.wav");
    ASSERT_TRUE(f.rec.StartWaveRecording(mode, path));
    ASSERT_TRUE(thread.RunPasses(4));
    SndConfig.SampleRateDivisor = 2;
    // Passes at the new rate before the main window sees the change: they add nothing.
    ASSERT_TRUE(thread.RunPasses(2));
    const int64_t held = LoggedValues(f.rec);
    ASSERT_TRUE(thread.RunPasses(10));
    EXPECT_EQ(LoggedValues(f.rec), held);
    EXPECT_TRUE(f.host.messages.empty());
    // What the main window does with the applied configuration.
    ASSERT_EQ(CalcEffectiveSampleRates(), 5512.5);
    InitBigBufferDecimation(&g_BigBuffers[0], g_ProcessingSampleRate, SndConfig.RateDivisor, 0.0);
    EXPECT_TRUE(f.rec.EndRecordingAtNewRate());
    EXPECT_FALSE(f.rec.IsRecording());
    const std::string size = SoxInfo("-s", path);
    ASSERT_TRUE(thread.RunPasses(2));
    EXPECT_EQ(SoxInfo("-s", path), size);

    EXPECT_EQ(SoxInfo("-r", path), "11025");
    EXPECT_GE(std::atoi(size.c_str()), 2 * 4096);
    EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_NE(f.host.messages[0].find("from 11025 to 5512 samples/sec"), std::string::npos)
        << f.host.messages[0];
    EXPECT_NE(f.host.messages[0].find("\"" + path + "\" stopped"), std::string::npos)
        << f.host.messages[0];
    EXPECT_EQ(f.rec.EndNote, mode == WAVE_LOG_IQ ? "Logging stopped: I/Q rate changed"
                                                 : "Logging stopped: sample rate changed");
  }
  SndConfig.ComplexFFT = 0;
}

// The same with the divisor set back before the main window looks (Apply with no change of
// rate in the end): the audio thread paused the recording; at the unchanged rate it goes on.
TEST(WaveRecording, LiveRecordingGoesOnWhenTheRateIsTheSame) {
  vt_test::TempDir dir;
  Fixture f;
  HalvedToneInputSettings();
  SndConfig.SampleRateDivisor = 1;
  SndConfig.ComplexFFT = 0;
  SndConfig.MaxFileSize = 0;
  SoundThreadRun thread(f.rec);
  thread.Start();
  ASSERT_TRUE(thread.RunPasses(1));
  const std::string path = dir.file("rec.wav");
  ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, path));
  ASSERT_TRUE(thread.RunPasses(2));
  EXPECT_FALSE(f.rec.EndRecordingAtNewRate());  // nothing changed
  SndConfig.SampleRateDivisor = 2;
  ASSERT_TRUE(thread.RunPasses(2));
  SndConfig.SampleRateDivisor = 1;
  ASSERT_TRUE(thread.RunPasses(2));
  ASSERT_EQ(CalcEffectiveSampleRates(), 11025.0);
  EXPECT_FALSE(f.rec.EndRecordingAtNewRate());
  EXPECT_TRUE(f.rec.IsRecording());
  const int64_t before = f.rec.FileOffset();
  ASSERT_TRUE(thread.RunPasses(12));
  f.rec.StopWaveRecording();
  EXPECT_GT(std::atoll(SoxInfo("-s", path).c_str()) * 2, before - 44 + 4 * 4096 * 2);
  EXPECT_EQ(SoxInfo("-r", path), "11025");
  EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
  EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
}

// The audio thread on a card whose input buffers the test fills one at a time (fake device 0),
// so that every pass takes exactly one block and the test knows the device rate and the
// halving stages of each block.
struct CardPasses {
  CFakeWaveBackend fake;
  CWaveRecorder& rec;
  int64_t cardSample = 0;  // card samples handed in so far (the tone runs on over them)
  explicit CardPasses(CWaveRecorder& r) : rec(r) {
    MachineConfig.AudioInputDevID = 0;
    SndConfig.StartSoundInput = 1;
    SndConfig.StartSoundOutput = 0;
  }
  int Opens() {
    const std::vector<std::string> log = fake.Log(true);
    return int(std::count(log.begin(), log.end(), "open"));
  }
  // One block of a 500 Hz tone at the card's rate: waits (serving the thread's synchronise
  // calls and flushing the recording) until the input has a buffer queued, fills it, and
  // returns once the thread has finished that pass. With reopen the pass reopens the input
  // first (a buffer filled before would go with the old device). False after 20 s.
  bool Pass(bool reopen = false) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fake.Queued(true) == 0 || (reopen && Opens() == opensAtLastPass)) {
      if (std::chrono::steady_clock::now() > end) return false;
      CheckSynchronize(1);
      rec.FlushWaveRecordBuffers();
    }
    // A block that came at once after the last one would count as a fault (a pass under
    // 46 ms): the card hands its blocks over no faster than 60 ms apart.
    const auto due = lastPassEnd + std::chrono::milliseconds(60);
    while (std::chrono::steady_clock::now() < due) CheckSynchronize(1);
    const uint32_t passes = g_SndThdLoopCount;
    const double rate = g_SoundFormat.nSamplesPerSec;
    const int64_t first = cardSample;
    fake.CompleteInput(1, [&](int, uint32_t i) {
      const double v = 9000.0 * std::sin(2 * M_PI * 500.0 * double(first + i / 2) / rate);
      const int16_t x = int16_t(std::lround(v));
      return char(i % 2 == 0 ? (x & 0xFF) : ((x >> 8) & 0xFF));
    });
    cardSample += 4096;
    while (g_SndThdLoopCount == passes) {
      if (std::chrono::steady_clock::now() > end) return false;
      CheckSynchronize(1);
      rec.FlushWaveRecordBuffers();
    }
    opensAtLastPass = Opens();
    lastPassEnd = std::chrono::steady_clock::now();
    return true;
  }
  int opensAtLastPass = 0;  // input opens seen when the last pass ended
  std::chrono::steady_clock::time_point lastPassEnd{};
  // k passes, the first of them reopening the input when asked.
  bool Passes(int k, bool reopen = false) {
    for (int i = 0; i < k; ++i)
      if (!Pass(reopen && i == 0)) return false;
    return true;
  }
};

// Sees, through the digimode layer's hook, each change of the rate of the audio thread's blocks
// (on the GUI thread, before the first block at the new rate): the rate and the values the
// recording held then.
struct RateWatch {
  struct Seen {
    double rate;
    int64_t held;
  };
  static inline const CWaveRecorder* rec = nullptr;
  static inline std::vector<Seen> seen;
  static void Changed(double rate) { seen.push_back({rate, rec ? LoggedValues(*rec) : 0}); }
  static constexpr TSoundThdDigimodeHooks kHooks{
      [] { return false; }, [] { return false; }, [](const double*, int, double) {},
      [](double*, int, double) { return false; }, [](const double*, int, double) {}, [] {},
      Changed};
  explicit RateWatch(const CWaveRecorder& r) {
    rec = &r;
    seen.clear();
    SoundThd_SetDigimodeHooks(&kHooks);
  }
  ~RateWatch() {
    SoundThd_SetDigimodeHooks(nullptr);
    rec = nullptr;
  }
};

// Apply with the processing rate kept but the number of halving stages changed (11,025 Hz
// divisor 1 to 22,050 Hz divisor 2, 44,100 Hz divisor 4 to 11,025 Hz divisor 1) while an input
// or I/Q recording runs: it goes on with every block at its header's rate, whether the main
// window takes the change in before the audio thread's pass or after it; a block made while
// the device and the halving stages disagree (the new device rate with the old stages, or the
// other way round) does not reach the file.
TEST(WaveRecording, RecordingGoesOnAcrossAChangeOfHalvingStagesAtTheSameRate) {
  enum Order { kTickFirst, kDeviceFirst, kStagesFirst };
  const struct {
    const char* what;
    int mode, rate1, divisor1, rate2, divisor2;
    Order order;
  } cases[] = {
      {"input 11025/1 to 22050/2, main window first", WAVE_LOG_INPUT, 11025, 1, 22050, 2, kTickFirst},
      {"I/Q 11025/1 to 22050/2, new device before the stages", WAVE_LOG_IQ, 11025, 1, 22050, 2,
       kDeviceFirst},
      {"input 44100/4 to 11025/1, stages before the device", WAVE_LOG_INPUT, 44100, 4, 11025, 1,
       kStagesFirst},
      {"I/Q 44100/4 to 11025/1, main window first", WAVE_LOG_IQ, 44100, 4, 11025, 1, kTickFirst},
      {"input 11025/1 to 22050/2, stages before the device", WAVE_LOG_INPUT, 11025, 1, 22050, 2,
       kStagesFirst},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vt_test::TempDir dir;
    Fixture f;
    HalvedToneInputSettings();
    SpectrumOfTheInputSettings();
    SndConfig.StartSignalGenerator = 0;
    SndConfig.SampleRate = c.rate1;
    SndConfig.SampleRateDivisor = c.divisor1;
    SndConfig.RateDivisor = 1;
    SndConfig.ComplexFFT = c.mode == WAVE_LOG_IQ;
    SndConfig.MaxFileSize = 0;
    CardPasses card(f.rec);
    SoundThreadRun thread(f.rec);
    RateWatch watch(f.rec);
    thread.Start();
    ASSERT_TRUE(card.Passes(2));
    ASSERT_EQ(g_ProcessingSampleRate.load(), 11025.0);

    // Values one block adds at 11,025 Hz: each sample, or each sample's I/Q pair.
    const int perSample = c.mode == WAVE_LOG_IQ ? 2 : 1;
    const int64_t after = 4096 / c.divisor2 * perSample;
    const std::string path = dir.file("rec.wav");
    ASSERT_TRUE(f.rec.StartWaveRecording(c.mode, path));
    ASSERT_TRUE(card.Passes(3));
    ASSERT_EQ(LoggedValues(f.rec), 3 * 4096 / c.divisor1 * perSample);

    // The main window's part of Apply: new rates, ring 0 set up anew, the recorder asked, the
    // devices to be reopened.
    const auto mainWindowTakesItIn = [&] {
      g_SoundReopenRequest = true;
      ASSERT_EQ(CalcEffectiveSampleRates(), 11025.0);
      InitBigBufferDecimation(&g_BigBuffers[0], g_ProcessingSampleRate, SndConfig.RateDivisor,
                              0.0);
      EXPECT_FALSE(f.rec.EndRecordingAtNewRate());
    };
    if (c.order == kTickFirst) {
      SndConfig.SampleRate = c.rate2;
      SndConfig.SampleRateDivisor = c.divisor2;
      mainWindowTakesItIn();
      ASSERT_TRUE(card.Passes(3, true));
    } else {
      // Passes that see only half of the change make blocks at another rate.
      if (c.order == kDeviceFirst) {
        SndConfig.SampleRate = c.rate2;
        g_SoundReopenRequest = true;
        ASSERT_TRUE(card.Passes(3, true));
        SndConfig.SampleRateDivisor = c.divisor2;
      } else {
        SndConfig.SampleRateDivisor = c.divisor2;
        ASSERT_TRUE(card.Passes(3));
        SndConfig.SampleRate = c.rate2;
        g_SoundReopenRequest = true;
      }
      ASSERT_TRUE(card.Passes(3, c.order == kStagesFirst));
      // The main window's tick after the thread's passes.
      mainWindowTakesItIn();
      ASSERT_TRUE(card.Passes(2, true));
    }
    // From here on every pass adds its whole block.
    const uint32_t passes = g_SndThdLoopCount;
    const int64_t held = LoggedValues(f.rec);
    ASSERT_TRUE(card.Passes(4));
    EXPECT_EQ(LoggedValues(f.rec) - held, int64_t(g_SndThdLoopCount - passes) * after);
    // Nothing was added between a change to another rate and the change back.
    if (c.order != kTickFirst) {
      ASSERT_TRUE(std::any_of(RateWatch::seen.begin(), RateWatch::seen.end(),
                              [](const RateWatch::Seen& x) { return x.rate != 11025.0; }));
    }
    for (size_t i = 0; i + 1 < RateWatch::seen.size(); ++i) {
      if (RateWatch::seen[i].rate == 11025.0) continue;
      EXPECT_EQ(RateWatch::seen[i + 1].held, RateWatch::seen[i].held)
          << "blocks at " << RateWatch::seen[i].rate << " Hz reached the file";
    }
    EXPECT_TRUE(f.rec.IsRecording());
    const int64_t total = LoggedValues(f.rec);
    f.rec.StopWaveRecording();
    EXPECT_EQ(SoxInfo("-r", path), "11025");
    EXPECT_EQ(SoxInfo("-s", path), std::to_string(total / perSample));
    EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
  }
  SndConfig.ComplexFFT = 0;
  SndConfig.StartSoundInput = 0;
  MachineConfig.AudioInputDevID = -1;
}

// Without a sound device the chain runs on the generator's tone alone, paced by the thread
// itself; the main timer ends the thread's wait between blocks early every 200 ms. A recording
// of it holds the samples of its wall time, at the rate its header states (the chain once ran
// at two to four times the card's rate, and a recording of 2.5 s held 7.4 s).
TEST(WaveRecording, RecordingWithoutADeviceHoldsItsWallTime) {
  const struct {
    int rate, divisor;
    const char* header;
  } cases[] = {{11025, 1, "11025"}, {44100, 4, "11025"}, {22050, 4, "5512"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + "/" + std::to_string(c.divisor));
    vt_test::TempDir dir;
    Fixture f;
    HalvedToneInputSettings();
    SndConfig.SampleRate = c.rate;
    SndConfig.SampleRateDivisor = c.divisor;
    SndConfig.ComplexFFT = 0;
    SndConfig.MaxFileSize = 0;
    SoundThreadRun thread(f.rec);
    thread.Start();
    ASSERT_TRUE(thread.RunPasses(2));
    const std::string path = dir.file("rec.wav");
    ASSERT_TRUE(f.rec.StartWaveRecording(WAVE_LOG_INPUT, path));
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(3000);
    auto nextWake = start;
    while (std::chrono::steady_clock::now() < end) {
      if (std::chrono::steady_clock::now() >= nextWake) {
        g_pSoundThread->Wake();  // as the main timer does
        nextWake += std::chrono::milliseconds(100);
      }
      CheckSynchronize(5);
      f.rec.FlushWaveRecordBuffers();
    }
    f.rec.StopWaveRecording();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(SoxInfo("-r", path), c.header);
    const double held = std::atof(SoxInfo("-D", path).c_str());
    // Whole blocks: up to one block more (the first) than the wall time; fewer when a loaded
    // machine held the thread back (it does not catch up in a burst).
    const double block = 4096.0 / c.rate;
    EXPECT_LE(held, wall + 1.5 * block);
    EXPECT_GE(held, wall - 4.5 * block);
    EXPECT_NEAR(SoxToneFrequency(path), 500.0, 1.0);
  }
}

}  // namespace
