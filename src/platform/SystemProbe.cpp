#include "platform/SystemProbe.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <cstdlib>
#include <mutex>

#include "platform/SynthCore.h"

namespace orvane {
namespace {

void IgnoreJackMessage(const char* /*message*/) {}

void IgnoreAlsaMessage(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                       const char* /*format*/, ...) {}

}  // namespace

void QuietSystemLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    // libjack reads this on every client open; a server is only ever started by the user.
    setenv("JACK_NO_START_SERVER", "1", 1);
    jack_set_error_function(IgnoreJackMessage);
    jack_set_info_function(IgnoreJackMessage);
    snd_lib_error_set_handler(IgnoreAlsaMessage);
    QuietFluidSynthLog();
  });
}

JackServerInfo ProbeJackServer() {
  QuietSystemLibraries();
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

bool AlsaSequencerAvailable() {
  QuietSystemLibraries();
  snd_seq_t* sequencer = nullptr;
  if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return false;
  snd_seq_close(sequencer);
  return true;
}

}  // namespace orvane
