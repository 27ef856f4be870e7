// The entry points of the synthesizer module (orvane-synth.so), which the program loads on its
// MIDI start-up thread: FluidSynth, libpulse and their libraries then load beside the user
// interface instead of before it. See SynthModuleAbi.h.
#include "platform/BuiltInSynth.h"
#include "platform/SynthModuleAbi.h"

extern "C" {

__attribute__((visibility("default"))) int orvane_synth_module_version() {
  return orvane::kSynthModuleVersion;
}

__attribute__((visibility("default"))) orvane::SynthOutput* orvane_synth_module_open(
    bool dynamicSampleLoading, const std::function<orvane::JackServerInfo()>& askJack,
    const std::vector<std::string>& soundFonts) {
  try {
    return orvane::BuiltInSynth::Open(dynamicSampleLoading, askJack, soundFonts).release();
  } catch (...) {
    return nullptr;  // nothing may unwind into the program through a C function
  }
}

}  // extern "C"

// The program names these through dlsym; the types must match what it calls.
static_assert(
    std::is_same_v<decltype(&orvane_synth_module_version), orvane::SynthModuleVersionFunction>);
static_assert(std::is_same_v<decltype(&orvane_synth_module_open), orvane::SynthModuleOpenFunction>);
