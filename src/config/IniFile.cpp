#include "config/IniFile.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "config/AtomicFile.h"
#include "config/IniDocument.h"
#include "config/LeadingInteger.h"
#include "config/TextEncoding.h"

namespace fs = std::filesystem;

namespace orvane {

namespace {

// The text a first start writes. Only the narrow form names the MIDI input.
constexpr std::array<std::string_view, 9> kDefaultLines = {"[COMMON_SETTINGS]",
                                                           "MIDIOUTDEVINDEX=0",
                                                           "MIDIINDEVINDEX=0",
                                                           "ISHARDWAREMIDIKBDENABLED=0",
                                                           "[POSITION]",
                                                           "LEFT=0",
                                                           "TOP=0",
                                                           "RIGHT=0",
                                                           "BOTTOM=0"};
constexpr std::string_view kInputLine = "MIDIINDEVINDEX=0";

std::string DefaultText(bool withInputLine) {
  std::string text;
  for (std::string_view line : kDefaultLines) {
    if (line == kInputLine && !withInputLine) continue;
    text += line;
    text += kNativeLineEnd;
  }
  return text;
}

std::string& ExecutableDirectoryOverride() {
  static std::string directory;
  return directory;
}

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::string WithoutTrailingSeparator(std::string directory) {
  while (directory.size() > 1 && IsSeparator(directory.back())) directory.pop_back();
  return directory;
}

std::string ExecutableDirectory() {
  if (!ExecutableDirectoryOverride().empty()) return ExecutableDirectoryOverride();
  std::error_code ec;
  const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && executable.has_parent_path()) return executable.parent_path().string();
  const fs::path current = fs::current_path(ec);
  return ec ? std::string(".") : current.string();
}

// Whether a file can be created in the directory: tried, since permission bits do not tell
// (read-only mounts, access control lists).
bool IsWritableDirectory(const fs::path& directory) {
  std::error_code ec;
  if (!fs::is_directory(directory, ec)) return false;
  const fs::path probe = directory / ".orvane-write-test";
  if (fs::exists(probe, ec)) fs::remove(probe, ec);
  bool writable = false;
  {
    std::ofstream out(probe, std::ios::binary);
    writable = out.is_open() && out.put('\n') && out.flush();
  }
  fs::remove(probe, ec);
  return writable;
}

fs::path PerUserDirectory() {
#ifdef _WIN32
  const char* appData = std::getenv("APPDATA");
  if (appData != nullptr && *appData != '\0') return PathFromUtf8(appData) / "orvane";
#else
  // Relative values of XDG_CONFIG_HOME are to be ignored.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && *configHome == '/') return fs::path(configHome) / "orvane";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return fs::path(home) / ".config" / "orvane";
#endif
  return {};
}

}  // namespace

void CIniFile::SetExecutableDirectory(std::string directory) {
  ExecutableDirectoryOverride() = WithoutTrailingSeparator(std::move(directory));
}

std::string CIniFile::ChooseSettingsDirectory() {
  const std::string executableDirectory = ExecutableDirectory();
  if (IsWritableDirectory(PathFromUtf8(executableDirectory))) return executableDirectory;
  const fs::path perUser = PerUserDirectory();
  std::error_code ec;
  if (!perUser.empty()) {
    fs::create_directories(perUser, ec);
    if (!ec && fs::is_directory(perUser, ec)) return WithoutTrailingSeparator(perUser.string());
  }
  // Nowhere to write: reads give their defaults and writes fail, as for a read-only directory.
  return executableDirectory;
}

CIniFile::CIniFile() : directory_(ChooseSettingsDirectory()) {}

CIniFile::CIniFile(std::string directory)
    : directory_(WithoutTrailingSeparator(std::move(directory))) {}

void CIniFile::PrepareFile(std::string_view name) {
  PrepareFileWithText(std::string(name), DefaultText(true));
}

void CIniFile::PrepareFile(std::wstring_view name) {
  PrepareFileWithText(WideToUtf8(name), DefaultText(false));
}

void CIniFile::PrepareFileWithText(std::string name, std::string_view defaultText) {
  path_ = directory_ + "/" + name;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(PathFromUtf8(path_), ec);
  // Only a file that is surely missing is created; anything there is left as it is.
  if (status.type() != fs::file_type::not_found) return;
  ReplaceFileAtomically(PathFromUtf8(path_), defaultText);
}

int CIniFile::ReadInt(std::string_view section, std::string_view key, int defaultValue) const {
  if (path_.empty()) return defaultValue;
  const auto content = ReadWholeFile(PathFromUtf8(path_));
  if (!content || !content->exists) return defaultValue;
  const auto value = IniDocument(content->bytes).Value(section, key);
  if (!value) return defaultValue;
  // A value that is no number, or one beyond the int range, was not written by the program.
  return LeadingInt(*value, SignRule::kPlusOrMinus).value_or(defaultValue);
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, int value) {
  if (path_.empty()) return false;
  const fs::path path = PathFromUtf8(path_);
  const auto content = ReadWholeFile(path);
  // A file that exists but cannot be read must not be replaced by one holding only this key.
  if (!content) return false;
  IniDocument document(content->bytes);
  document.SetValue(section, key, std::to_string(value));
  return ReplaceFileAtomically(path, document.Text());
}

std::string CIniFile::GetDirectory() const {
  return directory_;
}

}  // namespace orvane
