#pragma once

#include <string>
#include <string_view>

#include "config/Singleton.h"

namespace orvane {

// The program's settings file, an INI file with private-profile behaviour: section and key
// names compare case-insensitively, every line the program does not write is kept as it is,
// CRLF and LF are both read, and the file is replaced atomically when written.
class CIniFile : public Singleton<CIniFile> {
 public:
  // The settings directory: the executable's when it is writable, else the per-user one.
  CIniFile();
  // A given directory (tests, and callers that chose the directory themselves).
  explicit CIniFile(std::string directory);

  // Makes `name` in the settings directory the file of all later calls, creating it with the
  // default text of the form used when it does not exist. The narrow form writes nine lines,
  // the wide form eight (it has no MIDIINDEVINDEX line).
  void PrepareFile(std::string_view name);
  void PrepareFile(std::wstring_view name);

  // The integer at the start of the key's value, or `defaultValue` when the file, section or key
  // is missing or the value does not start with a number.
  int ReadInt(std::string_view section, std::string_view key, int defaultValue) const;
  // Stores the value in decimal; false when the file could not be written.
  bool WriteInt(std::string_view section, std::string_view key, int value);

  // The settings directory, without a trailing separator.
  std::string GetDirectory() const;
  // The full path of the prepared file (empty before the first PrepareFile).
  const std::string& FilePath() const { return path_; }

 private:
  std::string directory_;
  std::string path_;
};

}  // namespace orvane
