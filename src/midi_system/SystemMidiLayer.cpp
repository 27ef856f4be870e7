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

// Where `port` is in `ports` now: the same port by its system name, or else one of the same API
// and the same name for the user (an ALSA port that came back under other numbers); -1 if none.
int FindPort(const std::vector<MidiPortInfo>& ports, const MidiPortInfo& port) {
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (ports[i].api == port.api && ports[i].systemName == port.systemName) {
      return static_cast<int>(i);
    }
  }
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (ports[i].api == port.api && ports[i].displayName == port.displayName) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

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
    synth = StartSynthProcess(
        options.synthProcess.empty() ? SynthProcessCandidates() : options.synthProcess,
        options.dynamicSampleLoading);
  }
  // The synthesizer's process, started already, keeps the limit it was given: FluidSynth locks
  // the samples it reads where it may, so that no note waits for the disk.
  LimitMemoryLocking();
  // True when the first port is the default output, because the synthesizer cannot sound.
  std::promise<bool> portIsDefault;
  std::shared_future<bool> firstPortIsDefault = portIsDefault.get_future().share();
  startup.synthCandidates =
      options.synthProcess.empty() ? SynthProcessCandidates() : options.synthProcess;
  startup.dynamicSampleLoading = options.dynamicSampleLoading;
  if (synth != nullptr) {
    startup.synth =
        std::async(std::launch::async, [synth, portIsDefault = std::move(portIsDefault)]() mutable {
          try {
            std::unique_ptr<SynthProcessOutput> output = AwaitSynth(std::move(synth));
            portIsDefault.set_value(output == nullptr);
            return output;
          } catch (...) {
            portIsDefault.set_value(false);  // the caller learns of the failure and opens nothing
            throw;
          }
        });
  } else {
    std::promise<std::unique_ptr<SynthProcessOutput>> none;  // no thread just to say so
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
      synthCandidates_(std::move(startup.synthCandidates)),
      dynamicSampleLoading_(startup.dynamicSampleLoading),
      portsListing_(std::move(startup.ports)),
      queue_(std::move(wake)) {}

SystemMidiLayer::~SystemMidiLayer() {
  DropKeptJackClient();
  // The threads that bring news go first.
  watcher_.reset();
  CloseInput();
  CloseOutput();
  closedPort_.reset();
  if (synthStarting_.valid()) synthStarting_.wait();
  synth_.reset();
}

SynthProcessOutput* SystemMidiLayer::SynthNow() {
  if (synthStarting_.valid()) {
    synth_ = synthStarting_.get();
    if (synth_ != nullptr) {
      synth_->RestartWhenEnded(synthCandidates_, dynamicSampleLoading_, [this] { News(); });
    }
  }
  return synth_.get();
}

void SystemMidiLayer::News() noexcept {
  news_.store(true, std::memory_order_release);
  queue_.Wake();
}

void SystemMidiLayer::TellListener(MidiDeviceChange change) {
  if (listener_ != nullptr) listener_->OnMidiDeviceChange(change);
}

void SystemMidiLayer::ServiceDevices() {
  if (!news_.exchange(false, std::memory_order_acq_rel)) return;
  if (SynthNow() != nullptr) {
    switch (synth_->TakeChange()) {
      case SynthProcessOutput::Change::Restarted:
        // A new process knows no program or volume: the output is as if just opened.
        if (target_ == Target::Synth) TellListener(MidiDeviceChange::OutputRestarted);
        break;
      case SynthProcessOutput::Change::GaveUp: {
        const bool wasOutput = target_ == Target::Synth;
        if (wasOutput) target_ = Target::None;
        synth_.reset();  // no output any more; the first port is the default output now
        TellListener(wasOutput ? MidiDeviceChange::SynthGaveUp : MidiDeviceChange::PortsChanged);
        break;
      }
      case SynthProcessOutput::Change::None:
        break;
    }
  }
  if (portsChanged_.exchange(false, std::memory_order_acq_rel)) {
    TellListener(MidiDeviceChange::PortsChanged);
  }
  if (outputReopened_) {
    outputReopened_ = false;
    if (target_ == Target::Port) TellListener(MidiDeviceChange::OutputRestarted);
  }
}

MidiPortCatalog& SystemMidiLayer::Catalog() {
  if (!catalog_ && portsListing_.valid()) {
    try {
      catalog_.emplace(portsListing_.get());
      // From the first listing on, changes are watched.
      watcher_ = std::make_unique<PortWatcher>([this] {
        portsChanged_.store(true, std::memory_order_release);
        News();
      });
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
  if (SystemPortCount() == 0 && SynthNow() == nullptr && watcher_ != nullptr && !recounted_) {
    // Nothing found while starting: a JACK server too busy to answer the listing in time must
    // not make the program believe that nothing can sound. Its watcher asks again.
    recounted_ = true;
    watcher_->WaitForFirstLook();
    RefreshDevices();
  }
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
  if (!portOut_) {
    TryAgainSoon();  // listed, so it may open once its client or server has started
    return false;
  }
  portDevice_ = device;
  outputPort_ = Catalog().Outputs()[device];
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
  inputPort_ = Catalog().Inputs()[device];
  return true;
}

void SystemMidiLayer::StartInput() {
  inputStarted_ = sink_ != nullptr;
  if (portIn_) portIn_->Start();
}

void SystemMidiLayer::StopInput() {
  inputStarted_ = false;
  if (portIn_) portIn_->Stop();
}

void SystemMidiLayer::CloseInput() {
  // Destroying the port stops its callback thread; only then may the consumer empty the queue.
  portIn_.reset();
  queue_.Clear();
  sink_ = nullptr;
  inputStarted_ = false;
  inputLost_ = false;
}

void SystemMidiLayer::RefreshDevices() {
  if (!catalog_ && !portsListing_.valid()) return;
  Catalog();
  if (watcher_ == nullptr) return;
  try {
    Adopt(MidiPortCatalog::Relist(*watcher_));
  } catch (const std::exception&) {
    // A listing that fails now keeps the one before.
  }
}

void SystemMidiLayer::TryAgainSoon() {
  if (watcher_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - triesSince_ > kTriesWindow) {
    triesSince_ = now;
    triesLeft_ = kTriesPerWindow;
  }
  if (triesLeft_ == 0) return;
  --triesLeft_;
  watcher_->TellAgainSoon();
}

void SystemMidiLayer::DropKeptJackClient() {
  if (!catalog_) return;
  // Closed unless its server has gone meanwhile (see JackClients.h).
  catalog_->TakeJackClient();
}

void SystemMidiLayer::Adopt(MidiPortCatalog fresh) {
  // The listing's client was kept for the first JACK output of the start; that is past.
  DropKeptJackClient();
  // The open output keeps its port under the port's new number; a port that vanished has none.
  if (portOut_ != nullptr) portDevice_ = FindPort(fresh.Outputs(), outputPort_);
  bool failed = false;
  // Listed, yet cut off from its device: the port went and came back between two listings (its
  // JACK server restarted, its client ended and started again). Opened anew, it hears programs
  // and volumes as after a switch; one that cannot open yet is tried again soon.
  if (portOut_ != nullptr && portDevice_ >= 0 && !portOut_->Usable()) {
    if (std::unique_ptr<MidiPortOutput> reopened =
            MidiPortOutput::Open(fresh.Outputs()[portDevice_])) {
      portOut_ = std::move(reopened);
      outputReopened_ = true;
      News();
    } else {
      failed = true;
    }
  }
  // A closed port is taken again only under the number it had.
  closedPort_.reset();
  closedPortDevice_ = -1;
  if (sink_ != nullptr) {
    const int input = FindPort(fresh.Inputs(), inputPort_);
    if (portIn_ != nullptr && input < 0) {
      // Unplugged: closed until it comes back; the queue keeps what it delivered before.
      portIn_.reset();
      inputLost_ = true;
    } else if (input >= 0 && (inputLost_ || (portIn_ != nullptr && !portIn_->Usable()))) {
      // Back, or listed again while cut off (unplugged and plugged in between two listings).
      portIn_.reset();
      portIn_ = MidiPortInput::Open(fresh.Inputs()[input], queue_);
      inputLost_ = portIn_ == nullptr;
      failed = failed || inputLost_;
      if (portIn_ != nullptr && inputStarted_) portIn_->Start();
    }
  }
  catalog_ = std::move(fresh);
  if (failed) TryAgainSoon();
}

bool SystemMidiLayer::DeliverInput(std::size_t maxMessages) {
  queue_.Rearm();
  ServiceDevices();
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
