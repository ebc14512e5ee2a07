// libFuzzer target: arbitrary bytes read as a coefficient file (both channel suffixes, with the
// design parameters), a stage-table file and a remez design file, into the records the filter
// control window reads them into. The first byte picks the starting MaxCoeff of the blocks.
#include <cstdint>
#include <cstdio>
#include <string>

#include "control/FilterFiles.h"
#include "engine/DigiFilter.h"
#include "tests/interp/fuzz/FuzzTempFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  FILE* f = std::fopen(FuzzTempFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  const std::string& name = FuzzTempFile();

  for (DigiFilterBlock& b : g_EditedDigiFilters) {
    DigiFilter_Reset(&b, true);
    b.MaxCoeff = static_cast<int8_t>(data[0]);  // also negative and above 128
  }
  DigiFilterBlock blk = g_EditedDigiFilters[0];
  FilterDescription desc;
  ReadFilterFile(name, "", &blk, &desc);
  LoadFilterAndDesignParams(0, name);
  LoadFilterAndDesignParams(1, name);

  static FilterChainDesign chain;
  ReadFilterChainFile(name, &chain);

  RemezDesignSpec remez;
  ReadRemezDesignFile(name, &remez);
  return 0;
}
