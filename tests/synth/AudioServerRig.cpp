#include "AudioServerRig.h"

#include <fcntl.h>
#include <pulse/simple.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <span>

#include "synth/AudioServerProbe.h"

namespace orvane::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t from = 0; from <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', from), folders.size());
    if (access((folders.substr(from, end - from) + "/" + program).c_str(), X_OK) == 0) {
      return true;
    }
    from = end + 1;
  }
  return false;
}

std::string Missing(std::initializer_list<const char*> programs) {
  std::string missing;
  for (const char* program : programs) {
    if (!OnPath(program)) missing += (missing.empty() ? "" : " ") + std::string(program);
  }
  return missing;
}

// In a forked child: becomes `command` (found on PATH), or ends with status 127.
[[noreturn]] void Exec(const std::vector<std::string>& command) {
  std::vector<char*> arguments;
  for (const std::string& argument : command)
    arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  execvp(arguments[0], arguments.data());
  _exit(127);
}

// Runs a command to its end (pactl), quietly; true on exit status 0.
bool Run(const std::vector<std::string>& command) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    Exec(command);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

}  // namespace

AudioServerRig::AudioServerRig() {
  char folder[] = "/tmp/orvane-audio-XXXXXX";
  runtime_ = mkdtemp(folder) != nullptr ? folder : "/tmp";
  std::filesystem::create_directories(runtime_ + "/home");
  setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
  // No client of this process ever starts a PulseAudio server of its own.
  std::ofstream(runtime_ + "/client.conf") << "autospawn = no\n";
  setenv("PULSE_CLIENTCONFIG", (runtime_ + "/client.conf").c_str(), 1);
  for (const char* variable : {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PIPEWIRE_REMOTE",
                               "PIPEWIRE_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY"}) {
    unsetenv(variable);
  }
}

AudioServerRig::~AudioServerRig() {
  StopPipeWire();
  StopPulseAudio();
  std::error_code ignored;
  if (runtime_ != "/tmp") std::filesystem::remove_all(runtime_, ignored);
}

std::string AudioServerRig::MissingPulseAudio() {
  return Missing({"pulseaudio", "pactl"});
}

std::string AudioServerRig::MissingPipeWire() {
  return Missing({"pipewire", "wireplumber", "pipewire-pulse", "dbus-daemon", "pactl"});
}

pid_t AudioServerRig::Spawn(const std::vector<std::string>& command, const std::string& log) {
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);
    const int out = open((runtime_ + "/" + log).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(out, 1);
    dup2(out, 2);
    // The servers keep their state and configuration in the folder, never the user's.
    setenv("HOME", (runtime_ + "/home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_STATE_HOME");
    Exec(command);
  }
  return pid;
}

void AudioServerRig::Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  if (kill(pid, 0) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

bool AudioServerRig::StartPulseAudio() {
  std::filesystem::create_directories(runtime_ + "/pulse");
  const std::string socket = runtime_ + "/pulse/native";
  std::ofstream(runtime_ + "/pulse.pa")
      << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket << "\n"
      << "load-module module-null-sink sink_name=null rate=48000\n"
      << "set-default-sink null\n";
  pulse_ = Spawn({"pulseaudio", "-n", "-F", runtime_ + "/pulse.pa", "--daemonize=no",
                  "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=no"},
                 "pulseaudio.log");
  return WaitUntil([&] { return SocketAccepts(socket); }, 30s) &&
         WaitUntil(
             [] {
               return Run({"pactl", "info"});
             },
             15s);
}

void AudioServerRig::StopPulseAudio() {
  Stop(pulse_);
}

bool AudioServerRig::StartPipeWire() {
  const std::string bus = runtime_ + "/bus";
  if (dbus_ <= 0) {
    dbus_ =
        Spawn({"dbus-daemon", "--session", "--address=unix:path=" + bus, "--nofork", "--nopidfile"},
              "dbus.log");
    WaitUntil([&] { return SocketAccepts(bus); }, 15s);
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
  pipewire_.push_back(Spawn({"pipewire"}, "pipewire.log"));
  if (!WaitUntil([&] { return SocketAccepts(runtime_ + "/pipewire-0"); }, 30s)) return false;
  pipewire_.push_back(Spawn({"wireplumber"}, "wireplumber.log"));
  pipewire_.push_back(Spawn({"pipewire-pulse"}, "pipewire-pulse.log"));
  if (!WaitUntil([] { return Run({"pactl", "info"}); }, 30s)) return false;
  // The null sink is made once per start; WirePlumber makes it the default when told.
  return Run({"pactl", "load-module", "module-null-sink", "sink_name=null"}) &&
         WaitUntil(
             [] {
               return Run({"pactl", "set-default-sink", "null"});
             },
             15s);
}

bool AudioServerRig::AddDefaultSink(const std::string& name) {
  return Run({"pactl", "load-module", "module-null-sink", "sink_name=" + name}) &&
         WaitUntil(
             [&] {
               return Run({"pactl", "set-default-sink", name});
             },
             15s);
}

void AudioServerRig::StopPipeWire() {
  for (auto pid = pipewire_.rbegin(); pid != pipewire_.rend(); ++pid) Stop(*pid);
  pipewire_.clear();
  Stop(dbus_);
}

SinkRecorder::SinkRecorder(const std::string& sink) {
  samples_.reserve(static_cast<std::size_t>(kRate * 60));
  thread_ = std::thread([this, source = sink + ".monitor"] { Run(source); });
  WaitUntil([this] { return connected_.load() || stop_.load(); }, 15s);
}

SinkRecorder::~SinkRecorder() {
  stop_ = true;
  thread_.join();
}

void SinkRecorder::Run(const std::string& source) {
  const pa_sample_spec spec{
      .format = PA_SAMPLE_FLOAT32NE, .rate = static_cast<std::uint32_t>(kRate), .channels = 1};
  constexpr std::size_t kPeriod = 120;  // 2.5 ms
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.fragsize = kPeriod * sizeof(float);
  pa_simple* stream =
      pa_simple_new(nullptr, "orvane-test-recorder", PA_STREAM_RECORD, source.c_str(),
                    "sink recording", &spec, nullptr, &attributes, nullptr);
  if (stream == nullptr) {
    stop_ = true;
    return;
  }
  connected_ = true;
  std::array<float, kPeriod> period{};
  while (!stop_) {
    if (pa_simple_read(stream, period.data(), sizeof period, nullptr) < 0) break;
    float peak = 0.0f;
    for (float sample : period) peak = std::max(peak, std::fabs(sample));
    const std::lock_guard lock(mutex_);
    periods_.push_back({Clock::now(), peak, samples_.size()});
    samples_.insert(samples_.end(), period.begin(), period.end());
  }
  connected_ = false;
  pa_simple_free(stream);
}

Clock::time_point SinkRecorder::WaitForSound(Clock::time_point since,
                                             std::chrono::milliseconds timeout) {
  constexpr float kAudible = 0.01f;
  const auto deadline = Clock::now() + timeout;
  std::size_t next = 0;
  while (Clock::now() < deadline) {
    {
      const std::lock_guard lock(mutex_);
      for (; next < periods_.size(); ++next) {
        if (periods_[next].arrived >= since && periods_[next].peak >= kAudible) {
          return periods_[next].arrived;
        }
      }
    }
    std::this_thread::sleep_for(1ms);
  }
  return {};
}

std::vector<float> SinkRecorder::Record(Clock::time_point since, double seconds) {
  const auto wanted = static_cast<std::size_t>(seconds * kRate);
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds + 1.0);
  for (;;) {
    {
      const std::lock_guard lock(mutex_);
      const auto first = std::find_if(periods_.begin(), periods_.end(),
                                      [&](const Period& p) { return p.arrived >= since; });
      if (first != periods_.end() && samples_.size() - first->offset >= wanted) {
        const auto begin = samples_.begin() + static_cast<std::ptrdiff_t>(first->offset);
        return {begin, begin + static_cast<std::ptrdiff_t>(wanted)};
      }
      if (Clock::now() > deadline || !connected_) {
        if (first == periods_.end()) return {};
        return {samples_.begin() + static_cast<std::ptrdiff_t>(first->offset), samples_.end()};
      }
    }
    std::this_thread::sleep_for(5ms);
  }
}

namespace {

// The strongest frequency within a semitone and a half of `expected` (0.05 Hz steps): Goertzel's
// magnitude of each frequency over the Hann-windowed samples.
double StrongestFrequencyNear(std::span<const float> samples, double rate, double expected) {
  const auto magnitude = [&](double frequency) {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    const auto n = static_cast<double>(samples.size());
    double s1 = 0.0;
    double s2 = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double window =
          0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / n);
      const double s0 = window * samples[i] + coefficient * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - coefficient * s1 * s2);
  };
  double best = expected;
  double bestMagnitude = -1.0;
  for (double f = expected * std::pow(2.0, -1.5 / 12.0); f <= expected * std::pow(2.0, 1.5 / 12.0);
       f += 0.05) {
    if (const double m = magnitude(f); m > bestMagnitude) {
      bestMagnitude = m;
      best = f;
    }
  }
  return best;
}

}  // namespace

double PeakFrequencyNear(const std::vector<float>& samples, double rate, double expected) {
  // One long window smears a phase jump into the peak: a few periods lost on a loaded machine
  // moved it by more than half a semitone. In 50 ms windows a jump spoils only its own window.
  const auto window = static_cast<std::size_t>(rate / 20.0);
  if (samples.size() < 3 * window) return StrongestFrequencyNear(samples, rate, expected);
  std::vector<double> found;
  for (std::size_t start = 0; start + window <= samples.size(); start += window) {
    found.push_back(
        StrongestFrequencyNear(std::span(samples).subspan(start, window), rate, expected));
  }
  const auto middle = found.begin() + static_cast<std::ptrdiff_t>(found.size() / 2);
  std::nth_element(found.begin(), middle, found.end());
  return *middle;
}

}  // namespace orvane::testing
