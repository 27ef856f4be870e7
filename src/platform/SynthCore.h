#pragma once

#include <memory>
#include <string>

#include "midi/MidiLayer.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace orvane {

struct SynthOptions {
  std::string soundFont;  // empty: the first of SoundFontCandidates() that loads
  double sampleRate = 48000.0;
  // Loads a preset's samples only when a channel selects it: a GM SoundFont of 140 MB then
  // starts in milliseconds and keeps only the played instruments in memory.
  bool dynamicSampleLoading = true;
};

// The FluidSynth synthesizer with a General MIDI SoundFont loaded, without any audio device: the
// built-in output drives it from an audio driver, tests render it offline.
class SynthCore {
 public:
  // nullptr when no SoundFont loads.
  static std::unique_ptr<SynthCore> Create(const SynthOptions& options);
  ~SynthCore();
  SynthCore(const SynthCore&) = delete;
  SynthCore& operator=(const SynthCore&) = delete;

  // Plays a packed channel message; other messages and invalid data bytes are ignored.
  void Send(ShortMessage message) noexcept;
  // Releases every sounding note on all 16 channels; programs and controllers stay.
  void AllNotesOff() noexcept;
  // Renders `frames` stereo frames into two separate buffers (offline use only: never while an
  // audio driver renders the same synthesizer).
  void Render(float* left, float* right, int frames) noexcept;

  double SampleRate() const;
  const std::string& SoundFontPath() const { return soundFontPath_; }
  fluid_settings_t* Settings() const { return settings_; }
  fluid_synth_t* Synth() const { return synth_; }

 private:
  SynthCore() = default;

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  std::string soundFontPath_;
};

// Silences FluidSynth's own messages on the terminal (once per process).
void QuietFluidSynthLog();

}  // namespace orvane
