// Measures a running program from outside, as a player meets it:
//   orvane_measure startup [--settle MS] PROGRAM [ARGS...]
//     time from starting the process to its window showing painted content, then its resident
//     memory MS milliseconds later (default 1000): summed, proportional, and as distinct pages.
//     Works for any Qt program: the window is the viewable one whose _NET_WM_PID is the child's,
//     and it counts as painted once most of it is no longer the black of an unpainted window
//     (start Xvfb with -br for a black root).
//   orvane_measure latency PORT-NAME COUNT
//     time from a key press injected into the X server (XTest) to its note-on arriving at a
//     JACK MIDI port of this process.
//   orvane_measure sound PORT-PREFIX COUNT [PORT-PREFIX-2]
//     time from a key press injected into the X server to the first sample above -60 dBFS at a
//     JACK audio input of this process, connected to every audio output whose name starts with
//     PORT-PREFIX (the program's synthesizer, for instance "Tellak Orvane:"), timed when the
//     cycle that carries it reaches this process (jack_get_time()). A second
//     prefix is heard in the same cycles and reported apart (press2_ms, sound2_ms).
//   orvane_measure first PORT-PREFIX PROGRAM [ARGS...]
//     starts the program and measures the same for one press made the moment its window shows.
//   orvane_measure storm SECONDS PRESSES-PER-SECOND
//     plays the letter rows for that long as a fast player would (XTest): presses at random
//     moments and on random keys, each held 40 to 200 ms, up to four at a time.
// latency and sound print "ready" once their ports exist and start when a line arrives on
// standard input (the program then plays into them and has the focus). Times are milliseconds.
// Needs DISPLAY (and JACK for latency and sound).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

#include <RtMidi.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long WindowPid(Display* display, Window window) {
  static const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr) {
    if (items == 1 && format == 32) pid = *reinterpret_cast<long*>(data);
    XFree(data);
  }
  return pid;
}

// The viewable window of process `pid` that is large enough to be a main window, searched
// through the whole tree (a window manager puts it inside a frame of its own).
Window FindWindow(Display* display, Window parent, long pid) {
  Window root = 0;
  Window parentOut = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, parent, &root, &parentOut, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    if (WindowPid(display, children[i]) == pid &&
        XGetWindowAttributes(display, children[i], &attributes) != 0 &&
        attributes.map_state == IsViewable && attributes.width >= 200 && attributes.height >= 100) {
      found = children[i];
    }
    if (found == 0) found = FindWindow(display, children[i], pid);
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Qt flushes a whole painted frame at once; before that the window shows black.
bool Painted(Display* display, Window window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  int lit = 0;
  int total = 0;
  for (int y = 2; y < attributes.height; y += 8) {
    for (int x = 2; x < attributes.width; x += 8) {
      ++total;
      if ((XGetPixel(image, x, y) & 0xFFFFFF) != 0) ++lit;
    }
  }
  XDestroyImage(image);
  return total > 0 && lit * 2 > total;
}

// `pid` and every process it has started that is still there (the synthesizer's process).
// Threads end while they are listed: a task that is gone is passed over.
std::vector<pid_t> ProcessTree(pid_t pid) {
  std::vector<pid_t> tree{pid};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    std::error_code error;
    const std::string tasks = "/proc/" + std::to_string(tree[i]) + "/task";
    for (std::filesystem::directory_iterator task(tasks, error), end; !error && task != end;
         task.increment(error)) {
      std::ifstream children(task->path() / "children");
      for (pid_t child = 0; children >> child;) tree.push_back(child);
    }
  }
  return tree;
}

// The physical pages that the processes have resident, each page once however many of them map
// it: the memory the program holds as a whole. Empty when the kernel hides page frame numbers
// (they are shown to root only).
std::unordered_set<std::uint64_t> ResidentPages(const std::vector<pid_t>& processes) {
  constexpr std::uint64_t kPresent = std::uint64_t{1} << 63;
  constexpr std::uint64_t kFrameMask = (std::uint64_t{1} << 55) - 1;
  const auto pageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  std::unordered_set<std::uint64_t> frames;
  for (const pid_t process : processes) {
    const std::string folder = "/proc/" + std::to_string(process);
    std::ifstream maps(folder + "/maps");
    // The page map is read in whole entries at their own offsets, which a buffered stream does
    // not keep to.
    const int pagemap = open((folder + "/pagemap").c_str(), O_RDONLY | O_CLOEXEC);
    if (pagemap < 0) continue;
    std::vector<std::uint64_t> entries;
    for (std::string line; std::getline(maps, line);) {
      std::uint64_t begin = 0;
      std::uint64_t end = 0;
      if (std::sscanf(line.c_str(), "%" SCNx64 "-%" SCNx64, &begin, &end) != 2) continue;
      if (line.find("[vsyscall]") != std::string::npos) continue;  // not in the page map
      entries.resize((end - begin) / pageSize);
      const ssize_t got = pread(pagemap, entries.data(), entries.size() * sizeof(std::uint64_t),
                                static_cast<off_t>(begin / pageSize * sizeof(std::uint64_t)));
      const std::size_t read = got > 0 ? static_cast<std::size_t>(got) / sizeof(std::uint64_t) : 0;
      for (std::size_t i = 0; i < read; ++i) {
        if ((entries[i] & kPresent) == 0) continue;
        const std::uint64_t frame = entries[i] & kFrameMask;
        if (frame == 0) {  // frame numbers hidden
          close(pagemap);
          return {};
        }
        frames.insert(frame);
      }
    }
    close(pagemap);
  }
  return frames;
}

// An X error ends Xlib's programs by default; windows of the program come and go while they are
// searched (a window destroyed between listing and asking), which is no error of the measure.
int IgnoreXError(Display* /*display*/, XErrorEvent* /*error*/) {
  return 0;
}

// The sum over `processes` of one "Name:  <kB> kB" line of each process's `file`.
long TreeKilobytes(const std::vector<pid_t>& processes, const std::string& file,
                   const std::string& name) {
  long total = 0;
  for (const pid_t process : processes) {
    std::ifstream lines("/proc/" + std::to_string(process) + "/" + file);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(name, 0) == 0) {
        total += std::stol(line.substr(name.size()));
        break;
      }
    }
  }
  return total;
}

int Startup(Display* display, int settleMs, char** command) {
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  // However the measure ends, the program it started ends with it.
  struct StopChild {
    pid_t pid;
    bool ended = false;
    ~StopChild() {
      if (ended) return;
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  } stop{child};
  Window window = 0;
  int result = 1;
  while (MillisecondsSince(start) < 20000) {
    if (window == 0) window = FindWindow(display, DefaultRootWindow(display), child);
    if (window != 0 && Painted(display, window)) {
      std::printf("startup_ms %.1f\n", MillisecondsSince(start));
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
      // Resident memory of the program with its synthesizer's process: each one's own count
      // (the libraries both map are counted twice), and the proportional count (once).
      // The three figures are for one and the same set of processes.
      const std::vector<pid_t> tree = ProcessTree(child);
      std::printf("rss_kb %ld\n", TreeKilobytes(tree, "status", "VmRSS:"));
      std::printf("pss_kb %ld\n", TreeKilobytes(tree, "smaps_rollup", "Pss:"));
      // The pages both map counted once: comparable with the resident set of a single process.
      if (const auto pages = ResidentPages(tree); !pages.empty()) {
        std::printf("union_kb %ld\n",
                    static_cast<long>(pages.size() *
                                      static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) / 1024));
      }
      result = 0;
      break;
    }
    if (waitpid(child, nullptr, WNOHANG) == child) {
      stop.ended = true;
      std::fprintf(stderr, "the program ended before showing a window\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return result;
}

void PrintStatistics(const char* label, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const auto at = [&](double fraction) {
    return times[static_cast<std::size_t>(fraction * static_cast<double>(times.size() - 1))];
  };
  std::printf("%s count %zu min %.3f median %.3f p95 %.3f max %.3f\n", label, times.size(),
              times.front(), at(0.5), at(0.95), times.back());
}

// --- key to MIDI ---

struct Arrivals {
  std::mutex mutex;
  std::condition_variable arrived;
  int noteOns = 0;
  int noteOffs = 0;
  Clock::time_point lastNoteOn;
};

void OnMidi(double /*delta*/, std::vector<unsigned char>* message, void* data) {
  if (message->empty()) return;
  auto* arrivals = static_cast<Arrivals*>(data);
  const Clock::time_point now = Clock::now();
  const unsigned status = (*message)[0] & 0xF0u;
  std::lock_guard lock(arrivals->mutex);
  if (status == 0x90 && message->size() == 3 && (*message)[2] != 0) {
    ++arrivals->noteOns;
    arrivals->lastNoteOn = now;
  } else if (status == 0x80 || status == 0x90) {
    ++arrivals->noteOffs;
  }
  arrivals->arrived.notify_all();
}

bool WaitForGo() {
  std::printf("ready\n");
  std::fflush(stdout);
  return std::getchar() != EOF;
}

void PressQ(Display* display, bool down) {
  static const KeyCode q = XKeysymToKeycode(display, XStringToKeysym("q"));
  XTestFakeKeyEvent(display, q, down ? True : False, CurrentTime);
  XFlush(display);
}

int Latency(Display* display, const char* portName, int count) {
  Arrivals arrivals;
  RtMidiIn input(RtMidi::UNIX_JACK, "orvane-measure");
  input.ignoreTypes(true, true, true);
  input.setCallback(OnMidi, &arrivals);
  input.openVirtualPort(portName);
  if (!WaitForGo()) return 1;

  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    std::unique_lock lock(arrivals.mutex);
    const int ons = arrivals.noteOns;
    const int offs = arrivals.noteOffs;
    lock.unlock();
    const Clock::time_point pressed = Clock::now();
    PressQ(display, true);
    lock.lock();
    if (!arrivals.arrived.wait_for(lock, std::chrono::seconds(2),
                                   [&] { return arrivals.noteOns > ons; })) {
      std::fprintf(stderr, "no note-on for press %d\n", i);
      return 1;
    }
    times.push_back(
        std::chrono::duration<double, std::milli>(arrivals.lastNoteOn - pressed).count());
    lock.unlock();
    PressQ(display, false);
    lock.lock();
    arrivals.arrived.wait_for(lock, std::chrono::seconds(2),
                              [&] { return arrivals.noteOffs > offs; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  PrintStatistics("latency_ms", times);
  return 0;
}

// --- key to sound ---

// Sounding means a sample above -60 dBFS (a piano note at velocity 100 gets there 1.4 ms after
// its start, -40 dBFS takes it 3.9 ms: the instrument's attack, not the output's delay); silent,
// ready for the next press, a period below -66 dBFS.
constexpr float kAudible = 0.001f;
constexpr float kSilent = 0.0005f;

// Where the probe listens: two inputs, connected to the outputs that start with a prefix.
struct SoundTap {
  jack_port_t* ports[2] = {nullptr, nullptr};
  std::atomic<float> peak{0.0f};             // of the last period
  std::atomic<jack_time_t> firstAudible{0};  // arrival of the first sounding sample, armed by 0
  std::atomic<bool> armed{false};
};

// Up to two taps, heard in the same cycles: the synthesizer's own outputs and, for instance, the
// monitor of the sink they play to.
struct SoundProbe {
  jack_client_t* client = nullptr;
  SoundTap taps[2];
  int tapCount = 1;
};

void Listen(SoundTap& tap, jack_nframes_t frames) {
  float peak = 0.0f;
  jack_nframes_t first = frames;
  for (jack_port_t* port : tap.ports) {
    const auto* samples = static_cast<const float*>(jack_port_get_buffer(port, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
      const float level = std::fabs(samples[i]);
      peak = std::max(peak, level);
      if (level >= kAudible && i < first) first = i;
    }
  }
  tap.peak.store(peak, std::memory_order_release);
  // Stamped when the cycle that carries it reaches the probe: the server's frame clock strays by
  // tens of milliseconds on jackd's dummy backend, whose cycles start when a sleep ends.
  if (first < frames && tap.armed.exchange(false, std::memory_order_acq_rel)) {
    tap.firstAudible.store(jack_get_time(), std::memory_order_release);
  }
}

int ProcessSound(jack_nframes_t frames, void* data) {
  auto* probe = static_cast<SoundProbe*>(data);
  for (int i = 0; i < probe->tapCount; ++i) Listen(probe->taps[i], frames);
  return 0;
}

bool OpenSoundProbe(SoundProbe& probe, int tapCount = 1) {
  jack_status_t status{};
  probe.client = jack_client_open("orvane-sound-probe", JackNoStartServer, &status);
  if (probe.client == nullptr) {
    std::fprintf(stderr, "no JACK server\n");
    return false;
  }
  probe.tapCount = tapCount;
  const char* names[2][2] = {{"in_l", "in_r"}, {"in2_l", "in2_r"}};
  for (int tap = 0; tap < tapCount; ++tap) {
    for (int side = 0; side < 2; ++side) {
      probe.taps[tap].ports[side] = jack_port_register(probe.client, names[tap][side],
                                                       JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
  }
  jack_set_process_callback(probe.client, ProcessSound, &probe);
  return jack_activate(probe.client) == 0;
}

// Connects every audio output whose name starts with the prefix to the tap; false when there is
// none.
bool ConnectSources(jack_client_t* client, SoundTap& tap, const char* portPrefix) {
  const char** sources = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
  int connected = 0;
  for (int i = 0; sources != nullptr && sources[i] != nullptr; ++i) {
    if (std::strncmp(sources[i], portPrefix, std::strlen(portPrefix)) != 0) continue;
    jack_connect(client, sources[i], jack_port_name(tap.ports[connected % 2]));
    ++connected;
  }
  if (sources != nullptr) jack_free(sources);
  if (connected == 0) std::fprintf(stderr, "no audio output starts with \"%s\"\n", portPrefix);
  return connected > 0;
}

// Presses Q and returns the milliseconds until each tap hears it, NaN for one that did not.
std::vector<double> PressAndHear(Display* display, SoundProbe& probe) {
  for (int i = 0; i < probe.tapCount; ++i) {
    probe.taps[i].firstAudible.store(0, std::memory_order_release);
    probe.taps[i].armed.store(true, std::memory_order_release);
  }
  const jack_time_t pressed = jack_get_time();
  PressQ(display, true);
  const Clock::time_point pressStart = Clock::now();
  std::vector<double> heard(static_cast<std::size_t>(probe.tapCount), std::nan(""));
  for (;;) {
    bool all = true;
    for (int i = 0; i < probe.tapCount; ++i) {
      const jack_time_t at = probe.taps[i].firstAudible.load(std::memory_order_acquire);
      if (at == 0) {
        all = false;
      } else {
        // Signed: a sample can sit in a cycle that began before the press reached the program.
        heard[static_cast<std::size_t>(i)] =
            static_cast<double>(static_cast<std::int64_t>(at - pressed)) / 1000.0;
      }
    }
    if (all || MillisecondsSince(pressStart) > 2000) return heard;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

// `prefixes`: one or two; the second tap's times are printed as press2_ms and sound2_ms.
int Sound(Display* display, const std::vector<const char*>& prefixes, int count) {
  SoundProbe probe;
  const int taps = static_cast<int>(prefixes.size());
  if (!OpenSoundProbe(probe, taps) || !WaitForGo()) return 1;
  for (int i = 0; i < taps; ++i) {
    if (!ConnectSources(probe.client, probe.taps[i], prefixes[static_cast<std::size_t>(i)])) {
      return 1;
    }
  }
  std::vector<double> times[2];
  for (int i = 0; i < count; ++i) {
    // The piano's release rings for a while: start each press from silence.
    const Clock::time_point waitStart = Clock::now();
    while (probe.taps[0].peak.load(std::memory_order_acquire) >= kSilent ||
           probe.taps[taps - 1].peak.load(std::memory_order_acquire) >= kSilent) {
      if (MillisecondsSince(waitStart) > 10000) {
        std::fprintf(stderr, "the output never fell silent\n");
        return 1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Presses land anywhere in the JACK period.
    std::this_thread::sleep_for(std::chrono::microseconds(20000 + (i * 7919) % 2000));
    const std::vector<double> heard = PressAndHear(display, probe);
    for (int tap = 0; tap < taps; ++tap) {
      const double ms = heard[static_cast<std::size_t>(tap)];
      if (std::isnan(ms)) {
        std::fprintf(stderr, "press %d was never heard at \"%s\"\n", i,
                     prefixes[static_cast<std::size_t>(tap)]);
        return 1;
      }
      times[tap].push_back(ms);
      std::printf("%s %.3f\n", tap == 0 ? "press_ms" : "press2_ms", ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    PressQ(display, false);
  }
  PrintStatistics("sound_ms", times[0]);
  if (taps == 2) PrintStatistics("sound2_ms", times[1]);
  jack_client_close(probe.client);
  return 0;
}

// Starts the program and presses Q the moment its window shows painted: how long the very first
// press takes to be heard, while whatever the program loads in the background may still load.
int FirstSound(Display* display, const char* portPrefix, char** command) {
  SoundProbe probe;
  if (!OpenSoundProbe(probe)) return 1;
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  int result = 1;
  Window window = 0;
  while (MillisecondsSince(start) < 20000) {
    if (window == 0) window = FindWindow(display, DefaultRootWindow(display), child);
    if (window != 0 && Painted(display, window)) break;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (window != 0) {
    const double shown = MillisecondsSince(start);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    if (ConnectSources(probe.client, probe.taps[0], portPrefix)) {
      const double heard = PressAndHear(display, probe)[0];
      PressQ(display, false);
      std::printf("window_ms %.1f first_press_to_sound_ms %.3f pressed_after_window_ms %.1f\n",
                  shown, heard, MillisecondsSince(start) - shown - std::max(heard, 0.0));
      result = std::isnan(heard) ? 1 : 0;
    }
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  jack_client_close(probe.client);
  return result;
}

int Storm(Display* display, double seconds, double rate) {
  constexpr const char* kKeys = "qwertyuiopasdfghjklzxcvbnm";
  std::vector<KeyCode> keys;
  for (const char* key = kKeys; *key != '\0'; ++key) {
    const char name[2] = {*key, '\0'};
    keys.push_back(XKeysymToKeycode(display, XStringToKeysym(name)));
  }
  struct Held {
    KeyCode key;
    Clock::time_point release;
  };
  std::vector<Held> held;
  std::uint64_t random = 88172645463325252ull;  // xorshift: the same storm every run
  const auto next = [&random](std::uint64_t range) {
    random ^= random << 13;
    random ^= random >> 7;
    random ^= random << 17;
    return random % range;
  };
  const Clock::time_point start = Clock::now();
  Clock::time_point nextPress = start;
  int presses = 0;
  while (MillisecondsSince(start) < seconds * 1000.0) {
    const Clock::time_point now = Clock::now();
    for (auto it = held.begin(); it != held.end();) {
      if (it->release <= now) {
        XTestFakeKeyEvent(display, it->key, False, CurrentTime);
        it = held.erase(it);
      } else {
        ++it;
      }
    }
    if (now >= nextPress && held.size() < 4) {
      const KeyCode key = keys[next(keys.size())];
      if (std::none_of(held.begin(), held.end(), [key](const Held& h) { return h.key == key; })) {
        XTestFakeKeyEvent(display, key, True, CurrentTime);
        held.push_back({key, now + std::chrono::milliseconds(40 + next(160))});
        ++presses;
      }
      // Exponential gaps around the mean rate.
      const double gap = -std::log(1.0 - static_cast<double>(next(1000000)) / 1e6) / rate;
      nextPress = now + std::chrono::microseconds(static_cast<long>(gap * 1e6));
    }
    XFlush(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (const Held& h : held) XTestFakeKeyEvent(display, h.key, False, CurrentTime);
  XFlush(display);
  std::printf("storm_presses %d in %.0f s\n", presses, seconds);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXError);
  int result = 2;
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "startup" && argc >= 3) {
      int settleMs = 1000;
      char** command = argv + 2;
      if (std::string(argv[2]) == "--settle" && argc >= 5) {
        settleMs = std::stoi(argv[3]);
        command = argv + 4;
      }
      result = Startup(display, settleMs, command);
    } else if (mode == "latency" && argc == 4) {
      result = Latency(display, argv[2], std::stoi(argv[3]));
    } else if (mode == "sound" && (argc == 4 || argc == 5)) {
      std::vector<const char*> prefixes = {argv[2]};
      if (argc == 5) prefixes.push_back(argv[4]);
      result = Sound(display, prefixes, std::stoi(argv[3]));
    } else if (mode == "storm" && argc == 4) {
      result = Storm(display, std::stod(argv[2]), std::stod(argv[3]));
    } else if (mode == "first" && argc >= 4) {
      result = FirstSound(display, argv[2], argv + 3);
    } else {
      std::fprintf(
          stderr,
          "usage: %s startup [--settle MS] PROGRAM [ARGS...] | latency PORT COUNT | "
          "sound PORT-PREFIX COUNT [PORT-PREFIX-2] | first PORT-PREFIX PROGRAM [ARGS...] | "
          "storm SECONDS PRESSES-PER-SECOND\n",
          argv[0]);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "measure: %s\n", error.what());
    result = 1;
  }
  XCloseDisplay(display);
  return result;
}
