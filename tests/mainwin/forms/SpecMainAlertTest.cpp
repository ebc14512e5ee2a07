// The spectrum alert in the main window: its menu item, enabled at the first show, opens the
// dialog; closing the main window closes the dialog, which stores the alert settings, and a
// failed store is listed with the main window's own.
#include <QAction>
#include <QMessageBox>

#include "engine/forms/DialogHooks.h"
#include "interp/SpectrumAlert.h"
#include "interp/forms/AlertDlg.h"
#include "platform/IniFile.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

class SpecMainAlert : public MainWindowTest {
protected:
  void TearDown() override
  {
    delete AlertDlgForm;
    AlertDlgForm = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
    MainWindowTest::TearDown();
  }
};

TEST_F(SpecMainAlert, MenuItemOpensTheDialogWhichClosesWithTheMainWindow)
{
  TSndMainForm* f = Make();
  AlertDlgForm = new TAlertDlgForm;
  QAction* item = f->findChild<QAction*>("Menu_AlertConfig");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), "Alert function (discontinued)");
  EXPECT_FALSE(item->isEnabled());
  f->FormShow();
  EXPECT_TRUE(item->isEnabled());
  item->trigger();
  EXPECT_TRUE(AlertDlgForm->isVisible());
  AlertSettings.RangeB_Fmax = 777.25;
  f->close();
  EXPECT_FALSE(AlertDlgForm->isVisible());
  const IniFile ini(dir.file("SETTINGS.INI"));
  EXPECT_EQ(ini.ReadString("SPECTRUM_ALERT", "RangeB_Fmax", ""), "777.25");
  EXPECT_EQ(ini.ReadSection("SPECTRUM_ALERT_PATTERN").size(), 100u);
  EXPECT_FALSE(ini.ReadString("MAIN_WINDOW", "Left", "").empty());  // the same file
}

// The user settings file cannot be written: the alert dialog's failure is one more line of the
// main window's message, not a message box of its own.
TEST_F(SpecMainAlert, FailedSaveIsListedWithTheMainWindowsOwn)
{
  const std::string user = dir.file("gone/SETTINGS.INI");
  int boxes = 0;
  TDialogHooks::DialogExecHook = [&](QDialog*) {
    ++boxes;
    return 0;
  };
  auto unableLines = [&](const QString& text) {
    return text.count(QString::fromStdString("Unable to write to " + user));
  };
  int without = 0;
  {
    TSndMainForm* f = Make({"u=" + QString::fromStdString(user)});
    f->FormShow();
    f->close();
    ASSERT_FALSE(messages.isEmpty());
    without = unableLines(messages.back());
    EXPECT_GE(without, 1);
    form.reset();
  }
  messages.clear();
  TSndMainForm* f = Make({"u=" + QString::fromStdString(user)});
  AlertDlgForm = new TAlertDlgForm;
  f->FormShow();
  f->close();
  ASSERT_FALSE(messages.isEmpty());
  EXPECT_TRUE(messages.back().startsWith("Could not save the settings:"));
  EXPECT_EQ(unableLines(messages.back()), without + 1);
  EXPECT_EQ(boxes, 0);
  EXPECT_FALSE(AlertDlgForm->OnSaveError);  // only for the close
}

}  // namespace
