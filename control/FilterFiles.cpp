#include "control/FilterFiles.h"

#include <filesystem>

#include "control/FilterHandover.h"
#include "engine/DigiFilter.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

FilterDescription g_FilterDescription;

namespace {
std::function<void()> g_UpdateCoeffGridHook;

// Relative names are taken from the current directory.
std::string AbsoluteName(const std::string& file) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(file, ec);
  return ec ? file : p.string();
}

int LastCoeffIndex(int maxCoeff) { return maxCoeff > kDigiFilterMaxOrder ? kDigiFilterMaxOrder : maxCoeff; }

// prefix followed by n in decimal (n with at least `digits` digits).
std::string Key(const char* prefix, int n, int digits = 1) {
  std::string key(prefix);
  const std::string num = IntToStr(n);
  for (int i = static_cast<int>(num.size()); i < digits; ++i) key += '0';
  key += num;
  return key;
}

void ReadFilterSections(const IniFile& ini, const std::string& suffix, DigiFilterBlock* blk,
                        FilterDescription* desc) {
  const std::string params = "FilterParams" + suffix;
  blk->MaxCoeff = ini.ReadInteger(params, "MaxCoeff", blk->MaxCoeff);
  blk->Is_IIR = ini.ReadInteger(params, "Is_IIR", blk->Is_IIR) != 0 ? 1 : 0;
  blk->Cascaded = ini.ReadInteger(params, "Cascaded", 0);

  const std::string descSec = "FilterDescription" + suffix;
  int lines = ini.ReadInteger(descSec, "Lines", 10);
  if (lines > kFilterDescriptionMaxLines) lines = kFilterDescriptionMaxLines;
  if (desc) {
    desc->clear();
    for (int i = 0; i < lines; ++i) desc->push_back(ini.ReadString(descSec, Key("l", i, 2), ""));
  }

  const std::string coeffs = "FilterCoefficients" + suffix;
  const int last = LastCoeffIndex(blk->MaxCoeff);
  for (int n = 0; n <= last; ++n) {
    blk->alpha[n] = StrToFloatDef(ini.ReadString(coeffs, Key("alpha", n), "0"), 0.0);
    blk->beta[n] = StrToFloatDef(ini.ReadString(coeffs, Key("beta", n), "0"), 0.0);
  }
}

void WriteFilterSections(IniFile& ini, const std::string& suffix, const DigiFilterBlock* blk,
                         const FilterDescription& desc) {
  const std::string params = "FilterParams" + suffix;
  ini.WriteInteger(params, "MaxCoeff", blk->MaxCoeff);
  ini.WriteInteger(params, "Is_IIR", blk->Is_IIR ? 1 : 0);
  ini.WriteInteger(params, "Cascaded", blk->Cascaded);

  const std::string descSec = "FilterDescription" + suffix;
  const int lines = static_cast<int>(desc.size() > kFilterDescriptionMaxLines
                                         ? kFilterDescriptionMaxLines
                                         : desc.size());
  ini.WriteInteger(descSec, "Lines", lines);
  for (int i = 0; i < lines; ++i) ini.WriteString(descSec, Key("l", i, 2), desc[i]);

  const std::string coeffs = "FilterCoefficients" + suffix;
  const int last = LastCoeffIndex(blk->MaxCoeff);
  for (int n = 0; n <= last; ++n) {
    ini.WriteString(coeffs, Key("alpha", n), FloatToStr(blk->alpha[n]));
    if (blk->Is_IIR && n >= 1) ini.WriteString(coeffs, Key("beta", n), FloatToStr(blk->beta[n]));
  }
}
}  // namespace

std::string FilterChannelSuffix(int ch) { return ch == 0 ? "" : IntToStr(ch + 1); }

void ReadFilterFile(const std::string& file, const std::string& suffix, DigiFilterBlock* blk,
                    FilterDescription* desc) {
  if (!blk) return;
  IniFile ini(AbsoluteName(file));
  ReadFilterSections(ini, suffix, blk, desc);
}

void WriteFilterFile(const std::string& file, const std::string& suffix,
                     const DigiFilterBlock* blk, const FilterDescription& desc) {
  if (!blk) return;
  IniFile ini(AbsoluteName(file));
  WriteFilterSections(ini, suffix, blk, desc);
  ini.UpdateFile();
}

void LoadFilterAndDesignParams(int ch, const std::string& file) {
  if (ch < 0 || ch > 1) return;
  const std::string suffix = FilterChannelSuffix(ch);
  IniFile ini(AbsoluteName(file));
  ReadFilterSections(ini, suffix, &g_EditedDigiFilters[ch], &g_FilterDescription);
  IIR3DesignParams& p = g_IIR3DesignParams[ch];
  const std::string sec = "IIR3design" + suffix;
  p.Fcenter = StrToFloatDef(ini.ReadString(sec, "Fcenter", ""), p.Fcenter);
  p.Bandwidth = StrToFloatDef(ini.ReadString(sec, "Bandwidth", ""), p.Bandwidth);
  p.Response = ini.ReadInteger(sec, "Response", p.Response);
}

void SaveFilterAndDesignParams(int ch, const std::string& file) {
  if (ch < 0 || ch > 1) return;
  const std::string suffix = FilterChannelSuffix(ch);
  IniFile ini(AbsoluteName(file));
  WriteFilterSections(ini, suffix, &g_EditedDigiFilters[ch], g_FilterDescription);
  const IIR3DesignParams& p = g_IIR3DesignParams[ch];
  const std::string sec = "IIR3design" + suffix;
  ini.WriteString(sec, "Fcenter", FloatToStr(p.Fcenter));
  ini.WriteString(sec, "Bandwidth", FloatToStr(p.Bandwidth));
  ini.WriteInteger(sec, "Response", p.Response);
  ini.UpdateFile();
}

void SetFilterControlWindowHook(std::function<void()> updateCoeffGrid) {
  g_UpdateCoeffGridHook = std::move(updateCoeffGrid);
}

void LoadFilterFileForChannel(int ch, const std::string& file, DigiFilterBlock* blk) {
  if (!g_UpdateCoeffGridHook || !blk) return;
  ReadFilterFile(file, FilterChannelSuffix(ch), blk, &g_FilterDescription);
  g_UpdateCoeffGridHook();
  ActivateEditedFilter(ch);
}

void ReadFilterChainFile(const std::string& file, FilterChainDesign* d) {
  if (!d) return;
  IniFile ini(AbsoluteName(file));
  int n = ini.ReadInteger("FilterChainParams", "NrOfStages", d->NrOfStages);
  if (n > kFilterChainFileStages) n = kFilterChainFileStages;
  d->NrOfStages = n;
  for (int i = 0; i < n; ++i) {
    FilterChainStage& st = d->Stage[i];
    const std::string sec = Key("Stage", i);
    st.filter_type = ini.ReadInteger(sec, "filter_type", st.filter_type);
    st.f_center = StrToFloatDef(ini.ReadString(sec, "f_center", ""), st.f_center);
    st.bandwidth = StrToFloatDef(ini.ReadString(sec, "bandwidth", ""), st.bandwidth);
    st.gain = StrToFloatDef(ini.ReadString(sec, "gain", ""), st.gain);
  }
}

void WriteFilterChainFile(const std::string& file, FilterChainDesign* d) {
  if (!d) return;
  if (d->NrOfStages > kFilterChainFileStages) d->NrOfStages = kFilterChainFileStages;
  IniFile ini(AbsoluteName(file));
  ini.WriteInteger("FilterChainParams", "NrOfStages", d->NrOfStages);
  for (int i = 0; i < d->NrOfStages; ++i) {
    const FilterChainStage& st = d->Stage[i];
    const std::string sec = Key("Stage", i);
    ini.WriteInteger(sec, "filter_type", st.filter_type);
    ini.WriteString(sec, "f_center", FloatToStr(st.f_center));
    ini.WriteString(sec, "bandwidth", FloatToStr(st.bandwidth));
    ini.WriteString(sec, "gain", FloatToStr(st.gain));
  }
  ini.UpdateFile();
}

namespace {
const char* const kBandKeys[4] = {"l_edge", "u_edge", "response", "weight"};
}

void ReadRemezDesignFile(const std::string& file, RemezDesignSpec* design) {
  if (!design) return;
  IniFile ini(AbsoluteName(file));
  design->NrCoeffs = ini.ReadString("RemezFilterParams", "NrCoeffs", design->NrCoeffs);
  int nb = ini.ReadInteger("RemezFilterParams", "NrBands", 2);
  if (nb < 2) nb = 2;
  if (nb > 10) nb = 10;
  design->NrBands = nb;
  design->FltType = ini.ReadInteger("RemezFilterParams", "FltType", 1);
  for (int b = 0; b < nb; ++b) {
    const std::string sec = Key("Band", b + 1);
    for (int c = 0; c < 4; ++c) design->Bands[b][c] = ini.ReadString(sec, kBandKeys[c], "");
  }
}

void WriteRemezDesignFile(const std::string& file, const RemezDesignSpec& design) {
  IniFile ini(AbsoluteName(file));
  const int nb = design.NrBands > 10 ? 10 : design.NrBands;
  ini.WriteString("RemezFilterParams", "NrCoeffs", design.NrCoeffs);
  ini.WriteInteger("RemezFilterParams", "NrBands", nb);
  ini.WriteInteger("RemezFilterParams", "FltType", design.FltType);
  for (int b = 0; b < nb; ++b) {
    const std::string sec = Key("Band", b + 1);
    for (int c = 0; c < 4; ++c) ini.WriteString(sec, kBandKeys[c], design.Bands[b][c]);
  }
  ini.UpdateFile();
}
