#pragma once

#include <cstdint>

namespace orvane::midi {

// Status bytes (channel nibble 0) and data values of the messages the tone generator sends.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelVolume = 7;  // controller number
inline constexpr std::uint8_t kMaxDataByte = 127;

}  // namespace orvane::midi
