// A synthesizer module left behind by another version of the program: it exports the entry
// points, but of another version, and opening through it would be a fault.
#include <cstdlib>

#include "platform/SynthModuleAbi.h"

extern "C" {

__attribute__((visibility("default"))) int orvane_synth_module_version() {
  return orvane::kSynthModuleVersion + 1;
}

__attribute__((visibility("default"))) orvane::SynthOutput* orvane_synth_module_open(
    bool /*dynamicSampleLoading*/, const std::function<orvane::JackServerInfo()>& /*askJack*/,
    const std::vector<std::string>& /*soundFonts*/) {
  std::abort();  // a module of another version must never be asked
}

}  // extern "C"
