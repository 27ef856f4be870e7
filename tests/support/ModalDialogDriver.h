#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
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

// The control of `dialog` whose id is `id` (ids are the widgets' object names).
template <typename Widget>
Widget* Control(QWidget& dialog, int id) {
  return dialog.findChild<Widget*>(QString::number(id));
}

}  // namespace orvane::testing
