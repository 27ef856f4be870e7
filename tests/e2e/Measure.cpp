// Measures the running program from outside, as a player meets it:
//   orvane_measure startup PROGRAM [ARGS...]
//     time from starting the process to its window showing a painted keyboard;
//   orvane_measure latency PORT-NAME COUNT
//     time from a key press injected into the X server (XTest) to its note-on arriving at a
//     JACK MIDI port of this process. It prints "ready" once the port exists and starts when a
//     line arrives on standard input (the program then plays into the port and has the focus).
// Prints the times in milliseconds. Needs DISPLAY (and JACK for latency).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <RtMidi.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The viewable main window, called "Orvane" until a voice file is read or written and "Tellak
// Orvane" with the working voice, searched through the whole tree.
Window FindWindow(Display* display, Window parent) {
  Window root = 0;
  Window parentOut = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, parent, &root, &parentOut, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    XWindowAttributes attributes;
    if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
      if ((std::strcmp(name, "Orvane") == 0 || std::strcmp(name, "Tellak Orvane") == 0) &&
          XGetWindowAttributes(display, children[i], &attributes) != 0 &&
          attributes.map_state == IsViewable) {
        found = children[i];
      }
      XFree(name);
    }
    if (found == 0) found = FindWindow(display, children[i]);
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Near the bottom left corner the piano's lowest white key is white and the accordion panel
// light grey once painted; an unpainted window is black.
bool KeyboardPainted(Display* display, Window window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  XImage* image = XGetImage(display, window, 8, attributes.height - 8, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return (pixel & 0xFFFFFF) == 0xFFFFFF || (pixel & 0xFFFFFF) == 0xE6E6E6;
}

int Startup(Display* display, char** command) {
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  Window window = 0;
  int result = 1;
  while (MillisecondsSince(start) < 20000) {
    if (window == 0) window = FindWindow(display, DefaultRootWindow(display));
    if (window != 0 && KeyboardPainted(display, window)) {
      std::printf("startup_ms %.1f\n", MillisecondsSince(start));
      result = 0;
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  return result;
}

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

int Latency(Display* display, const char* portName, int count) {
  Arrivals arrivals;
  RtMidiIn input(RtMidi::UNIX_JACK, "orvane-measure");
  input.ignoreTypes(true, true, true);
  input.setCallback(OnMidi, &arrivals);
  input.openVirtualPort(portName);
  std::printf("ready\n");
  std::fflush(stdout);
  // The caller starts the program on this port, focuses it and then writes a line.
  if (std::getchar() == EOF) return 1;

  const KeyCode q = XKeysymToKeycode(display, XStringToKeysym("q"));
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    std::unique_lock lock(arrivals.mutex);
    const int ons = arrivals.noteOns;
    const int offs = arrivals.noteOffs;
    lock.unlock();
    const Clock::time_point pressed = Clock::now();
    XTestFakeKeyEvent(display, q, True, CurrentTime);
    XFlush(display);
    lock.lock();
    if (!arrivals.arrived.wait_for(lock, std::chrono::seconds(2),
                                   [&] { return arrivals.noteOns > ons; })) {
      std::fprintf(stderr, "no note-on for press %d\n", i);
      return 1;
    }
    times.push_back(
        std::chrono::duration<double, std::milli>(arrivals.lastNoteOn - pressed).count());
    lock.unlock();
    XTestFakeKeyEvent(display, q, False, CurrentTime);
    XFlush(display);
    lock.lock();
    arrivals.arrived.wait_for(lock, std::chrono::seconds(2),
                              [&] { return arrivals.noteOffs > offs; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  std::sort(times.begin(), times.end());
  const auto at = [&](double fraction) {
    return times[static_cast<std::size_t>(fraction * static_cast<double>(times.size() - 1))];
  };
  std::printf("latency_ms count %zu min %.3f median %.3f p95 %.3f max %.3f\n", times.size(),
              times.front(), at(0.5), at(0.95), times.back());
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 2;
  }
  int result = 2;
  if (argc >= 3 && std::string(argv[1]) == "startup") {
    result = Startup(display, argv + 2);
  } else if (argc == 4 && std::string(argv[1]) == "latency") {
    try {
      result = Latency(display, argv[2], std::stoi(argv[3]));
    } catch (const std::exception& error) {
      std::fprintf(stderr, "measure: %s\n", error.what());
      result = 1;
    }
  } else {
    std::fprintf(stderr, "usage: %s startup PROGRAM [ARGS...] | latency PORT COUNT\n", argv[0]);
  }
  XCloseDisplay(display);
  return result;
}
