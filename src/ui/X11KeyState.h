#pragma once

#include <optional>

struct xcb_connection_t;

namespace orvane {

// The program's connection to the X server; null off X11.
xcb_connection_t* X11Connection();

// Asks the X server, once per run, to send no release for a key it repeats: a held key then
// arrives as one press, repeated presses and one release when it is let go, so a release is
// always a real one, however late the program handles it. True when the server agreed; false
// off X11 or when the server does not offer it (then only the releases Qt marks as repeats can
// be told apart). Later calls return the first answer.
bool EnableX11DetectableAutoRepeat();

// Whether Caps Lock is on for the X server right now; none off X11 or without an answer.
std::optional<bool> X11CapsLockOn();

}  // namespace orvane
