#pragma once
// The spectrum history: a ring of the newest spectrum lines (one SpectrumBuffer record of
// 65,600 bytes per line) that the waterfall redraws from and the time scroll bar looks back
// into. Owned by the main window; GUI thread only.
#include <cstddef>
#include <functional>

#include "interp/SpectrumBuffer.h"

constexpr int kHistoryMinLines = 50;
constexpr int kHistoryMaxLines = 2000;

class CSpectrumHistory {
public:
  // Allocation function for tests (nullptr on failure); the default is std::malloc.
  using AllocFn = std::function<void*(size_t bytes)>;

  CSpectrumHistory() = default;
  ~CSpectrumHistory() { Free(); }
  CSpectrumHistory(const CSpectrumHistory&) = delete;
  CSpectrumHistory& operator=(const CSpectrumHistory&) = delete;

  // Start-up allocation: wantedLines clamped to 50..2,000; on failure the count shrinks by a
  // quarter (integer division) and is tried again while it is still above 50. Every record
  // obtained is set up by CLI_InitSpectrumBuffer; HistoryIndex = 0. Returns HistoryLines
  // (0 when nothing could be allocated: lines are then produced but not stored).
  int Allocate(int wantedLines, const AllocFn& alloc = {});
  // Frees the block; HistoryLines and HistoryIndex become 0.
  void Free();

  // Copies the record into slot HistoryIndex mod HistoryLines and advances the index.
  // Does nothing without a history.
  void Store(const SpectrumBuffer* line);

  // The record `back` lines before the newest one (0 = newest), or nullptr when there is no
  // history or back is outside 0 .. HistoryLines - 1. Slots never written hold empty records.
  const SpectrumBuffer* Line(int back) const;

  SpectrumBuffer* SpectrumHistory = nullptr;  // HistoryLines records from the C heap
  int HistoryLines = 0;
  int HistoryIndex = 0;                       // the slot written next
};
