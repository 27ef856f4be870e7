#include "core/config/IniDocument.h"

#include <utility>

namespace orvane {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The section name of a header line, or none for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  const std::size_t close = text.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
  const std::string_view text = Trim(line);
  return !text.empty() && text.front() == ';';
}

// The key name of a key line (text before the first '='), or none.
std::optional<std::string_view> KeyName(std::string_view line) {
  if (IsComment(line)) return std::nullopt;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

std::string_view RawValue(std::string_view line) {
  return Trim(line.substr(line.find('=') + 1));
}

// Lines that hold something: the end of a section's entries, where a new key goes.
bool IsEntry(std::string_view line) {
  return !Trim(line).empty() && !IsComment(line);
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos) {
      lines_.push_back({std::string(text), {}});
      break;
    }
    std::size_t contentEnd = newline;
    if (contentEnd > 0 && text[contentEnd - 1] == '\r') --contentEnd;
    lines_.push_back({std::string(text.substr(0, contentEnd)),
                      std::string(text.substr(contentEnd, newline + 1 - contentEnd))});
    text.remove_prefix(newline + 1);
  }
}

std::string_view IniDocument::ParsedText(std::size_t index) const {
  std::string_view text = lines_[index].text;
  if (index == 0 && text.starts_with(kUtf8ByteOrderMark)) {
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  return text;
}

std::optional<IniDocument::SectionSpan> IniDocument::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(ParsedText(i));
    if (!name || !SameName(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !SectionName(ParsedText(end))) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const SectionSpan& span,
                                                std::string_view key) const {
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    const auto name = KeyName(lines_[i].text);
    if (name && SameName(*name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
  const auto span = FindSection(section);
  if (!span) return std::nullopt;
  const auto line = FindKey(*span, key);
  if (!line) return std::nullopt;
  std::string_view value = RawValue(lines_[*line].text);
  // One pair of matching quotes around the whole value is not part of it.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

void IniDocument::InsertLines(std::size_t index, std::vector<Line> lines) {
  // The line before gets a break if it was the last line of a text without a final one.
  if (index > 0 && lines_[index - 1].ending.empty()) {
    lines_[index - 1].ending = kNativeLineEnd;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  Line keyLine{std::string(key) + "=" + std::string(value), std::string(kNativeLineEnd)};
  const auto span = FindSection(section);
  if (!span) {
    std::vector<Line> added;
    added.push_back({"[" + std::string(section) + "]", std::string(kNativeLineEnd)});
    added.push_back(std::move(keyLine));
    InsertLines(lines_.size(), std::move(added));
    return;
  }
  if (const auto line = FindKey(*span, key)) {
    // Keep the name as the file spells it, with any blanks before the '='.
    std::string& text = lines_[*line].text;
    text.erase(text.find('=') + 1);
    text += value;
    return;
  }
  // After the section's last entry, so that blank lines and comments that lead into the next
  // section stay in front of it.
  std::size_t after = span->header;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    if (IsEntry(lines_[i].text)) after = i;
  }
  std::vector<Line> added;
  added.push_back(std::move(keyLine));
  InsertLines(after + 1, std::move(added));
}

std::string IniDocument::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.text;
    text += line.ending;
  }
  return text;
}

}  // namespace orvane
