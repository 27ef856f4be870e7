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

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What most sound cards and PipeWire run at, for drivers that cannot be asked.
constexpr double kDesktopSampleRate = 48000.0;
// FluidSynth renders and hands over 128 frames at a time (2.7 ms at 48 kHz); PulseAudio is asked
// for just that much buffer, ALSA for two such periods.
constexpr int kPeriodFrames = 128;
constexpr int kPeriods = 2;

// The PipeWire stream is this program's own; FluidSynth's drivers are asked for by name.
constexpr const char* kPipeWire = "pipewire";

// A FluidSynth driver whose callback has not run for this long has stopped for good (its server
// went away): it runs every few milliseconds while its server lives. Noticed early, because
// libjack crashes closing a client whose server is gone once the next server of that name runs.
constexpr auto kDriverSilence = 300ms;
// How often the supervisor looks at a driver's callbacks.
constexpr auto kWatchInterval = 100ms;
// The wait before the first attempt to open an output again, doubled after each failed one up to
// the longest. A server's socket is asked first, which costs microseconds.
constexpr auto kFirstRetry = 20ms;
constexpr auto kLongestRetry = 200ms;

// What waits in the loading queue besides messages: a short message has bits 24-31 zero.
constexpr std::uint32_t kKindMask = 0xFF000000u;
constexpr std::uint32_t kResetItem = 0x01000000u;
constexpr std::uint32_t kChannelsItem = 0x02000000u;

// Whether this FluidSynth has an audio driver of that name.
bool KnownDriver(const std::string& driver) {
  if (driver == kPipeWire) return true;
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
  return {kPipeWire, "pulseaudio", "jack", "alsa"};
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

// The quantum the PipeWire stream asks for, in seconds.
double PipeWireLatencySeconds(const std::string& latency) {
  const std::size_t slash = latency.find('/');
  return std::stod(latency.substr(0, slash)) / std::stod(latency.substr(slash + 1));
}

// Whether the driver's server is there, and the rate to render at so that nobody resamples.
AudioTarget Probe(const std::string& driver, const std::function<JackServerInfo()>& askJack) {
  AudioTarget target{.present = true};
  if (driver == kPipeWire) {
    // The graph converts the rate where it must; its socket taking a connection is asked first
    // (microseconds), opening the stream tells the rest.
    if (!PipeWireServerListening()) return {};
    target.latency =
        PipeWireLatencySeconds(PipeWireLatency(std::getenv("ORVANE_PIPEWIRE_LATENCY")));
  } else if (driver == "jack") {
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
  synth->drivers_ = DriverOrder();
  if (synth->drivers_.empty()) return nullptr;

  // The synthesizer is created and its SoundFont starts loading at once, at the desktop's usual
  // rate, while the audio servers are asked and the output opens; only an output that runs at
  // another rate and cannot convert (JACK, ALSA) needs it loaded again.
  synth->StartLoading(kDesktopSampleRate, dynamicSampleLoading);
  for (const std::string& driver : synth->drivers_) {
    const AudioTarget target = Probe(driver, askJack);
    if (!target.present) continue;
    if (synth->loadingRate_ != target.rate) {
      synth->AbandonLoading();
      synth->StartLoading(target.rate, dynamicSampleLoading);
    }
    if (synth->OpenOutput(driver, target.rate, target.latency)) {
      synth->synthRate_ = target.rate;
      synth->driverOpened_.set_value(true);
      synth->supervisor_ = std::thread([raw = synth.get()] { raw->Supervise(); });
      return synth;
    }
  }
  synth->AbandonLoading();
  return nullptr;
}

bool BuiltInSynth::OpenOutput(const std::string& driver, double rate, double latency) {
  // From here the driver's thread calls Render: silence until the synthesizer is handed over.
  if (driver == kPipeWire) {
    pipewire_ = PipeWireOutput::Open(
        {.sampleRate = rate, .latency = PipeWireLatency(std::getenv("ORVANE_PIPEWIRE_LATENCY"))},
        RenderInterleaved, this, [this] { ReportFailure(); });
    if (pipewire_ == nullptr) return false;
  } else {
    fluid_settings_t* settings = new_fluid_settings();
    if (settings == nullptr) return false;
    ConfigureDriver(settings, driver, rate);
    driver_ = new_fluid_audio_driver2(settings, Render, this);
    driverSettings_ = settings;
    if (driver_ != nullptr && driver == "pulseaudio") {
      pulseWatch_ = PulseServerWatch::Open([this] { ReportFailure(); });
    }
    if (driver_ == nullptr || (driver == "pulseaudio" && pulseWatch_ == nullptr)) {
      CloseOutput();
      return false;
    }
  }
  {
    const std::lock_guard lock(nameMutex_);
    driverName_ = driver;
  }
  sampleRate_.store(rate, std::memory_order_release);
  latencySeconds_.store(latency, std::memory_order_release);
  openings_.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void BuiltInSynth::ReportFailure() {
  const std::lock_guard lock(supervisorMutex_);
  outputFailed_ = true;
  wake_.notify_one();
}

void BuiltInSynth::CloseOutput() {
  // The driver's thread renders the synthesizer: it stops before anything else renders.
  pulseWatch_.reset();
  pipewire_.reset();
  if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
  driver_ = nullptr;
  if (driverSettings_ != nullptr) delete_fluid_settings(driverSettings_);
  driverSettings_ = nullptr;
  const std::lock_guard lock(nameMutex_);
  driverName_.clear();
}

std::string BuiltInSynth::DriverName() const {
  const std::lock_guard lock(nameMutex_);
  return driverName_;
}

bool BuiltInSynth::OutputLost(std::uint64_t& seenCycles, Clock::time_point& lastProgress) const {
  if (pipewire_ != nullptr) return pipewire_->Failed();
  if (pulseWatch_ != nullptr) return pulseWatch_->Ended();
  // JACK and ALSA run their callbacks for as long as their server or device lives; PipeWire and
  // PulseAudio run none while no sink takes the stream, so they tell of their end themselves.
  const std::uint64_t cycles = cycles_.load(std::memory_order_acquire);
  const Clock::time_point now = Clock::now();
  if (cycles != seenCycles) {
    seenCycles = cycles;
    lastProgress = now;
    return false;
  }
  return now - lastProgress > kDriverSilence;
}

void BuiltInSynth::Supervise() {
  std::uint64_t seenCycles = cycles_.load(std::memory_order_acquire);
  Clock::time_point lastProgress = Clock::now();
  std::unique_lock lock(supervisorMutex_);
  while (!stopping_) {
    wake_.wait_for(lock, kWatchInterval, [this] { return stopping_ || outputFailed_; });
    if (stopping_) return;
    if (!outputFailed_ && !OutputLost(seenCycles, lastProgress)) continue;
    // The output failed: closed, then opened again with the first driver of the order, up to
    // the one that played, whose server answers. A later one (ALSA after a PulseAudio server
    // restarted) would keep the sound from the desktop's server once that is back.
    outputFailed_ = false;
    lock.unlock();
    const std::string lost = DriverName();
    CloseOutput();
    auto retry = kFirstRetry;
    bool reopened = false;
    while (!reopened) {
      for (const std::string& driver : drivers_) {
        // The synthesizer keeps its rate: PipeWire and PulseAudio convert, JACK and ALSA are
        // taken at that rate only.
        AudioTarget target = Probe(driver, ProbeJackServer);
        if (Converts(driver)) target.rate = synthRate_;
        if (target.present && target.rate == synthRate_ &&
            OpenOutput(driver, target.rate, target.latency)) {
          reopened = true;
          break;
        }
        if (driver == lost) break;
      }
      if (reopened) break;
      if (!PassTimeUnheard(retry)) return;
      retry = std::min(retry * 2, kLongestRetry);
    }
    seenCycles = cycles_.load(std::memory_order_acquire);
    lastProgress = Clock::now();
    lock.lock();
  }
}

bool BuiltInSynth::Converts(const std::string& driver) {
  return driver == kPipeWire || driver == "pulseaudio";
}

bool BuiltInSynth::PassTimeUnheard(std::chrono::milliseconds wait) {
  // The synthesizer's own time goes on while nothing plays it: notes played now end, their
  // voices come free, and what FluidSynth queues for its renderer does not pile up.
  const Clock::time_point start = Clock::now();
  {
    std::unique_lock lock(supervisorMutex_);
    if (wake_.wait_for(lock, wait, [this] { return stopping_; })) return false;
  }
  fluid_synth_t* synth = rendered_.load(std::memory_order_acquire);
  if (synth == nullptr) return true;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  int frames = static_cast<int>(std::min(seconds, 1.0) * synthRate_);
  std::array<float, 2 * 256> scratch{};
  while (frames > 0) {
    const int now = std::min(frames, 256);
    fluid_synth_write_float(synth, now, scratch.data(), 0, 2, scratch.data(), 1, 2);
    frames -= now;
  }
  return true;
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
  if (supervisor_.joinable()) {
    {
      const std::lock_guard lock(supervisorMutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    supervisor_.join();
  }
  if (loader_.joinable()) loader_.join();
  // The driver's thread renders the synthesizer: stop it before the synthesizer goes.
  CloseOutput();
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
  auto* owner = static_cast<BuiltInSynth*>(self);
  owner->cycles_.fetch_add(1, std::memory_order_relaxed);
  fluid_synth_t* synth = owner->rendered_.load(std::memory_order_acquire);
  if (synth == nullptr || outputCount < 2) return FLUID_OK;
  if (effectsCount > 0) {
    return fluid_synth_process(synth, frames, effectsCount, effects, outputCount, outputs);
  }
  // The driver has no buffers for reverb and chorus: they are mixed into the dry output, as
  // FluidSynth's own rendering does.
  float* mixed[4] = {outputs[0], outputs[1], outputs[0], outputs[1]};
  return fluid_synth_process(synth, frames, 4, mixed, outputCount, outputs);
}

void BuiltInSynth::RenderInterleaved(void* self, float* interleaved, int frames) noexcept {
  fluid_synth_t* synth =
      static_cast<BuiltInSynth*>(self)->rendered_.load(std::memory_order_acquire);
  if (synth == nullptr) {
    std::fill_n(interleaved, 2 * frames, 0.0f);
    return;
  }
  // Reverb and chorus are mixed into the two channels.
  fluid_synth_write_float(synth, frames, interleaved, 0, 2, interleaved, 1, 2);
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
