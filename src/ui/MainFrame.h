#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include <QMainWindow>

#include "ui/ChildView.h"

namespace orvane {

// The main window: the menu, the accelerator keys, the remembered position and minimum size,
// and the one client view that does everything else.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Constructing the frame constructs the view (tone generator first). `appCommands` carries
  // out the application's commands, offered after the view's.
  CMainFrame(const AppServices& services, std::function<bool(int)> appCommands);
  ~CMainFrame() override;

  // Loads menu, accelerators, title and icon, runs the view's creation step and places the
  // window at its saved rectangle, or at its minimum size centred on the screen.
  void Create(const std::vector<std::string>& arguments);
  // Routes a command: the view first, then the frame (which has none), then the application.
  // Afterwards carries out a close that came meanwhile, or makes sure the window is active
  // again, so keys reach the view.
  void OnCommand(int command);

  CChildView& view() { return view_; }

  static constexpr int minTrackWidth = 722;
  static constexpr int minTrackHeight = 150;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RouteCommand(int command);
  void Place();
  void ApplyPlacement();
  void ApplyOuterMinimum();
  QSize FrameMargins() const;
  void RememberNormalRectangle();
  bool SizeImposed(QSize size) const;
  std::array<int, 4> RectangleToStore() const;

  static constexpr Qt::WindowStates kEnlargedStates = Qt::WindowMaximized | Qt::WindowFullScreen;

  std::function<bool(int)> appCommands_;
  CChildView view_;
  // Wayland tells a window neither where it is nor lets it place itself.
  bool positionKnown_ = true;
  std::array<int, 4> readRect_{};  // the saved rectangle as read at the start
  QRect placedOuter_;              // the outer rectangle the window was placed at
  QRect normalOuter_;  // the last outer rectangle seen while neither minimised nor enlarged
  bool placementChecked_ = false;
  int runningCommands_ = 0;      // commands under way, each perhaps in a dialog's event loop
  bool closeRequested_ = false;  // a close came while a command was under way
};

}  // namespace orvane
