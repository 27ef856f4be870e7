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

// The limits are for the outer window; Qt's minimum size is for the inside of the frame.
void CMainFrame::ApplyOuterMinimum() {
  const QSize margins = FrameMargins();
  setMinimumSize(minTrackWidth - margins.width(), minTrackHeight - margins.height());
}

void CMainFrame::Place() {
  const std::array<int, 4>& saved = view_.savedWindowRect;
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
  move(placedOuter_.topLeft());
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (placementChecked_ || windowHandle() == nullptr) return;
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
  const QRect outer = RectangleToStore();
  view_.savedWindowRect = {outer.left(), outer.top(), outer.left() + outer.width(),
                           outer.top() + outer.height()};
  view_.OnDestroy();
  event->accept();
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

// A minimised, maximised or full-screen window stores the rectangle it had before, so the next
// start opens a normal window; the minimum size applies to what is stored as well.
QRect CMainFrame::RectangleToStore() const {
  QRect outer = frameGeometry();
  if ((windowState() & (kEnlargedStates | Qt::WindowMinimized)) != 0 && normalOuter_.isValid()) {
    outer = normalOuter_;
  }
  outer.setSize(outer.size().expandedTo(QSize(minTrackWidth, minTrackHeight)));
  return outer;
}

}  // namespace orvane
