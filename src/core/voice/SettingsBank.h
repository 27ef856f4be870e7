#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/voice/Voice.h"
#include "core/voice/VoiceArchive.h"

namespace orvane {

inline constexpr std::size_t kVoiceFileSize = 112;  // 16 records of 7 bytes, no header

// Carries a voice to and from the 112-byte voice file format: per layer, patch, volume,
// transposition (little-endian int32) and on/off (written 1 or 0, any non-zero reads as on).
class CSettingsBank {
 public:
  virtual ~CSettingsBank() = default;

  Voice voice;

  // Stores the 112 bytes, or loads them: per layer patch, volume, transposition, on/off. A load
  // that runs out of bytes throws VoiceFileEndOfFile and leaves `voice` unchanged.
  virtual void Serialize(VoiceArchive& archive);

  std::array<std::uint8_t, kVoiceFileSize> Store() const;
  // Reads the first 112 bytes; throws VoiceFileEndOfFile (leaving `voice` unchanged) when
  // there are fewer.
  void Load(std::span<const std::uint8_t> bytes);
};

}  // namespace orvane
