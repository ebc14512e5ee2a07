// The GUI thread rebuilds, switches (a stopped output included) and designs while the audio
// thread calls both hooks and a scope drawing takes the buffer: no hook runs over coders being
// replaced (ThreadSanitizer and AddressSanitizer runs of this test report any overlap).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cmath>
#include <thread>
#include <vector>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/SampleRates.h"

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
