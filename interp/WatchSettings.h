#pragma once
// The watch list's four INI sections ("WatchWindow", "WatchList", "WatchHistoryMemory",
// "WatchHistoryPlotter"), read and written in a fixed order. Texts longer than the record
// fields stay whole in the grid and the file; only the record's copies are cut. No errors are
// reported: a missing file or key gives the default.
#include <string>

#include "interp/WatchList.h"
#include "interp/WatchTable.h"

void WatchSettings_Load(const std::string& fileName, T_WatchList* wl, T_WatchGrid* grid,
                        T_WatchFormFields* fields);
void WatchSettings_Save(const std::string& fileName, const T_WatchList* wl, const T_WatchGrid* grid,
                        const T_WatchFormFields* fields);
