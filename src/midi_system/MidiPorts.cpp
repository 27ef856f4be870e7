#include "midi_system/MidiPorts.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <string>

#include "core/midi/MidiBytes.h"
#include "midi_system/SystemProbe.h"

namespace orvane {
namespace {

void IgnoreError(RtMidiError::Type /*type*/, const std::string& /*text*/, void* /*data*/) {}

bool IsOwnPort(const std::string& systemName) {
  return systemName.rfind(kMidiClientName, 0) == 0;
}

template <typename Rt>
std::unique_ptr<Rt> MakeClient(RtMidi::Api api) {
  auto client = std::make_unique<Rt>(api, kMidiClientName);
  client->setErrorCallback(IgnoreError, nullptr);
  return client;
}

// The index RtMidi gives the port now: ports come and go, so the listed index may be stale.
template <typename Rt>
int FindPort(Rt& client, const std::string& systemName) {
  const unsigned count = client.getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    if (client.getPortName(i) == systemName) return static_cast<int>(i);
  }
  return -1;
}

template <typename Rt>
void ListPorts(RtMidi::Api api, bool tagApi, std::vector<MidiPortInfo>& ports) {
  auto client = MakeClient<Rt>(api);
  const unsigned count = client->getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    std::string name = client->getPortName(i);
    if (name.empty() || IsOwnPort(name)) continue;
    std::string display = MidiPortCatalog::ReadableName(api, name);
    if (tagApi) display += api == RtMidi::UNIX_JACK ? " (JACK)" : " (ALSA)";
    ports.push_back({api, std::move(name), std::move(display)});
  }
}

// JACK MIDI ports of every client but ours, as RtMidi lists them.
void AddJackPorts(const std::vector<std::string>& names, bool tagApi,
                  std::vector<MidiPortInfo>& ports) {
  for (const std::string& name : names) {
    if (name.empty() || IsOwnPort(name)) continue;
    std::string display = name + (tagApi ? " (JACK)" : "");
    ports.push_back({RtMidi::UNIX_JACK, name, std::move(display)});
  }
}

// The MIDI ports whose flags match (JackPortIsInput: the ports we can send to), in the server's
// order.
std::vector<std::string> JackPortNames(jack_client_t& client, unsigned long flags) {
  std::vector<std::string> names;
  const char** found = jack_get_ports(&client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  for (int i = 0; found != nullptr && found[i] != nullptr; ++i) names.emplace_back(found[i]);
  if (found != nullptr) jack_free(found);
  return names;
}

bool Compiled(RtMidi::Api api) {
  std::vector<RtMidi::Api> compiled;
  RtMidi::getCompiledApi(compiled);
  for (RtMidi::Api c : compiled) {
    if (c == api) return true;
  }
  return false;
}

// Whether names carry their API: where ALSA and JACK both may have ports. Decided by what the
// machine has, not by which server runs now, so that a name stays the same while servers come
// and go (the program finds its ports again by name).
bool TagApis(bool alsa) {
  return alsa && Compiled(RtMidi::UNIX_JACK);
}

}  // namespace

std::string MidiPortCatalog::ReadableName(RtMidi::Api api, const std::string& systemName) {
  if (api != RtMidi::LINUX_ALSA) return systemName;
  const std::size_t space = systemName.rfind(' ');
  if (space == std::string::npos) return systemName;
  const std::string numbers = systemName.substr(space + 1);
  const std::size_t colon = numbers.find(':');
  const auto allDigits = [](const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  };
  if (colon == std::string::npos || !allDigits(numbers.substr(0, colon)) ||
      !allDigits(numbers.substr(colon + 1))) {
    return systemName;
  }
  const std::string name = systemName.substr(0, space);
  const std::size_t separator = name.find(':');
  if (separator == std::string::npos) return name;
  const std::string client = name.substr(0, separator);
  const std::string port = name.substr(separator + 1);
  if (port.rfind(client, 0) == 0) return port;
  return client + ": " + port;
}

void JackClientCloser::operator()(jack_client_t* client) const {
  const auto lock = LockJackClients();
  CloseJackClientOf(client, epoch);
}

MidiPortCatalog::MidiPortCatalog(std::function<void(const JackServerInfo&)> onJack) {
  QuietSystemLibraries();
  // JACK answers and lists through one client of ours; RtMidi would open one per direction.
  JackServerInfo jackInfo;
  std::vector<std::string> jackInputs;
  std::vector<std::string> jackOutputs;
  if (Compiled(RtMidi::UNIX_JACK)) {
    const auto lock = LockJackClients();
    unsigned epoch = 0;
    jack_client_t* jack = OpenJackClient(kJackMidiClientName, epoch);
    jackClient_ = JackClient(jack, JackClientCloser{.epoch = epoch});
    if (jack != nullptr) {
      jackInfo = {.running = true,
                  .sampleRate = static_cast<double>(jack_get_sample_rate(jack)),
                  .bufferFrames = static_cast<int>(jack_get_buffer_size(jack))};
      jackInputs = JackPortNames(*jack, JackPortIsInput);
      jackOutputs = JackPortNames(*jack, JackPortIsOutput);
    }
  }
  if (onJack) onJack(jackInfo);
  // RtMidi writes to the terminal when an API fails to start, so each one is asked first
  // through its own library, which stays quiet.
  const bool alsa = Compiled(RtMidi::LINUX_ALSA) && AlsaSequencerAvailable();
  const bool tagApi = TagApis(alsa);
  ListRtMidiPorts(alsa, false, tagApi);
  // Ports to send to are JACK's input ports, and the other way round.
  AddJackPorts(jackInputs, tagApi, outputs_);
  AddJackPorts(jackOutputs, tagApi, inputs_);
  ListRtMidiPorts(false, true, tagApi);
  if (jackInputs.empty()) jackClient_.reset();
}

MidiPortCatalog MidiPortCatalog::Relist(PortWatcher& watcher) {
  MidiPortCatalog catalog{Empty{}};
  const bool alsa = Compiled(RtMidi::LINUX_ALSA) && AlsaSequencerAvailable();
  const bool tagApi = TagApis(alsa);
  catalog.ListRtMidiPorts(alsa, false, tagApi);
  AddJackPorts(watcher.JackPorts(JackPortIsInput), tagApi, catalog.outputs_);
  AddJackPorts(watcher.JackPorts(JackPortIsOutput), tagApi, catalog.inputs_);
  catalog.ListRtMidiPorts(false, true, tagApi);
  return catalog;
}

void MidiPortCatalog::ListRtMidiPorts(bool alsa, bool others, bool tagApi) {
  // ALSA comes before JACK in the lists, the APIs of other systems after.
  std::vector<RtMidi::Api> apis;
  if (alsa) apis.push_back(RtMidi::LINUX_ALSA);
  if (others) {
    for (RtMidi::Api api : {RtMidi::MACOSX_CORE, RtMidi::WINDOWS_MM}) {
      if (Compiled(api)) apis.push_back(api);
    }
  }
  for (RtMidi::Api api : apis) {
    ListPorts<RtMidiOut>(api, tagApi, outputs_);
    ListPorts<RtMidiIn>(api, tagApi, inputs_);
  }
}

void MidiPortCatalog::OpenFirstOutputEarly() {
  if (outputs_.empty() || earlyFirstOutput_) return;
  const MidiPortInfo& port = outputs_.front();
  earlyFirstOutput_ =
      MidiPortOutput::Open(port, port.api == RtMidi::UNIX_JACK ? TakeJackClient() : JackClient{});
}

// --- output ---

std::unique_ptr<MidiPortOutput> MidiPortOutput::Open(const MidiPortInfo& port,
                                                     JackClient jackClient) {
  QuietSystemLibraries();
  std::unique_ptr<MidiPortOutput> output(new MidiPortOutput());
  if (port.api == RtMidi::UNIX_JACK) {
    const unsigned epoch = jackClient.get_deleter().epoch;
    output->jack_ = jackClient ? JackMidiOutput::Adopt(jackClient.release(), port.systemName, epoch)
                               : JackMidiOutput::Open(kJackMidiClientName, port.systemName);
    return output->jack_ ? std::move(output) : nullptr;
  }
  try {
    output->out_ = MakeClient<RtMidiOut>(port.api);
    const int index = FindPort(*output->out_, port.systemName);
    if (index < 0) return nullptr;
    output->out_->openPort(static_cast<unsigned>(index), "MIDI out");
    if (!output->out_->isPortOpen()) return nullptr;
    output->out_->setErrorCallback(OnError, output.get());
    return output;
  } catch (const std::exception&) {
    return nullptr;
  }
}

MidiPortOutput::~MidiPortOutput() {
  // Whatever is left sounding on the device would go on sounding once the port is closed.
  if (!quiet_) Reset();
}

void MidiPortOutput::OnError(RtMidiError::Type type, const std::string& /*text*/, void* self) {
  if (type != RtMidiError::DEBUG_WARNING)
    static_cast<MidiPortOutput*>(self)->lastWriteFailed_ = true;
}

bool MidiPortOutput::Write(const std::uint8_t* bytes, int length) noexcept {
  if (jack_) return jack_->Send(bytes, length);
  lastWriteFailed_ = false;
  try {
    out_->sendMessage(bytes, static_cast<std::size_t>(length));
  } catch (const std::exception&) {
    lastWriteFailed_ = true;
  }
  return !lastWriteFailed_;
}

void MidiPortOutput::Send(ShortMessage message) noexcept {
  std::uint8_t bytes[3];
  const int length = UnpackShortMessage(message, bytes);
  if (length == 0) return;
  if (Write(bytes, length)) sounding_.Track(message);
  quiet_ = false;
}

void MidiPortOutput::Reset() noexcept {
  sounding_.ForEach([this](int channel, int note) {
    const std::uint8_t noteOff[3] = {static_cast<std::uint8_t>(midi::kNoteOff | channel),
                                     static_cast<std::uint8_t>(note), 0};
    Write(noteOff, 3);
  });
  sounding_.Clear();
  for (int channel = 0; channel < kMidiChannelCount; ++channel) {
    const auto status = static_cast<std::uint8_t>(midi::kControlChange | channel);
    const std::uint8_t sustainOff[3] = {status, midi::kSustainPedal, 0};
    const std::uint8_t allNotesOff[3] = {status, midi::kAllNotesOff, 0};
    Write(sustainOff, 3);
    Write(allNotesOff, 3);
  }
  quiet_ = true;
}

bool MidiPortOutput::Reopen() noexcept {
  if (jack_ && jack_->ServerGone()) return false;
  sounding_.Clear();
  return true;
}

// --- input ---

std::unique_ptr<MidiPortInput> MidiPortInput::Open(const MidiPortInfo& port,
                                                   MidiInputQueue& queue) {
  QuietSystemLibraries();
  std::unique_ptr<MidiPortInput> input(new MidiPortInput(queue));
  if (port.api == RtMidi::UNIX_JACK) {
    return input->OpenJack(port.systemName) ? std::move(input) : nullptr;
  }
  try {
    input->in_ = MakeClient<RtMidiIn>(port.api);
    const int index = FindPort(*input->in_, port.systemName);
    if (index < 0) return nullptr;
    // Sysex, clock and active sensing never reach the program.
    input->in_->ignoreTypes(true, true, true);
    input->in_->setCallback(OnMessage, input.get());
    input->in_->openPort(static_cast<unsigned>(index), "MIDI in");
    if (!input->in_->isPortOpen()) return nullptr;
    return input;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool MidiPortInput::OpenJack(const std::string& source) {
  const auto lock = LockJackClients();
  jackClient_ = OpenJackClient(kJackMidiInClientName, jackEpoch_);
  if (jackClient_ == nullptr) return false;
  jackPort_ =
      jack_port_register(jackClient_, "MIDI in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (jackPort_ == nullptr) return false;
  jack_set_process_callback(jackClient_, ProcessJack, this);
  jack_on_shutdown(jackClient_, OnJackShutdown, nullptr);
  if (jack_activate(jackClient_) != 0) return false;
  return jack_connect(jackClient_, source.c_str(), jack_port_name(jackPort_)) == 0;
}

MidiPortInput::~MidiPortInput() {
  // Closing joins or deactivates the thread that calls back, so no callback runs after this.
  if (jackClient_ != nullptr) {
    // A client whose server went is left to libjack (see JackClients.h).
    const auto lock = LockJackClients();
    CloseJackClientOf(jackClient_, jackEpoch_);
    return;
  }
  try {
    if (in_) in_->closePort();
  } catch (const std::exception&) {
  }
}

int MidiPortInput::ProcessJack(std::uint32_t frames, void* self) {
  auto* input = static_cast<MidiPortInput*>(self);
  if (!input->jackConnectedSeen_.load(std::memory_order_relaxed) &&
      jack_port_connected(input->jackPort_) > 0) {
    input->jackConnectedSeen_.store(true, std::memory_order_release);
  }
  void* buffer = jack_port_get_buffer(input->jackPort_, frames);
  const std::uint32_t count = jack_midi_get_event_count(buffer);
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) == 0) input->Take(event.buffer, event.size);
  }
  return 0;
}

bool MidiPortInput::Usable() const noexcept {
  if (jackClient_ == nullptr) return true;
  // A connection not yet seen by the process callback is still settling (the server reports a
  // new one late), not lost.
  const auto lock = LockJackClients();
  return JackClientUsable(jackEpoch_) && (!jackConnectedSeen_.load(std::memory_order_acquire) ||
                                          jack_port_connected(jackPort_) > 0);
}

void MidiPortInput::OnJackShutdown(void* /*unused*/) {
  NoteJackServerGone();
}

void MidiPortInput::OnMessage(double /*timeStamp*/, std::vector<unsigned char>* message,
                              void* self) {
  if (message != nullptr) static_cast<MidiPortInput*>(self)->Take(message->data(), message->size());
}

void MidiPortInput::Take(const std::uint8_t* bytes, std::size_t size) noexcept {
  if (!started_.load(std::memory_order_acquire)) return;
  if (size < 2 || size > 3) return;
  const std::uint8_t status = bytes[0];
  // Channel messages only; system common and real-time bytes have no use here.
  if (status < 0x80 || status >= 0xF0 || ShortMessageLength(status) != static_cast<int>(size)) {
    return;
  }
  const std::uint8_t data1 = bytes[1];
  const std::uint8_t data2 = size == 3 ? bytes[2] : 0;
  queue_.Push(PackShortMessage(status, data1, data2));
}

}  // namespace orvane
