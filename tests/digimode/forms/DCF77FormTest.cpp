// The time-decoder window with a fake PC clock, a fake clock setter and generated signals.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <vector>

#include "common/TestUtil.h"
#include "digimode/Dcf77Dec.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/forms/DCF77Form.h"
#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "platform/IniFile.h"
#include "platform/PerfCounter.h"
#include "tests/digimode/TimeSignalGen.h"

namespace {

LocalDateTime Broken(double t)
{
  const time_t tt = static_cast<time_t>(std::floor(t));
  tm g{};
  gmtime_r(&tt, &g);
  LocalDateTime d;
  d.year = g.tm_year + 1900;
  d.month = g.tm_mon + 1;
  d.day = g.tm_mday;
  d.hour = g.tm_hour;
  d.minute = g.tm_min;
  d.second = g.tm_sec;
  d.ms = static_cast<int>((t - std::floor(t)) * 1000);
  d.dayOfWeek = g.tm_wday;
  return d;
}

struct SetCall {
  double t;
};

// The PC clock runs `pcError` seconds ahead of the transmitted time; the performance counter
// (microseconds) counts on the PC clock's scale, as the precise clock aligns it, so the audio
// blocks are stamped on that scale too.
class DCF77FormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    ResetPreciseClock();
    SetLocalDateTimeSource([this] { return Broken(pcNow); });
    SetSystemUnixTimeSource([this] { return pcNow; });
    SetPerformanceCounterSource([this] { return static_cast<int64_t>(std::llround(pcNow * 1e6)); },
                                1000000);
    g_PerfCounterPeriod = 1e-6;
    g_PerfCounterTimeOffset = 0.0;
    SetSystemClockSetter([this](double t, std::string* error) {
      sets.push_back({t});
      if (!refuse) return true;
      *error = "Operation not permitted";
      return false;
    });
    SetHelpContextHandler([this](uint32_t c) {
      helpContexts.push_back(c);
      return true;
    });
    TDialogHooks::DialogExecHook = [this](QDialog* d) {
      if (auto* box = qobject_cast<QMessageBox*>(d)) messages.push_back(box->text());
      return 0;
    };
    g_ProcessingSampleRate = 11025.0;
    SndConfig.Dcf77Active = 0;
    form = std::make_unique<TDCF77Form>();
    form->Timer1->stop();  // the tests call the handler
  }
  void TearDown() override
  {
    form.reset();
    SetLocalDateTimeSource({});
    SetSystemUnixTimeSource({});
    SetPerformanceCounterSource({}, 0);
    SetSystemClockSetter({});
    SetHelpContextHandler({});
    TDialogHooks::DialogExecHook = nullptr;
    ResetPreciseClock();
    SndConfig.Dcf77Active = 0;
    std::filesystem::current_path(m_oldCwd);
  }

  // Feeds the signal of `gen` through the audio thread's entry until its time reaches `until`
  // (true time), with the clocks following; ticks the window's timer every 100 ms.
  void RunUntil(CTimeSignalGen& gen, double until)
  {
    std::vector<double> block(1103);
    double nextTick = gen.Now();
    while (gen.Now() < until) {
      const double t0 = gen.Now();
      gen.Generate(block.data(), static_cast<int>(block.size()));
      pcNow = gen.Now() + pcError;
      Dcf77Dec_ProcessSamples(block.data(), static_cast<int>(block.size()), t0 + pcError);
      if (gen.Now() >= nextTick) {
        form->Timer1Timer();
        nextTick += 0.1;
      }
    }
  }

  QString Text(const char* name) { return form->findChild<QLabel*>(name)->text(); }
  QPushButton* Button(const char* name) { return form->findChild<QPushButton*>(name); }

  vt_test::TempDir dir;
  std::unique_ptr<TDCF77Form> form;
  double pcNow = 0;
  double pcError = 0;
  bool refuse = false;
  std::vector<SetCall> sets;
  std::vector<uint32_t> helpContexts;
  QStringList messages;

private:
  std::filesystem::path m_oldCwd;
};

const double kJune30 = CalendarToUnixSeconds(2026, 6, 30, 0, 0, 0);

TEST_F(DCF77FormTest, ShowsDecodedTimeDateStationAndDeviationAcrossMidnight)
{
  struct Case {
    TimeStation station;
    double pcError;
    double until;  // true time of the last tick, seconds after 30 June 00:00 UTC
    const char* deviation;
    const char* decodedPrefix;
    const char* pcPrefix;
    const char* caption;
  };
  // The first valid minute comes at 23:59:00 UTC; the last display update straddles midnight.
  const Case cases[] = {
      {TimeStation::Dcf77, 1.03, 86399.55, "+00:00:01.0", "23:59:59", "00:00:00", "Time Decoder: DCF"},
      {TimeStation::Dcf77, -1.03, 86400.55, "-00:00:01.0", "00:00:00", "23:59:59", "Time Decoder: DCF"},
      {TimeStation::Dcf77, 86398.97, 86399.55, "-00:00:01.0", "23:59:59", "23:59:58", "Time Decoder: DCF"},
      {TimeStation::Msf, -86398.97, 86399.55, "+00:00:01.0", "23:59:59", "00:00:00", "Time Decoder: MSF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deviation);
    pcError = c.pcError;
    form->show();  // resets the decoder and starts it
    EXPECT_EQ(SndConfig.Dcf77Active.load(), 1);
    TimeSignalOptions o;
    o.station = c.station;
    o.startUtc = kJune30 + 86400 - 160.3;
    CTimeSignalGen gen(o);
    RunUntil(gen, kJune30 + c.until);
    ASSERT_TRUE(Dcf77Dec_IsTimeValid());
    EXPECT_EQ(Text("Lab_PcError"), c.deviation);
    EXPECT_EQ(form->windowTitle(), c.caption);
    // The transmitted (local) date: 1 July from 22:00 UTC for DCF77, from 23:00 UTC for MSF.
    EXPECT_EQ(Text("Lab_Date"), "01.07.2026");
    EXPECT_NEAR(form->DecodedTime, gen.Now(), 0.15);
    EXPECT_TRUE(Text("Lab_Time").startsWith(c.decodedPrefix)) << Text("Lab_Time").toStdString();
    EXPECT_TRUE(Text("Lab_PC_Time").startsWith(c.pcPrefix)) << Text("Lab_PC_Time").toStdString();
    form->close();
    EXPECT_EQ(SndConfig.Dcf77Active.load(), 0);
  }
  EXPECT_TRUE(sets.empty());
}

// Seconds of the day of an "hh:mm:ss.s" label, -1 when it does not start with one.
double LabelTimeOfDay(const QString& text)
{
  const QStringList f = text.left(10).split(':');
  if (f.size() != 3 || text.size() < 10) return -1;
  return f[0].toInt() * 3600 + f[1].toInt() * 60 + f[2].toDouble();
}

// Time, date and deviation come only from a minute that passed every check, running on from it
// while later minutes fail; none since the reset shows question marks, and a valid minute more
// than three minutes old is marked and sets no clock.
TEST_F(DCF77FormTest, ShowsOnlyTheTimeOfAValidMinuteRunningOnFromIt)
{
  struct Case {
    const char* name;
    TimeStation station;
    double start;       // seconds after 30 June 00:00 UTC
    int flipBit;        // flipped in the third whole minute (-1: none)
    double signalFor;   // seconds of signal, then digital silence (-1: signal throughout)
    double checkAt;     // seconds after the start
    bool timeShown;     // false: question marks everywhere
    bool old;           // the time is marked as old
  };
  const Case cases[] = {
      // A minute-units bit flipped: the faulty minute (decoded at 20:04) would read 20:06.
      {"dcf_flipped_bit", TimeStation::Dcf77, 72000 + 20.4, 22, -1, 39.6 + 180 + 5, true, false},
      {"msf_flipped_bit", TimeStation::Msf, 72000 + 20.4, 46, -1, 39.6 + 180 + 5, true, false},
      // The first partial minute has been decoded (its mark at 40 s), but it is not valid.
      {"dcf_first_partial_minute", TimeStation::Dcf77, 72000 + 20.4, -1, -1, 45, false, false},
      {"msf_first_partial_minute", TimeStation::Msf, 72000 + 20.4, -1, -1, 45, false, false},
      {"no_signal", TimeStation::Dcf77, 72000 + 20.4, -1, 0, 200, false, false},
      // Valid minutes at 20:01 and 20:02, then the signal is lost.
      {"dcf_signal_lost", TimeStation::Dcf77, 72000 + 20.4, -1, 150, 150 + 240, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pcError = 0.55;  // shown as 0.5 also with the decoded time a millisecond late
    form->show();
    TimeSignalOptions o;
    o.station = c.station;
    o.startUtc = kJune30 + c.start;
    o.flipBit = c.flipBit;
    o.faultMinuteUtc = std::floor(o.startUtc / 60) * 60 + 180;
    CTimeSignalGen gen(o);
    if (c.signalFor >= 0) {
      RunUntil(gen, o.startUtc + c.signalFor);
      TimeSignalOptions quiet = o;
      quiet.startUtc = gen.Now();
      quiet.silenceSeconds = 1e9;
      CTimeSignalGen silence(quiet);
      if (c.old) {
        RunUntil(silence, o.startUtc + c.checkAt - 1);
        Button("Btn_SetPcClock")->click();
      }
      RunUntil(silence, o.startUtc + c.checkAt);
    } else {
      RunUntil(gen, o.startUtc + c.checkAt);
    }
    const double truth = o.startUtc + c.checkAt;
    if (c.timeShown) {
      const QString time = Text("Lab_Time");
      EXPECT_NEAR(LabelTimeOfDay(time), std::fmod(truth, 86400), 0.5) << time.toStdString();
      EXPECT_EQ(time.endsWith("min old)"), c.old) << time.toStdString();
      EXPECT_EQ(Text("Lab_Date"), "30.06.2026");
      EXPECT_EQ(Text("Lab_PcError"), "+00:00:00.5");
    } else {
      EXPECT_EQ(Text("Lab_Time"), "??:??:??");
      EXPECT_EQ(Text("Lab_Date"), "??.??.????");
      EXPECT_EQ(Text("Lab_PcError"), "??");
      Button("Btn_SetPcClock")->click();
      RunUntil(gen, gen.Now() + 1);
      Button("Btn_SetPcClock")->click();
    }
    if (c.old) Button("Btn_SetPcClock")->click();
    form->close();
  }
  EXPECT_TRUE(sets.empty());  // neither without a valid minute nor from an old one
}

TEST_F(DCF77FormTest, DeviationIsSmoothedBelowOneSecondAndReplacedAboveIt)
{
  form->show();
  TimeSignalOptions o;
  o.startUtc = kJune30 + 3600 + 20.4;
  CTimeSignalGen gen(o);
  pcError = 2.0;
  RunUntil(gen, o.startUtc + 101.5);  // the first full minute ends at 99.6 s; judged 0.85 s later
  ASSERT_TRUE(Dcf77Dec_IsTimeValid());
  EXPECT_NEAR(form->SmoothedDeviation, 2.0, 0.01);
  // Each display tick (about every 300 ms) moves 10 % of the way to a deviation within 1 s.
  pcError = 2.5;
  RunUntil(gen, gen.Now() + 1.5);  // the decoded seconds now count on the new scale
  form->SmoothedDeviation = 2.0;
  pcNow += 0.25;  // one display update later; the decoded time moves with the counter
  form->Timer1Timer();
  EXPECT_NEAR(form->SmoothedDeviation, 2.05, 1e-3);
  // A jump of a second or more replaces it.
  pcError = 4.0;
  RunUntil(gen, gen.Now() + 1.5);
  EXPECT_NEAR(form->SmoothedDeviation, 4.0, 0.01);
  EXPECT_EQ(Text("Lab_PcError"), "+00:00:04.0");
}

TEST_F(DCF77FormTest, SetClockWaitsForAValidTimeAndPressedTwiceDoesNothing)
{
  form->show();
  TimeSignalOptions o;
  o.startUtc = kJune30 + 7200 + 5.5;
  CTimeSignalGen gen(o);
  pcError = 30;
  Button("Btn_SetPcClock")->click();
  RunUntil(gen, o.startUtc + 20);  // no minute decoded yet
  EXPECT_EQ(Button("Btn_SetPcClock")->text(), "Setting");
  EXPECT_TRUE(Button("Btn_SetPcClock")->isChecked());
  Button("Btn_SetPcClock")->click();
  RunUntil(gen, o.startUtc + 25);
  EXPECT_EQ(Button("Btn_SetPcClock")->text(), "Set Clock");
  EXPECT_FALSE(Button("Btn_SetPcClock")->isChecked());
  RunUntil(gen, o.startUtc + 130);  // valid minutes now, but nobody asked
  EXPECT_TRUE(sets.empty());
}

TEST_F(DCF77FormTest, SetClockSetsNowMinusTheDeviationOnceAcrossMidnight)
{
  form->show();
  TimeSignalOptions o;
  o.startUtc = kJune30 + 86400 - 160.3;
  CTimeSignalGen gen(o);
  pcError = 1.5;  // the PC is already in 1 July
  RunUntil(gen, kJune30 + 86399.0);
  ASSERT_TRUE(Dcf77Dec_IsTimeValid());
  form->SetPCclockandtime1->trigger();
  RunUntil(gen, kJune30 + 86399.5);
  ASSERT_EQ(sets.size(), 1u);
  // The true time then, on 30 June: the date goes back with the time.
  EXPECT_NEAR(sets[0].t, kJune30 + 86399.0 + 0.3, 0.35);
  EXPECT_LT(sets[0].t, kJune30 + 86400);
  EXPECT_EQ(Button("Btn_SetPcClock")->text(), "Done");
  EXPECT_TRUE(messages.isEmpty());
  RunUntil(gen, kJune30 + 86401.0);
  EXPECT_EQ(sets.size(), 1u);
}

TEST_F(DCF77FormTest, RefusedSetShowsTheErrorAndReturnsToSetClock)
{
  form->show();
  refuse = true;
  TimeSignalOptions o;
  o.startUtc = kJune30 + 40000.2;
  CTimeSignalGen gen(o);
  pcError = -3;
  RunUntil(gen, o.startUtc + 125);
  ASSERT_TRUE(Dcf77Dec_IsTimeValid());
  Button("Btn_SetPcClock")->click();
  RunUntil(gen, gen.Now() + 0.5);
  ASSERT_EQ(sets.size(), 1u);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("Operation not permitted")) << messages[0].toStdString();
  RunUntil(gen, gen.Now() + 0.5);
  EXPECT_EQ(Button("Btn_SetPcClock")->text(), "Set Clock");
  EXPECT_FALSE(Button("Btn_SetPcClock")->isChecked());
  EXPECT_EQ(form->SetClockState, 0);
}

TEST_F(DCF77FormTest, ResetFromTheWindowIsTakenUpByTheNextBlock)
{
  form->show();
  TimeSignalOptions o;
  o.startUtc = kJune30 + 500.7;
  CTimeSignalGen gen(o);
  RunUntil(gen, o.startUtc + 70);
  EXPECT_EQ(g_Dcf77Decoder.Station.load(), 1);
  const int64_t before = g_Dcf77Decoder.SampleCounter;
  Button("Btn_Reset")->click();
  EXPECT_EQ(g_Dcf77Decoder.SampleCounter, before);  // the audio thread's state is untouched
  std::vector<double> block(500);
  gen.Generate(block.data(), 500);
  Dcf77Dec_ProcessSamples(block.data(), 500, 0);
  EXPECT_EQ(g_Dcf77Decoder.SampleCounter, 500);
  EXPECT_EQ(g_Dcf77Decoder.Station.load(), 0);
  EXPECT_FALSE(Dcf77Dec_IsTimeValid());
  form->Timer1Timer();
  EXPECT_EQ(form->windowTitle(), "Time Decoder");
}

TEST_F(DCF77FormTest, ControlsHelpTimezoneAndPlacement)
{
  EXPECT_EQ(form->objectName(), "DCF77Form");
  EXPECT_EQ(form->windowTitle(), "DCF77 Decoder");
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form->Timer1->interval(), 100);
  EXPECT_EQ(Text("Lab_Time"), "??:??:??");
  EXPECT_EQ(Text("Lab_Date"), "??.??.????");
  Button("Btn_Help")->click();
  form->Help1->trigger();
  EXPECT_EQ(helpContexts, (std::vector<uint32_t>{1200, 1200}));

  emit form->PMenu_TimeDecoder->aboutToShow();
  tzset();
  EXPECT_EQ(form->PopMe_PcTimezone->text(),
            QString("Info: Timezone (UTC-local) = %1 hour(s)").arg(::timezone / 3600));

  // Timer ticks do nothing while the decoder is off.
  form->Timer1Timer();
  EXPECT_EQ(form->windowTitle(), "DCF77 Decoder");

  form->show();
  form->move(123, 45);
  form->close();
  IniFile ini("SETTINGS.INI");
  // Left and Top are the frame's corner.
  EXPECT_EQ(ini.ReadInteger("DCF77Form", "Left", -1), 123);
  EXPECT_EQ(ini.ReadInteger("DCF77Form", "Top", -1), 45);
  TDCF77Form second;
  EXPECT_EQ(second.pos(), form->pos());
}

// Only the position is stored; the window opens at the size its layout gives it, not at a
// default geometry.
TEST_F(DCF77FormTest, OpensAtItsNaturalSizeAtTheStoredPosition)
{
  {
    IniFile ini("SETTINGS.INI");
    ini.WriteInteger("DCF77Form", "Left", 210);
    ini.WriteInteger("DCF77Form", "Top", 150);
    ini.UpdateFile();
  }
  TDCF77Form placed;
  placed.Timer1->stop();
  placed.show();
  EXPECT_EQ(placed.pos(), QPoint(210, 150));  // the frame's corner
  EXPECT_EQ(placed.size(), placed.sizeHint());
  EXPECT_LT(placed.width(), 640);
  EXPECT_LT(placed.height(), 480);
  placed.close();
}

// "Left" and "Top" are the frame's corner both ways, so a window opened and closed run after run
// stays where it was; a first start or a place off every screen puts the whole frame on the
// screen; a window never shown in a run leaves the stored place (or its absence) as it was.
TEST_F(DCF77FormTest, PlacementStaysOnTheScreenAndDoesNotCreep)
{
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  struct Case {
    const char* what;
    bool stored;
    QPoint at;      // stored frame corner
    bool shown;     // shown (and moved nowhere) in each of the runs
    QPoint placed;  // frame corner while shown; (-1,-1): anywhere with the frame on the screen
    QPoint after;   // stored after the runs; (-1,-1): where it was shown
  };
  const QPoint anywhere(-1, -1);
  const Case cases[] = {
      {"stored place on the screen", true, QPoint(210, 150), true, QPoint(210, 150),
       QPoint(210, 150)},
      {"at the screen's corner", true, screen.topLeft(), true, screen.topLeft(), screen.topLeft()},
      {"first start", false, QPoint(), true, anywhere, anywhere},
      {"far right and above the screen", true, QPoint(5000, -3000), true, anywhere, anywhere},
      {"title bar above the screen", true, QPoint(100, -20), true, anywhere, anywhere},
      {"never shown, stored off the screen", true, QPoint(5000, -3000), false, anywhere,
       QPoint(5000, -3000)},
      {"never shown, stored on the screen", true, QPoint(210, 150), false, anywhere,
       QPoint(210, 150)},
      {"never shown, nothing stored: nothing written", false, QPoint(), false, anywhere,
       QPoint(-99999, -99999)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove("SETTINGS.INI");
    if (c.stored) {
      IniFile ini("SETTINGS.INI");
      ini.WriteInteger("DCF77Form", "Left", c.at.x());
      ini.WriteInteger("DCF77Form", "Top", c.at.y());
      ini.UpdateFile();
    }
    QPoint firstShown(-1, -1);
    for (int run = 0; run < 3; ++run) {  // the window of each run reads what the last one wrote
      SCOPED_TRACE(run);
      TDCF77Form w;
      w.Timer1->stop();
      if (c.shown) {
        w.show();
        QApplication::processEvents();
        const QRect frame = w.frameGeometry();
        EXPECT_TRUE(screen.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        if (c.placed != anywhere) {
          EXPECT_EQ(w.pos(), c.placed);
        }
        if (run == 0) firstShown = w.pos();
        EXPECT_EQ(w.pos(), firstShown);  // no creep from run to run
      }
      w.close();  // as the user or the main window at the end closes it
    }
    IniFile ini("SETTINGS.INI");
    const QPoint after(ini.ReadInteger("DCF77Form", "Left", -99999),
                       ini.ReadInteger("DCF77Form", "Top", -99999));
    EXPECT_EQ(after, c.after != anywhere ? c.after : firstShown);
  }
}

TEST_F(DCF77FormTest, SignalLevelAndSecondMarkFlash)
{
  form->show();
  TimeSignalOptions o;
  o.amplitude = 20000 * std::sqrt(2.0);  // RMS 20,000 outside the drops
  o.startUtc = kJune30 + 1000.95;
  CTimeSignalGen gen(o);
  RunUntil(gen, o.startUtc + 5);
  const double a = g_Dcf77Decoder.Amplitude.load();
  EXPECT_EQ(Text("Lab_SignalAmplitude"), QString("%1%").arg(std::llround(a * 0.005)));
  const double w = form->width() - 15;
  EXPECT_EQ(form->Shp_AmplitudeIndicator->width(),
            static_cast<int>(std::min(w, a / (32767 * 0.707) * w)));
  // A second mark turns the bar red for five ticks.
  RunUntil(gen, std::floor(gen.Now()) + 1.05);
  const QColor red = form->Shp_AmplitudeIndicator->palette().color(QPalette::Window);
  EXPECT_EQ(red, QColor(Qt::red));
  RunUntil(gen, gen.Now() + 0.55);
  EXPECT_EQ(form->Shp_AmplitudeIndicator->palette().color(QPalette::Window), QColor(0, 255, 0));
}

}  // namespace
