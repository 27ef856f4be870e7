#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "process_common/SynthOutput.h"
#include "synth/AudioServerProbe.h"
#include "synth/LoadingQueue.h"
#include "synth/PipeWireOutput.h"
#include "synth/SoundFontLocator.h"
#include "synth/SynthCore.h"

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace orvane {

// The built-in General MIDI synthesizer playing through the desktop's audio: FluidSynth with the
// system's GM SoundFont, on a PipeWire stream of its own when a PipeWire server answers, else
// PulseAudio, else JACK, else ALSA. ORVANE_AUDIO_DRIVER names the one driver to use instead
// ("pipewire", "pulseaudio", "jack", "alsa", ...); ORVANE_PIPEWIRE_LATENCY the quantum the
// PipeWire stream asks for; ORVANE_SOUNDFONT the SoundFont to try first.
//
// When the audio output fails (its server stopped or restarted) it is opened again, with a
// back-off, on a thread of its own, as soon as a server answers; meanwhile the synthesizer's time
// goes on unheard, so what is played then starts and ends as it would have.
//
// Opening answers as soon as the synthesizer is sure to sound: a complete SoundFont file is
// there and the audio output is open. Creating the synthesizer and loading its SoundFont happen
// on a thread of their own from the start, beside the audio servers being asked (tens of
// milliseconds for a GM SoundFont); the output plays silence until then. Whatever is sent
// meanwhile waits in order and is played the moment the SoundFont has loaded, so nothing sent
// early is lost or reordered. After that every call goes straight to FluidSynth.
class BuiltInSynth final : public SynthOutput {
 public:
  // nullptr unless one of `soundFonts` (complete files, the chosen one first) is there and an
  // audio driver opens. `askJack` tells what the JACK server runs at (the port listing's client
  // knows it; by default a client is opened).
  static std::unique_ptr<BuiltInSynth> Open(
      bool dynamicSampleLoading = true,
      const std::function<JackServerInfo()>& askJack = ProbeJackServer,
      std::vector<std::string> soundFonts = CompleteSoundFonts());
  // Waits for the loading thread, then closes the audio output.
  ~BuiltInSynth() override;
  BuiltInSynth(const BuiltInSynth&) = delete;
  BuiltInSynth& operator=(const BuiltInSynth&) = delete;

  void Send(ShortMessage message) noexcept override;
  void AllNotesOff() noexcept override;
  // The channels the program plays notes on (see SynthCore::SetChannelsInUse).
  void SetChannelsInUse(std::uint16_t channels) noexcept override;

  // Blocks until loading has ended; true when a SoundFont loaded (measurements and tests).
  bool WaitUntilLoaded() const { return loaded_.get(); }
  bool IsLoaded() const {
    return loaded_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }
  // The synthesizer itself, to look at once WaitUntilLoaded() was true (tests).
  const SynthCore& Core() const { return *core_; }

  // The audio driver playing now ("pipewire", "pulseaudio", "jack", "alsa"), or "" while the
  // output is being opened again.
  std::string DriverName() const;
  // How many times an audio output has opened: 1 once open, more after each reopening.
  int OutputOpenings() const { return openings_.load(std::memory_order_acquire); }
  // The SoundFont chosen when opening (the one that loads, unless that file is broken inside).
  const std::string& SoundFontPath() const override { return soundFonts_.front(); }
  double SampleRate() const { return sampleRate_.load(std::memory_order_acquire); }
  // The output buffer the driver was asked for, in seconds (JACK: the server's period).
  double ConfiguredLatencySeconds() const {
    return latencySeconds_.load(std::memory_order_acquire);
  }

 private:
  BuiltInSynth() = default;
  // Starts creating the synthesizer at `rate` and loading its SoundFont, on a thread.
  void StartLoading(double rate, bool dynamicSampleLoading);
  // On the loading thread, once the audio output is open: takes the synthesizer that was created
  // and loaded there, hands it to the output and plays what was sent meanwhile.
  void HandOver(std::unique_ptr<SynthCore> core, bool loaded) noexcept;
  // Gives up the synthesizer being loaded (no audio output opened at its rate); its loading
  // ends on its own, without this object.
  void AbandonLoading();
  void Apply(std::uint32_t item) noexcept;
  // The audio driver's callback, on its thread: silence until the synthesizer is handed over.
  static int Render(void* self, int frames, int effectsCount, float* effects[], int outputCount,
                    float* outputs[]);
  // The same for the PipeWire stream, into one interleaved buffer.
  static void RenderInterleaved(void* self, float* interleaved, int frames) noexcept;

  // Opens `driver`'s output at `rate`; true when it plays. `latency`: what it was asked for.
  bool OpenOutput(const std::string& driver, double rate, double latency);
  void CloseOutput();
  // From a thread of the output: it has failed for good.
  void ReportFailure();
  // The supervisor's thread: notices a failed output, then opens one again (see the class).
  void Supervise();
  // True when the output stopped: the PipeWire stream said so, or a driver's callback stopped.
  bool OutputLost(std::uint64_t& seenCycles,
                  std::chrono::steady_clock::time_point& lastProgress) const;
  // Waits `wait` (less when stopping) while the output is closed, rendering what that time would
  // have played, unheard. False when stopping.
  bool PassTimeUnheard(std::chrono::milliseconds wait);
  // Whether the driver's server converts from any rate the synthesizer renders at.
  static bool Converts(const std::string& driver);

  // Set by the loading thread before it opens the queue; read by the sender only after that.
  std::unique_ptr<SynthCore> core_;
  std::atomic<fluid_synth_t*> rendered_{nullptr};
  // The output: one FluidSynth driver or the PipeWire stream. Opened by Open(), then only on the
  // supervisor's thread.
  fluid_settings_t* driverSettings_ = nullptr;
  fluid_audio_driver_t* driver_ = nullptr;
  std::unique_ptr<PipeWireOutput> pipewire_;
  std::unique_ptr<PulseServerWatch> pulseWatch_;  // beside FluidSynth's PulseAudio driver
  std::atomic<std::uint64_t> cycles_{0};          // the driver's callbacks so far
  std::atomic<int> openings_{0};
  double synthRate_ = 0.0;               // what the synthesizer renders at
  std::vector<std::string> soundFonts_;  // complete files, the chosen one first
  std::vector<std::string> drivers_;     // in the order they are tried
  mutable std::mutex nameMutex_;
  std::string driverName_;  // under nameMutex_
  std::string lostDriver_;  // the one that played before the output failed
  std::mutex supervisorMutex_;
  std::condition_variable wake_;
  bool stopping_ = false;      // under supervisorMutex_
  bool outputFailed_ = false;  // under supervisorMutex_
  std::thread supervisor_;
  double loadingRate_ = 0.0;
  std::atomic<double> sampleRate_{0.0};
  std::atomic<double> latencySeconds_{0.0};
  LoadingQueue queue_;
  std::promise<bool> driverOpened_;
  std::promise<bool> loadedPromise_;
  std::shared_future<bool> loaded_ = loadedPromise_.get_future().share();
  std::thread loader_;
};

}  // namespace orvane
