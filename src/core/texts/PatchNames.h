#pragma once

#include <array>
#include <string_view>

namespace orvane {

inline constexpr int kPatchCount = 128;

// The General MIDI programs as the patch lists show them: the program number, one blank and the
// instrument name, in program order, so a list position is the program number.
extern const std::array<std::string_view, kPatchCount> kPatchNames;

}  // namespace orvane
