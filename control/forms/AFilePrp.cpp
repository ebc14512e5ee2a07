#include "control/forms/AFilePrp.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/forms/HelpHook.h"

TAudioFilePropFrm* AudioFilePropFrm = nullptr;

namespace {

QLineEdit* AddEdit(QWidget* parent, QFormLayout* form, const char* name, const char* label,
                   const char* text)
{
  auto* e = new QLineEdit(QString::fromLatin1(text), parent);
  e->setObjectName(QString::fromLatin1(name));
  auto* l = new QLabel(QString::fromLatin1(label), parent);
  l->setBuddy(e);
  form->addRow(l, e);
  return e;
}

}  // namespace

TAudioFilePropFrm::TAudioFilePropFrm(QWidget* parent) : QDialog(parent)
{
  setObjectName("AudioFilePropFrm");
  setWindowTitle("Audio file analysis");
  setModal(true);

  auto* form = new QFormLayout;
  Ed_SampleRate = AddEdit(this, form, "Ed_SampleRate", "Sample rate [Hz]", "11025");
  Ed_NrChannels = AddEdit(this, form, "Ed_NrChannels", "Nr of Channels", "1");
  Ed_BitsPerSample = AddEdit(this, form, "Ed_BitsPerSample", "Bits per sample", "16");
  Ed_FreqOffset = AddEdit(this, form, "Ed_FreqOffset", "Freq offset [Hz]", "0");
  Ed_Date = AddEdit(this, form, "Ed_Date", "Date (MM-DD-YY)", "02-18-01");
  Ed_Time = AddEdit(this, form, "Ed_Time", "Time (HH:MM:SS)", "23:59:59");

  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton("Cancel", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn3 = new QPushButton("Help", this);
  BitBtn3->setObjectName("BitBtn3");
  connect(BitBtn1, &QPushButton::clicked, this, [this] { done(1); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(2); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { ShowHelpContext(m_helpContext); });
  InstallHelpShortcut(this, m_helpContext);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn3);
  auto* top = new QVBoxLayout(this);
  top->addLayout(form);
  top->addLayout(buttons);
}
