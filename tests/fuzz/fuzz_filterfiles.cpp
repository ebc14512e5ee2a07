// Filter files: the first byte picks the kind (".flt" coefficients, ".flc" stage table, ".fir"
// remez design), the rest is the file. What was loaded is designed where it is a design, handed
// to the running filter as the filter window does, and run over a block of samples.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "control/FilterDesigners.h"
#include "control/FilterFiles.h"
#include "control/FilterHandover.h"
#include "control/IIRChain.h"
#include "engine/DigiFilter.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

void RunChannel(int ch)
{
  if (!ActivateEditedFilter(ch)) return;
  const DigiFilterBlock& running = g_DigiFilters[ch];
  VT_FUZZ_CHECK(running.MaxCoeff >= 1 && running.MaxCoeff <= 128);
  std::vector<double> in(512), out(512);
  for (size_t i = 0; i < in.size(); ++i) in[i] = 20000.0 * std::sin(0.3 * static_cast<double>(i));
  DigiFilter_Process(in.data(), out.data(), 1.0, static_cast<int>(in.size()), &g_DigiFilters[ch]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1) return 0;
  const int kind = data[0] % 3;
  const int ch = (data[0] / 3) % 2;
  const std::string path = vt_fuzz::WriteInput("input.flt", data + 1, size - 1);
  DigiFilterBlock undo{};
  FilterDescription desc{};
  std::string message;
  switch (kind) {
    case 0:
      LoadFilterAndDesignParams(ch, path);
      break;
    case 1: {
      FilterChainDesign chain{};
      ReadFilterChainFile(path, &chain);
      VT_FUZZ_CHECK(chain.NrOfStages <= kFilterChainStages);
      DesignIIR2Filter(chain, 11025.0, &g_EditedDigiFilters[ch], &undo, &desc, &message);
      break;
    }
    default: {
      RemezDesignSpec design;
      design.NrCoeffs = "20";
      ReadRemezDesignFile(path, &design);
      VT_FUZZ_CHECK(design.NrBands >= 2 && design.NrBands <= 10);
      FIR2DesignInput in;
      in.NrCoeffsText = design.NrCoeffs;
      in.NrBandsText = std::to_string(design.NrBands);
      in.TypeIndex = design.FltType;
      for (int b = 0; b < 10; ++b)
        for (int c = 0; c < 4; ++c) in.Cells[b][c] = design.Bands[b][c];
      DesignFIR2Filter(in, &g_EditedDigiFilters[ch], &undo, &desc, &message);
      break;
    }
  }
  RunChannel(ch);
  return 0;
}
