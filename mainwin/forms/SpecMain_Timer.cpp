// The main window's 100 ms main loop: one tick of CMainLoop (see mainwin/MainLoop.h), then the
// idle work between ticks is armed while it is wanted.
#include <QTimer>

#include "mainwin/forms/SpecMain.h"

void TSndMainForm::Timer1Timer()
{
  Loop->Tick();
  if (!IdleTimer->isActive() && Loop->IdleWanted()) IdleTimer->start(0);
}

void TSndMainForm::AppIdle()
{
  const int next = Loop->IdleStep();
  if (next >= 0) IdleTimer->start(next);
}
