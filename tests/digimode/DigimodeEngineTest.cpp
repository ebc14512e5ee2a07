// Digimode engine: rings, hooks, receive/transmit switching with a fake keying line, the FSK
// scope path and the "digimode" interpreter word.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "digimode/CPSKMod.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/MachineConfig.h"
#include "engine/PortIO.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdHooks.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "platform/SerialLines.h"

namespace {

// The serial keying line: a pseudo-terminal whose modem lines a fake ioctl keeps.
struct FakeRts {
  static inline int state = 0;
  static int Ioctl(int fd, unsigned long request, void* arg)
  {
    if (request == TIOCMBIS) state |= *static_cast<int*>(arg);
    else if (request == TIOCMBIC) state &= ~*static_cast<int*>(arg);
    else if (request != TIOCSBRK && request != TIOCCBRK) return ::ioctl(fd, request, arg);
    return 0;
  }
  static bool Keyed() { return (state & TIOCM_RTS) != 0; }
};

class DigimodeEngineTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetDefaultSettings();
    SndConfig.SampleRate = 11025;
    SndConfig.SampleRateDivisor = 1;
    SetSoundInOutWanted(true, false);
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(m_master, 0);
    ASSERT_EQ(::grantpt(m_master), 0);
    ASSERT_EQ(::unlockpt(m_master), 0);
    setenv("VARTUMO_COM3", ::ptsname(m_master), 1);
    SerialLines_SetIoctlHook(FakeRts::Ioctl);
    MachineConfig.PttPortNumber = 3;
    MachineConfig.PttLineNr = 2;  // RTS
    ASSERT_TRUE(ComPort_Open());
    FakeRts::state = 0;
    CLI_Init();
    Digimode_Init();
    DigimodeSettings.symbol_rate = 31.25;
    DigimodeSettings.fc_tx = 1000.0;
    Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  }
  void TearDown() override
  {
    Digimode_SetSoundOutputCheck(nullptr);
    Digimode_SetStatusHook(nullptr);
    Digimode_Exit();
    ComPort_CloseIfOpen();
    SerialLines_SetIoctlHook(nullptr);
    unsetenv("VARTUMO_COM3");
    ::close(m_master);
  }
  int m_master = -1;
};

}  // namespace

TEST_F(DigimodeEngineTest, RingCapacitiesAndEmptyValues)
{
  EXPECT_EQ(g_DigimodeTxChars.StructSize, 44);
  EXPECT_EQ(Digimode_GetTxChar(), -3);
  EXPECT_EQ(Digimode_GetRxChar(), 0);
  for (int i = 0; i < 5; ++i) Digimode_PutTxChar(0xC0 + i);
  EXPECT_FALSE(Digimode_IsTxBufferFull());
  Digimode_PutTxChar(0xC5);
  EXPECT_TRUE(Digimode_IsTxBufferFull());
  Digimode_PutTxChar(0xC6);
  Digimode_PutTxChar(0xC7);  // no room: dropped
  EXPECT_EQ(Digimode_TxCharCount(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Digimode_GetTxChar(), 0xC0 + i);  // bytes, not signed
  EXPECT_EQ(Digimode_GetTxChar(), -3);

  // A full receive ring drops the new character and keeps the seven unread ones.
  for (int c = 'a'; c <= 'h'; ++c) Digimode_PutRxChar(c);
  for (int c = 'a'; c <= 'g'; ++c) EXPECT_EQ(Digimode_GetRxChar(), c);
  EXPECT_EQ(Digimode_GetRxChar(), 0);

  HellColumn col{};
  col.PixelCount = 14;
  col.Pixel[3] = 0.5;
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(Digimode_PutHellColumn(&col)) << i;
  EXPECT_FALSE(Digimode_PutHellColumn(&col));  // the tenth is refused
  EXPECT_FALSE(Digimode_PutHellColumn(nullptr));
  HellColumn out{};
  EXPECT_TRUE(Digimode_GetHellColumn(&out));
  EXPECT_EQ(out.PixelCount, 14);
  EXPECT_EQ(out.Pixel[3], 0.5);

  // Operating mode 3 leaves the transmit ring alone; exit empties every answer.
  DigimodeSettings.OperMode = DIGIMODE_OPMODE_HELL;
  Digimode_PutTxChar('x');
  EXPECT_EQ(Digimode_TxCharCount(), 0);
  DigimodeSettings.OperMode = DIGIMODE_OPMODE_CHARS;
  Digimode_PutTxChar('x');
  Digimode_PutRxChar('y');
  Digimode_Exit();
  EXPECT_EQ(Digimode_GetTxChar(), -3);
  EXPECT_EQ(Digimode_GetRxChar(), 0);
  EXPECT_FALSE(Digimode_GetHellColumn(&out));
  EXPECT_FALSE(Digimode_IsTxBufferFull());
  Digimode_SetMode(1);  // nothing while not ready
  EXPECT_EQ(g_pPSKMod, nullptr);
  Digimode_Init();
  EXPECT_EQ(Digimode_GetTxChar(), -3);  // restarted empty
}

TEST_F(DigimodeEngineTest, HooksRefuseBadBlockLengthsAndIdleStates)
{
  std::vector<double> y(4097, 7.0);
  Digimode_SwitchRxTx(2);
  for (int n : {0, -1, 4097}) {
    EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), n, 0.0)) << n;
    Digimode_ProcessRxAudio(y.data(), n, 0.0);
  }
  EXPECT_EQ(y[0], 7.0);
  EXPECT_TRUE(Digimode_GenerateTxAudio(y.data(), 4096, 0.0));
  EXPECT_EQ(y[4096], 7.0);
  // Modes without a built-in coder write nothing and say so.
  DigimodeSettings.Modulation = DIGIMODE_MOD_FSK;
  EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), 100, 0.0));
  DigimodeSettings.Modulation = DIGIMODE_MOD_BPSK;
  Digimode_SwitchRxTx(0);
  Digimode_SwitchRxTx(1);
  EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), 100, 0.0));  // receive: transmit gate shut
  Digimode_SwitchRxTx(2);
  g_DigimodeLock.Lock();  // a rebuild in progress: the hook skips its block
  EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), 100, 0.0));
  g_DigimodeLock.Unlock();
  EXPECT_TRUE(Digimode_GenerateTxAudio(y.data(), 100, 0.0));
}

// The engine reaches the digimode layer only through what Digimode_Init hands it: the audio
// thread's entries, gated by the receive and transmit switches, and preset 6's receive
// frequency.
TEST_F(DigimodeEngineTest, InitInstallsTheAudioThreadHooksAndThePresetReader)
{
  SoundThd_SetDigimodeHooks(nullptr);
  SetQuickSettingsRxFreqFunc(nullptr);
  Digimode_Init();
  const TSoundThdDigimodeHooks* hooks = SoundThd_GetDigimodeHooks();
  ASSERT_NE(hooks, nullptr);
  EXPECT_EQ(hooks->ProcessRxAudio, &Digimode_ProcessRxAudio);
  EXPECT_EQ(hooks->GenerateTxAudio, &Digimode_GenerateTxAudio);
  EXPECT_EQ(hooks->ProcessTimeSignal, &Dcf77Dec_ProcessSamples);
  for (int mode : {1, 2, 0}) {
    SCOPED_TRACE(mode);
    Digimode_SwitchRxTx(mode);
    EXPECT_EQ(hooks->RxEnabled(), mode == 1);
    EXPECT_EQ(hooks->TxEnabled(), mode == 2);
  }
  SndConfig.DigimodeActive = 1;
  SndConfig.FreqOffset = 0.0;
  DigimodeSettings.fc_rx = 1500.0;
  LoadQuickSettings(6);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 1480.0);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 1520.0);
}

TEST_F(DigimodeEngineTest, SwitchingKeysFromTransmitToTheLastPostambleSample)
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  ASSERT_NE(g_pPSKMod, nullptr);
  Digimode_SwitchRxTx(1);
  EXPECT_FALSE(FakeRts::Keyed());
  EXPECT_TRUE(g_DigimodeRxEnabled.load());
  EXPECT_EQ(p.TxState.load(), 1);

  // The terminal wants to transmit; the poll asks for the switch once there is text.
  p.TxRequest = 2;
  Digimode_PollDll();
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
  for (char c : std::string("cq de")) Digimode_PutTxChar(c);
  Digimode_PollDll();
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
  Digimode_SwitchRxTx(2);
  EXPECT_TRUE(FakeRts::Keyed());
  EXPECT_FALSE(g_DigimodeRxEnabled.load());
  EXPECT_TRUE(g_DigimodeTxEnabled.load());
  EXPECT_EQ(p.TxState.load(), 2);
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);

  // A forced switch to receive right away: text, postamble and ramp still go out, keyed.
  Digimode_SwitchRxTx(1);
  EXPECT_TRUE(FakeRts::Keyed());
  EXPECT_TRUE(Digimode_IsTxBufferFull());
  EXPECT_EQ(p.TxState.load(), 2);
  std::vector<double> y(1024);
  int lastSound = -1, switchedAt = -1;
  long soundSamples = 0;
  for (int block = 0; block < 400 && switchedAt < 0; ++block) {
    if (Digimode_GenerateTxAudio(y.data(), 1024, 0.0)) {
      for (double v : y)
        if (v != 0.0) {
          lastSound = block;
          ++soundSamples;
        }
    }
    ASSERT_TRUE(FakeRts::Keyed()) << block;
    ASSERT_FALSE(g_DigimodeRxEnabled.load()) << block;
    Digimode_PollDll();
    if (!FakeRts::Keyed()) switchedAt = block;
  }
  ASSERT_GE(switchedAt, 0);
  EXPECT_GT(switchedAt, lastSound);
  EXPECT_EQ(Digimode_TxCharCount(), 0);
  // Preamble, five characters and the postamble: well over 64 symbols of 353 samples.
  EXPECT_GT(soundSamples, 100L * 353);
  EXPECT_TRUE(g_DigimodeRxEnabled.load());
  EXPECT_FALSE(g_DigimodeTxEnabled.load());
  EXPECT_EQ(p.TxState.load(), 1);
  EXPECT_FALSE(Digimode_IsTxBufferFull());

  // Off is immediate, even in the middle of a transmission.
  Digimode_PutTxChar('x');
  Digimode_SwitchRxTx(2);
  EXPECT_TRUE(Digimode_GenerateTxAudio(y.data(), 1024, 0.0));
  Digimode_SwitchRxTx(0);
  EXPECT_FALSE(FakeRts::Keyed());
  EXPECT_FALSE(g_DigimodeRxEnabled.load());
  EXPECT_FALSE(g_DigimodeTxEnabled.load());
  EXPECT_EQ(p.TxState.load(), 0);
  EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), 1024, 0.0));

  // Switching to receive cancels a pending transmit request; exit unkeys a transmitter.
  p.TxRequest = 2;
  Digimode_SwitchRxTx(1);
  EXPECT_EQ(p.TxRequest.load(), 0);
  Digimode_SwitchRxTx(2);
  EXPECT_TRUE(FakeRts::Keyed());
  Digimode_Exit();
  EXPECT_FALSE(FakeRts::Keyed());
  EXPECT_EQ(g_pPSKMod, nullptr);
}

// Without the audio thread's blocks a transmission never reaches its end: when the output
// stops, or when receive is asked for a second time while the first request waits, the keyer
// drops at once, the station receives and nothing switches back to transmit by itself.
TEST_F(DigimodeEngineTest, StoppedOutputOrSecondReceiveRequestDropsTheKeyerAtOnce)
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  const TSoundThdDigimodeHooks* hooks = SoundThd_GetDigimodeHooks();
  ASSERT_NE(hooks, nullptr);
  ASSERT_NE(hooks->OutputStopped, nullptr);
  struct Case {
    const char* what;
    std::function<void()> act;
    int txRequestAfter;
  } const cases[] = {
      {"output stopped", [&] { hooks->OutputStopped(); }, 0},
      {"output stopped while receive waits",
       [&] {
         Digimode_SwitchRxTx(1);
         hooks->OutputStopped();
       },
       0},
      {"second receive request", [] { Digimode_SwitchRxTx(1); Digimode_SwitchRxTx(1); }, 1},
  };
  std::vector<double> y(1024);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Digimode_SwitchRxTx(1);
    p.TxRequest = 2;
    for (char ch : std::string("cq cq de vt vt")) Digimode_PutTxChar(ch);
    Digimode_PollDll();
    ASSERT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
    Digimode_SwitchRxTx(2);
    for (int block = 0; block < 4; ++block)
      ASSERT_TRUE(Digimode_GenerateTxAudio(y.data(), 1024, 0.0));
    ASSERT_TRUE(FakeRts::Keyed());
    ASSERT_GT(Digimode_TxCharCount(), 0) << "still in the middle of the text";

    c.act();
    EXPECT_FALSE(FakeRts::Keyed());
    EXPECT_EQ(p.TxState.load(), 1);
    EXPECT_TRUE(g_DigimodeRxEnabled.load());
    EXPECT_FALSE(g_DigimodeTxEnabled.load());
    EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), 1024, 0.0));
    EXPECT_FALSE(Digimode_IsRxSwitchPending());
    EXPECT_EQ(p.TxRequest.load(), c.txRequestAfter);
    EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
    // The rest of the text stays queued, but no poll keys the transmitter again.
    for (int tick = 0; tick < 3; ++tick) Digimode_PollDll();
    EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
    EXPECT_FALSE(FakeRts::Keyed());
    while (Digimode_GetTxChar() > 0) {
    }
  }

  // In receive and off a stopped output changes nothing, a pending transmit wish included.
  Digimode_SwitchRxTx(1);
  p.TxRequest = 2;
  hooks->OutputStopped();
  EXPECT_EQ(p.TxState.load(), 1);
  EXPECT_EQ(p.TxRequest.load(), 2);
  EXPECT_TRUE(g_DigimodeRxEnabled.load());
  Digimode_SwitchRxTx(0);
  hooks->OutputStopped();
  EXPECT_EQ(p.TxState.load(), 0);
  EXPECT_FALSE(g_DigimodeRxEnabled.load());
}

// No sound output to carry a transmission: the switch to transmit that the poll asks for is
// refused with the keyer untouched, says why once, and leaves the station receiving with no
// transmit pending. A switch to receive that waits for the end of a transmission completes at
// the next poll once the output is gone, as no tail block will be counted.
TEST_F(DigimodeEngineTest, NoKeyingWithoutASoundOutputAndNoWaitForItsBlocks)
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  bool outputRuns = false;
  Digimode_SetSoundOutputCheck([&] { return outputRuns; });
  std::vector<std::string> status;
  Digimode_SetStatusHook([&](const std::string& text) { status.push_back(text); });
  std::vector<double> y(1024);

  Digimode_SwitchRxTx(1);
  p.TxRequest = 2;
  for (char ch : std::string("cq cq de vt vt")) Digimode_PutTxChar(ch);
  Digimode_PollDll();
  ASSERT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
  EXPECT_FALSE(Digimode_SwitchRxTx(2));
  EXPECT_FALSE(FakeRts::Keyed());
  EXPECT_EQ(p.TxState.load(), 1);
  EXPECT_EQ(p.TxRequest.load(), 0);
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
  EXPECT_TRUE(g_DigimodeRxEnabled.load());
  EXPECT_FALSE(g_DigimodeTxEnabled.load());
  EXPECT_FALSE(Digimode_GenerateTxAudio(y.data(), 1024, 0.0));
  ASSERT_EQ(status.size(), 1u);
  EXPECT_NE(status[0].find("sound thread stopped"), std::string::npos) << status[0];
  for (int tick = 0; tick < 3; ++tick) Digimode_PollDll();
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0) << "asked again by itself";
  EXPECT_EQ(status.size(), 1u);
  // A forced switch (the terminal's second click) is refused the same way.
  EXPECT_FALSE(Digimode_SwitchRxTx(2));
  EXPECT_FALSE(FakeRts::Keyed());
  EXPECT_EQ(status.size(), 2u);

  // Nothing to refuse while the output runs.
  outputRuns = true;
  EXPECT_FALSE(Digimode_RefuseTransmitWithoutOutput());
  p.TxRequest = 2;
  Digimode_PollDll();
  EXPECT_TRUE(Digimode_SwitchRxTx(2));
  EXPECT_TRUE(FakeRts::Keyed());
  for (int block = 0; block < 4; ++block)
    ASSERT_TRUE(Digimode_GenerateTxAudio(y.data(), 1024, 0.0));
  Digimode_SwitchRxTx(1);
  ASSERT_TRUE(Digimode_IsRxSwitchPending()) << "the rest of the text goes out first";
  Digimode_PollDll();
  ASSERT_TRUE(FakeRts::Keyed());
  outputRuns = false;
  Digimode_PollDll();
  EXPECT_FALSE(FakeRts::Keyed());
  EXPECT_FALSE(Digimode_IsRxSwitchPending());
  EXPECT_EQ(p.TxState.load(), 1);
  EXPECT_EQ(status.size(), 2u);
}

TEST_F(DigimodeEngineTest, FskFiltersFeedTheScope)
{
  DigimodeSettings.Modulation = DIGIMODE_MOD_FSK;
  DigimodeSettings.fc_rx = 1000.0;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_EQ(g_pPSKMod, nullptr);
  std::vector<double> x(4096);
  for (size_t i = 0; i < x.size(); ++i) x[i] = 10000.0 * std::sin(2 * 3.14159265 * 600.0 * i / 11025.0);

  // Scope mode 3: the count runs up to 512 without entries.
  DigimodeSettings.ScopeMode = 3;
  Digimode_InitFskFilters(true);
  Digimode_SwitchRxTx(1);
  Digimode_ProcessRxAudio(x.data(), 300, 0.0);
  EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 300);
  Digimode_ProcessRxAudio(x.data(), 4096, 0.0);
  EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 512);
  EXPECT_EQ(g_TuningScopeBuffer.Entry[100][0], 0.0);
  EXPECT_EQ(g_TuningScopeBuffer.SampleRate.load(), 11025.0);

  // Scope mode 1: (B, A) pairs; a 600 Hz tone lies in the low-pass A, not in the high-pass B.
  g_TuningScopeBuffer.FillCount = 0;
  g_TuningScopeBuffer.Kind = 1;
  DigimodeSettings.ScopeMode = 1;
  Digimode_ProcessRxAudio(x.data(), 4096, 0.0);
  Digimode_ProcessRxAudio(x.data(), 4096, 0.0);
  EXPECT_EQ(g_TuningScopeBuffer.Kind.load(), 4);
  EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 512);
  double peakA = 0.0, peakB = 0.0;
  for (int i = 256; i < 512; ++i) {
    peakB = std::max(peakB, std::fabs(g_TuningScopeBuffer.Entry[i][0]));
    peakA = std::max(peakA, std::fabs(g_TuningScopeBuffer.Entry[i][1]));
  }
  EXPECT_GT(peakA, 5000.0);
  EXPECT_LT(peakB, 0.1 * peakA);
  // While the drawing holds the buffer (kind 2) nothing is added.
  g_TuningScopeBuffer.FillCount = 0;
  g_TuningScopeBuffer.Kind = 2;
  Digimode_ProcessRxAudio(x.data(), 100, 0.0);
  EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 0);

  // A receive frequency the designer refuses leaves the FSK path off.
  g_TuningScopeBuffer.Kind = 1;
  Digimode_SetDecoderFreq(9000.0);
  Digimode_InitFskFilters(true);
  EXPECT_FALSE(g_FskFiltersValid.load());
  Digimode_ProcessRxAudio(x.data(), 100, 0.0);
  EXPECT_EQ(g_TuningScopeBuffer.FillCount.load(), 0);
}

TEST_F(DigimodeEngineTest, ModeRebuildAndParameterBlock)
{
  DigimodeSettings.Modulation = DIGIMODE_MOD_QPSK;
  DigimodeSettings.fc_rx = 1500.0;
  DigimodeSettings.use_afc = false;
  DigimodeSettings.narrow_afc = true;
  DigimodeSettings.rev_keying = true;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_NE(g_pPSKMod, nullptr);
  EXPECT_NE(g_pDec2FIR, nullptr);
  const DigimodeDllParams& p = g_DigimodeDllParams;
  EXPECT_EQ(p.StructSize, 144);
  EXPECT_EQ(g_DigimodeDllStatus.StructSize, 96);
  EXPECT_EQ(p.Modulation, 9);
  EXPECT_EQ(p.OperMode, 1);
  EXPECT_EQ(p.fc_rx, 1500.0);
  EXPECT_EQ(p.use_afc, 0);
  EXPECT_EQ(p.narrow_afc, 1);
  EXPECT_EQ(p.rev_keying, 1);
  EXPECT_EQ(p.InputSampleRate, 11025.0 / 2);
  EXPECT_EQ(p.OutputSampleRate, 11025.0);
  EXPECT_EQ(g_DigimodeRxFreq.load(), 1500.0);
  DigimodeSettings.Modulation = DIGIMODE_MOD_FSK;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_EQ(g_pPSKMod, nullptr);
  EXPECT_EQ(g_pDec2FIR, nullptr);
  EXPECT_EQ(p.InputSampleRate, 11025.0);
}

TEST_F(DigimodeEngineTest, InterpreterWord)
{
  g_DigimodeRxFreq = 1234.0;
  const struct {
    const char* text;  // after "digimode."
    int rc;
    const char* rest;
  } table[] = {
      {"decoder.afc.freq", 0, ""},    {"de.afc.freq  +1", 0, "+1"}, {"decoderafc.freq", 0, ""},
      {"deafc.freq", 0, ""},          {"Decoder.afc.freq", -1, nullptr}, {"x.afc.freq", -4, nullptr},
      {"dx.afc.freq", -1, nullptr},   {"de.bfc.freq", -4, nullptr}, {"de.afx.freq", -1, nullptr},
      {"de.afcfreq", -1, nullptr},    {"de.afc.Freq", -1, nullptr}, {"de.afc.frex", -4, nullptr},
      {"de..afc.freq", -1, nullptr},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.text);
    g_CliParsePtr = t.text;
    double v = 0.0;
    EXPECT_EQ(Digimode_EvalCommand(0, &v), t.rc);
    if (t.rc == 0) {
      EXPECT_EQ(v, 1234.0);
      EXPECT_STREQ(g_CliParsePtr, t.rest);
    }
  }
  // Through the interpreter: reads, assignments and refused values.
  EXPECT_EQ(CLI_CalcExpression(0, "di.de.afc.freq*2", -1.0), 2468.0);
  EXPECT_EQ(CLI_ExecuteMacro(0, "digimode.decoder.afc.freq=1k+500"), 0);
  EXPECT_EQ(DigimodeSettings.fc_rx, 1500.0);
  EXPECT_EQ(g_DigimodeRxFreq.load(), 1500.0);
  EXPECT_EQ(CLI_ExecuteMacro(0, "digimode.de.afc.freq 777"), 0);
  EXPECT_EQ(DigimodeSettings.fc_rx, 777.0);
  EXPECT_EQ(CLI_ExecuteMacro(0, "digimode.de.afc.freq=-5"), CLI_ERR_ILLEGAL_VALUE);
  EXPECT_LT(CLI_ExecuteMacro(0, "digimode.de.afc.freq=(3"), 0);
  EXPECT_EQ(DigimodeSettings.fc_rx, 777.0);
}
