#include "platform/SystemMidiLayer.h"

#include <filesystem>
#include <stdexcept>

#include "platform/SystemProbe.h"

namespace orvane {

SystemMidiStartup StartSystemMidi(SystemMidiLayer::Options options) {
  QuietSystemLibraries();
  SystemMidiStartup startup;
  if (options.builtInSynth) {
    startup.synth = std::async(std::launch::async, [dynamic = options.dynamicSampleLoading] {
      return BuiltInSynth::Open(dynamic);
    });
  } else {
    std::promise<std::unique_ptr<BuiltInSynth>> none;
    none.set_value(nullptr);
    startup.synth = none.get_future();
  }
  startup.ports = std::async(std::launch::async, [] { return MidiPortCatalog(); });
  return startup;
}

SystemMidiLayer::SystemMidiLayer(InputWaker wake, Options options)
    : SystemMidiLayer(StartSystemMidi(options), std::move(wake)) {
  SynthNow();
  WaitForPorts();
}

SystemMidiLayer::SystemMidiLayer(SystemMidiStartup startup, InputWaker wake)
    : synthStarting_(std::move(startup.synth)),
      portsListing_(std::move(startup.ports)),
      queue_(std::move(wake)) {}

SystemMidiLayer::~SystemMidiLayer() {
  CloseInput();
  CloseOutput();
}

BuiltInSynth* SystemMidiLayer::SynthNow() {
  if (synthStarting_.valid()) synth_ = synthStarting_.get();
  return synth_.get();
}

const MidiPortCatalog& SystemMidiLayer::Catalog() {
  if (!catalog_ && portsListing_.valid()) {
    try {
      catalog_.emplace(portsListing_.get());
    } catch (...) {
      listingFailure_ = std::current_exception();
    }
  }
  if (!catalog_) {
    if (listingFailure_) std::rethrow_exception(listingFailure_);
    throw std::runtime_error("the MIDI ports were not listed");
  }
  return *catalog_;
}

int SystemMidiLayer::OutputDeviceCount() {
  return SystemPortCount() + (SynthNow() ? 1 : 0);
}

std::string SystemMidiLayer::OutputDeviceName(int device) {
  if (device == kDefaultOutput) {
    if (SynthNow()) return "Built-in synthesizer";
    if (SystemPortCount() > 0) return "Default (" + Catalog().Outputs()[0].displayName + ")";
    return "No MIDI output";
  }
  if (IsSynth(device)) {
    return "FluidSynth (" + std::filesystem::path(synth_->SoundFontPath()).filename().string() +
           ")";
  }
  if (device >= 0 && device < SystemPortCount()) return Catalog().Outputs()[device].displayName;
  return {};
}

bool SystemMidiLayer::OpenOutput(int device) {
  CloseOutput();
  if (device == kDefaultOutput) device = SynthNow() ? SystemPortCount() : 0;
  if (IsSynth(device)) {
    target_ = Target::Synth;
    return true;
  }
  if (device < 0 || device >= SystemPortCount()) return false;
  portOut_ = MidiPortOutput::Open(Catalog().Outputs()[device]);
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

void SystemMidiLayer::SetChannelsInUse(std::uint16_t channels) {
  // Only the built-in synthesizer prepares instruments; a port gets every message anyway.
  if (target_ == Target::Synth) synth_->SetChannelsInUse(channels);
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
  return static_cast<int>(Catalog().Inputs().size());
}

std::string SystemMidiLayer::InputDeviceName(int device) {
  if (device < 0 || device >= InputDeviceCount()) return {};
  return Catalog().Inputs()[device].displayName;
}

bool SystemMidiLayer::OpenInput(int device, MidiInputSink& sink) {
  CloseInput();
  if (device < 0 || device >= InputDeviceCount()) return false;
  portIn_ = MidiPortInput::Open(Catalog().Inputs()[device], queue_);
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

std::unique_ptr<SystemMidiLayer> CreateSystemMidiLayer(InputWaker wake, SystemMidiStartup startup) {
  return std::make_unique<SystemMidiLayer>(std::move(startup), std::move(wake));
}

}  // namespace orvane
