#pragma once
// The watch list's engine on the main timer: the plot step, the grid pass (evaluating every
// watch expression with source 8), the recording of each step's min/max/average into the plot
// history, and the marker-interval expressions. The clock is the caller's (tick time, Unix
// seconds). Qt-free; the window composes its periodic update from these steps plus its own
// drawing and settings steps. GUI thread only; the interpreter's parse position is saved and
// restored around every evaluation.
#include "interp/PlotData.h"
#include "interp/WatchList.h"
#include "interp/WatchTable.h"

// The running figures of the step in progress, kept between ticks.
struct T_WatchSampler {
  T_PlotDataRecord StepRecord{};
  int LastRunning = -1;  // last running state seen by the periodic update
  int LastGridSecond = 0;
};

// True when a new step begins at tickTime (at or beyond StepStartTime + SecPerStep, or the
// clock went back); StepStartTime then moves on and the marker intervals are evaluated.
bool Watch_StepChange(T_WatchList* wl, double tickTime);
// Whether the grid pass is due at tickTime (first tick of a second, second half of a second,
// clock set back, titles not yet written); notes the second when it is.
bool Watch_GridPassDue(T_WatchSampler* s, const T_WatchFormFields* f, double tickTime);
// The grid pass: result texts of every channel, current values into g_WatchValues-like values,
// and with the take-over flag the titles, formats and scales into the watch list.
void UpdateWatchGrid(T_WatchList* wl, T_WatchGrid* grid, T_WatchFormFields* f, double* values, bool full);
// One recording step: on a new step the ring moves on and the figures restart; the record of
// the step in progress is (re)written at its slot through PlotData_StoreRecord.
void RecordSample(T_WatchSampler* s, T_WatchList* wl, T_PlotData* pd, const T_WatchGrid* grid,
                  const double* values, double tickTime, bool newStep);
// Evaluates LargeInterval and SmallInterval into their seconds (results of failures ignored).
void EvalMarkerIntervals(T_WatchList* wl);
