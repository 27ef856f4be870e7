#include "synth/AudioServerProbe.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <pulse/pulseaudio.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

#include "process_common/LibraryNoise.h"
#include "synth/SynthCore.h"

namespace orvane {
void QuietAudioLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    SilenceAlsaAndJack();
    QuietFluidSynthLog();
  });
}

JackServerInfo ProbeJackServer() {
  QuietAudioLibraries();
  JackServerInfo info;
  jack_status_t status{};
  jack_client_t* client = jack_client_open("Tellak Orvane probe", JackNoStartServer, &status);
  if (client == nullptr) return info;
  info.running = true;
  info.sampleRate = static_cast<double>(jack_get_sample_rate(client));
  info.bufferFrames = static_cast<int>(jack_get_buffer_size(client));
  jack_client_close(client);
  return info;
}

std::string PulseSocketPath(const std::function<const char*(const char*)>& environment) {
  const auto value = [&environment](const char* name) {
    const char* text = environment(name);
    return std::string_view(text != nullptr ? text : "");
  };
  if (std::string_view path = value("PULSE_SERVER"); !path.empty()) {
    // One local socket only; a list, a host or a TCP address is for libpulse to sort out.
    if (path.starts_with("unix:")) path.remove_prefix(5);
    if (!path.starts_with('/') || path.find_first_of(" \t") != std::string_view::npos) return {};
    return std::string(path);
  }
  if (const std::string_view runtime = value("PULSE_RUNTIME_PATH"); runtime.starts_with('/')) {
    return std::string(runtime) + "/native";
  }
  if (const std::string_view runtime = value("XDG_RUNTIME_DIR"); runtime.starts_with('/')) {
    return std::string(runtime) + "/pulse/native";
  }
  return {};
}

// A bare connect, closed at once, takes some 50 us where a PulseAudio handshake takes
// milliseconds.
bool SocketAccepts(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool accepted =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

std::string PipeWireSocketPath(const std::function<const char*(const char*)>& environment) {
  const auto value = [&environment](const char* name) {
    const char* text = environment(name);
    return std::string_view(text != nullptr ? text : "");
  };
  std::string_view name = value("PIPEWIRE_REMOTE");
  if (name.empty()) name = "pipewire-0";
  if (name.starts_with('/')) return std::string(name);
  for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
    if (const std::string_view runtime = value(variable); runtime.starts_with('/')) {
      return std::string(runtime) + "/" + std::string(name);
    }
  }
  return {};
}

bool PipeWireServerListening() {
  return SocketAccepts(PipeWireSocketPath(std::getenv));
}

bool PulseServerRunning() {
  QuietAudioLibraries();
  // The server's own socket answering is enough: the output's connection that follows goes to
  // that server. Only when it does not (no server, or one named elsewhere) is libpulse asked,
  // which knows every place a server may be announced.
  if (SocketAccepts(PulseSocketPath(std::getenv))) return true;
  pa_mainloop* loop = pa_mainloop_new();
  if (loop == nullptr) return false;
  bool running = false;
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tellak Orvane probe");
  if (context != nullptr &&
      pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
      // Sleeps in poll until the server answers (or the second is over), not a moment longer.
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 ||
          pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0) {
        break;
      }
      const pa_context_state_t state = pa_context_get_state(context);
      // Ready: the server took the connection (and with it the client's authentication), which
      // is all the output needs to know; nothing more is asked of it.
      running = state == PA_CONTEXT_READY;
      if (running || !PA_CONTEXT_IS_GOOD(state)) break;
    }
    pa_context_disconnect(context);
  }
  if (context != nullptr) pa_context_unref(context);
  pa_mainloop_free(loop);
  return running;
}

std::unique_ptr<PulseServerWatch> PulseServerWatch::Open(std::function<void()> ended) {
  std::unique_ptr<PulseServerWatch> watch(new PulseServerWatch());
  watch->onEnd_ = std::move(ended);
  watch->loop_ = pa_threaded_mainloop_new();
  if (watch->loop_ == nullptr) return nullptr;
  watch->context_ = pa_context_new(pa_threaded_mainloop_get_api(watch->loop_), "Tellak Orvane");
  if (watch->context_ == nullptr) return nullptr;
  pa_context_set_state_callback(watch->context_, OnState, watch.get());
  if (pa_context_connect(watch->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(watch->loop_) < 0) {
    return nullptr;
  }
  pa_threaded_mainloop_lock(watch->loop_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  pa_context_state_t state = pa_context_get_state(watch->context_);
  while (PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY &&
         std::chrono::steady_clock::now() < deadline) {
    pa_threaded_mainloop_wait(watch->loop_);  // woken by every change of state
    state = pa_context_get_state(watch->context_);
  }
  pa_threaded_mainloop_unlock(watch->loop_);
  if (state != PA_CONTEXT_READY) return nullptr;
  return watch;
}

PulseServerWatch::~PulseServerWatch() {
  if (loop_ != nullptr) {
    pa_threaded_mainloop_lock(loop_);
    closing_ = true;
    if (context_ != nullptr) pa_context_disconnect(context_);
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
  }
  if (context_ != nullptr) pa_context_unref(context_);
  if (loop_ != nullptr) pa_threaded_mainloop_free(loop_);
}

void PulseServerWatch::OnState(pa_context* context, void* self) {
  auto* watch = static_cast<PulseServerWatch*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) watch->ready_ = true;
  // Only a connection that was made can end; one that fails while opening is no watch at all.
  if (!PA_CONTEXT_IS_GOOD(state) && watch->ready_ && !watch->closing_ &&
      !watch->ended_.exchange(true, std::memory_order_acq_rel) && watch->onEnd_) {
    watch->onEnd_();
  }
  pa_threaded_mainloop_signal(watch->loop_, 0);
}

double ProbeAlsaSampleRate(double wanted) {
  QuietAudioLibraries();
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return 0.0;
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  unsigned rate = static_cast<unsigned>(wanted);
  if (snd_pcm_hw_params_any(pcm, params) < 0 ||
      snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr) < 0) {
    rate = 0;
  }
  snd_pcm_close(pcm);
  return rate;
}

}  // namespace orvane
