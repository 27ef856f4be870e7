#pragma once

#include <cstdint>
#include <string>

#include "midi/MidiLayer.h"

namespace orvane {

// The built-in synthesizer as the MIDI layer drives it. The synthesizer itself lives in a module
// of its own (see SynthModule.h), so the program reaches it through this interface only.
//
// One sender thread (the user-interface thread) calls these; none of them blocks, locks or
// allocates once the SoundFont has loaded, and what is sent before waits in order.
class SynthOutput {
 public:
  virtual ~SynthOutput() = default;

  virtual void Send(ShortMessage message) noexcept = 0;
  virtual void AllNotesOff() noexcept = 0;
  // Bit i set: channel i plays notes, so it needs its instrument read.
  virtual void SetChannelsInUse(std::uint16_t channels) noexcept = 0;
  // The SoundFont chosen when opening.
  virtual const std::string& SoundFontPath() const = 0;
};

}  // namespace orvane
