#pragma once

#include "platform/SystemMidiLayer.h"

// The user interface is a module of its own (orvane-ui.so), loaded by the program's executable
// once that has started the MIDI layer: Qt's libraries then load while the synthesizer's process
// begins and the ports are listed. It runs the whole program from there and returns its exit
// status; `startedMidi` is the started MIDI layer, which it takes over.
extern "C" int OrvaneRunUserInterface(int argc, char* argv[],
                                      orvane::SystemMidiStartup* startedMidi);

namespace orvane {

inline constexpr const char* kUserInterfaceFileName = "orvane-ui.so";
inline constexpr const char* kUserInterfaceEntryName = "OrvaneRunUserInterface";

}  // namespace orvane
