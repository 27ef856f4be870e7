#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace orvane {

// Raised when a voice file ends before its 112th byte.
class VoiceFileEndOfFile : public std::runtime_error {
 public:
  VoiceFileEndOfFile() : std::runtime_error("Attempted to access an unnamed file past its end.") {}
};

// A byte archive in storing or loading mode, so one Serialize writes and reads the same layout.
// Integers are little-endian two's complement whatever the machine.
class VoiceArchive {
 public:
  // Storing: the bytes collect in Bytes().
  VoiceArchive() = default;
  // Loading from `bytes`; reading past their end throws VoiceFileEndOfFile.
  explicit VoiceArchive(std::span<const std::uint8_t> bytes) : loading_(true), input_(bytes) {}

  bool IsStoring() const { return !loading_; }
  const std::vector<std::uint8_t>& Bytes() const { return output_; }

  VoiceArchive& operator<<(std::uint8_t value);
  VoiceArchive& operator<<(std::int32_t value);
  VoiceArchive& operator>>(std::uint8_t& value);
  VoiceArchive& operator>>(std::int32_t& value);

 private:
  std::uint8_t Next();

  bool loading_ = false;
  std::span<const std::uint8_t> input_;
  std::size_t position_ = 0;
  std::vector<std::uint8_t> output_;
};

}  // namespace orvane
