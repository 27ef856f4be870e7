#include <csignal>
#include <cstdlib>
#include <string>
#include <utility>

#include "midi_system/SystemMidiLayer.h"
#include "program/CommandLine.h"
#include "ui/SessionEnd.h"
#include "ui/UserInterface.h"

namespace {

// Qt's X11 start takes DESKTOP_STARTUP_ID out of the environment while the MIDI threads may read
// the environment. Removing a variable shifts those behind it, which a concurrent reader can
// miss; moving it to the end before any thread starts leaves nothing behind it to shift.
void MoveStartupIdToTheEnd() {
  const char* id = std::getenv("DESKTOP_STARTUP_ID");
  if (id == nullptr) return;
  const std::string value = id;
  unsetenv("DESKTOP_STARTUP_ID");
  setenv("DESKTOP_STARTUP_ID", value.c_str(), 1);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const auto status = orvane::AnswerTextRequestOnly(argc, argv)) return *status;
  // libjack writes its requests to the server's socket with write(): a request in flight while
  // the JACK server stops would end the whole program with SIGPIPE. Ignored, the write fails
  // with EPIPE, libjack reports the server gone, and the ports are opened again when it returns.
  std::signal(SIGPIPE, SIG_IGN);
  // Until the window is shown, a stop signal ends the process at once with status 1.
  orvane::EndProcessOnStopSignals();
  MoveStartupIdToTheEnd();
  // The audio output, the SoundFont and the port listing take about as long as the window:
  // started before Qt, they are under way while the window is built.
  orvane::SystemMidiStartup midiStartup = orvane::StartSystemMidi();
  return orvane::RunUserInterface(argc, argv, std::move(midiStartup));
}
