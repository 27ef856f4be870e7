#include "ui/ReleasePairing.h"

#include <QKeyEvent>
#include <QTimerEvent>

namespace orvane {
namespace {

// The server sends a repeat's release and press together; the press reaches the program's
// queue within microseconds of the release, so a short wait suffices also on a busy machine.
constexpr int kPairingWaitMs = 10;

}  // namespace

void ReleasePairing::SetActive(bool active) {
  if (!active) Flush();
  active_ = active;
}

void ReleasePairing::Release(const QKeyEvent& release) {
  Flush();
  if (!active_) {
    take_(release);
    return;
  }
  held_ = Held{release.key(),
               release.modifiers(),
               release.nativeScanCode(),
               release.nativeVirtualKey(),
               release.nativeModifiers(),
               release.timestamp()};
  timer_.start(kPairingWaitMs, Qt::PreciseTimer, this);
}

void ReleasePairing::BeforePress(const QKeyEvent& press) {
  if (!held_) return;
  if (press.nativeScanCode() == held_->nativeScanCode && press.timestamp() == held_->timestamp) {
    held_.reset();
    timer_.stop();
    return;
  }
  Flush();
}

void ReleasePairing::Flush() {
  if (!held_) return;
  const Held held = *held_;
  held_.reset();
  timer_.stop();
  QKeyEvent release(QEvent::KeyRelease, held.key, held.modifiers, held.nativeScanCode,
                    held.nativeVirtualKey, held.nativeModifiers);
  release.setTimestamp(held.timestamp);
  take_(release);
}

void ReleasePairing::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId()) {
    Flush();
  } else {
    QObject::timerEvent(event);
  }
}

}  // namespace orvane
