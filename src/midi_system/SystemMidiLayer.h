#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/midi/MidiLayer.h"
#include "midi_system/MidiInputQueue.h"
#include "midi_system/MidiPorts.h"
#include "midi_system/PortWatcher.h"
#include "midi_system/SynthProcess.h"

namespace orvane {

// The slow parts of the MIDI system, under way beside the caller: the built-in synthesizer's
// process opening its audio output and loading its SoundFont, and the system's MIDI ports being
// listed on a thread of its own. See StartSystemMidi().
struct SystemMidiStartup {
  std::future<std::unique_ptr<SynthProcessOutput>> synth;
  std::future<MidiPortCatalog> ports;
  // How the processes that replace the first one are started.
  std::vector<std::string> synthCandidates;
  bool dynamicSampleLoading = true;
};

// The machine's real MIDI services behind the MidiLayer numbering:
//  - outputs 0..p-1 are the system's MIDI ports (ALSA sequencer, JACK), listed once at creation;
//  - when the built-in synthesizer can sound, it is output p as well, so that it is counted;
//  - the default output kDefaultOutput is the built-in synthesizer, or without it the first
//    system port (which keeps its own number too);
//  - OutputDeviceCount() is 0 only when nothing at all can sound;
//  - inputs 0..n-1 are the system's MIDI input ports.
// The machine changes under the layer, and the layer follows:
//  - the synthesizer's process that ends is started again (SynthProcessOutput); when it cannot
//    be, the synthesizer is no output any more;
//  - the ports are watched (PortWatcher); RefreshDevices() lists them again, and the open output
//    and input keep their place by identity. Sends to a port that has vanished do nothing; an
//    input port that vanishes is closed and opened again when it comes back.
// What changed is told to the device listener on the user-interface thread, from DeliverInput().
//
// Everything slow happens beside the caller's thread (SystemMidiStartup); the layer waits for a
// part only when it is first asked something that needs it. Those threads touch nothing but
// the MIDI and audio libraries and hand over their results through futures. When the default
// output is the first port, the listing's thread opens it too, as the first open asks for it.
//
// MIDI input arrives on the MIDI system's thread and goes into a lock-free queue; the waker given
// at creation is then called (on that thread) and must make the user-interface thread call
// DeliverInput(), which passes the queued messages in order to the sink.
class SystemMidiLayer final : public MidiLayer {
 public:
  struct Options {
    bool builtInSynth = true;  // false: system ports only (tests, or a machine without audio)
    bool dynamicSampleLoading = true;
    // Where the synthesizer's process is; empty: beside the program (SynthProcessCandidates).
    std::vector<std::string> synthProcess = {};
  };

  // Starts the MIDI system and waits for it.
  SystemMidiLayer(InputWaker wake, Options options);
  // Takes over a MIDI system that StartSystemMidi() started.
  SystemMidiLayer(SystemMidiStartup startup, InputWaker wake);
  ~SystemMidiLayer() override;

  // Waits until the ports are listed and the synthesizer has answered (when it cannot sound,
  // the first port has then been opened too). Throws std::exception when the MIDI system failed
  // while listing them; after a normal return no call of the layer throws for that reason.
  void WaitForPorts() { Catalog(); }

  int OutputDeviceCount() override;
  std::string OutputDeviceName(int device) override;
  bool OpenOutput(int device) override;
  void CloseOutput() override;
  void SendShortMessage(ShortMessage message) override;
  void ResetOutput() override;
  void SetChannelsInUse(std::uint16_t channels) override;

  int InputDeviceCount() override;
  std::string InputDeviceName(int device) override;
  bool OpenInput(int device, MidiInputSink& sink) override;
  void StartInput() override;
  void StopInput() override;
  void CloseInput() override;

  void SetDeviceListener(MidiDeviceListener* listener) override { listener_ = listener; }
  void RefreshDevices() override;

  // On the user-interface thread: tells the device listener what changed, then passes up to
  // `maxMessages` queued input messages to the sink, in arrival order. Returns true when more are
  // waiting; the caller should then call again after handling its other events, which keeps the
  // window answering during a flood.
  bool DeliverInput(std::size_t maxMessages = 512);

  // The built-in synthesizer, or nullptr when it cannot sound (waits for the answer).
  const SynthProcessOutput* Synth() { return SynthNow(); }
  // Input messages dropped because the user-interface thread fell far behind.
  std::uint64_t DroppedInput() const { return queue_.Dropped(); }

 private:
  enum class Target { None, Synth, Port };
  SynthProcessOutput* SynthNow();
  // Another thread has news for the user-interface thread (a process restarted, ports changed).
  void News() noexcept;
  void TellListener(MidiDeviceChange change);
  void ServiceDevices();
  void Adopt(MidiPortCatalog fresh);
  // A listed port did not open: the ports are listed and tried again shortly, at most
  // kTriesPerWindow times a minute (a port that never opens costs no endless relisting).
  void TryAgainSoon();
  void DropKeptJackClient();
  MidiPortCatalog& Catalog();
  int SystemPortCount() { return static_cast<int>(Catalog().Outputs().size()); }
  // The built-in synthesizer's own number, p; no number is it when it could not start.
  bool IsSynth(int device) { return SynthNow() != nullptr && device == SystemPortCount(); }

  std::future<std::unique_ptr<SynthProcessOutput>> synthStarting_;
  std::unique_ptr<SynthProcessOutput> synth_;
  std::vector<std::string> synthCandidates_;
  bool dynamicSampleLoading_ = true;
  std::future<MidiPortCatalog> portsListing_;
  std::optional<MidiPortCatalog> catalog_;
  std::exception_ptr listingFailure_;
  Target target_ = Target::None;
  std::unique_ptr<MidiPortOutput> portOut_;
  int portDevice_ = -1;          // -1 once the open port has vanished
  bool outputReopened_ = false;  // the open port was opened anew; the listener is yet to hear it
  MidiPortInfo outputPort_;
  // The port output closed last, or the first port as the listing opened it, kept until
  // another device opens (see OpenOutput).
  std::unique_ptr<MidiPortOutput> closedPort_;
  int closedPortDevice_ = -1;
  MidiInputQueue queue_;
  std::unique_ptr<MidiPortInput> portIn_;
  MidiInputSink* sink_ = nullptr;
  // The input port chosen last, and whether it was started: a port that vanished opens again
  // when it comes back.
  MidiPortInfo inputPort_;
  bool inputStarted_ = false;
  bool inputLost_ = false;
  bool recounted_ = false;  // an empty start-up listing was checked once more
  static constexpr int kTriesPerWindow = 20;
  static constexpr std::chrono::minutes kTriesWindow{1};
  std::chrono::steady_clock::time_point triesSince_{};
  int triesLeft_ = 0;
  MidiDeviceListener* listener_ = nullptr;
  std::atomic<bool> news_{false};
  std::atomic<bool> portsChanged_{false};
  std::unique_ptr<PortWatcher> watcher_;  // last: its thread reaches the members above
};

// Starts the built-in synthesizer's process (unless options.builtInSynth is false) and the
// listing of the system's ports on a thread of its own, and returns at once. Without a
// synthesizer process that runs, the synthesizer cannot sound (SynthProcess.h). The program calls
// this first thing, before any other thread runs (see QuietSystemLibraries), so that this work
// overlaps with the start of the user interface.
SystemMidiStartup StartSystemMidi(SystemMidiLayer::Options options = {});

// The program's MIDI layer over a started MIDI system: built-in synthesizer plus every system
// port. `wake` is called on the MIDI input thread whenever input is waiting; it must not block,
// lock or allocate, and must lead to DeliverInput() on the user-interface thread
// (QtMidiInputBridge does exactly that).
std::unique_ptr<SystemMidiLayer> CreateSystemMidiLayer(InputWaker wake, SystemMidiStartup startup);

}  // namespace orvane
