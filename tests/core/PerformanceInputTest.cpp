#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PerformanceFixture.h"

namespace orvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Trace = std::vector<std::string>;

using KeyPressTest = PerformanceFixture;

TEST_F(KeyPressTest, HeldKeySoundsOnceThroughAutoRepeatAndStopsAtRelease) {
  Press('Q');
  Press('Q');
  Press('Q');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 48"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("keys pressed 12"));
  EXPECT_EQ(midi.Sent(), std::vector<ShortMessage>{PackShortMessage(0x90, 48, 127)});
  Forget();

  Release('Q');
  EXPECT_EQ(midi.Sent(), std::vector<ShortMessage>{PackShortMessage(0x80, 48, 0)});
  EXPECT_THAT(DisplayTrace(), ElementsAre("keys released 12"));
  EXPECT_FALSE(input.IsHeld('Q'));

  // A second release of the same key is not taken.
  Forget();
  Release('Q');
  EXPECT_THAT(MidiTrace(), IsEmpty());
}

TEST_F(KeyPressTest, TwoKeysOfOneNoteShareItsNoteOff) {
  Press('Q');
  Press(key::kComma);
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 48", "on 0 48"));
  Forget();

  Release(key::kComma);
  EXPECT_THAT(MidiTrace(), ElementsAre("off 0 48"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("keys released 12"));
  EXPECT_TRUE(input.IsHeld('Q'));
}

TEST_F(KeyPressTest, AccordionChordReleaseStopsNotesSharedWithAHeldChord) {
  UseAccordion();
  Press('Q');
  Press('A');
  EXPECT_THAT(MidiTrace(),
              ElementsAre("on 0 61", "on 0 53", "on 0 56", "on 0 61", "on 0 52", "on 0 56"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("button pressed 1", "button pressed 2"));
  Forget();

  Release('Q');
  EXPECT_THAT(MidiTrace(), ElementsAre("off 0 61", "off 0 53", "off 0 56"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("button released 1"));
}

TEST_F(KeyPressTest, AccordionChordGoesToEveryLayerBeforeTheNextNote) {
  toneGen.voice.layerOn[3] = true;
  toneGen.voice.layerOn[9] = true;
  UseAccordion();
  Press('N');
  EXPECT_THAT(MidiTrace(),
              ElementsAre("on 0 60", "on 3 60", "on 9 60", "on 0 52", "on 3 52", "on 9 52",
                          "on 0 55", "on 3 55", "on 9 55", "on 0 58", "on 3 58", "on 9 58"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("button pressed 23"));
}

TEST_F(KeyPressTest, ShiftsMoveTheLowestKeyFromItsBasePitch) {
  Press('Z');
  Release('Z');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 36", "off 0 36"));

  for (int i = 0; i < 4; ++i) input.OctaveUp();
  for (int i = 0; i < 12; ++i) input.SemitoneUp();
  Forget();
  Press('Z');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 96"));
}

TEST_F(KeyPressTest, KeysWithoutANoteAreHeldButSoundAndDrawNothing) {
  Press(key::kCapsLock);
  Press('1');
  Press('A');
  EXPECT_TRUE(input.IsHeld(key::kCapsLock));
  EXPECT_TRUE(input.IsHeld('1'));
  Release('1');
  Release('A');
  EXPECT_THAT(MidiTrace(), IsEmpty());
  EXPECT_THAT(DisplayTrace(), IsEmpty());
}

TEST_F(KeyPressTest, ShiftNeverPlaysItsAccordionButton) {
  UseAccordion();
  PressShift(false);
  ReleaseShift(false);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint accordion"));
}

TEST_F(KeyPressTest, CodesOutsideTheKeyRangeAreIgnored) {
  UseAccordion();
  for (int code : {1001, 1002, -1, 256, 100000}) {
    Press(code);
    EXPECT_FALSE(input.IsHeld(code));
    Release(code);
  }
  EXPECT_THAT(MidiTrace(), IsEmpty());
  EXPECT_THAT(DisplayTrace(), IsEmpty());
}

using SustainTest = PerformanceFixture;

TEST_F(SustainTest, ShiftHoldsReleasedKeysUntilItIsReleased) {
  PressShift(false);
  Press('Z');
  Release('Z');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 36"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("keys pressed 0"));
  EXPECT_TRUE(input.sustainPedal());
  Forget();

  ReleaseShift(false);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint piano"));
  EXPECT_FALSE(input.sustainPedal());
}

TEST_F(SustainTest, CapsLockLatchHoldsKeysAndEveryCapsLockReleaseSilences) {
  PressCapsLock();
  Release(key::kCapsLock);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  Forget();

  Press('X');
  Release('X');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 38"));
  Forget();

  // Shift released silences even while the latch stays on.
  PressShift(true);
  ReleaseShift(true);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  Forget();
  Press('X');
  Release('X');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 38"));
  Forget();

  // Turning the latch off: no sustain from the press on, and its release silences again.
  PressCapsLock();
  EXPECT_FALSE(input.sustainPedal());
  Press('C');
  Release('C');
  Release(key::kCapsLock);
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 40", "off 0 40", "reset"));
}

TEST_F(SustainTest, SecondShiftIsARepeatButLiftingItStillSilences) {
  PressShift(false);
  PressShift(true);  // dropped: code 16 is already held
  EXPECT_THAT(MidiTrace(), IsEmpty());

  ReleaseShift(false);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_FALSE(input.IsHeld(key::kShift));
  EXPECT_TRUE(input.sustainPedal());
  Forget();

  Press('V');
  Release('V');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 41"));
  Forget();

  // The right Shift was never taken, but it was the pedal: its release must not leave V on.
  ReleaseShift(true);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint piano"));
  EXPECT_FALSE(input.sustainPedal());
  Forget();

  // With nothing sustained by it, an untaken Shift release does nothing.
  modifiers.rightShiftDown = true;
  ReleaseShift(true);
  EXPECT_THAT(MidiTrace(), IsEmpty());
}

TEST_F(SustainTest, SecondShiftLeavesTheNotesToACapsLockLatch) {
  PressCapsLock();
  Release(key::kCapsLock);
  PressShift(false);
  PressShift(true);
  ReleaseShift(false);
  Forget();
  Press('V');
  Release('V');
  ReleaseShift(true);
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 41"));
}

TEST_F(SustainTest, EnterSilencesAtPressAndAtRelease) {
  Press('Q');
  Forget();
  Press(key::kEnter);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint piano"));
  Press(key::kEnter);  // auto-repeat
  Forget();
  Release(key::kEnter);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint piano"));
  // Muting leaves the held key held.
  EXPECT_TRUE(input.IsHeld('Q'));
}

using CommandTest = PerformanceFixture;

TEST_F(CommandTest, OctaveAndSemitoneShiftsStopAtTheirBoundsAndAlwaysSilence) {
  std::vector<int> octaves;
  for (int i = 0; i < 5; ++i) {
    input.OctaveUp();
    octaves.push_back(toneGen.OctaveShift());
  }
  EXPECT_THAT(octaves, ElementsAre(12, 24, 36, 48, 48));
  input.OctaveStandard();
  EXPECT_EQ(toneGen.OctaveShift(), 0);
  octaves.clear();
  for (int i = 0; i < 5; ++i) {
    input.OctaveDown();
    octaves.push_back(toneGen.OctaveShift());
  }
  EXPECT_THAT(octaves, ElementsAre(-12, -24, -36, -48, -48));

  for (int i = 0; i < 13; ++i) input.SemitoneUp();
  EXPECT_EQ(toneGen.SemitoneShift(), 12);
  input.SemitoneStandard();
  for (int i = 0; i < 13; ++i) input.SemitoneDown();
  EXPECT_EQ(toneGen.SemitoneShift(), -12);

  // 5 + 1 + 5 octave commands and 13 + 1 + 13 semitone commands, each a reset and a repaint.
  EXPECT_EQ(midi.ResetCount(), 38);
  EXPECT_EQ(DisplayTrace(), Trace(38, "repaint piano"));
}

TEST_F(CommandTest, MuteAllKeepsKeysPedalAndMouseSustain) {
  UseAccordion();
  PressShift(false);
  Press(key::kSpace);
  Press('Q');
  Forget();
  input.MuteAll();
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint accordion"));
  EXPECT_TRUE(input.IsHeld('Q'));
  EXPECT_TRUE(input.IsHeld(key::kShift));
  EXPECT_TRUE(input.sustainPedal());
  EXPECT_TRUE(toneGen.mouseSustain);
}

using LayoutSwitchTest = PerformanceFixture;

TEST_F(LayoutSwitchTest, SwitchSilencesRedrawsAndReplacesTheTable) {
  Press('Q');
  Forget();
  input.SetKeyboardType(1);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("invalidate", "repaint accordion"));
  EXPECT_EQ(input.keyboardType(), KeyboardType::Accordion);
  EXPECT_TRUE(input.layoutSwitchPending());
  // Held keys survive the switch: Q's next press is still a repeat.
  Press('Q');
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  Forget();
  Press('A');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 61", "on 0 52", "on 0 56"));

  input.FullPaintFinished();
  EXPECT_FALSE(input.layoutSwitchPending());
  input.SetKeyboardType(0);
  EXPECT_TRUE(input.layoutSwitchPending());
  Forget();
  Press('S');
  Release('S');
  Release('A');  // A has no piano entry any more
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 37", "off 0 37"));
}

TEST_F(LayoutSwitchTest, UnknownTypeSelectsPianoInFull) {
  UseAccordion();
  for (int type : {2, -1, 1000}) {
    UseAccordion();
    input.SetKeyboardType(type);
    EXPECT_EQ(input.keyboardType(), KeyboardType::Piano);
    EXPECT_THAT(DisplayTrace(), ElementsAre("invalidate", "repaint piano"));
    Forget();
    Press('Q');
    Release('Q');
    EXPECT_THAT(MidiTrace(), ElementsAre("on 0 48", "off 0 48"));
  }
}

using MouseTest = PerformanceFixture;

TEST_F(MouseTest, SpaceBarLetsClickedPianoKeysSoundTogether) {
  Press(key::kSpace);
  EXPECT_TRUE(toneGen.mouseSustain);
  input.PianoKeyClicked(0);
  input.PianoKeyClicked(4);
  input.PianoKeyClicked(7);
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 36", "on 0 40", "on 0 43"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("key pressed 0", "key pressed 4", "key pressed 7"));
  Forget();

  Release(key::kSpace);
  EXPECT_FALSE(toneGen.mouseSustain);
  EXPECT_THAT(MidiTrace(), IsEmpty());

  input.PianoKeyClicked(9);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset", "on 0 45"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint piano", "key pressed 9"));
}

TEST_F(MouseTest, AccordionClickSilencesFirstUnlessSpaceIsDown) {
  UseAccordion();
  input.AccordionButtonClicked(46);  // reached by no computer key
  EXPECT_THAT(MidiTrace(), ElementsAre("reset", "on 0 66", "on 0 57", "on 0 61"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint accordion", "button pressed 46"));
  Forget();

  Press(key::kSpace);
  input.AccordionButtonClicked(43);
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 71", "on 0 63", "on 0 66", "on 0 69"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("button pressed 43"));
}

TEST_F(MouseTest, ClicksOutsideTheKeyboardAreIgnored) {
  input.PianoKeyClicked(37);
  input.PianoKeyClicked(-1);
  input.AccordionButtonClicked(49);
  input.AccordionButtonClicked(-1);
  EXPECT_THAT(MidiTrace(), IsEmpty());
  EXPECT_THAT(DisplayTrace(), IsEmpty());
}

using FocusLossTest = PerformanceFixture;

TEST_F(FocusLossTest, HeldNoteKeysStopAndCanBePlayedAgain) {
  Press('Q');
  Press('W');
  Forget();
  input.ReleaseAllKeys(modifiers);
  EXPECT_THAT(MidiTrace(), ElementsAre("off 0 48", "off 0 50"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("keys released 12", "keys released 14"));
  EXPECT_FALSE(input.IsHeld('Q'));
  Forget();
  // Its next press plays instead of being taken for an auto-repeat.
  Press('Q');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 48"));
  // The release the view never saw is harmless now; a later real release still ends the note.
  Release('Q');
  EXPECT_THAT(MidiTrace(), ElementsAre("on 0 48", "off 0 48"));
}

TEST_F(FocusLossTest, HeldShiftSustainsThenSilencesOnce) {
  PressShift(false);
  Press('Q');
  Press(key::kEnter);
  Press(key::kSpace);
  Forget();
  input.ReleaseAllKeys(modifiers);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset", "reset"));  // Shift, then Enter
  EXPECT_FALSE(toneGen.mouseSustain);
  EXPECT_FALSE(input.sustainPedal());
  for (int code : {int{'Q'}, key::kShift, key::kEnter, key::kSpace})
    EXPECT_FALSE(input.IsHeld(code));
}

TEST_F(FocusLossTest, UntakenSecondShiftStillEndsWhatItSustained) {
  PressShift(false);
  PressShift(true);
  ReleaseShift(false);
  Press('Q');
  Release('Q');
  Forget();
  input.ReleaseAllKeys(modifiers);  // right Shift still down when the focus went
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
}

TEST_F(FocusLossTest, CapsLockLatchKeepsItsNotesAsItDoesWithTheFocus) {
  PressCapsLock();
  Release(key::kCapsLock);
  Press('Q');
  Forget();
  input.ReleaseAllKeys(modifiers);
  EXPECT_THAT(MidiTrace(), IsEmpty());
  EXPECT_TRUE(input.sustainPedal());
  // Caps Lock pressed (the latch goes off) and still down when the focus went: W stops, and the
  // Caps Lock release silences what the latch held.
  PressCapsLock();
  Press('W');
  Forget();
  input.ReleaseAllKeys(modifiers);
  EXPECT_THAT(MidiTrace(), ElementsAre("off 0 50", "reset"));
}

TEST_F(FocusLossTest, LatchTurnedOffElsewhereSilencesAtTheNextSignOfIt) {
  PressCapsLock();
  Release(key::kCapsLock);
  Press('Q');
  Release('Q');
  input.ReleaseAllKeys(modifiers);
  modifiers.capsLockOn = false;  // turned off in another window
  Forget();
  input.ModifiersChanged(modifiers);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset"));
  EXPECT_THAT(DisplayTrace(), ElementsAre("repaint piano"));

  // Without word from the view, the next key event finds the latch off: silence, then play.
  PressCapsLock();
  Release(key::kCapsLock);
  Press('Q');
  Release('Q');
  modifiers.capsLockOn = false;
  Forget();
  Press('W');
  EXPECT_THAT(MidiTrace(), ElementsAre("reset", "on 0 50"));
  input.ModifiersChanged(modifiers);
  EXPECT_THAT(MidiTrace(), ElementsAre("reset", "on 0 50"));
}

}  // namespace
}  // namespace orvane::testing
