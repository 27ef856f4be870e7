#pragma once

#include "keyboard/KeyLayout.h"

namespace orvane {

class CToneGen;
class KeyboardDisplay;

// The sustain-relevant key state as of the key event being handled.
struct ModifierState {
  bool capsLockOn = false;
  bool leftShiftDown = false;
  bool rightShiftDown = false;
};

// Turns what the player does into note events: key presses and releases through the layout,
// mouse presses on the drawn keyboard, the sustain pedal (Shift held, Caps Lock latched, the
// space bar for mouse play), mute, the transposition commands and the layout switch.
// The view forwards its events here and implements KeyboardDisplay.
class PerformanceInput {
 public:
  PerformanceInput(CToneGen& toneGen, KeyboardDisplay& display);

  void KeyPressed(int keyCode, const ModifierState& state);
  void KeyReleased(int keyCode, const ModifierState& state);
  // The view lost the keyboard focus: every held key goes through the release path.
  void ReleaseAllKeys(const ModifierState& state);

  // A left-button press that hit piano key `key` or accordion button `button`.
  void PianoKeyClicked(int key);
  void AccordionButtonClicked(int button);

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
  CToneGen& toneGen_;
  KeyboardDisplay& display_;
  KeyLayout layout_;
  KeyboardType keyboardType_ = KeyboardType::Piano;
  bool layoutSwitchPending_ = false;
  bool sustainPedal_ = false;
};

}  // namespace orvane
