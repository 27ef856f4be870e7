#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace orvane {

// Makes a stop signal (SIGTERM, SIGINT, SIGHUP) end the process at once with status 1, saving
// nothing: the answer while the program starts. Installed first thing, so that no step of the
// start outlasts a stop, not even one that never returns to an event loop.
void EndProcessOnStopSignals();

// Ends the program through its normal close when the desktop session ends (log out, shut down)
// or the process is asked to stop, so the working voice and the settings are saved as at any
// close. Until MainWindowShown, a stop signal still ends the process at once with status 1
// (EndProcessOnStopSignals); after it, signals reach the UI thread through a self-pipe.
class SessionEnd : public QObject {
  Q_OBJECT

 public:
  explicit SessionEnd(std::function<void()> closeMainWindow);
  ~SessionEnd() override;

  // The main window is on screen: from now on a stop signal closes it.
  void MainWindowShown();

 private:
  std::function<void()> closeMainWindow_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace orvane
