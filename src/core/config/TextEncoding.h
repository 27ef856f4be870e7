#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// UTF-8 of a wide string (UTF-16 where wchar_t has 16 bits, UTF-32 where it has 32). Unpaired
// surrogates and values beyond U+10FFFF become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// How a settings file's bytes hold its text. A file that starts with a UTF-16 byte order mark is
// UTF-16 in that byte order, as the Windows private-profile functions read and write it; any
// other file is taken byte for byte (ASCII, UTF-8 with or without its mark).
enum class TextForm { Bytes, Utf16LittleEndian, Utf16BigEndian };

struct DecodedText {
  TextForm form = TextForm::Bytes;
  // The text in UTF-8, without a UTF-16 byte order mark. Unpaired surrogates are kept as their
  // three-byte forms, so that encoding the text again gives back the very bytes read.
  std::string text;
  // The last byte of a UTF-16 file of odd length, which holds no whole character.
  std::optional<char> oddByte;
};

DecodedText DecodeText(std::string_view bytes);
// The bytes of `text` in `form`, with the byte order mark for UTF-16.
std::string EncodeText(const DecodedText& text);

}  // namespace orvane
