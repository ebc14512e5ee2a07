// Reference-spectrum files: arbitrary text loaded into a line record, saved and loaded into a
// fresh record. The bin count and every bin must come back as they were loaded.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "interp/CliSpectrum.h"
#include "interp/SpectrumBuffer.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static auto first = std::make_unique<SpectrumBuffer>();
  static auto second = std::make_unique<SpectrumBuffer>();
  const std::string in = vt_fuzz::WriteInput("input.ref", data, size);
  const std::string out = vt_fuzz::PathOf("saved.ref");
  CLI_InitSpectrumBuffer(first.get());
  if (!CLI_LoadSpectrumFile(in.c_str(), first.get())) return 0;
  VT_FUZZ_CHECK(first->nr_of_bins >= 0 && first->nr_of_bins <= SPECTRUM_MAX_BINS);
  if (!CLI_SaveSpectrumFile(out.c_str(), first.get())) return 0;
  CLI_InitSpectrumBuffer(second.get());
  VT_FUZZ_CHECK(CLI_LoadSpectrumFile(out.c_str(), second.get()));
  VT_FUZZ_CHECK(second->nr_of_bins == first->nr_of_bins);
  VT_FUZZ_CHECK(std::memcmp(second->bins, first->bins,
                            sizeof(int16_t) * static_cast<size_t>(first->nr_of_bins)) == 0);
  return 0;
}
