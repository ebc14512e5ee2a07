// The image viewer offscreen: loading, stepping with the mouse buttons, error captions.
#include "common/TestUtil.h"
#include "imaging/BmpEncoder.h"
#include "imaging/JPEGEncoder.h"
#include "imaging/WinBmp.h"
#include "imaging/forms/PicViewForm.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>

#include <gtest/gtest.h>

namespace {

// A w x h picture of one colour (blue, green, red) written as BMP or JPEG.
void WritePicture(const std::string& name, int w, int h, uint8_t b, uint8_t g, uint8_t r, bool jpeg = false)
{
  CWinBmp bmp;
  bmp.Create(w, h, 32, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = bmp.GetLineArray()[y] + 4 * x;
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 255;
    }
  if (jpeg) CJPEGEncoder().EncodeFile(name.c_str(), &bmp);
  else CBmpEncoder().EncodeFile(name.c_str(), &bmp);
}

void Click(QWidget* target, Qt::MouseButton button)
{
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)), button, button,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)), button,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

class PicViewTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    a = dir.file("a.bmp");
    b = dir.file("b.jpg");
    c = dir.file("c.bmp");
    gif = dir.file("d.gif");
    WritePicture(a, 4, 3, 0, 0, 255);         // red
    WritePicture(b, 16, 8, 0, 255, 0, true);  // green
    WritePicture(c, 5, 2, 255, 0, 0);         // blue
    vt_test::WriteWholeFile(gif, "GIF89a and then some bytes");
  }
  QString Caption() const { return frm.windowTitle(); }
  QSize PictureSize() const { return frm.GetPictureBitmap().size(); }

  vt_test::TempDir dir;
  std::string a, b, c, gif;
  TPicViewFrm frm;
};

}  // namespace

TEST_F(PicViewTest, WindowAndControls)
{
  EXPECT_EQ(Caption(), "Image viewer");
  EXPECT_EQ(frm.size(), QSize(596, 410));
  ASSERT_NE(frm.findChild<QScrollArea*>("ScrollBox1"), nullptr);
  ASSERT_NE(frm.findChild<QLabel*>("Image1"), nullptr);
  ASSERT_NE(frm.findChild<QPushButton*>("Btn_Menu"), nullptr);
  auto* list = frm.findChild<QListWidget*>("ListBox1");
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->isHidden());
}

TEST_F(PicViewTest, LoadsTheFirstAndStepsWithTheMouseButtons)
{
  auto* image = frm.findChild<QLabel*>("Image1");
  frm.ShowFiles({QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c)});
  EXPECT_TRUE(frm.isVisible());
  EXPECT_EQ(Caption().toStdString(), a);
  EXPECT_EQ(PictureSize(), QSize(4, 3));
  EXPECT_EQ(frm.GetPictureBitmap().pixel(3, 2), qRgb(255, 0, 0));
  EXPECT_EQ(image->size(), QSize(4, 3));

  Click(image, Qt::LeftButton);
  EXPECT_EQ(Caption().toStdString(), b);
  EXPECT_EQ(PictureSize(), QSize(16, 8));
  const QRgb green = frm.GetPictureBitmap().pixel(8, 4);
  EXPECT_LT(qRed(green), 20);
  EXPECT_GT(qGreen(green), 235);

  Click(frm.findChild<QScrollArea*>("ScrollBox1")->viewport(), Qt::LeftButton);  // one step, not two
  EXPECT_EQ(Caption().toStdString(), c);
  EXPECT_EQ(frm.GetPictureBitmap().pixel(0, 0), qRgb(0, 0, 255));
  Click(image, Qt::LeftButton);  // at the last file: nothing happens
  EXPECT_EQ(Caption().toStdString(), c);
  Click(image, Qt::MiddleButton);
  EXPECT_EQ(Caption().toStdString(), c);

  Click(image, Qt::RightButton);
  EXPECT_EQ(Caption().toStdString(), b);
  Click(&frm, Qt::RightButton);
  EXPECT_EQ(Caption().toStdString(), a);
  Click(image, Qt::RightButton);  // at the first file: nothing happens
  EXPECT_EQ(Caption().toStdString(), a);
  EXPECT_EQ(PictureSize(), QSize(4, 3));
}

TEST_F(PicViewTest, ErrorCaptionKeepsTheOldPicture)
{
  const std::string missing = dir.file("missing.bmp");
  frm.ShowFiles({QString::fromStdString(a), QString::fromStdString(gif), QString::fromStdString(missing)});
  auto* image = frm.findChild<QLabel*>("Image1");
  const QImage before = frm.GetPictureBitmap();
  Click(image, Qt::LeftButton);
  EXPECT_EQ(Caption(), "Error #6 decoding image: Library not compiled for this file type.");
  EXPECT_EQ(frm.GetPictureBitmap(), before);
  EXPECT_EQ(image->pixmap().size(), QSize(4, 3));
  Click(image, Qt::LeftButton);  // moves on as usual
  EXPECT_EQ(Caption().toStdString(), "Error #4 decoding image: Opening " + missing + " failed");
  EXPECT_EQ(frm.GetPictureBitmap(), before);
}

TEST_F(PicViewTest, LongErrorTextIsBounded)
{
  const std::string longName = dir.file(std::string(200, 'x') + "/" + std::string(200, 'y') + ".bmp");
  frm.ShowFiles({QString::fromStdString(longName)});
  EXPECT_TRUE(Caption().startsWith("Error #3 decoding image: Opening "));
  EXPECT_EQ(Caption().size(), 255);
}

TEST_F(PicViewTest, ListClickLoadsThatFile)
{
  frm.ShowFiles({QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c)});
  auto* list = frm.findChild<QListWidget*>("ListBox1");
  list->setCurrentRow(2);
  emit list->itemClicked(list->item(2));
  EXPECT_EQ(Caption().toStdString(), c);
}

TEST_F(PicViewTest, MenuButtonTogglesTheListAndShowsTheTextOnce)
{
  auto* btn = frm.findChild<QPushButton*>("Btn_Menu");
  auto* list = frm.findChild<QListWidget*>("ListBox1");
  btn->click();
  EXPECT_FALSE(list->isHidden());
  auto boxes = frm.findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0]->text().contains("Use left mouse button for next,  right button for previous picture."));
  boxes[0]->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  btn->click();
  EXPECT_TRUE(list->isHidden());
  btn->click();
  EXPECT_FALSE(list->isHidden());
  EXPECT_TRUE(frm.findChildren<QMessageBox*>().isEmpty());
}
