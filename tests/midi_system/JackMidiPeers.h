#pragma once

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/midi/MidiLayer.h"

namespace orvane::testing {

using Bytes = std::vector<std::vector<std::uint8_t>>;

// A JACK MIDI input of the test (port "<client>:in") that records every message it gets.
class JackReceiver {
 public:
  explicit JackReceiver(const std::string& clientName);
  ~JackReceiver();
  JackReceiver(const JackReceiver&) = delete;
  JackReceiver& operator=(const JackReceiver&) = delete;
  // Waits until `count` messages arrived (or a few seconds passed) and returns all of them.
  Bytes WaitFor(std::size_t count);
  // Waits a little for stragglers, then returns what arrived.
  Bytes Settle();
  // How many messages arrived so far, without copying them (the process callback waits while
  // the list is locked).
  std::size_t Count();
  // How many cycles the server has missed so far (xruns); a missed cycle can lose the MIDI
  // events that were under way in it, whatever the clients do.
  int Xruns() const { return xruns_.load(); }
  // The full names of the ports connected to "<client>:in" now.
  std::vector<std::string> Connections();

 private:
  static int Process(std::uint32_t frames, void* self);
  static int CountXrun(void* self);
  std::atomic<int> xruns_{0};
  jack_client_t* client_ = nullptr;
  unsigned epoch_ = 0;
  jack_port_t* port_ = nullptr;
  std::mutex mutex_;
  std::condition_variable arrived_;
  Bytes received_;
};

// A JACK MIDI output of the test, unconnected (port "<client>:MIDI out"); sysex included.
class JackSender {
 public:
  explicit JackSender(const std::string& clientName);
  ~JackSender();
  JackSender(const JackSender&) = delete;
  JackSender& operator=(const JackSender&) = delete;
  void Send(std::vector<std::uint8_t> bytes);

 private:
  jack_client_t* client_ = nullptr;
  unsigned epoch_ = 0;
  jack_port_t* port_ = nullptr;
  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> pending_;
  static int Process(std::uint32_t frames, void* self);
};

// Plays the user-interface thread: waits for the layer's wake-up and drains it.
class WakeFlag {
 public:
  void Wake();
  // Waits up to `timeout` for a wake; true when one came.
  bool WaitForWake(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  int pending_ = 0;
};

// The index of the first name that contains `part`, or -1.
int FindByName(const std::vector<std::string>& names, const std::string& part);

std::vector<std::uint8_t> BytesOf(ShortMessage message);

}  // namespace orvane::testing
