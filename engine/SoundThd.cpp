// The audio thread (being built: the block loop follows).
#include "engine/SoundThd.h"

TSoundThread::TSoundThread(bool createSuspended) : TThread(createSuspended) {}
TSoundThread::~TSoundThread()
{
  Terminate();
  Wake();
  WaitFor();
}
void TSoundThread::UpdateSoundDevices() {}
void TSoundThread::Execute() { g_SoundThdFinished = true; }
void InitSoundThdGlobals() {}
bool TerminateSoundThread() { return true; }
void CleanupSoundThread() {}
void SetSoundInOutWanted(bool in, bool out)
{
  g_SoundInputWanted = in;
  g_SoundOutputWanted = out;
  CalcEffectiveSampleRates();
}
double CalcEffectiveSampleRates() { return g_ProcessingSampleRate; }
void UpdateFreqRangeLimits() {}
int SndThd_BlockWaitMs(uint32_t) { return 70; }
int SndThd_ShortPassLimitMs(uint32_t) { return 46; }
int SndThd_NextFaultScore(int score, int64_t, int) { return score; }
