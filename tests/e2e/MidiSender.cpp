// A JACK MIDI output port for the end-to-end tests, a hardware keyboard stand-in: sends every
// line of hexadecimal bytes it reads from standard input ("90 3c 7f") as one message, and writes
// "ready" to standard output once the port exists. Ends at the end of its input or on SIGTERM.
// Usage: orvane_e2e_sender PORT-NAME
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <RtMidi.h>

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PORT-NAME\n", argv[0]);
    return 2;
  }
  try {
    RtMidiOut output(RtMidi::UNIX_JACK, "orvane-e2e-keys");
    output.openVirtualPort(argv[1]);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
      std::istringstream fields(line);
      std::vector<unsigned char> message;
      for (std::string byte; fields >> byte;) {
        message.push_back(static_cast<unsigned char>(std::strtoul(byte.c_str(), nullptr, 16)));
      }
      if (!message.empty()) output.sendMessage(&message);
    }
    output.closePort();
  } catch (const RtMidiError& error) {
    std::fprintf(stderr, "sender: %s\n", error.getMessage().c_str());
    return 1;
  }
  return 0;
}
