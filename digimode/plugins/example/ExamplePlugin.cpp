// Example mode plug-in. It shows the four entries a mode library exports and how it works with
// the blocks the program hands over:
// - DIGM_SetMode keeps the four block pointers (GUI thread);
// - DIGM_DecodeAudio writes a fixed text into the receive ring, one character per block, moving
//   only the ring's Head (audio thread);
// - DIGM_GenerateAudio fills each transmit block with a tone at fc_tx and output_level, at
//   OutputSampleRate, and takes the characters of the transmit ring, moving only its Tail
//   (audio thread);
// - SwitchRequest: 2 when transmit is wanted and text waits, 1 when receive is wanted and the
//   text has gone out.
// DIGM_ExampleReport lets tests read what the plug-in was given.
#include "digimode/plugins/example/ExamplePlugin.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeShared.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr double kPi = 3.14159265358979323846;

// Blocks of the program (set on the GUI thread by DIGM_SetMode, before any audio call).
std::atomic<DigimodeDllParams*> g_Params{nullptr};
std::atomic<DigimodeDllStatus*> g_Status{nullptr};
std::atomic<DigimodeCharRing*> g_RxRing{nullptr};
std::atomic<DigimodeCharRing*> g_TxRing{nullptr};

// Report of the GUI-thread calls (read on the GUI thread).
int32_t g_SetModeCalls = 0, g_LastA = 0, g_LastB = 0;
int32_t g_Sizes[4] = {};
unsigned char g_ParamsCopy[144] = {};
std::atomic<int32_t> g_ParamStringCalls{0}, g_LastParamIndex{0};

// Report of the audio-thread calls.
std::atomic<int64_t> g_DecodeCalls{0}, g_DecodeSamples{0}, g_GenerateCalls{0};
std::atomic<int32_t> g_LastDecodeN{0}, g_LastGenerateN{0}, g_RxCharsWritten{0}, g_TxCharsTaken{0},
    g_LastTxChar{0};
std::atomic<double> g_LastDecodeT{0.0}, g_LastDecodeFirst{0.0};
std::atomic<int32_t> g_SamplesToWrite{-1};

// Audio thread only.
size_t g_RxTextPos = 0;
double g_Phase = 0.0;

constexpr int kRing = 8;

bool RingEmpty(const DigimodeCharRing* r)
{
  return r->Head.load(std::memory_order_acquire) == r->Tail.load(std::memory_order_acquire);
}

// Writer side of the receive ring: only Head moves.
bool PutRx(DigimodeCharRing* r, int c)
{
  const int32_t head = r->Head.load(std::memory_order_relaxed) & (kRing - 1);
  const int32_t next = (head + 1) % kRing;
  if (next == (r->Tail.load(std::memory_order_acquire) & (kRing - 1))) return false;
  r->Chars[head] = c;
  r->Head.store(next, std::memory_order_release);
  return true;
}

// Reader side of the transmit ring: only Tail moves.
int TakeTx(DigimodeCharRing* r)
{
  const int32_t tail = r->Tail.load(std::memory_order_relaxed) & (kRing - 1);
  if (tail == (r->Head.load(std::memory_order_acquire) & (kRing - 1))) return -1;
  const int c = r->Chars[tail] & 0xFF;
  r->Tail.store((tail + 1) % kRing, std::memory_order_release);
  return c;
}

}  // namespace

EXPORT const char* DIGM_GetParamString(int32_t index)
{
  g_ParamStringCalls.fetch_add(1);
  g_LastParamIndex.store(index);
  switch (index) {
  case 0: return "Example mode plug-in: tone transmitter, fixed-text receiver";
  case 1: return "TX: a tone at fc_tx, level output_level";
  case 2: return "RX: \"Example plug-in\", one character per block";
  default: return "";
  }
}

EXPORT int32_t DIGM_SetMode(int32_t a, int32_t b, DigimodeDllParams* params, DigimodeDllStatus* status,
                            DigimodeCharRing* rxRing, DigimodeCharRing* txRing)
{
  ++g_SetModeCalls;
  g_LastA = a;
  g_LastB = b;
  g_Sizes[0] = params ? params->StructSize : -1;
  g_Sizes[1] = status ? status->StructSize : -1;
  g_Sizes[2] = rxRing ? rxRing->StructSize : -1;
  g_Sizes[3] = txRing ? txRing->StructSize : -1;
  if (params) std::memcpy(g_ParamsCopy, static_cast<const void*>(params), sizeof(g_ParamsCopy));
  g_Params.store(params);
  g_Status.store(status);
  g_RxRing.store(rxRing);
  g_TxRing.store(txRing);
  g_RxTextPos = 0;  // no audio call runs during DIGM_SetMode
  g_Phase = 0.0;
  return 0;
}

EXPORT int32_t DIGM_DecodeAudio(const double* x, int32_t n, double t)
{
  g_DecodeCalls.fetch_add(1);
  g_DecodeSamples.fetch_add(n);
  g_LastDecodeN.store(n);
  g_LastDecodeT.store(t);
  g_LastDecodeFirst.store(n > 0 && x ? x[0] : 0.0);
  DigimodeCharRing* rx = g_RxRing.load();
  const size_t len = std::strlen(kExamplePluginRxText);
  if (rx && g_RxTextPos < len && PutRx(rx, static_cast<unsigned char>(kExamplePluginRxText[g_RxTextPos]))) {
    ++g_RxTextPos;
    g_RxCharsWritten.fetch_add(1);
  }
  DigimodeDllParams* p = g_Params.load();
  DigimodeDllStatus* s = g_Status.load();
  DigimodeCharRing* tx = g_TxRing.load();
  if (p && s && tx && p->TxRequest.load() == 2 && p->TxState.load() != 2 && !RingEmpty(tx))
    s->SwitchRequest.store(2);
  return 0;
}

EXPORT int32_t DIGM_GenerateAudio(double* y, int32_t n, double /*t*/)
{
  g_GenerateCalls.fetch_add(1);
  g_LastGenerateN.store(n);
  DigimodeDllParams* p = g_Params.load();
  if (!p || !y) return 0;
  const double fs = p->OutputSampleRate > 0.0 ? p->OutputSampleRate : 11025.0;
  const double step = 2.0 * kPi * p->fc_tx / fs;
  const double amp = 327.67 * p->output_level;
  int32_t count = g_SamplesToWrite.load();
  if (count < 0 || count > n) count = n;
  for (int32_t i = 0; i < n; ++i) {
    if (i < count) y[i] = amp * std::cos(g_Phase);
    g_Phase = std::fmod(g_Phase + step, 2.0 * kPi);
  }
  if (DigimodeCharRing* tx = g_TxRing.load()) {
    for (int c = TakeTx(tx); c >= 0; c = TakeTx(tx)) {
      g_TxCharsTaken.fetch_add(1);
      g_LastTxChar.store(c);
    }
    DigimodeDllStatus* s = g_Status.load();
    if (s && p->TxRequest.load() == 1 && RingEmpty(tx)) s->SwitchRequest.store(1);
  }
  return 0;
}

EXPORT int32_t DIGM_ExampleReport(ExamplePluginReport* report, const ExamplePluginControl* control)
{
  if (control) g_SamplesToWrite.store(control->SamplesToWrite);
  if (!report) return 0;
  ExamplePluginReport r{};
  r.SetModeCalls = g_SetModeCalls;
  r.LastA = g_LastA;
  r.LastB = g_LastB;
  r.ParamsSize = g_Sizes[0];
  r.StatusSize = g_Sizes[1];
  r.RxRingSize = g_Sizes[2];
  r.TxRingSize = g_Sizes[3];
  r.ParamsAddress = reinterpret_cast<uintptr_t>(g_Params.load());
  r.StatusAddress = reinterpret_cast<uintptr_t>(g_Status.load());
  r.RxRingAddress = reinterpret_cast<uintptr_t>(g_RxRing.load());
  r.TxRingAddress = reinterpret_cast<uintptr_t>(g_TxRing.load());
  std::memcpy(r.Params, g_ParamsCopy, sizeof(r.Params));
  r.DecodeCalls = g_DecodeCalls.load();
  r.DecodeSamples = g_DecodeSamples.load();
  r.LastDecodeN = g_LastDecodeN.load();
  r.LastDecodeT = g_LastDecodeT.load();
  r.LastDecodeFirst = g_LastDecodeFirst.load();
  r.RxCharsWritten = g_RxCharsWritten.load();
  r.GenerateCalls = g_GenerateCalls.load();
  r.LastGenerateN = g_LastGenerateN.load();
  r.TxCharsTaken = g_TxCharsTaken.load();
  r.LastTxChar = g_LastTxChar.load();
  r.ParamStringCalls = g_ParamStringCalls.load();
  r.LastParamIndex = g_LastParamIndex.load();
  *report = r;
  return 0;
}
