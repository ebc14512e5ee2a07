#include "engine/FreqMixer.h"
#include "engine/CpuVariants.h"

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

constexpr int kMixChunk = 256;  // samples per pass of the phasing stages
constexpr int kHilbertTile = 16;


typedef double V4 __attribute__((vector_size(32)));
typedef double V4u __attribute__((vector_size(32), aligned(8), may_alias));

// Hilbert outputs of a chunk from a linear history: out[i] = sum over j = 0..h-1 of
// coef[2j + 1] * buf[hist + i - 2j - 1] (buf[hist + i] is input i, buf[hist - k] the input k
// steps before the chunk), for i < tiles * kHilbertTile. The taps are summed in the same order
// for every output, so the result does not depend on how the stream is cut into blocks.
VT_CLONES void HilbertTiles(const double* __restrict buf, int hist, const double* __restrict coef, int h,
                  double* __restrict out, int tiles) {
  for (int t = 0; t < tiles; ++t) {
    const double* base = buf + hist + t * kHilbertTile - 1;
    V4 a0{}, a1{}, a2{}, a3{};
    for (int j = 0; j < h; ++j) {
      const double c = coef[2 * j + 1];
      const V4 w = {c, c, c, c};
      const V4u* s = reinterpret_cast<const V4u*>(base - 2 * j);
      a0 += s[0] * w;
      a1 += s[1] * w;
      a2 += s[2] * w;
      a3 += s[3] * w;
    }
    V4u* d = reinterpret_cast<V4u*>(out + t * kHilbertTile);
    d[0] = a0;
    d[1] = a1;
    d[2] = a2;
    d[3] = a3;
  }
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

void FreqMixer_InitBothFromSettings() {
  FreqMixer_Init(&g_FreqMixers[0], SndConfig.MixerFrequency, SndConfig.MixerSideband,
                 SndConfig.MixerDcReject, SndConfig.FreqMixerEnabled);
  const MixerSettings& second = SndConfig.SecondMixer;
  FreqMixer_Init(&g_FreqMixers[1], second.MixerFrequency, second.MixerSideband,
                 second.MixerDcReject, second.FreqMixerEnabled);
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
  const int sideband = s.Sideband;
  int idx = m->TableIndex;
  double dc = m->DcLevel;

  if (sideband == 0) {
    for (int i = 0; i < n; ++i) {
      double x = in[i];
      if (s.DcReject) {
        dc = 0.9999 * dc + 0.0001 * x;
        x -= dc;
      }
      if (idx >= len || idx < 0) idx = 0;
      out[i] = x * s.SinTable[idx];
      ++idx;
    }
    m->TableIndex = idx;
    m->DcLevel = dc;
    return;
  }

  // Phasing modes, stage by stage over chunks on linear copies of the two delay lines.
  // hb: the Hilbert input, l samples of history then the chunk (and zeros up to the last
  // tile); db: the other path's input, h samples of history then the chunk, so that the path
  // delayed by h samples is db[i]. (The taps reach l - 2 samples back; l are kept so that the
  // whole ring is written back.)
  const int hist = l;
  double hb[kMixerMaxHilbert + kMixChunk + kHilbertTile];
  double db[kMixerMaxHilbert + kMixChunk];
  {
    // The ring's newest entry is HilbertPos; entry HilbertPos + k - 1 (doubled storage) is the
    // input k steps before the chunk.
    const int hp = (m->HilbertPos >= 0 && m->HilbertPos < l) ? m->HilbertPos : 0;
    for (int k = 1; k <= hist; ++k) hb[hist - k] = m->HilbertDelay[hp + k - 1];
    // The path ring's next slot PathIndex holds the oldest value; slot PathIndex - k the
    // value k steps back.
    int pi = m->PathIndex;
    if (pi < 0 || pi >= h) pi = 0;
    for (int k = 1; k <= h; ++k) db[h - k] = m->PathDelay[((pi - k) % h + h) % h];
  }
  const double* coeffs = s.HilbertCoeffs;
  double sn[kMixChunk], cs[kMixChunk], hil[kMixChunk + kHilbertTile];
  for (int done = 0; done < n;) {
    const int c = std::min(kMixChunk, n - done);
    const double* x = in + done;
    double* y = out + done;
    double* hin = hb + hist;
    double* din = db + h;
    for (int i = 0; i < c; ++i) {
      if (idx >= len || idx < 0) idx = 0;
      sn[i] = s.SinTable[idx];
      cs[i] = s.CosTable[idx];
      ++idx;
    }
    for (int i = 0; i < c; ++i) {
      double v = x[i];
      if (s.DcReject) {
        dc = 0.9999 * dc + 0.0001 * v;
        v -= dc;
      }
      din[i] = v;
    }
    switch (sideband) {
      case 3:
        for (int i = 0; i < c; ++i) {
          hin[i] = din[i] * cs[i];
          din[i] *= sn[i];
        }
        break;
      case 4:
        for (int i = 0; i < c; ++i) {
          hin[i] = din[i] * sn[i];
          din[i] *= cs[i];
        }
        break;
      default:
        for (int i = 0; i < c; ++i) hin[i] = din[i];
        break;
    }
    const int tiles = (c + kHilbertTile - 1) / kHilbertTile;
    std::fill(hin + c, hin + tiles * kHilbertTile, 0.0);
    HilbertTiles(hb, hist, coeffs, h, hil, tiles);
    switch (sideband) {
      case 1:
        for (int i = 0; i < c; ++i) y[i] = hil[i] * cs[i] - db[i] * sn[i];
        break;
      case 3:
      case 4:
        for (int i = 0; i < c; ++i) y[i] = db[i] + hil[i];
        break;
      default:
        for (int i = 0; i < c; ++i) y[i] = db[i] * cs[i] - hil[i] * sn[i];
        break;
    }
    // Slide both histories (out may be the same array as in: the inputs are copies here).
    std::memmove(hb, hb + c, sizeof(double) * hist);
    if (h > 0) std::memmove(db, db + c, sizeof(double) * h);
    done += c;
  }
  // Write the delay lines back as rings: the newest Hilbert input at entry 0 (and its double
  // at l), the path ring's oldest value at slot 0.
  const double* newest = hb + hist - 1;  // hb[hist - 1 - k]: k steps before the end
  for (int k = 0; k < l; ++k) m->HilbertDelay[k] = m->HilbertDelay[k + l] = newest[-k];
  m->HilbertPos = 0;
  if (h > 0) {
    for (int k = 0; k < h; ++k) m->PathDelay[k] = db[k];
    m->PathIndex = 0;
  }
  m->TableIndex = idx;
  m->DcLevel = dc;
}
