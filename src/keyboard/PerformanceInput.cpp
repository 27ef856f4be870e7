#include "keyboard/PerformanceInput.h"

#include "display/KeyboardDisplay.h"
#include "midi/ToneGen.h"

namespace orvane {

namespace {

constexpr int kPianoKeyCount = 37;

}  // namespace

PerformanceInput::PerformanceInput(CToneGen& toneGen, KeyboardDisplay& display)
    : toneGen_(toneGen), display_(display) {}

bool PerformanceInput::PedalDown(const ModifierState& state) {
  return state.capsLockOn || state.leftShiftDown || state.rightShiftDown;
}

bool PerformanceInput::IsHeld(int keyCode) const {
  return InKeyRange(keyCode) && heldKeys_.test(static_cast<std::size_t>(keyCode));
}

void PerformanceInput::KeyPressed(int keyCode, const ModifierState& state) {
  if (!InKeyRange(keyCode) || IsHeld(keyCode)) return;
  heldKeys_.set(static_cast<std::size_t>(keyCode));
  sustainPedal_ = PedalDown(state);
  switch (keyCode) {
    case kEnterKey:
      MuteAll();
      break;
    case kShiftKey:
      break;
    case kSpaceKey:
      toneGen_.mouseSustain = true;
      break;
    default:
      PlayKey(keyCode);
      break;
  }
}

void PerformanceInput::KeyReleased(int keyCode, const ModifierState& state) {
  if (!InKeyRange(keyCode)) return;
  if (IsHeld(keyCode)) {
    ReleaseHeld(keyCode, state);
    return;
  }
  // The second of two Shift keys was never taken, but letting it go can still lift the pedal;
  // the notes it held must not outlive it.
  if (keyCode == kShiftKey && sustainPedal_ && !PedalDown(state)) {
    sustainPedal_ = false;
    MuteAll();
  }
}

void PerformanceInput::ReleaseHeld(int keyCode, const ModifierState& state) {
  heldKeys_.reset(static_cast<std::size_t>(keyCode));
  sustainPedal_ = PedalDown(state);
  switch (keyCode) {
    case kEnterKey:
    case kShiftKey:
    case kCapsLockKey:
      MuteAll();
      break;
    case kSpaceKey:
      toneGen_.mouseSustain = false;
      break;
    default:
      if (!sustainPedal_) StopKey(keyCode);
      break;
  }
}

void PerformanceInput::ReleaseAllKeys(const ModifierState& state) {
  for (int keyCode = 0; keyCode < kKeyCodeCount; ++keyCode) {
    bool pedalKey = keyCode == kEnterKey || keyCode == kShiftKey || keyCode == kCapsLockKey ||
                    keyCode == kSpaceKey;
    if (!pedalKey && IsHeld(keyCode)) ReleaseHeld(keyCode, state);
  }
  if (IsHeld(kSpaceKey)) ReleaseHeld(kSpaceKey, state);

  ModifierState shiftUp = state;
  shiftUp.leftShiftDown = false;
  shiftUp.rightShiftDown = false;
  // Also when code 16 is not held: a second Shift still down may be what sustains.
  if (IsHeld(kShiftKey) || state.leftShiftDown || state.rightShiftDown) {
    KeyReleased(kShiftKey, shiftUp);
  }
  if (IsHeld(kCapsLockKey)) ReleaseHeld(kCapsLockKey, shiftUp);
  if (IsHeld(kEnterKey)) ReleaseHeld(kEnterKey, shiftUp);
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
  if (button < 0 || button >= KeyLayout::kButtonCount) return;
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
