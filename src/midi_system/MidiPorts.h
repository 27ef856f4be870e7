#pragma once

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/midi/MidiLayer.h"
#include "midi_system/JackMidiOutput.h"
#include "midi_system/MidiInputQueue.h"
#include "midi_system/PortWatcher.h"
#include "midi_system/SoundingNotes.h"
#include "midi_system/SystemProbe.h"
#include "process_common/SynthProtocol.h"

namespace orvane {

// The client name under which the program's own ports appear; its own ports are left out of the
// lists so that nobody wires the program to itself.
inline constexpr const char* kMidiClientName = "Tellak Orvane";
// The JACK client of the MIDI output; the built-in synthesizer's JACK client is "Tellak Orvane".
inline constexpr const char* kJackMidiClientName = "Tellak Orvane MIDI";
inline constexpr const char* kJackMidiInClientName = "Tellak Orvane MIDI in";

// Closes a JACK client (for std::unique_ptr).
struct JackClientCloser {
  void operator()(jack_client_t* client) const;
  unsigned epoch = JackServerEpoch().load();  // as the client opened (see JackClients.h)
};
using JackClient = std::unique_ptr<jack_client_t, JackClientCloser>;

struct MidiPortInfo {
  RtMidi::Api api = RtMidi::UNSPECIFIED;
  std::string systemName;   // as RtMidi names it; used to find the port again when opening
  std::string displayName;  // what the user sees
};

// An open MIDI output port. Sends never allocate or lock; a port that has vanished ignores them.
class MidiPortOutput {
 public:
  // nullptr when the port is gone or cannot be opened. A JACK port takes `jackClient` when given
  // one (it is closed when the port does not open).
  static std::unique_ptr<MidiPortOutput> Open(const MidiPortInfo& port, JackClient jackClient = {});
  MidiPortOutput(const MidiPortOutput&) = delete;
  MidiPortOutput& operator=(const MidiPortOutput&) = delete;

  // Closing (after a last Reset when anything was sent since the one before), so that nothing
  // this program started goes on sounding on the device.
  ~MidiPortOutput();
  // Sends a valid short message; invalid ones (a data byte above 127, no status) are dropped,
  // because on the wire they would turn into different messages.
  void Send(ShortMessage message) noexcept;
  // Note-off for every note this program left sounding, then sustain off and All Notes Off on
  // each of the 16 channels.
  void Reset() noexcept;
  // Opened again after a close: like a newly opened port it knows of no sounding notes. False
  // when the port cannot be used again (its JACK server is gone): open it anew.
  bool Reopen() noexcept;
  // False when a JACK port can no longer reach its device (see JackMidiOutput::Connected): the
  // port listed under its name now is another one, to be opened anew.
  bool Usable() const noexcept { return jack_ == nullptr || jack_->Connected(); }

 private:
  MidiPortOutput() = default;
  bool Write(const std::uint8_t* bytes, int length) noexcept;
  static void OnError(RtMidiError::Type type, const std::string& text, void* self);

  // JACK ports get the program's own client (RtMidi's JACK output drops what does not fit into
  // one period and spins forever once the server is gone); the other APIs go through RtMidi.
  std::unique_ptr<JackMidiOutput> jack_;
  std::unique_ptr<RtMidiOut> out_;
  SoundingNotes sounding_;
  bool lastWriteFailed_ = false;
  bool quiet_ = true;  // nothing sent since the last reset
};

// The system's MIDI ports on every API that works here (ALSA sequencer and JACK on Linux). APIs
// that are absent are skipped without a word on the terminal.
class MidiPortCatalog {
 public:
  // Lists the ports once (any thread). Throws std::exception when a working API fails while
  // listing. `onJack` learns what the JACK server runs at as soon as that is known (the
  // built-in synthesizer waits for it on another thread), whether the listing then works or not.
  explicit MidiPortCatalog(std::function<void(const JackServerInfo&)> onJack = {});
  // Lists the ports again while the program runs: JACK's through the watcher's client, the
  // others as at start. Throws as the constructor does.
  static MidiPortCatalog Relist(PortWatcher& watcher);

  const std::vector<MidiPortInfo>& Outputs() const { return outputs_; }
  const std::vector<MidiPortInfo>& Inputs() const { return inputs_; }
  // The JACK client that listed the ports, kept open when there are JACK ports to send to, so
  // that opening the first JACK output needs no new client; empty once taken or without one.
  JackClient TakeJackClient() { return std::move(jackClient_); }

  // Opens the first port, which is the default output when the built-in synthesizer cannot
  // sound, on the listing's thread while the caller is still busy: opening a JACK port means
  // registering, activating and connecting, several round trips to the server.
  void OpenFirstOutputEarly();
  // What OpenFirstOutputEarly() opened, taken once; empty when it opened nothing.
  std::unique_ptr<MidiPortOutput> TakeEarlyFirstOutput() { return std::move(earlyFirstOutput_); }

  // ALSA names a port "Client:Port 20:0"; the numbers change with the plug order and mean nothing
  // to the player, and the client name often only repeats the port name. Other APIs' names stay.
  static std::string ReadableName(RtMidi::Api api, const std::string& systemName);

 private:
  struct Empty {};
  explicit MidiPortCatalog(Empty) {}
  // Ports through RtMidi: ALSA's (when the sequencer works here) and other systems' APIs.
  void ListRtMidiPorts(bool alsa, bool others, bool tagApi);
  std::vector<MidiPortInfo> outputs_;
  std::vector<MidiPortInfo> inputs_;
  JackClient jackClient_;
  std::unique_ptr<MidiPortOutput> earlyFirstOutput_;
};

// An open MIDI input port. Its callback, on RtMidi's thread (JACK's real-time thread under
// JACK), only puts channel messages into the queue and wakes the consumer. JACK ports get a
// client of the program's own: RtMidi's crashes when it closes a port whose server has gone.
class MidiPortInput {
 public:
  // nullptr when the port is gone or cannot be opened. Messages go to `queue` once started.
  static std::unique_ptr<MidiPortInput> Open(const MidiPortInfo& port, MidiInputQueue& queue);
  ~MidiPortInput();
  MidiPortInput(const MidiPortInput&) = delete;
  MidiPortInput& operator=(const MidiPortInput&) = delete;

  void Start() noexcept { started_.store(true, std::memory_order_release); }
  void Stop() noexcept { started_.store(false, std::memory_order_release); }
  // False when a JACK input can hear its device no more: its server is gone, or the device's
  // port went away (its client ended, even if one of the same name is back).
  bool Usable() const noexcept;

 private:
  explicit MidiPortInput(MidiInputQueue& queue) : queue_(queue) {}
  bool OpenJack(const std::string& source);
  static void OnMessage(double timeStamp, std::vector<unsigned char>* message, void* self);
  static int ProcessJack(std::uint32_t frames, void* self);
  static void OnJackShutdown(void* self);
  void Take(const std::uint8_t* bytes, std::size_t size) noexcept;

  std::unique_ptr<RtMidiIn> in_;
  jack_client_t* jackClient_ = nullptr;
  unsigned jackEpoch_ = 0;
  jack_port_t* jackPort_ = nullptr;
  std::atomic<bool> jackConnectedSeen_{false};  // by the process callback
  MidiInputQueue& queue_;
  std::atomic<bool> started_{false};
};

}  // namespace orvane
