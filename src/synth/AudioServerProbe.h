#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "process_common/SynthProtocol.h"

struct pa_context;
struct pa_threaded_mainloop;

namespace orvane {

// What the built-in synthesizer asks the audio servers before it opens its output. These live
// with the synthesizer in its own process (libpulse is loaded only there).

// Keeps libasound, libjack and FluidSynth off the terminal (once per process). Sets nothing in
// the environment, so any thread may call it.
void QuietAudioLibraries();

// Whether a server listens on the local socket at `path`, without talking to it.
bool SocketAccepts(const std::string& path);

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

// The local socket a PipeWire client connects to, from the environment as `environment` reads it
// (PIPEWIRE_REMOTE, else "pipewire-0", in PIPEWIRE_RUNTIME_DIR, else XDG_RUNTIME_DIR), or "" when
// the environment names none.
std::string PipeWireSocketPath(const std::function<const char*(const char*)>& environment);

// Whether a PipeWire server listens on its socket (a bare connect, some 50 us).
bool PipeWireServerListening();

// A connection to the PulseAudio server (or pipewire-pulse) that only tells when it ends: the
// server stopped or restarted. FluidSynth's PulseAudio output then stops for good, while its own
// callbacks also stop whenever the server merely takes nothing (a suspended sink), so the server's
// end is asked of a connection of its own.
class PulseServerWatch {
 public:
  // Connected, or nullptr when no server answers within a second. `ended` is called once, on the
  // watch's own thread, when the connection ends.
  static std::unique_ptr<PulseServerWatch> Open(std::function<void()> ended);
  ~PulseServerWatch();
  PulseServerWatch(const PulseServerWatch&) = delete;
  PulseServerWatch& operator=(const PulseServerWatch&) = delete;

  bool Ended() const { return ended_.load(std::memory_order_acquire); }

 private:
  PulseServerWatch() = default;
  static void OnState(pa_context* context, void* self);

  std::function<void()> onEnd_;
  std::atomic<bool> ended_{false};
  bool ready_ = false;    // under the loop's lock
  bool closing_ = false;  // under the loop's lock
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

// The rate ALSA's "default" playback device runs at when asked for `wanted`, or 0 when it cannot
// be opened.
double ProbeAlsaSampleRate(double wanted);

}  // namespace orvane
