// How soon the built-in synthesizer sounds again when its audio server comes back:
//   orvane_audio_server_return [TRIALS]
// On a private PulseAudio, then a private PipeWire (with WirePlumber and pipewire-pulse), both
// with a null sink: an organ note is held on the synthesizer, the server is stopped, and a second
// later started again on the same socket, TRIALS times (default 10). For each return it prints
// the time from the server's socket taking connections again to the synthesizer's output being
// open again, and to the note being heard again on the sink's monitor; and the time from the
// server being whole again (PipeWire with WirePlumber, pipewire-pulse and the null sink made the
// default) to that sound. The recording client connects once the server is whole; its own
// connection is part of the figures. Then the medians.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "AudioServerRig.h"
#include "synth/BuiltInSynth.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

bool Accepts(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool accepted =
      fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return accepted;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Holds an organ note on the synthesizer and restarts the server `trials` times.
void Measure(const char* label, int trials, const std::string& socket,
             const std::function<bool()>& start, const std::function<void()>& stop) {
  if (!start()) {
    std::printf("%s: the server did not start\n", label);
    return;
  }
  auto synth = orvane::BuiltInSynth::Open();
  if (synth == nullptr || !synth->WaitUntilLoaded()) {
    std::printf("%s: the synthesizer did not open\n", label);
    return;
  }
  std::printf("%s: playing through %s\n", label, synth->DriverName().c_str());
  synth->SetChannelsInUse(0x0001);
  synth->Send(0xC0 | (19 << 8));                // church organ: it sounds as long as it is held
  synth->Send(0x90 | (48 << 8) | (100 << 16));  // note 48
  std::vector<double> toOpen;
  std::vector<double> toSound;
  std::vector<double> wholeToSound;
  for (int trial = 0; trial < trials; ++trial) {
    const int openings = synth->OutputOpenings();
    stop();
    std::this_thread::sleep_for(1s);
    // The moment the socket takes connections again, seen from a thread of its own.
    std::atomic<bool> stopWatching{false};
    std::atomic<long long> listening{0};
    std::thread watcher([&] {
      while (!stopWatching && !Accepts(socket)) std::this_thread::sleep_for(200us);
      listening = Clock::now().time_since_epoch().count();
    });
    const bool started = start();
    const Clock::time_point startedAt = Clock::now();
    std::atomic<long long> opened{0};
    std::thread openWatcher([&] {
      while (synth->OutputOpenings() == openings && Clock::now() - startedAt < 10s) {
        std::this_thread::sleep_for(200us);
      }
      opened = Clock::now().time_since_epoch().count();
    });
    orvane::testing::SinkRecorder recorder;
    const Clock::time_point heard = recorder.WaitForSound(startedAt - 10s, 10s);
    openWatcher.join();
    stopWatching = true;
    watcher.join();
    const Clock::time_point back{Clock::duration(listening.load())};
    const Clock::time_point open{Clock::duration(opened.load())};
    if (!started || heard == Clock::time_point{} || synth->OutputOpenings() == openings) {
      std::printf("%s: trial %d: no sound again\n", label, trial + 1);
      continue;
    }
    toOpen.push_back(Ms(open - back));
    toSound.push_back(Ms(heard - back));
    wholeToSound.push_back(Ms(heard - startedAt));
    std::printf(
        "%s: trial %d: output open again %.1f ms, heard again %.1f ms after the server"
        " took connections; heard %.1f ms after it was whole\n",
        label, trial + 1, toOpen.back(), toSound.back(), wholeToSound.back());
  }
  std::printf(
      "%s: %zu returns of %d: medians from the socket taking connections: %.1f ms to the "
      "output open again, %.1f ms to sound; from the server whole: %.1f ms to sound\n",
      label, toSound.size(), trials, Median(toOpen), Median(toSound), Median(wholeToSound));
  synth.reset();
  stop();
}

}  // namespace

int main(int argc, char* argv[]) {
  const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  unsetenv("ORVANE_AUDIO_DRIVER");
  {
    orvane::testing::AudioServerRig servers;
    Measure(
        "PulseAudio", trials, servers.RuntimeDir() + "/pulse/native",
        [&] { return servers.StartPulseAudio(); }, [&] { servers.StopPulseAudio(); });
  }
  {
    orvane::testing::AudioServerRig servers;
    Measure(
        "PipeWire", trials, servers.RuntimeDir() + "/pipewire-0",
        [&] { return servers.StartPipeWire(); }, [&] { servers.StopPipeWire(); });
  }
  return 0;
}
