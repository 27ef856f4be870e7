#include "core/voice/FieldReaders.h"

#include <utility>

#include "core/config/LeadingInteger.h"

namespace orvane {

namespace {

constexpr int kByteMaximum = 255;

FieldRead Accepted(int value) {
  return {value, FieldFailure::kNone, {}};
}

FieldRead Refused(FieldFailure failure, std::string message) {
  return {std::nullopt, failure, std::move(message)};
}

}  // namespace

FieldRead ReadTransposition(std::string_view text) {
  // A number beyond 32 bits is refused rather than wrapped into some other transposition.
  if (const auto value = LeadingInt(text, SignRule::kPlusOrMinus)) return Accepted(*value);
  return Refused(FieldFailure::kNotAnInteger, "Enter an integer.");
}

FieldRead ReadVolumeText(std::string_view text) {
  const auto number = ParseLeadingInteger(text, SignRule::kPlusOnly);
  if (number && !number->tooLong && number->value <= kByteMaximum) {
    return Accepted(static_cast<int>(number->value));
  }
  return Refused(FieldFailure::kNotAByte, "Enter an integer between 0 and 255.");
}

FieldRead CheckVolumeRange(int value) {
  if (value >= kVolumeMinimum && value <= kVolumeMaximum) return Accepted(value);
  return Refused(FieldFailure::kOutOfRange, "Enter an integer between " +
                                                std::to_string(kVolumeMinimum) + " and " +
                                                std::to_string(kVolumeMaximum) + ".");
}

FieldRead ReadVolume(std::string_view text) {
  FieldRead read = ReadVolumeText(text);
  if (!read.Succeeded()) return read;
  return CheckVolumeRange(*read.value);
}

}  // namespace orvane
