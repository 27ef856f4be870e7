#include "synth/BuiltInSynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "synth/SoundFontLocator.h"

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

// The audio output renders through BuiltInSynth::Render, so the driver has settings of its own.
void ConfigureDriver(fluid_settings_t* settings, const std::string& driver, double rate) {
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_settings_setstr(settings, "audio.driver", driver.c_str());
  fluid_settings_setint(settings, "audio.period-size", kPeriodFrames);
  fluid_settings_setint(settings, "audio.periods", kPeriods);
  fluid_settings_setstr(settings, "audio.jack.id", "Tellak Orvane");
  fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
  fluid_settings_setint(settings, "audio.jack.multi", 0);
  // FluidSynth would put the role into the environment from this thread while the user interface
  // starts on another; the program has set it before any thread began (QuietSystemLibraries).
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
    if (!PulseServerRunning()) return {};  // no server, and none is spawned
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
                                                 const std::function<JackServerInfo()>& askJack,
                                                 std::vector<std::string> soundFonts) {
  QuietAudioLibraries();
  if (soundFonts.empty()) return nullptr;  // no driver will help
  std::unique_ptr<BuiltInSynth> synth(new BuiltInSynth());
  synth->soundFonts_ = std::move(soundFonts);
  const std::vector<std::string> drivers = DriverOrder();
  if (drivers.empty()) return nullptr;

  // The synthesizer is created and its SoundFont starts loading at once, at the desktop's usual
  // rate, while the audio servers are asked and the output opens; only an output that runs at
  // another rate and cannot convert (JACK, ALSA) needs it loaded again.
  synth->StartLoading(kDesktopSampleRate, dynamicSampleLoading);
  for (const std::string& driver : drivers) {
    const AudioTarget target = Probe(driver, askJack);
    if (!target.present) continue;
    if (synth->loadingRate_ != target.rate) {
      synth->AbandonLoading();
      synth->StartLoading(target.rate, dynamicSampleLoading);
    }
    fluid_settings_t* settings = new_fluid_settings();
    if (settings == nullptr) break;
    ConfigureDriver(settings, driver, target.rate);
    // From here the driver's thread calls Render: silence until the synthesizer is handed over.
    synth->driver_ = new_fluid_audio_driver2(settings, Render, synth.get());
    if (synth->driver_ != nullptr) {
      synth->driverSettings_ = settings;
      synth->driverName_ = driver;
      synth->sampleRate_ = target.rate;
      synth->latencySeconds_ = target.latency;
      synth->driverOpened_.set_value(true);
      return synth;
    }
    delete_fluid_settings(settings);
  }
  synth->AbandonLoading();
  return nullptr;
}

namespace {

// glibc gives a new thread a malloc arena of its own and grows it page by page, each step an
// mprotect call that also holds up the page faults of the process's other threads (the user
// interface starting). A SoundFont's tens of thousands of small allocations made that about 3000
// calls on the loading thread. Growing the arena once in large blocks takes some 200, and the
// loading then finds the memory ready (measured: 10 ms less CPU time for a GM SoundFont).
// Nothing is touched, so nothing counts as resident.
void ReserveHeapForThisThread() {
  constexpr std::size_t kBlock = 120 * 1024;  // below malloc's mmap threshold: from the arena
  constexpr std::size_t kBlocks = 200;        // 24 MB, what a GM SoundFont's loading takes
  std::array<void*, kBlocks> blocks{};
  for (void*& block : blocks) {
    block = std::malloc(kBlock);
    asm volatile("" : : "r"(block) : "memory");  // the compiler may not drop the pair
  }
  for (void* block : blocks) std::free(block);
}

// Loads that were given up: a SoundFont load cannot be cut short, so it ends on its own thread
// and only the process's exit waits for it.
class AbandonedLoads {
 public:
  static void Keep(std::thread thread) {
    static AbandonedLoads loads;
    std::lock_guard lock(loads.mutex_);
    loads.threads_.push_back(std::move(thread));
  }
  ~AbandonedLoads() {
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

// On the loading thread: creates the synthesizer and loads the chosen SoundFont into it, or,
// should that file be broken inside, the next complete one. True with it when one loaded.
std::pair<std::unique_ptr<SynthCore>, bool> CreateAndLoad(
    const SynthOptions& options, const std::vector<std::string>& soundFonts) noexcept {
  ReserveHeapForThisThread();
  std::unique_ptr<SynthCore> core = SynthCore::CreateEmpty(options);
  if (core == nullptr) return {nullptr, false};
  for (const std::string& path : soundFonts) {
    if (core->LoadSoundFont(path)) return {std::move(core), true};
  }
  return {std::move(core), false};
}

}  // namespace

void BuiltInSynth::StartLoading(double rate, bool dynamicSampleLoading) {
  loadingRate_ = rate;
  // No channel counts as in use before the program names them: a program change that comes
  // first (the start-up sends them to all 16) then reads no instrument in vain.
  loader_ = std::thread([this,
                         options = SynthOptions{.soundFont = {},
                                                .sampleRate = rate,
                                                .dynamicSampleLoading = dynamicSampleLoading,
                                                .channelsInUse = 0},
                         soundFonts = soundFonts_, opened = driverOpened_.get_future()]() mutable {
    auto [core, loaded] = CreateAndLoad(options, soundFonts);
    // A synthesizer whose audio output did not open is never played, and its owner may be gone:
    // nothing of the owner is touched before this answer.
    if (opened.get()) HandOver(std::move(core), loaded);
  });
}

void BuiltInSynth::AbandonLoading() {
  if (!loader_.joinable()) return;
  driverOpened_.set_value(false);
  AbandonedLoads::Keep(std::move(loader_));
  driverOpened_ = {};
}

BuiltInSynth::~BuiltInSynth() {
  if (loader_.joinable()) loader_.join();
  // The driver's thread renders the synthesizer: stop it before the synthesizer goes.
  if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
  if (driverSettings_ != nullptr) delete_fluid_settings(driverSettings_);
}

void BuiltInSynth::HandOver(std::unique_ptr<SynthCore> core, bool loaded) noexcept {
  core_ = std::move(core);
  if (core_ != nullptr) rendered_.store(core_->Synth(), std::memory_order_release);
  // Without any SoundFont the synthesizer stays silent, but what was sent is still taken.
  // Channels in use that no program change reached get program 0 before anything plays.
  queue_.DrainAndOpen([this](std::uint32_t item) { Apply(item); },
                      [this] {
                        if (core_ != nullptr) core_->SelectProgramsInUse();
                      });
  loadedPromise_.set_value(loaded);
}

int BuiltInSynth::Render(void* self, int frames, int effectsCount, float* effects[],
                         int outputCount, float* outputs[]) {
  for (int i = 0; i < outputCount; ++i) std::fill_n(outputs[i], frames, 0.0f);
  for (int i = 0; i < effectsCount; ++i) std::fill_n(effects[i], frames, 0.0f);
  fluid_synth_t* synth =
      static_cast<BuiltInSynth*>(self)->rendered_.load(std::memory_order_acquire);
  if (synth == nullptr || outputCount < 2) return FLUID_OK;
  if (effectsCount > 0) {
    return fluid_synth_process(synth, frames, effectsCount, effects, outputCount, outputs);
  }
  // The driver has no buffers for reverb and chorus: they are mixed into the dry output, as
  // FluidSynth's own rendering does.
  float* mixed[4] = {outputs[0], outputs[1], outputs[0], outputs[1]};
  return fluid_synth_process(synth, frames, 4, mixed, outputCount, outputs);
}

void BuiltInSynth::Apply(std::uint32_t item) noexcept {
  if (core_ == nullptr) return;
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
  if (queue_.Offer(message) && core_ != nullptr) core_->Send(message);
}

void BuiltInSynth::AllNotesOff() noexcept {
  if (queue_.Offer(kResetItem) && core_ != nullptr) core_->AllNotesOff();
}

void BuiltInSynth::SetChannelsInUse(std::uint16_t channels) noexcept {
  if (queue_.Offer(kChannelsItem | channels) && core_ != nullptr) core_->SetChannelsInUse(channels);
}

}  // namespace orvane
