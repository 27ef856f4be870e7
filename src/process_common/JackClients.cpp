#include "process_common/JackClients.h"

#include <string_view>

#include "process_common/LibraryNoise.h"

namespace orvane {
namespace {

// libjack says this, through the error function, as an open begins to free the clients of a
// server that went. Their shutdown callbacks may not have come yet, and now will not.
constexpr std::string_view kFreeingClientsOfGoneServer = "Jack server was closed but clients";

}  // namespace

void NoteJackError(const char* message) noexcept {
  if (message != nullptr && std::string_view(message).starts_with(kFreeingClientsOfGoneServer)) {
    NoteJackServerGone();
  }
}

std::unique_lock<std::mutex> LockJackClients() {
  static std::mutex mutex;
  return std::unique_lock(mutex);
}

std::atomic<unsigned>& JackServerEpoch() {
  static std::atomic<unsigned> epoch{0};
  return epoch;
}

void NoteJackServerGone() noexcept {
  JackServerEpoch().fetch_add(1);
}

jack_client_t* OpenJackClient(const char* name, unsigned& epoch) {
  SilenceAlsaAndJack();  // whose error function hands libjack's messages to NoteJackError
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
  // Counted after the open, which may itself have freed the clients of a server that went.
  epoch = JackServerEpoch().load();
  return client;
}

bool CloseJackClientOf(jack_client_t* client, unsigned epoch) {
  if (client == nullptr || !JackClientUsable(epoch)) return false;
  jack_client_close(client);
  return true;
}

}  // namespace orvane
