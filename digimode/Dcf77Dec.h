#pragma once
// The program's one time-signal decoder, g_Dcf77Decoder, fed by the audio thread through
// Dcf77Dec_ProcessSamples (digimode/DigimodeHooks.h) at the rate of the block the thread passes
// (g_ProcessedBlockRate; g_ProcessingSampleRate when no thread runs), and read by the
// time-decoder window and the digimode terminal.
#include "digimode/Dcf77Decoder.h"

extern Dcf77DecoderState g_Dcf77Decoder;

// The decoded time in Unix seconds (UTC), advanced by the time since the current decoded second
// began (on the precise clock's counter). False for a null pointer; otherwise true, also before
// any minute was decoded (the fields as they stand).
bool Dcf77Dec_GetDecodedTime(double* t);

// The decoded time of a snapshot, `now` seconds on the same clock as its LastSecondTime.
double Dcf77Dec_SnapshotTime(const Dcf77DecodedTime& d, double now);

// The time of the last valid minute since the reset, run on to `now` (seconds on the clock of
// LastSecondTime); meaningful only when d.HasValidTime. *ageSeconds (may be null): the seconds
// from that minute's mark to now.
double Dcf77Dec_ValidTime(const Dcf77DecodedTime& d, double now, double* ageSeconds);

// The decoded time of the last minute that passed every check, run on to the precise clock's
// now, and its age: seconds since that minute's mark. False, leaving *t and *ageSeconds as
// they were, when no minute was valid since the reset; *snap (may be null) receives the
// snapshot read.
bool Dcf77Dec_GetValidTime(double* t, double* ageSeconds, Dcf77DecodedTime* snap);

// Whether the decoded fields come from a complete minute that passed the format's checks (and
// no reset came since).
bool Dcf77Dec_IsTimeValid();

// The oldest waiting event character ('0', '1', 'm'), 0 when none. GUI thread.
char Dcf77Dec_GetEventChar();

// Asks the audio thread to reset the decoder before its next block (the argument is ignored).
void Dcf77Dec_Reset(int);
