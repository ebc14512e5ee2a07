// Main window and the digimode terminal: the View menu item, the frequency-scale pop-up and
// the circuit window open it; the main window's close closes it and keeps its visibility.
#include <QAction>
#include <QLineEdit>
#include <QTimer>

#include "control/forms/CircuitForm.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/SndConfig.h"
#include "platform/IniFile.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

class SpecMainDigimodeTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    TerminalForm = new TTerminalForm;
    TerminalForm->Timer1->stop();
  }
  void TearDown() override
  {
    MainWindowTest::TearDown();
    delete TerminalForm;
    TerminalForm = nullptr;
    TCircuitForm::Upcalls = {};
    Digimode_Exit();
    SndConfig.DigimodeActive = 0;
  }
};

TEST_F(SpecMainDigimodeTest, MenuItemShowsTheTerminalAndCloseKeepsItsVisibility)
{
  Make();
  auto* item = form->findChild<QAction*>("Menu_DigimodeTerminal");
  ASSERT_NE(item, nullptr);
  form->show();
  EXPECT_TRUE(item->isEnabled());
  ASSERT_FALSE(TerminalForm->isVisible());
  item->trigger();
  EXPECT_TRUE(TerminalForm->isVisible());
  EXPECT_EQ(SndConfig.DigimodeActive.load(), 1);
  EXPECT_TRUE(g_DigimodeReady.load());
  form->View1Click();
  EXPECT_TRUE(item->isChecked());
  form->close();
  EXPECT_FALSE(TerminalForm->isVisible());  // closed with the main window
  EXPECT_EQ(IniFile("SETTINGS.INI").ReadInteger("TerminalForm", "Visible", -1), 1);
}

TEST_F(SpecMainDigimodeTest, FrequencyPopupShowsTheTerminalThenSetsTheDecoder)
{
  Make();
  form->show();
  form->PopupFreq = 1234.5 + SndConfig.FreqOffset;
  form->Pop_SetDecoderFreq->trigger();
  EXPECT_TRUE(TerminalForm->isVisible());
  // Set after the first show has read DIGIMODE.INI, so it is not overwritten.
  EXPECT_DOUBLE_EQ(double(DigimodeSettings.fc_rx), 1234.5);
  EXPECT_DOUBLE_EQ(g_DigimodeRxFreq.load(), 1234.5);
  TerminalForm->Timer1Timer();
  EXPECT_EQ(TerminalForm->Ed_Fcenter_RX->text(), "1234");
}

TEST_F(SpecMainDigimodeTest, CircuitWindowReachesTheTerminal)
{
  Make();
  ASSERT_TRUE(bool(TCircuitForm::Upcalls.ShowDigimodeTerminal));
  TCircuitForm::Upcalls.ShowDigimodeTerminal();
  EXPECT_TRUE(TerminalForm->isVisible());
}
