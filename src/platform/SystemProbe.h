#pragma once

namespace orvane {

// Keeps libasound, libjack and FluidSynth off the terminal and stops libjack from starting a JACK
// server behind the user's back. Safe to call more than once; every entry point of the platform
// layer calls it before touching those libraries. It sets environment variables the first time,
// so the program calls it before it starts any thread.
void QuietSystemLibraries();

struct JackServerInfo {
  bool running = false;
  double sampleRate = 0.0;
  int bufferFrames = 0;
};

// Asks the JACK server named by JACK_DEFAULT_SERVER (or the default one) for its sample rate and
// period, without starting one.
JackServerInfo ProbeJackServer();

// The sample rate of the PulseAudio (or PipeWire) server's default sink, or 0 when no server
// answers within a second. Never spawns a server.
double ProbePulseSampleRate();

// The rate ALSA's "default" playback device runs at when asked for `wanted`, or 0 when it cannot
// be opened.
double ProbeAlsaSampleRate(double wanted);

// True when the ALSA sequencer can be opened (the kernel module is loaded, /dev/snd/seq exists).
bool AlsaSequencerAvailable();

}  // namespace orvane
