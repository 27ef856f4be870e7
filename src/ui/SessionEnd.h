#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace orvane {

// Ends the program through its normal close when the desktop session ends (log out, shut down)
// or the process is asked to stop (SIGTERM, SIGINT, SIGHUP), so the working voice and the
// settings are saved as at any close. Signals reach the UI thread through a self-pipe.
class SessionEnd : public QObject {
  Q_OBJECT

 public:
  explicit SessionEnd(std::function<void()> closeMainWindow);
  ~SessionEnd() override;

 private:
  std::function<void()> closeMainWindow_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace orvane
