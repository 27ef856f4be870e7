#include "ui/X11Focus.h"

#include <cstdlib>
#include <memory>

#include <QWidget>

#include "ui/X11KeyState.h"

#if defined(ORVANE_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace orvane {

#if defined(ORVANE_HAVE_XCB)
namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// A window manager names itself on the root window (_NET_SUPPORTING_WM_CHECK).
bool WindowManagerRuns(xcb_connection_t* connection) {
  static constexpr char kName[] = "_NET_SUPPORTING_WM_CHECK";
  const ReplyPtr<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName),
                            nullptr),
      &std::free);
  if (!atom || atom->atom == XCB_ATOM_NONE) return false;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const ReplyPtr<xcb_get_property_reply_t> property(
      xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
          nullptr),
      &std::free);
  return property && xcb_get_property_value_length(property.get()) > 0;
}

// Gives the keys to `window` if the server can (the window is viewable); a refusal is ours to
// ignore, not an error for Qt to report.
void Focus(xcb_connection_t* connection, const QWidget& window) {
  const auto id = static_cast<xcb_window_t>(window.winId());
  std::free(xcb_request_check(
      connection,
      xcb_set_input_focus_checked(connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME)));
}

}  // namespace
#endif

void TakeX11FocusWhenShown(QWidget& window) {
#if defined(ORVANE_HAVE_XCB)
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr || !window.isWindow() || !window.isVisible()) return;
  // Qt has asked for the map on this connection, and the server reads the focus request right
  // after it: the window has the keys before any key that comes after it is on the screen. A
  // window manager holds the map back; the window is not viewable then, and the server refuses.
  Focus(connection, window);
#else
  (void)window;
#endif
}

void PassX11FocusOnHide(QWidget& window, QWidget* next) {
#if defined(ORVANE_HAVE_XCB)
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr || !window.isVisible()) return;
  QWidget* to = window.parentWidget() != nullptr ? window.parentWidget()->window() : next;
  if (to == nullptr || !to->isVisible() || WindowManagerRuns(connection)) return;
  Focus(connection, *to);
#else
  (void)window;
  (void)next;
#endif
}

}  // namespace orvane
