#include "midi_system/SoundingNotes.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace orvane {
namespace {

std::vector<std::pair<int, int>> Listed(const SoundingNotes& notes) {
  std::vector<std::pair<int, int>> listed;
  notes.ForEach([&](int channel, int note) { listed.emplace_back(channel, note); });
  return listed;
}

TEST(SoundingNotes, FollowsNoteOnAndBothFormsOfNoteOffPerChannel) {
  SoundingNotes notes;
  notes.Track(PackShortMessage(0x90, 60, 127));
  notes.Track(PackShortMessage(0x9F, 60, 127));  // same note, channel 16
  notes.Track(PackShortMessage(0x93, 0, 1));
  notes.Track(PackShortMessage(0x93, 127, 1));
  notes.Track(PackShortMessage(0x80, 60, 0));  // stops channel 1 only
  notes.Track(PackShortMessage(0x93, 0, 0));   // note-on with velocity 0 is a note-off
  EXPECT_EQ(Listed(notes), (std::vector<std::pair<int, int>>{{3, 127}, {15, 60}}));
}

TEST(SoundingNotes, ChannelModeMessagesStopTheirChannelAndOthersChangeNothing) {
  SoundingNotes notes;
  notes.Track(PackShortMessage(0x90, 40, 100));
  notes.Track(PackShortMessage(0x91, 41, 100));
  notes.Track(PackShortMessage(0x92, 42, 100));
  notes.Track(PackShortMessage(0xB0, 123, 0));  // All Notes Off, channel 1
  notes.Track(PackShortMessage(0xB1, 120, 0));  // All Sound Off, channel 2
  notes.Track(PackShortMessage(0xB2, 7, 0));    // volume
  notes.Track(PackShortMessage(0xC2, 5, 0));    // program
  notes.Track(PackShortMessage(0x92, 200, 9));  // not a note: data byte out of range
  EXPECT_EQ(Listed(notes), (std::vector<std::pair<int, int>>{{2, 42}}));
  notes.Clear();
  EXPECT_FALSE(notes.Any());
}

TEST(ShortMessageBytes, UnpackRefusesDataBytesThatWouldReadAsStatus) {
  std::uint8_t bytes[3];
  ASSERT_EQ(UnpackShortMessage(PackShortMessage(0x92, 60, 127), bytes), 3);
  EXPECT_EQ(bytes[0], 0x92);
  EXPECT_EQ(bytes[1], 60);
  EXPECT_EQ(bytes[2], 127);
  ASSERT_EQ(UnpackShortMessage(PackShortMessage(0xC1, 5, 0xFF), bytes), 2);  // byte 3 unused
  EXPECT_EQ(bytes[1], 5);
  // Note 130 (a large transposition) would put 0x82 on the wire: a note-off of its own.
  EXPECT_EQ(UnpackShortMessage(PackShortMessage(0x90, 130, 127), bytes), 0);
  EXPECT_EQ(UnpackShortMessage(PackShortMessage(0x80, 60, 128), bytes), 0);
  EXPECT_EQ(UnpackShortMessage(PackShortMessage(0x3C, 60, 0), bytes), 0);
}

}  // namespace
}  // namespace orvane
