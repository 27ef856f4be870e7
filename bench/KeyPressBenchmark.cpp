// The cost of one key press: the layout lookup and a four-note chord sent on all 16 layers, into
// an output that only counts. "allocations" must stay 0: the key path never touches the heap.
#include <benchmark/benchmark.h>

#include "AllocationCounter.h"
#include "NullMidiLayer.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/keyboard/KeyLayout.h"
#include "core/midi/ToneGen.h"

namespace orvane {
namespace {

void BM_KeyPress(benchmark::State& state) {
  testing::TempDir dir;
  CIniFile ini(dir.path().string());
  testing::NullMidiLayer midi;
  testing::SilentUserMessages messages;
  CToneGen tone(midi, messages, ini);
  tone.voice.layerOn.fill(true);
  KeyLayout layout;
  layout.BuildAccordionKeys();
  // Seventh chords: four notes each.
  const int keys[] = {'Z', 'X', 'C', 'V', 'B', 'N', 'M'};
  std::size_t next = 0;

  midi.sent = 0;
  const std::size_t allocationsBefore = testing::AllocationCount();
  for (auto _ : state) {
    const NoteList notes = layout.NotesForKey(keys[next]);
    next = next + 1 == std::size(keys) ? 0 : next + 1;
    tone.NotesOn(notes);
    benchmark::ClobberMemory();
  }
  const std::size_t allocations = testing::AllocationCount() - allocationsBefore;

  state.counters["allocations"] = static_cast<double>(allocations);
  state.counters["messages_per_press"] =
      static_cast<double>(midi.sent) / static_cast<double>(state.iterations());
  if (allocations != 0) state.SkipWithError("the key press path allocated");
}
BENCHMARK(BM_KeyPress);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
