#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/midi/MidiLayer.h"

namespace orvane::testing {

// A MIDI layer for tests: records every open, close, send and reset with the device it went to,
// and can be told how many devices exist, what they are called and which opens fail.
class RecordingMidiLayer : public MidiLayer {
 public:
  enum class Kind {
    OpenOutput,
    CloseOutput,
    Send,
    Reset,
    OpenInput,
    StartInput,
    StopInput,
    CloseInput
  };
  struct Event {
    Kind kind;
    int device;                // the output or input device the event concerns
    ShortMessage message = 0;  // for Send
    bool operator==(const Event&) const = default;
  };
  static constexpr int kNoDevice = -2;

  // Configuration, set by the test before use.
  std::vector<std::string> outputNames{"Test Synth A", "Test Synth B", "Test Synth C"};
  std::string defaultOutputName = "Built-in synthesizer";
  std::vector<std::string> inputNames{"Test Keyboard"};
  std::set<int> failingOutputs;  // may hold kDefaultOutput
  std::set<int> failingInputs;
  bool listingThrows = false;  // OutputDeviceName and InputDeviceName throw

  // What happened.
  std::vector<Event> events;
  int openOutput = kNoDevice;
  int openInput = kNoDevice;
  bool inputStarted = false;
  // The channels last named in use, and how many messages had been sent by then (-1: never).
  std::uint16_t channelsInUse = 0xFFFF;
  int sentBeforeChannelsInUse = -1;

  // Every message sent, in order, whatever the device.
  std::vector<ShortMessage> Sent() const;
  // Messages sent while `device` was open.
  std::vector<ShortMessage> SentTo(int device) const;
  int ResetCount() const;
  void Clear() { events.clear(); }
  // Feeds a message into the open, started input, as the platform would on the UI thread.
  // Returns false when no input would deliver it.
  bool Deliver(ShortMessage message);

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
  void RefreshDevices() override { ++refreshes; }

  // Tells the listener of a change, as the platform would on the UI thread (after the test has
  // changed the names and failures to match).
  void Announce(MidiDeviceChange change) {
    if (listener_ != nullptr) listener_->OnMidiDeviceChange(change);
  }
  bool HasListener() const { return listener_ != nullptr; }
  int refreshes = 0;

 private:
  MidiInputSink* sink_ = nullptr;
  MidiDeviceListener* listener_ = nullptr;
};

}  // namespace orvane::testing
