// The export window offscreen: grid edits with OK and Cancel, the column count, the test line,
// Synchronize and Apply of the next write time, Delete, Load and Save through the dialog hook.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <cstring>
#include <filesystem>

#include "common/TestUtil.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "interp/ExportEngine.h"
#include "interp/Interpreter.h"
#include "interp/forms/ExportForm.h"
#include "platform/IniFile.h"

namespace {

class ExportFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CLI_Init();
    CLI_RegisterObjectWord("export", CLI_ExecExportCommand);
    SndConfig.MsgDisplay = 0;
    SndConfig.NextWriteTime = 0;
    std::snprintf(SndConfig.DefinitionFileName, 256, "%s", dir.file("cur.edf").c_str());
    IniFile ini(dir.file("cur.edf"));
    ini.WriteInteger("EXPORT_FORMAT", "NrOfColumns", 3);
    ini.WriteString("EXPORT_FORMAT", "FileName", "out.txt");
    for (int i = 0; i < 3; ++i) {
      ini.WriteString("EXPORT_FORMAT", "Title" + std::to_string(i), "T" + std::to_string(i));
      ini.WriteString("EXPORT_FORMAT", "Exprs" + std::to_string(i), std::to_string(i + 1) + "*2");
      ini.WriteString("EXPORT_FORMAT", "Format" + std::to_string(i), "0");
    }
    ini.UpdateFile();
    ExportEngine().Clock = [this] { return clock; };
  }
  void TearDown() override
  {
    TDialogHooks::FileDialogHook = nullptr;
    ExportEngine().CloseFile();
    ExportEngine().Clock = [] { return 0.0; };
    CLI_RegisterObjectWord("export", nullptr);
    std::filesystem::current_path(old);
  }
  vt_test::TempDir dir;
  std::filesystem::path old;
  double clock = 5000.5;
};

TEST_F(ExportFormTest, GridEditsWithOkAndCancel)
{
  TExportForm f;
  EXPECT_EQ(f.windowTitle(), "Vartumo  -  File Export Format");
  f.show();
  EXPECT_EQ(f.SG_FileFormat->rowCount(), 4);
  EXPECT_EQ(f.SG_FileFormat->item(0, 2)->text(), "Numeric Expression");
  EXPECT_EQ(f.SG_FileFormat->item(2, 1)->text(), "T1");

  // Typing 2 shows 5 column rows; OK applies and saves 2 columns.
  f.Ed_NrColumns->setText("2");
  EXPECT_EQ(f.SG_FileFormat->rowCount(), 6);
  f.SG_FileFormat->item(1, 1)->setText("Level");
  f.SG_FileFormat->item(1, 4)->setText("x");  // no number: 0
  f.Btn_Ok->click();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(g_ExportColumnCount, 2);
  EXPECT_STREQ(g_ExportColumns[0].title, "Level");
  EXPECT_EQ(g_ExportColumns[0].flags, 0);
  IniFile ini(dir.file("cur.edf"));
  EXPECT_EQ(ini.ReadInteger("EXPORT_FORMAT", "NrOfColumns", 0), 2);
  EXPECT_EQ(ini.ReadString("EXPORT_FORMAT", "Title0", ""), "Level");

  // Cancel after "Active": the old state comes back, the changed flag stays.
  g_ExportDefinitionChanged = 0;
  f.show();
  EXPECT_FALSE(f.Chk_ExportActive->isChecked());
  f.Chk_ExportActive->click();
  EXPECT_EQ(g_ExportActive, 1);
  EXPECT_EQ(g_ExportDefinitionChanged, 1);
  f.SG_FileFormat->item(1, 1)->setText("Changed");
  f.Menu_ApplyChanges->trigger();
  EXPECT_STREQ(g_ExportColumns[0].title, "Changed");
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.value[1]=1");  // commands are undone too
  f.Btn_Cancel->click();
  EXPECT_EQ(g_ExportActive, 0);
  EXPECT_STREQ(g_ExportColumns[0].title, "Level");
  EXPECT_EQ(g_ExportDefinitionChanged, 1);
}

TEST_F(ExportFormTest, TestLineAndMacroTests)
{
  TExportForm f;
  f.show();
  f.Btn_Test->click();
  EXPECT_EQ(f.Ed_TestResult->text(), "2  4  6");
  EXPECT_EQ(f.SG_FileFormat->item(3, 5)->text(), "6");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));  // nothing written
  f.Ed_SeparatorCode->setText("59");
  f.Btn_Test->click();
  EXPECT_EQ(f.Ed_TestResult->text(), "2;4;6");
  f.Ed_ExecAfterSpectrum->setText("bogus");
  f.Btn_Test->click();
  EXPECT_EQ(f.Ed_TestResult->text(), "Error in command sequence: command unknown(Error near \"bogus\")");

  f.Ed_ExecBeforeWrite->setText("click");
  f.Btn_TestBeforeWrite->click();
  EXPECT_EQ(f.Ed_TestResult2->text(), "ok.");
  f.Ed_ExecAfterWrite->setText("export.value[0]");
  f.Btn_TestAfterWrite->click();
  EXPECT_EQ(f.Ed_TestResult2->text(), "Error: unknown CLI error code -9(Error near \"export.value[0]\")");
}

TEST_F(ExportFormTest, SynchronizeAndApplyTypedTime)
{
  TExportForm f;
  f.show();
  EXPECT_EQ(f.Btn_SyncWrite->text(), "Synchronize !");
  f.Btn_SyncWrite->click();
  EXPECT_EQ(SndConfig.NextWriteTime, 5000.5);
  EXPECT_EQ(f.Ed_NextWriteTime->text(), "01:23:20.5");
  f.Ed_NextWriteTime->setText("12:30:00");
  EXPECT_EQ(f.Btn_SyncWrite->text(), "Apply !");
  f.Btn_SyncWrite->click();
  EXPECT_EQ(SndConfig.NextWriteTime, 45000.0);
  EXPECT_EQ(f.Btn_SyncWrite->text(), "Synchronize !");
  EXPECT_EQ(f.Ed_NextWriteTime->text(), "12:30:00.0");
}

TEST_F(ExportFormTest, DeleteRegularFilesOnly)
{
  TExportForm f;
  f.show();
  ASSERT_TRUE(ExportEngine().WriteLine("x"));
  EXPECT_EQ(f.Lab_FileSize->text(), "13");  // title and line, shown as written
  emit f.PopupMenu1->aboutToShow();
  EXPECT_EQ(f.Menu_DeleteFile->text(), "Delete \"out.txt\"");
  f.Menu_DeleteFile->trigger();
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));
  EXPECT_EQ(f.Lab_FileSize->text(), "deleted");

  std::filesystem::create_directory(dir.file("adir"));
  std::snprintf(g_ExportFileName, 256, "%s", "adir");
  f.Lab_FileSize->setText("?");
  f.Menu_DeleteFile->trigger();
  EXPECT_TRUE(std::filesystem::exists(dir.file("adir")));
  EXPECT_EQ(f.Lab_FileSize->text(), "?");
}

TEST_F(ExportFormTest, LoadAndSaveThroughTheHook)
{
  TExportForm f;
  f.show();
  QString answer = QString::fromStdString(dir.file("other.edf"));
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& name) {
    name = answer;
    return true;
  };
  f.SG_FileFormat->item(2, 2)->setText("pi");
  f.Menu_SaveDefinition->trigger();
  EXPECT_STREQ(SndConfig.DefinitionFileName, dir.file("other.edf").c_str());
  EXPECT_EQ(IniFile(dir.file("other.edf")).ReadString("EXPORT_FORMAT", "Exprs1", ""), "pi");

  answer = QString::fromStdString(dir.file("cur.edf"));
  f.Menu_LoadDefinition->trigger();
  EXPECT_STREQ(g_ExportColumns[1].expression, "2*2");
  EXPECT_EQ(f.SG_FileFormat->item(2, 2)->text(), "2*2");
}

// While exporting, a new file name applied in the window closes the old file: the next line goes
// into the new file (with its title line) and the old one keeps what it had. The same name
// keeps the file open.
TEST_F(ExportFormTest, RenamingTheFileWhileExportingClosesTheOldOne)
{
  TExportForm f;
  f.show();
  f.Chk_ExportActive->click();
  ExportEngine().OnSpectrum();
  const std::string old = vt_test::ReadWholeFile(dir.file("out.txt"));
  ASSERT_EQ(old, "T0\tT1\tT2\r\n2\t4\t6\r\n");
  const int handle = ExportEngine().ExportFileHandle;
  f.Menu_ApplyChanges->trigger();
  EXPECT_EQ(ExportEngine().ExportFileHandle, handle);

  f.Ed_ExportFileName->setText("new.txt");
  f.Menu_ApplyChanges->trigger();
  ExportEngine().OnSpectrum();
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("out.txt")), old);
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("new.txt")), "T0\tT1\tT2\r\n2\t4\t6\r\n");
}

// "Load definition" while exporting: the loaded definition names another file, so the old file
// is closed and the new columns go into the new file, never into the old one.
TEST_F(ExportFormTest, LoadDefinitionWhileExportingWritesToItsOwnFile)
{
  {
    IniFile ini(dir.file("other.edf"));
    ini.WriteInteger("EXPORT_FORMAT", "NrOfColumns", 2);
    ini.WriteInteger("EXPORT_FORMAT", "Active", 1);
    ini.WriteString("EXPORT_FORMAT", "FileName", "other.txt");
    for (int i = 0; i < 2; ++i) {
      ini.WriteString("EXPORT_FORMAT", "Title" + std::to_string(i), "O" + std::to_string(i));
      ini.WriteString("EXPORT_FORMAT", "Exprs" + std::to_string(i), std::to_string(i + 7));
      ini.WriteString("EXPORT_FORMAT", "Format" + std::to_string(i), "0");
    }
    ini.UpdateFile();
  }
  TExportForm f;
  f.show();
  f.Chk_ExportActive->click();
  ExportEngine().OnSpectrum();
  const std::string old = vt_test::ReadWholeFile(dir.file("out.txt"));
  ASSERT_FALSE(old.empty());
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& name) {
    name = QString::fromStdString(dir.file("other.edf"));
    return true;
  };
  f.Menu_LoadDefinition->trigger();
  ASSERT_EQ(g_ExportColumnCount, 2);
  EXPECT_TRUE(f.Chk_ExportActive->isChecked());
  ExportEngine().OnSpectrum();
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("out.txt")), old);
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("other.txt")), "O0\tO1\r\n7\t8\r\n");
  g_ExportActive = 0;
}

}  // namespace
