#include "ui/QtUserMessages.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

#include "ui/QtText.h"
#include "ui/X11Focus.h"

namespace orvane {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Stop:
      return QMessageBox::Critical;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QWidget* ShownMainWindow() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMainWindow*>(window) != nullptr && window->isVisible()) return window;
  }
  return nullptr;
}

// A box that has the keys the moment it is shown and, when it closes, gives them back to its
// owner (a box without one: to the main window), also with no window manager to do so.
class Box : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

  void setVisible(bool visible) override {
    if (!visible) PassX11FocusOnHide(*this, ShownMainWindow());
    QMessageBox::setVisible(visible);
    if (visible) TakeX11FocusWhenShown(*this);
  }
};

// `owner` null: no owner, not modal. A modal dialog blocks every window but its own children,
// so while one is open the box belongs to it, whatever the caller asked.
void Show(std::string_view text, std::string_view caption, MessageIcon icon, QWidget* owner) {
  // Without a QApplication (fatal device errors can come before it in odd start-ups) there is
  // nowhere to show a box; the standard error stream stands in.
  if (QApplication::instance() == nullptr) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    return;
  }
  if (QWidget* modal = QApplication::activeModalWidget()) owner = modal;
  Box box(ToQtIcon(icon), ToQString(caption), ToQString(text), QMessageBox::Ok, owner);
  if (owner != nullptr) {
    // Transient for its owner, so window managers keep it above; OK, Return, Space and Esc (the
    // only button is also the escape button) close it. The owner is the active window again.
    const QPointer<QWidget> ownerLeft(owner);
    box.exec();
    if (ownerLeft && ownerLeft->isVisible()) ownerLeft->activateWindow();
    return;
  }
  // The other windows stay usable (and the main window playable) while the box is shown, yet the
  // caller waits until it is closed, on a nested event loop.
  box.setWindowModality(Qt::NonModal);
  QEventLoop loop;
  QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
  box.show();
  loop.exec();
}

}  // namespace

void QtUserMessages::ShowMessage(std::string_view text, std::string_view caption,
                                 MessageIcon icon) {
  Show(text, caption, icon, nullptr);
}

void QtUserMessages::ShowOwnedMessage(std::string_view text, std::string_view caption,
                                      MessageIcon icon) {
  Show(text, caption, icon, ShownMainWindow());
}

void QtUserMessages::EndProcess(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace orvane
