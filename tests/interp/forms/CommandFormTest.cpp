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
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FifoWatchdog.h"
#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/ProgramInstance.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "interp/Interpreter.h"
#include "interp/forms/CommandForm.h"
#include "platform/BoundedFile.h"
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
      {2, f.Ed_Commands, 1, "command unknown in macro line: \"bogus\""},
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

// The working file keeps its bytes: Latin-1 shows as Latin-1 (never as replacement
// characters), a file nobody edited is not written at all, and an edited one is written in the
// encoding, line break, byte-order mark and final line break it was read with. A character
// Latin-1 cannot hold makes the file UTF-8 rather than lose it.
TEST_F(CommandFormTest, WorkingFileKeepsItsEncodingAndLineBreaks)
{
  const struct {
    const char* name;
    std::string file;       // curr_cmd.txt before the window is shown
    QString shown;          // the editor's lines
    QString added;          // appended as a new last line ("" leaves the lines alone)
    std::string written;    // curr_cmd.txt after closing
  } cases[] = {
      {"Latin-1, CR LF, not edited", "print \"Gr\xFC\xDF\"\r\nclick\r\n",
       QString::fromUtf8("print \"Grüß\"\nclick"), "", "print \"Gr\xFC\xDF\"\r\nclick\r\n"},
      {"Latin-1, CR LF, edited", "print \"Gr\xFC\xDF\"\r\nclick\r\n",
       QString::fromUtf8("print \"Grüß\"\nclick"), QString::fromUtf8("print \"\u00e4\""),
       "print \"Gr\xFC\xDF\"\r\nclick\r\nprint \"\xE4\"\r\n"},
      {"Latin-1, a character beyond it typed", "print \"\xE4\"\n",
       QString::fromUtf8("print \"ä\""), QString::fromUtf8("print \"\u20ac\""),
       "print \"\xC3\xA4\"\nprint \"\xE2\x82\xAC\"\n"},
      {"UTF-8 with byte-order mark, no final line break, edited",
       "\xEF\xBB\xBFprint \"\xC3\xA4\"\r\nclick", QString::fromUtf8("print \"ä\"\nclick"), "sound 0",
       "\xEF\xBB\xBFprint \"\xC3\xA4\"\r\nclick\r\nsound 0"},
      {"lone CR line breaks, edited", "click\rclick\r", "click\nclick", "print 1",
       "click\rclick\rprint 1\r"},
      {"replacement characters that stand in the file stay", "print \"\xEF\xBF\xBD\"\n",
       QString::fromUtf8("print \"\uFFFD\""), "", "print \"\xEF\xBF\xBD\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("curr_cmd.txt");
    vt_test::WriteWholeFile(path, c.file);
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(1));
    const auto stamp = std::filesystem::last_write_time(path);
    TCommandForm f;
    f.show();
    EXPECT_EQ(f.Ed_Commands->toPlainText(), c.shown);
    if (!c.added.isEmpty()) f.Ed_Commands->appendPlainText(c.added);
    f.close();
    EXPECT_EQ(vt_test::ReadWholeFile(path), c.written);
    if (c.added.isEmpty()) {
      EXPECT_EQ(std::filesystem::last_write_time(path), stamp);  // not written at all
    }
  }
}

// A command file is saved in the encoding and line breaks it was opened with, byte for byte
// when the lines were not changed.
TEST_F(CommandFormTest, CommandFileSavedAsItWasRead)
{
  TCommandForm f;
  f.show();
  QString answer;
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& name) {
    name = answer;
    return true;
  };
  const std::string bytes = "print \"M\xFCll\"\r\n\r\nclick\r\n";
  vt_test::WriteWholeFile(dir.file("latin.txt"), bytes);
  answer = QString::fromStdString(dir.file("latin.txt"));
  f.Menu_LoadCommandsClick();
  EXPECT_EQ(f.Ed_Commands->toPlainText(), QString::fromUtf8("print \"Müll\"\n\nclick"));
  answer = QString::fromStdString(dir.file("copy.txt"));
  f.Menu_SaveCommandsClick();
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("copy.txt")), bytes);
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

namespace {

// Something in the place of a text file the command window reads, as a hostile or careless
// environment leaves it.
struct OddFile {
  const char* what;
  std::function<void(const std::string& path)> make;
  const char* said;  // after the file's full path in the message
  bool endless;      // a reader without a size limit would never finish with it
};

const OddFile kOddFiles[] = {
    {"directory", [](const std::string& p) { std::filesystem::create_directory(p); },
     " is not a regular file", false},
    {"larger than the limit",
     [](const std::string& p) {
       vt_test::WriteWholeFile(p, "print 1\n");
       ASSERT_EQ(::truncate(p.c_str(), kMaxReadFileSize + 1), 0);
     },
     " is larger than 16 MB", false},
    {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
     " is not a regular file", false},
    {"link to /dev/zero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
     " is not a regular file", true},
};

// What the file is, so that the test can tell it was not written over.
std::string Describe(const std::string& path)
{
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_symlink(path, ec)) return "link to " + fs::read_symlink(path, ec).string();
  const auto st = fs::status(path, ec);
  if (fs::is_fifo(st)) return "FIFO";
  if (fs::is_directory(st)) return "directory";
  if (fs::is_regular_file(st)) return "file of " + std::to_string(fs::file_size(path, ec)) + " bytes";
  return "other";
}

}  // namespace

// A FIFO, a device, a directory or a huge file in the place of "curr_cmd.txt" when the window
// opens at start, or picked as a command file: nothing waits or reads without limit, the file
// is named on the Errors page and among the window's errors, the editor is left alone, and the
// thing in the file's place is not written over when the window closes after an edit.
TEST_F(CommandFormTest, FilesThatAreNoRegularFileOfSaneSizeAreRefusedWithoutWaiting)
{
  std::vector<std::string> said;
  SetDebugSink([&](const std::string& line) { said.push_back(line); });
  bool waited = false;
  for (const OddFile& c : kOddFiles) {
    SCOPED_TRACE(c.what);
    if (waited && c.endless) {
      ADD_FAILURE() << "not tried: the reader waits on a FIFO, so it would read this without end";
      continue;
    }
    for (const bool picked : {false, true}) {
      SCOPED_TRACE(picked ? "picked as a command file" : "the working file at start");
      const std::string path = dir.file(picked ? "odd.txt" : "curr_cmd.txt");
      std::error_code ec;
      std::filesystem::remove_all(dir.file("curr_cmd.txt"), ec);
      std::filesystem::remove_all(dir.file("odd.txt"), ec);
      c.make(path);
      const std::string before = Describe(path);
      said.clear();
      vt_test::FifoWatchdog watchdog(path);
      {
        TCommandForm f;
        f.show();
        if (picked) {
          f.Ed_Commands->setPlainText("kept");
          TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& name) {
            name = QString::fromStdString(path);
            return true;
          };
          f.Menu_LoadCommandsClick();
        }
        EXPECT_FALSE(watchdog.Fired()) << "the reader waited in open()";
        EXPECT_EQ(f.Ed_Commands->toPlainText(), picked ? "kept" : "");
        const std::string message = path + c.said;
        EXPECT_TRUE(std::find(said.begin(), said.end(), message) != said.end())
            << "Errors page: " << ::testing::PrintToString(said);
        EXPECT_TRUE(f.Ed_Messages->toPlainText().contains(QString::fromStdString(message)))
            << f.Ed_Messages->toPlainText().toStdString();
        f.Ed_Commands->setPlainText("print 2");
        f.close();
        EXPECT_EQ(Describe(path), before);
      }
      if (!picked) {
        TCommandForm again;  // shown at the next start: the same refusal, still not written
        again.Ed_Commands->setPlainText("print 3");
        again.close();
        EXPECT_EQ(Describe(path), before);
      }
      waited = waited || watchdog.Fired();
    }
  }
  SetDebugSink(nullptr);
}
