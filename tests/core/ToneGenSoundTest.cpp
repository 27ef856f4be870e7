#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "ToneGenFixture.h"

namespace orvane::testing {
namespace {

using Messages = std::vector<ShortMessage>;
using ToneGenSound = ToneGenTest;

TEST_F(ToneGenSound, ChordGoesOutNoteByNoteAcrossTheEnabledLayers) {
  StartQuietly();
  EnableOnly({0, 3, 15});
  tone->voice.transposition[3] = -12;
  tone->voice.transposition[15] = 7;
  tone->NotesOn({24, 16});
  EnableOnly({0, 9});
  tone->NotesOff({12});
  EnableOnly({});
  tone->NotesOn({1, 13});
  EXPECT_EQ(midi.Sent(),
            (Messages{NoteOnMessage(0, 60), NoteOnMessage(3, 48), NoteOnMessage(15, 67),
                      NoteOnMessage(0, 52), NoteOnMessage(3, 40), NoteOnMessage(15, 59),
                      NoteOffMessage(0, 48), NoteOffMessage(9, 48)}));
}

TEST_F(ToneGenSound, NothingOutsideMidiNoteRangeIsSent) {
  StartQuietly();
  for (int value : {-1, 128, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    tone->NoteOn(value);
    tone->NoteOff(value);
  }
  EXPECT_TRUE(midi.events.empty());
  // A layer pushed out of 0..127 by its transposition is skipped; the others still sound.
  EnableOnly({0, 1, 2, 3});
  tone->voice.transposition[0] = 91;   // 36 + 91 = 127, the top note
  tone->voice.transposition[1] = 92;   // 128
  tone->voice.transposition[2] = -37;  // -1
  tone->voice.transposition[3] = std::numeric_limits<std::int32_t>::max();  // must not overflow
  tone->NoteOn(0);
  tone->voice.transposition[3] = std::numeric_limits<std::int32_t>::min();
  tone->NoteOff(0);
  EXPECT_EQ(midi.Sent(), (Messages{NoteOnMessage(0, 127), NoteOffMessage(0, 127)}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenSound, ShiftsStopAtTheirBoundsAndReleaseUsesTheShiftOfTheMoment) {
  StartQuietly();
  std::vector<int> octaves;
  for (int i = 0; i < 5; ++i) {
    tone->OctaveUp();
    octaves.push_back(tone->OctaveShift());
  }
  for (int i = 0; i < 13; ++i) tone->SemitoneUp();
  EXPECT_EQ(octaves, (std::vector<int>{12, 24, 36, 48, 48}));
  EXPECT_EQ(tone->SemitoneShift(), 12);
  tone->NoteOn(0);  // key Z at the top of both ranges
  tone->OctaveStandard();
  tone->SemitoneStandard();
  for (int i = 0; i < 5; ++i) tone->OctaveDown();
  for (int i = 0; i < 13; ++i) tone->SemitoneDown();
  EXPECT_EQ(tone->OctaveShift(), -48);
  EXPECT_EQ(tone->SemitoneShift(), -12);
  tone->OctaveStandard();
  tone->SemitoneStandard();
  tone->NoteOn(5);
  tone->OctaveUp();
  tone->NoteOff(5);
  EXPECT_EQ(midi.Sent(),
            (Messages{NoteOnMessage(0, 96), NoteOnMessage(0, 41), NoteOffMessage(0, 53)}));
  EXPECT_EQ(midi.ResetCount(), 0);  // silencing is the commands' business, not the shifts'
}

TEST_F(ToneGenSound, MouseNoteResetsUnlessSustainedAndRefusesKeysOffThePiano) {
  StartQuietly();
  using Kind = RecordingMidiLayer::Kind;
  tone->MouseNote(5);
  tone->MouseNote(5);
  EXPECT_EQ(midi.events, (std::vector<RecordingMidiLayer::Event>{
                             {Kind::Reset, kDefaultOutput},
                             {Kind::Send, kDefaultOutput, NoteOnMessage(0, 41)},
                             {Kind::Reset, kDefaultOutput},
                             {Kind::Send, kDefaultOutput, NoteOnMessage(0, 41)}}));
  midi.Clear();
  tone->mouseSustain = true;
  tone->MouseNote(0);
  tone->MouseNote(36);
  EXPECT_EQ(midi.ResetCount(), 0);
  EXPECT_EQ(midi.Sent(), (Messages{NoteOnMessage(0, 36), NoteOnMessage(0, 72)}));

  midi.Clear();
  tone->mouseSustain = false;
  tone->MouseNote(37);
  tone->MouseNote(-1);
  EXPECT_EQ(midi.ResetCount(), 2);  // the reset comes before the range check
  EXPECT_TRUE(midi.Sent().empty());
  const RecordingUserMessages::Shown refused{"noteNumber value is out of range!", "Error!",
                                             MessageIcon::Warning};
  EXPECT_EQ(messages.shown, (std::vector<RecordingUserMessages::Shown>{refused, refused}));
}

TEST_F(ToneGenSound, ProgramsAndVolumesOfAllChannelsNeverCarryABadDataByte) {
  StartQuietly();
  EnableOnly({});  // sent for layers that are off too
  for (int i = 0; i < kLayerCount; ++i) {
    tone->voice.patch[i] = static_cast<std::uint8_t>(i * 8);
    tone->voice.volume[i] = static_cast<std::uint8_t>(127 - i);
  }
  tone->voice.patch[1] = 128;  // bytes only a voice file can bring
  tone->voice.volume[2] = 255;
  tone->SendProgramsAndVolumes();
  Messages expected;
  for (int i = 0; i < kLayerCount; ++i) {
    if (i != 1) expected.push_back(ProgramMessage(i, i * 8));
    expected.push_back(VolumeMessage(i, i == 2 ? 127 : 127 - i));
  }
  EXPECT_EQ(midi.Sent(), expected);
  EXPECT_EQ(tone->voice.patch[1], 128);  // the voice keeps what was stored
}

// The built-in synthesizer reads an instrument's samples only for channels that play: it learns
// which ones before the programs arrive, and only layers that are on count.
TEST_F(ToneGenSound, OutputLearnsTheLayersThatPlayBeforeTheirPrograms) {
  StartQuietly();
  EnableOnly({0, 9});
  tone->SendProgramsAndVolumes();
  EXPECT_EQ(midi.channelsInUse, 0x0201);
  EXPECT_EQ(midi.sentBeforeChannelsInUse, 0);
  EXPECT_EQ(midi.Sent().size(), 32u);  // the hint itself sends nothing
  EnableOnly({});
  tone->SendProgramsAndVolumes();
  EXPECT_EQ(midi.channelsInUse, 0);
}

}  // namespace
}  // namespace orvane::testing
