#pragma once
// TStringEditForm: a one-line text editor shown modally by EditString.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class TStringEditForm : public QDialog {
  Q_OBJECT
public:
  explicit TStringEditForm(QWidget* parent = nullptr);

  // Sets the caption, the prompt, the text and its maximum length (characters, >= 1; smaller
  // values allow one character), shows the dialog modally and, on OK (result 1), copies the
  // edited text into `text` and returns true. Otherwise `text` is left as it was.
  bool EditString(const QString& caption, const QString& prompt, int maxLength, QString& text);

  QLabel* Label;
  QLineEdit* Edit;
  QPushButton* Btn_Ok;      // result 1
  QPushButton* Btn_Cancel;  // result 2
};

extern TStringEditForm* StringEditForm;
