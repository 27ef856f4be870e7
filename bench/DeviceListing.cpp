// A JACK MIDI client that appears while the program runs, until the program lists it: the time
// from its port's registration to (a) the tone generator's lists holding it after the device
// dialog's refresh (what a dialog opened afterwards shows), and (b) the port watcher's news having
// renewed the lists by themselves, with no dialog. Medians of the trials. Needs a running JACK
// server, e.g.
//   jackd --no-realtime -n orvane-bench -d dummy -r 48000 -p 256 &
//   JACK_DEFAULT_SERVER=orvane-bench bench_device_listing [trials]

#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/UserMessages.h"
#include "core/config/IniFile.h"
#include "core/midi/ToneGen.h"
#include "midi_system/SystemMidiLayer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Messages : orvane::UserMessages {
  void ShowMessage(std::string_view text, std::string_view, orvane::MessageIcon) override {
    std::printf("message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void EndProcess(int status) override { std::exit(status); }
};

struct Wake {
  std::mutex mutex;
  std::condition_variable woken;
  bool pending = false;
  void Notify() {
    {
      const std::lock_guard lock(mutex);
      pending = true;
    }
    woken.notify_all();
  }
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    const bool got = woken.wait_for(lock, timeout, [this] { return pending; });
    pending = false;
    return got;
  }
};

bool Listed(const orvane::CToneGen& toneGen, const std::string& port) {
  return std::find(toneGen.outDeviceNames.begin(), toneGen.outDeviceNames.end(), port) !=
         toneGen.outDeviceNames.end();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A client with one MIDI input port, as a synthesizer started by the player would be.
jack_client_t* StartClient(const std::string& name) {
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  if (client != nullptr) {
    jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_activate(client);
  }
  return client;
}

}  // namespace

int main(int argc, char** argv) {
  const int trials = argc > 1 ? std::atoi(argv[1]) : 15;
  // A port to play on from the start, without which the program would not start.
  jack_client_t* output = StartClient("orvane-listing-output");
  if (output == nullptr) {
    std::puts("no JACK server (set JACK_DEFAULT_SERVER)");
    return 1;
  }
  const auto dir = std::filesystem::temp_directory_path() / "orvane-bench-listing";
  std::filesystem::create_directories(dir);
  orvane::CIniFile ini(dir.string());
  Messages messages;
  Wake wake;
  orvane::SystemMidiLayer midi([&wake] { wake.Notify(); }, {.builtInSynth = false});
  orvane::CToneGen toneGen(midi, messages, ini);

  std::vector<double> dialog;
  std::vector<double> unasked;
  for (int trial = 0; trial < trials; ++trial) {
    const std::string name = "orvane-late-" + std::to_string(trial);
    const std::string port = name + ":in";
    // (a) The dialog opens right after the client appeared.
    auto start = Clock::now();
    jack_client_t* client = StartClient(name);
    const auto registered = Clock::now();
    toneGen.RefreshDeviceLists();
    const auto shown = Clock::now();
    if (!Listed(toneGen, port)) std::printf("trial %d: not listed by the dialog\n", trial);
    dialog.push_back(std::chrono::duration<double, std::milli>(shown - registered).count());
    jack_client_close(client);
    while (wake.WaitFor(std::chrono::milliseconds(200))) midi.DeliverInput();
    // (b) Nobody asks: the watcher's news renews the lists.
    start = Clock::now();
    client = StartClient(name);
    const auto appeared = Clock::now();
    while (!Listed(toneGen, port) && Clock::now() - start < std::chrono::seconds(5)) {
      if (wake.WaitFor(std::chrono::milliseconds(50))) midi.DeliverInput();
    }
    unasked.push_back(std::chrono::duration<double, std::milli>(Clock::now() - appeared).count());
    jack_client_close(client);
    while (wake.WaitFor(std::chrono::milliseconds(200))) midi.DeliverInput();
  }
  std::printf("port registered to listed in a dialog opened then: median %.2f ms (%d trials)\n",
              Median(dialog), trials);
  std::printf("port registered to listed without a dialog:        median %.2f ms (%d trials)\n",
              Median(unasked), trials);
  std::filesystem::remove_all(dir);
  jack_client_close(output);
  return 0;
}
