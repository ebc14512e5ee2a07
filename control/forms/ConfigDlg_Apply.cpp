// TConfigDlg: the settings into the controls, and the controls back into the settings (Apply).
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <algorithm>
#include <mutex>
#include <vector>

#include "control/ConfigRules.h"
#include "control/forms/ConfigDlg.h"
#include "control/forms/ConfigDlgText.h"
#include "engine/BigSampleBuffer.h"
#include "engine/forms/ClickLabel.h"
#include "engine/FreqMixer.h"
#include "engine/MachineConfig.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsLimits.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "interp/CliEval.h"
#include "platform/NumText.h"

namespace {

constexpr int kMinBufferedLines = 20;
constexpr int kMaxBufferedLines = 2000;
constexpr size_t kMaxRefFileName = 255;

int IntDef(const QString& s, int def) { return StrToIntDef(TrimmedText(s), def); }

// The integer of a text that must be one (no default).
bool StrictInt(const QString& s, int* value) { return TryStrToInt(TrimmedText(s), *value); }

void SetChecked(QCheckBox* c, bool on) { c->setChecked(on); }

void SelectRow(QListWidget* l, int index)
{
  l->setCurrentRow(index >= 0 && index < l->count() ? index : -1);
}

void SelectIndex(QComboBox* c, int index)
{
  c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

// Copies a text into a settings array, at most maxChars bytes.
template <size_t N>
void CopyText(char (&dest)[N], const QString& text, size_t maxChars = N - 1)
{
  SettingsCopyText(dest, text.toLocal8Bit().constData(), maxChars);
}

}  // namespace

void TConfigDlg::ShowReal(QLineEdit* ed, const char* pattern, double value)
{
  const QString text = QString::fromStdString(FormatFloat(pattern, value));
  ed->setText(text);
  ed->setProperty("shownText", text);
  ed->setProperty("shownValue", value);
}

double TConfigDlg::ReadReal(QLineEdit* ed, double def) const
{
  return ShownOrTypedReal(ed->text(), ed->property("shownText"), ed->property("shownValue"), def);
}

void TConfigDlg::SettingsToControls()
{
  UpdateCount = 1;
  T_SndConfig& c = SndConfig;

  // Transceiver interface, time zone, amplitude range.
  SelectIndex(Combo_PttPort, MachineConfig.PttPortNumber);
  SelectRow(LBox_PTTLine, MachineConfig.PttLineNr);
  SelectRow(LBox_KeyerLine, MachineConfig.KeyerLineNr);
  SelectRow(LBox_AlertLine, MachineConfig.AlertBellLineNr);
  Ed_LocalMinusUTC_hours->setText(QString::number(MachineConfig.LocalMinusUTC));
  ShowReal(Ed_AmplMin, "##0.#", c.AmplMin);
  ShowReal(Ed_AmplMax, "##0.#", c.AmplMax);

  // Display switches.
  SetChecked(Chk_RotateSpectra, c.SpectrumOrient != 0);
  SetChecked(Chk_MirrorForLSB, c.SpectrumMirror != 0);
  SelectIndex(Combo_SpectrumStyleAndPosition, c.SpectrumStyleNPos);
  SetChecked(Chk_DoubleWidthLines, c.WaterLineWidth > 1);
  SetChecked(Chk_NoWaterScroll, c.WaterScrollEnabled == 0);
  SetChecked(Chk_OptWaterAverage, c.WaterfallAveraging != 0);
  SetChecked(Chk_AmplGrid, c.AmplitudeGrid != 0);
  SetChecked(Chk_FreqGridGraph, c.FrequencyGrid != 0);
  SetChecked(Chk_FreqGridWater, c.WaterFreqGrid != 0);
  SetChecked(Chk_FreqGridDotted, (c.FreqGridStyle & 1) != 0);
  SetChecked(Chk_TimeGrid, c.WaterTimeGrid != 0);
  SetChecked(Chk_TimeGridDotted, (c.TimeGridStyle & 1) != 0);

  // Time grid and scroll interval with their units.
  const TShownInterval grid = TimeGridToControls(c.TimeGridSeconds);
  Ed_WaterGridInterval->setText(QString::number(grid.value));
  m_TimeGridUnit->button(grid.unit)->setChecked(true);
  SelectIndex(Combo_TimeLabelType, c.WaterTimeLabel);
  Ed_BufferedSpectrumLines->setText(QString::number(MachineConfig.BufferedSpcLines));
  const TShownInterval scroll = ScrollIntervalToControls(c.WaterScrollTime);
  Ed_WaterfallScrollInterval->setText(QString::number(scroll.value));
  m_ScrollUnit->button(scroll.unit)->setChecked(true);

  // Colours, devices, server, rates, calibration (ConfigDlg_Audio.cpp, ConfigDlg_Colors.cpp).
  SetColorPanel(Pnl_SpectrumBackgndColor, c.SpectrumBgColor);
  SetColorPanel(Pnl_SpectrumGridColor, c.SpectrumGridColor);
  SetColorPanel(Pnl_SpectrumPen1Color, c.SpectrumPenColor[0]);
  SetColorPanel(Pnl_SpectrumPen2Color, c.SpectrumPenColor[1]);
  SetColorPanel(Pnl_SpectrumPen3Color, c.SpectrumPenColor[2]);
  SetColorPanel(Pnl_FreqScaleBgColor, c.FreqscaleBgColor);
  SetColorPanel(Pnl_FreqScaleFgColor, c.FreqscaleFgColor);
  SetColorPanel(Pnl_WaterGridColor, c.WaterGridColor);
  SetColorPanel(Pnl_WaterLabelTextColor, c.WaterLabelTextColor);
  SetChecked(Chk_WaterLabelTransparent, c.WaterLabelTransparent != 0);
  SetChecked(Chk_StereoProcessing, c.StereoProcessing != 0);
  FillSoundDeviceLists();
  CalibrationToControls();

  // FFT rate divisor: a value that is not in the list is appended and shown.
  const QString div = QString::number(c.RateDivisor);
  int item = Combo_FftRateDivisor->findText(div);
  if (item < 0) {
    Combo_FftRateDivisor->addItem(div);
    item = Combo_FftRateDivisor->count() - 1;
  }
  Combo_FftRateDivisor->setCurrentIndex(item);
  Combo_FftRateDivisor->setEditText(div);

  SetChecked(CHK_FftAntiAlias, c.FftInputAntiAlias != 0);
  ShowReal(Ed_FftCenterFreq, "##0.0#", g_BigBuffers[0].MixerCenterFreq + c.FreqOffset);
  Combo_InputFftSize->setEditText(QString::number(c.NrOfSamples));
  (c.ComplexFFT ? RBtn_ComplexFFT : RBtn_RealFFT)->setChecked(true);
  SelectIndex(Combo_FftWindow, c.WindowFunc);
  Ed_FftAverage->setText(QString::number(c.Average));
  UD_InputFftAverage->setValue(std::max(0, c.Average.load()));
  SetChecked(Chk_LogFftOutput, c.LogSpectrum != 0);

  Ed_dBOffsetExpr->setMaxLength(80);
  Ed_dBOffsetExpr->setText(QString::fromLocal8Bit(c.UserDbOffset));
  UpdateDbOffsetInfo();

  // Wave files.
  SetChecked(Chk_EndlessPlayLoop, c.PlayInLoops != 0);
  SetChecked(Chk_PlayWaveUpsampled, c.PlayUpsampled != 0);
  SetChecked(Chk_PlayWaveDownsampled, c.PlayDownsampled != 0);
  SetChecked(Chk_PlayWaveAntialiasing, c.WaveAnalysisAntiAlias != 0);
  SetChecked(Chk_PlayWaveSpeedModify, c.ModifySpeed != 0);
  Ed_PlayWaveSpeedPercent->setText(QString::number(c.SpeedPercent));
  SetChecked(Chk_SaveWaveDownsampled, c.WaveSaveDownsampled != 0);
  Ed_SaveWaveMinRate->setText(QString::number(c.WaveSaveSampleRate));
  SetChecked(Chk_SaveWaveAntialiasing, c.WaveSaveAntiAlias != 0);
  SetChecked(Chk_SaveWaveAsRawFile, c.WaveFileFormat == 1);
  SetChecked(Chk_SaveWaveInfosInHeader, c.InfoInHeader != 0);
  Ed_SaveWaveMaxSize->setText(QString::number(c.MaxFileSize));

  UpdateRateInfo();

  // Marker grid: headings in row 0, marker i in row i + 1.
  Sg_Markers->setColumnCount(4);
  Sg_Markers->setRowCount(4);
  const char* headings[4] = {"Nr", "Name", "Set procedure (x= new position in Hz)",
                             "Read function (periodically evaluated)"};
  for (int col = 0; col < 4; ++col) {
    auto* h = new QTableWidgetItem(QString::fromLatin1(headings[col]));
    h->setFlags(Qt::ItemIsEnabled);
    Sg_Markers->setItem(0, col, h);
  }
  for (int i = 0; i < kNrFreqMarkers; ++i) {
    auto* nr = new QTableWidgetItem(QString::number(i + 1));
    nr->setFlags(Qt::ItemIsEnabled);
    Sg_Markers->setItem(i + 1, 0, nr);
    Sg_Markers->setItem(i + 1, 1, new QTableWidgetItem(QString::fromLocal8Bit(c.FreqMarker[i].Name)));
    Sg_Markers->setItem(i + 1, 2,
                        new QTableWidgetItem(QString::fromLocal8Bit(c.FreqMarker[i].SetProc)));
    Sg_Markers->setItem(i + 1, 3,
                        new QTableWidgetItem(QString::fromLocal8Bit(c.FreqMarker[i].GetFunc)));
  }

  // Reference spectrum page.
  SetColorPanel(Pnl_SpectrumRef, c.SpectrumRefColor);
  SetChecked(Chk_RefVisible, c.SpectrumRefVisible != 0);
  SetChecked(Chk_RefSubtract, c.SpectrumRefSubtract != 0);
  Ed_SpecRefFilename->setText(QString::fromLocal8Bit(c.SpectrumRefFileName));

  g_RedrawRequestMask &= ~32;
  UpdateCount = 0;
}

void TConfigDlg::UpdateRateInfo()
{
  if (UpdateCount > 0) ++UpdateCount;
  TRateInfoInput in;
  in.fftSize = IntDef(Combo_InputFftSize->currentText(), SndConfig.NrOfSamples);
  in.sampleRate = IntDef(Combo_InputSampleRate->currentText(), SndConfig.SampleRate);
  in.inputDivisor =
      IntDef(Combo_InputSampleRateDivisor->currentText(), SndConfig.SampleRateDivisor);
  in.fftRateDivisor = IntDef(Combo_FftRateDivisor->currentText(), SndConfig.RateDivisor);
  in.complex = SndConfig.ComplexFFT != 0;
  in.antiAlias = SndConfig.FftInputAntiAlias != 0;
  in.centreFreq = g_BigBuffers[0].MixerCenterFreq + SndConfig.FreqOffset;
  const TRateInfoTexts t = CalcRateInfo(in);
  if (!t.inputInfo.empty()) Lab_FftInputInfo->setText(QString::fromStdString(t.inputInfo));
  Lab_FftResolution->setText(QString::fromStdString(t.resolution));
  Lab_FftBand->setText(QString::fromStdString(t.band));
  if (UpdateCount > 0) --UpdateCount;
}

void TConfigDlg::UpdateDbOffsetInfo()
{
  const QByteArray expr = Ed_dBOffsetExpr->text().left(80).toLocal8Bit();
  // The interpreter keeps its own parse position around the evaluation; a text that is no
  // expression shows its default, 0.
  const double v = CLI_CalcExpression(4, expr.constData(), 0.0);
  Ed_dBOffsetResult->setText(QString::fromStdString(FormatFloat("###0.#", v)));
}

void TConfigDlg::Btn_ApplyClick()
{
  Memo_Messages->clear();
  m_Corrected = false;
  T_SndConfig& c = SndConfig;

  // The texts that must be integers are converted before anything is stored: one that is not
  // leaves every setting as it was.
  struct Strict {
    QWidget* control;
    QString text;
    const char* what;
    int value;
  };
  Strict strict[] = {
      {Combo_FftRateDivisor, Combo_FftRateDivisor->currentText(), "FFT rate divisor", 0},
      {Combo_InputFftSize, Combo_InputFftSize->currentText(), "FFT size", 0},
      {Ed_WaterGridInterval, Ed_WaterGridInterval->text(), "time grid interval", 0},
      {Ed_BufferedSpectrumLines, Ed_BufferedSpectrumLines->text(), "buffered lines", 0},
      {Ed_WaterfallScrollInterval, Ed_WaterfallScrollInterval->text(), "scroll interval", 0},
  };
  int gridSeconds = 0, scrollMs = 0;
  bool ok = true;
  for (Strict& s : strict) {
    bool good = StrictInt(s.text, &s.value);
    if (good && s.control == Ed_WaterGridInterval)
      good = IntervalFromControls(s.value, m_TimeGridUnit->checkedId(), &gridSeconds);
    if (good && s.control == Ed_WaterfallScrollInterval)
      good = IntervalFromControls(s.value, m_ScrollUnit->checkedId(), &scrollMs);
    if (!good) {
      s.control->setStyleSheet("background-color: #ff0000;");
      AddMessage(QString("Error: %1 \"%2\" is no valid integer !").arg(s.what, s.text));
      ok = false;
    }
  }
  const QString refName = Ed_SpecRefFilename->text();
  if (refName.toLocal8Bit().size() > static_cast<qsizetype>(kMaxRefFileName)) {
    Ed_SpecRefFilename->setStyleSheet("background-color: #ff0000;");
    AddMessage("Error: reference file name longer than 255 characters !");
    ok = false;
  }
  if (!ok) {
    AddMessage("Nothing was applied.");
    return;
  }
  for (const Strict& s : strict) s.control->setStyleSheet(QString());
  Ed_SpecRefFilename->setStyleSheet(QString());

  // 2. Transceiver interface.
  MachineConfig.PttPortNumber = std::max(0, Combo_PttPort->currentIndex());
  MachineConfig.PttLineNr = std::max(0, LBox_PTTLine->currentRow());
  MachineConfig.KeyerLineNr = std::max(0, LBox_KeyerLine->currentRow());
  MachineConfig.AlertBellLineNr = std::max(0, LBox_AlertLine->currentRow());

  // 3. Time zone, devices, server, rates, calibration.
  ApplyAudioControls();

  // 4. FFT rate divisor.
  int rateDivisor = strict[0].value;
  if (rateDivisor < kMinRateDivisor || rateDivisor > kMaxRateDivisor) {
    rateDivisor = std::clamp(rateDivisor, kMinRateDivisor, kMaxRateDivisor);
    Mark(Combo_FftRateDivisor);
  }
  c.RateDivisor = rateDivisor;
  c.FftInputAntiAlias = CHK_FftAntiAlias->isChecked() ? 1 : 0;

  // 5. Centre frequency of ring 0 (the audio thread reads it under the lock).
  {
    const double offset = c.FreqOffset;
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    const double v = ReadReal(Ed_FftCenterFreq, g_BigBuffers[0].MixerCenterFreq + offset);
    if (v > offset) g_BigBuffers[0].MixerCenterFreq = v - offset;
  }

  // 6. FFT.
  c.ComplexFFT = RBtn_ComplexFFT->isChecked() ? 1 : 0;
  bool sizeCorrected = false;
  c.NrOfSamples = LimitFftSize(strict[1].value, c.ComplexFFT != 0, &sizeCorrected);
  if (sizeCorrected) {
    Mark(Combo_InputFftSize);
    AddMessage("Warning: FFT size must be a power of two from 256 to 65536 (32768 for a complex FFT) !");
  }
  c.WindowFunc = std::max(0, Combo_FftWindow->currentIndex());
  c.Average = IntDef(Ed_FftAverage->text(), c.Average);
  c.LogSpectrum = Chk_LogFftOutput->isChecked() ? 1 : 0;
  CopyText(c.UserDbOffset, Ed_dBOffsetExpr->text(), 80);

  // 7. Replay.
  c.PlayInLoops = Chk_EndlessPlayLoop->isChecked() ? 1 : 0;
  c.PlayUpsampled = Chk_PlayWaveUpsampled->isChecked() ? 1 : 0;
  c.PlayDownsampled = Chk_PlayWaveDownsampled->isChecked() ? 1 : 0;
  c.WaveAnalysisAntiAlias = Chk_PlayWaveAntialiasing->isChecked() ? 1 : 0;
  c.ModifySpeed = Chk_PlayWaveSpeedModify->isChecked() ? 1 : 0;
  c.SpeedPercent = IntDef(Ed_PlayWaveSpeedPercent->text(), c.SpeedPercent);
  if (c.SpeedPercent < 1) {
    c.SpeedPercent = 1;
    Mark(Ed_PlayWaveSpeedPercent);
  }

  // 8. Saving.
  c.WaveSaveDownsampled = Chk_SaveWaveDownsampled->isChecked() ? 1 : 0;
  c.WaveSaveSampleRate = IntDef(Ed_SaveWaveMinRate->text(), c.WaveSaveSampleRate);
  c.WaveSaveAntiAlias = Chk_SaveWaveAntialiasing->isChecked() ? 1 : 0;
  c.WaveFileFormat = Chk_SaveWaveAsRawFile->isChecked() ? 1 : 2;
  c.InfoInHeader = Chk_SaveWaveInfosInHeader->isChecked() ? 1 : 0;
  c.MaxFileSize = IntDef(Ed_SaveWaveMaxSize->text(), c.MaxFileSize);

  // 9. Amplitude range.
  double amin = ReadReal(Ed_AmplMin, c.AmplMin);
  double amax = ReadReal(Ed_AmplMax, c.AmplMax);
  bool minClamped = false, maxClamped = false;
  if (LimitAmplitudeRange(&amin, &amax, &minClamped, &maxClamped)) {
    if (minClamped) Mark(Ed_AmplMin);
    if (maxClamped) Mark(Ed_AmplMax);
    AddMessage("Error: max. Amplitude Range -150 to +150 dB");
    m_Corrected = true;
  }
  c.AmplMin = amin;
  c.AmplMax = amax;

  // 10. Display switches.
  c.SpectrumOrient = Chk_RotateSpectra->isChecked() ? 1 : 0;
  c.SpectrumMirror = Chk_MirrorForLSB->isChecked() ? 1 : 0;
  c.SpectrumStyleNPos = std::max(0, Combo_SpectrumStyleAndPosition->currentIndex());
  c.WaterLineWidth = Chk_DoubleWidthLines->isChecked() ? 2 : 1;
  c.WaterScrollEnabled = Chk_NoWaterScroll->isChecked() ? 0 : 1;
  c.WaterfallAveraging = Chk_OptWaterAverage->isChecked() ? 1 : 0;
  c.AmplitudeGrid = Chk_AmplGrid->isChecked() ? 1 : 0;
  c.FrequencyGrid = Chk_FreqGridGraph->isChecked() ? 1 : 0;
  c.WaterFreqGrid = Chk_FreqGridWater->isChecked() ? 1 : 0;
  c.FreqGridStyle = Chk_FreqGridDotted->isChecked() ? 1 : 0;
  c.WaterTimeGrid = Chk_TimeGrid->isChecked() ? 1 : 0;
  c.TimeGridStyle = Chk_TimeGridDotted->isChecked() ? 1 : 0;

  // 11. Time grid.
  c.TimeGridSeconds = gridSeconds;
  c.WaterTimeLabel = std::max(0, Combo_TimeLabelType->currentIndex());

  // 12. Buffered lines.
  int lines = strict[3].value;
  if (lines < kMinBufferedLines || lines > kMaxBufferedLines) {
    lines = std::clamp(lines, kMinBufferedLines, kMaxBufferedLines);
    Mark(Ed_BufferedSpectrumLines);
  }
  MachineConfig.BufferedSpcLines = lines;

  // 13. Scroll interval.
  if (scrollMs < kMinWaterScrollTime) {
    scrollMs = kMinWaterScrollTime;
    Mark(Ed_WaterfallScrollInterval);
  }
  c.WaterScrollTime = scrollMs;

  // 14. Colours.
  c.SpectrumBgColor = PanelColor(Pnl_SpectrumBackgndColor);
  c.SpectrumGridColor = PanelColor(Pnl_SpectrumGridColor);
  c.SpectrumPenColor[0] = PanelColor(Pnl_SpectrumPen1Color);
  c.SpectrumPenColor[1] = PanelColor(Pnl_SpectrumPen2Color);
  c.SpectrumPenColor[2] = PanelColor(Pnl_SpectrumPen3Color);
  c.FreqscaleBgColor = PanelColor(Pnl_FreqScaleBgColor);
  c.FreqscaleFgColor = PanelColor(Pnl_FreqScaleFgColor);
  c.WaterGridColor = PanelColor(Pnl_WaterGridColor);
  c.WaterLabelTextColor = PanelColor(Pnl_WaterLabelTextColor);
  c.WaterLabelTransparent = Chk_WaterLabelTransparent->isChecked() ? 1 : 0;

  // 15. Markers.
  Sg_Markers->setColumnCount(4);
  Sg_Markers->setRowCount(4);
  auto cell = [this](int col, int row) {
    const QTableWidgetItem* it = Sg_Markers->item(row, col);
    return it ? it->text() : QString();
  };
  for (int i = 0; i < kNrFreqMarkers; ++i) {
    CopyText(c.FreqMarker[i].Name, cell(1, i + 1), 80);
    CopyText(c.FreqMarker[i].SetProc, cell(2, i + 1), 80);
    CopyText(c.FreqMarker[i].GetFunc, cell(3, i + 1), 80);
  }

  // 16. Reference spectrum.
  c.SpectrumRefColor = PanelColor(Pnl_SpectrumRef);
  c.SpectrumRefVisible = Chk_RefVisible->isChecked() ? 1 : 0;
  c.SpectrumRefSubtract = Chk_RefSubtract->isChecked() ? 1 : 0;
  CopyText(c.SpectrumRefFileName, refName, kMaxRefFileName);

  // 17, 18. The main loop re-applies everything; the mixers take their settings at once.
  g_RedrawRequestMask = REDRAW_ALL;
  FreqMixer_InitBothFromSettings();

  // 19, 20. Show what is now in force.
  SettingsToControls();
  if (m_Corrected) AddMessage("Warning: Some parameters were corrected !");

  // 21. A new input device or server channel option re-opens the devices.
  if (DeviceChanged) {
    SoundThreadLink().RequestDeviceReopen();
    DeviceChanged = false;
  }
}
