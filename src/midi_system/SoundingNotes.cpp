#include "midi_system/SoundingNotes.h"

#include "core/midi/MidiBytes.h"

namespace orvane {

void SoundingNotes::Track(ShortMessage message) noexcept {
  const std::uint8_t status = StatusByte(message);
  const int channel = status & 0x0F;
  const int data1 = DataByte1(message);
  if (data1 > midi::kMaxDataByte) return;
  switch (status & 0xF0) {
    case midi::kNoteOn:
      channels_[channel].set(data1, DataByte2(message) != 0);
      break;
    case midi::kNoteOff:
      channels_[channel].reset(data1);
      break;
    case midi::kControlChange:
      if (data1 == midi::kAllSoundOff || data1 == midi::kAllNotesOff) channels_[channel].reset();
      break;
    default:
      break;
  }
}

bool SoundingNotes::Any() const noexcept {
  for (const auto& channel : channels_) {
    if (channel.any()) return true;
  }
  return false;
}

void SoundingNotes::Clear() noexcept {
  for (auto& channel : channels_) channel.reset();
}

int ShortMessageLength(std::uint8_t status) noexcept {
  if (status < 0x80) return 0;
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 2;
    case 0xF0:
      break;
    default:
      return 3;
  }
  switch (status) {
    case 0xF1:
    case 0xF3:
      return 2;
    case 0xF2:
      return 3;
    case 0xF0:
    case 0xF7:
    case 0xF4:
    case 0xF5:
    case 0xF9:
    case 0xFD:
      return 0;  // sysex framing and undefined bytes
    default:
      return 1;
  }
}

int UnpackShortMessage(ShortMessage message, std::uint8_t (&bytes)[3]) noexcept {
  bytes[0] = StatusByte(message);
  bytes[1] = DataByte1(message);
  bytes[2] = DataByte2(message);
  const int length = ShortMessageLength(bytes[0]);
  for (int i = 1; i < length; ++i) {
    if (bytes[i] > 127) return 0;
  }
  return length;
}

}  // namespace orvane
