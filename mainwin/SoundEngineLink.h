#pragma once
// Connects the windows to the real audio engine: the audio thread of engine/SoundThd.h, the
// sound-card object and the filter hand-over. The program installs it at start; window tests
// install fakes of CSoundThreadLink instead.
#include "engine/SoundThreadLink.h"

class CSoundEngineLink : public CSoundThreadLink {
public:
  double CalcEffectiveSampleRates() override;
  void UpdateFreqRangeLimits() override;
  void InitGlobals() override;
  void CreateSound() override;
  bool ThreadExists() const override;
  void CreateThread() override;
  bool ThreadSuspended() const override;
  bool ThreadFinished() const override;
  bool OnLoopbackFallback() const override;
  void ResumeThread() override;
  void SignalBlockEvent() override;
  bool TerminateThread() override;
  void Cleanup() override;
  void RequestDeviceReopen() override;
  void ActivateEditedFilters() override;
  void SetSoundInOutWanted(bool in, bool out) override;
  void CloseAnalysedWaveFile() override;
  const int16_t* ScopeSnapshot(ScopeChannel channel, int* count) override;
  void AckScopeSnapshot(ScopeChannel channel) override;
  SoundEngineStats Stats() const override;
  void ClearInputStatus() override;
  void TakeMixClips(int inClips[2], int outClips[2]) override;
  void RequestStall(int ms) override;
  void SetDebugOptions(int bits) override;
  void SetSoundOutputWanted(bool wanted) override;
  bool SoundOutputWanted() const override;
};

// Installs the one engine link of the program.
void InstallSoundEngineLink();
