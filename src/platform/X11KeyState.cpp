#include "platform/X11KeyState.h"

#include <cstdlib>
#include <memory>

#include <QGuiApplication>

#if defined(ORVANE_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace orvane {

std::optional<bool> X11KeyIsDown(unsigned keycode) {
#if defined(ORVANE_HAVE_XCB)
  if (keycode == 0 || keycode > 255) return std::nullopt;
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (application == nullptr) return std::nullopt;
  auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
  xcb_connection_t* connection = x11->connection();
  const std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> reply(
      xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr), &std::free);
  if (!reply) return std::nullopt;
  return (reply->keys[keycode / 8] & (1u << (keycode % 8))) != 0;
#else
  (void)keycode;
  return std::nullopt;
#endif
}

}  // namespace orvane
