#pragma once
// The periodic and scheduled actions outside their dialog: the schedule grid's time texts and
// the object word "period" (period.start, period.start(seconds), period.stop), which switches
// the periodic macro from any macro. The macros themselves are run by the main loop. GUI thread
// only.
#include <functional>

// "hh:mm" of a second of the day: hours (seconds / 3600) mod 60, minutes (seconds / 60) mod 60,
// two digits each. The text lives in a static buffer that the next call overwrites. A negative
// time (an empty schedule entry) gives "".
const char* PeriSced_SecondsToHHMM(int seconds);
// Seconds of the day of an "hh:mm" text: hours from characters 1-2, minutes from characters 4-5,
// each a whole number or 0 when it is none ("7:05" gives 300: "7:" is no number).
int PeriSced_HHMMToSeconds(const char* text);

// Handler of the object word "period" (convention of CliCommands.h), registered for the whole
// run by the main window. g_CliParsePtr stands after "period" and its '.':
//   start              SndConfig.TimerActive = 1, and the next due time is set anew (as after
//                      the dialog's OK: the main loop sees PeriSced_StartCount change)
//   start(expression)  SndConfig.TimeInterval = the value in seconds, then as start; a value
//                      that is not finite gives -6 and changes nothing
//   stop               SndConfig.TimerActive = 0
// -1 for a first character that is no lowercase letter or another word starting with 's',
// -4 for another first letter, errors of the expression as they are. In an expression the
// word yields 0.
int CLI_ExecPeriodCommand(int source, double* result);

// The periodic-actions dialog follows start and stop while it is visible: it installs this
// hook (an empty one removes it), which gets the new active state and the interval in seconds.
using PeriodDialogHook = std::function<void(bool active, double intervalSec)>;
void PeriSced_SetDialogHook(PeriodDialogHook hook);

// How often the word has started the periodic action since the program started. The main loop
// keeps the count it last saw; a change makes it set the next due time from the new interval.
unsigned PeriSced_StartCount();
