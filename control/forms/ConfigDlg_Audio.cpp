// TConfigDlg: sound devices, audio-server options, sample rates and their calibration, and the
// time zone with its UTC clock.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTabWidget>
#include <QTableWidget>

#include "control/ConfigRules.h"
#include "control/forms/ConfigDlg.h"
#include "control/forms/ConfigDlgText.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/TimeUtils.h"
#include "engine/forms/ClickLabel.h"
#include "platform/NumText.h"
#include "platform/WaveAudio.h"

namespace {

const char* const kRed = "background-color: #ff0000;";

// Button face: the colour of a control that has no effect in the present set-up.
void SetButtonFace(QWidget* w)
{
  w->setStyleSheet(QString("background-color: %1;")
                       .arg(w->palette().color(QPalette::Button).name()));
}

// Items "<n> <product name>" for devices that take 44.1 kHz mono 16 bit, "#<n>: ????" for a
// device whose query failed, then the default entry; the item of device `selected` is selected.
// Returns the number of listed devices.
int FillDeviceList(QComboBox* list, int numDevs, int (*caps)(int, WAVEINCAPSA*), int selected,
                   const char* defaultText)
{
  list->clear();
  list->setCurrentIndex(-1);
  int count = 0, select = -1;
  for (int i = 0; i < numDevs; ++i) {
    WAVEINCAPSA c{};
    if (caps(i, &c) != MMSYSERR_NOERROR) {
      list->addItem(QString("#%1: ????").arg(i));
    } else if (c.dwFormats & WAVE_FORMAT_4M16) {
      ++count;
      c.szPname[WAVE_MAXPNAMELEN - 1] = '\0';
      list->addItem(QString::number(i) + " " + QString::fromLocal8Bit(c.szPname));
      if (i == selected) select = list->count() - 1;
    }
  }
  list->addItem(QString::fromLatin1(defaultText));
  if (selected == -1) select = list->count() - 1;
  list->setCurrentIndex(select);
  return count;
}

int InCaps(int i, WAVEINCAPSA* c) { return waveInGetDevCapsA(i, c); }
int OutCaps(int i, WAVEINCAPSA* c) { return waveOutGetDevCapsA(i, c); }

}  // namespace

void TConfigDlg::FillSoundDeviceLists()
{
  ++UpdateCount;
  const int nIn = FillDeviceList(Combo_SoundInputDevice, waveInGetNumDevs(), InCaps,
                                 MachineConfig.AudioInputDevID, "-1 (use default WAVE input)");
  Lab_NrInputDevices->setText(QString("%1 devices found").arg(nIn));
  const int nOut = FillDeviceList(Combo_SoundOutputDevice, waveOutGetNumDevs(), OutCaps,
                                  MachineConfig.AudioOutputDevID, "-1 (use default WAVE output)");
  Lab_NrOutputDevices->setText(QString("%1 devices found").arg(nOut));

  const T_SndConfig& c = SndConfig;
  Ed_RemoteAudioServerName->setText(QString::fromLocal8Bit(c.RemoteAudioServerName));
  Ed_OwnAudioServerName->setText(QString::fromLocal8Bit(c.OwnAudioServerName));
  Chk_InputFromServer->setChecked(c.GetAudioFromServer != 0);
  Chk_OutputToServer->setChecked(c.SendAudioToServer != 0);
  Chk_OwnAudioServerEnabled->setChecked(c.OwnAudioServerEnabled != 0);
  const bool stereo = Chk_StereoProcessing->isChecked();
  Chk_StereoServerADC->setEnabled(stereo);
  Chk_StereoServerDAC->setEnabled(stereo);
  Chk_StereoServerADC->setChecked(c.RightADChannelForServer != 0);
  Chk_StereoServerDAC->setChecked(c.RightDAChannelForServer != 0);
  UpdateAudioServerControls();
  if (UpdateCount > 0) --UpdateCount;
}

void TConfigDlg::UpdateAudioServerControls()
{
  ServerNamesOk = true;
  Ed_RemoteAudioServerName->setStyleSheet(QString());
  Ed_OwnAudioServerName->setStyleSheet(QString());
  const QString remote = Ed_RemoteAudioServerName->text();
  const QString own = Ed_OwnAudioServerName->text();
  if (Chk_InputFromServer->isChecked() || Chk_OutputToServer->isChecked()) {
    if (remote.isEmpty()) {
      Ed_RemoteAudioServerName->setStyleSheet(kRed);
      ServerNamesOk = false;
    } else if (remote == own) {
      Ed_RemoteAudioServerName->setStyleSheet(kRed);
      Ed_OwnAudioServerName->setStyleSheet(kRed);
      ServerNamesOk = false;
    }
    SetButtonFace(Combo_SoundInputDevice);
    Lab_AudioInDisabledBecause->setText("replaced by AUDIO SERVER");
  } else {
    Combo_SoundInputDevice->setStyleSheet(QString());
    SetButtonFace(Ed_RemoteAudioServerName);
    Lab_AudioInDisabledBecause->setText(QString());
  }
  if (Chk_OwnAudioServerEnabled->isChecked()) {
    if (own.isEmpty()) {
      Ed_OwnAudioServerName->setStyleSheet(kRed);
      ServerNamesOk = false;
    }
  } else if (Ed_OwnAudioServerName->styleSheet().isEmpty()) {
    SetButtonFace(Ed_OwnAudioServerName);
  }
}

void TConfigDlg::SwitchToServer() { PC_Config->setCurrentWidget(TS_AudioServer); }

void TConfigDlg::Combo_SoundInputDeviceChange()
{
  if (UpdateCount < 1) DeviceChanged = true;
}

void TConfigDlg::Chk_StereoServerADCClick()
{
  if (UpdateCount < 1) DeviceChanged = true;
}

void TConfigDlg::Chk_StereoServerDACClick()
{
  if (UpdateCount < 1) DeviceChanged = true;
}

void TConfigDlg::CalibrationToControls()
{
  // Nominal rate: the list's item, or the value itself when it is not in the list (an untouched
  // Apply must not replace it by another rate).
  const QString rate = QString::number(SndConfig.SampleRate);
  const int item = Combo_InputSampleRate->findText(rate);
  Combo_InputSampleRate->setCurrentIndex(item);
  Combo_InputSampleRate->setEditText(rate);

  const int divItem =
      Combo_InputSampleRateDivisor->findText(QString::number(SndConfig.SampleRateDivisor));
  if (divItem >= 0) {
    Combo_InputSampleRateDivisor->setCurrentIndex(divItem);
    Combo_InputSampleRateDivisor->setStyleSheet(QString());
  } else {
    Combo_InputSampleRateDivisor->setCurrentIndex(0);
    Combo_InputSampleRateDivisor->setStyleSheet(kRed);
    AddMessage("Warning:\nInput Sample Rate Divisor not supported !");
  }
  Chk_InputAntiAlias->setChecked(SndConfig.InputAntiAlias != 0);

  QTableWidget* g = SG_SampleRateCalib;
  g->setColumnCount(3);
  g->setRowCount(1 + kNrCalibRates);
  const char* headings[3] = {"Nominal", "Calibr.ADC", "Calibr.DAC"};
  for (int col = 0; col < 3; ++col) {
    auto* h = new QTableWidgetItem(QString::fromLatin1(headings[col]));
    h->setFlags(Qt::ItemIsEnabled);
    g->setItem(0, col, h);
  }
  for (int i = 0; i < kNrCalibRates; ++i) {
    auto* nominal = new QTableWidgetItem(QString::number(kCalibNominalRates[i]));
    nominal->setFlags(Qt::ItemIsEnabled);
    g->setItem(i + 1, 0, nominal);
    const double values[2] = {MachineConfig.CalibADC[i], MachineConfig.CalibDAC[i]};
    for (int k = 0; k < 2; ++k) {
      const QString text = QString::fromStdString(FormatFloat("#0000.00#", values[k]));
      auto* it = new QTableWidgetItem(text);
      it->setData(Qt::UserRole, text);  // shown text and exact value: an untouched cell
      it->setData(Qt::UserRole + 1, values[k]);  // gives back the exact value
      g->setItem(i + 1, k + 1, it);
    }
    if (kCalibNominalRates[i] == SndConfig.SampleRate) g->setCurrentCell(i + 1, 1);
  }
}

void TConfigDlg::UpdateCalibrationTable(int kind)
{
  const double offset = SndConfig.FreqOffset;
  const double ratio = CalibrationRatio(StrToFloatDef(TrimmedText(Ed_DisplayedFreq->text()), 0),
                                        StrToFloatDef(TrimmedText(Ed_CorrectFreq->text()), 0), offset);
  if (ratio <= 0) return;
  QTableWidget* g = SG_SampleRateCalib;
  const double rate = kind == 0 ? g_InputSampleRate.load() : g_OutputSampleRate.load();
  for (int row = 1; row < g->rowCount(); ++row) {
    const QTableWidgetItem* first = g->item(row, 0);
    if (!first || StrToIntDef(TrimmedText(first->text()), 0) != SndConfig.SampleRate) continue;
    const QString text = QString::fromStdString(FormatFloat("#0000.00#", rate * ratio));
    QTableWidgetItem* cell = g->item(row, kind + 1);
    if (cell)
      cell->setText(text);
    else
      g->setItem(row, kind + 1, new QTableWidgetItem(text));
  }
}

void TConfigDlg::ApplyAudioControls()
{
  // A1. Time zone.
  MachineConfig.LocalMinusUTC =
      StrToIntDef(TrimmedText(Ed_LocalMinusUTC_hours->text()), MachineConfig.LocalMinusUTC);
  g_LocalMinusUtcHours = MachineConfig.LocalMinusUTC.load();

  // A2. Devices.
  MachineConfig.AudioInputDevID =
      LeadingStrToIntDef(Combo_SoundInputDevice->currentText().toStdString(), -1);
  MachineConfig.AudioOutputDevID =
      LeadingStrToIntDef(Combo_SoundOutputDevice->currentText().toStdString(), -1);

  // A3. Audio server.
  T_SndConfig& c = SndConfig;
  c.GetAudioFromServer = Chk_InputFromServer->isChecked() ? 1 : 0;
  c.SendAudioToServer = Chk_OutputToServer->isChecked() ? 1 : 0;
  c.OwnAudioServerEnabled = Chk_OwnAudioServerEnabled->isChecked() ? 1 : 0;
  c.RightADChannelForServer = Chk_StereoServerADC->isChecked() ? 1 : 0;
  c.RightDAChannelForServer = Chk_StereoServerDAC->isChecked() ? 1 : 0;
  c.StereoProcessing = Chk_StereoProcessing->isChecked() ? 1 : 0;
  SettingsCopyText(c.RemoteAudioServerName,
                   Ed_RemoteAudioServerName->text().toLocal8Bit().constData(), 250);
  SettingsCopyText(c.OwnAudioServerName, Ed_OwnAudioServerName->text().toLocal8Bit().constData(),
                   250);
  UpdateAudioServerControls();
  if (!ServerNamesOk) AddMessage("Error in Audio Server Names !");

  // A4. Rates.
  c.SampleRate = StrToIntDef(TrimmedText(Combo_InputSampleRate->currentText()), c.SampleRate);
  c.SampleRateDivisor =
      StrToIntDef(TrimmedText(Combo_InputSampleRateDivisor->currentText()), c.SampleRateDivisor);
  c.InputAntiAlias = Chk_InputAntiAlias->isChecked() ? 1 : 0;

  // A5. Calibration: values more than a tenth of the nominal rate away are reset.
  QTableWidget* g = SG_SampleRateCalib;
  g->setStyleSheet(QString());
  for (int i = 0; i < kNrCalibRates && i + 1 < g->rowCount(); ++i) {
    AtomicField<double>* fields[2] = {&MachineConfig.CalibADC[i], &MachineConfig.CalibDAC[i]};
    for (int k = 0; k < 2; ++k) {
      const QTableWidgetItem* it = g->item(i + 1, k + 1);
      double v = fields[k]->load();
      if (it) v = ShownOrTypedReal(it->text(), it->data(Qt::UserRole), it->data(Qt::UserRole + 1), v);
      bool corrected = false;
      v = CheckCalibratedRate(v, kCalibNominalRates[i], &corrected);
      // The devices take the calibrated rates when they open: a new calibration of the rate
      // in use re-opens them, so the running program follows it.
      if (v != fields[k]->load() && kCalibNominalRates[i] == c.SampleRate) DeviceChanged = true;
      *fields[k] = v;
      if (corrected) {
        g->setStyleSheet(kRed);
        m_Corrected = true;
      }
    }
  }
}

void TConfigDlg::Ed_LocalMinusUTC_hoursChange()
{
  if (UpdateCount < 1)
    g_LocalMinusUtcHours =
        StrToIntDef(TrimmedText(Ed_LocalMinusUTC_hours->text()), MachineConfig.LocalMinusUTC);
}

void TConfigDlg::Timer1Timer()
{
  if (PC_Config->currentWidget() != TS_System) return;
  Lab_UTC_Time->setText(
      QString::fromStdString(FormatUnixDateTime("hh:mm:ss.s", GetPreciseUnixTime(false))));
}
