// Mode plug-ins: loading through the engine's rebuild, the blocks handed over, receive and
// transmit through the example plug-in, and the failures (missing file, a library without
// DIGM_SetMode, no name).
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "digimode/CPSKMod.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/plugins/example/ExamplePlugin.h"
#include "engine/CDec2FIR.h"
#include "engine/ProgramInstance.h"
#include "engine/SampleRates.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = 11025.0;

template <typename T>
T At(const unsigned char* bytes, size_t offset)
{
  T v;
  std::memcpy(&v, bytes + offset, sizeof(T));
  return v;
}

class ModePluginTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    g_ProcessingSampleRate = kFs;
    m_oldHook = Digimode_SetMessageHook([this](const std::string& t) { m_messages.push_back(t); });
    Digimode_Init();
    // Our own reference keeps the library (and its call counters) loaded through the test.
    m_handle = dlopen(VT_EXAMPLE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
    m_report = reinterpret_cast<DIGM_ExampleReport_t>(dlsym(m_handle, "DIGM_ExampleReport"));
    ASSERT_NE(m_report, nullptr);
    const ExamplePluginControl all{-1};
    m_report(nullptr, &all);
  }
  void TearDown() override
  {
    Digimode_SwitchRxTx(0);
    Digimode_Exit();
    DigimodeSettings.use_it = false;
    if (m_handle) dlclose(m_handle);
    Digimode_SetMessageHook(m_oldHook);
  }

  ExamplePluginReport Report() const
  {
    ExamplePluginReport r{};
    m_report(&r, nullptr);
    return r;
  }

  void UsePlugin(const std::string& name)
  {
    DigimodeSettings.use_it = true;
    std::memset(DigimodeSettings.name, 0, sizeof(DigimodeSettings.name));
    std::strncpy(DigimodeSettings.name, name.c_str(), sizeof(DigimodeSettings.name) - 1);
  }

  void* m_handle = nullptr;
  DIGM_ExampleReport_t m_report = nullptr;
  std::vector<std::string> m_messages;
  DigimodeMessageHook m_oldHook;
};

}  // namespace

TEST_F(ModePluginTest, LoadCallsSetModeTwiceWithTheBlocksAndTheSettingsCopy)
{
  const int before = Report().SetModeCalls;
  T_DigimodeSettings& s = DigimodeSettings;
  s.Modulation = DIGIMODE_MOD_BPSK;
  s.CodesetNr = 4;
  s.fc_rx = 1234.5;
  s.fc_tx = 987.25;
  s.f_shift = 170.5;
  s.symbol_rate = 45.45;
  s.rev_keying = true;
  s.pulse_shaping = 2;
  s.shape_percent = 33.0;
  s.output_level = 80.0;
  s.squelch_thrsh = 42;
  s.use_afc = false;
  s.narrow_afc = true;
  s.afc_tune_range = 55.5;
  UsePlugin(VT_EXAMPLE_PLUGIN_PATH);
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  ASSERT_TRUE(g_DigimodeDllLoaded.load());
  EXPECT_TRUE(m_messages.empty());
  const ExamplePluginReport r = Report();
  EXPECT_EQ(r.SetModeCalls - before, 2);
  EXPECT_EQ(r.LastA, 0);
  EXPECT_EQ(r.LastB, 0);
  EXPECT_EQ(r.ParamsSize, 144);
  EXPECT_EQ(r.StatusSize, 96);
  EXPECT_EQ(r.RxRingSize, 44);
  EXPECT_EQ(r.TxRingSize, 44);
  EXPECT_EQ(r.ParamsAddress, reinterpret_cast<uintptr_t>(&g_DigimodeDllParams));
  EXPECT_EQ(r.StatusAddress, reinterpret_cast<uintptr_t>(&g_DigimodeDllStatus));
  EXPECT_EQ(r.RxRingAddress, reinterpret_cast<uintptr_t>(&g_DigimodeRxChars));
  EXPECT_EQ(r.TxRingAddress, reinterpret_cast<uintptr_t>(&g_DigimodeTxChars));
  // The parameter block as the plug-in saw it on the second call, read at its byte offsets.
  const unsigned char* p = r.Params;
  EXPECT_EQ(At<int32_t>(p, 0), 144);
  EXPECT_EQ(At<int32_t>(p, 8), 1);
  EXPECT_EQ(At<int32_t>(p, 12), 4);
  EXPECT_EQ(At<int32_t>(p, 16), 8);
  EXPECT_EQ(At<double>(p, 32), kFs);  // the plug-in gets the full rate, PSK or not
  EXPECT_EQ(At<double>(p, 40), kFs);
  EXPECT_EQ(At<double>(p, 48), 1234.5);
  EXPECT_EQ(At<double>(p, 56), 987.25);
  EXPECT_EQ(At<double>(p, 64), 170.5);
  EXPECT_EQ(At<double>(p, 72), 45.45);
  EXPECT_EQ(At<int32_t>(p, 80), 1);
  EXPECT_EQ(At<int32_t>(p, 84), 2);
  EXPECT_EQ(At<double>(p, 88), 33.0);
  EXPECT_EQ(At<double>(p, 96), 80.0);
  EXPECT_EQ(At<int32_t>(p, 104), 42);
  EXPECT_EQ(At<int32_t>(p, 108), 0);
  EXPECT_EQ(At<int32_t>(p, 112), 1);
  EXPECT_EQ(At<double>(p, 120), 55.5);
  for (size_t off : {4u, 28u, 116u, 128u, 132u, 136u, 140u}) EXPECT_EQ(At<int32_t>(p, off), 0) << off;
  // With a plug-in the PSK coders are not built.
  EXPECT_EQ(g_pPSKMod, nullptr);
  EXPECT_EQ(g_pDec2FIR, nullptr);
}

TEST_F(ModePluginTest, ReceiveBlocksReachThePluginAndItsTextComesOut)
{
  UsePlugin(VT_EXAMPLE_PLUGIN_PATH);
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  ASSERT_TRUE(g_DigimodeDllLoaded.load());
  Digimode_SwitchRxTx(1);
  const ExamplePluginReport before = Report();
  std::vector<double> x(1000, 0.0);
  x[0] = 7.5;
  std::string text;
  for (int block = 0; block < 40 && text.size() < std::strlen(kExamplePluginRxText); ++block) {
    Digimode_ProcessRxAudio(x.data(), 1000, 123.25 + block);
    for (int c = Digimode_GetRxChar(); c != 0; c = Digimode_GetRxChar()) text += static_cast<char>(c);
  }
  EXPECT_EQ(text, kExamplePluginRxText);
  const ExamplePluginReport r = Report();
  EXPECT_EQ(r.LastDecodeN, 1000);
  EXPECT_EQ(r.LastDecodeFirst, 7.5);
  EXPECT_EQ(r.DecodeSamples - before.DecodeSamples, 1000 * (r.DecodeCalls - before.DecodeCalls));
  EXPECT_GE(r.LastDecodeT, 123.25);
  EXPECT_EQ(g_DigimodeDllParams.InputSampleRate, kFs);
  // Blocks outside 1..4096 are not passed on.
  const int64_t calls = r.DecodeCalls;
  Digimode_ProcessRxAudio(x.data(), 0, 0.0);
  std::vector<double> big(4097);
  Digimode_ProcessRxAudio(big.data(), 4097, 0.0);
  EXPECT_EQ(Report().DecodeCalls, calls);
}

TEST_F(ModePluginTest, TransmitBlocksAreThePluginsToneAndUnwrittenSamplesAreSilence)
{
  DigimodeSettings.fc_tx = 1000.0;
  DigimodeSettings.output_level = 50.0;
  UsePlugin(VT_EXAMPLE_PLUGIN_PATH);
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  ASSERT_TRUE(g_DigimodeDllLoaded.load());
  Digimode_SwitchRxTx(2);
  Digimode_PutTxChar('Q');
  std::vector<double> y(2048, 999.0);
  ASSERT_TRUE(Digimode_GenerateTxAudio(y.data(), 2048, 0.0));
  const double amp = 327.67 * 50.0;
  for (int i = 0; i < 2048; ++i)
    ASSERT_NEAR(y[i], amp * std::cos(2.0 * kPi * 1000.0 * i / kFs), 1e-6 * amp) << i;
  const ExamplePluginReport r = Report();
  EXPECT_EQ(r.LastGenerateN, 2048);
  EXPECT_EQ(r.LastTxChar, 'Q');
  EXPECT_EQ(Digimode_TxCharCount(), 0);  // the plug-in moved the transmit ring's Tail
  // A plug-in that writes only part of the block leaves silence, not the previous samples.
  const ExamplePluginControl some{100};
  m_report(nullptr, &some);
  std::fill(y.begin(), y.end(), 999.0);
  ASSERT_TRUE(Digimode_GenerateTxAudio(y.data(), 2048, 0.0));
  EXPECT_NE(y[50], 999.0);
  for (int i = 100; i < 2048; ++i) ASSERT_EQ(y[i], 0.0) << i;
}

TEST_F(ModePluginTest, ParameterStringsAndTheirTextWithoutPlugin)
{
  EXPECT_EQ(Digimode_GetDllParamString(0), "-- no DLL --");
  UsePlugin(VT_EXAMPLE_PLUGIN_PATH);
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_EQ(Digimode_GetDllParamString(0), "Example mode plug-in: tone transmitter, fixed-text receiver");
  EXPECT_EQ(Digimode_GetDllParamString(1), "TX: a tone at fc_tx, level output_level");
  EXPECT_EQ(Digimode_GetDllParamString(2), "RX: \"Example plug-in\", one character per block");
  EXPECT_EQ(Report().LastParamIndex, 2);
  // use_it off: the next rebuild releases the plug-in and builds the PSK coders.
  DigimodeSettings.use_it = false;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_FALSE(g_DigimodeDllLoaded.load());
  EXPECT_EQ(Digimode_GetDllParamString(0), "-- no DLL --");
  EXPECT_NE(g_pPSKMod, nullptr);
}

TEST_F(ModePluginTest, FailuresLeaveTheBuiltInCoders)
{
  struct Case {
    std::string name;
    bool message;
  };
  const Case cases[] = {
      {"/nonexistent/dir/NoSuchPlugin.so", true},
      {"NoSuchPlugin.so", true},
      {"libm.so.6", false},  // the C math library: no DIGM_SetMode, released silently
      {"", false},
      {"\x01plugin.so", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A loaded plug-in first: each failure must also leave no old entry behind.
    UsePlugin(VT_EXAMPLE_PLUGIN_PATH);
    DigimodeSettings.Modulation = DIGIMODE_MOD_BPSK;
    Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
    ASSERT_TRUE(g_DigimodeDllLoaded.load());
    m_messages.clear();
    UsePlugin(c.name);
    Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
    EXPECT_FALSE(g_DigimodeDllLoaded.load());
    EXPECT_FALSE(Digimode_IsDllHandleHeld());
    if (c.message) {
      ASSERT_EQ(m_messages.size(), 1u);
      EXPECT_EQ(m_messages[0], "Couldn't load DLL.");
    } else {
      EXPECT_TRUE(m_messages.empty());
    }
    EXPECT_NE(g_pPSKMod, nullptr);
    EXPECT_NE(g_pDec2FIR, nullptr);
    EXPECT_EQ(Digimode_SetDllMode(0, 0), 4);
    EXPECT_EQ(Digimode_GetDllParamString(0), "-- no DLL --");
    // The built-in transmitter serves, and the poll raises the switch for it.
    g_DigimodeDllParams.TxRequest.store(2);
    Digimode_PutTxChar('x');
    Digimode_PollDll();
    EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
    Digimode_SwitchRxTx(2);
    std::vector<double> y(512);
    EXPECT_TRUE(Digimode_GenerateTxAudio(y.data(), 512, 0.0));
    Digimode_SwitchRxTx(0);
  }
}

TEST_F(ModePluginTest, NameWithoutSlashIsFoundInTheProgramDirectory)
{
  vt_test::TempDir dir;
  std::filesystem::copy_file(VT_EXAMPLE_PLUGIN_PATH, dir.file("DemoDll.dll"));
  const std::string oldDir = GetProgramDirectory();
  SetProgramDirectory(dir.path().string());
  UsePlugin("DemoDll.dll");
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_TRUE(g_DigimodeDllLoaded.load());
  EXPECT_TRUE(m_messages.empty());
  EXPECT_EQ(Digimode_GetDllParamString(0).rfind("Example mode plug-in", 0), 0u);
  Digimode_LoadModeDll(nullptr);
  EXPECT_FALSE(g_DigimodeDllLoaded.load());
  SetProgramDirectory(oldDir);
}

TEST_F(ModePluginTest, PluginRaisesTheSwitchRequestAndKeepsTheStationState)
{
  UsePlugin(VT_EXAMPLE_PLUGIN_PATH);
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  Digimode_SwitchRxTx(1);
  // A rebuild with the plug-in keeps the station state in the parameter block.
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
  EXPECT_EQ(g_DigimodeDllParams.TxState.load(), 1);
  Digimode_SwitchRxTx(1);
  g_DigimodeDllParams.TxRequest.store(2);
  Digimode_PutTxChar('k');
  Digimode_PollDll();  // with a plug-in the engine leaves the request to it
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 0);
  std::vector<double> x(256, 0.0);
  Digimode_ProcessRxAudio(x.data(), 256, 0.0);
  EXPECT_EQ(g_DigimodeDllStatus.SwitchRequest.load(), 2);
}
