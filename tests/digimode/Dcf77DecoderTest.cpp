// The time-signal decoder against generated DCF77 and MSF signals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "digimode/Dcf77Dec.h"
#include "digimode/DigimodeHooks.h"
#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "platform/PerfCounter.h"
#include "tests/digimode/TimeSignalGen.h"

namespace {

const std::vector<int> kMixedBlocks = {4096, 17, 1000, 333, 4096, 1, 2048, 700};

int ExpectedWeekday(TimeStation st, double utcMinute, int zone)
{
  const time_t t = static_cast<time_t>(utcMinute + zone * 3600);
  tm g{};
  gmtime_r(&t, &g);
  return st == TimeStation::Dcf77 ? (g.tm_wday == 0 ? 7 : g.tm_wday) : g.tm_wday;
}

struct ReceiveCase {
  const char* name;
  TimeStation station;
  double rate;
  double snrDb;
  double startUtc;
  int zone;  // expected zone hours
  double carrierHz = 650;
  double carrierSetting = 0;  // CarrierHzSetting: 0 lets the decoder find the carrier
};

class Dcf77ReceiveTest : public ::testing::TestWithParam<ReceiveCase> {};

TEST_P(Dcf77ReceiveTest, DecodesDateTimeAndZoneAfterTheFirstFullMinute)
{
  const ReceiveCase& c = GetParam();
  TimeSignalOptions o;
  o.station = c.station;
  o.rate = c.rate;
  o.snrDb = c.snrDb;
  o.startUtc = c.startUtc;
  o.carrierHz = c.carrierHz;
  CTimeSignalGen gen(o);
  Dcf77DecoderState dec;
  dec.CarrierHzSetting = c.carrierSetting;
  const std::vector<DecodedMinute> minutes = RunTimeSignal(gen, dec, c.rate, 200, kMixedBlocks);

  int valid = 0;
  double firstValid = -1;
  for (const DecodedMinute& m : minutes) {
    if (!m.snap.Valid) continue;
    ++valid;
    if (firstValid < 0) firstValid = m.atSeconds;
    EXPECT_EQ(m.decodedUtc, m.truthUtc) << m.atSeconds;
    EXPECT_EQ(m.snap.Station, c.station == TimeStation::Dcf77 ? 1 : 3);
    EXPECT_EQ(m.snap.ZoneHours, c.zone);
    EXPECT_EQ(m.snap.Weekday, ExpectedWeekday(c.station, m.truthUtc, c.zone));
  }
  // The first minute mark comes within 60 s; the minute after it is complete.
  EXPECT_GE(valid, 2);
  EXPECT_GT(firstValid, 0);
  EXPECT_LE(firstValid, 121.0);
}

// 2026-03-18 13:47:23.4 UTC (winter), 2026-07-01 22:00:10.7 UTC (summer; local midnight for
// DCF77 so the UTC date is the day before the transmitted one).
const double kWinter = CalendarToUnixSeconds(2026, 3, 18, 13, 47, 23.4);
const double kSummerMidnight = CalendarToUnixSeconds(2026, 6, 30, 22, 0, 10.7);

INSTANTIATE_TEST_SUITE_P(
    Stations, Dcf77ReceiveTest,
    ::testing::Values(
        ReceiveCase{"dcf_11025", TimeStation::Dcf77, 11025, INFINITY, kWinter, 1},
        ReceiveCase{"dcf_44100", TimeStation::Dcf77, 44100, INFINITY, kSummerMidnight, 2},
        ReceiveCase{"dcf_div2", TimeStation::Dcf77, 5512.5, INFINITY, kWinter, 1},
        ReceiveCase{"dcf_noise", TimeStation::Dcf77, 11025, 30, kSummerMidnight, 2},
        ReceiveCase{"msf_11025", TimeStation::Msf, 11025, INFINITY, kWinter, 0},
        ReceiveCase{"msf_44100", TimeStation::Msf, 44100, INFINITY, kSummerMidnight, 1},
        ReceiveCase{"msf_div2", TimeStation::Msf, 5512.5, INFINITY, kSummerMidnight, 1},
        ReceiveCase{"msf_noise", TimeStation::Msf, 11025, 30, kWinter, 0},
        // A receiver's audio: the carrier a few dB above the noise in 2,500 Hz, anywhere in
        // the audio band; found by the decoder or set.
        ReceiveCase{"dcf_15db", TimeStation::Dcf77, 11025, 15, kWinter, 1},
        ReceiveCase{"dcf_6db_2400hz", TimeStation::Dcf77, 22050, 6, kSummerMidnight, 2, 2400},
        ReceiveCase{"msf_10db_1234hz", TimeStation::Msf, 11025, 10, kSummerMidnight, 1, 1234},
        ReceiveCase{"msf_3db_set_900hz", TimeStation::Msf, 11025, 3, kWinter, 0, 900, 900}),
    [](const auto& info) { return std::string(info.param.name); });


TEST(Dcf77Decoder, HourZeroOfSummerTimeLiesOnThePreviousUtcDay)
{
  TimeSignalOptions o;
  o.rate = 11025;
  o.startUtc = kSummerMidnight;  // 00:00:10.7 CEST on 1 July
  CTimeSignalGen gen(o);
  Dcf77DecoderState dec;
  const auto minutes = RunTimeSignal(gen, dec, o.rate, 125, kMixedBlocks);
  ASSERT_FALSE(minutes.empty());
  const DecodedMinute& m = minutes.back();
  ASSERT_TRUE(m.snap.Valid);
  EXPECT_EQ(m.snap.Hour, 0);
  EXPECT_EQ(m.snap.Day, 1);
  EXPECT_EQ(m.snap.Month, 7);
  EXPECT_EQ(m.snap.Year, 2026);
  EXPECT_EQ(m.snap.ZoneHours, 2);
  // 22:02 UTC on 30 June, plus the time since the second began.
  const double t = Dcf77Dec_SnapshotTime(m.snap, m.snap.LastSecondTime + 0.25);
  EXPECT_DOUBLE_EQ(t, CalendarToUnixSeconds(2026, 6, 30, 22, 2, m.snap.Second + 0.25));
}

// Event characters: "m" at each minute mark, then one character per drop: the bit of each
// second pulse (for MSF the A bit), and for an MSF second with A = 0 and B = 1 a second "0" for
// the B bit's own short off-time.
TEST(Dcf77Decoder, EventsAreMinuteMarksAndTheBitsOfTheFrame)
{
  for (TimeStation st : {TimeStation::Dcf77, TimeStation::Msf}) {
    SCOPED_TRACE(st == TimeStation::Dcf77 ? "DCF77" : "MSF");
    TimeSignalOptions o;
    o.station = st;
    o.rate = 11025;
    o.startUtc = kWinter;
    CTimeSignalGen gen(o);
    Dcf77DecoderState dec;
    std::string events;
    std::vector<double> markTimes;
    RunTimeSignal(gen, dec, o.rate, 130, {1500}, [&] {
      while (char c = Dcf77Dec_PopEvent(dec)) {
        events += c;
        if (c == 'm') markTimes.push_back(gen.Now());
      }
    });
    ASSERT_GE(markTimes.size(), 2u);
    // The characters between the first two marks are the frame of the first full minute.
    const size_t m1 = events.find('m');
    const size_t m2 = events.find('m', m1 + 1);
    const double minute = std::floor(markTimes[0] / 60) * 60;
    const TimeFrame f = timesig::MakeFrame(st, minute, o.seed);
    std::string expected;
    if (st == TimeStation::Dcf77)
      for (int i = 0; i <= 58; ++i) expected += f.a[i] ? '1' : '0';
    else
      for (int i = 1; i <= 59; ++i) expected += f.a[i] ? "1" : f.b[i] ? "00" : "0";
    EXPECT_EQ(events.substr(m1 + 1, m2 - m1 - 1), expected);
    if (st == TimeStation::Msf) {
      EXPECT_NE(expected.find("00"), std::string::npos);  // a B bit's drop was posted
    }
  }
}

struct LeadInCase {
  const char* name;
  TimeStation station;
  double silenceSeconds;  // digital silence before the signal
  double snrDb;
};

class Dcf77LeadInTest : public ::testing::TestWithParam<LeadInCase> {};

// Silence before the signal (receiver muted, device just opened) is no minute mark: the
// station is decided by the signal that follows and its minutes decode.
TEST_P(Dcf77LeadInTest, SilenceBeforeTheSignalDecidesNothing)
{
  const LeadInCase& c = GetParam();
  Dcf77DecoderState dec;
  const std::vector<double> silence(static_cast<size_t>(c.silenceSeconds * 11025), 0.0);
  for (size_t i = 0; i < silence.size(); i += 4096) {
    const int n = static_cast<int>(std::min<size_t>(4096, silence.size() - i));
    Dcf77Dec_Process(dec, silence.data() + i, n, kWinter - c.silenceSeconds + i / 11025.0, 11025);
  }
  EXPECT_EQ(dec.Station.load(), 0);
  TimeSignalOptions o;
  o.station = c.station;
  o.startUtc = kWinter;
  o.snrDb = c.snrDb;
  CTimeSignalGen gen(o);
  const auto minutes = RunTimeSignal(gen, dec, o.rate, 130, kMixedBlocks);
  EXPECT_EQ(dec.Station.load(), c.station == TimeStation::Dcf77 ? 1 : 3);
  int valid = 0;
  for (const DecodedMinute& m : minutes) {
    if (!m.snap.Valid) continue;
    ++valid;
    EXPECT_EQ(m.decodedUtc, m.truthUtc);
  }
  EXPECT_GE(valid, 1);
}

INSTANTIATE_TEST_SUITE_P(
    LeadIn, Dcf77LeadInTest,
    ::testing::Values(LeadInCase{"dcf_10s", TimeStation::Dcf77, 10, INFINITY},
                      LeadInCase{"dcf_30s_noise", TimeStation::Dcf77, 30, 20},
                      LeadInCase{"msf_10s", TimeStation::Msf, 10, INFINITY}),
    [](const auto& info) { return std::string(info.param.name); });

// Receiver audio as it comes: a 1 kHz beat note (the decoder starts looking at 650 Hz), white
// noise, a lead-in, fading, other beat notes. Fed in 4,096-sample blocks as the audio thread
// does.
const double kYearStart = CalendarToUnixSeconds(2026, 1, 1, 0, 0, 0);

// The station's signal as the receiver's audio gives it: a 1 kHz beat note at 11,025 Hz.
TimeSignalOptions BeatNote(TimeStation station, double snrDb, uint32_t seed)
{
  TimeSignalOptions o;
  o.station = station;
  o.rate = 11025;
  o.carrierHz = 1000;
  o.snrDb = snrDb;
  o.seed = seed;
  return o;
}

struct HardSignalResult {
  std::vector<DecodedMinute> minutes;
  std::vector<int> stations;  // every station the decoder held, in order
  double carrierHzSoonAfterStart = 0;  // CarrierHz 2 s after the lead-in
  double carrierHzAtEnd = 0;
  int stationAtEnd = 0;
};

HardSignalResult RunHardSignal(const TimeSignalOptions& o, double seconds)
{
  CTimeSignalGen gen(o);
  Dcf77DecoderState dec;
  HardSignalResult r;
  const double soon = o.startUtc + o.silenceSeconds + 2;
  r.minutes = RunTimeSignal(gen, dec, o.rate, seconds, {4096}, [&] {
    const int st = dec.Station.load();
    if (r.stations.empty() || r.stations.back() != st) r.stations.push_back(st);
    if (r.carrierHzSoonAfterStart == 0 && gen.Now() >= soon) r.carrierHzSoonAfterStart = dec.CarrierHz;
  });
  r.carrierHzAtEnd = dec.CarrierHz;
  r.stationAtEnd = dec.Station.load();
  return r;
}

// Checks every valid minute against the truth and returns how many were valid.
int CheckValidMinutes(const HardSignalResult& r, TimeStation st, double* firstValidAt = nullptr)
{
  int valid = 0;
  for (const DecodedMinute& m : r.minutes) {
    if (!m.snap.Valid) continue;
    if (valid++ == 0 && firstValidAt) *firstValidAt = m.atSeconds;
    EXPECT_EQ(m.decodedUtc, m.truthUtc) << m.atSeconds;
    EXPECT_EQ(m.snap.Station, st == TimeStation::Dcf77 ? 1 : 3) << m.atSeconds;
  }
  return valid;
}

struct LeadInNoiseCase {
  const char* name;
  TimeStation station;
  double snrDb;
  double silenceSeconds;
  double signalStart;  // seconds into 2026 at which the signal begins
  uint32_t seed;
};

class Dcf77SilenceThenNoiseTest : public ::testing::TestWithParam<LeadInNoiseCase> {};

// Silence, then a noisy signal: noise drops before the carrier is found must not hold the
// phase off the second marks, and the carrier is found within two seconds of the signal's
// start (the tone search was not used up on the silence). The first full minute decodes.
TEST_P(Dcf77SilenceThenNoiseTest, PhaseLocksAndTheFirstFullMinuteDecodes)
{
  const LeadInNoiseCase& c = GetParam();
  TimeSignalOptions o = BeatNote(c.station, c.snrDb, c.seed);
  o.silenceSeconds = c.silenceSeconds;
  o.startUtc = kYearStart + c.signalStart - c.silenceSeconds;
  const HardSignalResult r = RunHardSignal(o, c.silenceSeconds + 150);
  EXPECT_NEAR(r.carrierHzSoonAfterStart, 1000, 3);
  double first = -1;
  EXPECT_GE(CheckValidMinutes(r, c.station, &first), 1);
  // A full minute begins within 60 s of the signal; it ends at most 120 s after it.
  EXPECT_LE(first - c.silenceSeconds, 121);
  EXPECT_EQ(r.stationAtEnd, c.station == TimeStation::Dcf77 ? 1 : 3);
}

INSTANTIATE_TEST_SUITE_P(
    LeadIn, Dcf77SilenceThenNoiseTest,
    ::testing::Values(
        LeadInNoiseCase{"dcf_10db_14s", TimeStation::Dcf77, 10, 14, 23556855.849, 2},
        LeadInNoiseCase{"dcf_6db_25s", TimeStation::Dcf77, 6, 25, 23556855.849, 2},
        LeadInNoiseCase{"dcf_3db_14s", TimeStation::Dcf77, 3, 14, 23556855.849, 2},
        LeadInNoiseCase{"dcf_6db_8s", TimeStation::Dcf77, 6, 8, 7913688.126, 3},
        LeadInNoiseCase{"msf_6db_20s", TimeStation::Msf, 6, 20, 23556855.849, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct StationCase {
  const char* name;
  TimeStation station;
  double snrDb;
  double silenceSeconds;
  double unkeyedSeconds;
  int losePulseAfter;  // a pulse lost this many seconds after the start (-1: none)
  double seconds;      // run length
};

class Dcf77StationTest : public ::testing::TestWithParam<StationCase> {};

// The station is decided by a minute mark on the locked second only: a steady unkeyed
// carrier (a second without a drop) before MSF is no DCF77 minute mark. When MSF loses a pulse
// in its first minute, the gap does look like a DCF77 mark on the locked second; as no minute
// then decodes while MSF minute marks arrive a minute apart, the decision is revised without
// a reset.
TEST_P(Dcf77StationTest, StationFollowsTheMarksOnTheLockedSecond)
{
  const StationCase& c = GetParam();
  TimeSignalOptions o = BeatNote(c.station, c.snrDb, 1);
  o.silenceSeconds = c.silenceSeconds;
  o.unkeyedSeconds = c.unkeyedSeconds;
  const double signalStart = kYearStart + 4674687.933;
  o.startUtc = signalStart - c.silenceSeconds - c.unkeyedSeconds;
  if (c.losePulseAfter >= 0) {
    const double t = signalStart + c.losePulseAfter;
    o.faultMinuteUtc = std::floor(t / 60) * 60;
    o.losePulseSecond = static_cast<int>(t - o.faultMinuteUtc);
  }
  const HardSignalResult r = RunHardSignal(o, c.seconds);
  const int want = c.station == TimeStation::Dcf77 ? 1 : 3;
  EXPECT_GE(CheckValidMinutes(r, c.station), 1);
  EXPECT_EQ(r.stationAtEnd, want);
  if (c.losePulseAfter >= 0) {
    // The lost pulse did decide DCF77 first (what the case is about).
    EXPECT_EQ(r.stations, (std::vector<int>{0, 1, 3}));
  } else {
    EXPECT_EQ(r.stations, (std::vector<int>{0, want}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stations, Dcf77StationTest,
    ::testing::Values(StationCase{"msf_after_steady_carrier", TimeStation::Msf, 10, 0, 20, -1, 170},
                      StationCase{"dcf_after_steady_carrier", TimeStation::Dcf77, 10, 0, 20, -1, 170},
                      StationCase{"msf_3db_after_silence", TimeStation::Msf, 3, 14, 0, -1, 170},
                      StationCase{"msf_lost_pulse_revised", TimeStation::Msf, 10, 0, 0, 12, 260}),
    [](const auto& info) { return std::string(info.param.name); });

struct RetuneCase {
  const char* name;
  TimeStation from, to;
  double toCarrierHz;  // the beat note of the station tuned to
};

class Dcf77RetuneTest : public ::testing::TestWithParam<RetuneCase> {};

// The receiver is retuned to the other station after the first has given valid minutes: once
// the other station's marks have kept fitting on the locked second for about three minutes
// with no valid minute of the first, the decision follows them without a reset, and the new
// station's minutes decode.
TEST_P(Dcf77RetuneTest, AStationWithValidMinutesGivesWayWhenTheOtherOneKeepsComing)
{
  const RetuneCase& c = GetParam();
  TimeSignalOptions a = BeatNote(c.from, 10, 5);
  a.startUtc = kYearStart + 4674687.933;
  CTimeSignalGen genA(a);
  Dcf77DecoderState dec;
  HardSignalResult before;
  before.minutes = RunTimeSignal(genA, dec, a.rate, 240, {4096});
  ASSERT_GE(CheckValidMinutes(before, c.from), 2);
  ASSERT_EQ(dec.Station.load(), c.from == TimeStation::Dcf77 ? 1 : 3);

  TimeSignalOptions b = BeatNote(c.to, 10, 6);
  b.carrierHz = c.toCarrierHz;
  b.startUtc = genA.Now();
  CTimeSignalGen genB(b);
  HardSignalResult after;
  after.minutes = RunTimeSignal(genB, dec, b.rate, 540, {4096}, [&] {
    const int st = dec.Station.load();
    if (after.stations.empty() || after.stations.back() != st) after.stations.push_back(st);
  });
  const int want = c.to == TimeStation::Dcf77 ? 1 : 3;
  EXPECT_EQ(after.stations, (std::vector<int>{c.from == TimeStation::Dcf77 ? 1 : 3, want}));
  double first = -1;
  EXPECT_GE(CheckValidMinutes(after, c.to, &first), 3);
  // Three minutes of fitting marks begin with the first whole minute after the change; the
  // minute after the one that turns the station is the first to decode.
  EXPECT_GE(first, 0);
  EXPECT_LE(first, 6 * 60);
}

INSTANTIATE_TEST_SUITE_P(
    Retune, Dcf77RetuneTest,
    ::testing::Values(RetuneCase{"dcf_to_msf", TimeStation::Dcf77, TimeStation::Msf, 1000},
                      RetuneCase{"msf_to_dcf", TimeStation::Msf, TimeStation::Dcf77, 1000},
                      RetuneCase{"dcf_to_msf_other_note", TimeStation::Dcf77, TimeStation::Msf, 800}),
    [](const auto& info) { return std::string(info.param.name); });

struct InterfererCase {
  const char* name;
  TimeStation station;
  double snrDb;
  double interfererHz;
  double interfererDb;  // above the carrier
};

class Dcf77InterfererTest : public ::testing::TestWithParam<InterfererCase> {};

// Another beat note beside the time signal, steady and stronger than it: the decoder takes
// the line whose level drops once a second and decodes.
TEST_P(Dcf77InterfererTest, TheKeyedLineIsTakenNotTheStrongerSteadyTone)
{
  const InterfererCase& c = GetParam();
  TimeSignalOptions o = BeatNote(c.station, c.snrDb, 3);
  o.interfererHz = c.interfererHz;
  o.interfererDb = c.interfererDb;
  o.startUtc = kYearStart + 7913688.126;
  const HardSignalResult r = RunHardSignal(o, 150);
  EXPECT_NEAR(r.carrierHzAtEnd, 1000, 3);
  EXPECT_GE(CheckValidMinutes(r, c.station), 1);
  EXPECT_EQ(r.stationAtEnd, c.station == TimeStation::Dcf77 ? 1 : 3);
}

INSTANTIATE_TEST_SUITE_P(
    Interferers, Dcf77InterfererTest,
    ::testing::Values(InterfererCase{"dcf_600hz_10db", TimeStation::Dcf77, 10, 600, 10},
                      InterfererCase{"dcf_1500hz_3db", TimeStation::Dcf77, 3, 1500, 3},
                      InterfererCase{"dcf_2200hz_10db", TimeStation::Dcf77, 6, 2200, 10},
                      InterfererCase{"msf_1500hz_10db", TimeStation::Msf, 10, 1500, 10},
                      InterfererCase{"msf_600hz_3db", TimeStation::Msf, 6, 600, 3},
                      InterfererCase{"msf_2200hz_10db", TimeStation::Msf, 3, 2200, 10}),
    [](const auto& info) { return std::string(info.param.name); });

struct FadingCase {
  const char* name;
  TimeStation station;
  double period;
  double signalStart = 4674687.933;  // seconds into 2026 (first minute mark after 29..33 s)
  uint32_t seed = 1;
};

class Dcf77FadingTest : public ::testing::TestWithParam<FadingCase> {};

// 30 % fading with a period of a few seconds at 10 dB: every full minute decodes.
TEST_P(Dcf77FadingTest, EveryFullMinuteDecodesThroughFastFading)
{
  const FadingCase& c = GetParam();
  TimeSignalOptions o = BeatNote(c.station, 10, c.seed);
  o.fadeDepth = 0.3;
  o.fadePeriod = c.period;
  o.startUtc = kYearStart + c.signalStart;
  // Minute marks at about 30, 90, 150 and 210 s: the minute from the first mark on decodes,
  // and so does each after it.
  const HardSignalResult r = RunHardSignal(o, 215);
  double first = -1;
  EXPECT_GE(CheckValidMinutes(r, c.station, &first), 3);
  EXPECT_LT(first, 95);
  for (const DecodedMinute& m : r.minutes) {
    if (m.atSeconds >= first) {
      EXPECT_TRUE(m.snap.Valid) << m.atSeconds;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fading, Dcf77FadingTest,
    ::testing::Values(FadingCase{"dcf_5s", TimeStation::Dcf77, 5, 31204291.485, 4},
                      FadingCase{"dcf_3s", TimeStation::Dcf77, 3},
                      FadingCase{"dcf_2s", TimeStation::Dcf77, 2},
                      FadingCase{"msf_2s", TimeStation::Msf, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct CarrierLevelCase {
  const char* name;
  TimeStation station;
  double snrDb;
  double fadeDepth;    // the carrier times 1 + fadeDepth sin(2 pi t / fadePeriod)
  double fadePeriod;
  double keyedLevel;   // the carrier's level in a drop (below 0: the station's own)
  double seconds;
  uint32_t seed;
};

class Dcf77CarrierLevelTest : public ::testing::TestWithParam<CarrierLevelCase> {};

// Each drop is judged against the carrier's level around it in the same second: 12 dB deep
// fading of a few seconds' period gives its first valid minute within three minutes, and a
// carrier keyed down only to 50 % at 0 dB gives at least 80 % of its complete minutes.
TEST_P(Dcf77CarrierLevelTest, DropsAreJudgedAgainstTheCarrierAroundThem)
{
  const CarrierLevelCase& c = GetParam();
  TimeSignalOptions o = BeatNote(c.station, c.snrDb, c.seed);
  o.fadeDepth = c.fadeDepth;
  o.fadePeriod = c.fadePeriod;
  o.keyedLevel = c.keyedLevel;
  o.startUtc = kYearStart + 4674687.933;
  const HardSignalResult r = RunHardSignal(o, c.seconds);
  double first = -1;
  const int valid = CheckValidMinutes(r, c.station, &first);
  // Minute marks at about 32 s and every minute after it; a minute ends at its next mark.
  const int complete = static_cast<int>((c.seconds - 32 - 61) / 60) + 1;
  EXPECT_GE(first, 0);
  EXPECT_LE(first, 180);
  EXPECT_GE(valid, complete * 0.8) << valid << " of " << complete;
}

INSTANTIATE_TEST_SUITE_P(
    CarrierLevel, Dcf77CarrierLevelTest,
    ::testing::Values(CarrierLevelCase{"dcf_fading_5s", TimeStation::Dcf77, 10, 0.6, 5, -1, 400, 1},
                      CarrierLevelCase{"dcf_fading_3s", TimeStation::Dcf77, 10, 0.6, 3, -1, 400, 1},
                      CarrierLevelCase{"dcf_fading_2s", TimeStation::Dcf77, 10, 0.6, 2, -1, 400, 1},
                      CarrierLevelCase{"msf_fading_3s", TimeStation::Msf, 10, 0.6, 3, -1, 400, 1},
                      CarrierLevelCase{"msf_fading_2s", TimeStation::Msf, 10, 0.6, 2, -1, 400, 1},
                      CarrierLevelCase{"dcf_shallow_0db", TimeStation::Dcf77, 0, 0, 20, 0.5, 900, 2},
                      CarrierLevelCase{"msf_shallow_0db", TimeStation::Msf, 0, 0, 20, 0.5, 900, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
  const char* name;
  TimeStation station;
  int flipBit;
  int losePulse;
  double extraDropAt = -1;
  int minutesToRecover = 1;  // after the faulty minute, minutes until one is valid again
};

class Dcf77FaultTest : public ::testing::TestWithParam<FaultCase> {};

// A minute with a corrupted bit or a lost second pulse is not valid; the minutes around it are.
TEST_P(Dcf77FaultTest, FaultyMinuteIsNotValid)
{
  const FaultCase& c = GetParam();
  TimeSignalOptions o;
  o.station = c.station;
  o.rate = 11025;
  o.startUtc = kWinter;
  o.flipBit = c.flipBit;
  o.losePulseSecond = c.losePulse;
  o.extraDropAt = c.extraDropAt;
  // The frame sent during the third minute after the start is faulty; it is decoded at the
  // mark that begins the fourth.
  const double faulty = std::floor(kWinter / 60) * 60 + 180;
  o.faultMinuteUtc = faulty;
  CTimeSignalGen gen(o);
  Dcf77DecoderState dec;
  const auto minutes =
      RunTimeSignal(gen, dec, o.rate, (3 + c.minutesToRecover) * 60 + 40, kMixedBlocks);
  bool validBefore = false, validAfter = false;
  for (const DecodedMinute& m : minutes) {
    if (!m.snap.Valid) continue;
    EXPECT_EQ(m.decodedUtc, m.truthUtc) << m.atSeconds;
    EXPECT_NE(m.truthUtc, faulty + 60) << "the faulty minute counted as valid";
    validBefore |= m.truthUtc == faulty;
    validAfter |= m.truthUtc == faulty + 60 + 60 * c.minutesToRecover;
  }
  EXPECT_TRUE(validBefore);
  EXPECT_TRUE(validAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Dcf77FaultTest,
    ::testing::Values(FaultCase{"dcf_minute_bit", TimeStation::Dcf77, 25, -1},
                      FaultCase{"dcf_year_bit", TimeStation::Dcf77, 53, -1},
                      FaultCase{"dcf_start_bit", TimeStation::Dcf77, 20, -1},
                      FaultCase{"dcf_lost_pulse", TimeStation::Dcf77, -1, 30},
                      FaultCase{"msf_minute_bit", TimeStation::Msf, 47, -1},
                      FaultCase{"msf_identifier_bit", TimeStation::Msf, 55, -1},
                      FaultCase{"msf_lost_pulse", TimeStation::Msf, -1, 12},
                      // Interference late in second 59 must not end the DCF77 minute early
                      // (its bits are right, its time would be a second off); the minute it
                      // opens is short by that second.
                      FaultCase{"dcf_drop_in_59", TimeStation::Dcf77, -1, -1, 59.5, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Synthetic keying at 44,100 Hz, fed as the carrier presence of each sample (what the envelope
// detector delivers). With k20 = 882 the debounced state follows the raw one by 2 x k20 samples
// at both edges, so a drop of L samples ends with a StateDuration of L - 1, and so does a
// carrier-present time of M samples with M - 1.
constexpr double kRate = 44100;
constexpr int kK150 = 6615, kK700 = 30870, kR = 44100;

class Keyer {
public:
  void On(int n) { m_x.insert(m_x.end(), n, uint8_t{1}); }
  void Off(int n) { m_x.insert(m_x.end(), n, uint8_t{0}); }
  // A second that begins with a drop of `drop` samples.
  void Second(int drop)
  {
    Off(drop);
    On(kR - drop);
  }
  // Feeds what was keyed since the last call and returns the events it posted (read them).
  std::string Feed(Dcf77DecoderState& dec, bool read = true)
  {
    for (size_t i = m_fed; i < m_x.size(); i += 4096) {
      const int n = static_cast<int>(std::min<size_t>(4096, m_x.size() - i));
      Dcf77Dec_ProcessKeying(dec, m_x.data() + i, n, 1000.0 + i / kRate, kRate);
    }
    m_fed = m_x.size();
    std::string e;
    while (read && (e.size() < 100)) {
      const char c = Dcf77Dec_PopEvent(dec);
      if (!c) break;
      e += c;
    }
    return e;
  }

private:
  std::vector<uint8_t> m_x;
  size_t m_fed = 0;
};

struct DropCase {
  int stateDuration;  // at the end of the drop
  bool dcfKnown;      // the station was decided as DCF77 before
  char expected;      // 0: no event
};

// Up to 700 ms a long drop is the MSF minute mark; a longer one (a lost or silent signal) is
// no event at all.
TEST(Dcf77Decoder, DropLengthsAtTheClassBoundaries)
{
  const DropCase cases[] = {
      {kK150 - 1, false, '0'}, {kK150, false, '1'},    {3 * kK150 - 1, false, '1'},
      {3 * kK150, false, 'm'}, {3 * kK150, true, '1'}, {kK150 - 1, true, '0'},
      {kK150, true, '1'},      {kK700, false, 'm'},    {kK700 + 1, false, 0},
      {9 * kR, false, 0},
  };
  for (const DropCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.stateDuration << (c.dcfKnown ? " DCF77" : ""));
    Dcf77DecoderState dec;
    Keyer k;
    k.On(kR);
    for (int i = 0; i < 3; ++i) k.Second(4410);
    if (c.dcfKnown) {
      k.On(kR);  // a second without a drop: the DCF77 minute mark after 100,000 samples
      k.Second(4410);
    }
    k.Feed(dec);
    ASSERT_EQ(dec.Station.load(), c.dcfKnown ? 1 : 0);
    k.Off(c.stateDuration + 1);
    k.On(kR);
    EXPECT_EQ(k.Feed(dec), c.expected ? std::string(1, c.expected) : std::string());
  }
}

TEST(Dcf77Decoder, CarrierPresentForOneSecondIsTheDcf77MinuteMark)
{
  for (int present : {kR, kR - 1}) {
    SCOPED_TRACE(present);
    Dcf77DecoderState dec;
    Keyer k;
    k.On(kR);
    for (int i = 0; i < 5; ++i) k.Second(4410);  // drops at 1 .. 5 s: the phase is locked
    k.Off(4410);
    k.On(kR - 2 * 4410 - 1);
    k.Off(4410);  // a drop 100 ms before the mark at 7 s (noise)
    k.On(present + 1);  // up to the expected mark at 8 s (R) or one sample before it
    k.Feed(dec);
    k.Off(4410);
    k.On(kR);
    const std::string e = k.Feed(dec);
    EXPECT_EQ(e, present == kR ? "m0" : "0") << e;
    EXPECT_EQ(dec.Station.load(), present == kR ? 1 : 0);
  }
}

// Only a minute mark on the locked second decides the station: the carrier present for a
// second and more, ending with a drop off the expected mark, is counted as a minute mark but
// decides nothing, nor does one before the phase is locked.
TEST(Dcf77Decoder, AMinuteMarkOffTheLockedSecondDecidesNoStation)
{
  {
    SCOPED_TRACE("off the mark");
    Dcf77DecoderState dec;
    Keyer k;
    k.On(kR);
    for (int i = 0; i < 5; ++i) k.Second(4410);
    k.Feed(dec);
    const int before = dec.MinutesDecoded.load();
    k.Off(4410);
    k.On(kR + kR / 2);  // the next drop comes half a second after the expected mark
    k.Off(4410);
    k.On(kR);
    EXPECT_EQ(k.Feed(dec), "0m0");
    EXPECT_EQ(dec.MinutesDecoded.load(), before + 1);
    EXPECT_EQ(dec.Station.load(), 0);
  }
  {
    SCOPED_TRACE("not locked");
    Dcf77DecoderState dec;
    Keyer k;
    k.On(3 * kR);  // past 100,000 samples
    k.Second(4410);  // seeds the phase
    k.On(kR);
    k.Second(4410);  // on the mark, but only the first one
    k.Feed(dec);
    EXPECT_EQ(dec.MinutesDecoded.load(), 2);  // after 3 s and after 5 s
    EXPECT_EQ(dec.Station.load(), 0);
  }
}

// A 500 ms drop on the locked second decides MSF; when DCF77 keying follows and no minute
// decodes, its minute marks a minute apart on the locked second turn the decision to DCF77
// without a reset (and a single one does not).
TEST(Dcf77Decoder, AnMsfDecisionGivesWayToDcf77MarksAMinuteApart)
{
  Dcf77DecoderState dec;
  Keyer k;
  k.On(kR);
  for (int i = 0; i < 4; ++i) k.Second(4410);
  k.Second(22050);  // the MSF minute mark at 5 s
  k.Feed(dec);
  ASSERT_EQ(dec.Station.load(), 3);
  std::vector<int> stations;
  for (int minute = 0; minute < 3; ++minute) {
    for (int sec = 0; sec < 59; ++sec) k.Second(sec % 3 == 1 ? 8820 : 4410);
    k.On(kR);  // second 59: no drop
    k.Feed(dec);
    stations.push_back(dec.Station.load());
  }
  k.Second(4410);  // the mark that ends the third minute
  k.Feed(dec);
  stations.push_back(dec.Station.load());
  // Marks at the first drop of the second and third minutes (the first minute began without
  // one): the first is remembered, the second a minute later turns the station.
  EXPECT_EQ(stations, (std::vector<int>{3, 3, 1, 1}));
}

TEST(Dcf77Decoder, MinuteMarksWithinTheFirst100000SamplesLeaveTheStationUnknown)
{
  Dcf77DecoderState dec;
  Keyer k;
  k.On(4410);
  k.Off(4410);
  k.On(kR + 1);  // DCF77 minute mark at about 54,000 samples
  k.Off(4410);
  k.On(4410);
  k.Feed(dec);
  EXPECT_EQ(dec.Station.load(), 0);
  EXPECT_EQ(dec.MinutesDecoded.load(), 1);
  EXPECT_EQ(dec.TimeState.load(), 2);
  EXPECT_FALSE(Dcf77Dec_ReadSnapshot(dec).Valid);
}

TEST(Dcf77Decoder, TheTenthUnreadEventIsDropped)
{
  Dcf77DecoderState dec;
  Keyer k;
  k.On(20000);
  k.Feed(dec);  // the first carrier-present edge posts a "0"
  for (int i = 0; i < 10; ++i) k.Second(i < 6 ? 4410 : 8820);
  k.Feed(dec, false);
  // Nine characters wait: the first nine drops ("0" x 6, "1" x 3); the tenth is dropped.
  std::string e;
  while (char c = Dcf77Dec_PopEvent(dec)) e += c;
  EXPECT_EQ(e, "000000111");
}

TEST(Dcf77Decoder, SecondCountsToFiftyNineBeforeTheDcf77Mark)
{
  TimeSignalOptions o;
  o.startUtc = kWinter;
  CTimeSignalGen gen(o);
  Dcf77DecoderState dec;
  int maxSecond = -1;
  int lastSerial = 0;
  std::vector<int> maxima;
  RunTimeSignal(gen, dec, o.rate, 190, {500}, [&] {
    const Dcf77DecodedTime d = Dcf77Dec_ReadSnapshot(dec);
    if (d.MinuteSerial != lastSerial) {
      if (lastSerial > 0) maxima.push_back(maxSecond);
      lastSerial = d.MinuteSerial;
      maxSecond = -1;
    }
    maxSecond = std::max(maxSecond, d.Second);
  });
  ASSERT_GE(maxima.size(), 2u);
  for (int m : maxima) EXPECT_EQ(m, 59);
}

TEST(Dcf77Decoder, GlobalEntriesCountAtTheProcessingRateAndTakeTheResetRequest)
{
  const double savedRate = g_ProcessingSampleRate;
  const int savedNominal = SndConfig.SampleRate;
  SndConfig.SampleRate = 11025;
  g_ProcessingSampleRate = 5512.5;  // divisor 2
  Dcf77Dec_Reset(0);
  std::vector<double> on(5512), off(1102, 0.0);  // a 200 ms drop at 5,512.5 Hz
  for (size_t i = 0; i < on.size(); ++i) on[i] = 20000.0 * std::sin(2 * M_PI * 650 * i / 5512.5);
  Dcf77Dec_ProcessSamples(on.data(), 3000, 0);
  while (Dcf77Dec_GetEventChar()) {
  }
  Dcf77Dec_ProcessSamples(off.data(), 1102, 0);
  Dcf77Dec_ProcessSamples(on.data(), 5512, 0);
  EXPECT_EQ(Dcf77Dec_GetEventChar(), '1');  // 200 ms; against 11,025 Hz it would read 100 ms
  EXPECT_EQ(Dcf77Dec_GetEventChar(), 0);

  // A reset is a request: the next block carries it out before its samples.
  const int64_t before = g_Dcf77Decoder.SampleCounter;
  Dcf77Dec_Reset(0);
  EXPECT_EQ(g_Dcf77Decoder.SampleCounter, before);
  Dcf77Dec_ProcessSamples(on.data(), 100, 0);
  EXPECT_EQ(g_Dcf77Decoder.SampleCounter, 100);

  // Rates below 1 Hz and empty blocks do nothing.
  g_ProcessingSampleRate = 0.5;
  Dcf77Dec_ProcessSamples(on.data(), 100, 0);
  g_ProcessingSampleRate = 5512.5;
  Dcf77Dec_ProcessSamples(on.data(), 0, 0);
  Dcf77Dec_ProcessSamples(nullptr, 100, 0);
  EXPECT_EQ(g_Dcf77Decoder.SampleCounter, 100);
  EXPECT_FALSE(Dcf77Dec_GetDecodedTime(nullptr));

  g_ProcessingSampleRate = savedRate;
  SndConfig.SampleRate = savedNominal;
}

}  // namespace
