#pragma once
// What the main window uses of the text export: the active flag, the definition's change
// bookkeeping, and the two window operations it calls (the export step after each new
// spectrum line, and saving the definition). GUI thread only.
//
// The export window (TExportForm) installs its OnSpectrum and SaveSettings here when it is
// created; until then both calls do nothing.
#include <cstdint>
#include <functional>

extern int32_t g_ExportActive;              // non-zero while the export runs
extern int32_t g_ExportDefinitionChanged;   // the definition was changed since the last save
extern double g_ExportDefinitionSaveTime;   // Unix seconds of the last save (0 never)

// Installs (or, with empty functions, removes) the export window's operations.
void Export_InstallHandlers(std::function<void()> onSpectrum,
                            std::function<void(const char* fileName)> saveSettings);

// TExportForm::OnSpectrum: the per-spectrum step (does nothing while g_ExportActive is 0).
void Export_OnSpectrum();
// TExportForm::SaveSettings: writes the definition file.
void Export_SaveSettings(const char* fileName);
