#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "midi_system/SystemMidiLayer.h"

class QSocketNotifier;

namespace orvane {

// Brings MIDI input from the MIDI system's thread to the user-interface thread. Its waker only
// writes one byte to a non-blocking pipe (no lock, no allocation, safe on JACK's real-time
// thread); the pipe's socket notifier then drains the layer's queue on the thread that owns the
// bridge, in order, a batch at a time so that the window keeps answering during a flood.
//
// Typical use, with the MIDI system started first thing and the bridge destroyed last:
//   SystemMidiStartup startup = StartSystemMidi();
//   QApplication application(argc, argv);
//   QtMidiInputBridge bridge;
//   std::unique_ptr<SystemMidiLayer> midi = bridge.CreateMidiLayer(std::move(startup));
class QtMidiInputBridge final : public QObject {
  Q_OBJECT

 public:
  explicit QtMidiInputBridge(QObject* parent = nullptr);
  ~QtMidiInputBridge() override;

  // The waker to hand to a MIDI layer; valid while the bridge lives.
  InputWaker Waker();
  // Runs on the bridge's thread after a wake; returns true while more input is waiting.
  void SetDrain(std::function<bool()> drain);

  // CreateSystemMidiLayer with this bridge's waker, drained by this bridge. The layer must be
  // destroyed before the bridge.
  std::unique_ptr<SystemMidiLayer> CreateMidiLayer(SystemMidiStartup startup);

 private:
  void OnWake();
  void Drain();

  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  std::function<bool()> drain_;
  bool drainQueued_ = false;
};

}  // namespace orvane
