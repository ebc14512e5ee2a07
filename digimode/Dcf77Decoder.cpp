// The time-signal decoder's block processing: carrier envelope, debounce, drop lengths, phase
// lock on the second marks, minute marks and the DCF77 and MSF frame decode with its checks.
#include "digimode/Dcf77Decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "engine/TimeUtils.h"

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
// MSF seconds 1..59 (0 is the minute mark); and the mark that ends it began at the expected
// second (noise that cuts the carrier late in second 59 must not end a DCF77 minute early).
bool MinuteComplete(const Dcf77DecoderState& s, bool msf)
{
  if (!s.MinuteOpen || s.ExtraPulse || !s.DropOnPhase) return false;
  for (int i = 0; i < 60; ++i) {
    const bool wanted = msf ? i >= 1 : i <= 58;
    if (s.Pulses[i] != (wanted ? 1 : 0)) return false;
  }
  return true;
}

// Step 8: decode the minute that just ended, publish the snapshot and open the next minute.
// A valid minute is kept as the one to run on from; it is published with the second that
// follows (the tail of the same sample), so its time base is never seen without it.
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
    if (d.ok) {
      s.ValidPending = true;
      s.PendingMinuteUtc =
          CalendarToUnixSeconds(d.year, d.month, d.day, d.hour - d.zone, d.minute, 0.0);
      s.PendingZoneHours = d.zone;
      s.PendingStation = station;
      s.ValidMarkPos = s.MinuteMarkPos;
      s.ValidSinceDecision = true;
      s.OtherMarkPos = s.OtherChainStart = 0;  // the decided station is being received
    }
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

constexpr int32_t kLockedCount = 3, kMaxOnPhaseCount = 10;
// Minutes for which the other station's marks must keep fitting before a station that has
// given valid minutes gives way to it.
constexpr int64_t kGiveWayMinutes = 3;

// The drop that just began started on the expected second mark of a locked phase.
bool MarkOnLockedSecond(const Dcf77DecoderState& s)
{
  return s.DropOnPhase && s.OnPhaseCount >= kLockedCount;
}

void DecideStation(Dcf77DecoderState& s, int station)
{
  s.Station.store(station, std::memory_order_relaxed);
  s.ValidSinceDecision = false;
  s.OtherMarkPos = s.OtherChainStart = 0;
}

// A minute mark of the station not decided, on the locked second: true when the decided
// station is to give way. Such marks form a chain while each lies a whole number of minutes
// (one to five, within 40 ms) after the one before; a valid minute of the decided station
// breaks the chain (DecodeMinute). While the decided station has given no valid minute, the
// second mark of a chain is enough; once it has (a receiver retuned to the other station),
// the chain must have run for three minutes.
bool OtherStationFits(Dcf77DecoderState& s, int64_t R)
{
  if (!MarkOnLockedSecond(s)) return false;
  const int64_t pos = s.DropStartPos;
  const int64_t minute = 60 * R;
  const int64_t k40 = R * 40 / 1000;
  bool fits = false;
  if (s.OtherMarkPos > 0) {
    const int64_t gap = pos - s.OtherMarkPos;
    for (int64_t m = 1; m <= 5 && !fits; ++m) fits = std::llabs(gap - m * minute) < k40;
  }
  if (!fits) s.OtherChainStart = pos;
  s.OtherMarkPos = pos;
  if (!fits) return false;
  return !s.ValidSinceDecision || pos - s.OtherChainStart > kGiveWayMinutes * minute - k40;
}

// Tone search: transform length, range and the test for a clear line.
constexpr int kSearchMaxLen = 16384;
constexpr double kSearchLoHz = 100, kSearchHiHz = 3000;
constexpr double kClearLine = 20;  // a line's averaged power over the mean of the range
constexpr int kSearchesAtStart = 8;  // searches that find a line, every 1.375 s, at first
// Lines weighed as the carrier, their distance in bins, and the test for the drops of a keyed
// carrier: the weakest of kSubFrames sub-frames (about 23 ms each) below kDipRatio of their
// mean power; the averaged evidence from kKeyedEvidence on counts.
constexpr int kMaxLines = 4, kLineGap = 6, kSubFrames = 16;
constexpr double kDipRatio = 0.2, kKeyedEvidence = 0.15;
// Envelope: corner of each low-pass stage. Each sample is judged against the carrier's level
// around it outside any drop window, so fading of a few seconds' period, 12 dB deep, and
// shallow keying are both held. The envelope is averaged in bins of kBinS. Once the phase is
// locked, the carrier's level for a sample is the smallest of the means over its second's
// windows where every second has the carrier present: kBeforeFrom .. kBeforeTo bins before its
// mark (late in the second: before the next mark), kAfterFrom .. kAfterTo bins after it (after
// the longest drop, the MSF minute mark), and kNearFrom .. kNearTo bins after it (after the bit
// drops; left out when it lies at the drop level, as in the MSF minute mark). Before the lock,
// on each side of the sample the nearest of the windows of kWindowBins bins kWindowOffsets
// away whose mean is not that of a drop (at least kClearWindow x (1 + low) / 2 of the
// strongest one) gives the level of that side, and the carrier's level is the smaller side
// (the nearer side of a fade). The judgement therefore runs kDelayBins bins behind the input.
// The threshold lies half-way between the carrier's level and the drop level, kept as a ratio
// to the carrier's (averaged over the samples well below the threshold, so it holds when the
// carrier fades).
constexpr double kLowPassHz = 30;
constexpr double kRetuneHz = 10;  // a carrier change beyond this starts the levels afresh
constexpr double kBinS = 0.01;
constexpr int kWindowBins = 10;
constexpr int kWindowOffsets[3] = {20, 35, 55};  // bins between a sample and a window's near end
constexpr int kAfterFrom = 55, kAfterTo = 80, kBeforeFrom = 25, kBeforeTo = 5;
constexpr int kNearFrom = 32, kNearTo = 45;
constexpr int kDelayBins = 85;  // beyond the farthest window's far end (kAfterTo)
constexpr double kLowStart = 0.3, kLowAverageS = 0.3;
constexpr double kClearWindow = 0.8;

// The largest power of two up to 0.4 s of samples, 256 .. kSearchMaxLen.
int SearchLength(double rate)
{
  int n = 256;
  while (n * 2 <= kSearchMaxLen && n * 2 <= rate * 0.4) n *= 2;
  return n;
}

// In-place radix-2 FFT of n (a power of two) complex values.
void Fft(double* re, double* im, int n)
{
  for (int i = 1, j = 0; i < n; ++i) {
    int bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (int len = 2; len <= n; len <<= 1) {
    const int half = len / 2;
    const double wRe = std::cos(M_PI / half), wIm = -std::sin(M_PI / half);
    for (int i = 0; i < n; i += len) {
      double uRe = 1, uIm = 0;
      for (int k = 0; k < half; ++k) {
        const int a = i + k, b = a + half;
        const double tRe = re[b] * uRe - im[b] * uIm;
        const double tIm = re[b] * uIm + im[b] * uRe;
        re[b] = re[a] - tRe;
        im[b] = im[a] - tIm;
        re[a] += tRe;
        im[a] += tIm;
        const double nRe = uRe * wRe - uIm * wIm;
        uIm = uRe * wIm + uIm * wRe;
        uRe = nRe;
      }
    }
  }
}

// Power of the collected samples at `hz` in each of kSubFrames consecutive sub-frames
// (Goertzel); returns the weakest sub-frame's power over the mean of all.
double DipRatio(const Dcf77DecoderState& s, double hz, double rate)
{
  const int n = s.SearchLen, len = n / kSubFrames;
  const double c = 2 * std::cos(2 * M_PI * hz / rate);
  double minP = 0, sumP = 0;
  for (int f = 0; f < kSubFrames; ++f) {
    double q1 = 0, q2 = 0;
    const double* x = s.SearchBuf.data() + f * len;
    for (int i = 0; i < len; ++i) {
      const double q0 = x[i] + c * q1 - q2;
      q2 = q1;
      q1 = q0;
    }
    const double p = q1 * q1 + q2 * q2 - c * q1 * q2;
    sumP += p;
    if (f == 0 || p < minP) minP = p;
  }
  return sumP > 0 ? minP / (sumP / kSubFrames) : 1.0;
}

// Adds the spectrum of the collected samples to the average and moves CarrierHz to a line of
// 100 .. 3,000 Hz that stands clearly above the rest of the range. A receiver's audio often
// holds other steady beat notes, stronger than the time signal: of the clear lines, the one
// whose level was seen to drop (the second marks) is taken, the strongest of them when several
// were; only while none has dropped yet the strongest line is taken. A silent collection
// (a muted receiver, a device just opened) neither counts nor enters the average.
void RunToneSearch(Dcf77DecoderState& s, double rate)
{
  const int n = s.SearchLen;
  double energy = 0;
  for (int i = 0; i < n; ++i) energy += s.SearchBuf[i] * s.SearchBuf[i];
  if (!(energy > n * 1e-6) || !std::isfinite(energy)) return;
  double* re = s.SearchRe.data();
  double* im = s.SearchIm.data();
  double* avg = s.SearchAvg.data();
  double* keyed = s.SearchKeyed.data();
  // Hann window; its cosine by a rotating phasor.
  const double stepRe = std::cos(2 * M_PI / n), stepIm = std::sin(2 * M_PI / n);
  double cRe = 1, cIm = 0;
  for (int i = 0; i < n; ++i) {
    re[i] = s.SearchBuf[i] * (0.5 - 0.5 * cRe);
    im[i] = 0;
    const double t = cRe * stepRe - cIm * stepIm;
    cIm = cRe * stepIm + cIm * stepRe;
    cRe = t;
  }
  Fft(re, im, n);
  const int lo = std::max(2, static_cast<int>(std::ceil(kSearchLoHz * n / rate)));
  const int hi = std::min(n / 2 - 2,
                          static_cast<int>(std::min(kSearchHiHz, rate * 0.45) * n / rate));
  if (hi - lo < 8) return;
  const bool first = s.SearchCount == 0;
  const double keep = first ? 0.0 : 0.7;
  for (int k = lo - 1; k <= hi + 1; ++k) {
    avg[k] = keep * avg[k] + (1 - keep) * (re[k] * re[k] + im[k] * im[k]);
    if (first) keyed[k] = 0;
  }
  ++s.SearchCount;
  double sum = 0;
  for (int k = lo; k <= hi; ++k) sum += avg[k];
  const double mean = sum / (hi - lo + 1);
  if (!std::isfinite(mean)) return;
  // The clear lines, strongest first, each at least kLineGap bins from a stronger one.
  int cand[kMaxLines];
  int nCand = 0;
  for (int c = 0; c < kMaxLines; ++c) {
    int peak = -1;
    for (int k = lo; k <= hi; ++k) {
      if (!(avg[k] > kClearLine * mean) || avg[k] < avg[k - 1] || avg[k] < avg[k + 1]) continue;
      bool near = false;
      for (int j = 0; j < nCand; ++j) near |= std::abs(k - cand[j]) < kLineGap;
      if (!near && (peak < 0 || avg[k] > avg[peak])) peak = k;
    }
    if (peak < 0) break;
    cand[nCand++] = peak;
  }
  if (nCand == 0) return;
  ++s.SearchesFound;
  // Whether each line dropped within this collection; the evidence of each bin is averaged.
  int chosen = -1;
  for (int j = 0; j < nCand; ++j) {
    const int k = cand[j];
    const bool dip = DipRatio(s, k * rate / n, rate) < kDipRatio;
    keyed[k] = 0.8 * keyed[k] + (dip ? 0.2 : 0.0);
    const double evidence = std::max({keyed[k - 1], keyed[k], keyed[k + 1]});
    if (chosen < 0 && evidence >= kKeyedEvidence) chosen = k;
  }
  const int peak = chosen >= 0 ? chosen : cand[0];
  // The line's centre between the bins: a parabola through the log powers around the peak.
  const double a = std::log(avg[peak - 1] + 1e-300), b = std::log(avg[peak] + 1e-300),
               c = std::log(avg[peak + 1] + 1e-300);
  const double den = a - 2 * b + c;
  double delta = den < 0 ? 0.5 * (a - c) / den : 0.0;
  delta = std::clamp(delta, -0.5, 0.5);
  s.CarrierHz = (peak + delta) * rate / n;
}

constexpr int kBinRing = 256;  // bins kept: more than twice kDelayBins

// Mean of the bins from..to-1 (bins before the start count as silence).
double RangeMean(const Dcf77DecoderState& s, int64_t from, int64_t to)
{
  double sum = 0;
  for (int64_t b = from; b < to; ++b)
    if (b >= 0) sum += s.BinMean[b % kBinRing];
  return to > from ? sum / static_cast<double>(to - from) : 0.0;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The carrier's level on one side of bin b: of the windows on that side, the nearest whose
// mean is not that of a drop (at least kClearWindow x (1 + low) / 2 of the strongest one).
double LevelSide(const Dcf77DecoderState& s, int64_t b, int dir, double low)
{
  double v[3], top = 0;
  for (int w = 0; w < 3; ++w) {
    const int off = kWindowOffsets[w];
    const int64_t first = dir > 0 ? b + off : b - off - kWindowBins + 1;
    v[w] = RangeMean(s, first, first + kWindowBins);
    top = std::max(top, v[w]);
  }
  const double clear = top * kClearWindow * 0.5 * (1 + low);
  for (int w = 0; w < 3; ++w)
    if (v[w] >= clear) return v[w];
  return top;
}

struct Timing {
  double rate;
  int64_t R, k20, k150, k250, k700, P;
  int64_t edgeDelay;  // samples from a carrier edge to its crossing of the envelope threshold
  int64_t timeShift;  // samples the judged sample lies behind the input
  bool msfPossible;  // the station is unknown or MSF
  bool search;       // the carrier is searched for (not set)
};

}  // namespace

Dcf77DecoderState::Dcf77DecoderState()
    : EnvDelay(static_cast<size_t>(kDelayBins) * static_cast<size_t>(kMaxRate * kBinS + 1)),
      BinMean(kBinRing), SearchBuf(kSearchMaxLen), SearchRe(kSearchMaxLen),
      SearchIm(kSearchMaxLen), SearchAvg(kSearchMaxLen / 2 + 1),
      SearchKeyed(kSearchMaxLen / 2 + 1)
{
}

void Dcf77Dec_ResetNow(Dcf77DecoderState& s)
{
  s.Station.store(0, std::memory_order_relaxed);
  s.Amplitude.store(0.0, std::memory_order_relaxed);
  s.BlockRms = 0;
  s.CarrierHz = 650;
  s.MixRe = 1;
  s.MixIm = 0;
  s.Lp1Re = s.Lp1Im = s.Lp2Re = s.Lp2Im = 0;
  s.Envelope = s.EnvHigh = s.EnvHighNow = 0;
  s.EnvLow = kLowStart;
  s.EnvHz = 0;
  s.EnvRate = 0;  // the bins and the delay are set up again by the next block
  s.QuickPresent = false;
  s.SearchRate = 0;  // set up again by the next block
  s.SearchFill = 0;
  s.SearchNext = 0;
  s.SearchCount = 0;
  s.SampleCounter = s.LastDropPos = s.SecondPhase = s.MinuteMarkPos = 0;
  s.PositionRate = 0;
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
  s.DropWhileLocked = false;
  s.OnPhaseCount = 0;
  s.ValidSinceDecision = false;
  s.OtherMarkPos = s.OtherChainStart = 0;
  s.DropStartPos = 0;
  s.SearchesFound = 0;
  s.BitIndex = 0;
  s.MinutesDecoded.store(0, std::memory_order_relaxed);
  // Emptied from the writer's side: the reader sees head = tail.
  s.EventHead.store(s.EventTail.load(std::memory_order_acquire), std::memory_order_release);
  // The decoded fields stay; their time base is gone, so they are no longer valid.
  BeginWrite(s);
  s.SnapSecondTime.store(0.0, std::memory_order_relaxed);
  s.SnapValid.store(false, std::memory_order_relaxed);
  s.SnapHasValidTime.store(false, std::memory_order_relaxed);
  EndWrite(s);
  s.ValidPending = s.HasValidTime = false;
  s.ValidMarkPos = 0;
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
    t.HasValidTime = s.SnapHasValidTime.load(std::memory_order_relaxed);
    t.ValidMinuteUtc = s.SnapValidMinuteUtc.load(std::memory_order_relaxed);
    t.ValidOffset = s.SnapValidOffset.load(std::memory_order_relaxed);
    t.ValidZoneHours = s.SnapValidZoneHours.load(std::memory_order_relaxed);
    t.ValidStation = s.SnapValidStation.load(std::memory_order_relaxed);
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

namespace {

// The samples come at `factor` times the rate the positions were counted at: each position keeps
// its distance in time before SampleCounter, each duration its length in time.
void RecountPositions(Dcf77DecoderState& s, double factor)
{
  const int64_t now = s.SampleCounter;
  const auto recount = [&](int64_t& pos) {
    if (pos > 0) pos = now - std::llround(static_cast<double>(now - pos) * factor);
  };
  recount(s.LastDropPos);
  recount(s.SecondPhase);
  recount(s.MinuteMarkPos);
  recount(s.DropStartPos);
  recount(s.OtherMarkPos);
  recount(s.OtherChainStart);
  recount(s.ValidMarkPos);
  s.StateDuration =
      static_cast<int32_t>(std::min<double>(INT32_MAX, std::llround(s.StateDuration * factor)));
  s.Integrator = static_cast<int32_t>(std::lround(s.Integrator * factor));
}

// Steps before the per-sample loop: a pending reset, the input checks, the carrier level (1) and
// the timing constants (2). False when the block is to be ignored.
bool BeginBlock(Dcf77DecoderState& s, int n, double rate, bool haveInput, Timing& k)
{
  if (s.ResetRequested.exchange(false, std::memory_order_acq_rel)) Dcf77Dec_ResetNow(s);
  if (!haveInput || n < 1 || !(rate >= 1.0) || rate > kMaxRate) return false;
  if (s.PositionRate > 0 && s.PositionRate != rate) RecountPositions(s, rate / s.PositionRate);
  s.PositionRate = rate;
  k.rate = rate;
  k.R = static_cast<int64_t>(rate);
  k.k20 = k.R * 20 / 1000;
  k.k150 = k.R * 150 / 1000;
  k.k250 = k.R * 250 / 1000;
  k.k700 = k.R * 700 / 1000;
  k.edgeDelay = 0;
  k.timeShift = 0;
  const double setting = s.CarrierHzSetting.load(std::memory_order_relaxed);
  k.search = !(setting > 0 && setting < kMaxRate);  // a value out of range searches
  if (!k.search) s.CarrierHz = setting;
  if (!(s.CarrierHz >= 100)) s.CarrierHz = 100;
  k.P = static_cast<int64_t>(rate / s.CarrierHz);
  const int st = s.Station.load(std::memory_order_relaxed);
  k.msfPossible = st == DCF77_STATION_UNKNOWN || st == DCF77_STATION_MSF;
  return true;
}

// 7. At a minute mark the bits count from 0 again, and the minute begins at the second mark
// that lies at most 700 ms before this sample (the expected mark moves on only 700 ms after it).
void BeginMinute(Dcf77DecoderState& s, const Timing& k)
{
  s.BitIndex = 0;
  while (s.SampleCounter - s.SecondPhase > k.k700) s.SecondPhase += k.R;
  s.MinuteMarkPos = s.SecondPhase;
}

// Steps 5 to 9 for one sample whose carrier presence is known; i is its index in the block.
void StepSample(Dcf77DecoderState& s, bool present, const Timing& k, double tFirst, int i)
{
  const int64_t R = k.R, k20 = k.k20, k150 = k.k150, k250 = k.k250, k700 = k.k700, P = k.P;
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
    // The drop begins where the raw carrier first fell after it had been firmly present: noise
    // that lifts it for a moment within the drop does not move the start later.
    if (s.RawCarrier == 1 && s.Integrator >= k20 - 1) {
      s.LastDropPos = std::max<int64_t>(1, s.SampleCounter - k.edgeDelay);
      if (k.timeShift == 0) s.SecondMarkSeen.store(1, std::memory_order_relaxed);
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
        // The second off-time of an MSF second (A bit 0, B bit 1): a short drop, but not a
        // second pulse.
        s.BDrop = false;
        e = '0';
      } else if (s.StateDuration < k150) {
        e = '0';
        // A short drop off the locked second is noise between the pulses: no pulse, and the
        // minute stays whole (a pulse it hid is missing from its own second).
        if (s.DropOnPhase || !s.DropWhileLocked) {
          StoreBit(s, 0);
          if (!s.DropOnPhase || !ClearDropLength(s.StateDuration, R)) s.ExtraPulse = true;
        }
      } else if (station == DCF77_STATION_DCF77 && s.StateDuration >= 3 * k150 &&
                 s.StateDuration <= k700 && OtherStationFits(s, R)) {
        // DCF77 was decided, but no minute was valid since, and MSF minute marks arrive on
        // the locked second a whole number of minutes apart: it is MSF.
        DecideStation(s, DCF77_STATION_MSF);
        e = 'm';
        minute = true;
        BeginMinute(s, k);
      } else if (dcfLayout || s.StateDuration < 3 * k150) {
        e = '1';
        StoreBit(s, 1);
        if (!s.DropOnPhase || !ClearDropLength(s.StateDuration, R)) s.ExtraPulse = true;
        if (!dcfLayout && s.StateDuration >= k250) SetB(s);  // MSF A and B both 1: 300 ms
      } else if (s.StateDuration <= k700) {
        e = 'm';  // MSF minute mark: 500 ms off
        minute = true;
        BeginMinute(s, k);
        // Only a mark that began at the locked second decides the station.
        if (station == DCF77_STATION_UNKNOWN && s.SampleCounter > 100000 && MarkOnLockedSecond(s))
          DecideStation(s, DCF77_STATION_MSF);
      } else {
        // Longer than any mark: the signal was lost (or silent); the minute is spoiled.
        s.ExtraPulse = true;
      }
    } else {
      // The carrier dropped: StateDuration is the time it was present.
      s.DropStartPos = s.LastDropPos;
      s.DropWhileLocked = s.SecondPhase != 0 && s.OnPhaseCount >= kLockedCount;
      const int64_t d = s.LastDropPos - s.SecondPhase;
      // In MSF a drop 150..250 ms after the locked second mark is the B bit of that second.
      // Before the phase is locked such a drop is taken as a second pulse, so a phase seeded
      // on noise (or on a B bit) moves to the real marks.
      if (k.msfPossible && s.SecondPhase != 0 && s.OnPhaseCount >= kLockedCount && d >= k150 &&
          d < k250) {
        s.BDrop = true;
        SetB(s);
      } else {
        int acc = s.PhaseAccuracy.load(std::memory_order_relaxed);
        if (s.SecondPhase == 0) {
          s.SecondPhase = s.LastDropPos;
          s.DropOnPhase = true;
          s.OnPhaseCount = 0;
        } else {
          const int64_t e8 = d / 8;
          // A second pulse begins within 40 ms of the expected mark; a later start means
          // noise hid its beginning, so its length (and bit) is doubtful.
          s.DropOnPhase = std::llabs(d) < R * 40 / 1000;
          if (std::llabs(e8) >= P) {
            // Off the mark: noise, or the phase is wrong. Drops off the mark wear the lock
            // down; once none is left the next one seeds the phase anew.
            if (acc > 0) --acc;
            if (s.OnPhaseCount > 0) {
              --s.OnPhaseCount;
            } else {
              s.SecondPhase = s.LastDropPos;  // re-seed
              s.DropOnPhase = true;
            }
          } else {
            if (s.OnPhaseCount < kMaxOnPhaseCount) ++s.OnPhaseCount;
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
          // A second without a drop: the missing 59th second of DCF77. It decides the
          // station only when the drop after it began on the locked second; MSF decided
          // without a valid minute since gives way when such marks come minutes apart.
          if (station == DCF77_STATION_UNKNOWN && s.SampleCounter > 100000 &&
              MarkOnLockedSecond(s))
            DecideStation(s, DCF77_STATION_DCF77);
          else if (station == DCF77_STATION_MSF && OtherStationFits(s, R))
            DecideStation(s, DCF77_STATION_DCF77);
          e = 'm';
          minute = true;
          BeginMinute(s, k);
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
  // The second number counts from the sample at which a drop beginning there would be
  // confirmed (the threshold crossing plus the debounce), so a DCF77 minute mark resets it
  // before it could reach 60; the second's time stays that of its first sample.
  const int64_t sec = (s.SampleCounter - 2 * k20 - k.edgeDelay - s.MinuteMarkPos) / R;
  if (sec != s.Second.load(std::memory_order_relaxed) || s.ValidPending) {
    // The time of the second's first sample; after a minute mark found late (the debounce,
    // or the end of the MSF mark) that lies some samples back.
    const int64_t back = s.SampleCounter - (s.MinuteMarkPos + sec * R);
    s.LastSecondTime = tFirst + static_cast<double>(i - k.timeShift - back) / k.rate;
    BeginWrite(s);
    Put(s.Second, static_cast<int>(sec));
    s.SnapSecondTime.store(s.LastSecondTime, std::memory_order_relaxed);
    if (s.ValidPending) {
      s.ValidPending = false;
      s.HasValidTime = true;
      s.SnapHasValidTime.store(true, std::memory_order_relaxed);
      s.SnapValidMinuteUtc.store(s.PendingMinuteUtc, std::memory_order_relaxed);
      Put(s.SnapValidZoneHours, s.PendingZoneHours);
      Put(s.SnapValidStation, s.PendingStation);
    }
    if (s.HasValidTime)
      s.SnapValidOffset.store(
          static_cast<double>(s.MinuteMarkPos + sec * R - s.ValidMarkPos) / k.rate,
          std::memory_order_relaxed);
    EndWrite(s);
    if (s.MinutesDecoded.load(std::memory_order_relaxed) > 0)
      s.TimeState.store(2, std::memory_order_relaxed);
  }
  ++s.SampleCounter;
}

double FlushTiny(double v) { return std::fabs(v) < 1e-200 ? 0.0 : v; }

}  // namespace

void Dcf77Dec_Process(Dcf77DecoderState& s, const double* x, int n, double tFirst, double rate)
{
  Timing k;
  if (!BeginBlock(s, n, rate, x != nullptr, k)) return;
  // The two low-pass stages reach half of a step 1.68 time constants after it; the threshold
  // lies about half-way between the levels (a little above, as the low level creeps up between
  // drops), so a carrier edge crosses it some 1.6 time constants late. Taken a little short:
  // the decoded time may lag by a fraction of a millisecond but does not run ahead.
  k.edgeDelay = static_cast<int64_t>(1.55 * rate / (2 * M_PI * kLowPassHz));

  // 1. Carrier level for the display: fast attack, slow decay. A block with samples that are
  // not finite leaves the level as it was.
  double sum = 0;
  for (int i = 0; i < n; ++i) sum += x[i] * x[i];
  const double rms = std::sqrt(sum / n);
  if (std::isfinite(rms)) {
    double amplitude = s.Amplitude.load(std::memory_order_relaxed);
    s.BlockRms = rms;
    double w = rms > amplitude ? n * 0.0001 : n * 0.00002;
    if (w > 1.0) w = 1.0;
    amplitude = (1.0 - w) * amplitude + w * rms;
    s.Amplitude.store(amplitude, std::memory_order_relaxed);
  }

  // Tone search set-up for this rate.
  const bool search = k.search;
  if (rate != s.SearchRate) {
    s.SearchRate = rate;
    s.SearchLen = SearchLength(rate);
    s.SearchFill = 0;
    s.SearchCount = 0;
    s.SearchesFound = 0;
    s.SearchNext = s.SampleCounter;
  }
  // The carrier moved to another line: the levels of the old one mean nothing for it.
  if (std::fabs(s.CarrierHz - s.EnvHz) > kRetuneHz) {
    s.EnvHz = s.CarrierHz;
    std::fill(s.BinMean.begin(), s.BinMean.end(), 0.0);
    s.EnvHigh = s.EnvHighNow = 0;
  }
  // Mixer step e^(-j w) for CarrierHz; the phasor is renormalised once per block.
  const double w = 2 * M_PI * s.CarrierHz / rate;
  const double stepRe = std::cos(w), stepIm = -std::sin(w);
  const double norm = std::hypot(s.MixRe, s.MixIm);
  if (norm > 0.5 && norm < 2) {
    s.MixRe /= norm;
    s.MixIm /= norm;
  } else {
    s.MixRe = 1;
    s.MixIm = 0;
  }
  const double aLp = 1 - std::exp(-2 * M_PI * kLowPassHz / rate);
  const double aLowAverage = 1 - std::exp(-1 / (kLowAverageS * rate));
  // Bins and the delay for this rate.
  if (rate != s.EnvRate) {
    const int oldLen = s.DelayLen;
    const double factor = s.EnvRate > 0 ? rate / s.EnvRate : 1.0;
    s.BinLen = std::max(1, static_cast<int>(std::lround(rate * kBinS)));
    s.DelayLen = kDelayBins * s.BinLen;
    if (s.EnvRate > 0 && oldLen > 0 &&
        static_cast<size_t>(oldLen) + static_cast<size_t>(s.DelayLen) <= s.EnvDelay.size()) {
      // The rate changed while running: the bins stay (means over 10 ms whatever the rate),
      // the delayed envelope is counted anew at the new rate (oldest first, through the free
      // space behind it), and the bins' origin keeps its distance in time, as the state
      // machine's positions do. Starting them afresh would judge the next 0.85 s as silence
      // and spoil the running minute.
      float* d = s.EnvDelay.data();
      std::rotate(d, d + s.DelayPos, d + oldLen);
      float* scratch = d + oldLen;
      const int64_t newLen = s.DelayLen;
      for (int64_t i = 0; i < newLen; ++i)
        scratch[i] = d[std::min<int64_t>(oldLen - 1, (2 * i + 1) * oldLen / (2 * newLen))];
      std::copy(scratch, scratch + s.DelayLen, d);
      s.DelayPos = 0;
      const int fill = std::min(s.BinLen - 1, static_cast<int>(std::lround(s.BinFill * factor)));
      s.BinSum = s.BinFill > 0 ? s.BinSum * fill / s.BinFill : 0.0;
      s.BinFill = fill;
      s.EnvStart = s.SampleCounter -
                   std::llround(static_cast<double>(s.SampleCounter - s.EnvStart) * factor);
      s.EnvRate = rate;
    } else {
      s.EnvRate = rate;
      std::fill(s.EnvDelay.begin(), s.EnvDelay.begin() + s.DelayLen, 0.0f);
      std::fill(s.BinMean.begin(), s.BinMean.end(), 0.0);
      s.DelayPos = 0;
      s.BinSum = 0;
      s.BinFill = 0;
      s.BinCount = 0;
      s.EnvLow = kLowStart;
      s.EnvHigh = s.EnvHighNow = 0;
      s.EnvStart = s.SampleCounter;
    }
  }
  k.timeShift = s.DelayLen;

  // In chunks: the envelope of each sample and the judgement of the sample kDelayBins bins
  // before it first (the filter state in registers), then the state machine over them.
  constexpr int kChunk = 512;
  uint8_t present[kChunk];
  double mixRe = s.MixRe, mixIm = s.MixIm;
  double lp1Re = s.Lp1Re, lp1Im = s.Lp1Im, lp2Re = s.Lp2Re, lp2Im = s.Lp2Im;
  double env = s.Envelope, high = s.EnvHigh, low = s.EnvLow;
  const int binLen = s.BinLen, delayLen = s.DelayLen;
  for (int from = 0; from < n; from += kChunk) {
    const int m = std::min(kChunk, n - from);
    const int64_t base = s.SampleCounter;
    // The phase as it stands at the chunk's start: it moves by whole seconds, or by a few
    // samples at a drop, within one.
    const bool locked = s.SecondPhase != 0 && s.OnPhaseCount >= kLockedCount;
    for (int j = 0; j < m; ++j) {
      // 4. Raw carrier: the envelope in the narrow band around the carrier against the middle
      // of the carrier's level around it and the drop level. Samples that are not finite count
      // as silence.
      double v = x[from + j];
      if (!(std::fabs(v) < 1e9)) v = 0;
      if (search && base + j >= s.SearchNext) {
        s.SearchBuf[s.SearchFill++] = v;
        if (s.SearchFill >= s.SearchLen) {
          RunToneSearch(s, rate);
          s.SearchFill = 0;
          // Every 1.375 s until a line was found a few times, then every 4.375 s: enough to
          // follow a drifting receiver at a quarter of the cost. The odd fraction moves the
          // collection through the second, so a keyed carrier's drops fall into some of them.
          const int64_t every =
              (s.SearchesFound < kSearchesAtStart ? k.R : 4 * k.R) + k.R * 3 / 8;
          s.SearchNext = base + j + std::max<int64_t>(1, every - s.SearchLen);
        }
      }
      lp1Re += aLp * (v * mixRe - lp1Re);
      lp1Im += aLp * (v * mixIm - lp1Im);
      lp2Re += aLp * (lp1Re - lp2Re);
      lp2Im += aLp * (lp1Im - lp2Im);
      const double t = mixRe * stepRe - mixIm * stepIm;
      mixIm = mixRe * stepIm + mixIm * stepRe;
      mixRe = t;
      env = 2 * std::sqrt(lp2Re * lp2Re + lp2Im * lp2Im);  // the tone's amplitude
      s.BinSum += env;
      if (++s.BinFill == binLen) {
        s.BinMean[s.BinCount % kBinRing] = s.BinSum / binLen;
        ++s.BinCount;
        s.BinSum = 0;
        s.BinFill = 0;
        // The level before the newest sample, for the second-mark flash.
        s.EnvHighNow = LevelSide(s, s.BinCount - 1, -1, low);
      }
      // The delayed sample; its bin's level once it enters a new bin.
      const int64_t pos = base + j - s.EnvStart - delayLen;
      const double delayed = s.EnvDelay[s.DelayPos];
      s.EnvDelay[s.DelayPos] = static_cast<float>(env);
      if (++s.DelayPos == delayLen) s.DelayPos = 0;
      if (pos >= 0 && pos % binLen == 0) {
        const int64_t b = pos / binLen;
        if (locked) {
          // The mark of the judged sample's second (its position as the state machine will
          // count it), and its bin.
          const int64_t n = base + j;
          int64_t ph = (n - k.edgeDelay - s.SecondPhase) % k.R;
          if (ph < 0) ph += k.R;
          const int64_t markBin = FloorDiv(n - ph - delayLen - s.EnvStart, binLen);
          // Late in the second (after its own window) the window before the next mark, which
          // holds the sample, stands for the level before it.
          const int64_t beforeBin =
              ph >= k.k700 ? FloorDiv(n - ph + k.R - delayLen - s.EnvStart, binLen) : markBin;
          const double after = RangeMean(s, markBin + kAfterFrom, markBin + kAfterTo);
          // Between the bit drops and that window the carrier can fade deeper still; the
          // nearer window counts unless it lies at the drop level (an MSF minute mark covers
          // it; also while DCF77 is decided, so a change to MSF is seen).
          const double near = RangeMean(s, markBin + kNearFrom, markBin + kNearTo);
          const bool nearIsDrop = near < after * (low + 0.25 * (1 - low));
          high = std::min(RangeMean(s, beforeBin - kBeforeFrom, beforeBin - kBeforeTo),
                          nearIsDrop ? after : std::min(near, after));
        } else {
          high = std::min(LevelSide(s, b, -1, low), LevelSide(s, b, 1, low));
        }
      }
      const double thr = high * 0.5 * (1 + low);
      const bool on = pos >= 0 && delayed > thr;
      // The drop ratio from the samples well below the threshold (not the edges).
      if (high > 0 && delayed < high * (low + 0.25 * (1 - low)))
        low += aLowAverage * (delayed / high - low);
      present[j] = on ? 1 : 0;
      // The flash follows the input at once, against the level before it.
      const bool onNow = env > s.EnvHighNow * 0.5 * (1 + low);
      if (s.QuickPresent && !onNow) s.SecondMarkSeen.store(1, std::memory_order_relaxed);
      s.QuickPresent = onNow;
    }
    for (int j = 0; j < m; ++j) StepSample(s, present[j] != 0, k, tFirst, from + j);
  }
  s.MixRe = mixRe;
  s.MixIm = mixIm;
  s.Lp1Re = lp1Re;
  s.Lp1Im = lp1Im;
  s.Lp2Re = lp2Re;
  s.Lp2Im = lp2Im;
  s.Envelope = env;
  s.EnvHigh = high;
  s.EnvLow = low;
  s.Lp1Re = FlushTiny(s.Lp1Re);
  s.Lp1Im = FlushTiny(s.Lp1Im);
  s.Lp2Re = FlushTiny(s.Lp2Re);
  s.Lp2Im = FlushTiny(s.Lp2Im);
  s.Envelope = FlushTiny(s.Envelope);
  s.EnvHigh = FlushTiny(s.EnvHigh);
}

void Dcf77Dec_ProcessKeying(Dcf77DecoderState& s, const uint8_t* present, int n, double tFirst,
                            double rate)
{
  Timing k;
  if (!BeginBlock(s, n, rate, present != nullptr, k)) return;
  for (int i = 0; i < n; ++i) StepSample(s, present[i] != 0, k, tFirst, i);
}
