#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvane {

// The decimal integer at the start of a text, as the C library's scanning functions find it.
struct LeadingInteger {
  std::int64_t value = 0;  // the number, held at the int64 limits when it is longer
  bool negative = false;   // a minus sign came before the digits
  bool tooLong = false;    // the digits go beyond the int64 range
};

// Which sign may come before the digits.
enum class SignRule { kPlusOrMinus, kPlusOnly };

// Skips leading white space (space, tab, line breaks, vertical tab, form feed), takes one
// optional sign allowed by `signs`, then at least one decimal digit; whatever follows the digits is
// ignored. None when no digit comes where the number should start.
std::optional<LeadingInteger> ParseLeadingInteger(std::string_view text, SignRule signs);

// The leading integer when it fits an int, else none.
std::optional<int> LeadingInt(std::string_view text, SignRule signs);

}  // namespace orvane
