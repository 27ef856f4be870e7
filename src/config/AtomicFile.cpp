#include "config/AtomicFile.h"

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

// Creates `temp` exclusively with the content, flushed to the disk. False if it exists already
// or anything fails (the partial file is then removed).
bool WriteNewFile(const fs::path& temp, std::string_view content, bool& alreadyExists) {
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    alreadyExists = errno == EEXIST;
    return false;
  }
  const bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!ok || !closed) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
  }
  return true;
}

// Makes the rename itself durable; failure here leaves a correct file, so it is not reported.
void SyncDirectory(const fs::path& directory) {
  const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

#else

bool WriteNewFile(const fs::path& temp, std::string_view content, bool& alreadyExists) {
  std::error_code ec;
  if (fs::exists(temp, ec) || ec) {
    alreadyExists = !ec;
    return false;
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (out) return true;
  }
  fs::remove(temp, ec);
  return false;
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
  bool created = false;
  for (int attempt = 0; attempt < 16 && !created; ++attempt) {
    temp = directory / (baseName + RandomSuffix());
    bool alreadyExists = false;
    created = WriteNewFile(temp, content, alreadyExists);
    if (!created && !alreadyExists) return false;
  }
  if (!created) return false;

  if (exists) fs::permissions(temp, existing.permissions(), fs::perm_options::replace, ec);
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
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
