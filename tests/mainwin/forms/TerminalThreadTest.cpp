// The digimode terminal with the real audio thread on the loop-back device and the keying line
// on a pseudo-terminal: one click from transmit to receive lets the queued text and the
// postamble go out, then the keyer drops and the panel reads RX.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/PskTables.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/DebugU1.h"
#include "engine/PortIO.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "platform/SerialLines.h"
#include "platform/WaveAudio.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// The keying line (RTS) as the modem-control ioctls leave it, with the time of each change.
struct KeyLine {
  static inline std::atomic<bool> keyed{false};
  static inline std::atomic<int64_t> changedNs{0};
  static inline std::atomic<int> raised{0};  // TIOCMBIS calls on the line
  static int Ioctl(int fd, unsigned long request, void* arg)
  {
    if (request == TIOCMBIS || request == TIOCMBIC) {
      if (*static_cast<int*>(arg) & TIOCM_RTS) {
        keyed.store(request == TIOCMBIS);
        if (request == TIOCMBIS) raised.fetch_add(1);
        changedNs.store(Clock::now().time_since_epoch().count());
      }
      return 0;
    }
    return ::ioctl(fd, request, arg);
  }
};

double Seconds(int64_t ticks)
{
  return std::chrono::duration<double>(Clock::duration(ticks)).count();
}

// Symbols of one character: its Varicode bits and the two separating zeros.
int VaricodeSymbols(unsigned char c)
{
  int bits = 0;
  for (uint16_t v = VaricodeTable[c]; v != 0; v = static_cast<uint16_t>(v << 1)) ++bits;
  return bits + 2;
}

struct TerminalThreadTest : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(m_master, 0);
    ASSERT_EQ(::grantpt(m_master), 0);
    ASSERT_EQ(::unlockpt(m_master), 0);
    setenv("VARTUMO_COM2", ::ptsname(m_master), 1);
    KeyLine::keyed.store(false);
    KeyLine::raised.store(0);
    SerialLines_SetIoctlHook(KeyLine::Ioctl);
    const int in = waveInGetNumDevs() - 1, out = waveOutGetNumDevs() - 1;
    vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                            "[PTT_CONTROL]\nPttPortNumber=2\nPttLineNr=2\n"
                            "[SOUNDCARD]\nAudioInputDevID=" + std::to_string(in) +
                                "\nAudioOutputDevID=" + std::to_string(out) +
                                "\nSampleRate=11025\nSampleRateDivisor=1\n"
                                "[SOUND_THREAD]\nStartSoundThread=1\nStartSoundInput=1\n"
                                "StartSoundOutput=0\nStartSignalGenerator=0\nStartDigitalFilter=0\n");
    vt_test::WriteWholeFile(dir.file("DIGIMODE.INI"),
                            "[MODES]\nOperMode=1\nModulation=8\nCodesetNr=5\n"
                            "[AUDIO_FREQUENCIES]\nfc_rx=1000\nfc_tx=1000\n"
                            "[MODULATION]\nsymbol_rate=31.25\npulse_shaping=1\n"
                            "shape_percent=100\noutput_level=50\n");
    InstallQtSyncBridge();
    InstallSoundEngineLink();
    TerminalForm = new TTerminalForm;
    Make();
    ASSERT_TRUE(waveIsLoopbackDevice(false, out));
    form->show();
    ASSERT_NE(g_pSoundThread, nullptr);
    SoundThreadLink().ResumeThread();
  }
  void TearDown() override
  {
    form->close();
    delete TerminalForm;
    TerminalForm = nullptr;
    Digimode_Exit();
    SndConfig.DigimodeActive = 0;
    MainWindowTest::TearDown();
    RemoveQtSyncBridge();
    ComPort_CloseIfOpen();
    SerialLines_SetIoctlHook(nullptr);
    unsetenv("VARTUMO_COM2");
    if (m_master >= 0) ::close(m_master);
  }
  // Runs the event loop (the terminal's own timer included) until the condition holds.
  static bool Until(const std::function<bool()>& pred, double seconds)
  {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      QApplication::processEvents();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  static void Click(QWidget* w)
  {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)),
                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  // Receive, then transmit with the text, until the audio thread delivers transmit blocks
  // and the panel reads TX.
  void StartTransmitting(const QString& text)
  {
    form->Menu_DigimodeTerminalClick();
    ASSERT_TRUE(TerminalForm->isVisible());
    TerminalForm->RichEd_Transmit->setPlainText(text);
    auto* panel = TerminalForm->Pnl_RxTxOff;
    Click(panel);  // off -> receive
    ASSERT_TRUE(Until([&] { return TerminalForm->PanelCaption() == " RX"; }, 2.0));
    Click(panel);  // transmit as soon as there is something to send
    ASSERT_TRUE(Until([] { return KeyLine::keyed.load(); }, 2.0));
    ASSERT_TRUE(Until([] { return SoundThreadLink().Stats().blockStats[SNDTHD_FLAG_DIGI_TX] == 1; },
                      2.0));
    ASSERT_TRUE(Until([&] { return TerminalForm->PanelCaption() == " TX"; }, 1.0));
    ASSERT_EQ(g_DigimodeDllParams.TxState.load(), 2);
  }
  // The station receives with the keyer off, and stays so for a few timer ticks although text
  // is left to send. The panel follows on a terminal timer tick, which a loaded machine can
  // delay by several hundred milliseconds.
  static void ExpectReceivingUnkeyed()
  {
    EXPECT_TRUE(Until([] { return TerminalForm->PanelCaption() == " RX"; }, 5.0))
        << TerminalForm->PanelCaption().toStdString();
    EXPECT_EQ(TerminalForm->LedColor(), QColor(0, 255, 0));
    EXPECT_EQ(g_DigimodeDllParams.TxState.load(), 1);
    EXPECT_FALSE(Until([] { return KeyLine::keyed.load() || g_DigimodeDllParams.TxState != 1; },
                       1.0))
        << "keyed again by itself";
  }
  static constexpr const char* kLongText = "cq cq cq de vt vt vt pse k";
  int m_master = -1;
};

TEST_F(TerminalThreadTest, OneClickSendsTheRestAndThePostambleThenDropsTheKeyer)
{
  form->Menu_DigimodeTerminalClick();
  ASSERT_TRUE(TerminalForm->isVisible());
  ASSERT_EQ(DigimodeSettings.Modulation, 8);
  const QString text = "cq de vt k";
  TerminalForm->RichEd_Transmit->setPlainText(text);
  auto* panel = TerminalForm->Pnl_RxTxOff;
  auto state = [] { return g_DigimodeDllParams.TxState.load(); };

  Click(panel);  // off -> receive
  ASSERT_TRUE(Until([&] { return state() == 1 && TerminalForm->PanelCaption() == " RX"; }, 2.0));
  Click(panel);  // transmit as soon as there is something to send
  ASSERT_TRUE(Until([&] { return KeyLine::keyed.load(); }, 2.0));
  const double keyedAt = Seconds(KeyLine::changedNs.load());
  // The sound card starts with the first transmit block the audio thread delivers.
  ASSERT_TRUE(Until([] { return SoundThreadLink().Stats().blockStats[SNDTHD_FLAG_DIGI_TX] == 1; },
                    2.0));
  const double audioFrom = Seconds(Clock::now().time_since_epoch().count());
  ASSERT_TRUE(Until([&] { return TerminalForm->PanelCaption() == " TX"; }, 1.0));

  // The whole text handed over to the engine's transmit ring, then one click.
  ASSERT_TRUE(Until([&] { return TerminalForm->TxPosition == text.size(); }, 20.0));
  EXPECT_EQ(g_DigimodeTxUnderrun.load(), 0) << "the text went out without a gap";
  Click(panel);
  ASSERT_TRUE(Until([&] { return !KeyLine::keyed.load(); }, 10.0))
      << "still keyed: " << TerminalForm->PanelCaption().toStdString();
  const double droppedAt = Seconds(KeyLine::changedNs.load());

  // On the card: one symbol with the carrier off, the preamble, then the text without a gap,
  // 32 ms a symbol; the postamble follows the last character.
  int symbols = 1 + 32;
  for (QChar ch : text) symbols += VaricodeSymbols(static_cast<unsigned char>(ch.toLatin1()));
  const double lastCharEnd = audioFrom + symbols / 31.25;
  EXPECT_LT(keyedAt, audioFrom);
  EXPECT_GT(droppedAt, lastCharEnd + 32 / 31.25) << "the postamble went out";
  EXPECT_LT(droppedAt - lastCharEnd, 2.0) << "keyer dropped " << droppedAt - lastCharEnd
                                          << " s after the last character";
  EXPECT_TRUE(Until([&] { return TerminalForm->PanelCaption() == " RX"; }, 0.5));
  EXPECT_EQ(state(), 1);
  EXPECT_EQ(TerminalForm->LedColor(), QColor(0, 255, 0));
  EXPECT_EQ(Digimode_TxCharCount(), 0);
}

// Analysis > "Stop Sound Thread" in the middle of a transmission: no more block will be
// played, so the keyer drops before the menu command returns and the panel shows receive.
TEST_F(TerminalThreadTest, StoppingTheSoundThreadWhileTransmittingDropsTheKeyerAtOnce)
{
  ASSERT_NO_FATAL_FAILURE(StartTransmitting(kLongText));
  QAction* stop = form->findChild<QAction*>("Stop1");
  ASSERT_NE(stop, nullptr);
  stop->trigger();
  ASSERT_EQ(g_pSoundThread, nullptr);
  EXPECT_FALSE(KeyLine::keyed.load()) << "still keyed with the sound thread stopped";
  ExpectReceivingUnkeyed();
}

// Analysis > "Stop Sound Output" in the middle of a transmission: the thread runs on, but the
// output closes at its next pass and the keyer drops with it.
TEST_F(TerminalThreadTest, ClosingTheSoundOutputWhileTransmittingDropsTheKeyer)
{
  ASSERT_NO_FATAL_FAILURE(StartTransmitting(kLongText));
  QAction* stop = form->findChild<QAction*>("StopSoundOutput1");
  ASSERT_NE(stop, nullptr);
  stop->trigger();
  EXPECT_TRUE(Until([] { return !KeyLine::keyed.load(); }, 2.0))
      << "still keyed with the output closed";
  EXPECT_NE(g_pSoundThread, nullptr);
  ExpectReceivingUnkeyed();
}

// One click in transmit lets the queued text and the postamble go out; a second click while
// that runs switches to receive at once.
TEST_F(TerminalThreadTest, SecondClickWhileTheSwitchWaitsSwitchesAtOnce)
{
  ASSERT_NO_FATAL_FAILURE(StartTransmitting(kLongText));
  auto* panel = TerminalForm->Pnl_RxTxOff;
  Click(panel);
  EXPECT_TRUE(KeyLine::keyed.load()) << "the first click lets the transmission end";
  EXPECT_TRUE(Until([] { return TerminalForm->LedColor() == QColor(255, 255, 0); }, 0.5));
  EXPECT_EQ(TerminalForm->PanelCaption(), " TX");
  Click(panel);
  EXPECT_FALSE(KeyLine::keyed.load()) << "the second click drops the keyer";
  ExpectReceivingUnkeyed();
  EXPECT_TRUE(Until([] { return SoundThreadLink().Stats().blockStats[SNDTHD_FLAG_DIGI_TX] == 0; },
                    2.0))
      << "transmit blocks still made";
}

// Analysis > "Stop Sound Thread", then the clicks that want transmit with text to send: no
// sound output would carry the signal, so the keyer stays off, each click says why on the status
// line and the Errors page, and the station stays in receive. (The keyer used to go on within
// a tick, and the click back to receive then waited for blocks no thread would ever make.)
TEST_F(TerminalThreadTest, WithTheSoundThreadStoppedNoClickKeysAndEachSaysWhy)
{
  std::vector<std::string> logged;
  SetDebugSink([&](const std::string& line) { logged.push_back(line); });
  auto* status = form->findChild<QPushButton*>("ProgressButton");
  ASSERT_NE(status, nullptr);
  form->findChild<QAction*>("Stop1")->trigger();
  ASSERT_EQ(g_pSoundThread, nullptr);
  ASSERT_TRUE(Until([&] { return status->text() == "Stopped"; }, 5.0))
      << status->text().toStdString();

  form->Menu_DigimodeTerminalClick();
  ASSERT_TRUE(TerminalForm->isVisible());
  TerminalForm->RichEd_Transmit->setPlainText("cq de vt k");
  auto* panel = TerminalForm->Pnl_RxTxOff;
  Click(panel);  // off -> receive
  ASSERT_TRUE(Until([&] { return TerminalForm->PanelCaption() == " RX"; }, 2.0));
  auto refusals = [&] {
    int n = 0;
    for (const std::string& line : logged)
      n += line.find("no transmit, the sound thread is stopped") != std::string::npos;
    return n;
  };
  // One click (transmit when there is something to send), then two at once (the second one
  // forces transmit): each is refused and says so.
  for (int clicks : {1, 2}) {
    SCOPED_TRACE(clicks);
    const int before = refusals();
    status->setText("Stopped");
    for (int i = 0; i < clicks; ++i) Click(panel);
    EXPECT_EQ(refusals(), before + clicks);
    EXPECT_EQ(status->text().toStdString(), "No transmit: sound thread stopped");
    EXPECT_EQ(g_DigimodeDllParams.TxRequest.load(), 0) << "no transmit left pending";
    ExpectReceivingUnkeyed();
    EXPECT_EQ(refusals(), before + clicks) << "said once a click, not every tick";
  }
  EXPECT_FALSE(KeyLine::keyed.load());
  EXPECT_EQ(KeyLine::raised.load(), 0) << "the keying line was raised at some time";
  SetDebugSink(nullptr);
}

}  // namespace
