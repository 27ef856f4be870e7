#include <gtest/gtest.h>
#include <QApplication>

// The widget tests need one QApplication for the whole run (offscreen platform in ctest).
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
