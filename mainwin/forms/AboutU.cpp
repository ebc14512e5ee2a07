#include "mainwin/forms/AboutU.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

TAbtForm* AbtForm = nullptr;

namespace {

const char* const kInfoText =
    "Vartumo - audio spectrum analyser, filters and digital modes\n"
    "for radio amateurs and listeners.\n"
    "\n"
    "Help: press F1 or use the Help menu; the pages are in the folder\n"
    "'html' beside the program.\n"
    "\n"
    "Credits:\n"
    "  FFT: radix-4 Stockham algorithm, after the classic papers on\n"
    "       split-radix and self-sorting FFTs.\n"
    "  Sound routines: ALSA through a small wave-audio layer.\n"
    "  Parks-McClellan designer: after the Remez exchange algorithm\n"
    "       of J.H. McClellan, T.W. Parks and L.R. Rabiner.\n"
    "  Testers: the radio amateurs who reported faults and wishes.\n"
    "  Alert routines: spectrum alert with siren and actions.\n"
    "\n"
    "Image files: BMP codec of this program; JPEG through the\n"
    "  libjpeg-turbo library. This software is based in part on the\n"
    "  work of the Independent JPEG Group.\n"
    "  Qt 6 (LGPL v3) for the windows.\n"
    "\n"
    "Licence: free for amateur radio and non-commercial use.\n"
    "The software comes with no warranty of any kind; you use it at\n"
    "your own risk.\n";

}  // namespace

TAbtForm::TAbtForm(QWidget* parent) : QDialog(parent)
{
  setObjectName("AbtForm");
  setWindowTitle("About...");
  auto* g = new QGridLayout(this);
  g->addWidget(new QLabel("Compiled:"), 0, 0);
  Lab_Compiled = new QLabel;
  Lab_Compiled->setObjectName("Lab_Compiled");
  g->addWidget(Lab_Compiled, 0, 1);
  g->addWidget(new QLabel("Software for Amateur Radio Use  with no warranty of any kind"), 1, 0, 1,
               2);
  Mem_Info = new QPlainTextEdit(kInfoText);
  Mem_Info->setObjectName("Mem_Info");
  Mem_Info->setReadOnly(true);
  Mem_Info->setLineWrapMode(QPlainTextEdit::NoWrap);
  Mem_Info->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Mem_Info->setMinimumSize(480, 260);
  g->addWidget(Mem_Info, 2, 0, 1, 2);
  Btn_OK = new QPushButton("Ok");
  Btn_OK->setObjectName("Btn_OK");
  Btn_OK->setDefault(true);
  connect(Btn_OK, &QPushButton::clicked, this, &QDialog::accept);
  g->addWidget(Btn_OK, 3, 0, 1, 2, Qt::AlignHCenter);
}

void TAbtForm::FormActivate() { Lab_Compiled->setText(__DATE__); }

void TAbtForm::showEvent(QShowEvent* e)
{
  FormActivate();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {  // centred on the screen
    QRect r = frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
  QDialog::showEvent(e);
}
