#pragma once

#include <array>
#include <cstdint>

#include "core/midi/MidiLayer.h"

namespace orvane {

inline constexpr int kLayerCount = kMidiChannelCount;

// The settings of the 16 layers; layer i always sends on MIDI channel i.
// Patch and volume bytes above 127 can only come from a voice file; they are kept as stored.
struct Voice {
  std::array<std::uint8_t, kLayerCount> patch{};
  std::array<std::uint8_t, kLayerCount> volume{};
  std::array<std::int32_t, kLayerCount> transposition{};
  std::array<bool, kLayerCount> layerOn{};

  // Layer 0 on, the others off; every patch 0, every volume 100, every transposition 0.
  static constexpr Voice Default() {
    Voice voice;
    voice.volume.fill(100);
    voice.layerOn[0] = true;
    return voice;
  }

  bool operator==(const Voice&) const = default;
};

}  // namespace orvane
