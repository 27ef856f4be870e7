#include "midi_system/JackMidiOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <chrono>
#include <thread>
#include <vector>

#include "process_common/JackClients.h"

namespace orvane {
namespace {

// Each message takes 4 bytes in the ring: its length, then up to 3 bytes.
constexpr std::size_t kRecord = 4;
// 16384 messages: a few seconds of the densest playing, far more than one period can carry.
constexpr std::size_t kRingBytes = 16384 * kRecord;
constexpr int kSettleCycles = 3;

}  // namespace

std::unique_ptr<JackMidiOutput> JackMidiOutput::Open(const std::string& clientName,
                                                     const std::string& target) {
  const auto lock = LockJackClients();
  unsigned epoch = 0;
  jack_client_t* client = OpenJackClient(clientName.c_str(), epoch);
  if (client == nullptr) return nullptr;
  return SetUp(client, target, epoch);
}

std::unique_ptr<JackMidiOutput> JackMidiOutput::Adopt(jack_client_t* client,
                                                      const std::string& target, unsigned epoch) {
  const auto lock = LockJackClients();
  // The server may have gone since the client opened; libjack then frees it at the next open.
  if (client == nullptr || !JackClientUsable(epoch)) return nullptr;
  return SetUp(client, target, epoch);
}

std::unique_ptr<JackMidiOutput> JackMidiOutput::SetUp(jack_client_t* client,
                                                      const std::string& target, unsigned epoch) {
  std::unique_ptr<JackMidiOutput> output(new JackMidiOutput());
  output->client_ = client;
  output->epoch_ = epoch;
  output->ring_ = jack_ringbuffer_create(kRingBytes);
  // A failure closes the client here, under the lock the caller holds.
  const auto fail = [&output]() -> std::unique_ptr<JackMidiOutput> {
    CloseJackClientOf(output->client_, output->epoch_);
    output->client_ = nullptr;
    return nullptr;
  };
  if (output->ring_ == nullptr) return fail();
  jack_ringbuffer_mlock(output->ring_);
  output->port_ =
      jack_port_register(output->client_, "MIDI out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (output->port_ == nullptr) return fail();
  jack_set_process_callback(output->client_, Process, output.get());
  jack_on_shutdown(output->client_, Shutdown, nullptr);
  if (jack_activate(output->client_) != 0) return fail();
  if (!target.empty() &&
      jack_connect(output->client_, jack_port_name(output->port_), target.c_str()) != 0) {
    return fail();
  }
  return output;
}

JackMidiOutput::~JackMidiOutput() {
  if (client_ == nullptr) {
    if (ring_ != nullptr) jack_ringbuffer_free(ring_);
    return;
  }
  // A reset just before closing must reach the device, or its notes hang: let the next periods
  // take what is queued, but do not wait for a server that is gone or never connected us.
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 200ms;
  while (jack_ringbuffer_read_space(ring_) >= kRecord && Connected(false) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(250us);
  }
  // The last messages left the ring during the current cycle; the readers downstream take them
  // from the port buffer later in that cycle, which closing the client now would cut short.
  double period = 0.0;
  {
    const auto lock = LockJackClients();
    if (JackClientUsable(epoch_) && jack_port_connected(port_) > 0) {
      period = static_cast<double>(jack_get_buffer_size(client_)) /
               static_cast<double>(jack_get_sample_rate(client_));
    }
  }
  if (period > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(2.0 * period));
  // Closing deactivates the client first, so the process callback is done with the ring. A
  // client whose server went is left to libjack, and its ring is kept where a leak checker finds
  // it: the client's process thread may run until libjack frees the client.
  const auto lock = LockJackClients();
  if (CloseJackClientOf(client_, epoch_)) {
    jack_ringbuffer_free(ring_);
  } else {
    // Under the lock; never destroyed, so the rings stay reachable until the process ends.
    static auto* ringsOfGoneClients = new std::vector<jack_ringbuffer_t*>();
    ringsOfGoneClients->push_back(ring_);
  }
}

bool JackMidiOutput::Connected(bool settling) const noexcept {
  const auto lock = LockJackClients();
  if (!JackClientUsable(epoch_)) return false;
  return (settling && !settled_.load(std::memory_order_acquire)) || jack_port_connected(port_) > 0;
}

int JackMidiOutput::Process(std::uint32_t frames, void* self) {
  auto* output = static_cast<JackMidiOutput*>(self);
  void* buffer = jack_port_get_buffer(output->port_, frames);
  jack_midi_clear_buffer(buffer);
  // A new connection carries data only some cycles after the port reports it; what is sent
  // before is lost, and that would be the opening program change or a reset. So nothing leaves
  // until the port has been connected for a few cycles (later disconnections hold nothing back).
  if (output->connectedCycles_ < kSettleCycles) {
    if (jack_port_connected(output->port_) == 0) return 0;
    if (++output->connectedCycles_ == kSettleCycles) {
      output->settled_.store(true, std::memory_order_release);
    }
    return 0;
  }
  std::uint8_t record[kRecord];
  while (jack_ringbuffer_read_space(output->ring_) >= kRecord) {
    jack_ringbuffer_peek(output->ring_, reinterpret_cast<char*>(record), kRecord);
    jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, record[0]);
    if (event == nullptr) break;  // this period is full: the rest goes out in the next one
    for (int i = 0; i < record[0]; ++i) event[i] = record[1 + i];
    jack_ringbuffer_read_advance(output->ring_, kRecord);
  }
  return 0;
}

void JackMidiOutput::Shutdown(void* /*unused*/) {
  NoteJackServerGone();
}

bool JackMidiOutput::Send(const std::uint8_t* bytes, int length) noexcept {
  using namespace std::chrono_literals;
  if (length < 1 || length > 3 || ServerGone()) return false;
  // A full ring empties by one period's worth each period; wait for that, but never long, and
  // not again for a server that stopped taking messages.
  for (int attempt = 0; jack_ringbuffer_write_space(ring_) < kRecord; ++attempt) {
    if (stalled_ || attempt == 200 || ServerGone()) {
      stalled_ = true;
      return false;
    }
    std::this_thread::sleep_for(250us);
  }
  stalled_ = false;
  std::uint8_t record[kRecord] = {static_cast<std::uint8_t>(length), 0, 0, 0};
  for (int i = 0; i < length; ++i) record[1 + i] = bytes[i];
  jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(record), kRecord);
  return true;
}

}  // namespace orvane
