// The GUI thread rebuilds, switches (a stopped output included) and designs while the audio
// thread calls both hooks and a scope drawing takes the buffer: no hook runs over coders being
// replaced (ThreadSanitizer and AddressSanitizer runs of this test report any overlap). And the
// real audio thread changes the rate of its blocks under the receivers while it runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cmath>
#include <thread>
#include <vector>

#include "digimode/Dcf77Dec.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/BigSampleBuffer.h"
#include "engine/CSound.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/FakeWaveBackend.h"
#include "platform/Threads.h"
#include "PskLoopback.h"
#include "TimeSignalGen.h"

TEST(DigimodeThreadsTest, RebuildsAndSwitchesWhileTheHooksRun)
{
  g_ProcessingSampleRate = 11025.0;
  Digimode_Init();
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    std::vector<double> in(2048), out(2048);
    for (size_t i = 0; i < in.size(); ++i) in[i] = 8000.0 * std::sin(0.5 * static_cast<double>(i));
    while (!stop.load()) {
      Digimode_ProcessRxAudio(in.data(), 2048, 0.0);
      Digimode_GenerateTxAudio(out.data(), 2048, 0.0);
      Digimode_PutRxChar('r');
      blocks.fetch_add(1);
    }
  });
  while (blocks.load() == 0) std::this_thread::yield();  // the hooks run before the rounds start
  const int modulations[] = {DIGIMODE_MOD_BPSK, DIGIMODE_MOD_FSK, DIGIMODE_MOD_QPSK};
  for (int round = 0; round < 120; ++round) {
    DigimodeSettings.Modulation = modulations[round % 3];
    DigimodeSettings.ScopeMode = 1 + round % 4;
    Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
    Digimode_InitFskFilters(true);
    Digimode_SwitchRxTx(2);
    for (int c = 0; c < 4; ++c) Digimode_PutTxChar('a' + c);
    Digimode_SwitchRxTx(1);
    if (round % 3 == 1) {
      Digimode_SwitchRxTx(1);  // a second request: at once
    } else if (round % 3 == 2) {
      Digimode_SwitchRxTx(2);
      Digimode_OutputStopped();  // the output went away in the middle of the transmission
    }
    Digimode_PollDll();
    Digimode_SetDecoderFreq(1000.0 + round);
    while (Digimode_GetRxChar() != 0) {
    }
    // The scope drawing's hand-over.
    T_TuningScopeBuffer& b = g_TuningScopeBuffer;
    if (b.Kind.load() >= 3) {
      b.Kind.store(2);
      double sum = 0.0;
      const int n = b.FillCount.load();
      for (int i = 0; i < n && i < kTuningScopeEntries; ++i) sum += b.Entry[i][0];
      EXPECT_TRUE(std::isfinite(sum));
      b.FillCount.store(0);
      b.Kind.store(1);
    }
    if (round % 40 == 39) {
      Digimode_Exit();
      Digimode_Init();
      Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
    }
    std::this_thread::yield();
  }
  Digimode_SwitchRxTx(0);
  // On an idle machine the rounds can end before the audio thread has run once: let it run.
  while (blocks.load() < 3) std::this_thread::yield();
  stop.store(true);
  audio.join();
  EXPECT_GE(blocks.load(), 3);
}

TEST(DigimodeThreadsTest, HellschreiberRebuildsWhileTheTransmitHookTakesColumns)
{
  g_ProcessingSampleRate = 8000.0;
  Digimode_Init();
  DigimodeSettings.symbol_rate = 400.0;  // 20 samples per column: the ring is read often
  Digimode_SetMode(DIGIMODE_OPMODE_HELL);
  Digimode_SwitchRxTx(2);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<bool> finite{true};
  std::thread audio([&] {
    std::vector<double> out(256);
    while (!stop.load()) {
      if (Digimode_GenerateTxAudio(out.data(), 256, 0.0))
        for (double v : out) finite = finite && std::isfinite(v);
      blocks.fetch_add(1);
    }
  });
  while (blocks.load() == 0) std::this_thread::yield();
  const int modulations[] = {7, 14, 13, DIGIMODE_MOD_BPSK};
  HellColumn c{};
  c.PixelCount = 12;
  for (int r = 0; r < 12; r += 2) c.Pixel[r] = 1.0;
  for (int round = 0; round < 80; ++round) {
    DigimodeSettings.Modulation = modulations[round % 4];
    DigimodeSettings.pulse_shaping = round % 3;
    Digimode_SetMode(round % 4 == 3 ? DIGIMODE_OPMODE_CHARS : DIGIMODE_OPMODE_HELL);
    Digimode_SwitchRxTx(2);
    for (int k = 0; k < 12; ++k) Digimode_PutHellColumn(&c);
    Digimode_PollDll();
    std::this_thread::yield();
  }
  while (blocks.load() < 3) std::this_thread::yield();
  stop.store(true);
  audio.join();
  Digimode_SwitchRxTx(0);
  EXPECT_TRUE(finite.load());
  EXPECT_GE(blocks.load(), 3);
}

TEST(DigimodeThreadsTest, PluginLoadsAndUnloadsWhileTheHooksRun)
{
  g_ProcessingSampleRate = 11025.0;
  Digimode_Init();
  std::strncpy(DigimodeSettings.name, VT_EXAMPLE_PLUGIN_PATH, sizeof(DigimodeSettings.name) - 1);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    std::vector<double> in(1024, 100.0), out(1024);
    while (!stop.load()) {
      Digimode_ProcessRxAudio(in.data(), 1024, 0.0);
      Digimode_GenerateTxAudio(out.data(), 1024, 0.0);
      blocks.fetch_add(1);
    }
  });
  while (blocks.load() == 0) std::this_thread::yield();
  int loads = 0;
  for (int round = 0; round < 60; ++round) {
    DigimodeSettings.use_it = round % 3 != 2;
    DigimodeSettings.Modulation = round % 2 ? DIGIMODE_MOD_BPSK : DIGIMODE_MOD_FSK;
    Digimode_SetMode(round % 5 == 4 ? DIGIMODE_OPMODE_HELL : DIGIMODE_OPMODE_CHARS);
    loads += g_DigimodeDllLoaded.load() ? 1 : 0;
    Digimode_SwitchRxTx(1 + round % 2);
    Digimode_PutTxChar('p');
    Digimode_PollDll();
    EXPECT_FALSE(Digimode_GetDllParamString(0).empty());
    while (Digimode_GetRxChar() != 0) {
    }
    if (round % 20 == 19) {
      Digimode_Exit();
      Digimode_Init();
      std::strncpy(DigimodeSettings.name, VT_EXAMPLE_PLUGIN_PATH, sizeof(DigimodeSettings.name) - 1);
    }
    std::this_thread::yield();
  }
  while (blocks.load() < 3) std::this_thread::yield();
  stop.store(true);
  audio.join();
  Digimode_SwitchRxTx(0);
  DigimodeSettings.use_it = false;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_FALSE(g_DigimodeDllLoaded.load());
  EXPECT_EQ(loads, 40);
}

// The real audio thread on a card whose input the test hands over block by block (fake device
// 0 at 11,025 Hz): a DCF77 time signal (150 Hz carrier) and PSK31 text (450 Hz). Apply changes
// the input divisor 1 -> 2 -> 4 while the thread runs (the main window's part: new rates, ring 0
// set up anew). After each change the digimode receiver decodes the next text and the time
// decoder a minute with the time that was sent, the second one a minute whose code began
// before the change: every reader of the processing rate follows the change.
TEST(DigimodeThreadsTest, ReceiverAndTimeDecoderFollowTheInputDivisorWhileTheThreadRuns)
{
  const char* const texts[] = {"cq de vartumo one", "halved rate two", "quarter rate four"};
  PskLoopbackConfig psk;
  psk.fcTx = psk.fcRx = 450.0;
  psk.useAfc = false;  // between the texts it would wander off to the time signal's carrier
  PskLoopbackStart(psk);
  constexpr double kRate = 11025.0;
  // Divisor 1 for 10 s, 2 from 10 s, 4 from 90 s; each text 3 s after its change. Minute marks
  // at 20, 80 and 140 s: the minute from 20 to 80 s is sent wholly at divisor 2, the one from
  // 80 to 140 s begins at divisor 2 and ends at divisor 4.
  const double phaseStart[] = {0.0, 10.0, 90.0};
  const double total = 170.0;
  std::vector<double> audio(static_cast<size_t>(total * kRate), 0.0);
  for (int k = 0; k < 3; ++k) {
    std::vector<double> a = PskLoopbackTransmit(psk, texts[k]);
    const size_t at = static_cast<size_t>((phaseStart[k] + 3.0) * kRate);
    double peak = 1.0;
    for (double v : a) peak = std::max(peak, std::fabs(v));
    for (size_t i = 0; i < a.size() && at + i < audio.size(); ++i)
      audio[at + i] = a[i] * 6000.0 / peak;
  }
  TimeSignalOptions o;
  o.rate = kRate;
  o.carrierHz = 150.0;
  o.amplitude = 6000.0;
  o.startUtc = 1700000040.0 - 20.0;  // the first minute mark 20 s in
  CTimeSignalGen gen(o);
  std::vector<double> time(audio.size());
  gen.Generate(time.data(), static_cast<int>(time.size()));
  for (size_t i = 0; i < time.size(); ++i) audio[i] += time[i];

  // The thread with the card's input only, the receiver and the time decoder on.
  CFakeWaveBackend fake;
  SetMainThread();
  ResetSoundThdMessageQueue();
  SndConfig.SampleRate = 11025;
  SndConfig.SampleRateDivisor = 1;
  MachineConfig.AudioInputDevID = 0;
  SndConfig.StartSoundInput = 1;
  SndConfig.StartSoundOutput = 0;
  SndConfig.StartSignalGenerator = 0;
  SndConfig.StartDigitalFilter = 0;
  SndConfig.DigitalFilterBypass = 3;
  SndConfig.DigimodeActive = 1;
  SndConfig.Dcf77Active = 1;
  InitPreciseClock();
  InitSoundThdGlobals();
  g_pSound.store(new CSound);
  g_Dcf77Decoder.CarrierHzSetting.store(o.carrierHz);
  Dcf77Dec_Reset(0);
  Digimode_SwitchRxTx(1);
  g_pSoundThread = new TSoundThread(true);
  g_pSoundThread->Resume();

  std::string received[3];
  std::vector<std::pair<double, double>> minutes[3];  // (decoded UTC, sent UTC) per phase
  int serial = Dcf77Dec_ReadSnapshot(g_Dcf77Decoder).MinuteSerial;
  int phase = 0;
  size_t pos = 0;
  auto lastPass = std::chrono::steady_clock::now();
  bool fed = true;
  while (pos + 4096 <= audio.size() && fed) {
    const double seconds = pos / kRate;
    if (phase < 2 && seconds >= phaseStart[phase + 1]) {
      // Apply: the divisor, the rates, ring 0 (the thread takes the divisor at a later pass).
      ++phase;
      SndConfig.SampleRateDivisor = phase == 1 ? 2 : 4;
      CalcEffectiveSampleRates();
      InitBigBufferDecimation(&g_BigBuffers[0], g_ProcessingSampleRate, 1, 0.0);
    }
    // One card block, no sooner than 50 ms after the last (a quicker pass counts as a fault).
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto due = lastPass + std::chrono::milliseconds(50);
    while (fed && (fake.Queued(true) == 0 || std::chrono::steady_clock::now() < due)) {
      fed = std::chrono::steady_clock::now() < end;
      CheckSynchronize(1);
    }
    if (!fed) break;
    const uint32_t passes = g_SndThdLoopCount;
    const size_t first = pos;
    const uint32_t frameBytes = g_SoundFormat.nBlockAlign;  // 2 in mono, 4 in stereo
    fake.CompleteInput(1, [&](int, uint32_t i) {
      const double v = std::clamp(audio[first + i / frameBytes], -32767.0, 32767.0);
      const int16_t x = static_cast<int16_t>(std::lround(v));
      return static_cast<char>(i % 2 == 0 ? (x & 0xFF) : ((x >> 8) & 0xFF));
    });
    pos += 4096;
    while (fed && g_SndThdLoopCount == passes) {
      fed = std::chrono::steady_clock::now() < end;
      CheckSynchronize(1);
    }
    lastPass = std::chrono::steady_clock::now();
    for (int ch; (ch = Digimode_GetRxChar()) != 0;) received[phase] += static_cast<char>(ch);
    const Dcf77DecodedTime d = Dcf77Dec_ReadSnapshot(g_Dcf77Decoder);
    if (d.MinuteSerial != serial) {
      serial = d.MinuteSerial;
      const double sent = std::floor((o.startUtc + pos / kRate) / 60.0) * 60.0;
      minutes[phase].push_back({d.Valid ? DecodedMinuteUtc(d) : 0.0, sent});
    }
  }
  EXPECT_TRUE(fed) << "the thread took no more blocks";
  EXPECT_TRUE(TerminateSoundThread());
  CleanupSoundThread();
  MachineConfig.AudioInputDevID = -1;
  SndConfig.DigimodeActive = 0;
  SndConfig.Dcf77Active = 0;
  g_Dcf77Decoder.CarrierHzSetting.store(0.0);
  Digimode_SwitchRxTx(0);

  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE("divisor " + std::to_string(1 << k));
    EXPECT_LE(PskCharErrorRate(texts[k], received[k]), 10.0) << "received: " << received[k];
    if (k == 0) continue;  // too short for a minute
    bool decoded = false;
    for (const auto& m : minutes[k]) decoded = decoded || (m.first == m.second && m.first > 0);
    EXPECT_TRUE(decoded) << minutes[k].size() << " minutes seen in this phase";
  }
}
