#pragma once

#include <algorithm>
#include <cstdint>

#include "core/midi/MidiLayer.h"

namespace orvane::midi {

// Status bytes (channel nibble 0), controller numbers and data values of the messages the
// program sends.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelVolume = 7;
inline constexpr std::uint8_t kSustainPedal = 64;
inline constexpr std::uint8_t kAllSoundOff = 120;
inline constexpr std::uint8_t kAllNotesOff = 123;
inline constexpr std::uint8_t kMaxDataByte = 127;

// Channel Volume for a layer's channel. A volume byte above 127 (only a voice file holds one)
// is sent as full volume.
constexpr ShortMessage ChannelVolumeMessage(int channel, std::uint8_t volume) {
  return PackShortMessage(static_cast<std::uint8_t>(kControlChange | channel), kChannelVolume,
                          std::min(volume, kMaxDataByte));
}

}  // namespace orvane::midi
