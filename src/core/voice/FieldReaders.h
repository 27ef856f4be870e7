#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// Why a dialog field was refused; each has its own message.
enum class FieldFailure {
  kNone,
  kNotAnInteger,  // "Enter an integer."
  kNotAByte,      // "Enter an integer between 0 and 255."
  kOutOfRange,    // "Enter an integer between 0 and 127." (the volume range test)
};

// The outcome of reading one edit field: the value, or the failure and the message to show
// before the focus goes back to the field.
struct FieldRead {
  std::optional<int> value;
  FieldFailure failure = FieldFailure::kNone;
  std::string message;

  bool Succeeded() const { return value.has_value(); }
};

inline constexpr int kVolumeMinimum = 0;
inline constexpr int kVolumeMaximum = 127;

// A transposition field: after leading blanks, an optionally signed decimal integer that fits
// 32 bits; whatever follows it is ignored ("1.5" reads 1, "7abc" reads 7).
FieldRead ReadTransposition(std::string_view text);

// The reading step of a volume field: after leading blanks, an unsigned decimal integer not
// above 255; a minus sign is refused, whatever follows the number is ignored.
FieldRead ReadVolumeText(std::string_view text);

// The range step of a volume field, run on a value that passed the reading step.
FieldRead CheckVolumeRange(int value);

// Both volume steps in their order: the reading step's failure comes first.
FieldRead ReadVolume(std::string_view text);

}  // namespace orvane
