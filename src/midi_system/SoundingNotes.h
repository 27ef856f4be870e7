#pragma once

#include <array>
#include <bitset>

#include "core/midi/MidiLayer.h"

namespace orvane {

// The notes this program has started on a MIDI port and not yet stopped, 16 channels of 128
// notes in fixed storage, so that tracking costs nothing on the send path and a reset can
// release exactly those notes.
class SoundingNotes {
 public:
  // Follows a message that is being sent: note-on starts a note, note-off or note-on with
  // velocity 0 stops it, All Sound Off and All Notes Off stop the channel.
  void Track(ShortMessage message) noexcept;
  bool Any() const noexcept;
  void Clear() noexcept;

  // Calls f(channel, note) for every sounding note, channel by channel, low notes first.
  template <typename F>
  void ForEach(F&& f) const {
    for (int channel = 0; channel < kMidiChannelCount; ++channel) {
      if (channels_[channel].none()) continue;
      for (int note = 0; note < 128; ++note) {
        if (channels_[channel].test(note)) f(channel, note);
      }
    }
  }

 private:
  std::array<std::bitset<128>, kMidiChannelCount> channels_{};
};

// The number of bytes of a short message with this status byte: 3 or 2 for channel and system
// common messages, 1 for real-time ones, 0 for bytes that cannot start a short message (data
// bytes, sysex start and end).
int ShortMessageLength(std::uint8_t status) noexcept;

// Unpacks a message into `bytes`; 0 when it is no valid short message (unknown status, or a data
// byte with its top bit set, which a MIDI receiver would take for a status byte).
int UnpackShortMessage(ShortMessage message, std::uint8_t (&bytes)[3]) noexcept;

}  // namespace orvane
