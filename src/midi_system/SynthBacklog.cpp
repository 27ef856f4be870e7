#include "midi_system/SynthBacklog.h"

namespace orvane {

void SynthBacklog::Note(const SynthRequest& request) noexcept {
  if (request.kind == SynthRequestKind::ChannelsInUse) {
    channels_ = request.value;
    channelsKnown_ = true;
    return;
  }
  if (request.kind != SynthRequestKind::Message) return;
  const std::uint32_t status = request.value & 0xFFu;
  const std::size_t channel = status & 0x0Fu;
  const auto data1 = static_cast<std::int16_t>((request.value >> 8) & 0xFFu);
  const auto data2 = static_cast<std::int16_t>((request.value >> 16) & 0xFFu);
  if (data1 > 127 || data2 > 127) return;  // no MIDI message; the process drops it too
  if ((status & 0xF0u) == 0xC0u) program_[channel] = data1;
  if ((status & 0xF0u) == 0xB0u && data1 == 7) volume_[channel] = data2;
}

void SynthBacklog::Push(const SynthRequest& request) noexcept {
  if (size_ == kCapacity) Collapse();
  Append(request);
}

void SynthBacklog::PopFront() noexcept {
  if (size_ == 0) return;
  head_ = (head_ + 1) % kCapacity;
  --size_;
}

SynthRequest SynthBacklog::Message(unsigned status, std::size_t channel, int data1,
                                   int data2) noexcept {
  const std::uint32_t value = (status | static_cast<std::uint32_t>(channel)) |
                              (static_cast<std::uint32_t>(data1) << 8) |
                              (static_cast<std::uint32_t>(data2) << 16);
  return {.kind = SynthRequestKind::Message, .value = value, .sampleRate = 0};
}

void SynthBacklog::Append(const SynthRequest& request) noexcept {
  ring_[(head_ + size_) % kCapacity] = request;
  ++size_;
}

void SynthBacklog::Collapse() noexcept {
  // Whatever waited would have sounded seconds late; its note-offs are covered by the note-off
  // for everything, and its programs and volumes by those of the moment.
  Clear();
  ++collapses_;
  Append({.kind = SynthRequestKind::AllNotesOff, .value = 0, .sampleRate = 0});
  ForEachSetting([this](const SynthRequest& setting) { Append(setting); });
}

}  // namespace orvane
