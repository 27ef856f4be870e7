#include <gtest/gtest.h>

#include <QApplication>

// Widget tests run headless unless the caller picked a platform (a screenshot run under Xvfb
// picks xcb), also while the test runner only lists the tests.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
