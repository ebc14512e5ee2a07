#include "control/forms/StrEditU.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/forms/DialogHooks.h"

TStringEditForm* StringEditForm = nullptr;

TStringEditForm::TStringEditForm(QWidget* parent) : QDialog(parent)
{
  setObjectName("StringEditForm");
  setModal(true);

  Label = new QLabel(this);
  Label->setObjectName("Label");
  Edit = new QLineEdit(this);
  Edit->setObjectName("Edit");
  Label->setBuddy(Edit);
  Btn_Ok = new QPushButton("OK", this);
  Btn_Ok->setObjectName("Btn_Ok");
  Btn_Ok->setDefault(true);
  Btn_Cancel = new QPushButton("Cancel", this);
  Btn_Cancel->setObjectName("Btn_Cancel");
  connect(Btn_Ok, &QPushButton::clicked, this, [this] { done(1); });
  connect(Btn_Cancel, &QPushButton::clicked, this, [this] { done(2); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Btn_Ok);
  buttons->addWidget(Btn_Cancel);
  auto* top = new QVBoxLayout(this);
  top->addWidget(Label);
  top->addWidget(Edit);
  top->addLayout(buttons);
}

bool TStringEditForm::EditString(const QString& caption, const QString& prompt, int maxLength,
                                 QString& text)
{
  setWindowTitle(caption);
  Label->setText(prompt);
  Edit->setMaxLength(maxLength < 1 ? 1 : maxLength);
  Edit->setText(text);
  Edit->selectAll();
  Edit->setFocus();
  if (ExecDialog(this) != 1) return false;
  text = Edit->text();
  return true;
}
