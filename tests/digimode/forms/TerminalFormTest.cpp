// The digimode terminal window offscreen, with the engine started as the main window starts it
// and the audio hooks driven by the test (no audio thread): a BPSK31 round trip of typed text,
// the received-text rules, transmit feeding, the RX/TX/OFF control, squelch, frequencies,
// placement, the file and dialog commands and "Close Terminal".
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QStringList>
#include <QTextCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "common/FifoWatchdog.h"
#include "common/TestUtil.h"
#include "digimode/Dcf77Dec.h"
#include "digimode/Dcf77Decoder.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/forms/HellTxImage.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "interp/CmdWinMsg.h"
#include "platform/BoundedFile.h"
#include "platform/IniFile.h"

namespace {

const QColor kGrey(0x80, 0x80, 0x80);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

class TerminalFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetSettingsFileName(g_UserSettingsFileName, "SETTINGS.INI");
    SetDefaultSettings();
    SndConfig.SampleRate = 11025;
    SndConfig.SampleRateDivisor = 1;
    SndConfig.MsgDisplay = 0;
    SetSoundInOutWanted(true, false);
    Digimode_Init();  // as the main window does at start
    // Time-signal events another test of this process left behind.
    for (int i = 0; i < DCF77_EVENT_RING_SIZE && Dcf77Dec_GetEventChar() != 0; ++i) {
    }
    DigimodeSettings.symbol_rate = 31.25;
    DigimodeSettings.Modulation = DIGIMODE_MOD_BPSK;
    DigimodeSettings.fc_tx = 1000.0;
    DigimodeSettings.fc_rx = 1000.0;
    Digimode_SetDecoderFreq(1000.0);
    SetHelpContextHandler([this](uint32_t c) {
      help.push_back(c);
      return true;
    });
  }
  void TearDown() override
  {
    form.reset();
    Digimode_Exit();
    SetHelpContextHandler(nullptr);
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
    CmdWin_SetMessageSink(nullptr);
    CmdWin_SetShown(false);
    g_InstanceIndex = 0;
    SndConfig.Dcf77Active = 0;
    std::filesystem::current_path(m_oldCwd);
  }
  TTerminalForm* Make()
  {
    form = std::make_unique<TTerminalForm>();
    form->Timer1->stop();  // the test ticks
    return form.get();
  }
  TTerminalForm* MakeShown()
  {
    Make()->show();
    return form.get();
  }
  static void Press(QWidget* w, QPoint at = QPoint(2, 2))
  {
    QMouseEvent e(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  static void Key(QWidget* w, int key, const QString& text = QString())
  {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
  }
  static void Type(QWidget* w, const QString& text)
  {
    for (QChar ch : text) {
      if (ch == '\n') Key(w, Qt::Key_Return, "\r");
      else Key(w, 0, QString(ch));
    }
  }
  // Puts the transmit editor's text (typed at its end) without the key path.
  void SetTxText(const QString& text)
  {
    form->RichEd_Transmit->setPlainText(text);
    form->RichEd_Transmit->moveCursor(QTextCursor::End);
  }
  static int State() { return g_DigimodeDllParams.TxState.load(); }

  vt_test::TempDir dir;
  std::unique_ptr<TTerminalForm> form;
  std::vector<uint32_t> help;

private:
  std::filesystem::path m_oldCwd;
};

// Text typed with an accented letter and a line break goes out with BPSK31 (the panel clicked
// to transmit, the timer ticking while the test plays the audio thread's transmit side), and
// comes back through the receive hook into the receive window.
TEST_F(TerminalFormTest, TypedTextRoundTripsThroughBpsk31)
{
  MakeShown();
  const QString text = QString::fromUtf8("Grüße an\nalle");
  form->RichEd_Transmit->setFocus();
  Type(form->RichEd_Transmit, text);
  ASSERT_EQ(form->TransmitText(), text);
  const int len = int(text.size());

  Press(form->Pnl_RxTxOff);  // off -> receive
  ASSERT_EQ(State(), 1);
  Press(form->Pnl_RxTxOff);  // transmit as soon as there is something to send
  EXPECT_EQ(g_DigimodeDllParams.TxRequest.load(), 2);

  std::vector<double> audio;
  std::vector<double> block(2048);
  bool releasing = false;
  for (int tick = 0; tick < 2000; ++tick) {
    form->Timer1Timer();
    if (Digimode_GenerateTxAudio(block.data(), int(block.size()), 0.0))
      audio.insert(audio.end(), block.begin(), block.end());
    if (!releasing && form->TxPosition == len && State() == 2) {
      Press(form->Pnl_RxTxOff);  // one click: receive after the queued text and the postamble
      releasing = true;
    }
    if (releasing && State() == 1 && !Digimode_IsRxSwitchPending()) break;
  }
  ASSERT_TRUE(releasing);
  ASSERT_EQ(State(), 1);
  ASSERT_GT(audio.size(), 11025u);
  EXPECT_EQ(form->TxPosition, len);
  for (int i = 0; i < len; ++i) EXPECT_EQ(form->TransmitTextColour(i), kRed) << i;

  // Half duplex: the station hears its own signal only now, from the recording.
  for (size_t i = 0; i + block.size() <= audio.size(); i += block.size()) {
    Digimode_ProcessRxAudio(&audio[i], int(block.size()), 0.0);
    form->Timer1Timer();
  }
  for (int i = 0; i < 5; ++i) form->Timer1Timer();
  EXPECT_EQ(form->ReceivedText().trimmed(), text);
}

// Received bytes into the receive window through the receive ring and one tick.
TEST_F(TerminalFormTest, ReceivedCharactersFollowTheTextRules)
{
  struct Case {
    std::vector<int> in;
    const char* shown;  // UTF-8
  } cases[] = {
      {{'0'}, "Ø"},                 // slashed zero
      {{'A', 8}, ""},               // backspace removes the only character
      {{'x', 'y', 8, 'z'}, "xz"},
      {{'x', 7, 'y'}, "xy"},        // other control characters are dropped
      {{'a', 13, 10, 'b'}, "a\nb"}, // CR starts a line, LF is ignored
      {{'a', 13, 8, 'b'}, "ab"},    // a line break counts as one character
      {{8, 8, 'q'}, "q"},           // backspace into an empty window
      {{0xE9, 0xFC, 0xDF}, "éüß"}, // Latin-1
  };
  MakeShown();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    form->RichEd_Receive->clear();
    for (int ch : c.in) Digimode_PutRxChar(ch);
    form->Timer1Timer();
    EXPECT_EQ(form->ReceivedText(), QString::fromUtf8(c.shown));
    EXPECT_EQ(Digimode_GetRxChar(), 0);
  }
}

// A full receive ring and a full time-signal event ring are emptied in one tick; a minute
// mark starts a new line.
TEST_F(TerminalFormTest, FullRingsEmptyInOneTick)
{
  MakeShown();
  for (int i = 0; i < 10; ++i) Digimode_PutRxChar('a' + i);  // 7 fit
  SndConfig.Dcf77Active = 1;
  Dcf77DecoderState& d = g_Dcf77Decoder;
  const char events[] = "..m.-";
  for (const char* e = events; *e; ++e) {
    const int head = d.EventHead.load();
    d.EventRing[head].store(*e);
    d.EventHead.store((head + 1) % DCF77_EVENT_RING_SIZE);
  }
  form->Timer1Timer();
  EXPECT_EQ(form->ReceivedText(), QString("abcdefg..\nm.-"));
  EXPECT_EQ(Digimode_GetRxChar(), 0);
  EXPECT_EQ(Dcf77Dec_GetEventChar(), 0);
}

// The newest received character is always in view: a decoded PSK line that follows a long
// line of time-signal events (one character a second, a line a minute) is not left beyond the
// editor's right edge (the received text wraps at the editor's width, so no line reaches
// beyond it), and lines below the last one shown bring the view down to them.
TEST_F(TerminalFormTest, NewestReceivedCharacterStaysInView)
{
  Make();
  form->resize(420, 320);
  QTextEdit* rx = form->RichEd_Receive;
  SndConfig.Dcf77Active = 1;
  Dcf77DecoderState& d = g_Dcf77Decoder;
  // The newest character's place, in the viewport's coordinates, is within the viewport.
  const auto newestInView = [rx](const char* when) {
    QApplication::processEvents();
    QTextCursor end(rx->document());
    end.movePosition(QTextCursor::End);
    const QRect r = rx->cursorRect(end);
    EXPECT_TRUE(rx->viewport()->rect().contains(r.center()))
        << when << ": cursor at " << r.x() << "," << r.y() << ", viewport "
        << rx->viewport()->width() << "x" << rx->viewport()->height();
    EXPECT_EQ(rx->horizontalScrollBar()->maximum(), 0) << when << ": a line reaches beyond";
    EXPECT_EQ(rx->horizontalScrollBar()->value(), 0) << when;
  };
  // Three minutes of events: a minute mark starts each line of 60 seconds' characters.
  for (int minute = 0; minute < 3; ++minute) {
    for (int sec = 0; sec < 60; sec += 5) {
      for (int i = 0; i < 5; ++i) {
        const int head = d.EventHead.load();
        d.EventRing[head].store(sec + i == 0 ? 'm' : (i % 2 ? '.' : '-'));
        d.EventHead.store((head + 1) % DCF77_EVENT_RING_SIZE);
      }
      form->Timer1Timer();
    }
  }
  form->show();
  newestInView("after the events");
  // A decoded PSK line right behind them.
  for (const char* text = "CQ CQ DE DL1ABC"; *text; text += 5) {
    for (int i = 0; i < 5 && text[i]; ++i) Digimode_PutRxChar(text[i]);
    form->Timer1Timer();
    newestInView("PSK text");
  }
  EXPECT_TRUE(form->ReceivedText().endsWith("CQ CQ DE DL1ABC"));
  // Many lines: the view follows them down.
  for (int line = 0; line < 40; ++line) {
    Digimode_PutRxChar(13);
    Digimode_PutRxChar('a' + line % 26);
    form->Timer1Timer();
  }
  newestInView("after many lines");
}

// The 11025 and decimation warnings on every show, also to the command window when its
// message filter lets errors or warnings through.
TEST_F(TerminalFormTest, SampleRateWarningsOnEveryShow)
{
  struct Case {
    int rate, divisor, msgDisplay;
    int lines, cmdWinLines;
  } cases[] = {
      {22050, 1, 0, 1, 0}, {22050, 1, MSGDISP_WARNINGS, 1, 1}, {11025, 2, MSGDISP_ERRORS, 1, 1},
      {8000, 4, MSGDISP_HINTS, 2, 0}, {11025, 1, 3, 0, 0},
  };
  std::vector<std::string> cmdWin;
  CmdWin_SetShown(true);
  CmdWin_SetMessageSink([&](int source, int cls, const std::string& line) {
    EXPECT_EQ(source, 6);
    EXPECT_EQ(cls, CMDWIN_MSG_ERROR);
    cmdWin.push_back(line);
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate * 10 + c.divisor);
    cmdWin.clear();
    SndConfig.SampleRate = c.rate;
    SndConfig.SampleRateDivisor = c.divisor;
    SndConfig.MsgDisplay = c.msgDisplay;
    Make();
    for (int show = 1; show <= 2; ++show) {
      form->show();
      form->hide();
      const QString t = form->ReceivedText();
      EXPECT_EQ(int(t.count("TRM_WARNING: You should set the sound sample rate to 11025 !!") +
                    t.count("TRM_WARNING: You should turn the audio decimation off !!")),
                c.lines * show);
      EXPECT_EQ(int(cmdWin.size()), c.cmdWinLines * show);
    }
    if (c.divisor > 1) {
      EXPECT_TRUE(form->ReceivedText().contains("decimation"));
    }
    form.reset();
  }
}

// With 5 characters queued, one tick hands over one more, marks exactly it red and leaves the
// next black.
TEST_F(TerminalFormTest, OneCharacterGoesIntoARingWithFiveQueued)
{
  MakeShown();
  Digimode_SwitchRxTx(2);
  for (int i = 0; i < 5; ++i) Digimode_PutTxChar('x');
  SetTxText("hello");
  form->Timer1Timer();
  EXPECT_EQ(form->TxPosition, 1);
  EXPECT_EQ(Digimode_TxCharCount(), 6);
  EXPECT_EQ(form->TransmitTextColour(0), kRed);
  EXPECT_EQ(form->TransmitTextColour(1), QColor(Qt::black));
  // Nothing moves while the ring stays full.
  form->Timer1Timer();
  EXPECT_EQ(form->TxPosition, 1);
  // A line break goes out as CR LF and counts as one position.
  while (Digimode_GetTxChar() >= 0) {
  }
  SetTxText("a\nb");
  form->TxPosition = 0;
  form->Timer1Timer();
  EXPECT_EQ(form->TxPosition, 3);
  std::string sent;
  for (int c; (c = Digimode_GetTxChar()) >= 0;) sent += char(c);
  EXPECT_EQ(sent, "a\r\nb");
  // Characters outside Latin-1 go out as '?'.
  SetTxText(QString::fromUtf8("€é"));
  form->TxPosition = 0;
  form->Timer1Timer();
  sent.clear();
  for (int c; (c = Digimode_GetTxChar()) >= 0;) sent += char(c);
  EXPECT_EQ(sent, std::string("?\xE9"));
}

// Backspace at the end of fully sent text queues one backspace and moves the position back;
// with unsent text left it queues nothing. The queued backspace goes out at the next tick.
TEST_F(TerminalFormTest, BackspaceAfterSentTextIsTransmitted)
{
  MakeShown();
  Digimode_SwitchRxTx(2);
  SetTxText("abc");
  form->TxPosition = 3;
  Key(form->RichEd_Transmit, Qt::Key_Backspace);
  EXPECT_EQ(form->TransmitText(), "ab");
  EXPECT_EQ(form->PendingBackspaces, 1);
  EXPECT_EQ(form->TxPosition, 2);
  form->Timer1Timer();
  EXPECT_EQ(form->PendingBackspaces, 0);
  EXPECT_EQ(Digimode_GetTxChar(), 8);
  EXPECT_EQ(Digimode_GetTxChar(), -3);

  SetTxText("abc");
  form->TxPosition = 1;
  Key(form->RichEd_Transmit, Qt::Key_Backspace);
  EXPECT_EQ(form->PendingBackspaces, 0);
  EXPECT_EQ(form->TxPosition, 1);
}

// Panel captions and lamp colours for every station state and pending request; two clicks in
// receive with nothing to send switch to transmit at the second; the lamp is yellow from the
// request until the engine has switched.
TEST_F(TerminalFormTest, PanelAndLampFollowTheStation)
{
  MakeShown();
  form->Timer1Timer();
  EXPECT_EQ(form->PanelCaption(), " Off");
  EXPECT_EQ(form->LedColor(), kGrey);

  Press(form->Pnl_RxTxOff);
  form->Timer1Timer();
  EXPECT_EQ(State(), 1);
  EXPECT_EQ(form->PanelCaption(), " RX");
  EXPECT_EQ(form->LedColor(), kLime);

  Press(form->Shp_RxTxLed);  // the lamp acts as the panel
  EXPECT_EQ(g_DigimodeDllParams.TxRequest.load(), 2);
  form->Timer1Timer();
  EXPECT_EQ(State(), 1);  // nothing to send: still receiving
  EXPECT_EQ(form->PanelCaption(), " RX");
  EXPECT_EQ(form->LedColor(), kYellow);
  form->Timer1Timer();
  EXPECT_EQ(form->LedColor(), kYellow);

  Press(form->Pnl_RxTxOff);  // second click forces transmit
  form->Timer1Timer();
  EXPECT_EQ(State(), 2);
  EXPECT_EQ(form->PanelCaption(), " TX");
  EXPECT_EQ(form->LedColor(), kRed);

  Press(form->Pnl_RxTxOff);
  form->Timer1Timer();
  EXPECT_EQ(g_DigimodeDllParams.TxRequest.load(), 1);
  EXPECT_EQ(form->LedColor(), kYellow);

  g_DigimodeDllParams.TxState.store(7);
  form->Timer1Timer();
  EXPECT_EQ(form->PanelCaption(), "7");
  EXPECT_EQ(form->LedColor(), kGrey);
  Press(form->Pnl_RxTxOff);  // an unknown state switches off
  form->Timer1Timer();
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(form->PanelCaption(), " Off");
}

// Text typed while transmit is pending is picked up: the engine's poll asks for the switch
// and the next tick switches to transmit.
TEST_F(TerminalFormTest, PendingTransmitStartsWhenTextArrives)
{
  MakeShown();
  Press(form->Pnl_RxTxOff);
  Press(form->Pnl_RxTxOff);
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(State(), 1);
  SetTxText("cq");
  form->Timer1Timer();  // fed into the ring
  EXPECT_EQ(form->TxPosition, 2);
  form->Timer1Timer();  // the poll raised the request; this tick switches
  EXPECT_EQ(State(), 2);
  form->Timer1Timer();
  EXPECT_EQ(form->LedColor(), kRed);
}

TEST_F(TerminalFormTest, SquelchClicksAndDisplay)
{
  MakeShown();
  const int h = form->Pnl_Squelch->height() - 8;
  ASSERT_GT(h, 10);
  struct Case {
    int y, threshold;
  } cases[] = {
      {4, 100}, {h - 4, 100 - (h - 8) * 100 / h}, {3, 42}, {h - 3, 42}, {4 + h / 2, 100 - (h / 2) * 100 / h},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y);
    DigimodeSettings.squelch_thrsh = 42;
    Press(form->Pnl_Squelch, QPoint(8, c.y));
    EXPECT_EQ(int(DigimodeSettings.squelch_thrsh), c.threshold);
  }
  DigimodeSettings.squelch_thrsh = 25;
  g_DigimodeSquelchLevel.store(60);
  form->Timer1Timer();
  const int t = 40 * h / 100;
  EXPECT_EQ(form->Shp_Squelch->y(), t + 4);
  EXPECT_EQ(form->Shp_Squelch->height(), h - t);
  EXPECT_EQ(form->Shp_SqlThrsh->y(), 75 * h / 100 + 4);
  EXPECT_EQ(form->Pnl_Squelch->toolTip(), "RX squelch: 25%");
  g_DigimodeSquelchLevel.store(250);  // out of range: clamped to the panel
  form->Timer1Timer();
  EXPECT_EQ(form->Shp_Squelch->y(), 4);
  EXPECT_EQ(form->Shp_Squelch->height(), h);
  g_DigimodeSquelchLevel.store(0);
}

TEST_F(TerminalFormTest, FrequencyEditsAndAfc)
{
  MakeShown();
  form->Timer1Timer();  // the first tick rebuilds the mode for the sample rate
  EXPECT_EQ(form->Ed_Fcenter_RX->text(), "1000");
  form->Ed_Fcenter_RX->setText("1500");
  EXPECT_EQ(g_DigimodeRxFreq.load(), 1500.0);
  EXPECT_EQ(double(DigimodeSettings.fc_rx), 1500.0);
  form->Ed_Fcenter_RX->setText("abc");  // keeps the current value
  EXPECT_EQ(g_DigimodeRxFreq.load(), 1500.0);
  form->Ed_Fcenter_TX->setText("1234");
  EXPECT_EQ(double(DigimodeSettings.fc_tx), 1234.0);

  // The AFC moves the receive frequency: the edit follows without writing it back.
  g_DigimodeRxFreq.store(1510.9);
  form->Timer1Timer();
  EXPECT_EQ(form->Ed_Fcenter_RX->text(), "1510");
  EXPECT_EQ(g_DigimodeRxFreq.load(), 1510.9);
  g_DigimodeRxFreq.store(1511.2);  // within half a hertz of the shown value
  form->Timer1Timer();
  EXPECT_EQ(form->Ed_Fcenter_RX->text(), "1510");

  DigimodeSettings.use_afc = false;
  form->hide();
  form->show();
  EXPECT_FALSE(form->Chk_AFC->isChecked());
  EXPECT_FALSE(bool(DigimodeSettings.use_afc));
  form->Chk_AFC->click();
  EXPECT_TRUE(bool(DigimodeSettings.use_afc));
}

TEST_F(TerminalFormTest, SecondInstanceCaptionAndPlacement)
{
  g_InstanceIndex = 1;
  Make();
  EXPECT_EQ(form->windowTitle(), "Digimode Terminal [2]");
  form.reset();
  g_InstanceIndex = 0;

  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                          "[TerminalForm]\r\nLeft=50\r\nTop=60\r\nWidth=600\r\nHeight=400\r\n"
                          "Visible=1\r\nTuWidth=150\r\nRxHeight=90\r\n");
  Make();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->width(), 600);
  EXPECT_EQ(form->Grp_Tuning->width(), 150);
  EXPECT_EQ(form->Grp_Receive->height(), 90);
  EXPECT_EQ(SndConfig.DigimodeActive.load(), 1);
  form->close();
  IniFile ini(dir.file("SETTINGS.INI"));
  EXPECT_EQ(ini.ReadInteger("TerminalForm", "Width", 0), 600);
  EXPECT_EQ(ini.ReadInteger("TerminalForm", "Visible", 0), 1);
  EXPECT_EQ(ini.ReadInteger("TerminalForm", "TuWidth", 0), form->Grp_Tuning->width());
  EXPECT_TRUE(std::filesystem::exists(dir.file("DIGIMODE.INI")));
}

// "Close Terminal" saves DIGIMODE.INI, stops the engine and the hooks; the next show starts
// the engine again with the saved settings.
TEST_F(TerminalFormTest, CloseTerminalStopsTheEngineAndTheNextShowRestartsIt)
{
  MakeShown();
  EXPECT_EQ(SndConfig.DigimodeActive.load(), 1);
  ASSERT_TRUE(g_DigimodeReady.load());
  DigimodeSettings.fc_tx = 1777.0;
  form->findChild<QAction*>("Menu_Close")->trigger();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(g_DigimodeReady.load());
  EXPECT_EQ(SndConfig.DigimodeActive.load(), 0);
  EXPECT_EQ(form->Initialised, 0);
  T_DigimodeSettings saved;
  DigimodeSettings_LoadFromIni(dir.file("DIGIMODE.INI"), saved, nullptr);
  EXPECT_EQ(double(saved.fc_tx), 1777.0);

  form->show();
  EXPECT_TRUE(g_DigimodeReady.load());
  EXPECT_EQ(SndConfig.DigimodeActive.load(), 1);
  EXPECT_EQ(double(DigimodeSettings.fc_tx), 1777.0);  // read back from DIGIMODE.INI
  EXPECT_EQ(form->Initialised, 1);
}

// DIGIMODE.INI is written at every exit whatever the window state (only the placement waits
// for the normal state), and at once when the configuration dialog closes with OK; a window
// that was never shown leaves the file alone.
TEST_F(TerminalFormTest, DigimodeIniIsWrittenAtEveryExitAndOnOk)
{
  auto savedFcTx = [this] {
    T_DigimodeSettings saved;
    DigimodeSettings_LoadFromIni(dir.file("DIGIMODE.INI"), saved, nullptr);
    return double(saved.fc_tx);
  };
  struct Case {
    Qt::WindowState state;
    bool placement;
  } cases[] = {{Qt::WindowNoState, true}, {Qt::WindowMinimized, false}, {Qt::WindowMaximized, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.state));
    std::filesystem::remove(dir.file("DIGIMODE.INI"));
    std::filesystem::remove(dir.file("SETTINGS.INI"));
    MakeShown();
    DigimodeSettings.fc_tx = 1500.0 + int(c.state);
    form->setWindowState(c.state);
    form->close();  // as the main window closes it at exit
    EXPECT_EQ(savedFcTx(), 1500.0 + int(c.state));
    IniFile ini(dir.file("SETTINGS.INI"));
    EXPECT_EQ(ini.ReadInteger("TerminalForm", "Width", -1) != -1, c.placement);
    EXPECT_EQ(ini.ReadInteger("TerminalForm", "Visible", -1), 1);
    form.reset();
    Digimode_Init();
  }

  // Never shown: the settings were not read, so they are not written over the file.
  vt_test::WriteWholeFile(dir.file("DIGIMODE.INI"), "[AUDIO_FREQUENCIES]\r\nfc_tx=1234\r\n");
  Make()->close();
  EXPECT_EQ(savedFcTx(), 1234.0);
  form.reset();

  // OK in the configuration dialog writes the file at once; Cancel does not.
  MakeShown();
  std::filesystem::remove(dir.file("DIGIMODE.INI"));
  int answer = QDialog::Rejected;
  TDialogHooks::DialogExecHook = [&](QDialog*) {
    DigimodeSettings.fc_tx = 777.0;
    return answer;
  };
  form->findChild<QAction*>("Menu_DigimodeConfiguration")->trigger();
  EXPECT_FALSE(std::filesystem::exists(dir.file("DIGIMODE.INI")));
  answer = QDialog::Accepted;
  form->findChild<QAction*>("Menu_DigimodeConfiguration")->trigger();
  EXPECT_EQ(savedFcTx(), 777.0);
}

TEST_F(TerminalFormTest, FileCommandsGoThroughTheFileDialog)
{
  MakeShown();
  QString asked;
  QString answer = QString::fromStdString(dir.file("tx.txt"));
  TDialogHooks::FileDialogHook = [&](bool, const QString& title, const QString&, QString& name) {
    asked = title + "|" + name;
    name = answer;
    return true;
  };
  vt_test::WriteWholeFile(dir.file("tx.txt"), "line 1\r\nGr\xFC\xDF" "e\r\n");  // Latin-1
  form->TxPosition = 2;
  form->findChild<QAction*>("LoadTxText1")->trigger();
  EXPECT_EQ(asked, "Load text into Tx window|test.txt");
  EXPECT_EQ(form->TransmitText(), QString::fromUtf8("line 1\nGrüße\n"));
  EXPECT_EQ(form->TxPosition, 2);  // unchanged
  EXPECT_EQ(form->TxFileName, answer);

  // A file that cannot be read leaves the text as it was.
  answer = QString::fromStdString(dir.file("missing.txt"));
  TDialogHooks::DialogExecHook = [](QDialog*) { return int(QDialog::Accepted); };
  form->findChild<QAction*>("LoadTxText1")->trigger();
  EXPECT_EQ(form->TransmitText(), QString::fromUtf8("line 1\nGrüße\n"));

  for (int c : {int('h'), 0xE9, 13, int('x')}) form->AppendRxChar(c);
  answer = QString::fromStdString(dir.file("rx.txt"));
  form->findChild<QAction*>("SaveRxText1")->trigger();
  EXPECT_EQ(asked, "Save text from Rx window|rcvd.txt");
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("rx.txt")), "h\xC3\xA9\nx\n");
}

// A transmit text picked that is no regular file of sane size (a FIFO, a device, a directory, a
// huge file) is refused at once with a message naming it, and the transmit text stays.
TEST_F(TerminalFormTest, TransmitTextsThatAreNoRegularFileOfSaneSizeAreRefusedAtOnce)
{
  MakeShown();
  SetTxText("kept");
  QString answer;
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& name) {
    name = answer;
    return true;
  };
  QString shown;
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    if (auto* box = qobject_cast<QMessageBox*>(d)) shown = box->text();
    return int(QDialog::Accepted);
  };
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* said;
  } cases[] = {
      {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       " is not a regular file"},
      {"directory", [](const std::string& p) { std::filesystem::create_directory(p); },
       " is not a regular file"},
      {"larger than the limit",
       [](const std::string& p) {
         vt_test::WriteWholeFile(p, "text");
         ASSERT_EQ(::truncate(p.c_str(), kMaxReadFileSize + 1), 0);
       },
       " is larger than 16 MB"},
  };
  bool waited = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file(std::string("odd-") + c.what);
    c.make(path);
    answer = QString::fromStdString(path);
    shown.clear();
    {
      vt_test::FifoWatchdog watchdog(path);
      form->findChild<QAction*>("LoadTxText1")->trigger();
      waited = waited || watchdog.Fired();
    }
    EXPECT_FALSE(waited) << "the reader waited in open()";
    EXPECT_EQ(shown.toStdString(), path + c.said);
    EXPECT_EQ(form->TransmitText(), "kept");
  }
  // A link to /dev/zero: only tried when nothing waited, as a reader that waits on a FIFO
  // would read this without end.
  ASSERT_FALSE(waited);
  const std::string zero = dir.file("zero.txt");
  std::filesystem::create_symlink("/dev/zero", zero);
  answer = QString::fromStdString(zero);
  form->findChild<QAction*>("LoadTxText1")->trigger();
  EXPECT_EQ(shown.toStdString(), zero + " is not a regular file");
  EXPECT_EQ(form->TransmitText(), "kept");
}

// A Hellschreiber font height at the very end of an int in DIGIMODE.INI (once undefined
// behaviour when its sign was dropped) opens the window with the largest font the image takes.
TEST_F(TerminalFormTest, AnExtremeHellFontHeightIsClampedWhenTheWindowOpens)
{
  for (const char* height : {"-2147483648", "2147483647"}) {
    SCOPED_TRACE(height);
    vt_test::WriteWholeFile(dir.file("DIGIMODE.INI"),
                            std::string("[HELL_FONT]\r\nheight=") + height + "\r\ncut_top=-2147483648\r\n");
    MakeShown();
    const QFont& font = form->findChild<THellTxImage*>()->HellQFont();
    EXPECT_EQ(font.pixelSize(), kHellFontMaxPixels);
    EXPECT_EQ(DigimodeSettings.cut_top, -kDigimodeMaxCutTop);
    form.reset();
    Digimode_Exit();
  }
}

TEST_F(TerminalFormTest, HelpScopeMenuAndDialogs)
{
  MakeShown();
  form->findChild<QAction*>("Index1")->trigger();
  form->Pop_TuningScope->findChild<QAction*>("Pop_ScopeHelp")->trigger();
  EXPECT_EQ(help, (std::vector<uint32_t>{1300, 1310}));

  DigimodeSettings.ScopeMode = 2;
  form->Pop_TuningScopePopup();
  EXPECT_TRUE(form->Pop_ScopeUt->isChecked());
  EXPECT_FALSE(form->Pop_ScopePhaseVectors->isChecked());
  form->Pop_ScopePhaseTime->trigger();
  EXPECT_EQ(int(DigimodeSettings.ScopeMode), 4);

  // Debugging info in a message box.
  QString message;
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    if (auto* box = qobject_cast<QMessageBox*>(d)) message = box->text();
    return int(QDialog::Accepted);
  };
  form->findChild<QAction*>("DebugInfo1")->trigger();
  EXPECT_TRUE(message.startsWith("\r\nInternal ADC sample rate: ")) << message.toStdString();
  EXPECT_TRUE(message.contains("PSK decimation scheme : ")) << message.toStdString();

  // Font dialog: the chosen font is measured.
  TDialogHooks::DialogExecHook = [](QDialog* d) {
    auto* fd = qobject_cast<QFontDialog*>(d);
    EXPECT_NE(fd, nullptr);
    if (!fd) return int(QDialog::Rejected);
    QFont f("Courier New");
    f.setPixelSize(16);
    fd->setCurrentFont(f);
    return int(QDialog::Accepted);
  };
  const QString before = form->Lab_TxMsg->text();
  form->findChild<QAction*>("SelectHELLfont")->trigger();
  EXPECT_GE(QFontInfo(form->Img_HellTx->HellQFont()).pixelSize(), 15);
  EXPECT_TRUE(form->Lab_TxMsg->text().startsWith("h="));
  EXPECT_NE(form->Lab_TxMsg->text(), before);

  // Configuration dialog cancelled: the mode is rebuilt and the decoder set to fc_rx.
  DigimodeSettings.fc_rx = 1200.0;
  TDialogHooks::DialogExecHook = [](QDialog*) { return int(QDialog::Rejected); };
  form->findChild<QAction*>("Menu_DigimodeConfiguration")->trigger();
  EXPECT_EQ(g_DigimodeRxFreq.load(), 1200.0);
}

// The transmit image shows only in the Hellschreiber mode, where typed text is drawn into it.
TEST_F(TerminalFormTest, HellModeDrawsTextIntoTheImage)
{
  MakeShown();
  form->Timer1Timer();
  EXPECT_TRUE(form->Img_HellTx->isHidden());
  DigimodeSettings.OperMode = DIGIMODE_OPMODE_HELL;
  Digimode_SetMode(DIGIMODE_OPMODE_HELL);
  form->Timer1Timer();
  EXPECT_FALSE(form->Img_HellTx->isHidden());
  Digimode_SwitchRxTx(2);
  SetTxText("HI");
  form->Timer1Timer();
  EXPECT_EQ(form->TxPosition, 2);
  EXPECT_EQ(Digimode_TxCharCount(), 0);  // nothing into the character ring
  EXPECT_NE(g_HellColumnRing.Head.load(), g_HellColumnRing.Tail.load());
}

}  // namespace

namespace {

// F2 un-marks the sent text and clears the transmit image, keeping text and position; F3
// moves the transmit position to the cursor.
TEST_F(TerminalFormTest, ClearBufferAndSetPositionToCursor)
{
  MakeShown();
  Digimode_SwitchRxTx(2);
  SetTxText("abcdefgh");
  form->Timer1Timer();
  ASSERT_EQ(form->TxPosition, 6);  // two at a time until the ring reports full
  ASSERT_EQ(form->TransmitTextColour(0), kRed);
  form->Img_HellTx->SetWritePosition(40);
  form->findChild<QAction*>("ClearTxBuffer")->trigger();
  EXPECT_EQ(form->TransmitText(), "abcdefgh");
  EXPECT_EQ(form->TxPosition, 6);
  EXPECT_EQ(form->Img_HellTx->WritePosition(), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(form->TransmitTextColour(i), QColor(Qt::black)) << i;

  QTextCursor c = form->RichEd_Transmit->textCursor();
  c.setPosition(2);
  form->RichEd_Transmit->setTextCursor(c);
  form->findChild<QAction*>("SetTxPosToCursor")->trigger();
  EXPECT_EQ(form->TxPosition, 2);
  EXPECT_EQ(form->ClearTxBuffer->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(form->SetTxPosToCursor->shortcut(), QKeySequence(Qt::Key_F3));
}

// The plug-in report in the receive window, with and without a plug-in.
TEST_F(TerminalFormTest, DllStatusLines)
{
  MakeShown();
  form->ShowDigimodeDLLStatus();
  EXPECT_EQ(form->ReceivedText(), ">------- Digimode DLL Info --------\n> No digimode DLL loaded.\n");
#ifdef VT_EXAMPLE_PLUGIN_PATH
  form->RichEd_Receive->clear();
  form->AppendRxChar('x');  // the report starts on a line of its own
  ASSERT_TRUE(Digimode_LoadModeDll(VT_EXAMPLE_PLUGIN_PATH));
  form->ShowDigimodeDLLStatus();
  const QStringList lines = form->ReceivedText().split('\n');
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines[0], "x");
  EXPECT_EQ(lines[1], ">------- Digimode DLL Info --------");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(lines[2 + i], "> " + QString::fromStdString(Digimode_GetDllParamString(i)));
  Digimode_LoadModeDll(nullptr);
#endif
}

}  // namespace
