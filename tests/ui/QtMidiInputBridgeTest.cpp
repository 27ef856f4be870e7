#include "ui/QtMidiInputBridge.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <thread>
#include <vector>

#include "midi_system/MidiInputQueue.h"

namespace orvane {
namespace {

// MIDI input woken from another thread is drained on the bridge's (the user-interface) thread,
// complete and in order, in batches between which the event loop keeps handling other events.
TEST(QtMidiInputBridge, FloodFromAnotherThreadArrivesInOrderWhileTheLoopKeepsRunning) {
  constexpr ShortMessage kCount = 10000;
  constexpr std::size_t kBatch = 512;
  QtMidiInputBridge bridge;
  auto queue = std::make_unique<MidiInputQueue>(bridge.Waker());
  const auto uiThread = std::this_thread::get_id();
  std::vector<ShortMessage> received;
  int batches = 0;
  int offThread = 0;
  int ticks = 0;
  int continued = 0;  // batches run because the previous one left messages waiting
  int continuedAfterATick = 0;
  bool moreWaiting = false;
  int lastTickSeen = -1;
  bridge.SetDrain([&] {
    if (std::this_thread::get_id() != uiThread) ++offThread;
    queue->Rearm();
    ++batches;
    if (moreWaiting) {
      ++continued;
      if (ticks != lastTickSeen) ++continuedAfterATick;
    }
    lastTickSeen = ticks;
    ShortMessage message = 0;
    for (std::size_t i = 0; i < kBatch && queue->Pop(message); ++i) received.push_back(message);
    moreWaiting = !queue->Empty();
    return moreWaiting;
  });
  // Stands for the window's own events: it must keep getting turns during the flood.
  QTimer other;
  QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
  other.start(0);

  std::thread keyboard([&] {
    for (ShortMessage i = 0; i < kCount; ++i) queue->Push(i);
  });
  QElapsedTimer clock;
  clock.start();
  while (received.size() < kCount && clock.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  keyboard.join();

  ASSERT_EQ(received.size(), kCount);
  for (ShortMessage i = 0; i < kCount; ++i) ASSERT_EQ(received[i], i);
  EXPECT_EQ(queue->Dropped(), 0u);
  EXPECT_EQ(offThread, 0);
  EXPECT_GE(batches, static_cast<int>(kCount / kBatch));
  // A batch that leaves messages waiting hands the loop back: other events run between batches.
  EXPECT_GT(continued, 0);
  EXPECT_GT(continuedAfterATick, 0);
}

}  // namespace
}  // namespace orvane
