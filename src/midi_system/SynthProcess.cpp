#include "midi_system/SynthProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "midi_system/ProgramFiles.h"
#include "process_common/SynthProtocol.h"

extern char** environ;

namespace orvane {

class SynthLink {
 public:
  SynthLink(int socket, pid_t process) : socket_(socket), process_(process) {}
  SynthLink(const SynthLink&) = delete;
  SynthLink& operator=(const SynthLink&) = delete;

  // Closing the connection ends the process; it is waited for (its sound ends as it exits), and
  // one that does not end within seconds is killed, so that none is left playing or unreaped.
  ~SynthLink() {
    close(socket_);
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
      const pid_t ended = waitpid(process_, nullptr, WNOHANG);
      if (ended == process_ || (ended < 0 && errno != EINTR)) return;
      std::this_thread::sleep_for(2ms);
    }
    kill(process_, SIGKILL);
    while (waitpid(process_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }

  // False once the process has gone or stopped reading; nothing is sent after that. A full
  // connection means the process is behind for a moment (it reads as fast as it can), so the
  // sender waits for room, though never for a process that has not read for a second.
  bool Send(const SynthRequest& request) noexcept {
    if (broken_.load(std::memory_order_relaxed)) return false;
    for (;;) {
      const ssize_t sent = send(socket_, &request, sizeof request, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent == static_cast<ssize_t>(sizeof request)) return true;
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd room{.fd = socket_, .events = POLLOUT, .revents = 0};
        const int ready = poll(&room, 1, kStalledMs);
        if (ready > 0 || (ready < 0 && errno == EINTR)) continue;
      }
      broken_.store(true, std::memory_order_relaxed);
      return false;
    }
  }

  // The answer, or nothing when the process ends or stays silent.
  std::optional<std::string> Answer() {
    std::array<char, kSynthAnswerMaxBytes> buffer{};
    pollfd readable{.fd = socket_, .events = POLLIN, .revents = 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerSeconds);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      const int ready = poll(&readable, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return std::nullopt;
      const ssize_t got = recv(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      SynthAnswer answer{};
      if (got < static_cast<ssize_t>(sizeof answer)) return std::nullopt;
      std::memcpy(&answer, buffer.data(), sizeof answer);
      if (answer.version != kSynthProtocolVersion || answer.canSound == 0) return std::nullopt;
      return std::string(buffer.data() + sizeof answer,
                         static_cast<std::size_t>(got) - sizeof answer);
    }
  }

 private:
  static constexpr int kStalledMs = 1000;
  // The process answers once its audio output is open; with JACK, once the port listing has
  // told it about the server.
  static constexpr int kAnswerSeconds = 10;

  int socket_;
  pid_t process_;
  std::atomic<bool> broken_{false};
};

namespace {

// The synthesizer as the MIDI layer drives it, each call one request to the process.
class SynthProcessOutput final : public SynthOutput {
 public:
  SynthProcessOutput(std::shared_ptr<SynthLink> link, std::string soundFont)
      : link_(std::move(link)), soundFont_(std::move(soundFont)) {}

  void Send(ShortMessage message) noexcept override {
    link_->Send({.kind = SynthRequestKind::Message, .value = message, .sampleRate = 0.0});
  }
  void AllNotesOff() noexcept override {
    link_->Send({.kind = SynthRequestKind::AllNotesOff, .value = 0, .sampleRate = 0.0});
  }
  void SetChannelsInUse(std::uint16_t channels) noexcept override {
    link_->Send({.kind = SynthRequestKind::ChannelsInUse, .value = channels, .sampleRate = 0.0});
  }
  const std::string& SoundFontPath() const override { return soundFont_; }

 private:
  std::shared_ptr<SynthLink> link_;
  std::string soundFont_;
};

}  // namespace

std::vector<std::string> SynthProcessCandidates() {
  return ProgramFileCandidates(kSynthProcessFileName);
}

std::shared_ptr<SynthLink> StartSynthProcess(const std::vector<std::string>& candidates,
                                             bool dynamicSampleLoading) {
  int ends[2] = {-1, -1};
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return nullptr;
  // The process finds its end as descriptor 3. Duplicating onto another number clears
  // close-on-exec for the copy only, so the end is held above 3 first.
  int processEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
  close(ends[1]);
  if (processEnd < 0) {
    close(ends[0]);
    return nullptr;
  }
  constexpr int kProcessDescriptor = 3;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, processEnd, kProcessDescriptor);
  // It begins with no signal blocked, whatever this thread blocks.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

  std::string descriptor = std::to_string(kProcessDescriptor);
  std::string connectionOption = kSynthConnectionOption;
  std::string allSamplesOption = kSynthAllSamplesOption;
  pid_t process = -1;
  for (const std::string& candidate : candidates) {
    std::string path = candidate;
    std::array<char*, 5> arguments{path.data(), connectionOption.data(), descriptor.data(),
                                   dynamicSampleLoading ? nullptr : allSamplesOption.data(),
                                   nullptr};
    // Missing, not executable, or not a program for this machine: the next one.
    if (posix_spawn(&process, path.c_str(), &actions, &attributes, arguments.data(), environ) ==
        0) {
      break;
    }
    process = -1;
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(processEnd);
  if (process < 0) {
    close(ends[0]);
    return nullptr;
  }
  return std::make_shared<SynthLink>(ends[0], process);
}

void TellJackServer(SynthLink& link, const JackServerInfo& info) noexcept {
  link.Send({.kind = SynthRequestKind::JackServer,
             .value = info.running ? static_cast<std::uint32_t>(info.bufferFrames) : 0u,
             .sampleRate = info.running ? info.sampleRate : 0.0});
}

std::unique_ptr<SynthOutput> AwaitSynth(std::shared_ptr<SynthLink> link) {
  if (link == nullptr) return nullptr;
  std::optional<std::string> soundFont = link->Answer();
  if (!soundFont) return nullptr;
  return std::make_unique<SynthProcessOutput>(std::move(link), std::move(*soundFont));
}

}  // namespace orvane
