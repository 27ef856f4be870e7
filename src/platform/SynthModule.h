#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SynthModuleAbi.h"
#include "platform/SynthOutput.h"
#include "platform/SystemProbe.h"

namespace orvane {

// Where the synthesizer module may be, in order: beside the executable (the build tree), then
// where an installation puts it relative to the executable's folder.
std::vector<std::string> SynthModuleCandidates();

// Loads the first of `candidates` that is a synthesizer module of this program's version and
// opens the built-in synthesizer through it with one of `soundFonts` (complete files, the chosen
// one first). nullptr when no module loads (the synthesizer then cannot sound, as without a
// SoundFont) or when the synthesizer cannot sound. The module stays loaded for the rest of the
// process: the synthesizer's threads run its code.
std::unique_ptr<SynthOutput> OpenSynthModule(const std::vector<std::string>& candidates,
                                             bool dynamicSampleLoading,
                                             const std::function<JackServerInfo()>& askJack,
                                             const std::vector<std::string>& soundFonts);

}  // namespace orvane
