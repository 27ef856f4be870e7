#include "process_common/LibraryNoise.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <mutex>

#include "process_common/JackClients.h"

namespace orvane {
namespace {

void IgnoreJackMessage(const char* /*message*/) {}

void IgnoreAlsaMessage(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                       const char* /*format*/, ...) {}

}  // namespace

void SilenceAlsaAndJack() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Silent too, but one of libjack's errors says that the clients of a gone server are freed.
    jack_set_error_function(NoteJackError);
    jack_set_info_function(IgnoreJackMessage);
    snd_lib_error_set_handler(IgnoreAlsaMessage);
  });
}

}  // namespace orvane
