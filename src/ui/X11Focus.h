#pragma once

class QWidget;

namespace orvane {

// With no window manager nobody moves the X input focus between the program's windows: Qt gives
// a new window the keys only once it has handled the window's map notification, so keys typed
// right after a dialog appeared still went to the window below, which the dialog blocks; and
// when a window goes, the keys fall to the root window. These move the keys at once. With a
// window manager, or off X11, they do nothing: the window manager moves the focus.

// Called right after `window` was shown: gives it the keys, now that it is on the screen.
void TakeX11FocusWhenShown(QWidget& window);

// Called right before `window` hides: gives the keys to the window it belongs to (its parent's
// window), or to `next` when it has none.
void PassX11FocusOnHide(QWidget& window, QWidget* next = nullptr);

}  // namespace orvane
