#include "JackMidiPeers.h"

#include <jack/midiport.h>

#include <stdexcept>
#include <thread>

#include "midi_system/SoundingNotes.h"
#include "midi_system/SystemProbe.h"
#include "process_common/JackClients.h"

namespace orvane::testing {

using namespace std::chrono_literals;

namespace {

// Two test servers starting at once (ctest -j) contend for JACK's shared registry, and a client
// open may then fail once; a few tries ride that out. Opened as the layer's clients are, under
// their lock (see JackClients.h); the caller sets the client up under `lock` too.
jack_client_t* OpenClient(const std::string& name, unsigned& epoch,
                          std::unique_lock<std::mutex>& lock) {
  // The peers share the process with the layer under test, which caps memory locking before its
  // first client as the program does. Opened uncapped (as root), a peer would lock the server's
  // 100 MB of port buffers, and every client opened after the cap would fail to map its locked
  // wake-up futex (EAGAIN).
  LimitMemoryLocking();
  for (int attempt = 0; attempt < 50; ++attempt) {
    lock = LockJackClients();
    if (jack_client_t* client = OpenJackClient(name.c_str(), epoch)) return client;
    lock.unlock();
    std::this_thread::sleep_for(20ms);
  }
  return nullptr;
}

}  // namespace

JackReceiver::JackReceiver(const std::string& clientName) {
  std::unique_lock<std::mutex> lock;
  client_ = OpenClient(clientName, epoch_, lock);
  if (client_ == nullptr) throw std::runtime_error("no JACK server for the test receiver");
  port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(client_, Process, this);
  jack_set_xrun_callback(client_, CountXrun, this);
  jack_activate(client_);
}

JackReceiver::~JackReceiver() {
  const auto lock = LockJackClients();
  CloseJackClientOf(client_, epoch_);
}

std::vector<std::string> JackReceiver::Connections() {
  std::vector<std::string> names;
  const auto lock = LockJackClients();
  if (!JackClientUsable(epoch_)) return names;
  const char** connected = jack_port_get_connections(port_);
  for (int i = 0; connected != nullptr && connected[i] != nullptr; ++i)
    names.emplace_back(connected[i]);
  if (connected != nullptr) jack_free(connected);
  return names;
}

int JackReceiver::Process(std::uint32_t frames, void* self) {
  auto* receiver = static_cast<JackReceiver*>(self);
  void* buffer = jack_port_get_buffer(receiver->port_, frames);
  const std::uint32_t count = jack_midi_get_event_count(buffer);
  if (count == 0) return 0;
  std::lock_guard lock(receiver->mutex_);
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    receiver->received_.emplace_back(event.buffer, event.buffer + event.size);
  }
  receiver->arrived_.notify_all();
  return 0;
}

int JackReceiver::CountXrun(void* self) {
  ++static_cast<JackReceiver*>(self)->xruns_;
  return 0;
}

Bytes JackReceiver::WaitFor(std::size_t count) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, 10s, [&] { return received_.size() >= count; });
  return received_;
}

std::size_t JackReceiver::Count() {
  std::lock_guard lock(mutex_);
  return received_.size();
}

Bytes JackReceiver::Settle() {
  std::this_thread::sleep_for(100ms);
  std::lock_guard lock(mutex_);
  return received_;
}

// The test's sender is plain JACK with a locked queue: it must carry sysex, which the program's
// own output never sends, and it waits for room instead of dropping.
JackSender::JackSender(const std::string& clientName) {
  std::unique_lock<std::mutex> lock;
  client_ = OpenClient(clientName, epoch_, lock);
  if (client_ == nullptr) throw std::runtime_error("no JACK server for the test sender");
  port_ = jack_port_register(client_, "MIDI out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(client_, Process, this);
  jack_activate(client_);
}

JackSender::~JackSender() {
  const auto lock = LockJackClients();
  CloseJackClientOf(client_, epoch_);
}

int JackSender::Process(std::uint32_t frames, void* self) {
  auto* sender = static_cast<JackSender*>(self);
  void* buffer = jack_port_get_buffer(sender->port_, frames);
  jack_midi_clear_buffer(buffer);
  std::lock_guard lock(sender->mutex_);
  // At most this many per period: still hundreds of times what a MIDI cable carries, but a
  // whole port buffer at once (some 2700 events) can outlast a period on a loaded or sanitized
  // build, and the JACK server then drops that period's events on their way.
  constexpr std::size_t kMostPerPeriod = 256;
  std::size_t sent = 0;
  for (; sent < sender->pending_.size() && sent < kMostPerPeriod; ++sent) {
    const auto& message = sender->pending_[sent];
    if (jack_midi_event_write(buffer, 0, message.data(), message.size()) != 0) break;
  }
  sender->pending_.erase(sender->pending_.begin(),
                         sender->pending_.begin() + static_cast<std::ptrdiff_t>(sent));
  return 0;
}

void JackSender::Send(std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  pending_.push_back(std::move(bytes));
}

void WakeFlag::Wake() {
  std::lock_guard lock(mutex_);
  ++pending_;
  woken_.notify_all();
}

bool WakeFlag::WaitForWake(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!woken_.wait_for(lock, timeout, [&] { return pending_ > 0; })) return false;
  pending_ = 0;
  return true;
}

int FindByName(const std::vector<std::string>& names, const std::string& part) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].find(part) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::uint8_t> BytesOf(ShortMessage message) {
  std::uint8_t bytes[3];
  const int length = UnpackShortMessage(message, bytes);
  return {bytes, bytes + length};
}

}  // namespace orvane::testing
