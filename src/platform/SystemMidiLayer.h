#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "midi/MidiLayer.h"
#include "platform/BuiltInSynth.h"
#include "platform/MidiInputQueue.h"
#include "platform/MidiPorts.h"

namespace orvane {

// The machine's real MIDI services behind the MidiLayer numbering:
//  - outputs 0..p-1 are the system's MIDI ports (ALSA sequencer, JACK), listed once at creation;
//  - when the built-in synthesizer can sound, it is output p as well, so that it is counted;
//  - the default output kDefaultOutput is the built-in synthesizer, or without it the first
//    system port (which keeps its own number too);
//  - OutputDeviceCount() is 0 only when nothing at all can sound;
//  - inputs 0..n-1 are the system's MIDI input ports.
// A port that vanishes while open (keyboard unplugged, JACK server gone) is ignored from then on.
//
// MIDI input arrives on the MIDI system's thread and goes into a lock-free queue; the waker given
// at creation is then called (on that thread) and must make the user-interface thread call
// DeliverInput(), which passes the queued messages in order to the sink.
class SystemMidiLayer final : public MidiLayer {
 public:
  struct Options {
    bool builtInSynth = true;  // false: system ports only (tests, or a machine without audio)
    bool dynamicSampleLoading = true;
  };

  SystemMidiLayer(InputWaker wake, Options options);
  ~SystemMidiLayer() override;

  int OutputDeviceCount() override;
  std::string OutputDeviceName(int device) override;
  bool OpenOutput(int device) override;
  void CloseOutput() override;
  void SendShortMessage(ShortMessage message) override;
  void ResetOutput() override;

  int InputDeviceCount() override;
  std::string InputDeviceName(int device) override;
  bool OpenInput(int device, MidiInputSink& sink) override;
  void StartInput() override;
  void StopInput() override;
  void CloseInput() override;

  // On the user-interface thread: passes up to `maxMessages` queued input messages to the sink,
  // in arrival order. Returns true when more are waiting; the caller should then call again
  // after handling its other events, which keeps the window answering during a flood.
  bool DeliverInput(std::size_t maxMessages = 512);

  // The built-in synthesizer, or nullptr when it could not start.
  const BuiltInSynth* Synth() const { return synth_.get(); }
  // Input messages dropped because the user-interface thread fell far behind.
  std::uint64_t DroppedInput() const { return queue_.Dropped(); }

 private:
  enum class Target { None, Synth, Port };
  int SystemPortCount() const { return static_cast<int>(catalog_.Outputs().size()); }
  // The built-in synthesizer's own number, p; no number is it when it could not start.
  bool IsSynth(int device) const { return synth_ != nullptr && device == SystemPortCount(); }

  std::unique_ptr<BuiltInSynth> synth_;
  MidiPortCatalog catalog_;
  Target target_ = Target::None;
  std::unique_ptr<MidiPortOutput> portOut_;
  MidiInputQueue queue_;
  std::unique_ptr<MidiPortInput> portIn_;
  MidiInputSink* sink_ = nullptr;
};

// The program's MIDI layer: built-in synthesizer plus every system port. `wake` is called on the
// MIDI input thread whenever input is waiting; it must not block, lock or allocate, and must
// lead to DeliverInput() on the user-interface thread (QtMidiInputBridge does exactly that).
// Throws std::exception when a working MIDI system fails while listing its ports.
std::unique_ptr<SystemMidiLayer> CreateSystemMidiLayer(InputWaker wake);

}  // namespace orvane
