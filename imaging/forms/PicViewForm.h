#pragma once
// The image viewer: shows BMP and JPEG files one at a time at their natural size; the
// left mouse button steps to the next file of the list, the right one to the previous.
// A file that cannot be decoded leaves "Error #<code> decoding image: <text>" in the
// caption and the previous picture on screen.
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QMessageBox;

class TPicViewFrm : public QWidget {
  Q_OBJECT
public:
  explicit TPicViewFrm(QWidget* parent = nullptr);
  ~TPicViewFrm() override;

  // Shows the window with these files in its list and loads the first.
  void ShowFiles(const QStringList& files);

  // The picture shown (what "Convert loaded image to.." saves); null before the first load.
  const QImage& GetPictureBitmap() const { return Picture; }
  // The file the shown picture came from ("" before the first successful load).
  const QString& GetPictureFileName() const { return PictureFileName; }

public slots:
  // Left button: next file; right button: previous file.
  void FormMouseUp(Qt::MouseButton button);
  void ListBox1Click();
  // Toggles the file list; the first time also shows the viewer text.
  void Btn_MenuClick();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void LoadPicture(const QString& fileName);

  QScrollArea* ScrollBox1;
  QLabel* Image1;
  QListWidget* ListBox1;
  QPushButton* Btn_Menu;
  QImage Picture;
  QString PictureFileName;
  QString ErrorText;   // caption after a failed decode
  int AboutShown = 0;
};

// The one viewer window, created at start-up (nullptr until then).
extern TPicViewFrm* PicViewFrm;
