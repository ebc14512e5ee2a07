// Time-signal decoder under noise: an hour each of DCF77 and MSF at 11,025 Hz from a random
// second, clean and with white noise at 20 .. -6 dB (full tone power over the noise power in
// 2,500 Hz), then at 10 dB with 30 % sine fading of the carrier (period 20 s), fed in
// 4,096-sample blocks as the audio thread does. One line per station and level:
//   <dcf77|msf> snr=<dB>[ fading=30%] first_valid_after=<minutes> min, valid=<n>/<m>, wrong=<k>
// first_valid_after counts from the start (none: no valid minute); valid counts the valid
// minutes of the m complete minutes sent (those whose ending mark lies at least a second before
// the end of the run); wrong counts valid minutes whose date and time differ from the
// transmitted ones. Then receiver audio as it comes, ten minutes each unless said otherwise, the
// carrier a 1 kHz beat note (the decoder starts looking at 650 Hz):
//   <dcf77|msf> snr=6 silence=15s seed=<1..3> ...   15 s of digital silence before the signal
//   <dcf77|msf> snr=10 interferer=+10dB ...         a steady 1,500 Hz tone 10 dB above it
//   <dcf77|msf> snr=10 fading=30% period=5s ...     30 % sine fading with a 5 s period
//   dcf77 snr=10 fading=60% period=<5|3|2>s ...     the carrier times 1 + 0.6 sin(2 pi t / T),
//   msf snr=10 fading=60% period=3s ...             12 dB from peak to trough
//   <dcf77|msf> snr=0 depth=50% ...                 an hour of a carrier keyed down only to 50 %
// each ending in first_valid_after=<minutes> min, valid=<n>/<m>, wrong=<k>. A last line gives
// the decoder's cost:
//   decoder ns_per_sample=<ns>
// (10 minutes of DCF77 at 10 dB, generated beforehand, fed in 4,096-sample blocks).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "digimode/Dcf77Decoder.h"
#include "tests/digimode/TimeSignalGen.h"

namespace {

// Decodes the given seconds of the signal from a reset decoder and prints its line:
//   <dcf77|msf> <label> first_valid_after=<minutes> min, valid=<n>/<m>, wrong=<k>
void DecodeAndReport(const TimeSignalOptions& o, double seconds, const char* label)
{
  CTimeSignalGen gen(o);
  static Dcf77DecoderState dec;
  Dcf77Dec_ResetNow(dec);
  const auto minutes = RunTimeSignal(gen, dec, o.rate, seconds, {4096});
  // Complete minutes: sent from their first second on, their ending mark a second before the
  // end. A minute counts by the UTC of its ending mark.
  const double signalStart = o.startUtc + o.silenceSeconds + o.unkeyedSeconds;
  const double lastEnd = o.startUtc + seconds - 1;
  const double firstEnd = std::ceil(signalStart / 60) * 60 + 60;
  const int complete =
      lastEnd >= firstEnd ? static_cast<int>(std::floor((lastEnd - firstEnd) / 60)) + 1 : 0;
  double first = -1;
  int wrong = 0, valid = 0;
  for (const DecodedMinute& m : minutes) {
    if (!m.snap.Valid) continue;
    if (first < 0) first = m.atSeconds / 60;
    if (m.decodedUtc != m.truthUtc) ++wrong;
    if (m.truthUtc >= firstEnd && m.truthUtc <= lastEnd) ++valid;
  }
  char firstText[16];
  if (first >= 0)
    std::snprintf(firstText, sizeof firstText, "%.1f", first);
  else
    std::snprintf(firstText, sizeof firstText, "none");
  std::printf("%s %s first_valid_after=%s min, valid=%d/%d, wrong=%d\n",
              o.station == TimeStation::Dcf77 ? "dcf77" : "msf", label, firstText, valid,
              complete, wrong);
  std::fflush(stdout);
}

}  // namespace

int main()
{
  const double levels[] = {std::numeric_limits<double>::infinity(), 20, 10, 6, 3, 0, -3, -6};
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> second(0, 365 * 86400);
  struct Level {
    double snr;
    double fade;
  };
  std::vector<Level> runs;
  for (double snr : levels) runs.push_back({snr, 0});
  runs.push_back({10, 0.3});
  for (TimeStation st : {TimeStation::Dcf77, TimeStation::Msf}) {
    for (const Level& run : runs) {
      const double snr = run.snr;
      TimeSignalOptions o;
      o.station = st;
      o.rate = 11025;
      o.snrDb = snr;
      o.fadeDepth = run.fade;
      o.fadePeriod = 20;
      o.seed = rng();
      // A random second of 2026, at a random point within it.
      o.startUtc = CalendarToUnixSeconds(2026, 1, 1, 0, 0, 0) + second(rng) + (rng() % 1000) / 1000.0;
      char label[48];
      if (std::isfinite(snr))
        std::snprintf(label, sizeof label, "snr=%g%s", snr, run.fade > 0 ? " fading=30%" : "");
      else
        std::snprintf(label, sizeof label, "snr=inf%s", run.fade > 0 ? " fading=30%" : "");
      DecodeAndReport(o, 3600, label);
    }
  }
  struct HardRun {
    const char* label;  // what follows the station in the line
    double snr;
    double silence;
    uint32_t seed;
    double interfererDb;  // 0: none
    double fadePeriod;    // 0: no fading
    double fadeDepth = 0.3;
    double keyedLevel = -1;  // the carrier's level in a drop (below 0: the station's own)
    double seconds = 600;
    int only = 0;  // 1: DCF77 only, 3: MSF only, 0: both
  };
  const HardRun hard[] = {
      {"snr=6 silence=15s seed=1", 6, 15, 1, 0, 0},
      {"snr=6 silence=15s seed=2", 6, 15, 2, 0, 0},
      {"snr=6 silence=15s seed=3", 6, 15, 3, 0, 0},
      {"snr=10 interferer=+10dB", 10, 0, 1, 10, 0},
      {"snr=10 fading=30% period=5s", 10, 0, 1, 0, 5},
      {"snr=10 fading=60% period=5s", 10, 0, 1, 0, 5, 0.6, -1, 600, 1},
      {"snr=10 fading=60% period=3s", 10, 0, 1, 0, 3, 0.6, -1, 600, 1},
      {"snr=10 fading=60% period=2s", 10, 0, 1, 0, 2, 0.6, -1, 600, 1},
      {"snr=10 fading=60% period=3s", 10, 0, 1, 0, 3, 0.6, -1, 600, 3},
      {"snr=0 depth=50%", 0, 0, 1, 0, 0, 0, 0.5, 3600, 0},
  };
  for (TimeStation st : {TimeStation::Dcf77, TimeStation::Msf}) {
    for (const HardRun& run : hard) {
      if (run.only != 0 && run.only != (st == TimeStation::Dcf77 ? 1 : 3)) continue;
      TimeSignalOptions o;
      o.station = st;
      o.rate = 11025;
      o.carrierHz = 1000;
      o.snrDb = run.snr;
      o.seed = run.seed;
      o.silenceSeconds = run.silence;
      o.keyedLevel = run.keyedLevel;
      if (run.interfererDb != 0) {
        o.interfererHz = 1500;
        o.interfererDb = run.interfererDb;
      }
      if (run.fadePeriod > 0) {
        o.fadeDepth = run.fadeDepth;
        o.fadePeriod = run.fadePeriod;
      }
      std::mt19937 startRng(run.seed * 7919 + 13);
      o.startUtc = CalendarToUnixSeconds(2026, 1, 1, 0, 0, 0) + startRng() % (365 * 86400) +
                   (startRng() % 1000) / 1000.0;
      DecodeAndReport(o, run.seconds, run.label);
    }
  }
  {
    TimeSignalOptions o;
    o.snrDb = 10;
    o.startUtc = CalendarToUnixSeconds(2026, 3, 1, 12, 0, 0);
    CTimeSignalGen gen(o);
    std::vector<double> x(static_cast<size_t>(600 * o.rate));
    gen.Generate(x.data(), static_cast<int>(x.size()));
    static Dcf77DecoderState dec;
    Dcf77Dec_ResetNow(dec);
    const auto t0 = std::chrono::steady_clock::now();
    for (size_t i = 0; i < x.size(); i += 4096)
      Dcf77Dec_Process(dec, x.data() + i, static_cast<int>(std::min<size_t>(4096, x.size() - i)),
                       0, o.rate);
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
    std::printf("decoder ns_per_sample=%.1f\n", ns / x.size());
  }
  return 0;
}
