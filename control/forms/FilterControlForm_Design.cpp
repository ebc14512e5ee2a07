// The filter control window: the designer pages (IIR-1, IIR-2, IIR-3, FIR-1, FIR-2) and the
// Test page. The designs themselves are in control/FilterDesigners.h and control/IIRChain.h.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>

#include "control/FilterEditChannel.h"
#include "control/FilterHandover.h"
#include "control/forms/FilterControlForm.h"
#include "platform/NumText.h"

namespace {

std::string S(const QString& s) { return s.toStdString(); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void TFilterControlForm::FinishDesign(int result, const std::string& message)
{
  if (result == DESIGN_IGNORED && message.empty()) return;  // refused without a word
  Lab_DesignerMessage->setText(Q(message));
  if (result != DESIGN_OK) return;  // a refused design changes nothing
  UpdateCoeffGrid();
  ActivateEditedFilter(g_FilterEditChannel);
  UpdateStatusDisplay();
}

// ---- IIR-1 and the controls on the running filters ----

void TFilterControlForm::Btn_CalcIIR1Click()
{
  const int c = CorrectFilterEditChannel();
  IIR1DesignInput in;
  in.CutoffText = S(Ed_IIR_CutoffFreq->text());
  in.RippleText = S(Ed_IIR_PercentRipple->text());
  in.PolesText = S(Ed_IIR_NrOfPoles->text());
  in.HighPass = Rbtn_IIR_HighPass->isChecked();
  in.SampleRate = FilterDesignSampleRate();
  std::string message;
  const int r = DesignIIR1Filter(in, &g_EditedDigiFilters[c], &UndoFilter, &g_FilterDescription,
                                 &message);
  FinishDesign(r, message);
}

void TFilterControlForm::Btn_ResetZ1Click() { ResetRunningFilterStates(); }

void TFilterControlForm::Chk_Test_PeakZClick()
{
  g_DigiFilterTestPeakZ = Chk_Test_PeakZ->isChecked();
}

void TFilterControlForm::Btn_ResetTestZPeakClick() { g_DigiFilterPeakZ = 0.0; }

void TFilterControlForm::Chk_Test_Limit32kClick()
{
  const bool limit = Chk_Test_Limit32k->isChecked();
  g_DigiFilterClipMax = limit ? 32767.0 : 1e20;
  g_DigiFilterClipMin = limit ? -32767.0 : -1e20;
}

// ---- IIR-2 ----

void TFilterControlForm::Btn_IIR2_CalculateClick()
{
  const int c = CorrectFilterEditChannel();
  std::string message;
  const int r = DesignIIR2Filter(ChainDesign, FilterDesignSampleRate(), &g_EditedDigiFilters[c],
                                 &UndoFilter, &g_FilterDescription, &message);
  FinishDesign(r, message);
}

void TFilterControlForm::StoreEditedStage()
{
  const int i = StrToIntDef(S(Ed_IIR2_EditedStage->text()), 1) - 1;
  if (i < 0 || i >= kFilterChainFileStages) return;
  FilterChainStage& st = ChainDesign.Stage[i];
  const int type = m_iir2TypeGroup->checkedId();
  st.filter_type = type >= 0 ? type : 0;
  st.f_center = StrToFloatDef(S(Ed_IIR2_StageCutoff->text()), 800.0);
  st.bandwidth = StrToFloatDef(S(Ed_IIR2_StageBandwidth->text()), 100.0);
  st.gain = StrToFloatDef(S(Ed_IIR2_StageGain->text()), 0.0);
}

void TFilterControlForm::ShowEditedStage()
{
  const int i = StrToIntDef(S(Ed_IIR2_EditedStage->text()), 1) - 1;
  if (i < 0 || i >= kFilterChainFileStages) return;
  const FilterChainStage& st = ChainDesign.Stage[i];
  Grp_IIR2_OneStage->setTitle("Properties of stage Number " + QString::number(i + 1));
  if (QAbstractButton* b = m_iir2TypeGroup->button(st.filter_type)) {
    b->setChecked(true);
  } else {  // a type no button stands for (from a chain file): none selected
    m_iir2TypeGroup->setExclusive(false);
    for (QAbstractButton* a : m_iir2TypeGroup->buttons()) a->setChecked(false);
    m_iir2TypeGroup->setExclusive(true);
  }
  Ed_IIR2_StageCutoff->setText(Q(FormatFloat("####0.####", st.f_center)));
  Ed_IIR2_StageBandwidth->setText(Q(FormatFloat("####0.####", st.bandwidth)));
  Ed_IIR2_StageGain->setText(Q(FormatFloat("##0.0", st.gain)));
}

void TFilterControlForm::IIR2_StageChanged()
{
  if (UpdatingCount == 0) StoreEditedStage();
}

void TFilterControlForm::Ed_IIR2_EditedStageChange()
{
  if (UpdatingCount > 0) return;
  RaiseUpdating();
  ShowEditedStage();
  LowerUpdating();
}

void TFilterControlForm::Ed_IIR2_TotalStagesChange()
{
  if (UpdatingCount > 0 || IIR2PageUpdatePending) return;
  ChainDesign.NrOfStages = StrToIntDef(S(Ed_IIR2_TotalStages->text()), ChainDesign.NrOfStages);
}

// ---- IIR-3 ----

bool TFilterControlForm::CalcAndApplyIIR3(int channel)
{
  if (channel < 0 || channel > 1) return false;
  IIR3DesignParams& p = g_IIR3DesignParams[channel];
  p.Fcenter = StrToFloatDef(S(Ed_IIR3_Fcenter->text()), p.Fcenter);
  p.Bandwidth = StrToFloatDef(S(Ed_IIR3_Bandwidth->text()), p.Bandwidth);
  p.Response = Cb_IIR3_ResponseType->currentIndex();
  const int code =
      CalculateIIRBandpassChain(p.Fcenter, p.Bandwidth, FilterDesignSampleRate(), p.Response,
                                &EditedFilter(), &ChainDesign);
  Lab_DesignerMessage->setText(code < 0 ? Q(IIR3ErrorText(code)) : QString());
  g_FilterDescription = IIR3Description(ChainDesign.NrOfStages, S(Ed_IIR3_Fcenter->text()),
                                        S(Ed_IIR3_Bandwidth->text()),
                                        S(Cb_IIR3_ResponseType->currentText()));
  RaiseUpdating();
  if (code < 0) {
    ShowDescription();  // the filters stay as they were
  } else {
    UpdateCoeffGrid();
    Ed_IIR2_TotalStages->setText(QString::number(ChainDesign.NrOfStages));
    Ed_IIR2_EditedStage->setText("1");
    ShowEditedStage();
    IIR2PageUpdatePending = false;
    IIR3PageUpdatePending = false;
    ActivateEditedFilter(channel);
    UpdateStatusDisplay();
  }
  LowerUpdating();
  return code >= 0;
}

void TFilterControlForm::Btn_IIR3_CalcAndApplyOneChnClick()
{
  CalcAndApplyIIR3(CorrectFilterEditChannel());
}

void TFilterControlForm::Btn_IIR3_CalcAndApplyAllChnsClick()
{
  const int c = CorrectFilterEditChannel();
  if (!CalcAndApplyIIR3(c)) return;
  const int other = 1 - c;
  g_EditedDigiFilters[other] = g_EditedDigiFilters[c];
  ActivateEditedFilter(other);
  g_IIR3DesignParams[other] = g_IIR3DesignParams[c];
}

// ---- FIR-1 and FIR-2 ----

void TFilterControlForm::Btn_CalculateFIR1DesignerClick()
{
  const int c = CorrectFilterEditChannel();
  FIR1DesignInput in;
  in.FsampleText = S(Ed_FIR1Des_Fsample->text());
  in.FcutoffText = S(Ed_FIR1Des_Fcutoff->text());
  in.BandwidthText = S(Ed_FIR1Des_Bandwidth->text());
  std::string message;
  const int r = DesignFIR1Filter(in, &g_EditedDigiFilters[c], &UndoFilter, &g_FilterDescription,
                                 &message);
  FinishDesign(r, message);
}

void TFilterControlForm::Btn_FIR2Des_CalculateClick()
{
  const int c = CorrectFilterEditChannel();
  FIR2DesignInput in;
  in.NrCoeffsText = S(Ed_FIR2Des_NrCoeffs->text());
  in.NrBandsText = S(Ed_FIR2Des_NrBands->text());
  in.TypeIndex = Combo_FIR2Des_Type->currentIndex();
  for (int r = 0; r < 10; ++r)
    for (int col = 0; col < 4; ++col) {
      const QTableWidgetItem* item = SG_FIR2Dec_FilterSpec->item(r + 1, col + 1);
      in.Cells[r][col] = item ? S(item->text()) : std::string();
    }
  std::string message;
  const int r = DesignFIR2Filter(in, &g_EditedDigiFilters[c], &UndoFilter, &g_FilterDescription,
                                 &message);
  FinishDesign(r, message);
}
