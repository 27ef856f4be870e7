#include "JackTestServer.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "process_common/JackClients.h"
#include "process_common/LibraryNoise.h"

namespace orvane::testing {

namespace {

// JACK keeps a table of eight servers in /dev/shm and frees the entry of a server that ended
// abruptly only when a server of the same name starts again. So the tests' servers take their
// names from a small set: whatever a killed one left behind is taken over by the next, and test
// runs never fill the table (which makes every later JACK server, of any program, fail).
constexpr int kServerNames = 4;

// ORVANE_TEST_JACK_PREFIX: the names' beginning, where several users of the machine's JACK
// table each keep to their own names.
std::string NamePrefix() {
  const char* prefix = std::getenv("ORVANE_TEST_JACK_PREFIX");
  return prefix != nullptr && *prefix != '\0' ? prefix : "orvane-test-";
}

bool ServerAnswers() {
  const auto lock = LockJackClients();
  unsigned epoch = 0;
  jack_client_t* client = OpenJackClient("orvane-test-probe", epoch);
  if (client == nullptr) return false;
  CloseJackClientOf(client, epoch);
  return true;
}

// Test processes running side by side choose and start their servers one at a time.
class StartLock {
 public:
  StartLock() : file_(open("/dev/shm/orvane-test-jack.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (file_ >= 0) flock(file_, LOCK_EX);
  }
  ~StartLock() {
    if (file_ >= 0) close(file_);  // closing lets go of the lock
  }
  StartLock(const StartLock&) = delete;
  StartLock& operator=(const StartLock&) = delete;

 private:
  int file_;
};

}  // namespace

JackTestServer::JackTestServer() {
  // The tests' clients find the server this starts; they never start one of their own.
  setenv("JACK_NO_START_SERVER", "1", 1);
  SilenceAlsaAndJack();
  using namespace std::chrono_literals;
  // With every name in use by tests running beside this one, it waits for one of them to end
  // (which needs the lock, so the wait is outside it).
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!ready_ && std::chrono::steady_clock::now() < deadline) {
    {
      const StartLock lock;
      for (int index = 0; index < kServerNames && !ready_; ++index) {
        name_ = NamePrefix() + std::to_string(index);
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        if (ServerAnswers()) continue;  // another test's server has this name
        Start();
      }
    }
    if (!ready_) std::this_thread::sleep_for(100ms);
  }
}

void JackTestServer::Start() {
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
    if (ServerAnswers()) {
      ready_ = true;
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
}

JackTestServer::~JackTestServer() {
  Stop();
}

bool JackTestServer::Restart() {
  Stop();
  const StartLock lock;
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
  Start();
  return ready_;
}

void JackTestServer::Stop() {
  ready_ = false;
  if (pid_ <= 0) return;
  // No other test starts a server of this name until its leftovers are gone.
  const StartLock lock;
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
// server or client ends abruptly; the next server of the name would find them. They carry the
// server's name between underscores ("jack_NAME_0_0", "jack_sem.0_NAME_CLIENT").
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
