#include "platform/BuiltInSynth.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <mutex>

#include "platform/SoundFontLocator.h"
#include "platform/SystemProbe.h"

namespace orvane {
namespace {

// What most sound cards and PipeWire run at, for drivers that cannot be asked.
constexpr double kDesktopSampleRate = 48000.0;
// FluidSynth renders and hands over 128 frames at a time (2.7 ms at 48 kHz); PulseAudio is asked
// for just that much buffer, ALSA for two such periods.
constexpr int kPeriodFrames = 128;
constexpr int kPeriods = 2;

// What waits in the loading queue besides messages: a short message has bits 24-31 zero.
constexpr std::uint32_t kKindMask = 0xFF000000u;
constexpr std::uint32_t kResetItem = 0x01000000u;
constexpr std::uint32_t kChannelsItem = 0x02000000u;

// Whether this FluidSynth has an audio driver of that name.
bool KnownDriver(const std::string& driver) {
  struct Search {
    const std::string& name;
    bool found = false;
  } search{driver};
  fluid_settings_t* settings = new_fluid_settings();
  if (settings == nullptr) return false;
  fluid_settings_foreach_option(settings, "audio.driver", &search,
                                [](void* data, const char* /*name*/, const char* option) {
                                  auto* s = static_cast<Search*>(data);
                                  s->found = s->found || s->name == option;
                                });
  delete_fluid_settings(settings);
  return search.found;
}

std::vector<std::string> DriverOrder() {
  if (const char* forced = std::getenv("ORVANE_AUDIO_DRIVER"); forced != nullptr && *forced != 0) {
    // A name FluidSynth does not know (for instance "none") leaves the synthesizer silent at
    // once, before anything loads.
    if (!KnownDriver(forced)) return {};
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
  // FluidSynth would put the role into the environment from this thread while the user interface
  // starts on another; QuietSystemLibraries() has set it before any thread began.
  fluid_settings_setstr(settings, "audio.pulseaudio.media-role", "");
  fluid_settings_setint(settings, "audio.pulseaudio.adjust-latency", 1);
}

struct AudioTarget {
  bool present = false;
  double rate = kDesktopSampleRate;
  double latency = kPeriodFrames * kPeriods / kDesktopSampleRate;
};

// Whether the driver's server is there, and the rate to render at so that nobody resamples.
AudioTarget Probe(const std::string& driver, const std::function<JackServerInfo()>& askJack) {
  AudioTarget target{.present = true};
  if (driver == "jack") {
    const JackServerInfo jack = askJack();
    if (!jack.running) return {};  // never start a JACK server
    target.rate = jack.sampleRate;
    target.latency = jack.bufferFrames / target.rate;
  } else if (driver == "pulseaudio") {
    // PulseAudio converts the rate where it must (PipeWire and most sound cards run at 48 kHz,
    // and PulseAudio switches an idle card to it); asked only whether it is there.
    if (ProbePulseSampleRate() <= 0.0) return {};  // no server, and none is spawned
    target.latency = kPeriodFrames / target.rate;
  } else if (driver == "alsa") {
    if (const double alsaRate = ProbeAlsaSampleRate(target.rate); alsaRate > 0.0) {
      target.rate = alsaRate;
    }
    target.latency = kPeriodFrames * kPeriods / target.rate;
  }
  return target;
}

}  // namespace

std::unique_ptr<BuiltInSynth> BuiltInSynth::Open(bool dynamicSampleLoading,
                                                 const std::function<JackServerInfo()>& askJack) {
  QuietSystemLibraries();
  std::unique_ptr<BuiltInSynth> synth(new BuiltInSynth());
  for (const std::string& path : SoundFontCandidates()) {
    if (IsCompleteSoundFont(path)) synth->soundFonts_.push_back(path);
  }
  if (synth->soundFonts_.empty()) return nullptr;  // no driver will help
  const std::vector<std::string> drivers = DriverOrder();
  if (drivers.empty()) return nullptr;

  // The SoundFont starts loading at once, at the desktop's usual rate, while the audio servers
  // are asked; only an output that runs at another rate and cannot convert (JACK, ALSA) needs
  // it loaded again.
  synth->StartLoading(kDesktopSampleRate, dynamicSampleLoading);
  for (const std::string& driver : drivers) {
    const AudioTarget target = Probe(driver, askJack);
    if (!target.present) continue;
    if (synth->core_ != nullptr && synth->core_->SampleRate() != target.rate) {
      synth->AbandonLoading();
      synth->StartLoading(target.rate, dynamicSampleLoading);
    }
    if (synth->core_ == nullptr) break;
    ConfigureDriver(synth->core_->Settings(), driver);
    // From here the driver's thread renders the synthesizer: silence until the SoundFont loads.
    synth->driver_ = new_fluid_audio_driver(synth->core_->Settings(), synth->core_->Synth());
    if (synth->driver_ != nullptr) {
      synth->driverName_ = driver;
      synth->latencySeconds_ = target.latency;
      synth->driverOpened_.set_value(true);
      return synth;
    }
  }
  synth->AbandonLoading();
  return nullptr;
}

namespace {

// Loads that were given up: a SoundFont load cannot be cut short, so it ends on its own thread
// and only the process's exit waits for it.
class AbandonedLoads {
 public:
  static void Keep(std::thread thread, std::unique_ptr<SynthCore> core) {
    static AbandonedLoads loads;
    std::lock_guard lock(loads.mutex_);
    loads.threads_.push_back(std::move(thread));
    loads.cores_.push_back(std::move(core));
  }
  ~AbandonedLoads() {
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
  std::vector<std::unique_ptr<SynthCore>> cores_;
};

}  // namespace

void BuiltInSynth::StartLoading(double rate, bool dynamicSampleLoading) {
  // No channel counts as in use before the program names them: a program change that comes
  // first (the start-up sends them to all 16) then reads no instrument in vain.
  core_ = SynthCore::CreateEmpty({.soundFont = {},
                                  .sampleRate = rate,
                                  .dynamicSampleLoading = dynamicSampleLoading,
                                  .channelsInUse = 0});
  if (core_ == nullptr) return;
  loader_ = std::thread(
      [this, core = core_.get(), soundFonts = soundFonts_,
       opened = driverOpened_.get_future()]() mutable { Load(*core, soundFonts, opened); });
}

void BuiltInSynth::AbandonLoading() {
  if (core_ == nullptr) return;
  driverOpened_.set_value(false);
  AbandonedLoads::Keep(std::move(loader_), std::move(core_));
  driverOpened_ = {};
}

BuiltInSynth::~BuiltInSynth() {
  if (loader_.joinable()) loader_.join();
  // The driver's thread renders the synthesizer: stop it before the synthesizer goes.
  if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
}

void BuiltInSynth::Load(SynthCore& core, const std::vector<std::string>& soundFonts,
                        std::future<bool>& driverOpened) noexcept {
  bool loaded = false;
  // The chosen file first; should it be broken inside, the next complete one.
  for (const std::string& path : soundFonts) {
    if (core.LoadSoundFont(path)) {
      loaded = true;
      break;
    }
  }
  // A synthesizer whose audio output did not open is never played, and its owner may be gone.
  if (!driverOpened.get()) return;
  // Without any SoundFont the synthesizer stays silent, but what was sent is still taken.
  // Channels in use that no program change reached get program 0 before anything plays.
  queue_.DrainAndOpen([this](std::uint32_t item) { Apply(item); },
                      [this] { core_->SelectProgramsInUse(); });
  loadedPromise_.set_value(loaded);
}

void BuiltInSynth::Apply(std::uint32_t item) noexcept {
  switch (item & kKindMask) {
    case 0:
      core_->Send(item);
      break;
    case kResetItem:
      core_->AllNotesOff();
      break;
    case kChannelsItem:
      core_->SetChannelsInUse(static_cast<std::uint16_t>(item & 0xFFFFu));
      break;
    default:
      break;
  }
}

void BuiltInSynth::Send(ShortMessage message) noexcept {
  if ((message & kKindMask) != 0) return;  // no short message
  if (queue_.Offer(message)) core_->Send(message);
}

void BuiltInSynth::AllNotesOff() noexcept {
  if (queue_.Offer(kResetItem)) core_->AllNotesOff();
}

void BuiltInSynth::SetChannelsInUse(std::uint16_t channels) noexcept {
  if (queue_.Offer(kChannelsItem | channels)) core_->SetChannelsInUse(channels);
}

}  // namespace orvane
