#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace orvane {

// Holds what one sender thread gives an output that is still loading on another thread, and
// hands over to direct delivery once it has loaded, without losing or reordering anything.
//
// While loading, Offer() queues under a short lock (and may allocate); the loader applies the
// queue in order and opens the queue only when it has caught up, so everything queued is applied
// before the sender delivers anything itself. From then on Offer() is one atomic load: no lock,
// no allocation.
class LoadingQueue {
 public:
  LoadingQueue() { items_.reserve(1024); }  // far more than a start sends

  // Sender: false when `item` was queued for the loader; true when loading is over and the
  // sender must deliver it itself.
  bool Offer(std::uint32_t item) {
    if (open_.load(std::memory_order_acquire)) return true;
    std::lock_guard lock(mutex_);
    if (open_.load(std::memory_order_relaxed)) return true;
    items_.push_back(item);
    return false;
  }

  // Loader: applies every queued item in order, including those queued meanwhile, then calls
  // `finish` (the sender waits meanwhile) and opens.
  template <typename Apply, typename Finish>
  void DrainAndOpen(Apply&& apply, Finish&& finish) {
    std::vector<std::uint32_t> batch;
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (items_.empty()) {
          finish();
          open_.store(true, std::memory_order_release);
          return;
        }
        batch.swap(items_);
      }
      for (std::uint32_t item : batch) apply(item);
      batch.clear();
    }
  }

  bool IsOpen() const { return open_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> open_{false};
  std::mutex mutex_;
  std::vector<std::uint32_t> items_;
};

}  // namespace orvane
