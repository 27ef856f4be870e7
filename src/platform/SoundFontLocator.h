#pragma once

#include <string>
#include <vector>

namespace orvane {

// The General MIDI SoundFonts worth trying, best first: the file named by ORVANE_SOUNDFONT (when
// set), then the usual places of the Linux distributions' GM SoundFonts.
std::vector<std::string> SoundFontCandidates();

// The first candidate that exists as a regular file, or an empty string.
std::string FindSoundFont();

}  // namespace orvane
