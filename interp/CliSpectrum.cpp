// The interpreter's spectrum records and the level functions over them.
#include "interp/CliSpectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "interp/CliEval.h"

SpectrumBuffer g_LatestSpectrum;
SpectrumBuffer g_ReferenceSpectrum;
SpectrumBuffer g_DiffSpectrum;

namespace {

// Bins that a record really holds: nr_of_bins clamped to the record's capacity.
int UsableBins(const SpectrumBuffer* sb)
{
  if (sb->nr_of_bins <= 0) return 0;
  return sb->nr_of_bins < SPECTRUM_MAX_BINS ? sb->nr_of_bins : SPECTRUM_MAX_BINS;
}

bool ValidRange(int first, int last)
{
  return first >= 0 && last < SPECTRUM_MAX_BINS && first <= last;
}

int16_t ClampToBin(int v)
{
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<int16_t>(v);
}

void QuickSort(TSortItem* items, int left, int right)
{
  // Recurse into the smaller part and loop over the larger one, so the stack stays shallow
  // whatever the data; the partitions are the same as with two recursive calls.
  while (left < right) {
    int i = left, j = right;
    const double pivot = items[(left + right) / 2].value;
    do {
      while (items[i].value < pivot) ++i;
      while (items[j].value > pivot) --j;
      if (i <= j) {
        const TSortItem t = items[i];
        items[i] = items[j];
        items[j] = t;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - left < right - i) {
      if (left < j) QuickSort(items, left, j);
      left = i;
    } else {
      if (i < right) QuickSort(items, i, right);
      right = j;
    }
  }
}

}  // namespace

void SortByValue(TSortItem* items, int count, int /*flag*/)
{
  if (items && count > 1) QuickSort(items, 0, count - 1);
}

void CLI_InitSpectrumBuffer(SpectrumBuffer* sb)
{
  if (!sb) return;
  std::memset(sb, 0, sizeof *sb);
  sb->structSize = SPECTRUM_BUFFER_SIZE;
  sb->bin_width_hz = 1.0;
}

int CLI_FreqToBin(const SpectrumBuffer* sb, double freqHz)
{
  if (!sb || !(sb->bin_width_hz > 0.0)) return -1;
  const double i = (freqHz - sb->bin_width_hz) / sb->bin_width_hz;
  // Truncation toward zero: values above -1 become bin 0. Checked before any conversion.
  if (!(i > -1.0) || !(i < static_cast<double>(UsableBins(sb)))) return -1;
  return static_cast<int>(i);
}

int CLI_ParseFreqRange(int source, const SpectrumBuffer* sb, int* firstBin, int* lastBin)
{
  CLI_SkipSpaces();
  if (*g_CliParsePtr == '(') ++g_CliParsePtr;
  double f1 = 0.0;
  int rc = CLI_EvalExpression(source, &f1);
  if (rc < 0) return rc;
  int first = CLI_FreqToBin(sb, f1);
  int last = first;
  if (CLI_SkipComma()) {
    double f2 = 0.0;
    rc = CLI_EvalExpression(source, &f2);
    if (rc < 0) return rc;
    last = CLI_FreqToBin(sb, f2);
  }
  *firstBin = first;
  *lastBin = last;
  if (!ValidRange(first, last)) {
    std::strcpy(g_CliErrorText, "Error: avrg: illegal freq range");
    return CLI_ERR_FREQ_RANGE;
  }
  CLI_SkipSpaces();
  if (*g_CliParsePtr == ')') ++g_CliParsePtr;
  return CLI_OK;
}

double CLI_CalcNoiseLevel(int /*source*/, bool perHz, const SpectrumBuffer* sb, int first, int last)
{
  if (!sb || !ValidRange(first, last)) return CLI_INVALID_VALUE;
  // The lower quartile is element n / 4 of the bins in ascending order; selecting it gives the
  // same value as sorting the whole range, in linear time.
  static std::vector<int16_t> values;  // reused: the GUI thread calls this per display update
  const int n = last - first + 1;
  values.assign(sb->bins + first, sb->bins + last + 1);
  std::nth_element(values.begin(), values.begin() + n / 4, values.end());
  double level = values[n / 4] * sb->scale_factor + 3.0;
  if (perHz && sb->bin_width_hz > 0.0) level -= 10.0 * std::log10(sb->bin_width_hz);
  return level;
}

double CLI_CalcAverageLevel(int /*source*/, bool perHz, const SpectrumBuffer* sb, int first, int last)
{
  if (!sb || !ValidRange(first, last)) return CLI_INVALID_VALUE;
  const int n = last - first + 1;
  if (sb->scale_unit == SPECTRUM_UNIT_LINEAR) {
    double sum = 0.0;
    for (int i = first; i <= last; ++i) sum += sb->bins[i];
    double level = sum / n * sb->scale_factor;
    if (perHz && sb->bin_width_hz > 0.0) level *= std::sqrt(sb->bin_width_hz);
    return level;
  }
  if (sb->scale_unit == SPECTRUM_UNIT_DB) {
    // Power average: each bin b is 10^(b * scale_factor / 10).
    const double k = (sb->scale_factor != 0.0 ? 0.1 * sb->scale_factor : 0.001) * std::log(10.0);
    double sum = 0.0;
    for (int i = first; i <= last; ++i) sum += std::exp(sb->bins[i] * k);
    double level = 10.0 * std::log10(sum / n);
    if (perHz && sb->bin_width_hz > 0.0) level -= 10.0 * std::log10(sb->bin_width_hz);
    return level;
  }
  return CLI_INVALID_VALUE;
}

int CLI_FindPeakBin(const SpectrumBuffer* sb, int first, int last)
{
  if (!sb || !ValidRange(first, last)) return -1;
  int best = first;
  for (int i = first + 1; i <= last; ++i)
    if (sb->bins[i] > sb->bins[best]) best = i;
  return best;
}

void CLI_SubtractRefSpectrum(const SpectrumBuffer* src, SpectrumBuffer* dst)
{
  if (!src || !dst) return;
  const SpectrumBuffer* ref = &g_ReferenceSpectrum;
  if (dst != src) std::memcpy(dst, src, SPECTRUM_HEADER_SIZE);
  if (dst->nr_of_bins < 0) dst->nr_of_bins = 0;
  double step = 1.0, pos = 0.0;
  if (ref->bin_width_hz > 0.0 && src->bin_width_hz > 0.0) {
    step = src->bin_width_hz / ref->bin_width_hz;
    pos = (src->offset_hz - ref->offset_hz) / ref->bin_width_hz;
  }
  const int n = UsableBins(dst);
  const double refBins = UsableBins(ref);
  for (int i = 0; i < n; ++i) {
    // The position is range-checked before it becomes an index (NaN fails the test).
    if (pos >= 0.0 && pos < refBins)
      dst->bins[i] = ClampToBin(src->bins[i] - ref->bins[static_cast<int>(pos)]);
    else
      dst->bins[i] = src->bins[i];
    pos += step;
  }
}
