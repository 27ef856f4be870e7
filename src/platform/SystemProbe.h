#pragma once

namespace orvane {

// Keeps libasound and libjack off the terminal and stops libjack from starting a JACK server
// behind the user's back. Safe to call more than once; every entry point of the platform layer
// calls it before touching those libraries. It sets environment variables the first time, so the
// program calls it before it starts any thread.
void QuietSystemLibraries();

struct JackServerInfo {
  bool running = false;
  double sampleRate = 0.0;
  int bufferFrames = 0;
};

// True when the ALSA sequencer can be opened (the kernel module is loaded, /dev/snd/seq exists).
bool AlsaSequencerAvailable();

}  // namespace orvane
