#include "ui/X11KeyState.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QGuiApplication>

#if defined(ORVANE_HAVE_XCB)
#include <xcb/xcb.h>
#if defined(ORVANE_HAVE_XCB_XKB)
// The header names a structure member `explicit`, a keyword of C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#endif
#endif

namespace orvane {

xcb_connection_t* X11Connection() {
#if defined(ORVANE_HAVE_XCB)
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (application == nullptr) return nullptr;
  auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
#else
  return nullptr;
#endif
}

#if defined(ORVANE_HAVE_XCB)
namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

#if defined(ORVANE_HAVE_XCB_XKB)
bool AskForDetectableAutoRepeat(xcb_connection_t* connection) {
  // The server answers requests of the extension only after this one (Qt sends it too).
  const ReplyPtr<xcb_xkb_use_extension_reply_t> use(
      xcb_xkb_use_extension_reply(
          connection,
          xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr),
      &std::free);
  if (!use || !use->supported) return false;
  constexpr auto kFlag = static_cast<std::uint32_t>(XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT);
  const ReplyPtr<xcb_xkb_per_client_flags_reply_t> reply(
      xcb_xkb_per_client_flags_reply(
          connection,
          xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, kFlag, kFlag, 0, 0, 0),
          nullptr),
      &std::free);
  return reply && (reply->value & kFlag) != 0;
}
#endif

}  // namespace
#endif

bool EnableX11DetectableAutoRepeat() {
#if defined(ORVANE_HAVE_XCB) && defined(ORVANE_HAVE_XCB_XKB)
  static const bool enabled = [] {
    xcb_connection_t* connection = X11Connection();
    return connection != nullptr && AskForDetectableAutoRepeat(connection);
  }();
  return enabled;
#else
  return false;
#endif
}

std::optional<bool> X11CapsLockOn() {
#if defined(ORVANE_HAVE_XCB)
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr) return std::nullopt;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const ReplyPtr<xcb_query_pointer_reply_t> reply(
      xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr),
      &std::free);
  if (!reply) return std::nullopt;
  return (reply->mask & XCB_MOD_MASK_LOCK) != 0;
#else
  return std::nullopt;
#endif
}

}  // namespace orvane
