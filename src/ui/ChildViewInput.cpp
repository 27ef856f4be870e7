// The view's keyboard and mouse events: each becomes a key code, a hit test or a command of the
// playing logic, which decides what sounds and what is drawn.
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "core/keyboard/KeyCodes.h"
#include "core/keyboard/NativeKeyMap.h"
#include "ui/ChildView.h"
#include "ui/X11KeyState.h"

namespace orvane {
namespace {

constexpr quint32 kLockMask = 0x2;  // XKB's Lock, a core modifier of every keymap

}  // namespace

// Keys map by their position: the native scan code names the US-layout key there, so the rows
// play alike on every layout. Synthetic events without one fall back to the Qt key.
MappedKey CChildView::KeyOf(const QKeyEvent& event) const {
  return VirtualKeyOfEvent(event.nativeScanCode(), event.key());
}

// Keeps the sustain-relevant key state as of this event: Shift sides by native code, Caps Lock
// from the event's XKB state (the state before the event, on X11 and Wayland alike; on Wayland
// the state that came with the focus arrives this way too) or tracked from its presses.
void CChildView::TrackModifiers(const QKeyEvent& event, const MappedKey& key, bool pressed) {
  const int keyCode = key.virtualKey;
  const bool stateInEvent = keyState_ != KeyState::Tracked;
  if (keyCode == key::kShift) {
    if (key.side == KeySide::Right) {
      modifiers_.rightShiftDown = pressed;
    } else {
      modifiers_.leftShiftDown = pressed;
    }
  }
  if (keyCode == key::kCapsLock) {
    // The latch flips at the press; its release reports what the press made of it.
    if (pressed) {
      modifiers_.capsLockOn =
          stateInEvent ? (event.nativeModifiers() & kLockMask) == 0 : !modifiers_.capsLockOn;
    }
  } else if (stateInEvent) {
    modifiers_.capsLockOn = (event.nativeModifiers() & kLockMask) != 0;
  }
}

void CChildView::keyPressEvent(QKeyEvent* event) {
  releasePairing_.BeforePress(*event);
  // Alt+F4 is the platform's close key; without a window manager to take it, it arrives here.
  if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
    window()->close();
    return;
  }
  const MappedKey key = KeyOf(*event);
  if (key.virtualKey == 0) return;
  TrackModifiers(*event, key, true);
  input_.KeyPressed(key.virtualKey, modifiers_);
}

// A release taken for a repeat would stop a held note. The X server, asked at focus-in, sends
// a held key as presses only; where it does not, the release it sends before each repeated
// press is told by the timestamp it shares with that press. Whether the key is down by the time
// the release is handled tells nothing: the player may have struck it again meanwhile.
void CChildView::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  releasePairing_.Release(*event);
}

void CChildView::TakeRelease(const QKeyEvent& event) {
  const MappedKey key = KeyOf(event);
  if (key.virtualKey == 0) return;
  TrackModifiers(event, key, false);
  input_.KeyReleased(key.virtualKey, modifiers_);
}

// Keys released while another window has the focus never reach the view; releasing them when
// the focus goes keeps notes from hanging.
void CChildView::focusOutEvent(QFocusEvent* event) {
  releasePairing_.Flush();
  input_.ReleaseAllKeys(modifiers_);
  // Their releases will not reach the view either.
  modifiers_.leftShiftDown = false;
  modifiers_.rightShiftDown = false;
  // No QWidget::focusOutEvent: it repaints the whole view for a focus frame the view does not
  // draw, which would show keys that still sound as released.
  event->accept();
}

// Caps Lock may have changed in another window; the Shift keys were forgotten at focus loss.
// A pedal found up stops what it held. Qt on Wayland keeps the modifier state that comes with
// the focus to itself: the next key event brings it, before that key is handled (nothing is
// held meanwhile: the focus loss released every key).
void CChildView::focusInEvent(QFocusEvent* event) {
  const bool x11 = keyState_ == KeyState::X11;
  // Before the first key event reaches the view; the server is asked only the first time.
  releasePairing_.SetActive(x11 && !EnableX11DetectableAutoRepeat());
  if (x11) modifiers_.capsLockOn = X11CapsLockOn().value_or(modifiers_.capsLockOn);
  input_.ModifiersChanged(modifiers_);
  event->accept();  // nor QWidget's repaint here
}

// A change of activation changes nothing the view shows: QWidget would repaint it all when the
// palette's active and inactive colours differ, and so draw keys that still sound as released.
bool CChildView::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
    return true;
  }
  return QWidget::event(event);
}

bool CChildView::focusNextPrevChild(bool /*next*/) {
  return false;  // Tab is a key like any other here
}

std::optional<int> CChildView::KeyAt(QPoint point) const {
  const IntPoint at{point.x(), point.y()};
  if (input_.keyboardType() == KeyboardType::Accordion) {
    return AccordionButtonAt(at, painter_.client());
  }
  return painter_.piano().PianoKeyAt(at);
}

void CChildView::PressAt(QPoint point) {
  const std::optional<int> key = KeyAt(point);
  if (!key) return;
  if (input_.keyboardType() == KeyboardType::Accordion) {
    input_.AccordionButtonClicked(*key);
  } else {
    input_.PianoKeyClicked(*key);
  }
  setCursor(Qt::PointingHandCursor);
}

void CChildView::HoverAt(QPoint point) {
  setCursor(KeyAt(point) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CChildView::mousePressEvent(QMouseEvent* event) {
  releasePairing_.Flush();
  if (event->button() == Qt::LeftButton) {
    PressAt(event->position().toPoint());
  } else if (event->button() == Qt::RightButton) {
    input_.MuteAll();
  }
}

// The second press of a quick pair arrives as a double-click; it plays like a press unless a
// layout switch still awaits its paint.
void CChildView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && input_.layoutSwitchPending()) return;
  mousePressEvent(event);
}

void CChildView::mouseReleaseEvent(QMouseEvent* event) {
  const bool hoverButton = event->button() == Qt::LeftButton || event->button() == Qt::RightButton;
  if (hoverButton && !input_.layoutSwitchPending()) HoverAt(event->position().toPoint());
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
  if (input_.layoutSwitchPending()) {
    setCursor(Qt::ArrowCursor);
    return;
  }
  HoverAt(event->position().toPoint());
}

}  // namespace orvane
