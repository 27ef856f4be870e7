#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/config/Singleton.h"

namespace orvane {

// One integer to store: section, key, value.
struct IniEntry {
  std::string_view section;
  std::string_view key;
  int value;
};

// The program's settings file, an INI file with private-profile behaviour: section and key
// names compare case-insensitively, every line the program does not write is kept as it is,
// CRLF and LF are both read, a file in UTF-16 with a byte order mark is read and written in
// UTF-16, and the file is replaced atomically when written. Problems with the file are never
// reported: reads fall back to their defaults and failed writes return false.
//
// Names and paths in narrow strings are UTF-8.
class CIniFile : public Singleton<CIniFile> {
 public:
  // The settings directory: the executable's when it is not an installation's directory of
  // programs (the portable layout: a build tree, an unpacked archive) and it is writable, or
  // holds a settings file and a working voice that can both be written (a folder that takes no
  // new files); else the per-user one, $XDG_CONFIG_HOME/orvane or ~/.config/orvane, created when
  // missing. A copy in /usr/bin, /usr/local/bin, ~/.local/bin or the build's install directory is
  // an installed one and keeps its settings per user even when run as root.
  CIniFile();
  // A given directory (tests, and callers that chose the directory themselves), created when
  // missing as the per-user one is: otherwise nothing would ever be saved there.
  explicit CIniFile(std::string directory);

  // Makes `name` in the settings directory the file of all later calls, creating it with the
  // default text of the form used when it does not exist. The narrow form writes nine lines,
  // the wide form eight (it has no MIDIINDEVINDEX line).
  void PrepareFile(std::string_view name);
  void PrepareFile(std::wstring_view name);

  // The integer at the start of the key's value (after blanks, with an optional sign), or
  // `defaultValue` when the file, section or key is missing, the value does not start with a
  // number, or the number lies beyond the int range. The file is read afresh on every call.
  int ReadInt(std::string_view section, std::string_view key, int defaultValue) const;
  // Stores the value in decimal; false when the file could not be written.
  bool WriteInt(std::string_view section, std::string_view key, int value);
  // Stores every entry as WriteInt would, in order, with one replacement of the file: the text
  // is the one the single writes give, and whoever reads the file sees all or none of them.
  bool WriteInts(std::span<const IniEntry> entries);

  // The settings directory, without a trailing separator.
  std::string GetDirectory() const;
  // The full path of the prepared file (empty before the first PrepareFile).
  const std::string& FilePath() const { return path_; }

  // Names the directory of the executable for the default constructor. The application calls it
  // with the platform's answer before the first Singleton<CIniFile>::Instance(); without it the
  // directory of /proc/self/exe is used (or the working directory where that does not exist).
  static void SetExecutableDirectory(std::string directory);
  // The settings directory the default constructor chooses, creating the per-user one if needed.
  static std::string ChooseSettingsDirectory();

 private:
  void PrepareFileWithText(std::string name, std::string_view defaultText);

  std::string directory_;
  std::string path_;
};

}  // namespace orvane
