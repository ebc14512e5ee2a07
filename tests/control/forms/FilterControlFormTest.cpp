// The filter control window offscreen, with a fake engine link, answered file dialogs and a
// captured message box: grid and Apply/Undo, state buttons, caption and timing label, each
// designer page against a direct call of its design function, the file commands, and the
// default files at creation and close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTableWidget>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "common/TestUtil.h"
#include "control/FilterDesigners.h"
#include "control/FilterEditChannel.h"
#include "control/FilterFiles.h"
#include "control/IIRChain.h"
#include "control/forms/FilterControlForm.h"
#include "engine/DigiFilter.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "platform/PerfCounter.h"

namespace {

struct FakeLink : CSoundThreadLink {
  bool exists = false;
  SoundEngineStats st;
  bool ThreadExists() const override { return exists; }
  SoundEngineStats Stats() const override { return st; }
};

class FilterFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetProgramDirectory(dir.path().string());
    SetDefaultSettings();
    DigiFilter_ResetGlobals();
    g_ProcessingSampleRate = 0.0;  // not known: the designers take the nominal rate
    g_FilterDescription.clear();
    g_InstanceIndex = 0;
    SetSoundThreadLink(&link);
    TDialogHooks::FileDialogHook = [this](bool save, const QString& title, const QString& filter,
                                          QString& name) {
      asked << QString("%1|%2|%3|%4").arg(save ? "save" : "open", title, filter, name);
      if (answer.isEmpty()) return false;  // Cancel
      name = answer;
      return true;
    };
    TDialogHooks::DialogExecHook = [this](QDialog* d) {
      if (auto* box = qobject_cast<QMessageBox*>(d)) messages << box->text();
      return 0;
    };
  }
  void TearDown() override
  {
    form.reset();
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
    SetHelpContextHandler({});
    SetPerformanceCounterSource(nullptr, 0);
    SetSoundThreadLink(nullptr);
    g_InstanceIndex = 0;
    g_FilterEditChannel = 0;
    std::filesystem::current_path(m_oldCwd);
  }
  TFilterControlForm* Make()
  {
    form = std::make_unique<TFilterControlForm>();
    form->Timer1->stop();  // the tests call the handler
    return form.get();
  }
  // Past the two start-up ticks (which activate the filters read at creation).
  void Tick(int n = 1)
  {
    for (int i = 0; i < n; ++i) form->Timer1Timer();
  }
  template <class T>
  T* Get(const char* name)
  {
    T* w = form->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) { Get<QPushButton>(name)->click(); }
  void Type(const char* name, const QString& text) { Get<QLineEdit>(name)->setText(text); }
  QString Cell(int row, int col)
  {
    const QTableWidgetItem* item = form->SG_Coeff->item(row, col);
    return item ? item->text() : QString();
  }
  std::string Read(const std::string& name) { return vt_test::ReadWholeFile(dir.file(name)); }

  vt_test::TempDir dir;
  FakeLink link;
  std::unique_ptr<TFilterControlForm> form;
  QString answer;
  QStringList asked, messages;

private:
  std::filesystem::path m_oldCwd;
};

bool SameCoeffs(const DigiFilterBlock& a, const DigiFilterBlock& b)
{
  if (a.MaxCoeff != b.MaxCoeff || a.Is_IIR != b.Is_IIR || a.Cascaded != b.Cascaded) return false;
  const int n = std::min(a.MaxCoeff, kDigiFilterMaxOrder);
  for (int i = 0; i <= n; ++i)
    if (a.alpha[i] != b.alpha[i] || (a.Is_IIR && i > 0 && a.beta[i] != b.beta[i])) return false;
  return true;
}

}  // namespace

TEST_F(FilterFormTest, MaxCoeffTextIsLimitedOrKept)
{
  struct Case {
    const char* text;
    int expected;
  } cases[] = {{"0", 1}, {"-5", 1}, {"300", 128}, {"abc", 2}, {"7", 7}};
  for (const Case& c : cases) {
    Make();
    Tick(3);
    ASSERT_EQ(g_EditedDigiFilters[0].MaxCoeff, 2);
    Type("Ed_MaxCoeff", c.text);
    Click("Btn_Apply");
    EXPECT_EQ(g_EditedDigiFilters[0].MaxCoeff, c.expected) << c.text;
    EXPECT_EQ(g_DigiFilters[0].MaxCoeff, c.expected) << c.text;
    EXPECT_EQ(form->SG_Coeff->rowCount(), c.expected + 2) << c.text;
    EXPECT_EQ(Get<QLineEdit>("Ed_MaxCoeff")->text(), QString::number(c.expected));
  }
}

TEST_F(FilterFormTest, RowsHiddenBySmallerCountComeBack)
{
  Make();
  Tick(3);
  Type("Ed_MaxCoeff", "5");
  Click("Btn_Apply");
  EXPECT_EQ(g_DigiFilters[0].MaxCoeff, 5);
  for (int i = 3; i <= 5; ++i) EXPECT_EQ(g_EditedDigiFilters[0].alpha[i], 0.0);  // new rows: 0
  for (int i = 3; i <= 5; ++i) form->SG_Coeff->item(i + 1, 1)->setText(QString::number(i * 0.25));
  form->SG_Coeff->item(4, 2)->setText("0.125");  // beta 3
  Click("Btn_Apply");
  Type("Ed_MaxCoeff", "2");
  Click("Btn_Apply");
  EXPECT_EQ(form->SG_Coeff->rowCount(), 4);
  Type("Ed_MaxCoeff", "5");
  Click("Btn_Apply");
  const DigiFilterBlock& b = g_EditedDigiFilters[0];
  EXPECT_EQ(b.alpha[3], 0.75);
  EXPECT_EQ(b.alpha[5], 1.25);
  EXPECT_EQ(b.beta[3], 0.125);
  EXPECT_EQ(Cell(6, 1), "1.25");
  EXPECT_TRUE(SameCoeffs(g_DigiFilters[0], b));
}

TEST_F(FilterFormTest, BetaCellsEmptyAtSectionStarts)
{
  Make();
  for (int cascaded : {3, 0}) {
    DigiFilterBlock& b = g_EditedDigiFilters[0];
    b.MaxCoeff = 29;
    b.Is_IIR = 1;
    b.Cascaded = cascaded;
    for (int i = 0; i <= 29; ++i) b.beta[i] = 0.5 + i;
    form->UpdateCoeffGrid();
    ASSERT_EQ(form->SG_Coeff->columnCount(), 3);
    EXPECT_EQ(Cell(0, 2), "beta");
    EXPECT_EQ(Get<QLineEdit>("Ed_Cascaded")->text(), QString::number(cascaded));
    for (int i = 0; i <= 29; ++i) {
      const bool empty = cascaded ? i % 3 == 0 : i == 0;
      EXPECT_EQ(Cell(i + 1, 2).isEmpty(), empty) << "cascaded " << cascaded << " row " << i;
    }
  }
  EXPECT_TRUE(Get<QLineEdit>("Ed_Cascaded")->isReadOnly());
  g_EditedDigiFilters[0].Is_IIR = 0;
  form->UpdateCoeffGrid();
  EXPECT_EQ(form->SG_Coeff->columnCount(), 2);
  EXPECT_TRUE(Get<QRadioButton>("Rbtn_TypeFIR")->isChecked());
}

TEST_F(FilterFormTest, UndoTwiceRestoresAndApplyReplacesTheUndoCopy)
{
  Make();
  Tick(3);
  form->SG_Coeff->item(1, 1)->setText("0.5");
  Click("Btn_Apply");  // A -> B
  EXPECT_EQ(g_DigiFilters[0].alpha[0], 0.5);
  Click("Btn_Undo");   // back to A
  EXPECT_EQ(g_EditedDigiFilters[0].alpha[0], 0.0);
  EXPECT_EQ(g_DigiFilters[0].alpha[0], 0.0);
  EXPECT_EQ(Cell(1, 1), "0");
  Click("Btn_Undo");   // B again
  EXPECT_EQ(g_EditedDigiFilters[0].alpha[0], 0.5);
  EXPECT_EQ(g_DigiFilters[0].alpha[0], 0.5);
  form->SG_Coeff->item(1, 1)->setText("0.25");
  Click("Btn_Apply");  // undo copy is now B, A is gone
  Click("Btn_Undo");
  EXPECT_EQ(g_EditedDigiFilters[0].alpha[0], 0.5);
}

TEST_F(FilterFormTest, StartStopAndBypassShowStateWithAndWithoutThread)
{
  Make();
  Tick(3);
  QPushButton* start = Get<QPushButton>("Btn_StartStop");
  QPushButton* bypass = Get<QPushButton>("Btn_Bypass");
  SndConfig.StartDigitalFilter = 0;
  SndConfig.DigitalFilterBypass = 0;
  start->click();  // without a thread the bit still toggles
  EXPECT_EQ(start->text(), "Off!");
  EXPECT_EQ(SndConfig.StartDigitalFilter, 1);
  link.exists = true;
  Tick();
  EXPECT_EQ(start->text(), "Started");
  EXPECT_TRUE(bypass->isEnabled());
  bypass->click();
  EXPECT_EQ(bypass->text(), "Bypassed");
  EXPECT_EQ(SndConfig.DigitalFilterBypass, 1);
  form->Menu_FilterRunning->trigger();  // same as the button
  EXPECT_EQ(start->text(), "Stopped");
  EXPECT_FALSE(bypass->isEnabled());
  EXPECT_EQ(bypass->text(), "Bypassed");        // still in force
  EXPECT_EQ(SndConfig.DigitalFilterBypass, 1);  // stays set
  g_FilterEditChannel = 1;
  start->click();
  EXPECT_EQ(SndConfig.StartDigitalFilter, 2);
  g_FilterEditChannel = 7;  // taken as 1
  Tick();
  EXPECT_EQ(g_FilterEditChannel, 1);
  EXPECT_EQ(start->text(), "Started");
  EXPECT_EQ(bypass->text(), "Bypass");
}

// The bypass button shows the state in force for the edited channel, also while it is disabled
// (a stopped filter): the audio thread passes a bypassed channel's input whether its filter
// runs or not, and silences a channel that is neither running nor bypassed.
TEST_F(FilterFormTest, BypassCaptionShowsTheStateInForce)
{
  Make();
  link.exists = true;
  Tick(3);
  QPushButton* start = Get<QPushButton>("Btn_StartStop");
  QPushButton* bypass = Get<QPushButton>("Btn_Bypass");
  struct Case {
    int running, bypassed;  // channel bit masks
    int channel;
    const char* startText;
    bool bypassEnabled;
    const char* bypassText;
  } cases[] = {
      {0, 0, 0, "Stopped", false, "Bypass"},   {0, 1, 0, "Stopped", false, "Bypassed"},
      {1, 0, 0, "Started", true, "Bypass"},    {1, 1, 0, "Started", true, "Bypassed"},
      {1, 2, 1, "Stopped", false, "Bypassed"}, {2, 1, 1, "Started", true, "Bypass"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "running " << c.running << " bypassed " << c.bypassed
                                    << " channel " << c.channel);
    SndConfig.StartDigitalFilter = c.running;
    SndConfig.DigitalFilterBypass = c.bypassed;
    g_FilterEditChannel = c.channel;
    Tick();
    EXPECT_EQ(start->text().toStdString(), c.startText);
    EXPECT_EQ(bypass->isEnabled(), c.bypassEnabled);
    EXPECT_EQ(bypass->text().toStdString(), c.bypassText);
  }
  // The steps: "Stopped" -> "Started", "Bypass" -> "Bypassed", "Started" -> "Stopped".
  g_FilterEditChannel = 0;
  SndConfig.StartDigitalFilter = 0;
  SndConfig.DigitalFilterBypass = 0;
  Tick();
  start->click();
  bypass->click();
  start->click();
  EXPECT_EQ(start->text().toStdString(), "Stopped");
  EXPECT_FALSE(bypass->isEnabled());
  EXPECT_EQ(bypass->text().toStdString(), "Bypassed");
}

TEST_F(FilterFormTest, CaptionFollowsChannelCountChannelAndInstance)
{
  g_InstanceIndex = 1;
  Make();
  EXPECT_EQ(form->windowTitle(), "Filter Control Window [2]");
  Tick(3);
  EXPECT_EQ(form->windowTitle(), "Filter Control Window [2]");
  g_FilterEditChannel = 1;
  Tick();
  EXPECT_EQ(form->windowTitle(), "Filter Control Window [2]");  // one processed channel
  link.st.nrProcessedChannels = 2;
  Tick();
  EXPECT_EQ(form->windowTitle(), "Filter Control Window (Right Channel) [2]");
  g_FilterEditChannel = 0;
  Tick();
  EXPECT_EQ(form->windowTitle(), "Filter Control Window (Left Channel) [2]");
}

TEST_F(FilterFormTest, TimingLabelFromStageTicks)
{
  struct Case {
    int64_t ticks, frequency;
    int block;
    const char* text;
  } cases[] = {
      {1500, 3579545, 4096, "102ns per Calculation"},
      // T x 10^9 overflows 64 bits here.
      {20000000000000LL, 1000000000, 4096, "4882812500ns per Calculation"},
      {1500, 3579545, 512, "818ns per Calculation"},
  };
  Make();
  form->show();
  Tick(3);
  for (const Case& c : cases) {
    SetPerformanceCounterSource([] { return int64_t{0}; }, c.frequency);
    link.st.stageTicks[SNDTHD_STAGE_CUSTOM_FILTER] = c.ticks;
    link.st.processedBlockLength = c.block;
    Tick();
    EXPECT_EQ(Get<QLabel>("Lab_Message")->text(), c.text);
  }
  link.st.processedBlockLength = 0;  // nothing to divide by: the label keeps its text
  Tick();
  EXPECT_EQ(Get<QLabel>("Lab_Message")->text(), "818ns per Calculation");
}

// With the input halved (divisor 2) the filters run at 5,512.5 Hz: every designer works at
// that rate, and the pages say so.
TEST_F(FilterFormTest, DesignButtonsEqualTheDesignFunctions)
{
  SndConfig.SampleRate = 11025;
  SndConfig.SampleRateDivisor = 2;
  g_ProcessingSampleRate = 5512.5;
  Make();
  form->show();
  Tick(3);
  EXPECT_EQ(Get<QLineEdit>("Ed_FIR1Des_Fsample")->text(), "5512.5");
  for (const char* label : {"Lab_IIR1_SampleRate", "Lab_IIR2_SampleRate", "Lab_IIR3_SampleRate"})
    EXPECT_TRUE(Get<QLabel>(label)->text().endsWith(" 5512.5 Hz")) << label;
  g_FilterEditChannel = 1;
  struct Page {
    const char* button;
    std::function<int(DigiFilterBlock*)> direct;
  };
  FilterChainDesign chain = form->ChainDesign;
  const Page pages[] = {
      {"Btn_CalcIIR1",
       [](DigiFilterBlock* b) {
         IIR1DesignInput in;
         in.PolesText = "6";
         in.SampleRate = 5512.5;
         return DesignIIR1Filter(in, b, nullptr, nullptr, nullptr);
       }},
      {"Btn_IIR2_Calculate",
       [&chain](DigiFilterBlock* b) {
         chain.NrOfStages = 4;
         return DesignIIR2Filter(chain, 5512.5, b, nullptr, nullptr, nullptr);
       }},
      {"Btn_IIR3_CalcAndApplyOneChn",
       [](DigiFilterBlock* b) {
         return CalculateIIRBandpassChain(650, 50, 5512.5, 1, b, nullptr) == IIR3_OK ? 0 : -1;
       }},
      {"Btn_CalculateFIR1Designer",
       [](DigiFilterBlock* b) {
         FIR1DesignInput in;
         in.FsampleText = "5512.5";
         return DesignFIR1Filter(in, b, nullptr, nullptr, nullptr);
       }},
      {"Btn_FIR2Des_Calculate",
       [](DigiFilterBlock* b) {
         FIR2DesignInput in;
         in.NrCoeffsText = "31";
         in.NrBandsText = "2";
         const char* cells[2][4] = {{"0", "0.1", "1", "1"}, {"0.2", "0.5", "0", "1"}};
         for (int r = 0; r < 2; ++r)
           for (int c = 0; c < 4; ++c) in.Cells[r][c] = cells[r][c];
         return DesignFIR2Filter(in, b, nullptr, nullptr, nullptr);
       }},
  };
  form->PageControl1->setCurrentWidget(form->TS_Design2);
  Tick();  // the page refresh; from here on a typed stage count counts
  Type("Ed_IIR_NrOfPoles", "6");
  Type("Ed_IIR2_TotalStages", "4");
  Type("Ed_FIR2Des_NrCoeffs", "31");
  Type("Ed_FIR2Des_NrBands", "2");
  const char* cells[2][4] = {{"0", "0.1", "1", "1"}, {"0.2", "0.5", "0", "1"}};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c)
      form->SG_FIR2Dec_FilterSpec->setItem(r + 1, c + 1, new QTableWidgetItem(cells[r][c]));
  for (const Page& p : pages) {
    DigiFilterBlock expected = g_EditedDigiFilters[1];
    ASSERT_EQ(p.direct(&expected), 0) << p.button;
    const DigiFilterBlock left = g_EditedDigiFilters[0];
    Click(p.button);
    EXPECT_TRUE(SameCoeffs(g_EditedDigiFilters[1], expected)) << p.button;
    EXPECT_TRUE(SameCoeffs(g_DigiFilters[1], expected)) << p.button;
    EXPECT_TRUE(SameCoeffs(g_EditedDigiFilters[0], left)) << p.button;  // other channel kept
    EXPECT_EQ(form->SG_Coeff->rowCount(), expected.MaxCoeff + 2) << p.button;
    EXPECT_FALSE(form->Mem_Description->toPlainText().isEmpty()) << p.button;
  }
  EXPECT_EQ(Get<QLabel>("Lab_DesignerMessage")->text(), "Remez filter design ok");
  // IIR-3 also filled the stage table, which the IIR-2 page shows.
  EXPECT_EQ(form->ChainDesign.NrOfStages, 10);
}

TEST_F(FilterFormTest, RefusedInputChangesNeitherFilter)
{
  SndConfig.SampleRate = 11025;
  Make();
  Tick(3);
  struct Case {
    const char* edit;
    const char* text;
    const char* button;
    const char* message;  // "" for the silent refusals
  } cases[] = {
      {"Ed_IIR_CutoffFreq", "6000", "Btn_CalcIIR1", "Cut-off"},
      {"Ed_IIR_NrOfPoles", "3", "Btn_CalcIIR1", ""},
      {"Ed_IIR2_TotalStages", "0", "Btn_IIR2_Calculate", ""},
      {"Ed_IIR3_Bandwidth", "0", "Btn_IIR3_CalcAndApplyOneChn", "code=-1"},
      {"Ed_FIR1Des_Bandwidth", "-5", "Btn_CalculateFIR1Designer", "Bandwidth"},
  };
  for (const Case& c : cases) {
    const DigiFilterBlock edited = g_EditedDigiFilters[0];
    const DigiFilterBlock running = g_DigiFilters[0];
    const DigiFilterBlock undo = form->UndoFilter;
    Get<QLabel>("Lab_DesignerMessage")->clear();
    Type(c.edit, c.text);
    Click(c.button);
    EXPECT_TRUE(SameCoeffs(g_EditedDigiFilters[0], edited)) << c.button;
    EXPECT_TRUE(SameCoeffs(g_DigiFilters[0], running)) << c.button;
    EXPECT_TRUE(SameCoeffs(form->UndoFilter, undo)) << c.button;
    const QString label = Get<QLabel>("Lab_DesignerMessage")->text();
    if (*c.message)
      EXPECT_TRUE(label.contains(c.message)) << c.button << ": " << label.toStdString();
    else
      EXPECT_TRUE(label.isEmpty()) << c.button;
  }
}

TEST_F(FilterFormTest, ApplyToAllChannelsCopiesFilterAndParameters)
{
  SndConfig.SampleRate = 8000;
  Make();
  Tick(3);
  Type("Ed_IIR3_Fcenter", "1000");
  Type("Ed_IIR3_Bandwidth", "80");
  Get<QComboBox>("Cb_IIR3_ResponseType")->setCurrentIndex(3);  // 8 sections
  Click("Btn_IIR3_CalcAndApplyAllChns");
  for (int ch = 0; ch < 2; ++ch) {
    EXPECT_EQ(g_EditedDigiFilters[ch].MaxCoeff, 23);
    EXPECT_EQ(g_EditedDigiFilters[ch].Cascaded, 3);
    EXPECT_TRUE(SameCoeffs(g_DigiFilters[ch], g_EditedDigiFilters[0]));
    EXPECT_EQ(g_IIR3DesignParams[ch].Fcenter, 1000.0);
    EXPECT_EQ(g_IIR3DesignParams[ch].Bandwidth, 80.0);
    EXPECT_EQ(g_IIR3DesignParams[ch].Response, 3);
  }
  EXPECT_EQ(Get<QLineEdit>("Ed_IIR2_TotalStages")->text(), "8");
}

TEST_F(FilterFormTest, CoefficientFilesRoundTripAndCancelChangesNothing)
{
  Make();
  Tick(3);
  g_FilterEditChannel = 1;
  form->UpdateCoeffGrid();
  form->SG_Coeff->item(2, 1)->setText("0.375");
  Click("Btn_Apply");
  form->Mem_Description->setPlainText("first line\nsecond line");
  answer = QString::fromStdString(dir.file("coeffs.flt"));
  Click("Btn_Save");
  EXPECT_TRUE(asked.last().startsWith("save|Save Filter Coefficients|"
                                      "Filter Coefficient Files (*.flt *.FLT)|"));
  EXPECT_STREQ(SndConfig.CoeffFile[1], answer.toLocal8Bit().constData());
  EXPECT_NE(Read("coeffs.flt").find("[FilterParams]"), std::string::npos);  // no suffix

  const DigiFilterBlock saved = g_EditedDigiFilters[1];
  form->SG_Coeff->item(2, 1)->setText("9");
  Click("Btn_Apply");
  form->Mem_Description->setPlainText("changed");
  answer.clear();  // Cancel
  Click("Btn_Load");
  EXPECT_EQ(g_EditedDigiFilters[1].alpha[1], 9.0);
  EXPECT_EQ(form->Mem_Description->toPlainText(), "changed");
  answer = QString::fromStdString(dir.file("coeffs.flt"));
  Click("Btn_Load");
  EXPECT_TRUE(asked.last().startsWith("open|Load Filter Coefficients|"));
  EXPECT_TRUE(SameCoeffs(g_EditedDigiFilters[1], saved));
  EXPECT_TRUE(SameCoeffs(g_DigiFilters[1], saved));
  EXPECT_EQ(form->UndoFilter.alpha[1], 9.0);  // the filter before the load
  EXPECT_EQ(form->Mem_Description->toPlainText(), "first line\nsecond line");
  EXPECT_EQ(Get<QLabel>("Lab_CurrFileName")->text(), answer);
}

TEST_F(FilterFormTest, DesignFilesRoundTrip)
{
  SndConfig.SampleRate = 11025;
  Make();
  form->show();
  Tick(3);
  // IIR-2: stage table through "*.flc"; loading designs and activates.
  form->PageControl1->setCurrentWidget(form->TS_Design2);
  Tick();
  Type("Ed_IIR2_TotalStages", "3");
  Type("Ed_IIR2_EditedStage", "2");
  Type("Ed_IIR2_StageCutoff", "1234.5");
  Get<QRadioButton>("RBtn_IIR2_BandReject")->click();
  answer = QString::fromStdString(dir.file("chain.flc"));
  Click("Btn_IIR2_Save");
  EXPECT_TRUE(asked.last().startsWith("save|Save Chain Filter Design|"
                                      "Filter Chain Design Files (*.flc *.FLC)|"));
  const FilterChainDesign saved = form->ChainDesign;
  form->ChainDesign.NrOfStages = 7;
  form->ChainDesign.Stage[1].f_center = 1.0;
  answer.clear();
  Click("Btn_IIR2_Load");  // Cancel
  EXPECT_EQ(form->ChainDesign.NrOfStages, 7);
  answer = QString::fromStdString(dir.file("chain.flc"));
  Click("Btn_IIR2_Load");
  EXPECT_EQ(form->ChainDesign.NrOfStages, 3);
  EXPECT_EQ(form->ChainDesign.Stage[1].f_center, 1234.5);
  EXPECT_EQ(form->ChainDesign.Stage[1].filter_type, 4);
  DigiFilterBlock expected = g_EditedDigiFilters[0];
  ASSERT_EQ(DesignIIR2Filter(saved, 11025, &expected, nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(SameCoeffs(g_DigiFilters[0], expected));
  EXPECT_STREQ(SndConfig.IIR2DesignFile[0], answer.toLocal8Bit().constData());

  // FIR-2: band table through "*.fir", with all ten band rows.
  Type("Ed_FIR2Des_NrCoeffs", "41");
  Type("Ed_FIR2Des_NrBands", "10");
  for (int r = 1; r <= 10; ++r)
    for (int c = 1; c <= 4; ++c)
      form->SG_FIR2Dec_FilterSpec->setItem(
          r, c, new QTableWidgetItem(QString::number(c < 3 ? (r - 1) * 0.05 + (c - 1) * 0.02
                                                           : (r % 2) + c - 3)));
  EXPECT_EQ(form->SG_FIR2Dec_FilterSpec->item(10, 0)->text(), "10");
  answer = QString::fromStdString(dir.file("remez.fir"));
  Click("Btn_FIR2Des_Save");
  EXPECT_TRUE(asked.last().startsWith("save|Save Remez Filter Design|"
                                      "FIR Filter Design Files (*.fir *.FIR)|"));
  const QString band10 = form->SG_FIR2Dec_FilterSpec->item(10, 2)->text();
  form->SG_FIR2Dec_FilterSpec->item(10, 2)->setText("x");
  Type("Ed_FIR2Des_NrCoeffs", "5");
  Click("Btn_FIR2Des_Load");
  EXPECT_EQ(Get<QLineEdit>("Ed_FIR2Des_NrCoeffs")->text(), "41");
  EXPECT_EQ(form->SG_FIR2Dec_FilterSpec->item(10, 2)->text(), band10);
  EXPECT_EQ(g_DigiFilters[0].MaxCoeff, 40);  // designed and activated
  EXPECT_EQ(g_DigiFilters[0].Is_IIR, 0);
}

TEST_F(FilterFormTest, BadFileNamesAndWriteErrorsAreReported)
{
  Make();
  Tick(3);
  const std::string before = SndConfig.CoeffFile[0];
  answer = QString::fromStdString(dir.file("")) + QString("sub/").repeated(60) + "x.flt";
  Click("Btn_Save");
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("255"));
  EXPECT_EQ(SndConfig.CoeffFile[0], before);  // nothing stored cut short
  EXPECT_FALSE(std::filesystem::exists(dir.file("sub")));

  answer = QString::fromStdString(dir.file("no/such/dir/x.flt"));
  Click("Btn_Save");
  ASSERT_EQ(messages.size(), 2);
  EXPECT_TRUE(messages[1].contains("Unable to write to")) << messages[1].toStdString();
  answer = QString::fromStdString(dir.file("no/such/dir/x.flc"));
  Click("Btn_IIR2_Save");
  answer = QString::fromStdString(dir.file("no/such/dir/x.fir"));
  Click("Btn_FIR2Des_Save");
  EXPECT_EQ(messages.size(), 4);
}

TEST_F(FilterFormTest, StartWithoutWithAndWithOutOfRangeDefaultFile)
{
  // Without "default.flt": the built-in shape, coefficients cleared by the read.
  Make();
  Tick(2);
  EXPECT_EQ(g_DigiFilters[0].MaxCoeff, 2);
  EXPECT_EQ(g_DigiFilters[0].Is_IIR, 1);
  EXPECT_EQ(g_DigiFilters[0].alpha[2], 0.0);
  form.reset();

  vt_test::WriteWholeFile(dir.file("default.flt"),
                          "[FilterParams]\nMaxCoeff=3\nIs_IIR=0\n[FilterCoefficients]\n"
                          "alpha0=0.5\nalpha3=0.25\n[FilterParams2]\nMaxCoeff=200\nIs_IIR=0\n"
                          "[FilterCoefficients2]\nalpha128=0.125\n[IIR3design2]\nFcenter=900\n");
  Make();
  Tick(1);
  EXPECT_NE(g_DigiFilters[0].MaxCoeff, 3);  // running only from the second tick
  Tick(1);
  EXPECT_EQ(g_DigiFilters[0].MaxCoeff, 3);
  EXPECT_EQ(g_DigiFilters[0].alpha[3], 0.25);
  EXPECT_EQ(g_DigiFilters[1].MaxCoeff, 128);  // clamped when handed over
  EXPECT_EQ(g_DigiFilters[1].alpha[128], 0.125);
  EXPECT_EQ(g_IIR3DesignParams[1].Fcenter, 900.0);
  EXPECT_EQ(g_IIR3DesignParams[0].Fcenter, 650.0);
  g_FilterEditChannel = 1;
  Tick(1);  // the grid refresh of the third tick
  form->UpdateCoeffGrid();
  EXPECT_EQ(g_EditedDigiFilters[1].MaxCoeff, 128);
  EXPECT_EQ(form->SG_Coeff->rowCount(), 130);
  EXPECT_EQ(Cell(129, 1), "0.125");
}

TEST_F(FilterFormTest, CloseWritesDefaultFilesAndPlacement)
{
  // The working directory is not the program directory: the default files are written into
  // the working directory, never beside the program, and come back at the next start.
  const std::filesystem::path prog = dir.path() / "prog";
  std::filesystem::create_directory(prog);
  SetProgramDirectory(prog.string());
  Make();
  form->show();
  Tick(3);
  form->ChainDesign.NrOfStages = 2;
  form->ChainDesign.Stage[1].f_center = 555.0;
  g_EditedDigiFilters[1].alpha[1] = 0.0625;
  g_IIR3DesignParams[0].Bandwidth = 77.0;
  form->close();
  EXPECT_TRUE(messages.isEmpty());
  const std::string flt = Read("default.flt");
  EXPECT_NE(flt.find("[FilterCoefficients2]"), std::string::npos);
  EXPECT_NE(flt.find("alpha1=0.0625"), std::string::npos);
  EXPECT_NE(flt.find("Bandwidth=77"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "default.flc"));
  EXPECT_TRUE(std::filesystem::is_empty(prog)) << "written beside the program";
  const std::string ini = Read("SETTINGS.INI");
  EXPECT_NE(ini.find("[FilterControlForm]"), std::string::npos);
  EXPECT_NE(ini.find("Visible=1"), std::string::npos);  // open when the user closed it
  QCloseEvent atEnd;  // again at program end, now hidden
  QApplication::sendEvent(form.get(), &atEnd);
  EXPECT_NE(Read("SETTINGS.INI").find("Visible=0"), std::string::npos);
  form.reset();

  g_EditedDigiFilters[1].alpha[1] = 0;
  Make();
  EXPECT_EQ(form->ChainDesign.NrOfStages, 2);
  EXPECT_EQ(form->ChainDesign.Stage[1].f_center, 555.0);
  EXPECT_EQ(g_EditedDigiFilters[1].alpha[1], 0.0625);
  EXPECT_EQ(g_IIR3DesignParams[0].Bandwidth, 77.0);
}

TEST_F(FilterFormTest, CloseReportsWriteErrorsAndGoesOn)
{
  // Directories in the way: the default files cannot be written.
  std::filesystem::create_directory(dir.path() / "default.flt");
  std::filesystem::create_directory(dir.path() / "default.flc");
  Make();
  form->show();
  form->close();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("default.flt")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains("default.flc")) << messages[0].toStdString();
  EXPECT_NE(Read("SETTINGS.INI").find("[FilterControlForm]"), std::string::npos);
}

TEST_F(FilterFormTest, StageEditorUpDownsAndPages)
{
  Make();
  form->show();
  Tick(3);
  form->PageControl1->setCurrentWidget(form->TS_Design2);
  Tick();  // the page refresh shows the table
  auto* total = Get<QSpinBox>("Ud_IIR2_TotalStages");
  auto* edited = Get<QSpinBox>("Ud_IIR2_EditedStage");
  EXPECT_EQ(total->maximum(), 32);
  EXPECT_EQ(edited->maximum(), 32);
  EXPECT_EQ(total->minimum(), 1);
  total->setValue(32);
  EXPECT_EQ(Get<QLineEdit>("Ed_IIR2_TotalStages")->text(), "32");
  EXPECT_EQ(form->ChainDesign.NrOfStages, 32);
  Type("Ed_IIR2_TotalStages", "abc");  // keeps the count
  EXPECT_EQ(form->ChainDesign.NrOfStages, 32);
  edited->setValue(32);
  EXPECT_EQ(Get<QLineEdit>("Ed_IIR2_EditedStage")->text(), "32");
  EXPECT_EQ(form->Grp_IIR2_OneStage->title(), "Properties of stage Number 32");
  Type("Ed_IIR2_StageGain", "2.5");
  EXPECT_EQ(form->ChainDesign.Stage[31].gain, 2.5);
  Type("Ed_IIR2_EditedStage", "33");  // neither shown nor stored
  Type("Ed_IIR2_StageGain", "3");
  EXPECT_EQ(form->ChainDesign.Stage[32].gain, 1.0);
  EXPECT_EQ(form->Grp_IIR2_OneStage->title(), "Properties of stage Number 32");

  form->PageControl1->setCurrentWidget(form->TS_Design3);
  g_IIR3DesignParams[0] = {1234.5678, 12.0, 7};
  g_FilterEditChannel = 1;
  Tick();
  g_FilterEditChannel = 0;
  g_IIR3DesignParams[0] = {1234.5678, 12.0, 7};
  Tick();
  EXPECT_EQ(Get<QLineEdit>("Ed_IIR3_Fcenter")->text(), "1234.568");
  EXPECT_EQ(Get<QLineEdit>("Ed_IIR3_Bandwidth")->text(), "12.0");
  EXPECT_EQ(Get<QComboBox>("Cb_IIR3_ResponseType")->currentIndex(), 7);
}

// The up-down arrows step from the number the edit shows, whether the user typed it or the
// window set it from the stage table, and stay within 1..32.
TEST_F(FilterFormTest, StageUpDownArrowsStepFromTheEdit)
{
  Make();
  form->show();
  Tick(3);
  form->PageControl1->setCurrentWidget(form->TS_Design2);
  Tick();
  // A mouse click on the up or down arrow of the up-down, as the user does it.
  auto clickArrow = [](QSpinBox* ud, bool up) {
    QStyleOptionSpinBox opt;
    opt.initFrom(ud);
    opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame;
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    opt.buttonSymbols = ud->buttonSymbols();
    const QRect r = ud->style()->subControlRect(
        QStyle::CC_SpinBox, &opt, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, ud);
    QTest::mouseClick(ud, Qt::LeftButton, Qt::NoModifier, r.center());
  };
  struct Case {
    const char* edit;
    const char* updown;
    int stagesInTable;  // > 0: the window shows the table's count (Total only), else typed
    const char* typed;
    bool up;
    const char* after;
  };
  const Case cases[] = {
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 0, "0", true, "1"},
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 0, "0", false, "0"},  // nothing below 1
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 0, "7", true, "8"},
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 0, "7", false, "6"},
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 0, "40", false, "32"},
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 0, "40", true, "40"},  // nothing above 32
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 12, nullptr, true, "13"},
      {"Ed_IIR2_TotalStages", "Ud_IIR2_TotalStages", 12, nullptr, false, "11"},
      {"Ed_IIR2_EditedStage", "Ud_IIR2_EditedStage", 0, "0", true, "1"},
      {"Ed_IIR2_EditedStage", "Ud_IIR2_EditedStage", 0, "9", true, "10"},
      {"Ed_IIR2_EditedStage", "Ud_IIR2_EditedStage", 0, "9", false, "8"},
      {"Ed_IIR2_EditedStage", "Ud_IIR2_EditedStage", 0, "33", false, "32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.edit) + " " + (c.typed ? c.typed : "table") + (c.up ? " up" : " down"));
    auto* ed = Get<QLineEdit>(c.edit);
    auto* ud = Get<QSpinBox>(c.updown);
    ud->setValue(5);  // an earlier position that the arrows must not step from
    if (c.stagesInTable > 0) {
      form->ChainDesign.NrOfStages = c.stagesInTable;
      form->IIR2PageUpdatePending = true;
      Tick();
      ASSERT_EQ(ed->text(), QString::number(c.stagesInTable));
    } else {
      ed->setText(c.typed);
    }
    clickArrow(ud, c.up);
    EXPECT_EQ(ed->text(), c.after);
    // And a second click goes on from there.
    const int now = ed->text().toInt();
    if (now >= 1 && now < 32) {
      clickArrow(ud, true);
      EXPECT_EQ(ed->text(), QString::number(now + 1));
    }
  }
  // The count typed or stepped to is the table's count.
  auto* total = Get<QLineEdit>("Ed_IIR2_TotalStages");
  total->setText("0");
  clickArrow(Get<QSpinBox>("Ud_IIR2_TotalStages"), true);
  EXPECT_EQ(form->ChainDesign.NrOfStages, 1);
}

TEST_F(FilterFormTest, TestPageAndHelp)
{
  Make();
  form->show();
  Tick(3);
  Get<QCheckBox>("Chk_Test_Limit32k")->click();
  EXPECT_EQ(g_DigiFilterClipMax.load(), 32767.0);
  EXPECT_EQ(g_DigiFilterClipMin.load(), -32767.0);
  Get<QCheckBox>("Chk_Test_Limit32k")->click();
  EXPECT_EQ(g_DigiFilterClipMax.load(), 1e20);
  Get<QCheckBox>("Chk_Test_PeakZ")->click();
  EXPECT_TRUE(g_DigiFilterTestPeakZ.load());
  g_DigiFilterPeakZ = 40000.5;
  Tick();
  EXPECT_EQ(Get<QLabel>("Lab_Test_MaxZValue")->text(), "40000.5");
  Click("Btn_ResetTestZPeak");
  EXPECT_EQ(g_DigiFilterPeakZ.load(), 0.0);
  g_DigiFilters[0].z[1] = 5;
  g_DigiFilters[1].z[7] = 5;
  Click("Btn_ResetZ1");
  EXPECT_EQ(g_DigiFilters[0].z[1], 0.0);
  EXPECT_EQ(g_DigiFilters[1].z[7], 0.0);

  std::vector<uint32_t> contexts;
  SetHelpContextHandler([&](uint32_t c) {
    contexts.push_back(c);
    return true;
  });
  Click("Btn_Help");
  EXPECT_EQ(contexts, std::vector<uint32_t>{800});

  form->activateWindow();
  struct Case {
    QWidget* focus;
    uint32_t context;
  } cases[] = {{form->SG_Coeff, 810}, {form->Ed_MaxCoeff, 810}, {form->Rbtn_TypeFIR, 840},
               {form->Rbtn_TypeIIR, 850}, {form->Ed_IIR_CutoffFreq, 800}};
  for (const Case& c : cases) {
    form->PageControl1->setCurrentWidget(c.focus->parentWidget());
    c.focus->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), c.focus) << c.focus->objectName().toStdString();
    EXPECT_EQ(form->HelpContextOfFocus(), c.context) << c.focus->objectName().toStdString();
  }
}

TEST_F(FilterFormTest, StayOnTopIsStored)
{
  Make();
  form->show();
  form->Menu_StayOnTop->trigger();
  EXPECT_TRUE(form->Menu_StayOnTop->isChecked());
  EXPECT_TRUE(form->isVisible());
  form->close();
  EXPECT_NE(Read("SETTINGS.INI").find("FormStyle=3"), std::string::npos);
  form.reset();
  Make();
  EXPECT_TRUE(form->Menu_StayOnTop->isChecked());
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  form->Menu_StayOnTop->trigger();
  EXPECT_FALSE(form->windowFlags() & Qt::WindowStaysOnTopHint);
}
