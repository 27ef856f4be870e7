#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;

namespace orvane {

// What a PipeWire output asks of the graph, and how it names itself.
struct PipeWireOutputOptions {
  double sampleRate = 48000.0;
  // node.latency: the quantum the stream asks the graph for, as "frames/rate".
  std::string latency = "128/48000";
};

// The node.latency that ORVANE_PIPEWIRE_LATENCY asks for ("FRAMES" or "FRAMES/RATE"), or the
// default when it is unset or no such value (frames 16 to 8192, rate 8000 to 192000).
std::string PipeWireLatency(const char* requested);

// Renders `frames` interleaved stereo frames into `interleaved`, on PipeWire's real-time thread.
using RenderInterleaved = void (*)(void* context, float* interleaved, int frames) noexcept;

// A native PipeWire playback stream of interleaved 32-bit float stereo. Its process callback runs
// on the graph's real-time thread and only renders into the buffer it is given; the stream is not
// pinned to a sink, so the session manager links it to the default output and moves it when that
// changes.
class PipeWireOutput {
 public:
  // Connected and accepted by the server, or nullptr when no PipeWire server answers (within a
  // second). `failed` is called, on PipeWire's own thread, when the server goes away or the
  // stream fails for good; the output then renders nothing more and is to be closed.
  static std::unique_ptr<PipeWireOutput> Open(const PipeWireOutputOptions& options,
                                              RenderInterleaved render, void* context,
                                              std::function<void()> failed);
  ~PipeWireOutput();
  PipeWireOutput(const PipeWireOutput&) = delete;
  PipeWireOutput& operator=(const PipeWireOutput&) = delete;

  bool Failed() const { return failed_.load(std::memory_order_acquire); }

 private:
  PipeWireOutput() = default;
  static void OnProcess(void* self);
  static void OnStateChanged(void* self, int oldState, int state, const char* error);
  static void OnCoreError(void* self, std::uint32_t id, int seq, int result, const char* message);
  void Fail();

  RenderInterleaved render_ = nullptr;
  void* context_ = nullptr;
  std::function<void()> onFailure_;
  std::atomic<bool> failed_{false};
  bool ready_ = false;  // the server took the stream (under the loop's lock)
  pw_thread_loop* loop_ = nullptr;
  pw_context* pwContext_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  struct Hooks;
  std::unique_ptr<Hooks> hooks_;
};

}  // namespace orvane
