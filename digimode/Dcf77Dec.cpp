// The global time-signal decoder and its entries for the audio thread and the windows.
#include "digimode/Dcf77Dec.h"

#include "digimode/DigimodeHooks.h"
#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SoundThd.h"
#include "engine/TimeUtils.h"
#include "platform/PerfCounter.h"

Dcf77DecoderState g_Dcf77Decoder;

void Dcf77Dec_ProcessSamples(const double* samples, int n, double tFirst)
{
  // The rate of the block the audio thread hands over; the processing rate when no thread runs.
  const double blockRate = g_ProcessedBlockRate.load();
  Dcf77Dec_Process(g_Dcf77Decoder, samples, n, tFirst,
                   blockRate > 0.0 ? blockRate : g_ProcessingSampleRate.load());
}

double Dcf77Dec_SnapshotTime(const Dcf77DecodedTime& d, double now)
{
  double dt = now - d.LastSecondTime;
  if (dt < 0) dt = 0;
  return CalendarToUnixSeconds(d.Year, d.Month, d.Day, d.Hour - d.ZoneHours, d.Minute,
                               static_cast<double>(d.Second)) +
         dt;
}

bool Dcf77Dec_GetDecodedTime(double* t)
{
  if (!t) return false;
  const double now = PerfCounterToUnixTime(QueryPerformanceCounter());
  *t = Dcf77Dec_SnapshotTime(Dcf77Dec_ReadSnapshot(g_Dcf77Decoder), now);
  return true;
}

double Dcf77Dec_ValidTime(const Dcf77DecodedTime& d, double now, double* ageSeconds)
{
  double dt = now - d.LastSecondTime;
  if (dt < 0) dt = 0;
  if (ageSeconds) *ageSeconds = d.ValidOffset + dt;
  return d.ValidMinuteUtc + d.ValidOffset + dt;
}

bool Dcf77Dec_GetValidTime(double* t, double* ageSeconds, Dcf77DecodedTime* snap)
{
  const double now = PerfCounterToUnixTime(QueryPerformanceCounter());
  const Dcf77DecodedTime d = Dcf77Dec_ReadSnapshot(g_Dcf77Decoder);
  if (snap) *snap = d;
  if (!d.HasValidTime) return false;
  const double v = Dcf77Dec_ValidTime(d, now, ageSeconds);
  if (t) *t = v;
  return true;
}

bool Dcf77Dec_IsTimeValid() { return Dcf77Dec_ReadSnapshot(g_Dcf77Decoder).Valid; }

char Dcf77Dec_GetEventChar() { return Dcf77Dec_PopEvent(g_Dcf77Decoder); }

void Dcf77Dec_Reset(int) { Dcf77Dec_RequestReset(g_Dcf77Decoder); }
