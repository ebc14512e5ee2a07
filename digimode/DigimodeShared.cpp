// Shared digimode state and the lock-free single-writer, single-reader rings.
#include "digimode/DigimodeShared.h"

#include <cstring>

#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeSettings.h"

std::atomic<bool> g_DigimodeReady{false};
CDigimodeLock g_DigimodeLock;
std::atomic<double> g_DigimodeRxFreq{2200.0};
std::atomic<int32_t> g_DigimodeSquelchLevel{0};
std::atomic<double> g_DigimodeSquelchOpen{0.0};
std::atomic<int32_t> g_DigimodeTxUnderrun{0};

DigimodeCharRing g_DigimodeRxChars{44, {0}, {0}, {}};
DigimodeCharRing g_DigimodeTxChars{44, {0}, {0}, {}};
T_HellColumnRing g_HellColumnRing{};
T_TuningScopeBuffer g_TuningScopeBuffer{};

namespace {

bool Ready() { return g_DigimodeReady.load(std::memory_order_acquire); }

int Used(const DigimodeCharRing& r)
{
  const int32_t head = r.Head.load(std::memory_order_acquire);
  const int32_t tail = r.Tail.load(std::memory_order_acquire);
  return (head - tail + kDigimodeCharRingSize) % kDigimodeCharRingSize;
}

// Writer side: false (nothing stored) when the ring holds 7 characters.
bool PutChar(DigimodeCharRing& r, int c)
{
  const int32_t head = r.Head.load(std::memory_order_relaxed) & (kDigimodeCharRingSize - 1);
  const int32_t next = (head + 1) % kDigimodeCharRingSize;
  if (next == (r.Tail.load(std::memory_order_acquire) & (kDigimodeCharRingSize - 1))) return false;
  r.Chars[head] = c & 0xFF;
  r.Head.store(next, std::memory_order_release);
  return true;
}

// Reader side: false when empty.
bool GetChar(DigimodeCharRing& r, int* c)
{
  const int32_t tail = r.Tail.load(std::memory_order_relaxed) & (kDigimodeCharRingSize - 1);
  if (tail == (r.Head.load(std::memory_order_acquire) & (kDigimodeCharRingSize - 1))) return false;
  *c = r.Chars[tail] & 0xFF;
  r.Tail.store((tail + 1) % kDigimodeCharRingSize, std::memory_order_release);
  return true;
}

}  // namespace

bool TuningScope_Append(double x, double y, int32_t kind)
{
  T_TuningScopeBuffer& b = g_TuningScopeBuffer;
  int32_t k = b.Kind.load(std::memory_order_acquire);
  if (k == 2) return false;
  const int32_t n = b.FillCount.load(std::memory_order_acquire);
  if (n < 0 || n >= kTuningScopeEntries) return false;
  b.Entry[n][0] = x;
  b.Entry[n][1] = y;
  // The kind changes only when the drawing has not taken the buffer meanwhile.
  while (k != 2 && k != kind && !b.Kind.compare_exchange_weak(k, kind, std::memory_order_acq_rel)) {
  }
  if (k == 2) return false;
  int32_t expected = n;
  return b.FillCount.compare_exchange_strong(expected, n + 1, std::memory_order_acq_rel);
}

void TuningScope_Reset()
{
  T_TuningScopeBuffer& b = g_TuningScopeBuffer;
  std::memset(b.Entry, 0, sizeof(b.Entry));
  b.FillCount.store(0);
  b.SampleRate.store(0.0);
  b.DisplayLength.store(256);
  b.Flag.store(0);
  b.Kind.store(4, std::memory_order_release);
}

void Digimode_PutTxChar(int c)
{
  if (!Ready() || DigimodeSettings.OperMode == DIGIMODE_OPMODE_HELL) return;
  PutChar(g_DigimodeTxChars, c);
  g_DigimodeTxUnderrun.store(0);
}

bool Digimode_IsTxBufferFull()
{
  if (!Ready()) return false;
  return Used(g_DigimodeTxChars) >= 6 || Digimode_IsRxSwitchPending();
}

int Digimode_GetTxChar()
{
  int c = 0;
  if (!Ready() || !GetChar(g_DigimodeTxChars, &c)) return -3;
  return c;
}

int Digimode_TxCharCount() { return Used(g_DigimodeTxChars); }

bool Digimode_PutHellColumn(const HellColumn* column)
{
  if (!Ready() || !column) return false;
  g_DigimodeTxUnderrun.store(0);
  T_HellColumnRing& r = g_HellColumnRing;
  const int32_t head = r.Head.load(std::memory_order_relaxed) % kHellColumnRingSize;
  const int32_t next = (head + 1) % kHellColumnRingSize;
  if (next == r.Tail.load(std::memory_order_acquire) % kHellColumnRingSize) return false;
  r.Columns[head] = *column;
  r.Head.store(next, std::memory_order_release);
  return true;
}

bool Digimode_GetHellColumn(HellColumn* out)
{
  if (!Ready() || !out) return false;
  T_HellColumnRing& r = g_HellColumnRing;
  const int32_t tail = r.Tail.load(std::memory_order_relaxed) % kHellColumnRingSize;
  if (tail == r.Head.load(std::memory_order_acquire) % kHellColumnRingSize) return false;
  *out = r.Columns[tail];
  r.Tail.store((tail + 1) % kHellColumnRingSize, std::memory_order_release);
  return true;
}

void Digimode_PutRxChar(int c)
{
  if (Ready()) PutChar(g_DigimodeRxChars, c);
}

int Digimode_GetRxChar()
{
  int c = 0;
  if (!Ready() || !GetChar(g_DigimodeRxChars, &c)) return 0;
  return c;
}

void DigimodeRings_Reset()
{
  g_DigimodeTxChars.Head.store(0);
  g_DigimodeTxChars.Tail.store(0);
  g_DigimodeRxChars.Head.store(0);
  g_DigimodeRxChars.Tail.store(0);
  g_DigimodeTxChars.StructSize = 44;
  g_DigimodeRxChars.StructSize = 44;
  std::memset(static_cast<void*>(g_HellColumnRing.Columns), 0, sizeof(g_HellColumnRing.Columns));
  g_HellColumnRing.Head.store(0);
  g_HellColumnRing.Tail.store(0);
}
