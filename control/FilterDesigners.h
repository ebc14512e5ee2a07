#pragma once
// The filter designers of the filter control window, without the window: each takes what its
// page's controls hold (texts as typed), designs into the edited DigiFilterBlock of the channel
// and writes the description text. The window calls them, then refreshes its grid and calls
// ActivateEditedFilter (control/FilterHandover.h).
//
// Common contract: a result of 0 means designed: `undo` (may be null) first received a copy of
// *edited, then *edited was changed and *desc replaced. A negative result means refused:
// edited, undo and desc are unchanged and `message` (may be null) says why ("" for the silent
// refusals the window shows no text for).
#include <string>
#include <vector>

#include "control/IIRChain.h"

struct DigiFilterBlock;

// The filter description: one text per window (memo lines).
using FilterDescription = std::vector<std::string>;

// The rate the designers work at: the rate the filters run at (g_ProcessingSampleRate, the
// card's calibrated rate after the input halving stages), or the nominal SndConfig.SampleRate
// while that is not known yet. A filter designed at the card's rate would, with input
// decimation, sit at a half, a quarter or an eighth of its frequencies.
double FilterDesignSampleRate();
// A sample rate as the pages and descriptions show it: whole Hz without decimals, else up to
// three decimals ("11025", "5512.5").
std::string SampleRateText(double rate);

// ---- IIR-1: Chebyshev low / high pass ("IIR-Design1" page) ----
struct IIR1DesignInput {
  std::string CutoffText = "800";   // Hz, integer text (800 when no integer)
  std::string RippleText = "25";    // percent, integer text (25 when no integer)
  std::string PolesText = "16";     // integer text (4 when no integer); above 20 taken as 20
  bool HighPass = false;
  double SampleRate = 11025.0;      // Hz, FilterDesignSampleRate() in the window
};
enum {
  DESIGN_OK = 0,
  DESIGN_IGNORED = -1,       // input the window silently ignores (odd pole count, stage count)
  DESIGN_ERR_RANGE = -2,     // a frequency or bandwidth that defines no filter
  DESIGN_ERR_UNSTABLE = -3,  // the design came out unstable (poles outside the unit circle)
  DESIGN_ERR_REMEZ = -4,     // Parks-McClellan refused the band table
};
int DesignIIR1Filter(const IIR1DesignInput& in, DigiFilterBlock* edited, DigiFilterBlock* undo,
                     FilterDescription* desc, std::string* message);

// ---- IIR-2: cascaded stages ("IIR-Design2" page) ----
// Designs the stage table (count 1..33) with ripple 10 % for its low / high pass stages at the
// sample rate fs. A stage of unknown type leaves its section as it was and adds
// "Error in stage<n>" to the description (the design still counts as done). A stage whose
// frequency or bandwidth defines no stable section refuses the whole design
// (DESIGN_ERR_RANGE, message names the stage). A count of 0 or less, or above the 33 stages
// of the table, is ignored (DESIGN_IGNORED).
int DesignIIR2Filter(const FilterChainDesign& chain, double fs, DigiFilterBlock* edited,
                     DigiFilterBlock* undo, FilterDescription* desc, std::string* message);

// ---- IIR-3: band-pass chain ("IIR-Design3" page) ----
// The description written after every IIR-3 design (also after an error): stageCount is the
// stage table's count after the design; the texts are those of the page's controls.
FilterDescription IIR3Description(int stageCount, const std::string& fcenterText,
                                  const std::string& bandwidthText,
                                  const std::string& responseText);
// The label text for a negative CalculateIIRBandpassChain code.
std::string IIR3ErrorText(int code);

// ---- FIR-1: windowed-sinc low pass ("FIR-Design1" page) ----
struct FIR1DesignInput {
  std::string FsampleText = "11025";   // Hz (11025.0 when no number)
  std::string FcutoffText = "1700";    // Hz (2000.0 when no number)
  std::string BandwidthText = "700";   // transition band, Hz (100.0 when no number)
};
// Refused: sample rate not above 0, cut-off outside 0 < fc < fs/2, bandwidth not above 0.
int DesignFIR1Filter(const FIR1DesignInput& in, DigiFilterBlock* edited, DigiFilterBlock* undo,
                     FilterDescription* desc, std::string* message);

// ---- FIR-2: Parks-McClellan ("FIR-Design2" page) ----
struct FIR2DesignInput {
  std::string NrCoeffsText = "104";   // integer (10 when no integer), limited to 2..128
  std::string NrBandsText = "5";      // integer (2 when no integer), limited to 1..10
  int TypeIndex = 0;                  // 0 BANDPASS, 1 DIFFERENTIATOR, 2 HILBERT, other: band pass
  std::string Cells[10][4];           // per band: lower edge, upper edge, response, weight
};
// On success `message` is the designer label's text: "Remez filter design ok", or the remez
// warning (which is also the description's last line).
int DesignFIR2Filter(const FIR2DesignInput& in, DigiFilterBlock* edited, DigiFilterBlock* undo,
                     FilterDescription* desc, std::string* message);
