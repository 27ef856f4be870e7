#pragma once

#include <optional>

namespace orvane {

// Whether the key at an X11 keycode is down on the X server right now; none when the program
// does not run on X11 or the server does not answer. The X server repeats a held key as a
// release and a press with one timestamp, and Qt does not always see the press in time to mark
// the release as a repeat; the server's key map tells a repeat (key still down) from a release.
std::optional<bool> X11KeyIsDown(unsigned keycode);

// Whether Caps Lock is on for the X server right now; none off X11 or without an answer.
std::optional<bool> X11CapsLockOn();

}  // namespace orvane
