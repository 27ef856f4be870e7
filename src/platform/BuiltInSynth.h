#pragma once

#include <memory>
#include <string>

#include "platform/SynthCore.h"

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace orvane {

// The built-in General MIDI synthesizer playing through the desktop's audio: FluidSynth with the
// system's GM SoundFont, on PulseAudio (which PipeWire also serves), else JACK, else ALSA.
// ORVANE_AUDIO_DRIVER names the one driver to use instead ("pulseaudio", "jack", "alsa", ...);
// ORVANE_SOUNDFONT names the SoundFont to try first.
class BuiltInSynth {
 public:
  // nullptr unless a SoundFont loads and an audio driver opens.
  static std::unique_ptr<BuiltInSynth> Open(bool dynamicSampleLoading = true);
  ~BuiltInSynth();
  BuiltInSynth(const BuiltInSynth&) = delete;
  BuiltInSynth& operator=(const BuiltInSynth&) = delete;

  void Send(ShortMessage message) noexcept { core_->Send(message); }
  void AllNotesOff() noexcept { core_->AllNotesOff(); }

  const std::string& DriverName() const { return driverName_; }
  const std::string& SoundFontPath() const { return core_->SoundFontPath(); }
  double SampleRate() const { return core_->SampleRate(); }
  // The output buffer the driver was asked for, in seconds (JACK: the server's period).
  double ConfiguredLatencySeconds() const { return latencySeconds_; }

 private:
  BuiltInSynth() = default;

  std::unique_ptr<SynthCore> core_;
  fluid_audio_driver_t* driver_ = nullptr;
  std::string driverName_;
  double latencySeconds_ = 0.0;
};

}  // namespace orvane
