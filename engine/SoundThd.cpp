// The audio thread's block loop.
//
// One pass: generator, input (card or analysed file), halving stages, generator into the
// input, receivers, big-ring write, input logging, scope copy, mixer, filter or bypass,
// generator and digimode into the output, big-ring write at the output, output logging,
// scope copy, card output, the wait between blocks, the fault score. The pass never
// allocates, never takes a lock the GUI may hold for long, and reports only through the
// lock-free message queue.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <thread>

#include "engine/BigSampleBuffer.h"
#include "engine/CDec2FIR.h"
#include "engine/CSound.h"
#include "engine/C_WaveIO.h"
#include "engine/DigiFilter.h"
#include "engine/DigiFilterHandover.h"
#include "engine/FreqMixer.h"
#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdHooks.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/TestSignalGen.h"
#include "engine/WaveLogDecimator.h"
#include "platform/PerfCounter.h"
#include "platform/RealtimePriority.h"

namespace {

// Real-time priority of the audio thread: above ordinary threads, below the sound server's
// and the kernel's own (which commonly use 50 and up).
constexpr int kRealtimePriority = 20;

// Times one stage: the slot becomes (15 x old + difference) / 16 when the difference is not
// negative.
class CStageTimer {
public:
  explicit CStageTimer(int slot) : m_slot(slot), m_start(QueryPerformanceCounter()) {}
  ~CStageTimer()
  {
    const int64_t d = QueryPerformanceCounter() - m_start;
    if (d >= 0) {
      AtomicField<int64_t>& s = g_SndThdStageTicks[m_slot];
      s.store((15 * s.load(std::memory_order_relaxed) + d) / 16);
    }
  }
  CStageTimer(const CStageTimer&) = delete;
  CStageTimer& operator=(const CStageTimer&) = delete;

private:
  int m_slot;
  int64_t m_start;
};

// Sample on the 16-bit scale to int16: limited to +-32,767, truncated toward zero; NaN gives 0.
inline int16_t ToInt16(double v)
{
  if (v >= 32767.0) return 32767;
  if (v <= -32767.0) return -32767;
  if (v == v) return static_cast<int16_t>(v);
  return 0;
}

void ConvertToInt16(const double* in, int16_t* out, int n)
{
  for (int i = 0; i < n; ++i) out[i] = ToInt16(in[i]);
}

void ConvertToDouble(const int16_t* in, double* out, int n)
{
  for (int i = 0; i < n; ++i) out[i] = in[i];
}

// Block time stamp: the performance counter as Unix seconds, 0 without a counter period.
double BlockTimeStamp()
{
  if (g_PerfCounterPeriod.load() > 0.0) return PerfCounterToUnixTime(QueryPerformanceCounter());
  return 0.0;
}

// Divisor as taken over: outside 1..64 counts as 1.
int ClampDivisor(int divisor) { return (divisor < 1 || divisor > 64) ? 1 : divisor; }

inline void SetFlag(int index, uint32_t value) { g_SndThdBlockFlags[index] = value; }

// Context of a failure for the message queue: a device that went away adds the system's
// reason in brackets before the context ("sound device lost (No such device) in SoundInRead").
void FailureSuffix(CSound* sound, bool input, int code, const char* context, char* out, int len)
{
  char reason[96] = "";
  if (code == CSound::ERR_DEVICE_LOST) {
    if (input)
      sound->InFailureText(reason, sizeof reason);
    else
      sound->OutFailureText(reason, sizeof reason);
  }
  if (reason[0])
    std::snprintf(out, static_cast<size_t>(len), " (%s)%s", reason, context);
  else
    std::snprintf(out, static_cast<size_t>(len), "%s", context);
}

}  // namespace

void TSoundThread::UpdateDevicesFromThread()
{
  TThread::Synchronize([this] { UpdateSoundDevices(); });
}

void TSoundThread::Execute()
{
  // The highest priority the user may give: real-time scheduling, or else normal.
  if (!SetCurrentThreadRealtime(kRealtimePriority))
    PutSoundThdMessage("Sound thread runs at normal priority (no real-time scheduling allowed)");
  PutSoundThdMessage("Launching Sound Thread");
  g_SoundReopenRequest = true;
  UpdateDevicesFromThread();

  for (BigSampleBuffer& b : g_BigBuffers) {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    b.TotalCount.store(0, std::memory_order_release);
    b.AvgCounter = 0;
    b.AvgSum = 0.0;
  }

  int64_t counterFrequency = QueryPerformanceFrequency();
  if (counterFrequency < 1) counterFrequency = 1;

  m_divisorSetting = SndConfig.SampleRateDivisor;
  m_stages = InputHalvingStages(ClampDivisor(m_divisorSetting));
  g_SndThdFaultScore = 0;
  g_SoundThdFinished = false;

  const double centre = (g_BasebandFreqMin + g_BasebandFreqMax) / 2.0;
  for (BigSampleBuffer& b : g_BigBuffers) {
    InitBigBufferDecimation(&b, g_ProcessingSampleRate, SndConfig.RateDivisor, centre);
    b.FeedSource.store(1, std::memory_order_release);
  }

  g_SoundOutputOk = true;
  g_SndThdSleepRequestMs = 0;
  g_NrProcessedChannels = SndConfig.StereoProcessing ? 2 : 1;
  m_silentChunkAllowed = true;

  while (!Terminated() && g_pSound.load() != nullptr &&
         g_SndThdFaultScore < kSndThdFaultLimit) {
    const int64_t passStart = QueryPerformanceCounter();
    RunPass(passStart);

    const int sleepMs = g_SndThdSleepRequestMs.exchange(0);
    if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));

    const int64_t passMs = (QueryPerformanceCounter() - passStart) * 1000 / counterFrequency;
    g_SndThdFaultScore = SndThd_NextFaultScore(
        g_SndThdFaultScore, passMs, SndThd_ShortPassLimitMs(g_SoundFormat.nSamplesPerSec));
    g_SndThdLoopCount++;
  }
  g_SoundThdFinished = true;
  g_ProcessedBlockRate = 0.0;
  // Ended on its own (faults, no sound card object): the GUI learns that the output stopped.
  // A termination tells it itself once the thread has been joined.
  if (!Terminated()) TThread::Synchronize(SoundThd_NotifyOutputStopped);
}

namespace {

// Two rates are the same rate when they differ by no more than rounding.
bool RatesMatch(double a, double b)
{
  return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

// Whether a running recording takes blocks at `rate`: it was set up for the rate of the blocks
// its header states (WaveLogDecimator::BlockRate, 0 for any). Blocks at another rate (a device
// reopened at another rate while the halving stages are still the old ones, or the stages
// changed while the device is the old one) are left out; the GUI ends a recording whose rate
// has changed for good.
bool WaveLogTakesRate(double rate)
{
  const double wanted = g_WaveLogDecimator[0].BlockRate.load();
  return !(wanted > 0.0) || RatesMatch(wanted, rate);
}

}  // namespace

void TSoundThread::FollowBlockRate()
{
  const double card = CalibratedCardRate(static_cast<int>(g_SoundFormat.nSamplesPerSec),
                                         g_SoundInputWanted);
  const double rate = card / (1 << m_stages);
  if (rate == m_blockRate) return;
  m_blockRate = rate;
  TThread::Synchronize([rate] { SoundThd_NotifyRateChanged(rate); });
}

void TSoundThread::WaitForBlockDue()
{
  using namespace std::chrono;
  const double card = m_blockRate * (1 << m_stages);
  if (!(card >= 1.0)) {
    BlockEvent.Wait(SndThd_BlockWaitMs(g_SoundFormat.nSamplesPerSec));
    return;
  }
  const int64_t blockNs = static_cast<int64_t>(kSndThdBlockSize * 1e9 / card);
  int64_t now = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
  // A new timeline after a pass that waited on a device, or when the thread fell more than two
  // blocks behind (a long synchronise call): no burst of blocks to catch up.
  if (!m_paceRunning || now - m_paceDueNs > 2 * blockNs) m_paceDueNs = now;
  m_paceRunning = true;
  m_paceDueNs += blockNs;
  // The main timer's event ends a wait early; the block stays due at its time. A pass is kept
  // below the fault score's 800 ms (only a card rate under about 5,400 Hz needs more).
  const int64_t latest = now + int64_t{750} * 1000000;
  while (!Terminated()) {
    now = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    const int64_t until = std::min(m_paceDueNs, latest);
    if (now >= until) break;
    BlockEvent.Wait(static_cast<int>((until - now + 999999) / 1000000));
  }
}

void TSoundThread::RunPass(int64_t /*passStart*/)
{
  bool waited = false;
  for (int i = 0; i < kSndThdNrBlockFlags; ++i) {
    g_SndThdBlockStats[i].store(g_SndThdBlockFlags[i], std::memory_order_relaxed);
    g_SndThdBlockFlags[i] = 0;
  }
  std::atomic_thread_fence(std::memory_order_release);

  if (static_cast<int>(g_SoundFormat.nSamplesPerSec) != SndConfig.SampleRate) {
    g_SoundReopenRequest = true;
    for (SineGenSettings& s : SndConfig.Sine) s.ParamsChanged = true;
  }
  CSound* sound = g_pSound.load();
  if (!sound) return;
  RetryWantedDevices();
  if (g_SoundReopenRequest || (sound->IsInputOpen() != 0) != g_SoundInputWanted ||
      (sound->IsOutputOpen() != 0) != g_SoundOutputWanted) {
    UpdateDevicesFromThread();
  }
  sound = g_pSound.load();
  if (!sound) return;

  const int divisor = SndConfig.SampleRateDivisor;
  // Compared as set, not as clamped: a setting outside 1..64 is no change on every pass.
  if (divisor != m_divisorSetting) {
    m_divisorSetting = divisor;
    m_stages = InputHalvingStages(ClampDivisor(divisor));
    g_BigBuffers[0].TotalCount.store(0, std::memory_order_release);
    g_BigBufferResetCount++;
  }
  FollowBlockRate();
  bool haveInput = false;
  double blockTime = 0.0;
  ReadInput(haveInput, waited, blockTime);
  const int n = ProcessBlock(haveInput, blockTime);

  WriteOutput(n, waited);

  if (waited) {
    m_paceRunning = false;
  } else {
    WaitForBlockDue();
  }
}

int TSoundThread::ProcessBlock(bool haveInput, double blockTime)
{
  // Every stage sees the same block length: that of the halving stages actually run.
  const int n = kSndThdBlockSize >> m_stages;

  if (SndConfig.StartSignalGenerator && g_ProcessingSampleRate > 0.0) {
    CStageTimer t(SNDTHD_STAGE_SIGNAL_GENERATOR);
    GenerateTestSignal(GenBlock, n);
    SetFlag(SNDTHD_FLAG_GENERATOR, 1);
  }

  if (haveInput) {
    const int channels = g_NrProcessedChannels;
    for (int ch = 0; ch < channels; ++ch) {
      int len = kSndThdBlockSize;
      for (int s = 0; s < m_stages; ++s, len /= 2)
        g_InputDecimators[ch][s]->Decimate(WorkIn[ch], WorkIn[ch], len);
    }
  }
  g_ProcessedBlockLength = n;

  if (!haveInput) {
    std::memset(WorkIn, 0, sizeof(WorkIn));
    blockTime = BlockTimeStamp();
  }

  if (SndConfig.StartSignalGenerator) {
    CStageTimer t(SNDTHD_STAGE_INPUT_ADDER);
    const int mask = SndConfig.ConnectGeneratorToInput;
    // Only into processed channels: in mono nothing refills WorkIn[1], so the tone would pile
    // up there block after block.
    const int processed = g_NrProcessedChannels;
    for (int ch = 0; ch < processed && ch < 2; ++ch) {
      if (!(mask & (1 << ch))) continue;
      SetFlag(SNDTHD_FLAG_GEN_IN0 + ch, 1);
      int clips = 0;
      AddScaledClipped(GenBlock, WorkIn[ch], n, 1.0, &clips);
      if (clips) InMixClips[ch].fetch_add(clips, std::memory_order_relaxed);
      if (InMixClips[ch].load(std::memory_order_relaxed) > 0) SetFlag(SNDTHD_FLAG_GEN_IN0 + ch, 3);
    }
  }

  // The rate of this block: the thread's own, or the processing rate for a thread object that
  // was never started (benchmarks).
  const double rate = m_blockRate > 0.0 ? m_blockRate : g_ProcessingSampleRate.load();
  {
    const double t0 = blockTime - (rate > 0.0 ? n / rate : 0.0);
    const TSoundThdDigimodeHooks* hooks = SoundThd_GetDigimodeHooks();
    // The digimode layer was set up for this rate (it follows each change before the first
    // block at it); the time decoder reads it here.
    g_ProcessedBlockRate = rate;
    const bool rx = hooks && SndConfig.DigimodeActive > 0 && hooks->RxEnabled();
    const bool dcf = hooks && SndConfig.Dcf77Active > 0 && rate > 10.0;
    if (rx || dcf) {
      CStageTimer t(SNDTHD_STAGE_DIGIMODE_DECODER);
      if (rx) {
        SetFlag(SNDTHD_FLAG_DIGI_RX, 1);
        hooks->ProcessRxAudio(WorkIn[0], n, t0);
      }
      if (dcf) hooks->ProcessTimeSignal(WorkIn[0], n, t0);
    }
  }

  const bool complexFft = SndConfig.ComplexFFT != 0;
  const bool spectrumAtInput = SndConfig.ConnectSpectrumToInput != 0;
  const int logState = g_WaveLogState.load();
  const bool logActive = g_WaveLogDecimator[0].Active.load();
  const bool logTakes = WaveLogTakesRate(rate);
  // Ring 0 hands its pairs to an I/Q recording: while that recording waits to be ended for a
  // change of rate, the ring takes no block (for a pass or two, until the GUI's next tick).
  const bool ringTakes = !(logState == 3 && logActive && !logTakes);
  if (spectrumAtInput && ringTakes && g_BigBuffers[0].FeedSource.load() == 1) {
    CStageTimer t(SNDTHD_STAGE_FFT_MIX_DECIMATE);
    BigBufferWrite(&g_BigBuffers[0], complexFft, complexFft, blockTime, WorkIn[0], n);
  }

  if (logState == 1 && logActive && logTakes) {
    WaveLogDecimate(&g_WaveLogDecimator[0], WorkIn[0], n);
    SetFlag(SNDTHD_FLAG_WAVE_LOG_IN, 1);
  }

  if (InScopeRequest.load(std::memory_order_acquire)) {
    ConvertToInt16(WorkIn[0], InScopeSamples, std::min(n, kSndThdScopeFill));
    InScopeRequest.store(false, std::memory_order_release);
  }

  for (int ch = 0; ch < 2; ++ch) {
    if (!g_FreqMixers[ch].Enabled.load()) continue;
    CStageTimer t(SNDTHD_STAGE_FREQ_MIXER);
    FreqMixer_Process(&g_FreqMixers[ch], WorkIn[ch], WorkIn[ch], n);
    SetFlag(SNDTHD_FLAG_MIXER0 + ch, 1);
  }

  {
    CStageTimer t(SNDTHD_STAGE_CUSTOM_FILTER);
    const int running = SndConfig.StartDigitalFilter;
    const int bypass = SndConfig.DigitalFilterBypass;
    for (int ch = 0; ch < 2; ++ch) {
      const int bit = 1 << ch;
      const double gain = SndConfig.Gain[ch];
      bool filtered = false;
      if ((running & bit) && !(bypass & bit)) {
        // Through the hand-over lock: while ActivateEditedFilter copies a new record into
        // g_DigiFilters[ch] the filter is skipped for this block (treated as not running).
        const bool wantPeak = ch == 0 && g_DigiFilterTestPeakZ.load();
        double peak = 0.0;
        filtered = DigiFilter_ProcessRunning(ch, WorkIn[ch], WorkOut[ch], gain, n,
                                             wantPeak ? &peak : nullptr);
        if (filtered) {
          SetFlag(SNDTHD_FLAG_FILTER_RAN0 + ch, 1);
          SetFlag(SNDTHD_FLAG_FILTER0 + ch, 1);
          if (wantPeak && peak > g_DigiFilterPeakZ.load()) g_DigiFilterPeakZ.store(peak);
        }
      }
      if (!filtered) {
        SetFlag(SNDTHD_FLAG_FILTER_RAN0 + ch, 0);
        if (bypass & bit) {
          for (int i = 0; i < n; ++i) WorkOut[ch][i] = WorkIn[ch][i] * gain;
        } else {
          std::memset(WorkOut[ch], 0, sizeof(double) * n);
        }
      }
    }
  }

  if (SndConfig.StartSignalGenerator) {
    CStageTimer t(SNDTHD_STAGE_OUTPUT_ADDER);
    const int mask = SndConfig.GeneratorChannelMask;
    for (int ch = 0; ch < 2; ++ch) {
      if (!(mask & (1 << ch))) continue;
      int clips = 0;
      AddScaledClipped(GenBlock, WorkOut[ch], n, SndConfig.Gain[4 + ch], &clips);
      if (clips) OutMixClips[ch].fetch_add(clips, std::memory_order_relaxed);
      SetFlag(SNDTHD_FLAG_GEN_OUT_MIX0 + ch, 1);
      SetFlag(SNDTHD_FLAG_GEN_OUT0 + ch, 1);
    }
  }

  const TSoundThdDigimodeHooks* txHooks = SoundThd_GetDigimodeHooks();
  if (txHooks && SndConfig.DigimodeActive > 0 && txHooks->TxEnabled()) {
    CStageTimer t(SNDTHD_STAGE_DIGIMODE_ENCODER);
    if (txHooks->GenerateTxAudio(g_DigimodeTxBuffer, n, blockTime)) {
      int clips = 0;
      AddScaledClipped(g_DigimodeTxBuffer, WorkOut[0], n, SndConfig.Gain[2], &clips);
      if (clips) OutMixClips[0].fetch_add(clips, std::memory_order_relaxed);
      SetFlag(SNDTHD_FLAG_DIGI_TX, 1);
      SetFlag(SNDTHD_FLAG_DIGI_TX_ADDED, 1);
      SetFlag(SNDTHD_FLAG_GEN_OUT_MIX0, OutMixClips[0].load(std::memory_order_relaxed) > 0 ? 3 : 1);
    } else {
      SetFlag(SNDTHD_FLAG_DIGI_TX, 3);
    }
  }

  if (!spectrumAtInput && ringTakes && g_BigBuffers[0].FeedSource.load() == 1) {
    CStageTimer t(SNDTHD_STAGE_FFT_MIX_DECIMATE);
    BigBufferWrite(&g_BigBuffers[0], complexFft, complexFft, blockTime, WorkOut[0], n);
  }

  if (logState == 2 && logActive && logTakes) {
    CStageTimer t(SNDTHD_STAGE_WAVE_SAVE);
    WaveLogDecimate(&g_WaveLogDecimator[0], WorkOut[0], n);
  }

  if (OutScopeRequest.load(std::memory_order_acquire)) {
    ConvertToInt16(WorkOut[0], OutScopeSamples, std::min(n, kSndThdScopeFill));
    OutScopeRequest.store(false, std::memory_order_release);
  }

  return n;
}

void TSoundThread::ReadInput(bool& haveInput, bool& waited, double& blockTime)
{
  C_WaveIO* wave = g_pAnalysisWaveFile.load();
  if (WaveInputActive.load() && wave && wave->IsOpenForRead()) {
    // The card's input stays open while the file takes its place: its buffers go back to the
    // device unread, so that it loses nothing and has nothing stale when the card is read
    // again (the change back is no overflow).
    if (CSound* sound = g_pSound.load(); sound && sound->IsInputOpen()) sound->InDiscardFilled();
    std::lock_guard<CCriticalSection> lock(WaveInputLock);
    wave = g_pAnalysisWaveFile.load();  // the GUI may have closed it before we got the lock
    if (!WaveInputActive.load() || !wave || !wave->IsOpenForRead()) return;
    const int got = wave->ReadSampleBlocks(0, kSndThdBlockSize, WorkIn[0]);
    blockTime = BlockTimeStamp();
    if (got == kSndThdBlockSize) {
      haveInput = true;
      SetFlag(SNDTHD_FLAG_WAVE_INPUT, 1);
      if (g_NrProcessedChannels > 1) std::memset(WorkIn[1], 0, sizeof(WorkIn[1]));
    } else if (!SndConfig.PlayInLoops) {
      WaveInputEnded.store(true);
      SetFlag(SNDTHD_FLAG_WAVE_INPUT, 0);
    } else if (wave->IsOpenForRead()) {
      if (!wave->WindToSampleIndex(0)) WaveInputEnded.store(true);
    } else {
      WaveInputEnded.store(true);
      SetFlag(SNDTHD_FLAG_WAVE_INPUT, 3);
    }
    return;
  }

  CSound* sound = g_pSound.load();
  if (!(g_SoundInputWanted && sound && sound->IsInputOpen())) return;
  // A device reopened while termination was under way would wait again: read nothing then.
  if (Terminated()) return;
  const int got = sound->InRead(CardInLeft, CardInRight, kSndThdBlockSize);
  if (got != kSndThdBlockSize && sound->WakeRequested()) return;  // terminating: no error
  if (got != kSndThdBlockSize) {
    SetFlag(SNDTHD_FLAG_CARD_READ, 3);
    InputErrors.fetch_add(1);
    const int code = sound->InErrorCode.load();
    if (code == 0) {
      PutSoundThdMessage("sound input failed but no MMSYS error?!?");
    } else {
      char suffix[SOUND_THD_MSG_LEN];
      FailureSuffix(sound, true, code, " in SoundInRead", suffix, sizeof suffix);
      PutSoundThdError(code, suffix, 0);
      InputErrors.fetch_add(1);
      PutSoundThdError(code, " in SoundInRead2", 0);
      if (code == CSound::ERR_DEVICE_LOST) m_deviceLost = true;
      g_SoundReopenRequest = true;
    }
    return;
  }
  SetFlag(SNDTHD_FLAG_CARD_READ, 1);
  ConvertToDouble(CardInLeft, WorkIn[0], kSndThdBlockSize);
  if (g_NrProcessedChannels > 1) {
    SetFlag(SNDTHD_FLAG_CARD_RIGHT, 1);
    ConvertToDouble(CardInRight, WorkIn[1], kSndThdBlockSize);
  }
  const int code = sound->InErrorCode.exchange(0);
  if (code != 0) {
    PutSoundThdError(code, " in SoundInRead", 0);
    SetFlag(SNDTHD_FLAG_CARD_READ, 3);
  }
  blockTime = BlockTimeStamp();
  waited = true;
  haveInput = true;
}

void TSoundThread::WriteOutput(int n, bool& waited)
{
  CSound* sound = g_pSound.load();
  if (!(g_SoundOutputWanted && sound && sound->IsOutputOpen())) return;
  if (Terminated()) return;  // as for the input: no new wait while terminating
  const int channels = g_NrProcessedChannels;
  if (n < kSndThdBlockSize && n > 0) {
    // Stretch by repetition, from the end so that the block can be widened in place.
    const int f = kSndThdBlockSize / n;
    for (int ch = 0; ch < channels; ++ch) {
      double* w = WorkOut[ch];
      for (int i = n - 1; i >= 0; --i) {
        const double v = w[i];
        int last = std::min(f * (i + 1) - 1, kSndThdBlockSize - 1);
        for (int k = 0; k < f; ++k) w[last - k] = v;
      }
    }
  }
  if (sound->OutErrorCode.load() == CSound::ERR_OUT_UNDERFLOW) {
    SetFlag(SNDTHD_FLAG_CARD_WRITE, 3);
    if (m_silentChunkAllowed) {
      sound->OutWrite(g_SilentBlock, g_SilentBlock, kSndThdBlockSize);
      PutSoundThdMessage("Inserted a 'silent output chunk' for sync");
      m_silentChunkAllowed = false;
    }
  } else {
    m_silentChunkAllowed = true;
  }
  // The input is ahead (a further block waits already) and the output has no free buffer:
  // waiting for the output would keep the input, and every display, that much behind for
  // good. This block is not played, so the input queue drains; a card whose input runs faster
  // than its output loses output blocks this way instead of input samples.
  if (waited && sound->IsInputOpen() && sound->InBuffersWaiting() > 0 &&
      sound->OutWriteWouldWait()) {
    SetFlag(SNDTHD_FLAG_CARD_WRITE, 3);
    OutputSkipped.fetch_add(1);
    if (m_skipSaid) return;
    m_skipSaid = true;
    PutSoundThdMessage("Input ahead of output: output blocks skipped to catch up");
    return;
  }
  m_skipSaid = false;
  ConvertToInt16(WorkOut[0], CardOutLeft, kSndThdBlockSize);
  if (channels > 1) ConvertToInt16(WorkOut[1], CardOutRight, kSndThdBlockSize);
  const int written = sound->OutWrite(CardOutLeft, channels > 1 ? CardOutRight : CardOutLeft,
                                      kSndThdBlockSize);
  if (written != kSndThdBlockSize && sound->WakeRequested()) return;  // terminating: no error
  if (written != kSndThdBlockSize) {
    SetFlag(SNDTHD_FLAG_CARD_WRITE, 3);
    g_SoundOutputOk = false;
    OutputErrors.fetch_add(1);
    const int code = sound->OutErrorCode.load();
    if (code == 0) {
      PutSoundThdMessage("sound output failed but no MMSYS error ?!?");
    } else {
      char suffix[SOUND_THD_MSG_LEN];
      FailureSuffix(sound, false, code, " in SoundOutWrite", suffix, sizeof suffix);
      PutSoundThdError(code, suffix, 0);
    }
    if (code == CSound::ERR_DEVICE_LOST) m_deviceLost = true;  // reopened at the next pass
    if (code == CSound::ERR_OUT_NOT_OPEN) UpdateDevicesFromThread();
  } else {
    SetFlag(SNDTHD_FLAG_CARD_WRITE, 1);
    g_SoundOutputOk = true;
    waited = true;
    OutputBlocks.fetch_add(1);
  }
}
