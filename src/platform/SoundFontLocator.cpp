#include "platform/SoundFontLocator.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace orvane {

std::vector<std::string> SoundFontCandidates() {
  std::vector<std::string> candidates;
  if (const char* chosen = std::getenv("ORVANE_SOUNDFONT"); chosen != nullptr && *chosen != 0) {
    candidates.emplace_back(chosen);
  }
  // Debian's alternative first: it points at whichever GM SoundFont package is installed.
  for (const char* path :
       {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/soundfonts/default.sf2", "/usr/share/soundfonts/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/soundfonts/TimGM6mb.sf2",
        "/usr/share/sounds/sf3/default-GM.sf3", "/usr/share/sounds/sf3/MuseScore_General.sf3",
        "/usr/local/share/soundfonts/default.sf2"}) {
    candidates.emplace_back(path);
  }
  return candidates;
}

std::string FindSoundFont() {
  for (const std::string& path : SoundFontCandidates()) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path;
  }
  return {};
}

}  // namespace orvane
