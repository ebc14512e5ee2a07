// The user menus and profiles dialog offscreen: the OK button's modes, reading "ABOUT", the
// import, the entry numbers, and the refused names and failed saves. The main window's profile
// operations are stood in for by handlers that record their calls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/TestUtil.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "interp/ProfileSeam.h"
#include "interp/forms/MenuDefU.h"

namespace {

struct Call {
  std::string file;
  int parts;
  std::string menuText, profileName, aboutMenu, aboutInfo;  // the settings at the call
  int aboutIncludes;
};

class MenuDefFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetProgramDirectory(dir.path().string() + "/");
    SetDefaultSettings();
    for (int i = 0; i < kNrUserMenuEntries; ++i) {
      std::snprintf(SndConfig.UserMenu[i].MenuText, 33, "Entry %d", i + 1);
      std::snprintf(SndConfig.UserMenu[i].ProfileName, 33, "prof%d", i + 1);
    }
    Profile_InstallHandlers(
        [this](const std::string& f, int parts) {
          loads.push_back(Snapshot(f, parts));
          return loadResult;
        },
        [this](const std::string& f, int parts) {
          saves.push_back(Snapshot(f, parts));
          return saveResult;
        });
    form = std::make_unique<TMenuDefForm>();
  }
  void TearDown() override
  {
    form.reset();
    Profile_InstallHandlers({}, {});
    TDialogHooks::DialogExecHook = nullptr;
    TDialogHooks::FileDialogHook = nullptr;
    std::filesystem::current_path(m_oldCwd);
  }
  Call Snapshot(const std::string& f, int parts) const
  {
    return {f, parts, "", "", SndConfig.AboutMenuText, SndConfig.AboutInfoText,
            SndConfig.AboutIncludes};
  }
  void WriteProfile(const std::string& name, const std::string& about)
  {
    vt_test::WriteWholeFile(dir.file(name), "[ABOUT]\r\n" + about + "[Other]\r\nX=1\r\n");
  }
  // Runs the dialog: the script fills and clicks it; message boxes are answered and kept.
  int Run(const std::function<void()>& script, int menuIndex = 0)
  {
    form->MenuIndex = menuIndex;
    TDialogHooks::DialogExecHook = [&](QDialog* d) {
      if (auto* box = qobject_cast<QMessageBox*>(d)) {
        messages << box->text();
        return int(QMessageBox::Ok);
      }
      d->setResult(0);
      script();
      return d->result();
    };
    return form->Execute();
  }
  void ChooseImport(const std::string& file)
  {
    TDialogHooks::FileDialogHook = [this, file](bool save, const QString&, const QString& filter,
                                                QString& name) {
      EXPECT_FALSE(save);
      EXPECT_TRUE(filter.contains("*.usr"));
      EXPECT_EQ(TDialogHooks::FileDialogHelpContext, 1800u);  // F1 in the import dialog
      importPreset = name;
      name = QString::fromStdString(dir.file(file));
      return true;
    };
  }

  vt_test::TempDir dir;
  std::unique_ptr<TMenuDefForm> form;
  std::vector<Call> loads, saves;
  bool loadResult = true, saveResult = true;
  QStringList messages;
  QString importPreset;

private:
  std::filesystem::path m_oldCwd;
};

TEST_F(MenuDefFormTest, CaptionAndControls)
{
  EXPECT_EQ(form->windowTitle(), "User defined menus & profiles");
  for (const char* name : {"Ed_MenuNr", "Ed_ProfileName", "Ed_MenuText", "Ed_InfoText",
                           "Chk_IncFilterCoeff", "Chk_IncColorPal", "Chk_IncWatchSettings",
                           "Btn_Import", "Btn_Ok", "Btn_Cancel", "Btn_Help"})
    EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
  EXPECT_FALSE(form->findChild<QCheckBox*>("Chk_IncDigimode")->isEnabled());
  EXPECT_EQ(form->findChild<QSpinBox*>("Ud_MenuNr")->maximum(), 10);
  uint32_t asked = 0;
  const HelpContextHandler old = SetHelpContextHandler([&](uint32_t id) {
    asked = id;
    return true;
  });
  form->Btn_Help->click();
  SetHelpContextHandler(old);
  EXPECT_EQ(asked, 1800u);
}

// An entry without a profile file: "Ok" disabled, the entry's texts from the user menu; a key
// in the profile name makes it "Ok, Save". An entry with a file shows the file's values.
TEST_F(MenuDefFormTest, OkButtonFollowsTheEntry)
{
  WriteProfile("prof2.usr", "MenuText=From file\r\nInfoText=Info two\r\nIncludes=0x56\r\n");
  form->MenuIndex = 4;
  form->FormShow();
  EXPECT_EQ(form->Ed_MenuNr->text(), "5");
  EXPECT_EQ(form->Btn_Ok->text(), "Ok");
  EXPECT_FALSE(form->Btn_Ok->isEnabled());
  EXPECT_EQ(form->Ed_ProfileName->text(), "prof5");
  EXPECT_EQ(form->Ed_MenuText->text(), "Entry 5");
  EXPECT_EQ(form->Ed_InfoText->text(), "");

  QTest::keyClick(form->Ed_ProfileName, Qt::Key_X);
  EXPECT_EQ(form->Btn_Ok->text(), "Ok, Save");
  EXPECT_TRUE(form->Btn_Ok->isEnabled());

  form->Ud_MenuNr->setValue(2);
  EXPECT_EQ(form->Btn_Ok->text(), "Ok, Save");
  EXPECT_TRUE(form->Btn_Ok->isEnabled());
  EXPECT_EQ(form->Ed_ProfileName->text(), "prof2");
  EXPECT_EQ(form->Ed_MenuText->text(), "From file");
  EXPECT_EQ(form->Ed_InfoText->text(), "Info two");
  EXPECT_EQ(form->ProfileIncludes, 0x56);
  EXPECT_TRUE(form->Chk_IncFilterCoeff->isChecked());
  EXPECT_FALSE(form->Chk_IncDigimode->isChecked());
  EXPECT_TRUE(form->Chk_IncColorPal->isChecked());
  EXPECT_FALSE(form->Chk_IncWatchSettings->isChecked());

  // Back to an entry without a file: "Ok" again, no text of the other entry left.
  form->Ed_MenuNr->setText("3");
  EXPECT_EQ(form->Btn_Ok->text(), "Ok");
  EXPECT_FALSE(form->Btn_Ok->isEnabled());
  EXPECT_EQ(form->Ed_MenuText->text(), "Entry 3");
  EXPECT_EQ(form->Ed_InfoText->text(), "");
}

// Keys missing in "ABOUT" read as "not found" and include bit 2; a missing file changes nothing.
TEST_F(MenuDefFormTest, ReadProfileInfoDefaults)
{
  WriteProfile("bare.usr", "");
  form->ProfileIncludes = 0x40;
  ASSERT_TRUE(form->ReadProfileInfo(dir.file("bare.usr")));
  EXPECT_EQ(form->Ed_ProfileName->text(), "bare");
  EXPECT_EQ(form->Ed_MenuText->text(), "not found");
  EXPECT_EQ(form->Ed_InfoText->text(), "not found");
  EXPECT_EQ(form->ProfileIncludes, 2);

  form->Ed_MenuText->setText("kept");
  EXPECT_FALSE(form->ReadProfileInfo("absent.usr"));
  EXPECT_EQ(form->Ed_MenuText->text(), "kept");
  EXPECT_EQ(form->ProfileIncludes, 2);
}

// Typing stops at 8 characters; a longer imported name is shown whole and can be shortened.
TEST_F(MenuDefFormTest, ProfileNameLimitAppliesToTypingOnly)
{
  form->FormShow();
  form->Ed_ProfileName->clear();
  QTest::keyClicks(form->Ed_ProfileName, "abcdefghijk");
  EXPECT_EQ(form->Ed_ProfileName->text(), "abcdefgh");

  WriteProfile("averylongname.usr", "MenuText=Long\r\n");
  ChooseImport("averylongname.usr");
  form->Btn_ImportClick();
  EXPECT_EQ(form->Ed_ProfileName->text(), "averylongname");
  form->Ed_ProfileName->end(false);
  QTest::keyClick(form->Ed_ProfileName, Qt::Key_Z);
  EXPECT_EQ(form->Ed_ProfileName->text(), "averylongname");
  QTest::keyClick(form->Ed_ProfileName, Qt::Key_Backspace);
  EXPECT_EQ(form->Ed_ProfileName->text(), "averylongnam");
}

// Import of a.b.usr shows the name "a" and "Ok, Load"; Cancel then changes nothing.
TEST_F(MenuDefFormTest, ImportThenCancelChangesNothing)
{
  WriteProfile("a.b.usr", "MenuText=Imported\r\nInfoText=About a\r\nIncludes=66\r\n");
  ChooseImport("a.b.usr");
  const auto before = SndConfig.UserMenu[0];
  const int result = Run([&] {
    form->Btn_Import->click();
    EXPECT_EQ(form->Ed_ProfileName->text(), "a");
    EXPECT_EQ(form->Ed_MenuText->text(), "Imported");
    EXPECT_EQ(form->Btn_Ok->text(), "Ok, Load");
    EXPECT_TRUE(form->Btn_Ok->isEnabled());
    EXPECT_TRUE(form->Chk_IncColorPal->isChecked());
    form->Btn_Cancel->click();
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(importPreset, QString::fromStdString(GetProgramDirectory()) + "*.usr");
  EXPECT_TRUE(loads.empty());
  EXPECT_TRUE(saves.empty());
  EXPECT_EQ(std::memcmp(&before, &SndConfig.UserMenu[0], sizeof before), 0);
}

// Import then OK loads the chosen file (without the user-menu bit) and saves the settings as
// the profile name with the dialog's texts and bits; typing in the name keeps the import.
TEST_F(MenuDefFormTest, ImportThenOkLoadsAndSavesUnderTheName)
{
  WriteProfile("a.b.usr", "MenuText=Imported\r\nInfoText=About a\r\nIncludes=2\r\n");
  ChooseImport("a.b.usr");
  const int result = Run(
      [&] {
        form->Btn_Import->click();
        form->Ed_MenuText->setText("My import");
        form->Chk_IncColorPal->setChecked(true);
        form->Chk_IncWatchSettings->setChecked(true);
        QTest::keyClick(form->Ed_ProfileName, Qt::Key_2);
        EXPECT_EQ(form->Btn_Ok->text(), "Ok, Save");
        EXPECT_TRUE(form->LoadMode);
        form->Btn_Ok->click();
      },
      6);
  EXPECT_EQ(result, QDialog::Accepted);
  constexpr int kIncludes = 2 | 4 | 0x40 | 0x80;
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].file, dir.file("a.b.usr"));
  EXPECT_EQ(loads[0].parts, kIncludes & ~4);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].file, "a2.usr");
  EXPECT_EQ(saves[0].parts, kIncludes);
  EXPECT_EQ(saves[0].aboutMenu, "My import");
  EXPECT_EQ(saves[0].aboutInfo, "About a");
  EXPECT_EQ(saves[0].aboutIncludes, kIncludes);
  EXPECT_STREQ(SndConfig.UserMenu[6].MenuText, "My import");
  EXPECT_STREQ(SndConfig.UserMenu[6].ProfileName, "a2");
  EXPECT_EQ(form->MenuIndex, 6);
}

// Up-down position 10 addresses the tenth entry (index 9).
TEST_F(MenuDefFormTest, PositionTenIsIndexNine)
{
  const int result = Run([&] {
    form->Ud_MenuNr->setValue(10);
    form->Ed_ProfileName->setText("ten");
    form->Ed_MenuText->setText("Tenth");
    form->Btn_Ok->setEnabled(true);
    form->Btn_Ok->click();
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(form->MenuIndex, 9);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].file, "ten.usr");
  EXPECT_EQ(saves[0].parts, 6);
  EXPECT_STREQ(SndConfig.UserMenu[9].MenuText, "Tenth");
  EXPECT_STREQ(SndConfig.UserMenu[9].ProfileName, "ten");
  EXPECT_STREQ(SndConfig.UserMenu[8].MenuText, "Entry 9");
}

// Names that cannot be a profile are refused with a message before any file is touched, and
// the dialog stays open.
TEST_F(MenuDefFormTest, RefusedNamesTouchNoFile)
{
  WriteProfile("imp.usr", "MenuText=x\r\n");
  for (const char* name : {"", "a/b", "../up", "abcdefghijabcdefghijabcdefghijabc"}) {
    SCOPED_TRACE(name);
    messages.clear();
    ChooseImport("imp.usr");
    const auto before = SndConfig.UserMenu[0];
    const int result = Run([&] {
      form->Btn_Import->click();
      form->Ed_ProfileName->setText(name);
      form->Btn_Ok->click();
    });
    EXPECT_NE(result, QDialog::Accepted);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(loads.empty());
    EXPECT_TRUE(saves.empty());
    EXPECT_EQ(std::memcmp(&before, &SndConfig.UserMenu[0], sizeof before), 0);
  }
  // A stored entry with such a name is not read when the entry is shown.
  std::snprintf(SndConfig.UserMenu[3].ProfileName, 33, "%s", "../imp");
  form->Ud_MenuNr->setValue(4);
  EXPECT_EQ(form->Btn_Ok->text(), "Ok");
  EXPECT_EQ(form->Ed_MenuText->text(), "Entry 4");
}

// A failed save (the main window has shown why) keeps the dialog open and the entry as it was.
TEST_F(MenuDefFormTest, FailedSaveKeepsDialogOpenAndEntry)
{
  saveResult = false;
  std::snprintf(SndConfig.AboutMenuText, 33, "%s", "old about");
  SndConfig.AboutIncludes = 2;
  const auto before = SndConfig.UserMenu[1];
  const int result = Run(
      [&] {
        form->Ed_ProfileName->setText("newname");
        form->Ed_MenuText->setText("New text");
        form->Btn_Ok->setEnabled(true);
        form->Btn_Ok->click();
      },
      1);
  EXPECT_NE(result, QDialog::Accepted);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].aboutMenu, "New text");
  EXPECT_EQ(std::memcmp(&before, &SndConfig.UserMenu[1], sizeof before), 0);
  EXPECT_STREQ(SndConfig.AboutMenuText, "old about");
  EXPECT_EQ(SndConfig.AboutIncludes, 2);
}

}  // namespace
