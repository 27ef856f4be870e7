#include "core/config/AtomicFile.h"

#include <array>
#include <fstream>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace orvane {

namespace {

enum class NewFileResult { Written, NameTaken, NotCreated, WriteFailed };

std::string RandomSuffix() {
  static std::mt19937 generator{std::random_device{}()};
  static constexpr std::string_view kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::uniform_int_distribution<std::size_t> pick(0, kDigits.size() - 1);
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kDigits[pick(generator)];
  return suffix;
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

// Truncates the existing file and writes the content into it, flushed to the disk.
bool OverwriteInPlace(const fs::path& target, std::string_view content) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  return fd >= 0 && WriteAndClose(fd, content);
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

std::optional<FileContent> ReadWholeFile(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return FileContent{};
  if (ec || !fs::is_regular_file(status)) return std::nullopt;

  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return std::nullopt;
  FileContent content{true, {}};
  std::array<char, 4096> buffer{};
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
    content.bytes.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return content;
}

bool ReplaceFileAtomically(const fs::path& path, std::string_view content) {
  std::error_code ec;
  fs::path target = path;
  // Write through a symbolic link to the file it names, keeping the link.
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path resolved = fs::canonical(path, ec);
    if (!ec) target = resolved;
  }

  const fs::file_status existing = fs::status(target, ec);
  const bool exists = existing.type() != fs::file_type::not_found;
  if (exists) {
    if (ec || !fs::is_regular_file(existing)) return false;
    // A file the user made read-only stays as it is.
    std::fstream probe(target, std::ios::in | std::ios::out | std::ios::binary);
    if (!probe.is_open()) return false;
  }

  const fs::path directory = target.parent_path();
  const std::string baseName = "." + target.filename().string() + ".tmp-";
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

fs::path PathFromUtf8(const std::string& text) {
#ifdef _WIN32
  return fs::path(std::u8string(text.begin(), text.end()));
#else
  return fs::path(text);
#endif
}

}  // namespace orvane
