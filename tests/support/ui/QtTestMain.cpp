// main() of the UI test executables: a QApplication on the offscreen platform (no display
// needed; QT_QPA_PLATFORM=xcb runs them on a real display instead, e.g. the tray tests under
// a desktop with a notification area), then every GoogleTest test.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
