#include "synth/SynthCore.h"

#include <fluidsynth.h>

#include <bit>
#include <mutex>

#include "core/midi/MidiBytes.h"
#include "synth/SoundFontLocator.h"

namespace orvane {
namespace {

// Every voice costs about 10 kB whether it sounds or not. A piano note takes two voices, and the
// pedal holds a few chords: 256 serve up to four layers; more layers (16 of them, a four-note
// chord each, under the pedal) want 512.
int PolyphonyFor(std::uint16_t channels) {
  return std::popcount(channels) > 4 ? 512 : 256;
}

}  // namespace

void QuietFluidSynthLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
  });
}

std::unique_ptr<SynthCore> SynthCore::CreateEmpty(const SynthOptions& options) {
  QuietFluidSynthLog();
  std::unique_ptr<SynthCore> core(new SynthCore());
  core->channelsInUse_ = options.channelsInUse;
  core->settings_ = new_fluid_settings();
  if (core->settings_ == nullptr) return nullptr;
  fluid_settings_setnum(core->settings_, "synth.sample-rate", options.sampleRate);
  fluid_settings_setint(core->settings_, "synth.dynamic-sample-loading",
                        options.dynamicSampleLoading ? 1 : 0);
  fluid_settings_setint(core->settings_, "synth.polyphony", PolyphonyFor(options.channelsInUse));
  fluid_settings_setnum(core->settings_, "synth.gain", 0.5);
  core->synth_ = new_fluid_synth(core->settings_);
  if (core->synth_ == nullptr) return nullptr;
  return core;
}

std::unique_ptr<SynthCore> SynthCore::Create(const SynthOptions& options) {
  std::unique_ptr<SynthCore> core = CreateEmpty(options);
  if (core == nullptr) return nullptr;
  std::vector<std::string> candidates;
  if (!options.soundFont.empty()) {
    candidates.push_back(options.soundFont);
  } else {
    candidates = SoundFontCandidates();
  }
  for (const std::string& path : candidates) {
    if (core->LoadSoundFont(path)) {
      core->SelectProgramsInUse();
      return core;
    }
  }
  return nullptr;
}

SynthCore::~SynthCore() {
  if (synth_ != nullptr) delete_fluid_synth(synth_);
  if (settings_ != nullptr) delete_fluid_settings(settings_);
}

bool SynthCore::LoadSoundFont(const std::string& path) {
  if (loaded_ || fluid_is_soundfont(path.c_str()) == 0) return false;
  // No preset is selected here: FluidSynth would read the drum kit for channel 10 at once.
  if (fluid_synth_sfload(synth_, path.c_str(), 0) == FLUID_FAILED) return false;
  soundFontPath_ = path;
  loaded_ = true;
  return true;
}

void SynthCore::SelectProgramsInUse() noexcept {
  for (int channel = 0; channel < kMidiChannelCount; ++channel) {
    if (InUse(channel) && !selected_[channel]) SelectProgram(channel);
  }
}

void SynthCore::SelectProgram(int channel) noexcept {
  if (!loaded_) return;
  fluid_synth_program_change(synth_, channel, program_[channel]);
  selected_[channel] = true;
}

void SynthCore::SetChannelsInUse(std::uint16_t channels) noexcept {
  channelsInUse_ = channels;
  const int polyphony = PolyphonyFor(channels);
  if (polyphony != fluid_synth_get_polyphony(synth_)) fluid_synth_set_polyphony(synth_, polyphony);
  SelectProgramsInUse();
}

void SynthCore::Send(ShortMessage message) noexcept {
  const int status = StatusByte(message);
  const int channel = status & 0x0F;
  const int data1 = DataByte1(message);
  const int data2 = DataByte2(message);
  if (data1 > 127 || data2 > 127) return;
  switch (status & 0xF0) {
    case 0x80:
      fluid_synth_noteoff(synth_, channel, data1);
      break;
    case 0x90:  // velocity 0 is a note-off; FluidSynth handles it so
      // A channel said to be idle plays after all: it gets its instrument first.
      if (!selected_[channel]) SelectProgram(channel);
      fluid_synth_noteon(synth_, channel, data1, data2);
      break;
    case 0xA0:
      fluid_synth_key_pressure(synth_, channel, data1, data2);
      break;
    case 0xB0:
      fluid_synth_cc(synth_, channel, data1, data2);
      break;
    case 0xC0:
      program_[channel] = static_cast<std::uint8_t>(data1);
      selected_[channel] = false;
      if (InUse(channel)) SelectProgram(channel);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(synth_, channel, data1);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
      break;
    default:
      break;
  }
}

void SynthCore::AllNotesOff() noexcept {
  // Sustained notes are released too, and the pedal is lifted so that new notes do not hang.
  for (int channel = 0; channel < kMidiChannelCount; ++channel) {
    fluid_synth_cc(synth_, channel, midi::kSustainPedal, 0);
    fluid_synth_all_notes_off(synth_, channel);
  }
}

void SynthCore::Render(float* left, float* right, int frames) noexcept {
  fluid_synth_write_float(synth_, frames, left, 0, 1, right, 0, 1);
}

double SynthCore::SampleRate() const {
  double rate = 0.0;
  fluid_settings_getnum(settings_, "synth.sample-rate", &rate);
  return rate;
}

}  // namespace orvane
