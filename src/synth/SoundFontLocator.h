#pragma once

#include <string>
#include <vector>

namespace orvane {

// The General MIDI SoundFonts worth trying, best first: the file named by ORVANE_SOUNDFONT (when
// set), then the usual places of the Linux distributions' GM SoundFonts.
std::vector<std::string> SoundFontCandidates();

// The first candidate that exists as a regular file, or an empty string.
std::string FindSoundFont();

// The candidates that are complete SoundFonts (IsCompleteSoundFont), best first.
std::vector<std::string> CompleteSoundFonts();

// True when the file is built as a whole SoundFont (SF2, or SF3 with compressed samples): a RIFF
// "sfbk" form that the file holds completely, with its INFO, sample data and preset data lists.
// Reads only the chunk headers, so it answers in microseconds where loading takes tens of
// milliseconds; a truncated download or another kind of file fails it.
bool IsCompleteSoundFont(const std::string& path);

}  // namespace orvane
