#include "midi_system/MidiInputQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace orvane {
namespace {

TEST(MidiInputQueue, WakesOncePerBurstAndAgainAfterTheConsumerRearms) {
  int wakes = 0;
  auto queue = std::make_unique<MidiInputQueue>([&] { ++wakes; });
  queue->Push(1);
  queue->Push(2);
  queue->Push(3);
  EXPECT_EQ(wakes, 1);
  queue->Rearm();
  ShortMessage message = 0;
  ASSERT_TRUE(queue->Pop(message));
  EXPECT_EQ(message, 1u);
  queue->Push(4);  // after the rearm: the consumer must come back for it
  EXPECT_EQ(wakes, 2);
  for (ShortMessage expected : {2u, 3u, 4u}) {
    ASSERT_TRUE(queue->Pop(message));
    EXPECT_EQ(message, expected);
  }
  EXPECT_FALSE(queue->Pop(message));
}

TEST(MidiInputQueue, WhenFullKeepsTheOldestAndCountsWhatItDropped) {
  auto queue = std::make_unique<MidiInputQueue>(nullptr);
  for (ShortMessage i = 0; i < MidiInputQueue::kCapacity + 5; ++i) queue->Push(i);
  EXPECT_EQ(queue->Dropped(), 5u);
  ShortMessage message = 0;
  for (ShortMessage i = 0; i < MidiInputQueue::kCapacity; ++i) {
    ASSERT_TRUE(queue->Pop(message));
    ASSERT_EQ(message, i);
  }
  EXPECT_TRUE(queue->Empty());
  queue->Push(7);  // the slots are usable again after wrapping
  queue->Clear();
  EXPECT_TRUE(queue->Empty());
}

// A producer thread floods the queue while the consumer drains only when woken, as the
// user-interface thread does: every message must arrive, in order, and no wake may be lost
// (a lost wake leaves messages stranded, which this test would hang on and time out).
TEST(MidiInputQueue, ConcurrentFloodArrivesCompleteAndInOrderWithoutLostWakes) {
  constexpr ShortMessage kCount = 200000;
  std::atomic<int> pendingWakes{0};
  auto queue = std::make_unique<MidiInputQueue>(
      [&] { pendingWakes.fetch_add(1, std::memory_order_release); });
  std::thread producer([&] {
    for (ShortMessage i = 0; i < kCount; ++i) {
      while (queue->Empty() == false && i % 4096 == 0) std::this_thread::yield();
      queue->Push(i);
    }
  });
  ShortMessage expected = 0;
  while (expected < kCount) {
    if (pendingWakes.load(std::memory_order_acquire) == 0) {
      std::this_thread::yield();
      continue;
    }
    pendingWakes.fetch_sub(1, std::memory_order_acq_rel);
    queue->Rearm();
    ShortMessage message = 0;
    while (queue->Pop(message)) {
      ASSERT_EQ(message, expected);
      ++expected;
    }
  }
  producer.join();
  EXPECT_EQ(queue->Dropped(), 0u);
}

}  // namespace
}  // namespace orvane
