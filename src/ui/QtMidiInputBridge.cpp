#include "ui/QtMidiInputBridge.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace orvane {

QtMidiInputBridge::QtMidiInputBridge(QObject* parent) : QObject(parent) {
  if (pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) == 0) {
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QtMidiInputBridge::OnWake);
  } else {
    pipe_[0] = pipe_[1] = -1;
  }
}

QtMidiInputBridge::~QtMidiInputBridge() {
  delete notifier_;
  for (int fd : pipe_) {
    if (fd >= 0) close(fd);
  }
}

InputWaker QtMidiInputBridge::Waker() {
  const int writeEnd = pipe_[1];
  if (writeEnd < 0) {
    // Without a pipe, fall back to a queued call (it locks Qt's event queue briefly).
    return [this] {
      QMetaObject::invokeMethod(this, &QtMidiInputBridge::Drain, Qt::QueuedConnection);
    };
  }
  return [writeEnd] {
    const char byte = 1;
    // A full pipe already holds a pending wake-up, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = write(writeEnd, &byte, 1);
  };
}

void QtMidiInputBridge::SetDrain(std::function<bool()> drain) {
  drain_ = std::move(drain);
}

std::unique_ptr<SystemMidiLayer> QtMidiInputBridge::CreateMidiLayer(SystemMidiStartup startup) {
  std::unique_ptr<SystemMidiLayer> layer = CreateSystemMidiLayer(Waker(), std::move(startup));
  SetDrain([raw = layer.get()] { return raw->DeliverInput(); });
  return layer;
}

void QtMidiInputBridge::OnWake() {
  char bytes[64];
  while (read(pipe_[0], bytes, sizeof bytes) > 0) {
  }
  Drain();
}

void QtMidiInputBridge::Drain() {
  drainQueued_ = false;
  if (!drain_ || !drain_()) return;
  // More is waiting: let the window handle its own events first, then go on.
  if (!drainQueued_) {
    drainQueued_ = true;
    QMetaObject::invokeMethod(this, &QtMidiInputBridge::Drain, Qt::QueuedConnection);
  }
}

}  // namespace orvane
