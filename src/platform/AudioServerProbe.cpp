#include "platform/AudioServerProbe.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <pulse/pulseaudio.h>

#include <chrono>
#include <mutex>

#include "platform/SynthCore.h"

namespace orvane {
namespace {

void IgnoreJackMessage(const char* /*message*/) {}

void IgnoreAlsaMessage(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                       const char* /*format*/, ...) {}

}  // namespace

void QuietAudioLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    jack_set_error_function(IgnoreJackMessage);
    jack_set_info_function(IgnoreJackMessage);
    snd_lib_error_set_handler(IgnoreAlsaMessage);
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

bool PulseServerRunning() {
  QuietAudioLibraries();
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
