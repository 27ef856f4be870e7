#include <gtest/gtest.h>

#include <vector>

#include "midi_system/SynthBacklog.h"

namespace orvane {
namespace {

SynthRequest Message(std::uint32_t value) {
  return {.kind = SynthRequestKind::Message, .value = value, .sampleRate = 0};
}

std::vector<SynthRequest> Drain(SynthBacklog& backlog) {
  std::vector<SynthRequest> out;
  while (!backlog.Empty()) {
    out.push_back(backlog.Front());
    backlog.PopFront();
  }
  return out;
}

bool Same(const SynthRequest& a, const SynthRequest& b) {
  return a.kind == b.kind && a.value == b.value;
}

// Below the bound everything waits and leaves in order, also across the ring's end.
TEST(SynthBacklog, KeepsOrderBelowTheBound) {
  SynthBacklog backlog;
  for (std::uint32_t round = 0; round < 3; ++round) {
    for (std::uint32_t i = 0; i < SynthBacklog::kCapacity - 1; ++i) {
      backlog.Push(Message(0x7F0090 + (i % 128) * 0x100 + round));
    }
    const std::vector<SynthRequest> out = Drain(backlog);
    ASSERT_EQ(out.size(), SynthBacklog::kCapacity - 1);
    for (std::uint32_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i].value, 0x7F0090 + (i % 128) * 0x100 + round) << i;
    }
  }
  EXPECT_EQ(backlog.Collapses(), 0u);
}

// At the bound the notes that would start late are dropped, never an end: every note stops,
// then the programs, volumes and channels of the moment, then what came after.
TEST(SynthBacklog, CollapsesIntoEveryNoteOffAndTheSettingsOfTheMoment) {
  SynthBacklog backlog;
  const std::vector<SynthRequest> settings = {
      {.kind = SynthRequestKind::ChannelsInUse, .value = 0x0201, .sampleRate = 0},
      Message(0x0005C0),   // channel 1 program 5
      Message(0x5A07B0),   // channel 1 volume 90
      Message(0x0030C9),   // channel 10 program 48
      Message(0x6407B9),   // channel 10 volume 100
      Message(0x0007C0),   // channel 1 program 7, the later one counts
      Message(0x8007B0),   // not a MIDI message: no volume
      Message(0x400AB0)};  // another controller: no volume
  for (const SynthRequest& request : settings) {
    backlog.Push(request);
    backlog.Note(request);
  }
  for (std::uint32_t i = 0; backlog.Size() < SynthBacklog::kCapacity; ++i) {
    const SynthRequest note = Message((i % 2 == 0 ? 0x7F0090u : 0x000080u) + 0x3C00u);
    backlog.Push(note);
    backlog.Note(note);
  }
  const SynthRequest last = Message(0x003C80);  // the last key's release
  backlog.Push(last);
  backlog.Note(last);
  EXPECT_EQ(backlog.Collapses(), 1u);
  const std::vector<SynthRequest> out = Drain(backlog);
  const std::vector<SynthRequest> expected = {
      {.kind = SynthRequestKind::AllNotesOff, .value = 0, .sampleRate = 0},
      {.kind = SynthRequestKind::ChannelsInUse, .value = 0x0201, .sampleRate = 0},
      Message(0x0007C0),
      Message(0x5A07B0),
      Message(0x0030C9),
      Message(0x6407B9),
      last};
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(Same(out[i], expected[i])) << i;
}

// Without known settings a collapse still stops every note.
TEST(SynthBacklog, CollapseWithoutSettingsStillStopsEveryNote) {
  SynthBacklog backlog;
  for (std::size_t i = 0; i <= SynthBacklog::kCapacity; ++i) backlog.Push(Message(0x7F3C90));
  const std::vector<SynthRequest> out = Drain(backlog);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].kind, SynthRequestKind::AllNotesOff);
  EXPECT_TRUE(Same(out[1], Message(0x7F3C90)));
}

}  // namespace
}  // namespace orvane
