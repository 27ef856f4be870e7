#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/QtUserMessages.h"

namespace orvane {
namespace {

// The box shown at the moment, or nullptr.
QMessageBox* ShownBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

// The help box has no owner: while it waits, the main window stays enabled and playable.
TEST(QtUserMessagesBox, WaitsForOkWithoutBlockingOtherWindows) {
  QWidget mainWindow;
  mainWindow.show();
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Critical;
  bool otherWindowUsable = false;
  QTimer::singleShot(0, [&] {
    QMessageBox* box = ShownBox();
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    otherWindowUsable = mainWindow.isEnabled() && QApplication::activeModalWidget() == nullptr;
    box->button(QMessageBox::Ok)->click();
  });
  QtUserMessages messages;
  messages.ShowMessage("Use <ENTER> to mute.", "Tellak Orvane Help", MessageIcon::None);
  EXPECT_EQ(caption, "Tellak Orvane Help");
  EXPECT_EQ(text, "Use <ENTER> to mute.");
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_TRUE(otherWindowUsable);

  QTimer::singleShot(0, [&] {
    QMessageBox* box = ShownBox();
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  messages.ShowMessage("No MIDI output device!", "Error!", MessageIcon::Warning);
  EXPECT_EQ(icon, QMessageBox::Warning);
}

}  // namespace
}  // namespace orvane
