#include "platform/SystemMidiLayer.h"

#include <filesystem>

namespace orvane {

SystemMidiLayer::SystemMidiLayer(InputWaker wake, Options options)
    : synth_(options.builtInSynth ? BuiltInSynth::Open(options.dynamicSampleLoading) : nullptr),
      queue_(std::move(wake)) {}

SystemMidiLayer::~SystemMidiLayer() {
  CloseInput();
  CloseOutput();
}

int SystemMidiLayer::OutputDeviceCount() {
  return SystemPortCount() + (synth_ ? 1 : 0);
}

std::string SystemMidiLayer::OutputDeviceName(int device) {
  if (device == kDefaultOutput) {
    if (synth_) return "Built-in synthesizer";
    if (SystemPortCount() > 0) return "Default (" + catalog_.Outputs()[0].displayName + ")";
    return "No MIDI output";
  }
  if (IsSynth(device)) {
    return "FluidSynth (" + std::filesystem::path(synth_->SoundFontPath()).filename().string() +
           ")";
  }
  if (device >= 0 && device < SystemPortCount()) return catalog_.Outputs()[device].displayName;
  return {};
}

bool SystemMidiLayer::OpenOutput(int device) {
  CloseOutput();
  if (device == kDefaultOutput) device = synth_ ? SystemPortCount() : 0;
  if (IsSynth(device)) {
    target_ = Target::Synth;
    return true;
  }
  if (device < 0 || device >= SystemPortCount()) return false;
  portOut_ = MidiPortOutput::Open(catalog_.Outputs()[device]);
  if (!portOut_) return false;
  target_ = Target::Port;
  return true;
}

void SystemMidiLayer::CloseOutput() {
  target_ = Target::None;
  portOut_.reset();
}

void SystemMidiLayer::SendShortMessage(ShortMessage message) {
  switch (target_) {
    case Target::Synth:
      synth_->Send(message);
      break;
    case Target::Port:
      portOut_->Send(message);
      break;
    case Target::None:
      break;
  }
}

void SystemMidiLayer::ResetOutput() {
  switch (target_) {
    case Target::Synth:
      synth_->AllNotesOff();
      break;
    case Target::Port:
      portOut_->Reset();
      break;
    case Target::None:
      break;
  }
}

int SystemMidiLayer::InputDeviceCount() {
  return static_cast<int>(catalog_.Inputs().size());
}

std::string SystemMidiLayer::InputDeviceName(int device) {
  if (device < 0 || device >= InputDeviceCount()) return {};
  return catalog_.Inputs()[device].displayName;
}

bool SystemMidiLayer::OpenInput(int device, MidiInputSink& sink) {
  CloseInput();
  if (device < 0 || device >= InputDeviceCount()) return false;
  portIn_ = MidiPortInput::Open(catalog_.Inputs()[device], queue_);
  if (!portIn_) return false;
  sink_ = &sink;
  return true;
}

void SystemMidiLayer::StartInput() {
  if (portIn_) portIn_->Start();
}

void SystemMidiLayer::StopInput() {
  if (portIn_) portIn_->Stop();
}

void SystemMidiLayer::CloseInput() {
  // Destroying the port stops its callback thread; only then may the consumer empty the queue.
  portIn_.reset();
  queue_.Clear();
  sink_ = nullptr;
}

bool SystemMidiLayer::DeliverInput(std::size_t maxMessages) {
  queue_.Rearm();
  ShortMessage message = 0;
  for (std::size_t delivered = 0; delivered < maxMessages; ++delivered) {
    // The sink may close the input while handling a message; nothing more is delivered then.
    if (sink_ == nullptr || !queue_.Pop(message)) return false;
    sink_->OnMidiInput(message);
  }
  return sink_ != nullptr && !queue_.Empty();
}

std::unique_ptr<SystemMidiLayer> CreateSystemMidiLayer(InputWaker wake) {
  return std::make_unique<SystemMidiLayer>(std::move(wake), SystemMidiLayer::Options{});
}

}  // namespace orvane
