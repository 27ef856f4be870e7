#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "midi_system/SynthBacklog.h"
#include "process_common/SynthProtocol.h"

namespace orvane {

// One connection to one synthesizer process (a SOCK_SEQPACKET socket) and the process itself.
//
// Sends never wait: a request goes out at once, or, while the process is behind and the
// connection full, waits in the backlog, which a thread of the link's own empties as soon as
// there is room. That thread also sees the end of the connection the moment the process ends
// (killed, crashed), reaps the process and says so. Nothing is given up while the process lives.
class SynthLink {
 public:
  SynthLink(int socket, pid_t process);
  // Closes the connection, which ends the process; waits for it (its sound ends as it exits) and
  // kills one that does not end within seconds, so that none is left playing or unreaped.
  ~SynthLink();
  SynthLink(const SynthLink&) = delete;
  SynthLink& operator=(const SynthLink&) = delete;

  // From one sending thread at a time. False once the process has ended.
  bool Send(const SynthRequest& request) noexcept;
  // The answer (the SoundFont's path), or nothing when the process ends, answers that it cannot
  // sound or is of another version, or `cancel` becomes true. Before Watch() only.
  std::optional<std::string> Answer(const std::atomic<bool>& cancel);
  // Starts watching the connection (once, after the answer). `onEnd` runs on the watching
  // thread once the process has ended and been reaped.
  void Watch();
  void OnEnd(std::function<void()> onEnd);

  bool Ended() const noexcept { return ended_.load(std::memory_order_acquire); }
  pid_t Process() const noexcept { return process_; }
  std::uint64_t Collapses();

 private:
  bool TrySend(const SynthRequest& request) noexcept;  // under mutex_
  void Flush() noexcept;                               // under mutex_
  void WatchConnection();
  void Reap() noexcept;
  void WakeWatcher() noexcept;

  int socket_;
  int wake_ = -1;  // eventfd: the watcher looks again
  pid_t process_;
  std::mutex mutex_;  // the socket's sending side and the backlog
  SynthBacklog backlog_;
  std::atomic<bool> ended_{false};
  std::atomic<bool> reaped_{false};
  std::atomic<bool> stopping_{false};
  std::mutex endMutex_;
  std::function<void()> onEnd_;
  bool endSaid_ = false;
  std::thread watcher_;
};

}  // namespace orvane
