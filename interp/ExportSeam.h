#pragma once
// What the main window uses of the text export: the active flag, the definition's change
// bookkeeping, and the two operations it calls (the export step after each new spectrum line,
// and saving the definition). Both go to the export engine (ExportEngine.h), which lives for the
// whole run whether or not the export window is shown. GUI thread only.
#include <functional>

#include "interp/ExportDefinition.h"

// Replaces the two operations (tests count the calls); empty functions restore the engine's.
void Export_InstallHandlers(std::function<void()> onSpectrum,
                            std::function<void(const char* fileName)> saveSettings);

// The per-spectrum step (does nothing while g_ExportActive is 0).
void Export_OnSpectrum();
// Writes the definition file; a failure is reported and never thrown.
void Export_SaveSettings(const char* fileName);
// The definition file name changed (a profile was loaded): unsaved changes go to the previous
// file, the definition is read from the new one and the export file is closed when the new
// definition names another file.
void Export_ChangeDefinitionFile(const char* previousFile, const char* fileName);
