#pragma once

#include <cstdint>

namespace orvane {

// Which of a pair of keys (the two Shift keys) a key event came from.
enum class KeySide { None, Left, Right };

struct MappedKey {
  int virtualKey = 0;  // Windows virtual-key number, 0 for a key the program does not know
  KeySide side = KeySide::None;
  bool operator==(const MappedKey&) const = default;
};

// The US-layout key at the physical position of an X11 keycode (the evdev code plus 8, as the
// xcb and Wayland platforms report it as the native scan code). The position decides, not the
// symbol, so the rows play the same under AZERTY, QWERTZ or Dvorak. Keypad keys other than
// Enter are unknown: with Num Lock they would be digits, without it navigation keys.
MappedKey VirtualKeyFromX11Keycode(std::uint32_t keycode);

// For key events without a native code (synthetic events): the key by its Qt key number. Shifted
// US symbols give the key they are on ('<' is the comma key), since Shift is the sustain pedal
// and the note keys are played with it held. The two Shift keys cannot be told apart: side None.
MappedKey VirtualKeyFromQtKey(int qtKey);

// The key of an event: by its native code when it has one, else by its Qt key.
MappedKey VirtualKeyOfEvent(std::uint32_t nativeScanCode, int qtKey);

}  // namespace orvane
