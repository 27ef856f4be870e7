#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "ModalDialogDriver.h"
#include "ui/QtUserMessages.h"

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

// Both kinds of message over an open modal dialog: modal over it, so every way of closing works.
TEST(QtUserMessagesBox, BoxOverAModalDialogBelongsToItAndClosesEveryWay) {
  QtUserMessages messages;
  for (testing::BoxClose way : testing::kEveryBoxClose) {
    for (bool owned : {false, true}) {
      SCOPED_TRACE(std::string(testing::NameOf(way)) + (owned ? ", owned" : ", ownerless"));
      QDialog dialog;
      testing::ModalDialogDriver driver([&](QDialog& shown) {
        QWidget* owner = nullptr;
        testing::MessageBoxDriver boxDriver([&](QMessageBox& box) {
          owner = box.parentWidget();
          EXPECT_EQ(QApplication::activeModalWidget(), &box);
          testing::CloseBox(box, way);
        });
        if (owned) {
          messages.ShowOwnedMessage("Enter an integer.", "Orvane", MessageIcon::Warning);
        } else {
          messages.ShowMessage("Error in MIDI IN OPEN function!", "Error!", MessageIcon::Warning);
        }
        EXPECT_FALSE(boxDriver.leftOpen()) << "the box could not be closed";
        EXPECT_EQ(owner, &shown);
        shown.reject();
      });
      dialog.exec();
      EXPECT_TRUE(driver.ran());
    }
  }
}

// With no dialog open, an owned box belongs to the main window and blocks it until answered.
TEST(QtUserMessagesBox, OwnedBoxWithoutADialogIsModalOverTheMainWindow) {
  QMainWindow mainWindow;
  mainWindow.show();
  QWidget* owner = nullptr;
  testing::MessageBoxDriver boxDriver([&](QMessageBox& box) {
    owner = box.parentWidget();
    EXPECT_EQ(QApplication::activeModalWidget(), &box);
    testing::CloseBox(box, testing::BoxClose::Return);
  });
  QtUserMessages messages;
  messages.ShowOwnedMessage("Attempted to access an unnamed file past its end.", "Orvane",
                            MessageIcon::Stop);
  EXPECT_FALSE(boxDriver.leftOpen());
  EXPECT_EQ(owner, &mainWindow);
}

}  // namespace
}  // namespace orvane
