// The main window's 100 ms main loop.
#include <QPushButton>

#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/SoundThreadLink.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SpecMain.h"

namespace {
constexpr int kLoopFaultReentered = 4005;
}

void TSndMainForm::Timer1Timer()
{
  ++TimerTick;
  if (StartupTicks > 0 && !Closing) {  // the first 20 ticks (2 s) do nothing else
    --StartupTicks;
    if (StartupTicks == 0) ProgressButton->setText("Running");
    return;
  }
  if (UpdatingControls > 0 || LoopFault != 0 || Closing) return;
  if (InTimerTick) {  // re-entered (a message loop inside a tick)
    LoopFault = kLoopFaultReentered;
    return;
  }
  InTimerTick = true;

  TimeNow = GetPreciseUnixTime(true);

  char text[SOUND_THD_MSG_LEN];
  if (GetSoundThdMessage(text, sizeof text)) DebugPrintf(20, TimeNow, "%s", text);

  CSoundThreadLink& link = SoundThreadLink();
  const bool odd = (TimerTick & 1) != 0;
  if (link.ThreadExists() && odd && TimerTick > 20) {
    if (link.ThreadSuspended()) link.ResumeThread();
    link.SignalBlockEvent();  // ends the thread's wait between blocks early
  }

  if (link.ThreadExists() && !link.ThreadFinished()) {
    if (!odd && MonitorScope) MonitorScope->FeedFromSoundThread();
    char errorText[SOUND_THD_MSG_LEN];
    if (TakeFirstSoundError(errorText, sizeof errorText) != 0) {
      ProgressButton->setText(QString::fromLocal8Bit(errorText));
      StatusOwner = 6;
    }
  }
  if (odd && OutputScope) OutputScope->FeedFromSoundThread();

  InTimerTick = false;
}
