#pragma once
// Cascaded second-order IIR stages (IIR-2 designer) and the narrow band-pass chain transformed
// from a low-pass prototype (IIR-3 designer). Sections run in a DigiFilterBlock with
// Cascaded = 3: section k occupies alpha/beta entries 3k..3k+2, alpha = a0, a1, a2 (times the
// stage gain), beta = 0, -b1, -b2, for y[n] = a0 x[n] + a1 x[n-1] + a2 x[n-2] + b1 y[n-1] + b2 y[n-2].
#include <cstdint>
#include <string>

struct DigiFilterBlock;

// One IIR-2 stage.
struct FilterChainStage {
  int32_t filter_type;  // 0 bypass, 1 low pass, 2 high pass, 3 band pass, 4 band reject
  double f_center;      // Hz: centre (band pass / reject) or cut-off (low / high pass)
  double bandwidth;     // Hz (band pass / reject)
  double gain;          // linear factor applied to the section's feed-forward coefficients
};

constexpr int kFilterChainStages = 33;     // entries 0..32 of the table
constexpr int kFilterChainFileStages = 32; // a chain file carries at most 32

// The IIR-2 stage table.
struct FilterChainDesign {
  int32_t NrOfStages;
  FilterChainStage Stage[kFilterChainStages];
};

// IIR-3 designer parameters of one channel.
struct IIR3DesignParams {
  double Fcenter;    // Hz
  double Bandwidth;  // Hz
  int32_t Response;  // 0..7, index into the prototype table (IIR3ResponseName)
};

// Both channels' IIR-3 parameters (GUI thread). Set to 650.0 Hz, 100.0 Hz, 1 by the filter
// control window's create handler; loaded and saved with the filter file.
extern IIR3DesignParams g_IIR3DesignParams[2];

constexpr int kIIR3Responses = 8;
// Item text of prototype `response` ("Butterworth, n=10", ...); "" outside 0..7.
const char* IIR3ResponseName(int response);

// Narrow-band second-order section (S. W. Smith, "The Scientist and Engineer's Guide to DSP",
// chapter 19, band-pass and band-reject) centred at f Hz with bandwidth bw Hz at sample rate
// fs Hz. R = 1 - 3 bw/fs is the pole radius. Refused (false, outputs unchanged) unless
// 0 < f < fs/2 and 0 < R < 1 (i.e. 0 < bw < fs/3): elsewhere the section is undefined or
// unstable.
bool CalcNarrowBandSection(double f, double bw, double fs, bool bandReject, double* a0,
                           double* a1, double* a2, double* b1, double* b2);

// Writes the biquad of `stage` into section stageIndex of `block` (sample rate fs Hz, ripple in
// percent for the low / high pass stages). Bypass gives a0 = gain. Low / high pass: a two-pole
// Chebyshev section of a 4-pole design at f_center/fs, pole pair = stageIndex (positions whose
// pole would lie in the right half-plane get the stable mirror pole), not gain-normalised.
// False, nothing written, for a filter_type outside 0..4, a section index outside 0..41
// (3k must stay below 126), or stage parameters that define no stable section (cut-off or centre
// not inside 0 < f < fs/2, band width giving R <= 0, non-finite gain).
bool CalcIIRChainStage(const FilterChainStage* stage, double ripple, double fs,
                       DigiFilterBlock* block, int stageIndex);

// Result codes of CalculateIIRBandpassChain.
enum {
  IIR3_OK = 1,
  IIR3_ERR_BANDWIDTH = -1,      // Bandwidth not above 0
  IIR3_ERR_Q = -2,              // Fcenter / Bandwidth not above 0 (or a section index >= 42)
  IIR3_ERR_SAMPLERATE = -3,     // fs not above 0
  IIR3_ERR_RESPONSE = -4,       // Response outside 0..7
  IIR3_ERR_G = -10,             // pole pair transformation not realisable (G < 0)
  IIR3_ERR_M = -11,             // pole pair transformation not realisable (M^2 - 1 <= 0)
  IIR3_ERR_SECTION = -12,       // a section's centre or bandwidth defines no stable section
};

// Transforms the low-pass prototype `Response` (table of normalised poles, 3 dB at 1 rad/s)
// into 8 or 10 narrow band-pass biquads centred around Fcenter with the 3 dB bandwidth
// Bandwidth (Hz, sample rate fs Hz). On success (1): block gets MaxCoeff = 3n - 1, Is_IIR 1,
// Cascaded 3 and the n sections; `table` (may be null) gets NrOfStages = n and the band-pass
// stages (f_center, bandwidth, gain) of the sections, in section order (each pole pair gives
// the lower section first). Every error leaves block and table unchanged.
int CalculateIIRBandpassChain(double Fcenter, double Bandwidth, double fs, int Response,
                              DigiFilterBlock* block, FilterChainDesign* table);
