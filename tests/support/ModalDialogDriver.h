#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

namespace orvane::testing {

// Drives a modal dialog from inside its own event loop: once `exec` has shown it, `drive` runs
// with the dialog. A dialog that `drive` leaves open is rejected afterwards, so a failed
// assertion ends the test instead of hanging it; `leftOpen` tells the test that this happened.
class ModalDialogDriver {
 public:
  explicit ModalDialogDriver(std::function<void(QDialog&)> drive) : drive_(std::move(drive)) {
    QTimer::singleShot(0, &context_, [this] { Poll(); });
  }

  bool ran() const { return ran_; }
  bool leftOpen() const { return leftOpen_; }

 private:
  void Poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      if (++polls_ < kMaxPolls) QTimer::singleShot(5, &context_, [this] { Poll(); });
      return;
    }
    ran_ = true;
    QPointer<QDialog> guard(dialog);
    // Keys and focus behave as for a user only once the window manager has activated it.
    if (!QTest::qWaitForWindowActive(dialog)) qWarning("the modal dialog was never activated");
    drive_(*dialog);
    if (guard != nullptr && guard->isVisible()) {
      leftOpen_ = true;
      guard->reject();
    }
  }

  static constexpr int kMaxPolls = 400;
  QObject context_;  // cancels pending polls when the driver goes
  std::function<void(QDialog&)> drive_;
  int polls_ = 0;
  bool ran_ = false;
  bool leftOpen_ = false;
};

// Works the next message box shown, from inside its own event loop, modal or not. A box that
// `drive` leaves open is closed afterwards through its own `done` (which no modal window
// blocks), so a box the user could not close ends the test instead of hanging it.
class MessageBoxDriver {
 public:
  explicit MessageBoxDriver(std::function<void(QMessageBox&)> drive) : drive_(std::move(drive)) {
    QTimer::singleShot(0, &context_, [this] { Poll(); });
  }

  bool ran() const { return ran_; }
  bool leftOpen() const { return leftOpen_; }

  // The message box shown at the moment, or nullptr.
  static QMessageBox* Shown() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(window);
      if (box != nullptr && box->isVisible()) return box;
    }
    return nullptr;
  }

 private:
  void Poll() {
    QMessageBox* box = Shown();
    if (box == nullptr) {
      if (++polls_ < kMaxPolls) QTimer::singleShot(5, &context_, [this] { Poll(); });
      return;
    }
    ran_ = true;
    QPointer<QMessageBox> guard(box);
    if (!QTest::qWaitForWindowExposed(box)) qWarning("the message box was never shown");
    drive_(*box);
    // A key or click takes effect at once; give a blocked one a moment to prove it did not.
    if (guard != nullptr && guard->isVisible()) QTest::qWait(50);
    if (guard != nullptr && guard->isVisible()) {
      leftOpen_ = true;
      guard->done(QMessageBox::Ok);
    }
  }

  static constexpr int kMaxPolls = 400;
  QObject context_;
  std::function<void(QMessageBox&)> drive_;
  int polls_ = 0;
  bool ran_ = false;
  bool leftOpen_ = false;
};

// The ways a user closes a message box. Each goes through the box's window, as the window
// system delivers it, so a box that a modal dialog blocks gets none of them.
enum class BoxClose { Return, Space, Escape, ClickOk };

inline const char* NameOf(BoxClose way) {
  switch (way) {
    case BoxClose::Return:
      return "Return";
    case BoxClose::Space:
      return "Space";
    case BoxClose::Escape:
      return "Esc";
    case BoxClose::ClickOk:
      return "a click on OK";
  }
  return "";
}

inline void CloseBox(QMessageBox& box, BoxClose way) {
  QWindow* window = box.windowHandle();
  switch (way) {
    case BoxClose::Return:
      QTest::keyClick(window, Qt::Key_Return);
      break;
    case BoxClose::Space:
      QTest::keyClick(window, Qt::Key_Space);
      break;
    case BoxClose::Escape:
      QTest::keyClick(window, Qt::Key_Escape);
      break;
    case BoxClose::ClickOk: {
      QAbstractButton* ok = box.button(QMessageBox::Ok);
      QTest::mouseClick(window, Qt::LeftButton, {}, ok->mapTo(&box, ok->rect().center()));
      break;
    }
  }
}

inline constexpr BoxClose kEveryBoxClose[] = {BoxClose::Return, BoxClose::Space, BoxClose::Escape,
                                              BoxClose::ClickOk};

// The control of `dialog` whose id is `id` (ids are the widgets' object names).
template <typename Widget>
Widget* Control(QWidget& dialog, int id) {
  return dialog.findChild<Widget*>(QString::number(id));
}

}  // namespace orvane::testing
