#include "platform/BuiltInSynth.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <vector>

#include "platform/SystemProbe.h"

namespace orvane {
namespace {

// PipeWire and most sound cards run at 48 kHz; asking for their rate spares a resampler.
constexpr double kDesktopSampleRate = 48000.0;
// 128 frames twice over is 5.3 ms at 48 kHz: short enough to play, long enough not to crackle.
constexpr int kPeriodFrames = 128;
constexpr int kPeriods = 2;

std::vector<std::string> DriverOrder() {
  if (const char* forced = std::getenv("ORVANE_AUDIO_DRIVER"); forced != nullptr && *forced != 0) {
    return {forced};
  }
  return {"pulseaudio", "jack", "alsa"};
}

void ConfigureDriver(fluid_settings_t* settings, const std::string& driver) {
  fluid_settings_setstr(settings, "audio.driver", driver.c_str());
  fluid_settings_setint(settings, "audio.period-size", kPeriodFrames);
  fluid_settings_setint(settings, "audio.periods", kPeriods);
  fluid_settings_setstr(settings, "audio.jack.id", "Tellak Orvane");
  fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
  fluid_settings_setint(settings, "audio.jack.multi", 0);
  fluid_settings_setstr(settings, "audio.pulseaudio.media-role", "music");
  fluid_settings_setint(settings, "audio.pulseaudio.adjust-latency", 1);
}

}  // namespace

std::unique_ptr<BuiltInSynth> BuiltInSynth::Open(bool dynamicSampleLoading) {
  QuietSystemLibraries();
  std::unique_ptr<BuiltInSynth> synth(new BuiltInSynth());
  for (const std::string& driver : DriverOrder()) {
    double rate = kDesktopSampleRate;
    double latency = kPeriodFrames * kPeriods / rate;
    if (driver == "jack") {
      // JACK runs at its own rate and period; render at exactly that rate.
      const JackServerInfo jack = ProbeJackServer();
      if (!jack.running) continue;
      rate = jack.sampleRate;
      latency = jack.bufferFrames / rate;
    }
    if (synth->core_ == nullptr || synth->core_->SampleRate() != rate) {
      synth->core_ = SynthCore::Create(
          {.soundFont = {}, .sampleRate = rate, .dynamicSampleLoading = dynamicSampleLoading});
      if (synth->core_ == nullptr) return nullptr;  // no SoundFont: no driver will help
    }
    ConfigureDriver(synth->core_->Settings(), driver);
    synth->driver_ = new_fluid_audio_driver(synth->core_->Settings(), synth->core_->Synth());
    if (synth->driver_ != nullptr) {
      synth->driverName_ = driver;
      synth->latencySeconds_ = latency;
      return synth;
    }
  }
  return nullptr;
}

BuiltInSynth::~BuiltInSynth() {
  // The driver's thread renders the synthesizer: stop it before the synthesizer goes.
  if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
}

}  // namespace orvane
