#include "RecordingMidiLayer.h"

#include <algorithm>
#include <stdexcept>

namespace orvane::testing {

std::vector<ShortMessage> RecordingMidiLayer::Sent() const {
  std::vector<ShortMessage> sent;
  for (const Event& event : events) {
    if (event.kind == Kind::Send) sent.push_back(event.message);
  }
  return sent;
}

std::vector<ShortMessage> RecordingMidiLayer::SentTo(int device) const {
  std::vector<ShortMessage> sent;
  for (const Event& event : events) {
    if (event.kind == Kind::Send && event.device == device) sent.push_back(event.message);
  }
  return sent;
}

int RecordingMidiLayer::ResetCount() const {
  return static_cast<int>(std::count_if(events.begin(), events.end(),
                                        [](const Event& e) { return e.kind == Kind::Reset; }));
}

bool RecordingMidiLayer::Deliver(ShortMessage message) {
  if (sink_ == nullptr || openInput == kNoDevice || !inputStarted) return false;
  sink_->OnMidiInput(message);
  return true;
}

int RecordingMidiLayer::OutputDeviceCount() {
  return static_cast<int>(outputNames.size());
}

std::string RecordingMidiLayer::OutputDeviceName(int device) {
  if (listingThrows) throw std::runtime_error("listing failed");
  if (device == kDefaultOutput) return defaultOutputName;
  return outputNames.at(static_cast<std::size_t>(device));
}

bool RecordingMidiLayer::OpenOutput(int device) {
  events.push_back({Kind::OpenOutput, device});
  bool exists = device == kDefaultOutput || (device >= 0 && device < OutputDeviceCount());
  if (!exists || failingOutputs.contains(device) || openOutput != kNoDevice) return false;
  openOutput = device;
  return true;
}

void RecordingMidiLayer::CloseOutput() {
  events.push_back({Kind::CloseOutput, openOutput});
  openOutput = kNoDevice;
}

void RecordingMidiLayer::SendShortMessage(ShortMessage message) {
  events.push_back({Kind::Send, openOutput, message});
}

void RecordingMidiLayer::SetChannelsInUse(std::uint16_t channels) {
  channelsInUse = channels;
  sentBeforeChannelsInUse = static_cast<int>(Sent().size());
}

void RecordingMidiLayer::ResetOutput() {
  events.push_back({Kind::Reset, openOutput});
}

int RecordingMidiLayer::InputDeviceCount() {
  return static_cast<int>(inputNames.size());
}

std::string RecordingMidiLayer::InputDeviceName(int device) {
  if (listingThrows) throw std::runtime_error("listing failed");
  return inputNames.at(static_cast<std::size_t>(device));
}

bool RecordingMidiLayer::OpenInput(int device, MidiInputSink& sink) {
  events.push_back({Kind::OpenInput, device});
  bool exists = device >= 0 && device < InputDeviceCount();
  if (!exists || failingInputs.contains(device) || openInput != kNoDevice) return false;
  openInput = device;
  sink_ = &sink;
  return true;
}

void RecordingMidiLayer::StartInput() {
  events.push_back({Kind::StartInput, openInput});
  inputStarted = openInput != kNoDevice;
}

void RecordingMidiLayer::StopInput() {
  events.push_back({Kind::StopInput, openInput});
  inputStarted = false;
}

void RecordingMidiLayer::CloseInput() {
  events.push_back({Kind::CloseInput, openInput});
  openInput = kNoDevice;
  inputStarted = false;
  sink_ = nullptr;
}

}  // namespace orvane::testing
