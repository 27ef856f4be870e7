#include "core/config/IniFile.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/config/AtomicFile.h"
#include "core/config/IniDocument.h"
#include "core/config/LeadingInteger.h"
#include "core/config/Settings.h"
#include "core/config/TextEncoding.h"

namespace fs = std::filesystem;

namespace orvane {

namespace {

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

// Whether two paths name the same directory once symbolic links are followed (/bin and /usr/bin
// on a merged-/usr system, a link to the build tree).
bool IsSameDirectory(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const fs::path canonicalA = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path canonicalB = fs::weakly_canonical(b, ec);
  return !ec && canonicalA == canonicalB;
}

// Whether the executable lies where an installation put it: the directory the build was
// configured to install programs into, a system directory of programs, or the user's own
// ~/.local/bin. Such a copy is shared by everyone who starts it, so its settings are kept per
// user even where the directory is writable, as it is for root.
bool IsInstalledProgramDirectory(const fs::path& directory) {
  std::vector<fs::path> installed;
#ifdef ORVANE_INSTALL_BINDIR
  installed.emplace_back(ORVANE_INSTALL_BINDIR);
#endif
#ifndef _WIN32
  for (const char* system : {"/usr/bin", "/usr/local/bin", "/bin", "/usr/games", "/usr/local/games",
                             "/usr/sbin", "/usr/local/sbin", "/sbin"}) {
    installed.emplace_back(system);
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') installed.push_back(fs::path(home) / ".local" / "bin");
#endif
  for (const fs::path& candidate : installed) {
    if (IsSameDirectory(directory, candidate)) return true;
  }
  return false;
}

// Whether a file can be created in the directory: tried, since permission bits do not tell
// (read-only mounts, access control lists).
bool IsWritableDirectory(const fs::path& directory) {
  std::error_code ec;
  if (!fs::is_directory(directory, ec)) return false;
  const fs::path probe = directory / kWriteProbeName;
  if (fs::exists(probe, ec)) fs::remove(probe, ec);
  bool writable = false;
  {
    std::ofstream out(probe, std::ios::binary);
    writable = out.is_open() && out.put('\n') && out.flush();
  }
  fs::remove(probe, ec);
  return writable;
}

// Whether the file is a regular one that can be opened for writing, found without waiting on
// anything else that may lie there.
bool IsWritableFile(const fs::path& file) {
#ifndef _WIN32
  const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
#else
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return false;
  std::fstream probe(file, std::ios::in | std::ios::out | std::ios::binary);
  return probe.is_open();
#endif
}

// A folder that takes no new files (immutable, or another user's) may still hold the settings
// and the working voice of a portable copy, both writable: they are read and written in place.
bool HoldsWritableSettings(const fs::path& directory) {
  return IsWritableFile(directory / settings::kFileName) &&
         IsWritableFile(directory / settings::kWorkingVoiceFileName);
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
  // Without HOME (a service, a stripped environment) the account's home directory stands in.
  if (const passwd* account = ::getpwuid(::getuid());
      account != nullptr && account->pw_dir && *account->pw_dir == '/') {
    return fs::path(account->pw_dir) / ".config" / "orvane";
  }
#endif
  return {};
}

}  // namespace

void CIniFile::SetExecutableDirectory(std::string directory) {
  ExecutableDirectoryOverride() = WithoutTrailingSeparator(std::move(directory));
}

std::string CIniFile::ChooseSettingsDirectory() {
  const std::string executableDirectory = ExecutableDirectory();
  const fs::path executablePath = PathFromUtf8(executableDirectory);
  const bool installed = IsInstalledProgramDirectory(executablePath);
  if (!installed &&
      (IsWritableDirectory(executablePath) || HoldsWritableSettings(executablePath))) {
    return executableDirectory;
  }
  const fs::path perUser = PerUserDirectory();
  std::error_code ec;
  if (!perUser.empty()) {
    fs::create_directories(perUser, ec);
    // An installed copy stays with the per-user directory even when it cannot be made: reads
    // then give their defaults and writes fail, and nothing is ever written beside the program.
    if (installed || (!ec && fs::is_directory(perUser, ec))) {
      return WithoutTrailingSeparator(perUser.string());
    }
  }
  // Nowhere to write: reads give their defaults and writes fail, as for a read-only directory.
  return executableDirectory;
}

CIniFile::CIniFile() : directory_(ChooseSettingsDirectory()) {}

CIniFile::CIniFile(std::string directory)
    : directory_(WithoutTrailingSeparator(std::move(directory))) {
  std::error_code ignored;  // a directory that cannot be made fails its writes later
  fs::create_directories(PathFromUtf8(directory_), ignored);
}

void CIniFile::PrepareFile(std::string_view name) {
  PrepareFileWithText(std::string(name), settings::DefaultFileText(true, kNativeLineEnd));
}

void CIniFile::PrepareFile(std::wstring_view name) {
  PrepareFileWithText(WideToUtf8(name), settings::DefaultFileText(false, kNativeLineEnd));
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
  const auto value = IniDocument(DecodeText(content->bytes).text).Value(section, key);
  if (!value) return defaultValue;
  // A value that is no number, or one beyond the int range, was not written by the program.
  return LeadingInt(*value, SignRule::kPlusOrMinus).value_or(defaultValue);
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, int value) {
  const IniEntry entry{section, key, value};
  return WriteInts(std::span(&entry, 1));
}

bool CIniFile::WriteInts(std::span<const IniEntry> entries) {
  if (path_.empty()) return false;
  const fs::path path = PathFromUtf8(path_);
  const auto content = ReadWholeFile(path);
  // A file that exists but cannot be read must not be replaced by one holding only these keys.
  if (!content) return false;
  // Written back in the form it was read in: UTF-16 stays UTF-16.
  DecodedText text = DecodeText(content->bytes);
  IniDocument document(text.text);
  for (const IniEntry& entry : entries) {
    document.SetValue(entry.section, entry.key, std::to_string(entry.value));
  }
  text.text = document.Text();
  return ReplaceFileAtomically(path, EncodeText(text));
}

std::string CIniFile::GetDirectory() const {
  return directory_;
}

}  // namespace orvane
