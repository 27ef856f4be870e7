#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "process_common/SynthProtocol.h"

namespace orvane {

// The requests that wait while the synthesizer's process is behind (swapping, a loaded machine,
// stopped for a moment), in fixed storage so that queuing allocates nothing. They leave in
// order once the process reads again. When the bound is reached the backlog collapses into what
// still matters: every note off, then the programs and volumes of the moment (and which channels
// play), so that no note-off or reset is ever lost, only notes that would have started late.
//
// Knows the programs and volumes of the moment from every request it is told of (Note), sent
// directly or queued.
class SynthBacklog {
 public:
  static constexpr std::size_t kCapacity = 2048;

  // Follows a request on its way to the process: programs, channel volumes, channels in use.
  void Note(const SynthRequest& request) noexcept;
  // Queues a request; a full backlog collapses first.
  void Push(const SynthRequest& request) noexcept;
  bool Empty() const noexcept { return size_ == 0; }
  std::size_t Size() const noexcept { return size_; }
  const SynthRequest& Front() const noexcept { return ring_[head_]; }
  void PopFront() noexcept;
  void Clear() noexcept { head_ = size_ = 0; }
  // How often the backlog collapsed.
  std::uint64_t Collapses() const noexcept { return collapses_; }

  // What a newly started process needs to play as this one did: the channels in use, then every
  // known program and volume, channel by channel; f(request) for each.
  template <typename F>
  void ForEachSetting(F&& f) const {
    if (channelsKnown_) {
      f(SynthRequest{.kind = SynthRequestKind::ChannelsInUse, .value = channels_, .sampleRate = 0});
    }
    for (std::size_t channel = 0; channel < kChannels; ++channel) {
      if (program_[channel] >= 0) f(Message(0xC0, channel, program_[channel], 0));
      if (volume_[channel] >= 0) f(Message(0xB0, channel, 7, volume_[channel]));
    }
  }

 private:
  static constexpr std::size_t kChannels = 16;
  static SynthRequest Message(unsigned status, std::size_t channel, int data1, int data2) noexcept;
  void Append(const SynthRequest& request) noexcept;
  void Collapse() noexcept;

  std::array<SynthRequest, kCapacity> ring_{};
  std::size_t head_ = 0;
  std::size_t size_ = 0;
  std::uint64_t collapses_ = 0;
  std::array<std::int16_t, kChannels> program_ = MakeUnknown();
  std::array<std::int16_t, kChannels> volume_ = MakeUnknown();
  std::uint32_t channels_ = 0xFFFF;
  bool channelsKnown_ = false;

  static constexpr std::array<std::int16_t, kChannels> MakeUnknown() {
    std::array<std::int16_t, kChannels> unknown{};
    unknown.fill(-1);
    return unknown;
  }
};

}  // namespace orvane
