#pragma once

#include <sys/types.h>

#include <string>

namespace orvane::testing {

// A JACK server of the test's own: the dummy backend (no sound card) under a name kept for tests
// ("orvane-test-N", the first one no server answers to), so that tests never touch a server of
// the user. JACK clients of this process connect to it from
// construction on (JACK_DEFAULT_SERVER). The server dies with the test process, also on crash.
class JackTestServer {
 public:
  JackTestServer();
  ~JackTestServer();  // stops the server
  JackTestServer(const JackTestServer&) = delete;
  JackTestServer& operator=(const JackTestServer&) = delete;

  bool Running() const { return ready_; }
  const std::string& Name() const { return name_; }
  void Stop();
  // Stops the server and starts it again under the same name, as a user restarting JACK does.
  bool Restart();

 private:
  void Start();
  void RemoveLeftovers() const;

  std::string name_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace orvane::testing
