// Program entry. Until the main window exists this shows a placeholder window.
#include <QApplication>
#include <QLabel>
#include <clocale>

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QLabel label("Vartumo: the main window is being built.");
  label.setWindowTitle("Vartumo");
  label.resize(400, 100);
  label.show();
  return app.exec();
}
