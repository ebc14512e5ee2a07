// The main window's menu items of the command window, the periodic-actions dialog and the
// export window, and the spectrum alert dialog.
#include <QMenu>

#include "engine/forms/FormPlacement.h"
#include "interp/forms/AlertDlg.h"
#include "interp/forms/CommandForm.h"
#include "interp/forms/ExportForm.h"
#include "interp/forms/PeriodicActionForm.h"
#include "mainwin/forms/SpecMain.h"

void TSndMainForm::AddInterpreterMenuItems()
{
  View1->addSeparator();
  Menu_ViewCmdInterpreter = View1->addAction("Command &Interpreter");
  Menu_ViewCmdInterpreter->setObjectName("Menu_ViewCmdInterpreter");
  Menu_ViewCmdInterpreter->setCheckable(true);
  Menu_PeriodicActions = View1->addAction("&Periodic Actions...");
  Menu_PeriodicActions->setObjectName("Menu_PeriodicActions");
  Menu_ScheduledActions = View1->addAction("Sc&heduled Actions...");
  Menu_ScheduledActions->setObjectName("Menu_ScheduledActions");
  Menu_Export = View1->addAction("&Export...");
  Menu_Export->setObjectName("Menu_Export");
  Menu_Export->setCheckable(true);
  connect(Menu_Export, &QAction::triggered, this, &TSndMainForm::Menu_ExportClick);
  Menu_AlertConfig = View1->addAction("Alert function (discontinued)");
  Menu_AlertConfig->setObjectName("Menu_AlertConfig");
  Menu_AlertConfig->setCheckable(true);
  Menu_AlertConfig->setEnabled(false);
  connect(Menu_AlertConfig, &QAction::triggered, this, &TSndMainForm::Menu_AlertConfigClick);
  connect(Menu_ViewCmdInterpreter, &QAction::triggered, this,
          &TSndMainForm::Menu_ViewCmdInterpreterClick);
  connect(Menu_PeriodicActions, &QAction::triggered, this, &TSndMainForm::Menu_PeriodicActionsClick);
  connect(Menu_ScheduledActions, &QAction::triggered, this,
          &TSndMainForm::Menu_ScheduledActionsClick);
}

void TSndMainForm::Menu_ViewCmdInterpreterClick()
{
  if (!CommandForm) return;
  BringWindowToFront(CommandForm);
}

void TSndMainForm::Menu_ExportClick()
{
  if (!ExportForm) return;
  BringWindowToFront(ExportForm);
}

void TSndMainForm::Menu_AlertConfigClick()
{
  if (!AlertDlgForm) return;
  BringWindowToFront(AlertDlgForm);
}

namespace {

// Runs the dialog on the page; after OK the periodic macro's interval starts anew.
void RunPeriodicDialog(CMainLoop* loop, QWidget* (*page)(TPeriodicActionForm*))
{
  if (!PeriodicActionForm) return;
  if (PeriodicActionForm->Execute(page(PeriodicActionForm)) == QDialog::Accepted)
    loop->NextPeriodicTime = 0;
}

}  // namespace

void TSndMainForm::Menu_PeriodicActionsClick()
{
  RunPeriodicDialog(Loop.get(), [](TPeriodicActionForm* f) { return f->TS_Periodic; });
}

void TSndMainForm::Menu_ScheduledActionsClick()
{
  RunPeriodicDialog(Loop.get(), [](TPeriodicActionForm* f) { return f->TS_Schedule; });
}
