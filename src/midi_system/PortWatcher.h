#pragma once

#include <jack/jack.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane {

// Tells when the system's MIDI ports change, on a thread of its own: the ALSA sequencer's
// announce port (a keyboard plugged in or out, a program opening a port) and a JACK client of its
// own (clients and ports registered and gone, the server stopping). While no JACK server answers
// it asks again four times a second, so a server that starts (again) is seen at once. A burst of
// changes (a client registering its ports) is told once, after it has settled.
class PortWatcher {
 public:
  // `changed` runs on the watcher's thread; it must not block.
  explicit PortWatcher(std::function<void()> changed);
  ~PortWatcher();
  PortWatcher(const PortWatcher&) = delete;
  PortWatcher& operator=(const PortWatcher&) = delete;

  // The full names of the JACK MIDI ports with `flags` (JackPortIsInput: ports to send to), in
  // the server's order, through the watcher's client; empty while no server answers.
  std::vector<std::string> JackPorts(unsigned long flags);
  // True while the watcher's JACK client is connected to a server.
  bool JackRunning();
  // Waits until the watcher has asked for a JACK server once (whatever the answer).
  void WaitForFirstLook();
  // Tells a change once more a quarter of a second from now, whatever happens meanwhile: a port
  // that is listed but did not open (its client or server still starting) is tried again then.
  void TellAgainSoon();

 private:
  void Run();
  bool OpenJack();
  void CloseJack();
  // Not noexcept: libjack may cancel the thread of a callback that calls it, which unwinds.
  void Poke();
  static void OnJackPort(jack_port_id_t port, int registered, void* self);
  static void OnJackClient(const char* name, int registered, void* self);
  static void OnJackShutdown(void* self);

  std::function<void()> changed_;
  int wake_ = -1;  // eventfd
  std::atomic<bool> stopping_{false};
  std::atomic<bool> jackChanged_{false};
  std::atomic<bool> tellAgain_{false};
  jack_client_t* jack_ = nullptr;  // under LockJackClients(), between this thread and listings
  unsigned jackEpoch_ = 0;
  std::mutex lookMutex_;
  std::condition_variable looked_;
  bool firstLookDone_ = false;
  std::thread thread_;
};

}  // namespace orvane
