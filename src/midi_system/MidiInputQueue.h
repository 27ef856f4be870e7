#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/midi/MidiLayer.h"

namespace orvane {

// Wakes the user-interface thread so that it drains the MIDI input queue. Called on the MIDI
// system's thread (under JACK its real-time thread): it must not block, lock or allocate.
using InputWaker = std::function<void()>;

// Hands packed short messages from one producer thread (the MIDI input callback) to one consumer
// thread (the user-interface thread) without locks or allocation. The producer wakes the consumer
// only when the queue was drained since the last wake, so a burst costs one wake-up.
//
// 16384 slots hold far more than a hardware keyboard can send while the window is busy (MIDI 1.0
// carries about 1000 short messages a second, so this is 16 s of a frozen window); a producer
// must never wait on the real-time thread, so beyond that new messages are dropped and counted.
class MidiInputQueue {
 public:
  static constexpr std::size_t kCapacity = 16384;

  explicit MidiInputQueue(InputWaker wake) : wake_(std::move(wake)) {}

  // Producer side.
  void Push(ShortMessage message) noexcept {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == kCapacity) {
      dropped_.fetch_add(1, std::memory_order_relaxed);
    } else {
      slots_[tail % kCapacity] = message;
      tail_.store(tail + 1, std::memory_order_release);
    }
    if (!wakePending_.exchange(true, std::memory_order_acq_rel) && wake_) wake_();
  }

  // Wakes the consumer as a push does, without a message (any thread; the same rules as Push).
  void Wake() noexcept {
    if (!wakePending_.exchange(true, std::memory_order_acq_rel) && wake_) wake_();
  }

  // Consumer side. Call before draining: a message pushed after this wakes the consumer again.
  void Rearm() noexcept { wakePending_.exchange(false, std::memory_order_acq_rel); }
  bool Pop(ShortMessage& message) noexcept {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    message = slots_[head % kCapacity];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }
  bool Empty() const noexcept {
    return head_.load(std::memory_order_relaxed) == tail_.load(std::memory_order_acquire);
  }
  // Discards what is queued; only while no producer runs.
  void Clear() noexcept { head_.store(tail_.load(std::memory_order_acquire)); }
  std::uint64_t Dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }

 private:
  InputWaker wake_;
  std::array<ShortMessage, kCapacity> slots_{};
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
  alignas(64) std::atomic<bool> wakePending_{false};
  std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace orvane
