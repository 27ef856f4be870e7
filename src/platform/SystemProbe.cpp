#include "platform/SystemProbe.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

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
    // The role PulseAudio and PipeWire give the synthesizer's stream (unless the user chose
    // one). Set here, before any thread starts: the environment is no place to write to later.
    setenv("PULSE_PROP_media.role", "music", 0);
    jack_set_error_function(IgnoreJackMessage);
    jack_set_info_function(IgnoreJackMessage);
    snd_lib_error_set_handler(IgnoreAlsaMessage);
  });
}

bool AlsaSequencerAvailable() {
  QuietSystemLibraries();
  // Without the kernel's sequencer device, opening would only read the whole ALSA configuration
  // (whose hooks connect to PulseAudio) to fail.
  if (access("/dev/snd/seq", F_OK) != 0) return false;
  snd_seq_t* sequencer = nullptr;
  if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return false;
  snd_seq_close(sequencer);
  return true;
}

}  // namespace orvane
