// Producer-to-display connection.
#include "mainwin/forms/SpecDisplayFeed.h"

#include <QScrollBar>

#include "engine/SndConfig.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"

bool TSpecDisplayFeed::IsLiveView() { return !m_Form->SBR_Time || m_Form->SBR_Time->value() == 0; }

void TSpecDisplayFeed::DrawSpectrumGraph(const SpectrumBuffer* line, const SpectrumBuffer* averaged)
{
  if (!SndConfig.SpectrumOn || SndConfig.SpectrumStyleNPos < 1 || SndConfig.SpectrumStyleNPos > 3)
    return;
  m_Form->ShowSpectrumGraph(line, averaged);
}

void TSpecDisplayFeed::DrawWaterfall(int lines, const SpectrumBuffer* newest)
{
  (void)newest;  // the waterfall takes its lines from the history
  if (SndConfig.SpectrumStyleNPos == 3) return;
  m_Form->UpdateWaterfall(lines);
}

double TSpecDisplayFeed::DisplayCenterFreq()
{
  return (SndConfig.FreqMin + SndConfig.FreqMax) / 2.0 - SndConfig.FreqOffset;
}
