#pragma once

#include <jack/jack.h>

#include <atomic>
#include <mutex>

namespace orvane {

// libjack (jack2) keeps one context per process. Once any client of the process has heard that
// its server went, the next jack_client_open in the process closes and frees every client of
// that server without telling them: their shutdown callbacks may never come, and any pointer to
// such a client or its ports dangles. So every JACK client of this process is opened, used and
// closed under LockJackClients(), and used only while JackServerEpoch() is still the count it
// was opened under. JACK callbacks never take the lock: libjack joins their threads while it
// closes a client, under the lock.

// Held for every open, use and close of a JACK client outside its own callbacks.
[[nodiscard]] std::unique_lock<std::mutex> LockJackClients();

// How many times this process has seen a JACK server of its clients go: a client's shutdown
// callback said so, or libjack began to free the clients of a server that went.
std::atomic<unsigned>& JackServerEpoch();
// For every shutdown callback: the clients opened so far are of a server that went.
void NoteJackServerGone() noexcept;
// For libjack's error messages, which tell when it begins to free the clients of a server that
// went (SilenceAlsaAndJack installs it).
void NoteJackError(const char* message) noexcept;

// Opens client `name` without starting a server (lock held); `epoch` gets the count it opened
// under. nullptr when no server answers.
jack_client_t* OpenJackClient(const char* name, unsigned& epoch);
// True while a client opened under `epoch` may be used (lock held).
inline bool JackClientUsable(unsigned epoch) {
  return JackServerEpoch().load() == epoch;
}
// Closes `client` (lock held) unless its server went: libjack frees such a client itself at the
// next open. True when it was closed.
bool CloseJackClientOf(jack_client_t* client, unsigned epoch);

}  // namespace orvane
