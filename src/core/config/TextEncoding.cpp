#include "core/config/TextEncoding.h"

#include <cstdint>
#include <type_traits>

namespace orvane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// Any value up to U+10FFFF, surrogates included, in the usual UTF-8 forms.
void AppendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  AppendCodePoint(out, (c > 0x10FFFF || IsSurrogate(c)) ? kReplacement : c);
}

constexpr std::string_view kLittleEndianMark = "\xFF\xFE";
constexpr std::string_view kBigEndianMark = "\xFE\xFF";

std::uint16_t UnitAt(std::string_view bytes, std::size_t at, bool bigEndian) {
  const auto first = static_cast<std::uint8_t>(bytes[at]);
  const auto second = static_cast<std::uint8_t>(bytes[at + 1]);
  return static_cast<std::uint16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
}

void AppendUnit(std::string& out, std::uint16_t unit, bool bigEndian) {
  const auto high = static_cast<char>(unit >> 8);
  const auto low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

// The next code point of UTF-8 text from `at`, advancing it; a byte that starts no complete
// sequence reads as U+FFFD on its own.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  int length = 0;
  char32_t c = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
  }
  if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
    ++at;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + static_cast<std::size_t>(i)]);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    c = (c << 6) | (next & 0x3F);
  }
  at += static_cast<std::size_t>(length);
  return c > 0x10FFFF ? kReplacement : c;
}

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto unit = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if constexpr (sizeof(wchar_t) == 2) {
      const bool high = unit >= 0xD800 && unit <= 0xDBFF;
      if (high && i + 1 < text.size()) {
        const auto next = static_cast<char32_t>(static_cast<std::uint16_t>(text[i + 1]));
        if (next >= 0xDC00 && next <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
          ++i;
        }
      }
    }
    AppendUtf8(out, unit);
  }
  return out;
}

DecodedText DecodeText(std::string_view bytes) {
  DecodedText decoded;
  bool bigEndian = false;
  if (bytes.starts_with(kLittleEndianMark)) {
    decoded.form = TextForm::Utf16LittleEndian;
  } else if (bytes.starts_with(kBigEndianMark)) {
    decoded.form = TextForm::Utf16BigEndian;
    bigEndian = true;
  } else {
    decoded.text = bytes;
    return decoded;
  }
  bytes.remove_prefix(2);
  if (bytes.size() % 2 != 0) {
    decoded.oddByte = bytes.back();
    bytes.remove_suffix(1);
  }
  for (std::size_t at = 0; at < bytes.size(); at += 2) {
    char32_t c = UnitAt(bytes, at, bigEndian);
    if (c >= 0xD800 && c <= 0xDBFF && at + 2 < bytes.size()) {
      const char32_t next = UnitAt(bytes, at + 2, bigEndian);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        at += 2;
      }
    }
    AppendCodePoint(decoded.text, c);
  }
  return decoded;
}

std::string EncodeText(const DecodedText& text) {
  if (text.form == TextForm::Bytes) return text.text;
  const bool bigEndian = text.form == TextForm::Utf16BigEndian;
  std::string out(bigEndian ? kBigEndianMark : kLittleEndianMark);
  for (std::size_t at = 0; at < text.text.size();) {
    const char32_t c = NextCodePoint(text.text, at);
    if (c >= 0x10000) {
      AppendUnit(out, static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)), bigEndian);
      AppendUnit(out, static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), bigEndian);
    } else {
      AppendUnit(out, static_cast<std::uint16_t>(c), bigEndian);
    }
  }
  if (text.oddByte) out += *text.oddByte;
  return out;
}

}  // namespace orvane
