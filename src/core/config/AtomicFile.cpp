#include "core/config/AtomicFile.h"

#include "core/config/Settings.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace orvane {

namespace {

enum class NewFileResult { Written, NameTaken, NotCreated, WriteFailed };

// A temporary file is named "." + the target's name + ".tmp-" + eight of these characters.
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::string_view kSuffixCharacters = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kSuffixLength = 8;

std::string RandomSuffix() {
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kSuffixCharacters.size() - 1);
  std::string suffix;
  for (std::size_t i = 0; i < kSuffixLength; ++i) suffix += kSuffixCharacters[pick(generator)];
  return suffix;
}

// The file a path names once symbolic links are followed, also where the last link points at
// nothing yet; none for a loop of links or a link that cannot be read.
std::optional<fs::path> FollowLinks(fs::path path) {
  constexpr int kMaxLinks = 40;  // as the kernel's own limit
  for (int link = 0; link < kMaxLinks; ++link) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return std::nullopt;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return std::nullopt;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                    [](char a, char b) {
                      const auto lower = [](char c) {
                        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
                      };
                      return lower(a) == lower(b);
                    });
}

#ifndef _WIN32

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes the content to the open file, flushes it to the disk and closes it.
bool WriteAndClose(int fd, std::string_view content) {
  const bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  return ok && closed;
}

// Creates `temp` exclusively with the content, flushed to the disk. A file there already or one
// that cannot be made is `NameTaken` or `NotCreated`; a write that fails removes the partial file.
NewFileResult WriteNewFile(const fs::path& temp, std::string_view content) {
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? NewFileResult::NameTaken : NewFileResult::NotCreated;
  if (!WriteAndClose(fd, content)) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return NewFileResult::WriteFailed;
  }
  return NewFileResult::Written;
}

// Truncates the existing file and writes the content into it, flushed to the disk. Only a
// regular file: what took its place meanwhile (a FIFO) must not hold the write up.
bool OverwriteInPlace(const fs::path& target, std::string_view content) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return false;
  }
  return WriteAndClose(fd, content);
}

// Makes the rename itself durable; failure here leaves a correct file, so it is not reported.
void SyncDirectory(const fs::path& directory) {
  const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

#else

// The stream's write with its flush; false (and nothing written) when the file does not open.
bool WriteStream(std::ofstream& out, std::string_view content) {
  if (!out.is_open()) return false;
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.flush();
  return static_cast<bool>(out);
}

NewFileResult WriteNewFile(const fs::path& temp, std::string_view content) {
  std::error_code ec;
  if (fs::exists(temp, ec) || ec) return ec ? NewFileResult::NotCreated : NewFileResult::NameTaken;
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return NewFileResult::NotCreated;
  if (WriteStream(out, content)) return NewFileResult::Written;
  out.close();
  fs::remove(temp, ec);
  return NewFileResult::WriteFailed;
}

bool OverwriteInPlace(const fs::path& target, std::string_view content) {
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  return WriteStream(out, content);
}

void SyncDirectory(const fs::path&) {}

#endif

}  // namespace

#ifndef _WIN32

std::optional<FileContent> ReadWholeFile(const fs::path& path, std::size_t limit) {
  // Non-blocking, so that opening a FIFO with no writer, or a device, returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return FileContent{};
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  FileContent content{true, {}};
  std::array<char, 4096> buffer{};
  bool failed = false;
  while (content.bytes.size() < limit) {
    const std::size_t wanted = std::min(buffer.size(), limit - content.bytes.size());
    const ssize_t got = ::read(fd, buffer.data(), wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed = true;
    if (got <= 0) break;
    content.bytes.append(buffer.data(), static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (failed) return std::nullopt;
  return content;
}

#else

std::optional<FileContent> ReadWholeFile(const fs::path& path, std::size_t limit) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return FileContent{};
  if (ec || !fs::is_regular_file(status)) return std::nullopt;

  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return std::nullopt;
  FileContent content{true, {}};
  std::array<char, 4096> buffer{};
  while (content.bytes.size() < limit) {
    const std::size_t wanted = std::min(buffer.size(), limit - content.bytes.size());
    in.read(buffer.data(), static_cast<std::streamsize>(wanted));
    if (in.gcount() <= 0) break;
    content.bytes.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return content;
}

#endif

bool ReplaceFileAtomically(const fs::path& path, std::string_view content) {
  std::error_code ec;
  // Write through a symbolic link to the file it names, keeping the link.
  const std::optional<fs::path> followed = FollowLinks(path);
  if (!followed) return false;
  const fs::path& target = *followed;

  const fs::file_status existing = fs::status(target, ec);
  const bool exists = existing.type() != fs::file_type::not_found;
  if (exists) {
    if (ec || !fs::is_regular_file(existing)) return false;
    // A file the user made read-only stays as it is.
    std::fstream probe(target, std::ios::in | std::ios::out | std::ios::binary);
    if (!probe.is_open()) return false;
  }

  const fs::path directory = target.parent_path();
  const std::string baseName = "." + target.filename().string() + std::string(kTemporaryMark);
  fs::path temp;
  NewFileResult result = NewFileResult::NameTaken;
  for (int attempt = 0; attempt < 16 && result == NewFileResult::NameTaken; ++attempt) {
    temp = directory / (baseName + RandomSuffix());
    result = WriteNewFile(temp, content);
  }
  // A folder may let its files change but take no new ones (an immutable folder, or one without
  // write permission holding a writable file): the existing file is then written where it is.
  // A failed write (a full disk) is no such case; the file stays as it was.
  if (result == NewFileResult::NotCreated) return exists && OverwriteInPlace(target, content);
  if (result != NewFileResult::Written) return false;

  if (exists) fs::permissions(temp, existing.permissions(), fs::perm_options::replace, ec);
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    // A sticky folder refuses to replace another user's file that this one may still write.
    return exists && OverwriteInPlace(target, content);
  }
  SyncDirectory(directory);
  return true;
}

bool IsOwnTemporaryFileName(std::string_view name) {
  if (name == kWriteProbeName) return true;
  if (name.size() < 1 + kTemporaryMark.size() + kSuffixLength || name.front() != '.') return false;
  const std::string_view suffix = name.substr(name.size() - kSuffixLength);
  if (suffix.find_first_not_of(kSuffixCharacters) != std::string_view::npos) return false;
  name.remove_suffix(kSuffixLength);
  if (!name.ends_with(kTemporaryMark)) return false;
  const std::string_view target = name.substr(1, name.size() - 1 - kTemporaryMark.size());
  return target == settings::kFileName || target == settings::kWorkingVoiceFileName ||
         target == settings::kScratchVoiceFileName ||
         (target.size() > 7 && EndsWithIgnoringCase(target, ".orvane"));
}

int RemoveStaleTemporaryFiles(const fs::path& directory, std::chrono::seconds age) {
  int removed = 0;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    if (!IsOwnTemporaryFileName(file.filename().string())) continue;
    std::error_code fileError;
    // Only a file itself, never what a link of that name points to, nor a folder.
    if (!fs::is_regular_file(fs::symlink_status(file, fileError))) continue;
    const auto written = fs::last_write_time(file, fileError);
    if (fileError || now - written < age) continue;
    if (fs::remove(file, fileError)) ++removed;
  }
  return removed;
}

fs::path PathFromUtf8(const std::string& text) {
#ifdef _WIN32
  return fs::path(std::u8string(text.begin(), text.end()));
#else
  return fs::path(text);
#endif
}

}  // namespace orvane
