#include "synth/SoundFontLocator.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace orvane {
namespace {

struct ChunkHeader {
  std::array<char, 4> id{};
  std::uint32_t size = 0;  // of the data after this header
};

bool ReadChunkHeader(std::ifstream& file, ChunkHeader& header) {
  unsigned char bytes[8];
  if (!file.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
  std::memcpy(header.id.data(), bytes, 4);
  header.size = std::uint32_t{bytes[4]} | (std::uint32_t{bytes[5]} << 8) |
                (std::uint32_t{bytes[6]} << 16) | (std::uint32_t{bytes[7]} << 24);
  return true;
}

bool Is(const std::array<char, 4>& id, const char* name) {
  return std::memcmp(id.data(), name, 4) == 0;
}

}  // namespace

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

std::vector<std::string> CompleteSoundFonts() {
  std::vector<std::string> complete;
  for (const std::string& path : SoundFontCandidates()) {
    if (IsCompleteSoundFont(path)) complete.push_back(path);
  }
  return complete;
}

bool IsCompleteSoundFont(const std::string& path) {
  std::error_code error;
  const std::uintmax_t fileSize = std::filesystem::file_size(path, error);
  if (error) return false;
  std::ifstream file(path, std::ios::binary);
  ChunkHeader riff;
  std::array<char, 4> form{};
  if (!ReadChunkHeader(file, riff) || !Is(riff.id, "RIFF") || !file.read(form.data(), 4) ||
      !Is(form, "sfbk")) {
    return false;
  }
  const std::uint64_t end = std::uint64_t{riff.size} + 8;
  if (end > fileSize) return false;  // cut short

  bool info = false;
  bool samples = false;
  bool presets = false;
  for (std::uint64_t at = 12; at + 12 <= end;) {
    file.seekg(static_cast<std::streamoff>(at));
    ChunkHeader chunk;
    std::array<char, 4> type{};
    if (!ReadChunkHeader(file, chunk) || !Is(chunk.id, "LIST") || !file.read(type.data(), 4)) {
      return false;
    }
    const std::uint64_t next = at + 8 + chunk.size + (chunk.size & 1u);
    if (at + 8 + chunk.size > end) return false;
    info = info || Is(type, "INFO");
    samples = samples || Is(type, "sdta");
    presets = presets || Is(type, "pdta");
    at = next;
  }
  return info && samples && presets;
}

}  // namespace orvane
