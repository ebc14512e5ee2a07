// Module globals of the audio thread.
#include "engine/CDec2FIR.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdHooks.h"

TSoundThread* g_pSoundThread = nullptr;
std::atomic<CSound*> g_pSound{nullptr};
std::atomic<C_WaveIO*> g_pAnalysisWaveFile{nullptr};
AtomicField<bool> g_SoundInputWanted;
AtomicField<bool> g_SoundOutputWanted;
AtomicField<bool> g_SoundReopenRequest;
AtomicField<bool> g_AudioServerReinitRequest{true};
AtomicField<bool> g_SoundOutputOk;
WAVEFORMATEX g_SoundFormat{};
const int16_t g_SilentBlock[kSndThdBlockSize] = {};
AtomicField<int32_t> g_NrProcessedChannels{1};
CDec2FIR* g_InputDecimators[2][3] = {};
AtomicField<int32_t> g_ProcessedBlockLength{kSndThdBlockSize};
AtomicField<double> g_ProcessedBlockRate;
AtomicField<int32_t> g_BigBufferResetCount;
AtomicField<double> g_BasebandFreqMin;
AtomicField<double> g_BasebandFreqMax;
double g_DigimodeTxBuffer[kSndThdBlockSize];
AtomicField<int64_t> g_SndThdStageTicks[kSndThdNrStageTimes];
uint32_t g_SndThdBlockFlags[kSndThdNrBlockFlags];
AtomicField<uint32_t> g_SndThdBlockStats[kSndThdNrBlockFlags];
AtomicField<int32_t> g_SndThdFaultScore;
AtomicField<uint32_t> g_SndThdLoopCount;
AtomicField<bool> g_SoundThdFinished;
AtomicField<int32_t> g_SndThdSleepRequestMs;
AtomicField<int32_t> g_DebugOptions;
AtomicField<bool> g_SoundOnLoopbackFallback;

namespace {
std::atomic<const TSoundThdDigimodeHooks*> g_SoundThdDigimodeHooks{nullptr};
}

void SoundThd_SetDigimodeHooks(const TSoundThdDigimodeHooks* hooks)
{
  g_SoundThdDigimodeHooks.store(hooks, std::memory_order_release);
}

const TSoundThdDigimodeHooks* SoundThd_GetDigimodeHooks()
{
  return g_SoundThdDigimodeHooks.load(std::memory_order_acquire);
}

void SoundThd_NotifyOutputStopped()
{
  if (const TSoundThdDigimodeHooks* hooks = SoundThd_GetDigimodeHooks()) hooks->OutputStopped();
}
