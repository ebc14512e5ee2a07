#pragma once
// The monitor scope "Monitor Scope": a small oscilloscope of the newest 512-sample snapshot
// that the audio thread copies for it, a green trace on black with the mean removed, an
// optional trigger on a rising crossing of the mean, vertical and horizontal magnification,
// and a red trace once the signal comes within 12,767 of full scale. Two instances exist:
// MonitorScope (audio input) and OutputScope (audio output). GUI thread only.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <string>

#include "engine/SoundThreadLink.h"

class QLabel;
class QLineEdit;
class QSpinBox;
class QMenu;
class QAction;

class TMonitorScope : public QWidget {
  Q_OBJECT
public:
  // name: "MonitorScope" or "OutputScope" (object name and INI section); channel: the
  // snapshot the window shows.
  TMonitorScope(const QString& name, ScopeChannel channel, QWidget* parent = nullptr);

  // Draws count samples into target (kept at its size): nothing without samples or with fewer
  // than 51; the picture is shown in Img_InputScope when target is the window's own.
  void DrawScope(QImage& target, const int16_t* samples, int count);

  // Main-timer feed: when the thread has refilled this scope's snapshot, draws it if the window
  // is visible and hands it back in any case. True when a snapshot was taken.
  bool FeedFromSoundThread();

  void FormCreate();
  void FormClose();
  void Menu_StayOnTopClick();
  void Menu_TriggerClick();
  void Menu_HelpClick();

  QImage Picture;  // what Img_InputScope shows
  QLabel* Img_InputScope;
  QLineEdit* Ed_YAmpl;
  QSpinBox* UD_YAmpl;
  QLineEdit* Ed_Timebase;
  QSpinBox* UD_Timebase;
  QMenu* PopupMenu1;
  QAction* Menu_StayOnTop;
  QAction* Menu_Trigger;
  QAction* Menu_Help;
  static constexpr int HelpContext = 400;

protected:
  void closeEvent(QCloseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

private:
  std::string m_section;
  ScopeChannel m_channel;
};

extern TMonitorScope* MonitorScope;
extern TMonitorScope* OutputScope;
