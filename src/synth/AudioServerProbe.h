#pragma once

#include <functional>
#include <string>

#include "process_common/SynthProtocol.h"

namespace orvane {

// What the built-in synthesizer asks the audio servers before it opens its output. These live
// with the synthesizer in its own process (libpulse is loaded only there).

// Keeps libasound, libjack and FluidSynth off the terminal (once per process). Sets nothing in
// the environment, so any thread may call it.
void QuietAudioLibraries();

// Asks the JACK server named by JACK_DEFAULT_SERVER (or the default one) for its sample rate and
// period, without starting one.
JackServerInfo ProbeJackServer();

// Whether a PulseAudio (or PipeWire) server is there: its socket (PulseSocketPath) takes a
// connection, or else libpulse connects within a second. Never spawns a server.
bool PulseServerRunning();

// The local socket a PulseAudio client tries first, from the environment as `environment` reads
// it (PULSE_SERVER naming one socket, else the user's runtime directory), or "" when the
// environment names no single local socket.
std::string PulseSocketPath(const std::function<const char*(const char*)>& environment);

// The rate ALSA's "default" playback device runs at when asked for `wanted`, or 0 when it cannot
// be opened.
double ProbeAlsaSampleRate(double wanted);

}  // namespace orvane
