#pragma once
// ActivateEditedFilter: the one way an edited filter (g_EditedDigiFilters) reaches the running
// filter of the audio thread (g_DigiFilters).

// Hands entry ch (0 or 1) of g_EditedDigiFilters to the audio thread: the running copy becomes
// the edited record with a cleared delay line. The copy is made while the channel's hand-over
// lock is held (engine/DigiFilterHandover.h), so the audio thread either runs the old record or
// the new one, never a half-copied one; at most the block in progress skips the filter.
// The running copy is made safe to run, the edited copy is left as it is: MaxCoeff limited to
// 1..128, Is_IIR 0 or 1, a Cascaded that the executor cannot run (1, negative, or more than
// MaxCoeff + 1) taken as 0.
// Returns false and changes nothing for a channel outside 0..1 or a record with a non-finite
// coefficient among 0..MaxCoeff (never handed to the audio thread). GUI thread only.
bool ActivateEditedFilter(int ch);

// "Reset all "Z"s to zero" (IIR-1 page): clears the delay lines of both running filters, each
// under its hand-over lock. GUI thread only.
void ResetRunningFilterStates();
