#pragma once

#include <QBasicTimer>
#include <QObject>
#include <functional>
#include <optional>
#include <utility>

class QKeyEvent;

namespace orvane {

// An X server that sends releases for repeated keys repeats a held key as a release and a press
// with one timestamp, and Qt marks such a release only when the press is already queued. While
// active, this holds an unmarked release back until the next key event or a few milliseconds
// show which it is: a press of the same key at the same time makes it a repeat, and it is
// dropped; anything else lets it through, before that event. Inactive, releases pass at once.
class ReleasePairing : public QObject {
 public:
  using Take = std::function<void(const QKeyEvent&)>;

  explicit ReleasePairing(Take take) : take_(std::move(take)) {}

  void SetActive(bool active);
  bool active() const { return active_; }

  // A release that the platform did not mark as a repeat: taken now or held back.
  void Release(const QKeyEvent& release);
  // Before a key press is handled: drops the held release when the press repeats it, else
  // takes it first.
  void BeforePress(const QKeyEvent& press);
  // Takes a held release now, before an event that must come after it.
  void Flush();

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  // What the view reads of a release.
  struct Held {
    int key;
    Qt::KeyboardModifiers modifiers;
    quint32 nativeScanCode;
    quint32 nativeVirtualKey;
    quint32 nativeModifiers;
    quint64 timestamp;
  };

  Take take_;
  std::optional<Held> held_;
  QBasicTimer timer_;
  bool active_ = false;
};

}  // namespace orvane
