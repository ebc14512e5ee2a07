#include "mainwin/SoundEngineLink.h"

#include <algorithm>
#include <mutex>

#include "control/FilterHandover.h"
#include "engine/BigSampleBuffer.h"
#include "engine/CSound.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SoundThd.h"
#include "digimode/DigimodeHooks.h"

double CSoundEngineLink::CalcEffectiveSampleRates() { return ::CalcEffectiveSampleRates(); }

void CSoundEngineLink::UpdateFreqRangeLimits() { ::UpdateFreqRangeLimits(); }

void CSoundEngineLink::InitGlobals() { InitSoundThdGlobals(); }

void CSoundEngineLink::CreateSound()
{
  if (!g_pSound.load()) g_pSound.store(new CSound);
}

bool CSoundEngineLink::ThreadExists() const { return g_pSoundThread != nullptr; }

void CSoundEngineLink::CreateThread()
{
  if (!g_pSoundThread) g_pSoundThread = new TSoundThread(true);  // resumed by the main timer
}

bool CSoundEngineLink::ThreadSuspended() const
{
  return g_pSoundThread && g_pSoundThread->Suspended();
}

bool CSoundEngineLink::ThreadFinished() const { return g_SoundThdFinished; }

bool CSoundEngineLink::OnLoopbackFallback() const { return g_SoundOnLoopbackFallback; }

void CSoundEngineLink::ResumeThread()
{
  if (g_pSoundThread) g_pSoundThread->Resume();
}

void CSoundEngineLink::SignalBlockEvent()
{
  if (g_pSoundThread) g_pSoundThread->Wake();
}

bool CSoundEngineLink::TerminateThread() { return TerminateSoundThread(); }

void CSoundEngineLink::Cleanup() { CleanupSoundThread(); }

void CSoundEngineLink::RequestDeviceReopen()
{
  g_SoundReopenRequest = true;
  g_AudioServerReinitRequest = true;
}

void CSoundEngineLink::ActivateEditedFilters()
{
  ActivateEditedFilter(0);
  ActivateEditedFilter(1);
}

void CSoundEngineLink::SetSoundInOutWanted(bool in, bool out) { ::SetSoundInOutWanted(in, out); }

void CSoundEngineLink::CloseAnalysedWaveFile()
{
  if (!g_pSoundThread) return;
  std::lock_guard<CCriticalSection> lock(g_pSoundThread->WaveInputLock);
  if (C_WaveIO* file = g_pAnalysisWaveFile.load()) file->CloseFile();
}

const int16_t* CSoundEngineLink::ScopeSnapshot(ScopeChannel channel, int* count)
{
  *count = 0;
  TSoundThread* t = g_pSoundThread;
  if (!t) return nullptr;
  const bool input = channel == ScopeChannel::Input;
  // The request flag is cleared (release) by the thread after it filled the copy.
  if ((input ? t->InScopeRequest : t->OutScopeRequest).load(std::memory_order_acquire))
    return nullptr;
  *count = std::clamp<int>(g_ProcessedBlockLength, 0, kSndThdScopeFill);
  return input ? t->InScopeSamples : t->OutScopeSamples;
}

void CSoundEngineLink::AckScopeSnapshot(ScopeChannel channel)
{
  if (TSoundThread* t = g_pSoundThread)
    (channel == ScopeChannel::Input ? t->InScopeRequest : t->OutScopeRequest)
        .store(true, std::memory_order_release);
}

SoundEngineStats CSoundEngineLink::Stats() const
{
  SoundEngineStats st;
  if (CSound* snd = g_pSound.load()) {
    st.soundExists = true;
    st.inStatus = snd->InErrorCode;
    st.outStatus = snd->OutErrorCode;
    st.lostIn = snd->InOverflows;
    st.lostOut = snd->OutUnderflows;
  }
  if (TSoundThread* t = g_pSoundThread) {
    st.threadExists = true;
    st.inputErrors = t->InputErrors;
    st.outputErrors = t->OutputErrors;
  }
  st.threadSuspended = st.threadExists && ThreadSuspended();
  st.threadFinished = g_SoundThdFinished;
  if (CSound* snd = g_pSound.load()) {
    st.inputOpen = snd->IsInputOpen() != 0;
    st.outputOpen = snd->IsOutputOpen() != 0;
  }
  st.inputWanted = g_SoundInputWanted;
  st.outputWanted = g_SoundOutputWanted;
  st.outputOk = g_SoundOutputOk;
  for (int i = 0; i < kSndThdNrBlockFlags && i < 50; ++i) st.blockStats[i] = g_SndThdBlockStats[i];
  st.digimodeTx = g_DigimodeTxEnabled;
  st.digimodeRx = g_DigimodeRxEnabled;
  st.loops = g_SndThdLoopCount;
  for (int i = 0; i < kSndThdNrStageTimes && i < 12; ++i) st.stageTicks[i] = g_SndThdStageTicks[i];
  st.nrProcessedChannels = g_NrProcessedChannels;
  st.processedBlockLength = g_ProcessedBlockLength;
  st.processingRate = g_ProcessingSampleRate;
  st.bigBufferResets = g_BigBufferResetCount;
  {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    for (int i = 0; i < 8; ++i) st.decimFactors[i] = std::max(1, g_BigBuffers[0].Stages[i].Factor);
  }
  return st;
}

void CSoundEngineLink::TakeMixClips(int inClips[2], int outClips[2])
{
  TSoundThread* t = g_pSoundThread;
  for (int ch = 0; ch < 2; ++ch) {
    inClips[ch] = t ? t->InMixClips[ch].exchange(0) : 0;
    outClips[ch] = t ? t->OutMixClips[ch].exchange(0) : 0;
  }
}

void CSoundEngineLink::ClearInputStatus()
{
  if (CSound* snd = g_pSound.load()) snd->InErrorCode = 0;
}

void CSoundEngineLink::RequestStall(int ms) { g_SndThdSleepRequestMs = ms; }

void CSoundEngineLink::SetDebugOptions(int bits) { g_DebugOptions = bits; }

void CSoundEngineLink::SetSoundOutputWanted(bool wanted) { g_SoundOutputWanted = wanted; }

bool CSoundEngineLink::SoundOutputWanted() const { return g_SoundOutputWanted; }

void InstallSoundEngineLink()
{
  static CSoundEngineLink link;
  SetSoundThreadLink(&link);
}
