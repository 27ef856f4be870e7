#include "midi_system/SystemProbe.h"

#include <alsa/asoundlib.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "process_common/LibraryNoise.h"

namespace orvane {
namespace {

constexpr rlim_t kLockLimitBytes = 8u << 20;

// Clears one capability from the calling thread's effective set; threads it starts inherit that.
void DropEffectiveCapability(unsigned capability) {
  __user_cap_header_struct header{.version = _LINUX_CAPABILITY_VERSION_3, .pid = 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return;
  data[capability / 32].effective &= ~(1u << (capability % 32));
  syscall(SYS_capset, &header, data);
}

}  // namespace

void QuietSystemLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    // libjack reads this on every client open; a server is only ever started by the user.
    setenv("JACK_NO_START_SERVER", "1", 1);
    // The role PulseAudio and PipeWire give the synthesizer's stream (unless the user chose
    // one). Set here, before any thread starts: the environment is no place to write to later.
    setenv("PULSE_PROP_media.role", "music", 0);
    SilenceAlsaAndJack();
  });
}

void LimitMemoryLocking() {
  rlimit limit{};
  if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur > kLockLimitBytes) {
    limit.rlim_cur = kLockLimitBytes;
    setrlimit(RLIMIT_MEMLOCK, &limit);
  }
  // CAP_IPC_LOCK (root has it) lets a thread lock memory past any limit.
  DropEffectiveCapability(CAP_IPC_LOCK);
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
