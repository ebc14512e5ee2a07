#pragma once
// The export window "Vartumo  -  File Export Format": edits the export definition (columns in
// a grid, separator, file, the three macros, the write interval), tests the line and the
// macros, and activates the export. The engine (interp/ExportEngine.h) does the work and runs
// with the window closed; the window installs its refresh callbacks there. Applying writes the
// controls into the definition; Cancel restores the copy taken when the window was shown.
// Created at start-up, alive for the whole run. GUI thread only.
#include <QWidget>

#include "interp/ExportDefinition.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableWidget;

class TExportForm : public QWidget {
  Q_OBJECT
public:
  explicit TExportForm(QWidget* parent = nullptr);
  ~TExportForm() override;

  void FormShow();
  void UpdateGrid();       // all controls from the definition
  void ShowResults();      // the "Formatted Results" column
  void UpdateFileInfo();   // size and next write time, when they changed
  void ApplyGrid();        // the controls into the definition
  void TestCommands(const QString& commands);

  void Ed_NrColumnsChange();
  void Btn_TestClick();
  void Ed_NextWriteTimeChange();
  void Btn_SyncWriteClick();
  void Btn_OkClick();
  void Btn_CancelClick();
  void Btn_HelpClick();
  void Btn_MenuClick();
  void PopupMenu1Popup();
  void Menu_LoadDefinitionClick();
  void Menu_SaveDefinitionClick();
  void Menu_DeleteFileClick();
  void Menu_ApplyChangesClick();
  void Ed_ExportFileNameDblClick();
  void Chk_ExportActiveClick();

  int UpdatingCount = 0;
  ExportDefinition SavedDefinition{};
  int NextWriteTimeEdited = 0;

  QTabWidget* PageControl1;
  QWidget* TS_FileContents;
  QLineEdit* Ed_SeparatorCode;
  QLineEdit* Ed_NrColumns;
  QTableWidget* SG_FileFormat;
  QPushButton* Btn_Test;
  QLineEdit* Ed_TestResult;
  QWidget* TS_Activation;
  QCheckBox* Chk_ExportActive;
  QLineEdit* Ed_ExportFileName;
  QLabel* Lab_FileSize;
  QCheckBox* Chk_UsePreciseInterval;
  QLineEdit* Ed_PreciseInterval;
  QLineEdit* Ed_NextWriteTime;
  QPushButton* Btn_SyncWrite;
  QLineEdit* Ed_ExecAfterSpectrum;
  QLineEdit* Ed_ExecBeforeWrite;
  QLineEdit* Ed_ExecAfterWrite;
  QPushButton* Btn_TestOnSpectrum;
  QPushButton* Btn_TestBeforeWrite;
  QPushButton* Btn_TestAfterWrite;
  QLineEdit* Ed_TestResult2;
  QPushButton* Btn_Menu;
  QPushButton* Btn_Ok;
  QPushButton* Btn_Cancel;
  QPushButton* Btn_Help;
  QMenu* PopupMenu1;
  QAction* Menu_LoadDefinition;
  QAction* Menu_SaveDefinition;
  QAction* Menu_DeleteFile;
  QAction* Menu_ApplyChanges;

protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  QString Cell(int row, int col) const;
  void SetCell(int row, int col, const QString& text);
  int64_t m_ShownSize = -1;
  double m_ShownNextWrite = -1.0;
};

extern TExportForm* ExportForm;
