// Test main for window tests: a QApplication on the offscreen platform, numbers in "C".
#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // QApplication applies the user's locale to everything
  return RUN_ALL_TESTS();
}
