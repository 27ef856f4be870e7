#include "core/midi/ToneGen.h"

#include "core/UserMessages.h"
#include "core/midi/MidiBytes.h"

namespace orvane {
namespace {

using midi::ChannelVolumeMessage;
using midi::kMaxDataByte;
using midi::kNoteOff;
using midi::kNoteOn;
using midi::kProgramChange;

constexpr std::uint8_t kPressVelocity = 127;
constexpr std::uint8_t kReleaseVelocity = 0;
// Note value 0 sounds as MIDI note 36 when nothing shifts it.
constexpr std::int64_t kLowestNote = 36;
constexpr int kMouseNoteCount = 37;  // the drawn piano's keys 0..36

constexpr int kOctave = 12;
constexpr int kMaxOctaveShift = 48;
constexpr int kMaxSemitoneShift = 12;

constexpr bool IsMidiNoteValue(int noteValue) {
  return noteValue >= 0 && noteValue <= kMaxDataByte;
}

}  // namespace

void CToneGen::SendToLayers(std::uint8_t status, std::int64_t note, std::uint8_t data2) {
  // 64-bit, because a layer's transposition is unbounded and must not overflow the sum.
  const std::int64_t shifted = note + octaveShift_ + semitoneShift_;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    if (!voice.layerOn[layer]) continue;
    const std::int64_t number = shifted + voice.transposition[layer];
    if (number < 0 || number > kMaxDataByte) continue;
    midi_.SendShortMessage(PackShortMessage(static_cast<std::uint8_t>(status | layer),
                                            static_cast<std::uint8_t>(number), data2));
  }
}

void CToneGen::NoteOn(int noteValue) {
  if (!IsMidiNoteValue(noteValue)) return;
  SendToLayers(kNoteOn, noteValue + kLowestNote, kPressVelocity);
}

void CToneGen::NoteOff(int noteValue) {
  if (!IsMidiNoteValue(noteValue)) return;
  SendToLayers(kNoteOff, noteValue + kLowestNote, kReleaseVelocity);
}

void CToneGen::NotesOn(const NoteList& notes) {
  for (int noteValue : notes) NoteOn(noteValue);
}

void CToneGen::NotesOff(const NoteList& notes) {
  for (int noteValue : notes) NoteOff(noteValue);
}

void CToneGen::MouseNote(int noteNumber) {
  // The reset comes first, so even a refused value silences what was sounding.
  if (!mouseSustain) Reset();
  if (noteNumber >= 0 && noteNumber < kMouseNoteCount) {
    NoteOn(noteNumber);
  } else {
    messages_.ShowMessage("noteNumber value is out of range!", "Error!", MessageIcon::Warning);
  }
}

void CToneGen::Reset() {
  midi_.ResetOutput();
}

void CToneGen::SendProgramsAndVolumes() {
  // Layers that are off play no notes: an output need not prepare their instruments.
  std::uint16_t layersOn = 0;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    if (voice.layerOn[layer]) layersOn = static_cast<std::uint16_t>(layersOn | (1u << layer));
  }
  midi_.SetChannelsInUse(layersOn);
  // A voice file may hold bytes above 127. Such a program is not sent (the layer keeps the one it
  // had); such a volume is sent as full volume. The voice itself keeps the stored bytes.
  for (int channel = 0; channel < kLayerCount; ++channel) {
    const auto channelBits = static_cast<std::uint8_t>(channel);
    if (voice.patch[channel] <= kMaxDataByte) {
      midi_.SendShortMessage(
          PackShortMessage(kProgramChange | channelBits, voice.patch[channel], 0));
    }
    midi_.SendShortMessage(ChannelVolumeMessage(channel, voice.volume[channel]));
  }
}

void CToneGen::OctaveUp() {
  if (octaveShift_ <= kMaxOctaveShift - kOctave) octaveShift_ += kOctave;
}

void CToneGen::OctaveDown() {
  if (octaveShift_ >= -kMaxOctaveShift + kOctave) octaveShift_ -= kOctave;
}

void CToneGen::OctaveStandard() {
  octaveShift_ = 0;
}

void CToneGen::SemitoneUp() {
  if (semitoneShift_ <= kMaxSemitoneShift - 1) ++semitoneShift_;
}

void CToneGen::SemitoneDown() {
  if (semitoneShift_ >= -kMaxSemitoneShift + 1) --semitoneShift_;
}

void CToneGen::SemitoneStandard() {
  semitoneShift_ = 0;
}

void CToneGen::MidiThru(ShortMessage message) {
  // Only note-on and note-off of channel 1 pass; the rest of the input is not for this keyboard.
  const std::uint8_t status = StatusByte(message);
  if (status != kNoteOn && status != kNoteOff) return;
  const std::uint8_t note = DataByte1(message);
  const std::uint8_t velocity = DataByte2(message);
  if (note > kMaxDataByte || velocity > kMaxDataByte) return;  // not a MIDI message
  SendToLayers(status, note, velocity);
}

}  // namespace orvane
