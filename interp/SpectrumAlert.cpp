#include "interp/SpectrumAlert.h"

#include <cstring>

TAlertSettings AlertSettings;
AlertSpectrum g_AlertInputSpectrum;
AlertSpectrum g_AlertAvgSpectrum;
AlertRangeResult g_AlertRangeA;
AlertRangeResult g_AlertRangeB;
uint8_t g_AlertActive = 0;
uint8_t g_AlertAcknowledged = 0;
uint8_t g_AlertPrevious = 0;
int32_t g_AlertSirenHz = 0;

void Alert_SetDefaults() {
  std::memset(&AlertSettings, 0, sizeof(AlertSettings));
  AlertSettings.Enable = 0;
  AlertSettings.Visualize = 1;
  AlertSettings.PlotOptions = 0;
  AlertSettings.MethodCompareRanges = 1;
  AlertSettings.Averaging = 10.0;
  AlertSettings.RangeA_Fmin = 500.0;
  AlertSettings.RangeA_Fmax = 550.0;
  AlertSettings.RangeB_Fmin = 645.0;
  AlertSettings.RangeB_Fmax = 700.0;
  AlertSettings.AvrgDiffMin = 3.0;
  AlertSettings.PeakADiffMin = 10.0;
  AlertSettings.PeakBDiffMin = 10.0;
  AlertSettings.SearchPatternType = 1;
  AlertSettings.SearchPatternBWidth = 20.0;
  AlertSettings.MinSecondsToAlert = 30;
  std::strcpy(AlertSettings.OsCommandLine, "WakeMeUp.EXE");
}

void Alert_Reset() {
  g_AlertActive = g_AlertAcknowledged = g_AlertPrevious = 0;
  g_AlertAvgSpectrum.NrOfBins = 0;
  g_AlertAvgSpectrum.BinWidthHz = 0.0;
  g_AlertAvgSpectrum.FirstBinHz = 0.0;
}

void Alert_ProcessSpectrum() {
  const AlertSpectrum& in = g_AlertInputSpectrum;
  AlertSpectrum& avg = g_AlertAvgSpectrum;
  if (in.NrOfBins < 4 || in.NrOfBins > ALERT_MAX_BINS) return;
  // A new geometry restarts the smoothing; otherwise each value moves by 1/Averaging.
  const bool restart = avg.NrOfBins != in.NrOfBins || avg.BinWidthHz != in.BinWidthHz ||
                       avg.FirstBinHz != in.FirstBinHz;
  const double k = AlertSettings.Averaging > 1.0 ? 1.0 / AlertSettings.Averaging : 1.0;
  for (int i = 0; i < in.NrOfBins; ++i)
    avg.Bins[i] = restart ? in.Bins[i] : avg.Bins[i] + k * (in.Bins[i] - avg.Bins[i]);
  avg.NrOfBins = in.NrOfBins;
  avg.BinWidthHz = in.BinWidthHz;
  avg.FirstBinHz = in.FirstBinHz;
  g_AlertPrevious = g_AlertActive;
}

void Alert_RingBellTimer() {
  // No alarm is raised without the alert engine, so the siren stays silent.
  if (!g_AlertActive || g_AlertAcknowledged) g_AlertSirenHz = 0;
}

void Alert_StopAlarm() {
  g_AlertActive = 0;
  g_AlertAcknowledged = 0;
  g_AlertSirenHz = 0;
}
