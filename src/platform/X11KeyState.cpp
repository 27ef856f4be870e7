#include "platform/X11KeyState.h"

#include <cstdlib>
#include <memory>

#include <QGuiApplication>

#if defined(ORVANE_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace orvane {

#if defined(ORVANE_HAVE_XCB)
namespace {

xcb_connection_t* Connection() {
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (application == nullptr) return nullptr;
  auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace
#endif

std::optional<bool> X11KeyIsDown(unsigned keycode) {
#if defined(ORVANE_HAVE_XCB)
  if (keycode == 0 || keycode > 255) return std::nullopt;
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return std::nullopt;
  const std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> reply(
      xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr), &std::free);
  if (!reply) return std::nullopt;
  return (reply->keys[keycode / 8] & (1u << (keycode % 8))) != 0;
#else
  (void)keycode;
  return std::nullopt;
#endif
}

std::optional<bool> X11CapsLockOn() {
#if defined(ORVANE_HAVE_XCB)
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return std::nullopt;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> reply(
      xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr),
      &std::free);
  if (!reply) return std::nullopt;
  return (reply->mask & XCB_MOD_MASK_LOCK) != 0;
#else
  return std::nullopt;
#endif
}

}  // namespace orvane
