#include "midi_system/SynthProcess.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <deque>
#include <utility>

#include "midi_system/ProgramFiles.h"
#include "midi_system/SynthProcessLink.h"
#include "midi_system/SystemProbe.h"
#include "process_common/JackClients.h"

extern char** environ;

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A process that ends this soon after it answered did not really start.
constexpr auto kShortLife = 2s;
// This many failures within kFailureWindow and no process is started again.
constexpr std::size_t kMaxFailures = 3;
constexpr auto kFailureWindow = 60s;
// After a failed start, the next one waits this long times the failures so far.
constexpr auto kRetryStep = 250ms;

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

JackServerInfo CurrentJackServer() {
  const auto lock = LockJackClients();
  unsigned epoch = 0;
  jack_client_t* client = OpenJackClient("Tellak Orvane probe", epoch);
  if (client == nullptr) return {};
  const JackServerInfo info{.running = true,
                            .sampleRate = static_cast<double>(jack_get_sample_rate(client)),
                            .bufferFrames = static_cast<int>(jack_get_buffer_size(client))};
  CloseJackClientOf(client, epoch);
  return info;
}

std::unique_ptr<SynthProcessOutput> AwaitSynth(std::shared_ptr<SynthLink> link) {
  if (link == nullptr) return nullptr;
  const std::atomic<bool> never{false};
  std::optional<std::string> soundFont = link->Answer(never);
  if (!soundFont) return nullptr;
  return std::make_unique<SynthProcessOutput>(std::move(link), std::move(*soundFont));
}

// --- the output ---

SynthProcessOutput::SynthProcessOutput(std::shared_ptr<SynthLink> link, std::string soundFont)
    : link_(std::move(link)), soundFont_(std::move(soundFont)) {
  // Watched from the start, so that a process that ends is reaped even when nobody restarts it.
  link_->Watch();
}

SynthProcessOutput::~SynthProcessOutput() {
  {
    const std::lock_guard lock(mutex_);
    stopping_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
  if (restarter_.joinable()) restarter_.join();
  std::shared_ptr<SynthLink> started;
  {
    const std::lock_guard lock(mutex_);
    started = std::move(started_);
  }
  // Closing the connections ends the processes; their watchers stop first.
  started.reset();
  link_.reset();
}

bool SynthProcessOutput::Send(const SynthRequest& request) noexcept {
  return link_->Send(request);
}

void SynthProcessOutput::Send(ShortMessage message) noexcept {
  Send(SynthRequest{.kind = SynthRequestKind::Message, .value = message, .sampleRate = 0.0});
}

void SynthProcessOutput::AllNotesOff() noexcept {
  Send(SynthRequest{.kind = SynthRequestKind::AllNotesOff, .value = 0, .sampleRate = 0.0});
}

void SynthProcessOutput::SetChannelsInUse(std::uint16_t channels) noexcept {
  Send(SynthRequest{.kind = SynthRequestKind::ChannelsInUse, .value = channels, .sampleRate = 0.0});
}

pid_t SynthProcessOutput::ProcessId() const {
  return link_ && !link_->Ended() ? link_->Process() : -1;
}

void SynthProcessOutput::RestartWhenEnded(std::vector<std::string> candidates,
                                          bool dynamicSampleLoading, std::function<void()> wake) {
  if (restarter_.joinable()) return;
  candidates_ = std::move(candidates);
  dynamicSampleLoading_ = dynamicSampleLoading;
  wake_ = std::move(wake);
  restarter_ = std::thread([this] { Restart(); });
  link_->OnEnd([this] { OnEnded(); });
}

void SynthProcessOutput::OnEnded() {
  {
    const std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
}

void SynthProcessOutput::Restart() {
  std::deque<Clock::time_point> failures;
  Clock::time_point answeredAt = Clock::now();
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return ended_ || stopping_; });
    if (stopping_) return;
    ended_ = false;
    if (Clock::now() - answeredAt < kShortLife) failures.push_back(Clock::now());
    std::shared_ptr<SynthLink> link;
    while (link == nullptr) {
      while (!failures.empty() && Clock::now() - failures.front() > kFailureWindow) {
        failures.pop_front();
      }
      if (failures.size() >= kMaxFailures) {
        gaveUp_ = true;
        lock.unlock();
        if (wake_) wake_();
        return;
      }
      if (!failures.empty() && changed_.wait_for(lock, kRetryStep * failures.size(),
                                                 [this] { return stopping_.load(); })) {
        return;
      }
      lock.unlock();
      link = StartSynthProcess(candidates_, dynamicSampleLoading_);
      if (link != nullptr) {
        TellJackServer(*link, CurrentJackServer());
        if (!link->Answer(stopping_)) link.reset();
      }
      lock.lock();
      if (stopping_) {
        lock.unlock();
        return;  // `link`, if any, closes here and its process ends
      }
      if (link == nullptr) failures.push_back(Clock::now());
    }
    answeredAt = Clock::now();
    link->Watch();
    SynthLink& watched = *link;
    // A process started before this one that has not taken over yet is done with (it ended).
    std::shared_ptr<SynthLink> superseded = std::exchange(started_, std::move(link));
    lock.unlock();
    superseded.reset();
    watched.OnEnd([this] { OnEnded(); });  // at once when it has ended already
    if (wake_) wake_();
    lock.lock();
  }
}

SynthProcessOutput::Change SynthProcessOutput::TakeChange() {
  std::shared_ptr<SynthLink> previous;
  Change change = Change::None;
  {
    const std::lock_guard lock(mutex_);
    if (started_ != nullptr) {
      previous = std::exchange(link_, std::move(started_));
      change = Change::Restarted;
    } else if (gaveUp_ && !gaveUpTold_) {
      gaveUpTold_ = true;
      change = Change::GaveUp;
    }
  }
  previous.reset();  // ended and reaped already: nothing to wait for
  return change;
}

}  // namespace orvane
