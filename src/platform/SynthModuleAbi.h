#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/SynthOutput.h"
#include "platform/SystemProbe.h"

// What the program and its synthesizer module agree on. The module exports two C functions: the
// version of this agreement, and the one that opens the synthesizer. A module of another version
// (left behind by an older installation) is not used.

namespace orvane {

// Raised whenever SynthOutput, the entry function or the types they pass change.
inline constexpr int kSynthModuleVersion = 1;

inline constexpr const char* kSynthModuleFileName = "orvane-synth.so";
inline constexpr const char* kSynthModuleVersionSymbol = "orvane_synth_module_version";
inline constexpr const char* kSynthModuleOpenSymbol = "orvane_synth_module_open";

// Opens the synthesizer with one of the complete SoundFont files (BuiltInSynth::Open): nullptr
// when it cannot sound. The caller owns the result and deletes it through its virtual destructor
// while the module stays loaded.
using SynthModuleVersionFunction = int (*)();
using SynthModuleOpenFunction = SynthOutput* (*)(bool dynamicSampleLoading,
                                                 const std::function<JackServerInfo()>& askJack,
                                                 const std::vector<std::string>& soundFonts);

}  // namespace orvane
