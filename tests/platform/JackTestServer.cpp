#include "JackTestServer.h"

#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
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
    // 256 frames (5.3 ms), not the 64 a musician would use: without real-time scheduling, on a
    // loaded machine and in the sanitizer build, clients miss 1.3 ms deadlines and JACK then
    // drops that cycle's MIDI, which would make these tests judge the scheduler, not the code.
    execlp("jackd", "jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "48000",
           "-p", "256", static_cast<char*>(nullptr));
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
  bool ended = false;
  for (int i = 0; i < 250 && !ended; ++i) {
    ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
    if (!ended) std::this_thread::sleep_for(20ms);
  }
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  RemoveLeftovers();
}

// The server's socket and the semaphores of clients that were killed stay in /dev/shm when a
// server or client ends abruptly, and add up on a developer's machine over many runs. They carry
// this server's unique name between underscores ("jack_NAME_0_0", "jack_sem.0_NAME_CLIENT").
void JackTestServer::RemoveLeftovers() const {
  const std::string mark = "_" + name_ + "_";
  std::error_code error;
  for (std::filesystem::directory_iterator entry("/dev/shm", error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->path().filename().string().find(mark) != std::string::npos) {
      std::error_code ignored;
      std::filesystem::remove(entry->path(), ignored);
    }
  }
}

}  // namespace orvane::testing
