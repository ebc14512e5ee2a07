#pragma once
// TYesNoForm: a question with Yes (result 6) and No (result 7). The caller sets the caption and
// the memo's lines, shows it modally and tests the result. Closing the window any other way
// (Escape, the title bar) gives result 0, which callers treat as cancelled.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TYesNoForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int mrYes = 6;
  static constexpr int mrNo = 7;

  explicit TYesNoForm(QWidget* parent = nullptr);

  QPlainTextEdit* Memo;
  QPushButton* BtnYes;
  QPushButton* BtnNo;
};

extern TYesNoForm* YesNoForm;
