// A JACK MIDI input port for the end-to-end test: writes every message it receives as one line
// of hexadecimal bytes to a file, and "ready" to standard output once the port exists.
// Usage: orvane_e2e_receiver PORT-NAME OUTPUT-FILE [CLIENT-NAME]
// The client is "orvane-e2e" unless named: JACK gives the second of a name another ("-01"),
// which a client started again after its server does not get back.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include <RtMidi.h>

namespace {

std::atomic<bool> stopRequested{false};

void OnStop(int /*signal*/) {
  stopRequested = true;
}

void OnMessage(double /*delta*/, std::vector<unsigned char>* message, void* userData) {
  auto* out = static_cast<std::FILE*>(userData);
  for (std::size_t i = 0; i < message->size(); ++i) {
    std::fprintf(out, i == 0 ? "%02x" : " %02x", static_cast<unsigned>((*message)[i]));
  }
  std::fputc('\n', out);
  std::fflush(out);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s PORT-NAME OUTPUT-FILE [CLIENT-NAME]\n", argv[0]);
    return 2;
  }
  // Appending, so the test can empty the file between its checks while the port stays open.
  std::FILE* out = std::fopen(argv[2], "a");
  if (out == nullptr) return 1;
  std::signal(SIGTERM, OnStop);
  std::signal(SIGINT, OnStop);
  try {
    RtMidiIn input(RtMidi::UNIX_JACK, argc == 4 ? argv[3] : "orvane-e2e");
    input.ignoreTypes(true, true, true);
    input.setCallback(OnMessage, out);
    input.openVirtualPort(argv[1]);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    input.closePort();
  } catch (const RtMidiError& error) {
    std::fprintf(stderr, "receiver: %s\n", error.getMessage().c_str());
    return 1;
  }
  std::fclose(out);
  return 0;
}
