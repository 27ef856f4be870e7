#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/midi/MidiLayer.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace orvane {

struct SynthOptions {
  std::string soundFont;  // empty: the first of SoundFontCandidates() that loads
  double sampleRate = 48000.0;
  // Loads a preset's samples only when a channel selects it: a GM SoundFont of 140 MB then
  // starts in milliseconds and keeps only the played instruments in memory.
  bool dynamicSampleLoading = true;
  // The channels that play notes from the start (see SetChannelsInUse).
  std::uint16_t channelsInUse = 0xFFFF;
};

// The FluidSynth synthesizer with a General MIDI SoundFont, without any audio device: the
// built-in output drives it from an audio driver, tests render it offline.
//
// A channel's instrument is selected (and with dynamic sample loading its samples read) only
// while the channel is in use: the program of a channel that plays no notes costs neither time
// nor memory until SetChannelsInUse names it, or until a note arrives on it after all.
class SynthCore {
 public:
  // With a SoundFont loaded; nullptr when none loads.
  static std::unique_ptr<SynthCore> Create(const SynthOptions& options);
  // Without a SoundFont yet (it renders silence): LoadSoundFont follows, on any thread, while an
  // audio driver may already render. nullptr when FluidSynth cannot start.
  static std::unique_ptr<SynthCore> CreateEmpty(const SynthOptions& options);
  ~SynthCore();
  SynthCore(const SynthCore&) = delete;
  SynthCore& operator=(const SynthCore&) = delete;

  // Loads the SoundFont at `path`; false when it is no SoundFont or cannot be read. No channel
  // has an instrument yet: program changes and SelectProgramsInUse() give them theirs.
  bool LoadSoundFont(const std::string& path);
  // Gives every channel in use that has none its program (General MIDI program 0 unless a
  // program change said otherwise).
  void SelectProgramsInUse() noexcept;

  // Plays a packed channel message; other messages and invalid data bytes are ignored.
  void Send(ShortMessage message) noexcept;
  // Releases every sounding note on all 16 channels; programs and controllers stay.
  void AllNotesOff() noexcept;
  // Bit i set: channel i plays notes. Channels coming into use get their program now.
  void SetChannelsInUse(std::uint16_t channels) noexcept;
  // Renders `frames` stereo frames into two separate buffers (offline use only: never while an
  // audio driver renders the same synthesizer).
  void Render(float* left, float* right, int frames) noexcept;

  double SampleRate() const;
  const std::string& SoundFontPath() const { return soundFontPath_; }
  fluid_settings_t* Settings() const { return settings_; }
  fluid_synth_t* Synth() const { return synth_; }

 private:
  SynthCore() = default;
  bool InUse(int channel) const { return (channelsInUse_ >> channel) & 1u; }
  void SelectProgram(int channel) noexcept;

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  std::string soundFontPath_;
  bool loaded_ = false;
  std::uint16_t channelsInUse_ = 0xFFFF;
  std::array<std::uint8_t, kMidiChannelCount>
      program_{};  // as last asked for; General MIDI starts at 0
  std::array<bool, kMidiChannelCount>
      selected_{};  // the synthesizer has program_[channel] selected
};

// Silences FluidSynth's own messages on the terminal (once per process).
void QuietFluidSynthLog();

}  // namespace orvane
