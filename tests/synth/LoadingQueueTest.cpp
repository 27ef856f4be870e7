#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "synth/LoadingQueue.h"

namespace orvane {
namespace {

// What reaches the output, in the order it got there, from whichever thread delivered it.
struct Output {
  std::atomic<bool> busy{false};
  std::vector<std::uint32_t> applied;
  bool overlapped = false;

  void Take(std::uint32_t item) {
    if (busy.exchange(true)) overlapped = true;
    applied.push_back(item);
    busy.store(false);
  }
};

// The sender keeps sending while the loader is still loading, drains slowly and hands over: every
// item arrives once, in the order sent, and the two threads never deliver at the same time. Run
// with the handover at many different moments, since a lost or reordered item only shows when
// the last drain and a send cross.
TEST(LoadingQueue, HandoverDuringASendStormLosesAndReordersNothing) {
  for (int round = 0; round < 300; ++round) {
    LoadingQueue queue;
    Output output;
    constexpr std::uint32_t kItems = 3000;
    std::atomic<bool> sending{false};
    std::thread loader([&] {
      while (!sending.load()) std::this_thread::yield();
      // The load ends at a different point of the sending each round.
      const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(round * 3);
      while (std::chrono::steady_clock::now() < end) {
      }
      queue.DrainAndOpen([&](std::uint32_t item) { output.Take(item); }, [] {});
    });
    sending.store(true);
    for (std::uint32_t item = 0; item < kItems; ++item) {
      if (queue.Offer(item)) output.Take(item);
      if (item % 8 == 0) std::this_thread::yield();  // the sender is a person, not a loop
    }
    loader.join();
    ASSERT_FALSE(output.overlapped) << "round " << round;
    ASSERT_EQ(output.applied.size(), kItems) << "round " << round;
    for (std::uint32_t item = 0; item < kItems; ++item) {
      ASSERT_EQ(output.applied[item], item) << "round " << round;
    }
  }
}

TEST(LoadingQueue, FinishRunsAfterTheLastQueuedItemAndBeforeTheSenderDeliversAgain) {
  LoadingQueue queue;
  std::vector<std::uint32_t> order;
  EXPECT_FALSE(queue.Offer(1));
  EXPECT_FALSE(queue.Offer(2));
  EXPECT_FALSE(queue.IsOpen());
  queue.DrainAndOpen([&](std::uint32_t item) { order.push_back(item); },
                     [&] { order.push_back(99); });
  EXPECT_TRUE(queue.IsOpen());
  EXPECT_TRUE(queue.Offer(3));  // open: the sender delivers itself
  EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 2, 99}));
}

}  // namespace
}  // namespace orvane
