#pragma once
// The about box "About...": build date, the purpose and the credits and licence notices.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TAbtForm : public QDialog {
  Q_OBJECT
public:
  explicit TAbtForm(QWidget* parent = nullptr);
  void FormActivate();

  QLabel* Lab_Compiled;
  QPlainTextEdit* Mem_Info;
  QPushButton* Btn_OK;

protected:
  void showEvent(QShowEvent* e) override;
};

extern TAbtForm* AbtForm;
