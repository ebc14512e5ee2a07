#pragma once
// Filter files (INI text, numbers always with "."):
// - "*.flt": one filter per channel ("FilterParams", "FilterDescription", "FilterCoefficients",
//   "IIR3design", each + the channel suffix: "" for channel 0, "2" for channel 1);
// - "*.flc": the IIR-2 stage table ("FilterChainParams", "Stage0", "Stage1", ...);
// - "*.fir": the FIR-2 (Parks-McClellan) band table ("RemezFilterParams", "Band1", ...).
// Readers: a missing file, section or key is no error, every value keeps its default (mostly
// the current value). Writers throw EIniFileError ("Unable to write to <path>") when the file
// cannot be written; nothing is written then. Relative names are taken from the current
// directory. GUI thread only.
#include <functional>
#include <string>

#include "control/FilterDesigners.h"
#include "control/IIRChain.h"

struct DigiFilterBlock;

constexpr int kFilterDescriptionMaxLines = 20;

// The filter description that the filter control window shows in its memo (Mem_Description):
// read and written with the coefficient files.
extern FilterDescription g_FilterDescription;

// "" for channel 0, "2" for channel 1 (the channel number plus one for every other channel).
std::string FilterChannelSuffix(int ch);

// Reads one filter from the "*.flt" sections with the suffix into blk and replaces *desc
// ("Lines" lines, at most 20; 10 empty lines when the key is missing). MaxCoeff and Is_IIR
// default to blk's values, Cascaded to 0; MaxCoeff is kept as read (no limit), coefficients
// 0..MaxCoeff (never above 128) default to 0.0; coefficients above MaxCoeff keep their values.
void ReadFilterFile(const std::string& file, const std::string& suffix, DigiFilterBlock* blk,
                    FilterDescription* desc);
// Writes blk and the first 20 lines of *desc under the suffix (beta keys 1..MaxCoeff only for
// an IIR block).
void WriteFilterFile(const std::string& file, const std::string& suffix,
                     const DigiFilterBlock* blk, const FilterDescription& desc);

// ReadFilterFile of channel ch (0..1) into g_EditedDigiFilters[ch] and g_FilterDescription,
// then the channel's "IIR3design" section into g_IIR3DesignParams[ch]. Other channels: nothing.
void LoadFilterAndDesignParams(int ch, const std::string& file);
// WriteFilterFile of g_EditedDigiFilters[ch] and g_FilterDescription, then g_IIR3DesignParams[ch]
// as the "IIR3design" section.
void SaveFilterAndDesignParams(int ch, const std::string& file);

// The filter control window registers itself here when it exists; `updateCoeffGrid` refreshes
// its grid and memo. Pass an empty function when the window goes away.
void SetFilterControlWindowHook(std::function<void()> updateCoeffGrid);

// Used by the settings-file reader: when the filter control window exists, ReadFilterFile of
// channel ch's sections into blk and g_FilterDescription, the window's grid refresh, then
// ActivateEditedFilter(ch). Without the window: nothing.
void LoadFilterFileForChannel(int ch, const std::string& file, DigiFilterBlock* blk);

// "*.flc": NrOfStages (above 32 taken as 32, 0 or less reads no stage) and the stages
// 0..NrOfStages-1; each value defaults to what d holds.
void ReadFilterChainFile(const std::string& file, FilterChainDesign* d);
// Limits d->NrOfStages to 32 first (in d itself), then writes it and its stages.
void WriteFilterChainFile(const std::string& file, FilterChainDesign* d);

// The FIR-2 design as the window's controls hold it.
struct RemezDesignSpec {
  std::string NrCoeffs;    // Ed_FIR2Des_NrCoeffs text
  int NrBands = 2;         // Ed_FIR2Des_NrBands as integer (2 when it holds no integer)
  int FltType = 0;         // Combo_FIR2Des_Type item index
  std::string Bands[10][4];  // SG_FIR2Dec_FilterSpec rows 1..10, columns 1..4 (texts)
};
// Reads "*.fir": NrCoeffs (default design->NrCoeffs), NrBands (default 2, limited to 2..10),
// FltType (default 1), and the cells of bands 1..NrBands (default "").
void ReadRemezDesignFile(const std::string& file, RemezDesignSpec* design);
// Writes NrBands (above 10 taken as 10; 1 or less written as it is) and that many bands.
void WriteRemezDesignFile(const std::string& file, const RemezDesignSpec& design);
