#pragma once

#include <cstdint>
#include <string>

#include "core/midi/MidiLayer.h"

namespace orvane {

// The built-in synthesizer as the MIDI layer drives it. The synthesizer itself runs in a process
// of its own (see SynthProcess.h), so the program reaches it through this interface only.
//
// One sender thread (the user-interface thread) calls these; none of them locks or allocates,
// and what is sent before the SoundFont has loaded waits in order. In the program each is one
// request to the synthesizer's process, which waits only while that process is behind.
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
