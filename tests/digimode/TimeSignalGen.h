#pragma once
// Audio of a long-wave time transmitter as a receiver's tone output, for the decoder tests and
// the decoder benchmark: a carrier tone keyed with the DCF77 or MSF time code of the given UTC
// time, optionally with white Gaussian noise, and the runner that feeds it to a decoder state
// and records every decoded minute against the true time.
//
// Formats (published by PTB for DCF77 and NPL for MSF):
// - DCF77: during each minute the local time (CET = UTC+1, CEST = UTC+2) of the next minute
//   mark; the carrier drops to 15 % at the start of every second for 100 ms (bit 0) or 200 ms
//   (bit 1); second 59 has no drop. Bit 0 = 0, 1..14 weather data, 15 call bit, 16 change
//   announcement, 17 CEST, 18 CET, 19 leap second, 20 = 1, minute 21..27 + even parity 28,
//   hour 29..34 + parity 35, day 36..41, weekday 42..44 (1 = Monday), month 45..49,
//   year 50..57, parity 58 over 36..57; BCD with the units first.
// - MSF: the UK civil time (GMT, or BST = UTC+1) of the next minute mark; the carrier is off
//   for 500 ms at second 0; at seconds 1..59 off for 100 ms, then for 100 ms more when bit A is
//   1, then for 100 ms more when bit B is 1. A: 17..24 year, 25..29 month, 30..35 day,
//   36..38 weekday (0 = Sunday), 39..44 hour, 45..51 minute (BCD, tens first), 52..59 the
//   minute identifier 01111110. B: 1..16 DUT1, 53 summer-time warning, 54..57 odd parity of
//   17A..24A, 25A..35A, 36A..38A, 39A..51A, 58 BST in effect, 59 = 0.
// Summer time (EU and UK): from 01:00 UTC on the last Sunday of March to 01:00 UTC on the last
// Sunday of October.
#include <array>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "digimode/Dcf77Decoder.h"
#include "engine/TimeUtils.h"

enum class TimeStation { Dcf77, Msf };

struct TimeFrame {
  std::array<int, 60> a{};  // DCF77 bits, or MSF A bits
  std::array<int, 60> b{};  // MSF B bits
};

struct TimeSignalOptions {
  TimeStation station = TimeStation::Dcf77;
  double rate = 11025;
  double startUtc = 0;                  // Unix time of the first sample
  double amplitude = 10000;             // carrier peak, 16-bit scale
  double carrierHz = 650;
  double snrDb = std::numeric_limits<double>::infinity();  // tone power / noise power in 2,500 Hz
  uint32_t seed = 1;
  // The carrier's level during a drop, relative to its full level; below 0 the station's own
  // (DCF77 15 %, MSF off). A receiver's AGC or a weak station leaves drops shallower.
  double keyedLevel = -1;
  // Fading: the carrier's amplitude times 1 + fadeDepth x sin(2 pi t / fadePeriod).
  double fadeDepth = 0;
  double fadePeriod = 20;
  // Faults: in the minute that begins at faultMinuteUtc, flip bit flipBit of the frame (A bits),
  // and/or send no drop at second losePulseSecond, and/or add a 150 ms drop (a burst of
  // interference) extraDropAt seconds into the minute.
  double faultMinuteUtc = -1;
  int flipBit = -1;
  int losePulseSecond = -1;
  double extraDropAt = -1;
  // Lead-in: the first silenceSeconds of the output are digital silence (a muted receiver),
  // the next unkeyedSeconds carry the carrier (and noise) without drops; the time code that
  // follows runs on the clock (its first second may be partial).
  double silenceSeconds = 0;
  double unkeyedSeconds = 0;
  // A steady tone beside the carrier (another beat note in the receiver's audio), its power
  // interfererDb above the carrier's; none when interfererHz is 0.
  double interfererHz = 0;
  double interfererDb = 0;
};

namespace timesig {

inline bool IsSummerTime(double utc)
{
  const auto lastSunday = [](int year, int month) {
    // The last day of the month, back to Sunday (1 January 1970 was a Thursday).
    double t = CalendarToUnixSeconds(year, month + 1, 1, 0, 0, 0) - 86400;
    const int64_t day = static_cast<int64_t>(std::floor(t / 86400));
    const int weekday = static_cast<int>(((day + 4) % 7 + 7) % 7);  // 0 = Sunday
    return t - weekday * 86400.0;
  };
  const time_t tt = static_cast<time_t>(std::floor(utc));
  tm g{};
  gmtime_r(&tt, &g);
  const int year = g.tm_year + 1900;
  return utc >= lastSunday(year, 3) + 3600 && utc < lastSunday(year, 10) + 3600;
}

inline tm Broken(double t)
{
  const time_t tt = static_cast<time_t>(std::floor(t));
  tm g{};
  gmtime_r(&tt, &g);
  return g;
}

inline void PutBcd(std::array<int, 60>& bits, int first, int value, std::initializer_list<int> w)
{
  int i = first;
  for (int weight : w) {
    bits[i++] = value >= weight ? 1 : 0;
    if (value >= weight) value -= weight;
  }
}

// Bits 1, 2, 4, 8, 10, 20, 40, 80 (units first): the BCD weights in the order given.
inline void PutBcdUnitsFirst(std::array<int, 60>& bits, int first, int value, int count)
{
  static const int w[8] = {1, 2, 4, 8, 10, 20, 40, 80};
  int tens = value / 10, units = value % 10;
  for (int k = 0; k < count; ++k) {
    const int weight = w[k];
    int bit;
    if (weight < 10) {
      bit = (units & weight) ? 1 : 0;
    } else {
      bit = (tens & (weight / 10)) ? 1 : 0;
    }
    bits[first + k] = bit;
  }
}

inline int Sum(const std::array<int, 60>& bits, int from, int to)
{
  int s = 0;
  for (int i = from; i <= to; ++i) s += bits[i];
  return s;
}

// The frame sent during the minute that begins at minuteUtc (it announces minuteUtc + 60).
inline TimeFrame MakeFrame(TimeStation station, double minuteUtc, uint32_t seed)
{
  TimeFrame f;
  const double next = minuteUtc + 60;
  const bool summer = IsSummerTime(next);
  std::mt19937 rng(seed ^ static_cast<uint32_t>(static_cast<int64_t>(minuteUtc) / 60));
  if (station == TimeStation::Dcf77) {
    const tm t = Broken(next + (summer ? 7200 : 3600));
    auto& a = f.a;
    for (int i = 1; i <= 14; ++i) a[i] = static_cast<int>(rng() & 1u);
    a[17] = summer ? 1 : 0;
    a[18] = summer ? 0 : 1;
    a[20] = 1;
    PutBcdUnitsFirst(a, 21, t.tm_min, 7);
    a[28] = Sum(a, 21, 27) % 2;
    PutBcdUnitsFirst(a, 29, t.tm_hour, 6);
    a[35] = Sum(a, 29, 34) % 2;
    PutBcdUnitsFirst(a, 36, t.tm_mday, 6);
    PutBcdUnitsFirst(a, 42, t.tm_wday == 0 ? 7 : t.tm_wday, 3);
    PutBcdUnitsFirst(a, 45, t.tm_mon + 1, 5);
    PutBcdUnitsFirst(a, 50, t.tm_year % 100, 8);
    a[58] = Sum(a, 36, 57) % 2;
  } else {
    const tm t = Broken(next + (summer ? 3600 : 0));
    auto& a = f.a;
    auto& b = f.b;
    b[1] = b[2] = 1;  // DUT1 = +0.2 s
    const auto bcd = [&](int first, int value, std::initializer_list<int> w) {
      PutBcd(a, first, (value / 10) * 16 + value % 10, w);
    };
    bcd(17, t.tm_year % 100, {128, 64, 32, 16, 8, 4, 2, 1});
    bcd(25, t.tm_mon + 1, {16, 8, 4, 2, 1});
    bcd(30, t.tm_mday, {32, 16, 8, 4, 2, 1});
    bcd(36, t.tm_wday, {4, 2, 1});
    bcd(39, t.tm_hour, {32, 16, 8, 4, 2, 1});
    bcd(45, t.tm_min, {64, 32, 16, 8, 4, 2, 1});
    for (int i = 53; i <= 58; ++i) a[i] = 1;
    b[54] = 1 - Sum(a, 17, 24) % 2;
    b[55] = 1 - Sum(a, 25, 35) % 2;
    b[56] = 1 - Sum(a, 36, 38) % 2;
    b[57] = 1 - Sum(a, 39, 51) % 2;
    b[58] = summer ? 1 : 0;
  }
  return f;
}

}  // namespace timesig

class CTimeSignalGen {
public:
  explicit CTimeSignalGen(const TimeSignalOptions& o)
      : m_o(o), m_rng(o.seed), m_noise(0.0, NoiseSigma(o)),
        m_ifAmplitude(o.amplitude * std::pow(10.0, o.interfererDb / 20))
  {
  }

  static double NoiseSigma(const TimeSignalOptions& o)
  {
    if (!std::isfinite(o.snrDb)) return 0.0;
    const double tone = o.amplitude * o.amplitude / 2;
    return std::sqrt(tone / std::pow(10.0, o.snrDb / 10) * (o.rate / 2) / 2500);
  }

  // Unix time of the next sample.
  double Now() const { return m_o.startUtc + m_index / m_o.rate; }

  void Generate(double* out, int n)
  {
    for (int i = 0; i < n; ++i, ++m_index) {
      const double t = Now();
      const double minute = std::floor(t / 60) * 60;
      if (minute != m_frameMinute) {
        m_frameMinute = minute;
        m_frame = timesig::MakeFrame(m_o.station, minute, m_o.seed);
        if (minute == m_o.faultMinuteUtc && m_o.flipBit >= 0 && m_o.flipBit < 60)
          m_frame.a[m_o.flipBit] ^= 1;
      }
      const double since = m_index / m_o.rate;
      if (since < m_o.silenceSeconds) {
        out[i] = 0;
        continue;
      }
      const bool unkeyed = since < m_o.silenceSeconds + m_o.unkeyedSeconds;
      const int sec = static_cast<int>(t - minute);
      const double f = t - std::floor(t);
      const bool lost = minute == m_o.faultMinuteUtc && sec == m_o.losePulseSecond;
      const bool extra = minute == m_o.faultMinuteUtc && m_o.extraDropAt >= 0 &&
                         t - minute >= m_o.extraDropAt && t - minute < m_o.extraDropAt + 0.15;
      double level = 1.0;
      const double dcfDrop = m_o.keyedLevel >= 0 ? m_o.keyedLevel : 0.15;
      const double msfDrop = m_o.keyedLevel >= 0 ? m_o.keyedLevel : 0.0;
      if (!lost && !unkeyed) {
        if (m_o.station == TimeStation::Dcf77) {
          if (sec < 59 && f < (m_frame.a[sec] ? 0.2 : 0.1)) level = dcfDrop;
        } else if (sec == 0) {
          if (f < 0.5) level = msfDrop;
        } else if (f < 0.1 || (f < 0.2 && m_frame.a[sec]) || (f >= 0.2 && f < 0.3 && m_frame.b[sec])) {
          level = msfDrop;
        }
      }
      m_phase += 2 * M_PI * m_o.carrierHz / m_o.rate;
      if (m_phase > 2 * M_PI) m_phase -= 2 * M_PI;
      if (extra) level = m_o.station == TimeStation::Dcf77 ? dcfDrop : msfDrop;
      if (m_o.fadeDepth != 0)
        level *= 1 + m_o.fadeDepth * std::sin(2 * M_PI * (m_index / m_o.rate) / m_o.fadePeriod);
      double v = level * m_o.amplitude * std::sin(m_phase);
      if (m_o.interfererHz > 0) {
        m_phase2 += 2 * M_PI * m_o.interfererHz / m_o.rate;
        if (m_phase2 > 2 * M_PI) m_phase2 -= 2 * M_PI;
        v += m_ifAmplitude * std::sin(m_phase2);
      }
      if (m_noise.stddev() > 0) v += m_noise(m_rng);
      out[i] = v;
    }
  }

private:
  TimeSignalOptions m_o;
  std::mt19937 m_rng;
  std::normal_distribution<double> m_noise;
  double m_ifAmplitude;
  int64_t m_index = 0;
  double m_phase = 0, m_phase2 = 0;
  double m_frameMinute = -1;
  TimeFrame m_frame;
};

// One decoded minute as the runner saw it.
struct DecodedMinute {
  double atSeconds;      // seconds since the start of the run when it was decoded
  Dcf77DecodedTime snap;
  double decodedUtc;     // UTC of the decoded minute (the fields with Second 0)
  double truthUtc;       // UTC of the minute in which it was decoded
};

inline double DecodedMinuteUtc(const Dcf77DecodedTime& d)
{
  return CalendarToUnixSeconds(d.Year, d.Month, d.Day, d.Hour - d.ZoneHours, d.Minute, 0);
}

// Feeds `seconds` of the signal to the decoder state in blocks whose sizes cycle through
// blockSizes, at the decoder rate `decoderRate` (the generator's rate), with tFirst from the
// generator's clock. Calls onBlock after each block (may be empty); returns the minutes decoded.
inline std::vector<DecodedMinute> RunTimeSignal(CTimeSignalGen& gen, Dcf77DecoderState& dec,
                                                double rate, double seconds,
                                                const std::vector<int>& blockSizes,
                                                const std::function<void()>& onBlock = {})
{
  std::vector<DecodedMinute> out;
  std::vector<double> buf(8192);
  const double start = gen.Now();
  int serial = Dcf77Dec_ReadSnapshot(dec).MinuteSerial;
  size_t k = 0;
  while (gen.Now() - start < seconds) {
    const int n = blockSizes[k++ % blockSizes.size()];
    if (static_cast<int>(buf.size()) < n) buf.resize(n);
    const double t0 = gen.Now();
    gen.Generate(buf.data(), n);
    Dcf77Dec_Process(dec, buf.data(), n, t0, rate);
    if (onBlock) onBlock();
    const Dcf77DecodedTime d = Dcf77Dec_ReadSnapshot(dec);
    if (d.MinuteSerial != serial) {
      serial = d.MinuteSerial;
      const double now = gen.Now();
      out.push_back({now - start, d, DecodedMinuteUtc(d), std::floor(now / 60) * 60});
    }
  }
  return out;
}
