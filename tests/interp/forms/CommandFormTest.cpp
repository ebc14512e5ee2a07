// The command window offscreen: F2, the filter menu, the working file, command files through
// the dialog hook and the placement of a second instance.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <filesystem>

#include "common/TestUtil.h"
#include "engine/ProgramInstance.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "interp/Interpreter.h"
#include "interp/forms/CommandForm.h"
#include "platform/IniFile.h"

namespace {

class CommandFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CLI_Init();
    SndConfig.MsgDisplay = MSGDISP_ERRORS | MSGDISP_WARNINGS;
    g_InstanceIndex = 0;
  }
  void TearDown() override
  {
    TDialogHooks::FileDialogHook = nullptr;
    g_InstanceIndex = 0;
    std::filesystem::current_path(old);
  }
  // Shows the window as the active one, so its shortcuts work.
  void ShowActive(TCommandForm& f)
  {
    f.show();
    QApplication::setActiveWindow(&f);
    f.activateWindow();
    QApplication::processEvents();
  }
  QStringList Messages(TCommandForm& f)
  {
    const QString text = f.Ed_Messages->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
  }
  vt_test::TempDir dir;
  std::filesystem::path old;
};

TEST_F(CommandFormTest, F2RunsTheCaretLineOnce)
{
  TCommandForm f;
  ShowActive(f);
  f.Ed_Commands->setPlainText("print 1+2\n\nbogus");
  const struct {
    int line;
    QWidget* target;  // where the key goes: the editor or the message list (window shortcut)
    int newLines;
    const char* last;  // text the newest line ends with
  } table[] = {
      {0, f.Ed_Commands, 1, "3"},
      {1, f.Ed_Commands, 0, nullptr},  // an empty line adds nothing
      {2, f.Ed_Commands, 1, "command unknown in macro line"},
      {0, f.Ed_Messages, 1, "3"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.line);
    QTextCursor cur(f.Ed_Commands->document()->findBlockByNumber(c.line));
    f.Ed_Commands->setTextCursor(cur);
    c.target->setFocus();
    const int before = static_cast<int>(Messages(f).size());
    QTest::keyClick(c.target, Qt::Key_F2);
    const QStringList lines = Messages(f);
    ASSERT_EQ(lines.size(), before + c.newLines);
    if (c.last) {
      EXPECT_TRUE(lines.last().endsWith(c.last)) << lines.last().toStdString();
    }
  }
  EXPECT_EQ(f.Lab_CmdCursorPos->text(), "1:1");
  f.Ed_Commands->setTextCursor(QTextCursor(f.Ed_Commands->document()->findBlockByNumber(2)));
  f.Ed_Commands->moveCursor(QTextCursor::EndOfLine);
  EXPECT_EQ(f.Lab_CmdCursorPos->text(), "6:3");

  f.Btn_ClearMessages->click();
  EXPECT_TRUE(f.Ed_Messages->toPlainText().isEmpty());
  f.close();
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "print 7");  // closed: dropped
  EXPECT_TRUE(f.Ed_Messages->toPlainText().isEmpty());
}

TEST_F(CommandFormTest, EachFilterItemFlipsOnlyItsBit)
{
  TCommandForm f;
  const struct {
    QAction* item;
    int bit;
  } table[] = {{f.Menu_MsgErrors, 1},
               {f.Menu_MsgWarnings, 2},
               {f.Menu_MsgHints, 4},
               {f.Menu_MsgFileActions, 8},
               {f.Menu_MsgSchedActions, 16}};
  for (const auto& c : table) {
    SCOPED_TRACE(c.bit);
    SndConfig.MsgDisplay = 0x55;
    emit f.Menu_Options->aboutToShow();
    EXPECT_EQ(c.item->isChecked(), (0x55 & c.bit) != 0);
    c.item->trigger();
    EXPECT_EQ(SndConfig.MsgDisplay, 0x55 ^ c.bit);
    emit f.Menu_Options->aboutToShow();
    EXPECT_EQ(c.item->isChecked(), ((0x55 ^ c.bit) & c.bit) != 0);
    c.item->trigger();
    EXPECT_EQ(SndConfig.MsgDisplay, 0x55);
  }

  // With errors and warnings both off, interpreter errors stay out of the list.
  ShowActive(f);
  SndConfig.MsgDisplay = MSGDISP_ERRORS;
  f.Menu_MsgErrors->trigger();
  EXPECT_EQ(SndConfig.MsgDisplay, 0);
  f.Ed_Commands->setPlainText("bogus");
  f.Menu_ExecClick();
  EXPECT_TRUE(f.Ed_Messages->toPlainText().isEmpty());
  f.Menu_MsgWarnings->trigger();
  f.Menu_ExecClick();
  EXPECT_EQ(Messages(f).size(), 1);
}

TEST_F(CommandFormTest, WorkingFileSurvivesCloseAndReopen)
{
  {
    TCommandForm f;  // never shown: closing must not empty an existing file
    vt_test::WriteWholeFile(dir.file("curr_cmd.txt"), "print 1\r\nprint 2\r\n");
    f.close();
    EXPECT_EQ(vt_test::ReadWholeFile(dir.file("curr_cmd.txt")), "print 1\r\nprint 2\r\n");
    EXPECT_EQ(IniFile(dir.file("SETTINGS.INI")).ReadInteger("CommandForm", "Visible", -1), 0);
    f.show();
    EXPECT_EQ(f.Ed_Commands->toPlainText(), "print 1\nprint 2");
    f.Ed_Commands->setPlainText("print 3\nperiod.stop");
    f.close();
    f.Ed_Commands->clear();
    f.show();
    EXPECT_EQ(f.Ed_Commands->toPlainText(), "print 3\nperiod.stop");
    f.close();
  }
  // Closed while open: the next start (a new window) shows it again, with the lines.
  EXPECT_EQ(IniFile(dir.file("SETTINGS.INI")).ReadInteger("CommandForm", "Visible", -1), 1);
  TCommandForm g;
  EXPECT_TRUE(g.isVisible());
  EXPECT_EQ(g.Ed_Commands->toPlainText(), "print 3\nperiod.stop");
  EXPECT_TRUE(CmdWin_IsShown());
}

TEST_F(CommandFormTest, CommandFilesThroughTheHook)
{
  TCommandForm f;
  f.show();
  QString answer;
  QStringList titles;
  TDialogHooks::FileDialogHook = [&](bool, const QString& title, const QString&, QString& name) {
    titles << title;
    name = answer;
    return true;
  };
  f.Ed_Commands->setPlainText("print 42\nexport.start");
  answer = QString::fromStdString(dir.file("mine.txt"));
  f.Menu_SaveCommandsClick();
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("mine.txt")), "print 42\nexport.start\n");
  EXPECT_STREQ(SndConfig.CommandFileName, dir.file("mine.txt").c_str());

  f.Ed_Commands->setPlainText("other");
  answer = QString::fromStdString(dir.file("missing.txt"));
  f.Menu_LoadCommandsClick();  // a missing file loads nothing
  EXPECT_EQ(f.Ed_Commands->toPlainText(), "other");
  EXPECT_STREQ(SndConfig.CommandFileName, dir.file("missing.txt").c_str());
  answer = QString::fromStdString(dir.file("mine.txt"));
  f.Menu_LoadCommandsClick();
  EXPECT_EQ(f.Ed_Commands->toPlainText(), "print 42\nexport.start");
  EXPECT_EQ(titles, QStringList({"Save command file", "Open a command file", "Open a command file"}));

  TDialogHooks::FileDialogHook = [](bool, const QString&, const QString&, QString&) { return false; };
  f.Ed_Commands->setPlainText("kept");
  f.Menu_LoadCommandsClick();  // cancelled
  EXPECT_EQ(f.Ed_Commands->toPlainText(), "kept");
}

TEST_F(CommandFormTest, PlacementAndSecondInstanceOffset)
{
  QRect first;
  {
    TCommandForm f;
    first = f.geometry();
    EXPECT_EQ(f.windowTitle(), "Vartumo Command Window");
  }
  g_InstanceIndex = 1;
  {
    TCommandForm f;
    EXPECT_EQ(f.geometry().topLeft(), first.topLeft() + QPoint(-8, 8));
    EXPECT_EQ(f.windowTitle(), "Vartumo Command Window [2]");
    f.show();
    f.setGeometry(100, 120, 500, 400);
    f.close();
  }
  TCommandForm f;
  EXPECT_EQ(f.geometry(), QRect(100, 120, 500, 400));
}

TEST_F(CommandFormTest, MessageListIsBounded)
{
  TCommandForm f;
  f.show();
  for (int i = 0; i < TCommandForm::kMaxMessageLines + 5; ++i)
    CmdWin_AddMessage(CLI_SRC_CMDWIN, CMDWIN_MSG_INFO, std::to_string(i).c_str());
  const QStringList lines = Messages(f);
  EXPECT_EQ(lines.size(), TCommandForm::kMaxMessageLines);
  EXPECT_EQ(lines.first(), "5");
}

}  // namespace
