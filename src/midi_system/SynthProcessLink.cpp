#include "midi_system/SynthProcessLink.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace orvane {
namespace {

using namespace std::chrono_literals;

constexpr int kCancelCheckMs = 100;

}  // namespace

SynthLink::SynthLink(int socket, pid_t process)
    : socket_(socket), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), process_(process) {}

SynthLink::~SynthLink() {
  stopping_.store(true, std::memory_order_release);
  WakeWatcher();
  if (watcher_.joinable()) watcher_.join();
  close(socket_);
  if (wake_ >= 0) close(wake_);
  Reap();
}

void SynthLink::Reap() noexcept {
  // Once only: the number of a reaped process may already belong to another.
  if (reaped_.exchange(true, std::memory_order_acq_rel)) return;
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

void SynthLink::WakeWatcher() noexcept {
  if (wake_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
}

bool SynthLink::TrySend(const SynthRequest& request) noexcept {
  for (;;) {
    const ssize_t sent = send(socket_, &request, sizeof request, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent == static_cast<ssize_t>(sizeof request)) return true;
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    // The process closed its end: it has ended or is ending. The watcher reaps it.
    ended_.store(true, std::memory_order_release);
    return false;
  }
}

void SynthLink::Flush() noexcept {
  while (!backlog_.Empty() && TrySend(backlog_.Front())) backlog_.PopFront();
  if (Ended()) backlog_.Clear();
}

bool SynthLink::Send(const SynthRequest& request) noexcept {
  const std::lock_guard lock(mutex_);
  if (Ended()) return false;
  if (backlog_.Empty()) {
    if (TrySend(request)) {
      backlog_.Note(request);
      return true;
    }
    if (Ended()) return false;
    // The connection is full: from now on the watcher waits for room.
    backlog_.Push(request);
    backlog_.Note(request);
    WakeWatcher();
    return true;
  }
  backlog_.Push(request);
  backlog_.Note(request);
  Flush();
  return !Ended();
}

std::uint64_t SynthLink::Collapses() {
  const std::lock_guard lock(mutex_);
  return backlog_.Collapses();
}

std::optional<std::string> SynthLink::Answer(const std::atomic<bool>& cancel) {
  std::array<char, kSynthAnswerMaxBytes> buffer{};
  pollfd readable{.fd = socket_, .events = POLLIN, .revents = 0};
  for (;;) {
    if (cancel.load(std::memory_order_acquire)) return std::nullopt;
    const int ready = poll(&readable, 1, kCancelCheckMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    if (ready < 0) return std::nullopt;
    const ssize_t got = recv(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    SynthAnswer answer{};
    if (got < static_cast<ssize_t>(sizeof answer)) return std::nullopt;  // ended, or no answer
    std::memcpy(&answer, buffer.data(), sizeof answer);
    if (answer.version != kSynthProtocolVersion || answer.canSound == 0) return std::nullopt;
    return std::string(buffer.data() + sizeof answer,
                       static_cast<std::size_t>(got) - sizeof answer);
  }
}

void SynthLink::Watch() {
  if (!watcher_.joinable()) watcher_ = std::thread([this] { WatchConnection(); });
}

void SynthLink::OnEnd(std::function<void()> onEnd) {
  bool sayNow = false;
  {
    const std::lock_guard lock(endMutex_);
    onEnd_ = std::move(onEnd);
    sayNow = endSaid_;
  }
  if (sayNow && onEnd_) onEnd_();
}

void SynthLink::WatchConnection() {
  for (;;) {
    bool waiting = false;
    {
      const std::lock_guard lock(mutex_);
      waiting = !backlog_.Empty();
    }
    std::array<pollfd, 2> watched{{{.fd = socket_,
                                    .events = static_cast<short>(POLLIN | (waiting ? POLLOUT : 0)),
                                    .revents = 0},
                                   {.fd = wake_, .events = POLLIN, .revents = 0}}};
    const int ready = poll(watched.data(), wake_ >= 0 ? 2 : 1, wake_ >= 0 ? -1 : kCancelCheckMs);
    if (stopping_.load(std::memory_order_acquire)) return;
    if (ready < 0 && errno != EINTR) return;
    if (watched[1].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = read(wake_, &count, sizeof count);
    }
    const short events = watched[0].revents;
    bool end = (events & (POLLHUP | POLLERR)) != 0;
    if (!end && (events & POLLIN) != 0) {
      // The process says nothing after its answer: what arrives now is the connection's end.
      std::array<char, 64> junk{};
      const ssize_t got = recv(socket_, junk.data(), junk.size(), MSG_DONTWAIT);
      end = got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN);
    }
    if (!end && (events & POLLOUT) != 0) {
      const std::lock_guard lock(mutex_);
      Flush();
    }
    if (end || Ended()) {
      {
        const std::lock_guard lock(mutex_);
        ended_.store(true, std::memory_order_release);
        backlog_.Clear();
      }
      Reap();
      std::function<void()> onEnd;
      {
        const std::lock_guard lock(endMutex_);
        endSaid_ = true;
        onEnd = onEnd_;
      }
      if (onEnd) onEnd();
      return;
    }
  }
}

}  // namespace orvane
