#include "control/forms/YesNoDlg.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TYesNoForm* YesNoForm = nullptr;

TYesNoForm::TYesNoForm(QWidget* parent) : QDialog(parent)
{
  setObjectName("YesNoForm");
  setWindowTitle("<important question>");
  setModal(true);

  Memo = new QPlainTextEdit("<intelligent message>", this);
  Memo->setObjectName("Memo");
  Memo->setReadOnly(true);
  BtnYes = new QPushButton("&Yes", this);
  BtnYes->setObjectName("BtnYes");
  BtnYes->setDefault(true);
  BtnNo = new QPushButton("&No", this);
  BtnNo->setObjectName("BtnNo");
  connect(BtnYes, &QPushButton::clicked, this, [this] { done(mrYes); });
  connect(BtnNo, &QPushButton::clicked, this, [this] { done(mrNo); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnYes);
  buttons->addWidget(BtnNo);
  auto* top = new QVBoxLayout(this);
  top->addWidget(Memo);
  top->addLayout(buttons);
}
