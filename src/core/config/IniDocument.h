#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The text of an INI file, read and edited the way the Windows private-profile functions do.
//
// A line whose first non-blank character is '[' and which holds a later ']' starts a section
// named by the text between them. A line inside a section holding '=' is a key: the name is the
// text before the first '=', the value the text after it, both without surrounding blanks. Lines
// starting with ';' are comments. Names compare case-insensitively (ASCII); only the first
// section of a name and the first key of a name in it count.
//
// Edits touch only the line of the key written, or add lines; every other byte is kept. New lines
// end with the platform's line end, existing lines keep theirs (CRLF or LF).
class IniDocument {
 public:
  explicit IniDocument(std::string_view text);

  // The key's value without surrounding blanks (and without one pair of enclosing quotes),
  // or none when the section or key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  // Replaces the key's value where the key stands; a missing key is added after the last entry
  // of its section, a missing section at the end of the text.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

 private:
  struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\n", "\r\n", or empty for a last line without a break
  };
  struct SectionSpan {
    std::size_t header;  // index of the header line
    std::size_t end;     // one past the last line of the section
  };

  std::optional<SectionSpan> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const SectionSpan& span, std::string_view key) const;
  // The line's text as parsed: the first line without a leading UTF-8 byte order mark.
  std::string_view ParsedText(std::size_t index) const;
  void InsertLines(std::size_t index, std::vector<Line> lines);

  std::vector<Line> lines_;
};

// Native line end of the platform, used for every line the program adds.
#ifdef _WIN32
inline constexpr std::string_view kNativeLineEnd = "\r\n";
#else
inline constexpr std::string_view kNativeLineEnd = "\n";
#endif

}  // namespace orvane
