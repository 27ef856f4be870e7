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

constexpr int kStoppedWhileStartingStatus = 1;

#ifndef _WIN32
int signalPipe[2] = {-1, -1};
// Set while a shown main window takes stop signals through the pipe.
volatile std::sig_atomic_t closeOnStop = 0;

void OnStopSignal(int /*signal*/) {
  // Only async-signal-safe work here: the end of the process, or one byte into the pipe.
  if (closeOnStop == 0) ::_exit(kStoppedWhileStartingStatus);
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void HandleStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}
#endif

}  // namespace

void EndProcessOnStopSignals() {
#ifndef _WIN32
  closeOnStop = 0;
  HandleStopSignals();
#endif
}

SessionEnd::SessionEnd(std::function<void()> closeMainWindow)
    : closeMainWindow_(std::move(closeMainWindow)) {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { closeMainWindow_(); });
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { closeMainWindow_(); });
  }
#ifndef _WIN32
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
    closeMainWindow_();
  });
  HandleStopSignals();
#endif
}

void SessionEnd::MainWindowShown() {
#ifndef _WIN32
  // Without the pipe a stop keeps ending the process at once.
  if (notifier_ != nullptr) closeOnStop = 1;
#endif
}

SessionEnd::~SessionEnd() {
#ifndef _WIN32
  // Stops that come from here on end the process at once, as during the start.
  closeOnStop = 0;
  if (notifier_ == nullptr) return;
  ::close(signalPipe[0]);
  ::close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
#endif
}

}  // namespace orvane
