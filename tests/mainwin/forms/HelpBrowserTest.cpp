// Help pages by context number, opened through the URL handler.
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <filesystem>
#include <set>

#include "control/forms/AFilePrp.h"
#include "engine/DebugU1.h"
#include "engine/forms/HelpHook.h"
#include "mainwin/forms/HelpBrowser.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

struct HelpFixture : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    std::filesystem::create_directory(dir.path() / "html");
    for (const char* f :
         {"colorpal.htm", "specdisp.htm", "circuits.htm", "filters.htm", "wavfiles.htm"})
      vt_test::WriteWholeFile(dir.file(std::string("html/") + f), "<html></html>");
    HelpBrowser_SetUrlHandler([this](const QUrl& u) {
      opened.push_back(u);
      return true;
    });
  }
  void TearDown() override
  {
    HelpBrowser_SetUrlHandler(nullptr);
    MainWindowTest::TearDown();
  }
  std::vector<QUrl> opened;
};

}  // namespace

TEST_F(HelpFixture, ContextsOpenTheirPagesAndUnknownOnesNothing)
{
  ASSERT_TRUE(HelpBrowser_Init(nullptr, dir.file("html"), g_HelpTopics));
  EXPECT_EQ(HelpBrowser_Directory(), dir.file("html") + "/");
  struct Case {
    uint32_t id;
    const char* file;  // nullptr: refused
  };
  const Case cases[] = {{500, "colorpal.htm"}, {170, "specdisp.htm"}, {400, "circuits.htm"},
                        {850, "filters.htm"},  {999, nullptr},        {0, nullptr},
                        {100, nullptr} /* index.htm is missing in this directory */};
  for (const Case& c : cases) {
    opened.clear();
    const bool ok = HelpBrowser_ShowContext(c.id);
    EXPECT_EQ(ok, c.file != nullptr) << c.id;
    if (!c.file) {
      EXPECT_TRUE(opened.empty()) << c.id;
      continue;
    }
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), dir.file(std::string("html/") + c.file));
    EXPECT_FALSE(opened[0].hasFragment());
  }
  EXPECT_FALSE(HelpBrowser_ShowContext(100));
  EXPECT_EQ(HelpBrowser_LastFailure(), "The specified file was not found");
}

TEST_F(HelpFixture, AnchorBecomesTheFragmentAndFailuresAreKept)
{
  static const THelpTopic table[] = {{7, "filters.htm", "iir design"}, {8, "filters.htm", " x"},
                                     {0, "", ""}};
  HelpBrowser_Init(nullptr, dir.file("html") + "/", table);
  EXPECT_EQ(HelpBrowser_Directory(), dir.file("html") + "/");  // no second slash
  ASSERT_TRUE(HelpBrowser_ShowContext(7));
  EXPECT_EQ(opened.back().fragment(), "iir design");
  ASSERT_TRUE(HelpBrowser_ShowContext(8));  // a blank first character: no anchor
  EXPECT_FALSE(opened.back().hasFragment());

  HelpBrowser_SetUrlHandler([](const QUrl&) { return false; });
  EXPECT_FALSE(HelpBrowser_ShowContext(7));
  EXPECT_EQ(HelpBrowser_LastFailure(),
            "There is no application associated with the given filename extension.");

  EXPECT_FALSE(HelpBrowser_Init(nullptr, "", nullptr));
  EXPECT_EQ(HelpBrowser_Directory(), "");
  EXPECT_FALSE(HelpBrowser_ShowContext(7));  // help is off
}

TEST_F(HelpFixture, MainWindowMenusUseTheProgramsHelpDirectory)
{
  Make();  // initialises the help with the program directory + "html/"
  form->Menu_HelpDisplayClick();
  form->Menu_HelpComponentsClick();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith("/html/specdisp.htm"));
  EXPECT_TRUE(opened[1].toLocalFile().endsWith("/html/circuits.htm"));
  EXPECT_TRUE(form->AppHelp(HELP_CONTEXT_COMMAND, 500));
  EXPECT_FALSE(form->AppHelp(2, 500));  // not a context request
}

// F1 in an area of the main window asks the help hook for that area's context; the hook the
// main window installs opens the page in the help browser.
TEST_F(HelpFixture, MainWindowAreasHaveTheirOwnContexts)
{
  Make();
  const struct {
    const char* control;
    int context;
  } cases[] = {{"Ed_FreqMin", 120},   {"Btn_FreqMaxUp", 120}, {"SBR_Time", 130},
               {"SBR_Brightness", 150}, {"SBR_Contrast", 150}, {"ProgressButton", 160},
               {"Img_FreqScale1", 180}, {"Img_Waterfall", 210}, {"Grp_Controls", 200},
               {"Lab_CursorX", 140},    {"Grp_Cursor", 140}};
  for (const auto& c : cases) {
    auto* w = form->findChild<QWidget*>(c.control);
    ASSERT_NE(w, nullptr) << c.control;
    EXPECT_EQ(form->HelpContextAt(w), c.context) << c.control;
  }
  EXPECT_EQ(form->HelpContextAt(nullptr), 200);

  // Through the hook: the installed handler opens the page of the context.
  ASSERT_TRUE(ShowHelpContext(180));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith("/html/specdisp.htm"));
  std::vector<uint32_t> seen;
  HelpContextHandler old = SetHelpContextHandler([&](uint32_t id) {
    seen.push_back(id);
    return true;
  });
  EXPECT_TRUE(form->AppHelp(HELP_CONTEXT_COMMAND, 130));
  EXPECT_EQ(seen, std::vector<uint32_t>({130}));
  SetHelpContextHandler(old);
}

// A window below the main window knows only the help hook; the main window's handler opens
// its page. The audio-file dialog's Help button and F1 both reach the page of context 1400.
TEST_F(HelpFixture, WindowBelowTheMainWindowOpensItsPageThroughTheHook)
{
  Make();
  TAudioFilePropFrm dlg;
  dlg.findChild<QPushButton*>("BitBtn3")->click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].toLocalFile().toStdString(), dir.file("html/wavfiles.htm"));
  int f1 = 0;
  for (QShortcut* sc : dlg.findChildren<QShortcut*>())
    if (sc->key() == QKeySequence(Qt::Key_F1)) {
      emit sc->activated();
      ++f1;
    }
  EXPECT_EQ(f1, 1);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[1].toLocalFile().toStdString(), dir.file("html/wavfiles.htm"));
}

TEST(HelpPages, EveryTopicHasItsPageInTheSourceTree)
{
  std::set<uint32_t> ids;
  uint32_t last = 0;
  int count = 0;
  for (const THelpTopic* t = g_HelpTopics; t->id > 0; ++t, ++count) {
    EXPECT_GT(t->id, last) << "table not ascending at " << t->id;
    last = t->id;
    const std::filesystem::path page = std::filesystem::path(VT_SOURCE_DIR) / "html" / t->file;
    EXPECT_TRUE(std::filesystem::is_regular_file(page)) << page;
  }
  EXPECT_EQ(count, 47);
}

// Without a browser for the desktop (no URL handler) or without the page, a help request is not
// silent: the debug window and the status line say that the page could not be opened and
// where the file is.
TEST_F(HelpFixture, PageThatCannotBeOpenedIsReported)
{
  std::vector<std::string> logged;
  SetDebugSink([&](const std::string& line) { logged.push_back(line); });
  Make();
  logged.clear();
  struct Case { const char* what; bool browser; uint32_t id; std::string page; };
  const Case cases[] = {
      {"no URL handler", false, 170, dir.file("html/specdisp.htm")},
      {"page missing", true, 100, dir.file("html/index.htm")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HelpBrowser_SetUrlHandler([&](const QUrl&) { return c.browser; });
    logged.clear();
    EXPECT_FALSE(ShowHelpContext(c.id));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("Help page could not be opened"), std::string::npos) << logged[0];
    EXPECT_NE(logged[0].find(c.page), std::string::npos) << logged[0];
    const QString status = form->ProgressButton->text();
    const QString name = QString::fromStdString(std::filesystem::path(c.page).filename().string());
    EXPECT_EQ(status, "Help page could not be opened: " + name);
    EXPECT_TRUE(form->ProgressButton->toolTip().contains(QString::fromStdString(c.page)));
  }
  // A page that opens leaves the status line alone.
  HelpBrowser_SetUrlHandler([](const QUrl&) { return true; });
  form->ProgressButton->setText("idle");
  logged.clear();
  EXPECT_TRUE(ShowHelpContext(170));
  EXPECT_TRUE(logged.empty());
  EXPECT_EQ(form->ProgressButton->text(), "idle");
  SetDebugSink(nullptr);
}
