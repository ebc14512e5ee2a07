// The time-decoder window.
#include "digimode/forms/DCF77Form.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <ctime>

#include "digimode/Dcf77Dec.h"
#include "engine/PreciseClock.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/TimeUtils.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "platform/IniFile.h"
#include "platform/PerfCounter.h"

TDCF77Form* DCF77Form = nullptr;

namespace {

constexpr const char* kSection = "DCF77Form";
constexpr uint32_t kHelpContext = 1200;
// Shown while no minute has passed every check since the reset.
constexpr const char* kNoTime = "??:??:??";
constexpr const char* kNoDate = "??.??.????";
constexpr const char* kNoDeviation = "??";
// A valid minute older than this is marked as old beside the time, and sets no clock.
constexpr double kStaleAfterSeconds = 180;

QLabel* AddRow(QGridLayout* grid, int row, const char* caption, const char* name, const char* text)
{
  grid->addWidget(new QLabel(caption), row, 0);
  auto* l = new QLabel(text);
  l->setObjectName(name);
  grid->addWidget(l, row, 1);
  return l;
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* caption)
{
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QAction* AddItem(QMenu* menu, const char* name, const char* caption)
{
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  return a;
}

}  // namespace

TDCF77Form::TDCF77Form(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
  setObjectName("DCF77Form");
  setWindowTitle("DCF77 Decoder");

  auto* grid = new QGridLayout(this);
  Shp_AmplitudeIndicator = new QFrame(this);
  Shp_AmplitudeIndicator->setObjectName("Shp_AmplitudeIndicator");
  Shp_AmplitudeIndicator->setAutoFillBackground(true);
  Shp_AmplitudeIndicator->setFixedHeight(10);
  Shp_AmplitudeIndicator->setFixedWidth(0);
  SetBarColor(false);
  grid->addWidget(Shp_AmplitudeIndicator, 0, 0, 1, 2, Qt::AlignLeft);
  Lab_SignalAmplitude = AddRow(grid, 1, "Signal Amplitude:", "Lab_SignalAmplitude", "100 %");
  Lab_Time = AddRow(grid, 2, "Decoded:", "Lab_Time", "??:??:??");
  Lab_Date = AddRow(grid, 3, "Date:", "Lab_Date", "??.??.????");
  Lab_PhaseAccuracy = AddRow(grid, 4, "Phase Accuracy:", "Lab_PhaseAccuracy", "100 %");
  Lab_PcError = AddRow(grid, 5, "Deviation:", "Lab_PcError", "100s");
  Lab_PC_Time = AddRow(grid, 6, "PC clock:", "Lab_PC_Time", "??:??:??");

  auto* buttons = new QHBoxLayout;
  Btn_SetPcClock = AddButton(this, "Btn_SetPcClock", "Set Clock");
  Btn_SetPcClock->setCheckable(true);
  Btn_Reset = AddButton(this, "Btn_Reset", "Reset");
  Btn_Menu = AddButton(this, "Btn_Menu", "Menu");
  Btn_Help = AddButton(this, "Btn_Help", "Help");
  for (QPushButton* b : {Btn_SetPcClock, Btn_Reset, Btn_Menu, Btn_Help}) buttons->addWidget(b);
  grid->addLayout(buttons, 7, 0, 1, 2);

  PMenu_TimeDecoder = new QMenu(this);
  PMenu_TimeDecoder->setObjectName("PMenu_TimeDecoder");
  Close1 = AddItem(PMenu_TimeDecoder, "Close1", "Close");
  Help1 = AddItem(PMenu_TimeDecoder, "Help1", "Help");
  Restartdecoder1 = AddItem(PMenu_TimeDecoder, "Restartdecoder1", "Restart decoder");
  SetPCclockandtime1 =
      AddItem(PMenu_TimeDecoder, "SetPCclockandtime1", "Set PC clock to decoded clock");
  PMenu_TimeDecoder->addSeparator();
  PopMe_PcTimezone = AddItem(PMenu_TimeDecoder, "PopMe_PcTimezone", "Info: PC Timezone");

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(100);

  connect(Btn_SetPcClock, &QPushButton::clicked, this, &TDCF77Form::Btn_SetPcClockClick);
  connect(Btn_Reset, &QPushButton::clicked, this, &TDCF77Form::Btn_ResetClick);
  connect(Btn_Menu, &QPushButton::clicked, this, &TDCF77Form::Btn_MenuClick);
  connect(Btn_Help, &QPushButton::clicked, this, &TDCF77Form::Btn_HelpClick);
  connect(PMenu_TimeDecoder, &QMenu::aboutToShow, this, &TDCF77Form::PMenu_TimeDecoderPopup);
  connect(Close1, &QAction::triggered, this, &TDCF77Form::Close1Click);
  connect(Help1, &QAction::triggered, this, &TDCF77Form::Help1Click);
  connect(Restartdecoder1, &QAction::triggered, this, &TDCF77Form::Restartdecoder1Click);
  connect(SetPCclockandtime1, &QAction::triggered, this, &TDCF77Form::SetPCclockandtime1Click);
  connect(Timer1, &QTimer::timeout, this, &TDCF77Form::Timer1Timer);
  InstallHelpShortcut(this, kHelpContext);
  FormCreate();
  Timer1->start();
}

void TDCF77Form::FormCreate()
{
  AppendInstanceSuffix(this);
  // Only the position is stored: the window keeps the size its layout gives it. "Left" and
  // "Top" are the frame's corner, as every window stores it; the window is fitted onto the
  // screens, so a first start or a place on a monitor that is gone leaves its title bar where
  // it can be grabbed.
  adjustSize();
  try {
    IniFile ini(UserSettingsFullPath());
    ReadFormBounds(this, ini, kSection, false);
  } catch (const EIniFileError&) {
    // An unreadable settings file leaves the default position, fitted onto the screens.
    PlaceWindowOnScreens(this, pos(), size());
  }
}

void TDCF77Form::FormShow()
{
  SndConfig.Dcf77Active = 0;
  Dcf77Dec_Reset(0);  // carried out by the audio thread before its next block
  SetClockState = 0;
  SmoothedDeviation = 0;
  SndConfig.Dcf77Active = 1;
}

void TDCF77Form::FormClose()
{
  try {
    // A window never on the screen this run (the main window closes it at the end) leaves the
    // stored place as it was, not the one it was fitted to unseen, nor a default corner.
    if (m_everShown) {
      IniFile ini(UserSettingsFullPath());
      WriteFormBounds(this, ini, kSection, false);
      ini.UpdateFile();
    }
  } catch (const EIniFileError&) {
    // The position is not essential; the decoder still stops.
  }
  SndConfig.Dcf77Active = 0;
}

void TDCF77Form::showEvent(QShowEvent* e)
{
  if (!e->spontaneous()) FormShow();
  m_everShown = true;
  QWidget::showEvent(e);
}

void TDCF77Form::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TDCF77Form::Btn_ResetClick() { Dcf77Dec_Reset(0); }

void TDCF77Form::Restartdecoder1Click() { Dcf77Dec_Reset(0); }

void TDCF77Form::Btn_SetPcClockClick()
{
  SetClockState = SetClockState == 0 ? 1 : 0;
  Btn_SetPcClock->setChecked(SetClockState > 0);  // the timer shows the caption
}

void TDCF77Form::SetPCclockandtime1Click() { Btn_SetPcClockClick(); }

void TDCF77Form::Btn_MenuClick()
{
  PMenu_TimeDecoder->popup(mapToGlobal(Btn_Menu->geometry().topLeft()));
}

void TDCF77Form::PMenu_TimeDecoderPopup()
{
  tzset();
  const long hours = ::timezone / 3600;  // UTC minus local standard time, truncated
  PopMe_PcTimezone->setText(QString("Info: Timezone (UTC-local) = %1 hour(s)").arg(hours));
}

void TDCF77Form::Close1Click() { close(); }

void TDCF77Form::Btn_HelpClick() { ShowHelpContext(kHelpContext); }

void TDCF77Form::Help1Click() { ShowHelpContext(kHelpContext); }

double TDCF77Form::WrappedDeviation(double pcTime, double decodedTime)
{
  double d = std::fmod(pcTime - decodedTime, 86400.0);
  if (d > 43200.0) d -= 86400.0;
  if (d <= -43200.0) d += 86400.0;
  return d;
}

QString TDCF77Form::DeviationText(double d)
{
  std::string s = FormatUnixDateTime("_hh:mm:ss.s", std::fabs(d));
  if (!s.empty()) s[0] = d < 0 ? '-' : '+';
  return QString::fromStdString(s);
}

void TDCF77Form::SetBarColor(bool red)
{
  QPalette p = Shp_AmplitudeIndicator->palette();
  p.setColor(QPalette::Window, red ? Qt::red : QColor(0, 255, 0));
  Shp_AmplitudeIndicator->setPalette(p);
}

void TDCF77Form::SetPcClock()
{
  // The absolute time, so a deviation across midnight moves the date too.
  const double target = GetSystemUnixTime() - SmoothedDeviation;
  std::string error;
  if (!SetSystemClock(target, &error)) {
    SetClockState = 0;
    Btn_SetPcClock->setChecked(false);
    Btn_SetPcClock->setText("Set Clock");
    m_shownSetClockState = 0;
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    "Could not set the PC clock:\r\n" + QString::fromStdString(error),
                    QMessageBox::Ok, this);
    ExecDialog(&box);
    return;
  }
  SetClockState = 2;
  PcTime = GetPreciseUnixTime(false);
  Dcf77Dec_GetValidTime(&DecodedTime, nullptr, nullptr);
  TimeDiff = PcTime - DecodedTime;
  SmoothedDeviation = WrappedDeviation(PcTime, DecodedTime);
}

void TDCF77Form::Timer1Timer()
{
  if (SndConfig.Dcf77Active == 0) return;

  // 1. The set-clock button.
  if (SetClockState != m_shownSetClockState) {
    m_shownSetClockState = SetClockState;
    Btn_SetPcClock->setChecked(SetClockState > 0);
    Btn_SetPcClock->setText(SetClockState == 1   ? "Setting"
                            : SetClockState == 2 ? "Done"
                                                 : "Set Clock");
  }
  // 2. The station in the caption.
  const int station = g_Dcf77Decoder.Station.load(std::memory_order_relaxed);
  if (station != m_shownStation) {
    m_shownStation = station;
    static const char* const names[] = {"Time Decoder", "Time Decoder: DCF", "Time Decoder: HBG",
                                        "Time Decoder: MSF"};
    setWindowTitle(QString(station >= 0 && station <= 3 ? names[station] : "Time Decoder: ???") +
                   InstanceSuffix());
  }
  // 3. Only a minute that passed every check gives the time, running on from its mark while
  // later minutes fail; none since the reset shows question marks.
  PcTime = GetPreciseUnixTime(false);
  double age = 0;
  Dcf77DecodedTime snap;
  const bool ok = Dcf77Dec_GetValidTime(&DecodedTime, &age, &snap);
  const bool stale = ok && age > kStaleAfterSeconds;
  // 4. Clocks and deviation, about every 300 ms.
  if (std::fabs(PcTime - m_shownPcTime) > 0.2) {
    m_shownPcTime = PcTime;
    Lab_PC_Time->setText(QString::fromStdString(FormatUnixDateTime("hh:mm:ss.s", PcTime)));
    if (ok) {
      QString time = QString::fromStdString(FormatUnixDateTime("hh:mm:ss.s", DecodedTime));
      // Marked once the last valid minute is a few minutes old.
      if (stale) time += QString(" (%1 min old)").arg(static_cast<long long>(age / 60));
      Lab_Time->setText(time);
      TimeDiff = PcTime - DecodedTime;
      const double d = WrappedDeviation(PcTime, DecodedTime);
      if (std::fabs(SmoothedDeviation - d) < 1.0)
        SmoothedDeviation = 0.9 * SmoothedDeviation + 0.1 * d;
      else
        SmoothedDeviation = d;
      Lab_PcError->setText(DeviationText(d));
      if (SetClockState == 1 && !stale) SetPcClock();
    } else {
      Lab_Time->setText(kNoTime);
      Lab_PcError->setText(kNoDeviation);
      Lab_Date->setText(kNoDate);
    }
  }
  // 6. Signal level: full width at the RMS of a full-scale sine.
  const double amplitude = g_Dcf77Decoder.Amplitude.load(std::memory_order_relaxed);
  const int w = std::max(width() - 15, 0);
  const double bar = std::min<double>(w, amplitude / (32767 * 0.707) * w);
  Shp_AmplitudeIndicator->setFixedWidth(std::isfinite(bar) && bar > 0 ? static_cast<int>(bar) : 0);
  const double percent = amplitude * 0.005;
  Lab_SignalAmplitude->setText(
      QString("%1%").arg(std::isfinite(percent) ? static_cast<long long>(std::llround(std::min(percent, 1e15))) : 0));
  // 7. Second-mark flash, 500 ms.
  if (g_Dcf77Decoder.SecondMarkSeen.load(std::memory_order_relaxed)) {
    if (m_flashCountdown == 0) {
      SetBarColor(true);
      m_flashCountdown = 5;
    }
    g_Dcf77Decoder.SecondMarkSeen.store(0, std::memory_order_relaxed);
  } else if (m_flashCountdown > 0 && --m_flashCountdown == 0) {
    SetBarColor(false);
  }
  // 8. The date of a new decoded second: the transmitted (local) date of the valid time.
  if (g_Dcf77Decoder.TimeState.load(std::memory_order_relaxed) == 2) {
    Lab_Date->setText(ok ? QString::fromStdString(FormatUnixDateTime(
                               "DD.MM.YYYY", DecodedTime + snap.ValidZoneHours * 3600.0))
                         : QString(kNoDate));
    g_Dcf77Decoder.TimeState.store(0, std::memory_order_relaxed);
  }
  // 9.
  const int accuracy = g_Dcf77Decoder.PhaseAccuracy.load(std::memory_order_relaxed);
  if (accuracy != m_shownPhaseAccuracy) {
    m_shownPhaseAccuracy = accuracy;
    Lab_PhaseAccuracy->setText(QString("%1%").arg(accuracy));
  }
}
