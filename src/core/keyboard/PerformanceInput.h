#pragma once

#include <bitset>

#include "core/keyboard/KeyLayout.h"

namespace orvane {

class CToneGen;
class KeyboardDisplay;

// The sustain-relevant key state as of the key event being handled, that is with the event
// itself already applied: a Shift press reports its side down, a Shift release reports it up,
// and a Caps Lock press reports the toggle it has just set.
struct ModifierState {
  bool capsLockOn = false;
  bool leftShiftDown = false;
  bool rightShiftDown = false;
};

// Turns what the player does into note events: key presses and releases through the layout,
// mouse presses on the drawn keyboard, the sustain pedal (Shift held, Caps Lock latched, the
// space bar for mouse play), mute, the transposition commands and the layout switch.
// The view forwards its events here and implements KeyboardDisplay.
//
// Key codes are Windows virtual-key numbers. Only codes 0 to 255 can be held; any other code
// (the accordion's mouse-only pseudo keys, for instance) is ignored by the key handlers.
//
// Both Shift keys arrive as code 16: the second of two Shift presses is dropped as a repeat.
//
// No note outlives the pedal. Releasing Shift or Caps Lock silences everything. When a key event
// shows the pedal up although the last one left it down, and the event is no Caps Lock press
// (whose release silences), the pedal came up where the key handlers could not see it: the
// second of two Shift keys was let go (its release is otherwise ignored) or Caps Lock was turned
// off in another window. Everything is silenced then too, before the event plays anything.
class PerformanceInput {
 public:
  static constexpr int kKeyCodeCount = 256;

  PerformanceInput(CToneGen& toneGen, KeyboardDisplay& display);

  // A key-down message. Auto-repeats (the code is already held) do nothing.
  void KeyPressed(int keyCode, const ModifierState& state);
  // A key-up message. A code that is not held (its press went to another window, or it is the
  // second Shift) only has the pedal checked as said above.
  void KeyReleased(int keyCode, const ModifierState& state);

  // The view lost the keyboard focus, so it will not see the releases of the keys now down.
  // Every held key goes through the ordinary release path at once, in this order:
  //  1. the note keys, in ascending key code, with the pedal as `state` says: a Shift held or
  //     Caps Lock on keeps them sounding, exactly as if the player had let go of them first;
  //  2. the space bar: mouse play stops sustaining (mouse notes keep sounding as on any release);
  //  3. Shift, then Caps Lock, then Enter: each release silences everything, so whatever a
  //     held Shift kept sounding stops (also when the Shift still down is the untaken second
  //     one); a Caps Lock latch that is on stays on and keeps the notes released in step 1
  //     sounding, as the latch does while the window has the focus.
  // `state` is the modifier state at the moment the focus went; the view forgets the Shift keys
  // it tracked afterwards (their releases will not reach it). Afterwards no key is held.
  void ReleaseAllKeys(const ModifierState& state);

  // The view learned the key state outside a key event, typically when the focus comes back
  // (Caps Lock may have been turned off meanwhile). A pedal found up silences what it held;
  // nothing else changes.
  void ModifiersChanged(const ModifierState& state);

  // A left-button press that hit piano key `key` (0 to 36) or accordion button `button`
  // (0 to 48). Other values are ignored.
  void PianoKeyClicked(int key);
  void AccordionButtonClicked(int button);

  // Silences every note and draws every key of the current layout released. Held keys, the
  // pedal, mouse sustain and the shifts stay as they are.
  void MuteAll();
  // Transposition commands: MuteAll, then the tone generator's shift operation.
  void OctaveUp();
  void OctaveDown();
  void OctaveStandard();
  void SemitoneUp();
  void SemitoneDown();
  void SemitoneStandard();

  // Silences everything, switches the note table and asks for a full paint. Any value other
  // than 1 selects the piano layout.
  void SetKeyboardType(int type);
  KeyboardType keyboardType() const { return keyboardType_; }
  const KeyLayout& layout() const { return layout_; }

  // True from a layout switch to the end of the next full paint; hover and double-click presses
  // are skipped meanwhile.
  bool layoutSwitchPending() const { return layoutSwitchPending_; }
  void FullPaintFinished() { layoutSwitchPending_ = false; }

  bool IsHeld(int keyCode) const;
  bool sustainPedal() const { return sustainPedal_; }

 private:
  static bool PedalDown(const ModifierState& state);
  // Recomputes the pedal at a taken key event; true when it was down and is up now.
  bool TakePedal(const ModifierState& state);
  void SilenceIfPedalLifted(const ModifierState& state);
  static bool InKeyRange(int keyCode) { return keyCode >= 0 && keyCode < kKeyCodeCount; }
  void ReleaseHeld(int keyCode, const ModifierState& state);
  void PlayKey(int keyCode);
  void StopKey(int keyCode);
  void RepaintAllReleased();

  CToneGen& toneGen_;
  KeyboardDisplay& display_;
  KeyLayout layout_;
  KeyboardType keyboardType_ = KeyboardType::Piano;
  bool layoutSwitchPending_ = false;
  bool sustainPedal_ = false;
  // Fixed size, so taking or dropping a key never allocates.
  std::bitset<kKeyCodeCount> heldKeys_;
};

}  // namespace orvane
