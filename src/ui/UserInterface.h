#pragma once

#include "midi_system/SystemMidiLayer.h"

namespace orvane {

// Runs the whole program from the start of Qt to the end of its event loop and returns the exit
// status. `midiStartup` is the MIDI layer the executable started before Qt, which it takes over.
int RunUserInterface(int argc, char* argv[], SystemMidiStartup midiStartup);

}  // namespace orvane
