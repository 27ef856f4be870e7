// Lists the MIDI outputs as the program numbers them, one "device<TAB>name" line each, so the
// end-to-end scripts can point the program at a port of their own.
#include <cstdio>
#include <exception>

#include "midi_system/SystemMidiLayer.h"

int main() {
  try {
    // Without the built-in synthesizer: the system ports keep their numbers and listing is quick.
    orvane::SystemMidiLayer::Options options;
    options.builtInSynth = false;
    orvane::SystemMidiLayer layer([] {}, options);
    orvane::MidiLayer* midi = &layer;
    const int count = midi->OutputDeviceCount();
    for (int device = 0; device < count; ++device) {
      std::printf("%d\t%s\n", device, midi->OutputDeviceName(device).c_str());
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "list outputs: %s\n", error.what());
    return 1;
  }
  return 0;
}
