#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Where a file that comes with the program (the synthesizer's process) may be, in order: beside the
// executable (the build tree), then in the folder where an installation keeps them
// (libexec/orvane), found relative to the executable's folder. Empty when the executable's own path
// cannot be read.
std::vector<std::string> ProgramFileCandidates(std::string_view fileName);

}  // namespace orvane
