// Main window and the time-decoder window: menu item, first show, and its state at close.
#include <QAction>

#include "digimode/forms/DCF77Form.h"
#include "engine/SndConfig.h"
#include "platform/IniFile.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

class SpecMainDcf77Test : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    DCF77Form = new TDCF77Form;
  }
  void TearDown() override
  {
    MainWindowTest::TearDown();
    delete DCF77Form;
    DCF77Form = nullptr;
    SndConfig.Dcf77Active = 0;
  }
};

TEST_F(SpecMainDcf77Test, SettingShowsTheWindowAtFirstShowAndCloseStoresItsVisibility)
{
  for (int active : {1, 0}) {
    SCOPED_TRACE(active);
    vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                            "[DCF77]\r\nActive=" + std::to_string(active) + "\r\n");
    Make();
    form->show();
    EXPECT_EQ(DCF77Form->isVisible(), active == 1);
    form->close();
    EXPECT_FALSE(DCF77Form->isVisible());  // closed with the main window
    EXPECT_EQ(IniFile("SETTINGS.INI").ReadInteger("DCF77", "Active", -1), active);
    form.reset();
  }
}

TEST_F(SpecMainDcf77Test, MenuItemStartsTheDecoderAndShowsTheWindow)
{
  Make();
  form->show();
  ASSERT_FALSE(DCF77Form->isVisible());
  auto* item = form->findChild<QAction*>("DCF77decoder");
  ASSERT_NE(item, nullptr);
  item->trigger();
  EXPECT_TRUE(DCF77Form->isVisible());
  EXPECT_EQ(SndConfig.Dcf77Active.load(), 1);
  form->View1Click();
  EXPECT_TRUE(item->isChecked());
  form->close();
  EXPECT_EQ(IniFile("SETTINGS.INI").ReadInteger("DCF77", "Active", -1), 1);
}
