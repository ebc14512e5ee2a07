// The time-signal decoder's block processing: carrier envelope, debounce, drop lengths, phase
// lock on the second marks, minute marks and the DCF77 and MSF frame decode with its checks.
#include "digimode/Dcf77Decoder.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace {

constexpr double kMaxRate = 1e6;

// Field writes between BeginWrite and EndWrite form one snapshot.
void BeginWrite(Dcf77DecoderState& s)
{
  s.Seq.store(s.Seq.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
}

void EndWrite(Dcf77DecoderState& s)
{
  s.Seq.store(s.Seq.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void Put(std::atomic<int>& f, int v) { f.store(v, std::memory_order_relaxed); }

// Sum of the bits from..from+count-1 weighted by w (one weight per bit).
int Field(const int32_t* bits, int from, std::initializer_list<int> w)
{
  int v = 0, i = from;
  for (int weight : w) v += bits[i++] ? weight : 0;
  return v;
}

int BitSum(const int32_t* bits, int from, int to)
{
  int v = 0;
  for (int i = from; i <= to; ++i) v += bits[i] ? 1 : 0;
  return v;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// BCD value with its units digit (the first `unitBits` weights 1, 2, 4, 8) checked.
bool UnitsOk(int value, int units) { return units <= 9 && value >= 0; }

struct Decoded {
  int zone, hour, minute, day, weekday, month, year;
  bool ok;
};

bool DateTimeInRange(const Decoded& d, int weekdayMin, int weekdayMax)
{
  return d.minute <= 59 && d.hour <= 23 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysInMonth(d.year, d.month) && d.weekday >= weekdayMin &&
         d.weekday <= weekdayMax;
}

// DCF77 layout: bits 0..58 of the minute; the time is that of the minute mark just seen.
Decoded DecodeDcf77(const Dcf77DecoderState& s, bool complete)
{
  const int32_t* b = s.Bits;
  Decoded d;
  d.zone = Field(b, 17, {2, 1});
  d.minute = Field(b, 21, {1, 2, 4, 8, 10, 20, 40});
  d.hour = Field(b, 29, {1, 2, 4, 8, 10, 20});
  d.day = Field(b, 36, {1, 2, 4, 8, 10, 20});
  d.weekday = Field(b, 42, {1, 2, 4});
  d.month = Field(b, 45, {1, 2, 4, 8, 10});
  d.year = 2000 + Field(b, 50, {1, 2, 4, 8, 10, 20, 40, 80});
  // Fixed bits: 0 starts the minute with 0, 20 starts the time with 1, exactly one of the zone
  // bits 17 (CEST) and 18 (CET). Even parity over 21..28, 29..35 and 36..58.
  const bool fixed = b[0] == 0 && b[20] == 1 && (b[17] != 0) != (b[18] != 0);
  const bool parity = BitSum(b, 21, 28) % 2 == 0 && BitSum(b, 29, 35) % 2 == 0 &&
                      BitSum(b, 36, 58) % 2 == 0;
  const bool bcd = UnitsOk(d.minute, Field(b, 21, {1, 2, 4, 8})) &&
                   UnitsOk(d.hour, Field(b, 29, {1, 2, 4, 8})) &&
                   UnitsOk(d.day, Field(b, 36, {1, 2, 4, 8})) &&
                   UnitsOk(d.month, Field(b, 45, {1, 2, 4, 8})) &&
                   UnitsOk(d.year, Field(b, 50, {1, 2, 4, 8})) &&
                   Field(b, 54, {10, 20, 40, 80}) <= 90;
  d.ok = complete && fixed && parity && bcd && DateTimeInRange(d, 1, 7);
  return d;
}

// MSF layout: A bits 1..59 and B bits of the minute; the time is that of the minute mark.
Decoded DecodeMsf(const Dcf77DecoderState& s, bool complete)
{
  const int32_t* a = s.Bits;
  const int32_t* bb = s.BitsB;
  Decoded d;
  d.year = 2000 + Field(a, 17, {80, 40, 20, 10, 8, 4, 2, 1});
  d.month = Field(a, 25, {10, 8, 4, 2, 1});
  d.day = Field(a, 30, {20, 10, 8, 4, 2, 1});
  d.weekday = Field(a, 36, {4, 2, 1});
  d.hour = Field(a, 39, {20, 10, 8, 4, 2, 1});
  d.minute = Field(a, 45, {40, 20, 10, 8, 4, 2, 1});
  d.zone = bb[58] ? 1 : 0;  // 58B: British Summer Time in effect (UTC + 1)
  // Minute identifier 01111110 in 52A..59A; odd parity of 17A..24A with 54B, 25A..35A with 55B,
  // 36A..38A with 56B, 39A..51A with 57B; 59B is 0.
  bool fixed = a[52] == 0 && a[59] == 0 && bb[59] == 0;
  for (int i = 53; i <= 58; ++i) fixed = fixed && a[i] == 1;
  const bool parity = (BitSum(a, 17, 24) + bb[54]) % 2 == 1 &&
                      (BitSum(a, 25, 35) + bb[55]) % 2 == 1 &&
                      (BitSum(a, 36, 38) + bb[56]) % 2 == 1 &&
                      (BitSum(a, 39, 51) + bb[57]) % 2 == 1;
  const bool bcd = UnitsOk(d.year, Field(a, 21, {8, 4, 2, 1})) &&
                   Field(a, 17, {80, 40, 20, 10}) <= 90 &&
                   UnitsOk(d.month, Field(a, 26, {8, 4, 2, 1})) &&
                   UnitsOk(d.day, Field(a, 32, {8, 4, 2, 1})) &&
                   UnitsOk(d.hour, Field(a, 41, {8, 4, 2, 1})) &&
                   UnitsOk(d.minute, Field(a, 48, {8, 4, 2, 1}));
  d.ok = complete && fixed && parity && bcd && DateTimeInRange(d, 0, 6);
  return d;
}

// Every second of the minute carried exactly one pulse: DCF77 seconds 0..58 (59 has none),
// MSF seconds 1..59 (0 is the minute mark).
bool MinuteComplete(const Dcf77DecoderState& s, bool msf)
{
  if (!s.MinuteOpen || s.ExtraPulse) return false;
  for (int i = 0; i < 60; ++i) {
    const bool wanted = msf ? i >= 1 : i <= 58;
    if (s.Pulses[i] != (wanted ? 1 : 0)) return false;
  }
  return true;
}

// Step 8: decode the minute that just ended, publish the snapshot and open the next minute.
void DecodeMinute(Dcf77DecoderState& s)
{
  const int station = s.Station.load(std::memory_order_relaxed);
  BeginWrite(s);
  if (station == DCF77_STATION_UNKNOWN) {
    s.SnapValid.store(false, std::memory_order_relaxed);
  } else {
    const bool msf = station == DCF77_STATION_MSF;
    const Decoded d = msf ? DecodeMsf(s, MinuteComplete(s, true))
                          : DecodeDcf77(s, MinuteComplete(s, false));
    Put(s.ZoneHours, d.zone);
    Put(s.Hour, d.hour);
    Put(s.Minute, d.minute);
    Put(s.Day, d.day);
    Put(s.Weekday, d.weekday);
    Put(s.Month, d.month);
    Put(s.Year, d.year);
    s.SnapValid.store(d.ok, std::memory_order_relaxed);
  }
  s.SnapStation.store(station, std::memory_order_relaxed);
  s.SnapMinuteSerial.store(s.SnapMinuteSerial.load(std::memory_order_relaxed) + 1,
                           std::memory_order_relaxed);
  EndWrite(s);

  for (int i = 0; i < 60; ++i) {
    s.Bits[i] = 0;
    s.BitsB[i] = 0;
    s.Pulses[i] = 0;
  }
  s.ExtraPulse = false;
  s.MinuteOpen = true;
}

void PostEvent(Dcf77DecoderState& s, char e)
{
  const int head = s.EventHead.load(std::memory_order_relaxed);
  const int next = (head + 1) % DCF77_EVENT_RING_SIZE;
  if (next == s.EventTail.load(std::memory_order_acquire)) return;  // full: dropped
  s.EventRing[head].store(e, std::memory_order_relaxed);
  s.EventHead.store(next, std::memory_order_release);
}

// Whether a drop of `len` samples lies clearly within one of the keyed lengths: 100, 200 and
// (MSF, A and B both 1) 300 ms, each +-40 ms. A length between them comes from noise that cut or
// stretched the drop; its bit is kept but the minute does not count as valid.
bool ClearDropLength(int64_t len, int64_t R)
{
  const int64_t k40 = R * 40 / 1000;
  for (int64_t ms : {100, 200, 300})
    if (std::llabs(len - R * ms / 1000) < k40) return true;
  return false;
}

// A bit of the second BitIndex: stored, and counted as that second's pulse.
void StoreBit(Dcf77DecoderState& s, int bit)
{
  if (s.BitIndex >= 0 && s.BitIndex < 60) {
    s.Bits[s.BitIndex] = bit;
    ++s.Pulses[s.BitIndex];
  } else {
    s.ExtraPulse = true;
  }
}

void SetB(Dcf77DecoderState& s)
{
  if (s.BitIndex >= 0 && s.BitIndex < 60) s.BitsB[s.BitIndex] = 1;
}

}  // namespace

void Dcf77Dec_ResetNow(Dcf77DecoderState& s)
{
  s.Station.store(0, std::memory_order_relaxed);
  s.Amplitude.store(0.0, std::memory_order_relaxed);
  s.BlockRms = 0;
  s.SamplesSinceLarge = 0;
  s.CarrierHz = 650;
  s.SampleCounter = s.LastDropPos = s.SecondPhase = s.MinuteMarkPos = 0;
  s.LastSecondTime = 0;
  s.PhaseAccuracy.store(0, std::memory_order_relaxed);
  s.RawCarrier = 0;
  s.Integrator = 0;
  s.CarrierState = s.PrevCarrierState = 0;
  s.StateDuration = 0;
  for (int i = 0; i < 60; ++i) s.Bits[i] = s.BitsB[i] = s.Pulses[i] = 0;
  s.ExtraPulse = false;
  s.MinuteOpen = false;
  s.BDrop = false;
  s.DropOnPhase = false;
  s.BitIndex = 0;
  s.MinutesDecoded.store(0, std::memory_order_relaxed);
  // Emptied from the writer's side: the reader sees head = tail.
  s.EventHead.store(s.EventTail.load(std::memory_order_acquire), std::memory_order_release);
  // The decoded fields stay; their time base is gone, so they are no longer valid.
  BeginWrite(s);
  s.SnapSecondTime.store(0.0, std::memory_order_relaxed);
  s.SnapValid.store(false, std::memory_order_relaxed);
  EndWrite(s);
}

void Dcf77Dec_RequestReset(Dcf77DecoderState& s)
{
  s.ResetRequested.store(true, std::memory_order_release);
}

Dcf77DecodedTime Dcf77Dec_ReadSnapshot(const Dcf77DecoderState& s)
{
  Dcf77DecodedTime t;
  for (;;) {
    const uint32_t s1 = s.Seq.load(std::memory_order_acquire);
    t.ZoneHours = s.ZoneHours.load(std::memory_order_relaxed);
    t.Hour = s.Hour.load(std::memory_order_relaxed);
    t.Minute = s.Minute.load(std::memory_order_relaxed);
    t.Second = s.Second.load(std::memory_order_relaxed);
    t.Day = s.Day.load(std::memory_order_relaxed);
    t.Weekday = s.Weekday.load(std::memory_order_relaxed);
    t.Month = s.Month.load(std::memory_order_relaxed);
    t.Year = s.Year.load(std::memory_order_relaxed);
    t.LastSecondTime = s.SnapSecondTime.load(std::memory_order_relaxed);
    t.Station = s.SnapStation.load(std::memory_order_relaxed);
    t.Valid = s.SnapValid.load(std::memory_order_relaxed);
    t.MinuteSerial = s.SnapMinuteSerial.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    const uint32_t s2 = s.Seq.load(std::memory_order_relaxed);
    if (s1 == s2 && (s1 & 1u) == 0) return t;
  }
}

char Dcf77Dec_PopEvent(Dcf77DecoderState& s)
{
  const int tail = s.EventTail.load(std::memory_order_relaxed);
  if (tail == s.EventHead.load(std::memory_order_acquire)) return 0;
  const char c = s.EventRing[tail].load(std::memory_order_relaxed);
  s.EventTail.store((tail + 1) % DCF77_EVENT_RING_SIZE, std::memory_order_release);
  return c;
}

void Dcf77Dec_Process(Dcf77DecoderState& s, const double* x, int n, double tFirst, double rate)
{
  if (s.ResetRequested.exchange(false, std::memory_order_acq_rel)) Dcf77Dec_ResetNow(s);
  if (!x || n < 1 || !(rate >= 1.0) || rate > kMaxRate) return;

  const int64_t R = static_cast<int64_t>(rate);
  const int64_t k20 = R * 20 / 1000, k150 = R * 150 / 1000, k250 = R * 250 / 1000;
  const int64_t k700 = R * 700 / 1000;

  // 1. Carrier level: fast attack, slow decay. A block with samples that are not finite
  // leaves the level as it was.
  double sum = 0;
  for (int i = 0; i < n; ++i) sum += x[i] * x[i];
  const double rms = std::sqrt(sum / n);
  double amplitude = s.Amplitude.load(std::memory_order_relaxed);
  if (std::isfinite(rms)) {
    s.BlockRms = rms;
    double w = rms > amplitude ? n * 0.0001 : n * 0.00002;
    if (w > 1.0) w = 1.0;
    amplitude = (1.0 - w) * amplitude + w * rms;
    s.Amplitude.store(amplitude, std::memory_order_relaxed);
  }
  // 2.
  if (!(s.CarrierHz >= 100)) s.CarrierHz = 100;
  const int64_t P = static_cast<int64_t>(rate / s.CarrierHz);
  const double h = amplitude * 0.5;
  const bool msfPossible = [&] {
    const int st = s.Station.load(std::memory_order_relaxed);
    return st == DCF77_STATION_UNKNOWN || st == DCF77_STATION_MSF;
  }();

  for (int i = 0; i < n; ++i) {
    // 4. Raw carrier: a large sample within the last carrier period.
    if (x[i] > h || x[i] < -h) s.SamplesSinceLarge = 0;
    if (s.SamplesSinceLarge < INT32_MAX) ++s.SamplesSinceLarge;
    const bool present = s.SamplesSinceLarge < P;
    // 5. Debounce.
    if (present) {
      if (++s.Integrator > k20) {
        s.Integrator = static_cast<int32_t>(k20);
        s.CarrierState = 1;
      }
      s.RawCarrier = 1;
    } else {
      if (--s.Integrator < -k20) {
        s.Integrator = static_cast<int32_t>(-k20);
        s.CarrierState = 0;
      }
      if (s.RawCarrier == 1) {
        s.LastDropPos = s.SampleCounter;
        s.SecondMarkSeen.store(1, std::memory_order_relaxed);
      }
      s.RawCarrier = 0;
    }
    // 6. State changes.
    if (s.CarrierState == s.PrevCarrierState) {
      if (s.StateDuration < INT32_MAX) ++s.StateDuration;
    } else {
      s.PrevCarrierState = s.CarrierState;
      char e = 0;
      bool minute = false;
      const int station = s.Station.load(std::memory_order_relaxed);
      const bool dcfLayout = station == DCF77_STATION_DCF77 || station == DCF77_STATION_HBG;
      if (s.CarrierState == 1) {
        // The carrier came back: StateDuration is the length of the drop.
        if (s.BDrop) {
          // The second off-time of an MSF second (B bit 1, A bit 0): no second pulse.
          s.BDrop = false;
        } else if (s.StateDuration < k150) {
          e = '0';
          StoreBit(s, 0);
          if (!s.DropOnPhase || !ClearDropLength(s.StateDuration, R)) s.ExtraPulse = true;
        } else if (dcfLayout || s.StateDuration < 3 * k150) {
          e = '1';
          StoreBit(s, 1);
          if (!s.DropOnPhase || !ClearDropLength(s.StateDuration, R)) s.ExtraPulse = true;
          if (!dcfLayout && s.StateDuration >= k250) SetB(s);  // MSF A and B both 1: 300 ms
        } else {
          e = 'm';  // MSF minute mark: 500 ms off
          minute = true;
          s.BitIndex = 0;
          while (s.SampleCounter - s.SecondPhase > k700) s.SecondPhase += R;  // 7.
          s.MinuteMarkPos = s.SecondPhase;
          if (station == DCF77_STATION_UNKNOWN && s.SampleCounter > 100000)
            s.Station.store(DCF77_STATION_MSF, std::memory_order_relaxed);
        }
      } else {
        // The carrier dropped: StateDuration is the time it was present.
        const int64_t d = s.LastDropPos - s.SecondPhase;
        // In MSF a drop 150..250 ms after the second mark is the B bit of that second.
        if (msfPossible && s.SecondPhase != 0 && d >= k150 && d < k250) {
          s.BDrop = true;
          SetB(s);
        } else {
          int acc = s.PhaseAccuracy.load(std::memory_order_relaxed);
          if (s.SecondPhase == 0) {
            s.SecondPhase = s.LastDropPos;
            s.DropOnPhase = true;
          } else {
            const int64_t e8 = d / 8;
            // A second pulse begins within 40 ms of the expected mark; a later start means
            // noise hid its beginning, so its length (and bit) is doubtful.
            s.DropOnPhase = std::llabs(d) < R * 40 / 1000;
            if (std::llabs(e8) >= P) {
              if (acc > 0)
                --acc;
              else
                s.SecondPhase = s.LastDropPos;  // re-seed
            } else {
              const int64_t a = 100 - std::llabs(d);
              if (a < acc && acc > 0)
                --acc;
              else if (a > acc && acc < 100)
                ++acc;
              s.SecondPhase += e8;
              if (s.SecondPhase < s.LastDropPos)
                ++s.SecondPhase;
              else if (s.SecondPhase > s.LastDropPos)
                --s.SecondPhase;
            }
          }
          s.PhaseAccuracy.store(acc, std::memory_order_relaxed);
          if (s.StateDuration >= R) {
            // A second without a drop: the missing 59th second of DCF77.
            if (station == DCF77_STATION_UNKNOWN && s.SampleCounter > 100000)
              s.Station.store(DCF77_STATION_DCF77, std::memory_order_relaxed);
            e = 'm';
            minute = true;
            s.BitIndex = 0;
            while (s.SampleCounter - s.SecondPhase > k700) s.SecondPhase += R;  // 7.
            s.MinuteMarkPos = s.SecondPhase;
          }
        }
      }
      s.StateDuration = 0;
      if (minute) {
        DecodeMinute(s);
        s.TimeState.store(2, std::memory_order_relaxed);
        s.MinutesDecoded.fetch_add(1, std::memory_order_relaxed);
      }
      if (e) PostEvent(s, e);
    }
    // 9. Per-sample tail: the expected mark moves on 700 ms after the current one.
    if (s.SampleCounter - s.SecondPhase > k700) {
      s.SecondPhase += R;
      ++s.BitIndex;
    }
    const int64_t sec = (s.SampleCounter - s.MinuteMarkPos) / R;
    if (sec != s.Second.load(std::memory_order_relaxed)) {
      // The time of the second's first sample; after a minute mark found late (the debounce,
      // or the end of the MSF mark) that lies some samples back.
      const int64_t back = s.SampleCounter - (s.MinuteMarkPos + sec * R);
      s.LastSecondTime = tFirst + (i - back) / rate;
      BeginWrite(s);
      Put(s.Second, static_cast<int>(sec));
      s.SnapSecondTime.store(s.LastSecondTime, std::memory_order_relaxed);
      EndWrite(s);
      if (s.MinutesDecoded.load(std::memory_order_relaxed) > 0)
        s.TimeState.store(2, std::memory_order_relaxed);
    }
    ++s.SampleCounter;
  }
}
