#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "ToneGenFixture.h"

namespace orvane::testing {
namespace {

using Messages = std::vector<ShortMessage>;
using ToneGenSound = ToneGenTest;

TEST_F(ToneGenSound, SingleLayerNoteOnAndOff) {
  StartQuietly();
  tone->NoteOn(0);
  tone->NoteOff(0);
  EXPECT_EQ(midi.Sent(), (Messages{NoteOnMessage(0, 36), NoteOffMessage(0, 36)}));
}

TEST_F(ToneGenSound, ChordGoesOutNoteByNoteAcrossTheEnabledLayers) {
  StartQuietly();
  EnableOnly({0, 3, 15});
  tone->voice.transposition[3] = -12;
  tone->voice.transposition[15] = 7;
  tone->NotesOn({24, 16, 19});
  EXPECT_EQ(midi.Sent(),
            (Messages{NoteOnMessage(0, 60), NoteOnMessage(3, 48), NoteOnMessage(15, 67),
                      NoteOnMessage(0, 52), NoteOnMessage(3, 40), NoteOnMessage(15, 59),
                      NoteOnMessage(0, 55), NoteOnMessage(3, 43), NoteOnMessage(15, 62)}));
  midi.Clear();
  EnableOnly({0, 9});
  tone->NotesOff({12});
  EXPECT_EQ(midi.Sent(), (Messages{NoteOffMessage(0, 48), NoteOffMessage(9, 48)}));
}

TEST_F(ToneGenSound, NoLayerOnSendsNothing) {
  StartQuietly();
  EnableOnly({});
  tone->NotesOn({1, 13});
  EXPECT_TRUE(midi.events.empty());
}

TEST_F(ToneGenSound, NoteValuesOutsideMidiRangeAreIgnored) {
  StartQuietly();
  for (int value : {-1, 128, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    tone->NoteOn(value);
    tone->NoteOff(value);
  }
  tone->NoteOn(127);  // still a value, though it sounds no MIDI note on an unshifted layer
  EXPECT_TRUE(midi.events.empty());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ToneGenSound, LayerWhoseNoteLeavesMidiRangeIsSkippedAlone) {
  StartQuietly();
  EnableOnly({0, 1, 2, 3});
  tone->voice.transposition[1] = 92;   // 36 + 92 = 128
  tone->voice.transposition[2] = -37;  // -1
  tone->voice.transposition[3] = std::numeric_limits<std::int32_t>::max();
  tone->voice.transposition[0] = 91;  // 127, the top note, still sounds
  tone->NoteOn(0);
  tone->voice.transposition[3] = std::numeric_limits<std::int32_t>::min();
  tone->NoteOff(0);
  EXPECT_EQ(midi.Sent(), (Messages{NoteOnMessage(0, 127), NoteOffMessage(0, 127)}));
}

TEST_F(ToneGenSound, ShiftsStopAtTheirBounds) {
  StartQuietly();
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    tone->OctaveUp();
    seen.push_back(tone->OctaveShift());
  }
  EXPECT_EQ(seen, (std::vector<int>{12, 24, 36, 48, 48}));
  tone->OctaveStandard();
  seen.clear();
  for (int i = 0; i < 5; ++i) {
    tone->OctaveDown();
    seen.push_back(tone->OctaveShift());
  }
  EXPECT_EQ(seen, (std::vector<int>{-12, -24, -36, -48, -48}));
  for (int i = 0; i < 13; ++i) tone->SemitoneUp();
  EXPECT_EQ(tone->SemitoneShift(), 12);
  for (int i = 0; i < 30; ++i) tone->SemitoneDown();
  EXPECT_EQ(tone->SemitoneShift(), -12);
  tone->SemitoneStandard();
  tone->OctaveStandard();
  EXPECT_EQ(tone->SemitoneShift(), 0);
  EXPECT_EQ(tone->OctaveShift(), 0);
  EXPECT_TRUE(midi.events.empty());  // silencing is the commands' business, not the shifts'
}

TEST_F(ToneGenSound, ShiftsAddToEveryNoteAndReleaseUsesTheShiftOfTheMoment) {
  StartQuietly();
  for (int i = 0; i < 4; ++i) tone->OctaveUp();
  for (int i = 0; i < 12; ++i) tone->SemitoneUp();
  tone->NoteOn(0);
  tone->OctaveStandard();
  tone->SemitoneStandard();
  tone->NoteOn(5);
  tone->OctaveUp();
  tone->NoteOff(5);
  EXPECT_EQ(midi.Sent(),
            (Messages{NoteOnMessage(0, 96), NoteOnMessage(0, 41), NoteOffMessage(0, 53)}));
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
  EXPECT_TRUE(messages.shown.empty());

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

TEST_F(ToneGenSound, ProgramsAndVolumesGoToAllSixteenChannelsInterleaved) {
  StartQuietly();
  EnableOnly({});
  for (int i = 0; i < kLayerCount; ++i) {
    tone->voice.patch[i] = static_cast<std::uint8_t>(i * 8);
    tone->voice.volume[i] = static_cast<std::uint8_t>(127 - i);
  }
  tone->SendProgramsAndVolumes();
  Messages expected;
  for (int i = 0; i < kLayerCount; ++i) {
    expected.push_back(ProgramMessage(i, i * 8));
    expected.push_back(VolumeMessage(i, 127 - i));
  }
  EXPECT_EQ(midi.Sent(), expected);
}

TEST_F(ToneGenSound, PatchOrVolumeAboveMidiRangeIsNeverSentAsDataByte) {
  StartQuietly();
  tone->voice.patch[0] = 128;
  tone->voice.volume[0] = 255;
  tone->voice.patch[1] = 127;
  tone->voice.volume[1] = 128;
  tone->SendProgramsAndVolumes();
  const Messages sent = midi.Sent();
  ASSERT_EQ(sent.size(), 31u);
  EXPECT_EQ(sent[0], VolumeMessage(0, 127));
  EXPECT_EQ(sent[1], ProgramMessage(1, 127));
  EXPECT_EQ(sent[2], VolumeMessage(1, 127));
  for (ShortMessage message : sent) {
    EXPECT_LE(DataByte1(message), 127);
    EXPECT_LE(DataByte2(message), 127);
  }
  EXPECT_EQ(tone->voice.patch[0], 128);  // the voice keeps what was stored
  EXPECT_EQ(tone->voice.volume[0], 255);
}

TEST_F(ToneGenSound, ResetIsOneOutputReset) {
  StartQuietly();
  tone->Reset();
  EXPECT_EQ(
      midi.events,
      (std::vector<RecordingMidiLayer::Event>{{RecordingMidiLayer::Kind::Reset, kDefaultOutput}}));
}

}  // namespace
}  // namespace orvane::testing
