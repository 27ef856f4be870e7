#include "platform/QtUserMessages.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>

#include "platform/QtText.h"

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

}  // namespace

void QtUserMessages::ShowMessage(std::string_view text, std::string_view caption,
                                 MessageIcon icon) {
  // Without a QApplication (fatal device errors can come before it in odd start-ups) there is
  // nowhere to show a box; the standard error stream stands in.
  if (QApplication::instance() == nullptr) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    return;
  }
  QMessageBox box(ToQtIcon(icon), ToQString(caption), ToQString(text), QMessageBox::Ok);
  // No owner and not modal: the main window stays usable (and playable) while the box is shown,
  // yet the caller waits until it is closed, on a nested event loop.
  box.setWindowModality(Qt::NonModal);
  QEventLoop loop;
  QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
  box.show();
  loop.exec();
}

void QtUserMessages::EndProcess(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace orvane
