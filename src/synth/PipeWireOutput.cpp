#include "synth/PipeWireOutput.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string_view>

namespace orvane {
namespace {

constexpr int kChannels = 2;
constexpr std::uint32_t kFrameBytes = sizeof(float) * kChannels;

// Whole digits only; -1 otherwise.
long ParseCount(std::string_view text) {
  long value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : -1;
}

void InitPipeWire() {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

}  // namespace

std::string PipeWireLatency(const char* requested) {
  const std::string fallback = "128/48000";
  if (requested == nullptr || *requested == '\0') return fallback;
  const std::string_view text = requested;
  const std::size_t slash = text.find('/');
  const long frames = ParseCount(text.substr(0, slash));
  const long rate = slash == std::string_view::npos ? 48000 : ParseCount(text.substr(slash + 1));
  if (frames < 16 || frames > 8192 || rate < 8000 || rate > 192000) return fallback;
  return std::to_string(frames) + "/" + std::to_string(rate);
}

struct PipeWireOutput::Hooks {
  spa_hook stream{};
  spa_hook core{};
  pw_stream_events streamEvents{};
  pw_core_events coreEvents{};
};

std::unique_ptr<PipeWireOutput> PipeWireOutput::Open(const PipeWireOutputOptions& options,
                                                     RenderInterleaved render, void* context,
                                                     std::function<void()> failed) {
  InitPipeWire();
  std::unique_ptr<PipeWireOutput> output(new PipeWireOutput());
  output->render_ = render;
  output->context_ = context;
  output->onFailure_ = std::move(failed);
  output->hooks_ = std::make_unique<Hooks>();
  Hooks& hooks = *output->hooks_;
  hooks.streamEvents.version = PW_VERSION_STREAM_EVENTS;
  hooks.streamEvents.process = OnProcess;
  hooks.streamEvents.state_changed = [](void* self, pw_stream_state old, pw_stream_state state,
                                        const char* error) {
    OnStateChanged(self, old, state, error);
  };
  hooks.coreEvents.version = PW_VERSION_CORE_EVENTS;
  hooks.coreEvents.error = OnCoreError;

  output->loop_ = pw_thread_loop_new("orvane-pipewire", nullptr);
  if (output->loop_ == nullptr) return nullptr;
  // The configuration of real-time clients: the thread that renders runs at real-time priority.
  output->pwContext_ =
      pw_context_new(pw_thread_loop_get_loop(output->loop_),
                     pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
  if (output->pwContext_ == nullptr || pw_thread_loop_start(output->loop_) < 0) return nullptr;

  pw_thread_loop_lock(output->loop_);
  // Fails at once when no server listens (no socket, or nobody behind it).
  output->core_ = pw_context_connect(output->pwContext_, nullptr, 0);
  bool ok = output->core_ != nullptr;
  if (ok) {
    pw_core_add_listener(output->core_, &hooks.core, &hooks.coreEvents, output.get());
    pw_properties* properties = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
        PW_KEY_MEDIA_NAME, "Built-in synthesizer", PW_KEY_APP_NAME, "Tellak Orvane", PW_KEY_APP_ID,
        "net.orvane_music.TellakOrvane", PW_KEY_APP_ICON_NAME, "net.orvane_music.TellakOrvane",
        PW_KEY_NODE_NAME, "Tellak Orvane", PW_KEY_NODE_DESCRIPTION, "Tellak Orvane",
        PW_KEY_NODE_LATENCY, options.latency.c_str(), nullptr);
    output->stream_ = pw_stream_new(output->core_, "Tellak Orvane", properties);
    ok = output->stream_ != nullptr;
  }
  if (ok) {
    pw_stream_add_listener(output->stream_, &hooks.stream, &hooks.streamEvents, output.get());
    std::uint8_t buffer[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_F32;
    format.rate = static_cast<std::uint32_t>(options.sampleRate);
    format.channels = kChannels;
    format.position[0] = SPA_AUDIO_CHANNEL_FL;
    format.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[1] = {
        spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    // No target: the session manager links it to the default output and follows that. The
    // process callback runs on the real-time thread.
    ok = pw_stream_connect(
             output->stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
             static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                          PW_STREAM_FLAG_RT_PROCESS),
             params, 1) == 0;
  }
  // The server has the stream once it is paused or streaming; a failure ends the wait too.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (ok && !output->ready_ && !output->Failed() &&
         std::chrono::steady_clock::now() < deadline) {
    pw_thread_loop_timed_wait(output->loop_, 1);
  }
  ok = ok && output->ready_ && !output->Failed();
  pw_thread_loop_unlock(output->loop_);
  if (!ok) return nullptr;
  return output;
}

PipeWireOutput::~PipeWireOutput() {
  // Closing is no failure to report.
  failed_.store(true, std::memory_order_release);
  if (loop_ != nullptr) pw_thread_loop_stop(loop_);
  if (stream_ != nullptr) pw_stream_destroy(stream_);
  if (core_ != nullptr) pw_core_disconnect(core_);
  if (pwContext_ != nullptr) pw_context_destroy(pwContext_);
  if (loop_ != nullptr) pw_thread_loop_destroy(loop_);
}

void PipeWireOutput::OnProcess(void* self) {
  auto* output = static_cast<PipeWireOutput*>(self);
  pw_buffer* buffer = pw_stream_dequeue_buffer(output->stream_);
  if (buffer == nullptr) return;
  spa_data& data = buffer->buffer->datas[0];
  if (data.data != nullptr) {
    std::uint32_t frames = data.maxsize / kFrameBytes;
    if (buffer->requested != 0 && buffer->requested < frames) {
      frames = static_cast<std::uint32_t>(buffer->requested);
    }
    output->render_(output->context_, static_cast<float*>(data.data), static_cast<int>(frames));
    data.chunk->offset = 0;
    data.chunk->stride = kFrameBytes;
    data.chunk->size = frames * kFrameBytes;
  }
  pw_stream_queue_buffer(output->stream_, buffer);
}

void PipeWireOutput::OnStateChanged(void* self, int /*oldState*/, int state,
                                    const char* /*error*/) {
  auto* output = static_cast<PipeWireOutput*>(self);
  switch (state) {
    case PW_STREAM_STATE_PAUSED:
    case PW_STREAM_STATE_STREAMING:
      output->ready_ = true;
      break;
    case PW_STREAM_STATE_ERROR:
    case PW_STREAM_STATE_UNCONNECTED:
      output->Fail();
      break;
    default:
      break;
  }
  pw_thread_loop_signal(output->loop_, false);
}

void PipeWireOutput::OnCoreError(void* self, std::uint32_t id, int /*seq*/, int result,
                                 const char* /*message*/) {
  // The connection to the server is gone (it stopped or restarted): nothing more will play.
  auto* output = static_cast<PipeWireOutput*>(self);
  if (id == PW_ID_CORE && result == -EPIPE) output->Fail();
  pw_thread_loop_signal(output->loop_, false);
}

void PipeWireOutput::Fail() {
  if (failed_.exchange(true, std::memory_order_acq_rel)) return;  // told once, or closing
  if (onFailure_) onFailure_();
}

}  // namespace orvane
