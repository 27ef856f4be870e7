#include "core/voice/VoiceArchive.h"

namespace orvane {

VoiceArchive& VoiceArchive::operator<<(std::uint8_t value) {
  output_.push_back(value);
  return *this;
}

VoiceArchive& VoiceArchive::operator<<(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    output_.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  return *this;
}

std::uint8_t VoiceArchive::Next() {
  if (position_ >= input_.size()) throw VoiceFileEndOfFile();
  return input_[position_++];
}

VoiceArchive& VoiceArchive::operator>>(std::uint8_t& value) {
  value = Next();
  return *this;
}

VoiceArchive& VoiceArchive::operator>>(std::int32_t& value) {
  std::uint32_t bits = 0;
  for (int shift = 0; shift < 32; shift += 8) bits |= std::uint32_t{Next()} << shift;
  value = static_cast<std::int32_t>(bits);  // two's complement, defined since C++20
  return *this;
}

}  // namespace orvane
