#include "midi_system/SystemMidiLayer.h"

#include <cstdlib>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string_view>

#include "midi_system/SynthProcess.h"
#include "midi_system/SystemProbe.h"

namespace orvane {
namespace {

// ORVANE_AUDIO_DRIVER=none: the built-in synthesizer has no audio output, so it cannot sound.
bool NoAudioOutputWanted() {
  const char* driver = std::getenv("ORVANE_AUDIO_DRIVER");
  return driver != nullptr && std::string_view(driver) == "none";
}

}  // namespace

SystemMidiStartup StartSystemMidi(SystemMidiLayer::Options options) {
  QuietSystemLibraries();
  SystemMidiStartup startup;
  // The synthesizer's process starts here, before any other thread, and inherits the quieted
  // environment. With no audio output wanted it is not even started.
  std::shared_ptr<SynthLink> synth;
  if (options.builtInSynth && !NoAudioOutputWanted()) {
    synth = StartSynthProcess(SynthProcessCandidates(), options.dynamicSampleLoading);
  }
  // The synthesizer's process, started already, keeps the limit it was given: FluidSynth locks
  // the samples it reads where it may, so that no note waits for the disk.
  LimitMemoryLocking();
  // True when the first port is the default output, because the synthesizer cannot sound.
  std::promise<bool> portIsDefault;
  std::shared_future<bool> firstPortIsDefault = portIsDefault.get_future().share();
  if (synth != nullptr) {
    startup.synth =
        std::async(std::launch::async, [synth, portIsDefault = std::move(portIsDefault)]() mutable {
          try {
            std::unique_ptr<SynthOutput> output = AwaitSynth(std::move(synth));
            portIsDefault.set_value(output == nullptr);
            return output;
          } catch (...) {
            portIsDefault.set_value(false);  // the caller learns of the failure and opens nothing
            throw;
          }
        });
  } else {
    std::promise<std::unique_ptr<SynthOutput>> none;  // no thread just to say so
    none.set_value(nullptr);
    startup.synth = none.get_future();
    portIsDefault.set_value(true);
  }
  // The port listing opens a JACK client anyway; the synthesizer's process is told about the
  // server from there instead of opening one more (each takes tens of milliseconds and memory).
  startup.ports = std::async(std::launch::async, [synth, firstPortIsDefault]() mutable {
    // Told once; the listing then lets go of the connection.
    const auto tell = [&synth](const JackServerInfo& info) {
      if (synth == nullptr) return;
      TellJackServer(*synth, info);
      synth.reset();
    };
    try {
      MidiPortCatalog catalog(tell);
      tell(JackServerInfo{});  // a listing that never reached JACK: no server
      // Every start opens the default output first; when that is the first port, it opens here
      // while the caller is still starting Qt. The synthesizer's answer comes first, so nothing
      // is opened that the start would not open anyway.
      if (firstPortIsDefault.get()) catalog.OpenFirstOutputEarly();
      return catalog;
    } catch (...) {
      tell(JackServerInfo{});  // the process must not wait for a listing that failed
      throw;
    }
  });
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
  closedPort_.reset();
}

SynthOutput* SystemMidiLayer::SynthNow() {
  if (synthStarting_.valid()) synth_ = synthStarting_.get();
  return synth_.get();
}

MidiPortCatalog& SystemMidiLayer::Catalog() {
  if (!catalog_ && portsListing_.valid()) {
    try {
      catalog_.emplace(portsListing_.get());
      // The first port, opened while the caller started, waits as a port just closed does.
      if (std::unique_ptr<MidiPortOutput> early = catalog_->TakeEarlyFirstOutput()) {
        closedPort_ = std::move(early);
        closedPortDevice_ = 0;
      }
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
  Catalog();  // takes over the port the listing opened, before it is kept or closed below
  if (device == kDefaultOutput) device = SynthNow() ? SystemPortCount() : 0;
  // The port just closed opens again as it stands (start-up closes and reopens the default
  // output when it is also the stored one, and the listing may have opened the first port):
  // no new client, and its queue keeps its order. Any other choice closes it for good.
  if (closedPortDevice_ != device) closedPort_.reset();
  if (IsSynth(device)) {
    target_ = Target::Synth;
    return true;
  }
  if (device < 0 || device >= SystemPortCount()) return false;
  if (closedPort_ && closedPort_->Reopen()) {
    portOut_ = std::move(closedPort_);
  } else {
    closedPort_.reset();
    const MidiPortInfo& port = Catalog().Outputs()[device];
    portOut_ = MidiPortOutput::Open(
        port, port.api == RtMidi::UNIX_JACK ? Catalog().TakeJackClient() : JackClient{});
  }
  if (!portOut_) return false;
  portDevice_ = device;
  target_ = Target::Port;
  return true;
}

void SystemMidiLayer::CloseOutput() {
  target_ = Target::None;
  if (portOut_) {
    closedPort_ = std::move(portOut_);
    closedPortDevice_ = portDevice_;
  }
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
