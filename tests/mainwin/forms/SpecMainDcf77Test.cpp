// Main window and the time-decoder window: menu item, first show, and its state at close.
#include <QAction>
#include <QMenu>
#include <cstdio>
#include <functional>
#include <string>

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

// Quick presets and profiles reset or set "DCF77" "Active"; the decoder keeps running while
// its window is open and does not start without it.
TEST_F(SpecMainDcf77Test, PresetsAndProfilesLeaveTheDecoderFollowingItsWindow)
{
  vt_test::WriteWholeFile(dir.file("on.usr"), "[ABOUT]\r\nIncludes=2\r\n[DCF77]\r\nActive=1\r\n");
  vt_test::WriteWholeFile(dir.file("off.usr"), "[ABOUT]\r\nIncludes=2\r\n[DCF77]\r\nActive=0\r\n");
  Make();
  form->show();
  auto* menu = form->findChild<QMenu*>("Menu_QuickSettings");
  ASSERT_NE(menu, nullptr);
  auto pickProfile = [&](const char* profile) {
    std::snprintf(SndConfig.UserMenu[0].MenuText, sizeof SndConfig.UserMenu[0].MenuText, "%s", profile);
    std::snprintf(SndConfig.UserMenu[0].ProfileName, sizeof SndConfig.UserMenu[0].ProfileName, "%s",
                  profile);
    emit menu->aboutToShow();
    form->findChild<QAction*>("QSMenu_User1")->trigger();
  };
  struct Case {
    const char* what;
    std::function<void()> pick;
  } const cases[] = {
      {"preset 1", [&] { form->findChild<QAction*>("Menu_SlowCW4")->trigger(); }},
      {"preset 6", [&] { form->findChild<QAction*>("QSMenu_MtHell7")->trigger(); }},
      {"profile with the decoder on", [&] { pickProfile("on"); }},
      {"profile with the decoder off", [&] { pickProfile("off"); }},
  };
  for (bool open : {true, false}) {
    if (open) form->findChild<QAction*>("DCF77decoder")->trigger();
    else DCF77Form->close();
    ASSERT_EQ(DCF77Form->isVisible(), open);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (open ? ", window open" : ", window closed"));
      c.pick();
      EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
      EXPECT_EQ(SndConfig.Dcf77Active.load(), open ? 1 : 0);
      EXPECT_EQ(DCF77Form->isVisible(), open);
    }
  }
}
