#include "engine/DigiFilter.h"
#include "engine/CpuVariants.h"

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstdint>

DigiFilterBlock g_DigiFilters[2];
DigiFilterBlock g_EditedDigiFilters[2];
std::atomic<double> g_DigiFilterClipMax{1e20};
std::atomic<double> g_DigiFilterClipMin{-1e20};
std::atomic<int32_t> g_DigiFilterOverflows{0};
std::atomic<int32_t> g_DigiFilterExceptions{0};
std::atomic<bool> g_DigiFilterTestPeakZ{false};
std::atomic<double> g_DigiFilterPeakZ{0.0};

void DigiFilter_ResetGlobals() {
  g_DigiFilterClipMax.store(1e20);
  g_DigiFilterClipMin.store(-1e20);
  g_DigiFilterOverflows.store(0);
  g_DigiFilterExceptions.store(0);
  g_DigiFilterTestPeakZ.store(false);
  g_DigiFilterPeakZ.store(0.0);
}

void DigiFilter_Reset(DigiFilterBlock* f, bool clearCoeffs) {
  if (!f) return;
  if (clearCoeffs) {
    f->MaxCoeff = 0;
    f->Is_IIR = 0;
    f->Cascaded = 0;
    std::fill(std::begin(f->alpha), std::end(f->alpha), 0.0);
    std::fill(std::begin(f->beta), std::end(f->beta), 0.0);
  }
  std::fill(std::begin(f->z), std::end(f->z), 0.0);
  f->pZ = &f->z[0];
}

double DigiFilter_PeakZ(const DigiFilterBlock* f) {
  if (!f) return 0.0;
  const int m = std::min<int>(f->MaxCoeff, kDigiFilterMaxOrder);
  double peak = 0.0;
  for (int i = 0; i < m; ++i) peak = std::max(peak, f->z[i]);
  return peak;
}

namespace {

// Index of pZ within z[0..m], or 0 when it points anywhere else (compared as integers: the
// pointer may come from another record after a copy).
int FirRingIndex(const DigiFilterBlock* f, int m) {
  const auto base = reinterpret_cast<std::uintptr_t>(&f->z[0]);
  const auto p = reinterpret_cast<std::uintptr_t>(f->pZ);
  if (p < base || p > base + static_cast<std::uintptr_t>(m) * sizeof(double)) return 0;
  const std::uintptr_t off = p - base;
  if (off % sizeof(double) != 0) return 0;
  return static_cast<int>(off / sizeof(double));
}


constexpr int kFirTile = 32;    // outputs computed together, their sums kept in registers
constexpr int kFirChunk = 512;  // samples per pass over the linear history

// Four doubles as one value (one AVX register, two SSE registers in the baseline build);
// the unaligned, aliasing variant loads from any double array.
typedef double V4 __attribute__((vector_size(32)));
typedef double V4u __attribute__((vector_size(32), aligned(8), may_alias));

// out[i] = gain * sum over j = 0..taps-1 of rev[j] * buf[i + j], for i < tiles * kFirTile.
// Each output sums its taps in the same order whatever the tiling, so the result does not
// depend on how a stream is cut into blocks. The tile's sums stay in eight vector registers:
// one broadcast tap weights kFirTile contiguous samples.
VT_CLONES void FirTiles(const double* __restrict buf, const double* __restrict rev, int taps,
                        double gain, double* __restrict out, int tiles) {
  static_assert(kFirTile == 32, "the tile is eight vectors of four");
  for (int t = 0; t < tiles; ++t) {
    const double* base = buf + t * kFirTile;
    V4 a0{}, a1{}, a2{}, a3{}, a4{}, a5{}, a6{}, a7{};
    for (int j = 0; j < taps; ++j) {
      const double r = rev[j];
      const V4 w = {r, r, r, r};
      const V4u* s = reinterpret_cast<const V4u*>(base + j);  // s[k]: samples 4k .. 4k+3
      a0 += w * s[0];
      a1 += w * s[1];
      a2 += w * s[2];
      a3 += w * s[3];
      a4 += w * s[4];
      a5 += w * s[5];
      a6 += w * s[6];
      a7 += w * s[7];
    }
    const V4 g = {gain, gain, gain, gain};
    V4u* d = reinterpret_cast<V4u*>(out + t * kFirTile);
    d[0] = a0 * g;
    d[1] = a1 * g;
    d[2] = a2 * g;
    d[3] = a3 * g;
    d[4] = a4 * g;
    d[5] = a5 * g;
    d[6] = a6 * g;
    d[7] = a7 * g;
  }
}

// FIR with the circular delay line z[0..m] (pZ the newest sample). Works block-wise on a linear
// copy of the history so that the inner loop runs over contiguous samples and vectorises; the
// ring is written back in the same layout the sample-by-sample form leaves.
void ProcessFir(const double* in, double* out, double gain, int n, DigiFilterBlock* f, int m) {
  const int len = m + 1;
  int p = FirRingIndex(f, m);
  alignas(64) double rev[kDigiFilterCoeffs];  // rev[j] weights buf[i + j]: alpha reversed
  for (int j = 0; j <= m; ++j) rev[j] = f->alpha[m - j];
  // History, the chunk, and room for the last tile to read past the chunk's end.
  alignas(64) double buf[kDigiFilterMaxOrder + kFirChunk + kFirTile];
  // buf[m - 1 - j] = sample j + 1 steps before the first input = z[(p + j) % len].
  for (int j = 0; j < m; ++j) buf[m - 1 - j] = f->z[(p + j) % len];
  alignas(64) double acc[kFirChunk];
  for (int done = 0; done < n;) {
    const int c = std::min(kFirChunk, n - done);
    std::copy(in + done, in + done + c, buf + m);
    const int tiles = (c + kFirTile - 1) / kFirTile;
    // The last tile's unused outputs read zeros, never uninitialised memory.
    std::fill(buf + m + c, buf + m + tiles * kFirTile, 0.0);
    FirTiles(buf, rev, len, gain, acc, tiles);
    std::copy(acc, acc + c, out + done);
    // New ring state: pZ moved back c entries; z[(p' + j) % len] = sample j steps back.
    p = ((p - c) % len + len) % len;
    const int newest = m + c - 1;
    const int keep = std::min(len, newest + 1);
    for (int j = 0; j < keep; ++j) f->z[(p + j) % len] = buf[newest - j];
    // Keep the last m samples as history of the next chunk.
    if (m > 0) std::copy(buf + c, buf + c + m, buf);
    done += c;
  }
  f->pZ = &f->z[p];
}

// One IIR section (transposed direct form II) of order q starting at coefficient b.
// Returns the section output; counts clamps and non-finite results.
inline double IirSection(DigiFilterBlock* f, int b, int q, double s, double clipMax,
                         double clipMin, int& overflows, int& faults) {
  double* z = f->z;
  const double* a = f->alpha;
  const double* be = f->beta;
  if (q < 1) return s * a[b];  // order 0: a plain gain, no state
  double y = s * a[b] + z[b];
  if (std::isnan(y)) {
    // Non-finite input or state: count it and let the section restart from silence.
    ++faults;
    std::fill(z + b, z + b + q, 0.0);
    return 0.0;
  }
  if (y > clipMax) {
    y = clipMax;
    ++overflows;
  }
  if (!(y >= clipMin)) {
    y = clipMin;
    ++overflows;
  }
  double check = 0.0;
  for (int j = 1; j < q; ++j) {
    const double v = s * a[b + j] + z[b + j] - y * be[b + j];
    z[b + j - 1] = v;
    check += v;
  }
  const double last = s * a[b + q] - y * be[b + q];
  z[b + q - 1] = last;
  check += last;
  if (!std::isfinite(check)) {
    ++faults;
    std::fill(z + b, z + b + q, 0.0);
  }
  return y;
}

}  // namespace

void DigiFilter_Process(const double* in, double* out, double gain, int n, DigiFilterBlock* f) {
  if (!f || n < 1) return;
  if (f->MaxCoeff > kDigiFilterMaxOrder) f->MaxCoeff = kDigiFilterMaxOrder;
  const int m = std::max<int>(0, f->MaxCoeff);
  if (!f->Is_IIR) {
    ProcessFir(in, out, gain, n, f, m);
    return;
  }
  const int cascaded = f->Cascaded;
  if (cascaded == 1 || cascaded < 0) return;
  const double clipMax = g_DigiFilterClipMax.load(std::memory_order_relaxed);
  const double clipMin = g_DigiFilterClipMin.load(std::memory_order_relaxed);
  int overflows = 0, faults = 0;
  if (cascaded == 0) {
    for (int i = 0; i < n; ++i)
      out[i] = IirSection(f, 0, m, in[i], clipMax, clipMin, overflows, faults) * gain;
  } else {
    const int sections = (m + 1) / cascaded;
    const int q = cascaded - 1;
    for (int i = 0; i < n; ++i) {
      double s = in[i];
      for (int k = 0; k < sections; ++k)
        s = IirSection(f, k * cascaded, q, s, clipMax, clipMin, overflows, faults);
      out[i] = s * gain;
    }
  }
  if (overflows) g_DigiFilterOverflows.fetch_add(overflows, std::memory_order_relaxed);
  if (faults) g_DigiFilterExceptions.fetch_add(faults, std::memory_order_relaxed);
}
