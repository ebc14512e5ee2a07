#include "imaging/forms/PicViewForm.h"

#include "imaging/AnyPicDecoder.h"
#include "imaging/TextException.h"
#include "imaging/WinBmp.h"
#include "imaging/forms/QtWinBmp.h"

#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>

TPicViewFrm* PicViewFrm = nullptr;

namespace {
// Design size of the window; the controls keep their distances to the anchored edges.
constexpr int kDesignWidth = 596;
constexpr int kDesignHeight = 410;
}  // namespace

TPicViewFrm::TPicViewFrm(QWidget* parent) : QWidget(parent, Qt::Tool)
{
  setObjectName("PicViewFrm");
  setWindowTitle("Image viewer");
  setGeometry(192, 107, kDesignWidth, kDesignHeight);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setGeometry(0, 4, 589, 381);
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setBackgroundRole(QPalette::Dark);

  Image1 = new QLabel;
  Image1->setObjectName("Image1");
  Image1->setGeometry(0, 0, 585, 381);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ScrollBox1->setWidget(Image1);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(4, 280, 249, 85);
  ListBox1->hide();
  connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });

  Btn_Menu = new QPushButton("M", this);
  Btn_Menu->setObjectName("Btn_Menu");
  Btn_Menu->setGeometry(20, 364, 19, 17);
  Btn_Menu->setFont(QFont("Arial Narrow"));
  connect(Btn_Menu, &QPushButton::clicked, this, &TPicViewFrm::Btn_MenuClick);

  ScrollBox1->viewport()->installEventFilter(this);
  Image1->installEventFilter(this);
}

TPicViewFrm::~TPicViewFrm()
{
  if (PicViewFrm == this) PicViewFrm = nullptr;
}

void TPicViewFrm::ShowFiles(const QStringList& files)
{
  show();
  ListBox1->clear();
  ListBox1->addItems(files);
  ListBox1->setCurrentRow(0);
  const int index = ListBox1->currentRow();
  if (index >= 0 && ListBox1->count() > index) LoadPicture(ListBox1->item(index)->text());
}

void TPicViewFrm::LoadPicture(const QString& fileName)
{
  setWindowTitle("Decoding ... please wait");
  CAnyPicDecoder decoder;
  CWinBmp bmp;
  try {
    decoder.DecodeFile(QFile::encodeName(fileName).constData(), &bmp, 32);
  } catch (const CTextException& e) {
    // Bounded like the caption buffer it stands for (a long file name in the text).
    ErrorText = QString("Error #%1 decoding image: %2").arg(e.GetCode()).arg(QString::fromLocal8Bit(e.GetText()));
    ErrorText.truncate(255);
    setWindowTitle(ErrorText);
    return;  // the picture shown before stays
  }
  setWindowTitle("Drawing...");
  const auto [w, h] = bmp.GetSize();
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(Qt::black);
  if (!picture.isNull()) {
    QPainter painter(&picture);
    DrawWinBmp(painter, 0, 0, bmp);
  }
  Picture = picture;
  Image1->setPixmap(QPixmap::fromImage(Picture));
  Image1->resize(w, h);
  Image1->update();
  PictureFileName = fileName;
  setWindowTitle(fileName);
}

void TPicViewFrm::FormMouseUp(Qt::MouseButton button)
{
  const int index = ListBox1->currentRow();
  if (button == Qt::LeftButton) {
    if (index + 1 < ListBox1->count()) {
      ListBox1->setCurrentRow(index + 1);
      LoadPicture(ListBox1->item(index + 1)->text());
    }
  } else if (button == Qt::RightButton) {
    if (ListBox1->count() > 0 && index > 0) {
      ListBox1->setCurrentRow(index - 1);
      LoadPicture(ListBox1->item(index - 1)->text());
    }
  }
}

void TPicViewFrm::ListBox1Click()
{
  const int index = ListBox1->currentRow();
  if (index >= 0 && index < ListBox1->count()) LoadPicture(ListBox1->item(index)->text());
}

void TPicViewFrm::Btn_MenuClick()
{
  ListBox1->setVisible(ListBox1->isHidden());
  if (AboutShown) return;
  AboutShown = 1;
  auto* box = new QMessageBox(QMessageBox::Information, "Image viewer",
                              "Simple image viewer/converter of Vartumo\n"
                              "Image classes: Vartumo's BMP and JPEG codecs\n"
                              "JPEG library: libjpeg-turbo, based on the work of the "
                              "Independent JPEG Group\n"
                              "Use left mouse button for next,  right button for previous picture.",
                              QMessageBox::Ok, this);
  box->setObjectName("ViewerText");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

bool TPicViewFrm::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::MouseButtonRelease &&
      (watched == Image1 || watched == ScrollBox1->viewport())) {
    FormMouseUp(static_cast<QMouseEvent*>(event)->button());
    return true;  // handled once, not again by the parent
  }
  return QWidget::eventFilter(watched, event);
}

void TPicViewFrm::mouseReleaseEvent(QMouseEvent* event)
{
  FormMouseUp(event->button());
}

void TPicViewFrm::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  // Anchors: the scroll box follows all four edges, the list and the button the lower left.
  const int dh = height() - kDesignHeight;
  const int dw = width() - kDesignWidth;
  ScrollBox1->setGeometry(0, 4, std::max(0, 589 + dw), std::max(0, 381 + dh));
  ListBox1->move(4, 280 + dh);
  Btn_Menu->move(20, 364 + dh);
}
