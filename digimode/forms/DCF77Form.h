#pragma once
// The time-decoder window "DCF77 Decoder": runs the time-signal decoder while it is shown and
// displays the signal level, the decoded time and date, the station, the phase accuracy, the
// PC clock and its deviation from the decoded time; "Set Clock" sets the PC clock from a valid
// decoded time. GUI thread only; it reads the decoder's atomics and snapshot (digimode/Dcf77Dec.h).
#include <QWidget>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

class TDCF77Form : public QWidget {
  Q_OBJECT
public:
  explicit TDCF77Form(QWidget* parent = nullptr);

  void FormCreate();
  void FormShow();
  void FormClose();
  void Btn_ResetClick();
  void Restartdecoder1Click();
  void Btn_SetPcClockClick();
  void SetPCclockandtime1Click();
  void Btn_MenuClick();
  void PMenu_TimeDecoderPopup();
  void Close1Click();
  void Btn_HelpClick();
  void Help1Click();
  void Timer1Timer();

  QFrame* Shp_AmplitudeIndicator;
  QLabel* Lab_SignalAmplitude;
  QLabel* Lab_Time;
  QLabel* Lab_Date;
  QLabel* Lab_PhaseAccuracy;
  QLabel* Lab_PcError;
  QLabel* Lab_PC_Time;
  QPushButton* Btn_SetPcClock;
  QPushButton* Btn_Reset;
  QPushButton* Btn_Menu;
  QPushButton* Btn_Help;
  QMenu* PMenu_TimeDecoder;
  QAction* Close1;
  QAction* Help1;
  QAction* Restartdecoder1;
  QAction* SetPCclockandtime1;
  QAction* PopMe_PcTimezone;
  QTimer* Timer1;

  double PcTime = 0;       // Unix seconds of the PC clock at the last tick
  double DecodedTime = 0;  // Unix seconds of the decoded time at the last tick
  double TimeDiff = 0;     // PcTime - DecodedTime
  int SetClockState = 0;   // 0 idle ("Set Clock"), 1 requested ("Setting"), 2 done ("Done")
  double SmoothedDeviation = 0;  // PC minus decoded time of day, seconds, within +-12 h

  // The deviation of time of day PC minus decoded, wrapped to (-12 h, +12 h].
  static double WrappedDeviation(double pcTime, double decodedTime);
  // "+hh:mm:ss.s" or "-hh:mm:ss.s" of a deviation in seconds.
  static QString DeviationText(double d);

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

private:
  void SetPcClock();
  void SetBarColor(bool red);

  double m_shownPcTime = -1;
  int m_shownStation = -1;
  int m_shownPhaseAccuracy = -1;
  int m_shownSetClockState = 0;
  int m_flashCountdown = 0;
  bool m_everShown = false;  // shown at least once this run
};

extern TDCF77Form* DCF77Form;
