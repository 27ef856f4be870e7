// Key-to-port latency over JACK: the time from CToneGen::NoteOn (a key press after the layout
// lookup) to the note-on being readable by the client at the other end of the port, measured
// with JACK's own microsecond clock on both sides. Needs a running JACK server, e.g.
//   jackd --no-realtime -n orvane-bench -d dummy -r 48000 -p 64 &
//   JACK_DEFAULT_SERVER=orvane-bench bench_key_to_port [presses]

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/UserMessages.h"
#include "core/config/IniFile.h"
#include "core/midi/ToneGen.h"
#include "midi_system/SystemMidiLayer.h"

namespace {

std::atomic<jack_time_t> arrival{0};
jack_port_t* inPort = nullptr;

int Process(jack_nframes_t frames, void*) {
  void* buffer = jack_port_get_buffer(inPort, frames);
  if (jack_midi_get_event_count(buffer) == 0) return 0;
  jack_midi_event_t event;
  for (std::uint32_t i = 0; i < jack_midi_get_event_count(buffer); ++i) {
    if (jack_midi_event_get(&event, buffer, i) == 0 && (event.buffer[0] & 0xF0) == 0x90 &&
        event.buffer[2] != 0) {
      arrival.store(jack_get_time(), std::memory_order_release);
    }
  }
  return 0;
}

struct Messages : orvane::UserMessages {
  void ShowMessage(std::string_view text, std::string_view, orvane::MessageIcon) override {
    std::printf("message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void EndProcess(int status) override { std::exit(status); }
};

}  // namespace

int main(int argc, char** argv) {
  const int presses = argc > 1 ? std::atoi(argv[1]) : 2000;
  jack_status_t status{};
  jack_client_t* client = jack_client_open("orvane-latency-probe", JackNoStartServer, &status);
  if (client == nullptr) {
    std::puts("no JACK server (set JACK_DEFAULT_SERVER)");
    return 1;
  }
  inPort = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(client, Process, nullptr);
  jack_activate(client);

  auto midi = std::make_unique<orvane::SystemMidiLayer>(
      [] {}, orvane::SystemMidiLayer::Options{.builtInSynth = false});
  int output = -1;
  for (int i = 0; i < midi->OutputDeviceCount(); ++i) {
    if (midi->OutputDeviceName(i).find("orvane-latency-probe:in") != std::string::npos) output = i;
  }
  const auto dir = std::filesystem::temp_directory_path() / "orvane-latency-bench";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "Orvane.ini") << "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=" << output + 1 << "\n";
  orvane::CIniFile ini(dir.string());
  Messages messages;
  orvane::CToneGen toneGen(*midi, messages, ini);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  std::vector<double> latencies;
  for (int i = 0; i < presses; ++i) {
    arrival.store(0);
    const jack_time_t pressed = jack_get_time();
    toneGen.NoteOn(i % 24);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (arrival.load(std::memory_order_acquire) == 0) {
      if (std::chrono::steady_clock::now() > giveUp) {
        std::printf("press %d never arrived (output %d)\n", i, output);
        return 1;
      }
      std::this_thread::yield();
    }
    latencies.push_back(static_cast<double>(arrival.load() - pressed) / 1000.0);
    toneGen.NoteOff(i % 24);
    // Let the release pass and start the next press at a random point of the period.
    std::this_thread::sleep_for(std::chrono::microseconds(1500 + (i * 7919) % 1000));
  }
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double q) {
    return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
  };
  std::printf("JACK period          %u frames at %u Hz = %.2f ms\n", jack_get_buffer_size(client),
              jack_get_sample_rate(client),
              1000.0 * jack_get_buffer_size(client) / jack_get_sample_rate(client));
  std::printf("presses              %d\n", presses);
  std::printf("key-to-port p50      %.3f ms\n", at(0.50));
  std::printf("key-to-port p99      %.3f ms\n", at(0.99));
  std::printf("key-to-port max      %.3f ms\n", latencies.back());
  jack_client_close(client);
  std::filesystem::remove_all(dir);
  return 0;
}
