#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/LoadingQueue.h"
#include "platform/SynthCore.h"
#include "platform/SystemProbe.h"

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace orvane {

// The built-in General MIDI synthesizer playing through the desktop's audio: FluidSynth with the
// system's GM SoundFont, on PulseAudio (which PipeWire also serves), else JACK, else ALSA.
// ORVANE_AUDIO_DRIVER names the one driver to use instead ("pulseaudio", "jack", "alsa", ...);
// ORVANE_SOUNDFONT names the SoundFont to try first.
//
// Opening answers as soon as the synthesizer is sure to sound: a complete SoundFont file is
// there and the audio output is open. The SoundFont then loads on a thread of the synthesizer's
// own (tens of milliseconds for a GM SoundFont); whatever is sent meanwhile waits in order and is
// played the moment it has loaded, so nothing sent early is lost or reordered. After that every
// call goes straight to FluidSynth.
class BuiltInSynth {
 public:
  // nullptr unless a SoundFont file is complete and an audio driver opens. `askJack` tells what
  // the JACK server runs at (the port listing's client knows it; by default a client is opened).
  static std::unique_ptr<BuiltInSynth> Open(
      bool dynamicSampleLoading = true,
      const std::function<JackServerInfo()>& askJack = ProbeJackServer);
  // Waits for the loading thread, then closes the audio output.
  ~BuiltInSynth();
  BuiltInSynth(const BuiltInSynth&) = delete;
  BuiltInSynth& operator=(const BuiltInSynth&) = delete;

  // One sender thread (the user-interface thread); none of these blocks once loaded.
  void Send(ShortMessage message) noexcept;
  void AllNotesOff() noexcept;
  // The channels the program plays notes on (see SynthCore::SetChannelsInUse).
  void SetChannelsInUse(std::uint16_t channels) noexcept;

  // Blocks until loading has ended; true when a SoundFont loaded (measurements and tests).
  bool WaitUntilLoaded() const { return loaded_.get(); }
  bool IsLoaded() const {
    return loaded_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }
  // The synthesizer itself, to look at once loaded (tests).
  const SynthCore& Core() const { return *core_; }

  const std::string& DriverName() const { return driverName_; }
  // The SoundFont chosen when opening (the one that loads, unless that file is broken inside).
  const std::string& SoundFontPath() const { return soundFonts_.front(); }
  double SampleRate() const { return core_->SampleRate(); }
  // The output buffer the driver was asked for, in seconds (JACK: the server's period).
  double ConfiguredLatencySeconds() const { return latencySeconds_; }

 private:
  BuiltInSynth() = default;
  // Creates the synthesizer at `rate` and starts loading its SoundFont on a thread.
  void StartLoading(double rate, bool dynamicSampleLoading);
  // On the loading thread: loads the SoundFont, then, once the audio output is open, plays
  // what was sent meanwhile.
  void Load(SynthCore& core, const std::vector<std::string>& soundFonts,
            std::future<bool>& driverOpened) noexcept;
  // Gives up the synthesizer being loaded (no audio output opened for it); its loading ends on
  // its own, without this object.
  void AbandonLoading();
  void Apply(std::uint32_t item) noexcept;

  std::unique_ptr<SynthCore> core_;
  fluid_audio_driver_t* driver_ = nullptr;
  std::vector<std::string> soundFonts_;  // complete files, the chosen one first
  std::string driverName_;
  double latencySeconds_ = 0.0;
  LoadingQueue queue_;
  std::promise<bool> driverOpened_;
  std::promise<bool> loadedPromise_;
  std::shared_future<bool> loaded_ = loadedPromise_.get_future().share();
  std::thread loader_;
};

}  // namespace orvane
