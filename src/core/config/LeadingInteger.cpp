#include "core/config/LeadingInteger.h"

#include <limits>

namespace orvane {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<LeadingInteger> ParseLeadingInteger(std::string_view text, SignRule signs) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  LeadingInteger result;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-' && signs != SignRule::kPlusOrMinus) return std::nullopt;
    result.negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;

  // Accumulate toward the sign so that the int64 minimum is reachable.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (result.tooLong) continue;
    if (result.negative) {
      if (value < (kMin + digit) / 10) {
        result.tooLong = true;
        value = kMin;
        continue;
      }
      value = value * 10 - digit;
    } else {
      if (value > (kMax - digit) / 10) {
        result.tooLong = true;
        value = kMax;
        continue;
      }
      value = value * 10 + digit;
    }
  }
  result.value = value;
  return result;
}

std::optional<int> LeadingInt(std::string_view text, SignRule signs) {
  const auto number = ParseLeadingInteger(text, signs);
  if (!number || number->tooLong || number->value < std::numeric_limits<int>::min() ||
      number->value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(number->value);
}

}  // namespace orvane
