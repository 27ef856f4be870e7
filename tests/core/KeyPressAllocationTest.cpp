#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "NullMidiLayer.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/keyboard/KeyLayout.h"
#include "core/midi/ToneGen.h"

namespace orvane::testing {
namespace {

// Every key of both layouts, pressed and released on all 16 layers with shifts in force, and
// the hardware keyboard's notes passed through: none of it may touch the heap.
TEST(KeyPressPath, AllocatesNothing) {
  TempDir dir;
  CIniFile ini(dir.path().string());
  NullMidiLayer midi;
  SilentUserMessages messages;
  CToneGen tone(midi, messages, ini);
  tone.voice.layerOn.fill(true);
  tone.OctaveUp();
  tone.SemitoneDown();
  KeyLayout layout;

  std::size_t before = 0;
  std::size_t after = 0;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 0) {
      layout.BuildPianoKeys();
    } else {
      layout.BuildAccordionKeys();
    }
    midi.sent = 0;
    before = AllocationCount();
    for (int keyCode = 0; keyCode <= 1100; ++keyCode) {
      const NoteList notes = layout.NotesForKey(keyCode);
      tone.NotesOn(notes);
      tone.NotesOff(notes);
      (void)layout.ButtonForKey(keyCode);
    }
    for (int note = 0; note < 128; ++note) {
      tone.MidiThru(PackShortMessage(0x90, static_cast<std::uint8_t>(note), 100));
      tone.MidiThru(PackShortMessage(0x80, static_cast<std::uint8_t>(note), 0));
    }
    tone.mouseSustain = true;
    tone.MouseNote(12);
    tone.Reset();
    tone.SendProgramsAndVolumes();
    after = AllocationCount();
    EXPECT_EQ(after - before, 0u) << (pass == 0 ? "piano" : "accordion");
    EXPECT_GT(midi.sent, 1000u);  // the loop did play
  }
}

// The counter itself works, or the test above proves nothing.
TEST(KeyPressPath, CounterSeesAnAllocation) {
  const std::size_t before = AllocationCount();
  int* volatile value = new int(5);  // volatile: the pair may not be optimized away
  EXPECT_EQ(AllocationCount() - before, 1u);
  delete value;
}

}  // namespace
}  // namespace orvane::testing
