#include "JackTestServer.h"

#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/SystemProbe.h"

namespace orvane::testing {

JackTestServer::JackTestServer()
    : name_("orvane-test-" + std::to_string(getpid()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 100000)) {
  QuietSystemLibraries();
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const char* devNull = "/dev/null";
    freopen(devNull, "w", stdout);
    freopen(devNull, "w", stderr);
    execlp("jackd", "jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "48000",
           "-p", "64", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) return;
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;  // jackd gave up
      return;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open("orvane-test-probe", JackNoStartServer, &status);
    if (client != nullptr) {
      jack_client_close(client);
      ready_ = true;
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
}

JackTestServer::~JackTestServer() {
  Stop();
}

void JackTestServer::Stop() {
  ready_ = false;
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  using namespace std::chrono_literals;
  for (int i = 0; i < 250; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace orvane::testing
