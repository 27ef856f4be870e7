// Cost of one key press and release on the way from the view to the MIDI layer, and how many
// heap allocations it makes (the path must make none).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "config/IniFile.h"
#include "display/KeyboardDisplay.h"
#include "keyboard/PerformanceInput.h"
#include "midi/MidiLayer.h"
#include "midi/ToneGen.h"
#include "platform/UserMessages.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace orvane {
namespace {

// An output that takes every message and keeps none, like a synthesizer that never blocks.
class SinkMidiLayer : public MidiLayer {
 public:
  int OutputDeviceCount() override { return 1; }
  std::string OutputDeviceName(int) override { return "sink"; }
  bool OpenOutput(int) override { return true; }
  void CloseOutput() override {}
  void SendShortMessage(ShortMessage message) override { benchmark::DoNotOptimize(message); }
  void ResetOutput() override {}
  int InputDeviceCount() override { return 0; }
  std::string InputDeviceName(int) override { return {}; }
  bool OpenInput(int, MidiInputSink&) override { return false; }
  void StartInput() override {}
  void StopInput() override {}
  void CloseInput() override {}
};

class SilentMessages : public UserMessages {
 public:
  void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
  void EndProcess(int status) override { std::exit(status); }
};

class NoDisplay : public KeyboardDisplay {
 public:
  void PaintPianoKeysPressed(const NoteList& keys) override { benchmark::DoNotOptimize(keys); }
  void PaintPianoKeysReleased(const NoteList& keys) override { benchmark::DoNotOptimize(keys); }
  void PaintPianoKeyPressed(int) override {}
  void PaintAccordionButtonPressed(int button) override { benchmark::DoNotOptimize(button); }
  void PaintAccordionButtonReleased(int button) override { benchmark::DoNotOptimize(button); }
  void RepaintPianoKeys() override {}
  void RepaintAccordionButtons() override {}
  void InvalidateAll() override {}
};

struct Instrument {
  Instrument()
      : directory(std::filesystem::temp_directory_path() / "orvane-keypath-bench"),
        iniFile((std::filesystem::create_directories(directory), directory.string())),
        toneGen(midi, messages, iniFile),
        input(toneGen, display) {}
  ~Instrument() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  std::filesystem::path directory;
  SinkMidiLayer midi;
  SilentMessages messages;
  CIniFile iniFile;
  CToneGen toneGen;
  NoDisplay display;
  PerformanceInput input;
};

// One press and one release of a key; `layers` layers on.
void PressAndRelease(benchmark::State& state, int keyboardType, int keyCode) {
  Instrument instrument;
  for (int layer = 0; layer < state.range(0); ++layer)
    instrument.toneGen.voice.layerOn[layer] = true;
  instrument.input.SetKeyboardType(keyboardType);
  ModifierState modifiers;
  long before = allocations.load();
  for (auto _ : state) {
    instrument.input.KeyPressed(keyCode, modifiers);
    instrument.input.KeyReleased(keyCode, modifiers);
  }
  state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}

void PianoKey(benchmark::State& state) {
  PressAndRelease(state, 0, 'Q');
}
void AccordionSeventhChord(benchmark::State& state) {
  PressAndRelease(state, 1, 'N');
}

// An auto-repeat press of a held key: dropped.
void AutoRepeat(benchmark::State& state) {
  Instrument instrument;
  instrument.input.SetKeyboardType(0);
  ModifierState modifiers;
  instrument.input.KeyPressed('Q', modifiers);
  long before = allocations.load();
  for (auto _ : state) instrument.input.KeyPressed('Q', modifiers);
  state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}

BENCHMARK(PianoKey)->Arg(1)->Arg(16);
BENCHMARK(AccordionSeventhChord)->Arg(1)->Arg(16);
BENCHMARK(AutoRepeat);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
