#include "ui/MainFrame.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QIcon>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "core/texts/Texts.h"
#include "ui/CommandIds.h"
#include "ui/Menu.h"
#include "ui/QtText.h"

namespace orvane {

CMainFrame::CMainFrame(const AppServices& services, std::function<bool(int)> appCommands)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      appCommands_(std::move(appCommands)),
      view_(services, this) {
  setObjectName("mainFrame");
  setAttribute(Qt::WA_DeleteOnClose);
  setCentralWidget(&view_);
  setFocusProxy(&view_);  // focus given to the frame goes to the view
  positionKnown_ = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

CMainFrame::~CMainFrame() {
  // The view is a member: take it out of the widget tree before QObject would delete it.
  takeCentralWidget();
  view_.setParent(nullptr);
}

void CMainFrame::Create(const std::vector<std::string>& arguments) {
  const auto dispatch = [this](int command) { OnCommand(command); };
  QMenu* keyboardSettings = BuildMainMenu(*menuBar(), dispatch);
  BuildAccelerators(*this, dispatch);
  setWindowTitle(ToQString(texts::kAppTitle));
  // The application's icon, decoded once at start-up, when the program has set it.
  const QIcon applicationIcon = QApplication::windowIcon();
  setWindowIcon(applicationIcon.isNull() ? QIcon(":/orvane/orvane.png") : applicationIcon);
  view_.OnCreate(arguments, keyboardSettings);
  Place();
}

void CMainFrame::OnCommand(int command) {
  ++runningCommands_;
  RouteCommand(command);
  if (--runningCommands_ > 0) return;
  if (closeRequested_) {
    closeRequested_ = false;
    close();
    return;
  }
  // A dialog or message box the command showed may have taken the activation with it when it
  // closed (with no window manager nothing hands it back): the next key press must play.
  if (isVisible() && !isActiveWindow()) activateWindow();
}

void CMainFrame::RouteCommand(int command) {
  if (view_.OnCommand(command)) return;
  if (command == cmd::kExit) {
    close();
    return;
  }
  if (appCommands_) appCommands_(command);
}

QSize CMainFrame::FrameMargins() const {
  return frameGeometry().size() - geometry().size();
}

// The limits are for the outer window; Qt's minimum size is for the inside of the frame. On
// Wayland Qt would hold a tile narrower than the minimum at the minimum and draw past the
// tile's edge, where the compositor cuts the keyboard off: there the compositor's size rules.
void CMainFrame::ApplyOuterMinimum() {
  if (!positionKnown_) return;
  const QSize margins = FrameMargins();
  setMinimumSize(minTrackWidth - margins.width(), minTrackHeight - margins.height());
}

void CMainFrame::Place() {
  const std::array<int, 4>& saved = view_.savedWindowRect;
  readRect_ = saved;
  const bool hasSaved = saved[0] != 0 || saved[1] != 0 || saved[2] != 0 || saved[3] != 0;
  if (hasSaved) {
    // Used as stored, on a screen or not; the minimum size still applies.
    placedOuter_ = QRect(saved[0], saved[1], std::max(saved[2] - saved[0], minTrackWidth),
                         std::max(saved[3] - saved[1], minTrackHeight));
  } else {
    placedOuter_ = QRect(0, 0, minTrackWidth, minTrackHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      placedOuter_.moveCenter(screen->availableGeometry().center());
    }
  }
  ApplyPlacement();
}

// Qt sizes the inside of the frame and places its outside; the window manager's frame is known
// only once the window is on the screen, so the placement is applied again at the first expose.
void CMainFrame::ApplyPlacement() {
  const QSize margins = FrameMargins();
  ApplyOuterMinimum();
  resize(placedOuter_.size() - margins);
  if (positionKnown_) move(placedOuter_.topLeft());
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (placementChecked_ || windowHandle() == nullptr || !positionKnown_) return;
  placementChecked_ = true;
  windowHandle()->installEventFilter(this);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && isVisible()) {
    windowHandle()->removeEventFilter(this);
    if (!FrameMargins().isNull() && frameGeometry() != placedOuter_) ApplyPlacement();
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A command still waits on a dialog or message box (a stop signal, or Alt+F4 beside the help
  // box): closing now would delete the window, its view and the dialog under that command. End
  // the dialogs instead; the command closes the window once it has returned.
  if (runningCommands_ > 0) {
    closeRequested_ = true;
    event->ignore();
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(window);
      if (dialog != nullptr && dialog->isVisible()) dialog->reject();
    }
    return;
  }
  view_.savedWindowRect = RectangleToStore();
  view_.OnDestroy();
  event->accept();
}

// A change of activation repaints nothing: QWidget would repaint the frame, and with it the
// view, drawing keys that still sound as released. The children still hear of it.
bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
    for (QObject* child : children()) {
      auto* widget = qobject_cast<QWidget*>(child);
      if (widget != nullptr && widget->isVisible() && !widget->isWindow()) {
        QCoreApplication::sendEvent(widget, event);
      }
    }
    return true;
  }
  return QMainWindow::event(event);
}

// Whenever the window becomes active again the view takes the keys.
void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    view_.setFocus(Qt::ActiveWindowFocusReason);
  }
  if (event->type() == QEvent::WindowStateChange && (windowState() & kEnlargedStates)) {
    // The window has no maximise button, yet some window managers offer one anyway (openbox):
    // the window goes back to its normal rectangle, once the window manager is done.
    QMetaObject::invokeMethod(
        this, [this] { setWindowState(windowState() & ~kEnlargedStates); }, Qt::QueuedConnection);
  }
}

void CMainFrame::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  RememberNormalRectangle();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  RememberNormalRectangle();
}

void CMainFrame::RememberNormalRectangle() {
  if (isVisible() && (windowState() & (kEnlargedStates | Qt::WindowMinimized)) == 0) {
    normalOuter_ = frameGeometry();
  }
}

// A size the window system imposed is not the player's: a tiling or full-screen compositor's
// tile fills the screen's width or height, or stays under the minimum the player cannot go
// below, and it differs from the size the window asked for.
bool CMainFrame::SizeImposed(QSize size) const {
  if (size == placedOuter_.size()) return false;
  if (size.width() < minTrackWidth || size.height() < minTrackHeight) return true;
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) return false;
  const QSize available = shownOn->availableGeometry().size();
  return size.width() >= available.width() || size.height() >= available.height();
}

// A minimised, maximised or full-screen window stores the rectangle it had before, so the next
// start opens a normal window; the minimum size applies to what is stored as well. A window
// the system gave its size keeps the rectangle read at the start, and where the platform tells
// no position, the position stays the one asked for.
std::array<int, 4> CMainFrame::RectangleToStore() const {
  QRect outer = frameGeometry();
  if ((windowState() & (kEnlargedStates | Qt::WindowMinimized)) != 0 && normalOuter_.isValid()) {
    outer = normalOuter_;
  }
  if (SizeImposed(outer.size())) return readRect_;
  if (!positionKnown_) outer.moveTopLeft(placedOuter_.topLeft());
  outer.setSize(outer.size().expandedTo(QSize(minTrackWidth, minTrackHeight)));
  return {outer.left(), outer.top(), outer.left() + outer.width(), outer.top() + outer.height()};
}

}  // namespace orvane
