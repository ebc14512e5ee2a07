#pragma once
// One spectrum line as the main window produces it and the interpreter, the displays, the
// spectrum history and the reference-spectrum file use it.
#include <cstddef>
#include <cstdint>

constexpr int SPECTRUM_MAX_BINS = 32768;     // capacity of SpectrumBuffer::bins
constexpr int SPECTRUM_BUFFER_SIZE = 65600;  // bytes of one record, also its structSize
constexpr int SPECTRUM_UNIT_LINEAR = 1;      // scale_unit: linear bins
constexpr int SPECTRUM_UNIT_DB = 4;          // scale_unit: bins in (usually) hundredths of a dB

struct SpectrumBuffer {
  int32_t structSize;   // always SPECTRUM_BUFFER_SIZE
  double time;          // time of the line, Unix seconds UTC
  double bin_width_hz;  // effective sample rate / FFT length; > 0 for a valid line
  double offset_hz;     // frequency of bin 0 in the displays' convention (bin i at offset + i * width)
  int32_t nr_of_bins;   // meaningful bins, 0..SPECTRUM_MAX_BINS
  int32_t scale_unit;   // SPECTRUM_UNIT_LINEAR or SPECTRUM_UNIT_DB
  double scale_factor;  // value of one bin unit (0.01 for dB, 1/32767 for linear)
  double scale_offset;  // added by the displays only (user dB offset)
  int32_t avrg_count;   // FFTs averaged into the line
  int16_t bins[SPECTRUM_MAX_BINS];  // levels clamped to -32768..32767
};

// Everything before the bins: copied as one block by the reference subtraction.
constexpr size_t SPECTRUM_HEADER_SIZE = offsetof(SpectrumBuffer, bins);

static_assert(sizeof(SpectrumBuffer) == SPECTRUM_BUFFER_SIZE,
              "a spectrum line record must be exactly 65,600 bytes");
static_assert(SPECTRUM_HEADER_SIZE == 60, "unexpected spectrum header layout");
