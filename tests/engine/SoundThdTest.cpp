// The audio thread over the loop-back device, a fake device and a wave file (no sound card).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <functional>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeWaveBackend.h"
#include "common/TestUtil.h"
#include "engine/BigSampleBuffer.h"
#include "engine/CSound.h"
#include "engine/C_WaveIO.h"
#include "engine/FreqMixer.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdHooks.h"
#include "engine/SoundThdMsgQueue.h"
#include "platform/PerfCounter.h"
#include "platform/Threads.h"
#include "platform/WaveAudio.h"

namespace {

using Clock = std::chrono::steady_clock;

class SoundThdTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetMainThread();
    ResetSoundThdMessageQueue();
    SetDefaultSettings();
    SndConfig.SampleRate = 48000;
    SndConfig.SampleRateDivisor = 1;
    SndConfig.StartSoundInput = 0;
    SndConfig.StartSoundOutput = 0;
    SndConfig.StartSignalGenerator = 0;
    SndConfig.StartDigitalFilter = 0;
    SndConfig.DigitalFilterBypass = 3;
    SndConfig.ConnectSpectrumToInput = 1;
    SndConfig.ComplexFFT = 0;
    SndConfig.RateDivisor = 1;
    SndConfig.FftInputAntiAlias = 0;
    InitPreciseClock();
    InitSoundThdGlobals();
    g_pSound.store(new CSound);
  }

  void TearDown() override
  {
    TerminateSoundThread();
    CleanupSoundThread();
    SetPerformanceCounterSource(nullptr, 0);
  }

  void Start()
  {
    g_pSoundThread = new TSoundThread(true);
    g_pSoundThread->Resume();
  }

  // Serves the thread's synchronise calls until pred holds or timeoutMs passed.
  template <class Pred>
  bool RunUntil(Pred pred, int timeoutMs = 5000)
  {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      if (pred()) return true;
      CheckSynchronize(5);
    }
    return pred();
  }

  std::vector<std::string> Messages()
  {
    std::vector<std::string> out;
    char buf[SOUND_THD_MSG_LEN];
    while (GetSoundThdMessage(buf, sizeof buf)) out.push_back(buf);
    return out;
  }

  // Input and output on fake device 0, the output playing whatever is queued at once.
  static void UseFakeCardBothWays(CFakeWaveBackend& fake)
  {
    fake.autoPlay = true;
    MachineConfig.AudioInputDevID = 0;
    MachineConfig.AudioOutputDevID = 0;
    SndConfig.StartSoundInput = 1;
    SndConfig.StartSoundOutput = 1;
  }

  static bool Contains(const std::vector<std::string>& v, const std::string& text)
  {
    for (const std::string& s : v)
      if (s == text) return true;
    return false;
  }
};

TEST_F(SoundThdTest, LoopbackCardFeedsTheBigRingWithCountsTimeStampsFlagsAndStageTimes)
{
  MachineConfig.AudioInputDevID = waveInGetNumDevs() - 1;
  MachineConfig.AudioOutputDevID = waveOutGetNumDevs() - 1;
  ASSERT_TRUE(waveIsLoopbackDevice(true, MachineConfig.AudioInputDevID));
  SndConfig.StartSoundInput = 1;
  SndConfig.StartSoundOutput = 1;
  const double before = PerfCounterToUnixTime(QueryPerformanceCounter());
  Start();
  const uint32_t startCount = g_SndThdLoopCount;
  ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount - startCount >= 4; }));

  uint64_t total = 0;
  double lastBlock = 0;
  ASSERT_TRUE(BigBufferGetIndices(&g_BigBuffers[0], &total, &lastBlock, nullptr));
  const double after = PerfCounterToUnixTime(QueryPerformanceCounter());
  EXPECT_EQ(total % kSndThdBlockSize, 0u);  // whole blocks of 4,096, one per pass
  EXPECT_GE(total, 3u * kSndThdBlockSize);
  EXPECT_GT(lastBlock, before);
  EXPECT_LE(lastBlock, after);

  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_CARD_READ].load(), 1u);
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_CARD_WRITE].load(), 1u);
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_CARD_RIGHT].load(), 0u);  // mono
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_FILTER_RAN0].load(), 0u);
  EXPECT_GT(g_SndThdStageTicks[SNDTHD_STAGE_FFT_MIX_DECIMATE].load(), 0);
  EXPECT_EQ(g_SndThdStageTicks[SNDTHD_STAGE_INPUT_DECIMATION].load(), 0);
  EXPECT_EQ(g_SndThdStageTicks[SNDTHD_STAGE_OUTPUT_INTERP].load(), 0);
  EXPECT_GT(g_pSoundThread->OutputBlocks.load(), 0);
  EXPECT_EQ(g_pSoundThread->InputErrors.load(), 0);
  EXPECT_EQ(g_ProcessedBlockLength.load(), kSndThdBlockSize);
  EXPECT_EQ(g_SndThdFaultScore.load(), 0) << "loop-back paced passes of 85 ms are healthy";

  EXPECT_TRUE(TerminateSoundThread());
  EXPECT_EQ(g_pSoundThread, nullptr);
  EXPECT_FALSE(g_pSound.load()->IsInputOpen());
  EXPECT_FALSE(g_pSound.load()->IsOutputOpen());
  const auto msgs = Messages();
  EXPECT_TRUE(Contains(msgs, "Launching Sound Thread"));
  EXPECT_TRUE(Contains(msgs, "Sound input opened, DevID=" + std::to_string(MachineConfig.AudioInputDevID)));
  EXPECT_TRUE(Contains(msgs, "Sound thread terminated 'ok'"));
  EXPECT_TRUE(Contains(msgs, "Sound thread deleted"));
}

TEST_F(SoundThdTest, WaveFileSamplesReachTheRingUnchangedAndTheEndIsReported)
{
  vt_test::TempDir dir;
  const std::string path = dir.file("ramp.wav");
  const int frames = 3 * kSndThdBlockSize + 100;  // the partial last block is dropped
  std::vector<int16_t> samples(frames);
  for (int i = 0; i < frames; ++i) samples[i] = static_cast<int16_t>((i * 7) % 20000 - 10000);
  {
    C_WaveIO w;
    ASSERT_EQ(w.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 1, 48000), 1);
    ASSERT_EQ(w.WriteSamples(samples.data(), frames * 2), frames);
    w.CloseFile();
  }
  C_WaveIO file;
  ASSERT_EQ(file.InOpen(path.c_str()), 1);
  g_pAnalysisWaveFile.store(&file);
  g_pSoundThread = new TSoundThread(true);
  g_pSoundThread->WaveInputActive = true;
  g_pSoundThread->Resume();

  ASSERT_TRUE(RunUntil([&] { return g_pSoundThread->WaveInputEnded.load(); }));
  {
    std::lock_guard<CCriticalSection> lock(g_pSoundThread->WaveInputLock);
    g_pSoundThread->WaveInputActive = false;
  }
  EXPECT_TRUE(TerminateSoundThread());
  g_pAnalysisWaveFile.store(nullptr);

  uint64_t total = 0;
  ASSERT_TRUE(BigBufferGetIndices(&g_BigBuffers[0], &total, nullptr, nullptr));
  ASSERT_GE(total, 3u * kSndThdBlockSize);
  for (int i = 0; i < 3 * kSndThdBlockSize; ++i)
    ASSERT_EQ(g_BigBuffers[0].Ring[i], samples[i]) << "sample " << i;
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_CARD_READ].load(), 0u);  // no card involved
  file.CloseFile();
}

TEST_F(SoundThdTest, FaultScoreStopsTheThreadAtTenUnderTooShortAndTooLongPasses)
{
  // The counter runs at 1,000 ticks per second and advances a fixed step per reading, so a
  // pass measures a fixed multiple of the step however fast the machine is.
  for (int64_t step : {int64_t{1}, int64_t{2000}}) {
    SCOPED_TRACE(step);
    auto ticks = std::make_shared<std::atomic<int64_t>>(0);
    SetPerformanceCounterSource([ticks, step] { return ticks->fetch_add(step) + step; }, 1000);
    Start();
    const uint32_t startCount = g_SndThdLoopCount;
    ASSERT_TRUE(RunUntil([&] {
      if (g_pSoundThread) g_pSoundThread->Wake();
      return g_SoundThdFinished.load();
    }, 20000));
    EXPECT_EQ(g_SndThdFaultScore.load(), kSndThdFaultLimit);
    EXPECT_EQ(g_SndThdLoopCount - startCount, static_cast<uint32_t>(kSndThdFaultLimit));
    EXPECT_TRUE(TerminateSoundThread());
    SetPerformanceCounterSource(nullptr, 0);
  }
}

TEST_F(SoundThdTest, ShortPassLimitFollowsTheCardRateAndScoreSteps)
{
  struct Case { uint32_t rate; int limit; };
  for (Case c : {Case{8000, 46}, Case{44100, 46}, Case{48000, 42}, Case{96000, 21},
                 Case{192000, 10}, Case{0, 46}}) {
    EXPECT_EQ(SndThd_ShortPassLimitMs(c.rate), c.limit) << c.rate;
  }
  struct Wait { uint32_t rate; int ms; };
  for (Wait w : {Wait{44100, 70}, Wait{8000, 256}, Wait{2000, 750}, Wait{192000, 70}, Wait{0, 750}})
    EXPECT_EQ(SndThd_BlockWaitMs(w.rate), w.ms) << w.rate;
  EXPECT_EQ(SndThd_NextFaultScore(0, 45, 46), 1);
  EXPECT_EQ(SndThd_NextFaultScore(3, 46, 46), 2);
  EXPECT_EQ(SndThd_NextFaultScore(3, 800, 46), 2);
  EXPECT_EQ(SndThd_NextFaultScore(3, 801, 46), 4);
  EXPECT_EQ(SndThd_NextFaultScore(0, 100, 46), 0);
  EXPECT_EQ(SndThd_NextFaultScore(0, 21, 10), 0) << "a 21 ms pass at 192 kHz is healthy";
}

TEST_F(SoundThdTest, HighRateLoopbackIsNotStoppedByTheFaultScore)
{
  SndConfig.SampleRate = 192000;  // a block lasts 21.3 ms
  MachineConfig.AudioInputDevID = waveInGetNumDevs() - 1;
  SndConfig.StartSoundInput = 1;
  Start();
  const uint32_t startCount = g_SndThdLoopCount;
  ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount - startCount >= 40 || g_SoundThdFinished; }));
  EXPECT_FALSE(g_SoundThdFinished.load());
  EXPECT_LT(g_SndThdFaultScore.load(), kSndThdFaultLimit);
}

TEST_F(SoundThdTest, RateChangeReopensTheDevices)
{
  MachineConfig.AudioInputDevID = waveInGetNumDevs() - 1;
  SndConfig.StartSoundInput = 1;
  Start();
  ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount > 0 && g_SoundFormat.nSamplesPerSec == 48000; }));
  const int resets = g_BigBufferResetCount;
  for (SineGenSettings& s : SndConfig.Sine) s.ParamsChanged = false;
  Messages();
  SndConfig.SampleRate = 44100;
  ASSERT_TRUE(RunUntil([&] { return g_SoundFormat.nSamplesPerSec == 44100; }));
  EXPECT_TRUE(g_pSound.load()->IsInputOpen());
  EXPECT_GT(g_BigBufferResetCount.load(), resets);
  EXPECT_TRUE(SndConfig.Sine[0].ParamsChanged.load());
  EXPECT_DOUBLE_EQ(g_ProcessingSampleRate.load(), MachineConfig.CalibADC[4].load());
  const auto msgs = Messages();
  EXPECT_TRUE(Contains(msgs, "Sound input closed"));
  EXPECT_TRUE(Contains(msgs, "Sound input opened, DevID=" + std::to_string(MachineConfig.AudioInputDevID)));
}

TEST_F(SoundThdTest, TerminationWhileAReadIsBlockedEndsWellWithinTheDeviceWait)
{
  CFakeWaveBackend fake;  // device 0 never delivers input
  MachineConfig.AudioInputDevID = 0;
  SndConfig.StartSoundInput = 1;
  CSound* sound = g_pSound.load();
  ASSERT_EQ(sound->WaitTimeoutMs, 2000);
  Start();
  ASSERT_TRUE(RunUntil([&] { return sound->IsInputOpen() != 0; }));
  // Wait until the pass is inside the device wait.
  ASSERT_TRUE(RunUntil([&] {
    std::lock_guard<CCriticalSection> lock(sound->Lock);
    return sound->InWaiting != 0;
  }));
  const auto t0 = Clock::now();
  EXPECT_TRUE(TerminateSoundThread());
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  // The blocked read is woken: the whole termination takes a fraction of the 2 s wait
  // (a generous bound for loaded or sanitised runs).
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(g_pSoundThread, nullptr);
  EXPECT_FALSE(sound->IsInputOpen());
  // The woken read is no device fault: no time-out was reported.
  for (const std::string& m : Messages()) EXPECT_EQ(m.find("timed out"), std::string::npos) << m;
  CleanupSoundThread();  // the fake must outlive the device
}

TEST_F(SoundThdTest, HalvedBlocksAreStretchedByRepetitionForTheCard)
{
  CFakeWaveBackend fake;
  UseFakeCardBothWays(fake);
  SndConfig.SampleRateDivisor = 2;
  SndConfig.Gain[0] = 1.0;
  Start();
  // Input: a 16-bit ramp; each completion is one block of 4,096 frames.
  auto ramp = [](int, uint32_t byte) {
    const int16_t v = static_cast<int16_t>((byte / 2) * 8 - 16000);
    return static_cast<char>(byte % 2 ? (v >> 8) : (v & 0xFF));
  };
  const size_t silent = 2 * kSndThdBlockSize * 2;  // two silent blocks follow the open
  ASSERT_TRUE(RunUntil([&] {
    fake.CompleteInput(1, ramp);
    std::lock_guard<std::mutex> lock(fake.mutex);
    return fake.played.size() >= silent + 3 * kSndThdBlockSize * 2;
  }));
  EXPECT_TRUE(TerminateSoundThread());
  std::vector<int16_t> out(fake.played.size() / 2);
  std::memcpy(out.data(), fake.played.data(), out.size() * 2);
  for (size_t i = 0; i < silent / 2; ++i) ASSERT_EQ(out[i], 0) << i;
  bool varies = false;
  for (size_t i = silent / 2; i + 1 < out.size(); i += 2) {
    ASSERT_EQ(out[i], out[i + 1]) << "frame " << i;
    varies |= out[i] != out[silent / 2];
  }
  EXPECT_TRUE(varies);
  EXPECT_EQ(g_ProcessedBlockLength.load(), kSndThdBlockSize / 2);
  EXPECT_FALSE(g_pSound.load()->IsOutputOpen());
  CleanupSoundThread();  // the fake must outlive the devices
}

TEST_F(SoundThdTest, DivisorGivesAMatchingBlockLengthAndRate)
{
  struct Case { int divisor; int block; int rateDivisor; };
  const Case cases[] = {{0, 4096, 1}, {-3, 4096, 1}, {65, 4096, 1}, {1, 4096, 1}, {2, 2048, 2},
                        {3, 2048, 2}, {4, 1024, 4}, {6, 1024, 4}, {8, 512, 8}, {16, 512, 8},
                        {64, 512, 8}};
  SndConfig.StartSignalGenerator = 1;
  SndConfig.GeneratorChannelMask = 1;
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.divisor);
    SndConfig.SampleRateDivisor = c.divisor;
    const double rate = CalcEffectiveSampleRates();
    EXPECT_DOUBLE_EQ(rate, 48000.0 / c.rateDivisor);
    const uint32_t count = g_SndThdLoopCount;
    ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount - count >= 2; }));
    EXPECT_EQ(g_ProcessedBlockLength.load(), c.block);
    // The ring restarts once for the change, then fills: a setting that is clamped does not
    // count as a new change on every pass.
    const uint64_t before = g_BigBuffers[0].TotalCount.load();
    const uint32_t now = g_SndThdLoopCount;
    ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount - now >= 2; }));
    EXPECT_GT(g_BigBuffers[0].TotalCount.load(), before);
  }
}

}  // namespace

namespace {

// Input and output on, the input delivered in bursts of three full buffers (as a sound
// server hands over what its ring holds): the thread reads them all, no overflow is counted
// or reported, and every input buffer goes back to the device (the queue is kept drained).
TEST_F(SoundThdTest, InputBurstsWithTheOutputOnAreNoOverflow)
{
  CFakeWaveBackend fake;
  UseFakeCardBothWays(fake);
  CSound* sound = g_pSound.load();
  Start();
  ASSERT_TRUE(RunUntil([&] { return fake.Queued(true) == 3; }));
  const uint32_t loops = g_SndThdLoopCount;
  // Two bursts: each pass of a burst is short, and ten short passes in a row stop the thread.
  for (int burst = 0; burst < 2; ++burst) {
    ASSERT_EQ(fake.CompleteInput(3), 3);
    ASSERT_TRUE(RunUntil([&] { return fake.Queued(true) == 3; })) << "burst " << burst;
  }
  ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount - loops >= 6; }));
  EXPECT_TRUE(TerminateSoundThread());
  EXPECT_EQ(sound->InOverflows.load(), 0);
  for (const std::string& m : Messages()) EXPECT_EQ(m.find("overflowed"), std::string::npos) << m;
  CleanupSoundThread();  // the fake must outlive the devices
}

}  // namespace

namespace {

// Serves the thread's synchronise calls and collects its messages (the queue holds only
// eleven) until pred holds; `feed` runs on every round.
template <class Pred, class Feed>
bool ServeUntil(std::vector<std::string>& msgs, Pred pred, Feed feed, int timeoutMs)
{
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buf[SOUND_THD_MSG_LEN];
  for (;;) {
    while (GetSoundThdMessage(buf, sizeof buf)) msgs.push_back(buf);
    if (pred()) return true;
    if (Clock::now() >= end) return false;
    feed();
    CheckSynchronize(5);
  }
}

bool AnyContains(const std::vector<std::string>& msgs, const std::string& part)
{
  for (const std::string& m : msgs)
    if (m.find(part) != std::string::npos) return true;
  return false;
}

// The card goes away while the thread runs (an unplugged card, an ended sound server) and
// comes back: the thread names the cause, goes on over the loop-back device, tries the
// wanted device every few seconds and takes it again when it answers, without a restart.
// Wanted as device 0 (the thread itself falls back) and as the default device (the service's
// default falls back to the loop-back device).
TEST_F(SoundThdTest, DeviceThatGoesAwayIsReplacedByTheLoopbackAndTakenAgainWhenBack)
{
  for (int wanted : {0, WAVE_MAPPER}) {
    SCOPED_TRACE(wanted);
    CFakeWaveBackend fake;
    UseFakeCardBothWays(fake);
    MachineConfig.AudioInputDevID = wanted;
    MachineConfig.AudioOutputDevID = wanted;
    ResetSoundThdMessageQueue();
    Start();
    TSoundThread* thread = g_pSoundThread;
    // Input as a card delivers it, a block every 60 ms, from whichever device is open.
    auto next = Clock::now();
    auto feed = [&] {
      if (Clock::now() < next) return;
      next += std::chrono::milliseconds(60);
      fake.CompleteInput(1);
    };
    std::vector<std::string> msgs;
    const uint32_t loops = g_SndThdLoopCount;
    ASSERT_TRUE(ServeUntil(msgs, [&] {
      return fake.OpenDeviceId(true) == 0 && fake.OpenDeviceId(false) == 0 &&
             g_SndThdLoopCount - loops >= 3;
    }, feed, 5000));
    EXPECT_FALSE(g_SoundOnLoopbackFallback.load());

    fake.Disconnect("No such device");
    ASSERT_TRUE(ServeUntil(msgs, [&] {
      return g_SoundOnLoopbackFallback.load() && fake.OpenDeviceId(true) == 1 &&
             fake.OpenDeviceId(false) == 1;
    }, feed, 5000));
    // The thread goes on over the loop-back device while the card is away.
    const uint32_t onLoopback = g_SndThdLoopCount;
    ASSERT_TRUE(ServeUntil(msgs, [&] { return g_SndThdLoopCount - onLoopback >= 3; }, feed, 5000));
    EXPECT_EQ(fake.OpenDeviceId(true), 1);

    fake.Reconnect();
    ASSERT_TRUE(ServeUntil(msgs, [&] {
      return !g_SoundOnLoopbackFallback.load() && fake.OpenDeviceId(true) == 0 &&
             fake.OpenDeviceId(false) == 0;
    }, feed, 3 * kSndThdRetryMs + 5000));
    const uint32_t back = g_SndThdLoopCount;
    ASSERT_TRUE(ServeUntil(msgs, [&] { return g_SndThdLoopCount - back >= 3; }, feed, 5000));
    EXPECT_EQ(g_pSoundThread, thread);
    EXPECT_FALSE(g_SoundThdFinished.load());
    EXPECT_TRUE(TerminateSoundThread());
    std::vector<std::string> rest = Messages();
    msgs.insert(msgs.end(), rest.begin(), rest.end());

    EXPECT_TRUE(Contains(msgs, "sound device lost (No such device) in SoundInRead"));
    EXPECT_TRUE(Contains(msgs, "sound device lost (No such device) in SoundOutWrite"));
    EXPECT_FALSE(AnyContains(msgs, "unspecified MMSYS error"));
    EXPECT_TRUE(AnyContains(msgs, "Sound device missing: \"Loop-back (no sound card)\" in use"));
    EXPECT_TRUE(Contains(msgs, "Sound input opened, DevID=1") || wanted < 0);
    EXPECT_TRUE(Contains(msgs, "Sound device answers again: reopening it"));
    EXPECT_TRUE(Contains(msgs, "Sound device is back: \"Loop-back (no sound card)\" no longer in use"));
    EXPECT_TRUE(Contains(msgs, "Sound input opened, DevID=" + std::to_string(wanted)));
    // The wanted device was probed while it was away.
    EXPECT_NE(std::find(fake.Log(true).begin(), fake.Log(true).end(), "probe"), fake.Log(true).end());
  }
}

// Analyse-and-play: the file takes the card's place as the input while the card's input stays
// open. The card's buffers are handed back unread meanwhile, so the card loses nothing and the
// change back to it is no overflow.
TEST_F(SoundThdTest, CardInputHeldDrainedWhileAFileIsPlayedIsNoOverflowAfterwards)
{
  vt_test::TempDir dir;
  const std::string path = dir.file("tone.wav");
  {
    std::vector<int16_t> samples(40 * kSndThdBlockSize, 1000);
    C_WaveIO w;
    ASSERT_EQ(w.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 1, 48000), 1);
    ASSERT_EQ(w.WriteSamples(samples.data(), static_cast<int>(samples.size()) * 2),
              static_cast<int>(samples.size()));
    w.CloseFile();
  }
  C_WaveIO file;
  ASSERT_EQ(file.InOpen(path.c_str()), 1);
  CFakeWaveBackend fake;
  MachineConfig.AudioInputDevID = 0;
  SndConfig.StartSoundInput = 1;  // no output: the file's passes are paced by the block wait
  CSound* sound = g_pSound.load();
  // The card delivers a block; with no buffer of the reader's left to fill, its own ring runs
  // over and it reports the loss.
  auto deliver = [&] {
    if (fake.CompleteInput(1) == 0) {
      std::lock_guard<std::mutex> lock(fake.mutex);
      fake.inOwner->Notify(WIM_OVERRUN, 0);
    }
  };
  g_pAnalysisWaveFile.store(&file);
  g_pSoundThread = new TSoundThread(true);
  g_pSoundThread->WaveInputActive = true;
  g_pSoundThread->Resume();
  ASSERT_TRUE(RunUntil([&] {
    return sound->IsInputOpen() && fake.Queued(true) == 3 &&
           g_SndThdBlockStats[SNDTHD_FLAG_WAVE_INPUT].load() == 1;
  }));
  // One block of the card per pass of the thread, eight passes from the file.
  for (int i = 0; i < 8; ++i) {
    deliver();
    const uint32_t loops = g_SndThdLoopCount;
    ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount != loops; })) << i;
  }
  EXPECT_EQ(sound->InOverflows.load(), 0);
  {
    std::lock_guard<CCriticalSection> lock(g_pSoundThread->WaveInputLock);
    g_pSoundThread->WaveInputActive = false;
  }
  // Back on the card: its blocks are read again.
  auto next = Clock::now();
  ASSERT_TRUE(RunUntil([&] {
    if (Clock::now() >= next && fake.Queued(true) > 0) {
      fake.CompleteInput(1);
      next += std::chrono::milliseconds(60);
    }
    return g_SndThdBlockStats[SNDTHD_FLAG_CARD_READ].load() == 1 &&
           g_SndThdBlockStats[SNDTHD_FLAG_WAVE_INPUT].load() == 0;
  }));
  const uint32_t loops = g_SndThdLoopCount;
  ASSERT_TRUE(RunUntil([&] {
    if (Clock::now() >= next && fake.Queued(true) > 0) {
      fake.CompleteInput(1);
      next += std::chrono::milliseconds(60);
    }
    return g_SndThdLoopCount - loops >= 3;
  }));
  EXPECT_TRUE(TerminateSoundThread());
  g_pAnalysisWaveFile.store(nullptr);
  EXPECT_EQ(sound->InOverflows.load(), 0);
  EXPECT_EQ(g_pSoundThread, nullptr);
  for (const std::string& m : Messages()) EXPECT_EQ(m.find("overflowed"), std::string::npos) << m;
  file.CloseFile();
  CleanupSoundThread();  // the fake must outlive the devices
}

// Input and output on one card clock, a block every 100 ms each way, but the input starts
// two blocks ahead (as when the output's queue filled first). Waiting for the output on every
// pass would keep those two blocks waiting for good, and every display that late: the thread
// leaves output blocks out until the input is read as it comes.
TEST_F(SoundThdTest, InputAheadOfAFullOutputIsCaughtUpBySkippingOutputBlocks)
{
  CFakeWaveBackend fake;  // the output plays only when the test says so
  MachineConfig.AudioInputDevID = 0;
  MachineConfig.AudioOutputDevID = 0;
  SndConfig.StartSoundInput = 1;
  SndConfig.StartSoundOutput = 1;
  Start();
  ASSERT_TRUE(RunUntil([&] { return fake.Queued(true) == 3 && fake.Queued(false) == 2; }));
  ASSERT_EQ(fake.CompleteInput(3), 3);
  // Just before each of the last blocks: the fewest blocks of the input still waiting.
  int leastWaiting = 3;
  for (int tick = 0; tick < 12; ++tick) {
    const auto next = Clock::now() + std::chrono::milliseconds(100);
    RunUntil([&] { return Clock::now() >= next; });
    if (tick >= 6) leastWaiting = std::min(leastWaiting, 3 - static_cast<int>(fake.Queued(true)));
    fake.CompleteInput(1);
    fake.CompleteOutput(1);
  }
  EXPECT_EQ(leastWaiting, 0) << "the input still lags behind";
  EXPECT_GE(g_pSoundThread->OutputSkipped.load(), 2);
  EXPECT_LT(g_pSoundThread->OutputSkipped.load(), 6) << "skipped on after catching up";
  {
    std::lock_guard<std::mutex> lock(fake.mutex);
    fake.autoPlay = true;  // the close plays out what is queued
  }
  EXPECT_TRUE(TerminateSoundThread());
  const auto msgs = Messages();
  EXPECT_TRUE(Contains(msgs, "Input ahead of output: output blocks skipped to catch up"));
  for (const std::string& m : msgs) EXPECT_EQ(m.find("overflowed"), std::string::npos) << m;
  CleanupSoundThread();  // the fake must outlive the devices
}

// The start-up sets the rates from the loaded settings, the input divisor included, before any
// device is opened: the processing rate, the mixers' tables and the rings' rate are the halved
// (quartered, ...) rate from the first moment, with and without the audio thread.
TEST_F(SoundThdTest, StartUpRatesIncludeTheInputDivisor)
{
  const struct {
    int nominal;
    int divisor;
    double processing;
  } cases[] = {
      {11025, 2, 5512.5}, {11025, 1, 11025.0}, {48000, 4, 12000.0},
      {44100, 8, 5512.5}, {8000, 3, 4000.0},   {0, 2, 5512.5},  // no usable rate: 11,025
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.nominal) + "/" + std::to_string(c.divisor));
    SndConfig.SampleRate = c.nominal;
    SndConfig.SampleRateDivisor = c.divisor;
    SndConfig.MixerFrequency = 700.0;
    SndConfig.FreqMixerEnabled = 1;
    g_ProcessingSampleRate = 1.0;  // whatever was there before
    InitSoundThdGlobals();
    EXPECT_DOUBLE_EQ(g_ProcessingSampleRate.load(), c.processing);
    EXPECT_DOUBLE_EQ(g_FreqMixers[0].TableRate, c.processing);
    EXPECT_DOUBLE_EQ(g_FreqMixers[1].TableRate, c.processing);
    EXPECT_DOUBLE_EQ(g_BigBuffers[0].InputRate, c.processing);
  }
}

// The mixers are set up at start-up at the processing rate; the thread's device opening and a
// divisor changed at run time change it: both channels' tables are rebuilt for it before the
// thread mixes at it.
TEST_F(SoundThdTest, DeviceUpdateRetunesBothMixersToTheProcessingRate)
{
  SndConfig.SampleRateDivisor = 2;
  SndConfig.MixerFrequency = 700.0;
  SndConfig.FreqMixerEnabled = 1;
  SndConfig.SecondMixer.MixerFrequency = 450.0;
  SndConfig.SecondMixer.FreqMixerEnabled = 1;
  InitSoundThdGlobals();  // as the start-up does
  ASSERT_DOUBLE_EQ(g_FreqMixers[0].TableRate, 24000.0);
  MachineConfig.AudioInputDevID = waveInGetNumDevs() - 1;
  SndConfig.StartSoundInput = 1;
  Start();
  for (int divisor : {4, 2}) {
    SCOPED_TRACE(divisor);
    SndConfig.SampleRateDivisor = divisor;
    g_SoundReopenRequest = true;  // as a configuration change does
    ASSERT_TRUE(RunUntil([&] {
      const double rate = g_ProcessingSampleRate.load();
      return rate < 48000.0 / divisor + 100 && rate > 48000.0 / divisor - 100 &&
             g_FreqMixers[0].TableRate == rate && g_FreqMixers[1].TableRate == rate;
    })) << g_ProcessingSampleRate.load() << " " << g_FreqMixers[0].TableRate;
    EXPECT_NEAR(g_FreqMixers[0].OscFrequency, 700.0, 1.0);
    EXPECT_NEAR(g_FreqMixers[1].OscFrequency, 450.0, 1.0);
  }
  EXPECT_TRUE(TerminateSoundThread());
}

}  // namespace

namespace {

// The generator into both inputs, blocks driven directly (as the card read does: channel 0
// refilled with silence each block, channel 1 only when it is processed). In mono the right
// input is not processed: the tone must not pile up there until its adder reports clipping;
// in stereo both inputs carry it once per block. 750 Hz is 64 whole cycles per block at
// 48,000 Hz, so blocks added onto each other would add up in phase.
TEST_F(SoundThdTest, GeneratorGoesOnlyIntoProcessedInputChannels)
{
  SndConfig.StartSignalGenerator = 1;
  SndConfig.ConnectGeneratorToInput = 3;
  SndConfig.GeneratorChannelMask = 0;
  SndConfig.NoiseOn = 0;
  vt_test::SetSingleGeneratorTone(750.0, 0.4);  // 13,107: three blocks piled up would clip
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    auto t = std::make_unique<TSoundThread>(true);  // never started: blocks run here
    g_NrProcessedChannels = channels;
    for (uint32_t& f : g_SndThdBlockFlags) f = 0;
    for (int block = 0; block < 20; ++block) {
      std::memset(t->WorkIn[0], 0, sizeof t->WorkIn[0]);
      if (channels == 2) std::memset(t->WorkIn[1], 0, sizeof t->WorkIn[1]);
      ASSERT_EQ(t->ProcessBlock(true, 0.0), kSndThdBlockSize);
    }
    double peak[2] = {0, 0};
    for (int ch = 0; ch < 2; ++ch)
      for (double v : t->WorkIn[ch]) peak[ch] = std::max(peak[ch], std::fabs(v));
    EXPECT_NEAR(peak[0], 13107.0, 20.0);
    EXPECT_EQ(t->InMixClips[0].load(), 0);
    EXPECT_EQ(t->InMixClips[1].load(), 0);
    EXPECT_EQ(g_SndThdBlockFlags[SNDTHD_FLAG_GEN_IN0], 1u);
    if (channels == 1) {
      EXPECT_EQ(peak[1], 0.0);
      EXPECT_EQ(g_SndThdBlockFlags[SNDTHD_FLAG_GEN_IN0 + 1], 0u);
    } else {
      EXPECT_NEAR(peak[1], 13107.0, 20.0);
      EXPECT_EQ(g_SndThdBlockFlags[SNDTHD_FLAG_GEN_IN0 + 1], 1u);
    }
  }
}

// Stands in for the digimode layer: counts the calls; the transmitter sends a steady 1,000.
struct FakeDigimodeLayer {
  static inline std::atomic<bool> rxGate{false}, txGate{false};
  static inline std::atomic<int> rxCalls{0}, txCalls{0}, timeCalls{0}, lastN{0};
  static void Rx(const double*, int n, double)
  {
    rxCalls.fetch_add(1);
    lastN.store(n);
  }
  static bool Tx(double* out, int n, double)
  {
    txCalls.fetch_add(1);
    std::fill(out, out + n, 1000.0);
    return true;
  }
  static void Time(const double*, int, double) { timeCalls.fetch_add(1); }
  static inline std::atomic<int> stoppedCalls{0};
  static inline std::atomic<bool> stoppedOffGui{false};
  static inline std::atomic<bool> stoppedBeforeJoin{false};
  static void Stopped()
  {
    stoppedCalls.fetch_add(1);
    if (!IsMainThread()) stoppedOffGui.store(true);
    stoppedBeforeJoin.store(g_pSoundThread != nullptr && !g_SoundThdFinished);
  }
  static inline std::atomic<double> followedRate{0.0};
  static void Follow(double rate) { followedRate.store(rate); }
  static constexpr TSoundThdDigimodeHooks kHooks{[] { return rxGate.load(); },
                                                 [] { return txGate.load(); }, Rx, Tx, Time,
                                                 Stopped, Follow};
  struct Uninstall {
    ~Uninstall() { SoundThd_SetDigimodeHooks(nullptr); }
  };
};

// The engine knows the digimode layer only through the hooks it installs: without them the
// thread runs no receiver, transmitter or time decoder; installed, each runs only while its
// switch (DigimodeActive with the layer's gate, Dcf77Active) is on, and the transmitter's
// samples reach the output.
TEST_F(SoundThdTest, DigimodeAndTimeDecoderRunOnlyThroughInstalledAndOpenHooks)
{
  using F = FakeDigimodeLayer;
  F::Uninstall uninstall;
  SndConfig.SampleRateDivisor = 2;
  SndConfig.DigimodeActive = 1;
  SndConfig.Dcf77Active = 1;
  F::rxGate = true;
  F::txGate = true;
  Start();
  auto passes = [&](uint32_t k) {
    const uint32_t now = g_SndThdLoopCount;
    return RunUntil([&] { return g_SndThdLoopCount - now >= k; });
  };
  auto calls = [] { return std::vector<int>{F::rxCalls.load(), F::txCalls.load(), F::timeCalls.load()}; };

  ASSERT_TRUE(passes(3));
  EXPECT_EQ(calls(), (std::vector<int>{0, 0, 0}));  // nothing installed
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_DIGI_RX].load(), 0u);
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_DIGI_TX].load(), 0u);

  SoundThd_SetDigimodeHooks(&F::kHooks);
  ASSERT_TRUE(passes(3));
  const std::vector<int> running = calls();
  for (int c : running) EXPECT_GE(c, 1);
  EXPECT_EQ(F::lastN.load(), 2048);  // the halved block
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_DIGI_RX].load(), 1u);
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_DIGI_TX].load(), 1u);
  EXPECT_EQ(g_SndThdBlockStats[SNDTHD_FLAG_DIGI_TX_ADDED].load(), 1u);
  g_pSoundThread->OutScopeRequest.store(true, std::memory_order_release);
  ASSERT_TRUE(RunUntil([] { return !g_pSoundThread->OutScopeRequest.load(std::memory_order_acquire); }));
  EXPECT_EQ(g_pSoundThread->OutScopeSamples[0], 1000);  // silence bypassed + the transmitter

  // Each switch off stops its own call.
  struct Phase {
    const char* what;
    std::function<void()> change;
    std::vector<bool> stopped;  // rx, tx, time
  } const phases[] = {
      {"receive gate", [] { F::rxGate = false; }, {true, false, false}},
      {"transmit gate", [] { F::txGate = false; }, {true, true, false}},
      {"Dcf77Active", [] { SndConfig.Dcf77Active = 0; }, {true, true, true}},
      {"gates open, DigimodeActive 0", [] { F::rxGate = true; F::txGate = true; SndConfig.DigimodeActive = 0; },
       {true, true, true}},
      {"switches on, hooks removed", [] { SndConfig.DigimodeActive = 1; SndConfig.Dcf77Active = 1;
                                           SoundThd_SetDigimodeHooks(nullptr); },
       {true, true, true}},
  };
  for (const Phase& p : phases) {
    SCOPED_TRACE(p.what);
    p.change();
    ASSERT_TRUE(passes(2));  // every pass from here on sees the change
    const std::vector<int> before = calls();
    ASSERT_TRUE(passes(2));
    const std::vector<int> after = calls();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(after[i] == before[i], p.stopped[i]) << "hook " << i;
  }
  EXPECT_TRUE(TerminateSoundThread());
}

// A transmitter keyed through the digimode layer must drop its keying line when nothing it
// makes can reach the card: the layer hears, on the GUI thread, when the output closes, when
// the thread is stopped and when the thread ends on its own.
TEST_F(SoundThdTest, TheDigimodeLayerHearsWhenTheOutputStops)
{
  using F = FakeDigimodeLayer;
  F::Uninstall uninstall;
  F::stoppedCalls = 0;
  F::stoppedOffGui = false;
  SoundThd_SetDigimodeHooks(&F::kHooks);
  MachineConfig.AudioOutputDevID = waveOutGetNumDevs() - 1;
  ASSERT_TRUE(waveIsLoopbackDevice(false, MachineConfig.AudioOutputDevID));
  SndConfig.StartSoundOutput = 1;
  Start();
  const uint32_t startCount = g_SndThdLoopCount;
  ASSERT_TRUE(RunUntil([&] {
    return g_pSound.load()->IsOutputOpen() && g_SndThdLoopCount - startCount >= 2;
  }));
  EXPECT_EQ(F::stoppedCalls.load(), 0) << "opening the output stops nothing";

  // Output closed while the thread runs on ("Stop Sound Output").
  g_SoundOutputWanted = false;
  ASSERT_TRUE(RunUntil([] { return !g_pSound.load()->IsOutputOpen(); }));
  EXPECT_EQ(F::stoppedCalls.load(), 1);
  const uint32_t closedCount = g_SndThdLoopCount;
  ASSERT_TRUE(RunUntil([&] { return g_SndThdLoopCount - closedCount >= 2; }));
  EXPECT_EQ(F::stoppedCalls.load(), 1) << "passes without output say nothing more";

  // The thread stopped, its output already closed: heard before the thread has ended, not
  // after a device wait.
  EXPECT_TRUE(TerminateSoundThread());
  EXPECT_EQ(F::stoppedCalls.load(), 2);
  EXPECT_TRUE(F::stoppedBeforeJoin.load());

  // The thread ends on its own (fault score): heard before anyone terminates it.
  SndConfig.StartSoundOutput = 0;
  auto ticks = std::make_shared<std::atomic<int64_t>>(0);
  SetPerformanceCounterSource([ticks] { return ticks->fetch_add(1) + 1; }, 1000);
  Start();
  ASSERT_TRUE(RunUntil([&] {
    if (g_pSoundThread) g_pSoundThread->Wake();
    return F::stoppedCalls.load() == 3;
  }, 20000));
  EXPECT_TRUE(g_SoundThdFinished.load());
  EXPECT_NE(g_pSoundThread, nullptr);
  EXPECT_TRUE(TerminateSoundThread());
  SetPerformanceCounterSource(nullptr, 0);
  EXPECT_EQ(F::stoppedCalls.load(), 4);
  EXPECT_FALSE(F::stoppedOffGui.load());
}

}  // namespace
