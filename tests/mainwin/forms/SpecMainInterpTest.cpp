// The main window's items of the command window and the periodic-actions dialog, and the word
// period registered for the whole run.
#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "interp/CliCommands.h"
#include "interp/ExportSeam.h"
#include "interp/forms/CommandForm.h"
#include "interp/forms/ExportForm.h"
#include "interp/forms/PeriodicActionForm.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

class InterpMenuTest : public MainWindowTest {
protected:
  void TearDown() override
  {
    TDialogHooks::DialogExecHook = nullptr;
    delete CommandForm;
    delete PeriodicActionForm;
    delete ExportForm;
    MainWindowTest::TearDown();
  }
};

TEST_F(InterpMenuTest, PeriodicAndScheduledItems)
{
  Make();
  PeriodicActionForm = new TPeriodicActionForm;
  EXPECT_NE(CLI_GetObjectWordHandler("period"), nullptr);  // without the dialog shown
  const struct {
    const char* item;
    const char* button;
    QWidget* page;
    bool resets;
  } table[] = {
      {"Menu_PeriodicActions", "Btn_Ok", PeriodicActionForm->TS_Periodic, true},
      {"Menu_ScheduledActions", "Btn_Ok", PeriodicActionForm->TS_Schedule, true},
      {"Menu_ScheduledActions", "Btn_Cancel", PeriodicActionForm->TS_Schedule, false},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.item) + " " + c.button);
    g_RedrawRequestMask = 0;
    form->Loop->NextPeriodicTime = 12345;
    QWidget* page = nullptr;
    TDialogHooks::DialogExecHook = [&](QDialog* d) {
      page = PeriodicActionForm->PageControl1->currentWidget();
      d->findChild<QPushButton*>(c.button)->click();
      return d->result();
    };
    form->findChild<QAction*>(c.item)->trigger();
    EXPECT_EQ(page, c.page);
    EXPECT_EQ(form->Loop->NextPeriodicTime, c.resets ? 0 : 12345);
    EXPECT_EQ((g_RedrawRequestMask & 4) != 0, c.resets);
  }
}

TEST_F(InterpMenuTest, CommandWindowShownByItsItemAndClosedWithTheMainWindow)
{
  Make();
  CommandForm = new TCommandForm;
  form->findChild<QAction*>("Menu_ViewCmdInterpreter")->trigger();
  EXPECT_TRUE(CommandForm->isVisible());
  CommandForm->Ed_Commands->setPlainText("print 5");
  form->close();
  EXPECT_FALSE(CommandForm->isVisible());
  EXPECT_EQ(Read("curr_cmd.txt"), "print 5\n");
}

// The close saves a changed export definition; the export window is shown by its item.
TEST_F(InterpMenuTest, CloseSavesAChangedExportDefinition)
{
  Make();
  ExportForm = new TExportForm;
  form->findChild<QAction*>("Menu_Export")->trigger();
  EXPECT_TRUE(ExportForm->isVisible());
  EXPECT_NE(CLI_GetObjectWordHandler("export"), nullptr);
  std::snprintf(SndConfig.DefinitionFileName, 256, "%s", dir.file("mine.edf").c_str());
  g_ExportColumnCount = 1;
  g_ExportDefinitionChanged = 1;
  form->close();
  EXPECT_FALSE(ExportForm->isVisible());
  EXPECT_EQ(g_ExportDefinitionChanged, 0);
  EXPECT_NE(Read("mine.edf").find("NrOfColumns=1"), std::string::npos);
}

}  // namespace
