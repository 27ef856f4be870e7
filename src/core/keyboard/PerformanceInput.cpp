#include "core/keyboard/PerformanceInput.h"

#include "core/display/KeyboardDisplay.h"
#include "core/keyboard/KeyCodes.h"
#include "core/midi/ToneGen.h"

namespace orvane {

PerformanceInput::PerformanceInput(CToneGen& toneGen, KeyboardDisplay& display)
    : toneGen_(toneGen), display_(display) {}

bool PerformanceInput::PedalDown(const ModifierState& state) {
  return state.capsLockOn || state.leftShiftDown || state.rightShiftDown;
}

bool PerformanceInput::IsHeld(int keyCode) const {
  return InKeyRange(keyCode) && heldKeys_.test(static_cast<std::size_t>(keyCode));
}

bool PerformanceInput::TakePedal(const ModifierState& state) {
  bool wasDown = sustainPedal_;
  sustainPedal_ = PedalDown(state);
  return wasDown && !sustainPedal_;
}

void PerformanceInput::SilenceIfPedalLifted(const ModifierState& state) {
  if (sustainPedal_ && !PedalDown(state)) {
    sustainPedal_ = false;
    MuteAll();
  }
}

void PerformanceInput::KeyPressed(int keyCode, const ModifierState& state) {
  if (!InKeyRange(keyCode) || IsHeld(keyCode)) return;
  heldKeys_.set(static_cast<std::size_t>(keyCode));
  bool pedalLifted = TakePedal(state);
  switch (keyCode) {
    case key::kEnter:
      MuteAll();
      break;
    case key::kShift:
      break;
    case key::kCapsLock:
      // Turning the latch off stops nothing yet: the release of Caps Lock does.
      break;
    case key::kSpace:
      if (pedalLifted) MuteAll();
      toneGen_.mouseSustain = true;
      break;
    default:
      if (pedalLifted) MuteAll();
      PlayKey(keyCode);
      break;
  }
}

void PerformanceInput::KeyReleased(int keyCode, const ModifierState& state) {
  if (!InKeyRange(keyCode)) return;
  if (IsHeld(keyCode)) {
    ReleaseHeld(keyCode, state);
  } else {
    // Not taken, but it may show the pedal up: the second of two Shift keys let go, or Caps Lock
    // turned off in another window.
    SilenceIfPedalLifted(state);
  }
}

void PerformanceInput::ModifiersChanged(const ModifierState& state) {
  SilenceIfPedalLifted(state);
}

void PerformanceInput::ReleaseHeld(int keyCode, const ModifierState& state) {
  heldKeys_.reset(static_cast<std::size_t>(keyCode));
  bool pedalLifted = TakePedal(state);
  switch (keyCode) {
    case key::kEnter:
    case key::kShift:
    case key::kCapsLock:
      MuteAll();
      break;
    case key::kSpace:
      if (pedalLifted) MuteAll();
      toneGen_.mouseSustain = false;
      break;
    default:
      if (pedalLifted) {
        MuteAll();
      } else if (!sustainPedal_) {
        StopKey(keyCode);
      }
      break;
  }
}

void PerformanceInput::ReleaseAllKeys(const ModifierState& state) {
  for (int keyCode = 0; keyCode < kKeyCodeCount; ++keyCode) {
    bool pedalKey = keyCode == key::kEnter || keyCode == key::kShift || keyCode == key::kCapsLock ||
                    keyCode == key::kSpace;
    if (!pedalKey && IsHeld(keyCode)) ReleaseHeld(keyCode, state);
  }
  if (IsHeld(key::kSpace)) ReleaseHeld(key::kSpace, state);

  // The view forgets the Shift keys with the focus: from here on they count as up.
  ModifierState shiftUp = state;
  shiftUp.leftShiftDown = false;
  shiftUp.rightShiftDown = false;
  for (int pedalKey : {key::kShift, key::kCapsLock, key::kEnter}) {
    if (IsHeld(pedalKey)) ReleaseHeld(pedalKey, shiftUp);
  }
  // A Shift that was never taken (the second of two) may still have been sustaining.
  SilenceIfPedalLifted(shiftUp);
}

void PerformanceInput::PlayKey(int keyCode) {
  NoteList notes = layout_.NotesForKey(keyCode);
  if (notes.empty()) return;
  toneGen_.NotesOn(notes);
  if (keyboardType_ == KeyboardType::Piano) {
    display_.PaintPianoKeysPressed(notes);
  } else {
    display_.PaintAccordionButtonPressed(layout_.ButtonForKey(keyCode));
  }
}

void PerformanceInput::StopKey(int keyCode) {
  NoteList notes = layout_.NotesForKey(keyCode);
  if (notes.empty()) return;
  toneGen_.NotesOff(notes);
  if (keyboardType_ == KeyboardType::Piano) {
    display_.PaintPianoKeysReleased(notes);
  } else {
    display_.PaintAccordionButtonReleased(layout_.ButtonForKey(keyCode));
  }
}

void PerformanceInput::PianoKeyClicked(int key) {
  if (key < 0 || key >= kPianoKeyCount) return;
  toneGen_.MouseNote(key);
  if (!toneGen_.mouseSustain) display_.RepaintPianoKeys();
  display_.PaintPianoKeyPressed(key);
}

void PerformanceInput::AccordionButtonClicked(int button) {
  if (button < 0 || button >= kAccordionButtonCount) return;
  if (!toneGen_.mouseSustain) {
    toneGen_.Reset();
    display_.RepaintAccordionButtons();
  }
  toneGen_.NotesOn(layout_.NotesForKey(layout_.KeyForButton(button)));
  display_.PaintAccordionButtonPressed(button);
}

void PerformanceInput::RepaintAllReleased() {
  if (keyboardType_ == KeyboardType::Piano) {
    display_.RepaintPianoKeys();
  } else {
    display_.RepaintAccordionButtons();
  }
}

void PerformanceInput::MuteAll() {
  toneGen_.Reset();
  RepaintAllReleased();
}

void PerformanceInput::OctaveUp() {
  MuteAll();
  toneGen_.OctaveUp();
}

void PerformanceInput::OctaveDown() {
  MuteAll();
  toneGen_.OctaveDown();
}

void PerformanceInput::OctaveStandard() {
  MuteAll();
  toneGen_.OctaveStandard();
}

void PerformanceInput::SemitoneUp() {
  MuteAll();
  toneGen_.SemitoneUp();
}

void PerformanceInput::SemitoneDown() {
  MuteAll();
  toneGen_.SemitoneDown();
}

void PerformanceInput::SemitoneStandard() {
  MuteAll();
  toneGen_.SemitoneStandard();
}

void PerformanceInput::SetKeyboardType(int type) {
  layoutSwitchPending_ = true;
  toneGen_.Reset();
  keyboardType_ = type == static_cast<int>(KeyboardType::Accordion) ? KeyboardType::Accordion
                                                                    : KeyboardType::Piano;
  display_.InvalidateAll();
  RepaintAllReleased();
  if (keyboardType_ == KeyboardType::Piano) {
    layout_.BuildPianoKeys();
  } else {
    layout_.BuildAccordionKeys();
  }
}

}  // namespace orvane
