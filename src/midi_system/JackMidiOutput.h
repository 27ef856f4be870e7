#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "process_common/JackClients.h"

namespace orvane {

// A JACK MIDI output port of its own client. Messages go through a lock-free ring to the
// process callback, which moves as many as the period's MIDI buffer takes and keeps the rest for
// the next period, so a burst is delayed, never lost or reordered. When the ring is full the
// sender waits a bounded time for the server; once the server is gone every send returns at once.
class JackMidiOutput {
 public:
  // Opens client `clientName` with one output port "MIDI out" and connects it to `target` (a
  // full JACK port name) unless that is empty. nullptr when there is no server or no such port.
  static std::unique_ptr<JackMidiOutput> Open(const std::string& clientName,
                                              const std::string& target);
  // The same with a client that is open already (the one that listed the ports while the
  // program started: opening a client is the slow part). Closes the client when it fails.
  // `epoch`: JackServerEpoch() when the client opened.
  static std::unique_ptr<JackMidiOutput> Adopt(jack_client_t* client, const std::string& target,
                                               unsigned epoch);
  ~JackMidiOutput();
  JackMidiOutput(const JackMidiOutput&) = delete;
  JackMidiOutput& operator=(const JackMidiOutput&) = delete;

  // Queues one message of 1 to 3 bytes; false when it was dropped (server gone or stalled).
  bool Send(const std::uint8_t* bytes, int length) noexcept;
  bool ServerGone() const noexcept { return !JackClientUsable(epoch_); }
  // False once what it sent can no longer arrive: its server is gone, or the port it was
  // connected to went away (that port's client ended, even if one of the same name is back).
  // With `settling`, a connection still settling counts as connected: the server reports a new
  // one late.
  bool Connected(bool settling = true) const noexcept;

 private:
  JackMidiOutput() = default;
  // Registers, activates and connects the port of `client` (lock held).
  static std::unique_ptr<JackMidiOutput> SetUp(jack_client_t* client, const std::string& target,
                                               unsigned epoch);
  static int Process(std::uint32_t frames, void* self);
  static void Shutdown(void* self);

  jack_client_t* client_ = nullptr;
  unsigned epoch_ = JackServerEpoch().load();
  jack_port_t* port_ = nullptr;
  jack_ringbuffer_t* ring_ = nullptr;
  bool stalled_ = false;
  int connectedCycles_ = 0;           // process thread only
  std::atomic<bool> settled_{false};  // connected for kSettleCycles
};

}  // namespace orvane
