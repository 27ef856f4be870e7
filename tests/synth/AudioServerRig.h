#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::testing {

// Private audio servers for tests and benchmarks, under a runtime folder of their own
// (/tmp/orvane-audio-XXXXXX, made XDG_RUNTIME_DIR of this process and of the servers): PulseAudio
// with a null sink, or PipeWire with WirePlumber, pipewire-pulse and a null sink made the default,
// as a Debian desktop runs it. Both sinks are called "null"; each server restarts on the same
// socket. Every server dies with this process, also on a crash.
class AudioServerRig {
 public:
  AudioServerRig();
  ~AudioServerRig();  // stops every server and removes the folder
  AudioServerRig(const AudioServerRig&) = delete;
  AudioServerRig& operator=(const AudioServerRig&) = delete;

  // What is missing to run the servers ("pulseaudio", "pipewire ..."), or "" when all are there.
  static std::string MissingPulseAudio();
  static std::string MissingPipeWire();

  // True once the server takes connections and its null sink is the default.
  bool StartPulseAudio();
  bool StartPipeWire();
  void StopPulseAudio();
  void StopPipeWire();  // PipeWire, WirePlumber and pipewire-pulse, as a restart of the service
  // Another null sink, made the default output (as headphones plugged in would be).
  bool AddDefaultSink(const std::string& name);

  const std::string& RuntimeDir() const { return runtime_; }

 private:
  pid_t Spawn(const std::vector<std::string>& command, const std::string& log);
  static void Stop(pid_t& pid);

  std::string runtime_;
  pid_t pulse_ = -1;
  pid_t dbus_ = -1;
  std::vector<pid_t> pipewire_;
};

// Records a sink's monitor through the PulseAudio protocol (PulseAudio itself or pipewire-pulse),
// mono, 48 kHz, in periods of 2.5 ms, from construction until destruction.
class SinkRecorder {
 public:
  explicit SinkRecorder(const std::string& sink = "null");
  ~SinkRecorder();
  SinkRecorder(const SinkRecorder&) = delete;
  SinkRecorder& operator=(const SinkRecorder&) = delete;

  bool Connected() const { return connected_.load(); }
  // Waits until a period above -40 dBFS arrives after `since` (or `timeout` passes); the
  // arrival time of that period, or nullopt-like time_point{} when none came.
  std::chrono::steady_clock::time_point WaitForSound(std::chrono::steady_clock::time_point since,
                                                     std::chrono::milliseconds timeout);
  // The samples recorded from `since` on, at most `seconds` of them (waits until they are there,
  // or as long as `seconds` and a second more).
  std::vector<float> Record(std::chrono::steady_clock::time_point since, double seconds);

  static constexpr double kRate = 48000.0;

 private:
  struct Period {
    std::chrono::steady_clock::time_point arrived;
    float peak = 0.0f;
    std::size_t offset = 0;  // of its first sample in samples_
  };
  void Run(const std::string& source);

  std::atomic<bool> connected_{false};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<float> samples_;
  std::vector<Period> periods_;
  std::thread thread_;
};

// The strongest frequency within a semitone and a half of `expected` (0.05 Hz steps): the median
// over windows of 50 ms, so that periods dropped on a loaded machine do not move it.
double PeakFrequencyNear(const std::vector<float>& samples, double rate, double expected);

}  // namespace orvane::testing
