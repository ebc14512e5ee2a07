#include "engine/FreqMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/SampleRates.h"
#include "engine/SndConfig.h"

FreqMixerChain g_FreqMixers[2];
int32_t g_HilbertLength = 1;
double g_HilbertCoeffs[kMixerMaxHilbert];

namespace {

// GUI side: fills the spare slot from the chain's view and the Hilbert globals and hands it
// to the audio thread together with the reset bits.
void Publish(FreqMixerChain* m, uint32_t resetBits) {
  FreqMixerSetup& s = m->Slots[m->Back];
  const double pi = 4.0 * std::atan(1.0);
  const int n = m->TableLength.load();
  for (int i = 0; i < kMixerTableSize; ++i) {
    const double a = n > 0 ? 2.0 * pi * m->OscFrequency * i / m->TableRate : 0.0;
    s.SinTable[i] = std::sin(a);
    s.CosTable[i] = std::cos(a);
  }
  s.TableLength = n;
  s.OscFrequency = m->OscFrequency;
  s.Sideband = m->Sideband;
  s.DcReject = m->DcReject;
  s.HilbertLength = g_HilbertLength;
  std::memcpy(s.HilbertCoeffs, g_HilbertCoeffs, sizeof s.HilbertCoeffs);
  m->ResetRequest.fetch_or(resetBits, std::memory_order_release);
  const int32_t prev = m->Middle.exchange(m->Back | kMixerNewSetup, std::memory_order_acq_rel);
  m->Back = prev & 3;
}

// Picks the table length; false when the rate is not above 0 (nothing changes then).
bool ChooseTable(FreqMixerChain* m, double freq, double rate) {
  if (!(rate > 0.0)) return false;
  double best = 0.0;
  int n = 0;
  for (int len = 4; len <= kMixerTableSize; ++len) {
    const double f = std::floor(freq / rate * len) / len * rate;
    if (std::fabs(freq - f) < std::fabs(freq - best)) {
      best = f;
      n = len;
    }
  }
  m->OscFrequency = best;
  m->TableLength.store(n);
  m->TableRate = rate;
  return true;
}

void SetHilbert(int length) {
  const int l = FreqMixer_HilbertLength(length);
  const int h = (l - 1) / 2;
  const double pi = 4.0 * std::atan(1.0);
  std::fill(std::begin(g_HilbertCoeffs), std::end(g_HilbertCoeffs), 0.0);
  for (int k = 1; k <= h; ++k) {
    const double c = (k & 1) ? 2.0 / (k * pi) : 0.0;
    g_HilbertCoeffs[h + k] = c;
    g_HilbertCoeffs[h - k] = -c;
  }
  if (l > 1)  // the Hann window of one tap would divide by zero
    for (int i = 0; i < l; ++i) g_HilbertCoeffs[i] *= 0.5 - 0.5 * std::cos(2.0 * pi * i / (l - 1));
  g_HilbertLength = l;
}

}  // namespace

int FreqMixer_HilbertLength(int setting) {
  int l = (setting | 1) & ~2;
  if (l > kMixerMaxHilbert) l = kMixerMaxHilbert;
  if (l < 1) l = 1;  // a negative setting would give a negative length
  return l;
}

void FreqMixer_Clear(FreqMixerChain* m) {
  if (!m) return;
  m->Enabled.store(false);
  m->DcReject = false;
  m->Sideband = 0;
  m->OscFrequency = 0.0;
  m->TableLength.store(0);
  m->TableRate = 0.0;
  m->DcLevel = 0.0;
  m->TableIndex = 0;
  std::fill(std::begin(m->HilbertDelay), std::end(m->HilbertDelay), 0.0);
  m->HilbertPos = 0;
  std::fill(std::begin(m->PathDelay), std::end(m->PathDelay), 0.0);
  m->PathIndex = 0;
  for (auto& s : m->Slots) std::memset(static_cast<void*>(&s), 0, sizeof s);
  for (auto& s : m->Slots) s.HilbertLength = 1;
  m->Front = 0;
  m->Back = 2;
  m->Middle.store(1);
  m->ResetRequest.store(0);
}

bool FreqMixer_Init(FreqMixerChain* m, double freq, int sideband, bool dcReject, bool enabled) {
  if (!m) return false;
  m->Enabled.store(false);
  m->Sideband = sideband;
  m->DcReject = dcReject;
  m->TableLength.store(0);
  m->OscFrequency = 0.0;
  ChooseTable(m, freq, g_ProcessingSampleRate);
  SetHilbert(SndConfig.MixerHilbertLength);
  Publish(m, kMixerRestartOsc | kMixerClearState);
  m->Enabled.store(enabled);
  return true;
}

bool FreqMixer_SetFrequencyAtRate(FreqMixerChain* m, double freq, double rate) {
  if (!m || !ChooseTable(m, freq, rate)) return false;
  Publish(m, kMixerRestartOsc);
  return true;
}

bool FreqMixer_SetFrequency(FreqMixerChain* m, double freq) {
  return FreqMixer_SetFrequencyAtRate(m, freq, g_ProcessingSampleRate);
}

void FreqMixer_Process(FreqMixerChain* m, const double* in, double* out, int n) {
  if (!m || n < 1) return;
  // Take the newest set-up at the block boundary.
  if (m->Middle.load(std::memory_order_acquire) & kMixerNewSetup) {
    const int32_t prev = m->Middle.exchange(m->Front, std::memory_order_acq_rel);
    m->Front = prev & 3;
  }
  const uint32_t reset = m->ResetRequest.exchange(0, std::memory_order_acquire);
  if (reset & kMixerRestartOsc) m->TableIndex = 0;
  if (reset & kMixerClearState) {
    m->DcLevel = 0.0;
    std::fill(std::begin(m->HilbertDelay), std::end(m->HilbertDelay), 0.0);
    std::fill(std::begin(m->PathDelay), std::end(m->PathDelay), 0.0);
    m->HilbertPos = 0;
    m->PathIndex = 0;
  }
  const FreqMixerSetup& s = m->Slots[m->Front];
  const int len = s.TableLength;
  if (len < 3) {
    if (out != in) std::memmove(out, in, sizeof(double) * n);
    return;
  }
  const int l = std::clamp<int>(s.HilbertLength, 1, kMixerMaxHilbert);
  const int h = (l - 1) / 2;
  const double* coeffs = s.HilbertCoeffs;
  double* hd = m->HilbertDelay;
  int hp = (m->HilbertPos >= 0 && m->HilbertPos < l) ? m->HilbertPos : 0;
  int pi = m->PathIndex;
  int idx = m->TableIndex;
  double dc = m->DcLevel;

  auto delay = [&](double v) {
    if (h == 0) return v;
    if (pi < 0 || pi >= h) pi = 0;
    const double d = m->PathDelay[pi];
    m->PathDelay[pi] = v;
    ++pi;
    return d;
  };
  auto hilbert = [&](double v) {
    hp = hp == 0 ? l - 1 : hp - 1;
    hd[hp] = v;
    hd[hp + l] = v;
    const double* e = hd + hp;
    double sum = 0.0;
    for (int j = 0; j < h; ++j) sum += e[2 * j + 1] * coeffs[2 * j + 1];
    return sum;
  };

  const int sideband = s.Sideband;
  for (int i = 0; i < n; ++i) {
    double x = in[i];
    if (s.DcReject) {
      dc = 0.9999 * dc + 0.0001 * x;
      x -= dc;
    }
    if (idx >= len || idx < 0) idx = 0;
    const double sn = s.SinTable[idx], cs = s.CosTable[idx];
    ++idx;
    double y;
    switch (sideband) {
      case 0:
        y = x * sn;
        break;
      case 1:
        y = hilbert(x) * cs - delay(x) * sn;
        break;
      case 3:
        y = delay(x * sn) + hilbert(x * cs);
        break;
      case 4:
        y = delay(x * cs) + hilbert(x * sn);
        break;
      default:
        y = delay(x) * cs - hilbert(x) * sn;
        break;
    }
    out[i] = y;
  }
  m->HilbertPos = hp;
  m->PathIndex = pi;
  m->TableIndex = idx;
  m->DcLevel = dc;
}
