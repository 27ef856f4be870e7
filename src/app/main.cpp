#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/CommandLine.h"
#include "app/UserInterface.h"
#include "platform/ProgramFiles.h"
#include "platform/SystemMidiLayer.h"

namespace {

// Qt's X11 start takes DESKTOP_STARTUP_ID out of the environment while the MIDI threads may read
// the environment. Removing a variable shifts those behind it, which a concurrent reader can
// miss; moving it to the end before any thread starts leaves nothing behind it to shift.
void MoveStartupIdToTheEnd() {
  const char* id = std::getenv("DESKTOP_STARTUP_ID");
  if (id == nullptr) return;
  const std::string value = id;
  unsetenv("DESKTOP_STARTUP_ID");
  setenv("DESKTOP_STARTUP_ID", value.c_str(), 1);
}

// The interface's entry point from the first candidate that loads, or nullptr after saying on
// standard error why each failed. Symbols bind as they are first called; binding all of Qt's at
// once costs milliseconds.
decltype(&OrvaneRunUserInterface) LoadUserInterface() {
  std::string failures;
  for (const std::string& candidate :
       orvane::ProgramFileCandidates(orvane::kUserInterfaceFileName)) {
    std::string failure;
    if (void* module = dlopen(candidate.c_str(), RTLD_LAZY | RTLD_LOCAL)) {
      if (void* entry = dlsym(module, orvane::kUserInterfaceEntryName)) {
        return reinterpret_cast<decltype(&OrvaneRunUserInterface)>(entry);
      }
      failure = candidate + " has no " + orvane::kUserInterfaceEntryName;
      dlclose(module);
    } else {
      failure = dlerror();
    }
    failures += (failures.empty() ? "" : "; ") + failure;
  }
  if (failures.empty()) failures = "the program's own folder is not known";
  std::fprintf(stderr, "orvane: cannot load the user interface (%s)\n", failures.c_str());
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const auto status = orvane::AnswerTextRequestOnly(argc, argv)) return *status;
  MoveStartupIdToTheEnd();
  // The audio output, the SoundFont and the port listing take about as long as the window:
  // started first, before even Qt's libraries load, they are under way while the window is built.
  orvane::SystemMidiStartup midiStartup = orvane::StartSystemMidi();
  const auto runUserInterface = LoadUserInterface();
  if (runUserInterface == nullptr) return EXIT_FAILURE;
  return runUserInterface(argc, argv, &midiStartup);
}
