#pragma once
// Connects the spectrum-line producer to the main window's displays: the producer's drawing
// requests become the graph and waterfall drawing of TSndMainForm. Pass it as the producer's
// host (or forward a host's drawing calls to it).
#include "mainwin/SpectrumLines.h"

class TSndMainForm;

class TSpecDisplayFeed : public ISpectrumLineHost {
public:
  explicit TSpecDisplayFeed(TSndMainForm* form) : m_Form(form) {}
  bool IsLiveView() override;
  // The graph when SndConfig.SpectrumOn is set and the layout shows it.
  void DrawSpectrumGraph(const SpectrumBuffer* line, const SpectrumBuffer* averaged) override;
  // The waterfall's new lines unless the layout hides it.
  void DrawWaterfall(int lines, const SpectrumBuffer* newest) override;
  // (FreqMin + FreqMax) / 2 - FreqOffset.
  double DisplayCenterFreq() override;

private:
  TSndMainForm* m_Form;
};
