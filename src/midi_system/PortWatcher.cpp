#include "midi_system/PortWatcher.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

#include "midi_system/MidiPorts.h"
#include "midi_system/SystemProbe.h"
#include "process_common/JackClients.h"

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long the ports must stay still before a change is told.
constexpr int kSettleMs = 20;
// How often a JACK server is looked for while none answers, and how soon a change is told again
// when asked to.
constexpr int kJackRetryMs = 250;
constexpr int kJackLookMs = 1000;
constexpr const char* kWatcherClientName = "Tellak Orvane watch";

bool IsOwnName(const char* name) {
  return name != nullptr && std::strncmp(name, kMidiClientName, std::strlen(kMidiClientName)) == 0;
}

// The sequencer's announcements, received on a port of its own that nobody lists.
class AlsaAnnouncements {
 public:
  AlsaAnnouncements() {
    if (!AlsaSequencerAvailable()) return;
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
      seq_ = nullptr;
      return;
    }
    snd_seq_set_client_name(seq_, kWatcherClientName);
    const int port = snd_seq_create_simple_port(seq_, "announce",
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0 ||
        snd_seq_connect_from(seq_, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
      snd_seq_close(seq_);
      seq_ = nullptr;
    }
  }
  ~AlsaAnnouncements() {
    if (seq_ != nullptr) snd_seq_close(seq_);
  }
  AlsaAnnouncements(const AlsaAnnouncements&) = delete;
  AlsaAnnouncements& operator=(const AlsaAnnouncements&) = delete;

  int Descriptor() const {
    if (seq_ == nullptr) return -1;
    pollfd fd{};
    return snd_seq_poll_descriptors(seq_, &fd, 1, POLLIN) == 1 ? fd.fd : -1;
  }

  // True when a port of another program came, went or changed since the last call.
  bool PortsChanged() {
    bool changed = false;
    snd_seq_event_t* event = nullptr;
    while (seq_ != nullptr && snd_seq_event_input(seq_, &event) >= 0 && event != nullptr) {
      switch (event->type) {
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_CHANGE:
          changed = changed || !OwnClient(event->data.addr.client);
          break;
        case SND_SEQ_EVENT_PORT_EXIT:
          changed = true;  // whose it was cannot be asked any more
          break;
        default:
          break;  // clients without ports change no list (the listing's own come and go)
      }
    }
    return changed;
  }

 private:
  bool OwnClient(int client) {
    snd_seq_client_info_t* info = nullptr;
    snd_seq_client_info_alloca(&info);
    if (snd_seq_get_any_client_info(seq_, client, info) < 0) return false;
    return IsOwnName(snd_seq_client_info_get_name(info));
  }

  snd_seq_t* seq_ = nullptr;
};

}  // namespace

PortWatcher::PortWatcher(std::function<void()> changed)
    : changed_(std::move(changed)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  QuietSystemLibraries();
  thread_ = std::thread([this] { Run(); });
}

PortWatcher::~PortWatcher() {
  stopping_.store(true, std::memory_order_release);
  Poke();
  if (thread_.joinable()) thread_.join();
  CloseJack();
  if (wake_ >= 0) close(wake_);
}

void PortWatcher::Poke() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
}

void PortWatcher::OnJackPort(jack_port_id_t port, int registered, void* self) {
  auto* watcher = static_cast<PortWatcher*>(self);
  // Ports of this program's own clients (and audio ports) change no list; a port that is gone
  // can no longer be asked what it was.
  if (registered != 0) {
    const jack_port_t* found = jack_port_by_id(watcher->jack_, port);
    if (found == nullptr || IsOwnName(jack_port_name(found)) ||
        std::strcmp(jack_port_type(found), JACK_DEFAULT_MIDI_TYPE) != 0) {
      return;
    }
  }
  watcher->jackChanged_.store(true, std::memory_order_release);
  watcher->Poke();
}

void PortWatcher::OnJackClient(const char* name, int /*registered*/, void* self) {
  if (IsOwnName(name)) return;
  auto* watcher = static_cast<PortWatcher*>(self);
  watcher->jackChanged_.store(true, std::memory_order_release);
  watcher->Poke();
}

void PortWatcher::OnJackShutdown(void* self) {
  NoteJackServerGone();
  static_cast<PortWatcher*>(self)->Poke();
}

bool PortWatcher::OpenJack() {
  const auto lock = LockJackClients();
  unsigned epoch = 0;
  jack_client_t* client = OpenJackClient(kWatcherClientName, epoch);
  if (client == nullptr) return false;
  jack_ = client;  // before the callbacks, which look ports up through it
  jackEpoch_ = epoch;
  jack_set_port_registration_callback(client, OnJackPort, this);
  jack_set_client_registration_callback(client, OnJackClient, this);
  jack_on_shutdown(client, OnJackShutdown, this);
  // Only an active client hears of other clients' ports.
  if (jack_activate(client) != 0) {
    CloseJackClientOf(client, epoch);
    jack_ = nullptr;
    return false;
  }
  return true;
}

void PortWatcher::CloseJack() {
  // Closed under the lock, so that no listing uses the client meanwhile; its callbacks have
  // ended when the close returns. One whose server went is left to libjack (see JackClients.h).
  const auto lock = LockJackClients();
  CloseJackClientOf(jack_, jackEpoch_);
  jack_ = nullptr;
}

bool PortWatcher::JackRunning() {
  const auto lock = LockJackClients();
  return jack_ != nullptr && JackClientUsable(jackEpoch_);
}

void PortWatcher::TellAgainSoon() {
  tellAgain_.store(true, std::memory_order_release);
  Poke();
}

void PortWatcher::WaitForFirstLook() {
  std::unique_lock lock(lookMutex_);
  looked_.wait(lock, [this] { return firstLookDone_; });
}

std::vector<std::string> PortWatcher::JackPorts(unsigned long flags) {
  std::vector<std::string> ports;
  const auto lock = LockJackClients();
  if (jack_ == nullptr || !JackClientUsable(jackEpoch_)) return ports;
  const char** names = jack_get_ports(jack_, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  for (int i = 0; names != nullptr && names[i] != nullptr; ++i) ports.emplace_back(names[i]);
  if (names != nullptr) jack_free(names);
  return ports;
}

void PortWatcher::Run() {
  AlsaAnnouncements alsa;
  const int alsaFd = alsa.Descriptor();
  bool pending = false;
  Clock::time_point lastChange{};
  std::optional<Clock::time_point> tellAgainAt;
  bool jackOpen = OpenJack();
  Clock::time_point reopenAt{};
  {
    const std::lock_guard lock(lookMutex_);
    firstLookDone_ = true;
  }
  looked_.notify_all();
  while (!stopping_.load(std::memory_order_acquire)) {
    int timeout = -1;
    if (pending) {
      const auto quiet = Clock::now() - lastChange;
      timeout = std::max<int>(
          0, kSettleMs - static_cast<int>(
                             std::chrono::duration_cast<std::chrono::milliseconds>(quiet).count()));
    }
    // While a server runs, it is looked at now and then as well: its going is told by a callback
    // that libjack may drop when another thread of the process opens a client first.
    const int jackLookMs = jackOpen ? kJackLookMs : kJackRetryMs;
    timeout = timeout < 0 ? jackLookMs : std::min(timeout, jackLookMs);
    if (tellAgainAt) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*tellAgainAt - Clock::now());
      const int leftMs = std::max<int>(0, static_cast<int>(left.count()));
      timeout = timeout < 0 ? leftMs : std::min(timeout, leftMs);
    }
    pollfd watched[2] = {{.fd = wake_, .events = POLLIN, .revents = 0},
                         {.fd = alsaFd, .events = POLLIN, .revents = 0}};
    poll(watched, alsaFd >= 0 ? 2 : 1, timeout);
    if (stopping_.load(std::memory_order_acquire)) break;
    if (watched[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = read(wake_, &count, sizeof count);
    }
    if (tellAgain_.exchange(false, std::memory_order_acq_rel) && !tellAgainAt) {
      tellAgainAt = Clock::now() + std::chrono::milliseconds(kJackRetryMs);
    }
    bool changed = alsaFd >= 0 && watched[1].revents != 0 && alsa.PortsChanged();
    if (tellAgainAt && Clock::now() >= *tellAgainAt) {
      tellAgainAt.reset();
      changed = true;
    }
    if (jackChanged_.exchange(false, std::memory_order_acq_rel)) changed = true;
    if (jackOpen && !JackRunning()) {
      CloseJack();  // its server is gone; its ports with it
      jackOpen = false;
      changed = true;
      // The next open frees the clients of the gone server, joining their threads: those are
      // given a retry's time to end on their own first.
      reopenAt = Clock::now() + std::chrono::milliseconds(kJackRetryMs);
    }
    if (!jackOpen && Clock::now() >= reopenAt && OpenJack()) {
      jackOpen = true;
      changed = true;
    }
    if (changed) {
      pending = true;
      lastChange = Clock::now();
    }
    if (pending && Clock::now() - lastChange >= std::chrono::milliseconds(kSettleMs)) {
      pending = false;
      if (changed_) changed_();
    }
  }
}

}  // namespace orvane
