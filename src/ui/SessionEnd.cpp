#include "ui/SessionEnd.h"

#include <csignal>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace orvane {
namespace {

#ifndef _WIN32
int signalPipe[2] = {-1, -1};

void OnStopSignal(int /*signal*/) {
  const char byte = 1;
  // Only async-signal-safe work here: one byte into the pipe.
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}
#endif

}  // namespace

SessionEnd::SessionEnd(std::function<void()> closeMainWindow)
    : closeMainWindow_(std::move(closeMainWindow)) {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { closeMainWindow_(); });
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { closeMainWindow_(); });
  }
#ifndef _WIN32
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
    closeMainWindow_();
  });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
}

SessionEnd::~SessionEnd() {
#ifndef _WIN32
  if (notifier_ == nullptr) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  ::close(signalPipe[0]);
  ::close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
#endif
}

}  // namespace orvane
