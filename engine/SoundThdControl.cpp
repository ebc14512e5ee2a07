// Start-up, device (re)opening, sample-rate bookkeeping and termination of the audio thread.
// Everything here runs on the GUI thread.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/BigSampleBuffer.h"
#include "engine/CDec2FIR.h"
#include "engine/CSound.h"
#include "engine/DigiFilter.h"
#include "engine/FreqMixer.h"
#include "engine/MachineConfig.h"
#include "engine/SndConfig.h"
#include "engine/SndServer.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdHooks.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/TestSignalGen.h"
#include "engine/WaveLogDecimator.h"

namespace {

// The halving stages live here; g_InputDecimators points at them.
CDec2FIR g_InputDecimatorStore[2][3];

// How long termination waits for the thread before it closes the devices under it: one
// device wait (CSound's 2,000 ms) and a pass of slack.
constexpr int kTerminateWaitMs = 3000;

void CloseInput(CSound* sound, const char* suffix)
{
  if (!sound->IsInputOpen()) return;
  sound->InClose();
  const int code = sound->InErrorCode.load();
  if (code)
    PutSoundThdError(code, suffix, 0);
  else
    PutSoundThdMessage("Sound input closed");
}

void CloseOutput(CSound* sound, const char* suffix)
{
  if (!sound->IsOutputOpen()) return;
  sound->OutClose();
  const int code = sound->OutErrorCode.load();
  if (code)
    PutSoundThdError(code, suffix, 0);
  else
    PutSoundThdMessage("Sound output closed");
  SoundThd_NotifyOutputStopped();
}

// Open errors that say the device is not there (rather than busy or refusing the format); an
// unspecified I/O error counts too, as it is what a vanished sound server often gives.
bool IsMissingDevice(int code)
{
  return code == MMSYSERR_NODRIVER || code == MMSYSERR_BADDEVICEID ||
         code == SOUND_ERR_DEVICE_LOST || code == MMSYSERR_ERROR;
}

// The device opened is the loop-back device although another one was asked for.
bool IsFallback(bool input, int openedId, int wantedId)
{
  return openedId >= 0 && waveIsLoopbackDevice(input, openedId) &&
         !waveIsLoopbackDevice(input, wantedId);
}

int64_t SteadyMs()
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void DeleteAudioClientAndServer()
{
  delete g_pSndClient;
  g_pSndClient = nullptr;
  delete g_pSndServer;
  g_pSndServer = nullptr;
}

}  // namespace

TSoundThread::TSoundThread(bool createSuspended) : TThread(createSuspended)
{
  g_BigBuffers[0].TotalCount.store(0, std::memory_order_release);
  // A recording started while no thread existed keeps its decimator: the new thread feeds it.
  if (!g_WaveLogDecimator[0].Active.load(std::memory_order_acquire))
    ResetWaveLogDecimator(&g_WaveLogDecimator[0]);
  g_SoundInputWanted = SndConfig.StartSoundInput != 0;
  g_SoundOutputWanted = SndConfig.StartSoundOutput != 0;
  g_SoundThdFinished = false;
}

TSoundThread::~TSoundThread()
{
  // Execute() uses this object's members: end it before they go.
  Terminate();
  Wake();
  WaitFor();
}

void TSoundThread::UpdateSoundDevices()
{
  CSound* sound = g_pSound.load();
  if (!sound) return;

  const bool stereo = SndConfig.StereoProcessing != 0;
  const bool inOpen = sound->IsInputOpen() != 0;
  const bool outOpen = sound->IsOutputOpen() != 0;
  if (g_SoundReopenRequest ||
      static_cast<int>(g_SoundFormat.nSamplesPerSec) != SndConfig.SampleRate ||
      inOpen != g_SoundInputWanted || outOpen != g_SoundOutputWanted ||
      LastInputDevID != MachineConfig.AudioInputDevID ||
      LastOutputDevID != MachineConfig.AudioOutputDevID ||
      (g_NrProcessedChannels != 2 && stereo) || (g_NrProcessedChannels != 1 && !stereo)) {
    CloseInput(sound, " in SoundInClose");
    CloseOutput(sound, " in SoundOutClose");
  }

  g_NrProcessedChannels = stereo ? 2 : 1;
  const int rate = SndConfig.SampleRate;
  g_SoundFormat.wFormatTag = WAVE_FORMAT_PCM;
  g_SoundFormat.nChannels = static_cast<uint16_t>(g_NrProcessedChannels.load());
  g_SoundFormat.wBitsPerSample = 16;
  g_SoundFormat.nSamplesPerSec = rate > 0 ? static_cast<uint32_t>(rate) : 0;
  g_SoundFormat.nBlockAlign = static_cast<uint16_t>(g_SoundFormat.nChannels * 2);
  g_SoundFormat.nAvgBytesPerSec = g_SoundFormat.nBlockAlign * g_SoundFormat.nSamplesPerSec;
  g_SoundFormat.cbSize = 0;
  CalcEffectiveSampleRates();
  g_BigBufferResetCount++;

  if (!sound->IsInputOpen() && g_SoundInputWanted) {
    LastInputDevID = MachineConfig.AudioInputDevID;
    int opened = LastInputDevID;
    int rc = sound->InOpen(opened, &g_SoundFormat, kSndThdBlockSize, 0, false);
    if (rc && m_deviceLost && IsMissingDevice(rc)) {
      PutSoundThdError(rc, " in SoundInOpen", 0);
      rc = OpenFallback(sound, true, &opened);
    }
    if (rc)
      PutSoundThdError(rc, " in SoundInOpen", 1);
    else
      PrintfSoundThdMessage("Sound input opened, DevID=%d", opened);
  }
  if (!sound->IsOutputOpen() && g_SoundOutputWanted) {
    LastOutputDevID = MachineConfig.AudioOutputDevID;
    int opened = LastOutputDevID;
    int rc = sound->OutOpen(opened, &g_SoundFormat, kSndThdBlockSize, 0, false);
    if (rc && m_deviceLost && IsMissingDevice(rc)) {
      PutSoundThdError(rc, " in SoundOutOpen", 0);
      rc = OpenFallback(sound, false, &opened);
    }
    if (rc) {
      PutSoundThdError(rc, " in SoundOutOpen", 1);
    } else {
      PrintfSoundThdMessage("Sound output opened, DevID=%d", opened);
      for (int i = 0; i < 2; ++i) {
        if (sound->OutWrite(g_SilentBlock, g_SilentBlock, kSndThdBlockSize) != kSndThdBlockSize)
          PutSoundThdError(sound->OutErrorCode.load(), " in silent output", 0);
      }
    }
  }

  // The loop-back device in place of a wanted one that is missing: said when it starts and
  // when it ends; the audio thread tries the wanted devices meanwhile.
  const bool wasFallback = m_inFallback || m_outFallback;
  m_inFallback = sound->IsInputOpen() && IsFallback(true, sound->InDeviceId(), LastInputDevID);
  m_outFallback =
      sound->IsOutputOpen() && IsFallback(false, sound->OutDeviceId(), LastOutputDevID);
  const bool fallback = m_inFallback || m_outFallback;
  if (fallback && !wasFallback) {
    PutSoundThdMessage("Sound device missing: \"Loop-back (no sound card)\" in use, the device "
                       "is tried again every few seconds");
    m_nextRetryMs = SteadyMs() + kSndThdRetryMs;
  } else if (!fallback && wasFallback) {
    PutSoundThdMessage("Sound device is back: \"Loop-back (no sound card)\" no longer in use");
  }
  if (!fallback && (sound->IsInputOpen() || !g_SoundInputWanted) &&
      (sound->IsOutputOpen() || !g_SoundOutputWanted))
    m_deviceLost = false;  // the wanted devices are open again
  g_SoundOnLoopbackFallback = fallback;

  if (g_AudioServerReinitRequest) {
    DeleteAudioClientAndServer();
    if (SndConfig.GetAudioFromServer || SndConfig.SendAudioToServer)
      g_pSndClient = new CSndClient(SndConfig.RemoteAudioServerName, kSndThdBlockSize, 1);
    if (SndConfig.OwnAudioServerEnabled)
      g_pSndServer = new CSndServer(SndConfig.OwnAudioServerName, kSndThdBlockSize, 1);
    g_AudioServerReinitRequest = false;
  }

  // The mixers' tables hold whole cycles at the rate they were built for: rebuilt here when the
  // rate changed (a divisor or a calibration taken over, the first opening after start-up),
  // before the thread runs its next block at the new rate.
  const double processingRate = g_ProcessingSampleRate;
  if (g_FreqMixers[0].TableRate != processingRate || g_FreqMixers[1].TableRate != processingRate)
    RetuneFreqMixers();

  sound->Start();
  g_SoundReopenRequest = false;
}

void InitSoundThdGlobals()
{
  g_ProcessedBlockRate = 0.0;
  g_DebugOptions = 0;
  ClearFirstSoundError();
  g_SoundOutputWanted = false;
  g_SoundInputWanted = false;
  g_SoundReopenRequest = false;
  g_AudioServerReinitRequest = true;
  // The rates as the loaded settings give them, input divisor included: the filter designers,
  // the mixers, the rings and a recording started before the first device opening all work at
  // the processing rate, not at the card's nominal rate.
  const int nominal = SndConfig.SampleRate;
  if (nominal >= 4000) {
    CalcEffectiveSampleRates();
  } else {
    g_InputSampleRate = 11025.0;
    g_OutputSampleRate = 11025.0;
    g_ProcessingSampleRate = 11025.0 / EffectiveInputDivisor(SndConfig.SampleRateDivisor);
  }
  UpdateFreqRangeLimits();
  g_BigBufferResetCount = 0;
  delete g_pSndClient;
  g_pSndClient = nullptr;
  for (int ch = 0; ch < 2; ++ch) {
    for (int s = 0; s < 3; ++s) {
      if (!g_InputDecimators[ch][s]) g_InputDecimators[ch][s] = &g_InputDecimatorStore[ch][s];
      g_InputDecimators[ch][s]->Reset();
    }
  }
  InitTestSignalGenerator();
  const double centre = (g_BasebandFreqMin + g_BasebandFreqMax) / 2.0;
  for (BigSampleBuffer& b : g_BigBuffers) ClearBigBuffer(&b, g_ProcessingSampleRate, centre);
  for (WaveLogDecimator& d : g_WaveLogDecimator) ResetWaveLogDecimator(&d);
  for (AtomicField<int64_t>& t : g_SndThdStageTicks) t = 0;
  DigiFilter_ResetGlobals();
  for (int ch = 0; ch < 2; ++ch) DigiFilter_Reset(&g_DigiFilters[ch], true);
  FreqMixer_Clear(&g_FreqMixers[0]);
  FreqMixer_Init(&g_FreqMixers[0], SndConfig.MixerFrequency, SndConfig.MixerSideband,
                 SndConfig.MixerDcReject, SndConfig.FreqMixerEnabled);
  const MixerSettings& second = SndConfig.SecondMixer;
  FreqMixer_Clear(&g_FreqMixers[1]);
  FreqMixer_Init(&g_FreqMixers[1], second.MixerFrequency, second.MixerSideband,
                 second.MixerDcReject, second.FreqMixerEnabled);
}

double CalibratedCardRate(int nominal, bool input)
{
  for (int i = 0; i < kNrCalibRates; ++i) {
    if (kCalibNominalRates[i] == nominal)
      return input ? MachineConfig.CalibADC[i] : MachineConfig.CalibDAC[i];
  }
  return nominal;
}

void SoundThd_NotifyRateChanged(double rate)
{
  if (!(rate >= 1.0)) return;
  g_ProcessingSampleRate = rate;
  // Ring 0 holds samples of one rate: set up anew, with its mixer centre, when the thread
  // feeds it at another rate. Its set-up is written on this thread (the audio thread's own,
  // at its start, comes before this call), so it is read here without the lock.
  BigSampleBuffer& ring = g_BigBuffers[0];
  if (ring.FeedSource.load() == 1 && ring.InputRate != rate) {
    InitBigBufferDecimation(&ring, rate, SndConfig.RateDivisor, ring.MixerCenterFreq);
    g_BigBufferResetCount++;
  }
  if (const TSoundThdDigimodeHooks* hooks = SoundThd_GetDigimodeHooks())
    hooks->SampleRateChanged(rate);
}

double CalcEffectiveSampleRates()
{
  const int nominal = SndConfig.SampleRate;
  const double in = CalibratedCardRate(nominal, true);
  const double out = CalibratedCardRate(nominal, false);
  g_InputSampleRate = in;
  g_OutputSampleRate = out;
  // The halving stages realise 1, 2, 4 or 8 only; the rate follows what they do.
  const int divisor = EffectiveInputDivisor(SndConfig.SampleRateDivisor);
  const double rate = (g_SoundInputWanted ? in : out) / divisor;
  g_ProcessingSampleRate = rate;
  return rate;
}

void RetuneFreqMixers()
{
  FreqMixer_SetFrequency(&g_FreqMixers[0], SndConfig.MixerFrequency);
  FreqMixer_SetFrequency(&g_FreqMixers[1], SndConfig.SecondMixer.MixerFrequency);
}

void SetSoundInOutWanted(bool in, bool out)
{
  g_SoundInputWanted = in;
  g_SoundOutputWanted = out;
  CalcEffectiveSampleRates();
}

int TSoundThread::OpenFallback(CSound* sound, bool input, int* opened)
{
  const int n = input ? waveInGetNumDevs() : waveOutGetNumDevs();
  int loopback = -1;
  for (int id = n - 1; id >= 0 && loopback < 0; --id)
    if (waveIsLoopbackDevice(input, id)) loopback = id;
  if (loopback < 0) return MMSYSERR_NODRIVER;
  const int rc = input ? sound->InOpen(loopback, &g_SoundFormat, kSndThdBlockSize, 0, false)
                       : sound->OutOpen(loopback, &g_SoundFormat, kSndThdBlockSize, 0, false);
  if (rc == 0) {
    *opened = loopback;
    PutSoundThdMessage(input ? "Sound input device missing: using \"Loop-back (no sound card)\""
                             : "Sound output device missing: using \"Loop-back (no sound card)\"");
  }
  return rc;
}

void TSoundThread::RetryWantedDevices()
{
  if (!m_inFallback && !m_outFallback) return;
  const int64_t now = SteadyMs();
  if (now < m_nextRetryMs) return;
  m_nextRetryMs = now + kSndThdRetryMs;
  // Opened and closed again at once; the loop-back device stays in use until both answer.
  if (m_inFallback && waveInProbe(LastInputDevID, &g_SoundFormat) != 0) return;
  if (m_outFallback && waveOutProbe(LastOutputDevID, &g_SoundFormat) != 0) return;
  PutSoundThdMessage("Sound device answers again: reopening it");
  g_SoundReopenRequest = true;
}

void UpdateFreqRangeLimits()
{
  const double offset = SndConfig.FreqOffset;
  const double lo = SndConfig.FreqMin - offset;
  const double hi = SndConfig.FreqMax - offset;
  g_BasebandFreqMin = lo >= 0.0 ? lo : 0.0;
  g_BasebandFreqMax = hi >= 0.0 ? hi : 0.0;
}

bool TerminateSoundThread()
{
  TSoundThread* thread = g_pSoundThread;
  if (!thread) return true;
  // No block made from here on will be played: a keyed transmitter drops now, before the
  // thread is told to end, so it is heard while the thread still runs and not after the join
  // (the output may still be open then, or not open yet).
  SoundThd_NotifyOutputStopped();
  thread->Terminate();
  thread->Wake();
  // A pass blocked in a device wait (up to 2 s) returns at once; the devices stay open until
  // the thread has been joined.
  if (CSound* sound = g_pSound.load()) sound->WakeWaiters();
  // Join while serving the thread's synchronise calls.
  bool ok = thread->WaitFor(kTerminateWaitMs);
  PutSoundThdMessage(ok ? "Sound thread terminated 'ok'" : "Sound thread terminated 'erroneous'");
  CSound* sound = g_pSound.load();
  if (sound) {
    // Only a thread that is still stuck gets its devices closed under it: the sound card
    // wakes a blocked caller and waits until it has left before the device goes.
    CloseInput(sound, " in SoundInClose2");
    CloseOutput(sound, " in SoundOutClose2");
  }
  delete thread;  // joins a thread that was still running
  g_pSoundThread = nullptr;
  g_SoundOnLoopbackFallback = false;
  PutSoundThdMessage("Sound thread deleted");
  return ok;
}

void CleanupSoundThread()
{
  if (g_pSoundThread && !TerminateSoundThread()) {
    for (int i = 0; i < 30; ++i) {
      [[maybe_unused]] ssize_t r = ::write(STDERR_FILENO, "\a", 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  DeleteAudioClientAndServer();
  CSound* sound = g_pSound.load();
  if (sound) {
    sound->InClose();
    sound->OutClose();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    g_pSound.store(nullptr);
    delete sound;
  }
}

int SndThd_BlockWaitMs(uint32_t cardRate)
{
  if (cardRate == 0) return 750;
  const int64_t ms = 2048000 / static_cast<int64_t>(cardRate);
  return static_cast<int>(std::clamp<int64_t>(ms, 70, 750));
}

int SndThd_ShortPassLimitMs(uint32_t cardRate)
{
  if (cardRate == 0) return kSndThdShortPassMs;
  const int64_t halfBlockMs = 2048000 / static_cast<int64_t>(cardRate);
  return static_cast<int>(std::clamp<int64_t>(halfBlockMs, 1, kSndThdShortPassMs));
}

int SndThd_NextFaultScore(int score, int64_t passMs, int shortLimitMs)
{
  if (passMs < shortLimitMs || passMs > kSndThdLongPassMs) return score + 1;
  return score > 0 ? score - 1 : 0;
}
