// Main window: instance numbers, command line, spectrum history, closing and restoring.
#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <chrono>

#include "engine/MachineConfig.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/forms/FormPlacement.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/InstanceLock.h"
#include "mainwin/forms/HelpBrowser.h"
#include "platform/IniFile.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

TEST_F(MainWindowTest, FirstSecondAndThirdInstance)
{
  struct Case {
    int othersRunning;
    const char* file;
    const char* caption;
  };
  const Case cases[] = {{0, "SETTINGS.INI", "Vartumo"},
                        {1, "SETTING2.INI", "Vartumo [2]"},
                        {2, "SETTING3.INI", "Vartumo [3]"},
                        {3, "SETTING3.INI", "Vartumo [3]"}};
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<CInstanceLocks>> others;  // instances already running
    for (int i = 0; i < c.othersRunning; ++i) {
      others.push_back(std::make_unique<CInstanceLocks>());
      others.back()->Acquire(dir.path().string());
    }
    Make();
    EXPECT_EQ(g_InstanceIndex, std::min(c.othersRunning, 2));
    EXPECT_STREQ(g_MachineSettingsFileName, c.file);
    EXPECT_STREQ(g_UserSettingsFileName, c.file);
    EXPECT_EQ(form->windowTitle(), c.caption);
    form.reset();  // frees its lock before the others go
  }
}

TEST_F(MainWindowTest, CommandLineInSecondInstance)
{
  CInstanceLocks first;
  first.Acquire(dir.path().string());
  Make({"u=other.ini", "t=Test"});
  EXPECT_STREQ(g_MachineSettingsFileName, "SETTING2.INI");
  EXPECT_STREQ(g_UserSettingsFileName, "other.ini");
  EXPECT_EQ(form->windowTitle(), "Vartumo [2]");  // "Test" is too short to count
  form.reset();
  Make({"t=Tests", "m=lab.ini"});
  EXPECT_EQ(form->windowTitle(), "Tests");  // replaces the caption and its suffix
  EXPECT_STREQ(g_MachineSettingsFileName, "lab.ini");
}

TEST_F(MainWindowTest, HistoryShrinksByQuartersWhenMemoryIsShort)
{
  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"), "[MEMORY]\r\nBufferedSpcLines=2000\r\n");
  std::vector<size_t> tried;
  TSndMainForm::HistoryAllocator = [&](size_t bytes) -> void* {
    tried.push_back(bytes / sizeof(SpectrumBuffer));
    return bytes <= 1000 * sizeof(SpectrumBuffer) ? std::malloc(bytes) : nullptr;
  };
  Make();
  EXPECT_EQ(tried, (std::vector<size_t>{2000, 1500, 1125, 844}));
  EXPECT_EQ(form->History.HistoryLines, 844);
  form->show();  // the first show reports it
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0],
            "Memory Allocation Problem:\r\n Had to allocate 844 spectrum lines\r\n instead of "
            "2000 as defined in your settings.\r\n Please verify this.");
}

TEST_F(MainWindowTest, NoHistoryAtAllAndTooSmallSetting)
{
  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"), "[MEMORY]\r\nBufferedSpcLines=10\r\n");
  Make();
  EXPECT_EQ(form->History.HistoryLines, 50);  // clamped up
  form->show();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_NE(messages[0].indexOf("allocate 50 spectrum lines"), -1);
  EXPECT_NE(messages[0].indexOf("instead of 10 "), -1);
  form.reset();
  messages.clear();

  TSndMainForm::HistoryAllocator = [](size_t) -> void* { return nullptr; };
  Make();
  EXPECT_EQ(form->History.SpectrumHistory, nullptr);
  form->show();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0],
            "Memory Allocation Problem:\r\nCould not allocate any spectrum buffer at all !!!");
}

TEST_F(MainWindowTest, CloseSavesStateAndNextStartRestoresIt)
{
  Make();
  form->show();
  form->move(33, 44);  // the frame's corner, as the placement is stored
  form->resize(900, 520);
  SndConfig.ColorPalContrast = 77;
  g_ColorPalette.entries[7] = 0x01ABCDEF;
  form->close();
  EXPECT_NE(Read("SETTINGS.INI").find("ColorPalContrast=77"), std::string::npos);
  EXPECT_NE(Read("current.pal").find("Color7=01ABCDEF"), std::string::npos);
  form.reset();

  InitDefaultPalette();
  SndConfig.ColorPalContrast = 0;
  Make();
  EXPECT_EQ(g_ColorPalette.entries[7], 0x01ABCDEFu);
  EXPECT_EQ(SndConfig.ColorPalContrast, 77);
  EXPECT_EQ(form->SBR_Contrast->value(), 77);
  EXPECT_EQ(form->pos(), QPoint(33, 44));
  EXPECT_EQ(form->size(), QSize(900, 520));
}

// Installed, the program's directory may not be writable: what the program writes by itself
// goes to the working directory, and only the help pages are read from beside the program.
TEST_F(MainWindowTest, FilesWrittenGoToTheWorkingDirectoryNotBesideTheProgram)
{
  const std::filesystem::path prog = dir.path() / "prog";
  std::filesystem::create_directory(prog);
  SetProgramDirectory(prog.string());
  const std::string work = dir.path().string() + "/";
  Make();
  EXPECT_EQ(HelpBrowser_Directory(), prog.string() + "/html/");
  for (const char* name : {SndConfig.SpectrumRefFileName, SndConfig.DefinitionFileName,
                           SndConfig.CommandFileName, SndConfig.SequenceName})
    EXPECT_EQ(std::string(name).rfind(work, 0), 0u) << name;
  EXPECT_EQ(form->WaterfallCaptureName.rfind(work, 0), 0u) << form->WaterfallCaptureName;
  EXPECT_EQ(form->SpectrumCaptureName.rfind(work, 0), 0u) << form->SpectrumCaptureName;
  form->show();
  g_ColorPalette.entries[3] = 0x00123456;
  form->close();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  EXPECT_NE(Read("current.pal").find("Color3=00123456"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(prog)) << "written beside the program";
  form.reset();

  // The next start reads the palette back from the working directory.
  InitDefaultPalette();
  Make();
  EXPECT_EQ(g_ColorPalette.entries[3], 0x00123456u);
}

TEST_F(MainWindowTest, ClosingMaximisedKeepsTheNormalPlacement)
{
  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                          "[MAIN_WINDOW]\r\nLeft=12\r\nTop=13\r\nWidth=500\r\nHeight=300\r\n");
  Make();
  form->showMaximized();
  QApplication::processEvents();
  form->close();
  const std::string ini = Read("SETTINGS.INI");
  EXPECT_NE(ini.find("Left=12"), std::string::npos) << ini.substr(0, 300);
  EXPECT_NE(ini.find("Width=500"), std::string::npos);
}

// Bounds near the int limits, negative or tiny sizes in the settings file: the window comes up
// on the available desktop with a usable size, and what the close stores is sane again.
TEST_F(MainWindowTest, HostileStoredBoundsLeaveTheWindowOnTheDesktop)
{
  const char* cases[] = {
      "Left=2147483600\r\nTop=2147483600\r\nWidth=2147483647\r\nHeight=1\r\n",
      "Left=-2147483648\r\nTop=-2147483648\r\nWidth=-5\r\nHeight=-2147483648\r\n",
      "Left=100000\r\nTop=-100000\r\nWidth=300\r\nHeight=200\r\n",
  };
  const QRect desk = QGuiApplication::primaryScreen()->availableVirtualGeometry();
  ASSERT_FALSE(desk.isEmpty());
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    vt_test::WriteWholeFile(dir.file("SETTINGS.INI"), std::string("[MAIN_WINDOW]\r\n") + c);
    Make();
    // The top left corner on the desktop, and at least a usable piece of the window with it.
    const QRect g = form->geometry();
    EXPECT_TRUE(desk.contains(g.topLeft())) << g.x() << "," << g.y();
    EXPECT_GE(desk.intersected(g).width(), 50) << g.width();
    EXPECT_GE(desk.intersected(g).height(), 30) << g.height();
    form->close();
    form.reset();
    const IniFile ini(dir.file("SETTINGS.INI"));
    const QRect stored(ini.ReadInteger("MAIN_WINDOW", "Left", -1),
                       ini.ReadInteger("MAIN_WINDOW", "Top", -1),
                       ini.ReadInteger("MAIN_WINDOW", "Width", -1),
                       ini.ReadInteger("MAIN_WINDOW", "Height", -1));
    EXPECT_TRUE(desk.contains(stored.topLeft()));
    EXPECT_GE(desk.intersected(stored).width(), 50);
    EXPECT_GE(desk.intersected(stored).height(), 30);
  }
}

// Damaged bounds with a tiny size near the screen's bottom or right edge: the window is placed
// at the size its layout needs, so after the first show its whole frame, title bar and bottom
// edge included, is on the screen (not pushed below it by the layout's minimum size).
TEST_F(MainWindowTest, DamagedBoundsPlaceTheWholeWindowAtItsLayoutSize)
{
  const char* cases[] = {
      "Left=0\r\nTop=2147483600\r\nWidth=600\r\nHeight=1\r\n",
      "Left=2147483600\r\nTop=0\r\nWidth=1\r\nHeight=400\r\n",
      "Left=2147483600\r\nTop=2147483600\r\nWidth=1\r\nHeight=1\r\n",
      "Left=0\r\nTop=100000\r\nWidth=600\r\nHeight=-7\r\n",
  };
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    vt_test::WriteWholeFile(dir.file("SETTINGS.INI"), std::string("[MAIN_WINDOW]\r\n") + c);
    Make();
    form->Timer1->stop();  // no main-loop ticks while the events are processed
    const QSize needed = form->minimumSizeHint().expandedTo(form->minimumSize());
    form->show();
    QApplication::processEvents();
    // The layout's minimum fits the screen, so the whole window can and must.
    ASSERT_TRUE(screen.contains(QRect(screen.topLeft(), needed.grownBy(WindowFrameMargins()))))
        << needed.width() << "x" << needed.height();
    const QRect frame(form->pos(), form->size().grownBy(WindowFrameMargins()));
    EXPECT_TRUE(screen.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GE(form->height(), needed.height());
    form->close();
    form.reset();
  }
}

// The main window stored smaller than its arranged layout's minimum (or with a negative top
// and a height of 1) already has the size its first show gives it when its native window is
// created: on X11 a window that grows after that, before the window manager has framed it, is
// placed by its client area, which moved it one border left and one title bar up at every start
// and put its title bar above the screen. Started twice, it stores the same bounds.
TEST_F(MainWindowTest, StoredBoundsBelowTheLayoutMinimumDoNotGrowAfterCreationNorDrift)
{
  struct SizeAtCreation : QObject {
    QSize size;
    bool eventFilter(QObject* o, QEvent* e) override
    {
      if (e->type() == QEvent::WinIdChange && size.isEmpty())
        size = static_cast<QWidget*>(o)->size();
      return false;
    }
  };
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const char* cases[] = {
      "Left=100\r\nTop=100\r\nWidth=300\r\nHeight=200\r\n",
      "Left=100\r\nTop=-20\r\nWidth=300\r\nHeight=1\r\n",
  };
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    vt_test::WriteWholeFile(dir.file("SETTINGS.INI"), std::string("[MAIN_WINDOW]\r\n") + c);
    QRect stored[2];
    for (QRect& bounds : stored) {
      Make();
      form->Timer1->stop();
      SizeAtCreation created;
      form->installEventFilter(&created);
      form->show();
      QApplication::processEvents();
      EXPECT_EQ(created.size, form->size())
          << created.size.width() << "x" << created.size.height() << " grew to "
          << form->width() << "x" << form->height();
      EXPECT_GE(form->pos().y(), screen.y());  // the title bar on the screen
      form->close();
      form.reset();
      const IniFile ini(dir.file("SETTINGS.INI"));
      bounds = QRect(ini.ReadInteger("MAIN_WINDOW", "Left", -1),
                     ini.ReadInteger("MAIN_WINDOW", "Top", -1),
                     ini.ReadInteger("MAIN_WINDOW", "Width", -1),
                     ini.ReadInteger("MAIN_WINDOW", "Height", -1));
    }
    EXPECT_EQ(stored[0], stored[1]);
    EXPECT_EQ(stored[0].x(), 100);
    EXPECT_GE(stored[0].y(), screen.y());
  }
}

TEST_F(MainWindowTest, StoppedThreadIsRememberedAsStopped)
{
  Make();  // the base link has no audio thread
  form->close();
  EXPECT_NE(Read("SETTINGS.INI").find("StartSoundThread=0"), std::string::npos);
}
