#include "mainwin/SpectrumHistory.h"

#include <cstdlib>
#include <cstring>

#include "interp/CliSpectrum.h"

int CSpectrumHistory::Allocate(int wantedLines, const AllocFn& alloc) {
  Free();
  int lines = wantedLines < kHistoryMinLines
                  ? kHistoryMinLines
                  : (wantedLines > kHistoryMaxLines ? kHistoryMaxLines : wantedLines);
  void* block = nullptr;
  for (;;) {
    const size_t bytes = static_cast<size_t>(lines) * sizeof(SpectrumBuffer);
    block = alloc ? alloc(bytes) : std::malloc(bytes);
    if (block) break;
    lines -= lines / 4;  // a quarter fewer, tried only while still above the minimum
    if (lines <= kHistoryMinLines) break;
  }
  if (!block) return 0;
  SpectrumHistory = static_cast<SpectrumBuffer*>(block);
  HistoryLines = lines;
  HistoryIndex = 0;
  for (int i = 0; i < lines; ++i) CLI_InitSpectrumBuffer(&SpectrumHistory[i]);
  return lines;
}

void CSpectrumHistory::Free() {
  std::free(SpectrumHistory);
  SpectrumHistory = nullptr;
  HistoryLines = 0;
  HistoryIndex = 0;
}

void CSpectrumHistory::Store(const SpectrumBuffer* line) {
  // A history of 0 lines (nothing allocated) stores nothing: no modulo by zero.
  if (!SpectrumHistory || HistoryLines <= 0 || !line) return;
  int index = HistoryIndex % HistoryLines;
  if (index < 0) index += HistoryLines;
  std::memcpy(&SpectrumHistory[index], line, sizeof(SpectrumBuffer));
  HistoryIndex = (index + 1) % HistoryLines;
}

const SpectrumBuffer* CSpectrumHistory::Line(int back) const {
  if (!SpectrumHistory || HistoryLines <= 0 || back < 0 || back >= HistoryLines) return nullptr;
  int slot = (HistoryIndex - 1 - back) % HistoryLines;
  if (slot < 0) slot += HistoryLines;
  return &SpectrumHistory[slot];
}
